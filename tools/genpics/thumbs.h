// Placeholder thumbnails for the two background-layer pickers.
#pragma once

#include "gfx.h"

namespace genpics {

constexpr int kThumbW = 166;
constexpr int kThumbH = 145;

struct Picture {
    Canvas canvas;
    Palette palette;
};

// Picture for background `number` of layer 1 or 2, with or without the
// caption box ("L1 237" plus the number's two bytes in hex).
Picture renderThumbnail(int layer, int number, bool withLabel);

}  // namespace genpics
