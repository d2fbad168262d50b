// Where the editor's data lives inside an Orbitmarsh ROM image, and the four
// primitive operations that reach it through a buffered C stream.
//
// Every file offset the program uses is computed by RomLayout from the
// cartridge offsets below plus the size of the copier header in front of
// them, so a headerless image is the same layout 512 bytes earlier.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>

namespace om {

inline constexpr int kGroupCount = 485;
inline constexpr int kEnemyNameCount = 230;
inline constexpr int kEnemyNameLength = 25;
inline constexpr int kEnemyRecordSize = 94;
inline constexpr int kEntrySize = 4;
inline constexpr int kTitleLength = 11;
inline constexpr char kExpectedTitle[] = "ORBIT MARSH";
static_assert(sizeof(kExpectedTitle) == kTitleLength + 1);

// What a read past the end of the file yields, per region.
inline constexpr int kTitleByteAtEof = 0xFF;
inline constexpr int kNameByteAtEof = 0xCF;  // 0xFF less the name encoding's 0x30
inline constexpr int kEntryByteAtEof = -1;   // the stream's own end-of-file value

inline constexpr long kCopierHeaderSize = 512;

struct RomLayout {
    long headerSize = kCopierHeaderSize;

    // Cartridge offsets, without the copier header.
    static constexpr long kTitleCart = 0xFFC0;
    static constexpr long kEnemyRecordsCart = 0x1595E7;
    static constexpr long kBattleBgTableCart = 0xBD89E;

    constexpr long titleOffset() const { return headerSize + kTitleCart; }
    constexpr long enemyRecordOffset(int k) const {
        return headerSize + kEnemyRecordsCart + long(kEnemyRecordSize) * k;
    }
    constexpr long enemyRecordsEnd() const { return enemyRecordOffset(kEnemyNameCount); }
    constexpr long entryOffset(int g) const {
        return headerSize + kBattleBgTableCart + long(kEntrySize) * g;
    }
    constexpr long tableEnd() const { return entryOffset(kGroupCount); }
    constexpr long tableSize() const { return tableEnd() - entryOffset(0); }
};

// The layout of a .smc image: 512-byte copier header, then the cartridge.
inline constexpr RomLayout kSmcLayout{};

static_assert(kSmcLayout.titleOffset() == 0x101C0);
static_assert(kSmcLayout.enemyRecordOffset(0) == 0x1597E7);
static_assert(kSmcLayout.enemyRecordsEnd() == 0x15EC5B);
static_assert(kSmcLayout.entryOffset(0) == 776862);
static_assert(kSmcLayout.tableEnd() == 778802);
static_assert(kSmcLayout.tableSize() == 1940);

// One decoded enemy name: up to 25 bytes, ended by the first zero byte.
using EnemyNameSlot = std::array<unsigned char, kEnemyNameLength>;

// The four bytes of one group's entry as read: 0-255, or -1 past the end.
struct BattleBgEntry {
    int layer1Lo = 0;
    int layer1Hi = 0;
    int layer2Lo = 0;
    int layer2Hi = 0;
};

// Compares the 11 title bytes with "ORBIT MARSH". A byte past the end of the
// file counts as 0xFF, so a short file never matches.
bool ReadTitle(std::FILE* file, const RomLayout& layout = kSmcLayout);

// Reads and decodes the name of enemy k+1 into slot. The stream is flushed
// right after the seek.
void ReadEnemyName(std::FILE* file, int k, EnemyNameSlot& slot,
                   const RomLayout& layout = kSmcLayout);

// Decodes one stored name byte: stored b means b - 0x30, and 0 stays 0.
constexpr unsigned char DecodeNameByte(int b) {
    return b == 0 ? 0 : static_cast<unsigned char>((b - 0x30) & 0xFF);
}
constexpr unsigned char EncodeNameByte(unsigned char c) {
    return c == 0 ? 0 : static_cast<unsigned char>((c + 0x30) & 0xFF);
}

BattleBgEntry ReadEntry(std::FILE* file, int g, const RomLayout& layout = kSmcLayout);

}  // namespace om
