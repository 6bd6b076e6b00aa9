#pragma once
// F_Select: the format-choice dialog (template or text format).
#include <QDialog>

namespace kep {

class TF_Select : public QDialog {
public:
    explicit TF_Select(QWidget* parent = nullptr);
    // 6: template format, 7: text format, 2: cancelled.
    int ShowModal();
};

} // namespace kep
