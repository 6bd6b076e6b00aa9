#include "app/ImageView.h"

#include "app/JpegImage.h"

#include <QPaintEvent>
#include <QPainter>

namespace kep {

ImageView::ImageView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void ImageView::LoadFromFile(const std::string& path) {
    std::vector<std::string> warnings;
    QImage picture = LoadPictureFile(path, &warnings);
    warnings_ = std::move(warnings);
    SetPicture(std::move(picture));
}

void ImageView::SetPicture(QImage picture) {
    picture_ = std::move(picture);
    scaled_ = QImage();
    update();
}

void ImageView::ClearPicture() {
    warnings_.clear();
    SetPicture(QImage());
}

void ImageView::SetStretch(bool on) {
    if (stretch_ == on) return;
    stretch_ = on;
    update();
}

void ImageView::SetProportional(bool on) {
    if (proportional_ == on) return;
    proportional_ = on;
    update();
}

QRect ImageView::TargetRect() const {
    return TargetRect(picture_.size(), size(), stretch_, proportional_);
}

QRect ImageView::TargetRect(QSize picture, QSize area, bool stretch, bool proportional) {
    const int w = picture.width(), h = picture.height();
    const int cw = area.width(), ch = area.height();
    if (w <= 0 || h <= 0) return {};
    const bool scaled = stretch || (proportional && (w > cw || h > ch));
    if (!scaled) return {0, 0, w, h};
    if (!proportional) return {0, 0, cw, ch};
    // The aspect and the truncated sizes in extended precision.
    const long double aspect = static_cast<long double>(w) / h;
    int targetWidth, targetHeight;
    if (w > h) {
        targetWidth = cw;
        targetHeight = static_cast<int>(cw / aspect);
        if (targetHeight > ch) {
            targetHeight = ch;
            targetWidth = static_cast<int>(ch * aspect);
        }
    } else {
        targetHeight = ch;
        targetWidth = static_cast<int>(ch * aspect);
        if (targetWidth > cw) {
            targetWidth = cw;
            targetHeight = static_cast<int>(cw / aspect);
        }
    }
    return {0, 0, targetWidth, targetHeight};
}

void ImageView::paintEvent(QPaintEvent*) {
    const QRect target = TargetRect();
    if (target.isEmpty()) return;
    QPainter painter(this);
    painter.setClipRect(rect());
    if (target.size() == picture_.size()) {
        painter.drawImage(target.topLeft(), picture_);
        return;
    }
    // Scale once per target size rather than at every repaint.
    if (scaled_.size() != target.size())
        scaled_ = picture_.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    painter.drawImage(target.topLeft(), scaled_);
}

} // namespace kep
