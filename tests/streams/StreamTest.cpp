#include "formstream/Exceptions.h"
#include "formstream/Stream.h"
#include "support/Files.h"
#include "support/Streams.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <string>

namespace kep {
namespace {

using test::MessageOf;

namespace fs = std::filesystem;

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override {
        folder = test::MakeTempFolder("kep-streams").string();
        ASSERT_FALSE(folder.empty());
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string folder;
};

std::string Content(TMemoryStream& stream) {
    return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
}

TEST_F(TempFolder, LoadAndSaveKeepEveryByte) {
    std::string bytes("TPF0\0\x01\xff\r\n", 9);
    TMemoryStream stream;
    stream.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SaveToFile(folder + "/a.bin");

    TMemoryStream loaded;
    loaded.Write("old content that is longer", 26);
    loaded.LoadFromFile(folder + "/a.bin");
    EXPECT_EQ(Content(loaded), bytes);
    EXPECT_EQ(loaded.Position(), 0);

    // Saving over an existing, longer file leaves only the new content.
    TMemoryStream shorter;
    shorter.Write("xy", 2);
    shorter.SaveToFile(folder + "/a.bin");
    EXPECT_EQ(fs::file_size(folder + "/a.bin"), 2u);
}

TEST_F(TempFolder, LoadReadsFilesThatReportNoSize) {
    TMemoryStream stream;
    stream.LoadFromFile("/proc/self/status"); // size 0 on disk, content when read
    EXPECT_GT(stream.GetSize(), 0);
    EXPECT_EQ(Content(stream).rfind("Name:", 0), 0u);
}

TEST_F(TempFolder, LoadAndSaveFailuresNameTheFullPathAndTheSystemText) {
    TMemoryStream stream;
    stream.Write("keep", 4);
    EXPECT_EQ(MessageOf([&] { stream.LoadFromFile(folder + "/missing.bin"); }),
              "Cannot open file \"" + folder + "/missing.bin\". No such file or directory");
    EXPECT_EQ(Content(stream), "keep"); // a failed load changes nothing
    EXPECT_EQ(MessageOf([&] { stream.LoadFromFile(folder); }),
              "Cannot open file \"" + folder + "\". Is a directory");
    std::string relative = "kep-missing-file-for-test.bin";
    EXPECT_EQ(MessageOf([&] { stream.LoadFromFile(relative); }),
              "Cannot open file \"" + (fs::current_path() / relative).string() + "\". No such file or directory");
    EXPECT_EQ(MessageOf([&] { stream.SaveToFile(folder + "/no/such/folder.bin"); }),
              "Cannot create file \"" + folder + "/no/such/folder.bin\". No such file or directory");
    EXPECT_THROW(stream.LoadFromFile(folder + "/missing.bin"), EFOpenError);
    EXPECT_THROW(stream.SaveToFile(folder), EFCreateError);
}

// The byte-buffer rules, run over both stream kinds.
template <typename Stream>
class ByteStreamTest : public ::testing::Test {};
using StreamKinds = ::testing::Types<TMemoryStream, TStringStream>;
TYPED_TEST_SUITE(ByteStreamTest, StreamKinds);

TYPED_TEST(ByteStreamTest, ReadWriteSeekAndSize) {
    TypeParam stream;
    EXPECT_EQ(stream.Write("abcdef", 6), 6);
    EXPECT_EQ(stream.Position(), 6);
    EXPECT_EQ(stream.GetSize(), 6);

    char out[8] = "#######";
    stream.SetPosition(4);
    EXPECT_EQ(stream.Read(out, 5), 2); // only what follows the position
    EXPECT_EQ(std::string(out, 3), "ef#");
    EXPECT_EQ(stream.Position(), 6);
    EXPECT_EQ(stream.Read(out, 5), 0); // at the end: nothing copied
    EXPECT_EQ(std::string(out, 3), "ef#");

    stream.SetPosition(100); // past the end is allowed
    EXPECT_EQ(stream.Position(), 100);
    EXPECT_EQ(stream.Read(out, 1), 0);
    EXPECT_EQ(std::string(out, 1), "e");
    EXPECT_EQ(stream.Write("Z", 1), 1); // grows the stream up to the write
    EXPECT_EQ(stream.GetSize(), 101);
    EXPECT_EQ(stream.Seek(-1, SeekOrigin::End), 100);
    EXPECT_EQ(stream.Read(out, 1), 1);
    EXPECT_EQ(out[0], 'Z');

    stream.SetPosition(2);
    stream.Write("XY", 2); // overwrites inside
    stream.SetSize(5);     // keeps the bytes up to the new size
    EXPECT_EQ(stream.Position(), 4);
    stream.SetPosition(0);
    EXPECT_EQ(stream.Read(out, 8), 5);
    EXPECT_EQ(std::string(out, 5), "abXYe");
    EXPECT_EQ(stream.Position(), 5);
    stream.SetSize(3); // the position beyond the new end moves to the end
    EXPECT_EQ(stream.Position(), 3);
    stream.SetSize(10);
    EXPECT_EQ(stream.GetSize(), 10);
    EXPECT_EQ(stream.Position(), 3);

    EXPECT_THROW(stream.ReadBuffer(out, 8), EReadError);
    stream.SetPosition(0);
    EXPECT_NO_THROW(stream.ReadBuffer(out, 3));
    EXPECT_EQ(std::string(out, 3), "abX");
}

TEST(MemoryStream, ClearReleasesEverything) {
    TMemoryStream stream;
    stream.Write("abc", 3);
    stream.Clear();
    EXPECT_EQ(stream.GetSize(), 0);
    EXPECT_EQ(stream.Position(), 0);
    EXPECT_EQ(stream.Memory(), nullptr);
}

TEST(MemoryStream, GrowingBeyondTheLargestSizeIsOutOfMemory) {
    TMemoryStream stream;
    stream.SetPosition(INT32_MAX - 2);
    try {
        stream.Write("0123456789", 10);
        FAIL() << "no exception";
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message(), "Out of memory while expanding memory stream");
    }
    EXPECT_EQ(stream.GetSize(), 0);
    EXPECT_THROW(stream.SetSize(-1), EStreamError);
    TStringStream text;
    text.SetPosition(INT32_MAX);
    EXPECT_THROW(text.Write("x", 1), EStreamError);
}

TEST(StringStream, HoldsTheTextWritten) {
    TStringStream stream("abc");
    EXPECT_EQ(stream.Position(), 0);
    stream.Seek(0, SeekOrigin::End);
    stream.Write("\r\n", 2);
    EXPECT_EQ(stream.DataString(), "abc\r\n");
}

} // namespace
} // namespace kep
