#include "app/TF_Select.h"

#include <QButtonGroup>
#include <QEvent>
#include <QFont>
#include <QKeyEvent>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>

namespace kep {

namespace {

QFont DialogFont(int points, bool bold) {
    QFont font;
    font.setFamilies({"MS Sans Serif", "DejaVu Sans"});
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

} // namespace

TF_Select::TF_Select(QWidget* parent) : QDialog(parent) {
    setObjectName("F_Select");
    setWindowTitle("Select file format...");
    setModal(true);
    setFont(DialogFont(8, false));
    // 337 x 173 with the frame of the system it was drawn for: a client area of 329 x 146.
    resize(329, 146);

    OKButton = new QPushButton("CONTINUE", this);
    OKButton->setObjectName("OKButton");
    OKButton->setGeometry(200, 112, 121, 25);
    OKButton->setDefault(true);
    OKButton->setAutoDefault(true);

    const QFont choiceFont = DialogFont(10, true);
    QPalette maroon;
    maroon.setColor(QPalette::WindowText, QColor(128, 0, 0));
    RadioButton1 = new QRadioButton(".TME File (template)", this);
    RadioButton1->setObjectName("RadioButton1");
    RadioButton1->setGeometry(16, 24, 297, 33);
    RadioButton1->setFont(choiceFont);
    RadioButton1->setPalette(maroon);
    RadioButton2 = new QRadioButton(".TXT File (text)", this);
    RadioButton2->setObjectName("RadioButton2");
    RadioButton2->setGeometry(16, 56, 297, 33);
    RadioButton2->setFont(choiceFont);
    RadioButton2->setPalette(maroon);

    Button1 = new QPushButton("Cancel", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(8, 113, 121, 25);
    Button1->setAutoDefault(false);

    setTabOrder(OKButton, RadioButton1);
    setTabOrder(RadioButton1, RadioButton2);
    setTabOrder(RadioButton2, Button1);

    connect(OKButton, &QPushButton::clicked, this, &TF_Select::OKButtonClick);
    connect(Button1, &QPushButton::clicked, this, &TF_Select::Button1Click);
}

int TF_Select::ShowModal() {
    FormActivate();
    return exec();
}

void TF_Select::FormActivate() {
    RadioButton1->setChecked(true);
    OKButton->setFocus();
}

void TF_Select::OKButtonClick() {
    int result = 0;
    if (RadioButton1->isChecked()) result = kFormatTemplate;
    if (RadioButton2->isChecked()) result = kFormatText;
    if (result != 0) done(result);
}

void TF_Select::Button1Click() {
    done(kFormatCancelled);
}

void TF_Select::reject() {
    done(kFormatCancelled);
}

bool TF_Select::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) FormActivate();
    return QDialog::event(event);
}

void TF_Select::keyPressEvent(QKeyEvent* event) {
    // Esc does nothing here.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace kep
