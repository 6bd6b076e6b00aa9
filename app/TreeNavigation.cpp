// Tree navigation and preview: selecting an entry of the tree shows an image
// member's picture or a template's code, and records the selected member.
#include "app/CommandSupport.h"
#include "app/MemberFiles.h"
#include "document/PathParts.h"

namespace kep {

namespace {

const char kStatusCodeShown[] = "You can change template code, if you want.";

} // namespace

bool IsImageName(const std::string& name) {
    const std::string tail = name.size() < 4 ? name : name.substr(name.size() - 4);
    return tail == ".jpg" || tail == ".bmp";
}

void ApplyStretchRule(TF_Main& window) {
    ImagePreview* image = window.Image1;
    if (image->PictureWidth() < image->width() - 1) {
        image->Stretch = false;
    } else {
        const bool checked = window.cbStretch->isChecked();
        image->Proportional = checked;
        image->Stretch = checked;
    }
}

void ShowTemplateCode(TF_Main& window, const std::string& name) {
    window.Image1->hide();
    window.L_Oggetto->setText(TF_Main::FromAnsi(name + " (template)"));
    window.L_Pixels->clear();
    // The undo history goes on while the same template stays shown, and starts
    // afresh with another template's code.
    const std::string path = window.State.WorkDir + "/" + name;
    window.Editor->SetHistoryOwner(TF_Main::FromPath(path));
    window.L_Size->setText(QString::number(window.Doc.TemplateToText(path)));
    window.Editor->show();
    window.SetActionText(kStatusCodeShown);
}

void TF_Main::TreeView1Click() {
    TestIfSaved();
    QTreeWidgetItem* selected = TreeSelected();
    if (selected == nullptr) return; // an empty tree, or none selected yet
    const std::string text = ToAnsi(selected->text(0));
    Editor->hide();

    if (State.IsPack) {
        int index = 0;
        const int count = std::min(State.FileCount, kMaxMembers);
        for (int i = 1; i <= count && index == 0; ++i)
            if (State.FileNames[i] == text) index = i;
        if (index == 0) {
            State.SelectedIndex = 0;
            L_Oggetto->clear();
            L_Size->clear();
            L_Pixels->clear();
            SetMemberButtons(false, true);
            SetActionText("Click on files.");
            return;
        }
        SetMemberButtons(true, true);
        State.SelectedIndex = index;
        if (!IsImageName(text)) {
            ShowTemplateCode(*this, text);
            return;
        }
        L_Oggetto->setText(FromAnsi(text + " (image)"));
        L_Size->setText(QString::number(State.FileInfo[index].Size));
        Image1->LoadFromFile(State.WorkDir + "/" + State.FileNames[index]);
        L_Pixels->setText(QStringLiteral("%1 x %2").arg(Image1->PictureWidth()).arg(Image1->PictureHeight()));
        ApplyStretchRule(*this);
        Image1->update();
        Image1->show();
        SetActionText(kStatusPickAction);
        return;
    }

    // A single template, a file of neither kind, or nothing open: only the
    // entry naming a file of the working folder shows code.
    L_Pixels->clear();
    SetMemberButtons(false, false);
    const std::string path = State.WorkDir + "/" + text;
    if (!State.WorkDir.empty() && IsPlainFileName(text) && RegularFileExists(path)) {
        L_Oggetto->setText(FromAnsi(text + " (template)"));
        L_Size->setText(QString::number(Doc.TemplateToText(path)));
        Editor->show();
        SetActionText(kStatusCodeShown);
    } else {
        L_Oggetto->clear();
        L_Size->clear();
        SetActionText("Click on template file.");
    }
}

void TF_Main::TreeView1KeyUp() {
    TreeView1Click();
}

void TF_Main::cbStretchClick() {
    ApplyStretchRule(*this);
    Image1->update();
}

} // namespace kep
