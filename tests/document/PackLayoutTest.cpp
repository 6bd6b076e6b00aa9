// The pack layout both ways: the worked example byte for byte, open and
// rebuild giving the same file, and the layouts that only the reader accepts.
#include "DocumentFixture.h"

namespace kep::test {
namespace {

// The worked example: Holiday with menu1.tme (1000 bytes) and bg.jpg (500 bytes).
Bytes HolidayPack(const Bytes& menu, const Bytes& image) {
    Bytes file(2352, '\0');
    std::string magic = "TMPGENC-DVDAUTHOR-MENUTEMPLATEPACKFILE-1";
    file.replace(0, 40, magic);
    file.replace(48, 8, "\x07Holiday");
    file.replace(304, 4, Bytes("\x02\0\0\0", 4));
    file.replace(308, 10, "\x09menu1.tme");
    file.replace(564, 16, Bytes("\xE8\x03\0\0\0\0\0\0\x54\x03\0\0\0\0\0\0", 16));
    file.replace(580, 7, "\x06" "bg.jpg");
    file.replace(836, 16, Bytes("\xF4\x01\0\0\0\0\0\0\x3C\x07\0\0\0\0\0\0", 16));
    file.replace(852, 1000, menu);
    file.replace(1852, 500, image);
    return file;
}

TEST_F(DocumentTest, WorkedLayoutIsWrittenByteForByte) {
    Bytes menu = Pattern(1000, 1), image = Pattern(500, 2);
    fs::path work = Root / "app" / "Holiday_template";
    fs::create_directory(work);
    WriteFile(work / "menu1.tme", menu);
    WriteFile(work / "bg.jpg", image + "tail beyond the recorded size");
    DocumentState& s = Document.State;
    s.WorkDir = work.string();
    s.PackHeader = "TMPGENC-DVDAUTHOR-MENUTEMPLATEPACKFILE-1";
    s.PackNameLength = 7;
    s.PackName = "Holiday";
    s.FileCount = 2;
    s.FileNames[1] = "menu1.tme";
    s.FileNames[2] = "bg.jpg";
    s.FileInfo[1] = {1000, 0};
    s.FileInfo[2] = {500, 77};
    Document.RebuildPack((Root / "user" / "Holiday.tme").string());

    EXPECT_EQ(ReadFile(Root / "user" / "Holiday.tme"), HolidayPack(menu, image));
    EXPECT_EQ(s.FileInfo[1].Offset, 852);
    EXPECT_EQ(s.FileInfo[2].Offset, 1852);
    EXPECT_TRUE(Window.Log.empty()); // the rebuild leaves the window alone
}

TEST_F(DocumentTest, WorkedLayoutIsReadIntoStateTreeAndFolder) {
    Bytes menu = Pattern(1000, 1), image = Pattern(500, 2);
    Open(UserFile("Holiday.tme", HolidayPack(menu, image)));

    const DocumentState& s = Document.State;
    EXPECT_EQ(s.WorkDir, (Root / "app" / "Holiday_template").string());
    EXPECT_TRUE(s.IsPack);
    EXPECT_EQ(s.PackHeader, "TMPGENC-DVDAUTHOR-MENUTEMPLATEPACKFILE-1");
    EXPECT_EQ(s.PackNameLength, 7);
    EXPECT_EQ(s.PackName, "Holiday");
    EXPECT_EQ(s.FileCount, 2);
    EXPECT_EQ(s.FileNames[1], "menu1.tme");
    EXPECT_EQ(s.FileNames[2], "bg.jpg");
    EXPECT_EQ(s.FileInfo[1].Size, 1000);
    EXPECT_EQ(s.FileInfo[1].Offset, 852);
    EXPECT_EQ(s.FileInfo[2].Size, 500);
    EXPECT_EQ(s.FileInfo[2].Offset, 1852);
    EXPECT_EQ(ReadFile(Root / "app" / "Holiday_template" / "menu1.tme"), menu);
    EXPECT_EQ(ReadFile(Root / "app" / "Holiday_template" / "bg.jpg"), image);

    std::vector<std::string> expected = {
        "action Analisi file...",
        "type Template Pack",
        "action Unpacking File...",
        "clear",
        "top Template Pack: Holiday.tme",
        "top Header:",
        "child Header: / tmpgenc-dvdauthor-menutemplatepackfile-1",
        "child Header: / Holiday",
        "top Files: 2",
        "child Files: 2 / menu1.tme",
        "child Files: 2 / bg.jpg",
        "expand Files: 2",
        "action Click on file.",
    };
    EXPECT_EQ(Window.Log, expected);
}

TEST_F(DocumentTest, OpenAndRebuildGiveTheSameFileAlsoOntoItself) {
    Bytes original = BuildPack("Mixed Case Name", {{"Menu.tme", Pattern(3000, 1)},
                                                   {"empty.bmp", ""},
                                                   {"x.jpg", Pattern(17, 3)},
                                                   {"last empty.tme", ""}});
    fs::path path = UserFile("pack.tme", original);
    Open(path);
    Document.RebuildPack((Root / "user" / "copy.tme").string());
    EXPECT_EQ(ReadFile(Root / "user" / "copy.tme"), original);
    Document.RebuildPack(path.string());
    EXPECT_EQ(ReadFile(path), original);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Root / "user")) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"copy.tme", "pack.tme"})); // no temporary file left
}

TEST_F(DocumentTest, MembersOutOfOrderAndWithGapsAreRebuiltBackToBack) {
    Bytes a = Pattern(100, 1), b = Pattern(50, 2), c = Pattern(10, 3);
    // Table order a, b, c; data order c, gap, a, gap, b, trailing bytes.
    int64_t start = kPackHeaderSize + 3 * kPackEntrySize;
    Bytes file = BuildPack("P", {{"a.tme", a, start + 20}, {"b.jpg", b, start + 200}, {"c.bmp", c, start}});
    file += "trailing";
    Open(UserFile("gaps.tme", file));
    fs::path work = Root / "app" / "gaps_template";
    EXPECT_EQ(ReadFile(work / "a.tme"), a);
    EXPECT_EQ(ReadFile(work / "b.jpg"), b);
    EXPECT_EQ(ReadFile(work / "c.bmp"), c);
    EXPECT_EQ(Document.State.FileInfo[2].Offset, start + 200);

    Document.RebuildPack((Root / "user" / "out.tme").string());
    EXPECT_EQ(ReadFile(Root / "user" / "out.tme"), BuildPack("P", {{"a.tme", a}, {"b.jpg", b}, {"c.bmp", c}}));
    EXPECT_EQ(Document.State.FileInfo[3].Offset, start + 150);
}

TEST_F(DocumentTest, PackWithoutMembersOrName) {
    Bytes file = BuildPack("", {});
    ASSERT_EQ(file.size(), 308u);
    Open(UserFile("none.tme", file));
    EXPECT_TRUE(Document.State.IsPack);
    EXPECT_EQ(Document.State.FileCount, 0);
    EXPECT_EQ(Window.Log[7], "child Header: / ");
    EXPECT_EQ(Window.Log[8], "top Files: 0");
    EXPECT_EQ(Window.Log.back(), "action Click on file.");
    Document.RebuildPack((Root / "user" / "out.tme").string());
    EXPECT_EQ(ReadFile(Root / "user" / "out.tme"), file);
}

TEST_F(DocumentTest, NameOf255CharactersFillsTheNameArea) {
    std::string name = std::string(251, 'n') + ".tme";
    std::string packName(255, 'p');
    Bytes file = BuildPack(packName, {{name, Pattern(9, 1)}});
    EXPECT_EQ(file[kPackHeaderSize + 255], 'e');
    EXPECT_EQ(file[kPackHeaderSize + 256], '\x09');
    Open(UserFile("long.tme", file));
    EXPECT_EQ(Document.State.FileNames[1], name);
    EXPECT_EQ(Document.State.PackName, packName);
    EXPECT_EQ(ReadFile(Root / "app" / "long_template" / name), Pattern(9, 1));
    Document.RebuildPack((Root / "user" / "out.tme").string());
    EXPECT_EQ(ReadFile(Root / "user" / "out.tme"), file);
}

TEST_F(DocumentTest, RebuildAfterRemoveAndAddUsesTheTables) {
    Open(UserFile("p.tme", BuildPack("P", {{"a.tme", Pattern(10, 1)}, {"b.jpg", Pattern(20, 2)}})));
    DocumentState& s = Document.State;
    // Remove a.tme (its file stays), add c.bmp at the end.
    s.FileNames[1] = s.FileNames[2];
    s.FileInfo[1] = s.FileInfo[2];
    WriteFile(fs::path(s.WorkDir) / "c.bmp", Pattern(5, 3));
    s.FileNames[2] = "c.bmp";
    s.FileInfo[2] = {5, 0};
    Document.RebuildPack((Root / "user" / "out.tme").string());
    EXPECT_EQ(ReadFile(Root / "user" / "out.tme"), BuildPack("P", {{"b.jpg", Pattern(20, 2)}, {"c.bmp", Pattern(5, 3)}}));
}

} // namespace
} // namespace kep::test
