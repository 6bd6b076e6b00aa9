#include "app/StatusLabel.h"

#include <QPainter>

namespace kep {

StatusLabel::StatusLabel(QWidget* parent) : InfoBox(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
}

void StatusLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font());
    // The status texts are English and Italian: read right to left, their
    // trailing "..." and "." would be drawn in front of the first word.
    painter.drawText(contentsRect().adjusted(2, 0, -2, 0),
                     Qt::AlignCenter | Qt::TextWordWrap | Qt::TextForceLeftToRight, text());
}

} // namespace kep
