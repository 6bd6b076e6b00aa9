#pragma once
// Per-user settings and file-type keys, kept in QSettings INI files.
//
// Key paths are backslash-separated. Below HKEY_CURRENT_USER a path
// "Software\<Organization>\<Application>[\rest]" is the file
// $XDG_CONFIG_HOME/<Organization>/<Application>.conf (the rest becomes an INI
// group); any other path of either root lives in one file per root under
// $XDG_CONFIG_HOME/Orvenhall/. A key exists when its file exists and, for a
// group, when the group holds a value. The empty value name is the key's
// default value.
#include "formstream/Exceptions.h"

#include <QString>

#include <memory>
#include <string>

class QSettings;

namespace kep {

class ERegistryException : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "ERegistryException"; }
};

enum class RegistryRoot { CurrentUser, ClassesRoot };

class RegistryAccess {
public:
    RegistryAccess();
    ~RegistryAccess();
    RegistryAccess(const RegistryAccess&) = delete;
    RegistryAccess& operator=(const RegistryAccess&) = delete;

    RegistryRoot RootKey() const { return root_; }
    // Another root closes the current key.
    void SetRootKey(RegistryRoot root);
    // On when created; when off, closing a key flushes it and every write is
    // flushed at once, so that a failed write is reported.
    bool LazyWrite = true;

    // A path beginning with a backslash is absolute (below the root); any
    // other is relative to the current key, or to the root without one.
    // On failure the current key stays as it was and false is returned.
    bool OpenKey(const std::string& key, bool canCreate);
    void CloseKey();
    bool HasCurrentKey() const { return settings_ != nullptr; }
    const std::string& CurrentPath() const { return currentPath_; }

    // Missing: "". A value that is not a text: "Invalid data type for '%s'".
    std::string ReadString(const std::string& name);
    // No current key, or a failed flush: "Failed to set data for '%s'".
    void WriteString(const std::string& name, const std::string& value);

    // The file that holds a key of the given root and absolute path (without
    // the leading backslash), and the INI group inside it.
    static void MapKey(RegistryRoot root, const std::string& path, QString& file, QString& group);

private:
    bool Flush();
    QString ValueKey(const std::string& name) const;

    RegistryRoot root_ = RegistryRoot::CurrentUser;
    std::unique_ptr<QSettings> settings_;
    QString group_;
    std::string currentPath_;
};

} // namespace kep
