// The tree's context-menu commands: the template check and the export of
// every member, with their questions and reports.
#include "app/PackActions.h"
#include "document/NullDocumentWindow.h"
#include "document/PackFormat.h"
#include "document/TemplateDocument.h"
#include "ScriptedPrompts.h"
#include "support/TmeFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kep::test {
namespace {

using Bytes = std::string;

class PackActionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Temp.isValid());
        QDir(Temp.path()).mkpath("app");
        QDir(Temp.path()).mkpath("out");
        Document.AppDir = (Temp.path() + "/app").toStdString();
    }

    void Open(const Bytes& pack) {
        std::string path = (Temp.path() + "/p.tme").toStdString();
        Write(QString::fromStdString(path), pack);
        Document.State.TemplateFileName = path;
        Document.LoadTemplate(path);
    }

    static void Write(const QString& path, const Bytes& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
    static Bytes Read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : Bytes("(missing)");
    }
    QString Out() const { return Temp.path() + "/out"; }

    QTemporaryDir Temp;
    NullDocumentWindow Window;
    TemplateDocument Document{Window};
    ScriptedPrompts Prompts;
};

TEST_F(PackActionsTest, CheckReportsEveryMemberInOneBox) {
    Open(PackOf({{"same.tme", WidthTemplate(Bytes("\x02\x07", 2))},
                 {"wide.tme", WidthTemplate(Bytes("\x04\x07\0\0\0", 5))},
                 {"back.jpg", "\xFF\xD8"}}));
    EXPECT_TRUE(RunTemplateCheck(Document, Prompts));
    ASSERT_EQ(Prompts.Kinds(), QStringList{"Information"});
    EXPECT_EQ(Prompts.Log[0].Text,
              "Check of the templates (code to text and back):\r\r"
              "same.tme: same bytes\r"
              "wide.tme: differs at offset 38: the stream length 22 becomes 19; first change in the stream at "
              "offset 57, in A.Width: Int32 tag where Int8 suffices (value 7)\r"
              "back.jpg: not a template\r");
}

TEST_F(PackActionsTest, CheckWarnsWhenATemplateDoesNotConvert) {
    Open(PackOf({{"bad.tme", WidthTemplate(Bytes("\x15", 1))}}));
    EXPECT_FALSE(RunTemplateCheck(Document, Prompts));
    ASSERT_EQ(Prompts.Kinds(), QStringList{"Warning"});
    EXPECT_TRUE(Prompts.Log[0].Text.contains("bad.tme: does not convert: "));
}

TEST_F(PackActionsTest, ExportAllAsksForTheCodeAndForEachExistingFile) {
    Bytes menu = WidthTemplate(Bytes("\x03\xB0\x04", 3));
    Open(PackOf({{"menu.tme", menu}, {"back.jpg", "new"}}));
    Write(Out() + "/back.jpg", "old");
    Prompts.Answers = {ConfirmAnswer::Yes, ConfirmAnswer::No};
    EXPECT_EQ(RunExportAll(Document, Out(), Prompts), 2);
    EXPECT_EQ(Prompts.Kinds(), (QStringList{"Confirm", "Confirm", "Information"}));
    EXPECT_EQ(Prompts.Log[0].Text, ExportAllCodeQuestion());
    EXPECT_EQ(Prompts.Log[1].Text, "WARNING:\r\rFile back.jpg already exist. Overwrite?\r");
    EXPECT_EQ(Prompts.Log[2].Text, "2 files written to " + Out() + ".");
    EXPECT_EQ(Read(Out() + "/menu.tme"), menu);
    EXPECT_EQ(Read(Out() + "/menu.txt"), "object A: TB\r\n  Width = 1200\r\nend\r\n");
    EXPECT_EQ(Read(Out() + "/back.jpg"), "old");
}

TEST_F(PackActionsTest, ClosingAQuestionEndsTheExport) {
    Open(PackOf({{"menu.tme", WidthTemplate(Bytes("\x02\x07", 2))}, {"a.jpg", "a"}, {"b.jpg", "b"}}));
    Prompts.Answers = {ConfirmAnswer::Closed};
    EXPECT_EQ(RunExportAll(Document, Out(), Prompts), 0);
    EXPECT_EQ(Prompts.Kinds(), QStringList{"Confirm"});
    EXPECT_TRUE(QDir(Out()).isEmpty());

    Write(Out() + "/a.jpg", "old");
    Prompts.Log.clear();
    Prompts.Answers = {ConfirmAnswer::No, ConfirmAnswer::Closed};
    EXPECT_EQ(RunExportAll(Document, Out(), Prompts), 1);
    EXPECT_EQ(Read(Out() + "/menu.tme").size(), 42u + 19u);
    EXPECT_EQ(Read(Out() + "/a.jpg"), "old");
    EXPECT_EQ(Read(Out() + "/b.jpg"), "(missing)");
    EXPECT_EQ(Prompts.Log.back().Text, "1 file written to " + Out() + ".");
}

TEST_F(PackActionsTest, APackWithoutTemplatesIsNotAskedAboutCode) {
    Open(PackOf({{"a.jpg", "a"}}));
    EXPECT_EQ(RunExportAll(Document, Out(), Prompts), 1);
    EXPECT_EQ(Prompts.Kinds(), QStringList{"Information"});
}

} // namespace
} // namespace kep::test
