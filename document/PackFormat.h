#pragma once
// Layout constants of the two ".tme" formats and little-endian field access.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kep {

// Template pack: a 308-byte header, one 272-byte entry per member, the data.
inline constexpr char kPackMagic[] = "TMPGENC-DVDAUTHOR-MENUTEMPLATEPACKFILE-"; // 39 characters
inline constexpr size_t kPackMagicLength = 39;
inline constexpr char kPackVersion = '1';
inline constexpr int64_t kPackHeaderTextLimit = 48; // the name length byte sits at 48
inline constexpr int64_t kPackNameOffset = 48;
inline constexpr int64_t kPackCountOffset = 304;
inline constexpr int64_t kPackHeaderSize = 308;
inline constexpr int64_t kPackEntrySize = 272; // length byte, 255 name bytes, size, offset
inline constexpr int64_t kEntrySizeField = 256;
inline constexpr int64_t kEntryOffsetField = 264;
inline constexpr size_t kMaxNameLength = 255;
inline constexpr int64_t kMaxBufferSize = 2147483647;

// Menu template: a 42-byte header, then the component stream.
inline constexpr char kTemplateMagic[] = "TMPGENC-DVDAUTHOR-MENUTEMPLATE-"; // 31 characters
inline constexpr size_t kTemplateMagicLength = 31;
inline constexpr int64_t kTemplateMagicOffset = 3;
inline constexpr char kTemplateVersion = '2';
inline constexpr int64_t kTemplateVersionOffset = 34;
inline constexpr int64_t kStreamLengthOffset = 38;
inline constexpr int64_t kTemplateHeaderSize = 42;

inline uint64_t ReadLE(const uint8_t* p, int bytes) {
    uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

inline void WriteLE(uint8_t* p, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// A name for messages: control characters and the zero byte shown as "?".
inline std::string PrintableName(const std::string& name) {
    std::string shown = name;
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
    return shown;
}

} // namespace kep
