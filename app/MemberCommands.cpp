// The member commands of an open pack: Export, Substitute, Remove and Add.
#include "app/CommandSupport.h"
#include "app/MemberFiles.h"
#include "app/TF_Select.h"
#include "document/PathParts.h"
#include "formstream/CodePage.h"

namespace kep {

namespace {

const char kConfirmOverwrite[] = "WARNING:\r\rFile %1 already exist. Overwrite?\r";

// The selected member's index, or 0 when none is selected.
int SelectedMember(const TF_Main& window) {
    const DocumentState& state = window.State;
    const int count = std::min(state.FileCount, kMaxMembers);
    return state.IsPack && state.SelectedIndex >= 1 && state.SelectedIndex <= count ? state.SelectedIndex : 0;
}

// The first steps of Export and Substitute: pending changes are settled, and
// a template member's format is asked. Returns 0 when the command ends here.
int FormatQuestion(TF_Main& window) {
    window.TestIfSaved();
    const int index = SelectedMember(window);
    if (index == 0) return 0;
    if (ExtractFileExt(window.State.FileNames[index]) != ".tme") return kFormatTemplate;
    const int choice = window.F_Select != nullptr ? window.F_Select->ShowModal() : kFormatCancelled;
    if (choice != kFormatTemplate && choice != kFormatText) {
        window.TreeView1->setFocus();
        return 0;
    }
    return choice;
}

QString MemberFilter(const std::string& extension) {
    return TF_Main::FromAnsi("Files " + extension + " (*" + extension + ")|*" + extension);
}

// The editor's code for a text export: the member's own code. When the
// editor does not show it (its conversion failed), it is read again first.
std::string CodeOfMember(TF_Main& window, int index) {
    if (window.Editor->isHidden())
        window.Doc.TemplateToText(window.State.WorkDir + "/" + window.State.FileNames[index]);
    return window.EditorText();
}

// The tree entry of member index: the child of the "Files: " entry at its
// place in the table, provided it carries the member's name.
QTreeWidgetItem* MemberEntry(TF_Main& window, int index) {
    QTreeWidgetItem* files = window.TreeItemAt(4);
    if (files == nullptr) return nullptr;
    QTreeWidgetItem* entry = files->child(index - 1);
    if (entry != nullptr && TF_Main::ToAnsi(entry->text(0)) == window.State.FileNames[index]) return entry;
    return nullptr;
}

void WarnAndEnd(TF_Main& window, const char* text) {
    window.Ask().WarningBox(QString::fromLatin1(text));
    window.TreeView1->setFocus();
}

} // namespace

void TF_Main::B_EsportaClick() {
    const int choice = FormatQuestion(*this);
    if (choice == 0) return;
    const int index = State.SelectedIndex;
    const std::string name = State.FileNames[index];
    SetActionColorMaroon();
    SetActionText("Pleas, select a name for file to export...");
    const std::string extension = choice == kFormatTemplate ? ExtractFileExt(name) : ".txt";
    const std::string proposed = choice == kFormatTemplate ? name : ChangeFileExt(name, ".txt");
    FileDialogRequest request{"Export file...", MemberFilter(extension), FromPath(TmeSaveDir), FromAnsi(proposed)};
    SetFileButtons(false, false);
    OnExit enableFileButtons([this] { SetFileButtons(true, true); });
    const std::optional<QString> chosen = Ask().SaveFileDialog(request);
    if (chosen) {
        const std::string target = ToPath(*chosen);
        if (RegularFileExists(target) &&
            Ask().ConfirmBox(QString::fromLatin1(kConfirmOverwrite).arg(FromPath(ExtractFileName(target)))) ==
                ConfirmAnswer::No) {
            TreeView1->setFocus();
            return;
        }
        TmeSaveDir = ExtractFilePath(target);
        SavePath("TmeSaveDir", TmeSaveDir);
        if (choice == kFormatTemplate) {
            CopyFileReplacing(State.WorkDir + "/" + name, target, AtomicFile::Symlink::Follow);
        } else {
            const std::string code = CodeOfMember(*this, index);
            SaveFileAtomically(target, code.data(), code.size(), AtomicFile::Symlink::Follow);
        }
    }
    SetFileButtons(true, true);
    SetActionText(kStatusPickAction);
    TreeView1->setFocus();
}

void TF_Main::B_CambiaClick() {
    const int choice = FormatQuestion(*this);
    if (choice == 0) return;
    const int index = State.SelectedIndex;
    const std::string name = State.FileNames[index];
    SetActionColorMaroon();
    SetActionText("Select file to import for substitution...");
    const std::string extension = choice == kFormatTemplate ? ExtractFileExt(name) : ".txt";
    FileDialogRequest request{"Import substitution file...", MemberFilter(extension), FromPath(TmeSaveDir),
                              QString()};
    SetFileButtons(false, false);
    OnExit enableFileButtons([this] { SetFileButtons(true, true); });
    const std::optional<QString> chosen = Ask().OpenFileDialog(request);
    if (chosen) {
        const std::string source = ToPath(*chosen);
        if (ExtractFileExt(source) != extension) {
            Ask().WarningBox(FromAnsi("ATTENZIONE:\r\rCan't import file. Must have " + extension + "extension " + "\r"));
            return;
        }
        TmeSaveDir = ExtractFilePath(source);
        SavePath("TmeSaveDir", TmeSaveDir);
        if (choice == kFormatTemplate) {
            const std::string member = State.WorkDir + "/" + name;
            CopyFileReplacing(source, member);
            State.MemberBuffer->Clear();
            State.MemberBuffer->LoadFromFile(member);
            State.FileInfo[index].Size = State.MemberBuffer->GetSize();
            L_Size->setText(QString::number(State.FileInfo[index].Size));
            State.FileInfo[index].Offset = 0;
            MarkPackChanged();
            if (IsImageName(name)) {
                Image1->LoadFromFile(member);
            } else {
                // The editor shows the new code, as selecting the entry again would.
                Editor->hide();
                ShowTemplateCode(*this, name);
            }
        } else {
            const QString text = ReadTextFile(source);
            QString current = Editor->document()->toRawText();
            current.replace(QChar::ParagraphSeparator, '\n');
            if (text != current) Editor->setPlainText(text);
            Image1->hide();
            Editor->show();
        }
    }
    SetFileButtons(true, true);
    SetActionText(kStatusPickAction);
    TreeView1->setFocus();
}

void TF_Main::B_EliminaClick() {
    TestIfSaved();
    const int index = SelectedMember(*this);
    if (index == 0) return;
    QTreeWidgetItem* entry = MemberEntry(*this, index);
    const int count = State.FileCount;
    State.FileCount = count - 1;
    for (int p = index; p <= count - 1; ++p) {
        State.FileNames[p] = State.FileNames[p + 1];
        State.FileInfo[p] = State.FileInfo[p + 1];
    }
    MarkPackChanged();
    QTreeWidgetItem* files = TreeItemAt(4);
    if (entry != nullptr) {
        // Only the removed member's entry goes; when it was the selected one,
        // the next member is selected, or the "Files: " entry after the last.
        const bool wasSelected = TreeSelected() == entry;
        QTreeWidgetItem* parent = entry->parent();
        const int row = parent->indexOfChild(entry);
        delete entry;
        if (wasSelected) TreeSelect(row < parent->childCount() ? parent->child(row) : parent);
    }
    if (files != nullptr) {
        files->setText(0, QStringLiteral("Files: %1").arg(State.FileCount));
        if (TreeSelected() == files) TreeSelect(TreeLastItem());
    }
    TreeView1Click();
    TreeView1->setFocus();
}

void TF_Main::B_InserisciClick() {
    TestIfSaved();
    SetActionColorMaroon();
    SetActionText("Select file to add...");
    FileDialogRequest request{"Add file...", "Template Files (*.tme;*.jpg;*.bmp)|*.tme;*.jpg;*.bmp",
                              FromPath(TmeSaveDir), QString()};
    SetFileButtons(false, false);
    OnExit enableFileButtons([this] { SetFileButtons(true, true); });
    const std::optional<QString> chosen = Ask().OpenFileDialog(request);
    if (chosen && !AddChosenFile(*chosen)) return;
    TreeSelect(TreeLastItem());
    TreeView1Click();
    TreeView1->setFocus();
    SetFileButtons(true, true);
}

bool TF_Main::AddChosenFile(const QString& chosen) {
    const std::string source = ToPath(chosen);
    const std::string extension = ExtractFileExt(source);
    if (extension != ".tme" && extension != ".jpg" && extension != ".bmp") {
        WarnAndEnd(*this, "WARNING:  Can't import file.\r\rMust have .tme, .jpg or .bmp extension.\r");
        return false;
    }
    TmeSaveDir = ExtractFilePath(source);
    SavePath("TmeSaveDir", TmeSaveDir);
    // The member's name is stored in the pack as Windows-1252 text of at most 255 characters.
    bool lossy = false;
    const std::string name = WideToAnsi(chosen.mid(chosen.lastIndexOf('/') + 1).toStdU16String(), &lossy);
    const int count = std::min(State.FileCount, kMaxMembers);
    for (int i = 1; i <= count; ++i) {
        if (State.FileNames[i] == name) {
            WarnAndEnd(*this, "WARNING:  Can't add file.\r\rFile alreay exist.\r\rTry to use \"Substitute\" function.\r");
            return false;
        }
    }
    if (State.FileCount >= kMaxMembers) {
        WarnAndEnd(*this, "WARNING:  Can't add file.\r\rA template pack holds at most 100 files.\r");
        return false;
    }
    if (lossy || name.size() > 255) {
        WarnAndEnd(*this, "WARNING:  Can't add file.\r\rIts name cannot be stored in a template pack.\r");
        return false;
    }
    // The copy is made and measured before the table changes, so a
    // failure leaves the pack as it was.
    const std::string member = State.WorkDir + "/" + name;
    CopyFileReplacing(source, member);
    State.MemberBuffer->Clear();
    State.MemberBuffer->LoadFromFile(member);
    const int64_t size = State.MemberBuffer->GetSize();
    State.FileCount = State.FileCount + 1;
    State.FileNames[State.FileCount] = name;
    State.FileInfo[State.FileCount].Size = size;
    State.FileInfo[State.FileCount].Offset = 0;
    L_Size->setText(QString::number(size));
    if (QTreeWidgetItem* files = TreeItemAt(4)) {
        files->setText(0, QStringLiteral("Files: %1").arg(State.FileCount));
        TreeAddChild(files, name);
    }
    MarkPackChanged();
    return true;
}

} // namespace kep
