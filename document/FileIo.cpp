#include "document/FileIo.h"

#include "document/PathParts.h"
#include "formstream/Exceptions.h"
#include "formstream/Stream.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace kep {

namespace {

std::string OpenMessage(const std::string& path, int error) {
    return "Cannot open file \"" + FullPathName(path) + "\". " + SystemErrorText(error);
}

mode_t NewFileMode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool WriteAllAt(int fd, const uint8_t* data, size_t count, int64_t offset) {
    while (count > 0) {
        ssize_t put = ::pwrite(fd, data, count, offset);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            if (put == 0) errno = EIO;
            return false;
        }
        data += put;
        offset += put;
        count -= static_cast<size_t>(put);
    }
    return true;
}

} // namespace

InputFile::InputFile(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw EFOpenError(OpenMessage(path, errno));
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
        ::close(fd_);
        throw EFOpenError(OpenMessage(path, error ? error : EINVAL));
    }
    size_ = info.st_size;
}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

void InputFile::ReadAt(int64_t offset, void* destination, size_t count) const {
    auto* data = static_cast<uint8_t*>(destination);
    while (count > 0) {
        ssize_t got = ::pread(fd_, data, count, offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            std::string reason = got == 0 ? "Unexpected end of file" : SystemErrorText(errno);
            throw EReadError("Cannot read file \"" + FullPathName(path_) + "\". " + reason);
        }
        data += got;
        offset += got;
        count -= static_cast<size_t>(got);
    }
}

AtomicFile::AtomicFile(const std::string& target, Symlink symlink) : target_(target) {
    struct stat info {};
    bool exists = ::lstat(target.c_str(), &info) == 0;
    if (exists && S_ISLNK(info.st_mode) && symlink == Symlink::Follow) {
        if (char* resolved = ::realpath(target.c_str(), nullptr)) {
            target_ = resolved;
            std::free(resolved);
            exists = ::lstat(target_.c_str(), &info) == 0;
        }
    }
    mode_t mode = NewFileMode();
    if (exists && S_ISREG(info.st_mode)) {
        // Replacing must not get round a file's write protection.
        if (::access(target_.c_str(), W_OK) != 0)
            throw EFCreateError("Cannot create file \"" + FullPathName(target_) + "\". " + SystemErrorText(errno));
        mode = info.st_mode & 07777;
    }
    std::string pattern = ExtractFilePath(target_) + ".tme-XXXXXX";
    fd_ = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd_ < 0)
        throw EFCreateError("Cannot create file \"" + FullPathName(target_) + "\". " + SystemErrorText(errno));
    temp_ = pattern;
    ::fchmod(fd_, mode);
}

AtomicFile::~AtomicFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!temp_.empty()) ::unlink(temp_.c_str());
}

void AtomicFile::FailWrite(int error) {
    throw EWriteError("Cannot write file \"" + FullPathName(target_) + "\". " + SystemErrorText(error));
}

void AtomicFile::WriteAt(int64_t offset, const void* source, size_t count) {
    if (!WriteAllAt(fd_, static_cast<const uint8_t*>(source), count, offset)) FailWrite(errno);
}

void AtomicFile::CopyAt(int64_t offset, const InputFile& source, int64_t sourceOffset, int64_t count) {
    // In-kernel copy first; plain reads and writes where the file systems refuse it.
    while (count > 0) {
        loff_t in = sourceOffset, out = offset;
        size_t chunk = static_cast<size_t>(std::min<int64_t>(count, 1 << 30));
        ssize_t done = ::copy_file_range(source.Handle(), &in, fd_, &out, chunk, 0);
        if (done < 0 && errno == EINTR) continue;
        if (done < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP ||
                         errno == EPERM || errno == EBADF))
            break;
        if (done < 0) FailWrite(errno);
        if (done == 0)
            throw EReadError("Cannot read file \"" + FullPathName(source.Path()) + "\". Unexpected end of file");
        offset += done;
        sourceOffset += done;
        count -= done;
    }
    if (count <= 0) return;
    constexpr size_t kChunk = 1 << 20;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[kChunk]);
    while (count > 0) {
        size_t chunk = static_cast<size_t>(std::min<int64_t>(count, kChunk));
        source.ReadAt(sourceOffset, buffer.get(), chunk);
        WriteAt(offset, buffer.get(), chunk);
        offset += static_cast<int64_t>(chunk);
        sourceOffset += static_cast<int64_t>(chunk);
        count -= static_cast<int64_t>(chunk);
    }
}

void AtomicFile::Commit() {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) FailWrite(errno);
    if (::rename(temp_.c_str(), target_.c_str()) != 0)
        throw EFCreateError("Cannot create file \"" + FullPathName(target_) + "\". " + SystemErrorText(errno));
    temp_.clear();
}

void SaveFileAtomically(const std::string& path, const void* data, size_t size, AtomicFile::Symlink symlink) {
    AtomicFile file(path, symlink);
    file.WriteAt(0, data, size);
    file.Commit();
}

} // namespace kep
