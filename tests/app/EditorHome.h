#pragma once
// A throw-away home for one test: HOME, XDG_CONFIG_HOME and XDG_DATA_HOME
// point into a fresh temporary folder, and the current directory is a
// folder "cwd" inside it; everything is restored and removed afterwards.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cstdlib>
#include <string>

class EditorHome {
public:
    EditorHome()
    {
        char pattern[] = "/tmp/kep-app-XXXXXX";
        const char* made = mkdtemp(pattern);
        Root = QString::fromLocal8Bit(made ? made : "");
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            saved_[index(name)] = qgetenv(name);
        qputenv("HOME", Root.toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (Root + "/config").toLocal8Bit());
        qputenv("XDG_DATA_HOME", (Root + "/data").toLocal8Bit());
        previous_ = QDir::currentPath();
        QDir().mkpath(Cwd());
        QDir::setCurrent(Cwd());
    }
    ~EditorHome()
    {
        QDir::setCurrent(previous_);
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            qputenv(name, saved_[index(name)]);
        if (Root.startsWith("/tmp/kep-app-"))
            QDir(Root).removeRecursively();
    }
    EditorHome(const EditorHome&) = delete;
    EditorHome& operator=(const EditorHome&) = delete;

    QString Cwd() const { return Root + "/cwd"; }
    QString Config() const { return Root + "/config"; }
    QString Data() const { return Root + "/data"; }
    QString SettingsFile() const { return Config() + "/Orvenhall/Kep Template Editor.conf"; }
    QString ClassesFile() const { return Config() + "/Orvenhall/HKEY_CLASSES_ROOT.conf"; }

    static void Write(const QString& path, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
    }
    static QByteArray Read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString Root;

private:
    static int index(const char* name) { return name[0] == 'H' ? 0 : name[4] == 'C' ? 1 : 2; }
    QByteArray saved_[3];
    QString previous_;
};
