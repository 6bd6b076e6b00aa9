// Damaged and hostile files: each is refused with a message naming the file
// and the fault before anything is written, and no user file is touched.
#include "DocumentFixture.h"

#include <unistd.h>

namespace kep::test {
namespace {

struct DamagedCase {
    const char* Title;
    Bytes File;
    std::string Fault;
};

Bytes WithField(Bytes file, size_t at, uint64_t value, int width) {
    PutLE(file, at, value, width);
    return file;
}

const size_t kEntry1 = static_cast<size_t>(kPackHeaderSize);
const Bytes kTwoMembers = BuildPack("P", {{"a.tme", Pattern(10, 1)}, {"b.jpg", Pattern(10, 2)}});

std::vector<DamagedCase> DamagedPacks() {
    std::string magic = std::string(kPackMagic) + "1";
    return {
        {"Count101", WithField(BuildPack("P", {}), kPackCountOffset, 101, 4), "it lists 101 members, more than 100"},
        {"CountHuge", WithField(BuildPack("P", {}), kPackCountOffset, 0xFFFFFFFF, 4),
         "it lists 4294967295 members, more than 100"},
        {"TableCut", kTwoMembers.substr(0, kEntry1 + kPackEntrySize + 100),
         "the member table extends past the end of the file"},
        {"DataCut", kTwoMembers.substr(0, kTwoMembers.size() - 1),
         "the data of member 2 extends past the end of the file"},
        {"OffsetPastEnd", WithField(kTwoMembers, kEntry1 + kEntryOffsetField, kTwoMembers.size() - 5, 8),
         "the data of member 1 extends past the end of the file"},
        {"SizeAbove2G", WithField(kTwoMembers, kEntry1 + kEntrySizeField, 0x80000000ull, 8),
         "the size of member 1 is above 2147483647"},
        {"OffsetAbove2G", WithField(kTwoMembers, kEntry1 + kPackEntrySize + kEntryOffsetField, 1ull << 63, 8),
         "the offset of member 2 is above 2147483647"},
        {"SizeAndOffsetWrap", WithField(WithField(kTwoMembers, kEntry1 + kEntrySizeField, 0x7FFFFFFF, 8),
                                        kEntry1 + kEntryOffsetField, 0x7FFFFFFF, 8),
         "the data of member 1 extends past the end of the file"},
        {"HeaderWithoutZero", BuildPack("P", {}, magic + "12345678"),
         "the header text has no zero byte in its first 48 bytes"},
        {"ShorterThanHeader", magic + Bytes(200, '\0'), "the file is shorter than its 308-byte header"},
        {"MagicOnly", std::string(kPackMagic), "the file is shorter than its 308-byte header"},
        {"EmptyName", BuildPack("P", {{"", "x"}}), "the name \"\" of member 1 is not a plain file name"},
        {"Dot", BuildPack("P", {{".", "x"}}), "the name \".\" of member 1 is not a plain file name"},
        {"DotDot", BuildPack("P", {{"a.tme", "x"}, {"..", "x"}}), "the name \"..\" of member 2 is not a plain file name"},
        {"ParentPath", BuildPack("P", {{"../escape.tme", "x"}}),
         "the name \"../escape.tme\" of member 1 is not a plain file name"},
        {"AbsolutePath", BuildPack("P", {{"/tmp/escape.tme", "x"}}),
         "the name \"/tmp/escape.tme\" of member 1 is not a plain file name"},
        {"Backslash", BuildPack("P", {{"..\\escape.tme", "x"}}),
         "the name \"..\\escape.tme\" of member 1 is not a plain file name"},
        {"ZeroByte", BuildPack("P", {{Bytes("a\0b.tme", 7), "x"}}),
         "the name \"a?b.tme\" of member 1 is not a plain file name"},
        {"Duplicate", BuildPack("P", {{"a.tme", "x"}, {"b.tme", "y"}, {"a.tme", "z"}}),
         "members 1 and 3 have the same name \"a.tme\""},
    };
}

class DamagedPackTest : public DocumentTest, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedPackTest, IsRefusedBeforeAnythingChanges) {
    Open(UserFile("before.tme", BuildPack("Before", {{"keep.tme", "k"}})));
    fs::path path = UserFile("bad.tme", GetParam().File);
    fs::create_directory(Root / "app" / "bad_template");
    auto before = Snapshot();
    Window.Log.clear();
    try {
        Open(path);
        FAIL() << "not refused";
    } catch (const EDocumentError& error) {
        EXPECT_EQ(std::string(error.what()), "Damaged template pack \"" + path.string() + "\": " + GetParam().Fault + ".");
    }
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(Window.Log.size(), GetParam().Fault.find("308") != std::string::npos && GetParam().File.size() < 40 ? 2u : 3u);
    EXPECT_FALSE(Document.State.IsPack);
    EXPECT_EQ(Document.State.PackName, "Before");
    EXPECT_EQ(Document.State.FileNames[1], "keep.tme");
}

INSTANTIATE_TEST_SUITE_P(Packs, DamagedPackTest, ::testing::ValuesIn(DamagedPacks()),
                         [](const auto& info) { return info.param.Title; });

TEST_F(DocumentTest, SingleTemplateShorterThanItsHeaderIsRefused) {
    for (size_t size : {34, 35, 41}) {
        fs::path path = UserFile("short.tme", BuildTemplate("").substr(0, size));
        try {
            Open(path);
            FAIL() << size;
        } catch (const EDocumentError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "Damaged menu template \"" + path.string() + "\": the file is shorter than its 42-byte header.");
        }
        EXPECT_TRUE(fs::is_empty(Root / "app" / "short_template"));
    }
}

TEST_F(DocumentTest, LinksInTheWorkingFolderAreReplacedNotFollowed) {
    fs::path precious = UserFile("precious.txt", "user data");
    fs::path alsoPrecious = UserFile("also.txt", "more user data");
    fs::path work = Root / "app" / "p_template";
    fs::create_directory(work);
    fs::create_symlink(precious, work / "a.tme");
    fs::create_hard_link(alsoPrecious, work / "b.jpg");
    fs::create_symlink(Root / "user" / "nowhere.bmp", work / "c.bmp");
    Open(UserFile("p.tme", BuildPack("P", {{"a.tme", "member a"}, {"b.jpg", "member b"}, {"c.bmp", "member c"}})));
    EXPECT_EQ(ReadFile(precious), "user data");
    EXPECT_EQ(ReadFile(alsoPrecious), "more user data");
    EXPECT_FALSE(fs::exists(Root / "user" / "nowhere.bmp"));
    EXPECT_FALSE(fs::is_symlink(work / "a.tme"));
    EXPECT_EQ(ReadFile(work / "a.tme"), "member a");
    EXPECT_EQ(ReadFile(work / "b.jpg"), "member b");
    EXPECT_EQ(ReadFile(work / "c.bmp"), "member c");
}

TEST_F(DocumentTest, MemberThatCannotBeWrittenStopsTheUnpacking) {
    fs::path work = Root / "app" / "p_template";
    fs::create_directories(work / "b.jpg"); // a folder where the second member's file belongs
    EXPECT_THROW(Open(UserFile("p.tme", BuildPack("P", {{"a.tme", "1"}, {"b.jpg", "2"}, {"c.bmp", "3"}}))),
                 EFCreateError);
    EXPECT_EQ(ReadFile(work / "a.tme"), "1");
    EXPECT_FALSE(fs::exists(work / "c.bmp"));
    EXPECT_EQ(Window.Log.back(), "child Files: 3 / b.jpg");
    EXPECT_EQ(Document.State.FileCount, 3);
    EXPECT_FALSE(Document.State.IsPack);
    EXPECT_EQ(std::distance(fs::directory_iterator(work), {}), 2); // no temporary file left
}

// The rebuild refuses what the format cannot hold, writing nothing.
struct RebuildCase {
    const char* Title;
    void (*Damage)(DocumentState&);
    std::string Fault;
};

class RebuildRefusalTest : public DocumentTest, public ::testing::WithParamInterface<RebuildCase> {};

TEST_P(RebuildRefusalTest, LeavesTheTargetIntact) {
    Open(UserFile("p.tme", BuildPack("P", {{"a.tme", Pattern(10, 1)}, {"b.jpg", Pattern(20, 2)}})));
    GetParam().Damage(Document.State);
    fs::path target = UserFile("target.tme", "previous target");
    auto before = Snapshot();
    try {
        Document.RebuildPack(target.string());
        FAIL() << "not refused";
    } catch (const EDocumentError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot rebuild template pack \"" + target.string() + "\": " + GetParam().Fault + ".");
    }
    EXPECT_EQ(Snapshot(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Rebuilds, RebuildRefusalTest,
    ::testing::Values(
        RebuildCase{"NameOf256", [](DocumentState& s) { s.FileNames[2] = std::string(252, 'n') + ".jpg"; },
                    "the name of member 2 is longer than 255 characters"},
        RebuildCase{"NotPlainName", [](DocumentState& s) { s.FileNames[1] = "../p.tme"; },
                    "the name \"../p.tme\" of member 1 is not a plain file name"},
        RebuildCase{"DuplicateName", [](DocumentState& s) { s.FileNames[2] = "a.tme"; },
                    "members 1 and 2 have the same name \"a.tme\""},
        RebuildCase{"HeaderOf48", [](DocumentState& s) { s.PackHeader += "12345678"; },
                    "the header text does not fit in 47 characters"},
        RebuildCase{"PackNameOf256", [](DocumentState& s) { s.PackName.assign(256, 'p'); },
                    "the pack name is longer than 255 characters"},
        RebuildCase{"Members101", [](DocumentState& s) { s.FileCount = 101; },
                    "it would hold 101 members, more than 100"}),
    [](const auto& info) { return info.param.Title; });

TEST_F(DocumentTest, RebuildRefusesAMemberFileShorterThanItsSize) {
    Open(UserFile("p.tme", BuildPack("P", {{"a.tme", Pattern(10, 1)}, {"b.jpg", Pattern(20, 2)}})));
    fs::path member = fs::path(Document.State.WorkDir) / "b.jpg";
    WriteFile(member, Pattern(19, 2));
    fs::path target = UserFile("target.tme", "previous target");
    auto before = Snapshot();
    try {
        Document.RebuildPack(target.string());
        FAIL() << "not refused";
    } catch (const EDocumentError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot rebuild template pack \"" + target.string() + "\": the file \"" +
                                                 member.string() + "\" of member 2 holds 19 bytes, fewer than its size 20.");
    }
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(DocumentTest, RebuildWithAMissingMemberFileWritesNothing) {
    Open(UserFile("p.tme", BuildPack("P", {{"a.tme", "1"}, {"b.jpg", "22"}, {"c.bmp", "333"}})));
    fs::remove(fs::path(Document.State.WorkDir) / "b.jpg");
    fs::path target = UserFile("target.tme", "previous target");
    auto before = Snapshot();
    EXPECT_THROW(Document.RebuildPack(target.string()), EFOpenError);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_EQ(Document.State.FileInfo[1].Offset, kPackHeaderSize + 3 * kPackEntrySize);
}

TEST_F(DocumentTest, RebuildIntoAnUnwritablePlaceLeavesNoTemporaryFile) {
    Open(UserFile("p.tme", BuildPack("P", {{"a.tme", "1"}})));
    auto before = Snapshot();
    EXPECT_THROW(Document.RebuildPack((Root / "user" / "missing" / "t.tme").string()), EFCreateError);
    fs::create_directory(Root / "user" / "folder.tme");
    before = Snapshot();
    EXPECT_THROW(Document.RebuildPack((Root / "user" / "folder.tme").string()), EFCreateError);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(DocumentTest, RebuildThroughALinkReplacesTheFileItNames) {
    Open(UserFile("p.tme", BuildPack("P", {{"a.tme", "1"}})));
    fs::path real = UserFile("real.tme", "old");
    fs::create_symlink(real, Root / "user" / "link.tme");
    Document.RebuildPack((Root / "user" / "link.tme").string());
    EXPECT_TRUE(fs::is_symlink(Root / "user" / "link.tme"));
    EXPECT_EQ(ReadFile(real), ReadFile(Root / "user" / "p.tme"));
}

} // namespace
} // namespace kep::test

namespace kep::test {
namespace {

// Random damage to the header and table of a valid pack: every outcome is a
// complete unpacking or one of the system's errors, and files appear only in
// the working folder.
TEST_F(DocumentTest, RandomlyDamagedPacksStayInsideTheWorkingFolder) {
    const Bytes valid = BuildPack("P", {{"a.tme", Pattern(40, 1)}, {"b.jpg", Pattern(30, 2)}, {"c.bmp", Pattern(20, 3)}});
    const size_t tableEnd = static_cast<size_t>(kPackHeaderSize + 3 * kPackEntrySize);
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 8; };
    fs::path path = UserFile("fuzz.tme", valid);
    fs::path work = Root / "app" / "fuzz_template";
    for (int round = 0; round < 250; ++round) {
        Bytes file = valid;
        for (int k = 0, flips = 1 + static_cast<int>(next() % 4); k < flips; ++k) {
            size_t at = next() % 2 ? 40 + next() % (tableEnd - 40) : kPackHeaderSize + next() % 3 * kPackEntrySize + next() % 3;
            file[at] = static_cast<char>(next() % 3 ? next() : (next() % 2 ? '/' : '\0'));
        }
        if (next() % 8 == 0) file.resize(next() % file.size());
        WriteFile(path, file);
        fs::remove_all(work);
        try {
            Open(path);
        } catch (const Exception&) {
        }
        for (const auto& entry : fs::recursive_directory_iterator(Root)) {
            fs::path p = entry.path();
            bool allowed = p == Root / "app" || p == Root / "user" || p == path || p == work || p.parent_path() == work;
            ASSERT_TRUE(allowed) << "round " << round << " wrote " << p;
        }
    }
}

} // namespace
} // namespace kep::test
