#pragma once
// The tree's look: dotted lines between the entries, and a box with "+" or
// "-" on every entry that has children.
#include <QProxyStyle>

namespace kep {

class TreeLinesStyle : public QProxyStyle {
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};

} // namespace kep
