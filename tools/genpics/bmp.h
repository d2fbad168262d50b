// Writers for the picture containers the editor loads: .bmp files (8-bit
// RLE, 8-bit plain, 24-bit plain) and a two-image .ico file.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx.h"

namespace genpics {

using Bytes = std::vector<uint8_t>;

// RLE8 pixel stream for `c`, bottom row first: encoded runs, absolute
// spans of 3..255 literal pixels, end-of-line after every row, then
// end-of-bitmap.
Bytes encodeRle8(const Canvas& c);

// Expands an RLE8 stream into `out` (top row first). Returns false on a
// malformed stream. Used to double-check every encoded picture.
bool decodeRle8(const Bytes& data, int w, int h, std::vector<uint8_t>& out);

// 8 bits per pixel, run-length encoded; the palette is stored as given.
Bytes makeBmpRle8(const Canvas& c, const Palette& pal);

// 8 bits per pixel, uncompressed; the palette is padded to 256 entries.
Bytes makeBmp8(const Canvas& c, const Palette& pal);

// 24 bits per pixel, uncompressed.
Bytes makeBmp24(const RgbImage& img);

struct IconImage {
    const Canvas* pixels = nullptr;
    const Palette* palette = nullptr;
    int bitsPerPixel = 8;            // 8 or 4
    std::vector<bool> transparent;   // one flag per pixel, row 0 at the top
};

// Complete .ico file with the images in the order given.
Bytes makeIco(const std::vector<IconImage>& images);

}  // namespace genpics
