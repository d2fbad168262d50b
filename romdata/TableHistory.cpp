#include "romdata/TableHistory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "romdata/StateFileStem.h"
#include "patch/PatchFile.h"
#include "patch/Recovery.h"

namespace om {

namespace {

// The file: the header (magic, the length of the ROM's path, the path, the
// CRC32 of all that), then records: magic, the writer, three zero bytes, the
// time (seconds, 64-bit), the table replaced, the table written, the CRC32
// of all that. Numbers little-endian.
constexpr char kHeaderMagic[] = "OMTBLHS1";
constexpr char kRecordMagic[] = "OMTR";
constexpr std::size_t kMagicBytes = 8, kRecordMagicBytes = 4;
constexpr std::size_t kRecordBytes = kRecordMagicBytes + 4 + 8 + 2 * kTableBytes + 4;
constexpr std::size_t kLongestPath = 64 * 1024;
// About 68,000 saves; a larger file is not one of ours.
constexpr std::size_t kLargestHistory = 256u * 1024 * 1024;
constexpr char kExtension[] = ".hist";

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
std::uint64_t Get(const std::uint8_t* p, int n) {
    std::uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}
std::uint32_t CrcOf(const std::uint8_t* p, std::size_t n) { return Crc32(ByteSpan(p, n)); }

Bytes Header(const std::string& romPath) {
    Bytes out(kHeaderMagic, kHeaderMagic + kMagicBytes);
    Put32(out, static_cast<std::uint32_t>(romPath.size()));
    out.insert(out.end(), romPath.begin(), romPath.end());
    Put32(out, CrcOf(out.data(), out.size()));
    return out;
}

// The path a header names and the header's length; false when bytes do
// not start with a whole, sound header.
bool ParseHeader(const std::uint8_t* p, std::size_t size, std::string& path, std::size_t& length) {
    if (size < kMagicBytes + 8 || !std::equal(p, p + kMagicBytes, kHeaderMagic))
        return false;
    const std::size_t n = Get(p + kMagicBytes, 4);
    if (n == 0 || n > kLongestPath || size < kMagicBytes + 8 + n)
        return false;
    length = kMagicBytes + 8 + n;
    if (CrcOf(p, length - 4) != Get(p + length - 4, 4))
        return false;
    path.assign(reinterpret_cast<const char*>(p + kMagicBytes + 4), n);
    return true;
}

Bytes Record(TableWriter writer, std::int64_t time, const TableBytes& replaced,
             const TableBytes& written) {
    Bytes out(kRecordMagic, kRecordMagic + kRecordMagicBytes);
    out.reserve(kRecordBytes);
    Put32(out, static_cast<std::uint32_t>(writer));  // the writer, then three zero bytes
    const auto t = static_cast<std::uint64_t>(time);
    Put32(out, static_cast<std::uint32_t>(t));
    Put32(out, static_cast<std::uint32_t>(t >> 32));
    out.insert(out.end(), replaced.begin(), replaced.end());
    out.insert(out.end(), written.begin(), written.end());
    Put32(out, CrcOf(out.data(), out.size()));
    return out;
}

bool RecordSound(const std::uint8_t* p) {
    return std::equal(p, p + kRecordMagicBytes, kRecordMagic) && p[4] >= 1 && p[4] <= 4 &&
           p[5] == 0 && p[6] == 0 && p[7] == 0 &&
           CrcOf(p, kRecordBytes - 4) == Get(p + kRecordBytes - 4, 4);
}

const char* WriterName(std::uint8_t writer) {
    switch (static_cast<TableWriter>(writer)) {
    case TableWriter::Opened: return "opened";
    case TableWriter::Editor: return "editor";
    case TableWriter::Set: return "set";
    case TableWriter::Import: return "import";
    }
    return "?";
}

void AddVersion(std::vector<TableVersion>& versions, std::int64_t time, const char* writer,
                const std::uint8_t* table) {
    TableVersion v;
    std::copy(table, table + kTableBytes, v.table.begin());
    // A table the version before holds already is not a version of its own.
    if (!versions.empty() && versions.back().table == v.table)
        return;
    v.number = static_cast<int>(versions.size()) + 1;
    v.time = time;
    v.writer = writer;
    if (!versions.empty())
        for (int g = 0; g < kGroupCount; ++g) {
            const auto at = static_cast<std::ptrdiff_t>(g) * kEntrySize;
            if (!std::equal(v.table.begin() + at, v.table.begin() + at + kEntrySize,
                            versions.back().table.begin() + at))
                v.changed.push_back(g);
        }
    versions.push_back(std::move(v));
}

std::string SystemError(const std::string& what, const std::string& path) {
    return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

bool PreadAll(int fd, std::uint8_t* p, std::size_t n, off_t at) {
    while (n > 0) {
        const ssize_t got = ::pread(fd, p, n, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        p += got;
        n -= static_cast<std::size_t>(got);
        at += got;
    }
    return true;
}

bool PwriteAll(int fd, const std::uint8_t* p, std::size_t n, off_t at) {
    while (n > 0) {
        const ssize_t put = ::pwrite(fd, p, n, at);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            if (put == 0)
                errno = ENOSPC;
            return false;
        }
        p += put;
        n -= static_cast<std::size_t>(put);
        at += put;
    }
    return true;
}

// What an existing history's end must be for a record to follow it: the
// header of this ROM, whole records, the last one sound. Empty when it is so.
std::string AppendRefusal(int fd, off_t size, const Bytes& header, const std::string& file) {
    Bytes head(header.size());
    std::string path;
    std::size_t length = 0;
    if (size < off_t(header.size()) || !PreadAll(fd, head.data(), head.size(), 0) ||
        !ParseHeader(head.data(), head.size(), path, length))
        return file + " is damaged: its header fails its check; it is left as it is";
    if (head != header)
        return file + " is the table history of another file; it is left as it is";
    const off_t records = size - off_t(header.size());
    Bytes last(kRecordBytes);
    if (records % off_t(kRecordBytes) != 0 ||
        (records > 0 && (!PreadAll(fd, last.data(), kRecordBytes, size - off_t(kRecordBytes)) ||
                         !RecordSound(last.data()))))
        return file + " is damaged: its last record is cut short or fails its check; it is "
                      "left as it is";
    return {};
}

}  // namespace

std::string TableHistoryFolder() { return StateFolder("history"); }

std::string ResolvedPath(const std::string& path) {
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
        std::string out(resolved);
        std::free(resolved);
        return out;
    }
    const QString absolute = QFileInfo(QFile::decodeName(path.c_str())).absoluteFilePath();
    return QFile::encodeName(absolute).toStdString();
}

TableHistory::TableHistory(const std::string& folder, std::string romPath)
    : file_(folder + "/" + StateFileStem(romPath) + kExtension), romPath_(std::move(romPath)) {}

bool TableHistory::read(std::vector<TableVersion>& versions, std::string& error) const {
    versions.clear();
    struct stat st {};
    if (::stat(file_.c_str(), &st) != 0 && errno == ENOENT)
        return true;
    Bytes bytes;
    if (!ReadWholeFile(file_, kLargestHistory, bytes, error))
        return false;
    if (bytes.empty())
        return true;  // made, but its first append failed
    std::string path;
    std::size_t at = 0;
    if (!ParseHeader(bytes.data(), bytes.size(), path, at)) {
        error = file_ + " is damaged: its header fails its check; nothing was taken from it";
        return false;
    }
    if (path != romPath_) {
        error = file_ + " is the table history of " + path + ", not of " + romPath_ +
                "; nothing was taken from it";
        return false;
    }
    if ((bytes.size() - at) % kRecordBytes != 0) {
        error = file_ + " is damaged: its last record is cut short; nothing was taken from it";
        return false;
    }
    std::vector<TableVersion> out;
    for (std::size_t n = 1; at < bytes.size(); at += kRecordBytes, ++n) {
        const std::uint8_t* r = bytes.data() + at;
        if (!RecordSound(r)) {
            error = file_ + " is damaged: record " + std::to_string(n) +
                    " fails its check; nothing was taken from it";
            return false;
        }
        const auto time = static_cast<std::int64_t>(Get(r + 8, 8));
        const std::uint8_t* replaced = r + 16;
        const std::uint8_t* written = replaced + kTableBytes;
        if (r[4] != static_cast<std::uint8_t>(TableWriter::Opened))
            AddVersion(out, time, "found", replaced);
        AddVersion(out, time, WriterName(r[4]), written);
    }
    versions = std::move(out);
    return true;
}

bool TableHistory::append(TableWriter writer, std::int64_t time, const TableBytes& replaced,
                          const TableBytes& written, std::string& error) const {
    const std::string folder = file_.substr(0, file_.rfind('/'));
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    if (made) {
        error = "cannot make the folder " + folder + ": " + made.message();
        return false;
    }
    const int fd = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        error = SystemError("open", file_);
        return false;
    }
    struct stat st {};
    // One writer at a time: the editor and a companion command may both
    // write histories (of different paths to one file, say).
    if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &st) != 0) {
        error = SystemError("lock", file_);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = file_ + " is not a regular file";
        ::close(fd);
        return false;
    }
    const Bytes header = Header(romPath_);
    Bytes out;
    if (st.st_size == 0) {
        out = header;
    } else if (std::string why = AppendRefusal(fd, st.st_size, header, file_); !why.empty()) {
        error = why;
        ::close(fd);
        return false;
    }
    const Bytes record = Record(writer, time, replaced, written);
    out.insert(out.end(), record.begin(), record.end());
    // Space first, so that a full disk refuses before a byte is written;
    // file systems without the call are written as they are.
    const int reserved = ::posix_fallocate(fd, st.st_size, off_t(out.size()));
    bool ok = reserved == 0 || reserved == EOPNOTSUPP || reserved == EINVAL;
    if (!ok)
        errno = reserved;
    ok = ok && PwriteAll(fd, out.data(), out.size(), st.st_size) && ::fdatasync(fd) == 0;
    if (!ok) {
        error = SystemError("write", file_);
        // A record cut short would make the whole history unreadable.
        if (::ftruncate(fd, st.st_size) == 0)
            ::fdatasync(fd);
    }
    if (::close(fd) != 0 && ok) {
        error = SystemError("close", file_);
        ok = false;
    }
    if (ok && st.st_size == 0) {
        // A new file's name is on the disk once its folder is synced.
        const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0 || ::fsync(dir) != 0) {
            error = SystemError("sync the folder", folder);
            ok = false;
        }
        if (dir >= 0)
            ::close(dir);
    }
    return ok;
}

std::vector<OrphanHistory> OrphanHistories(const std::string& folder,
                                           std::vector<std::string>& problems) {
    std::vector<std::string> files;
    std::error_code listed;
    for (const auto& entry : std::filesystem::directory_iterator(folder, listed)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > std::strlen(kExtension) &&
            name.compare(name.size() - std::strlen(kExtension), std::string::npos, kExtension) == 0)
            files.push_back(entry.path().string());
    }
    if (listed && listed != std::errc::no_such_file_or_directory)
        problems.push_back("cannot list " + folder + ": " + listed.message());
    std::sort(files.begin(), files.end());
    std::vector<OrphanHistory> orphans;
    for (const std::string& file : files) {
        Bytes head(kMagicBytes + 8 + kLongestPath);
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        ssize_t got = fd < 0 ? -1 : ::pread(fd, head.data(), head.size(), 0);
        if (fd >= 0)
            ::close(fd);
        std::string path;
        std::size_t length = 0;
        if (got < 0) {
            problems.push_back(SystemError("read", file));
            continue;
        }
        if (!ParseHeader(head.data(), static_cast<std::size_t>(got), path, length)) {
            problems.push_back(file + " is not a table history, or its header is damaged");
            continue;
        }
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT)
            orphans.push_back({file, path});
    }
    return orphans;
}

std::string UtcTimeText(std::int64_t time) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm tm {};
    char text[32] = "?";
    if (::gmtime_r(&t, &tm))
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

}  // namespace om
