#pragma once
// A write-only byte stream into a file that replaces its target only when
// committed: a conversion writes its result straight to disk instead of
// gathering it in memory, and a failed one leaves the target as it was.
#include "document/FileIo.h"
#include "formstream/Stream.h"

#include <string>

namespace kep {

class AtomicFileStream : public TStream {
public:
    explicit AtomicFileStream(const std::string& target, AtomicFile::Symlink symlink = AtomicFile::Symlink::Replace)
        : file_(target, symlink) {}

    int32_t Read(void*, int32_t) override { return 0; }
    int32_t Write(const void* source, int32_t count) override;
    int32_t Seek(int32_t offset, SeekOrigin origin) override;
    int32_t GetSize() override { return size_; }
    void SetSize(int32_t newSize) override;

    void Commit() { file_.Commit(); }

private:
    AtomicFile file_;
    int32_t position_ = 0;
    int32_t size_ = 0;
};

} // namespace kep
