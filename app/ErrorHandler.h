#pragma once
// The general error handler: an exception that escapes an event handler is
// reported to the user and the event loop goes on.
#include <QApplication>
#include <QString>

#include <exception>

namespace kep {

// The class name of an exception (the system's own name for its exceptions).
QString ExceptionClassName(const std::exception& error);

// Describes the exception being handled: its message and its class.
void DescribeCurrentException(QString& message, QString& className);

class EditorApplication : public QApplication {
    Q_OBJECT
public:
    EditorApplication(int& argc, char** argv);
    // Catches what escapes any event handler that is not one of the window's
    // commands (those report through the window themselves).
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace kep
