// The code pane on a 10 MB template code text: loading it with its
// highlighting, formatting the lines that come into view, and the latency of
// typing, beside a plain editor and beside formatting every line at once.
// Usage: highlight_bench [MEGABYTES] (default 10); runs on the offscreen
// platform unless QT_QPA_PLATFORM says otherwise.
#include "app/CodePane.h"
#include "app/TemplateHighlighter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(const std::function<void()>& work) {
    auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Template code in the layout the binary-to-text conversion writes, repeated
// inside one root object until it holds about bytes characters.
QString CodeText(qsizetype bytes) {
    const QString piece = QStringLiteral(
        "  object Button%1: TTemplateButton [%1]\n"
        "    Left = 120\n"
        "    Top = -16\n"
        "    Width = 96\n"
        "    Caption = 'Chapter %1'#13#10'Pr'#233'sentation'\n"
        "    Hint = \n"
        "      'A long hint that the conversion splits over several lines so that no' +\n"
        "      ' line grows beyond the width it keeps'\n"
        "    Font.Height = -11\n"
        "    Font.Style = [fsBold, fsItalic]\n"
        "    Scale = 1.500000000000000000\n"
        "    Ratio = 0.100000001490116s\n"
        "    Price = 15000c\n"
        "    Stamp = 37000.5d\n"
        "    Enabled = True\n"
        "    Picture = {\n"
        "      000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F\n"
        "      202122232425262728292A2B2C2D2E2F303132333435363738393A3B3C3D3E3F\n"
        "      2021222324252627}\n"
        "    Items = (\n"
        "      'one'\n"
        "      'two')\n"
        "    Columns = <\n"
        "      item [0]\n"
        "        Width = 64\n"
        "      end\n"
        "      item\n"
        "        Caption = 'x'\n"
        "      end>\n"
        "    OnClick = ButtonClick\n"
        "  end\n");
    QString text = QStringLiteral("object Menu: TTemplateMenu\n  Width = 720\n  Height = 576\n");
    text.reserve(bytes + piece.size() * 2);
    for (int i = 0; text.size() < bytes; ++i) text += piece.arg(i);
    text += QStringLiteral("end\n");
    return text;
}

struct Stats {
    double Median, P99, Max;
};

Stats Summarise(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times[times.size() * 99 / 100], times.back()};
}

// One key press with its text, then a synchronous repaint of what it changed.
double TypeKey(QPlainTextEdit& editor, int key, const QString& text) {
    return Milliseconds([&] {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
        QApplication::sendEvent(&editor, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
        QApplication::sendEvent(&editor, &release);
        QApplication::processEvents();
        editor.viewport()->repaint();
    });
}

Stats Typing(QPlainTextEdit& editor, int keys) {
    std::vector<double> times;
    const QString word = QStringLiteral("Typed = 12 ");
    for (int i = 0; i < keys; ++i) {
        QChar c = word.at(i % word.size());
        times.push_back(TypeKey(editor, c == u' ' ? Qt::Key_Space : Qt::Key_A, QString(c)));
    }
    return Summarise(times);
}

void Show(const char* what, double ms) { std::printf("  %-58s %9.1f ms\n", what, ms); }
void Show(const char* what, const Stats& s) {
    std::printf("  %-58s median %.2f ms, p99 %.2f ms, max %.2f ms\n", what, s.Median, s.P99, s.Max);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    double megabytes = argc > 1 ? std::atof(argv[1]) : 10.0;
    QString text = CodeText(static_cast<qsizetype>(megabytes * 1000 * 1000));
    std::printf("Template code: %.1f MB, %lld lines\n", static_cast<double>(text.size()) / 1e6,
                static_cast<long long>(text.count(u'\n')));

    // A plain editor, for comparison.
    {
        QPlainTextEdit plain;
        plain.resize(573, 380);
        plain.show();
        QApplication::processEvents();
        Show("plain editor: load and first paint", Milliseconds([&] {
                 plain.setPlainText(text);
                 QApplication::processEvents();
                 plain.viewport()->repaint();
             }));
        QTextCursor middle(plain.document()->findBlockByNumber(plain.blockCount() / 2));
        middle.movePosition(QTextCursor::EndOfBlock);
        plain.setTextCursor(middle);
        plain.centerCursor();
        QApplication::processEvents();
        Show("plain editor: typing in the middle, per key", Typing(plain, 200));
    }

    kep::CodePane pane;
    pane.resize(573, 380);
    pane.show();
    QApplication::processEvents();
    Show("code pane: load, highlight and first paint", Milliseconds([&] {
             pane.setPlainText(text);
             QApplication::processEvents();
             pane.viewport()->repaint();
         }));
    Show("code pane: jump to the middle, format the view, paint", Milliseconds([&] {
             pane.GoToLine(pane.blockCount() / 2);
             QApplication::processEvents();
             pane.viewport()->repaint();
         }));
    std::vector<double> pages;
    for (int i = 0; i < 100; ++i)
        pages.push_back(Milliseconds([&] {
            QScrollBar* bar = pane.verticalScrollBar();
            bar->setValue(bar->value() + bar->pageStep());
            QApplication::processEvents();
            pane.viewport()->repaint();
        }));
    Show("code pane: page down, per page", Summarise(pages));

    QTextCursor middle(pane.document()->findBlockByNumber(pane.blockCount() / 2));
    middle.movePosition(QTextCursor::EndOfBlock);
    pane.setTextCursor(middle);
    pane.centerCursor();
    QApplication::processEvents();
    Show("code pane: typing in the middle, per key", Typing(pane, 200));
    std::vector<double> braces;
    for (int i = 0; i < 50; ++i) {
        braces.push_back(TypeKey(pane, Qt::Key_BraceLeft, QStringLiteral("{")));
        braces.push_back(TypeKey(pane, Qt::Key_Backspace, QString()));
    }
    Show("code pane: typing and deleting \"{\" (line state changes)", Summarise(braces));
    std::vector<double> enters;
    for (int i = 0; i < 50; ++i) enters.push_back(TypeKey(pane, Qt::Key_Return, QStringLiteral("\r")));
    Show("code pane: Enter (a new line), per key", Summarise(enters));

    int replaced = 0;
    double replaceTime = Milliseconds([&] {
        replaced = pane.ReplaceAll(QStringLiteral("Width"), QStringLiteral("Wide"), {true, true});
        QApplication::processEvents();
    });
    std::printf("  %-58s %9.1f ms (%d matches)\n", "code pane: replace all (\"Width\" by \"Wide\", whole word)",
                replaceTime, replaced);

    // What formatting every line would cost: the highlighter with all lines wanted.
    pane.Highlighter()->SetWantedBlocks(0, INT_MAX);
    Show("for comparison: formatting every line at once", Milliseconds([&] {
             pane.Highlighter()->FormatPending(0, INT_MAX);
         }));
    return 0;
}
