#include "art.h"

#include <algorithm>
#include <string>

#include "font.h"
#include "png.h"

namespace genpics {

namespace {

const Rgb kWhite = rgb(255, 255, 255);
const Rgb kBlack = rgb(0, 0, 0);

void centredLines(RgbImage& img, const std::vector<std::string>& lines, int scale, Rgb color)
{
    const int lineGap = 4 * scale;
    const int height = static_cast<int>(lines.size()) * kCapH * scale +
                       (static_cast<int>(lines.size()) - 1) * lineGap;
    int y = (img.h - height) / 2;
    for (const std::string& line : lines) {
        const int x = (img.w - textWidth(line, scale)) / 2;
        drawText(x, y, line, scale, [&](int px, int py) { img.set(px, py, color); });
        y += kCapH * scale + lineGap;
    }
}

Rgb darken(Rgb c, int percent) { return shade(c, percent, 100); }

}  // namespace

RgbImage renderBlank()
{
    RgbImage img(kThumbW, kThumbH, kBlack);
    centredLines(img, {"Blank"}, 2, kWhite);
    return img;
}

RgbImage renderNotAvailable()
{
    RgbImage img(kThumbW, kThumbH, kBlack);
    centredLines(img, {"Image not", "available"}, 2, kWhite);
    return img;
}

// ---------------------------------------------------------------------------
// Splash: a darkened collage of thumbnails with the title running up a
// strip on the left.

RgbImage renderSplash()
{
    constexpr int W = 392;
    constexpr int H = 215;
    constexpr int kStrip = 40;
    RgbImage img(W, H, rgb(10, 8, 20));

    struct Tile {
        int layer;
        int number;
        int x;
        int y;
        int brightness;  // percent
    };
    const Tile tiles[] = {
        {1, 14, 34, -78, 42},  {1, 4, 190, -60, 48},   {2, 171, 334, -34, 45},
        {1, 10, 92, 22, 60},   {1, 2, 252, 52, 62},    {1, 8, 12, 116, 55},
        {1, 12, 158, 124, 58}, {1, 17, 306, 150, 55},
    };
    for (const Tile& t : tiles) {
        const Picture pic = renderThumbnail(t.layer, t.number, false);
        const RgbImage rgbPic = toRgb(pic.canvas, pic.palette);
        // Soft drop shadow, then a thin dark border around the tile.
        for (int y = 0; y < kThumbH; ++y)
            for (int x = 0; x < kThumbW; ++x) {
                const int sx = t.x + x + 5;
                const int sy = t.y + y + 5;
                if (sx >= 0 && sy >= 0 && sx < W && sy < H)
                    img.set(sx, sy, darken(img.get(sx, sy), 40));
            }
        img.rect(t.x - 2, t.y - 2, kThumbW + 4, kThumbH + 4, rgb(6, 5, 12));
        for (int y = 0; y < kThumbH; ++y)
            for (int x = 0; x < kThumbW; ++x)
                img.set(t.x + x, t.y + y, darken(rgbPic.get(x, y), t.brightness));
    }

    // Fade the collage towards the title strip.
    for (int y = 0; y < H; ++y)
        for (int x = kStrip; x < kStrip + 60; ++x)
            img.set(x, y, darken(img.get(x, y), 40 + (x - kStrip)));

    // Title strip with a gold edge.
    for (int y = 0; y < H; ++y) {
        const Rgb band = mix(rgb(34, 18, 52), rgb(12, 10, 26), y / 27, 7);
        for (int x = 0; x < kStrip; ++x)
            img.set(x, y, band);
        img.set(kStrip, y, rgb(214, 170, 70));
        img.set(kStrip + 1, y, rgb(90, 62, 28));
    }

    // Text turned 90 degrees counter-clockwise: glyph column tx goes up
    // from `bottom`, glyph row ty goes right from `left`.
    auto upText = [&](const std::string& text, int scale, int left, Rgb color, Rgb shadow) {
        const int len = textWidth(text, scale);
        const int bottom = (H + len) / 2 - 1;
        for (int pass = 0; pass < 2; ++pass)
            drawText(0, 0, text, scale, [&](int tx, int ty) {
                const int off = pass == 0 ? 1 : 0;
                img.set(left + ty + off, bottom - tx + off, pass == 0 ? shadow : color);
            });
    };
    upText("OMBattleAnim", 2, 6, rgb(255, 212, 96), rgb(60, 30, 10));
    upText("Orbitmarsh Battle Animation Editor", 1, 27, rgb(214, 206, 236), rgb(20, 10, 30));
    return img;
}

// ---------------------------------------------------------------------------
// About picture: Blix, a grinning marsh goblin holding up a lantern.

Picture renderAbout()
{
    constexpr int W = 142;
    constexpr int H = 144;
    Picture pic{Canvas(W, H), Palette{}};
    Palette& pal = pic.palette;
    Canvas& bg = pic.canvas;
    Rng rng(hashSeed(910, 1, 1));

    // Night marsh behind him.
    const int skyFirst = pal.ramp(rgb(22, 18, 58), rgb(104, 70, 130), 8);
    const int horizon = 98;
    for (int y = 0; y < horizon; ++y) {
        const int band = y * 8 / horizon;
        bg.hline(0, W - 1, y, skyFirst + band);
        if (band < 7 && (y + 1) * 8 / horizon != band)
            for (int x = y & 1; x < W; x += 2)
                bg.set(x, y, skyFirst + band + 1);
    }
    const int star = pal.add(rgb(240, 236, 200));
    for (int i = 0; i < 40; ++i)
        bg.set(rng.range(0, W - 1), rng.range(0, 70), star);
    const int moonHalo = pal.add(rgb(96, 84, 130));
    const int moon = pal.add(rgb(246, 238, 196));
    bg.disc(118, 22, 14, moonHalo);
    bg.disc(118, 22, 10, moon);
    bg.disc(121, 19, 9, moonHalo);  // crescent cut
    const int trees = pal.add(rgb(28, 30, 50));
    const std::vector<int> tl = [&] {
        std::vector<int> v(static_cast<size_t>(W));
        const std::vector<int> a = noise1d(rng, W, 6, 3);
        const std::vector<int> b = noise1d(rng, W, 25, 6);
        for (int x = 0; x < W; ++x)
            v[static_cast<size_t>(x)] = horizon - 8 + a[static_cast<size_t>(x)] + b[static_cast<size_t>(x)];
        return v;
    }();
    for (int x = 0; x < W; ++x)
        bg.vline(x, tl[static_cast<size_t>(x)], horizon - 1, trees);
    const int waterFirst = pal.ramp(rgb(56, 60, 100), rgb(14, 26, 40), 5);
    for (int y = horizon; y < H; ++y)
        bg.hline(0, W - 1, y, waterFirst + (y - horizon) * 5 / (H - horizon));
    const int streak = pal.add(rgb(110, 110, 150));
    for (int i = 0; i < 16; ++i) {
        const int y = rng.range(horizon + 2, H - 1);
        const int x = rng.range(-6, W);
        bg.hline(x, x + rng.range(4, 14), y, streak);
    }
    const int reed = pal.add(rgb(34, 60, 40));
    const int cattail = pal.add(rgb(86, 52, 30));
    for (int i = 0; i < 9; ++i) {
        for (int side = 0; side < 2; ++side) {
            const int x = side == 0 ? rng.range(0, 18) : rng.range(W - 16, W - 1);
            const int hgt = rng.range(26, 56);
            const int lean = rng.range(-3, 3);
            bg.line(x, H - 1, x + lean, H - 1 - hgt, reed);
            if (i % 2 == 0)
                bg.ellipse(x + lean, H - 1 - hgt + 5, 1, 3, cattail);
        }
    }

    // Lantern glow on the background.
    const Rgb glowRgb = rgb(255, 214, 110);
    const int glow1 = pal.add(mix(rgb(70, 54, 100), glowRgb, 1, 5));
    const int glow2 = pal.add(mix(rgb(70, 54, 100), glowRgb, 2, 5));
    const int glow3 = pal.add(mix(rgb(70, 54, 100), glowRgb, 3, 5));
    const int lx = 108;
    const int ly = 108;
    bg.disc(lx, ly, 32, glow1);
    bg.disc(lx, ly, 23, glow2);
    bg.disc(lx, ly, 15, glow3);

    // Mossy stump he stands on.
    const int moss = pal.add(rgb(58, 96, 46));
    const int mossLit = pal.add(rgb(96, 140, 60));
    const int bark = pal.add(rgb(70, 46, 30));
    bg.rect(36, 128, 58, 16, bark);
    bg.ellipse(65, 128, 31, 6, moss);
    bg.ellipse(60, 127, 22, 3, mossLit);

    // Blix himself, drawn on his own layer and outlined afterwards.
    Canvas fig(W, H, 0);
    const int skinLit = pal.add(rgb(168, 222, 104));
    const int skin = pal.add(rgb(108, 176, 66));
    const int skinDark = pal.add(rgb(64, 124, 48));
    const int skinWarm = pal.add(rgb(214, 222, 96));
    const int earInner = pal.add(rgb(186, 122, 104));
    const int eyeWhite = pal.add(rgb(252, 246, 222));
    const int iris = pal.add(rgb(232, 168, 36));
    const int pupil = pal.add(rgb(24, 16, 16));
    const int brow = pal.add(rgb(40, 78, 30));
    const int mouth = pal.add(rgb(70, 20, 34));
    const int tooth = pal.add(rgb(250, 250, 236));
    const int tongue = pal.add(rgb(214, 80, 90));
    const int tunic = pal.add(rgb(128, 84, 44));
    const int tunicLit = pal.add(rgb(164, 112, 60));
    const int belt = pal.add(rgb(60, 36, 22));
    const int buckle = pal.add(rgb(236, 196, 70));
    const int hood = pal.add(rgb(156, 58, 52));
    const int hoodDark = pal.add(rgb(104, 36, 40));
    const int metal = pal.add(rgb(58, 58, 70));
    const int metalLit = pal.add(rgb(120, 120, 136));
    const int pane = pal.add(rgb(255, 222, 120));
    const int flame = pal.add(rgb(255, 150, 40));
    const int flameCore = pal.add(rgb(255, 252, 220));
    const int outline = pal.add(rgb(18, 26, 20));

    // Legs and big feet.
    fig.rect(51, 110, 6, 14, skin);
    fig.rect(69, 110, 6, 14, skin);
    fig.ellipse(51, 125, 8, 3, skinDark);
    fig.ellipse(75, 125, 8, 3, skinDark);
    // Tunic with belt.
    fig.polygon({{46, 78}, {80, 78}, {88, 114}, {38, 114}}, tunic);
    fig.polygon({{46, 78}, {56, 78}, {50, 114}, {38, 114}}, tunicLit);
    fig.rect(42, 98, 43, 4, belt);
    fig.rect(60, 97, 6, 6, buckle);
    fig.rect(62, 99, 2, 2, belt);
    // Waving arm.
    fig.thickLine(48, 88, 30, 76, 3, skin);
    fig.disc(27, 72, 5, skin);
    fig.disc(21, 67, 2, skin);
    fig.disc(25, 64, 2, skin);
    fig.disc(30, 64, 2, skin);
    fig.disc(33, 69, 2, skin);
    // Lantern arm and the lantern.
    fig.thickLine(78, 88, 100, 96, 3, skin);
    fig.ring(lx, 97, 4, 4, 1, metal);
    fig.disc(101, 96, 4, skinLit);
    fig.polygon({{99, 101}, {117, 101}, {114, 97}, {102, 97}}, metal);
    fig.rect(100, 101, 17, 15, pane);
    fig.vline(100, 101, 115, metal);
    fig.vline(108, 101, 115, metal);
    fig.vline(116, 101, 115, metal);
    fig.ellipse(lx, 109, 2, 4, flame);
    fig.ellipse(lx, 110, 1, 2, flameCore);
    fig.rect(98, 116, 21, 3, metal);
    fig.hline(102, 114, 98, metalLit);

    // Ears, head, hood.
    for (int side = 0; side < 2; ++side) {
        auto mx = [&](int x) { return side == 0 ? x : 124 - x; };
        fig.polygon({{mx(44), 48}, {mx(4), 30}, {mx(12), 44}, {mx(42), 70}}, skin);
        fig.polygon({{mx(40), 54}, {mx(14), 38}, {mx(19), 46}, {mx(40), 64}}, earInner);
    }
    const int hx = 62;
    const int hy = 58;
    const int rx = 25;
    const int ry = 22;
    for (int dy = -ry; dy <= ry; ++dy)
        for (int dx = -rx; dx <= rx; ++dx) {
            if (!insideEllipse(dx, dy, rx, ry))
                continue;
            const int t = dx * 3 + dy * 4;
            int col = t < -40 ? skinLit : t > 60 ? skinDark : skin;
            if (dx > rx - 6 && dy > -6)
                col = skinWarm;
            fig.set(hx + dx, hy + dy, col);
        }
    fig.polygon({{37, 50}, {42, 36}, {58, 30}, {76, 32}, {88, 44}, {87, 50}, {62, 42}}, hood);
    fig.polygon({{37, 50}, {62, 42}, {87, 50}, {87, 53}, {62, 45}, {37, 53}}, hoodDark);
    fig.polygon({{58, 30}, {70, 16}, {88, 10}, {98, 18}, {86, 21}, {78, 34}}, hood);
    fig.polygon({{70, 16}, {88, 10}, {86, 14}, {74, 20}}, hoodDark);
    fig.disc(98, 19, 4, buckle);

    // Face.
    fig.ellipse(51, 59, 6, 7, eyeWhite);
    fig.ellipse(73, 59, 6, 7, eyeWhite);
    fig.disc(53, 61, 3, iris);
    fig.disc(75, 61, 3, iris);
    fig.disc(54, 61, 1, pupil);
    fig.disc(76, 61, 1, pupil);
    fig.set(52, 59, eyeWhite);
    fig.set(74, 59, eyeWhite);
    fig.thickLine(44, 49, 56, 52, 1, brow);
    fig.thickLine(68, 52, 80, 48, 1, brow);
    fig.ellipse(63, 67, 4, 3, skinDark);
    fig.set(62, 66, skinLit);
    fig.set(61, 68, mouth);
    fig.set(65, 68, mouth);
    fig.polygon({{43, 71}, {83, 71}, {79, 78}, {70, 82}, {56, 82}, {47, 78}}, mouth);
    fig.ellipse(63, 80, 7, 2, tongue);
    for (int x = 47; x < 80; x += 4)
        fig.rect(x, 71, 3, 3, tooth);
    fig.polygon({{71, 73}, {75, 73}, {73, 77}}, tooth);
    fig.line(43, 71, 40, 67, mouth);
    fig.line(83, 71, 86, 67, mouth);
    fig.ellipse(44, 66, 3, 2, earInner);
    fig.ellipse(82, 66, 3, 2, earInner);
    fig.set(70, 44, skinDark);
    fig.set(71, 45, skinDark);
    fig.set(49, 69, skinDark);

    // Outline and compose.
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (fig.get(x, y)) {
                bg.set(x, y, fig.get(x, y));
                continue;
            }
            if ((x > 0 && fig.get(x - 1, y)) || (x + 1 < W && fig.get(x + 1, y)) ||
                (y > 0 && fig.get(x, y - 1)) || (y + 1 < H && fig.get(x, y + 1)))
                bg.set(x, y, outline);
        }

    // His name in the corner.
    const int nameShadow = outline;
    const int nameColor = pal.add(rgb(236, 230, 190));
    const int nx = W - textWidth("Blix", 1) - 4;
    const int ny = H - kGlyphH - 2;
    drawText(nx + 1, ny + 1, "Blix", 1, [&](int x, int y) { bg.set(x, y, nameShadow); });
    drawText(nx, ny, "Blix", 1, [&](int x, int y) { bg.set(x, y, nameColor); });
    return pic;
}

// ---------------------------------------------------------------------------
// Application icon: a framed moonlit marsh (layer 1) laid over a lattice
// card (layer 2).

namespace {

enum IconColor {
    kIcOutline, kIcSkyTop, kIcSkyMid, kIcSkyLow, kIcMoon, kIcWaterDark, kIcWaterLit, kIcReed,
    kIcGold, kIcGoldDark, kIcCard, kIcCardLine, kIcWhite, kIcCattail, kIcHalo, kIcSkyDeep,
};

Palette iconPalette()
{
    Palette p;
    p.add(rgb(16, 14, 28));    // outline
    p.add(rgb(34, 36, 96));    // sky top
    p.add(rgb(74, 52, 136));   // sky mid
    p.add(rgb(150, 90, 160));  // sky low
    p.add(rgb(252, 240, 170)); // moon
    p.add(rgb(22, 56, 84));    // water
    p.add(rgb(110, 180, 210)); // water highlight
    p.add(rgb(40, 104, 50));   // reeds
    p.add(rgb(240, 188, 64));  // gold frame
    p.add(rgb(150, 96, 34));   // gold shade
    p.add(rgb(34, 112, 130));  // lattice card
    p.add(rgb(130, 226, 240)); // lattice bars
    p.add(rgb(255, 255, 255)); // white
    p.add(rgb(120, 70, 34));   // cattail
    p.add(rgb(120, 96, 170));  // moon halo
    p.add(rgb(22, 22, 64));    // deep sky
    return p;
}

// Inside of the small icon's front card (9 x 9, palette digits).
constexpr const char* kSmallScene[9] = {
    "FFFCFFFFF",
    "111111441",
    "222224444",
    "272224444",
    "3D3333443",
    "3D3333333",
    "575555665",
    "775665555",
    "777555665",
};

}  // namespace

IconArt drawIcon()
{
    IconArt art{iconPalette(), Canvas(32, 32, kIcOutline), std::vector<bool>(32 * 32, true),
                Canvas(16, 16, kIcOutline), std::vector<bool>(16 * 16, true)};

    // 32 x 32, 8 bits per pixel.
    Canvas& big = art.big;
    std::vector<bool>& bigMask = art.bigMask;
    auto solid = [&](int x, int y, int w, int h) {
        for (int yy = y; yy < y + h; ++yy)
            for (int xx = x; xx < x + w; ++xx)
                bigMask[static_cast<size_t>(yy) * 32 + xx] = false;
    };
    // Back card with a diagonal lattice.
    solid(0, 0, 22, 22);
    big.rect(0, 0, 22, 22, kIcOutline);
    big.rect(1, 1, 20, 20, kIcCardLine);
    big.rect(2, 2, 18, 18, kIcCard);
    for (int y = 2; y < 20; ++y)
        for (int x = 2; x < 20; ++x)
            if ((x + y) % 6 == 0 || (x - y + 24) % 6 == 0)
                big.set(x, y, kIcCardLine);
    // Front card: moon over a marsh in a gold frame.
    solid(9, 9, 23, 23);
    big.rect(9, 9, 23, 23, kIcOutline);
    big.rect(10, 10, 21, 21, kIcGold);
    big.frame(11, 11, 19, 19, kIcGoldDark);
    const int skyRows[] = {kIcSkyDeep, kIcSkyDeep, kIcSkyTop, kIcSkyTop, kIcSkyMid, kIcSkyMid,
                           kIcSkyMid, kIcSkyLow, kIcSkyLow, kIcSkyLow, kIcSkyLow};
    for (int i = 0; i < 11; ++i)
        big.hline(12, 28, 12 + i, skyRows[i]);
    big.disc(24, 17, 5, kIcHalo);
    big.disc(24, 17, 3, kIcMoon);
    big.set(14, 14, kIcWhite);
    big.set(18, 13, kIcMoon);
    big.set(16, 17, kIcMoon);
    for (int y = 23; y <= 28; ++y)
        big.hline(12, 28, y, kIcWaterDark);
    big.hline(21, 26, 24, kIcWaterLit);
    big.hline(22, 25, 26, kIcWaterLit);
    big.hline(14, 17, 25, kIcWaterLit);
    big.hline(23, 24, 28, kIcWaterLit);
    // Reeds with a cattail.
    big.vline(13, 17, 28, kIcReed);
    big.vline(15, 20, 28, kIcReed);
    big.line(17, 28, 19, 21, kIcReed);
    big.rect(14, 16, 3, 4, kIcCattail);
    big.vline(15, 14, 15, kIcReed);
    big.rect(12, 27, 8, 2, kIcReed);

    // 16 x 16, 4 bits per pixel: the same two cards, simplified.
    Canvas& small = art.small;
    std::vector<bool>& smallMask = art.smallMask;
    auto put = [&](int x, int y, int v) {
        small.set(x, y, v);
        smallMask[static_cast<size_t>(y) * 16 + x] = false;
    };
    for (int y = 0; y <= 10; ++y)
        for (int x = 0; x <= 10; ++x) {
            const bool edge = x == 0 || y == 0 || x == 10 || y == 10;
            const bool rim = x == 1 || y == 1 || x == 9 || y == 9;
            put(x, y, edge ? kIcOutline : rim || (x + y) % 4 == 0 ? kIcCardLine : kIcCard);
        }
    for (int y = 4; y < 16; ++y)
        for (int x = 4; x < 16; ++x) {
            int v = kIcGold;
            if (x == 4 || y == 4)
                v = kIcOutline;
            else if (x >= 6 && y >= 6 && x <= 14 && y <= 14) {
                const char ch = kSmallScene[y - 6][x - 6];
                v = ch <= '9' ? ch - '0' : ch - 'A' + 10;
            }
            put(x, y, v);
        }

    return art;
}

Bytes makeIconFile()
{
    const IconArt art = drawIcon();
    return makeIco({IconImage{&art.big, &art.palette, 8, art.bigMask},
                    IconImage{&art.small, &art.palette, 4, art.smallMask}});
}

std::vector<std::pair<int, Bytes>> makeThemeIcons()
{
    const IconArt art = drawIcon();
    // The pixel art grown by whole steps: 48 from the 16-pixel drawing, the
    // larger ones from the 32-pixel drawing.
    struct Step {
        int size;
        bool fromSmall;
        int scale;
    };
    constexpr Step kSteps[] = {{16, true, 1},  {32, false, 1},  {48, true, 3},
                               {64, false, 2}, {128, false, 4}, {256, false, 8}};
    std::vector<std::pair<int, Bytes>> out;
    for (const Step& s : kSteps)
        out.emplace_back(s.size, s.fromSmall ? makePng(art.small, art.palette, art.smallMask, s.scale)
                                             : makePng(art.big, art.palette, art.bigMask, s.scale));
    return out;
}

}  // namespace genpics
