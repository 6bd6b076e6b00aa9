#include "app/CodePane.h"

#include "app/FindReplaceBar.h"
#include "app/TemplateHighlighter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>

#include <algorithm>
#include <vector>

namespace kep {

namespace {

class LineNumberArea : public QWidget {
public:
    explicit LineNumberArea(CodePane* pane) : QWidget(pane), pane_(pane) {}

protected:
    void paintEvent(QPaintEvent* event) override { pane_->PaintLineNumbers(event); }

private:
    CodePane* pane_;
};

bool IsWordCharacter(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

bool IsWholeWord(const QString& line, qsizetype at, qsizetype length) {
    return (at == 0 || !IsWordCharacter(line.at(at - 1))) &&
           (at + length >= line.size() || !IsWordCharacter(line.at(at + length)));
}

// The numbers of lines shown around the view, in screens, formatted ahead of scrolling.
constexpr int kScreensAhead = 1;
constexpr int kInitialLines = 200;

} // namespace

CodePane::CodePane(QWidget* parent)
    : QPlainTextEdit(parent), lineNumbers_(new LineNumberArea(this)), bar_(nullptr),
      highlighter_(new TemplateHighlighter(document())) {
    // Until the pane has been laid out and shown, only the first lines are
    // formatted: a large text loaded while it is hidden costs only the scan.
    highlighter_->SetWantedBlocks(0, kInitialLines - 1);
    bar_ = new FindReplaceBar(this);
    bar_->hide();
    connect(this, &QPlainTextEdit::blockCountChanged, this, [this] { UpdateMargins(); });
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect& rect, int dy) {
        UpdateLineNumberArea(rect, dy);
        HighlightVisibleBlocks();
    });
    connect(this, &QPlainTextEdit::cursorPositionChanged, lineNumbers_, qOverload<>(&QWidget::update));
    UpdateMargins();
}

CodePane::~CodePane() = default;

int CodePane::LineNumberAreaWidth() const {
    int digits = 1;
    for (int count = std::max(1, blockCount()); count >= 10; count /= 10) ++digits;
    digits = std::max(digits, 3);
    return 8 + fontMetrics().horizontalAdvance(u'9') * digits;
}

void CodePane::UpdateMargins() {
    marginWidth_ = LineNumberAreaWidth();
    int barHeight = bar_ && !bar_->isHidden() ? bar_->sizeHint().height() : 0;
    setViewportMargins(marginWidth_, 0, 0, barHeight);
    PlaceChildren();
}

void CodePane::PlaceChildren() {
    QRect view = viewport()->geometry();
    lineNumbers_->setGeometry(view.left() - marginWidth_, view.top(), marginWidth_, view.height());
    if (bar_ && !bar_->isHidden())
        bar_->setGeometry(view.left() - marginWidth_, view.bottom() + 1, view.width() + marginWidth_,
                          bar_->sizeHint().height());
}

void CodePane::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    PlaceChildren();
}

void CodePane::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::FontChange) UpdateMargins();
    if (event->type() == QEvent::PaletteChange) lineNumbers_->update();
}

void CodePane::UpdateLineNumberArea(const QRect& rect, int dy) {
    if (dy)
        lineNumbers_->scroll(0, dy);
    else
        lineNumbers_->update(0, rect.y(), lineNumbers_->width(), rect.height());
}

void CodePane::PaintLineNumbers(QPaintEvent* event) {
    QPainter painter(lineNumbers_);
    QColor base = palette().color(QPalette::Base);
    painter.fillRect(event->rect(), base.darker(112));
    painter.setPen(base.darker(130));
    painter.drawLine(lineNumbers_->width() - 1, event->rect().top(), lineNumbers_->width() - 1, event->rect().bottom());
    QTextBlock block = firstVisibleBlock();
    if (!block.isValid()) return;
    int number = block.blockNumber();
    int current = textCursor().blockNumber();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    int bottom = top + qRound(blockBoundingRect(block).height());
    QFont plain = font(), bold = font();
    bold.setBold(true);
    int lineHeight = fontMetrics().height();
    while (block.isValid() && top <= event->rect().bottom()) {
        if (block.isVisible() && bottom >= event->rect().top()) {
            bool isCurrent = number == current;
            painter.setFont(isCurrent ? bold : plain);
            painter.setPen(isCurrent ? palette().color(QPalette::Text) : QColor(48, 48, 48));
            painter.drawText(0, top, lineNumbers_->width() - 5, lineHeight, Qt::AlignRight,
                             QString::number(number + 1));
        }
        block = block.next();
        top = bottom;
        bottom = top + qRound(blockBoundingRect(block).height());
        ++number;
    }
}

std::pair<int, int> CodePane::VisibleBlocks() const {
    QTextBlock block = firstVisibleBlock();
    if (!block.isValid()) return {0, -1};
    int first = block.blockNumber();
    int last = first;
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    int height = viewport()->height();
    while (block.isValid() && top <= height) {
        last = block.blockNumber();
        top += blockBoundingRect(block).height();
        block = block.next();
    }
    return {first, last};
}

void CodePane::HighlightVisibleBlocks() {
    static thread_local bool busy = false; // formatting a block repaints and asks again
    if (busy) return;
    busy = true;
    auto [first, last] = VisibleBlocks();
    int screen = std::max(1, last - first + 1);
    int from = std::max(0, first - kScreensAhead * screen);
    int to = last + kScreensAhead * screen;
    highlighter_->SetWantedBlocks(from, to);
    highlighter_->FormatPending(from, to);
    busy = false;
}

// ---- search ----

int CodePane::FindInLine(const QString& line, const QString& needle, int from, SearchOptions options, bool backward) {
    if (needle.isEmpty()) return -1;
    Qt::CaseSensitivity cs = options.MatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (!backward) {
        for (qsizetype at = line.indexOf(needle, std::max(from, 0), cs); at >= 0;
             at = line.indexOf(needle, at + 1, cs))
            if (!options.WholeWord || IsWholeWord(line, at, needle.size())) return static_cast<int>(at);
        return -1;
    }
    int start = std::min<int>(from, static_cast<int>(line.size())) - 1;
    for (qsizetype at = start >= 0 ? line.lastIndexOf(needle, start, cs) : -1; at >= 0;
         at = at > 0 ? line.lastIndexOf(needle, at - 1, cs) : -1)
        if (!options.WholeWord || IsWholeWord(line, at, needle.size())) return static_cast<int>(at);
    return -1;
}

bool CodePane::Find(const QString& needle, SearchOptions options, bool backward) {
    if (needle.isEmpty()) return false;
    QTextDocument* doc = document();
    QTextCursor cursor = textCursor();
    int position = backward ? cursor.selectionStart() : cursor.selectionEnd();
    QTextBlock start = doc->findBlock(position);
    QTextBlock block = start;
    int from = position - block.position();
    bool wrapped = false;
    while (true) {
        int at = FindInLine(block.text(), needle, from, options, backward);
        if (at >= 0) {
            QTextCursor found(doc);
            found.setPosition(block.position() + at);
            found.setPosition(block.position() + at + static_cast<int>(needle.size()), QTextCursor::KeepAnchor);
            setTextCursor(found);
            return true;
        }
        block = backward ? block.previous() : block.next();
        if (!block.isValid()) {
            if (wrapped) return false;
            wrapped = true;
            block = backward ? doc->lastBlock() : doc->firstBlock();
        }
        if (wrapped && (backward ? block.position() < start.position() : block.position() > start.position()))
            return false;
        from = backward ? static_cast<int>(block.text().size()) + 1 : 0;
    }
}

bool CodePane::ReplaceNext(const QString& needle, const QString& replacement, SearchOptions options) {
    QTextCursor cursor = textCursor();
    bool replaced = false;
    if (cursor.hasSelection() && cursor.selectionEnd() - cursor.selectionStart() == needle.size()) {
        QTextBlock block = document()->findBlock(cursor.selectionStart());
        int offset = cursor.selectionStart() - block.position();
        if (FindInLine(block.text(), needle, offset, options) == offset) {
            cursor.insertText(replacement);
            setTextCursor(cursor);
            replaced = true;
        }
    }
    return Find(needle, options) || replaced;
}

int CodePane::ReplaceAll(const QString& needle, const QString& replacement, SearchOptions options) {
    if (needle.isEmpty()) return 0;
    std::vector<int> matches;
    for (QTextBlock block = document()->firstBlock(); block.isValid(); block = block.next()) {
        QString line = block.text();
        for (int at = FindInLine(line, needle, 0, options); at >= 0;
             at = FindInLine(line, needle, at + static_cast<int>(needle.size()), options))
            matches.push_back(block.position() + at);
    }
    if (matches.empty()) return 0;
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    for (auto it = matches.rbegin(); it != matches.rend(); ++it) {
        cursor.setPosition(*it);
        cursor.setPosition(*it + static_cast<int>(needle.size()), QTextCursor::KeepAnchor);
        cursor.insertText(replacement);
    }
    cursor.endEditBlock();
    return static_cast<int>(matches.size());
}

bool CodePane::GoToLine(int line) {
    if (line < 1) return false;
    QTextBlock block = document()->findBlockByNumber(std::min(line, blockCount()) - 1);
    QTextCursor cursor(block);
    setTextCursor(cursor);
    centerCursor();
    return true;
}

void CodePane::SetHistoryOwner(const QString& key) {
    if (key == historyOwner_) return;
    historyOwner_ = key;
    document()->clearUndoRedoStacks();
}

// ---- the bar and the keys ----

void CodePane::OpenFind() {
    bar_->Open(FindReplaceBar::Mode::Find);
    UpdateMargins();
    ensureCursorVisible();
}

void CodePane::OpenReplace() {
    bar_->Open(FindReplaceBar::Mode::Replace);
    UpdateMargins();
    ensureCursorVisible();
}

void CodePane::OpenGoToLine() {
    bar_->Open(FindReplaceBar::Mode::GoToLine);
    UpdateMargins();
    ensureCursorVisible();
}

void CodePane::CloseBar() {
    bool hadFocus = bar_->isAncestorOf(QApplication::focusWidget());
    bar_->hide();
    UpdateMargins();
    if (hadFocus) setFocus(Qt::OtherFocusReason);
}

bool CodePane::CommandKey(QKeyEvent* event) {
    Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    int key = event->key();
    if (modifiers == Qt::ControlModifier && key == Qt::Key_F) {
        OpenFind();
    } else if (modifiers == Qt::ControlModifier && key == Qt::Key_H) {
        OpenReplace();
    } else if (modifiers == Qt::ControlModifier && key == Qt::Key_G) {
        OpenGoToLine();
    } else if (key == Qt::Key_F3 && (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier)) {
        if (bar_->FindField->text().isEmpty())
            OpenFind();
        else if (modifiers == Qt::ShiftModifier)
            bar_->FindPrevious();
        else
            bar_->FindNext();
    } else if (key == Qt::Key_Escape && modifiers == Qt::NoModifier && !bar_->isHidden()) {
        CloseBar();
    } else {
        return false;
    }
    return true;
}

void CodePane::keyPressEvent(QKeyEvent* event) {
    if (CommandKey(event)) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

bool CodePane::event(QEvent* event) {
    // Keep these keys from shortcuts elsewhere while the code has the focus.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if ((modifiers == Qt::ControlModifier &&
             (key->key() == Qt::Key_F || key->key() == Qt::Key_H || key->key() == Qt::Key_G)) ||
            key->key() == Qt::Key_F3 || (key->key() == Qt::Key_Escape && !bar_->isHidden())) {
            event->accept();
            return true;
        }
    }
    return QPlainTextEdit::event(event);
}

} // namespace kep
