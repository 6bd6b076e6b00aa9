// Opening a ".tme" file: the working folder, the kind and version tests, the
// pack's unpacking and the single template's copy.
#include "document/FileIo.h"
#include "document/PackFormat.h"
#include "document/PathParts.h"
#include "document/TemplateDocument.h"
#include "formstream/Exceptions.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace kep {

namespace {

[[noreturn]] void DamagedPack(const std::string& path, const std::string& fault) {
    throw EDocumentError("Damaged template pack \"" + path + "\": " + fault + ".");
}

[[noreturn]] void DamagedTemplate(const std::string& path, const std::string& fault) {
    throw EDocumentError("Damaged menu template \"" + path + "\": " + fault + ".");
}

std::string HexBytes(const uint8_t* bytes, int count) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

// Every fault that would make the unpacking read or write outside its bounds,
// found before anything is changed. fileSize is the pack's length; head holds
// at least its header and member table once those are known to be in the file.
void CheckPack(const std::string& path, const uint8_t* head, int64_t headSize, int64_t fileSize) {
    if (fileSize < kPackHeaderSize || headSize < kPackHeaderSize)
        DamagedPack(path, "the file is shorter than its 308-byte header");
    if (!std::memchr(head, 0, kPackHeaderTextLimit))
        DamagedPack(path, "the header text has no zero byte in its first 48 bytes");
    uint64_t count = ReadLE(head + kPackCountOffset, 4);
    if (count > static_cast<uint64_t>(kMaxMembers))
        DamagedPack(path, "it lists " + std::to_string(count) + " members, more than 100");
    int64_t tableEnd = kPackHeaderSize + kPackEntrySize * static_cast<int64_t>(count);
    if (tableEnd > fileSize || tableEnd > headSize)
        DamagedPack(path, "the member table extends past the end of the file");
    for (uint64_t i = 0; i < count; ++i) {
        const uint8_t* entry = head + kPackHeaderSize + kPackEntrySize * static_cast<int64_t>(i);
        std::string member = "member " + std::to_string(i + 1);
        std::string name(reinterpret_cast<const char*>(entry + 1), entry[0]);
        if (!IsPlainFileName(name))
            DamagedPack(path, "the name \"" + PrintableName(name) + "\" of " + member + " is not a plain file name");
        for (uint64_t j = 0; j < i; ++j) {
            const uint8_t* other = head + kPackHeaderSize + kPackEntrySize * static_cast<int64_t>(j);
            if (other[0] == entry[0] && std::memcmp(other + 1, entry + 1, entry[0]) == 0)
                DamagedPack(path, "members " + std::to_string(j + 1) + " and " + std::to_string(i + 1) +
                                      " have the same name \"" + PrintableName(name) + "\"");
        }
        uint64_t size = ReadLE(entry + kEntrySizeField, 8);
        uint64_t offset = ReadLE(entry + kEntryOffsetField, 8);
        if (size > static_cast<uint64_t>(kMaxBufferSize))
            DamagedPack(path, "the size of " + member + " is above 2147483647");
        if (offset > static_cast<uint64_t>(kMaxBufferSize))
            DamagedPack(path, "the offset of " + member + " is above 2147483647");
        if (static_cast<int64_t>(offset + size) > fileSize)
            DamagedPack(path, "the data of " + member + " extends past the end of the file");
    }
}

// Adds an entry at the level of the given entry: the top level for none.
TreeEntry AddAtLevel(DocumentWindow& window, TreeEntry level, const std::string& text) {
    return level ? window.TreeAddChild(level, text) : window.TreeAddTop(text);
}

} // namespace

void TemplateDocument::LoadTemplate(const std::string& path) {
    std::string name = ExtractFileName(path);
    State.WorkDir = AppDir + "/" + name.substr(0, name.size() - ExtractFileExt(name).size()) + "_template";
    ::mkdir(State.WorkDir.c_str(), 0777); // a failure shows when a file is written there

    InputFile file(path);
    if (file.Size() > kMaxBufferSize)
        throw EStreamError("File \"" + FullPathName(path) + "\" is larger than 2147483647 bytes");
    auto size = static_cast<int32_t>(file.Size());
    // A pack's members are copied from the file itself; only its header and
    // table pass through the buffer. A single template is loaded whole.
    TMemoryStream& buffer = *State.PrimaryBuffer;
    buffer.Clear();
    int32_t head = std::min<int32_t>(size, kPackHeaderSize + kPackEntrySize * kMaxMembers);
    buffer.SetSize(head);
    file.ReadAt(0, buffer.Memory(), static_cast<size_t>(head));
    bool pack = size >= static_cast<int32_t>(kPackMagicLength) &&
                std::memcmp(buffer.Memory(), kPackMagic, kPackMagicLength) == 0;
    if (!pack && head < size) {
        buffer.SetSize(size);
        file.ReadAt(head, buffer.Memory() + head, static_cast<size_t>(size - head));
    }

    Window.SetActionText("Analisi file...");
    const uint8_t* bytes = buffer.Memory();
    if (pack) {
        Window.SetFileTypeText("Template Pack");
        if (size <= static_cast<int32_t>(kPackMagicLength))
            DamagedPack(path, "the file is shorter than its 308-byte header");
        char version = static_cast<char>(bytes[kPackMagicLength]);
        if (version != kPackVersion) {
            Window.SetActionColorRed();
            Window.SetActionText(std::string("BAD Version: ") + version);
            return;
        }
        Window.SetActionText("Unpacking File...");
        struct Reset {
            const InputFile*& source;
            ~Reset() { source = nullptr; }
        } reset{OpenedPack};
        OpenedPack = &file;
        ApriTemplatePack(buffer, nullptr);
        State.IsPack = true;
        return;
    }
    if (size >= kTemplateMagicOffset + static_cast<int32_t>(kTemplateMagicLength) &&
        std::memcmp(bytes + kTemplateMagicOffset, kTemplateMagic, kTemplateMagicLength) == 0) {
        Window.SetFileTypeText("Template");
        if (size <= kTemplateVersionOffset) DamagedTemplate(path, "the file is shorter than its 42-byte header");
        char version = static_cast<char>(bytes[kTemplateVersionOffset]);
        if (version != kTemplateVersion) {
            Window.SetActionColorRed();
            Window.SetActionText(std::string("BAD Version: ") + version);
            return;
        }
        Window.SetActionText("Template analysis...");
        ApriMenuTemplate(buffer, nullptr, 0);
        State.IsPack = false;
    }
}

void TemplateDocument::ApriTemplatePack(TMemoryStream& buffer, TreeEntry level) {
    const std::string& path = State.TemplateFileName;
    const uint8_t* head = buffer.Memory();
    int64_t fileSize = OpenedPack ? OpenedPack->Size() : buffer.GetSize();
    CheckPack(path, head, buffer.GetSize(), fileSize);

    Window.TreeClear();
    AddAtLevel(Window, level, "Template Pack: " + ExtractFileName(path));
    TreeEntry header = AddAtLevel(Window, level, "Header:");
    State.PackHeader = reinterpret_cast<const char*>(head);
    Window.TreeAddChild(header, LowerCaseAscii(State.PackHeader));
    State.PackNameLength = head[kPackNameOffset];
    State.PackName.assign(reinterpret_cast<const char*>(head + kPackNameOffset + 1), State.PackNameLength);
    Window.TreeAddChild(header, State.PackName);
    auto count = static_cast<int32_t>(ReadLE(head + kPackCountOffset, 4));
    TreeEntry files = AddAtLevel(Window, level, "Files: " + std::to_string(count));
    State.FileCount = count;
    for (int32_t i = 1; i <= count; ++i) {
        const uint8_t* entry = head + kPackHeaderSize + kPackEntrySize * (i - 1);
        State.FileNames[i].assign(reinterpret_cast<const char*>(entry + 1), entry[0]);
        TFileInfo& info = State.FileInfo[i];
        info.Size = static_cast<int64_t>(ReadLE(entry + kEntrySizeField, 8));
        info.Offset = static_cast<int64_t>(ReadLE(entry + kEntryOffsetField, 8));
        Window.TreeAddChild(files, State.FileNames[i]);
        AtomicFile member(State.WorkDir + "/" + State.FileNames[i]);
        if (OpenedPack)
            member.CopyAt(0, *OpenedPack, info.Offset, info.Size);
        else
            member.WriteAt(0, head + info.Offset, static_cast<size_t>(info.Size));
        member.Commit();
    }
    Window.TreeExpandAll(files);
    Window.SetActionText("Click on file.");
}

void TemplateDocument::ApriMenuTemplate(TMemoryStream& buffer, TreeEntry level, int64_t headerPosition) {
    const std::string& path = State.TemplateFileName;
    if (headerPosition < 0 || buffer.GetSize() - headerPosition < kTemplateHeaderSize)
        DamagedTemplate(path, "the file is shorter than its 42-byte header");
    std::string name = ExtractFileName(path);
    try {
        // The copy's outcome is not examined: the tree is built all the same.
        SaveFileAtomically(State.WorkDir + "/" + name, buffer.Memory(), static_cast<size_t>(buffer.GetSize()));
    } catch (const Exception&) {
    }
    const uint8_t* header = buffer.Memory() + headerPosition;
    Window.TreeClear();
    AddAtLevel(Window, level, "Template Menu: " + name);
    TreeEntry headerEntry = AddAtLevel(Window, level, "Header:");
    Window.TreeAddChild(headerEntry, "ID_Template = 0x" + HexBytes(header, 3));
    Window.TreeAddChild(headerEntry, "ID_ASCII = \"" + std::string(reinterpret_cast<const char*>(header + 3), 32) + "\"");
    Window.TreeAddChild(headerEntry, "Revision = 0x" + HexBytes(header + 35, 3));
    AddAtLevel(Window, level, name);
    Window.SetActionText("Click on template.");
}

} // namespace kep
