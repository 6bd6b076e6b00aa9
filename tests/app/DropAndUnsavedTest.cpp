// Files dropped on the window and on the tree, and the protection of a pack
// with changes that Save has not written yet: the title's asterisk and the
// question before Open, a dropped file or closing the window drop the pack.
#include "CommandFixture.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <functional>

namespace kep::testing_support {
namespace {

const QString kTitle = "Kep Template Editor";
const QString kChangedTitle = "Kep Template Editor *";
const QString kPackQuestion = "The template pack has changes that are not saved.\r\rSave it first?";
const QString kCodeQuestion = "WARNING:\r\rTemplate menu1.tme has been changed. Save changes?\r";

class DropAndUnsaved : public CommandTest {
protected:
    const Bytes menu1 = MakeTemplate(SimpleCode("One"));
    const Bytes back = MakeJpeg(720, 576);

    std::string HolidayPath() const { return Files + "holiday.tme"; }
    std::string OpenHoliday() { return OpenPack("holiday.tme", {{"menu1.tme", menu1}, {"back.jpg", back}}); }
    // A second pack to open after the first.
    std::string OtherPack() {
        const std::string path = Files + "other.tme";
        WriteBytes(path, MakePack("Other", {{"other.jpg", MakeJpeg(64, 48)}}));
        return path;
    }
    QStringList FileEntries() const {
        QStringList texts;
        QTreeWidgetItem* files = Window->TreeItemAt(4);
        for (int i = 0; files && i < files->childCount(); ++i) texts << files->child(i)->text(0);
        return texts;
    }
    // A real drop of paths at position (in the window), after its drag enter;
    // returns whether the drag was accepted.
    bool DropAt(QWidget* target, const QPoint& position, const QStringList& paths) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls << (path.contains("://") ? QUrl(path) : QUrl::fromLocalFile(path));
        data.setUrls(urls);
        QDragEnterEvent enter(position, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDropEvent drop(position, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }
    QPoint TreeCentre() const { return Window->TreeView1->mapTo(Window.get(), Window->TreeView1->rect().center()); }
    QPoint PreviewCentre() const { return Window->Panel4->mapTo(Window.get(), Window->Panel4->rect().center()); }
    bool Changed() const {
        EXPECT_EQ(Window->windowTitle(), Window->PackChanged() ? kChangedTitle : kTitle);
        return Window->PackChanged();
    }
};

TEST_F(DropAndUnsaved, TemplateDroppedOnTheWindowOpensWithoutTheDialog) {
    // Neither the tree nor the preview takes drops themselves: they reach the window.
    EXPECT_FALSE(Window->TreeView1->acceptDrops() || Window->TreeView1->viewport()->acceptDrops());
    EXPECT_FALSE(Window->Image1->acceptDrops() || Window->Panel4->acceptDrops());
    const std::string pack = OpenHoliday();
    const std::string other = OtherPack();
    Ask->Log.clear();
    EXPECT_TRUE(DropAt(Window.get(), PreviewCentre(), {QString::fromStdString(other)}));
    EXPECT_TRUE(Ask->Log.empty()); // no dialog, no question
    EXPECT_EQ(Window->L_Filename->text().toStdString(), " " + other);
    EXPECT_EQ(Window->TreeItemAt(4)->text(0), "Files: 1");
    EXPECT_EQ(StoredSetting("TmeDir"), Files);
    EXPECT_EQ(Status(), "Click on file.");
    EXPECT_TRUE(Window->B_Open->isEnabled());
    EXPECT_TRUE(Window->B_Save->isEnabled());

    // On the code editor the file opens too, and no text is inserted.
    WriteBytes(Files + "single.tme", menu1);
    Open(Files + "single.tme");
    ClickEntry("single.tme");
    const QPoint inEditor = Window->Editor->viewport()->rect().center();
    EXPECT_TRUE(DropAt(Window->Editor->viewport(), inEditor, {QString::fromStdString(pack)}));
    EXPECT_EQ(Window->L_Filename->text().toStdString(), " " + pack);
    EXPECT_TRUE(Window->Editor->isHidden());
    EXPECT_FALSE(Window->B_Editor->isEnabled());
    EXPECT_TRUE(Exceptions().empty());
}

TEST_F(DropAndUnsaved, DropsThatAreNotTaken) {
    WriteBytes(Files + "a.tme", menu1);
    WriteBytes(Files + "b.tme", menu1);
    WriteBytes(Files + "picture.jpg", back);
    const struct {
        const char* what;
        QStringList paths;
    } cases[] = {
        {"two templates", {QString::fromStdString(Files + "a.tme"), QString::fromStdString(Files + "b.tme")}},
        {"a picture", {QString::fromStdString(Files + "picture.jpg")}},
        {"another case", {QString::fromStdString(Files + "a.TME")}},
        {"a remote file", {"https://example.invalid/a.tme"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(DropAt(Window.get(), PreviewCentre(), c.paths));
        // Without an open pack the tree takes only what the window takes.
        EXPECT_FALSE(DropAt(Window.get(), TreeCentre(), c.paths));
        EXPECT_EQ(Window->TreeCount(), 0);
    }
    // With a single template open, a picture on the tree is not added.
    Open(Files + "a.tme");
    EXPECT_FALSE(DropAt(Window.get(), TreeCentre(), {QString::fromStdString(Files + "picture.jpg")}));
    // Nor does the code editor take it as text.
    ClickEntry("a.tme");
    const std::string code = Window->EditorText();
    EXPECT_FALSE(DropAt(Window->Editor->viewport(), Window->Editor->viewport()->rect().center(),
                        {QString::fromStdString(Files + "picture.jpg")}));
    EXPECT_EQ(Window->EditorText(), code);
    EXPECT_FALSE(Window->B_Editor->isEnabled());
    EXPECT_FALSE(Window->AcceptsDroppedFiles({}, true));
    EXPECT_TRUE(Ask->Texts("Warning").empty());
    EXPECT_FALSE(Changed());
}

TEST_F(DropAndUnsaved, FilesDroppedOnThePackTreeAreAddedWithAddsChecks) {
    OpenHoliday();
    WriteBytes(Files + "drop/new.jpg", MakeJpeg(32, 32));
    WriteBytes(Files + "drop/notes.txt", "text");
    WriteBytes(Files + "drop/menu1.tme", menu1);
    WriteBytes(Files + "drop/pic.bmp", MakeBmp(8, 8));
    WriteBytes(Files + "drop/menu9.tme", MakeTemplate(SimpleCode("Nine")));
    const QString drop = QString::fromStdString(Files + "drop/");
    Ask->Log.clear();
    EXPECT_TRUE(DropAt(Window.get(), TreeCentre(),
                       {drop + "new.jpg", drop + "notes.txt", drop + "menu1.tme", drop + "pic.bmp"}));
    // Each refused file has Add's own warning; the others are added in order.
    EXPECT_EQ(Ask->Texts("Warning"),
              (std::vector<QString>{"WARNING:  Can't import file.\r\rMust have .tme, .jpg or .bmp extension.\r",
                                    "WARNING:  Can't add file.\r\rFile alreay exist.\r\rTry to use \"Substitute\" function.\r"}));
    EXPECT_TRUE(Ask->Texts("Open").empty());
    EXPECT_EQ(FileEntries(), QStringList({"menu1.tme", "back.jpg", "new.jpg", "pic.bmp"}));
    EXPECT_EQ(Window->TreeItemAt(4)->text(0), "Files: 4");
    EXPECT_EQ(Window->State.FileCount, 4);
    EXPECT_EQ(ReadBytes(WorkDir() + "/pic.bmp"), ReadBytes(Files + "drop/pic.bmp"));
    EXPECT_EQ(SelectedText(), "pic.bmp");
    EXPECT_EQ(StoredSetting("TmeSaveDir"), Files + "drop/");
    EXPECT_TRUE(Changed());

    // A template dropped on the tree of a pack is added, not opened; pending
    // code changes are settled first, as Add does.
    ClickEntry("menu1.tme");
    Retype(SimpleCode("Edited"));
    Ask->Answers.push_back(ConfirmAnswer::Yes);
    EXPECT_TRUE(DropAt(Window.get(), TreeCentre(), {drop + "menu9.tme"}));
    EXPECT_EQ(Ask->Texts("Confirm"), std::vector<QString>{kCodeQuestion});
    EXPECT_EQ(ReadBytes(WorkDir() + "/menu1.tme"), MakeTemplate(SimpleCode("Edited")));
    EXPECT_EQ(FileEntries().back(), "menu9.tme");
    EXPECT_EQ(Window->L_Filename->text().toStdString(), " " + HolidayPath());

    // Only refused files: nothing changes but the warnings.
    Window->ClearPackChanged();
    EXPECT_TRUE(DropAt(Window.get(), TreeCentre(), {drop + "notes.txt"}));
    EXPECT_EQ(Window->State.FileCount, 5);
    EXPECT_FALSE(Changed());
    EXPECT_TRUE(Exceptions().empty());
}

TEST_F(DropAndUnsaved, EveryChangeThatOnlySaveWritesMarksThePack) {
    WriteBytes(Files + "sub.jpg", MakeJpeg(10, 10));
    WriteBytes(Files + "add.jpg", MakeJpeg(12, 12));
    WriteBytes(Files + "code.txt", SimpleCode("FromText"));
    const struct {
        const char* what;
        std::function<void()> change;
        bool marks;
    } cases[] = {
        {"opening", [] {}, false},
        {"selecting and exporting", [this] {
             ClickEntry("back.jpg");
             Ask->Files.push_back(QString::fromStdString(Files + "exported.jpg"));
             Window->B_Esporta->click();
         }, false},
        {"substituting a picture", [this] {
             ClickEntry("back.jpg");
             Ask->Files.push_back(QString::fromStdString(Files + "sub.jpg"));
             Window->B_Cambia->click();
         }, true},
        {"substituting code from text, not yet saved", [this] {
             ClickEntry("menu1.tme");
             Format.Choices.push_back(kFormatText);
             Ask->Files.push_back(QString::fromStdString(Files + "code.txt"));
             Window->B_Cambia->click();
         }, false},
        {"adding", [this] {
             ClickEntry("back.jpg");
             Ask->Files.push_back(QString::fromStdString(Files + "add.jpg"));
             Window->B_Inserisci->click();
         }, true},
        {"removing", [this] {
             ClickEntry("back.jpg");
             Window->B_Elimina->click();
         }, true},
        {"saving code", [this] {
             ClickEntry("menu1.tme");
             Retype(SimpleCode("Saved"));
             Window->B_Editor->click();
         }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // The questions of the case before: its code changes, then its pack changes.
        if (Window->B_Editor->isEnabled()) Ask->Answers.push_back(ConfirmAnswer::No);
        if (Window->PackChanged()) Ask->Answers.push_back(ConfirmAnswer::No);
        OpenHoliday();
        EXPECT_TRUE(Ask->Answers.empty());
        EXPECT_FALSE(Changed());
        c.change();
        EXPECT_EQ(Changed(), c.marks);
        EXPECT_TRUE(Ask->Files.empty());
    }
    // Save clears the mark; a cancelled Save keeps it.
    Window->B_Save->click();
    EXPECT_TRUE(Changed());
    Ask->Files.push_back(QString::fromStdString(Files + "saved.tme"));
    Window->B_Save->click();
    EXPECT_FALSE(Changed());

    // A single template with saved code is marked too; Save writes it.
    WriteBytes(Files + "single.tme", menu1);
    Open(Files + "single.tme");
    ClickEntry("single.tme");
    Retype(SimpleCode("Single"));
    Window->B_Editor->click();
    EXPECT_TRUE(Changed());
    Ask->Files.push_back(QString::fromStdString(Files + "single copy.tme"));
    Window->B_Save->click();
    EXPECT_FALSE(Changed());
    EXPECT_TRUE(Exceptions().empty());
}

TEST_F(DropAndUnsaved, OpeningAnotherFileAsksToSaveTheChangedPack) {
    const std::string other = OtherPack();
    const struct {
        const char* what;
        ConfirmAnswer answer;
        std::optional<QString> saveAs; // the Save dialog's answer after Yes
        bool opens;
    } cases[] = {
        {"closed question", ConfirmAnswer::Closed, std::nullopt, false},
        {"Yes, Save cancelled", ConfirmAnswer::Yes, std::nullopt, false},
        {"Yes, Save failing", ConfirmAnswer::Yes, QString::fromStdString(Root + "/no/such/folder/x.tme"), false},
        {"Yes, saved", ConfirmAnswer::Yes, QString::fromStdString(Files + "saved.tme"), true},
        {"No", ConfirmAnswer::No, std::nullopt, true},
    };
    for (const bool dropped : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (dropped ? ", dropped" : ", Open"));
            std::filesystem::remove(Files + "saved.tme");
            if (Window->PackChanged()) Ask->Answers.push_back(ConfirmAnswer::No);
            OpenHoliday();
            ClickEntry("back.jpg");
            Window->B_Elimina->click();
            ASSERT_TRUE(Changed());
            Ask->Log.clear();
            Ask->Answers.push_back(c.answer);
            if (c.answer == ConfirmAnswer::Yes) Ask->Files.push_back(c.saveAs);
            if (dropped) {
                EXPECT_TRUE(DropAt(Window.get(), PreviewCentre(), {QString::fromStdString(other)}));
            } else {
                Ask->Files.push_back(QString::fromStdString(other));
                Window->B_Open->click();
            }
            ASSERT_FALSE(Ask->Log.empty());
            EXPECT_EQ(Ask->Log[0].Kind, "Confirm");
            EXPECT_EQ(Ask->Log[0].Text, kPackQuestion);
            if (c.answer == ConfirmAnswer::Yes) {
                ASSERT_GE(Ask->Log.size(), 2u);
                EXPECT_EQ(Ask->Log[1].Text, "Save Kep Template...");
            }
            // Open's own dialog comes only when the action goes on.
            EXPECT_EQ(!Ask->Texts("Open").empty(), c.opens && !dropped);
            Ask->Files.clear();
            EXPECT_EQ(Window->L_Filename->text().toStdString(), " " + (c.opens ? other : HolidayPath()));
            EXPECT_EQ(Changed(), !c.opens);
            if (c.saveAs && c.opens) {
                EXPECT_EQ(ReadBytes(c.saveAs->toStdString()), MakePack("Holiday", {{"menu1.tme", menu1}}));
            }
            EXPECT_TRUE(Window->B_Open->isEnabled());
            EXPECT_EQ(Exceptions().size(), c.saveAs && !c.opens ? 1u : 0u); // only the failing Save
        }
    }
}

TEST_F(DropAndUnsaved, ClosingTheWindowAsksToSaveTheChangedPack) {
    OpenHoliday();
    EXPECT_TRUE(Window->close()); // unchanged: no question
    EXPECT_TRUE(Ask->Texts("Confirm").empty());

    ClickEntry("back.jpg");
    Window->B_Elimina->click();
    const struct {
        ConfirmAnswer answer;
        std::optional<QString> saveAs;
        bool closes;
    } cases[] = {
        {ConfirmAnswer::Closed, std::nullopt, false},
        {ConfirmAnswer::Yes, std::nullopt, false},
        {ConfirmAnswer::No, std::nullopt, true},
    };
    for (const auto& c : cases) {
        Window->show();
        Ask->Log.clear();
        Ask->Answers.push_back(c.answer);
        Ask->Files.push_back(c.saveAs);
        EXPECT_EQ(Window->close(), c.closes);
        EXPECT_EQ(Ask->Texts("Confirm"), std::vector<QString>{kPackQuestion});
        EXPECT_TRUE(Changed());
        Ask->Files.clear();
    }

    // Code changes answered No are dropped before Save, which asks nothing more;
    // Yes with a written pack closes.
    Window->show();
    ClickEntry("menu1.tme");
    Retype(SimpleCode("Dropped"));
    Ask->Log.clear();
    Ask->Answers = {ConfirmAnswer::No, ConfirmAnswer::Yes};
    Ask->Files.push_back(QString::fromStdString(Files + "closing.tme"));
    EXPECT_TRUE(Window->close());
    EXPECT_EQ(Ask->Texts("Confirm"), (std::vector<QString>{kCodeQuestion, kPackQuestion}));
    EXPECT_EQ(ReadBytes(Files + "closing.tme"), MakePack("Holiday", {{"menu1.tme", menu1}}));
    EXPECT_FALSE(Changed());

    // Code saved on closing is a pack change of its own.
    Window->show();
    Retype(SimpleCode("Kept"));
    Ask->Log.clear();
    Ask->Answers = {ConfirmAnswer::Yes, ConfirmAnswer::Closed};
    EXPECT_FALSE(Window->close());
    EXPECT_EQ(Ask->Texts("Confirm"), (std::vector<QString>{kCodeQuestion, kPackQuestion}));
    EXPECT_EQ(ReadBytes(WorkDir() + "/menu1.tme"), MakeTemplate(SimpleCode("Kept")));
    EXPECT_TRUE(Changed());
    EXPECT_TRUE(Exceptions().empty());
}

} // namespace
} // namespace kep::testing_support
