#pragma once
// The ".tme" file type made real for the desktop, per user, with the
// freedesktop files: a shared-mime-info package, a desktop entry, the default
// handler in mimeapps.list and the icons; then the caches are updated when
// their tools are installed.
#include <QString>

#include <string>

namespace kep {

class DesktopAssociation {
public:
    static constexpr const char* MimeType = "application/x-kep-template";
    static constexpr const char* DesktopFileName = "marqetto.desktop";

    explicit DesktopAssociation(std::string executable);

    QString MimePackagePath() const;
    QString DesktopEntryPath() const;
    QString MimeAppsListPath() const;
    QString ApplicationIconPath() const;
    QString TypeIconPath() const;

    // Writes every file (each replaced atomically); a file that cannot be
    // written raises "Cannot create file \"%s\". %s".
    void Install() const;

    // The desktop entry's Exec line for the executable, quoted when needed.
    static QString ExecLine(const QString& executable);
    // mimeapps.list with the default handler for the type set, other lines kept.
    static QString WithDefaultHandler(const QString& mimeApps);

private:
    std::string executable_;
};

} // namespace kep
