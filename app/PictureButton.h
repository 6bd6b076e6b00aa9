#pragma once
// The buttons of the main window that show pictures.
#include <QIcon>
#include <QPixmap>
#include <QPushButton>

namespace kep {

// A button drawn only from pictures: one for its up, one for its down and one
// for its disabled state; it has no text of its own.
class PictureButton : public QPushButton {
    Q_OBJECT
public:
    PictureButton(const QString& upPicture, const QString& downPicture,
                  const QString& disabledPicture, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap up_, down_, disabled_;
};

// A command button: a 32 x 32 icon 4 pixels from its left edge and a caption
// beside it that wraps onto a second line when it is too long.
class CommandButton : public QPushButton {
    Q_OBJECT
public:
    CommandButton(const QString& caption, const QString& iconPath, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QIcon icon_;
};

} // namespace kep
