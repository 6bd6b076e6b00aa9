// The tree's context menu: the check of every template and the export of
// every member of the open document.
#include "app/CommandSupport.h"
#include "app/PackActions.h"

#include <QMenu>

namespace kep {

void TF_Main::TreeView1ContextPopup(const QPoint& position) {
    MI_CheckTemplates->setEnabled(DocumentOpen());
    MI_ExportAll->setEnabled(DocumentOpen());
    TreeMenu->popup(TreeView1->viewport()->mapToGlobal(position));
}

void TF_Main::MI_CheckTemplatesClick() {
    // The check reads the templates' files: pending code changes are settled first.
    TestIfSaved();
    if (!DocumentOpen()) return;
    RunTemplateCheck(Doc, Ask());
    TreeView1->setFocus();
}

void TF_Main::MI_ExportAllClick() {
    TestIfSaved();
    if (!DocumentOpen()) return;
    FileDialogRequest request{"Export all members...", QString(), FromPath(TmeSaveDir), QString()};
    SetFileButtons(false, false);
    OnExit enableFileButtons([this] { SetFileButtons(true, true); });
    const std::optional<QString> chosen = Ask().FolderDialog(request);
    if (chosen) {
        // The folder is remembered as Export remembers the folder of its file.
        TmeSaveDir = ToPath(*chosen);
        if (TmeSaveDir.empty() || TmeSaveDir.back() != '/') TmeSaveDir += '/';
        SavePath("TmeSaveDir", TmeSaveDir);
        RunExportAll(Doc, *chosen, Ask());
    }
    TreeView1->setFocus();
}

} // namespace kep
