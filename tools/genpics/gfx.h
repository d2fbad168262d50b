// Small drawing kit for the placeholder pictures: colours, a seeded random
// generator, integer trigonometry, palettes and an 8-bit indexed canvas.
// Everything here is integer maths so the output bytes never depend on the
// compiler or the machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace genpics {

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const Rgb&) const = default;
};

Rgb rgb(int r, int g, int b);                    // clamps each channel to 0..255
Rgb mix(Rgb a, Rgb b, int num, int den);         // a + (b - a) * num / den
Rgb hsv(int hue, int sat, int val);              // hue in degrees (wraps), sat/val 0..255
Rgb shade(Rgb c, int num, int den);              // c * num / den

// splitmix64: tiny, fast and identical everywhere.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t next();
    int range(int lo, int hi);  // inclusive; returns lo when hi <= lo
    bool chance(int percent);

private:
    uint64_t state_;
};

uint64_t hashSeed(uint64_t a, uint64_t b = 0, uint64_t c = 0);

int64_t isqrt(int64_t v);
// Angles are measured in 1/4096 of a turn; results are scaled by 4096.
constexpr int kTurn = 4096;
constexpr int kOne = 4096;
int isin(int angle);
int icos(int angle);

// Smooth 1-D value noise: random values every `period` pixels in
// [-amp, amp], linearly interpolated, `count` samples long.
std::vector<int> noise1d(Rng& rng, int count, int period, int amp);

constexpr int kMaxColors = 256;

struct Point {
    int x = 0;
    int y = 0;
};

struct Palette {
    std::vector<Rgb> colors;
    int add(Rgb c);                         // index of the new entry
    int ramp(Rgb from, Rgb to, int count);  // first index of `count` steps from..to
    int size() const { return static_cast<int>(colors.size()); }
};

// 8-bit indexed picture, row 0 at the top. All drawing clips to the canvas.
class Canvas {
public:
    Canvas(int w, int h, int fill = 0);

    int width() const { return w_; }
    int height() const { return h_; }
    int get(int x, int y) const;
    void set(int x, int y, int c);
    const std::vector<uint8_t>& pixels() const { return px_; }

    void hline(int x0, int x1, int y, int c);  // x0..x1 inclusive, any order
    void vline(int x, int y0, int y1, int c);
    void rect(int x, int y, int w, int h, int c);
    void frame(int x, int y, int w, int h, int c);
    void ellipse(int cx, int cy, int rx, int ry, int c);
    void disc(int cx, int cy, int r, int c) { ellipse(cx, cy, r, r, c); }
    void ring(int cx, int cy, int rx, int ry, int thickness, int c);
    void line(int x0, int y0, int x1, int y1, int c);
    void thickLine(int x0, int y0, int x1, int y1, int radius, int c);
    void polygon(const std::vector<Point>& pts, int c);

private:
    int w_;
    int h_;
    std::vector<uint8_t> px_;
};

// True when (dx, dy) lies inside the ellipse with half axes rx, ry around 0.
bool insideEllipse(int dx, int dy, int rx, int ry);

// 24-bit picture, row 0 at the top.
struct RgbImage {
    int w = 0;
    int h = 0;
    std::vector<Rgb> px;
    RgbImage(int width, int height, Rgb fill = Rgb{});
    void set(int x, int y, Rgb c);
    Rgb get(int x, int y) const { return px[static_cast<std::size_t>(y) * w + x]; }
    void rect(int x, int y, int rw, int rh, Rgb c);
};

RgbImage toRgb(const Canvas& c, const Palette& pal);

}  // namespace genpics
