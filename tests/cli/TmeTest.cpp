// The tme tool, run as a program in temporary folders: results, messages,
// exit statuses, and that it leaves nothing behind.
#include "support/Files.h"
#include "support/RunTme.h"
#include "support/TmeFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace kep::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

using Result = TmeResult;

class TmeTest : public ::testing::Test {
protected:
    void SetUp() override {
        Root = MakeTempFolder("tme-test");
        ASSERT_FALSE(Root.empty());
        fs::create_directory(Root / "tmp");
        fs::create_directory(Root / "user");
        fs::create_directory(Root / "io");
    }
    void TearDown() override { fs::remove_all(Root); }

    fs::path User(const std::string& name) const { return Root / "user" / name; }
    fs::path UserFile(const std::string& name, const Bytes& bytes) const {
        WriteFile(User(name), bytes);
        return User(name);
    }

    // Runs tme with TMPDIR set to a folder of its own.
    Result Run(const std::vector<std::string>& args) { return RunTme(args, Root / "tmp", Root / "io"); }

    std::vector<std::string> Listing(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    void ExpectNoLeftovers() const { EXPECT_TRUE(fs::is_empty(Root / "tmp")) << "temporary files left"; }

    fs::path Root;
};

TEST_F(TmeTest, HelpAndUsage) {
    Result help = Run({"--help"});
    EXPECT_EQ(help.Status, 0);
    for (const char* synopsis : {"info FILE", "list FILE", "unpack FILE DIR", "repack IN OUT", "pack OUT --name NAME FILE...",
                                 "stream2text IN [OUT]", "text2stream IN [OUT]", "code TEMPLATE [OUT]",
                                 "setcode TEMPLATE CODE", "help COMMAND"})
        EXPECT_NE(help.Out.find(std::string("tme ") + synopsis), std::string::npos) << synopsis;
    Result one = Run({"help", "unpack"});
    EXPECT_EQ(one.Status, 0);
    EXPECT_EQ(one.Out.rfind("Usage: tme unpack FILE DIR\n", 0), 0u);

    const std::vector<std::vector<std::string>> wrong = {
        {}, {"bogus"}, {"help", "bogus"}, {"info"}, {"info", "a", "b"}, {"list"}, {"unpack", "a"}, {"repack", "a"},
        {"pack", "out.tme", "x.tme"}, {"pack", "out.tme", "--name"}, {"stream2text"}, {"text2stream", "a", "b", "c"},
        {"code"}, {"setcode", "t.tme"}};
    for (const auto& args : wrong) {
        Result r = Run(args);
        EXPECT_EQ(r.Status, 2) << (args.empty() ? "" : args[0]);
        EXPECT_EQ(r.Err.rfind("tme: ", 0), 0u);
    }
    ExpectNoLeftovers();
}

TEST_F(TmeTest, PackInfoListUnpackRepack) {
    Bytes menu = TemplateFile(kWidthStream), jpg = "\xFF\xD8 jpeg bytes", bmp(300, 'B');
    fs::create_directory(User("in"));
    WriteFile(User("in") / "menu1.tme", menu);
    WriteFile(User("in") / "bg.jpg", jpg);
    WriteFile(User("in") / "logo.bmp", bmp);
    std::string pack = User("Holiday.tme").string();
    Result packed = Run({"pack", pack, "--name", "Holiday", (User("in") / "menu1.tme").string(),
                         (User("in") / "bg.jpg").string(), (User("in") / "logo.bmp").string()});
    ASSERT_EQ(packed.Status, 0) << packed.Err;
    EXPECT_EQ(packed.Out + packed.Err, "");
    EXPECT_EQ(fs::file_size(pack), 308 + 3 * 272 + menu.size() + jpg.size() + bmp.size());

    Result info = Run({"info", pack});
    EXPECT_EQ(info.Status, 0);
    EXPECT_EQ(info.Out, "Template Pack: Holiday.tme\nHeader:\n  tmpgenc-dvdauthor-menutemplatepackfile-1\n  Holiday\n"
                        "Files: 3\n  menu1.tme\n  bg.jpg\n  logo.bmp\n");

    Result list = Run({"list", pack});
    EXPECT_EQ(list.Status, 0);
    EXPECT_EQ(list.Out, "62\t1124\tmenu1.tme\n13\t1186\tbg.jpg\n300\t1199\tlogo.bmp\n");

    Result unpack = Run({"unpack", pack, User("out/deeper").string()});
    EXPECT_EQ(unpack.Status, 0) << unpack.Err;
    EXPECT_EQ(Listing(User("out/deeper")), (std::vector<std::string>{"bg.jpg", "logo.bmp", "menu1.tme"}));
    EXPECT_EQ(ReadFile(User("out/deeper/menu1.tme")), menu);
    EXPECT_EQ(ReadFile(User("out/deeper/logo.bmp")), bmp);

    Bytes before = ReadFile(pack);
    Result repack = Run({"repack", pack, pack});
    EXPECT_EQ(repack.Status, 0) << repack.Err;
    EXPECT_EQ(ReadFile(pack), before);
    EXPECT_EQ(Listing(Root / "user"), (std::vector<std::string>{"Holiday.tme", "in", "out"}));
    ExpectNoLeftovers();
}

TEST_F(TmeTest, SingleTemplate) {
    fs::path path = UserFile("Menu.tme", TemplateFile(kWidthStream, "tail"));
    Result info = Run({"info", path.string()});
    EXPECT_EQ(info.Status, 0);
    EXPECT_EQ(info.Out, "Template Menu: Menu.tme\nHeader:\n  ID_Template = 0x4B4501\n"
                        "  ID_ASCII = \"TMPGENC-DVDAUTHOR-MENUTEMPLATE-2\"\n  Revision = 0x000102\nMenu.tme\n");
    Result unpack = Run({"unpack", path.string(), User("dir").string()});
    EXPECT_EQ(unpack.Status, 0);
    EXPECT_EQ(ReadFile(User("dir/Menu.tme")), TemplateFile(kWidthStream, "tail"));
    EXPECT_EQ(Listing(User("dir")), std::vector<std::string>{"Menu.tme"});
    for (const auto& args : {std::vector<std::string>{"list", path.string()},
                             std::vector<std::string>{"repack", path.string(), User("out.tme").string()}}) {
        Result r = Run(args);
        EXPECT_EQ(r.Status, 1);
        EXPECT_EQ(r.Err, "tme: \"" + path.string() + "\" is a menu template, not a template pack.\n");
    }
    EXPECT_FALSE(fs::exists(User("out.tme")));
    ExpectNoLeftovers();
}

TEST_F(TmeTest, RefusedFilesGiveOneLineAndLeaveNothing) {
    Bytes damaged = std::string(kPackMagic) + "1" + Bytes(300, '\0');
    damaged[304] = 101;
    struct Case {
        std::string Name;
        Bytes Content;
        std::string Message;
    } cases[] = {
        {"text.tme", "just some text\n", "\"%\" is neither a template pack nor a menu template."},
        {"v2.tme", std::string(kPackMagic) + "2" + Bytes(300, '\0'), "BAD Version: 2"},
        {"v1.tme", TemplateFile(kWidthStream, "", '1'), "BAD Version: 1"},
        {"damaged.tme", damaged, "Damaged template pack \"%\": it lists 101 members, more than 100."},
    };
    for (const auto& c : cases) {
        fs::path path = UserFile(c.Name, c.Content);
        std::string message = c.Message;
        if (auto at = message.find('%'); at != std::string::npos) message.replace(at, 1, path.string());
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"info", path.string()}, {"list", path.string()},
              {"unpack", path.string(), User("dir").string()}, {"repack", path.string(), User("out.tme").string()}}) {
            SCOPED_TRACE(args[0] + " " + c.Name);
            Result r = Run(args);
            EXPECT_EQ(r.Status, 1);
            EXPECT_EQ(r.Err, "tme: " + message + "\n");
            EXPECT_EQ(r.Out, "");
        }
        EXPECT_TRUE(fs::is_empty(User("dir")));
        EXPECT_FALSE(fs::exists(User("out.tme")));
        EXPECT_EQ(ReadFile(path), c.Content);
    }
    Result missing = Run({"info", User("missing.tme").string()});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_EQ(missing.Err, "tme: Cannot open file \"" + User("missing.tme").string() + "\". No such file or directory\n");
    ExpectNoLeftovers();
}

TEST_F(TmeTest, PackRefusesWhatAddRefuses) {
    fs::create_directories(User("a"));
    fs::create_directories(User("b"));
    WriteFile(User("a/m.tme"), "x");
    WriteFile(User("b/m.tme"), "y");
    WriteFile(User("a/p.png"), "z");
    std::string out = User("out.tme").string();
    Result ext = Run({"pack", out, "--name", "N", User("a/p.png").string()});
    EXPECT_EQ(ext.Status, 1);
    EXPECT_EQ(ext.Err, "tme: Cannot add \"" + User("a/p.png").string() + "\": it must have a .tme, .jpg or .bmp extension.\n");
    Result dup = Run({"pack", out, "--name", "N", User("a/m.tme").string(), User("b/m.tme").string()});
    EXPECT_EQ(dup.Status, 1);
    EXPECT_EQ(dup.Err, "tme: Cannot add \"" + User("b/m.tme").string() + "\": a member named \"m.tme\" already exists.\n");
    std::vector<std::string> many = {"pack", out, "--name", "N"};
    for (int i = 0; i < 101; ++i) many.push_back(User("a").string() + "/f" + std::to_string(i) + ".jpg");
    Result tooMany = Run(many);
    EXPECT_EQ(tooMany.Status, 1);
    EXPECT_EQ(tooMany.Err, "tme: A pack holds at most 100 members.\n");
    Result longName = Run({"pack", out, "--name", std::string(256, 'n'), User("a/m.tme").string()});
    EXPECT_EQ(longName.Status, 1);
    EXPECT_FALSE(fs::exists(out));
    ExpectNoLeftovers();
}

TEST_F(TmeTest, StreamAndTextConversions) {
    fs::path stream = UserFile("s.bin", kWidthStream);
    Result text = Run({"stream2text", stream.string()});
    EXPECT_EQ(text.Status, 0);
    EXPECT_EQ(text.Out, kWidthText);
    EXPECT_EQ(Run({"stream2text", stream.string(), User("s.txt").string()}).Status, 0);
    EXPECT_EQ(ReadFile(User("s.txt")), kWidthText);
    Result back = Run({"text2stream", User("s.txt").string(), "-"});
    EXPECT_EQ(back.Status, 0);
    EXPECT_EQ(back.Out, kWidthStream);

    fs::path notStream = UserFile("n.bin", "TPF1 and more");
    Result bad = Run({"stream2text", notStream.string(), User("n.txt").string()});
    EXPECT_EQ(bad.Status, 1);
    EXPECT_EQ(bad.Err, "tme: Invalid stream format\n");
    EXPECT_FALSE(fs::exists(User("n.txt")));
    fs::path badText = UserFile("bad.txt", "objekt A: TB\r\nend\r\n");
    WriteFile(User("keep.bin"), "previous");
    Result syntax = Run({"text2stream", badText.string(), User("keep.bin").string()});
    EXPECT_EQ(syntax.Status, 1);
    EXPECT_EQ(syntax.Err, "tme: OBJECT expected on line 1\n");
    EXPECT_EQ(ReadFile(User("keep.bin")), "previous");
    ExpectNoLeftovers();
}

TEST_F(TmeTest, CodeAndSetCode) {
    fs::path menu = UserFile("menu.tme", TemplateFile(kWidthStream, "trailing"));
    Result code = Run({"code", menu.string()});
    EXPECT_EQ(code.Status, 0);
    EXPECT_EQ(code.Out, kWidthText);

    fs::path newCode = UserFile("new.txt", "object B: TC\r\nend\r\n");
    Result set = Run({"setcode", menu.string(), newCode.string()});
    EXPECT_EQ(set.Status, 0) << set.Err;
    Bytes stream("TPF0\x02TC\x01" "B\x00\x00", 11);
    EXPECT_EQ(ReadFile(menu), TemplateFile(stream));
    EXPECT_EQ(Run({"code", menu.string(), User("code.txt").string()}).Status, 0);
    EXPECT_EQ(ReadFile(User("code.txt")), "object B: TC\r\nend\r\n");

    fs::path badCode = UserFile("bad.txt", "object B: TC\r\n  = 1\r\nend\r\n");
    Result bad = Run({"setcode", menu.string(), badCode.string()});
    EXPECT_EQ(bad.Status, 1);
    EXPECT_EQ(bad.Err.rfind("tme: ", 0), 0u);
    EXPECT_NE(bad.Err.find(" on line 2\n"), std::string::npos) << bad.Err;
    EXPECT_EQ(ReadFile(menu), TemplateFile(stream));

    fs::path shortTemplate = UserFile("short.tme", TemplateFile(kWidthStream).substr(0, 50));
    Result refused = Run({"code", shortTemplate.string()});
    EXPECT_EQ(refused.Status, 1);
    EXPECT_EQ(refused.Err, "tme: Damaged menu template \"" + shortTemplate.string() +
                               "\": the file holds 50 bytes, fewer than its header and its 20-byte component stream.\n");
    EXPECT_EQ(Listing(Root / "user"), (std::vector<std::string>{"bad.txt", "code.txt", "menu.tme", "new.txt", "short.tme"}));
    ExpectNoLeftovers();
}

} // namespace
} // namespace kep::test
