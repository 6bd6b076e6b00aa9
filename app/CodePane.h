#pragma once
// The template code editor: a plain text editor with line numbers in a left
// margin, highlighting of the template code, find and replace, go to line,
// and undo history kept while the same template stays shown. It takes the
// place of a QPlainTextEdit without any other change: the margin and the
// find bar live inside its frame, so its position and size stay as laid out.
#include <QPlainTextEdit>
#include <QString>

#include <utility>

namespace kep {

class FindReplaceBar;
class TemplateHighlighter;

struct SearchOptions {
    bool MatchCase = false;
    bool WholeWord = false;
};

class CodePane : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CodePane(QWidget* parent = nullptr);
    ~CodePane() override;

    // The position of needle in line at or after from (backward: the last one
    // that starts before from), or -1. A whole word has no letter, digit or
    // "_" right before or after it.
    static int FindInLine(const QString& line, const QString& needle, int from, SearchOptions options,
                          bool backward = false);

    // Selects the next match after the selection (backward: before it),
    // wrapping around the end; false when there is none.
    bool Find(const QString& needle, SearchOptions options, bool backward = false);
    // Replaces the selection when it is a match, then selects the next one;
    // false when there was nothing to replace or find.
    bool ReplaceNext(const QString& needle, const QString& replacement, SearchOptions options);
    // Replaces every match as one step of the undo history; returns how many.
    int ReplaceAll(const QString& needle, const QString& replacement, SearchOptions options);
    // Moves the cursor to the start of line (counted from 1; beyond the last
    // line, the last line) and shows it; false for a line below 1.
    bool GoToLine(int line);

    // Keeps the undo history while key stays the same; a new key (the path of
    // the template now shown) starts the history afresh, also when its code
    // equals what the editor holds. Replacing the text (setPlainText) always
    // starts it afresh.
    void SetHistoryOwner(const QString& key);

    // Ctrl+F, Ctrl+H, Ctrl+G, F3 and Shift+F3, and Esc while the bar is
    // shown; true when the key was one of them and has been acted on.
    bool CommandKey(QKeyEvent* event);

    void OpenFind();
    void OpenReplace();
    void OpenGoToLine();
    void CloseBar();

    FindReplaceBar* Bar() const { return bar_; }
    TemplateHighlighter* Highlighter() const { return highlighter_; }
    int LineNumberAreaWidth() const;
    // Formats the lines in view (and some around them) that have no formats yet.
    void HighlightVisibleBlocks();
    // The numbers of the first and last lines in view (from 0).
    std::pair<int, int> VisibleBlocks() const;

    // The margin's painting, called by the margin widget.
    void PaintLineNumbers(QPaintEvent* event);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void UpdateMargins();
    void UpdateLineNumberArea(const QRect& rect, int dy);
    void PlaceChildren();

    QWidget* lineNumbers_;
    FindReplaceBar* bar_;
    TemplateHighlighter* highlighter_;
    QString historyOwner_;
    int marginWidth_ = 0;
};

} // namespace kep
