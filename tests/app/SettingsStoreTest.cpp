// The settings store's key rules, the desktop association's texts and the
// file dialogs' filters.
#include "EditorHome.h"

#include "app/DesktopAssociation.h"
#include "app/QtPrompts.h"
#include "app/RegistryAccess.h"

#include <gtest/gtest.h>

using kep::RegistryAccess;
using kep::RegistryRoot;

TEST(RegistryAccess, KeyPathsOpenAndCreate)
{
    EditorHome home;
    RegistryAccess registry;
    EXPECT_EQ(registry.RootKey(), RegistryRoot::CurrentUser);
    EXPECT_TRUE(registry.LazyWrite);

    EXPECT_FALSE(registry.OpenKey("\\Software\\Orvenhall\\Kep Template Editor", false));
    EXPECT_FALSE(registry.HasCurrentKey());
    ASSERT_TRUE(registry.OpenKey("\\Software\\Orvenhall\\Kep Template Editor", true));
    registry.WriteString("TmeDir", "/a/b/");
    // Relative to the current key.
    ASSERT_TRUE(registry.OpenKey("Sub\\Deeper", true));
    EXPECT_EQ(registry.CurrentPath(), "Software\\Orvenhall\\Kep Template Editor\\Sub\\Deeper");
    registry.WriteString("Name", "value");
    registry.CloseKey();
    EXPECT_FALSE(registry.HasCurrentKey());
    registry.CloseKey(); // nothing open: nothing happens

    // A failed open keeps the current key.
    ASSERT_TRUE(registry.OpenKey("\\Software\\Orvenhall\\Kep Template Editor", false));
    EXPECT_FALSE(registry.OpenKey("Missing", false));
    EXPECT_EQ(registry.CurrentPath(), "Software\\Orvenhall\\Kep Template Editor");
    EXPECT_EQ(registry.ReadString("TmeDir"), "/a/b/");
    EXPECT_EQ(registry.ReadString("tmedir"), "") << "names are case-sensitive";
    EXPECT_EQ(registry.ReadString("Missing"), "");
    ASSERT_TRUE(registry.OpenKey("Sub\\Deeper", false));
    EXPECT_EQ(registry.ReadString("Name"), "value");
    EXPECT_TRUE(QFile::exists(home.SettingsFile()));

    // Another root closes the current key.
    registry.SetRootKey(RegistryRoot::ClassesRoot);
    EXPECT_FALSE(registry.HasCurrentKey());
    EXPECT_FALSE(registry.OpenKey("\\Software\\Orvenhall\\Kep Template Editor", false));
}

TEST(RegistryAccess, ValueRules)
{
    EditorHome home;
    EditorHome::Write(home.SettingsFile(), "[General]\nList=a, b\nBytes=@ByteArray(xy)\nNumber=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n");
    RegistryAccess registry;
    EXPECT_THROW(
        {
            try {
                registry.WriteString("AppDir", "x");
            } catch (const kep::ERegistryException& error) {
                EXPECT_STREQ(error.what(), "Failed to set data for 'AppDir'");
                throw;
            }
        },
        kep::ERegistryException);
    ASSERT_TRUE(registry.OpenKey("\\Software\\Orvenhall\\Kep Template Editor", false));
    for (const char* name : {"List", "Bytes", "Number"}) {
        try {
            registry.ReadString(name);
            ADD_FAILURE() << name << " read as a text";
        } catch (const kep::ERegistryException& error) {
            EXPECT_EQ(std::string(error.what()), std::string("Invalid data type for '") + name + "'");
        }
    }
    registry.WriteString("Zero", std::string("before\0after", 12));
    registry.WriteString("", "default value");
    registry.WriteString("with/slash", "kept");
    registry.CloseKey();
    ASSERT_TRUE(registry.OpenKey("\\Software\\Orvenhall\\Kep Template Editor", false));
    EXPECT_EQ(registry.ReadString("Zero"), "before");
    EXPECT_EQ(registry.ReadString(""), "default value");
    EXPECT_EQ(registry.ReadString("with/slash"), "kept");
    EXPECT_EQ(registry.ReadString("with"), "");
}

TEST(RegistryAccess, FailedFlushIsAFailedWriteWithoutLazyWriting)
{
    EditorHome home;
    RegistryAccess registry;
    registry.SetRootKey(RegistryRoot::ClassesRoot);
    registry.LazyWrite = false;
    ASSERT_TRUE(registry.OpenKey(".tme", true));
    registry.WriteString("", "Marqetto.Project");
    // The store's folder becomes unwritable: its file is replaced by a folder.
    QFile::remove(home.ClassesFile());
    QDir().mkpath(home.ClassesFile());
    EXPECT_THROW(registry.WriteString("", "again"), kep::ERegistryException);
}

TEST(DesktopAssociation, ExecLineQuotesWhatTheDesktopWouldSplit)
{
    const std::pair<QString, QString> cases[] = {
        {"/usr/bin/marqetto", "/usr/bin/marqetto %f"},
        {"/opt/Kep Editor/marqetto", "\"/opt/Kep Editor/marqetto\" %f"},
        {"/opt/100%/marqetto", "/opt/100%%/marqetto %f"},
        {"/opt/a$b/marqetto", "\"/opt/a\\\\$b/marqetto\" %f"},
        {"/opt/back\\slash/m", "\"/opt/back\\\\\\\\slash/m\" %f"},
    };
    for (const auto& [executable, line] : cases)
        EXPECT_EQ(kep::DesktopAssociation::ExecLine(executable), line) << executable.toStdString();
}

TEST(DesktopAssociation, DefaultHandlerIsSetAndOtherLinesKept)
{
    using kep::DesktopAssociation;
    const std::pair<QString, QString> cases[] = {
        {"", "[Default Applications]\napplication/x-kep-template=marqetto.desktop\n"},
        {"[Added Associations]\ntext/plain=a.desktop;\n",
         "[Added Associations]\ntext/plain=a.desktop;\n\n[Default Applications]\n"
         "application/x-kep-template=marqetto.desktop\n"},
        {"[Default Applications]\ntext/plain=a.desktop\n\n[Added Associations]\nx/y=b.desktop;\n",
         "[Default Applications]\ntext/plain=a.desktop\napplication/x-kep-template=marqetto.desktop\n\n"
         "[Added Associations]\nx/y=b.desktop;\n"},
        {"[Default Applications]\napplication/x-kep-template=old.desktop\ntext/plain=a.desktop\n",
         "[Default Applications]\napplication/x-kep-template=marqetto.desktop\ntext/plain=a.desktop\n"},
    };
    for (const auto& [before, after] : cases)
        EXPECT_EQ(DesktopAssociation::WithDefaultHandler(before), after) << before.toStdString();
}

TEST(QtPrompts, FiltersBecomeQtFilters)
{
    const std::pair<QString, QString> cases[] = {
        {"Template Files (tme)|*.tme|All Files (*.*)|*.*", "Template Files (tme) (*.tme);;All Files (*)"},
        {"Files .jpg (*.jpg)|*.jpg", "Files .jpg (*.jpg)"},
        {"Template Files (*.tme;*.jpg;*.bmp)|*.tme;*.jpg;*.bmp", "Template Files (*.tme *.jpg *.bmp)"},
        {"Files  (*)|*", "Files  (*)"},
    };
    for (const auto& [filter, qt] : cases)
        EXPECT_EQ(kep::QtPrompts::QtFilter(filter), qt) << filter.toStdString();
}
