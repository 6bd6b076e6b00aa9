#include "app/FindReplaceBar.h"

#include "app/CodePane.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>

namespace kep {

namespace {

// Passes the pane's command keys on from the bar's fields, before a field
// takes them for itself; Enter with Shift in the find field searches backward.
class FieldKeys : public QObject {
public:
    FieldKeys(CodePane* pane, FindReplaceBar* bar) : QObject(bar), pane_(pane), bar_(bar) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            bool shiftEnter = watched == bar_->FindField && key->modifiers() == Qt::ShiftModifier &&
                              (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter);
            if (event->type() == QEvent::KeyPress) {
                if (shiftEnter) {
                    bar_->FindPrevious();
                    return true;
                }
                return pane_->CommandKey(key);
            }
            Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
            if (shiftEnter || key->key() == Qt::Key_F3 || key->key() == Qt::Key_Escape ||
                (modifiers == Qt::ControlModifier &&
                 (key->key() == Qt::Key_F || key->key() == Qt::Key_H || key->key() == Qt::Key_G))) {
                event->accept();
                return true;
            }
        }
        return false;
    }

private:
    CodePane* pane_;
    FindReplaceBar* bar_;
};

QPushButton* SmallButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

QHBoxLayout* Row(QWidget* row) {
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(4);
    return layout;
}

} // namespace

FindReplaceBar::FindReplaceBar(CodePane* pane) : QWidget(pane), pane_(pane) {
    // The bar keeps the window's colours while the code turns silver or yellow.
    QPalette colours = palette();
    const QPalette application = QApplication::palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::WindowText, QPalette::Base, QPalette::Text,
                                     QPalette::Button, QPalette::ButtonText})
        colours.setColor(role, application.color(role));
    setPalette(colours);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    setAccessibleName("Find and replace");

    findRow_ = new QWidget(this);
    QHBoxLayout* find = Row(findRow_);
    auto* findLabel = new QLabel("Find:", findRow_);
    FindField = new QLineEdit(findRow_);
    FindField->setAccessibleName("Find");
    findLabel->setBuddy(FindField);
    MatchCase = new QCheckBox("Match case", findRow_);
    WholeWord = new QCheckBox("Whole word", findRow_);
    NextButton = SmallButton("Next", findRow_);
    PreviousButton = SmallButton("Previous", findRow_);
    CloseButton = SmallButton("x", findRow_);
    CloseButton->setFixedWidth(CloseButton->fontMetrics().horizontalAdvance(u'x') + 16);
    CloseButton->setAccessibleName("Close");
    CloseButton->setToolTip("Close (Esc)");
    find->addWidget(findLabel);
    find->addWidget(FindField, 1);
    find->addWidget(MatchCase);
    find->addWidget(WholeWord);
    find->addWidget(NextButton);
    find->addWidget(PreviousButton);
    find->addWidget(CloseButton);

    replaceRow_ = new QWidget(this);
    QHBoxLayout* replace = Row(replaceRow_);
    auto* replaceLabel = new QLabel("Replace:", replaceRow_);
    ReplaceField = new QLineEdit(replaceRow_);
    ReplaceField->setAccessibleName("Replace with");
    replaceLabel->setBuddy(ReplaceField);
    ReplaceButton = SmallButton("Replace", replaceRow_);
    ReplaceAllButton = SmallButton("Replace all", replaceRow_);
    replace->addWidget(replaceLabel);
    replace->addWidget(ReplaceField, 1);
    replace->addWidget(ReplaceButton);
    replace->addWidget(ReplaceAllButton);

    lineRow_ = new QWidget(this);
    QHBoxLayout* line = Row(lineRow_);
    auto* lineLabel = new QLabel("Go to line:", lineRow_);
    LineField = new QLineEdit(lineRow_);
    LineField->setAccessibleName("Line number");
    LineField->setValidator(new QIntValidator(1, 999999999, LineField));
    lineLabel->setBuddy(LineField);
    GoButton = SmallButton("Go", lineRow_);
    line->addWidget(lineLabel);
    line->addWidget(LineField, 1);
    line->addWidget(GoButton);

    Message = new QLabel(this);
    Message->setAccessibleName("Search result");

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(0, 0, 0, 0);
    rows->setSpacing(0);
    rows->addWidget(findRow_);
    rows->addWidget(replaceRow_);
    rows->addWidget(lineRow_);
    auto* messageRow = new QHBoxLayout;
    messageRow->setContentsMargins(8, 0, 4, 2);
    messageRow->addWidget(Message);
    rows->addLayout(messageRow);

    auto* keys = new FieldKeys(pane, this);
    for (QLineEdit* field : {FindField, ReplaceField, LineField}) field->installEventFilter(keys);

    connect(FindField, &QLineEdit::returnPressed, this, &FindReplaceBar::FindNext);
    connect(ReplaceField, &QLineEdit::returnPressed, this, &FindReplaceBar::ReplaceOne);
    connect(LineField, &QLineEdit::returnPressed, this, &FindReplaceBar::GoToLine);
    connect(NextButton, &QPushButton::clicked, this, &FindReplaceBar::FindNext);
    connect(PreviousButton, &QPushButton::clicked, this, &FindReplaceBar::FindPrevious);
    connect(ReplaceButton, &QPushButton::clicked, this, &FindReplaceBar::ReplaceOne);
    connect(ReplaceAllButton, &QPushButton::clicked, this, &FindReplaceBar::ReplaceAll);
    connect(GoButton, &QPushButton::clicked, this, &FindReplaceBar::GoToLine);
    connect(CloseButton, &QPushButton::clicked, pane, &CodePane::CloseBar);
    connect(FindField, &QLineEdit::textEdited, Message, &QLabel::clear);
}

void FindReplaceBar::Open(Mode mode) {
    mode_ = mode;
    findRow_->setVisible(mode != Mode::GoToLine);
    replaceRow_->setVisible(mode == Mode::Replace);
    lineRow_->setVisible(mode == Mode::GoToLine);
    Message->clear();
    QLineEdit* field = mode == Mode::GoToLine ? LineField : FindField;
    if (mode != Mode::GoToLine) {
        // A selection within one line is what to look for.
        QString selected = pane_->textCursor().selectedText();
        if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator)) FindField->setText(selected);
    } else {
        LineField->setText(QString::number(pane_->textCursor().blockNumber() + 1));
    }
    adjustSize();
    show();
    field->selectAll();
    field->setFocus(Qt::ShortcutFocusReason);
}

void FindReplaceBar::FindNext() {
    bool found = pane_->Find(FindField->text(), {MatchCase->isChecked(), WholeWord->isChecked()});
    Message->setText(found || FindField->text().isEmpty() ? QString() : QStringLiteral("Not found"));
}

void FindReplaceBar::FindPrevious() {
    bool found = pane_->Find(FindField->text(), {MatchCase->isChecked(), WholeWord->isChecked()}, true);
    Message->setText(found || FindField->text().isEmpty() ? QString() : QStringLiteral("Not found"));
}

void FindReplaceBar::ReplaceOne() {
    bool done = pane_->ReplaceNext(FindField->text(), ReplaceField->text(),
                                   {MatchCase->isChecked(), WholeWord->isChecked()});
    Message->setText(done || FindField->text().isEmpty() ? QString() : QStringLiteral("Not found"));
}

void FindReplaceBar::ReplaceAll() {
    int count = pane_->ReplaceAll(FindField->text(), ReplaceField->text(),
                                  {MatchCase->isChecked(), WholeWord->isChecked()});
    Message->setText(count == 0 ? QStringLiteral("Not found")
                     : count == 1 ? QStringLiteral("1 replaced")
                                  : QString::number(count) + QStringLiteral(" replaced"));
}

void FindReplaceBar::GoToLine() {
    bool ok = false;
    int line = LineField->text().toInt(&ok);
    if (!ok || !pane_->GoToLine(line)) {
        Message->setText(QStringLiteral("Lines 1 to ") + QString::number(pane_->blockCount()));
        return;
    }
    Message->clear();
    pane_->setFocus(Qt::OtherFocusReason);
    pane_->CloseBar();
}

void FindReplaceBar::keyPressEvent(QKeyEvent* event) {
    // Keys that the fields leave (Enter among them) never reach the code.
    pane_->CommandKey(event);
    event->accept();
}

} // namespace kep
