#include "document/PathParts.h"

#include <gtest/gtest.h>

#include <vector>

namespace kep {
namespace {

struct PathCase {
    std::string Path, Name, Folder, Ext, WithTxt;
};

TEST(PathParts, SplitsAtTheLastSlashAndDot) {
    const PathCase cases[] = {
        {"/home/u/Holiday.tme", "Holiday.tme", "/home/u/", ".tme", "/home/u/Holiday.txt"},
        {"a.b.tme", "a.b.tme", "", ".tme", "a.b.txt"},
        {"pack", "pack", "", "", "pack.txt"},
        {"/dir.x/pack", "pack", "/dir.x/", "", "/dir.x/pack.txt"},
        {"C:\\menus\\m.TME", "C:\\menus\\m.TME", "", ".TME", "C:\\menus\\m.txt"},
        {"/folder/", "", "/folder/", "", "/folder/.txt"},
        {".tme", ".tme", "", ".tme", ".txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        EXPECT_EQ(ExtractFileName(c.Path), c.Name);
        EXPECT_EQ(ExtractFilePath(c.Path), c.Folder);
        EXPECT_EQ(ExtractFileExt(c.Path), c.Ext);
        EXPECT_EQ(ChangeFileExt(c.Path, ".txt"), c.WithTxt);
    }
}

TEST(PathParts, LowerCasesOnlyAsciiLetters) {
    EXPECT_EQ(LowerCaseAscii("TMPGENC-Pack_1 \xC4\xD6"), "tmpgenc-pack_1 \xC4\xD6");
}

TEST(PathParts, PlainFileNames) {
    for (const char* name : {"a.tme", "..a", "a..", "name with spaces.jpg", "\xE9t\xE9.bmp"})
        EXPECT_TRUE(IsPlainFileName(name)) << name;
    for (const std::string& name : std::vector<std::string>{"", ".", "..", "a/b", "/a", "a\\b", std::string("a\0b", 3)})
        EXPECT_FALSE(IsPlainFileName(name)) << name;
}

} // namespace
} // namespace kep
