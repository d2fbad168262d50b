#include "romdata/RomProbe.h"

#include <cstring>

namespace om {

namespace {

RomProbe Decide(RomProbe p) {
    if (p.titleWithHeader != p.titleWithoutHeader)
        p.layout = p.titleWithHeader ? kSmcLayout : kSfcLayout;
    else
        p.layout = LayoutBySize(p.size);
    p.titleMatches = p.titleWithHeader || p.titleWithoutHeader;
    return p;
}

bool TitleAt(const std::uint8_t* bytes, std::size_t size, const RomLayout& layout) {
    const auto at = static_cast<std::size_t>(layout.titleOffset());
    return size >= at + kTitleLength && std::memcmp(bytes + at, kExpectedTitle, kTitleLength) == 0;
}

}  // namespace

RomProbe ProbeRom(std::FILE* file, long size) {
    RomProbe p;
    p.size = size;
    p.titleWithHeader = ReadTitle(file, kSmcLayout);
    p.titleWithoutHeader = ReadTitle(file, kSfcLayout);
    return Decide(p);
}

RomProbe ProbeRomImage(const std::uint8_t* bytes, std::size_t size) {
    RomProbe p;
    p.size = static_cast<long>(size);
    p.titleWithHeader = TitleAt(bytes, size, kSmcLayout);
    p.titleWithoutHeader = TitleAt(bytes, size, kSfcLayout);
    return Decide(p);
}

const char* LayoutName(const RomLayout& layout) {
    return layout.headerSize == 0 ? "no copier header" : "512-byte copier header";
}

std::string TooShortReason(const RomProbe& probe) {
    if (probe.holdsTable())
        return {};
    return "the file is " + std::to_string(probe.size) +
           " bytes long, too short to be an Orbitmarsh ROM image: the battle background table "
           "ends at byte " +
           std::to_string(probe.layout.tableEnd());
}

}  // namespace om
