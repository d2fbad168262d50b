#include "bmp.h"

#include <stdexcept>

namespace genpics {

namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr int32_t kPixelsPerMetre = 2835;  // 72 dpi

void put16(Bytes& out, uint32_t v)
{
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void put32(Bytes& out, uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

int rowStride(int w, int bitsPerPixel) { return ((w * bitsPerPixel + 31) / 32) * 4; }

void putFileHeader(Bytes& out, uint32_t fileSize, uint32_t pixelOffset)
{
    out.push_back('B');
    out.push_back('M');
    put32(out, fileSize);
    put32(out, 0);
    put32(out, pixelOffset);
}

void putInfoHeader(Bytes& out, int w, int h, int bpp, uint32_t compression, uint32_t imageSize,
                   uint32_t colorsUsed)
{
    put32(out, kInfoHeaderSize);
    put32(out, static_cast<uint32_t>(w));
    put32(out, static_cast<uint32_t>(h));
    put16(out, 1);
    put16(out, static_cast<uint32_t>(bpp));
    put32(out, compression);
    put32(out, imageSize);
    put32(out, static_cast<uint32_t>(kPixelsPerMetre));
    put32(out, static_cast<uint32_t>(kPixelsPerMetre));
    put32(out, colorsUsed);
    put32(out, 0);
}

void putPalette(Bytes& out, const Palette& pal, int entries)
{
    for (int i = 0; i < entries; ++i) {
        const Rgb c = i < pal.size() ? pal.colors[static_cast<size_t>(i)] : Rgb{};
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
}

// Length of the run of equal pixels starting at x, at most `cap`.
int runLength(const uint8_t* row, int w, int x, int cap)
{
    int n = 1;
    while (x + n < w && n < cap && row[x + n] == row[x])
        ++n;
    return n;
}

}  // namespace

Bytes encodeRle8(const Canvas& c)
{
    const int w = c.width();
    const int h = c.height();
    Bytes out;
    for (int y = h - 1; y >= 0; --y) {
        const uint8_t* row = c.pixels().data() + static_cast<size_t>(y) * w;
        int x = 0;
        while (x < w) {
            const int run = runLength(row, w, x, 255);
            if (run >= 3) {
                out.push_back(static_cast<uint8_t>(run));
                out.push_back(row[x]);
                x += run;
                continue;
            }
            // Collect pixels until the next run worth encoding on its own.
            int end = x;
            while (end < w && end - x < 255 && runLength(row, w, end, 3) < 3)
                ++end;
            const int len = end - x;
            if (len >= 3) {
                out.push_back(0);
                out.push_back(static_cast<uint8_t>(len));
                for (int i = x; i < end; ++i)
                    out.push_back(row[i]);
                if (len & 1)
                    out.push_back(0);
            } else {
                // One or two pixels: cheaper as short encoded runs.
                int i = x;
                while (i < end) {
                    const int n = runLength(row, end, i, 255);
                    out.push_back(static_cast<uint8_t>(n));
                    out.push_back(row[i]);
                    i += n;
                }
            }
            x = end;
        }
        out.push_back(0);
        out.push_back(0);  // end of line
    }
    out.push_back(0);
    out.push_back(1);  // end of bitmap
    return out;
}

bool decodeRle8(const Bytes& data, int w, int h, std::vector<uint8_t>& out)
{
    out.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    size_t p = 0;
    int x = 0;
    int row = 0;  // counted from the bottom
    auto put = [&](uint8_t v) {
        if (x >= w || row >= h)
            return false;
        out[static_cast<size_t>(h - 1 - row) * w + x] = v;
        ++x;
        return true;
    };
    while (p + 1 < data.size()) {
        const uint8_t count = data[p];
        const uint8_t value = data[p + 1];
        p += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                if (!put(value))
                    return false;
            continue;
        }
        if (value == 0) {  // end of line
            if (x != w)
                return false;
            x = 0;
            ++row;
        } else if (value == 1) {  // end of bitmap
            return row == h && x == 0 && p == data.size();
        } else if (value == 2) {  // delta: never produced by this program
            return false;
        } else {
            if (value < 3 || p + value > data.size())
                return false;
            for (int i = 0; i < value; ++i)
                if (!put(data[p + static_cast<size_t>(i)]))
                    return false;
            p += value + (value & 1);
        }
    }
    return false;
}

Bytes makeBmpRle8(const Canvas& c, const Palette& pal)
{
    const Bytes pixels = encodeRle8(c);
    const int entries = pal.size();
    const uint32_t offset = kFileHeaderSize + kInfoHeaderSize + 4 * static_cast<uint32_t>(entries);
    Bytes out;
    putFileHeader(out, offset + static_cast<uint32_t>(pixels.size()), offset);
    putInfoHeader(out, c.width(), c.height(), 8, kBiRle8, static_cast<uint32_t>(pixels.size()),
                  static_cast<uint32_t>(entries));
    putPalette(out, pal, entries);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

Bytes makeBmp8(const Canvas& c, const Palette& pal)
{
    const int stride = rowStride(c.width(), 8);
    const uint32_t imageSize = static_cast<uint32_t>(stride) * static_cast<uint32_t>(c.height());
    const uint32_t offset = kFileHeaderSize + kInfoHeaderSize + 4 * 256;
    Bytes out;
    putFileHeader(out, offset + imageSize, offset);
    putInfoHeader(out, c.width(), c.height(), 8, kBiRgb, imageSize, 256);
    putPalette(out, pal, 256);
    for (int y = c.height() - 1; y >= 0; --y) {
        for (int x = 0; x < c.width(); ++x)
            out.push_back(static_cast<uint8_t>(c.get(x, y)));
        for (int x = c.width(); x < stride; ++x)
            out.push_back(0);
    }
    return out;
}

Bytes makeBmp24(const RgbImage& img)
{
    const int stride = rowStride(img.w, 24);
    const uint32_t imageSize = static_cast<uint32_t>(stride) * static_cast<uint32_t>(img.h);
    const uint32_t offset = kFileHeaderSize + kInfoHeaderSize;
    Bytes out;
    putFileHeader(out, offset + imageSize, offset);
    putInfoHeader(out, img.w, img.h, 24, kBiRgb, imageSize, 0);
    for (int y = img.h - 1; y >= 0; --y) {
        for (int x = 0; x < img.w; ++x) {
            const Rgb c = img.get(x, y);
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
        }
        for (int x = img.w * 3; x < stride; ++x)
            out.push_back(0);
    }
    return out;
}

Bytes makeIco(const std::vector<IconImage>& images)
{
    std::vector<Bytes> dibs;
    for (const IconImage& im : images) {
        const Canvas& c = *im.pixels;
        const int w = c.width();
        const int h = c.height();
        const int bpp = im.bitsPerPixel;
        if (bpp != 8 && bpp != 4)
            throw std::runtime_error("icon depth must be 4 or 8 bits");
        const int entries = 1 << bpp;
        const int xorStride = rowStride(w, bpp);
        const int andStride = rowStride(w, 1);
        const uint32_t imageSize = static_cast<uint32_t>((xorStride + andStride) * h);
        Bytes dib;
        // The height counts the colour rows and the mask rows together.
        putInfoHeader(dib, w, 2 * h, bpp, kBiRgb, imageSize, static_cast<uint32_t>(entries));
        putPalette(dib, *im.palette, entries);
        for (int y = h - 1; y >= 0; --y) {
            Bytes row(static_cast<size_t>(xorStride), 0);
            for (int x = 0; x < w; ++x) {
                const int v = c.get(x, y);
                if (v >= entries)
                    throw std::runtime_error("icon colour outside its palette");
                if (bpp == 8)
                    row[static_cast<size_t>(x)] = static_cast<uint8_t>(v);
                else
                    row[static_cast<size_t>(x / 2)] |= static_cast<uint8_t>(x % 2 ? v : v << 4);
            }
            dib.insert(dib.end(), row.begin(), row.end());
        }
        for (int y = h - 1; y >= 0; --y) {
            Bytes row(static_cast<size_t>(andStride), 0);
            for (int x = 0; x < w; ++x)
                if (im.transparent[static_cast<size_t>(y) * w + x])
                    row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
            dib.insert(dib.end(), row.begin(), row.end());
        }
        dibs.push_back(std::move(dib));
    }

    Bytes out;
    put16(out, 0);  // reserved
    put16(out, 1);  // icon
    put16(out, static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const IconImage& im = images[i];
        const int w = im.pixels->width();
        const int h = im.pixels->height();
        out.push_back(static_cast<uint8_t>(w >= 256 ? 0 : w));
        out.push_back(static_cast<uint8_t>(h >= 256 ? 0 : h));
        out.push_back(static_cast<uint8_t>(im.bitsPerPixel >= 8 ? 0 : 1 << im.bitsPerPixel));
        out.push_back(0);
        put16(out, 1);  // planes
        put16(out, static_cast<uint32_t>(im.bitsPerPixel));
        put32(out, static_cast<uint32_t>(dibs[i].size()));
        put32(out, offset);
        offset += static_cast<uint32_t>(dibs[i].size());
    }
    for (const Bytes& d : dibs)
        out.insert(out.end(), d.begin(), d.end());
    return out;
}

}  // namespace genpics
