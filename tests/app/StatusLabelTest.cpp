// The status line reads as its texts are written: "Please, open file..." keeps
// its dots after the words, also though the line is centred.
#include "app/StatusLabel.h"

#include <QFont>
#include <QImage>

#include <gtest/gtest.h>

namespace {

// Rows of the leftmost column that holds ink (any pixel darker than the
// background) in the label's picture.
int InkRowsOfLeftmostInkColumn(const QImage& image) {
    const QRgb background = image.pixel(image.width() / 2, 4);
    for (int x = 4; x < image.width() - 4; ++x) {
        int rows = 0;
        for (int y = 4; y < image.height() - 4; ++y)
            if (qGray(image.pixel(x, y)) + 60 < qGray(background)) ++rows;
        if (rows > 0) return rows;
    }
    return 0;
}

TEST(StatusLabel, TrailingDotsStayAfterTheWords) {
    kep::StatusLabel label;
    label.setGeometry(0, 0, 183, 40);
    QFont font({"MS Sans Serif", "DejaVu Sans"});
    font.setPixelSize(12);
    font.setBold(true);
    label.setFont(font);
    label.setText("Please, open file...");
    QImage image = label.grab().toImage();
    // The line starts with the stem of "P", several rows tall; drawn right to
    // left it would start with a dot, one or two rows tall.
    EXPECT_GE(InkRowsOfLeftmostInkColumn(image), 6);
}

} // namespace
