#include "app/MemberFiles.h"

#include "formstream/CodePage.h"
#include "formstream/Exceptions.h"
#include "formstream/Stream.h"

#include <cstdint>

#include <sys/stat.h>

namespace kep {

bool RegularFileExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void CopyFileReplacing(const std::string& source, const std::string& target, AtomicFile::Symlink symlink) {
    TMemoryStream content;
    content.LoadFromFile(source);
    SaveFileAtomically(target, content.Memory(), static_cast<size_t>(content.GetSize()), symlink);
}

namespace {

// True when the bytes are valid UTF-8 and hold at least one multi-byte sequence.
bool IsMultiByteUtf8(const unsigned char* p, size_t size) {
    bool multiByte = false;
    size_t i = 0;
    while (i < size) {
        unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t length;
        uint32_t minimum;
        uint32_t code;
        if ((c & 0xE0) == 0xC0) {
            length = 2, minimum = 0x80, code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3, minimum = 0x800, code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4, minimum = 0x10000, code = c & 0x07;
        } else {
            return false;
        }
        if (size - i < length) return false;
        for (size_t k = 1; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            code = (code << 6) | (p[i + k] & 0x3F);
        }
        if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        multiByte = true;
        i += length;
    }
    return multiByte;
}

// The code editor holds at most this many bytes of a text file.
constexpr int32_t kTextCapacity = 1 << 29;

} // namespace

QString ReadTextFile(const std::string& path) {
    TMemoryStream file;
    file.LoadFromFile(path);
    if (file.GetSize() > kTextCapacity) throw Exception("Text exceeds memo capacity");
    const auto* bytes = file.Memory();
    size_t size = static_cast<size_t>(file.GetSize());
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        bytes += 3;
        size -= 3;
    }
    QString text;
    if (IsMultiByteUtf8(bytes, size)) {
        text = QString::fromUtf8(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(size));
    } else {
        std::u16string wide = AnsiToWide(std::string(reinterpret_cast<const char*>(bytes), size));
        text = QString::fromStdU16String(wide);
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    return text;
}

} // namespace kep
