// A small 5x9 bitmap font (capitals and digits 7 rows tall, two rows of
// descender for lower case) used for every caption in the pictures.
#pragma once

#include <functional>
#include <string_view>

namespace genpics {

constexpr int kGlyphW = 5;
constexpr int kGlyphH = 9;   // full cell including descenders
constexpr int kCapH = 7;     // height of capitals and digits
constexpr int kAdvance = 6;  // glyph width plus one column of spacing

// Called once per lit font pixel (already scaled).
using PlotFn = std::function<void(int x, int y)>;

// Width in pixels of `text` at `scale` (no trailing spacing).
int textWidth(std::string_view text, int scale);

// Draws `text` with its top-left corner at (x, y).
void drawText(int x, int y, std::string_view text, int scale, const PlotFn& plot);

// Row bits of one glyph (bit 4 = leftmost column); unknown characters
// come out as '?'.
const unsigned char* glyphRows(char ch);

}  // namespace genpics
