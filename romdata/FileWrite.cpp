#include "romdata/FileWrite.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "romdata/TerminalSafe.h"

namespace om {

namespace {

// A descriptor closed when it goes out of scope (a lock with it).
struct Descriptor {
    int fd = -1;
    Descriptor() = default;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

// The file the name stands for: the target of a symbolic link, or the name
// itself when it is none. Empty, with errno set, for a link that leads to no
// file (dangling, or in a loop): such a link is refused, never replaced.
std::string Target(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return {};
    std::string target = real;
    std::free(real);
    return target;
}

// The first eight hex digits of this boot's id, read once; "00000000" when
// the system does not tell it.
const std::string& BootTag() {
    static const std::string tag = [] {
        std::string out;
        if (std::FILE* f = std::fopen("/proc/sys/kernel/random/boot_id", "re")) {
            for (int c; out.size() < 8 && (c = std::fgetc(f)) != EOF;)
                if (std::isxdigit(c))
                    out += static_cast<char>(std::tolower(c));
            std::fclose(f);
        }
        return out.size() == 8 ? out : std::string(8, '0');
    }();
    return tag;
}

constexpr char kTempMark[] = ".omtmp-";
constexpr std::size_t kRandomLength = 6;  // mkostemp's XXXXXX

// The writer a temporary file's name names, when it is one of ours:
// ".<name>.omtmp-<pid>-<boot>-XXXXXX".
bool ParseTemporaryName(std::string_view name, long& pid, std::string_view& boot) {
    const std::size_t mark = name.rfind(kTempMark);
    if (name.empty() || name[0] != '.' || mark == std::string_view::npos)
        return false;
    std::string_view rest = name.substr(mark + std::strlen(kTempMark));
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash > 10 || rest.size() != dash + 1 + 8 + 1 + kRandomLength ||
        rest[dash + 9] != '-')
        return false;
    pid = 0;
    for (char c : rest.substr(0, dash)) {
        if (c < '0' || c > '9')
            return false;
        pid = pid * 10 + (c - '0');
    }
    boot = rest.substr(dash + 1, 8);
    for (char c : boot)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    for (char c : rest.substr(dash + 10))
        if (!std::isalnum(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// The temporary name for base in folder: ".<base>.omtmp-<pid>-<boot>-XXXXXX",
// base cut (on a character's boundary) so that the name fits wherever base
// itself does: within the folder's longest name and the longest path.
std::string TemporaryName(const std::string& folder, const std::string& base) {
    const std::string suffix = kTempMark + std::to_string(::getpid()) + "-" + BootTag() + "-" +
                               std::string(kRandomLength, 'X');
    long nameMax = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0)
        nameMax = 255;
    std::size_t room = static_cast<std::size_t>(nameMax);
    if (folder.size() + room >= PATH_MAX)
        room = PATH_MAX - 1 - std::min<std::size_t>(folder.size(), PATH_MAX - 1);
    const std::size_t keep = room > suffix.size() + 1 ? room - suffix.size() - 1 : 0;
    std::size_t cut = 0;
    while (cut < base.size()) {
        const std::size_t n = std::max<std::size_t>(1, Utf8Length(base, cut));
        if (cut + n > keep)
            break;
        cut += n;
    }
    return folder + "." + base.substr(0, cut) + suffix;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

void RemoveStaleTemporaries(const std::string& folder, std::chrono::seconds minAge) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        long pid = 0;
        std::string_view boot;
        if (!ParseTemporaryName(entry->d_name, pid, boot))
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode) || now - st.st_mtime < minAge.count())
            continue;
        // Gone: written before this boot, or by a process no longer running.
        const bool gone = boot != BootTag() || pid <= 0 || pid > INT_MAX ||
                          (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH);
        if (gone)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

bool WriteWholeFile(const std::string& path, const std::uint8_t* data, std::size_t size,
                    ExistingFile existing, std::string& error) {
    const auto fail = [&](const std::string& why) {
        error = "cannot write '" + path + "': " + why;
        return false;
    };
    const std::string target = Target(path);
    if (target.empty())
        return fail(std::string("it is a symbolic link that leads to no file (") + std::strerror(errno) +
                    "); the link is left as it is");

    // A file that is there already must be a regular file nobody holds; its
    // lock is taken and kept until it has been replaced, so that an editor
    // cannot open it in between.
    Descriptor held;
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && existing == ExistingFile::Refuse)
        return fail("it already exists; not overwriting it");
    if (exists) {
        if (!S_ISREG(old.st_mode))
            return fail("it is not a regular file");
        held.fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (held.fd < 0)
            return fail(std::strerror(errno));
        int r;
        do
            r = ::flock(held.fd, LOCK_EX | LOCK_NB);
        while (r != 0 && errno == EINTR);
        if (r != 0)
            return fail(errno == EWOULDBLOCK
                            ? "it is open in the editor, or a command is writing it; close it "
                              "there and try again"
                            : std::strerror(errno));
    }

    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    // What a killed writer left here an hour ago or more goes first.
    RemoveStaleTemporaries(folder, std::chrono::hours(1));
    std::string temp = TemporaryName(slash == std::string::npos ? "" : folder, base);
    Descriptor out;
    out.fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (out.fd < 0)
        return fail(std::strerror(errno));
    const auto discard = [&](int why) {
        if (out.fd >= 0)
            ::close(out.fd);
        out.fd = -1;
        ::unlink(temp.c_str());
        return fail(std::strerror(why));
    };
    // The permissions the old file had; a new file gets what the umask
    // leaves of rw-rw-rw-, as a file a program creates does.
    mode_t mode = old.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(out.fd, mode) != 0)
        return discard(errno);
    // Reserved first: a full disk refuses here. A file system that cannot
    // reserve space still gets every write checked.
    if (size > 0 && ::fallocate(out.fd, 0, 0, static_cast<off_t>(size)) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS)
        return discard(errno);
    if (!WriteAll(out.fd, data, size))
        return discard(errno);
    int r;
    do
        r = ::fsync(out.fd);
    while (r != 0 && errno == EINTR);
    if (r != 0)
        return discard(errno);
    r = ::close(out.fd);
    out.fd = -1;
    if (r != 0)
        return discard(errno);

    if (existing == ExistingFile::Replace) {
        if (::rename(temp.c_str(), target.c_str()) != 0)
            return discard(errno);
    } else {
        // Takes the name only if nothing has it, even a file made meanwhile.
        r = ::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
        if (r != 0 && (errno == EINVAL || errno == ENOSYS)) {
            r = ::link(temp.c_str(), target.c_str());
            if (r == 0)
                ::unlink(temp.c_str());
        }
        if (r != 0) {
            const int why = errno;
            discard(why);
            if (why == EEXIST)
                return fail("it already exists; not overwriting it");
            return false;
        }
    }
    // The new name onto the disk too.
    Descriptor dir;
    dir.fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir.fd >= 0) {
        do
            r = ::fsync(dir.fd);
        while (r != 0 && errno == EINTR);
        if (r != 0 && errno != EINVAL && errno != EROFS)
            return fail(std::string("written, but its folder could not be synced: ") +
                        std::strerror(errno));
    }
    return true;
}

}  // namespace om
