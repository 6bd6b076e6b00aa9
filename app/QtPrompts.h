#pragma once
// The prompts of a running editor: QMessageBox and Qt's own QFileDialog.
#include "app/Prompts.h"

class QWidget;

namespace kep {

class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}

    void ErrorBox(const QString& text) override;
    void InformationBox(const QString& text) override;
    void WarningBox(const QString& text) override;
    ConfirmAnswer ConfirmBox(const QString& text) override;
    std::optional<QString> OpenFileDialog(const FileDialogRequest& request) override;
    std::optional<QString> SaveFileDialog(const FileDialogRequest& request) override;
    std::optional<QString> FolderDialog(const FileDialogRequest& request) override;
    void ExceptionBox(const QString& message, const QString& details) override;

    // "Name|pattern|Name|pattern" as Qt's "Name (pattern);;Name (pattern)".
    static QString QtFilter(const QString& filter);

private:
    QWidget* parent_;
};

} // namespace kep
