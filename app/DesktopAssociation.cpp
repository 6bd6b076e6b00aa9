#include "app/DesktopAssociation.h"

#include "formstream/Exceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

namespace kep {

namespace {

QString DataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString ConfigHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

[[noreturn]] void CannotCreate(const QString& path, const QString& reason)
{
    throw EFCreateError("Cannot create file \"" + QFile::encodeName(path).toStdString() + "\". "
                        + reason.toStdString());
}

void WriteFile(const QString& path, const QByteArray& content)
{
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath()))
        CannotCreate(path, QStringLiteral("The folder cannot be created"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        CannotCreate(path, file.errorString());
    file.write(content);
    if (!file.commit())
        CannotCreate(path, file.errorString());
}

QByteArray Resource(const QString& name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Runs a cache update tool when it is installed; its absence is no error.
void RunIfPresent(const QString& program, const QStringList& arguments)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(path, arguments);
    if (process.waitForStarted(5000))
        process.waitForFinished(60000);
}

} // namespace

DesktopAssociation::DesktopAssociation(std::string executable) : executable_(std::move(executable)) {}

QString DesktopAssociation::MimePackagePath() const
{
    return DataHome() + QStringLiteral("/mime/packages/x-kep-template.xml");
}

QString DesktopAssociation::DesktopEntryPath() const
{
    return DataHome() + QStringLiteral("/applications/") + DesktopFileName;
}

QString DesktopAssociation::MimeAppsListPath() const
{
    return ConfigHome() + QStringLiteral("/mimeapps.list");
}

QString DesktopAssociation::ApplicationIconPath() const
{
    return DataHome() + QStringLiteral("/icons/hicolor/scalable/apps/marqetto.svg");
}

QString DesktopAssociation::TypeIconPath() const
{
    return DataHome() + QStringLiteral("/icons/hicolor/scalable/mimetypes/application-x-kep-template.svg");
}

QString DesktopAssociation::ExecLine(const QString& executable)
{
    // An argument with blanks or reserved characters is quoted, with '"', '`',
    // '$' and '\' escaped inside; '%' is doubled.
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = executable.isEmpty();
    for (QChar c : executable)
        quote = quote || reserved.contains(c);
    QString argument;
    for (QChar c : executable) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            argument += '\\';
        argument += c;
    }
    argument.replace('%', QStringLiteral("%%"));
    if (quote)
        argument = '"' + argument + '"';
    // The string escapes of a desktop entry value come on top.
    argument.replace('\\', QStringLiteral("\\\\"));
    argument.replace('\n', QStringLiteral("\\n"));
    argument.replace('\t', QStringLiteral("\\t"));
    return argument + QStringLiteral(" %f");
}

QString DesktopAssociation::WithDefaultHandler(const QString& mimeApps)
{
    const QString entry = QString::fromLatin1(MimeType) + '=' + DesktopFileName;
    const QString prefix = QString::fromLatin1(MimeType) + '=';
    QStringList lines = mimeApps.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    qsizetype section = -1;
    for (qsizetype i = 0; i < lines.size(); ++i)
        if (lines[i].trimmed() == QLatin1String("[Default Applications]")) {
            section = i;
            break;
        }
    if (section < 0) {
        if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
            lines << QString();
        lines << QStringLiteral("[Default Applications]") << entry;
        return lines.join('\n') + '\n';
    }
    qsizetype end = section + 1;
    while (end < lines.size() && !lines[end].trimmed().startsWith('['))
        ++end;
    for (qsizetype i = section + 1; i < end; ++i)
        if (lines[i].trimmed().startsWith(prefix)) {
            lines[i] = entry;
            return lines.join('\n') + '\n';
        }
    // After the section's last non-blank line.
    qsizetype insert = end;
    while (insert > section + 1 && lines[insert - 1].trimmed().isEmpty())
        --insert;
    lines.insert(insert, entry);
    return lines.join('\n') + '\n';
}

void DesktopAssociation::Install() const
{
    const QString executable = QFile::decodeName(QByteArray::fromStdString(executable_));

    WriteFile(MimePackagePath(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
              "  <mime-type type=\"application/x-kep-template\">\n"
              "    <comment>Kep Template file</comment>\n"
              "    <icon name=\"application-x-kep-template\"/>\n"
              "    <glob pattern=\"*.tme\"/>\n"
              "  </mime-type>\n"
              "</mime-info>\n");

    WriteFile(ApplicationIconPath(), Resource(QStringLiteral(":/icons/marqetto.svg")));
    WriteFile(TypeIconPath(), Resource(QStringLiteral(":/icons/tme-file.svg")));

    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Kep Template Editor\n"
                                         "Comment=Edit menu templates and template packs\n"
                                         "Exec=%1\n"
                                         "Icon=marqetto\n"
                                         "MimeType=application/x-kep-template;\n"
                                         "Terminal=false\n"
                                         "Categories=Qt;Graphics;\n")
                              .arg(ExecLine(executable));
    WriteFile(DesktopEntryPath(), entry.toUtf8());

    QString mimeApps;
    QFile existing(MimeAppsListPath());
    if (existing.open(QIODevice::ReadOnly))
        mimeApps = QString::fromUtf8(existing.readAll());
    existing.close();
    WriteFile(MimeAppsListPath(), WithDefaultHandler(mimeApps).toUtf8());

    RunIfPresent(QStringLiteral("update-mime-database"), {DataHome() + QStringLiteral("/mime")});
    RunIfPresent(QStringLiteral("update-desktop-database"), {DataHome() + QStringLiteral("/applications")});
}

} // namespace kep
