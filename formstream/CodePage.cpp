#include "formstream/CodePage.h"

#include <cstdint>

namespace kep {

namespace {

// Bytes 0x80 to 0x9F of Windows-1252. The five bytes that the code page leaves
// unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the code unit of the same
// value, so that every byte survives a round trip.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The byte for a code unit, or -1 when the code page has none.
int ByteForUnit(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return unit;
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] == unit) return 0x80 + i;
    }
    return -1;
}

} // namespace

std::u16string AnsiToWide(const std::string& text) {
    std::u16string wide(text.size(), u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        auto byte = static_cast<unsigned char>(text[i]);
        wide[i] = byte >= 0x80 && byte < 0xA0 ? kHighControls[byte - 0x80] : char16_t(byte);
    }
    return wide;
}

std::string WideToAnsi(const std::u16string& text, bool* lossy) {
    std::string ansi(text.size(), '\0');
    bool lost = false;
    for (size_t i = 0; i < text.size(); ++i) {
        int byte = ByteForUnit(text[i]);
        if (byte < 0) {
            lost = true;
            byte = '?';
        }
        ansi[i] = static_cast<char>(byte);
    }
    if (lossy) *lossy = lost;
    return ansi;
}

bool IsLeadByte(unsigned char) { return false; }

} // namespace kep
