#include "romdata/RomLayout.h"

#include <cstring>

namespace om {

bool ReadTitle(std::FILE* file, const RomLayout& layout) {
    char title[kTitleLength + 1] = {};
    std::fseek(file, layout.titleOffset(), SEEK_SET);
    for (int i = 0; i < kTitleLength; ++i) {
        const int b = std::fgetc(file);
        title[i] = static_cast<char>(b == EOF ? kTitleByteAtEof : b);
    }
    // Compared as a terminated string: a zero byte in the file ends the title
    // early and so never matches.
    return std::strcmp(title, kExpectedTitle) == 0;
}

void ReadEnemyName(std::FILE* file, int k, EnemyNameSlot& slot, const RomLayout& layout) {
    std::fseek(file, layout.enemyRecordOffset(k), SEEK_SET);
    std::fflush(file);
    std::fgetc(file);  // the record's first byte is not part of the name
    for (auto& byte : slot) {
        const int b = std::fgetc(file);
        // At the end of the file fgetc gives EOF, whose low byte 0xFF
        // decodes to 0xCF.
        byte = DecodeNameByte(b == EOF ? 0xFF : b);
    }
}

BattleBgEntry ReadEntry(std::FILE* file, int g, const RomLayout& layout) {
    std::fseek(file, layout.entryOffset(g), SEEK_SET);
    BattleBgEntry e;
    e.layer1Lo = std::fgetc(file);
    e.layer1Hi = std::fgetc(file);
    e.layer2Lo = std::fgetc(file);
    e.layer2Hi = std::fgetc(file);
    return e;
}

}  // namespace om
