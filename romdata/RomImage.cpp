#include "romdata/RomImage.h"

#include <cstdio>

namespace om {

void RomImage::put(long offset, std::uint8_t byte) {
    if (offset >= 0 && offset < static_cast<long>(bytes_.size()))
        bytes_[static_cast<std::size_t>(offset)] = byte;
}

void RomImage::putTitle(std::string_view title) {
    for (int i = 0; i < kTitleLength; ++i)
        put(layout_.titleOffset() + i,
            i < static_cast<int>(title.size()) ? static_cast<std::uint8_t>(title[static_cast<std::size_t>(i)]) : 0);
}

void RomImage::putEnemyName(int k, std::string_view name) {
    std::string raw(kEnemyNameLength, '\0');
    for (std::size_t i = 0; i < name.size() && i < raw.size(); ++i)
        raw[i] = static_cast<char>(EncodeNameByte(static_cast<unsigned char>(name[i])));
    putRawEnemyName(k, raw);
}

void RomImage::putRawEnemyName(int k, std::string_view raw) {
    const long base = layout_.enemyRecordOffset(k) + 1;
    for (int i = 0; i < kEnemyNameLength; ++i)
        put(base + i, i < static_cast<int>(raw.size()) ? static_cast<std::uint8_t>(raw[static_cast<std::size_t>(i)]) : 0);
}

void RomImage::putEntry(int g, std::uint8_t l1lo, std::uint8_t l1hi, std::uint8_t l2lo,
                        std::uint8_t l2hi) {
    const long at = layout_.entryOffset(g);
    put(at, l1lo);
    put(at + 1, l1hi);
    put(at + 2, l2lo);
    put(at + 3, l2hi);
}

namespace {

bool WriteAll(std::FILE* f, const std::vector<std::uint8_t>& bytes) {
    if (!f)
        return false;
    const bool ok =
        bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace

bool RomImage::writeNewFile(const std::string& path) const {
    // "x": fail rather than replace an existing file.
    return WriteAll(std::fopen(path.c_str(), "wbx"), bytes_);
}

bool RomImage::writeFile(const std::string& path) const {
    return WriteAll(std::fopen(path.c_str(), "wb"), bytes_);
}

}  // namespace om
