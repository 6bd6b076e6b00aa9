#include "document/AtomicFileStream.h"

#include "formstream/Exceptions.h"

#include <climits>

namespace kep {

int32_t AtomicFileStream::Write(const void* source, int32_t count) {
    if (position_ < 0 || count <= 0) return 0;
    int64_t end = static_cast<int64_t>(position_) + count;
    if (end > INT32_MAX) throw EWriteError("Stream write error");
    file_.WriteAt(position_, source, static_cast<size_t>(count));
    position_ = static_cast<int32_t>(end);
    if (position_ > size_) size_ = position_;
    return count;
}

int32_t AtomicFileStream::Seek(int32_t offset, SeekOrigin origin) {
    int64_t base = origin == SeekOrigin::Beginning ? 0 : origin == SeekOrigin::Current ? position_ : size_;
    int64_t target = base + offset;
    if (target < 0 || target > INT32_MAX) throw EWriteError("Stream write error");
    position_ = static_cast<int32_t>(target);
    return position_;
}

void AtomicFileStream::SetSize(int32_t) {
    // The conversions only append; a file that shrinks would need truncation
    // of the temporary file, which nothing here asks for.
    throw EWriteError("Stream write error");
}

} // namespace kep
