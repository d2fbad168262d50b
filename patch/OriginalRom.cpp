#include "patch/OriginalRom.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "patch/PatchFile.h"
#include "patch/Recovery.h"
#include "romdata/RomProbe.h"

namespace om {

namespace {

std::string Hex32(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08" PRIX32, value);
    return text;
}

// Why image cannot be the original of a ROM with romLayout; empty when it can.
std::string Unfit(ByteSpan image, const RomLayout& romLayout) {
    const RomProbe probe = ProbeRomImage(image.data(), image.size());
    if (!probe.titleMatches)
        return std::string("it is not a ROM of this game: its title is not \"") + kExpectedTitle +
               "\" at either place";
    if (!probe.holdsTable())
        return "it is not a whole ROM: " + TooShortReason(probe);
    if (probe.layout.headerSize != romLayout.headerSize)
        return std::string("it is a ROM of the other layout: it has ") +
               LayoutName(probe.layout) + ", the ROM has " + LayoutName(romLayout);
    return {};
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ignored;
    return std::filesystem::equivalent(a, b, ignored);
}

}  // namespace

bool ReadCandidateOriginal(const std::string& originalPath, const std::string& romPath,
                           const RomLayout& romLayout, ByteVector& image, OriginalRom& original,
                           std::string& reason) {
    if (SameFile(originalPath, romPath)) {
        reason = "it is the ROM itself; choose the untouched image it was made from";
        return false;
    }
    ByteVector bytes;
    std::string error;
    if (!ReadWholeFile(originalPath, static_cast<std::size_t>(kMaxRomImageSize), bytes, error)) {
        reason = error;
        return false;
    }
    if (reason = Unfit(bytes, romLayout); !reason.empty())
        return false;
    original = {originalPath, bytes.size(), Crc32(bytes)};
    image = std::move(bytes);
    return true;
}

bool ReadRememberedOriginal(const OriginalRom& original, const std::string& romPath,
                            const RomLayout& romLayout, ByteVector& image, std::string& reason) {
    ByteVector bytes;
    OriginalRom now;
    if (!ReadCandidateOriginal(original.path, romPath, romLayout, bytes, now, reason))
        return false;
    if (now.size != original.size || now.crc != original.crc) {
        reason = "it has changed since it was set: " + std::to_string(now.size) +
                 " bytes, CRC32 " + Hex32(now.crc) + "; it was " + std::to_string(original.size) +
                 " bytes, CRC32 " + Hex32(original.crc) + ". Set the original again";
        return false;
    }
    image = std::move(bytes);
    return true;
}

std::vector<int> GroupsChangedFromOriginal(const RomLayout& layout, ByteSpan original,
                                           ByteSpan table) {
    return ChangedGroupsOfTables(TableOf(original, layout), table);
}

}  // namespace om
