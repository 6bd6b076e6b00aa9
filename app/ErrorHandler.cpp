#include "app/ErrorHandler.h"

#include "app/QtPrompts.h"
#include "formstream/CodePage.h"
#include "formstream/Exceptions.h"

#include <QStringDecoder>

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace kep {

QString ExceptionClassName(const std::exception& error)
{
    if (auto* own = dynamic_cast<const Exception*>(&error))
        return QString::fromLatin1(own->ClassName());
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(
        abi::__cxa_demangle(typeid(error).name(), nullptr, nullptr, &status), std::free);
    return QString::fromLatin1(status == 0 && name ? name.get() : typeid(error).name());
}

void DescribeCurrentException(QString& message, QString& className)
{
    try {
        throw;
    } catch (const std::bad_alloc& error) {
        message = QStringLiteral("Out of memory");
        className = ExceptionClassName(error);
    } catch (const std::exception& error) {
        // Paths in messages are UTF-8; other texts of the system are Windows-1252.
        QByteArray bytes(error.what());
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        message = utf8(bytes);
        if (utf8.hasError())
            message = QString::fromStdU16String(AnsiToWide(bytes.toStdString()));
        className = ExceptionClassName(error);
    } catch (...) {
        message = QStringLiteral("Unknown error");
        className = QStringLiteral("(not a standard exception)");
    }
}

EditorApplication::EditorApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool EditorApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        QString message, className;
        DescribeCurrentException(message, className);
        QtPrompts prompts;
        prompts.ExceptionBox(message, QStringLiteral("Exception class: %1\nCommand: event %2 for %3")
                                          .arg(className)
                                          .arg(int(event->type()))
                                          .arg(receiver->objectName().isEmpty()
                                                   ? QString::fromLatin1(receiver->metaObject()->className())
                                                   : receiver->objectName()));
        return false;
    }
}

} // namespace kep
