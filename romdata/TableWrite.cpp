#include "romdata/TableWrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "romdata/RomFile.h"

namespace om {

TableBytes TableOf(const BattleAnimData& data) {
    TableBytes table{};
    for (int g = 0; g < kGroupCount; ++g) {
        const GroupRecord& r = data.record(g);
        PutEntry(table, g, r.layer1Lo, r.layer1Hi, r.layer2Lo, r.layer2Hi);
    }
    return table;
}

void PutEntry(TableBytes& table, int g, int l1lo, int l1hi, int l2lo, int l2hi) {
    const std::size_t at = std::size_t(g) * kEntrySize;
    table.at(at) = static_cast<std::uint8_t>(l1lo & 0xFF);
    table.at(at + 1) = static_cast<std::uint8_t>(l1hi & 0xFF);
    table.at(at + 2) = static_cast<std::uint8_t>(l2lo & 0xFF);
    table.at(at + 3) = static_cast<std::uint8_t>(l2hi & 0xFF);
}

namespace {

ssize_t WriteOnce(int fd, const TableBytes& table, off_t at) {
    ssize_t n;
    do
        n = RomStream::systemCalls().pwrite(fd, table.data(), table.size(), at);
    while (n < 0 && errno == EINTR);
    return n;
}

}  // namespace

TableWrite WriteTable(RomFile& file, const RomLayout& layout, RomSnapshot& snapshot,
                      const TableBytes& table) {
    TableWrite w;
    const auto failed = [&w](int error) {
        w.result = TableWriteResult::Failed;
        w.error = error;
        return w;
    };
    switch (CheckUnchanged(file, layout, snapshot)) {
    case FileState::Gone:
        w.result = TableWriteResult::Gone;
        return w;
    case FileState::Changed:
        w.result = TableWriteResult::Changed;
        return w;
    case FileState::Unreadable:
        return failed(errno ? errno : EIO);
    case FileState::Unchanged:
        break;
    }
    const int fd = file.held()->fd();
    const off_t at = layout.entryOffset(0);
    // From here on the file's time changes with what we do: it is read
    // again after a failure, so that the next write compares with it.
    const auto failedHere = [&](int error) {
        RomSnapshot::Take(*file.held(), layout, snapshot);
        return failed(error);
    };
    // Blocks for the table's whole range, the size kept: a sparse image on
    // a full disk fails here, before any byte of it is written.
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, at, off_t(table.size())) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS)
        return failedHere(errno);
    const ssize_t n = WriteOnce(fd, table, at);
    if (n != ssize_t(table.size())) {
        const int error = n < 0 ? errno : ENOSPC;
        // Part of it went in: the old table goes back, whole.
        if (n > 0)
            WriteOnce(fd, snapshot.table, at);
        return failedHere(error);
    }
    w.written = true;
    int r;
    do
        r = RomStream::systemCalls().fdatasync(fd);
    while (r != 0 && errno == EINTR);
    const int syncError = errno;
    // The file holds the new table now, and a new time.
    snapshot.table = table;
    StampOf(*file.held(), snapshot.stamp);
    if (r != 0)
        return failed(syncError);
    w.result = TableWriteResult::Written;
    return w;
}

}  // namespace om
