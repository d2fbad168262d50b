// What IPS and BPS share: telling them apart, and the checksum.
#include "patch/Patch.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>

namespace om {

namespace {

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size())
        return false;
    const std::string_view tail = text.substr(text.size() - suffix.size());
    return std::equal(tail.begin(), tail.end(), suffix.begin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
}

bool StartsWith(ByteSpan bytes, std::string_view magic) {
    return bytes.size() >= magic.size() &&
           std::equal(magic.begin(), magic.end(), bytes.begin(),
                      [](char m, std::uint8_t b) { return static_cast<std::uint8_t>(m) == b; });
}

}  // namespace

std::optional<PatchFormat> PatchFormatForPath(std::string_view path) {
    if (EndsWithNoCase(path, ".ips"))
        return PatchFormat::Ips;
    if (EndsWithNoCase(path, ".bps"))
        return PatchFormat::Bps;
    return std::nullopt;
}

std::optional<PatchFormat> PatchFormatOf(ByteSpan patch) {
    if (StartsWith(patch, "PATCH"))
        return PatchFormat::Ips;
    if (StartsWith(patch, "BPS1"))
        return PatchFormat::Bps;
    return std::nullopt;
}

std::uint32_t Crc32(ByteSpan bytes) {
    const uLong crc = crc32_z(crc32_z(0L, Z_NULL, 0), bytes.data(), bytes.size());
    return static_cast<std::uint32_t>(crc);
}

std::uint32_t Crc32Combine(std::uint32_t a, std::uint32_t b, std::size_t bSize) {
    return static_cast<std::uint32_t>(crc32_combine(a, b, static_cast<z_off_t>(bSize)));
}

bool MakePatch(PatchFormat format, ByteSpan source, ByteSpan target, ByteVector& patch,
               std::string& error) {
    return format == PatchFormat::Ips ? MakeIpsPatch(source, target, patch, error)
                                      : MakeBpsPatch(source, target, patch, error);
}

bool ApplyPatch(ByteSpan source, ByteSpan patch, ByteVector& target, std::string& error) {
    const std::optional<PatchFormat> format = PatchFormatOf(patch);
    if (!format) {
        error = "not a patch this program knows: it starts with neither \"PATCH\" (IPS) nor "
                "\"BPS1\" (BPS)";
        return false;
    }
    return *format == PatchFormat::Ips ? ApplyIpsPatch(source, patch, target, error)
                                       : ApplyBpsPatch(source, patch, target, error);
}

}  // namespace om
