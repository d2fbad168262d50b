// What an open ROM file was like when it was read, so that a write can
// first make sure no other program has changed it since: its size and
// modification time, its title and its whole table.
#pragma once

#include <sys/stat.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "romdata/RomLayout.h"

namespace om {

class RomFile;
class RomStream;

inline constexpr std::size_t kTableBytes = std::size_t(kGroupCount) * kEntrySize;
using TableBytes = std::array<std::uint8_t, kTableBytes>;

// A file's size and modification time.
struct FileStamp {
    long size = -1;
    struct timespec modified {};
    bool operator==(const FileStamp& o) const {
        return size == o.size && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec;
    }
};
// The open file's stamp now; false when it cannot be told.
bool StampOf(const RomStream& stream, FileStamp& stamp);

struct RomSnapshot {
    FileStamp stamp;
    std::array<std::uint8_t, kTitleLength> title{};
    TableBytes table{};

    // From an image read whole, with the stamp taken before it was read.
    static RomSnapshot OfImage(const std::vector<std::uint8_t>& image, const RomLayout& layout,
                               const FileStamp& stamp);
    // Stamps the open file and reads its title and table now; false when a
    // read fails or the file does not reach the table's end.
    static bool Take(const RomStream& stream, const RomLayout& layout, RomSnapshot& snapshot);
};

enum class FileState {
    Unchanged,   // the same file, size, time, title and table
    Changed,     // rewritten, truncated or touched by another program
    Gone,        // deleted, renamed away, or another file has its name now
    Unreadable,  // it could not be looked at
};

// Whether the open file is still the one the snapshot describes.
FileState CheckUnchanged(const RomFile& file, const RomLayout& layout, const RomSnapshot& snapshot);

}  // namespace om
