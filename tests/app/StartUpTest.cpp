// Start-up of the main window: settings, first-run set-up and the
// association, the command-line argument, and the buttons at start.
#include "EditorHome.h"
#include "ScriptedPrompts.h"

#include "app/TF_Main.h"

#include <QCoreApplication>
#include <QSettings>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Started {
    ScriptedPrompts* prompts;
    std::unique_ptr<kep::TF_Main> window;
};

Started Start(const QStringList& arguments = {})
{
    auto prompts = std::make_unique<ScriptedPrompts>();
    ScriptedPrompts* raw = prompts.get();
    auto window = std::make_unique<kep::TF_Main>(arguments, std::move(prompts));
    return {raw, std::move(window)};
}

QString Value(const QString& file, const QString& key)
{
    QSettings settings(file, QSettings::IniFormat);
    return settings.value(key).toString();
}

void ExpectButtonsAtStart(const kep::TF_Main& window)
{
    EXPECT_TRUE(window.B_Open->isEnabled());
    for (QWidget* button : {static_cast<QWidget*>(window.B_Save), static_cast<QWidget*>(window.B_Esporta),
                            static_cast<QWidget*>(window.B_Cambia), static_cast<QWidget*>(window.B_Elimina),
                            static_cast<QWidget*>(window.B_Inserisci), static_cast<QWidget*>(window.B_Editor)})
        EXPECT_FALSE(button->isEnabled()) << button->accessibleName().toStdString();
}

} // namespace

TEST(StartUp, FirstRunWritesSettingsAssociationAndDesktopFiles)
{
    EditorHome home;
    auto [prompts, window] = Start();

    EXPECT_TRUE(prompts->Log.empty());
    EXPECT_FALSE(window->QuitRequested());
    const QString exe = QCoreApplication::applicationFilePath();
    EXPECT_EQ(Value(home.SettingsFile(), "AppPath"), exe);
    for (const char* name : {"AppDir", "TmeDir", "TmeSaveDir"})
        EXPECT_EQ(Value(home.SettingsFile(), name), home.Cwd()) << name;
    // The second read brings the folders into memory.
    EXPECT_EQ(window->AppPath, exe.toStdString());
    EXPECT_EQ(window->TmeDir, home.Cwd().toStdString());
    EXPECT_EQ(window->TmeSaveDir, home.Cwd().toStdString());
    EXPECT_EQ(window->Doc.AppDir, home.Cwd().toStdString());

    kep::RegistryAccess classes;
    classes.SetRootKey(kep::RegistryRoot::ClassesRoot);
    const std::pair<const char*, std::string> keys[] = {
        {".tme", "Marqetto.Project"},
        {"Marqetto.Project", "Kep Template file"},
        {"Marqetto.Project\\shell\\open\\command", exe.toStdString() + " \"%1\""},
        {"Marqetto.Project\\DefaultIcon", (home.Data() + "/icons/hicolor/scalable/apps/marqetto.svg").toStdString()},
    };
    for (const auto& [key, value] : keys) {
        ASSERT_TRUE(classes.OpenKey(std::string("\\") + key, false)) << key;
        EXPECT_EQ(classes.ReadString(""), value) << key;
    }

    const QByteArray mime = EditorHome::Read(home.Data() + "/mime/packages/x-kep-template.xml");
    EXPECT_TRUE(mime.contains("type=\"application/x-kep-template\""));
    EXPECT_TRUE(mime.contains("<glob pattern=\"*.tme\"/>"));
    EXPECT_TRUE(mime.contains("<comment>Kep Template file</comment>"));
    const QByteArray entry = EditorHome::Read(home.Data() + "/applications/marqetto.desktop");
    EXPECT_TRUE(entry.contains("\nExec=" + exe.toUtf8() + " %f\n")) << entry.toStdString();
    EXPECT_TRUE(entry.contains("\nMimeType=application/x-kep-template;\n"));
    EXPECT_TRUE(entry.contains("\nIcon=marqetto\n"));
    EXPECT_TRUE(EditorHome::Read(home.Config() + "/mimeapps.list")
                    .contains("[Default Applications]\napplication/x-kep-template=marqetto.desktop\n"));
    EXPECT_FALSE(EditorHome::Read(home.Data() + "/icons/hicolor/scalable/apps/marqetto.svg").isEmpty());
    EXPECT_FALSE(
        EditorHome::Read(home.Data() + "/icons/hicolor/scalable/mimetypes/application-x-kep-template.svg").isEmpty());

    EXPECT_EQ(window->L_Action->text(), "Please, open file...");
    EXPECT_FALSE(window->ActionIsRed());
    EXPECT_EQ(window->L_Action->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    EXPECT_TRUE(window->cbStretch->isChecked());
    ExpectButtonsAtStart(*window);
}

TEST(StartUp, TmeArgumentBeforeSetUpShowsTheFirstRunMessageAndWritesNothing)
{
    EditorHome home;
    EditorHome::Write(home.Cwd() + "/Menu.TME", "x");
    auto [prompts, window] = Start({home.Cwd() + "/Menu.TME"});

    ASSERT_EQ(prompts->Kinds(), QStringList{"Information"});
    EXPECT_EQ(prompts->Log[0].Text, "Per la prima esecuzione:\r\rAvvia Marqetto senza parametri!");
    EXPECT_TRUE(window->QuitRequested());
    EXPECT_FALSE(QDir(home.Config()).exists());
    EXPECT_FALSE(QDir(home.Data()).exists());
}

TEST(StartUp, WrongOrMissingExtensionShowsTheErrorBoxAndQuits)
{
    const std::pair<QString, QString> cases[] = {
        {"/Data/Docs/ReadMe.TXT", "readme.txt ??   :-("},
        {"menu", "menu ??   :-("},
        {"/some.dir/Plain", "plain ??   :-("},
        {"Notes.tme.bak", "notes.tme.bak ??   :-("},
    };
    for (const auto& [argument, text] : cases) {
        EditorHome home;
        auto [prompts, window] = Start({argument, "second.tme"});
        ASSERT_EQ(prompts->Kinds(), QStringList{"Error"}) << argument.toStdString();
        EXPECT_EQ(prompts->Log[0].Text, text);
        EXPECT_TRUE(window->QuitRequested());
        EXPECT_FALSE(QDir(home.Config()).exists()) << "nothing is read or written";
        EXPECT_TRUE(window->State.TemplateFileName.empty());
    }
}

TEST(StartUp, MissingTmeFileAfterSetUpIsNotReported)
{
    EditorHome home;
    Start();
    const QString missing = home.Cwd() + "/Gone/Menu.TME";
    auto [prompts, window] = Start({missing});

    EXPECT_TRUE(prompts->Log.empty());
    EXPECT_FALSE(window->QuitRequested());
    EXPECT_EQ(window->L_Action->text(), "Please, open file...");
    EXPECT_EQ(window->L_Filename->text(), "");
    // Kept as given: Linux file names are case-sensitive.
    EXPECT_EQ(window->State.TemplateFileName, missing.toStdString());
    ExpectButtonsAtStart(*window);
}

TEST(StartUp, CommandLineOpenLeavesTheButtonsAsAtStart)
{
    EditorHome home;
    Start();
    EditorHome::Write(home.Cwd() + "/pack.tme", "neither a pack nor a template");
    auto [prompts, window] = Start({"pack.tme"});

    EXPECT_FALSE(window->QuitRequested());
    EXPECT_NE(window->L_Action->text(), "Please, open file...") << "the file was handed to the opening code";
    EXPECT_EQ(window->L_Filename->text(), "");
    ExpectButtonsAtStart(*window);
}

TEST(StartUp, MovedExecutableRunsTheSetUpAgain)
{
    EditorHome home;
    EditorHome::Write(home.SettingsFile(), "[General]\nAppPath=/nowhere/marqetto\nAppDir=/old\n"
                                          "TmeDir=/old/templates\nTmeSaveDir=/old/saved\n");
    auto [prompts, window] = Start();

    EXPECT_TRUE(prompts->Log.empty());
    EXPECT_EQ(Value(home.SettingsFile(), "AppPath"), QCoreApplication::applicationFilePath());
    EXPECT_EQ(Value(home.SettingsFile(), "TmeDir"), home.Cwd());
    EXPECT_EQ(window->TmeSaveDir, home.Cwd().toStdString());
    EXPECT_TRUE(QFile::exists(home.Data() + "/applications/marqetto.desktop"));
}

TEST(StartUp, LaterStartReadsTheStoredFolders)
{
    EditorHome home;
    const QString exe = QCoreApplication::applicationFilePath();
    EditorHome::Write(home.SettingsFile(), "[General]\nAppPath=" + exe.toUtf8()
                                              + "\nAppDir=/old\nTmeDir=/old/templates\nTmeSaveDir=/old/saved\n");
    auto [prompts, window] = Start();

    EXPECT_TRUE(prompts->Log.empty());
    EXPECT_EQ(window->AppDir, "/old");
    EXPECT_EQ(window->TmeDir, "/old/templates");
    EXPECT_EQ(window->TmeSaveDir, "/old/saved");
    EXPECT_FALSE(QFile::exists(home.Data() + "/applications/marqetto.desktop")) << "no set-up when set up";
}

TEST(StartUp, ValueOfAnotherTypeKeepsItsSettingAndIsNotReported)
{
    EditorHome home;
    const QString exe = QCoreApplication::applicationFilePath();
    EditorHome::Write(home.SettingsFile(), "[General]\nAppPath=" + exe.toUtf8()
                                              + "\nAppDir=@ByteArray(/bytes)\nTmeDir=a, b\nTmeSaveDir=/saved\n");
    auto [prompts, window] = Start();

    EXPECT_TRUE(prompts->Log.empty());
    EXPECT_EQ(window->AppDir, "");
    EXPECT_EQ(window->TmeDir, "");
    EXPECT_EQ(window->TmeSaveDir, "/saved");
}

TEST(StartUp, FailingAssociationWriteReachesTheGeneralErrorHandler)
{
    EditorHome home;
    // The association's store cannot be created: a folder stands in its place.
    QDir().mkpath(home.ClassesFile());
    auto [prompts, window] = Start();

    ASSERT_EQ(prompts->Kinds(), QStringList{"Exception"});
    EXPECT_EQ(prompts->Log[0].Text, "Failed to set data for ''");
    EXPECT_TRUE(prompts->Log[0].Details.contains("ERegistryException"));
    EXPECT_TRUE(prompts->Log[0].Details.contains("FormCreate"));
    EXPECT_FALSE(window->QuitRequested());
    EXPECT_EQ(window->L_Action->text(), "Please, open file...");
    EXPECT_EQ(window->AppDir, home.Cwd().toStdString());
    EXPECT_EQ(window->AppPath, QCoreApplication::applicationFilePath().toStdString());
    EXPECT_EQ(window->TmeDir, "");
    EXPECT_EQ(window->TmeSaveDir, "");
    EXPECT_EQ(Value(home.SettingsFile(), "TmeSaveDir"), home.Cwd());
    ExpectButtonsAtStart(*window);
}

TEST(StartUp, SavePathStoresOneValueOnly)
{
    EditorHome home;
    auto [prompts, window] = Start();
    window->SavePath("TmeDir", "/chosen/");
    EXPECT_EQ(Value(home.SettingsFile(), "TmeDir"), "/chosen/");
    EXPECT_EQ(window->TmeDir, home.Cwd().toStdString()) << "memory is the caller's business";
}
