#include "formstream/Stream.h"

#include "formstream/Exceptions.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace kep {

namespace {

const char kOutOfMemory[] = "Out of memory while expanding memory stream";

std::string FullPath(const std::string& path) {
    std::error_code ec;
    auto absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

// Retries writes that a signal cut short.
bool WriteAll(int fd, const uint8_t* data, size_t count) {
    while (count > 0) {
        ssize_t put = ::write(fd, data, count);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        count -= static_cast<size_t>(put);
    }
    return true;
}

} // namespace

std::string SystemErrorText(int errorNumber) {
    const char* text = strerrordesc_np(errorNumber);
    return text ? text : "Unknown error " + std::to_string(errorNumber);
}

int32_t TStream::GetSize() {
    int32_t position = Seek(0, SeekOrigin::Current);
    int32_t size = Seek(0, SeekOrigin::End);
    Seek(position, SeekOrigin::Beginning);
    return size;
}

void TStream::ReadBuffer(void* destination, int32_t count) {
    if (count != 0 && Read(destination, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* source, int32_t count) {
    if (count != 0 && Write(source, count) != count) throw EWriteError("Stream write error");
}

// ---- TMemoryStream

TMemoryStream::~TMemoryStream() { std::free(data_); }

void TMemoryStream::SetCapacity(int64_t needed) {
    if (needed > INT32_MAX || needed < 0) throw EStreamError(kOutOfMemory);
    if (needed <= capacity_) return;
    // Grow geometrically so that appending byte by byte stays linear.
    int64_t grown = std::max<int64_t>(needed, static_cast<int64_t>(capacity_) + capacity_ / 2);
    grown = std::min<int64_t>((grown + 8191) & ~int64_t{8191}, INT32_MAX);
    void* bigger = std::realloc(data_, static_cast<size_t>(grown));
    if (!bigger) {
        bigger = std::realloc(data_, static_cast<size_t>(needed));
        if (!bigger) throw EStreamError(kOutOfMemory);
        grown = needed;
    }
    data_ = static_cast<uint8_t*>(bigger);
    capacity_ = static_cast<int32_t>(grown);
}

int32_t TMemoryStream::Read(void* destination, int32_t count) {
    if (position_ < 0 || count <= 0 || position_ >= size_) return 0;
    int32_t available = size_ - position_;
    int32_t taken = count < available ? count : available;
    std::memcpy(destination, data_ + position_, static_cast<size_t>(taken));
    position_ += taken;
    return taken;
}

int32_t TMemoryStream::Write(const void* source, int32_t count) {
    if (position_ < 0 || count <= 0) return 0;
    int64_t end = static_cast<int64_t>(position_) + count;
    if (end > size_) {
        SetCapacity(end);
        if (position_ > size_) std::memset(data_ + size_, 0, static_cast<size_t>(position_ - size_));
        size_ = static_cast<int32_t>(end);
    }
    std::memcpy(data_ + position_, source, static_cast<size_t>(count));
    position_ = static_cast<int32_t>(end);
    return count;
}

int32_t TMemoryStream::Seek(int32_t offset, SeekOrigin origin) {
    int64_t base = origin == SeekOrigin::Beginning ? 0 : origin == SeekOrigin::Current ? position_ : size_;
    int64_t target = base + offset;
    if (target < INT32_MIN || target > INT32_MAX) throw EStreamError(kOutOfMemory);
    position_ = static_cast<int32_t>(target);
    return position_;
}

void TMemoryStream::SetSize(int32_t newSize) {
    if (newSize < 0) throw EStreamError(kOutOfMemory);
    SetCapacity(newSize);
    size_ = newSize;
    if (position_ > newSize) position_ = newSize;
}

void TMemoryStream::Clear() {
    std::free(data_);
    data_ = nullptr;
    size_ = position_ = capacity_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        int error = errno;
        throw EFOpenError("Cannot open file \"" + FullPath(path) + "\". " + SystemErrorText(error));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
        ::close(fd);
        throw EFOpenError("Cannot open file \"" + FullPath(path) + "\". " + SystemErrorText(error));
    }
    if (S_ISREG(info.st_mode) && info.st_size > INT32_MAX) {
        ::close(fd);
        throw EStreamError("File \"" + FullPath(path) + "\" is larger than 2147483647 bytes");
    }
    // The file is read up to its end, whatever its size said: it may change
    // while it is read, and pipes or devices have no size at all.
    int32_t loaded = 0;
    int readError = 0;
    try {
        Clear();
        SetCapacity(S_ISREG(info.st_mode) ? std::max<int64_t>(info.st_size, 1) : 65536);
        for (;;) {
            if (loaded == capacity_) {
                // The buffer is full: look for one more byte before growing it,
                // so that a file which fills it exactly, up to 2147483647 bytes,
                // loads without growing.
                uint8_t extra = 0;
                ssize_t more = ::read(fd, &extra, 1);
                if (more < 0 && errno == EINTR) continue;
                if (more < 0) {
                    readError = errno;
                    break;
                }
                if (more == 0) break;
                if (loaded == INT32_MAX)
                    throw EStreamError("File \"" + FullPath(path) + "\" is larger than 2147483647 bytes");
                // At least 64 KiB more, also when memory is short and the
                // buffer cannot grow geometrically.
                SetCapacity(std::min<int64_t>(static_cast<int64_t>(capacity_) + 65536, INT32_MAX));
                data_[loaded++] = extra;
                continue;
            }
            ssize_t got = ::read(fd, data_ + loaded, static_cast<size_t>(capacity_ - loaded));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                readError = errno;
                break;
            }
            if (got == 0) break;
            loaded += static_cast<int32_t>(got);
        }
    } catch (...) {
        ::close(fd);
        Clear();
        throw;
    }
    ::close(fd);
    if (readError != 0) {
        Clear();
        throw EReadError("Cannot read file \"" + FullPath(path) + "\". " + SystemErrorText(readError));
    }
    size_ = loaded;
    position_ = 0;
}

void TMemoryStream::SaveToFile(const std::string& path) const {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        int error = errno;
        throw EFCreateError("Cannot create file \"" + FullPath(path) + "\". " + SystemErrorText(error));
    }
    bool complete = WriteAll(fd, data_, static_cast<size_t>(size_));
    bool closed = ::close(fd) == 0;
    if (!complete || !closed) throw EWriteError("Stream write error");
}

// ---- TStringStream

int32_t TStringStream::Read(void* destination, int32_t count) {
    int32_t size = GetSize();
    if (position_ < 0 || count <= 0 || position_ >= size) return 0;
    int32_t available = size - position_;
    int32_t taken = count < available ? count : available;
    std::memcpy(destination, data_.data() + position_, static_cast<size_t>(taken));
    position_ += taken;
    return taken;
}

int32_t TStringStream::Write(const void* source, int32_t count) {
    if (position_ < 0 || count <= 0) return 0;
    int64_t end = static_cast<int64_t>(position_) + count;
    if (end > INT32_MAX) throw EStreamError(kOutOfMemory);
    if (static_cast<size_t>(position_) == data_.size()) {
        data_.append(static_cast<const char*>(source), static_cast<size_t>(count));
    } else {
        if (static_cast<size_t>(end) > data_.size()) data_.resize(static_cast<size_t>(end));
        std::memcpy(data_.data() + position_, source, static_cast<size_t>(count));
    }
    position_ = static_cast<int32_t>(end);
    return count;
}

int32_t TStringStream::Seek(int32_t offset, SeekOrigin origin) {
    int64_t base = origin == SeekOrigin::Beginning ? 0 : origin == SeekOrigin::Current ? position_ : GetSize();
    int64_t target = base + offset;
    if (target < INT32_MIN || target > INT32_MAX) throw EStreamError(kOutOfMemory);
    position_ = static_cast<int32_t>(target);
    return position_;
}

void TStringStream::SetSize(int32_t newSize) {
    if (newSize < 0) throw EStreamError(kOutOfMemory);
    data_.resize(static_cast<size_t>(newSize));
    if (position_ > newSize) position_ = newSize;
}

} // namespace kep
