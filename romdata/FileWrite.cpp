#include "romdata/FileWrite.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// The file the name stands for: the target of a symbolic link, or the
// name itself when it is none (or a link to nothing yet).
std::string Target(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return path;
    std::string target = real;
    std::free(real);
    return target;
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

bool WriteWholeFile(const std::string& path, const std::uint8_t* data, std::size_t size,
                    ExistingFile existing, std::string& error) {
    const auto fail = [&](const std::string& why) {
        error = "cannot write '" + path + "': " + why;
        return false;
    };
    const std::string target = Target(path);

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
    std::string temp = (slash == std::string::npos ? "" : folder) + "." + base + ".XXXXXX";
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
