// IPS and BPS patches: making one from two images, and applying one to an
// image. Free of widgets and files; patches come from strangers, so every
// size, offset and length read from one is checked before it is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace om {

using ByteVector = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

enum class PatchFormat { Ips, Bps };

// The largest image a patch may produce.
inline constexpr std::size_t kMaxPatchTarget = 64u * 1024 * 1024;  // 64 MiB
// The largest patch this program reads.
inline constexpr std::size_t kMaxPatchSize = 64u * 1024 * 1024;  // 64 MiB
// An IPS patch may write at most this many times as many bytes as its result
// holds: a patch that rewrites the same bytes over and over costs time and
// gives nothing, and is refused.
inline constexpr std::size_t kMaxIpsRewrites = 4;

// The offsets an IPS patch's records write, [first, end); empty when it has none.
struct WrittenRange {
    std::size_t first = 0;
    std::size_t end = 0;
};

// By a file name's extension, ".ips" or ".bps" in any letter case; nullopt otherwise.
std::optional<PatchFormat> PatchFormatForPath(std::string_view path);
// By the patch's first bytes ("PATCH" or "BPS1"); nullopt otherwise.
std::optional<PatchFormat> PatchFormatOf(ByteSpan patch);

std::uint32_t Crc32(ByteSpan bytes);

// Each returns false and sets error (one line, for people, naming the problem and, for a
// patch being read, its byte position in the patch) and leaves the output untouched on failure.
bool MakeIpsPatch(ByteSpan source, ByteSpan target, ByteVector& patch, std::string& error);
bool MakeBpsPatch(ByteSpan source, ByteSpan target, ByteVector& patch, std::string& error);
// Two images of size bytes that may differ only in [offset, offset +
// before.size()): the source holds before there, the target after; their
// CRC32s are given. Made without looking at, or holding, the rest.
struct BpsRangeEdit {
    std::size_t size = 0;
    std::size_t offset = 0;
    ByteSpan before;
    ByteSpan after;
    std::uint32_t sourceCrc = 0;
    std::uint32_t targetCrc = 0;
};
// The patch MakeBpsPatch makes of those two images, byte for byte.
bool MakeBpsPatchOfRange(const BpsRangeEdit& edit, ByteVector& patch, std::string& error);
// The CRC32 of the bytes a, then b, from the CRC32 of each and b's length.
std::uint32_t Crc32Combine(std::uint32_t a, std::uint32_t b, std::size_t bSize);
bool MakePatch(PatchFormat format, ByteSpan source, ByteSpan target, ByteVector& patch,
               std::string& error);
// written, when given, is set to the range the records write.
bool ApplyIpsPatch(ByteSpan source, ByteSpan patch, ByteVector& target, std::string& error,
                   WrittenRange* written = nullptr);
bool ApplyBpsPatch(ByteSpan source, ByteSpan patch, ByteVector& target, std::string& error);
// By the patch's magic; an unknown format is an error.
bool ApplyPatch(ByteSpan source, ByteSpan patch, ByteVector& target, std::string& error);

}  // namespace om
