// Template code editing: changes in the editor are tracked, written back on
// "Save changes", and settled by TestIfSaved before any other command.
#include "app/CommandSupport.h"
#include "document/PathParts.h"

#include <QCloseEvent>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>

namespace kep {

std::string EditedTemplateName(const TF_Main& window) {
    const DocumentState& state = window.State;
    if (state.IsPack) {
        if (state.SelectedIndex < 1 || state.SelectedIndex > std::min(state.FileCount, kMaxMembers)) return {};
        return state.FileNames[state.SelectedIndex];
    }
    return ExtractFileName(state.TemplateFileName);
}

std::string EditedTemplatePath(const TF_Main& window) {
    return window.State.WorkDir + "/" + EditedTemplateName(window);
}

namespace {

// Puts the editor's cursor at the start of the line an error message names
// ("... on line N"); messages without a line leave it where it is.
void MoveCursorToErrorLine(QPlainTextEdit* editor, const QString& message) {
    static const QRegularExpression onLine(QStringLiteral(" on line (\\d+)"));
    const QRegularExpressionMatch match = onLine.match(message);
    if (!match.hasMatch()) return;
    const int line = match.captured(1).toInt();
    const QTextBlock block = editor->document()->findBlockByNumber(line - 1);
    if (!block.isValid()) return;
    QTextCursor cursor(block);
    editor->setTextCursor(cursor);
    editor->centerCursor();
    if (editor->isVisible()) editor->setFocus();
}

} // namespace

void TF_Main::EditorChange() {
    if (State.LoadingText) return;
    B_Editor->setEnabled(true);
    SetActionText("Remember to confirm changes for save.");
}

void TF_Main::EditorEnter() {
    QPalette palette = Editor->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
    Editor->setPalette(palette);
}

void TF_Main::EditorExit() {
    QPalette palette = Editor->palette();
    palette.setColor(QPalette::Base, QColor(192, 192, 192));
    Editor->setPalette(palette);
}

void TF_Main::B_EditorClick() {
    const std::string name = EditedTemplateName(*this);
    if (name.empty()) return; // no member selected: no template to write
    int64_t size = 0;
    try {
        size = Doc.TextToTemplate(State.WorkDir + "/" + name);
    } catch (const std::exception& error) {
        MoveCursorToErrorLine(Editor, QString::fromStdString(error.what()));
        throw;
    }
    if (State.IsPack) {
        State.FileInfo[State.SelectedIndex].Size = size;
        State.FileInfo[State.SelectedIndex].Offset = 0;
    }
    MarkPackChanged();
    L_Size->setText(QString::number(size));
    SetActionText(kStatusPickAction);
    TreeView1->setFocus();
}

void TF_Main::TestIfSaved() {
    if (!B_Editor->isEnabled()) return;
    const ConfirmAnswer answer = Ask().ConfirmBox(
        FromAnsi("WARNING:\r\rTemplate " + EditedTemplateName(*this) + " has been changed. Save changes?\r"));
    if (answer == ConfirmAnswer::Yes) {
        B_EditorClick();
    } else {
        DiscardCodeChanges();
    }
    B_Editor->setEnabled(false);
}

void TF_Main::DiscardCodeChanges() {
    // The changes are dropped even when the code cannot be read back;
    // otherwise every later command would ask again and fail again.
    OnExit dropChanges([this] { B_Editor->setEnabled(false); });
    L_Size->setText(QString::number(Doc.TemplateToText(EditedTemplatePath(*this))));
}

void TF_Main::closeEvent(QCloseEvent* event) {
    // Code changes not yet written back are settled first: Yes saves, and the
    // window stays open when saving fails; any other answer closes.
    bool codeDropped = false;
    if (B_Editor->isEnabled()) {
        const ConfirmAnswer answer = Ask().ConfirmBox(
            FromAnsi("WARNING:\r\rTemplate " + EditedTemplateName(*this) + " has been changed. Save changes?\r"));
        if (answer == ConfirmAnswer::Yes && !RunCommand("B_EditorClick", [this] { B_EditorClick(); })) {
            event->ignore();
            return;
        }
        codeDropped = answer != ConfirmAnswer::Yes;
    }
    if (PackChanged()) {
        // The dropped code changes are not part of what Save writes; the code
        // is read again so that Save does not ask about them once more, and
        // the editor shows what the pack holds when the window stays open.
        if (codeDropped) RunCommand("TestIfSaved", [this] { DiscardCodeChanges(); });
        if (!SettlePackChanges()) {
            event->ignore();
            return;
        }
    }
    QWidget::closeEvent(event);
}

} // namespace kep
