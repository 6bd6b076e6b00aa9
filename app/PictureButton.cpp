#include "app/PictureButton.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QSvgRenderer>

namespace kep {

namespace {

QPixmap Render(const QString& svg, QSize size)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(svg);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

} // namespace

PictureButton::PictureButton(const QString& upPicture, const QString& downPicture,
                             const QString& disabledPicture, QWidget* parent)
    : QPushButton(parent)
{
    const QSize size(121, 33);
    up_ = Render(upPicture, size);
    down_ = Render(downPicture, size);
    disabled_ = Render(disabledPicture, size);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
}

void PictureButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPixmap& picture = !isEnabled() ? disabled_ : isDown() ? down_ : up_;
    painter.drawPixmap(rect(), picture);
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = rect().adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

CommandButton::CommandButton(const QString& caption, const QString& iconPath, QWidget* parent)
    : QPushButton(caption, parent), icon_(QIcon(iconPath))
{
    QSvgRenderer renderer(iconPath);
    if (renderer.isValid()) {
        QPixmap normal(32, 32);
        normal.fill(Qt::transparent);
        QPainter painter(&normal);
        renderer.render(&painter);
        icon_ = QIcon(normal);
    }
}

void CommandButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    const int shift = isDown() ? 1 : 0;
    const QRect iconRect(4 + shift, (height() - 32) / 2 + shift, 32, 32);
    icon_.paint(&painter, iconRect, Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);

    QRect textRect(iconRect.right() + 3, 2 + shift, width() - iconRect.right() - 6, height() - 4);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(textRect, Qt::AlignCenter | Qt::TextWordWrap, text());
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

} // namespace kep
