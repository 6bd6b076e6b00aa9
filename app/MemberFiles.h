#pragma once
// File operations of the commands: copies that replace their target
// atomically, and reading a text file into the code editor.
#include "document/FileIo.h"

#include <QString>

#include <string>

namespace kep {

// True when path names an existing regular file.
bool RegularFileExists(const std::string& path);

// Copies a file over another; the target is either replaced whole or left as
// it was. Failures raise "Cannot open file ..." or "Cannot create file ...".
void CopyFileReplacing(const std::string& source, const std::string& target,
                       AtomicFile::Symlink symlink = AtomicFile::Symlink::Replace);

// A text file for the code editor: a leading UTF-8 byte-order mark is dropped;
// valid UTF-8 holding a multi-byte sequence is read as UTF-8, anything else as
// Windows-1252. Every line break (CR LF, CR, LF) becomes "\n".
QString ReadTextFile(const std::string& path);

} // namespace kep
