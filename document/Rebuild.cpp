// Rebuilding a template pack from the document tables and the member files in
// the working folder: header, member table and the members back to back in
// table order, written to a temporary file that replaces the target at the end.
#include "document/FileIo.h"
#include "document/PackFormat.h"
#include "document/PathParts.h"
#include "document/TemplateDocument.h"
#include "formstream/Exceptions.h"

#include <cstring>
#include <memory>
#include <vector>

namespace kep {

namespace {

// Refuses a document that the pack format cannot hold, before anything is read or written.
void CheckRebuild(const DocumentState& state, const std::string& target) {
    auto refuse = [&](const std::string& fault) {
        throw EDocumentError("Cannot rebuild template pack \"" + target + "\": " + fault + ".");
    };
    int32_t count = state.FileCount;
    if (count < 0 || count > kMaxMembers)
        refuse("it would hold " + std::to_string(count) + " members, more than 100");
    if (state.PackHeader.size() >= static_cast<size_t>(kPackHeaderTextLimit) ||
        state.PackHeader.find('\0') != std::string::npos)
        refuse("the header text does not fit in 47 characters");
    if (state.PackName.size() > kMaxNameLength) refuse("the pack name is longer than 255 characters");
    int64_t total = kPackHeaderSize + kPackEntrySize * count;
    for (int32_t i = 1; i <= count; ++i) {
        const std::string& name = state.FileNames[i];
        std::string member = "member " + std::to_string(i);
        if (name.size() > kMaxNameLength) refuse("the name of " + member + " is longer than 255 characters");
        if (!IsPlainFileName(name))
            refuse("the name \"" + PrintableName(name) + "\" of " + member + " is not a plain file name");
        for (int32_t j = 1; j < i; ++j)
            if (state.FileNames[j] == name)
                refuse("members " + std::to_string(j) + " and " + std::to_string(i) + " have the same name \"" +
                       PrintableName(name) + "\"");
        int64_t size = state.FileInfo[i].Size;
        if (size < 0 || size > kMaxBufferSize) refuse("the size of " + member + " is out of range");
        total += size;
        if (total > kMaxBufferSize) refuse("it would be larger than 2147483647 bytes");
    }
}

} // namespace

void TemplateDocument::RebuildPack(const std::string& targetPath) {
    CheckRebuild(State, targetPath);
    const int32_t count = State.FileCount;
    const int64_t dataStart = kPackHeaderSize + kPackEntrySize * count;

    // Every member file is opened and measured before the target is touched.
    std::vector<std::unique_ptr<InputFile>> members;
    int64_t position = dataStart;
    for (int32_t i = 1; i <= count; ++i) {
        members.push_back(std::make_unique<InputFile>(State.WorkDir + "/" + State.FileNames[i]));
        TFileInfo& info = State.FileInfo[i];
        if (members.back()->Size() < info.Size)
            throw EDocumentError("Cannot rebuild template pack \"" + targetPath + "\": the file \"" +
                                 FullPathName(members.back()->Path()) + "\" of member " + std::to_string(i) +
                                 " holds " + std::to_string(members.back()->Size()) + " bytes, fewer than its size " +
                                 std::to_string(info.Size) + ".");
        info.Offset = position;
        position += info.Size;
    }

    // Header and member table, zero wherever no field is written.
    TMemoryStream& image = *State.PrimaryBuffer;
    image.Clear();
    image.SetSize(static_cast<int32_t>(dataStart));
    uint8_t* bytes = image.Memory();
    std::memset(bytes, 0, static_cast<size_t>(dataStart));
    std::memcpy(bytes, State.PackHeader.data(), State.PackHeader.size());
    bytes[kPackNameOffset] = State.PackNameLength;
    std::memcpy(bytes + kPackNameOffset + 1, State.PackName.data(), State.PackName.size());
    WriteLE(bytes + kPackCountOffset, static_cast<uint32_t>(count), 4);
    for (int32_t i = 1; i <= count; ++i) {
        uint8_t* entry = bytes + kPackHeaderSize + kPackEntrySize * (i - 1);
        const std::string& name = State.FileNames[i];
        entry[0] = static_cast<uint8_t>(name.size());
        std::memcpy(entry + 1, name.data(), name.size());
        WriteLE(entry + kEntrySizeField, static_cast<uint64_t>(State.FileInfo[i].Size), 8);
        WriteLE(entry + kEntryOffsetField, static_cast<uint64_t>(State.FileInfo[i].Offset), 8);
    }

    AtomicFile target(targetPath, AtomicFile::Symlink::Follow);
    target.WriteAt(0, bytes, static_cast<size_t>(dataStart));
    for (int32_t i = 1; i <= count; ++i)
        target.CopyAt(State.FileInfo[i].Offset, *members[i - 1], 0, State.FileInfo[i].Size);
    target.Commit();
}

} // namespace kep
