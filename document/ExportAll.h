#pragma once
// Exporting every member of the open document into a folder: each member's
// file unchanged, and for menu templates optionally also their code as a
// ".txt" file (the text form, Windows-1252 with CR LF line ends).
#include <functional>
#include <string>
#include <vector>

namespace kep {

class TemplateDocument;

enum class OverwriteAnswer { Overwrite, Skip, Cancel };

struct ExportAllOptions {
    bool TemplatesAsText = false; // also write "<name>.txt" with the code of each ".tme" member
};

struct ExportedFile {
    std::string Member;   // the member's name
    std::string FileName; // the name of the file in the folder
    bool Written = false; // false: it existed and the answer was Skip (or Cancel)
};

// Asked for each target file that exists already, with its file name.
using OverwriteQuestion = std::function<OverwriteAnswer(const std::string& fileName)>;

// The files that ExportAllMembers would write, in member order (a template's
// ".txt" right after the member itself). Refuses, with EDocumentError, two
// targets with the same name (a member "menu1.txt" beside "menu1.tme").
std::vector<ExportedFile> PlanExport(const TemplateDocument& document, const ExportAllOptions& options);

// Writes every member of the open pack (or the single template's working copy)
// into folder. The code of every template is converted first, so a template
// that does not convert stops the export before any file is written. Each
// file is replaced atomically; an existing file is replaced only when the
// question answers Overwrite. Cancel ends the export, keeping what has been
// written. Returns the plan with Written set for the files written.
std::vector<ExportedFile> ExportAllMembers(const TemplateDocument& document, const std::string& folder,
                                           const ExportAllOptions& options, const OverwriteQuestion& askOverwrite);

} // namespace kep
