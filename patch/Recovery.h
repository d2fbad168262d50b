// Unsaved edits kept outside the program, so that they outlive it: for each
// ROM, a BPS patch that turns the file, as it is on the disk, into the image
// the editor holds, and a short text beside it that names the file (its
// absolute path, size and CRC32), the time and the groups changed. Nothing
// else is kept. Free of widgets.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "patch/Patch.h"
#include "romdata/RomLayout.h"

namespace om {

// $XDG_STATE_HOME/OMBattleAnim/LEAF when XDG_STATE_HOME names an absolute
// folder, else $HOME/.local/state/OMBattleAnim/LEAF; read at each call.
std::string StateFolder(const char* leaf);
// The folder of the recoveries: StateFolder("unsaved").
std::string RecoveryFolder();

// What a recovery's description says.
struct RecoveryDescription {
    std::string romPath;  // absolute, symbolic links resolved
    std::uint64_t romSize = 0;
    std::uint32_t romCrc = 0;  // of the file the patch applies to
    std::string time;          // when it was written, UTC, ISO 8601
    std::vector<int> groups;   // the groups whose entries the patch changes, ascending
};

// The description as the text file holds it, and back; Parse gives nullopt
// for a text that is not one.
std::string FormatRecoveryDescription(const RecoveryDescription& description);
std::optional<RecoveryDescription> ParseRecoveryDescription(std::string_view text);

// The groups whose four bytes differ between two images of one layout,
// ascending. Both images must hold the table.
std::vector<int> ChangedGroups(const RomLayout& layout, ByteSpan a, ByteSpan b);
// The same for two tables (1,940 bytes each).
std::vector<int> ChangedGroupsOfTables(ByteSpan a, ByteSpan b);
// The table of an image that holds it, 1,940 bytes.
ByteSpan TableOf(ByteSpan image, const RomLayout& layout);
// A copy of image with table (1,940 bytes) in place of its own.
ByteVector WithTable(ByteSpan image, const RomLayout& layout, ByteSpan table);

// The CRC32 of an image with any table in place of its own, from the CRC32s
// of the parts before and after the table, taken once: a pass over the
// table instead of one over the whole image.
class ImageCrc {
public:
    ImageCrc() = default;
    // image: one that holds the table.
    ImageCrc(ByteSpan image, const RomLayout& layout);
    std::uint32_t withTable(ByteSpan table) const;
    std::size_t size() const { return size_; }

private:
    std::uint32_t before_ = 0, after_ = 0;  // of [0, table) and [table end, size)
    std::size_t afterSize_ = 0;
    std::size_t size_ = 0;
};

// An image edited in its table alone: the file's size, its table and CRC32
// as it is on the disk, and the edited table with the edited image's CRC32.
struct TableEdit {
    std::size_t fileSize = 0;
    std::uint32_t fileCrc = 0;
    ByteSpan fileTable;
    ByteSpan editedTable;
    std::uint32_t editedCrc = 0;
};

// The BPS patch of such an edit, as MakeBpsPatch makes it of the two whole
// images, from the tables alone.
bool MakeTableBpsPatch(const RomLayout& layout, const TableEdit& edit, ByteVector& patch,
                       std::string& error);

// The recoveries of one ROM in one folder. A ROM has one recovery for each
// content it was edited from: the names are made of the file's name, a hash
// of its path and the CRC32 of its content, so a recovery made from content
// the file no longer has is never overwritten by one made from the new.
class RecoveryStore {
public:
    // romPath: absolute, symbolic links resolved.
    RecoveryStore(std::string folder, std::string romPath);

    const std::string& folder() const { return folder_; }
    // The recovery's files made from content with this CRC32, without their
    // extensions ".bps" (the patch) and ".txt" (the description).
    std::string stem(std::uint32_t crc) const;

    // Whether any recovery of this ROM lies in the folder, for any content.
    bool any() const;
    // Writes the recovery that turns the file into the edited image: the
    // patch, then the description, each whole or not at all, and then the
    // folder is synced. The folder is made when missing. False + error
    // (naming the file) on failure.
    bool write(const RomLayout& layout, const TableEdit& edit, std::string& error) const;
    // The image the recovery made from exactly this content gives: nullopt
    // with an empty error when there is none; nullopt with error saying why
    // when it is damaged: a file of it missing, a description cut short or
    // of another file, a patch that does not apply or changes other groups
    // than the description names.
    std::optional<ByteVector> read(const RomLayout& layout, ByteSpan file, std::uint32_t fileCrc,
                                   std::string& error) const;
    // Renames the files of the recovery made from this content (those there
    // are) to the same names with ".damaged-N" before the extension, N the
    // first number for which neither name exists; kept: their new paths.
    // False + error when a file of it could not be renamed.
    bool setAside(std::uint32_t crc, std::vector<std::string>& kept, std::string& error) const;
    // Removes the recovery made from content with this CRC32, if there is
    // one; false + error when a file of it stays.
    bool remove(std::uint32_t crc, std::string& error) const;

private:
    std::string folder_;
    std::string romPath_;
    std::string prefix_;  // StateFileStem of the path, then "-"
};

}  // namespace om
