// BPS: "BPS1", the source, target and metadata sizes as variable-length
// numbers, the metadata, the actions, and the CRC32 of the source, of the
// target and of the patch before its last four bytes, each little-endian.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <string>

#include "patch/BpsNumber.h"
#include "patch/Patch.h"

namespace om {

namespace {

constexpr std::size_t kMagicSize = 4;        // "BPS1"
constexpr std::size_t kChecksumsSize = 12;  // three CRC32 values
constexpr std::size_t kSmallestPatch = kMagicSize + 3 + kChecksumsSize;

enum Action : std::uint64_t { SourceRead = 0, TargetRead = 1, SourceCopy = 2, TargetCopy = 3 };

void PutLittleEndian32(ByteVector& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t GetLittleEndian32(ByteSpan bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i-- > 0;)
        value = value << 8 | bytes[at + i];
    return value;
}

std::string Hex32(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08" PRIX32, value);
    return text;
}

void PutAction(ByteVector& out, Action action, std::size_t length) {
    AppendBpsNumber(out, (static_cast<std::uint64_t>(length) - 1) << 2 | action);
}

// Reads a BPS patch's numbers and actions with every step checked against
// the patch, the source and the target.
class BpsReader {
public:
    BpsReader(ByteSpan source, ByteSpan patch, std::string& error)
        : source_(source), patch_(patch), actions_(patch.first(patch.size() - kChecksumsSize)),
          error_(error) {}

    bool run(ByteVector& target) {
        pos_ = kMagicSize;
        std::uint64_t sourceSize = 0, targetSize = 0, metadataSize = 0;
        if (!number(sourceSize))
            return false;
        const std::size_t targetSizeAt = pos_;
        if (!number(targetSize))
            return false;
        const std::size_t metadataAt = pos_;
        if (!number(metadataSize))
            return false;
        if (metadataSize > actions_.size() - pos_)
            return fail(metadataAt, "the metadata size, " + std::to_string(metadataSize) +
                                        " bytes, runs past the end of the patch");
        pos_ += static_cast<std::size_t>(metadataSize);
        if (targetSize > kMaxPatchTarget)
            return fail(targetSizeAt, "the patch claims a result of " + std::to_string(targetSize) +
                                        " bytes, more than the 64 MiB this program accepts");

        const std::size_t crcAt = actions_.size();
        const std::uint32_t sourceCrc = GetLittleEndian32(patch_, crcAt);
        const std::uint32_t targetCrc = GetLittleEndian32(patch_, crcAt + 4);
        const std::uint32_t patchCrc = GetLittleEndian32(patch_, crcAt + 8);
        // The source's size, then the patch's own checksum, then the source's:
        // a patch cut short or damaged reads its source checksum from the wrong
        // place, and is better called damaged than meant for another image.
        if (sourceSize != source_.size()) {
            error_ = "this BPS patch is for another image: it expects " +
                     std::to_string(sourceSize) + " bytes, this image has " +
                     std::to_string(source_.size());
            return false;
        }
        if (Crc32(patch_.first(patch_.size() - 4)) != patchCrc)
            return fail(crcAt + 8, "the patch is damaged: its own CRC32 does not match");
        if (Crc32(source_) != sourceCrc) {
            error_ = "this BPS patch is for another image: it expects CRC32 " + Hex32(sourceCrc) +
                     ", this image has " + Hex32(Crc32(source_));
            return false;
        }

        ByteVector out;
        out.reserve(static_cast<std::size_t>(targetSize));
        if (!actions(out, static_cast<std::size_t>(targetSize)))
            return false;
        if (Crc32(out) != targetCrc)
            return fail(crcAt + 4, "the result's CRC32 is " + Hex32(Crc32(out)) +
                                       ", the patch expects " + Hex32(targetCrc));
        target = std::move(out);
        return true;
    }

private:
    bool fail(std::size_t at, const std::string& what) {
        error_ = "BPS patch, byte " + std::to_string(at) + ": " + what;
        return false;
    }

    bool number(std::uint64_t& value) {
        const std::size_t at = pos_;
        switch (ReadBpsNumber(actions_, pos_, value)) {
        case BpsNumberRead::Ok:
            return true;
        case BpsNumberRead::EndsEarly:
            return fail(at, "the patch ends inside a number");
        case BpsNumberRead::TooLarge:
            break;
        }
        return fail(at, "a number too large for 64 bits");
    }

    // Moves a relative offset by a signed distance within [0, limit].
    bool move(std::size_t at, std::uint64_t& offset, std::size_t limit, const char* what) {
        std::uint64_t step = 0;
        if (!number(step))
            return false;
        const std::uint64_t distance = step >> 1;
        if (step & 1) {
            if (distance > offset)
                return fail(at, std::string("the copy moves the ") + what +
                                    " offset before its start");
            offset -= distance;
        } else {
            if (distance > limit - offset)
                return fail(at, std::string("the copy moves the ") + what + " offset past its end");
            offset += distance;
        }
        return true;
    }

    bool actions(ByteVector& out, std::size_t targetSize) {
        std::uint64_t sourceOffset = 0, targetOffset = 0;
        while (pos_ < actions_.size()) {
            const std::size_t at = pos_;
            std::uint64_t d = 0;
            if (!number(d))
                return false;
            const std::uint64_t length = (d >> 2) + 1;
            const std::size_t written = out.size();
            if (length > targetSize - written)
                return fail(at, "the action writes " + std::to_string(length) +
                                    " bytes where the result has " +
                                    std::to_string(targetSize - written) + " left");
            const auto n = static_cast<std::size_t>(length);
            switch (d & 3) {
            case SourceRead:
                if (n > source_.size() || written > source_.size() - n)
                    return fail(at, "the action reads past the end of the source");
                out.insert(out.end(), source_.begin() + static_cast<std::ptrdiff_t>(written),
                           source_.begin() + static_cast<std::ptrdiff_t>(written + n));
                break;
            case TargetRead:
                if (n > actions_.size() - pos_)
                    return fail(at, "the action needs " + std::to_string(n) +
                                        " bytes, the patch has " +
                                        std::to_string(actions_.size() - pos_) + " left");
                out.insert(out.end(), actions_.begin() + static_cast<std::ptrdiff_t>(pos_),
                           actions_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
                pos_ += n;
                break;
            case SourceCopy:
                if (!move(at, sourceOffset, source_.size(), "source"))
                    return false;
                if (n > source_.size() - sourceOffset)
                    return fail(at, "the copy reads past the end of the source");
                out.insert(out.end(), source_.begin() + static_cast<std::ptrdiff_t>(sourceOffset),
                           source_.begin() + static_cast<std::ptrdiff_t>(sourceOffset + n));
                sourceOffset += n;
                break;
            case TargetCopy:
                if (!move(at, targetOffset, written, "target"))
                    return false;
                // Each byte read was written before it: the copy may overlap itself.
                if (targetOffset >= written)
                    return fail(at, "the copy reads target bytes not yet written");
                for (std::size_t i = 0; i < n; ++i) {
                    const std::uint8_t byte = out[static_cast<std::size_t>(targetOffset) + i];
                    out.push_back(byte);
                }
                targetOffset += n;
                break;
            }
        }
        if (out.size() != targetSize)
            return fail(pos_, "the actions end after " + std::to_string(out.size()) +
                                  " bytes of a " + std::to_string(targetSize) + "-byte result");
        return true;
    }

    ByteSpan source_;
    ByteSpan patch_;
    ByteSpan actions_;  // the patch without its three checksums
    std::string& error_;
    std::size_t pos_ = 0;
};

}  // namespace

namespace {

// The whole patch for a source of sourceSize bytes and a target of
// targetSize: alternate runs of source bytes kept (SourceRead) and target
// bytes given (TargetRead), found with same(i) (target byte i equals the
// source's); next(i) is the first position after an unchanged i that may
// differ, so that stretches known to be equal are passed over at once.
// targetAt(i) points at target byte i.
template <class Same, class Next, class TargetAt>
ByteVector BpsOfRuns(std::size_t sourceSize, std::size_t targetSize, Same same, Next next,
                     TargetAt targetAt, std::uint32_t sourceCrc, std::uint32_t targetCrc) {
    ByteVector out{'B', 'P', 'S', '1'};
    AppendBpsNumber(out, sourceSize);
    AppendBpsNumber(out, targetSize);
    AppendBpsNumber(out, 0);  // no metadata
    for (std::size_t i = 0; i < targetSize;) {
        const bool unchanged = same(i);
        std::size_t end = unchanged ? next(i) : i + 1;
        while (end < targetSize && same(end) == unchanged)
            end = unchanged ? next(end) : end + 1;
        end = std::min(end, targetSize);
        PutAction(out, unchanged ? SourceRead : TargetRead, end - i);
        if (!unchanged)
            out.insert(out.end(), targetAt(i), targetAt(i) + (end - i));
        i = end;
    }
    PutLittleEndian32(out, sourceCrc);
    PutLittleEndian32(out, targetCrc);
    PutLittleEndian32(out, Crc32(out));
    return out;
}

bool TooLarge(std::size_t targetSize, std::string& error) {
    if (targetSize <= kMaxPatchTarget)
        return false;
    error = "the changed image has " + std::to_string(targetSize) +
            " bytes, more than the 64 MiB a patch may produce";
    return true;
}

}  // namespace

bool MakeBpsPatch(ByteSpan source, ByteSpan target, ByteVector& patch, std::string& error) {
    if (TooLarge(target.size(), error))
        return false;
    patch = BpsOfRuns(
        source.size(), target.size(),
        [&](std::size_t i) { return i < source.size() && source[i] == target[i]; },
        [](std::size_t i) { return i + 1; }, [&](std::size_t i) { return target.data() + i; },
        Crc32(source), Crc32(target));
    return true;
}

bool MakeBpsPatchOfRange(const BpsRangeEdit& edit, ByteVector& patch, std::string& error) {
    const std::size_t begin = edit.offset, end = edit.offset + edit.before.size();
    if (edit.after.size() != edit.before.size() || end > edit.size || end < begin) {
        error = "the changed range does not lie within the image";
        return false;
    }
    if (TooLarge(edit.size, error))
        return false;
    // Outside [begin, end) the two images are the same: only the range is
    // looked at, and the output is what MakeBpsPatch gives for the images.
    patch = BpsOfRuns(
        edit.size, edit.size,
        [&](std::size_t i) {
            return i < begin || i >= end || edit.before[i - begin] == edit.after[i - begin];
        },
        [&](std::size_t i) { return i + 1 < begin ? begin : i + 1 >= end ? edit.size : i + 1; },
        [&](std::size_t i) { return edit.after.data() + (i - begin); }, edit.sourceCrc,
        edit.targetCrc);
    return true;
}

bool ApplyBpsPatch(ByteSpan source, ByteSpan patch, ByteVector& target, std::string& error) {
    if (PatchFormatOf(patch) != PatchFormat::Bps) {
        error = "not a BPS patch: it does not start with \"BPS1\"";
        return false;
    }
    if (patch.size() < kSmallestPatch) {
        error = "BPS patch, byte " + std::to_string(patch.size()) +
                ": the patch ends early; a BPS patch has at least " +
                std::to_string(kSmallestPatch) + " bytes";
        return false;
    }
    return BpsReader(source, patch, error).run(target);
}

}  // namespace om
