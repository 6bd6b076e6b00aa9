// The code pane: highlighting by the syntax of the template code, its colours
// on silver and on the tooltip background, lazy formatting of large texts,
// find and replace, go to line, the keys, and the undo history per template.
#include "app/CodePane.h"
#include "app/FindReplaceBar.h"
#include "app/TemplateHighlighter.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTextBlock>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kep::test {
namespace {

using Kind = TemplateHighlighter::Kind;

// One letter per character: k keyword, n name, s string, c #-code, 9 number,
// h hexadecimal block, p punctuation, blank for none.
std::string Classes(const QString& line, int state, int* endState = nullptr) {
    std::vector<TemplateHighlighter::Span> spans;
    int end = TemplateHighlighter::ScanLine(line.constData(), static_cast<int>(line.size()), state, &spans);
    if (endState) *endState = end;
    std::string classes(static_cast<size_t>(line.size()), ' ');
    const char letters[] = "knsc9hp";
    for (const auto& span : spans)
        for (int i = span.Start; i < span.Start + span.Length; ++i) classes[static_cast<size_t>(i)] = letters[span.What];
    return classes;
}

TEST(TemplateHighlighter, ClassifiesEveryTokenOfTheTextForm) {
    using S = TemplateHighlighter::LineState;
    struct Case {
        const char* Line;
        int State;
        const char* Classes;
        int EndState;
    };
    const Case cases[] = {
        {"object Form1: TForm [2]", S::Normal, "kkkkkk nnnnnp nnnnn p9p", S::Normal},
        {"  INHERITED A: TB", S::Normal, "  kkkkkkkkk np nn", S::Normal},
        {"  inline X: TY", S::Normal, "  kkkkkk np nn", S::Normal},
        {"    item [0]", S::Normal, "    kkkk p9p", S::Normal},
        {"end>", S::Normal, "kkkp", S::Normal},
        {"  Font.Height = -11", S::Normal, "  nnnnpnnnnnn p 999", S::Normal},
        {"  T = 'It''s'#13#10'x'", S::Normal, "  n p sssssssccccccsss", S::Normal},
        {"  R = 0.1s + 15000c + 3.5d + 1E5", S::Normal, "  n p 9999 p 999999 p 9999 p 999", S::Normal},
        {"  H = $1F", S::Normal, "  n p 999", S::Normal},
        {"  Ending = endless", S::Normal, "  nnnnnn p nnnnnnn", S::Normal},
        {"  Open = 'unterminated", S::Normal, "  nnnn p sssssssssssss", S::Normal},
        {"  S = [a, b]", S::Normal, "  n p pnp np", S::Normal},
        {"  Data = {0A0B}", S::Normal, "  nnnn p phhhhp", S::Normal},
        {"  Data = {", S::Normal, "  nnnn p p", S::InHexBlock},
        {"    000102030405FFab", S::InHexBlock, "    hhhhhhhhhhhhhhhh", S::InHexBlock},
        {"    ABCD}", S::InHexBlock, "    hhhhp", S::Normal},
        // A block that is not one after all: the rest of the line reads as usual.
        {"  Left = 1", S::InHexBlock, "  nnnn p 9", S::Normal},
        {"  X = '{'", S::Normal, "  n p sss", S::Normal},
    };
    for (const Case& c : cases) {
        int end = -1;
        EXPECT_EQ(Classes(QString::fromLatin1(c.Line), c.State, &end), c.Classes) << c.Line;
        EXPECT_EQ(end, c.EndState) << c.Line;
    }
}

TEST(TemplateHighlighter, ColoursKeepContrastOnSilverAndOnTheTooltipBackground) {
    QTextDocument document;
    TemplateHighlighter highlighter(&document);
    const QColor silver(192, 192, 192);
    const QColor tooltip = QApplication::palette().color(QPalette::ToolTipBase);
    for (int kind = 0; kind < Kind::KindCount; ++kind) {
        QColor color = highlighter.Format(static_cast<Kind>(kind)).foreground().color();
        EXPECT_GE(TemplateHighlighter::ContrastRatio(color, silver), 4.5) << kind;
        EXPECT_GE(TemplateHighlighter::ContrastRatio(color, tooltip), 4.5) << kind;
    }
    // Another background darkens the colours until they keep the ratio.
    highlighter.SetBackgrounds({QColor(150, 150, 150)});
    for (int kind = 0; kind < Kind::KindCount; ++kind)
        EXPECT_GE(TemplateHighlighter::ContrastRatio(highlighter.Format(static_cast<Kind>(kind)).foreground().color(),
                                                     QColor(150, 150, 150)),
                  4.5);
    EXPECT_NEAR(TemplateHighlighter::ContrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
}

QString ManyLines(int count) {
    QString text;
    for (int i = 0; i < count; ++i) {
        if (i % 100 == 50)
            text += "  Data = {\n    00FF\n    AB}\n";
        else
            text += "  Left = " + QString::number(i) + "\n";
    }
    return text;
}

class CodePaneTest : public ::testing::Test {
protected:
    void SetUp() override {
        Pane.resize(573, 380);
        Pane.show();
        QApplication::processEvents();
    }

    void Key(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
        QApplication::sendEvent(target, &release);
    }

    QString Selected() const { return Pane.textCursor().selectedText(); }
    int Line() const { return Pane.textCursor().blockNumber() + 1; }

    CodePane Pane;
};

TEST(CodePaneHidden, ATextLoadedBeforeThePaneIsShownFormatsOnlyItsFirstLines) {
    CodePane pane;
    pane.setPlainText(ManyLines(5000));
    EXPECT_TRUE(TemplateHighlighter::IsFormatted(pane.document()->findBlockByNumber(0)));
    EXPECT_FALSE(TemplateHighlighter::IsFormatted(pane.document()->findBlockByNumber(1000)));
}

TEST_F(CodePaneTest, FormatsOnlyTheLinesInViewAndTheRestAsTheyComeIntoView) {
    Pane.setPlainText(ManyLines(20000));
    QApplication::processEvents();
    Pane.HighlightVisibleBlocks();
    QTextDocument* document = Pane.document();
    EXPECT_TRUE(TemplateHighlighter::IsFormatted(document->findBlockByNumber(0)));
    EXPECT_FALSE(TemplateHighlighter::IsFormatted(document->findBlockByNumber(15000)));
    // Far lines know whether they stand in a hexadecimal block all the same.
    QTextBlock far = document->findBlockByNumber(19900);
    while (!far.text().contains('{')) far = far.next();
    EXPECT_EQ(far.userState(), TemplateHighlighter::InHexBlock);
    EXPECT_EQ(far.next().userState(), TemplateHighlighter::InHexBlock);
    EXPECT_EQ(far.next().next().userState(), TemplateHighlighter::Normal);

    Pane.GoToLine(15001);
    QApplication::processEvents();
    QTextBlock shown = document->findBlockByNumber(15000);
    while (!shown.text().contains("Left")) shown = shown.next();
    EXPECT_TRUE(TemplateHighlighter::IsFormatted(shown));
    ASSERT_FALSE(shown.layout()->formats().isEmpty());
    EXPECT_EQ(shown.layout()->formats().first().format.foreground().color(),
              Pane.Highlighter()->Format(Kind::Name).foreground().color());
}

// The colour of the format that covers a character, or an invalid colour.
QColor ColourAt(const QTextBlock& block, int column) {
    for (const QTextLayout::FormatRange& range : block.layout()->formats())
        if (column >= range.start && column < range.start + range.length) return range.format.foreground().color();
    return {};
}

TEST_F(CodePaneTest, EditsReformatTheirLinesAndTheLinesWhoseStateChanges) {
    Pane.setPlainText("  Data = \n    00FF\n    AB}\n  Left = 1\n");
    QApplication::processEvents();
    TemplateHighlighter* h = Pane.Highlighter();
    const QColor hex = h->Format(Kind::HexBlock).foreground().color();
    const QColor number = h->Format(Kind::Number).foreground().color();
    QTextDocument* document = Pane.document();
    EXPECT_EQ(ColourAt(document->findBlockByNumber(1), 4), number);

    QTextCursor cursor(document->findBlockByNumber(0));
    cursor.movePosition(QTextCursor::EndOfBlock);
    cursor.insertText("{");
    QApplication::processEvents();
    EXPECT_EQ(document->findBlockByNumber(0).userState(), TemplateHighlighter::InHexBlock);
    EXPECT_EQ(ColourAt(document->findBlockByNumber(1), 4), hex);
    EXPECT_EQ(ColourAt(document->findBlockByNumber(2), 4), hex);
    EXPECT_EQ(document->findBlockByNumber(2).userState(), TemplateHighlighter::Normal);
    EXPECT_EQ(ColourAt(document->findBlockByNumber(3), 2), h->Format(Kind::Name).foreground().color());

    Pane.undo();
    QApplication::processEvents();
    EXPECT_EQ(document->findBlockByNumber(0).userState(), TemplateHighlighter::Normal);
    EXPECT_EQ(ColourAt(document->findBlockByNumber(1), 4), number);
    // A line typed in the middle is formatted at once.
    cursor.setPosition(document->findBlockByNumber(3).position());
    cursor.insertText("  Top = 'x'\n");
    QApplication::processEvents();
    EXPECT_EQ(ColourAt(document->findBlockByNumber(3), 8), h->Format(Kind::String).foreground().color());
}

TEST(CodePaneChanges, HighlightingIsNoChangeOfTheText) {
    // A text loaded before the event loop runs, as at start-up.
    CodePane Pane;
    int changes = 0;
    QObject::connect(&Pane, &QPlainTextEdit::textChanged, [&] { ++changes; });
    Pane.setPlainText(ManyLines(300));
    EXPECT_EQ(changes, 1);
    changes = 0;
    Pane.resize(573, 380);
    Pane.show();
    QApplication::processEvents();
    Pane.HighlightVisibleBlocks();
    EXPECT_EQ(changes, 0);
    Pane.GoToLine(250);
    QApplication::processEvents();
    EXPECT_EQ(changes, 0);
    Pane.Highlighter()->SetBackgrounds(TemplateHighlighter::DefaultBackgrounds());
    QApplication::processEvents();
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(Pane.document()->isUndoAvailable());
    EXPECT_FALSE(Pane.document()->isModified());
}

TEST_F(CodePaneTest, LineNumberMarginAndBarStayInsideTheFrame) {
    Pane.setPlainText(ManyLines(2000));
    QApplication::processEvents();
    QRect before = Pane.geometry();
    int margin = Pane.LineNumberAreaWidth();
    EXPECT_GE(margin, 4 * Pane.fontMetrics().horizontalAdvance('9')); // four digits for 2000+ lines
    EXPECT_GE(Pane.viewport()->x(), margin);
    int viewHeight = Pane.viewport()->height();
    Pane.OpenReplace();
    QApplication::processEvents();
    EXPECT_EQ(Pane.geometry(), before);
    EXPECT_FALSE(Pane.Bar()->isHidden());
    EXPECT_LT(Pane.viewport()->height(), viewHeight);
    EXPECT_LE(Pane.Bar()->geometry().bottom(), Pane.rect().bottom());
    Pane.CloseBar();
    QApplication::processEvents();
    EXPECT_EQ(Pane.viewport()->height(), viewHeight);
}

TEST(CodePaneSearch, FindInLineWithMatchCaseAndWholeWord) {
    const QString line = "Left = left_1 + LEFT + Lefty + x.Left";
    struct Case {
        int From;
        bool MatchCase, WholeWord, Backward;
        int Expected;
    };
    const Case cases[] = {
        {0, false, false, false, 0},  {1, false, false, false, 7},  {8, true, false, false, -1},
        {1, false, true, false, 16},  {17, false, true, false, 33}, {34, false, true, false, -1},
        {37, false, true, true, 33},  {33, false, true, true, 16},  {16, false, true, true, 0},
        {16, true, true, true, -1},
        {0, false, false, true, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CodePane::FindInLine(line, "left", c.From, {c.MatchCase, c.WholeWord}, c.Backward), c.Expected)
            << c.From << c.MatchCase << c.WholeWord << c.Backward;
    EXPECT_EQ(CodePane::FindInLine(line, "", 0, {}), -1);
}

TEST_F(CodePaneTest, FindWrapsAroundInBothDirections) {
    Pane.setPlainText("Left = 1\nTop = 2\nleft = 3\n");
    ASSERT_TRUE(Pane.Find("left", {}));
    EXPECT_EQ(Line(), 1);
    ASSERT_TRUE(Pane.Find("left", {}));
    EXPECT_EQ(Line(), 3);
    ASSERT_TRUE(Pane.Find("left", {})); // wraps
    EXPECT_EQ(Line(), 1);
    ASSERT_TRUE(Pane.Find("left", {}, true)); // backward, wraps to the end
    EXPECT_EQ(Line(), 3);
    ASSERT_TRUE(Pane.Find("left", {true, false}));
    EXPECT_EQ(Line(), 3);
    EXPECT_EQ(Selected(), "left");
    EXPECT_FALSE(Pane.Find("Bottom", {}));
    EXPECT_EQ(Selected(), "left"); // the selection stays
}

TEST_F(CodePaneTest, ReplaceAllIsOneUndoStepAndReplaceNextGoesOneByOne) {
    const QString text = "Left = 1\nLefty = 2\nx.left = 3\nleft = left\n";
    Pane.setPlainText(text);
    EXPECT_EQ(Pane.ReplaceAll("left", "Top", {false, true}), 4);
    EXPECT_EQ(Pane.toPlainText(), "Top = 1\nLefty = 2\nx.Top = 3\nTop = Top\n");
    Pane.undo();
    EXPECT_EQ(Pane.toPlainText(), text);
    EXPECT_EQ(Pane.ReplaceAll("nothing", "x", {}), 0);
    EXPECT_EQ(Pane.ReplaceAll("", "x", {}), 0);

    Pane.moveCursor(QTextCursor::Start);
    EXPECT_TRUE(Pane.ReplaceNext("left", "Top", {true, false})); // finds the first only
    EXPECT_EQ(Pane.toPlainText(), text);
    EXPECT_EQ(Line(), 3);
    EXPECT_TRUE(Pane.ReplaceNext("left", "Top", {true, false})); // replaces it, selects the next
    EXPECT_EQ(Pane.toPlainText(), "Left = 1\nLefty = 2\nx.Top = 3\nleft = left\n");
    EXPECT_EQ(Line(), 4);
    EXPECT_FALSE(Pane.ReplaceNext("absent", "x", {}));
}

TEST_F(CodePaneTest, GoToLineClampsToTheLastLineAndRefusesBelowOne) {
    Pane.setPlainText("a\nb\nc\nd");
    EXPECT_TRUE(Pane.GoToLine(3));
    EXPECT_EQ(Line(), 3);
    EXPECT_EQ(Pane.textCursor().positionInBlock(), 0);
    EXPECT_TRUE(Pane.GoToLine(99));
    EXPECT_EQ(Line(), 4);
    EXPECT_FALSE(Pane.GoToLine(0));
    EXPECT_EQ(Line(), 4);
}

TEST_F(CodePaneTest, KeysOpenTheBarAndActOnTheCode) {
    Pane.setPlainText("Left = 1\nTop = 2\nLeft = 3\n");
    Pane.setFocus();
    FindReplaceBar* bar = Pane.Bar();

    Key(&Pane, Qt::Key_G, Qt::ControlModifier);
    ASSERT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->CurrentMode(), FindReplaceBar::Mode::GoToLine);
    bar->LineField->setText("2");
    Key(bar->LineField, Qt::Key_Return);
    EXPECT_EQ(Line(), 2);
    EXPECT_TRUE(bar->isHidden());

    Key(&Pane, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(bar->CurrentMode(), FindReplaceBar::Mode::Find);
    EXPECT_FALSE(bar->ReplaceField->isVisible());
    bar->FindField->setText("Left");
    Key(bar->FindField, Qt::Key_Return);
    EXPECT_EQ(Line(), 3);
    Key(bar->FindField, Qt::Key_F3); // F3 from the field, too
    EXPECT_EQ(Line(), 1);
    Key(&Pane, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(Line(), 3);
    bar->FindField->setText("Bottom");
    Key(bar->FindField, Qt::Key_Return);
    EXPECT_EQ(bar->Message->text(), "Not found");

    Key(bar->FindField, Qt::Key_H, Qt::ControlModifier);
    EXPECT_EQ(bar->CurrentMode(), FindReplaceBar::Mode::Replace);
    EXPECT_TRUE(bar->ReplaceField->isVisible());
    bar->FindField->setText("Left");
    bar->ReplaceField->setText("Right");
    bar->WholeWord->setChecked(true);
    bar->ReplaceAllButton->click();
    EXPECT_EQ(Pane.toPlainText(), "Right = 1\nTop = 2\nRight = 3\n");
    EXPECT_EQ(bar->Message->text(), "2 replaced");

    Key(bar->ReplaceField, Qt::Key_Escape);
    EXPECT_TRUE(bar->isHidden());
    // Without the bar, Esc is the editor's as before.
    Key(&Pane, Qt::Key_Escape);
    EXPECT_EQ(Pane.toPlainText(), "Right = 1\nTop = 2\nRight = 3\n");
}

TEST_F(CodePaneTest, UndoHistoryIsKeptWhileTheSameTemplateStaysShown) {
    Pane.setPlainText("Left = 1\n");
    Pane.SetHistoryOwner("/work/menu1.tme");
    Pane.moveCursor(QTextCursor::End);
    Pane.insertPlainText("Top = 2\n");
    Pane.SetHistoryOwner("/work/menu1.tme"); // selected again
    EXPECT_TRUE(Pane.document()->isUndoAvailable());
    // Another template whose code is the same text: the editor keeps its
    // text, but the history of menu1.tme must not apply to it.
    Pane.SetHistoryOwner("/work/menu2.tme");
    EXPECT_FALSE(Pane.document()->isUndoAvailable());
    EXPECT_EQ(Pane.toPlainText(), "Left = 1\nTop = 2\n");
    Pane.insertPlainText("x");
    Pane.setPlainText("Other = 1\n"); // a new text always starts afresh
    EXPECT_FALSE(Pane.document()->isUndoAvailable());
}

} // namespace
} // namespace kep::test
