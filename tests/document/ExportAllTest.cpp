// Exporting every member into a folder: raw copies and templates' code, the
// overwrite question, and the refusals that come before anything is written.
#include "DocumentFixture.h"

#include "document/ExportAll.h"

namespace kep::test {
namespace {

class ExportAllTest : public DocumentTest {
protected:
    void SetUp() override {
        DocumentTest::SetUp();
        Out = Root / "out";
        fs::create_directory(Out);
    }

    void OpenPack(std::vector<PackMember> members) { Open(UserFile("p.tme", BuildPack("P", members))); }

    std::vector<ExportedFile> Export(bool asText, std::vector<std::string>* asked = nullptr,
                                     OverwriteAnswer answer = OverwriteAnswer::Overwrite) {
        return ExportAllMembers(Document, Out.string(), ExportAllOptions{asText}, [&](const std::string& name) {
            if (asked) asked->push_back(name);
            return answer;
        });
    }

    fs::path Out;
};

TEST_F(ExportAllTest, WritesEveryMemberRawAndTemplatesAlsoAsCode) {
    Bytes menu = BuildTemplate(kWidthStream, "trailing");
    OpenPack({{"menu1.tme", menu}, {"back.jpg", Pattern(3000, 1)}, {"empty.bmp", ""}, {"menu.TME", menu}});
    std::vector<ExportedFile> files = Export(true);
    std::vector<std::string> names;
    for (const ExportedFile& file : files) {
        EXPECT_TRUE(file.Written) << file.FileName;
        names.push_back(file.FileName);
    }
    // Only an extension of exactly ".tme" marks a template.
    EXPECT_EQ(names, (std::vector<std::string>{"menu1.tme", "menu1.txt", "back.jpg", "empty.bmp", "menu.TME"}));
    EXPECT_EQ(ReadFile(Out / "menu1.tme"), menu);
    EXPECT_EQ(ReadFile(Out / "menu1.txt"), kWidthText);
    EXPECT_EQ(ReadFile(Out / "back.jpg"), Pattern(3000, 1));
    EXPECT_EQ(ReadFile(Out / "empty.bmp"), "");
    EXPECT_EQ(std::distance(fs::directory_iterator(Out), fs::directory_iterator()), 5); // no temporary files left
}

TEST_F(ExportAllTest, RawOnlyAndTheSingleTemplate) {
    Open(UserFile("single.tme", BuildTemplate(kWidthStream)));
    std::vector<ExportedFile> files = Export(false);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].FileName, "single.tme");
    EXPECT_EQ(ReadFile(Out / "single.tme"), BuildTemplate(kWidthStream));
}

TEST_F(ExportAllTest, ExistingFilesAreReplacedOnlyWhenTheAnswerSaysSo) {
    OpenPack({{"menu1.tme", BuildTemplate(kWidthStream)}, {"back.jpg", "new"}});
    WriteFile(Out / "back.jpg", "old");
    WriteFile(Out / "menu1.txt", "old text");

    std::vector<std::string> asked;
    std::vector<ExportedFile> files = Export(true, &asked, OverwriteAnswer::Skip);
    EXPECT_EQ(asked, (std::vector<std::string>{"menu1.txt", "back.jpg"}));
    EXPECT_EQ(ReadFile(Out / "back.jpg"), "old");
    EXPECT_EQ(ReadFile(Out / "menu1.txt"), "old text");
    EXPECT_TRUE(files[0].Written);
    EXPECT_FALSE(files[1].Written);

    asked.clear();
    Export(true, &asked, OverwriteAnswer::Overwrite);
    EXPECT_EQ(asked, (std::vector<std::string>{"menu1.tme", "menu1.txt", "back.jpg"}));
    EXPECT_EQ(ReadFile(Out / "back.jpg"), "new");
    EXPECT_EQ(ReadFile(Out / "menu1.txt"), kWidthText);
}

TEST_F(ExportAllTest, CancelStopsAtTheFirstExistingFileKeepingWhatWasWritten) {
    OpenPack({{"a.jpg", "a"}, {"b.jpg", "b"}, {"c.jpg", "c"}});
    WriteFile(Out / "b.jpg", "old");
    std::vector<ExportedFile> files = Export(false, nullptr, OverwriteAnswer::Cancel);
    EXPECT_TRUE(files[0].Written);
    EXPECT_FALSE(files[1].Written);
    EXPECT_FALSE(files[2].Written);
    EXPECT_EQ(ReadFile(Out / "b.jpg"), "old");
    EXPECT_FALSE(fs::exists(Out / "c.jpg"));
}

TEST_F(ExportAllTest, ALinkInTheFolderIsReplacedNotFollowed) {
    OpenPack({{"a.jpg", "new"}});
    fs::path victim = Root / "user" / "victim";
    WriteFile(victim, "keep");
    fs::create_symlink(victim, Out / "a.jpg");
    Export(false);
    EXPECT_EQ(ReadFile(victim), "keep");
    EXPECT_FALSE(fs::is_symlink(Out / "a.jpg"));
    EXPECT_EQ(ReadFile(Out / "a.jpg"), "new");
}

TEST_F(ExportAllTest, RefusalsWriteNothing) {
    // Two members that would land in one file.
    OpenPack({{"menu1.tme", BuildTemplate(kWidthStream)}, {"menu1.txt", "x"}});
    EXPECT_NO_THROW(Export(false));
    fs::remove_all(Out);
    fs::create_directory(Out);
    try {
        Export(true);
        FAIL() << "no refusal";
    } catch (const EDocumentError& error) {
        EXPECT_STREQ(error.what(),
                     "Cannot export \"menu1.txt\" and \"menu1.tme\" together: both would be written as \"menu1.txt\".");
    }
    EXPECT_TRUE(fs::is_empty(Out));

    // A template whose code cannot be made: nothing written, the member named.
    OpenPack({{"a.jpg", "a"}, {"bad.tme", BuildTemplate("XXXX")}});
    try {
        Export(true);
        FAIL() << "no refusal";
    } catch (const EDocumentError& error) {
        EXPECT_STREQ(error.what(), "Cannot export the code of \"bad.tme\": Invalid stream format");
    }
    EXPECT_TRUE(fs::is_empty(Out));

    // A folder that does not exist: the file error.
    fs::remove_all(Out);
    EXPECT_THROW(Export(false), EFCreateError);
    EXPECT_FALSE(fs::exists(Out));
}

} // namespace
} // namespace kep::test
