// tme check, run as a program: the report per member and the exit status.
#include "support/Files.h"
#include "support/RunTme.h"
#include "support/TmeFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kep::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

class CheckTest : public ::testing::Test {
protected:
    using Result = TmeResult;

    void SetUp() override {
        Root = MakeTempFolder("tme-check");
        ASSERT_FALSE(Root.empty());
        fs::create_directory(Root / "tmp");
    }
    void TearDown() override { fs::remove_all(Root); }

    // Runs tme with TMPDIR set to a folder of its own.
    Result Run(const std::vector<std::string>& args) { return RunTme(args, Root / "tmp", Root); }

    fs::path File(const std::string& name, const Bytes& bytes) {
        WriteFile(Root / name, bytes);
        return Root / name;
    }

    fs::path Root;
};

TEST_F(CheckTest, ReportsEveryMemberAndSucceedsWhenAllConvert) {
    Bytes pack = PackOf({{"same.tme", WidthTemplate(Bytes("\x02\x07", 2))},
                         {"wide.tme", WidthTemplate(Bytes("\x04\x07\0\0\0", 5))},
                         {"back.jpg", "\xFF\xD8"}});
    fs::path file = File("p.tme", pack);
    Result r = Run({"check", file.string()});
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, "same.tme: same bytes\n"
                     "wide.tme: differs at offset 38: the stream length 22 becomes 19; first change in the stream "
                     "at offset 57, in A.Width: Int32 tag where Int8 suffices (value 7)\n"
                     "back.jpg: not a template\n");
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(ReadFile(file), pack); // the pack itself is only read
    EXPECT_TRUE(fs::is_empty(Root / "tmp"));
}

TEST_F(CheckTest, FailsWhenATemplateDoesNotConvert) {
    Result r = Run({"check", File("p.tme", PackOf({{"bad.tme", WidthTemplate(Bytes("\x15", 1))},
                                                   {"good.tme", WidthTemplate(Bytes("\x02\x07", 2))}}))
                                 .string()});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Out.rfind("bad.tme: does not convert: ", 0), 0u) << r.Out;
    EXPECT_NE(r.Out.find("\ngood.tme: same bytes\n"), std::string::npos);
    EXPECT_EQ(r.Err, "tme: 1 of 2 templates do not convert.\n");
    EXPECT_TRUE(fs::is_empty(Root / "tmp"));
}

TEST_F(CheckTest, SingleTemplateRefusalsAndUsage) {
    Result single = Run({"check", File("menu.tme", WidthTemplate(Bytes("\x02\x07", 2))).string()});
    EXPECT_EQ(single.Status, 0);
    EXPECT_EQ(single.Out, "menu.tme: same bytes\n");

    Result missing = Run({"check", (Root / "missing.tme").string()});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_EQ(missing.Err.rfind("tme: Cannot open file", 0), 0u) << missing.Err;

    EXPECT_EQ(Run({"check"}).Status, 2);
    EXPECT_EQ(Run({"check", "a", "b"}).Status, 2);
    Result help = Run({"help", "check"});
    EXPECT_EQ(help.Out.rfind("Usage: tme check FILE\n", 0), 0u);
    EXPECT_TRUE(fs::is_empty(Root / "tmp"));
}

} // namespace
} // namespace kep::test
