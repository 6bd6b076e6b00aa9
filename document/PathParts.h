#pragma once
// Parts of a path. The separator is "/"; backslash and ":" are ordinary
// characters in file names.
#include <string>

namespace kep {

// What follows the last "/".
std::string ExtractFileName(const std::string& path);
// Everything up to and including the last "/"; empty when there is none.
std::string ExtractFilePath(const std::string& path);
// The file-name part from its last ".", dot included; empty when there is none.
std::string ExtractFileExt(const std::string& path);
// Replaces the extension of the file-name part, or appends extension when there is none.
std::string ChangeFileExt(const std::string& path, const std::string& extension);
// Turns only the ASCII letters A to Z into a to z.
std::string LowerCaseAscii(std::string text);
// A name that may stand for a file inside a folder: not empty, not "." or "..",
// without "/", "\" or a zero byte.
bool IsPlainFileName(const std::string& name);
// The absolute form of a path, for messages; the path itself when that fails.
std::string FullPathName(const std::string& path);

} // namespace kep
