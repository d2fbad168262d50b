#include "romdata/RomProbe.h"

namespace om {

RomProbe ProbeRom(std::FILE* file, long size) {
    RomProbe p;
    p.size = size;
    p.titleWithHeader = ReadTitle(file, kSmcLayout);
    p.titleWithoutHeader = ReadTitle(file, kSfcLayout);
    if (p.titleWithHeader != p.titleWithoutHeader)
        p.layout = p.titleWithHeader ? kSmcLayout : kSfcLayout;
    else
        p.layout = LayoutBySize(size);
    p.titleMatches = p.titleWithHeader || p.titleWithoutHeader;
    return p;
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
