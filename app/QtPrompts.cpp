#include "app/QtPrompts.h"

#include <QEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace kep {

namespace {

// "\r" starts a new line in the system's texts.
QString Lines(const QString& text)
{
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace('\r', '\n');
    return shown;
}

// Notices the box's close button, which answers neither Yes nor No; Esc and
// the buttons end the box without a close event.
class CloseWatcher : public QObject {
public:
    bool closed = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close)
            closed = true;
        return QObject::eventFilter(watched, event);
    }
};

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text)
{
    QMessageBox box(icon, caption, Lines(text), QMessageBox::Ok, parent);
    box.setAccessibleName(caption);
    box.exec();
}

std::optional<QString> RunFileDialog(QWidget* parent, const FileDialogRequest& request, bool save)
{
    QFileDialog dialog(parent, request.Title, request.InitialDir, QtPrompts::QtFilter(request.Filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setFileMode(QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);
    }
    if (!request.FileName.isEmpty())
        dialog.selectFile(request.FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

} // namespace

QString QtPrompts::QtFilter(const QString& filter)
{
    QStringList parts = filter.split('|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i];
        const QString& pattern = parts[i + 1];
        // Qt separates patterns by blanks; "*.*" means every file, also one without a dot.
        QStringList patterns = pattern.split(';', Qt::SkipEmptyParts);
        for (QString& p : patterns)
            if (p == QLatin1String("*.*"))
                p = QStringLiteral("*");
        QString qtPattern = patterns.join(' ');
        QString tail = '(' + pattern + ')';
        if (name.endsWith(tail))
            name.chop(tail.size());
        else
            name += ' ';
        entries << name + '(' + qtPattern + ')';
    }
    return entries.join(QStringLiteral(";;"));
}

void QtPrompts::ErrorBox(const QString& text)
{
    ShowBox(parent_, QMessageBox::Critical, QStringLiteral("Error"), text);
}

void QtPrompts::InformationBox(const QString& text)
{
    ShowBox(parent_, QMessageBox::Information, QStringLiteral("Information"), text);
}

void QtPrompts::WarningBox(const QString& text)
{
    ShowBox(parent_, QMessageBox::Warning, QStringLiteral("Warning"), text);
}

ConfirmAnswer QtPrompts::ConfirmBox(const QString& text)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), Lines(text),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    box.setAccessibleName(QStringLiteral("Confirm"));
    CloseWatcher watcher;
    box.installEventFilter(&watcher);
    int result = box.exec();
    if (watcher.closed)
        return ConfirmAnswer::Closed;
    if (result == QMessageBox::Yes)
        return ConfirmAnswer::Yes;
    if (result == QMessageBox::No)
        return ConfirmAnswer::No;
    return ConfirmAnswer::Closed;
}

std::optional<QString> QtPrompts::OpenFileDialog(const FileDialogRequest& request)
{
    return RunFileDialog(parent_, request, false);
}

std::optional<QString> QtPrompts::SaveFileDialog(const FileDialogRequest& request)
{
    return RunFileDialog(parent_, request, true);
}

std::optional<QString> QtPrompts::FolderDialog(const FileDialogRequest& request)
{
    QFileDialog dialog(parent_, request.Title, request.InitialDir);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

void QtPrompts::ExceptionBox(const QString& message, const QString& details)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"), Lines(message), QMessageBox::Ok, parent_);
    box.setDetailedText(details);
    box.setAccessibleName(QStringLiteral("Error"));
    box.exec();
}

} // namespace kep
