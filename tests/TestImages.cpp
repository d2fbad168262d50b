#include "TestImages.h"

#include <fstream>
#include <iterator>

namespace omtest {

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

om::RomImage MakeTestImage(const om::RomLayout& layout, long size) {
    om::RomImage image(size >= 0 ? size : layout.headerSize + 3L * 1024 * 1024, layout);
    image.putTitle();
    for (int k = 0; k < om::kEnemyNameCount; ++k)
        image.putEnemyName(k, "Enemy " + std::to_string(k + 1));
    for (int g = 0; g < om::kGroupCount; ++g)
        image.putEntry(g, static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(g >> 8),
                       static_cast<std::uint8_t>(255 - g % 256), 1);
    return image;
}

std::vector<long> DifferingOffsets(const std::vector<std::uint8_t>& a,
                                   const std::vector<std::uint8_t>& b) {
    std::vector<long> out;
    const std::size_t n = std::max(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i)
        if (i >= a.size() || i >= b.size() || a[i] != b[i])
            out.push_back(static_cast<long>(i));
    return out;
}

TempRom::TempRom(const om::RomImage& image, const char* name)
    : path_((dir_.path() + "/" + QString::fromLatin1(name)).toStdString()) {
    image.writeFile(path_);
}

}  // namespace omtest
