#include "app/PackActions.h"

#include "app/TF_Main.h"
#include "document/ExportAll.h"
#include "document/TemplateCheck.h"
#include "document/TemplateDocument.h"

namespace kep {

QString ExportAllCodeQuestion() {
    return QStringLiteral("Export all members:\r\rWrite the code of each template also as a .txt file?\r");
}

QString ExportOverwriteQuestion(const QString& fileName) {
    return QStringLiteral("WARNING:\r\rFile ") + fileName + QStringLiteral(" already exist. Overwrite?\r");
}

bool RunTemplateCheck(const TemplateDocument& document, Prompts& prompts) {
    std::vector<TemplateCheckResult> results = CheckDocument(document);
    if (results.empty()) {
        prompts.InformationBox(QStringLiteral("No template to check."));
        return true;
    }
    QString report = TF_Main::FromAnsi(FormatCheckReport(results));
    report.replace(u'\n', u'\r');
    bool converts = EveryTemplateConverts(results);
    QString text = QStringLiteral("Check of the templates (code to text and back):\r\r") + report;
    if (converts)
        prompts.InformationBox(text);
    else
        prompts.WarningBox(text);
    return converts;
}

int RunExportAll(const TemplateDocument& document, const QString& folder, Prompts& prompts) {
    ExportAllOptions options;
    bool hasTemplates = false;
    for (const ExportedFile& file : PlanExport(document, ExportAllOptions{true}))
        hasTemplates = hasTemplates || file.FileName != file.Member;
    if (hasTemplates) {
        ConfirmAnswer answer = prompts.ConfirmBox(ExportAllCodeQuestion());
        if (answer == ConfirmAnswer::Closed) return 0;
        options.TemplatesAsText = answer == ConfirmAnswer::Yes;
    }
    std::vector<ExportedFile> files =
        ExportAllMembers(document, TF_Main::ToPath(folder), options, [&](const std::string& fileName) {
            switch (prompts.ConfirmBox(ExportOverwriteQuestion(TF_Main::FromAnsi(fileName)))) {
            case ConfirmAnswer::Yes: return OverwriteAnswer::Overwrite;
            case ConfirmAnswer::No: return OverwriteAnswer::Skip;
            default: return OverwriteAnswer::Cancel;
            }
        });
    int written = 0;
    for (const ExportedFile& file : files) written += file.Written;
    prompts.InformationBox(QString::number(written) + (written == 1 ? QStringLiteral(" file") : QStringLiteral(" files")) +
                           QStringLiteral(" written to ") + folder + QStringLiteral("."));
    return written;
}

} // namespace kep
