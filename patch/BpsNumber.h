// The variable-length numbers of a BPS patch: seven bits a byte, least
// significant first, the last byte marked by its top bit, and each further
// byte counting from one past what the shorter encodings reach (so every
// number has exactly one encoding).
#pragma once

#include <cstddef>
#include <cstdint>

#include "patch/Patch.h"

namespace om {

void AppendBpsNumber(ByteVector& out, std::uint64_t n);

enum class BpsNumberRead {
    Ok,
    EndsEarly,  // the bytes end before the number's last byte
    TooLarge,   // the number does not fit in 64 bits
};

// Reads the number at bytes[pos]; on Ok, value is set and pos moved past it.
// Never reads at or past bytes.size(); on failure pos and value are unchanged.
BpsNumberRead ReadBpsNumber(ByteSpan bytes, std::size_t& pos, std::uint64_t& value);

}  // namespace om
