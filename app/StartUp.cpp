// Start-up and end of the main window, and the folder settings.
#include "app/DesktopAssociation.h"
#include "app/ErrorHandler.h"
#include "app/TF_Main.h"

#include <QCoreApplication>
#include <QDir>

#include <filesystem>

namespace kep {

namespace {

const char* const kValueNames[] = {"AppPath", "AppDir", "TmeDir", "TmeSaveDir"};

bool FileExists(const std::string& path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::is_regular_file(path, error);
}

// Only the letters A to Z change.
QString AsciiLower(QString text)
{
    for (QChar& c : text)
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + 32);
    return text;
}

} // namespace

std::string TF_Main::SettingsKey()
{
    return "Software\\Orvenhall\\" + QCoreApplication::applicationName().toStdString();
}

void TF_Main::FormCreate()
{
    Registry = std::make_unique<RegistryAccess>();
    State.PrimaryBuffer = std::make_unique<TMemoryStream>();
    State.MemberBuffer = std::make_unique<TMemoryStream>();

    cbStretch->setChecked(true);

    if (!arguments_.isEmpty()) {
        // Linux file names are case-sensitive: the argument is kept as given
        // and only its extension is compared without regard to case.
        const QString argument = arguments_.first();
        const QString name = argument.mid(argument.lastIndexOf('/') + 1);
        const qsizetype dot = name.lastIndexOf('.');
        const QString extension = dot < 0 ? QString() : name.mid(dot);
        if (AsciiLower(extension) != QLatin1String(".tme")) {
            Ask().ErrorBox(AsciiLower(name) + QStringLiteral(" ??   :-("));
            RequestQuit();
            return;
        }
        State.TemplateFileName = ToPath(argument);
    }

    if (!DoReadKeys()) {
        if (!State.TemplateFileName.empty()) {
            Ask().InformationBox(QStringLiteral("Per la prima esecuzione:\r\rAvvia Marqetto senza parametri!"));
            RequestQuit();
            return;
        }
        DoWriteKeys();
        DoReadKeys();
    }

    if (FileExists(State.TemplateFileName))
        Doc.LoadTemplate(State.TemplateFileName);
    else
        SetActionText("Please, open file...");
}

void TF_Main::FormDestroy()
{
    Registry.reset();
    State.PrimaryBuffer.reset();
    State.MemberBuffer.reset();
}

bool TF_Main::DoReadKeys()
{
    Registry->SetRootKey(RegistryRoot::CurrentUser);
    if (!Registry->OpenKey("\\" + SettingsKey(), false))
        return false;
    std::string* settings[] = {&AppPath, &AppDir, &TmeDir, &TmeSaveDir};
    for (int i = 0; i < 4; ++i) {
        try {
            *settings[i] = Registry->ReadString(kValueNames[i]);
        } catch (const std::exception&) {
            // A value of another type leaves its setting as it was.
        }
    }
    Registry->CloseKey();
    return FileExists(AppPath);
}

void TF_Main::DoWriteKeys()
{
    AppDir = ToPath(QDir::currentPath());
    AppPath = ToPath(QCoreApplication::applicationFilePath());

    Registry->SetRootKey(RegistryRoot::CurrentUser);
    if (Registry->OpenKey("\\" + SettingsKey(), true)) {
        const std::string values[] = {AppPath, AppDir, AppDir, AppDir};
        for (int i = 0; i < 4; ++i) {
            try {
                Registry->WriteString(kValueNames[i], values[i]);
            } catch (const std::exception&) {
                // Each write stands alone.
            }
        }
        Registry->CloseKey();
    }

    Registry->SetRootKey(RegistryRoot::ClassesRoot);
    Registry->LazyWrite = false;
    const DesktopAssociation association(AppPath);
    const std::pair<std::string, std::string> keys[] = {
        {".tme", "Marqetto.Project"},
        {"Marqetto.Project", "Kep Template file"},
        {"Marqetto.Project\\shell\\open\\command", AppPath + " \"%1\""},
        {"Marqetto.Project\\DefaultIcon", ToPath(association.ApplicationIconPath())},
    };
    for (const auto& [key, value] : keys) {
        Registry->OpenKey(key, true);
        Registry->WriteString("", value);
        Registry->CloseKey();
    }
    association.Install();
}

void TF_Main::SavePath(const std::string& name, const std::string& value)
{
    Registry->SetRootKey(RegistryRoot::CurrentUser);
    if (!Registry->OpenKey("\\" + SettingsKey(), true))
        return;
    try {
        Registry->WriteString(name, value);
    } catch (const std::exception&) {
        // Not reported.
    }
    Registry->CloseKey();
}

bool TF_Main::RunCommand(const char* command, const std::function<void()>& handler)
{
    try {
        handler();
        return true;
    } catch (...) {
        ReportException(command);
        return false;
    }
}

void TF_Main::ReportException(const char* command)
{
    QString message, className;
    DescribeCurrentException(message, className);
    Ask().ExceptionBox(message, QStringLiteral("Exception class: %1\nCommand: %2")
                                    .arg(className, QString::fromLatin1(command)));
}

} // namespace kep
