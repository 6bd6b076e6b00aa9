#include "app/ImagePreview.h"

#include <QPainter>

#include <cmath>

namespace kep {

ImagePreview::ImagePreview(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void ImagePreview::SetPicture(const QImage& picture)
{
    picture_ = picture;
    update();
}

QRect ImagePreview::TargetRect(int w, int h) const
{
    const int cw = width();
    const int ch = height();
    const bool scaled = Stretch || (Proportional && (w > cw || h > ch));
    if (!scaled)
        return QRect(0, 0, w, h);
    if (!Proportional || w <= 0 || h <= 0)
        return QRect(0, 0, cw, ch);
    const double aspect = double(w) / double(h);
    int tw, th;
    if (w > h) {
        tw = cw;
        th = int(std::trunc(cw / aspect));
        if (th > ch) {
            th = ch;
            tw = int(std::trunc(ch * aspect));
        }
    } else {
        th = ch;
        tw = int(std::trunc(ch * aspect));
        if (tw > cw) {
            tw = cw;
            th = int(std::trunc(cw / aspect));
        }
    }
    return QRect(0, 0, tw, th);
}

void ImagePreview::paintEvent(QPaintEvent*)
{
    if (picture_.isNull())
        return;
    QPainter painter(this);
    painter.setClipRect(rect());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(TargetRect(picture_.width(), picture_.height()), picture_);
}

DottedFrame::DottedFrame(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void DottedFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QPen pen(QColor(255, 255, 0));
    pen.setStyle(Qt::DotLine);
    pen.setWidth(1);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace kep
