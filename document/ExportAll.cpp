// Exporting every member of the open document into a folder.
#include "document/ExportAll.h"

#include "document/FileIo.h"
#include "document/PackFormat.h"
#include "document/PathParts.h"
#include "document/TemplateCheck.h"
#include "document/TemplateDocument.h"
#include "formstream/Exceptions.h"

#include <cerrno>
#include <map>
#include <sys/stat.h>

namespace kep {

namespace {

std::vector<std::string> MemberNames(const DocumentState& state) {
    if (state.IsPack) return {state.FileNames.begin() + 1, state.FileNames.begin() + 1 + state.FileCount};
    if (!state.TemplateFileName.empty() && !state.WorkDir.empty()) return {ExtractFileName(state.TemplateFileName)};
    return {};
}

bool IsTemplateName(const std::string& name) { return ExtractFileExt(name) == ".tme"; }

bool Exists(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

} // namespace

std::vector<ExportedFile> PlanExport(const TemplateDocument& document, const ExportAllOptions& options) {
    std::vector<ExportedFile> plan;
    std::map<std::string, std::string> owners; // file name -> member
    auto add = [&](const std::string& member, const std::string& fileName) {
        if (!IsPlainFileName(fileName))
            throw EDocumentError("Cannot export \"" + PrintableName(member) + "\": it is not a plain file name.");
        auto [at, inserted] = owners.emplace(fileName, member);
        if (!inserted)
            throw EDocumentError("Cannot export \"" + PrintableName(member) + "\" and \"" + PrintableName(at->second) +
                                 "\" together: both would be written as \"" + PrintableName(fileName) + "\".");
        plan.push_back(ExportedFile{member, fileName, false});
    };
    for (const std::string& name : MemberNames(document.State)) {
        add(name, name);
        if (options.TemplatesAsText && IsTemplateName(name)) add(name, ChangeFileExt(name, ".txt"));
    }
    return plan;
}

std::vector<ExportedFile> ExportAllMembers(const TemplateDocument& document, const std::string& folder,
                                           const ExportAllOptions& options, const OverwriteQuestion& askOverwrite) {
    const DocumentState& state = document.State;
    std::vector<ExportedFile> plan = PlanExport(document, options);
    // Every conversion before the first file is written.
    std::map<std::string, std::string> codes; // ".txt" file name -> code
    for (const ExportedFile& file : plan) {
        if (file.FileName == file.Member) continue;
        try {
            codes[file.FileName] = TemplateFileCode(state.WorkDir + "/" + file.Member);
        } catch (const Exception& error) {
            throw EDocumentError("Cannot export the code of \"" + PrintableName(file.Member) + "\": " + error.Message());
        }
    }
    std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    for (ExportedFile& file : plan) {
        std::string target = base + file.FileName;
        if (Exists(target)) {
            OverwriteAnswer answer = askOverwrite ? askOverwrite(file.FileName) : OverwriteAnswer::Skip;
            if (answer == OverwriteAnswer::Cancel) break;
            if (answer == OverwriteAnswer::Skip) continue;
        }
        if (file.FileName == file.Member) {
            InputFile source(state.WorkDir + "/" + file.Member);
            AtomicFile out(target);
            out.CopyAt(0, source, 0, source.Size());
            out.Commit();
        } else {
            const std::string& code = codes[file.FileName];
            SaveFileAtomically(target, code.data(), code.size());
        }
        file.Written = true;
    }
    return plan;
}

} // namespace kep
