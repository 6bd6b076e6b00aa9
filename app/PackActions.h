#pragma once
// The two commands of the tree's context menu: checking every template of the
// open document, and exporting every member into a folder. Both report
// through the window's prompts; their errors are left to the general error
// handler, as every command's are.
#include "app/Prompts.h"

#include <QString>

namespace kep {

class TemplateDocument;

// Converts the code of every template to text and back and shows, per member,
// whether saving it unchanged gives the same bytes (an information box), or a
// warning box when a template does not convert. Returns true when every
// template converts.
bool RunTemplateCheck(const TemplateDocument& document, Prompts& prompts);

// Writes every member into folder (a path as the file dialogs give it). Asks
// first whether templates are also to be written as code (".txt"); closing
// that question cancels. For each file that exists already it asks the
// Export command's question: Yes replaces it, No keeps it, closing the box
// ends the export. Ends with an information box saying how many files were
// written. Returns the number written.
int RunExportAll(const TemplateDocument& document, const QString& folder, Prompts& prompts);

// The texts of the questions and boxes.
QString ExportAllCodeQuestion();
QString ExportOverwriteQuestion(const QString& fileName);

} // namespace kep
