#pragma once
// L_Action: the status line. Its text is centred and word-wrapped, drawn left
// to right so that every status text reads as it is written.
#include "app/InfoBox.h"

namespace kep {

class StatusLabel : public InfoBox {
    Q_OBJECT
public:
    explicit StatusLabel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kep
