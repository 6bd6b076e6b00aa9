// The editor's commands over real files: tree navigation and preview, code
// editing, Open and Save, and the member commands.
#include "CommandFixture.h"

#include <QTextBlock>

namespace kep::testing_support {
namespace {

const QString kPick = "Select an action from buttons on side.";
const QString kCodeShown = "You can change template code, if you want.";

QStringList Children(QTreeWidgetItem* entry) {
    QStringList texts;
    for (int i = 0; entry && i < entry->childCount(); ++i) texts << entry->child(i)->text(0);
    return texts;
}

class Commands : public CommandTest {
protected:
    const Bytes menu1 = MakeTemplate(SimpleCode("One"));
    const Bytes menu2 = MakeTemplate(SimpleCode("Two"));
    const Bytes back = MakeJpeg(720, 576);

    std::string OpenHoliday() {
        return OpenPack("holiday.tme", {{"menu1.tme", menu1}, {"back.jpg", back}, {"menu2.tme", menu2}});
    }
    bool MemberButtons() const {
        return Window->B_Esporta->isEnabled() && Window->B_Cambia->isEnabled() && Window->B_Elimina->isEnabled();
    }
};

TEST_F(Commands, TypicalRoadFromOpenToSaveAndReopening) {
    // The pack lies outside the folder of the Open dialog: the folder is stored, not taken in memory.
    const std::string other = Root + "/other/";
    WriteBytes(other + "holiday.tme", MakePack("Holiday", {{"menu1.tme", menu1}, {"back.jpg", back}}));
    Open(other + "holiday.tme");
    const auto* request = Ask->Last("Open");
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->Request.Title, "Open Kep Template...");
    EXPECT_EQ(request->Request.Filter, "Template Files (tme)|*.tme|All Files (*.*)|*.*");
    EXPECT_EQ(request->Request.InitialDir.toStdString(), Files);
    EXPECT_EQ(StoredSetting("TmeDir"), other);
    EXPECT_EQ(Window->TmeDir, Files);
    EXPECT_EQ(Window->L_Filename->text().toStdString(), " " + other + "holiday.tme");
    EXPECT_EQ(WorkDir(), AppDir + "/holiday_template");
    EXPECT_EQ(Status(), "Click on file.");
    EXPECT_TRUE(Window->B_Open->isEnabled());
    EXPECT_TRUE(Window->B_Save->isEnabled());
    EXPECT_FALSE(Window->B_Inserisci->isEnabled());

    ClickEntry("menu1.tme");
    EXPECT_EQ(Window->State.SelectedIndex, 1);
    EXPECT_EQ(Window->L_Oggetto->text(), "menu1.tme (template)");
    EXPECT_EQ(Window->L_Size->text(), QString::number(menu1.size()));
    EXPECT_EQ(Window->L_Pixels->text(), "");
    EXPECT_FALSE(Window->Editor->isHidden());
    EXPECT_TRUE(EditorCode().contains("'One'"));
    EXPECT_FALSE(Window->B_Editor->isEnabled());
    EXPECT_EQ(Status(), kCodeShown);
    EXPECT_TRUE(MemberButtons());
    EXPECT_TRUE(Window->B_Inserisci->isEnabled());

    Window->EditorEnter();
    EXPECT_EQ(Window->Editor->palette().color(QPalette::Base), Window->Editor->palette().color(QPalette::ToolTipBase));
    Window->EditorExit();
    EXPECT_EQ(Window->Editor->palette().color(QPalette::Base), QColor(192, 192, 192));
    Type(" ");
    EXPECT_TRUE(Window->B_Editor->isEnabled());
    EXPECT_EQ(Status(), "Remember to confirm changes for save.");
    Retype(SimpleCode("Changed"));
    Window->B_Editor->click();
    const Bytes changed = MakeTemplate(SimpleCode("Changed"));
    EXPECT_EQ(ReadBytes(WorkDir() + "/menu1.tme"), changed);
    EXPECT_EQ(Window->State.FileInfo[1].Size, static_cast<int64_t>(changed.size()));
    EXPECT_EQ(Window->State.FileInfo[1].Offset, 0);
    EXPECT_EQ(Window->L_Size->text(), QString::number(changed.size()));
    EXPECT_FALSE(Window->B_Editor->isEnabled());
    EXPECT_EQ(Status(), kPick);

    ClickEntry("back.jpg");
    EXPECT_EQ(Window->State.SelectedIndex, 2);
    EXPECT_EQ(Window->L_Oggetto->text(), "back.jpg (image)");
    EXPECT_EQ(Window->L_Size->text(), QString::number(back.size()));
    EXPECT_EQ(Window->L_Pixels->text(), "720 x 576");
    EXPECT_TRUE(Window->Editor->isHidden());
    EXPECT_FALSE(Window->Image1->isHidden());
    EXPECT_EQ(Window->Image1->PictureWidth(), 720);
    EXPECT_EQ(Status(), kPick);

    Ask->Files.push_back(QString::fromStdString(Files + "saved.tme"));
    Window->B_Save->click();
    request = Ask->Last("Save");
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->Request.Title, "Save Kep Template...");
    EXPECT_EQ(request->Request.FileName, "holiday.tme");
    EXPECT_EQ(request->Request.InitialDir.toStdString(), Files);
    EXPECT_EQ(ReadBytes(Files + "saved.tme"), MakePack("Holiday", {{"menu1.tme", changed}, {"back.jpg", back}}));
    EXPECT_EQ(Window->TmeSaveDir, Files);
    EXPECT_EQ(StoredSetting("TmeSaveDir"), Files);
    EXPECT_EQ(Status(), kPick);

    Open(Files + "saved.tme");
    ClickEntry("menu1.tme");
    EXPECT_TRUE(EditorCode().contains("'Changed'"));
    EXPECT_TRUE(Ask->Texts("Confirm").empty());
    EXPECT_TRUE(Exceptions().empty());
}

TEST_F(Commands, SelectionRulesOfTheTree) {
    // The pack's name equals a member's name; PHOTO.JPG is no image by its name.
    OpenPack("sel.tme", {{"menu1.tme", menu1}, {"PHOTO.JPG", back}, {"a.b", menu2}, {"x.bmp", MakeBmp(64, 48)},
                         {"bad.jpg", MakeBmp(4, 4)}},
             "menu1.tme");
    // Before any selection, a click does nothing.
    Window->TreeSelect(nullptr);
    Window->TreeView1Click();
    EXPECT_EQ(Status(), "Click on file.");

    ClickEntry("x.bmp");
    EXPECT_EQ(Window->L_Pixels->text(), "64 x 48");
    ClickEntry("Header:");
    EXPECT_EQ(Window->State.SelectedIndex, 0);
    EXPECT_EQ(Window->L_Oggetto->text(), "");
    EXPECT_EQ(Window->L_Size->text(), "");
    EXPECT_EQ(Window->L_Pixels->text(), "");
    EXPECT_FALSE(Window->Image1->isHidden()); // the picture stays
    EXPECT_FALSE(MemberButtons());
    EXPECT_TRUE(Window->B_Inserisci->isEnabled());
    EXPECT_EQ(Status(), "Click on files.");

    Window->TreeSelect(Window->TreeItemAt(3)); // the pack name
    Window->TreeView1Click();
    EXPECT_EQ(Window->State.SelectedIndex, 1);
    EXPECT_EQ(Window->L_Oggetto->text(), "menu1.tme (template)");

    ClickEntry("a.b");
    EXPECT_EQ(Window->State.SelectedIndex, 3);
    EXPECT_TRUE(EditorCode().contains("'Two'"));
    const QString sizeBefore = Window->L_Size->text();

    ClickEntry("PHOTO.JPG");
    ASSERT_EQ(Exceptions().size(), 1u);
    EXPECT_EQ(Window->State.SelectedIndex, 2);
    EXPECT_EQ(Window->L_Oggetto->text(), "PHOTO.JPG (template)");
    EXPECT_EQ(Window->L_Size->text(), sizeBefore);
    EXPECT_TRUE(Window->Editor->isHidden());
    EXPECT_TRUE(Window->Image1->isHidden());
    EXPECT_EQ(Status(), kCodeShown); // from the selection before

    // A picture that cannot be decoded ends the refresh after the sizes in bytes.
    ClickEntry("x.bmp");
    ClickEntry("bad.jpg");
    ASSERT_EQ(Exceptions().size(), 2u);
    EXPECT_EQ(Exceptions().back(), "Not a JPEG file: starts with 0x42 0x4d");
    EXPECT_EQ(Window->State.SelectedIndex, 5);
    EXPECT_EQ(Window->L_Oggetto->text(), "bad.jpg (image)");
    EXPECT_EQ(Window->L_Size->text(), QString::number(MakeBmp(4, 4).size()));
    EXPECT_EQ(Window->L_Pixels->text(), "64 x 48");
    EXPECT_EQ(Window->Image1->PictureWidth(), 64);

    // A released key refreshes the selection and reloads the code from its file.
    ClickEntry("menu1.tme");
    WriteBytes(WorkDir() + "/menu1.tme", MakeTemplate(SimpleCode("Outside")));
    Window->TreeView1KeyUp();
    EXPECT_TRUE(EditorCode().contains("'Outside'"));
}

TEST_F(Commands, SingleTemplateShowsItsCodeOnlyFromItsFileEntry) {
    WriteBytes(Files + "single.tme", menu1);
    Open(Files + "single.tme");
    EXPECT_EQ(Status(), "Click on template.");
    ClickEntry("Header:");
    EXPECT_EQ(Status(), "Click on template file.");
    ClickEntry("single.tme");
    EXPECT_EQ(Window->L_Oggetto->text(), "single.tme (template)");
    EXPECT_EQ(Window->L_Size->text(), QString::number(menu1.size()));
    EXPECT_FALSE(Window->Editor->isHidden());
    EXPECT_FALSE(MemberButtons());
    EXPECT_FALSE(Window->B_Inserisci->isEnabled());
    EXPECT_EQ(Status(), kCodeShown);
}

TEST_F(Commands, StretchRuleFollowsTheCheckBoxForWidePicturesOnly) {
    OpenPack("p.tme", {{"wide.jpg", back}, {"small.bmp", MakeBmp(320, 240)}});
    ImagePreview* image = Window->Image1;
    EXPECT_TRUE(Window->cbStretch->isChecked());
    EXPECT_FALSE(image->Stretch); // set at start-up without a picture
    EXPECT_TRUE(image->Proportional);

    ClickEntry("wide.jpg");
    EXPECT_TRUE(image->Stretch);
    EXPECT_TRUE(image->Proportional);
    EXPECT_EQ(image->TargetRect(720, 576), QRect(0, 0, 465, 372));
    Window->cbStretch->setChecked(false);
    EXPECT_FALSE(image->Stretch);
    EXPECT_FALSE(image->Proportional);
    EXPECT_EQ(image->TargetRect(720, 576), QRect(0, 0, 720, 576));

    ClickEntry("small.bmp");
    EXPECT_FALSE(image->Stretch);
    EXPECT_FALSE(image->Proportional); // stays off for narrow pictures
    Window->cbStretch->setChecked(true);
    EXPECT_FALSE(image->Proportional);
    ClickEntry("wide.jpg");
    EXPECT_TRUE(image->Proportional);
}

TEST_F(Commands, PendingChangesAreSettledByEachAnswer) {
    const struct {
        ConfirmAnswer answer;
        const char* kept;
    } cases[] = {{ConfirmAnswer::Yes, "'Changed'"}, {ConfirmAnswer::No, "'One'"}, {ConfirmAnswer::Closed, "'One'"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kept);
        // Saved code is a pack change: opening the pack again asks about it first.
        if (Window->PackChanged()) Ask->Answers.push_back(ConfirmAnswer::No);
        OpenHoliday();
        ClickEntry("menu1.tme");
        Retype(SimpleCode("Changed"));
        Ask->Answers.push_back(c.answer);
        ClickEntry("menu2.tme");
        ASSERT_FALSE(Ask->Texts("Confirm").empty());
        EXPECT_EQ(Ask->Texts("Confirm").back(), "WARNING:\r\rTemplate menu1.tme has been changed. Save changes?\r");
        EXPECT_FALSE(Window->B_Editor->isEnabled());
        EXPECT_EQ(Window->State.SelectedIndex, 3);
        EXPECT_TRUE(EditorCode().contains("'Two'"));
        ClickEntry("menu1.tme");
        EXPECT_TRUE(EditorCode().contains(c.kept));
    }
    // Every command settles the changes first: the question comes before its dialog.
    Retype(SimpleCode("Again"));
    Ask->Answers.push_back(ConfirmAnswer::No);
    Ask->Log.clear();
    Window->B_Open->click();
    ASSERT_EQ(Ask->Log.size(), 2u);
    EXPECT_EQ(Ask->Log[0].Kind, "Confirm");
    EXPECT_EQ(Ask->Log[1].Kind, "Open");
    EXPECT_TRUE(Exceptions().empty());
}

TEST_F(Commands, CodeThatCannotBeSavedKeepsTheChangesAndShowsTheLine) {
    OpenHoliday();
    ClickEntry("menu1.tme");
    const struct {
        std::string code;
        const char* message;
        int line;
    } cases[] = {
        {"object Menu: TMenu\r\n  Left = 10\r\n  Top = (1, \r\n  Width = 3\r\nend\r\n", " on line 3", 3},
        // A character Windows-1252 has no byte for is refused, naming it and its line.
        {"object Menu: TMenu\r\n  Caption = 'Kaln\xC4\x81'\r\nend\r\n", "U+0101", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Window->Editor->selectAll();
        Window->Editor->insertPlainText(QString::fromUtf8(c.code.c_str()).replace("\r\n", "\n"));
        Window->Editor->moveCursor(QTextCursor::Start);
        Window->B_Editor->click();
        ASSERT_FALSE(Exceptions().empty());
        EXPECT_TRUE(Exceptions().back().contains(c.message)) << Exceptions().back().toStdString();
        EXPECT_EQ(Window->Editor->textCursor().block().blockNumber() + 1, c.line);
        EXPECT_TRUE(Window->B_Editor->isEnabled());
        EXPECT_EQ(ReadBytes(WorkDir() + "/menu1.tme"), menu1);
    }
    // On Yes the same error ends the selection: the code and the selected member stay.
    Ask->Answers.push_back(ConfirmAnswer::Yes);
    ClickEntry("menu2.tme");
    EXPECT_EQ(Exceptions().size(), 3u);
    EXPECT_EQ(SelectedText(), "menu2.tme");
    EXPECT_EQ(Window->State.SelectedIndex, 1);
    EXPECT_TRUE(Window->B_Editor->isEnabled());
    // Remove then drops member 1 and its own entry, not the selected one.
    Ask->Answers.push_back(ConfirmAnswer::No);
    Window->B_Elimina->click();
    EXPECT_EQ(Children(Window->TreeItemAt(4)), QStringList({"back.jpg", "menu2.tme"}));
    EXPECT_EQ(Window->TreeItemAt(4)->text(0), "Files: 2");
    EXPECT_EQ(Window->State.FileCount, 2);
    EXPECT_EQ(Window->State.FileNames[1], "back.jpg");
    EXPECT_EQ(SelectedText(), "menu2.tme");
    EXPECT_EQ(Window->State.SelectedIndex, 2);
}

TEST_F(Commands, ClosingTheWindowSettlesPendingChanges) {
    OpenHoliday();
    ClickEntry("menu1.tme");
    EXPECT_TRUE(Window->close()); // nothing pending: no question
    EXPECT_TRUE(Ask->Texts("Confirm").empty());

    Window->show();
    Retype(SimpleCode("Bad\r\n  Top ="));
    Ask->Answers.push_back(ConfirmAnswer::Yes);
    EXPECT_FALSE(Window->close()); // the save failed: the window stays
    EXPECT_EQ(Exceptions().size(), 1u);

    // The saved code is a pack change that Save has not written: a second
    // question follows, answered No here.
    Retype(SimpleCode("Closing"));
    Ask->Answers.push_back(ConfirmAnswer::Yes);
    Ask->Answers.push_back(ConfirmAnswer::No);
    EXPECT_TRUE(Window->close());
    EXPECT_EQ(ReadBytes(WorkDir() + "/menu1.tme"), MakeTemplate(SimpleCode("Closing")));

    Window->show();
    Retype(SimpleCode("Dropped"));
    Ask->Answers.push_back(ConfirmAnswer::No);
    Ask->Answers.push_back(ConfirmAnswer::No);
    EXPECT_TRUE(Window->close());
    EXPECT_EQ(ReadBytes(WorkDir() + "/menu1.tme"), MakeTemplate(SimpleCode("Closing")));
    EXPECT_EQ(Ask->Texts("Confirm").size(), 5u);
}

TEST_F(Commands, OpenCancelledOrFailing) {
    OpenHoliday();
    ClickEntry("menu1.tme");
    Window->B_Open->click(); // cancelled
    EXPECT_EQ(Status(), "Please, open a file...");
    EXPECT_TRUE(Window->B_Open->isEnabled());
    EXPECT_FALSE(Window->B_Save->isEnabled());
    EXPECT_TRUE(MemberButtons());
    EXPECT_EQ(Window->State.FileCount, 3);
    ClickEntry("back.jpg"); // still browsable
    EXPECT_EQ(Window->L_Pixels->text(), "720 x 576");

    Open(Files + "missing.tme");
    ASSERT_EQ(Exceptions().size(), 1u);
    EXPECT_TRUE(Exceptions()[0].startsWith("Cannot open file"));
    EXPECT_TRUE(Window->B_Open->isEnabled());
    EXPECT_FALSE(Window->B_Save->isEnabled());
    EXPECT_EQ(Window->L_Filename->text().toStdString(), " " + Files + "missing.tme");
    EXPECT_TRUE(Window->Image1->isHidden());
    EXPECT_EQ(Window->L_Pixels->text(), "");

    // A pack with fewer members: nothing of the previous pack stays selected.
    OpenPack("one.tme", {{"only.bmp", MakeBmp(8, 8)}});
    EXPECT_EQ(Window->State.SelectedIndex, 0);
    EXPECT_FALSE(MemberButtons());
    EXPECT_FALSE(Window->B_Inserisci->isEnabled());
    EXPECT_TRUE(Window->B_Save->isEnabled());
}

TEST_F(Commands, SaveQuestionsNamesAndFailures) {
    const std::string opened = OpenHoliday();
    const Bytes original = ReadBytes(opened);
    WriteBytes(Files + "exists.tme", "old");

    Ask->Files.push_back(QString::fromStdString(Files + "exists.tme"));
    Ask->Answers.push_back(ConfirmAnswer::No);
    Window->B_Save->click();
    EXPECT_EQ(Ask->Texts("Confirm").back(), "WARNING:\r\rFile exists.tme already exist. Overwrite?\r");
    EXPECT_EQ(ReadBytes(Files + "exists.tme"), "old");
    EXPECT_TRUE(Window->B_Open->isEnabled());
    EXPECT_TRUE(Window->B_Save->isEnabled());
    EXPECT_EQ(Status(), "Please, select a name for template to save...");

    // Onto the opened file itself, answering Yes.
    Ask->Files.push_back(QString::fromStdString(opened));
    Ask->Answers.push_back(ConfirmAnswer::Yes);
    Window->B_Save->click();
    EXPECT_EQ(ReadBytes(opened), original);
    EXPECT_EQ(Status(), kPick);

    Ask->Files.push_back(QString::fromStdString(Files + "newpack"));
    Window->B_Save->click();
    EXPECT_EQ(ReadBytes(Files + "newpack"), original);

    Window->B_Save->click(); // cancelled
    EXPECT_EQ(Status(), kPick);
    EXPECT_TRUE(Window->B_Save->isEnabled());

    Ask->Files.push_back(QString::fromStdString(Root + "/no/such/folder/x.tme"));
    Window->B_Save->click();
    ASSERT_EQ(Exceptions().size(), 1u);
    EXPECT_TRUE(Window->B_Open->isEnabled());
    EXPECT_TRUE(Window->B_Save->isEnabled());
    EXPECT_EQ(Status(), "Please, select a name for template to save...");
}

TEST_F(Commands, SaveWithASingleTemplateWritesItsWorkingCopy) {
    WriteBytes(Files + "single.tme", MakeTemplate(SimpleCode("One"), "trailing bytes"));
    Open(Files + "single.tme");
    ClickEntry("single.tme");
    Retype(SimpleCode("Edited"));
    Window->B_Editor->click();
    Ask->Files.push_back(QString::fromStdString(Files + "copy.tme"));
    Window->B_Save->click();
    EXPECT_EQ(ReadBytes(Files + "copy.tme"), MakeTemplate(SimpleCode("Edited")));

    // A file of neither kind opened afterwards writes nothing, even with the
    // same working folder.
    WriteBytes(Root + "/other/single.tme", "just text");
    Open(Root + "/other/single.tme");
    Ask->Files.push_back(QString::fromStdString(Files + "none.tme"));
    Window->B_Save->click();
    EXPECT_FALSE(std::filesystem::exists(Files + "none.tme"));
    EXPECT_TRUE(Exceptions().empty());
}

TEST_F(Commands, ExportInEachFormat) {
    OpenHoliday();
    ClickEntry("back.jpg");
    Ask->Files.push_back(QString::fromStdString(Files + "out/back copy.jpg"));
    std::filesystem::create_directories(Files + "out");
    Window->B_Esporta->click();
    EXPECT_EQ(Format.Shown, 0);
    const auto* request = Ask->Last("Save");
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->Request.Title, "Export file...");
    EXPECT_EQ(request->Request.Filter, "Files .jpg (*.jpg)|*.jpg");
    EXPECT_EQ(request->Request.FileName, "back.jpg");
    EXPECT_EQ(ReadBytes(Files + "out/back copy.jpg"), back);
    EXPECT_EQ(Window->TmeSaveDir, Files + "out/");
    EXPECT_EQ(StoredSetting("TmeSaveDir"), Files + "out/");
    EXPECT_EQ(Status(), kPick);

    ClickEntry("menu1.tme");
    Format.Choices = {kFormatText};
    Ask->Files.push_back(QString::fromStdString(Files + "menu1.txt"));
    Window->B_Esporta->click();
    request = Ask->Last("Save");
    EXPECT_EQ(request->Request.FileName, "menu1.txt");
    EXPECT_EQ(request->Request.Filter, "Files .txt (*.txt)|*.txt");
    EXPECT_EQ(request->Request.InitialDir.toStdString(), Files + "out/");
    EXPECT_EQ(ReadBytes(Files + "menu1.txt"), Window->EditorText());

    Format.Choices = {kFormatTemplate};
    Ask->Files.push_back(QString::fromStdString(Files + "menu1.tme"));
    Window->B_Esporta->click();
    EXPECT_EQ(ReadBytes(Files + "menu1.tme"), menu1);

    // The format question cancelled: nothing else happens.
    const size_t shown = Ask->Log.size();
    Window->B_Esporta->click();
    EXPECT_EQ(Format.Shown, 3);
    EXPECT_EQ(Ask->Log.size(), shown);
    EXPECT_TRUE(Window->B_Save->isEnabled());

    Format.Choices = {kFormatTemplate};
    Ask->Files.push_back(QString::fromStdString(Files + "menu1.tme"));
    Ask->Answers.push_back(ConfirmAnswer::No);
    WriteBytes(Files + "menu1.tme", "keep");
    Window->B_Esporta->click();
    EXPECT_EQ(Ask->Texts("Confirm").back(), "WARNING:\r\rFile menu1.tme already exist. Overwrite?\r");
    EXPECT_EQ(ReadBytes(Files + "menu1.tme"), "keep");

    // A copy that fails is reported.
    Format.Choices = {kFormatTemplate};
    Ask->Files.push_back(QString::fromStdString(Root + "/no/such/menu1.tme"));
    Window->B_Esporta->click();
    ASSERT_EQ(Exceptions().size(), 1u);
    EXPECT_TRUE(Exceptions()[0].startsWith("Cannot create file"));
    EXPECT_TRUE(Window->B_Open->isEnabled());
    EXPECT_TRUE(Window->B_Save->isEnabled());
}

TEST_F(Commands, TextExportOfAMemberWhoseCodeCannotBeShownWritesNothing) {
    OpenPack("bad.tme", {{"menu1.tme", menu1}, {"broken.tme", back}});
    ClickEntry("menu1.tme");
    ClickEntry("broken.tme");
    ASSERT_EQ(Exceptions().size(), 1u);
    Format.Choices = {kFormatText};
    Ask->Files.push_back(QString::fromStdString(Files + "broken.txt"));
    Window->B_Esporta->click();
    EXPECT_EQ(Exceptions().size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(Files + "broken.txt"));
}

TEST_F(Commands, SubstituteByFormat) {
    OpenHoliday();
    ClickEntry("back.jpg");
    WriteBytes(Files + "new.JPG", back);
    Ask->Files.push_back(QString::fromStdString(Files + "new.JPG"));
    Window->B_Cambia->click();
    const auto* request = Ask->Last("Open");
    EXPECT_EQ(request->Request.Title, "Import substitution file...");
    EXPECT_EQ(request->Request.Filter, "Files .jpg (*.jpg)|*.jpg");
    EXPECT_EQ(Ask->Texts("Warning").back(), "ATTENZIONE:\r\rCan't import file. Must have .jpgextension \r");
    EXPECT_TRUE(Window->B_Save->isEnabled());

    const Bytes other = MakeJpeg(100, 50);
    WriteBytes(Files + "other.jpg", other);
    Ask->Files.push_back(QString::fromStdString(Files + "other.jpg"));
    Window->B_Cambia->click();
    EXPECT_EQ(ReadBytes(WorkDir() + "/back.jpg"), other);
    EXPECT_EQ(Window->State.FileNames[2], "back.jpg");
    EXPECT_EQ(Window->State.FileInfo[2].Size, static_cast<int64_t>(other.size()));
    EXPECT_EQ(Window->State.FileInfo[2].Offset, 0);
    EXPECT_EQ(Window->L_Size->text(), QString::number(other.size()));
    EXPECT_EQ(Window->Image1->PictureWidth(), 100);
    EXPECT_EQ(Status(), kPick);

    // A template in template format: the editor shows the new code at once,
    // so a text export that follows writes it.
    ClickEntry("menu1.tme");
    WriteBytes(Files + "other.tme", MakeTemplate(SimpleCode("Other")));
    Format.Choices = {kFormatTemplate, kFormatText};
    Ask->Files.push_back(QString::fromStdString(Files + "other.tme"));
    Ask->Files.push_back(QString::fromStdString(Files + "after.txt"));
    Window->B_Cambia->click();
    EXPECT_TRUE(EditorCode().contains("'Other'"));
    EXPECT_FALSE(Window->B_Editor->isEnabled());
    EXPECT_EQ(Status(), kPick);
    Window->B_Esporta->click();
    EXPECT_NE(ReadBytes(Files + "after.txt").find("'Other'"), std::string::npos);

    // Text format: a UTF-8 file with a byte-order mark and LF line ends.
    WriteBytes(Files + "code.txt", "\xEF\xBB\xBFobject Menu: TMenu\n  Caption = 'Caf\xC3\xA9'\nend\n");
    Format.Choices = {kFormatText};
    Ask->Files.push_back(QString::fromStdString(Files + "code.txt"));
    Window->B_Cambia->click();
    EXPECT_EQ(Window->EditorText(), "object Menu: TMenu\r\n  Caption = 'Caf\xE9'\r\nend\r\n");
    EXPECT_TRUE(Window->B_Editor->isEnabled());
    EXPECT_EQ(Status(), kPick);
    EXPECT_EQ(ReadBytes(WorkDir() + "/menu1.tme"), MakeTemplate(SimpleCode("Other")));

    // The same text again is no change.
    Ask->Answers.push_back(ConfirmAnswer::No);
    ClickEntry("menu2.tme");
    WriteBytes(Files + "same.txt", Window->EditorText());
    Format.Choices = {kFormatText};
    Ask->Files.push_back(QString::fromStdString(Files + "same.txt"));
    Window->B_Cambia->click();
    EXPECT_FALSE(Window->B_Editor->isEnabled());
    EXPECT_TRUE(Exceptions().empty());
}

TEST_F(Commands, RemoveMiddleAndLastMembers) {
    OpenHoliday();
    ClickEntry("back.jpg");
    Window->B_Elimina->click();
    EXPECT_EQ(Window->State.FileCount, 2);
    EXPECT_EQ(Window->State.FileNames[2], "menu2.tme");
    EXPECT_EQ(Window->State.FileInfo[2].Size, static_cast<int64_t>(menu2.size()));
    EXPECT_EQ(Window->TreeItemAt(4)->text(0), "Files: 2");
    EXPECT_EQ(SelectedText(), "menu2.tme");
    EXPECT_EQ(Window->State.SelectedIndex, 2);
    EXPECT_TRUE(std::filesystem::exists(WorkDir() + "/back.jpg"));

    Window->B_Elimina->click(); // the last one: the new last member is selected
    EXPECT_EQ(SelectedText(), "menu1.tme");
    EXPECT_EQ(Window->State.SelectedIndex, 1);
    Window->B_Elimina->click();
    EXPECT_EQ(Window->TreeItemAt(4)->text(0), "Files: 0");
    EXPECT_EQ(SelectedText(), "Files: 0");
    EXPECT_EQ(Window->State.FileCount, 0);
    EXPECT_FALSE(MemberButtons());
    EXPECT_TRUE(Window->B_Inserisci->isEnabled());

    Ask->Files.push_back(QString::fromStdString(Files + "empty.tme"));
    Window->B_Save->click();
    EXPECT_EQ(ReadBytes(Files + "empty.tme").size(), 308u);
}

TEST_F(Commands, AddChecksNamesCopiesAndTheLimit) {
    OpenPack("two.tme", {{"menu1.tme", menu1}, {"logo.bmp", MakeBmp(16, 16)}});
    ClickEntry("Header:");
    const Bytes logo = MakeBmp(40, 30);
    WriteBytes(Files + "Logo.bmp", logo);
    Ask->Files.push_back(QString::fromStdString(Files + "Logo.bmp"));
    Window->B_Inserisci->click();
    const auto* request = Ask->Last("Open");
    EXPECT_EQ(request->Request.Title, "Add file...");
    EXPECT_EQ(request->Request.Filter, "Template Files (*.tme;*.jpg;*.bmp)|*.tme;*.jpg;*.bmp");
    EXPECT_EQ(Window->TreeItemAt(4)->text(0), "Files: 3");
    EXPECT_EQ(SelectedText(), "Logo.bmp");
    EXPECT_EQ(Window->L_Pixels->text(), "40 x 30");
    EXPECT_EQ(Window->L_Size->text(), QString::number(logo.size()));
    EXPECT_EQ(Window->State.FileInfo[3].Size, static_cast<int64_t>(logo.size()));
    EXPECT_EQ(Window->State.FileInfo[3].Offset, 0);
    EXPECT_EQ(ReadBytes(WorkDir() + "/Logo.bmp"), logo);
    EXPECT_TRUE(Window->B_Save->isEnabled());

    WriteBytes(Files + "menu3.tme", MakeTemplate(SimpleCode("Three")));
    Ask->Files.push_back(QString::fromStdString(Files + "menu3.tme"));
    Window->B_Inserisci->click();
    EXPECT_TRUE(EditorCode().contains("'Three'"));
    EXPECT_FALSE(Window->Editor->isHidden());

    const struct {
        std::string file;
        const char* warning;
    } refused[] = {
        {"menu3.tme", "WARNING:  Can't add file.\r\rFile alreay exist.\r\rTry to use \"Substitute\" function.\r"},
        {"notes.txt", "WARNING:  Can't import file.\r\rMust have .tme, .jpg or .bmp extension.\r"},
        {"upper.JPG", "WARNING:  Can't import file.\r\rMust have .tme, .jpg or .bmp extension.\r"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.file);
        WriteBytes(Files + r.file, "x");
        Ask->Files.push_back(QString::fromStdString(Files + r.file));
        Window->B_Inserisci->click();
        EXPECT_EQ(Ask->Texts("Warning").back(), r.warning);
        EXPECT_EQ(Window->State.FileCount, 4);
        EXPECT_EQ(Window->TreeItemAt(4)->childCount(), 4);
        EXPECT_TRUE(Window->B_Open->isEnabled());
    }
    EXPECT_EQ(ReadBytes(WorkDir() + "/menu3.tme"), MakeTemplate(SimpleCode("Three")));

    // A copy that fails leaves the table and the tree as they were.
    Ask->Files.push_back(QString::fromStdString(Files + "vanished.jpg"));
    Window->B_Inserisci->click();
    ASSERT_EQ(Exceptions().size(), 1u);
    EXPECT_TRUE(Exceptions()[0].startsWith("Cannot open file"));
    EXPECT_EQ(Window->State.FileCount, 4);
    EXPECT_EQ(Window->TreeItemAt(4)->childCount(), 4);
    EXPECT_TRUE(Window->B_Save->isEnabled());

    // Cancelled: the last entry is selected and refreshed.
    ClickEntry("Header:");
    Window->B_Inserisci->click();
    EXPECT_EQ(SelectedText(), "menu3.tme");
    EXPECT_EQ(Window->State.SelectedIndex, 4);
}

TEST_F(Commands, AddRefusesAHundredAndFirstMember) {
    std::vector<std::pair<std::string, Bytes>> members;
    for (int i = 1; i <= 100; ++i) members.emplace_back("m" + std::to_string(i) + ".bmp", "");
    OpenPack("full.tme", members);
    ClickEntry("Header:");
    WriteBytes(Files + "extra.bmp", MakeBmp(4, 4));
    Ask->Files.push_back(QString::fromStdString(Files + "extra.bmp"));
    Window->B_Inserisci->click();
    EXPECT_EQ(Ask->Texts("Warning").back(), "WARNING:  Can't add file.\r\rA template pack holds at most 100 files.\r");
    EXPECT_EQ(Window->State.FileCount, 100);
    EXPECT_FALSE(std::filesystem::exists(WorkDir() + "/extra.bmp"));
}

} // namespace
} // namespace kep::testing_support
