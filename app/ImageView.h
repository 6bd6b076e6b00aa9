#pragma once
// Image1: the picture preview. It paints its picture itself, by the stretch
// and proportional settings, from its top-left corner and clipped to its area.
#include <QImage>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <string>
#include <vector>

namespace kep {

class ImageView : public QWidget {
    Q_OBJECT
public:
    explicit ImageView(QWidget* parent = nullptr);

    // Loads a picture file by its extension (".jpg", ".bmp"); on an error the
    // picture shown before stays.
    void LoadFromFile(const std::string& path);
    void SetPicture(QImage picture);
    void ClearPicture();
    const QImage& Picture() const { return picture_; }
    // 0 without a picture.
    int PictureWidth() const { return picture_.width(); }
    int PictureHeight() const { return picture_.height(); }
    // Corrupt-data warnings of the last JPEG loaded.
    const std::vector<std::string>& Warnings() const { return warnings_; }

    bool Stretch() const { return stretch_; }
    void SetStretch(bool on);
    bool Proportional() const { return proportional_; }
    void SetProportional(bool on);

    // Where the picture is drawn within the view; empty without a picture.
    QRect TargetRect() const;
    static QRect TargetRect(QSize picture, QSize area, bool stretch, bool proportional);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage picture_;
    QImage scaled_; // picture_ at the size of the last target, drawn as it is
    std::vector<std::string> warnings_;
    bool stretch_ = true;
    bool proportional_ = true;
};

} // namespace kep
