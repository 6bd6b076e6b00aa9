// Damaged and malicious files, made here, through the real tme program in
// temporary folders: each is refused with exit status 1 and one line
// "tme: ...", the program's memory stays small whatever sizes the file claims,
// nothing appears outside the folders named, and no file the user had changes.
#include "document/DocumentFixture.h"
#include "support/RunTme.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>


namespace kep::test {
namespace {

// A tme run that claims more than this much memory trusted a declared size.
constexpr long kMaxRssKb = 256 * 1024;
[[maybe_unused]] constexpr rlim_t kAddressSpace = rlim_t{512} << 20;
// Files above this size are compared by size and time, not read.
constexpr uintmax_t kReadLimit = 1 << 20;
constexpr uint64_t kAboveLimit = uint64_t{1} << 31; // 2147483648

struct Result {
    int Status = -1;
    Bytes Err;
    long MaxRssKb = 0;
};

Bytes Le32(uint32_t value) {
    Bytes bytes(4, '\0');
    PutLE(bytes, 0, value, 4);
    return bytes;
}

Bytes Short(const std::string& text) { return static_cast<char>(text.size()) + text; }

// A stream whose root object has one property "P" with the given value, and
// the same stream cut short after its signature's object header.
Bytes StreamWith(const Bytes& value) { return "TPF0" + Short("TForm") + Short("F") + Short("P") + value + Bytes(2, '\0'); }

const Bytes kGoodStream = StreamWith(Bytes("\x02\x07", 2));
const Bytes kGoodText = "object F: TForm\r\n  P = 7\r\nend\r\n";

Bytes Repeat(const Bytes& part, size_t times) {
    Bytes bytes;
    bytes.reserve(part.size() * times);
    for (size_t i = 0; i < times; ++i) bytes += part;
    return bytes;
}

// Streams that claim more than they hold, or nest without end.
struct StreamCase {
    const char* Title;
    Bytes Stream;
    std::string Message;
};

std::vector<StreamCase> HostileStreams() {
    const Bytes few = "abc";
    const std::string readError = "Stream read error", tooDeep = "Nesting deeper than 1000 levels";
    std::vector<StreamCase> cases = {
        {"Empty", "", readError},
        {"NoSignature", "TPF1" + kGoodStream.substr(4), "Invalid stream format"},
        {"SignatureOnly", "TPF0", readError},
        {"NoEndMarkers", kGoodStream.substr(0, kGoodStream.size() - 2), readError},
        {"UnknownTag", StreamWith("\x15"), "Error reading F.P: 21"},
    };
    // Counts far beyond the three bytes that follow, and negative ones.
    for (uint32_t count : {0x7FFFFFFFu, 0x40000000u, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFF0u})
        for (char tag : {'\x0A', '\x0C', '\x12', '\x14'}) // Binary, LString, WString, Utf8String
            cases.push_back({"Count", StreamWith(tag + Le32(count) + few), readError});
    // Lists, collections and child objects nested one level too deep, and 100000 deep.
    for (size_t depth : {1001, 100000}) {
        cases.push_back({"DeepLists", StreamWith(Bytes(depth, '\x01')), tooDeep});
        cases.push_back({"DeepCollections", StreamWith(Repeat(Bytes("\x0E\x01\x01P", 4), depth)), tooDeep});
        cases.push_back({"DeepObjects", "TPF0" + Repeat(Short("TForm") + Short("F") + Bytes(1, '\0'), depth), tooDeep});
    }
    return cases;
}

// Texts that nest without end or never finish.
std::vector<StreamCase> HostileTexts() {
    std::vector<StreamCase> cases = {
        {"Empty", "", "OBJECT expected on line 1"},
        {"NoEnd", "object F: TForm\r\n  P = 7\r\n", "Identifier expected on line 3"},
        {"OpenString", "object F: TForm\r\n  P = 'abc\r\nend\r\n", "Invalid string constant on line 2"},
        {"OpenBinary", "object F: TForm\r\n  P = {0011\r\n", "Invalid binary value on line 3"},
        {"OddBinary", "object F: TForm\r\n  P = {001}\r\nend\r\n", "Invalid binary value on line 2"},
        {"LongLine", "object F: TForm\r\n  P = " + Bytes(70000, '1') + "\r\nend\r\n", "Line too long on line 2"},
        {"HugeInteger", "object F: TForm\r\n  P = 99999999999999999999\r\nend\r\n",
         "'99999999999999999999' is not a valid integer value"},
        {"HugeFloat", "object F: TForm\r\n  P = 1E5000\r\nend\r\n", "'1E5000' is not a valid floating point value"},
    };
    // Lists, collections and objects nested one level too deep, and 100000 deep.
    const std::string tooDeep = "Nesting deeper than 1000 levels on line ";
    for (size_t depth : {1001, 100000}) {
        cases.push_back({"DeepLists", "object F: TForm\r\n  P = " + Repeat("(\r\n", depth), tooDeep + "1001"});
        cases.push_back({"DeepCollections", "object F: TForm\r\n" + Repeat("P = <item\r\n", depth), tooDeep + "1001"});
        cases.push_back({"DeepObjects", Repeat("object F: TForm\r\n", depth), tooDeep + "1001"});
    }
    return cases;
}

// Pack and template files that opening refuses, with the fault each names.
struct OpenCase {
    const char* Title;
    Bytes File;
    std::string Fault; // the message after "tme: ", with %s for the file's path
};

Bytes WithField(Bytes file, size_t at, uint64_t value, int width) {
    PutLE(file, at, value, width);
    return file;
}

const size_t kEntry1 = static_cast<size_t>(kPackHeaderSize);

Bytes SmallPack() { return BuildPack("P", {{"a.tme", BuildTemplate(kGoodStream)}, {"b.jpg", Pattern(10, 2)}}); }

std::vector<OpenCase> HostileOpens() {
    const std::string magic = std::string(kPackMagic) + "1";
    const Bytes two = SmallPack();
    const std::string damaged = "Damaged template pack \"%s\": ";
    std::vector<OpenCase> cases = {
        {"Count101", WithField(BuildPack("P", {}), kPackCountOffset, 101, 4), damaged + "it lists 101 members, more than 100."},
        {"CountHuge", WithField(BuildPack("P", {}), kPackCountOffset, 0xFFFFFFFF, 4),
         damaged + "it lists 4294967295 members, more than 100."},
        {"TableCut", two.substr(0, kEntry1 + kPackEntrySize + 100), damaged + "the member table extends past the end of the file."},
        {"DataCut", two.substr(0, two.size() - 1), damaged + "the data of member 2 extends past the end of the file."},
        {"OffsetPastEnd", WithField(two, kEntry1 + kEntryOffsetField, two.size() - 5, 8),
         damaged + "the data of member 1 extends past the end of the file."},
        {"SizeAbove2G", WithField(two, kEntry1 + kEntrySizeField, 0x80000000ull, 8), damaged + "the size of member 1 is above 2147483647."},
        {"SizeHuge", WithField(two, kEntry1 + kEntrySizeField, ~0ull, 8), damaged + "the size of member 1 is above 2147483647."},
        {"SizeAtLimit", WithField(two, kEntry1 + kEntrySizeField, 0x7FFFFFFF, 8),
         damaged + "the data of member 1 extends past the end of the file."},
        {"OffsetAbove2G", WithField(two, kEntry1 + kPackEntrySize + kEntryOffsetField, 1ull << 63, 8),
         damaged + "the offset of member 2 is above 2147483647."},
        {"SizeAndOffsetWrap", WithField(WithField(two, kEntry1 + kEntrySizeField, 0x7FFFFFFF, 8), kEntry1 + kEntryOffsetField, 0x7FFFFFFF, 8),
         damaged + "the data of member 1 extends past the end of the file."},
        {"HeaderWithoutZero", BuildPack("P", {}, magic + "12345678"), damaged + "the header text has no zero byte in its first 48 bytes."},
        {"ShorterThanHeader", magic + Bytes(200, '\0'), damaged + "the file is shorter than its 308-byte header."},
        {"MagicOnly", std::string(kPackMagic), damaged + "the file is shorter than its 308-byte header."},
        {"EmptyName", BuildPack("P", {{"", "x"}}), damaged + "the name \"\" of member 1 is not a plain file name."},
        {"Dot", BuildPack("P", {{".", "x"}}), damaged + "the name \".\" of member 1 is not a plain file name."},
        {"DotDot", BuildPack("P", {{"a.tme", "x"}, {"..", "x"}}), damaged + "the name \"..\" of member 2 is not a plain file name."},
        {"ParentPath", BuildPack("P", {{"../escape.tme", "x"}}), damaged + "the name \"../escape.tme\" of member 1 is not a plain file name."},
        {"AbsolutePath", BuildPack("P", {{"/tmp/escape.tme", "x"}}),
         damaged + "the name \"/tmp/escape.tme\" of member 1 is not a plain file name."},
        {"Backslash", BuildPack("P", {{"..\\escape.tme", "x"}}), damaged + "the name \"..\\escape.tme\" of member 1 is not a plain file name."},
        {"ZeroByte", BuildPack("P", {{Bytes("a\0b.tme", 7), "x"}}), damaged + "the name \"a?b.tme\" of member 1 is not a plain file name."},
        {"Duplicate", BuildPack("P", {{"a.tme", "x"}, {"b.tme", "y"}, {"a.tme", "z"}}), damaged + "members 1 and 3 have the same name \"a.tme\"."},
        {"PackVersion2", BuildPack("P", {}, std::string(kPackMagic) + "2"), "BAD Version: 2"},
        {"TemplateVersion1", BuildTemplate(kGoodStream, {}, '1'), "BAD Version: 1"},
        {"TemplateHeaderCut", BuildTemplate(kGoodStream).substr(0, 41),
         "Damaged menu template \"%s\": the file is shorter than its 42-byte header."},
        {"NeitherKind", "object F: TForm\r\nend\r\n", "\"%s\" is neither a template pack nor a menu template."},
        {"EmptyFile", "", "\"%s\" is neither a template pack nor a menu template."},
    };
    return cases;
}

std::string Substitute(std::string text, const std::string& path) {
    size_t at = text.find("%s");
    return at == std::string::npos ? text : text.replace(at, 2, path);
}

class HostileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "hostile-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        Root = pattern;
        for (const char* folder : {"tmp", "io", "user", "user/out"}) fs::create_directory(Root / folder);
        // What the user had before: every refused command must leave it as it was.
        WriteFile(User("target.tme"), SmallPack());
        WriteFile(User("good.tme"), BuildTemplate(kGoodStream));
        WriteFile(User("code.txt"), kGoodText);
        WriteFile(User("previous.txt"), "previous output");
        WriteFile(User("out") / "a.tme", "a member unpacked earlier");
    }
    void TearDown() override { fs::remove_all(Root); }

    fs::path User(const std::string& name) const { return Root / "user" / name; }

    // Starts tme with TMPDIR and the current folder set to folders of the
    // test, its standard error going to errPath.
    pid_t Spawn(const std::vector<std::string>& args, const std::string& errPath) {
        kep::test::TmeCommandLine commandLine(args, Root / "tmp");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::string cwd = (Root / "user").string();
        posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
        pid_t pid = 0;
#ifndef __SANITIZE_ADDRESS__
        // The program gets little address space: an allocation of what a file
        // claims, instead of what it holds, fails and changes the message.
        // (AddressSanitizer reserves terabytes of address space for itself.)
        struct rlimit limit {};
        ::getrlimit(RLIMIT_AS, &limit);
        struct rlimit lowered = limit;
        lowered.rlim_cur = std::min<rlim_t>(limit.rlim_max, kAddressSpace);
        ::setrlimit(RLIMIT_AS, &lowered);
#endif
        int spawned = posix_spawn(&pid, KEP_TME_PATH, &actions, nullptr, commandLine.Argv(), commandLine.Envp());
#ifndef __SANITIZE_ADDRESS__
        ::setrlimit(RLIMIT_AS, &limit);
#endif
        posix_spawn_file_actions_destroy(&actions);
        return spawned == 0 ? pid : -1;
    }

    // Every file and folder below Root except the captured error output.
    std::map<std::string, Bytes> Snapshot() const {
        std::map<std::string, Bytes> files;
        for (const auto& entry : fs::recursive_directory_iterator(Root)) {
            if (entry.path().parent_path() == Root / "io") continue;
            Bytes& content = files[entry.path().string()];
            if (entry.is_symlink())
                content = "link " + fs::read_symlink(entry.path()).string();
            else if (!entry.is_regular_file())
                content = "folder";
            else if (entry.file_size() > kReadLimit)
                content = "size " + std::to_string(entry.file_size()) + " time " +
                          std::to_string(entry.last_write_time().time_since_epoch().count());
            else
                content = ReadFile(entry.path());
        }
        return files;
    }

    // Queues a tme run that must be refused: status 1, the one line "tme: "
    // and the message (when given), and small memory.
    void ExpectRefused(const std::vector<std::string>& args, const std::string& message, const std::string& label) {
        Pending.push_back({args, message, label + ": tme " + args[0]});
    }

    // Runs the queued refusals, a few at a time, and checks that nothing below
    // Root changed.
    void RunRefusals() {
        constexpr size_t kParallel = 4;
        auto before = Snapshot();
        for (size_t start = 0; start < Pending.size(); start += kParallel) {
            size_t end = std::min(Pending.size(), start + kParallel);
            std::vector<pid_t> pids;
            for (size_t i = start; i < end; ++i)
                pids.push_back(Spawn(Pending[i].Args, (Root / "io" / std::to_string(i - start)).string()));
            for (size_t i = start; i < end; ++i) {
                const Call& call = Pending[i];
                Result r;
                int status = 0;
                struct rusage usage {};
                if (pids[i - start] > 0 && ::wait4(pids[i - start], &status, 0, &usage) > 0) {
                    r.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                    r.MaxRssKb = usage.ru_maxrss;
                }
                r.Err = ReadFile(Root / "io" / std::to_string(i - start));
                EXPECT_EQ(r.Status, 1) << call.Label << "\n" << r.Err;
                EXPECT_EQ(r.Err.rfind("tme: ", 0), 0u) << call.Label << "\n" << r.Err;
                EXPECT_EQ(r.Err.find('\n'), r.Err.size() - 1) << call.Label << "\n" << r.Err;
                if (!call.Message.empty()) {
                    EXPECT_EQ(r.Err, "tme: " + call.Message + "\n") << call.Label;
                }
                EXPECT_LT(r.MaxRssKb, kMaxRssKb) << call.Label;
            }
        }
        EXPECT_EQ(Snapshot(), before) << "after " << Pending.size() << " refused runs";
        Pending.clear();
    }

    // A file of the test's corpus.
    std::string BadFile(const std::string& name, const Bytes& bytes) {
        fs::path path = Root / "bad" / name;
        fs::create_directories(path.parent_path());
        WriteFile(path, bytes);
        return path.string();
    }

    // A file of the given size whose first bytes are head, the rest a hole.
    fs::path SparseFile(const std::string& name, const Bytes& head, uint64_t size) {
        fs::path path = Root / "big" / name;
        fs::create_directories(path.parent_path());
        WriteFile(path, head);
        fs::resize_file(path, size);
        return path;
    }

    struct Call {
        std::vector<std::string> Args;
        std::string Message;
        std::string Label;
    };
    std::vector<Call> Pending;
    fs::path Root;
};

TEST_F(HostileTest, DamagedPacksAndTemplatesAreRefusedByEveryCommandThatOpensThem) {
    for (const OpenCase& c : HostileOpens()) {
        std::string file = BadFile(std::string(c.Title) + ".tme", c.File);
        std::string message = Substitute(c.Fault, file);
        ExpectRefused({"info", file}, message, c.Title);
        ExpectRefused({"unpack", file, User("out").string()}, message, c.Title);
        ExpectRefused({"repack", file, User("target.tme").string()}, message, c.Title);
        ExpectRefused({"list", file}, message, c.Title);
    }
    RunRefusals();
}

TEST_F(HostileTest, HostileStreamsAreRefusedBareAndInsideATemplate) {
    int n = 0;
    for (const StreamCase& c : HostileStreams()) {
        std::string bare = BadFile("stream" + std::to_string(++n) + ".bin", c.Stream);
        std::string templ = BadFile("stream" + std::to_string(n) + ".tme", BuildTemplate(c.Stream));
        ExpectRefused({"stream2text", bare, User("previous.txt").string()}, c.Message, c.Title);
        ExpectRefused({"code", templ, User("previous.txt").string()}, c.Message, c.Title);
    }
    RunRefusals();
}

TEST_F(HostileTest, HostileTextsAreRefusedBareAndAsTemplateCode) {
    int n = 0;
    for (const StreamCase& c : HostileTexts()) {
        std::string text = BadFile("code" + std::to_string(++n) + ".txt", c.Stream);
        ExpectRefused({"text2stream", text, User("previous.txt").string()}, c.Message, c.Title);
        ExpectRefused({"setcode", User("good.tme").string(), text}, c.Message, c.Title);
    }
    RunRefusals();
}

TEST_F(HostileTest, TemplatesWhoseStreamLengthExceedsTheFileAreRefused) {
    for (uint32_t length : {uint32_t(kGoodStream.size() + 1), 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
        std::string file = BadFile("t" + std::to_string(length) + ".tme",
                                   WithField(BuildTemplate(kGoodStream), kStreamLengthOffset, length, 4));
        std::string message = "Damaged menu template \"" + file + "\": the file holds " +
                              std::to_string(kTemplateHeaderSize + kGoodStream.size()) +
                              " bytes, fewer than its header and its " + std::to_string(length) + "-byte component stream.";
        ExpectRefused({"code", file, User("previous.txt").string()}, message, "length");
        ExpectRefused({"setcode", file, User("code.txt").string()}, message, "length");
    }
    RunRefusals();
}

// Packs that cannot be made, and targets that cannot be written: the target
// the user had stays as it was.
TEST_F(HostileTest, PacksThatCannotBeMadeOrWrittenLeaveTheTargetIntact) {
    const std::string target = User("target.tme").string();
    const std::string a = BadFile("a.tme", BuildTemplate(kGoodStream));
    const std::string sameName = BadFile("sub/a.tme", BuildTemplate(kGoodStream));
    const std::string text = BadFile("a.txt", kGoodText);
    const std::string folder = (Root / "bad" / "folder.bmp").string();
    fs::create_directory(folder);
    const std::string missing = (Root / "bad" / "missing.jpg").string();
    std::vector<std::string> tooMany = {"pack", target, "--name", "N"};
    tooMany.insert(tooMany.end(), 101, a);
    ExpectRefused({"pack", target, "--name", std::string(256, 'n'), a}, "The pack name is longer than 255 characters.", "name");
    ExpectRefused({"pack", target, "--name", "N", a, sameName},
                  "Cannot add \"" + sameName + "\": a member named \"a.tme\" already exists.", "same name");
    ExpectRefused({"pack", target, "--name", "N", text}, "Cannot add \"" + text + "\": it must have a .tme, .jpg or .bmp extension.",
                  "extension");
    ExpectRefused({"pack", target, "--name", "N", a, missing}, "Cannot open file \"" + missing + "\". No such file or directory",
                  "missing");
    ExpectRefused({"pack", target, "--name", "N", folder}, "Cannot open file \"" + folder + "\". Is a directory", "folder");
    ExpectRefused(tooMany, "A pack holds at most 100 members.", "101 members");
    const std::string nowhere = (Root / "user" / "missing" / "t.tme").string();
    ExpectRefused({"pack", nowhere, "--name", "N", a}, "Cannot create file \"" + nowhere + "\". No such file or directory", "nowhere");
    ExpectRefused({"repack", target, nowhere}, "Cannot create file \"" + nowhere + "\". No such file or directory", "nowhere");
    const std::string out = User("out").string();
    ExpectRefused({"repack", target, out}, "Cannot create file \"" + out + "\". Is a directory", "onto a folder");
    ExpectRefused({"unpack", target, User("previous.txt").string()}, "", "into a file");
    RunRefusals();
}

// Every proper prefix of a small valid pack (one member, to keep the runs
// few) and of a small template.
TEST_F(HostileTest, TruncationAtEveryOffsetIsRefused) {
    const Bytes pack = BuildPack("P", {{"a.tme", BuildTemplate(kGoodStream)}});
    for (size_t size = 0; size < pack.size(); ++size) {
        std::string file = BadFile("pack" + std::to_string(size) + ".tme", pack.substr(0, size));
        ExpectRefused({"info", file}, "", "pack cut at " + std::to_string(size));
    }
    const Bytes templ = BuildTemplate(kGoodStream);
    for (size_t size = 0; size < templ.size(); ++size) {
        std::string file = BadFile("template" + std::to_string(size) + ".tme", templ.substr(0, size));
        ExpectRefused({"code", file, User("previous.txt").string()}, "", "template cut at " + std::to_string(size));
    }
    RunRefusals();
}

// Files above 2147483647 bytes (sparse, so nothing of that size is written)
// are refused by their size before they are read.
TEST_F(HostileTest, FilesAndMembersAbove2147483647BytesAreRefused) {
    auto tooLarge = [](const fs::path& path) { return "File \"" + path.string() + "\" is larger than 2147483647 bytes"; };
    fs::path pack = SparseFile("big.tme", SmallPack(), kAboveLimit);
    ExpectRefused({"info", pack.string()}, tooLarge(pack), "pack");
    ExpectRefused({"repack", pack.string(), User("target.tme").string()}, tooLarge(pack), "pack");
    fs::path templ = SparseFile("bigtemplate.tme", BuildTemplate(kGoodStream), kAboveLimit);
    ExpectRefused({"code", templ.string(), User("previous.txt").string()}, tooLarge(templ), "template");
    ExpectRefused({"setcode", templ.string(), User("code.txt").string()}, tooLarge(templ), "template");
    fs::path stream = SparseFile("big.bin", kGoodStream, kAboveLimit);
    ExpectRefused({"stream2text", stream.string(), User("previous.txt").string()}, tooLarge(stream), "stream");
    fs::path text = SparseFile("big.txt", kGoodText, kAboveLimit);
    ExpectRefused({"text2stream", text.string(), User("previous.txt").string()}, tooLarge(text), "text");
    ExpectRefused({"setcode", User("good.tme").string(), text.string()}, tooLarge(text), "code");

    // Members: one above the limit, and two that together with the table pass it.
    fs::path member = SparseFile("member.tme", BuildTemplate(kGoodStream), kAboveLimit);
    fs::path half1 = SparseFile("half1.jpg", "\xFF\xD8", uint64_t{1} << 30);
    fs::path half2 = SparseFile("half2.bmp", "BM", uint64_t{1} << 30);
    const std::string target = User("target.tme").string();
    const std::string refused = "Cannot rebuild template pack \"" + target + "\": ";
    ExpectRefused({"pack", target, "--name", "N", member.string()}, refused + "the size of member 1 is out of range.", "member");
    ExpectRefused({"pack", target, "--name", "N", half1.string(), half2.string()},
                  refused + "it would be larger than 2147483647 bytes.", "members");
    RunRefusals();
}

} // namespace
} // namespace kep::test
