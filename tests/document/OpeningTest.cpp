// Opening single templates, refused versions, files of neither kind, and the
// working folder rule.
#include "DocumentFixture.h"

namespace kep::test {
namespace {

TEST_F(DocumentTest, SingleTemplateIsCopiedAndShown) {
    Bytes file = BuildTemplate("TPF0 stream bytes", "trailing");
    Open(UserFile("Menu.Main.tme", file));
    std::vector<std::string> expected = {
        "action Analisi file...",
        "type Template",
        "action Template analysis...",
        "clear",
        "top Template Menu: Menu.Main.tme",
        "top Header:",
        "child Header: / ID_Template = 0x01A20F",
        "child Header: / ID_ASCII = \"TMPGENC-DVDAUTHOR-MENUTEMPLATE-2\"",
        "child Header: / Revision = 0xABCDEF",
        "top Menu.Main.tme",
        "action Click on template.",
    };
    EXPECT_EQ(Window.Log, expected);
    EXPECT_EQ(Document.State.WorkDir, (Root / "app" / "Menu.Main_template").string());
    EXPECT_EQ(ReadFile(Root / "app" / "Menu.Main_template" / "Menu.Main.tme"), file);
    EXPECT_FALSE(Document.State.IsPack);
}

TEST_F(DocumentTest, SingleTemplateKeepsTheTablesOfAnEarlierPack) {
    Open(UserFile("p.tme", BuildPack("Earlier", {{"a.tme", "x"}, {"b.tme", "y"}, {"c.tme", "z"}})));
    Open(UserFile("t.tme", BuildTemplate("s")));
    EXPECT_FALSE(Document.State.IsPack);
    EXPECT_EQ(Document.State.FileCount, 0);
    EXPECT_EQ(Document.State.PackName, "Earlier");
    EXPECT_EQ(Document.State.FileNames[3], "c.tme");
}

struct VersionCase {
    const char* Title;
    Bytes File;
    const char* Type;
    const char* Status;
};

class BadVersionTest : public DocumentTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(BadVersionTest, RedStatusAndNothingElseChanges) {
    Open(UserFile("before.tme", BuildPack("Before", {{"a.tme", "x"}})));
    Window.Log.clear();
    Open(UserFile("bad.tme", GetParam().File));
    std::vector<std::string> expected = {"action Analisi file...", std::string("type ") + GetParam().Type, "red",
                                         std::string("action ") + GetParam().Status};
    EXPECT_EQ(Window.Log, expected);
    EXPECT_TRUE(fs::is_empty(Root / "app" / "bad_template")); // created, nothing written
    EXPECT_EQ(Document.State.PackName, "Before");
}

INSTANTIATE_TEST_SUITE_P(
    Versions, BadVersionTest,
    ::testing::Values(VersionCase{"Pack2", BuildPack("P", {}, std::string(kPackMagic) + "2"), "Template Pack",
                                  "BAD Version: 2"},
                      VersionCase{"Template1", BuildTemplate("s", "", '1'), "Template", "BAD Version: 1"},
                      VersionCase{"ShortPack", std::string(kPackMagic) + "3", "Template Pack", "BAD Version: 3"}),
    [](const auto& info) { return info.param.Title; });

TEST_F(DocumentTest, FileOfNeitherKindOnlyCreatesTheFolder) {
    Open(UserFile("before.tme", BuildPack("Before", {{"a.tme", "x"}})));
    Window.Log.clear();
    for (const Bytes& content : {Bytes("plain text\n"), Bytes(), Bytes("\xFF\xD8\xFF\xE0 jpeg")}) {
        Window.Log.clear();
        Open(UserFile("other", content));
        EXPECT_EQ(Window.Log, std::vector<std::string>{"action Analisi file..."});
        EXPECT_TRUE(fs::is_directory(Root / "app" / "other_template"));
    }
}

TEST_F(DocumentTest, MissingFileReportsTheOpenError) {
    try {
        Open(Root / "user" / "missing.tme");
        FAIL();
    } catch (const EFOpenError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot open file \"" + (Root / "user" / "missing.tme").string() + "\". No such file or directory");
    }
    EXPECT_TRUE(fs::is_directory(Root / "app" / "missing_template"));
    EXPECT_TRUE(Window.Log.empty());
}

TEST_F(DocumentTest, ReopeningReusesTheFolderAndKeepsOtherFiles) {
    fs::path path = UserFile("p.tme", BuildPack("P", {{"a.tme", "new"}}));
    fs::create_directory(Root / "app" / "p_template");
    WriteFile(Root / "app" / "p_template" / "a.tme", "old content");
    WriteFile(Root / "app" / "p_template" / "removed.jpg", "kept");
    Open(path);
    EXPECT_EQ(ReadFile(Root / "app" / "p_template" / "a.tme"), "new");
    EXPECT_EQ(ReadFile(Root / "app" / "p_template" / "removed.jpg"), "kept");
}

} // namespace
} // namespace kep::test
