#include "cli/Commands.h"

#include "cli/TempFolder.h"
#include "cli/ToolWindow.h"
#include "document/AtomicFileStream.h"
#include "document/FileIo.h"
#include "document/PackFormat.h"
#include "document/PathParts.h"
#include "document/TemplateCheck.h"
#include "document/TemplateDocument.h"
#include "formstream/BinaryToFormText.h"
#include "formstream/Exceptions.h"
#include "formstream/FormTextToBinary.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace kep::tool {

namespace {

void ExpectCount(const Arguments& args, size_t least, size_t most, const char* command) {
    if (args.size() < least || args.size() > most)
        throw UsageError(std::string("wrong number of arguments for ") + command);
}

// A document opened as the editor opens it, with its working folder under appDir.
struct OpenedDocument {
    ToolWindow Window;
    TemplateDocument Document{Window};

    OpenedDocument(const std::string& file, const std::string& appDir) {
        Document.AppDir = appDir;
        Document.State.TemplateFileName = file;
        Document.LoadTemplate(file);
        if (Window.ActionRed) throw EDocumentError(Window.ActionText);
        if (Window.ActionText == "Analisi file...")
            throw EDocumentError("\"" + file + "\" is neither a template pack nor a menu template.");
    }

    void ExpectPack(const std::string& file) const {
        if (!Document.State.IsPack)
            throw EDocumentError("\"" + file + "\" is a menu template, not a template pack.");
    }
};

void WriteStandardOutput(const std::string& data) {
    if (std::fwrite(data.data(), 1, data.size(), stdout) != data.size() || std::fflush(stdout) != 0)
        throw EWriteError("Cannot write to standard output. " + SystemErrorText(errno));
}

// OUT absent or "-" means standard output.
bool ToStandardOutput(const Arguments& args, size_t index) {
    return args.size() <= index || args[index] == "-";
}

// Standard output, or the file, replaced atomically.
void WriteResult(const Arguments& args, size_t index, const std::string& data) {
    if (ToStandardOutput(args, index))
        WriteStandardOutput(data);
    else
        SaveFileAtomically(args[index], data.data(), data.size(), AtomicFile::Symlink::Follow);
}

// Converts the file IN into OUT. A file receives the result as it is made (a
// large result is not gathered in memory first); standard output receives it
// only once the conversion has succeeded.
void ConvertFile(const Arguments& args, void (*convert)(TStream& input, TStream& output)) {
    TMemoryStream input;
    input.LoadFromFile(args[0]);
    if (ToStandardOutput(args, 1)) {
        TStringStream output;
        convert(input, output);
        WriteStandardOutput(output.DataString());
        return;
    }
    AtomicFileStream output(args[1], AtomicFile::Symlink::Follow);
    convert(input, output);
    output.Commit();
}

} // namespace

void Info(const Arguments& args) {
    ExpectCount(args, 1, 1, "info");
    TempFolder work;
    OpenedDocument opened(args[0], work.Path());
    WriteStandardOutput(opened.Window.TreeText());
}

void List(const Arguments& args) {
    ExpectCount(args, 1, 1, "list");
    TempFolder work;
    OpenedDocument opened(args[0], work.Path());
    opened.ExpectPack(args[0]);
    const DocumentState& state = opened.Document.State;
    std::string text;
    for (int32_t i = 1; i <= state.FileCount; ++i)
        text += std::to_string(state.FileInfo[i].Size) + "\t" + std::to_string(state.FileInfo[i].Offset) + "\t" +
                state.FileNames[i] + "\n";
    WriteStandardOutput(text);
}

void Unpack(const Arguments& args) {
    ExpectCount(args, 2, 2, "unpack");
    const std::string& dir = args[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) throw EFCreateError("Cannot create folder \"" + FullPathName(dir) + "\". " + SystemErrorText(ec.value()));
    // The working folder lies inside DIR, so that finished files are moved, not copied.
    TempFolder work(dir);
    OpenedDocument opened(args[0], work.Path());
    const DocumentState& state = opened.Document.State;
    std::vector<std::string> names;
    if (state.IsPack)
        names.assign(state.FileNames.begin() + 1, state.FileNames.begin() + 1 + state.FileCount);
    else
        names.push_back(ExtractFileName(args[0]));
    for (const std::string& name : names) {
        std::string target = dir + "/" + name;
        if (::rename((state.WorkDir + "/" + name).c_str(), target.c_str()) != 0)
            throw EFCreateError("Cannot create file \"" + FullPathName(target) + "\". " + SystemErrorText(errno));
    }
}

void Repack(const Arguments& args) {
    ExpectCount(args, 2, 2, "repack");
    TempFolder work;
    OpenedDocument opened(args[0], work.Path());
    opened.ExpectPack(args[0]);
    opened.Document.RebuildPack(args[1]);
}

void Pack(const Arguments& args) {
    if (args.size() < 3 || args[1] != "--name") throw UsageError("pack needs OUT --name NAME FILE...");
    const std::string& out = args[0];
    const std::string& packName = args[2];
    if (packName.size() > kMaxNameLength) throw EDocumentError("The pack name is longer than 255 characters.");
    if (args.size() - 3 > static_cast<size_t>(kMaxMembers)) throw EDocumentError("A pack holds at most 100 members.");

    ToolWindow window;
    TemplateDocument document(window);
    TempFolder work;
    DocumentState& state = document.State;
    state.WorkDir = work.Path();
    state.PackHeader = std::string(kPackMagic) + kPackVersion;
    state.PackNameLength = static_cast<uint8_t>(packName.size());
    state.PackName = packName;
    for (size_t k = 3; k < args.size(); ++k) {
        const std::string& file = args[k];
        std::string name = ExtractFileName(file);
        std::string ext = ExtractFileExt(name);
        if (ext != ".tme" && ext != ".jpg" && ext != ".bmp")
            throw EDocumentError("Cannot add \"" + file + "\": it must have a .tme, .jpg or .bmp extension.");
        for (int32_t i = 1; i <= state.FileCount; ++i)
            if (state.FileNames[i] == name)
                throw EDocumentError("Cannot add \"" + file + "\": a member named \"" + name + "\" already exists.");
        if (!IsPlainFileName(name)) throw EDocumentError("Cannot add \"" + file + "\": it is not a file name.");
        InputFile measured(file);
        // The member files stay where they are; the working folder links to them.
        std::string link = state.WorkDir + "/" + name;
        if (::symlink(FullPathName(file).c_str(), link.c_str()) != 0)
            throw EFCreateError("Cannot create file \"" + link + "\". " + SystemErrorText(errno));
        ++state.FileCount;
        state.FileNames[state.FileCount] = name;
        state.FileInfo[state.FileCount] = TFileInfo{measured.Size(), 0};
    }
    document.RebuildPack(out);
}

void StreamToText(const Arguments& args) {
    ExpectCount(args, 1, 2, "stream2text");
    ConvertFile(args, BinaryToFormText);
}

void TextToStream(const Arguments& args) {
    ExpectCount(args, 1, 2, "text2stream");
    ConvertFile(args, FormTextToBinary);
}

void Code(const Arguments& args) {
    ExpectCount(args, 1, 2, "code");
    ToolWindow window;
    TemplateDocument document(window);
    document.TemplateToText(args[0]);
    WriteResult(args, 1, window.EditorContent);
}

void SetCode(const Arguments& args) {
    ExpectCount(args, 2, 2, "setcode");
    TMemoryStream code;
    code.LoadFromFile(args[1]);
    ToolWindow window;
    window.EditorContent.assign(reinterpret_cast<const char*>(code.Memory()), static_cast<size_t>(code.GetSize()));
    code.Clear();
    TemplateDocument document(window);
    // The file the user named is rewritten, also when it is reached through a link.
    std::string target = args[0];
    if (char* resolved = ::realpath(target.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    document.TextToTemplate(target);
}

void Check(const Arguments& args) {
    ExpectCount(args, 1, 1, "check");
    TempFolder work;
    OpenedDocument opened(args[0], work.Path());
    std::vector<TemplateCheckResult> results = CheckDocument(opened.Document);
    WriteStandardOutput(FormatCheckReport(results));
    if (!EveryTemplateConverts(results)) {
        size_t failed = 0, templates = 0;
        for (const TemplateCheckResult& result : results) {
            templates += result.IsTemplate;
            failed += result.IsTemplate && !result.Converts;
        }
        throw EDocumentError(std::to_string(failed) + " of " + std::to_string(templates) +
                             (templates == 1 ? " template does" : " templates do") + " not convert.");
    }
}

} // namespace kep::tool
