#pragma once
// L_Action: the status line. Its text is centred and laid out in right-to-left
// reading order (so trailing dots show at the start of a line).
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
