#pragma once
// A JPEG encoder over libjpeg, for the tests and the sample maker (no
// GoogleTest here).
#include <cstdio>

#include <jpeglib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

namespace kep::test {

// Encodes width x height pixels of the given number of components in the
// colour space input, stored in the file as the colour space stored, at the
// given quality; fill(y, row) writes the components of row y.
inline std::vector<uint8_t> EncodeJpeg(int width, int height, int components, J_COLOR_SPACE input,
                                       J_COLOR_SPACE stored, int quality,
                                       const std::function<void(int y, uint8_t* row)>& fill) {
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&info, &out, &outSize);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = input;
    jpeg_set_defaults(&info);
    jpeg_set_colorspace(&info, stored);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(width) * static_cast<size_t>(components));
    while (info.next_scanline < info.image_height) {
        fill(static_cast<int>(info.next_scanline), row.data());
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> bytes(out, out + outSize);
    std::free(out);
    return bytes;
}

} // namespace kep::test
