// Layer-1 scenes: full backdrops with banded skies and silhouettes.
#include <algorithm>

#include "scenekit.h"

namespace genpics {

int Bands::at(int y) const
{
    if (y < top)
        return first;
    if (y >= bottom)
        return first + count - 1;
    return first + (y - top) * count / (bottom - top);
}

Bands paintBands(SceneContext& s, Rgb from, Rgb to, int count, int top, int bottom, bool dither)
{
    Bands b;
    b.first = s.pal.ramp(from, to, count);
    b.count = count;
    b.top = top;
    b.bottom = std::max(bottom, top + 1);
    for (int y = top; y < bottom; ++y) {
        const int c = b.at(y);
        s.c.hline(0, s.w() - 1, y, c);
        if (dither && y + 1 < bottom && b.at(y + 1) != c)
            for (int x = (y & 1); x < s.w(); x += 2)
                s.c.set(x, y, b.at(y + 1));
    }
    return b;
}

std::vector<int> ridge(Rng& rng, int count, int base, std::initializer_list<std::pair<int, int>> octaves)
{
    std::vector<int> out(static_cast<size_t>(count), base);
    for (const auto& [period, amp] : octaves) {
        const std::vector<int> n = noise1d(rng, count, period, amp);
        for (size_t i = 0; i < out.size(); ++i)
            out[i] += n[i];
    }
    return out;
}

void fillBelow(Canvas& c, const std::vector<int>& heights, int color, int bottom)
{
    if (bottom < 0)
        bottom = c.height() - 1;
    for (int x = 0; x < c.width() && x < static_cast<int>(heights.size()); ++x)
        c.vline(x, heights[static_cast<size_t>(x)], bottom, color);
}

void drawFir(Canvas& c, int x, int baseY, int height, int color, int lit)
{
    c.rect(x - 1, baseY - height / 6, 3, height / 6 + 1, color);
    const int tiers = 3;
    for (int t = 0; t < tiers; ++t) {
        const int tierBase = baseY - height / 6 - t * height / 5;
        const int tierTop = tierBase - height * (tiers + 1 - t) / (tiers + 2);
        const int half = (height / 3) * (tiers - t) / tiers + 2;
        c.polygon({{x - half, tierBase}, {x + half + 1, tierBase}, {x + 1, tierTop}, {x, tierTop}}, color);
        if (lit >= 0)
            c.polygon({{x - half, tierBase}, {x, tierBase}, {x, tierTop}}, lit);
    }
}

void scatterStars(SceneContext& s, const Bands& sky, int count, int yMax, const std::vector<int>& colors)
{
    for (int i = 0; i < count; ++i) {
        const int x = s.rng.range(0, s.w() - 1);
        const int y = s.rng.range(0, std::max(0, yMax));
        const int col = colors[static_cast<size_t>(s.rng.range(0, static_cast<int>(colors.size()) - 1))];
        if (sky.owns(s.c.get(x, y)))
            s.c.set(x, y, col);
    }
}

namespace {

// Mountain range built from a handful of peaks. Each column belongs to the
// peak that rises highest above it; faces left of their peak catch the
// light, and peaks above `snowLine` carry a cap of snow.
void paintRange(SceneContext& s, int base, int peaks, int minTop, int maxTop, int dark, int lit,
                int snow, int snowShade, int snowLine)
{
    struct Peak {
        int x;
        int top;
        int slopeL;  // eighths of a pixel per column
        int slopeR;
    };
    const int w = s.w();
    std::vector<Peak> list;
    for (int i = 0; i < peaks; ++i)
        list.push_back({(i * w) / peaks + s.rng.range(0, w / peaks), s.rng.range(minTop, maxTop),
                        s.rng.range(5, 12), s.rng.range(5, 12)});
    const std::vector<int> rough = noise1d(s.rng, w, 4, 1);
    const std::vector<int> snowDepth = noise1d(s.rng, w, 3, 2);
    for (int x = 0; x < w; ++x) {
        int best = base;
        int owner = -1;
        for (int i = 0; i < peaks; ++i) {
            const Peak& p = list[static_cast<size_t>(i)];
            const int dx = x - p.x;
            const int y = p.top + (dx < 0 ? -dx * p.slopeL : dx * p.slopeR) / 8;
            if (y < best) {
                best = y;
                owner = i;
            }
        }
        const int top = best + rough[static_cast<size_t>(x)];
        const bool isLit = owner >= 0 && x < list[static_cast<size_t>(owner)].x;
        s.c.vline(x, top, s.h() - 1, isLit ? lit : dark);
        if (owner >= 0 && snow >= 0) {
            const Peak& p = list[static_cast<size_t>(owner)];
            if (p.top < snowLine) {
                const int capBottom = p.top + (snowLine - p.top) / 2 + 3 + snowDepth[static_cast<size_t>(x)];
                if (top < capBottom)
                    s.c.vline(x, top, capBottom, isLit ? snow : snowShade);
            }
        }
    }
}

void drawMoon(SceneContext& s, const Bands& sky, int cx, int cy, int r, Rgb color, bool crescent)
{
    const Rgb skyAt = s.pal.colors[static_cast<size_t>(sky.at(cy))];
    const int halo = s.pal.add(mix(skyAt, color, 1, 3));
    const int body = s.pal.add(color);
    const int crater = s.pal.add(mix(color, skyAt, 1, 4));
    s.c.disc(cx, cy, r + 4, halo);
    s.c.disc(cx, cy, r, body);
    s.c.disc(cx - r / 3, cy - r / 4, std::max(1, r / 4), crater);
    s.c.disc(cx + r / 3, cy + r / 3, std::max(1, r / 5), crater);
    if (crescent) {
        const int ox = cx + r / 2 + 1;
        const int oy = cy - r / 3;
        for (int dy = -r; dy <= r; ++dy)
            for (int dx = -r; dx <= r; ++dx)
                if (insideEllipse(dx, dy, r, r) && s.c.get(ox + dx, oy + dy) != halo)
                    s.c.set(ox + dx, oy + dy, insideEllipse(ox + dx - cx, oy + dy - cy, r + 4, r + 4)
                                                  ? halo
                                                  : sky.at(oy + dy));
    }
}

// Flat-bottomed cloud made of overlapping discs.
void drawCloud(SceneContext& s, int x, int baseY, int width, int light, int shadow)
{
    const int n = std::max(2, width / 10);
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < n; ++i) {
            const int cx = x + i * width / n + width / (2 * n);
            const int edge = std::min(i, n - 1 - i);
            const int r = 4 + edge * 3 + (i * 7 + x) % 3;
            for (int dy = -r; dy <= r; ++dy)
                for (int dx = -r; dx <= r; ++dx) {
                    const int y = baseY - r / 2 + dy + (pass == 0 ? 1 : 0);
                    if (y <= baseY && insideEllipse(dx, dy, r, r))
                        s.c.set(cx + dx, y, pass == 0 ? shadow : light);
                }
        }
    s.c.hline(x + 2, x + width - 2, baseY, shadow);
}

// --- Marsh at night with reeds and a moon --------------------------------
void sceneMarsh(SceneContext& s)
{
    const int W = s.w();
    const int H = s.h();
    const int horizon = s.rng.range(76, 90);
    const Rgb top = hsv(s.hue, 190, 50);
    const Rgb low = hsv(s.hue + 35, 110, 170);
    const Bands sky = paintBands(s, top, low, 11, 0, horizon, true);
    scatterStars(s, sky, 40, horizon * 2 / 3, {s.pal.add(hsv(s.hue + 40, 40, 235)), s.pal.add(mix(top, low, 2, 3))});

    const int mx = s.rng.range(74, 140);
    const int my = s.rng.range(16, horizon - 42);
    const int mr = s.rng.range(8, 13);
    const Rgb moon = hsv(s.rng.range(35, 60), s.rng.range(30, 70), 245);
    drawMoon(s, sky, mx, my, mr, moon, s.rng.chance(35));

    // Far tree line and its reflection.
    const Rgb treeRgb = mix(low, hsv(s.hue + 70, 120, 30), 3, 4);
    const int tree = s.pal.add(treeRgb);
    std::vector<int> line = ridge(s.rng, W, horizon - 6, {{5, 3}, {23, 5}, {60, 4}});

    const Rgb waterTop = shade(low, 3, 4);
    const Rgb waterBottom = hsv(s.hue + 15, 170, 35);
    const Bands water = paintBands(s, waterTop, waterBottom, 7, horizon, H, false);
    const int reflTree = s.pal.add(mix(treeRgb, waterTop, 1, 3));
    for (int x = 0; x < W; ++x) {
        const int hgt = std::min(line[static_cast<size_t>(x)], horizon - 1);
        s.c.vline(x, hgt, horizon - 1, tree);
        s.c.vline(x, horizon, horizon + (horizon - hgt) / 3, reflTree);
    }

    // Water streaks and the moon's broken reflection.
    const int streak = s.pal.add(mix(waterTop, low, 2, 3));
    for (int i = 0; i < 34; ++i) {
        const int y = s.rng.range(horizon + 3, H - 1);
        const int len = 4 + (y - horizon) / 3 + s.rng.range(0, 10);
        const int x = s.rng.range(-10, W);
        if (water.owns(s.c.get(x, y)))
            s.c.hline(x, x + len, y, streak);
    }
    const int refl = s.pal.add(mix(moon, waterTop, 1, 3));
    for (int y = horizon + 2; y < H - 6; y += 3) {
        const int hw = mr * 2 / 3 + s.rng.range(-2, 3) + (y - horizon) / 10;
        const int j = s.rng.range(-2, 2);
        s.c.hline(mx - hw + j, mx + hw + j, y, refl);
    }

    // Mud islets near the horizon.
    const int mud = s.pal.add(mix(treeRgb, waterBottom, 1, 2));
    for (int i = 0; i < 3; ++i)
        s.c.ellipse(s.rng.range(0, W), horizon + s.rng.range(5, 16), s.rng.range(12, 28), 2, mud);

    // Foreground banks with reeds and cattails.
    const int bank = s.pal.add(hsv(s.hue + 60, 110, 28));
    const int reed = s.pal.add(hsv(s.hue + 80, 120, 50));
    const int reedLit = s.pal.add(hsv(s.hue + 70, 110, 85));
    const int tail = s.pal.add(hsv(25, 150, 70));
    const int leftEnd = s.rng.range(30, 60);
    const int rightStart = s.rng.range(W - 60, W - 30);
    std::vector<int> ground = ridge(s.rng, W, H - 12, {{9, 3}, {31, 4}});
    for (int x = 0; x < W; ++x) {
        int g = ground[static_cast<size_t>(x)];
        if (x > leftEnd && x < rightStart) {
            const int d = std::min(x - leftEnd, rightStart - x);
            g += d * d / 4;
        }
        ground[static_cast<size_t>(x)] = g;
        s.c.vline(x, g, H - 1, bank);
    }
    for (int side = 0; side < 2; ++side) {
        const int n = s.rng.range(9, 16);
        for (int i = 0; i < n; ++i) {
            const int x = side == 0 ? s.rng.range(0, leftEnd) : s.rng.range(rightStart, W - 1);
            const int base = ground[static_cast<size_t>(x)] + 1;
            const int hgt = s.rng.range(16, 46);
            const int lean = s.rng.range(-5, 5);
            s.c.line(x, base, x + lean, base - hgt, i % 3 == 0 ? reedLit : reed);
            if (s.rng.chance(55))
                s.c.ellipse(x + lean * 7 / 8, base - hgt + 5, 1, 3, tail);
            if (s.rng.chance(40))
                s.c.line(x, base - 2, x + (lean >= 0 ? 8 : -8), base - hgt / 2, reed);
        }
    }

    // Fireflies.
    const int glow = s.pal.add(hsv(70, 160, 255));
    const int glowDim = s.pal.add(mix(hsv(70, 160, 255), waterTop, 1, 2));
    for (int i = 0; i < 7; ++i) {
        const int x = s.rng.range(10, W - 10);
        const int y = s.rng.range(horizon - 20, H - 20);
        s.c.set(x - 1, y, glowDim);
        s.c.set(x + 1, y, glowDim);
        s.c.set(x, y - 1, glowDim);
        s.c.set(x, y + 1, glowDim);
        s.c.set(x, y, glow);
    }
}

// --- Mountains under a banded sky ----------------------------------------
void scenePeaks(SceneContext& s)
{
    const int W = s.w();
    const int H = s.h();
    const Rgb top = hsv(s.hue, 170, 90);
    const Rgb low = hsv(s.hue + 45, 90, 235);
    const Bands sky = paintBands(s, top, low, 13, 0, 100, true);
    s.c.rect(0, 100, W, H - 100, sky.first + sky.count - 1);

    if (s.rng.chance(50)) {
        const Rgb sun = hsv(s.hue + 50, 60, 255);
        const int sx = s.rng.range(60, 140);
        const int sy = s.rng.range(35, 60);
        const int sr = s.rng.range(10, 16);
        s.c.disc(sx, sy, sr + 5, s.pal.add(mix(s.pal.colors[static_cast<size_t>(sky.at(sy))], sun, 1, 3)));
        s.c.disc(sx, sy, sr, s.pal.add(sun));
    }
    const int cloud = s.pal.add(mix(low, rgb(255, 255, 255), 1, 2));
    const int cloudShade = s.pal.add(mix(low, top, 1, 3));
    for (int i = s.rng.range(2, 4); i > 0; --i) {
        const int cy = s.rng.range(12, 60);
        const int cx = s.rng.range(-20, W);
        const int rx = s.rng.range(14, 34);
        s.c.ellipse(cx, cy + 1, rx, 2, cloudShade);
        s.c.ellipse(cx, cy, rx, 2, cloud);
    }

    const int snow = s.pal.add(mix(rgb(250, 250, 255), low, 1, 6));
    const int snowShade = s.pal.add(mix(rgb(190, 200, 235), top, 1, 4));
    const Rgb farRgb = mix(low, hsv(s.hue + 200, 90, 90), 1, 2);
    paintRange(s, 86, s.rng.range(3, 5), 24, 56, s.pal.add(farRgb), s.pal.add(mix(farRgb, low, 2, 5)), snow,
               snowShade, 46);

    const Rgb midRgb = mix(top, hsv(s.hue + 200, 80, 30), 2, 3);
    paintRange(s, 112, s.rng.range(4, 6), 62, 90, s.pal.add(midRgb), s.pal.add(mix(midRgb, low, 1, 4)), -1, -1,
               0);

    // Near hills with a fringe of firs.
    const Rgb nearRgb = hsv(s.hue + 150, 90, 40);
    const int near = s.pal.add(nearRgb);
    const std::vector<int> hills = ridge(s.rng, W, 124, {{50, 8}, {17, 3}});
    fillBelow(s.c, hills, near);
    for (int x = s.rng.range(0, 5); x < W; x += s.rng.range(4, 9))
        drawFir(s.c, x, hills[static_cast<size_t>(x)] + 2, s.rng.range(8, 18), near);
    const int meadow = s.pal.add(mix(nearRgb, low, 1, 4));
    for (int y = 132; y < H; y += 4)
        for (int x = s.rng.range(0, 20); x < W; x += s.rng.range(12, 30))
            s.c.hline(x, x + s.rng.range(2, 6), y, meadow);
}

// --- Cavern with stalactites and crystals --------------------------------
void sceneCavern(SceneContext& s)
{
    const int W = s.w();
    const int H = s.h();
    const Rgb glowRgb = hsv(s.hue, 110, 150);
    const Rgb darkRgb = hsv(s.hue + 20, 140, 18);
    const int rings = 8;
    const int first = s.pal.ramp(glowRgb, darkRgb, rings);
    const int cx = s.rng.range(50, 116);
    const int cy = s.rng.range(55, 80);
    const int rx = s.rng.range(60, 85);
    const int ry = s.rng.range(50, 65);
    // Wobbly rings read as rock rather than a target.
    const std::vector<int> wobbleX = noise1d(s.rng, H, 7, 4);
    const std::vector<int> wobbleY = noise1d(s.rng, W, 9, 4);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int64_t dx = x - cx + wobbleX[static_cast<size_t>(y)];
            const int64_t dy = y - cy + wobbleY[static_cast<size_t>(x)];
            const int64_t d = isqrt(dx * dx * 4096 / (rx * rx) + dy * dy * 4096 / (ry * ry));  // 64 = edge
            s.c.set(x, y, first + static_cast<int>(std::min<int64_t>(rings - 1, d * rings / 64)));
        }

    const Rgb rockRgb = hsv(s.hue + 20, 90, 58);
    const int rock = s.pal.add(rockRgb);
    const int rockLit = s.pal.add(mix(rockRgb, glowRgb, 1, 3));
    const int rockDeep = s.pal.add(shade(rockRgb, 1, 2));

    std::vector<int> ceiling = ridge(s.rng, W, 9, {{12, 6}, {5, 3}});
    for (int x = 0; x < W; ++x)
        s.c.vline(x, 0, ceiling[static_cast<size_t>(x)], rockDeep);
    for (int i = s.rng.range(9, 14); i > 0; --i) {
        const int x = s.rng.range(0, W - 1);
        const int half = s.rng.range(3, 8);
        const int len = s.rng.range(12, 55);
        const int top = ceiling[static_cast<size_t>(x)] - 2;
        const int tip = x + s.rng.range(-2, 2);
        s.c.polygon({{x - half, top}, {x + half, top}, {tip + 1, top + len}, {tip, top + len}}, rock);
        s.c.line(x - half + 1, top + 1, tip, top + len - 1, rockLit);
    }

    std::vector<int> floor = ridge(s.rng, W, H - 22, {{16, 6}, {6, 2}});
    const Bands ground = [&] {
        Bands b;
        b.first = s.pal.ramp(mix(rockRgb, glowRgb, 1, 4), shade(rockRgb, 1, 2), 4);
        b.count = 4;
        b.top = H - 30;
        b.bottom = H;
        return b;
    }();
    for (int x = 0; x < W; ++x)
        for (int y = floor[static_cast<size_t>(x)]; y < H; ++y)
            s.c.set(x, y, ground.at(y));
    for (int i = s.rng.range(4, 7); i > 0; --i) {
        const int x = s.rng.range(0, W - 1);
        const int half = s.rng.range(4, 9);
        const int hgt = s.rng.range(10, 34);
        const int base = floor[static_cast<size_t>(x)] + 3;
        s.c.polygon({{x - half, base}, {x + half, base}, {x + 1, base - hgt}, {x, base - hgt}}, rock);
        s.c.line(x - half + 1, base - 1, x, base - hgt + 1, rockLit);
    }

    // Crystal clusters with a soft glow.
    const int ch = s.hue + 150 + s.rng.range(-30, 30);
    const int cGlow = s.pal.add(mix(rockRgb, hsv(ch, 160, 200), 1, 3));
    const int cDark = s.pal.add(hsv(ch, 200, 150));
    const int cLit = s.pal.add(hsv(ch, 110, 250));
    for (int k = s.rng.range(2, 3); k > 0; --k) {
        const int x0 = s.rng.range(10, W - 10);
        const int base = floor[static_cast<size_t>(x0)] + 4;
        s.c.ellipse(x0, base - 4, 16, 6, cGlow);
        for (int i = 0; i < 5; ++i) {
            const int x = x0 + s.rng.range(-10, 10);
            const int hgt = s.rng.range(10, 26) - std::abs(x - x0) / 2;
            const int half = s.rng.range(2, 3);
            const int lean = s.rng.range(-4, 4);
            s.c.polygon({{x - half, base}, {x + half, base}, {x + half + lean, base - hgt + 3},
                         {x + lean, base - hgt}, {x - half + lean, base - hgt + 3}},
                        cDark);
            s.c.polygon({{x - half, base}, {x, base}, {x + lean, base - hgt}, {x - half + lean, base - hgt + 3}},
                        cLit);
        }
    }
    const int drip = s.pal.add(mix(glowRgb, rgb(255, 255, 255), 1, 2));
    for (int i = 0; i < 6; ++i) {
        const int x = s.rng.range(0, W - 1);
        const int y = s.rng.range(20, 100);
        s.c.vline(x, y, y + 2, drip);
    }
}

// --- Forest edge ---------------------------------------------------------
void sceneForest(SceneContext& s)
{
    const int W = s.w();
    const int H = s.h();
    const int treeHue = (s.hue % 3 == 0) ? s.rng.range(15, 40) : s.rng.range(95, 170);
    const Rgb top = hsv(s.hue, 150, 160);
    const Rgb low = hsv(s.hue + 25, 55, 245);
    paintBands(s, top, low, 10, 0, 96, true);
    const int cloud = s.pal.add(mix(low, rgb(255, 255, 255), 2, 3));
    const int cloudShade = s.pal.add(mix(low, top, 1, 3));
    for (int i = s.rng.range(1, 3); i > 0; --i)
        drawCloud(s, s.rng.range(-10, W - 40), s.rng.range(20, 55), s.rng.range(30, 60), cloud, cloudShade);

    const Rgb treeRgb = hsv(treeHue, 150, 75);
    const int hills = s.pal.add(mix(low, treeRgb, 1, 3));
    fillBelow(s.c, ridge(s.rng, W, 80, {{45, 8}, {15, 3}}), hills);

    const Bands meadow = [&] {
        Bands b;
        b.first = s.pal.ramp(hsv(treeHue - 25, 110, 170), hsv(treeHue - 10, 150, 85), 5);
        b.count = 5;
        b.top = 96;
        b.bottom = H;
        return b;
    }();
    for (int y = 96; y < H; ++y)
        s.c.hline(0, W - 1, y, meadow.at(y));

    const int back = s.pal.add(mix(treeRgb, low, 2, 5));
    const int backLit = s.pal.add(mix(treeRgb, low, 3, 5));
    for (int x = s.rng.range(-4, 4); x < W + 6; x += s.rng.range(5, 9))
        drawFir(s.c, x, 92 + s.rng.range(-2, 3), s.rng.range(20, 38), back, backLit);
    const int front = s.pal.add(treeRgb);
    const int frontLit = s.pal.add(mix(treeRgb, low, 1, 4));
    for (int x = s.rng.range(-4, 6); x < W + 6; x += s.rng.range(9, 16))
        drawFir(s.c, x, 101 + s.rng.range(-2, 3), s.rng.range(28, 56), front, frontLit);

    // A path winding towards the trees.
    const int path = s.pal.add(hsv(30, 70, 150));
    const int pathEdge = s.pal.add(hsv(30, 90, 110));
    const int px = s.rng.range(50, 116);
    const int bend = s.rng.range(-30, 30);
    s.c.polygon({{px - 3, 102}, {px + 3, 102}, {px + bend + 10, 120}, {W / 2 + 26, H}, {W / 2 - 26, H},
                 {px + bend - 10, 120}},
                pathEdge);
    s.c.polygon({{px - 2, 103}, {px + 2, 103}, {px + bend + 8, 120}, {W / 2 + 22, H}, {W / 2 - 22, H},
                 {px + bend - 8, 120}},
                path);

    const int tuft = s.pal.add(hsv(treeHue - 10, 160, 60));
    const int flowerA = s.pal.add(hsv(s.hue + 180, 120, 250));
    const int flowerB = s.pal.add(hsv(55, 170, 255));
    for (int i = 0; i < 30; ++i) {
        const int x = s.rng.range(0, W - 1);
        const int y = s.rng.range(108, H - 1);
        s.c.line(x, y, x - 1, y - 3, tuft);
        s.c.line(x, y, x + 1, y - 3, tuft);
        if (i % 3 == 0)
            s.c.set(x + 3, y - 2, i % 2 ? flowerA : flowerB);
    }

    // A big foreground trunk on one side.
    const bool left = s.rng.chance(50);
    const int tx = left ? s.rng.range(4, 18) : s.rng.range(W - 24, W - 10);
    const int bark = s.pal.add(hsv(25, 110, 55));
    const int barkLit = s.pal.add(hsv(25, 90, 90));
    s.c.rect(tx, 20, 12, H - 20, bark);
    s.c.rect(tx + 2, 20, 3, H - 20, barkLit);
    const int leaves = s.pal.add(hsv(treeHue, 170, 45));
    const int leavesLit = s.pal.add(hsv(treeHue, 140, 95));
    for (int i = 0; i < 7; ++i) {
        const int lx = tx + 6 + s.rng.range(-26, 26);
        const int ly = s.rng.range(-6, 24);
        const int r = s.rng.range(10, 17);
        s.c.disc(lx, ly, r, leaves);
        s.c.disc(lx - r / 3, ly - r / 3, r / 2, leavesLit);
    }
}

// --- Interior of a ruined tower ------------------------------------------
bool inArch(int x, int y, int x0, int x1, int archTop, int bottom)
{
    if (x < x0 || x > x1 || y > bottom)
        return false;
    const int r = (x1 - x0) / 2;
    const int cx = x0 + r;
    if (y >= archTop + r)
        return true;
    return insideEllipse(x - cx, y - (archTop + r), r, r) && y >= archTop;
}

void sceneTower(SceneContext& s)
{
    const int W = s.w();
    const int H = s.h();
    const int stoneHue = s.hue + s.rng.range(-20, 20);
    const Rgb stone = hsv(stoneHue, s.rng.range(35, 80), 115);
    const int floorY = s.rng.range(110, 118);

    // Brick wall, darker towards the top.
    const Bands wall = [&] {
        Bands b;
        b.first = s.pal.ramp(shade(stone, 2, 5), stone, 4);
        b.count = 4;
        b.top = 0;
        b.bottom = floorY;
        return b;
    }();
    const int mortar = s.pal.add(shade(stone, 1, 3));
    const int odd = s.pal.add(mix(stone, hsv(stoneHue + 30, 80, 90), 1, 2));
    const int brickH = 9;
    const int brickW = 22;
    for (int y = 0; y < floorY; ++y) {
        const int row = y / brickH;
        s.c.hline(0, W - 1, y, y % brickH == brickH - 1 ? mortar : wall.at(y));
        if (y % brickH == brickH - 1)
            continue;
        const int shift = (row & 1) ? brickW / 2 : 0;
        for (int x = shift; x < W; x += brickW)
            s.c.set(x, y, mortar);
    }
    for (int i = 0; i < 6; ++i) {
        const int row = s.rng.range(0, floorY / brickH - 1);
        const int shift = (row & 1) ? brickW / 2 : 0;
        const int col = s.rng.range(0, W / brickW);
        s.c.rect(shift + col * brickW + 1, row * brickH, brickW - 1, brickH - 1, odd);
    }

    // Arched window with the night outside.
    const int aw = s.rng.range(22, 30);
    const int ax = s.rng.range(55, W - 55);
    const int x0 = ax - aw;
    const int x1 = ax + aw;
    const int archTop = s.rng.range(14, 26);
    const int sill = s.rng.range(84, 96);
    const Rgb nightTop = hsv(s.hue + 180, 170, 40);
    const Rgb nightLow = hsv(s.hue + 210, 110, 140);
    const int skyFirst = s.pal.ramp(nightTop, nightLow, 6);
    const int frameC = s.pal.add(mix(stone, rgb(255, 255, 255), 1, 4));
    const int frameDark = s.pal.add(shade(stone, 1, 2));
    const int star = s.pal.add(rgb(240, 240, 210));
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (inArch(x, y, x0, x1, archTop, sill))
                s.c.set(x, y, skyFirst + std::min(5, std::max(0, (y - archTop) * 6 / (sill - archTop))));
            else if (inArch(x, y, x0 - 4, x1 + 4, archTop - 4, sill + 4))
                s.c.set(x, y, (x < ax) ? frameC : frameDark);
        }
    for (int i = 0; i < 16; ++i) {
        const int x = s.rng.range(x0, x1);
        const int y = s.rng.range(archTop, sill - 20);
        if (s.c.get(x, y) >= skyFirst && s.c.get(x, y) < skyFirst + 6)
            s.c.set(x, y, star);
    }
    const int moonC = s.pal.add(rgb(245, 235, 190));
    s.c.disc(ax + s.rng.range(-aw / 2, aw / 2), archTop + aw + s.rng.range(0, 10), 5, moonC);
    s.c.rect(ax - 1, archTop, 3, sill - archTop, frameDark);
    s.c.rect(x0, (archTop + aw + sill) / 2, x1 - x0 + 1, 2, frameDark);

    // A collapsed corner letting the sky in.
    const bool holeLeft = ax > W / 2;
    const int hx = holeLeft ? 0 : W;
    const int dir = holeLeft ? 1 : -1;
    std::vector<Point> hole{{hx, 0}};
    for (int i = 0; i <= 6; ++i)
        hole.push_back({hx + dir * (42 - i * 6 + s.rng.range(-3, 3)), i * 5 + s.rng.range(-2, 2)});
    hole.push_back({hx, 32});
    s.c.polygon(hole, skyFirst + 1);

    // Pillars; one of them broken.
    const int pTone = s.pal.ramp(shade(stone, 4, 5), mix(stone, rgb(255, 255, 255), 1, 3), 3);
    const int pDark = s.pal.add(shade(stone, 1, 2));
    const int broken = s.rng.range(0, 1);
    for (int p = 0; p < 2; ++p) {
        const int px = p == 0 ? s.rng.range(6, 14) : W - 20 - s.rng.range(6, 14);
        const int topY = p == broken ? s.rng.range(38, 62) : 0;
        for (int x = 0; x < 18; ++x) {
            const int tone = x < 3 ? pDark : x < 7 ? pTone + 1 : x < 10 ? pTone + 2 : x < 15 ? pTone : pDark;
            s.c.vline(px + x, topY, floorY, tone);
        }
        s.c.rect(px - 3, floorY - 6, 24, 6, pTone);
        s.c.hline(px - 3, px + 20, floorY - 6, pTone + 2);
        if (p == broken) {
            std::vector<Point> jag{{px - 1, topY - 1}};
            for (int x = 0; x <= 18; x += 3)
                jag.push_back({px + x, topY + s.rng.range(0, 7)});
            jag.push_back({px + 19, topY - 1});
            s.c.polygon(jag, s.c.get(px - 2, topY));
        } else {
            s.c.rect(px - 3, 12, 24, 6, pTone);
            s.c.hline(px - 3, px + 20, 17, pDark);
        }
    }

    // Flagstone floor in perspective with a patch of moonlight.
    const Rgb floorRgb = mix(stone, hsv(stoneHue + 20, 60, 70), 1, 2);
    const int floorFirst = s.pal.ramp(shade(floorRgb, 3, 4), floorRgb, 3);
    for (int y = floorY; y < H; ++y)
        s.c.hline(0, W - 1, y, floorFirst + std::min(2, (y - floorY) * 3 / (H - floorY)));
    const int light = s.pal.add(mix(floorRgb, nightLow, 1, 2));
    s.c.polygon({{x0 + 4, floorY + 2}, {x1 - 4, floorY + 2}, {x1 + 14, H}, {x0 + 10, H}}, light);
    const int seam = s.pal.add(shade(floorRgb, 1, 2));
    for (int k = 1, y = floorY + 3; y < H; ++k, y += 2 + k * 2)
        s.c.hline(0, W - 1, y, seam);
    const int vx = W / 2;
    const int vy = 40;
    for (int x = -200; x < W + 200; x += 26)
        s.c.line(vx + (x - vx) * (floorY - vy) / (H - vy), floorY, x, H - 1, seam);

    // Rubble and creepers.
    for (int i = s.rng.range(4, 7); i > 0; --i) {
        const int rx = s.rng.range(0, W - 1);
        const int ry = s.rng.range(floorY + 4, H - 4);
        const int r = s.rng.range(2, 5);
        s.c.polygon({{rx - r, ry + 2}, {rx - r + 1, ry - r + 1}, {rx + 1, ry - r}, {rx + r, ry - 1}, {rx + r - 1, ry + 2}},
                    pTone + s.rng.range(0, 1));
        s.c.hline(rx - r, rx + r - 1, ry + 2, pDark);
    }
    const int vine = s.pal.add(hsv(110, 150, 90));
    const int vineDark = s.pal.add(hsv(120, 160, 55));
    for (int i = s.rng.range(3, 5); i > 0; --i) {
        int x = s.rng.range(0, W - 1);
        const int len = s.rng.range(15, 60);
        for (int y = 0; y < len; ++y) {
            if (y % 4 == 0)
                x += s.rng.range(-1, 1);
            s.c.set(x, y, vineDark);
            if (y % 5 == 2)
                s.c.set(x + ((y / 5) % 2 ? 1 : -1), y, vine);
        }
    }
}

// --- Starry night --------------------------------------------------------
void sceneStarfield(SceneContext& s)
{
    const int W = s.w();
    const int H = s.h();
    const Rgb top = hsv(s.hue, 200, 22);
    const Rgb low = hsv(s.hue + 30, 160, 115);
    const Bands sky = paintBands(s, top, low, 14, 0, H, true);

    // A faint nebula.
    const int nebHue = s.hue + s.rng.range(90, 150);
    const int neb1 = s.pal.add(mix(top, hsv(nebHue, 150, 120), 1, 3));
    const int neb2 = s.pal.add(mix(top, hsv(nebHue, 120, 150), 1, 2));
    const int nx = s.rng.range(40, 126);
    const int ny = s.rng.range(25, 60);
    for (int i = 0; i < 5; ++i)
        s.c.ellipse(nx + s.rng.range(-30, 30), ny + s.rng.range(-10, 10), s.rng.range(12, 26), s.rng.range(4, 9),
                    neb1);
    for (int i = 0; i < 3; ++i)
        s.c.ellipse(nx + s.rng.range(-16, 16), ny + s.rng.range(-5, 5), s.rng.range(6, 12), s.rng.range(2, 4),
                    neb2);

    // Aurora ribbon.
    if (s.rng.chance(60)) {
        const int auHue = s.hue + s.rng.range(60, 200);
        const int au = s.pal.ramp(hsv(auHue, 160, 240), mix(top, hsv(auHue, 200, 120), 1, 2), 4);
        const int base = s.rng.range(45, 75);
        const int f1 = s.rng.range(20, 40);
        const int f2 = s.rng.range(50, 90);
        const int ph = s.rng.range(0, kTurn);
        for (int x = 0; x < W; ++x) {
            const int yc = base + 12 * isin(x * f1 + ph) / kOne + 5 * isin(x * f2) / kOne;
            const int t = 10 + ((x / 3) % 3) * 3;
            for (int y = yc - t; y <= yc; ++y)
                s.c.set(x, y, au + std::min(3, (yc - y) * 4 / t));
        }
    }

    const int starA = s.pal.add(rgb(255, 255, 235));
    const int starB = s.pal.add(mix(low, rgb(255, 255, 255), 1, 2));
    const int starC = s.pal.add(mix(top, low, 3, 4));
    scatterStars(s, sky, 130, H - 30, {starA, starB, starC, starC});
    for (int i = 0; i < 6; ++i) {
        const int x = s.rng.range(4, W - 5);
        const int y = s.rng.range(4, H - 50);
        s.c.hline(x - 2, x + 2, y, starB);
        s.c.vline(x, y - 2, y + 2, starB);
        s.c.set(x, y, starA);
    }
    // Shooting star.
    const int sx = s.rng.range(30, W - 30);
    const int sy = s.rng.range(10, 40);
    s.c.line(sx, sy, sx - 24, sy + 10, starC);
    s.c.line(sx, sy, sx - 12, sy + 5, starB);
    s.c.set(sx, sy, starA);

    // Hills and a silhouette on them.
    const int dark = s.pal.add(hsv(s.hue, 120, 12));
    const std::vector<int> hill = ridge(s.rng, W, H - 22, {{40, 9}, {11, 2}});
    fillBelow(s.c, hill, dark);
    const int fx = s.rng.range(30, W - 30);
    const int fy = hill[static_cast<size_t>(fx)] + 1;
    if (s.rng.chance(50)) {
        // Bare tree.
        s.c.rect(fx - 1, fy - 26, 3, 27, dark);
        for (int b = 0; b < 6; ++b) {
            const int by = fy - 10 - b * 3;
            const int dir = (b % 2) ? 1 : -1;
            const int ex = fx + dir * s.rng.range(8, 16);
            const int ey = by - s.rng.range(5, 10);
            s.c.line(fx, by, ex, ey, dark);
            s.c.line(ex, ey, ex + dir * 3, ey - 4, dark);
            s.c.line(fx + dir, by, ex, ey + 1, dark);
        }
    } else {
        // Standing stones.
        for (int i = -2; i <= 2; ++i) {
            const int x = fx + i * 11;
            const int y = hill[static_cast<size_t>(std::clamp(x, 0, W - 1))] + 2;
            const int hgt = s.rng.range(10, 20) - std::abs(i) * 2;
            s.c.polygon({{x - 3, y}, {x + 4, y}, {x + 3, y - hgt}, {x - 2, y - hgt - 2}}, dark);
        }
    }
}

// --- Salt desert ---------------------------------------------------------
void sceneSaltFlat(SceneContext& s)
{
    const int W = s.w();
    const int H = s.h();
    const int hz = s.rng.range(66, 80);
    const Rgb top = hsv(s.hue, s.rng.range(60, 170), s.rng.range(150, 215));
    const Rgb low = hsv(s.hue + s.rng.range(10, 50), s.rng.range(25, 70), 252);
    const Bands sky = paintBands(s, top, low, 9, 0, hz, true);

    const Rgb sun = hsv(50, 50, 255);
    const int sx = s.rng.range(70, 140);
    const int sy = hz - s.rng.range(8, 30);
    const Rgb skyAt = s.pal.colors[static_cast<size_t>(sky.at(sy))];
    s.c.disc(sx, sy, 26, s.pal.add(mix(skyAt, sun, 1, 4)));
    s.c.disc(sx, sy, 21, s.pal.add(mix(skyAt, sun, 1, 2)));
    s.c.disc(sx, sy, 16, s.pal.add(sun));

    // Distant mesas.
    const Rgb mesaRgb = mix(low, hsv(s.hue + 180, 70, 130), 1, 2);
    const int mesa = s.pal.add(mesaRgb);
    const int mesaLit = s.pal.add(mix(mesaRgb, low, 1, 2));
    for (int i = s.rng.range(2, 4); i > 0; --i) {
        const int x = s.rng.range(-20, W);
        const int wdt = s.rng.range(20, 50);
        const int hgt = s.rng.range(6, 18);
        s.c.polygon({{x, hz}, {x + 5, hz - hgt}, {x + wdt - 6, hz - hgt}, {x + wdt, hz}}, mesa);
        s.c.polygon({{x, hz}, {x + 5, hz - hgt}, {x + 9, hz - hgt}, {x + 6, hz}}, mesaLit);
    }

    paintBands(s, mix(low, rgb(255, 255, 255), 1, 2), hsv(s.hue + 20, 40, 200), 6, hz, H, false);
    const int shimmer = s.pal.add(mix(low, sun, 1, 2));
    for (int i = 0; i < 8; ++i) {
        const int y = hz + s.rng.range(0, 3);
        const int x = s.rng.range(0, W - 1);
        s.c.hline(x, x + s.rng.range(3, 14), y, shimmer);
    }

    // Crust cracks: rows spaced out with distance, plus connectors.
    const int crack = s.pal.add(hsv(s.hue + 20, 50, 165));
    std::vector<std::vector<int>> rows;
    int y = hz + 4;
    for (int k = 0; y < H + 10; ++k) {
        std::vector<int> r = noise1d(s.rng, W, 9 + k * 3, 1 + k / 2);
        for (int& v : r)
            v += y;
        rows.push_back(r);
        y += 3 + k * 3;
    }
    for (size_t k = 0; k < rows.size(); ++k) {
        for (int x = 0; x + 1 < W; ++x)
            s.c.line(x, rows[k][static_cast<size_t>(x)], x + 1, rows[k][static_cast<size_t>(x) + 1], crack);
        if (k + 1 < rows.size()) {
            const int step = 10 + static_cast<int>(k) * 7;
            for (int x = s.rng.range(0, step); x < W; x += step + s.rng.range(-3, 3)) {
                const int x2 = std::clamp(x + s.rng.range(-4, 4), 0, W - 1);
                s.c.line(x, rows[k][static_cast<size_t>(x)], x2, rows[k + 1][static_cast<size_t>(x2)], crack);
            }
        }
    }

    // Salt pillars casting short shadows.
    const int pil = s.pal.add(rgb(250, 250, 246));
    const int pilShade = s.pal.add(hsv(s.hue + 20, 40, 185));
    const int shadow = s.pal.add(hsv(s.hue + 20, 60, 150));
    for (int i = s.rng.range(1, 3); i > 0; --i) {
        const int x = s.rng.range(10, W - 10);
        const int base = s.rng.range(hz + 20, H - 8);
        const int hgt = (base - hz) * s.rng.range(8, 14) / 10;
        const int half = 2 + (base - hz) / 15;
        s.c.ellipse(x + half * 2, base, half * 3, 2, shadow);
        s.c.polygon({{x - half, base}, {x + half, base}, {x + half - 1, base - hgt}, {x + 1, base - hgt - 3},
                     {x - half + 1, base - hgt + 2}},
                    pil);
        s.c.polygon({{x + 1, base}, {x + half, base}, {x + half - 1, base - hgt}, {x + 1, base - hgt - 3}},
                    pilShade);
    }
}

// --- Sea cliff -----------------------------------------------------------
void sceneSeaCliff(SceneContext& s)
{
    const int W = s.w();
    const int H = s.h();
    const int hz = s.rng.range(62, 78);
    const Rgb top = hsv(s.hue, 140, 150);
    const Rgb low = hsv(s.hue + 30, 60, 240);
    paintBands(s, top, low, 10, 0, hz, true);
    const int cloud = s.pal.add(mix(low, rgb(255, 255, 255), 2, 3));
    const int cloudShade = s.pal.add(mix(low, top, 1, 2));
    for (int i = s.rng.range(2, 3); i > 0; --i)
        drawCloud(s, s.rng.range(-20, W - 30), s.rng.range(18, hz - 12), s.rng.range(30, 64), cloud, cloudShade);

    const Rgb deep = hsv(s.hue + 180 + s.rng.range(-20, 20), 170, 80);
    paintBands(s, mix(low, deep, 1, 2), deep, 8, hz, H, false);
    const int wave = s.pal.add(mix(low, rgb(255, 255, 255), 1, 2));
    const int waveDark = s.pal.add(shade(deep, 2, 3));
    for (int i = 0; i < 70; ++i) {
        const int y = s.rng.range(hz + 2, H - 1);
        const int len = 2 + (y - hz) / 5 + s.rng.range(0, 5);
        const int x = s.rng.range(-5, W);
        s.c.hline(x, x + len, y, wave);
        if (len > 8)
            s.c.hline(x + 2, x + len + 2, y + 1, waveDark);
    }

    // The cliff, with strata and a grassy cap.
    const bool left = s.rng.chance(50);
    const int capY = s.rng.range(28, 50);
    const int reach = s.rng.range(50, 80);
    const Rgb rockRgb = hsv(s.hue + s.rng.range(10, 40), 70, 110);
    const int rockA = s.pal.add(rockRgb);
    const int rockB = s.pal.add(shade(rockRgb, 4, 5));
    const int rockShade = s.pal.add(shade(rockRgb, 1, 2));
    const int grass = s.pal.add(hsv(95, 150, 140));
    const int grassDark = s.pal.add(hsv(105, 160, 85));
    const int foam = s.pal.add(rgb(245, 250, 255));
    const std::vector<int> edgeNoise = noise1d(s.rng, H, 7, 4);
    for (int y = capY; y < H; ++y) {
        const int edge = reach + (y - capY) / 4 + edgeNoise[static_cast<size_t>(y)];
        const int strata = ((y - capY) / 7) % 2 ? rockB : rockA;
        for (int i = 0; i < edge; ++i) {
            const int x = left ? i : W - 1 - i;
            int col = strata;
            if (i >= edge - 6)
                col = rockShade;
            if (y < capY + 3)
                col = grass;
            else if (y < capY + 5 && (i * 7) % 5 < 3)
                col = grassDark;
            s.c.set(x, y, col);
        }
        if (y > H - 50 && s.rng.chance(60)) {
            const int fx = left ? edge + s.rng.range(0, 3) : W - 1 - edge - s.rng.range(0, 3);
            s.c.hline(fx - 2, fx + 2, y, foam);
        }
    }
    for (int i = 0; i < 5; ++i) {
        const int cx = left ? s.rng.range(5, reach - 10) : W - s.rng.range(5, reach - 10);
        s.c.line(cx, capY + s.rng.range(8, 30), cx + s.rng.range(-4, 4), capY + s.rng.range(35, 80), rockShade);
    }

    // A lonely sea stack and some gulls.
    const int stx = left ? s.rng.range(W - 45, W - 15) : s.rng.range(15, 45);
    const int sth = s.rng.range(16, 30);
    s.c.polygon({{stx - 6, hz + 16}, {stx + 6, hz + 16}, {stx + 3, hz + 16 - sth}, {stx - 3, hz + 14 - sth}}, rockB);
    s.c.polygon({{stx + 2, hz + 16}, {stx + 6, hz + 16}, {stx + 3, hz + 16 - sth}}, rockShade);
    s.c.hline(stx - 8, stx + 8, hz + 16, foam);
    const int gull = s.pal.add(hsv(s.hue, 60, 60));
    for (int i = s.rng.range(2, 5); i > 0; --i) {
        const int gx = s.rng.range(20, W - 20);
        const int gy = s.rng.range(10, hz - 10);
        s.c.line(gx - 3, gy - 2, gx, gy, gull);
        s.c.line(gx, gy, gx + 3, gy - 2, gull);
    }
}

// --- Ash plains beneath a volcano ----------------------------------------
void sceneAshland(SceneContext& s)
{
    const int W = s.w();
    const int H = s.h();
    const int hue = s.rng.chance(25) ? s.hue : s.hue % 50 - 15;
    const Rgb top = hsv(hue + 280, 150, 30);
    const Rgb low = hsv(hue + 15, 210, 175);
    paintBands(s, top, low, 12, 0, H - 30, true);

    const int smoke = s.pal.add(hsv(hue + 300, 60, 40));
    const int smokeLit = s.pal.add(hsv(hue + 320, 50, 70));
    const int vx = s.rng.range(55, 110);
    const int vy = s.rng.range(42, 58);
    std::vector<Point> puffs;
    for (int i = 0; i < 9; ++i)
        puffs.push_back({vx + s.rng.range(-6, 6) + i * s.rng.range(-2, 4), vy - 6 - i * 5});
    for (int i = 0; i < 9; ++i)
        s.c.disc(puffs[static_cast<size_t>(i)].x, puffs[static_cast<size_t>(i)].y, 6 + i * 2, smoke);
    for (int i = 0; i < 9; ++i)
        s.c.disc(puffs[static_cast<size_t>(i)].x - 2, puffs[static_cast<size_t>(i)].y - 2, 3 + i * 2, smokeLit);

    const Rgb rockRgb = hsv(hue + 330, 80, 45);
    const int rock = s.pal.add(rockRgb);
    const int rockLit = s.pal.add(mix(rockRgb, low, 1, 4));
    const int base = H - 30;
    const int spread = s.rng.range(70, 100);
    s.c.polygon({{vx - spread, base + 2}, {vx - 9, vy}, {vx + 9, vy}, {vx + spread, base + 2}}, rock);
    s.c.polygon({{vx - spread, base + 2}, {vx - 9, vy}, {vx - 3, vy}, {vx - spread / 3, base + 2}}, rockLit);
    const int lava = s.pal.add(hsv(hue + 20, 230, 250));
    const int lavaCore = s.pal.add(hsv(hue + 50, 150, 255));
    const int lavaDim = s.pal.add(hsv(hue + 5, 230, 170));
    s.c.ellipse(vx, vy, 9, 2, lava);
    s.c.ellipse(vx, vy, 5, 1, lavaCore);
    for (int r = s.rng.range(2, 3); r > 0; --r) {
        int x = vx + s.rng.range(-5, 5);
        for (int y = vy + 1; y < base; ++y) {
            x += s.rng.range(-1, 1) + (x < vx ? -(y % 3 == 0) : (y % 3 == 0));
            s.c.hline(x - 1, x + 1, y, lava);
            s.c.set(x, y, lavaCore);
        }
    }
    const int ember = lavaCore;
    for (int i = 0; i < 26; ++i)
        s.c.set(s.rng.range(vx - 40, vx + 40), s.rng.range(2, vy), i % 2 ? ember : lava);

    // Cracked dark plain.
    paintBands(s, shade(rockRgb, 3, 4), shade(rockRgb, 1, 3), 4, base, H, false);
    for (int i = s.rng.range(3, 5); i > 0; --i) {
        int x = s.rng.range(0, W - 1);
        int y = s.rng.range(base + 3, H - 3);
        const int dir = s.rng.chance(50) ? 1 : -1;
        for (int k = 0; k < 40; ++k) {
            const int nx = x + dir * s.rng.range(2, 5);
            const int ny = std::clamp(y + s.rng.range(-1, 1), base + 2, H - 1);
            s.c.line(x, y + 1, nx, ny + 1, lavaDim);
            s.c.line(x, y, nx, ny, lava);
            x = nx;
            y = ny;
        }
    }
    const int boulder = s.pal.add(shade(rockRgb, 1, 3));
    s.c.polygon({{-2, H}, {-2, H - 26}, {12, H - 34}, {26, H - 22}, {34, H}}, boulder);
    s.c.polygon({{W + 2, H}, {W + 2, H - 20}, {W - 14, H - 28}, {W - 30, H - 12}, {W - 36, H}}, boulder);
}

// --- Floating isles above a sea of clouds --------------------------------
void sceneSkyIsles(SceneContext& s)
{
    const int W = s.w();
    const int H = s.h();
    const Rgb top = hsv(s.hue, 130, 175);
    const Rgb low = hsv(s.hue + 30, 40, 250);
    paintBands(s, top, low, 12, 0, H, true);

    // Distant isles.
    const int haze = s.pal.add(mix(low, top, 1, 2));
    for (int i = 0; i < 3; ++i) {
        const int x = s.rng.range(0, W);
        const int y = s.rng.range(40, 80);
        const int r = s.rng.range(6, 12);
        s.c.ellipse(x, y, r, 1, haze);
        s.c.polygon({{x - r, y}, {x + r, y}, {x + 1, y + r}, {x, y + r}}, haze);
    }

    // Isles with grass, rock and a waterfall.
    const int grass = s.pal.add(hsv(100, 140, 170));
    const int grassDark = s.pal.add(hsv(110, 160, 110));
    const Rgb rockRgb = hsv(s.hue + 190, 50, 120);
    const int rockA = s.pal.add(rockRgb);
    const int rockB = s.pal.add(shade(rockRgb, 3, 4));
    const int rockShade = s.pal.add(shade(rockRgb, 1, 2));
    const int fall = s.pal.add(rgb(235, 245, 255));
    const int fallB = s.pal.add(hsv(200, 90, 230));
    const int trunk = s.pal.add(hsv(25, 100, 80));
    const int count = s.rng.range(1, 2);
    for (int i = 0; i < count; ++i) {
        const int x = count == 1 ? s.rng.range(60, 106) : (i == 0 ? s.rng.range(30, 60) : s.rng.range(105, 135));
        const int y = s.rng.range(40, 70);
        const int rx = s.rng.range(20, 34);
        const int depth = s.rng.range(28, 44);
        std::vector<Point> spire{{x - rx, y}};
        for (int k = 1; k < 6; ++k) {
            const int px = x - rx + k * rx / 3;
            spire.push_back({px, y + depth * (3 - std::abs(3 - k)) / 3 + s.rng.range(-4, 2)});
        }
        spire.push_back({x + rx, y});
        spire[3].y = y + depth;
        s.c.polygon(spire, rockA);
        for (int k = 0; k < 5; ++k)
            for (int xx = x - rx; xx <= x + rx; ++xx)
                if (s.c.get(xx, y + 4 + k * 6) == rockA)
                    s.c.set(xx, y + 4 + k * 6, rockB);
        s.c.polygon({{x + rx / 3, y}, {x + rx, y}, spire[5], spire[4]}, rockShade);
        s.c.ellipse(x, y, rx, 4, grass);
        s.c.hline(x - rx + 2, x + rx - 2, y + 3, grassDark);
        if (s.rng.chance(70)) {
            const int wx = x + rx - s.rng.range(4, 8);
            for (int yy = y + 2; yy < H; ++yy) {
                s.c.hline(wx, wx + 2, yy, fall);
                if (yy % 5 < 2)
                    s.c.set(wx + 1, yy, fallB);
            }
        }
        for (int t = s.rng.range(1, 3); t > 0; --t) {
            const int tx = x + s.rng.range(-rx + 6, rx - 10);
            s.c.vline(tx, y - 8, y, trunk);
            s.c.disc(tx, y - 10, 4, grassDark);
            s.c.disc(tx - 1, y - 11, 2, grass);
        }
    }

    // Sea of clouds.
    const int c1 = s.pal.add(rgb(255, 255, 255));
    const int c2 = s.pal.add(mix(low, top, 1, 3));
    const int c3 = s.pal.add(mix(low, top, 2, 3));
    const int layers[3] = {c2, c3, c1};
    for (int l = 0; l < 3; ++l) {
        const int baseY = 104 + l * 12;
        for (int x = s.rng.range(-10, 0); x < W + 10; x += s.rng.range(12, 20))
            s.c.disc(x, baseY, s.rng.range(8, 14), layers[l]);
        s.c.rect(0, baseY, W, H - baseY, layers[l]);
    }
}

}  // namespace

void sceneLayer1(SceneContext& s, int kind)
{
    switch (kind) {
    case 0: sceneMarsh(s); break;
    case 1: scenePeaks(s); break;
    case 2: sceneCavern(s); break;
    case 3: sceneForest(s); break;
    case 4: sceneTower(s); break;
    case 5: sceneStarfield(s); break;
    case 6: sceneSaltFlat(s); break;
    case 7: sceneSeaCliff(s); break;
    case 8: sceneAshland(s); break;
    default: sceneSkyIsles(s); break;
    }
}

}  // namespace genpics
