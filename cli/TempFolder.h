#pragma once
// A folder made for one command and removed with everything in it afterwards,
// also when the command fails.
#include "formstream/Exceptions.h"
#include "formstream/Stream.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace kep {

class TempFolder {
public:
    // Inside parent, or in the system's temporary folder when parent is empty.
    explicit TempFolder(std::string parent = {}) {
        if (parent.empty()) {
            const char* tmp = std::getenv("TMPDIR");
            parent = tmp && *tmp ? tmp : "/tmp";
        }
        std::string pattern = parent + "/.tme-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            throw EStreamError("Cannot create a temporary folder in \"" + parent + "\". " + SystemErrorText(errno));
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

} // namespace kep
