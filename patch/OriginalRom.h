// The untouched image a ROM was made from: whether a file may serve as one
// (a ROM of this game with the same layout, and not the ROM itself), and
// reading it back, checked against what was remembered of it. Free of
// widgets; the window remembers it per ROM, the companion takes it by name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "patch/Patch.h"
#include "romdata/RomLayout.h"

namespace om {

// What is remembered of an original: where it is, its size and its CRC32.
struct OriginalRom {
    std::string path;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
};

// Reads the file at originalPath and checks that it can be the original of
// the ROM at romPath, whose layout is romLayout: a ROM of this game (its title
// at one of its two places, the table within it, at most 64 MiB), with the
// same layout (copier header or none), and not the ROM's own file (however
// it is named: links and other names of the same file count). False with a
// reason for people otherwise. On success image holds its bytes and
// original what is to be remembered.
bool ReadCandidateOriginal(const std::string& originalPath, const std::string& romPath,
                           const RomLayout& romLayout, ByteVector& image, OriginalRom& original,
                           std::string& reason);

// Reads the original back: the checks above again, then its size and CRC32
// against what was remembered. False with a reason for people otherwise
// (one that changed says so).
bool ReadRememberedOriginal(const OriginalRom& original, const std::string& romPath,
                            const RomLayout& romLayout, ByteVector& image, std::string& reason);

// The groups whose entry differs between the original's table and table
// (1,940 bytes), ascending; the original holds the table (it was checked).
std::vector<int> GroupsChangedFromOriginal(const RomLayout& layout, ByteSpan original,
                                           ByteSpan table);

}  // namespace om
