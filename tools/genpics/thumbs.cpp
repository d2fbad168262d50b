#include "thumbs.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "font.h"
#include "scenekit.h"

namespace genpics {

namespace {

// Caption colours sit at the start of every thumbnail palette.
enum LabelColor { kBoxFill, kBoxEdge, kText, kAccent, kHex };

// Scene kind for a background number. Consecutive numbers never share a
// kind: each one steps 1..kinds-1 places on from its predecessor.
int sceneKind(int layer, int number, int kinds)
{
    int kind = 0;
    for (int n = 0; n <= number; ++n)
        kind = (kind + 1 + static_cast<int>(hashSeed(layer, n, 7) % static_cast<uint64_t>(kinds - 1))) % kinds;
    return kind;
}

void drawLabel(Canvas& c, int layer, int number)
{
    // Appended rather than "L" + to_string(): GCC 12 at -O3 warns
    // (-Wrestrict) inside the operator+ it inlines.
    std::string tag = "L";
    tag += std::to_string(layer);
    const std::string num = std::to_string(number);
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X %02X", number & 0xFF, (number >> 8) & 0xFF);

    const int pad = 3;
    const int tagW = textWidth(tag, 1);
    const int numW = textWidth(num, 2);
    const int line1 = tagW + 4 + numW;
    const int boxW = pad * 2 + std::max(line1, textWidth(hex, 1));
    const int boxH = pad + kCapH * 2 + 3 + kCapH + pad;
    const int x0 = 2;
    const int y0 = 2;
    c.rect(x0, y0, boxW, boxH, kBoxFill);
    c.frame(x0, y0, boxW, boxH, kBoxEdge);
    const int ty = y0 + pad;
    drawText(x0 + pad, ty + kCapH, tag, 1, [&](int x, int y) { c.set(x, y, kAccent); });
    drawText(x0 + pad + tagW + 4, ty, num, 2, [&](int x, int y) { c.set(x, y, kText); });
    drawText(x0 + pad, ty + kCapH * 2 + 3, hex, 1, [&](int x, int y) { c.set(x, y, kHex); });
}

}  // namespace

Picture renderThumbnail(int layer, int number, bool withLabel)
{
    Picture pic{Canvas(kThumbW, kThumbH), Palette{}};
    Palette& pal = pic.palette;
    pal.add(rgb(14, 12, 24));
    pal.add(rgb(96, 92, 120));
    pal.add(rgb(250, 250, 250));
    pal.add(layer == 1 ? rgb(255, 204, 64) : rgb(96, 224, 255));
    pal.add(rgb(176, 176, 192));

    Rng rng(hashSeed(layer, number, 1));
    const int hue = static_cast<int>(hashSeed(layer, number, 2) % 360);
    SceneContext ctx{pic.canvas, pal, rng, hue};
    if (layer == 1)
        sceneLayer1(ctx, sceneKind(1, number, kLayer1Kinds));
    else
        sceneLayer2(ctx, sceneKind(2, number, kLayer2Kinds));
    if (withLabel)
        drawLabel(pic.canvas, layer, number);
    return pic;
}

}  // namespace genpics
