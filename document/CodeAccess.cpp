// Template code access: a menu template's component stream shown as text in
// the editor, and the editor's text written back as the template's stream.
#include "document/FileIo.h"
#include "document/PackFormat.h"
#include "document/TemplateDocument.h"
#include "formstream/BinaryToFormText.h"
#include "formstream/Exceptions.h"
#include "formstream/FormTextToBinary.h"

#include <algorithm>

namespace kep {

namespace {

// Loads a template file into buffer and returns its stream length L, refusing
// a file too short to hold its header and the L bytes of its stream.
uint32_t LoadTemplateFile(TMemoryStream& buffer, const std::string& path) {
    buffer.Clear();
    buffer.LoadFromFile(path);
    int64_t size = buffer.GetSize();
    if (size < kTemplateHeaderSize)
        throw EDocumentError("Damaged menu template \"" + path + "\": the file is shorter than its 42-byte header.");
    auto length = static_cast<uint32_t>(ReadLE(buffer.Memory() + kStreamLengthOffset, 4));
    if (size < kTemplateHeaderSize + static_cast<int64_t>(length))
        throw EDocumentError("Damaged menu template \"" + path + "\": the file holds " + std::to_string(size) +
                             " bytes, fewer than its header and its " + std::to_string(length) +
                             "-byte component stream.");
    return length;
}

} // namespace

int64_t TemplateDocument::TemplateToText(const std::string& path) {
    State.LoadingText = true;
    try {
        TMemoryStream& file = *State.MemberBuffer;
        uint32_t length = LoadTemplateFile(file, path);
        TMemoryStream stream;
        stream.WriteBuffer(file.Memory() + kTemplateHeaderSize, static_cast<int32_t>(length));
        stream.SetPosition(0);
        TStringStream text;
        BinaryToFormText(stream, text);
        Window.SetEditorText(text.DataString());
        State.LoadingText = false;
        return kTemplateHeaderSize + static_cast<int64_t>(length);
    } catch (...) {
        State.LoadingText = false;
        throw;
    }
}

int64_t TemplateDocument::TextToTemplate(const std::string& path) {
    TMemoryStream& file = *State.MemberBuffer;
    LoadTemplateFile(file, path);
    TStringStream text(Window.EditorText());
    TMemoryStream stream;
    FormTextToBinary(text, stream);
    int64_t length = stream.GetSize();
    WriteLE(file.Memory() + kStreamLengthOffset, static_cast<uint64_t>(length), 4);
    file.SetSize(static_cast<int32_t>(std::min<int64_t>(kTemplateHeaderSize + length, kMaxBufferSize)));
    file.SetPosition(kTemplateHeaderSize);
    file.WriteBuffer(stream.Memory(), static_cast<int32_t>(length));
    SaveFileAtomically(path, file.Memory(), static_cast<size_t>(file.GetSize()));
    Window.DisableEditorSave();
    return kTemplateHeaderSize + length;
}

} // namespace kep
