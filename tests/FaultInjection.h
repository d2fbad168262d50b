// Makes the ROM stream's system calls fail at a chosen point, the way a
// failing disk or a full one would, for as long as the object lives.
#pragma once

#include <cerrno>
#include <climits>

#include "romdata/RomFile.h"

namespace omtest {

class FaultInjection {
public:
    FaultInjection() : saved_(om::RomStream::systemCalls()) {
        readsFailFrom = LONG_MAX;
        syncFails = false;
        writes = failWriteAt = shortWriteAt = 0;
        om::RomStream::systemCalls() = {&Pread, &Pwrite, &Sync};
    }
    ~FaultInjection() { om::RomStream::systemCalls() = saved_; }
    FaultInjection(const FaultInjection&) = delete;
    FaultInjection& operator=(const FaultInjection&) = delete;

    // A read that reaches this offset fails with EIO.
    static inline long readsFailFrom = LONG_MAX;
    // fdatasync fails with EIO.
    static inline bool syncFails = false;
    // Writes so far; write number failWriteAt fails with EIO, and number
    // shortWriteAt puts only its first half into the file (0: none).
    static inline int writes = 0;
    static inline int failWriteAt = 0;
    static inline int shortWriteAt = 0;

private:
    static ssize_t Pread(int fd, void* buf, std::size_t n, off_t at) {
        if (at + static_cast<off_t>(n) > readsFailFrom) {
            errno = EIO;
            return -1;
        }
        return ::pread(fd, buf, n, at);
    }
    static ssize_t Pwrite(int fd, const void* buf, std::size_t n, off_t at) {
        ++writes;
        if (writes == failWriteAt) {
            errno = EIO;
            return -1;
        }
        return ::pwrite(fd, buf, writes == shortWriteAt ? n / 2 : n, at);
    }
    static int Sync(int fd) {
        if (syncFails) {
            errno = EIO;
            return -1;
        }
        return ::fdatasync(fd);
    }

    om::RomStream::SystemCalls saved_;
};

}  // namespace omtest
