// Sharing edits as patches: make-patch and apply-patch. Both read whole
// files and write their result completely or not at all; neither ever
// writes over one of its inputs.
#include <sys/stat.h>

#include <cctype>
#include <iostream>

#include "Commands.h"
#include "patch/ImagePatch.h"
#include "patch/Patch.h"
#include "patch/PatchFile.h"
#include "romdata/TerminalSafe.h"

namespace omcli {

namespace {

const char* FormatName(om::PatchFormat format) {
    return format == om::PatchFormat::Bps ? "BPS" : "IPS";
}

// True when out names the same file as input (a hard or symbolic link
// included), so that writing it would replace the input.
bool SameFile(const std::string& out, const std::string& input) {
    struct stat a {
    }, b{};
    return ::stat(out.c_str(), &a) == 0 && ::stat(input.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

// Refuses an output that is one of the inputs; empty when it is none.
std::string OutputIsInput(const std::string& out, const std::string& a, const std::string& b) {
    for (const std::string* input : {&a, &b})
        if (SameFile(out, *input))
            return "'" + out + "' is the same file as '" + *input +
                   "'; name another file for the output";
    return {};
}

bool ReadInput(const std::string& path, om::ByteVector& bytes, std::string& reason) {
    return om::ReadWholeFile(path, om::kMaxPatchTarget, bytes, reason);
}

// A note or warning about a patch that was written all the same.
void Say(const std::string& note) {
    if (!note.empty())
        std::cerr << kProgram << ": " << note << "\n";
}

}  // namespace

int MakePatch(const Arguments& args, const Options& options) {
    const std::string& originalPath = args[0];
    const std::string& modifiedPath = args[1];
    const std::string& outPath = args[2];
    std::optional<om::PatchFormat> format;
    if (!options.format.empty()) {
        std::string name = options.format;
        for (char& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (name == "bps")
            format = om::PatchFormat::Bps;
        else if (name == "ips")
            format = om::PatchFormat::Ips;
        else
            return UsageError("--format takes ips or bps, not '" + options.format + "'");
    } else {
        format = om::PatchFormatForPath(outPath);
        if (!format)
            return UsageError("cannot tell the patch format from '" + outPath +
                              "': name it .bps (recommended) or .ips, or give --format bps");
    }
    std::string reason = OutputIsInput(outPath, originalPath, modifiedPath);
    if (!reason.empty())
        return Fail(reason);

    om::ByteVector original, modified, patch;
    if (!ReadInput(originalPath, original, reason) || !ReadInput(modifiedPath, modified, reason))
        return Fail(reason);
    if (original == modified)
        return Fail("'" + originalPath + "' and '" + modifiedPath +
                    "' are the same; no patch written");
    std::string note;
    if (!om::MakeImagePatch(*format, original, modified, patch, reason, &note))
        return Fail("cannot make the patch: " + reason + "; no patch written");
    if (!om::WriteFileAtomically(outPath, patch, reason))
        return Fail(reason);
    std::cout << "wrote " << om::TerminalSafe(outPath) << " (" << FormatName(*format) << " patch, " << patch.size()
              << " bytes)\n";
    Say(note);
    return kExitOk;
}

int ApplyPatch(const Arguments& args, const Options&) {
    const std::string& romPath = args[0];
    const std::string& patchPath = args[1];
    const std::string& outPath = args[2];
    std::string reason = OutputIsInput(outPath, romPath, patchPath);
    if (!reason.empty())
        return Fail(reason);

    om::ByteVector rom, patch, result;
    if (!ReadInput(romPath, rom, reason) ||
        !om::ReadWholeFile(patchPath, om::kMaxPatchSize, patch, reason))
        return Fail(reason);
    std::string note;
    if (!om::ApplyImagePatch(rom, patch, result, note, reason))
        return Fail("cannot apply '" + patchPath + "' to '" + romPath + "': " + reason +
                    "; nothing written");
    if (!om::WriteFileAtomically(outPath, result, reason))
        return Fail(reason);
    std::cout << "wrote " << om::TerminalSafe(outPath) << " (" << result.size() << " bytes)\n";
    Say(note);
    return kExitOk;
}

}  // namespace omcli
