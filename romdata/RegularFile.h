// Opening a file only when it is a regular file. The path is looked at first
// (stat), so that a device, a FIFO or a folder is never opened: opening a
// device can have effects of its own, and a FIFO waits for a writer. Then it
// is opened, and fstat confirms that what was opened is the very file looked
// at (same device and inode), not something put in its place meanwhile.
#pragma once

#include <sys/stat.h>

#include <string>

namespace om {

struct RegularFile {
    enum class Result {
        Opened,      // fd is open; the caller closes it
        Failed,      // stat or open failed: error holds errno
        NotRegular,  // a folder, FIFO, device or socket: st tells which
        Replaced,    // another file stood at the path when it was opened
    };
    Result result = Result::Failed;
    int fd = -1;
    int error = 0;
    struct stat st {};  // of the file opened, or of what was refused
};

// Opens path with flags (O_RDONLY or O_RDWR; never creating it). O_NOCTTY and
// O_CLOEXEC are added, and O_NONBLOCK for the open itself, so that a FIFO
// swapped in after the look is not waited on.
RegularFile OpenRegularFile(const std::string& path, int flags);

// Tests set this to act between the look at the path and its opening, as
// another program replacing the file could; nullptr otherwise.
using BetweenLookAndOpen = void (*)(const std::string& path);
BetweenLookAndOpen& betweenLookAndOpen();

}  // namespace om
