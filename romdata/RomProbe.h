// Which layout an image has, and whether it can hold the table at all.
//
// Decided once, when a file is opened: the internal title decides where it
// is found at exactly one of its two places (after a 512-byte copier header,
// or at the start of a headerless image); where it is found at both or at
// neither, the size decides as ROM tools do (a multiple of 1024 bytes has no
// header). Every later read and write of that file uses the layout decided
// here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "romdata/RomLayout.h"

namespace om {

// A headerless image (.sfc): the cartridge from the file's first byte.
inline constexpr RomLayout kSfcLayout{0};
static_assert(kSfcLayout.titleOffset() == 0xFFC0);
static_assert(kSfcLayout.entryOffset(0) == 0xBD89E);

// The layout a file of this size has by size alone.
constexpr RomLayout LayoutBySize(long size) {
    return size % 1024 == 0 ? kSfcLayout : kSmcLayout;
}

struct RomProbe {
    RomLayout layout = kSmcLayout;  // the layout to read and write the file with
    bool titleMatches = false;      // "ORBIT MARSH" was found at the layout's place
    bool titleWithHeader = false;   // found where a copier header puts it
    bool titleWithoutHeader = false;  // found where a headerless image has it
    long size = 0;

    // The file reaches the table's last byte.
    bool holdsTable() const { return size >= layout.tableEnd(); }
};

// Reads the title at both places of an open file of the given size.
RomProbe ProbeRom(std::FILE* file, long size);
// The same for a whole image in memory.
RomProbe ProbeRomImage(const std::uint8_t* bytes, std::size_t size);

// The largest file the editor takes in: a cartridge of this game is 3 MiB,
// and even an expanded one is far below this.
inline constexpr long kMaxRomImageSize = 64L * 1024 * 1024;

// How the layout is named to people: "512-byte copier header" or
// "no copier header".
const char* LayoutName(const RomLayout& layout);

// Why a file cannot be edited, for people, with its size; empty when it can.
std::string TooShortReason(const RomProbe& probe);

}  // namespace om
