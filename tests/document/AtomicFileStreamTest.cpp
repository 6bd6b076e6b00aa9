// A conversion that writes into an AtomicFileStream replaces its target only
// when it succeeds.
#include "document/AtomicFileStream.h"
#include "formstream/BinaryToFormText.h"
#include "formstream/Exceptions.h"
#include "support/Files.h"

#include <gtest/gtest.h>

namespace kep::test {
namespace {

class AtomicFileStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = MakeTempFolder("atomic-stream");
        ASSERT_FALSE(Folder.empty());
        Target = Folder / "out.txt";
        WriteFile(Target, "what the user had");
    }
    void TearDown() override { fs::remove_all(Folder); }
    size_t Entries() const { return static_cast<size_t>(std::distance(fs::directory_iterator(Folder), {})); }

    fs::path Folder, Target;
};

TEST_F(AtomicFileStreamTest, CommittedConversionReplacesTheTarget) {
    TStringStream input(std::string("TPF0\x02TA\x00\x00\x00", 10));
    AtomicFileStream output(Target.string());
    BinaryToFormText(input, output);
    output.Commit();
    EXPECT_EQ(ReadFile(Target), "object TA\r\nend\r\n");
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(AtomicFileStreamTest, FailedConversionLeavesTheTargetAndNoTemporaryFile) {
    {
        // The object is cut off after its class name: the text written so far
        // stays in the temporary file, which goes away with the stream.
        TStringStream input(std::string("TPF0\x02TA\x00", 8));
        AtomicFileStream output(Target.string());
        EXPECT_THROW(BinaryToFormText(input, output), EReadError);
    }
    EXPECT_EQ(ReadFile(Target), "what the user had");
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(AtomicFileStreamTest, PositionsFollowWhatWasWritten) {
    AtomicFileStream output(Target.string());
    output.WriteBuffer("abcdef", 6);
    EXPECT_EQ(output.GetSize(), 6);
    output.Seek(2, SeekOrigin::Beginning);
    output.WriteBuffer("XY", 2);
    EXPECT_EQ(output.Seek(0, SeekOrigin::Current), 4);
    EXPECT_EQ(output.Read(nullptr, 1), 0);
    EXPECT_THROW(output.SetSize(1), EWriteError);
    output.Commit();
    EXPECT_EQ(ReadFile(Target), "abXYef");
}

} // namespace
} // namespace kep::test
