#include "app/RegistryAccess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace kep {

namespace {

QStringList SplitKey(const std::string& path)
{
    return QString::fromUtf8(path.data(), qsizetype(path.size())).split('\\', Qt::SkipEmptyParts);
}

// A component of a key or value name as one INI group or key: "/" would
// start a new group, so it is escaped (and "%", the escape itself).
QString Escape(QString name)
{
    name.replace('%', QStringLiteral("%25"));
    name.replace('/', QStringLiteral("%2F"));
    return name;
}

bool PlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && !name.contains('/')
           && !name.contains(QChar(0));
}

QString ConfigHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

} // namespace

RegistryAccess::RegistryAccess() = default;

RegistryAccess::~RegistryAccess()
{
    CloseKey();
}

void RegistryAccess::MapKey(RegistryRoot root, const std::string& path, QString& file, QString& group)
{
    const QStringList parts = SplitKey(path);
    QStringList groups;
    if (root == RegistryRoot::CurrentUser && parts.size() >= 3 && parts[0] == QLatin1String("Software")
        && PlainFileName(parts[1]) && PlainFileName(parts[2])) {
        file = ConfigHome() + '/' + parts[1] + '/' + parts[2] + QStringLiteral(".conf");
        for (qsizetype i = 3; i < parts.size(); ++i)
            groups << Escape(parts[i]);
    } else {
        file = ConfigHome() + QStringLiteral("/Orvenhall/")
               + (root == RegistryRoot::CurrentUser ? QStringLiteral("HKEY_CURRENT_USER.conf")
                                                    : QStringLiteral("HKEY_CLASSES_ROOT.conf"));
        for (const QString& part : parts)
            groups << Escape(part);
    }
    group = groups.join('/');
}

void RegistryAccess::SetRootKey(RegistryRoot root)
{
    if (root != root_) {
        CloseKey();
        root_ = root;
    }
}

bool RegistryAccess::OpenKey(const std::string& key, bool canCreate)
{
    std::string path;
    if (!key.empty() && key[0] == '\\')
        path = key.substr(1);
    else if (settings_ && !currentPath_.empty())
        path = key.empty() ? currentPath_ : currentPath_ + "\\" + key;
    else
        path = key;

    QString file, group;
    MapKey(root_, path, file, group);
    const QFileInfo info(file);
    if (!info.exists()) {
        if (!canCreate)
            return false;
        if (!QDir().mkpath(info.absolutePath()))
            return false;
        QFile created(file);
        if (!created.open(QIODevice::WriteOnly))
            return false;
        created.close();
    } else if (!info.isFile() || !info.isReadable() || (canCreate && !info.isWritable())) {
        return false;
    }

    auto settings = std::make_unique<QSettings>(file, QSettings::IniFormat);
    settings->setFallbacksEnabled(false);
    if (settings->status() != QSettings::NoError)
        return false;
    if (!group.isEmpty() && !canCreate) {
        settings->beginGroup(group);
        const bool exists = !settings->allKeys().isEmpty();
        settings->endGroup();
        if (!exists)
            return false;
    }
    CloseKey();
    settings_ = std::move(settings);
    group_ = group;
    currentPath_ = path;
    return true;
}

void RegistryAccess::CloseKey()
{
    if (!settings_)
        return;
    if (!LazyWrite)
        Flush();
    settings_.reset();
    group_.clear();
    currentPath_.clear();
}

bool RegistryAccess::Flush()
{
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

QString RegistryAccess::ValueKey(const std::string& name) const
{
    // "@" holds the key's default (unnamed) value.
    QString value = name.empty() ? QStringLiteral("@") : Escape(QString::fromUtf8(name.data(), qsizetype(name.size())));
    return group_.isEmpty() ? value : group_ + '/' + value;
}

std::string RegistryAccess::ReadString(const std::string& name)
{
    if (!settings_)
        return {};
    const QVariant value = settings_->value(ValueKey(name));
    if (!value.isValid())
        return {};
    if (value.typeId() != QMetaType::QString)
        throw ERegistryException("Invalid data type for '" + name + "'");
    QString text = value.toString();
    const qsizetype zero = text.indexOf(QChar(0));
    if (zero >= 0)
        text.truncate(zero);
    return text.toUtf8().toStdString();
}

void RegistryAccess::WriteString(const std::string& name, const std::string& value)
{
    if (!settings_)
        throw ERegistryException("Failed to set data for '" + name + "'");
    settings_->setValue(ValueKey(name), QString::fromUtf8(value.data(), qsizetype(value.size())));
    if (!LazyWrite && !Flush())
        throw ERegistryException("Failed to set data for '" + name + "'");
}

} // namespace kep
