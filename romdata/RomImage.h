// Builds ROM images in memory: the same layout the editor reads, written
// byte for byte. Used to make demo images and test images.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "romdata/RomLayout.h"

namespace om {

// 512-byte copier header + 3 MiB of cartridge.
inline constexpr long kDemoImageSize = kCopierHeaderSize + 3L * 1024 * 1024;
static_assert(kDemoImageSize == 3146240);

class RomImage {
public:
    explicit RomImage(long size = kDemoImageSize, const RomLayout& layout = kSmcLayout)
        : bytes_(static_cast<std::size_t>(size), 0), layout_(layout) {}

    std::vector<std::uint8_t>& bytes() { return bytes_; }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    const RomLayout& layout() const { return layout_; }

    // Writes up to 11 bytes of title; text past the end of the image is cut.
    void putTitle(std::string_view title = kExpectedTitle);
    // Writes enemy k+1's name (at most 25 bytes, encoded, zero-padded).
    void putEnemyName(int k, std::string_view name);
    // Writes the raw 25 name bytes of enemy k+1 without encoding.
    void putRawEnemyName(int k, std::string_view raw);
    void putEntry(int g, std::uint8_t l1lo, std::uint8_t l1hi, std::uint8_t l2lo, std::uint8_t l2hi);
    void put(long offset, std::uint8_t byte);
    std::uint8_t at(long offset) const { return bytes_.at(static_cast<std::size_t>(offset)); }

    // Writes the image to a new file; false if it exists or cannot be written.
    bool writeNewFile(const std::string& path) const;
    // Writes the image to path, replacing what is there.
    bool writeFile(const std::string& path) const;

private:
    std::vector<std::uint8_t> bytes_;
    RomLayout layout_;
};

}  // namespace om
