// PNG writer for the program icon in the desktop's icon theme: 8-bit RGBA,
// deflated with zlib, no filtering.
#pragma once

#include <vector>

#include "bmp.h"
#include "gfx.h"

namespace genpics {

// An indexed picture as a PNG file, every pixel drawn as a scale x scale
// block; pixels flagged in `transparent` (row 0 at the top) are fully
// transparent, the others opaque.
Bytes makePng(const Canvas& c, const Palette& pal, const std::vector<bool>& transparent, int scale);

}  // namespace genpics
