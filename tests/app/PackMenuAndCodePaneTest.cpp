// The code pane in the window (its place, its keys, its undo history per
// template) and the tree's context menu: the check of every template and the
// export of every member.
#include "CommandFixture.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include "app/FindReplaceBar.h"

namespace kep::testing_support {
namespace {

class PackMenuAndCodePane : public CommandTest {
protected:
    const Bytes menu1 = MakeTemplate(SimpleCode("One"));
    const Bytes menu2 = MakeTemplate(SimpleCode("Two"));
    const Bytes back = MakeJpeg(64, 48);

    std::string OpenHoliday() {
        return OpenPack("holiday.tme", {{"menu1.tme", menu1}, {"back.jpg", back}, {"menu2.tme", menu2}});
    }
    std::string Out() const { return Root + "/out"; }
    // Chooses an entry of the tree's context menu, as the user does.
    void Choose(QAction* entry) {
        Window->TreeView1ContextPopup(QPoint(5, 5));
        EXPECT_TRUE(entry->isEnabled());
        entry->trigger();
        Window->TreeMenu->hide();
    }
    void Press(QWidget* target, int key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers);
        QCoreApplication::sendEvent(target, &press);
    }
};

TEST_F(PackMenuAndCodePane, TheCodePaneTakesTheEditorsPlaceAndLooks) {
    CodePane* pane = Window->Editor;
    EXPECT_EQ(pane->parentWidget(), Window->Panel4);
    EXPECT_EQ(pane->geometry(), QRect(2, 2, 573, 380));
    EXPECT_EQ(pane->font().pixelSize(), 11);
    EXPECT_TRUE(pane->font().fixedPitch());
    EXPECT_EQ(pane->palette().color(QPalette::Base), QColor(192, 192, 192));
    EXPECT_EQ(pane->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(pane->accessibleName(), "Template code");
    EXPECT_TRUE(pane->isHidden());

    // Shown in the window, the highlighted code is no change of the code, and
    // the pane's keys open its bar without touching the code either.
    Window->show();
    OpenHoliday();
    ClickEntry("menu1.tme");
    QCoreApplication::processEvents();
    pane->HighlightVisibleBlocks();
    EXPECT_GT(pane->LineNumberAreaWidth(), 0);
    EXPECT_EQ(pane->geometry(), QRect(2, 2, 573, 380));
    EXPECT_FALSE(Window->B_Editor->isEnabled());
    const struct {
        int key;
        FindReplaceBar::Mode mode;
    } keys[] = {{Qt::Key_F, FindReplaceBar::Mode::Find},
                {Qt::Key_H, FindReplaceBar::Mode::Replace},
                {Qt::Key_G, FindReplaceBar::Mode::GoToLine}};
    for (const auto& k : keys) {
        Press(pane, k.key, Qt::ControlModifier);
        EXPECT_FALSE(pane->Bar()->isHidden());
        Press(pane, Qt::Key_Escape, Qt::NoModifier);
        EXPECT_TRUE(pane->Bar()->isHidden());
    }
    EXPECT_FALSE(Window->B_Editor->isEnabled());
    EXPECT_EQ(Status(), "You can change template code, if you want.");
}

TEST_F(PackMenuAndCodePane, UndoHistoryLastsWhileTheSameTemplateStaysShown) {
    OpenHoliday();
    ClickEntry("menu2.tme");
    const std::string codeOfTwo = Window->EditorText();
    ClickEntry("menu1.tme");
    EXPECT_FALSE(Window->Editor->document()->isUndoAvailable());
    // menu1 gets menu2's code: typed, saved, and shown again.
    Retype(codeOfTwo);
    Window->B_Editor->click();
    EXPECT_EQ(ReadBytes(WorkDir() + "/menu1.tme"), menu2);
    ClickEntry("menu1.tme");
    EXPECT_TRUE(Window->Editor->document()->isUndoAvailable());
    Window->Editor->undo();
    EXPECT_TRUE(EditorCode().contains("'One'"));
    EXPECT_TRUE(Window->Editor->document()->isRedoAvailable());
    Window->Editor->redo();
    EXPECT_EQ(Window->EditorText(), codeOfTwo);
    EXPECT_TRUE(Window->B_Editor->isEnabled()); // undo and redo are changes
    Window->B_Editor->click();

    // Another template starts the history afresh, also when its code is what
    // the pane already holds.
    ClickEntry("menu2.tme");
    EXPECT_EQ(Window->EditorText(), codeOfTwo);
    EXPECT_FALSE(Window->Editor->document()->isUndoAvailable());
    EXPECT_FALSE(Window->Editor->document()->isRedoAvailable());

    // So does another pack with a member of the same name and code.
    Type(" ");
    Window->Editor->undo();
    Ask->Answers = {ConfirmAnswer::No, ConfirmAnswer::No}; // the changed code, then the changed pack
    OpenPack("holiday.tme", {{"menu2.tme", menu2}});
    ClickEntry("menu2.tme");
    EXPECT_FALSE(Window->Editor->document()->isUndoAvailable());
    EXPECT_FALSE(Window->Editor->document()->isRedoAvailable());
    EXPECT_TRUE(Exceptions().empty());
}

TEST_F(PackMenuAndCodePane, ContextMenuFollowsTheOpenDocument) {
    QContextMenuEvent request(QContextMenuEvent::Mouse, QPoint(5, 5), Window->TreeView1->viewport()->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(Window->TreeView1->viewport(), &request);
    EXPECT_TRUE(Window->TreeMenu->isVisible());
    EXPECT_EQ(Window->MI_CheckTemplates->text(), "Check templates");
    EXPECT_EQ(Window->MI_ExportAll->text(), "Export all members...");
    EXPECT_FALSE(Window->MI_CheckTemplates->isEnabled());
    EXPECT_FALSE(Window->MI_ExportAll->isEnabled());
    Window->TreeMenu->hide();
    // Triggered anyway, without a document they do nothing.
    Window->MI_CheckTemplatesClick();
    Window->MI_ExportAllClick();
    EXPECT_TRUE(Ask->Log.empty());

    OpenHoliday();
    ClickEntry("menu1.tme");
    Window->TreeView1ContextPopup(QPoint(5, 5));
    EXPECT_TRUE(Window->MI_CheckTemplates->isEnabled());
    EXPECT_TRUE(Window->MI_ExportAll->isEnabled());
    Window->TreeMenu->hide();

    // The right button does not select another entry.
    const QRect backRect = Window->TreeView1->visualItemRect(Entry("back.jpg"));
    QMouseEvent press(QEvent::MouseButtonPress, backRect.center(), Window->TreeView1->viewport()->mapToGlobal(backRect.center()),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Window->TreeView1->viewport(), &press);
    EXPECT_EQ(SelectedText(), "menu1.tme");
    EXPECT_EQ(Window->State.SelectedIndex, 1);
}

TEST_F(PackMenuAndCodePane, CheckTemplatesReportsEveryMemberAfterSettlingTheCode) {
    OpenHoliday();
    ClickEntry("menu1.tme");
    Choose(Window->MI_CheckTemplates);
    ASSERT_NE(Ask->Last("Information"), nullptr);
    EXPECT_EQ(Ask->Last("Information")->Text,
              "Check of the templates (code to text and back):\r\r"
              "menu1.tme: same bytes\rback.jpg: not a template\rmenu2.tme: same bytes\r");

    // Pending code is saved (or not) first; the check reads what was saved.
    Retype(SimpleCode("Saved"));
    Ask->Answers.push_back(ConfirmAnswer::Yes);
    Ask->Log.clear();
    Choose(Window->MI_CheckTemplates);
    ASSERT_EQ(Ask->Log.size(), 2u);
    EXPECT_EQ(Ask->Log[0].Text, "WARNING:\r\rTemplate menu1.tme has been changed. Save changes?\r");
    EXPECT_EQ(Ask->Log[1].Kind, "Information");
    EXPECT_EQ(ReadBytes(WorkDir() + "/menu1.tme"), MakeTemplate(SimpleCode("Saved")));

    // A template that does not convert: a warning naming it.
    Ask->Answers.push_back(ConfirmAnswer::No);
    OpenPack("broken.tme", {{"bad.tme", TemplateAround(Bytes("\x15", 1))}, {"menu2.tme", menu2}});
    Choose(Window->MI_CheckTemplates);
    ASSERT_NE(Ask->Last("Warning"), nullptr);
    EXPECT_TRUE(Ask->Last("Warning")->Text.contains("bad.tme: does not convert: "));
    EXPECT_TRUE(Ask->Last("Warning")->Text.contains("menu2.tme: same bytes"));

    // A single template is checked alone.
    WriteBytes(Files + "single.tme", menu1);
    Open(Files + "single.tme");
    Choose(Window->MI_CheckTemplates);
    EXPECT_EQ(Ask->Last("Information")->Text,
              "Check of the templates (code to text and back):\r\rsingle.tme: same bytes\r");
    EXPECT_TRUE(Exceptions().empty());
}

TEST_F(PackMenuAndCodePane, ExportAllMembersIntoAChosenFolder) {
    OpenHoliday();
    ClickEntry("back.jpg");
    Choose(Window->MI_ExportAll); // folder dialog cancelled
    const auto* request = Ask->Last("Folder");
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->Request.Title, "Export all members...");
    EXPECT_EQ(request->Request.InitialDir.toStdString(), Files);
    EXPECT_EQ(Ask->Log.back().Kind, "Folder");
    EXPECT_TRUE(Window->B_Open->isEnabled());
    EXPECT_TRUE(Window->B_Save->isEnabled());

    std::filesystem::create_directories(Out());
    Ask->Files.push_back(QString::fromStdString(Out()));
    Ask->Answers.push_back(ConfirmAnswer::Yes); // templates also as code
    Choose(Window->MI_ExportAll);
    EXPECT_EQ(Ask->Last("Confirm")->Text,
              "Export all members:\r\rWrite the code of each template also as a .txt file?\r");
    EXPECT_EQ(Ask->Last("Information")->Text.toStdString(), "5 files written to " + Out() + ".");
    EXPECT_EQ(ReadBytes(Out() + "/menu1.tme"), menu1);
    EXPECT_EQ(ReadBytes(Out() + "/back.jpg"), back);
    EXPECT_EQ(ReadBytes(Out() + "/menu2.tme"), menu2);
    EXPECT_EQ(ReadBytes(Out() + "/menu1.txt"), SimpleCode("One"));
    EXPECT_EQ(Window->TmeSaveDir, Out() + "/");
    EXPECT_EQ(StoredSetting("TmeSaveDir"), Out() + "/");

    // Existing files: the overwrite question for each, No keeps the old one.
    WriteBytes(Out() + "/back.jpg", "old");
    Ask->Files.push_back(QString::fromStdString(Out()));
    Ask->Answers = {ConfirmAnswer::No, ConfirmAnswer::Yes, ConfirmAnswer::No, ConfirmAnswer::Yes};
    Choose(Window->MI_ExportAll);
    EXPECT_EQ(Ask->Texts("Confirm").back(), "WARNING:\r\rFile menu2.tme already exist. Overwrite?\r");
    EXPECT_EQ(ReadBytes(Out() + "/back.jpg"), "old");
    EXPECT_EQ(Ask->Last("Information")->Text.toStdString(), "2 files written to " + Out() + ".");
    EXPECT_TRUE(Ask->Answers.empty());
    EXPECT_TRUE(Exceptions().empty());
}

} // namespace
} // namespace kep::testing_support
