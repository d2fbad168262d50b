// What the companion's commands share: exit statuses and messages, the
// checks every ROM passes before a byte of it is read or written, and the
// way entries and numbers are written and read on the command line.
#pragma once

#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "romdata/BattleAnimData.h"
#include "romdata/RomFile.h"
#include "romdata/RomProbe.h"

namespace omcli {

inline constexpr char kProgram[] = "ombattleanim-cli";

// Exit statuses as command-line tools use them: a file that cannot be used
// is 1, a command line that cannot be understood is 2.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFileError = 1;
inline constexpr int kExitUsage = 2;

// Prints "ombattleanim-cli: message" on standard error, its control
// characters escaped (om::TerminalSafe); returns status.
int Fail(const std::string& message, int status = kExitFileError);
// The same, with a pointer to --help; returns kExitUsage.
int UsageError(const std::string& message);

// Options that change what a command accepts.
struct Options {
    // Read and edit an image whose title matches no layout; its layout then
    // follows its size.
    bool force = false;
    // make-patch: "ips" or "bps" as given; empty when OUT's name decides.
    std::string format;
    // usage: the layer asked for, 1 or 2; 0 for both.
    int layer = 0;
    // history: the version --show asks for (from 1); 0 without --show.
    int show = 0;
    // history: --orphans was given.
    bool orphans = false;
    // find: the original ROM's path for the "changed" term; empty for none.
    std::string original;
};

// A file opened for reading after it was found to be a regular file:
// devices, FIFOs and folders are refused before anything reads them, and
// the open itself never waits for a FIFO's writer.
class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    // False, with a one-line reason, when path cannot be read as a file.
    bool open(const std::string& path, std::string& reason);
    std::FILE* stream() const { return file_; }
    long size() const { return size_; }

private:
    std::FILE* file_ = nullptr;
    long size_ = 0;
};

// Why an image cannot be read or edited with this probe (too short, larger
// than the editor takes, or a title that matches no layout without --force);
// empty when it can.
std::string RefusalReason(const std::string& path, const om::RomProbe& probe,
                          const Options& options);

// A ROM image open for reading, its layout decided.
struct RomReading {
    InputFile file;
    om::RomProbe probe;
};

// Opens path as a ROM image for reading; false, with a one-line reason, when
// it is not a regular file, cannot be read, or is refused by RefusalReason.
bool OpenRom(const std::string& path, const Options& options, RomReading& rom, std::string& reason);

// Reads the enemy names and the whole table of an open ROM into data, at the
// offsets of its layout; false on a read error.
bool ReadRomData(const RomReading& rom, om::BattleAnimData& data);

// Opens path into file for updating in place, after the checks OpenRom
// makes, and decides its layout again through the stream that will write
// it. False, with a one-line reason, when the image must not be written.
bool OpenRomForUpdate(const std::string& path, const Options& options, om::RomFile& file,
                      om::RomLayout& layout, std::string& reason);

using Entry = std::array<int, 4>;  // layer 1 lo, layer 1 hi, layer 2 lo, layer 2 hi

Entry EntryOf(const om::GroupRecord& record);
// "12,0,255,1"
std::string FormatEntry(const Entry& entry);

// Record g's description as people read it: the names in UTF-8, control
// characters from the ROM escaped (om::TerminalSafe).
std::string Description(const om::BattleAnimData& data, int g);

// A whole number from 0 to max, written in decimal or as 0x hex; nothing for
// anything else (signs, spaces, other bases, a larger number).
std::optional<int> ParseNumber(std::string_view text, int max);

// The layout an image does not have: what a CSV of the other kind was read
// from.
const om::RomLayout& OtherLayout(const om::RomLayout& layout);

}  // namespace omcli
