// The main window's layout and looks, its editor text contract, the real
// message boxes' answers, and a file opened from the command line.
#include "EditorHome.h"
#include "ScriptedPrompts.h"

#include "app/QtPrompts.h"
#include "app/TF_Main.h"

#include <QAccessible>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

class MainWindow : public testing::Test {
protected:
    EditorHome home;
    ScriptedPrompts* prompts = nullptr;
    std::unique_ptr<kep::TF_Main> window;

    void Open(const QStringList& arguments = {})
    {
        auto scripted = std::make_unique<ScriptedPrompts>();
        prompts = scripted.get();
        window = std::make_unique<kep::TF_Main>(arguments, std::move(scripted));
    }
};

} // namespace

TEST_F(MainWindow, ControlsStandWhereTheLayoutPutsThem)
{
    Open();
    kep::TF_Main& w = *window;
    EXPECT_EQ(w.size(), QSize(798, 599));
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "fixed size";
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(w.windowTitle(), "Kep Template Editor");

    const std::pair<QWidget*, QRect> layout[] = {
        {w.Panel1, {0, 0, 798, 73}},         {w.B_Open, {16, 20, 121, 33}},
        {w.B_Save, {162, 20, 121, 33}},      {w.Panel2, {0, 73, 798, 486}},
        {w.L_Action, {16, 12, 183, 40}},     {w.B_Esporta, {205, 12, 114, 40}},
        {w.B_Cambia, {321, 12, 114, 40}},    {w.B_Elimina, {437, 12, 114, 40}},
        {w.B_Inserisci, {553, 12, 114, 40}}, {w.B_Editor, {669, 12, 114, 40}},
        {w.StaticText1, {15, 59, 768, 2}},   {w.TreeView1, {15, 68, 185, 385}},
        {w.Panel4, {204, 68, 579, 386}},     {w.Image1, {40, 6, 497, 372}},
        {w.Shape1, {39, 5, 499, 374}},       {w.Editor, {2, 2, 573, 380}},
        {w.L_Oggetto, {64, 463, 209, 15}},   {w.L_Size, {392, 463, 81, 15}},
        {w.L_Pixels, {584, 463, 81, 15}},    {w.cbStretch, {680, 462, 105, 17}},
        {w.Panel3, {0, 559, 798, 40}},       {w.L_Filename, {160, 12, 529, 18}},
        {w.L_FileType, {696, 15, 97, 18}},
    };
    for (const auto& [control, rect] : layout)
        EXPECT_EQ(control->geometry(), rect) << control->accessibleName().toStdString();

    // Labels are sized to their text; they keep their left edge (Label1, right-aligned, its right edge).
    EXPECT_EQ(w.Label4->geometry().topLeft(), QPoint(16, 464));
    EXPECT_EQ(w.Label2->geometry().topLeft(), QPoint(296, 464));
    EXPECT_EQ(w.Label3->geometry().topLeft(), QPoint(488, 464));
    EXPECT_EQ(w.Label1->geometry().right(), 40 + 105 - 1);
    EXPECT_LT(w.Label4->geometry().right(), w.L_Oggetto->x());
    EXPECT_LT(w.Label2->geometry().right(), w.L_Size->x());
    EXPECT_LT(w.Label3->geometry().right(), w.L_Pixels->x());
    EXPECT_GE(w.Label1->x(), 0);

    const std::pair<QWidget*, QString> captions[] = {
        {w.B_Open, "Open"},
        {w.B_Save, "Save"},
        {w.B_Esporta, "Export File"},
        {w.B_Cambia, "Substitute File"},
        {w.B_Elimina, "Remove File"},
        {w.B_Inserisci, "Add File"},
        {w.B_Editor, "Save changes"},
        {w.cbStretch, "Stretch image"},
        {w.L_Oggetto, "Object"},
        {w.L_Size, "Size (bytes)"},
        {w.L_Pixels, "Size (pixels)"},
        {w.L_Filename, "Original template path"},
    };
    for (const auto& [control, name] : captions)
        EXPECT_EQ(control->accessibleName(), name);
    EXPECT_EQ(w.Label4->text(), "Object:");
    EXPECT_EQ(w.Label2->text(), "Size (bytes):");
    EXPECT_EQ(w.Label3->text(), "Size (pixels):");
    EXPECT_EQ(w.Label1->text(), "Original template path:");

    EXPECT_TRUE(w.Editor->isHidden());
    EXPECT_FALSE(w.Image1->isHidden());
    EXPECT_EQ(w.Editor->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(w.Editor->palette().color(QPalette::Base), QColor(192, 192, 192));
    EXPECT_EQ(w.L_Filename->palette().color(QPalette::Window), QColor(234, 234, 234));
    EXPECT_EQ(w.L_Filename->palette().color(QPalette::WindowText), QColor(80, 80, 80));
    EXPECT_EQ(w.L_Size->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    EXPECT_EQ(w.B_Esporta->palette().color(QPalette::Button), QColor(193, 201, 206));
    EXPECT_EQ(w.TreeView1->indentation(), 19);
    EXPECT_EQ(w.Editor->font().families().value(0), "Lucida Console");
    EXPECT_EQ(w.Editor->font().families().value(1), "DejaVu Sans Mono");
    EXPECT_EQ(w.L_Action->font().families(), QStringList({"MS Sans Serif", "DejaVu Sans"}));
    EXPECT_TRUE(w.L_Action->font().bold());
}

TEST_F(MainWindow, BoxesShowTheirRoleAsNameAndTheirTextAsValue)
{
    Open();
    window->L_Size->setText("1234");
    window->SetActionText("Click on file.");
    for (const auto& [box, name, value] : {std::tuple<QWidget*, QString, QString>{window->L_Size, "Size (bytes)", "1234"},
                                           {window->L_Action, "Status", "Click on file."}}) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box);
        ASSERT_NE(accessible, nullptr);
        EXPECT_EQ(accessible->text(QAccessible::Name), name);
        EXPECT_EQ(accessible->text(QAccessible::Value), value);
        ASSERT_NE(accessible->textInterface(), nullptr);
        EXPECT_EQ(accessible->textInterface()->text(0, accessible->textInterface()->characterCount()), value);
    }
}

TEST_F(MainWindow, StatusColourTurnsRedAndBackToMaroon)
{
    Open();
    window->SetActionColorRed();
    window->SetActionText("BAD Version: 3");
    EXPECT_EQ(window->L_Action->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    window->SetActionText("Click on template file.");
    EXPECT_TRUE(window->ActionIsRed()) << "only the commands turn it back";
    window->SetActionColorMaroon();
    EXPECT_EQ(window->L_Action->palette().color(QPalette::WindowText), QColor(128, 0, 0));
}

TEST_F(MainWindow, EditorTextIsWindows1252WithCrLf)
{
    Open();
    const std::string code = "object Menu: TMenu\r\n  Caption = 'Caf\xE9\xA0\x80'\r\nend\r\n";
    window->SetEditorText(code);
    EXPECT_EQ(window->Editor->toPlainText().count('\r'), 0);
    EXPECT_EQ(window->EditorText(), code) << "no-break space and euro sign kept";

    // The same text again is no change.
    int changes = 0;
    QObject::connect(window->Editor, &QPlainTextEdit::textChanged, [&] { ++changes; });
    window->SetEditorText(code);
    EXPECT_EQ(changes, 0);

    window->Editor->setPlainText(QString::fromUtf8("line one\nCaption = '\xE4\xB8\xAD'\n"));
    try {
        window->EditorText();
        ADD_FAILURE() << "a character outside the code page was accepted";
    } catch (const kep::Exception& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("U+4E2D"), std::string::npos) << message;
        EXPECT_NE(message.find("line 2"), std::string::npos) << message;
    }
}

TEST_F(MainWindow, CommandErrorsReachTheGeneralHandlerAndTheProgramGoesOn)
{
    Open();
    EXPECT_FALSE(window->RunCommand("B_SaveClick", [] { throw kep::EWriteError("Stream write error"); }));
    EXPECT_TRUE(window->RunCommand("B_OpenClick", [] {}));
    ASSERT_EQ(prompts->Kinds(), QStringList{"Exception"});
    EXPECT_EQ(prompts->Log[0].Text, "Stream write error");
    EXPECT_TRUE(prompts->Log[0].Details.contains("EWriteError"));
    EXPECT_TRUE(prompts->Log[0].Details.contains("B_SaveClick"));
}

TEST_F(MainWindow, CommandLineOpenOfThePackLeavesSaveAndThePathBoxAlone)
{
    const QString sample = QCoreApplication::applicationDirPath() + "/../samples/Sample.tme";
    if (!QFile::exists(sample))
        GTEST_SKIP() << "the sample pack is made by the full build";
    Open(); // set up
    Open({sample});
    EXPECT_TRUE(prompts->Log.empty());
    EXPECT_EQ(window->L_Action->text(), "Click on file.");
    EXPECT_EQ(window->L_FileType->text(), "Template Pack");
    EXPECT_TRUE(window->State.IsPack);
    EXPECT_GT(window->TreeCount(), 5);
    EXPECT_EQ(window->TreeItemAt(4)->text(0).left(7), "Files: ");
    EXPECT_EQ(window->L_Filename->text(), "");
    EXPECT_TRUE(window->B_Open->isEnabled());
    EXPECT_FALSE(window->B_Save->isEnabled());
    EXPECT_FALSE(window->B_Esporta->isEnabled());
    EXPECT_FALSE(window->B_Inserisci->isEnabled());
    EXPECT_TRUE(QDir(home.Cwd() + "/Sample_template").exists());
}

namespace {

// Answers the next modal box with a key or its close button.
void AnswerNextBox(const std::function<void(QWidget*)>& answer)
{
    QTimer::singleShot(0, [answer] {
        QWidget* box = QApplication::activeModalWidget();
        if (box)
            answer(box);
        else
            AnswerNextBox(answer);
    });
}

void Press(QWidget* box, int key)
{
    QWidget* target = box->focusWidget() ? box->focusWidget() : box;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
}

} // namespace

TEST(QtPrompts, ConfirmationAnswersYesByDefaultNoOnEscAndNeitherOnClose)
{
    kep::QtPrompts prompts;
    AnswerNextBox([](QWidget* box) {
        EXPECT_EQ(box->windowTitle(), "Confirm");
        EXPECT_TRUE(static_cast<QMessageBox*>(box)->text().contains("WARNING:\n\nFile a.tme already exist. Overwrite?\n"));
        Press(box, Qt::Key_Return);
    });
    EXPECT_EQ(prompts.ConfirmBox("WARNING:\r\rFile a.tme already exist. Overwrite?\r"), kep::ConfirmAnswer::Yes);
    AnswerNextBox([](QWidget* box) { Press(box, Qt::Key_Escape); });
    EXPECT_EQ(prompts.ConfirmBox("question"), kep::ConfirmAnswer::No);
    AnswerNextBox([](QWidget* box) {
        box->close();
    });
    EXPECT_EQ(prompts.ConfirmBox("question"), kep::ConfirmAnswer::Closed);
}
