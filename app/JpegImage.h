#pragma once
// Picture files for the preview: ".jpg" through libjpeg, ".bmp" through Qt's
// bitmap reader.
#include "formstream/Exceptions.h"

#include <QImage>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kep {

// A picture file that cannot be taken: an unknown extension, an undecodable
// bitmap, a picture too large for memory.
class EPictureError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const noexcept override { return "EPictureError"; }
};

// A JPEG file that libjpeg refuses; the message is libjpeg's own.
class EJpegError : public EPictureError {
public:
    using EPictureError::EPictureError;
    const char* ClassName() const noexcept override { return "EJpegError"; }
};

// Decodes a JPEG image into an RGB picture. Corrupt-data warnings do not stop
// the decoding; their texts are appended to *warnings when it is given.
QImage DecodeJpeg(const uint8_t* data, size_t size, std::vector<std::string>* warnings = nullptr);

// Reads a ".jpg" or ".bmp" file, chosen by its extension without regard to
// case; any other extension raises "Unknown picture file extension (.%s)".
// File errors are the byte buffer's ("Cannot open file ...").
QImage LoadPictureFile(const std::string& path, std::vector<std::string>* warnings = nullptr);

} // namespace kep
