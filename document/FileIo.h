#pragma once
// Files of a document: reading parts of a file, and writing a file by way of
// a temporary file in the same folder that is renamed over the target, so a
// failure leaves the previous file intact and no temporary file behind.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kep {

class InputFile {
public:
    // Raises EFOpenError "Cannot open file ..." as loading a byte buffer does.
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    int64_t Size() const { return size_; }
    const std::string& Path() const { return path_; }
    int Handle() const { return fd_; }
    // Reads exactly count bytes at offset; EReadError when they are not there.
    void ReadAt(int64_t offset, void* destination, size_t count) const;

private:
    std::string path_;
    int fd_ = -1;
    int64_t size_ = 0;
};

class AtomicFile {
public:
    enum class Symlink { Replace, Follow };
    // Creates the temporary file beside target. With Symlink::Follow a target
    // that is a symbolic link is resolved and the file it names is replaced;
    // with Symlink::Replace the link itself is replaced and never followed.
    explicit AtomicFile(const std::string& target, Symlink symlink = Symlink::Replace);
    ~AtomicFile(); // removes the temporary file unless committed
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    void WriteAt(int64_t offset, const void* source, size_t count);
    // Copies count bytes of source from sourceOffset to offset.
    void CopyAt(int64_t offset, const InputFile& source, int64_t sourceOffset, int64_t count);
    // Makes the new content the target's.
    void Commit();

private:
    [[noreturn]] void FailWrite(int error);
    std::string target_;
    std::string temp_;
    int fd_ = -1;
};

// Writes a whole file atomically.
void SaveFileAtomically(const std::string& path, const void* data, size_t size,
                        AtomicFile::Symlink symlink = AtomicFile::Symlink::Replace);

} // namespace kep
