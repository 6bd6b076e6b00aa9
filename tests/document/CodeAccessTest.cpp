// Template code access: the stream of a menu template to the editor and back.
#include "DocumentFixture.h"

namespace kep::test {
namespace {

class CodeAccessTest : public DocumentTest {
protected:
    fs::path Member(const Bytes& bytes) {
        fs::path path = Root / "app" / "menu1.tme";
        WriteFile(path, bytes);
        return path;
    }
};

TEST_F(CodeAccessTest, TemplateToTextFillsTheEditorWhileLoadingText) {
    fs::path path = Member(BuildTemplate(kWidthStream, "trailing bytes"));
    EXPECT_EQ(Document.TemplateToText(path.string()), 42 + 20);
    EXPECT_EQ(Window.Editor, kWidthText);
    EXPECT_TRUE(Window.LoadingTextWhileFilled);
    EXPECT_FALSE(Document.State.LoadingText);
    EXPECT_EQ(Window.Log, std::vector<std::string>{"editor"}); // no status text, "Save changes" untouched
}

TEST_F(CodeAccessTest, SizeIsHeaderPlusStreamLength) {
    // A 1200-byte stream: one binary property of 1179 bytes.
    Bytes stream = Bytes("TPF0\x02TB\x01" "A\x04" "Data\x0A", 15) + Bytes("\x9B\x04\0\0", 4) + Bytes(1179, '\x5A') +
                   Bytes(2, '\0');
    ASSERT_EQ(stream.size(), 1200u);
    Bytes file = BuildTemplate(stream);
    EXPECT_EQ(file.substr(38, 4), Bytes("\xB0\x04\0\0", 4));
    EXPECT_EQ(Document.TemplateToText(Member(file).string()), 1242);
}

struct UnreadableCase {
    const char* Title;
    Bytes File;
    std::string Message; // after the path; empty for a conversion error
};

class UnreadableTemplateTest : public CodeAccessTest, public ::testing::WithParamInterface<UnreadableCase> {};

TEST_P(UnreadableTemplateTest, IsRefusedAndClearsLoadingText) {
    fs::path path = Member(GetParam().File);
    Window.Editor = "previous code";
    try {
        Document.TemplateToText(path.string());
        FAIL() << "not refused";
    } catch (const Exception& error) {
        std::string expected = GetParam().Message.empty()
                                   ? "Invalid stream format"
                                   : "Damaged menu template \"" + path.string() + "\": " + GetParam().Message;
        EXPECT_EQ(std::string(error.what()), expected);
    }
    EXPECT_FALSE(Document.State.LoadingText);
    EXPECT_EQ(Window.Editor, "previous code");
}

INSTANTIATE_TEST_SUITE_P(
    Templates, UnreadableTemplateTest,
    ::testing::Values(
        UnreadableCase{"ShorterThanHeader", BuildTemplate("").substr(0, 41),
                       "the file is shorter than its 42-byte header."},
        UnreadableCase{"StreamCut", BuildTemplate(kWidthStream).substr(0, 61),
                       "the file holds 61 bytes, fewer than its header and its 20-byte component stream."},
        UnreadableCase{"HugeLength", BuildTemplate(kWidthStream).replace(38, 4, "\xFF\xFF\xFF\xFF"),
                       "the file holds 62 bytes, fewer than its header and its 4294967295-byte component stream."},
        UnreadableCase{"NoSignature", BuildTemplate("TPF1\x02TB\x01" "A\x00\x00"), ""}),
    [](const auto& info) { return info.param.Title; });

TEST_F(CodeAccessTest, MissingFileClearsLoadingText) {
    EXPECT_THROW(Document.TemplateToText((Root / "app" / "none.tme").string()), EFOpenError);
    EXPECT_FALSE(Document.State.LoadingText);
}

TEST_F(CodeAccessTest, TextToTemplateRewritesTheStreamAndEndsTheFileThere) {
    Bytes original = BuildTemplate(kWidthStream, "trailing bytes");
    fs::path path = Member(original);
    Window.Editor = "object A: TB\r\n  Width = 1200\r\n  Caption = 'Longer'\r\nend\r\n";
    int64_t size = Document.TextToTemplate(path.string());
    Bytes stream = Bytes("TPF0\x02TB\x01" "A\x05Width\x03\xB0\x04\x07" "Caption\x06\x06" "Longer\x00\x00", 36);
    EXPECT_EQ(size, 42 + 36);
    Bytes expected = original.substr(0, 38) + Bytes("\x24\0\0\0", 4) + stream;
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_TRUE(Window.SaveDisabled);

    // Unchanged code: the same size as reading gave, the same file.
    Document.TemplateToText(path.string());
    EXPECT_EQ(Document.TextToTemplate(path.string()), 42 + 36);
    EXPECT_EQ(ReadFile(path), expected);
}

TEST_F(CodeAccessTest, TextThatDoesNotConvertChangesNothing) {
    Bytes original = BuildTemplate(kWidthStream, "trailing");
    fs::path path = Member(original);
    Window.Editor = "object A: TB\r\n  Width = \r\nend\r\n";
    EXPECT_THROW(Document.TextToTemplate(path.string()), EParserError);
    EXPECT_EQ(ReadFile(path), original);
    EXPECT_FALSE(Window.SaveDisabled);

    Window.Editor = kWidthText;
    fs::path shortFile = Member(original.substr(0, 50));
    EXPECT_THROW(Document.TextToTemplate(shortFile.string()), EDocumentError);
    EXPECT_EQ(ReadFile(shortFile), original.substr(0, 50));
    EXPECT_FALSE(Window.SaveDisabled);
    EXPECT_EQ(std::distance(fs::directory_iterator(Root / "app"), {}), 1); // no temporary file left
}

TEST_F(CodeAccessTest, TextToTemplateReplacesALinkInsteadOfFollowingIt) {
    fs::path precious = UserFile("precious.tme", BuildTemplate(kWidthStream));
    fs::path link = Root / "app" / "menu1.tme";
    fs::create_symlink(precious, link);
    Window.Editor = "object B: TC\r\nend\r\n";
    Document.TextToTemplate(link.string());
    EXPECT_EQ(ReadFile(precious), BuildTemplate(kWidthStream));
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(link).substr(42), Bytes("TPF0\x02TC\x01" "B\x00\x00", 11));
}

} // namespace
} // namespace kep::test
