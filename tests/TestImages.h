// Test images written to temporary files, and byte comparisons of files.
#pragma once

#include <QTemporaryDir>
#include <cstdint>
#include <string>
#include <vector>

#include "romdata/RomImage.h"

namespace omtest {

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

// An image with the title, enemy names "Enemy 1" .. "Enemy 230" and every
// entry g holding (g, g >> 8, 255 - g % 256, 1), laid out for the given layout
// in an image of size bytes (3 MiB of cartridge after the header when -1).
om::RomImage MakeTestImage(const om::RomLayout& layout = om::kSmcLayout, long size = -1);

// The offsets at which a and b differ (a size difference counts from the
// shorter end on).
std::vector<long> DifferingOffsets(const std::vector<std::uint8_t>& a,
                                   const std::vector<std::uint8_t>& b);

// A file in a temporary folder that lives as long as the object.
class TempRom {
public:
    explicit TempRom(const om::RomImage& image, const char* name = "game.smc");
    const std::string& path() const { return path_; }
    QString qpath() const { return QString::fromStdString(path_); }
    std::vector<std::uint8_t> bytes() const { return ReadFileBytes(path_); }
    QString dir() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    std::string path_;
};

}  // namespace omtest
