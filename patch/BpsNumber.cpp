#include "patch/BpsNumber.h"

#include <limits>

namespace om {

void AppendBpsNumber(ByteVector& out, std::uint64_t n) {
    for (;;) {
        const auto low = static_cast<std::uint8_t>(n & 0x7f);
        n >>= 7;
        if (n == 0) {
            out.push_back(static_cast<std::uint8_t>(0x80 | low));
            return;
        }
        out.push_back(low);
        --n;
    }
}

BpsNumberRead ReadBpsNumber(ByteSpan bytes, std::size_t& pos, std::uint64_t& value) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t data = 0;
    std::uint64_t shift = 1;
    for (std::size_t at = pos;; ++at) {
        if (at >= bytes.size())
            return BpsNumberRead::EndsEarly;
        const std::uint8_t x = bytes[at];
        const std::uint64_t digit = x & 0x7f;
        if (digit != 0 && shift > kMax / digit)
            return BpsNumberRead::TooLarge;
        if (data > kMax - digit * shift)
            return BpsNumberRead::TooLarge;
        data += digit * shift;
        if (x & 0x80) {
            value = data;
            pos = at + 1;
            return BpsNumberRead::Ok;
        }
        if (shift > (kMax >> 7))
            return BpsNumberRead::TooLarge;
        shift <<= 7;
        if (data > kMax - shift)
            return BpsNumberRead::TooLarge;
        data += shift;
    }
}

}  // namespace om
