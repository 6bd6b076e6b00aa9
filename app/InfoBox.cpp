#include "app/InfoBox.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetrics>

namespace kep {

namespace {

class InfoBoxAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit InfoBoxAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return Label()->text();
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return Label()->text();
        return QAccessibleWidget::text(t);
    }

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // Read-only text without selection or caret.
    void selection(int, int* start, int* end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override { return Label()->text().mid(start, end - start); }
    int characterCount() const override { return int(Label()->text().size()); }
    QRect characterRect(int offset) const override
    {
        QFontMetrics metrics(Label()->font());
        const QString text = Label()->text();
        const int x = metrics.horizontalAdvance(text.left(offset));
        const int w = offset < text.size() ? metrics.horizontalAdvance(text.at(offset)) : 0;
        return QRect(widget()->mapToGlobal(QPoint(x, 0)), QSize(w, metrics.height()));
    }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override
    {
        *start = *end = offset;
        return {};
    }

private:
    QLabel* Label() const { return static_cast<QLabel*>(widget()); }
};

QAccessibleInterface* Factory(const QString& key, QObject* object)
{
    if (key == QLatin1String("kep::InfoBox") && object && object->isWidgetType())
        return new InfoBoxAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

void InfoBox::setText(const QString& text)
{
    const QString before = QLabel::text();
    if (text == before)
        return;
    QLabel::setText(text);
    if (QAccessible::isActive()) {
        QAccessibleTextUpdateEvent update(this, 0, before, text);
        QAccessible::updateAccessibility(&update);
        QAccessibleValueChangeEvent value(this, text);
        QAccessible::updateAccessibility(&value);
    }
}

void InstallInfoBoxAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
}

} // namespace kep
