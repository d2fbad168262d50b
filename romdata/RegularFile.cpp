#include "romdata/RegularFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace om {

BetweenLookAndOpen& betweenLookAndOpen() {
    static BetweenLookAndOpen hook = nullptr;
    return hook;
}

RegularFile OpenRegularFile(const std::string& path, int flags) {
    RegularFile f;
    if (::stat(path.c_str(), &f.st) != 0) {
        f.error = errno;
        return f;
    }
    if (!S_ISREG(f.st.st_mode)) {
        f.result = RegularFile::Result::NotRegular;
        return f;
    }
    if (BetweenLookAndOpen hook = betweenLookAndOpen())
        hook(path);
    const dev_t device = f.st.st_dev;
    const ino_t inode = f.st.st_ino;
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        f.error = errno;
        return f;
    }
    if (::fstat(fd, &f.st) != 0) {
        f.error = errno;
        ::close(fd);
        return f;
    }
    if (!S_ISREG(f.st.st_mode))
        f.result = RegularFile::Result::NotRegular;
    else if (f.st.st_dev != device || f.st.st_ino != inode)
        f.result = RegularFile::Result::Replaced;
    else
        f.result = RegularFile::Result::Opened;
    if (f.result != RegularFile::Result::Opened) {
        ::close(fd);
        return f;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    f.fd = fd;
    return f;
}

}  // namespace om
