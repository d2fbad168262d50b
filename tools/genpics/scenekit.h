// Shared pieces for painting the thumbnail scenes.
#pragma once

#include <initializer_list>
#include <utility>
#include <vector>

#include "gfx.h"

namespace genpics {

struct SceneContext {
    Canvas& c;
    Palette& pal;
    Rng& rng;
    int hue;
    int w() const { return c.width(); }
    int h() const { return c.height(); }
};

// A vertical banded gradient occupying rows [top, bottom).
struct Bands {
    int first = 0;
    int count = 1;
    int top = 0;
    int bottom = 1;
    int at(int y) const;
    bool owns(int index) const { return index >= first && index < first + count; }
};

// Adds `count` colours from `from` to `to` and paints rows [top, bottom).
// With `dither`, the last row of each band is checkered with the next one.
Bands paintBands(SceneContext& s, Rgb from, Rgb to, int count, int top, int bottom, bool dither);

// Sum of several noise octaves around `base` ({period, amplitude} pairs).
std::vector<int> ridge(Rng& rng, int count, int base, std::initializer_list<std::pair<int, int>> octaves);

// Every column x from heights[x] down to the bottom gets colour c.
void fillBelow(Canvas& c, const std::vector<int>& heights, int color, int bottom = -1);

// Fir tree: three stacked triangles and a stub of trunk; `lit` (if >= 0)
// paints the left half of each tier.
void drawFir(Canvas& c, int x, int baseY, int height, int color, int lit = -1);

// Scattered one-pixel stars limited to pixels of the given bands.
void scatterStars(SceneContext& s, const Bands& sky, int count, int yMax, const std::vector<int>& colors);

void sceneLayer1(SceneContext& s, int kind);
void sceneLayer2(SceneContext& s, int kind);

constexpr int kLayer1Kinds = 10;
constexpr int kLayer2Kinds = 10;

}  // namespace genpics
