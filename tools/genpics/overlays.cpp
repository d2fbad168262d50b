// Layer-2 pictures: overlay patterns drawn over a transparency checker so
// they read as a second layer rather than a full backdrop.
#include <algorithm>

#include "scenekit.h"

namespace genpics {

namespace {

constexpr int kCheck = 16;

void paintChecker(SceneContext& s)
{
    const int a = s.pal.add(rgb(34, 34, 42));
    const int b = s.pal.add(rgb(50, 50, 60));
    for (int y = 0; y < s.h(); ++y)
        for (int x = 0; x < s.w(); ++x)
            s.c.set(x, y, ((x / kCheck) + (y / kCheck)) % 2 ? b : a);
}

// Pointed leaf of half-length `len` turned by `angle`, with a vein.
void drawLeaf(Canvas& c, int x, int y, int len, int angle, int body, int vein)
{
    const int ax = len * icos(angle) / kOne;
    const int ay = len * isin(angle) / kOne;
    const int wid = std::max(3, len * 2 / 5);
    const int px = -wid * isin(angle) / kOne;
    const int py = wid * icos(angle) / kOne;
    c.polygon({{x + ax, y + ay},
               {x + ax / 2 + px * 4 / 5, y + ay / 2 + py * 4 / 5},
               {x + px, y + py},
               {x - ax / 2 + px * 4 / 5, y - ay / 2 + py * 4 / 5},
               {x - ax, y - ay},
               {x - ax / 2 - px * 4 / 5, y - ay / 2 - py * 4 / 5},
               {x - px, y - py},
               {x + ax / 2 - px * 4 / 5, y + ay / 2 - py * 4 / 5}},
              body);
    c.line(x - ax - ax / 4, y - ay - ay / 4, x + ax * 3 / 4, y + ay * 3 / 4, vein);
}

void overlayLeaves(SceneContext& s)
{
    int body[3];
    int vein[3];
    for (int i = 0; i < 3; ++i) {
        const int h = s.hue + i * 22;
        body[i] = s.pal.add(hsv(h, 190, 225));
        vein[i] = s.pal.add(hsv(h, 210, 120));
    }
    const int trail = s.pal.add(hsv(s.hue, 60, 110));
    for (int i = 0; i < 30; ++i) {
        const int x = s.rng.range(-4, s.w() + 4);
        const int y = s.rng.range(-4, s.h() + 4);
        const int size = s.rng.range(7, 11);
        if (i % 4 == 0)
            for (int k = 1; k < 6; ++k)
                s.c.set(x - k * 3, y - k * 4 + (k * k) / 2, trail);
        drawLeaf(s.c, x, y, size, s.rng.range(0, kTurn - 1), body[i % 3], vein[i % 3]);
    }
}

void overlayMist(SceneContext& s)
{
    const int tone[3] = {s.pal.add(hsv(s.hue, 40, 110)), s.pal.add(hsv(s.hue, 30, 160)),
                         s.pal.add(hsv(s.hue, 20, 210))};
    const int bands = s.rng.range(4, 6);
    for (int b = 0; b < bands; ++b) {
        const int cy = 12 + b * (s.h() - 20) / bands + s.rng.range(-4, 4);
        const int half = s.rng.range(4, 10);
        const int amp = s.rng.range(2, 6);
        const int freq = s.rng.range(20, 45);
        const int ph = s.rng.range(0, kTurn);
        const int gapAt = s.rng.range(0, s.w());
        const int gapLen = s.rng.range(0, 50);
        for (int x = 0; x < s.w(); ++x) {
            if (x >= gapAt && x < gapAt + gapLen)
                continue;
            const int yc = cy + amp * isin(x * freq + ph) / kOne;
            const int t = half - (x >= gapAt - 12 && x < gapAt ? (x - gapAt + 12) / 2 : 0);
            for (int y = yc - t; y <= yc + t; ++y) {
                const int d = std::abs(y - yc) * 3 / (t + 1);
                s.c.set(x, y, tone[2 - std::min(2, d)]);
            }
        }
    }
}

void overlayRain(SceneContext& s)
{
    const int bright = s.pal.add(hsv(s.hue, 45, 235));
    const int dim = s.pal.add(hsv(s.hue, 60, 140));
    for (int i = 0; i < 85; ++i) {
        const int x = s.rng.range(0, s.w() + 20);
        const int y = s.rng.range(-10, s.h() - 12);
        const bool near = i % 3 == 0;
        const int len = near ? s.rng.range(10, 16) : s.rng.range(5, 9);
        s.c.line(x, y, x - len / 3, y + len, near ? bright : dim);
    }
    for (int i = 0; i < 9; ++i) {
        const int x = s.rng.range(8, s.w() - 8);
        const int y = s.rng.range(s.h() - 16, s.h() - 4);
        s.c.ring(x, y, 5, 1, 1, dim);
        s.c.set(x - 2, y - 3, bright);
        s.c.set(x + 2, y - 3, bright);
        s.c.set(x, y - 4, bright);
    }
}

void overlayLattice(SceneContext& s)
{
    const int dark = s.pal.add(hsv(s.hue, 120, 70));
    const int mid = s.pal.add(hsv(s.hue, 110, 150));
    const int light = s.pal.add(hsv(s.hue, 70, 230));
    const int rivet = s.pal.add(hsv(s.hue + 40, 60, 255));
    if (s.rng.chance(50)) {
        // Diagonal trellis: plain two-pixel laths, studs where they cross.
        const int step = s.rng.range(40, 48);
        const int span = 4 * s.h() + 4 * step;
        for (int y = 0; y < s.h(); ++y)
            for (int x = 0; x < s.w(); ++x)
                if ((x + y) % step < 2 || (x - y + span) % step < 2)
                    s.c.set(x, y, mid);
        for (int y = -step; y < s.h() + step; ++y)
            for (int x = 0; x < s.w(); ++x)
                if ((x + y + span) % step == 0 && (x - y + span) % step == 0) {
                    s.c.disc(x, y, 3, dark);
                    s.c.disc(x, y, 2, rivet);
                    s.c.set(x + 1, y + 1, mid);
                }
        return;
    }
    // Square grille with shaded bars and a few rings.
    const int step = s.rng.range(32, 40);
    auto tone = [&](int d) { return d == 0 ? dark : d == 1 ? light : mid; };
    for (int y = 0; y < s.h(); ++y)
        for (int x = 0; x < s.w(); ++x) {
            if (x % step < 3)
                s.c.set(x, y, tone(x % step));
            else if (y % step < 3)
                s.c.set(x, y, tone(y % step));
        }
    for (int y = 1; y < s.h(); y += step)
        for (int x = 1; x < s.w(); x += step) {
            s.c.disc(x, y, 3, dark);
            s.c.disc(x, y, 2, rivet);
            s.c.set(x + 1, y + 1, mid);
        }
    for (int i = 0; i < 4; ++i) {
        const int cx = s.rng.range(0, s.w() / step) * step + step / 2 + 1;
        const int cy = s.rng.range(0, s.h() / step) * step + step / 2 + 1;
        s.c.ring(cx, cy, step / 3, step / 3, 2, light);
    }
}

void overlaySwirls(SceneContext& s)
{
    const int col[2] = {s.pal.add(hsv(s.hue, 140, 240)), s.pal.add(hsv(s.hue + 30, 160, 190))};
    const int shadow = s.pal.add(hsv(s.hue, 150, 70));
    const int n = s.rng.range(4, 6);
    for (int i = 0; i < n; ++i) {
        const int cx = s.rng.range(10, s.w() - 10);
        const int cy = s.rng.range(10, s.h() - 10);
        const int turns = s.rng.range(2, 3);
        const int radius = s.rng.range(16, 32);
        const int dir = s.rng.chance(50) ? 1 : -1;
        const int start = s.rng.range(0, kTurn);
        const int end = turns * kTurn;
        for (int pass = 0; pass < 2; ++pass)
            for (int a = 0; a <= end; a += 24) {
                const int r = radius * a / end;
                const int x = cx + r * icos(start + dir * a) / kOne;
                const int y = cy + r * 4 / 5 * isin(start + dir * a) / kOne;
                const int thick = a * 3 / end;
                if (pass == 0)
                    s.c.disc(x + 1, y + 1, thick, shadow);
                else
                    s.c.disc(x, y, thick, col[i % 2]);
            }
    }
}

void overlaySnow(SceneContext& s)
{
    const int white = s.pal.add(rgb(250, 250, 255));
    const int pale = s.pal.add(hsv(s.hue, 50, 220));
    const int dim = s.pal.add(hsv(s.hue, 50, 140));
    for (int i = 0; i < 130; ++i) {
        const int x = s.rng.range(0, s.w() - 1);
        const int y = s.rng.range(0, s.h() - 1);
        const int kind = s.rng.range(0, 9);
        if (kind < 6) {
            s.c.set(x, y, kind < 3 ? dim : pale);
        } else if (kind < 9) {
            s.c.hline(x - 1, x + 1, y, pale);
            s.c.vline(x, y - 1, y + 1, pale);
            s.c.set(x, y, white);
        } else {
            for (int d = -3; d <= 3; ++d) {
                s.c.set(x + d, y, pale);
                s.c.set(x, y + d, pale);
                if (std::abs(d) <= 2) {
                    s.c.set(x + d, y + d, pale);
                    s.c.set(x + d, y - d, pale);
                }
            }
            s.c.set(x, y, white);
        }
    }
}

void overlayBubbles(SceneContext& s)
{
    const int rim = s.pal.add(hsv(s.hue, 90, 220));
    const int rimDim = s.pal.add(hsv(s.hue, 110, 130));
    const int shine = s.pal.add(rgb(255, 255, 255));
    for (int i = 0; i < 34; ++i) {
        const int x = s.rng.range(0, s.w() - 1);
        const int y = s.rng.range(0, s.h() - 1);
        const int r = s.rng.range(2, 11);
        s.c.ring(x, y, r, r, 1, i % 3 == 0 ? rimDim : rim);
        if (r >= 4) {
            s.c.set(x - r / 2, y - r / 2, shine);
            s.c.set(x - r / 2 + 1, y - r / 2, shine);
            s.c.set(x - r / 2, y - r / 2 + 1, shine);
        }
    }
    for (int i = 0; i < 20; ++i)
        s.c.set(s.rng.range(0, s.w() - 1), s.rng.range(0, s.h() - 1), rim);
}

void overlayRays(SceneContext& s)
{
    const int a = s.pal.add(hsv(s.hue, 70, 120));
    const int b = s.pal.add(hsv(s.hue, 55, 165));
    const int mote = s.pal.add(rgb(255, 255, 230));
    const int sx = s.rng.range(-30, s.w() + 30);
    const int sy = -30;
    int angle = s.rng.range(-700, -500);
    for (int i = 0; angle < 700; ++i) {
        const int width = s.rng.range(60, 140);
        const int l = 260;
        const int x1 = sx + l * isin(angle) / kOne;
        const int x2 = sx + l * isin(angle + width) / kOne;
        const int y1 = sy + l * icos(angle) / kOne;
        const int y2 = sy + l * icos(angle + width) / kOne;
        s.c.polygon({{sx, sy}, {x1, y1}, {x2, y2}}, i % 2 ? a : b);
        angle += width + s.rng.range(60, 160);
    }
    for (int i = 0; i < 30; ++i)
        s.c.set(s.rng.range(0, s.w() - 1), s.rng.range(0, s.h() - 1), mote);
}

void overlayRipples(SceneContext& s)
{
    const int ring = s.pal.ramp(hsv(s.hue, 60, 245), hsv(s.hue, 120, 90), 5);
    for (int i = s.rng.range(4, 6); i > 0; --i) {
        const int cx = s.rng.range(0, s.w() - 1);
        const int cy = s.rng.range(10, s.h() - 10);
        const int rings = s.rng.range(3, 5);
        const int gap = s.rng.range(8, 12);
        for (int k = rings; k >= 1; --k) {
            const int rx = k * gap;
            s.c.ring(cx, cy, rx, std::max(1, rx / 3), 1, ring + std::min(4, k - 1));
        }
        s.c.set(cx, cy, ring);
    }
}

void overlayRunes(SceneContext& s)
{
    const int glow = s.pal.add(hsv(s.hue, 200, 110));
    const int lit = s.pal.add(hsv(s.hue, 120, 245));
    const int spark = s.pal.add(rgb(255, 255, 255));
    const int cx = s.w() / 2 + s.rng.range(-20, 20);
    const int cy = s.h() / 2 + s.rng.range(-10, 10);
    const int r = s.rng.range(44, 56);
    s.c.ring(cx, cy, r + 2, r + 2, 5, glow);
    s.c.ring(cx, cy, r, r, 1, lit);
    s.c.ring(cx, cy, r - 12, r - 12, 1, lit);
    const int points = s.rng.range(5, 7);
    const int skip = 2;  // pentagram, hexagram or heptagram
    const int rot = s.rng.range(0, kTurn);
    for (int i = 0; i < points; ++i) {
        const int a1 = rot + i * kTurn / points;
        const int a2 = rot + ((i + skip) % points) * kTurn / points;
        s.c.line(cx + (r - 12) * icos(a1) / kOne, cy + (r - 12) * isin(a1) / kOne,
                 cx + (r - 12) * icos(a2) / kOne, cy + (r - 12) * isin(a2) / kOne, lit);
    }
    // Little marks between the two rings.
    for (int i = 0; i < 16; ++i) {
        const int a = rot + i * kTurn / 16;
        const int mx = cx + (r - 6) * icos(a) / kOne;
        const int my = cy + (r - 6) * isin(a) / kOne;
        switch (s.rng.range(0, 3)) {
        case 0: s.c.vline(mx, my - 2, my + 2, lit); s.c.set(mx + 1, my - 2, lit); break;
        case 1: s.c.hline(mx - 2, mx + 2, my, lit); s.c.set(mx, my - 2, lit); break;
        case 2: s.c.line(mx - 2, my + 2, mx + 2, my - 2, lit); s.c.set(mx - 2, my - 2, lit); break;
        default: s.c.ring(mx, my, 2, 2, 1, lit); break;
        }
    }
    for (int i = 0; i < 14; ++i) {
        const int x = s.rng.range(0, s.w() - 1);
        const int y = s.rng.range(0, s.h() - 1);
        const int k = s.rng.range(1, 3);
        s.c.hline(x - k, x + k, y, lit);
        s.c.vline(x, y - k, y + k, lit);
        s.c.set(x, y, spark);
    }
}

}  // namespace

void sceneLayer2(SceneContext& s, int kind)
{
    paintChecker(s);
    switch (kind) {
    case 0: overlayLeaves(s); break;
    case 1: overlayMist(s); break;
    case 2: overlayRain(s); break;
    case 3: overlayLattice(s); break;
    case 4: overlaySwirls(s); break;
    case 5: overlaySnow(s); break;
    case 6: overlayBubbles(s); break;
    case 7: overlayRays(s); break;
    case 8: overlayRipples(s); break;
    default: overlayRunes(s); break;
    }
}

}  // namespace genpics
