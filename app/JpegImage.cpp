#include "app/JpegImage.h"

#include "formstream/Stream.h"

#include <QByteArray>

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace kep {
namespace {

// libjpeg reports a fatal error through error_exit, which must not return:
// the message is formatted here and the decoder leaves by longjmp.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf escape;
    char message[JMSG_LENGTH_MAX];
    std::vector<std::string>* warnings;
};

constexpr size_t kMaxWarnings = 20;

void ErrorExit(j_common_ptr cinfo) {
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->escape, 1);
}

// Warnings (level -1) are collected instead of printed; trace messages are dropped.
void EmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    ++cinfo->err->num_warnings;
    if (manager->warnings == nullptr || manager->warnings->size() >= kMaxWarnings) return;
    char text[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, text);
    try {
        manager->warnings->emplace_back(text);
    } catch (...) {
        // Losing a warning text is harmless; an exception must not cross libjpeg.
    }
}

// Adobe writes CMYK inverted (0 = full ink); other writers store plain values.
void CmykLineToRgb(const JSAMPLE* cmyk, uchar* rgb, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        rgb[0] = static_cast<uchar>(c * k / 255);
        rgb[1] = static_cast<uchar>(m * k / 255);
        rgb[2] = static_cast<uchar>(y * k / 255);
    }
}

enum class DecodeOutcome { Done, Failed, TooLarge };

// Holds only plain C state between setjmp and any longjmp, so leaving by
// longjmp skips no destructor. The picture and the CMYK line buffer belong to
// the caller.
DecodeOutcome DecodeInto(jpeg_decompress_struct* cinfo, ErrorManager* manager, const uint8_t* data,
                         size_t size, QImage* image, std::vector<JSAMPLE>* cmykLine) {
    if (setjmp(manager->escape) != 0) return DecodeOutcome::Failed;
    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(cinfo, TRUE);
    bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(cinfo);
    const JDIMENSION width = cinfo->output_width;
    const JDIMENSION height = cinfo->output_height;
    // QImage counts in int and refuses what it cannot allocate.
    if (width > 65535 || height > 65535) return DecodeOutcome::TooLarge;
    *image = QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB888);
    if (image->isNull()) return DecodeOutcome::TooLarge;
    if (cmyk) cmykLine->resize(static_cast<size_t>(width) * 4);
    const bool inverted = cinfo->saw_Adobe_marker;
    while (cinfo->output_scanline < height) {
        uchar* line = image->scanLine(static_cast<int>(cinfo->output_scanline));
        if (cmyk) {
            JSAMPROW row = cmykLine->data();
            jpeg_read_scanlines(cinfo, &row, 1);
            CmykLineToRgb(row, line, width, inverted);
        } else {
            JSAMPROW row = line;
            jpeg_read_scanlines(cinfo, &row, 1);
        }
    }
    jpeg_finish_decompress(cinfo);
    return DecodeOutcome::Done;
}

std::string LowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The extension without its dot: what follows the last "." of the file-name part.
std::string ExtensionWithoutDot(const std::string& path) {
    size_t slash = path.rfind('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return {};
    return path.substr(dot + 1);
}

} // namespace

QImage DecodeJpeg(const uint8_t* data, size_t size, std::vector<std::string>* warnings) {
    jpeg_decompress_struct cinfo;
    ErrorManager manager;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&manager.pub);
    manager.pub.error_exit = ErrorExit;
    manager.pub.emit_message = EmitMessage;
    manager.message[0] = '\0';
    manager.warnings = warnings;

    QImage image;
    std::vector<JSAMPLE> cmykLine;
    DecodeOutcome outcome = DecodeInto(&cinfo, &manager, data, size, &image, &cmykLine);
    const JDIMENSION width = cinfo.output_width, height = cinfo.output_height;
    jpeg_destroy_decompress(&cinfo);
    switch (outcome) {
    case DecodeOutcome::Done:
        return image;
    case DecodeOutcome::TooLarge:
        throw EPictureError("Not enough memory for a picture of " + std::to_string(width) + " x " +
                            std::to_string(height) + " pixels");
    case DecodeOutcome::Failed:
        break;
    }
    throw EJpegError(manager.message);
}

QImage LoadPictureFile(const std::string& path, std::vector<std::string>* warnings) {
    const std::string extension = ExtensionWithoutDot(path);
    const std::string lower = LowerAscii(extension);
    if (lower != "jpg" && lower != "bmp")
        throw EPictureError("Unknown picture file extension (." + extension + ")");
    TMemoryStream file;
    file.LoadFromFile(path);
    if (lower == "jpg") return DecodeJpeg(file.Memory(), static_cast<size_t>(file.GetSize()), warnings);
    QImage image;
    const auto* bytes = reinterpret_cast<const uchar*>(file.Memory());
    if (!image.loadFromData(bytes, file.GetSize(), "BMP"))
        throw EPictureError("Cannot decode the bitmap file \"" + path + "\"");
    return image;
}

} // namespace kep

#include "app/ImagePreview.h"

namespace kep {

void ImagePreview::LoadFromFile(const std::string& path) {
    std::vector<std::string> warnings; // corrupt-data warnings do not stop the preview
    SetPicture(LoadPictureFile(path, &warnings));
}

} // namespace kep
