#include "gfx.h"

#include <algorithm>
#include <stdexcept>

namespace genpics {

namespace {
int clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

// Smallest integer n with 2n >= v.
int ceilHalf(int v) { return v >= 0 ? (v + 1) / 2 : -((-v) / 2); }
}  // namespace

Rgb rgb(int r, int g, int b)
{
    return Rgb{static_cast<uint8_t>(clamp255(r)), static_cast<uint8_t>(clamp255(g)),
               static_cast<uint8_t>(clamp255(b))};
}

Rgb mix(Rgb a, Rgb b, int num, int den)
{
    if (den <= 0)
        return a;
    auto ch = [&](int x, int y) { return x + (y - x) * num / den; };
    return rgb(ch(a.r, b.r), ch(a.g, b.g), ch(a.b, b.b));
}

Rgb hsv(int hue, int sat, int val)
{
    hue %= 360;
    if (hue < 0)
        hue += 360;
    sat = clamp255(sat);
    val = clamp255(val);
    const int region = hue / 60;
    const int rem = (hue % 60) * 255 / 60;
    const int p = val * (255 - sat) / 255;
    const int q = val * (255 - sat * rem / 255) / 255;
    const int t = val * (255 - sat * (255 - rem) / 255) / 255;
    switch (region) {
    case 0: return rgb(val, t, p);
    case 1: return rgb(q, val, p);
    case 2: return rgb(p, val, t);
    case 3: return rgb(p, q, val);
    case 4: return rgb(t, p, val);
    default: return rgb(val, p, q);
    }
}

Rgb shade(Rgb c, int num, int den)
{
    if (den <= 0)
        return c;
    return rgb(c.r * num / den, c.g * num / den, c.b * num / den);
}

uint64_t Rng::next()
{
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

int Rng::range(int lo, int hi)
{
    if (hi <= lo)
        return lo;
    return lo + static_cast<int>(next() % static_cast<uint64_t>(hi - lo + 1));
}

bool Rng::chance(int percent) { return range(0, 99) < percent; }

uint64_t hashSeed(uint64_t a, uint64_t b, uint64_t c)
{
    Rng r(a * 0x100000001B3ULL ^ (b << 21) ^ (c << 42) ^ 0x5EEDF00DULL);
    r.next();
    return r.next();
}

int64_t isqrt(int64_t v)
{
    if (v <= 0)
        return 0;
    int64_t x = v;
    int64_t y = (x + 1) / 2;
    while (y < x) {
        x = y;
        y = (x + v / x) / 2;
    }
    return x;
}

int isin(int angle)
{
    // Bhaskara's rational approximation on each half turn; the error is
    // below 0.2 %, far finer than a pixel at our picture sizes.
    int a = angle % kTurn;
    if (a < 0)
        a += kTurn;
    const int64_t half = kTurn / 2;
    int sign = 1;
    if (a >= half) {
        a -= static_cast<int>(half);
        sign = -1;
    }
    const int64_t x = a;
    const int64_t num = 16 * x * (half - x) * kOne;
    const int64_t den = 5 * half * half - 4 * x * (half - x);
    return sign * static_cast<int>(num / den);
}

int icos(int angle) { return isin(angle + kTurn / 4); }

std::vector<int> noise1d(Rng& rng, int count, int period, int amp)
{
    if (period < 1)
        period = 1;
    const int knots = count / period + 2;
    std::vector<int> k(static_cast<size_t>(knots));
    for (int& v : k)
        v = rng.range(-amp, amp);
    std::vector<int> out(static_cast<size_t>(count));
    for (int x = 0; x < count; ++x) {
        const int i = x / period;
        const int f = x % period;
        out[static_cast<size_t>(x)] =
            k[static_cast<size_t>(i)] + (k[static_cast<size_t>(i) + 1] - k[static_cast<size_t>(i)]) * f / period;
    }
    return out;
}

int Palette::add(Rgb c)
{
    if (colors.size() >= static_cast<size_t>(kMaxColors))
        throw std::runtime_error("palette overflow");
    colors.push_back(c);
    return size() - 1;
}

int Palette::ramp(Rgb from, Rgb to, int count)
{
    const int first = size();
    for (int i = 0; i < count; ++i)
        add(mix(from, to, i, count > 1 ? count - 1 : 1));
    return first;
}

Canvas::Canvas(int w, int h, int fill)
    : w_(w), h_(h), px_(static_cast<size_t>(w) * static_cast<size_t>(h), static_cast<uint8_t>(fill))
{
}

int Canvas::get(int x, int y) const
{
    if (x < 0 || y < 0 || x >= w_ || y >= h_)
        return 0;
    return px_[static_cast<size_t>(y) * w_ + x];
}

void Canvas::set(int x, int y, int c)
{
    if (x < 0 || y < 0 || x >= w_ || y >= h_)
        return;
    px_[static_cast<size_t>(y) * w_ + x] = static_cast<uint8_t>(c);
}

void Canvas::hline(int x0, int x1, int y, int c)
{
    if (y < 0 || y >= h_)
        return;
    if (x0 > x1)
        std::swap(x0, x1);
    x0 = std::max(x0, 0);
    x1 = std::min(x1, w_ - 1);
    for (int x = x0; x <= x1; ++x)
        px_[static_cast<size_t>(y) * w_ + x] = static_cast<uint8_t>(c);
}

void Canvas::vline(int x, int y0, int y1, int c)
{
    if (y0 > y1)
        std::swap(y0, y1);
    for (int y = y0; y <= y1; ++y)
        set(x, y, c);
}

void Canvas::rect(int x, int y, int w, int h, int c)
{
    for (int yy = y; yy < y + h; ++yy)
        hline(x, x + w - 1, yy, c);
}

void Canvas::frame(int x, int y, int w, int h, int c)
{
    hline(x, x + w - 1, y, c);
    hline(x, x + w - 1, y + h - 1, c);
    vline(x, y, y + h - 1, c);
    vline(x + w - 1, y, y + h - 1, c);
}

bool insideEllipse(int dx, int dy, int rx, int ry)
{
    const int64_t a = 2 * int64_t(rx) + 1;
    const int64_t b = 2 * int64_t(ry) + 1;
    return 4 * int64_t(dx) * dx * b * b + 4 * int64_t(dy) * dy * a * a <= a * a * b * b;
}

void Canvas::ellipse(int cx, int cy, int rx, int ry, int c)
{
    if (rx < 0 || ry < 0)
        return;
    for (int dy = -ry; dy <= ry; ++dy) {
        int dx = rx;
        while (dx >= 0 && !insideEllipse(dx, dy, rx, ry))
            --dx;
        if (dx >= 0)
            hline(cx - dx, cx + dx, cy + dy, c);
    }
}

void Canvas::ring(int cx, int cy, int rx, int ry, int thickness, int c)
{
    const int irx = rx - thickness;
    const int iry = ry - thickness;
    for (int dy = -ry; dy <= ry; ++dy)
        for (int dx = -rx; dx <= rx; ++dx)
            if (insideEllipse(dx, dy, rx, ry) && (irx < 0 || iry < 0 || !insideEllipse(dx, dy, irx, iry)))
                set(cx + dx, cy + dy, c);
}

void Canvas::line(int x0, int y0, int x1, int y1, int c)
{
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        set(x0, y0, c);
        if (x0 == x1 && y0 == y1)
            break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void Canvas::thickLine(int x0, int y0, int x1, int y1, int radius, int c)
{
    const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
    for (int i = 0; i <= steps; ++i) {
        const int x = steps ? x0 + (x1 - x0) * i / steps : x0;
        const int y = steps ? y0 + (y1 - y0) * i / steps : y0;
        disc(x, y, radius, c);
    }
}

void Canvas::polygon(const std::vector<Point>& pts, int c)
{
    if (pts.size() < 3)
        return;
    int ymin = pts[0].y;
    int ymax = pts[0].y;
    for (const Point& p : pts) {
        ymin = std::min(ymin, p.y);
        ymax = std::max(ymax, p.y);
    }
    ymin = std::max(ymin, 0);
    ymax = std::min(ymax, h_ - 1);
    std::vector<int> xs;
    for (int y = ymin; y <= ymax; ++y) {
        // Sample at the pixel centre (y + 0.5); work in half pixels.
        const int64_t sy = 2 * int64_t(y) + 1;
        xs.clear();
        for (size_t i = 0; i < pts.size(); ++i) {
            const Point a = pts[i];
            const Point b = pts[(i + 1) % pts.size()];
            const int64_t ay = 2 * int64_t(a.y);
            const int64_t by = 2 * int64_t(b.y);
            if ((ay <= sy && sy < by) || (by <= sy && sy < ay)) {
                // x (in half pixels) where the edge crosses this row.
                const int64_t num = (sy - ay) * (b.x - a.x) * 2;
                const int64_t x2 = 2 * int64_t(a.x) + num / (by - ay);
                xs.push_back(static_cast<int>(x2));
            }
        }
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2) {
            // Pixels whose centre 2x+1 lies in [xs[i], xs[i+1]).
            const int lo = ceilHalf(xs[i] - 1);
            const int hi = ceilHalf(xs[i + 1] - 1);
            if (hi > lo)
                hline(lo, hi - 1, y, c);
        }
    }
}

RgbImage::RgbImage(int width, int height, Rgb fill)
    : w(width), h(height), px(static_cast<size_t>(width) * static_cast<size_t>(height), fill)
{
}

void RgbImage::set(int x, int y, Rgb c)
{
    if (x < 0 || y < 0 || x >= w || y >= h)
        return;
    px[static_cast<size_t>(y) * w + x] = c;
}

void RgbImage::rect(int x, int y, int rw, int rh, Rgb c)
{
    for (int yy = y; yy < y + rh; ++yy)
        for (int xx = x; xx < x + rw; ++xx)
            set(xx, yy, c);
}

RgbImage toRgb(const Canvas& c, const Palette& pal)
{
    RgbImage out(c.width(), c.height());
    for (int y = 0; y < c.height(); ++y)
        for (int x = 0; x < c.width(); ++x) {
            const int i = c.get(x, y);
            out.set(x, y, i < pal.size() ? pal.colors[static_cast<size_t>(i)] : Rgb{});
        }
    return out;
}

}  // namespace genpics
