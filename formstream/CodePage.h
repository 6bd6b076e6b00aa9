#pragma once
// The system's ANSI code page: Windows-1252, by a table of our own.
#include <string>

namespace kep {

// 8-bit text to UTF-16, one code unit per byte.
std::u16string AnsiToWide(const std::string& text);
// UTF-16 to 8-bit text. A code unit without a byte in the code page becomes
// '?' and, when given, sets *lossy (the callers that must not lose text check it).
std::string WideToAnsi(const std::u16string& text, bool* lossy = nullptr);
// True when the byte leads a two-byte character; never for Windows-1252.
bool IsLeadByte(unsigned char byte);

} // namespace kep
