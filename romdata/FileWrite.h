// Writing a whole file so that it is there complete or not at all, the old
// file (if any) kept until the new one is safely on the disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace om {

// What happens to a file already at the destination.
enum class ExistingFile {
    Replace,  // replaced, unless an editor or a writing command holds it
    Refuse,   // left alone: the write fails
};

// Writes size bytes to path: into a new temporary file beside it (its space
// reserved first, so that a full disk refuses before anything is written,
// every write checked, then synced and closed), which then takes path's
// name. A symbolic link is followed, as QSaveFile does. An existing file
// that another editor or a writing command holds (its flock) is refused and
// left as it is, as is anything but a regular file. False, with error
// naming the path and the system's reason, on any failure; path is then as
// it was and no temporary file is left.
bool WriteWholeFile(const std::string& path, const std::uint8_t* data, std::size_t size,
                    ExistingFile existing, std::string& error);

}  // namespace om
