#pragma once
// Every question and report the editor shows goes through this interface, so
// that tests can answer message boxes and file dialogs without a person.
#include <QString>

#include <optional>

namespace kep {

// The answer of a confirmation box. Closed: the box was closed with its close
// button, which is neither Yes nor No.
enum class ConfirmAnswer { Yes, No, Closed };

// A file dialog as the commands set it up. Filter is "Name|pattern|Name|pattern".
struct FileDialogRequest {
    QString Title;
    QString Filter;
    QString InitialDir;
    QString FileName;
};

class Prompts {
public:
    virtual ~Prompts() = default;

    // In the texts "\r" starts a new line.
    virtual void ErrorBox(const QString& text) = 0;       // caption "Error", OK
    virtual void InformationBox(const QString& text) = 0; // caption "Information", OK
    virtual void WarningBox(const QString& text) = 0;     // caption "Warning", OK
    virtual ConfirmAnswer ConfirmBox(const QString& text) = 0; // caption "Confirm", Yes (default), No (Esc)

    // The full path of the chosen file, or nothing when the dialog was cancelled.
    // The open dialog accepts a name of a file that does not exist; the save
    // dialog neither asks before overwriting nor adds an extension.
    virtual std::optional<QString> OpenFileDialog(const FileDialogRequest& request) = 0;
    virtual std::optional<QString> SaveFileDialog(const FileDialogRequest& request) = 0;
    // The full path of the chosen folder (Title and InitialDir of the request
    // are used), or nothing when the dialog was cancelled.
    virtual std::optional<QString> FolderDialog(const FileDialogRequest& request) = 0;

    // The general error handler's report: the message, with the technical
    // details (exception class, the command that failed) one click away.
    virtual void ExceptionBox(const QString& message, const QString& details) = 0;
};

} // namespace kep
