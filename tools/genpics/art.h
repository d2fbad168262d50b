// The one-off pictures: blank and missing-picture tiles, the splash, the
// About picture (Blix the marsh goblin) and the application icon.
#pragma once

#include "bmp.h"
#include "gfx.h"
#include "thumbs.h"

namespace genpics {

RgbImage renderBlank();          // 166 x 145
RgbImage renderNotAvailable();   // 166 x 145
RgbImage renderSplash();         // 392 x 215
Picture renderAbout();           // 142 x 144, at most 256 colours
Bytes makeIconFile();            // .ico with a 32 x 32 and a 16 x 16 image

}  // namespace genpics
