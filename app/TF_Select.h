#pragma once
// F_Select: the format-choice dialog asked before exporting or substituting a
// template member. Its result is a FormatChoice.
#include <QDialog>

class QPushButton;
class QRadioButton;

namespace kep {

enum FormatChoice : int {
    kFormatCancelled = 2,
    kFormatTemplate = 6, // the member's file unchanged
    kFormatText = 7,     // the template's code as a text file
};

class TF_Select : public QDialog {
    Q_OBJECT
public:
    explicit TF_Select(QWidget* parent = nullptr);

    // Shows the dialog modally and returns its FormatChoice.
    virtual int ShowModal();

    // Each time the dialog becomes the active window: the template format is proposed.
    void FormActivate();
    void OKButtonClick();
    void Button1Click();

    QPushButton* OKButton;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QPushButton* Button1;

public slots:
    // The close button, like Cancel, gives 2.
    void reject() override;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace kep
