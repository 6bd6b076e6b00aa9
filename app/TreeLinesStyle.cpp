#include "app/TreeLinesStyle.h"

#include <QPainter>
#include <QStyleOption>

namespace kep {

void TreeLinesStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                   const QWidget* widget) const
{
    if (element != PE_IndicatorBranch) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    const QRect r = option->rect;
    const int x = r.left() + r.width() / 2;
    const int y = r.top() + r.height() / 2;
    painter->save();
    QPen dots(QColor(128, 128, 128));
    dots.setStyle(Qt::DotLine);
    painter->setPen(dots);
    if (option->state & State_Item)
        painter->drawLine(x, y, r.right(), y);
    if (option->state & State_Sibling)
        painter->drawLine(x, r.top(), x, r.bottom());
    else if (option->state & State_Item)
        painter->drawLine(x, r.top(), x, y);
    if (option->state & State_Children) {
        const QRect box(x - 4, y - 4, 8, 8);
        painter->setPen(QColor(128, 128, 128));
        painter->setBrush(option->palette.color(QPalette::Base));
        painter->drawRect(box);
        painter->setPen(option->palette.color(QPalette::Text));
        painter->drawLine(x - 2, y, x + 2, y);
        if (!(option->state & State_Open))
            painter->drawLine(x, y - 2, x, y + 2);
    }
    painter->restore();
}

} // namespace kep
