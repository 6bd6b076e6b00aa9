// The Open and Save commands of the top bar.
#include "app/CommandSupport.h"
#include "app/MemberFiles.h"
#include "document/PathParts.h"

namespace kep {

namespace {

const char kTemplateFilter[] = "Template Files (tme)|*.tme|All Files (*.*)|*.*";

} // namespace

void TF_Main::B_OpenClick() {
    TestIfSaved();
    if (!SettlePackChanges()) return;
    SetActionColorMaroon();
    SetActionText("Please, select template...");
    FileDialogRequest request{"Open Kep Template...", kTemplateFilter, FromPath(TmeDir), QString()};
    SetFileButtons(false, false);
    OnExit enableOpen([this] { B_Open->setEnabled(true); });
    const std::optional<QString> chosen = Ask().OpenFileDialog(request);
    if (!chosen) {
        SetActionText("Please, open a file...");
        return;
    }
    OpenChosenFile(*chosen);
}

void TF_Main::OpenChosenFile(const QString& chosen) {
    // The open document goes: its unsaved changes with it.
    ClearPackChanged();
    Editor->SetHistoryOwner(QString());
    Editor->hide();
    SetActionText("Please, wait...");
    State.IsPack = false;
    State.FileCount = 0;
    SingleTemplateOpen = false;
    Image1->hide();
    L_Oggetto->clear();
    L_Size->clear();
    L_Pixels->clear();
    State.SelectedIndex = 0;
    SetMemberButtons(false, false);
    State.TemplateFileName = ToPath(chosen);
    // Only the stored folder changes: this run's next Open starts where this one did.
    SavePath("TmeDir", ExtractFilePath(State.TemplateFileName));
    L_Filename->setText(" " + chosen);
    Doc.LoadTemplate(State.TemplateFileName);
    // A single template was read when its opening ended with its own status text.
    SingleTemplateOpen = !State.IsPack && L_Action->text() == QStringLiteral("Click on template.");
    B_Save->setEnabled(true);
}

void TF_Main::B_SaveClick() {
    TestIfSaved();
    SetActionColorMaroon();
    SetActionText("Please, select a name for template to save...");
    FileDialogRequest request{"Save Kep Template...", kTemplateFilter, FromPath(TmeSaveDir),
                              FromPath(ExtractFileName(State.TemplateFileName))};
    SetFileButtons(false, false);
    OnExit enableFileButtons([this] { SetFileButtons(true, true); });
    const std::optional<QString> chosen = Ask().SaveFileDialog(request);
    if (chosen) {
        const std::string target = ToPath(*chosen);
        if (RegularFileExists(target)) {
            const QString question = "WARNING:\r\rFile " + FromPath(ExtractFileName(target)) + " already exist. Overwrite?\r";
            if (Ask().ConfirmBox(question) == ConfirmAnswer::No) return;
        }
        TmeSaveDir = ExtractFilePath(target);
        SavePath("TmeSaveDir", TmeSaveDir);
        if (State.IsPack) {
            Doc.RebuildPack(target);
            ClearPackChanged();
        } else if (SingleTemplateOpen) {
            // The working copy holds the template with its saved code changes.
            CopyFileReplacing(State.WorkDir + "/" + ExtractFileName(State.TemplateFileName), target,
                              AtomicFile::Symlink::Follow);
            ClearPackChanged();
        }
    }
    SetFileButtons(true, true);
    SetActionText(kStatusPickAction);
    TreeView1->setFocus();
}

QString TF_Main::WindowTitleText(bool changed) {
    return changed ? QStringLiteral("Kep Template Editor *") : QStringLiteral("Kep Template Editor");
}

QString TF_Main::PackChangedQuestion() {
    return QStringLiteral("The template pack has changes that are not saved.\r\rSave it first?");
}

void TF_Main::MarkPackChanged() {
    // Only a pack, or a single template opened by Open, is written by Save;
    // a change that Save cannot write would make every later question a trap.
    if (!State.IsPack && !SingleTemplateOpen) return;
    packChanged_ = true;
    setWindowTitle(WindowTitleText(true));
}

void TF_Main::ClearPackChanged() {
    packChanged_ = false;
    setWindowTitle(WindowTitleText(false));
}

bool TF_Main::SettlePackChanges() {
    if (!packChanged_) return true;
    switch (Ask().ConfirmBox(PackChangedQuestion())) {
    case ConfirmAnswer::No:
        return true;
    case ConfirmAnswer::Yes:
        // A cancelled or failed Save leaves the changes, and the action that asked ends.
        RunCommand("B_SaveClick", [this] { B_SaveClick(); });
        return !packChanged_;
    case ConfirmAnswer::Closed:
        break;
    }
    return false;
}

} // namespace kep
