#include "romdata/RomSnapshot.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "romdata/RomFile.h"

namespace om {

namespace {

// Reads exactly n bytes at offset through the stream's system calls.
bool ReadAt(const RomStream& stream, std::uint8_t* to, std::size_t n, long at) {
    while (n > 0) {
        const ssize_t r = RomStream::systemCalls().pread(stream.fd(), to, n, static_cast<off_t>(at));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        to += r;
        n -= static_cast<std::size_t>(r);
        at += r;
    }
    return true;
}

}  // namespace

bool StampOf(const RomStream& stream, FileStamp& stamp) {
    struct stat st {};
    if (::fstat(stream.fd(), &st) != 0)
        return false;
    stamp.size = static_cast<long>(st.st_size);
    stamp.modified = st.st_mtim;
    return true;
}

RomSnapshot RomSnapshot::OfImage(const std::vector<std::uint8_t>& image, const RomLayout& layout,
                                 const FileStamp& stamp) {
    RomSnapshot s;
    s.stamp = stamp;
    const auto copy = [&](long from, std::uint8_t* to, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t at = static_cast<std::size_t>(from) + i;
            to[i] = at < image.size() ? image[at] : 0;
        }
    };
    copy(layout.titleOffset(), s.title.data(), s.title.size());
    copy(layout.entryOffset(0), s.table.data(), s.table.size());
    return s;
}

bool RomSnapshot::Take(const RomStream& stream, const RomLayout& layout, RomSnapshot& snapshot) {
    RomSnapshot s;
    if (!StampOf(stream, s.stamp))
        return false;
    // A title past the end reads as nothing; the table must be there.
    const long titleIn = std::clamp(s.stamp.size - layout.titleOffset(), 0L, long(kTitleLength));
    if (!ReadAt(stream, s.title.data(), static_cast<std::size_t>(titleIn), layout.titleOffset()) ||
        !ReadAt(stream, s.table.data(), s.table.size(), layout.entryOffset(0)))
        return false;
    snapshot = s;
    return true;
}

FileState CheckUnchanged(const RomFile& file, const RomLayout& layout, const RomSnapshot& snapshot) {
    if (!file.held() || !file.stillAtPath())
        return FileState::Gone;
    FileStamp now;
    if (!StampOf(*file.held(), now))
        return FileState::Unreadable;
    // The time and the size first: most rewrites show there.
    if (!(now == snapshot.stamp))
        return FileState::Changed;
    RomSnapshot read;
    if (!RomSnapshot::Take(*file.held(), layout, read))
        return FileState::Unreadable;
    return read.title == snapshot.title && read.table == snapshot.table ? FileState::Unchanged
                                                                        : FileState::Changed;
}

}  // namespace om
