// Writing a whole file so that it is there complete or not at all, the old
// file (if any) kept until the new one is safely on the disk.
#pragma once

#include <chrono>
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
// name. The temporary file is named ".<name>.omtmp-<pid>-<boot>-XXXXXX"
// (the writer's process id, the first eight hex digits of the system's boot
// id, six random characters), <name> cut so that it fits wherever path's
// own name does; those of writers gone for an hour or more are removed from
// the folder first (RemoveStaleTemporaries). A symbolic link is followed to
// the file it leads to; a link that leads to no file (dangling, or in a
// loop) is refused and left as it is. An existing file
// that another editor or a writing command holds (its flock) is refused and
// left as it is, as is anything but a regular file. False, with error
// naming the path and the system's reason, on any failure; path is then as
// it was and no temporary file is left.
bool WriteWholeFile(const std::string& path, const std::uint8_t* data, std::size_t size,
                    ExistingFile existing, std::string& error);

// Removes from folder the temporary files WriteWholeFile left there (killed
// while writing) at least minAge old whose writer is gone: made before the
// system last started, or by a process that no longer runs. Anything else,
// however named, is left alone.
void RemoveStaleTemporaries(const std::string& folder, std::chrono::seconds minAge);

}  // namespace om
