#include "app/TemplateHighlighter.h"

#include <QApplication>
#include <QPalette>
#include <QTextBlock>
#include <QTextBlockUserData>
#include <QTextDocument>
#include <QTextLayout>

#include <cmath>

namespace kep {

namespace {

// Marks a block whose formats are set.
struct FormattedMark : QTextBlockUserData {
    bool Done = false;
};

bool IsLetter(char16_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char16_t c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char16_t c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
bool IsPunctuation(char16_t c) {
    switch (c) {
    case '=': case ':': case '.': case ',': case '+': case '(': case ')':
    case '[': case ']': case '<': case '>': case '{': case '}':
        return true;
    default:
        return false;
    }
}

// The keywords of the text form, compared without regard to case.
bool IsKeyword(const QChar* text, int length) {
    static const char* const keywords[] = {"object", "inherited", "inline", "end", "item"};
    for (const char* word : keywords) {
        int n = static_cast<int>(std::char_traits<char>::length(word));
        if (n != length) continue;
        int i = 0;
        while (i < n && (text[i].unicode() | 0x20) == static_cast<char16_t>(word[i])) ++i;
        if (i == n) return true;
    }
    return false;
}

double Luminance(const QColor& color) {
    auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    QColor rgb = color.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

} // namespace

TemplateHighlighter::TemplateHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
    MakeFormats(DefaultBackgrounds());
}

QList<QColor> TemplateHighlighter::DefaultBackgrounds() {
    return {QColor(192, 192, 192), QApplication::palette().color(QPalette::ToolTipBase)};
}

double TemplateHighlighter::ContrastRatio(const QColor& a, const QColor& b) {
    double la = Luminance(a), lb = Luminance(b);
    if (la < lb) std::swap(la, lb);
    return (la + 0.05) / (lb + 0.05);
}

void TemplateHighlighter::MakeFormats(const QList<QColor>& backgrounds) {
    struct Look {
        QColor Color;
        bool Bold;
    };
    // Dark colours: silver (luminance 0.53) leaves room only below about 0.078.
    const Look looks[KindCount] = {
        {QColor(0, 0, 160), true},   // Keyword: dark blue, bold
        {QColor(0, 80, 80), false},  // Name: dark teal
        {QColor(140, 0, 0), false},  // String: dark red
        {QColor(120, 0, 120), true}, // CharCode: purple, bold
        {QColor(0, 85, 0), false},   // Number: dark green
        {QColor(100, 60, 0), false}, // HexBlock: brown
        {QColor(48, 48, 48), false}, // Punctuation: dark grey
    };
    for (int kind = 0; kind < KindCount; ++kind) {
        QColor color = looks[kind].Color;
        for (int step = 0; step < 40; ++step) {
            bool enough = true;
            for (const QColor& background : backgrounds)
                enough = enough && ContrastRatio(color, background) >= 4.5;
            if (enough) break;
            color = QColor(color.red() * 9 / 10, color.green() * 9 / 10, color.blue() * 9 / 10);
        }
        QTextCharFormat format;
        format.setForeground(color);
        if (looks[kind].Bold) format.setFontWeight(QFont::Bold);
        formats_[kind] = format;
    }
}

void TemplateHighlighter::SetBackgrounds(const QList<QColor>& backgrounds) {
    MakeFormats(backgrounds);
    if (!document()) return;
    // Every block is formatted again as it comes into view; those wanted now, at once.
    for (QTextBlock block = document()->firstBlock(); block.isValid(); block = block.next())
        if (auto* mark = static_cast<FormattedMark*>(block.userData())) mark->Done = false;
    FormatPending(firstWanted_, lastWanted_);
}

void TemplateHighlighter::SetWantedBlocks(int first, int last) {
    firstWanted_ = first;
    lastWanted_ = last;
}

bool TemplateHighlighter::IsFormatted(const QTextBlock& block) {
    auto* mark = static_cast<FormattedMark*>(block.userData());
    return mark && mark->Done;
}

void TemplateHighlighter::FormatPending(int first, int last) {
    if (!document()) return;
    QTextBlock block = document()->findBlockByNumber(std::max(first, 0));
    for (int number = std::max(first, 0); block.isValid() && number <= last; ++number, block = block.next())
        if (!IsFormatted(block)) FormatBlock(block);
}

// Sets a block's formats as the highlighter's own pass does, but outside an
// edit of the document: rehighlightBlock would end an edit block, which the
// editor reports as a change of its text.
void TemplateHighlighter::FormatBlock(QTextBlock block) {
    QTextBlock previous = block.previous();
    int state = previous.isValid() && previous.userState() == InHexBlock ? InHexBlock : Normal;
    QString text = block.text();
    spans_.clear();
    ScanLine(text.constData(), static_cast<int>(text.size()), state, &spans_);
    QList<QTextLayout::FormatRange> ranges;
    ranges.reserve(static_cast<qsizetype>(spans_.size()));
    for (const Span& span : spans_) ranges.append(QTextLayout::FormatRange{span.Start, span.Length, formats_[span.What]});
    auto* mark = static_cast<FormattedMark*>(block.userData());
    if (!mark) {
        mark = new FormattedMark;
        block.setUserData(mark);
    }
    mark->Done = true;
    block.layout()->setFormats(ranges);
    document()->markContentsDirty(block.position(), block.length());
}

int TemplateHighlighter::ScanLine(const QChar* text, int length, int state, std::vector<Span>* spans) {
    auto add = [spans](int start, int end, Kind kind) {
        if (spans && end > start) spans->push_back(Span{start, end - start, kind});
    };
    int i = 0;
    while (i < length) {
        char16_t c = text[i].unicode();
        if (state == InHexBlock) {
            if (c <= 32) {
                ++i;
            } else if (IsHexDigit(c)) {
                int start = i;
                while (i < length && IsHexDigit(text[i].unicode())) ++i;
                add(start, i, HexBlock);
            } else if (c == '}') {
                add(i, i + 1, Punctuation);
                ++i;
                state = Normal;
            } else {
                state = Normal; // not a block after all; read the rest as usual
            }
            continue;
        }
        int start = i;
        if (c <= 32) {
            ++i;
        } else if (IsLetter(c)) {
            while (i < length && (IsLetter(text[i].unicode()) || IsDigit(text[i].unicode()))) ++i;
            add(start, i, IsKeyword(text + start, i - start) ? Keyword : Name);
        } else if (c == '\'' || c == '#') {
            // String parts written back to back: quoted parts and #-codes.
            while (i < length && (text[i] == u'\'' || text[i] == u'#')) {
                int part = i;
                if (text[i] == u'#') {
                    ++i;
                    while (i < length && IsDigit(text[i].unicode())) ++i;
                    add(part, i, CharCode);
                } else {
                    ++i;
                    while (i < length) {
                        if (text[i] == u'\'') {
                            if (i + 1 < length && text[i + 1] == u'\'') {
                                i += 2;
                                continue;
                            }
                            ++i;
                            break;
                        }
                        ++i;
                    }
                    add(part, i, String);
                }
            }
        } else if (c == '$') {
            ++i;
            while (i < length && IsHexDigit(text[i].unicode())) ++i;
            add(start, i, Number);
        } else if (c == '-' || IsDigit(c)) {
            ++i;
            while (i < length && IsDigit(text[i].unicode())) ++i;
            while (i < length) {
                char16_t d = text[i].unicode();
                if (!(IsDigit(d) || d == '.' || d == 'e' || d == 'E' || d == '+' || d == '-')) break;
                ++i;
            }
            if (i < length) {
                char16_t s = text[i].unicode();
                if (s == 'c' || s == 'C' || s == 'd' || s == 'D' || s == 's' || s == 'S') ++i;
            }
            add(start, i, Number);
        } else if (c == '{') {
            add(i, i + 1, Punctuation);
            ++i;
            state = InHexBlock;
        } else if (IsPunctuation(c)) {
            add(i, i + 1, Punctuation);
            ++i;
        } else {
            ++i;
        }
    }
    return state;
}

void TemplateHighlighter::highlightBlock(const QString& text) {
    int previous = previousBlockState();
    int state = previous == InHexBlock ? InHexBlock : Normal;
    int number = currentBlock().blockNumber();
    bool wanted = number >= firstWanted_ && number <= lastWanted_;
    auto* mark = static_cast<FormattedMark*>(currentBlockUserData());
    if (!wanted) {
        if (mark) mark->Done = false;
        setCurrentBlockState(ScanLine(text.constData(), static_cast<int>(text.size()), state, nullptr));
        return;
    }
    spans_.clear();
    setCurrentBlockState(ScanLine(text.constData(), static_cast<int>(text.size()), state, &spans_));
    for (const Span& span : spans_) setFormat(span.Start, span.Length, formats_[span.What]);
    if (!mark) {
        mark = new FormattedMark;
        setCurrentBlockUserData(mark);
    }
    mark->Done = true;
}

} // namespace kep
