#pragma once
// A label whose text is information for the user: the status line and the
// boxes for the object, its sizes and the template path. Assistive technology
// sees the box's role as its name and the text as its value and text, and is
// told when the text changes.
#include <QLabel>

namespace kep {

class InfoBox : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    // Hides QLabel::setText so that every change is announced.
    void setText(const QString& text);
};

// Registers the accessible form of InfoBox once.
void InstallInfoBoxAccessibility();

} // namespace kep
