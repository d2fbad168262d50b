// IPS: "PATCH", records (3-byte big-endian offset, 2-byte big-endian size,
// then the data; size 0: a 2-byte count and one byte repeated), "EOF", and
// optionally the 3-byte size to cut the result to.
#include <algorithm>
#include <cstdint>
#include <string>

#include "patch/Patch.h"

namespace om {

namespace {

constexpr std::size_t kMagicSize = 5;            // "PATCH"
constexpr std::uint8_t kEndMarker[] = {'E', 'O', 'F'};
constexpr std::size_t kOffsetLimit = 0x1000000;  // offsets are 24-bit
constexpr std::size_t kEndMarkerOffset = 0x454F46;  // an offset that reads as "EOF"
constexpr std::size_t kMaxRecordData = 0xFFFF;
constexpr std::size_t kRecordHeaderSize = 5;     // offset and size
constexpr std::size_t kRunRecordSize = 8;        // offset, 0, count, value
constexpr std::size_t kTruncationSize = 3;

void PutBigEndian(ByteVector& out, std::size_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::size_t GetBigEndian(ByteSpan bytes, std::size_t at, int count) {
    std::size_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
    return value;
}

// Writes the records that turn the source into target; every record starts
// below 16 MiB and none starts at the offset that reads as the end marker.
class RecordWriter {
public:
    RecordWriter(ByteSpan target, ByteVector& out) : target_(target), out_(out) {}

    // Target bytes [at, end) as literal records of at most 65,535 bytes. A record
    // that would start at 0x454F46 starts a byte earlier, repeating that byte.
    void literal(std::size_t at, std::size_t end) {
        while (at < end) {
            const std::size_t start = at == kEndMarkerOffset ? at - 1 : at;
            const std::size_t size = std::min(end - start, kMaxRecordData);
            PutBigEndian(out_, start, 3);
            PutBigEndian(out_, size, 2);
            out_.insert(out_.end(), target_.begin() + static_cast<std::ptrdiff_t>(start),
                        target_.begin() + static_cast<std::ptrdiff_t>(start + size));
            at = start + size;
        }
    }

    // Target bytes [at, end), all the same value, as run records; a piece too
    // short to gain from one goes as literal data.
    void run(std::size_t at, std::size_t end) {
        while (at < end) {
            if (at == kEndMarkerOffset) {
                literal(at, at + 1);
                ++at;
                continue;
            }
            const std::size_t count = std::min(end - at, kMaxRecordData);
            if (count + kRecordHeaderSize <= kRunRecordSize) {
                literal(at, at + count);
            } else {
                PutBigEndian(out_, at, 3);
                PutBigEndian(out_, 0, 2);
                PutBigEndian(out_, count, 2);
                out_.push_back(target_[at]);
            }
            at += count;
        }
    }

    // One changed stretch [start, end): repeated bytes go in run records where
    // that is shorter than keeping them in the literal data around them.
    void stretch(std::size_t start, std::size_t end) {
        std::size_t pending = start;  // first byte not yet written
        for (std::size_t p = start; p < end;) {
            std::size_t q = p + 1;
            while (q < end && target_[q] == target_[p])
                ++q;
            const bool before = pending < p;
            const bool after = q < end;
            // Kept literal, the run costs its length; as a run record it costs the
            // record, plus a header where it splits the literal data in two, less one
            // where it replaces the stretch's only record.
            std::size_t cost = kRunRecordSize;
            if (before && after)
                cost += kRecordHeaderSize;
            if (!before && !after)
                cost -= kRecordHeaderSize;
            if (q - p > cost) {
                literal(pending, p);
                run(p, q);
                pending = q;
            }
            p = q;
        }
        literal(pending, end);
    }

private:
    ByteSpan target_;
    ByteVector& out_;
};

}  // namespace

bool MakeIpsPatch(ByteSpan source, ByteSpan target, ByteVector& patch, std::string& error) {
    const auto changed = [&](std::size_t i) { return i >= source.size() || source[i] != target[i]; };
    const std::size_t n = target.size();
    if (n < source.size() && n >= kOffsetLimit) {
        error = "IPS cannot cut an image to " + std::to_string(n) +
                " bytes: sizes at or beyond 16 MiB cannot be written in it; use BPS";
        return false;
    }

    ByteVector out{'P', 'A', 'T', 'C', 'H'};
    RecordWriter writer(target, out);
    for (std::size_t i = 0; i < n;) {
        if (!changed(i)) {
            ++i;
            continue;
        }
        // A stretch of changes, joined across unchanged gaps shorter than the
        // record header a new record would cost.
        const std::size_t start = i;
        std::size_t end = i;
        for (;;) {
            while (end < n && changed(end))
                ++end;
            std::size_t next = end;
            while (next < n && next - end < kRecordHeaderSize && !changed(next))
                ++next;
            if (next == n || next - end >= kRecordHeaderSize)
                break;
            end = next;
        }
        if (end > kOffsetLimit) {
            error = "IPS cannot change byte " + std::to_string(std::max(start, kOffsetLimit)) +
                    ": offsets at or beyond 16 MiB cannot be written in it; use BPS";
            return false;
        }
        writer.stretch(start, end);
        i = end;
    }
    out.insert(out.end(), std::begin(kEndMarker), std::end(kEndMarker));
    if (n < source.size())
        PutBigEndian(out, n, 3);
    patch = std::move(out);
    return true;
}

bool ApplyIpsPatch(ByteSpan source, ByteSpan patch, ByteVector& target, std::string& error,
                   WrittenRange* written) {
    if (PatchFormatOf(patch) != PatchFormat::Ips) {
        error = "not an IPS patch: it does not start with \"PATCH\"";
        return false;
    }
    const auto fail = [&](std::size_t at, const std::string& what) {
        error = "IPS patch, byte " + std::to_string(at) + ": " + what;
        return false;
    };
    const std::size_t size = patch.size();
    ByteVector out(source.begin(), source.end());
    std::size_t pos = kMagicSize;
    std::size_t total = 0;  // bytes the records have written so far
    WrittenRange range{SIZE_MAX, 0};
    for (;;) {
        const std::size_t left = size - pos;
        if (left >= 3 && std::equal(std::begin(kEndMarker), std::end(kEndMarker),
                                    patch.begin() + static_cast<std::ptrdiff_t>(pos))) {
            pos += 3;
            break;
        }
        if (left < kRecordHeaderSize)
            return fail(pos, "the patch ends before its end marker \"EOF\"");
        const std::size_t recordAt = pos;
        const std::size_t offset = GetBigEndian(patch, pos, 3);
        std::size_t count = GetBigEndian(patch, pos + 3, 2);
        pos += kRecordHeaderSize;
        const std::uint8_t* data = nullptr;
        if (count == 0) {
            if (size - pos < 3)
                return fail(recordAt, "the patch ends inside this run record");
            count = GetBigEndian(patch, pos, 2);
            if (count == 0)
                return fail(recordAt, "a run record with a count of 0");
            pos += 3;
        } else {
            if (size - pos < count)
                return fail(recordAt, "the record needs " + std::to_string(count) +
                                          " data bytes, the patch has " +
                                          std::to_string(size - pos) + " left");
            data = patch.data() + pos;
            pos += count;
        }
        const std::size_t end = offset + count;  // below 16 MiB + 64 KiB
        if (end > kMaxPatchTarget)
            return fail(recordAt, "the record writes past 64 MiB");
        if (end > out.size())
            out.resize(end);
        // The image only grows until the cut at the end, so a patch that
        // writes each byte of its result at most kMaxIpsRewrites times never
        // comes past this.
        total += count;
        if (total > kMaxIpsRewrites * out.size())
            return fail(recordAt, "with this record the patch writes " + std::to_string(total) +
                                      " bytes, more than " + std::to_string(kMaxIpsRewrites) +
                                      " times the " + std::to_string(out.size()) +
                                      " bytes of its result: it rewrites the same bytes over "
                                      "and over");
        range = {std::min(range.first, offset), std::max(range.end, end)};
        if (data)
            std::copy(data, data + count, out.begin() + static_cast<std::ptrdiff_t>(offset));
        else
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(offset), count, patch[pos - 1]);
    }
    if (size - pos == kTruncationSize) {
        const std::size_t cut = GetBigEndian(patch, pos, 3);
        if (cut > out.size())
            return fail(pos, "the size to cut the image to, " + std::to_string(cut) +
                                 " bytes, is past its end (" + std::to_string(out.size()) +
                                 " bytes)");
        out.resize(cut);
    } else if (size != pos) {
        return fail(pos, std::to_string(size - pos) +
                             " bytes after the end marker, where only a 3-byte size may stand");
    }
    target = std::move(out);
    if (written)
        *written = range.end ? range : WrittenRange{};
    return true;
}

}  // namespace om
