#pragma once
// Image1: shows one picture in its area, scaled by its stretch and
// proportional settings; the picture is drawn from the area's top-left corner
// and whatever lies outside the area is cut off.
#include <QImage>
#include <QWidget>

#include <string>

namespace kep {

class ImagePreview : public QWidget {
    Q_OBJECT
public:
    explicit ImagePreview(QWidget* parent = nullptr);

    // Loads a picture file by its extension (".jpg" and ".bmp", without regard
    // to case); any other extension raises "Unknown picture file extension (.%s)"
    // and the picture shown before stays.
    void LoadFromFile(const std::string& path);

    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return picture_; }
    // 0 without a picture.
    int PictureWidth() const { return picture_.isNull() ? 0 : picture_.width(); }
    int PictureHeight() const { return picture_.isNull() ? 0 : picture_.height(); }

    bool Stretch = true;
    bool Proportional = true;

    // The rectangle the picture is drawn into, for a w x h picture in this area.
    QRect TargetRect(int w, int h) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
};

// Shape1: a yellow dotted outline without fill.
class DottedFrame : public QWidget {
    Q_OBJECT
public:
    explicit DottedFrame(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kep
