#include "png.h"

#include <stdexcept>
#include <string>
#include <zlib.h>

namespace genpics {

namespace {

void putBe32(Bytes& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

// Length, type, data, then the CRC of type and data.
void putChunk(Bytes& out, const char (&type)[5], const Bytes& data)
{
    putBe32(out, static_cast<uint32_t>(data.size()));
    const size_t typeAt = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + typeAt, static_cast<uInt>(out.size() - typeAt));
    putBe32(out, static_cast<uint32_t>(crc));
}

}  // namespace

Bytes makePng(const Canvas& c, const Palette& pal, const std::vector<bool>& transparent, int scale)
{
    const int w = c.width() * scale;
    const int h = c.height() * scale;

    // Each row: filter type 0, then R, G, B, A for every pixel.
    Bytes raw;
    raw.reserve(static_cast<size_t>(h) * (1 + 4 * static_cast<size_t>(w)));
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);
        for (int x = 0; x < w; ++x) {
            const int sx = x / scale;
            const int sy = y / scale;
            const Rgb col = pal.colors.at(static_cast<size_t>(c.get(sx, sy)));
            const bool clear = transparent.at(static_cast<size_t>(sy) * c.width() + sx);
            raw.push_back(clear ? 0 : col.r);
            raw.push_back(clear ? 0 : col.g);
            raw.push_back(clear ? 0 : col.b);
            raw.push_back(clear ? 0 : 255);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    Bytes packed(packedSize);
    if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()),
                  Z_BEST_COMPRESSION) != Z_OK)
        throw std::runtime_error("zlib could not compress a " + std::to_string(w) + " x " +
                                 std::to_string(h) + " icon");
    packed.resize(packedSize);

    Bytes header;
    putBe32(header, static_cast<uint32_t>(w));
    putBe32(header, static_cast<uint32_t>(h));
    header.push_back(8);  // bits per channel
    header.push_back(6);  // colour type: RGBA
    header.push_back(0);  // deflate
    header.push_back(0);  // adaptive filtering (each row says "none")
    header.push_back(0);  // not interlaced

    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    putChunk(out, "IHDR", header);
    putChunk(out, "IDAT", packed);
    putChunk(out, "IEND", {});
    return out;
}

}  // namespace genpics
