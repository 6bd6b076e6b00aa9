#pragma once
// Highlighting of template code: keywords, names, strings and #-codes,
// numbers with their suffixes, hexadecimal blocks and punctuation.
//
// A line's only state is whether it ends inside a hexadecimal block, found
// by a cheap scan. Formats are set only for the blocks that the code pane
// wants (those in view and a few around them); the others get just their
// state and are formatted when they come into view, so that loading or
// changing a large text costs one scan, not the formatting of every line.
#include <QColor>
#include <QList>
#include <QSyntaxHighlighter>
#include <QTextBlock>
#include <QTextCharFormat>

#include <array>
#include <climits>
#include <vector>

namespace kep {

class TemplateHighlighter : public QSyntaxHighlighter {
    Q_OBJECT
public:
    enum Kind { Keyword, Name, String, CharCode, Number, HexBlock, Punctuation, KindCount };

    struct Span {
        int Start;
        int Length;
        Kind What;
    };

    // States a line can end in.
    enum LineState { Normal = 0, InHexBlock = 1 };

    explicit TemplateHighlighter(QTextDocument* document);

    // Splits one line, entered in state, into spans (when spans is not null)
    // and returns the state at its end.
    static int ScanLine(const QChar* text, int length, int state, std::vector<Span>* spans);

    // Only blocks numbered first to last get formats; the default is all.
    void SetWantedBlocks(int first, int last);
    // Formats the blocks numbered first to last that have no formats yet.
    void FormatPending(int first, int last);
    // True when the block has its formats.
    static bool IsFormatted(const QTextBlock& block);

    // The colours, each with at least 4.5:1 contrast on every background
    // given (silver and the tooltip background by default); a colour is
    // darkened until it has. Lines take the new colours as they come into view.
    void SetBackgrounds(const QList<QColor>& backgrounds);
    QTextCharFormat Format(Kind kind) const { return formats_[kind]; }

    // The contrast ratio of two colours (1 to 21), by their relative luminance.
    static double ContrastRatio(const QColor& a, const QColor& b);
    static QList<QColor> DefaultBackgrounds();

protected:
    void highlightBlock(const QString& text) override;

private:
    void MakeFormats(const QList<QColor>& backgrounds);
    void FormatBlock(QTextBlock block);

    std::array<QTextCharFormat, KindCount> formats_;
    int firstWanted_ = 0;
    int lastWanted_ = INT_MAX;
    std::vector<Span> spans_;
};

} // namespace kep
