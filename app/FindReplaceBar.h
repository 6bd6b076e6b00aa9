#pragma once
// The bar under the code: find (Ctrl+F), find and replace (Ctrl+H) with
// match case and whole word, and go to line (Ctrl+G). It belongs to a
// CodePane and acts on it; Esc closes it and gives the focus back to the code.
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kep {

class CodePane;

class FindReplaceBar : public QWidget {
    Q_OBJECT
public:
    enum class Mode { Find, Replace, GoToLine };

    explicit FindReplaceBar(CodePane* pane);

    // Shows the bar in mode, with the field's text selected and focused.
    void Open(Mode mode);
    Mode CurrentMode() const { return mode_; }

    QLineEdit* FindField;
    QLineEdit* ReplaceField;
    QLineEdit* LineField;
    QCheckBox* MatchCase;
    QCheckBox* WholeWord;
    QPushButton* NextButton;
    QPushButton* PreviousButton;
    QPushButton* ReplaceButton;
    QPushButton* ReplaceAllButton;
    QPushButton* GoButton;
    QPushButton* CloseButton;
    QLabel* Message; // "Not found", "3 replaced", ...

    // The actions of the buttons and the Enter key.
    void FindNext();
    void FindPrevious();
    void ReplaceOne();
    void ReplaceAll();
    void GoToLine();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* findRow_;
    QWidget* replaceRow_;
    QWidget* lineRow_;
    CodePane* pane_;
    Mode mode_ = Mode::Find;
};

} // namespace kep
