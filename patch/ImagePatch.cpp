#include "patch/ImagePatch.h"

#include <algorithm>
#include <optional>

#include "patch/BpsNumber.h"
#include "romdata/RomProbe.h"

namespace om {

namespace {

constexpr std::size_t kHeaderSize = static_cast<std::size_t>(kCopierHeaderSize);

RomLayout LayoutOf(ByteSpan image) {
    return ProbeRomImage(image.data(), image.size()).layout;
}

bool CarriesHeader(ByteSpan image) {
    return image.size() >= kHeaderSize && LayoutOf(image).headerSize == kCopierHeaderSize;
}

// The source size a BPS patch declares; nothing for an IPS patch or one
// that ends before the number does.
std::optional<std::uint64_t> BpsSourceSize(ByteSpan patch) {
    std::size_t pos = 4;  // past "BPS1"
    std::uint64_t size = 0;
    if (PatchFormatOf(patch) != PatchFormat::Bps ||
        ReadBpsNumber(patch, pos, size) != BpsNumberRead::Ok)
        return std::nullopt;
    return size;
}

// Where an image of the other layout keeps the battle background table is
// 512 bytes off from this one's: an IPS patch that writes only there, and
// not only in this image's table, was most likely made for the other kind.
std::string OtherLayoutWarning(ByteSpan image, const WrittenRange& written) {
    if (written.first >= written.end)
        return {};
    const RomLayout here = LayoutOf(image);
    const RomLayout other{here.headerSize == 0 ? kCopierHeaderSize : 0};
    const auto inTable = [&](const RomLayout& layout) {
        return written.first >= static_cast<std::size_t>(layout.entryOffset(0)) &&
               written.end <= static_cast<std::size_t>(layout.tableEnd());
    };
    if (!inTable(other) || inTable(here))
        return {};
    const bool header = here.headerSize != 0;
    return std::string("warning: this IPS patch writes only in the battle background table of "
                       "an image ") +
           (header ? "without a copier header" : "with a 512-byte copier header") +
           ", and this image has " + (header ? "one" : "none") +
           ": it was probably made for an image " + (header ? "without" : "with") +
           " a header; it was applied to the file as it is, 512 bytes off";
}

// Never hand out a patch that this program would refuse, or that it would
// turn the original into anything but the modified image with.
bool GivesBack(ByteSpan original, ByteSpan modified, ByteSpan patch, std::string& error) {
    ByteVector applied;
    std::string ignored;
    if (!ApplyImagePatch(original, patch, applied, ignored, error)) {
        error = "it would be refused when applied: " + error;
        return false;
    }
    if (!std::equal(applied.begin(), applied.end(), modified.begin(), modified.end())) {
        error = "applied to the original it would not give the modified image";
        return false;
    }
    return true;
}

}  // namespace

bool MakeImagePatch(PatchFormat format, ByteSpan original, ByteSpan modified, ByteVector& patch,
                    std::string& error, std::string* note) {
    std::string said;
    bool behindHeader = false;
    if (format == PatchFormat::Bps && CarriesHeader(original) && CarriesHeader(modified)) {
        behindHeader = std::equal(original.begin(), original.begin() + kHeaderSize,
                                  modified.begin());
        // A changed header would be lost behind it: the whole files keep it.
        if (!behindHeader)
            said = "note: the copier headers of the two images differ, so the patch is made "
                   "against the whole files and applies only to images with this header";
    }
    const std::size_t skip = behindHeader ? kHeaderSize : 0;
    ByteVector made;
    if (!MakePatch(format, original.subspan(skip), modified.subspan(skip), made, error))
        return false;

    if (!GivesBack(original, modified, made, error))
        return false;
    patch = std::move(made);
    if (note)
        *note = said;
    return true;
}

bool ApplyImagePatch(ByteSpan image, ByteSpan patch, ByteVector& result, std::string& note,
                     std::string& error) {
    note.clear();
    if (patch.size() > kMaxPatchSize) {
        error = "the patch has " + std::to_string(patch.size()) + " bytes, more than the " +
                std::to_string(kMaxPatchSize) + " this program reads";
        return false;
    }
    const std::optional<std::uint64_t> sourceSize = BpsSourceSize(patch);
    const bool header = CarriesHeader(image);
    if (sourceSize && header && *sourceSize != image.size()) {
        // Made against the image behind its header: the header is set aside
        // and put back in front of the result unchanged.
        const ByteSpan behind = image.subspan(kHeaderSize);
        if (*sourceSize != behind.size()) {
            error = "this BPS patch is for another image: it expects " +
                    std::to_string(*sourceSize) + " bytes, this image has " +
                    std::to_string(behind.size()) + " behind its 512-byte copier header (" +
                    std::to_string(image.size()) + " in all)";
            return false;
        }
        ByteVector out;
        if (!ApplyBpsPatch(behind, patch, out, error))
            return false;
        out.insert(out.begin(), image.begin(), image.begin() + kHeaderSize);
        result = std::move(out);
        return true;
    }
    if (sourceSize && !header && *sourceSize == image.size() + kHeaderSize) {
        error = "this BPS patch was made from the whole of an image with a 512-byte copier "
                "header, and applies only to such an image; this one has none";
        return false;
    }
    ByteVector out;
    WrittenRange written;
    const bool ips = PatchFormatOf(patch) == PatchFormat::Ips;
    if (!(ips ? ApplyIpsPatch(image, patch, out, error, &written)
              : ApplyPatch(image, patch, out, error)))
        return false;
    if (ips)
        note = OtherLayoutWarning(image, written);
    else if (header)
        note = "note: this BPS patch was made from a whole image with its 512-byte copier header, "
               "and was applied to the whole file; it will not work for images without one";
    result = std::move(out);
    return true;
}

}  // namespace om
