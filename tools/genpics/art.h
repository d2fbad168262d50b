// The one-off pictures: blank and missing-picture tiles, the splash, the
// About picture (Blix the marsh goblin) and the application icon.
#pragma once

#include <utility>
#include <vector>

#include "bmp.h"
#include "gfx.h"
#include "thumbs.h"

namespace genpics {

RgbImage renderBlank();          // 166 x 145
RgbImage renderNotAvailable();   // 166 x 145
RgbImage renderSplash();         // 392 x 215
Picture renderAbout();           // 142 x 144, at most 256 colours
Bytes makeIconFile();            // .ico with a 32 x 32 and a 16 x 16 image

// The application icon's two drawings, with the pixels outside the shape.
struct IconArt {
    Palette palette;
    Canvas big;                    // 32 x 32
    std::vector<bool> bigMask;     // true: transparent
    Canvas small;                  // 16 x 16
    std::vector<bool> smallMask;
};
IconArt drawIcon();

// The icon for the desktop's icon theme: (size, PNG file) at 16, 32, 48,
// 64, 128 and 256 pixels.
std::vector<std::pair<int, Bytes>> makeThemeIcons();

}  // namespace genpics
