#include "patch/PatchFile.h"

#include <fcntl.h>
#include <unistd.h>
#include <sys/stat.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "romdata/FileWrite.h"

namespace om {

namespace {

// Why a file of this kind and size is not read; empty when it may be.
std::string Refusal(const struct stat& st, std::size_t maxSize) {
    if (S_ISDIR(st.st_mode))
        return "it is a folder";
    if (S_ISFIFO(st.st_mode))
        return "it is a pipe";
    if (!S_ISREG(st.st_mode))
        return "it is a device or other special file, not a regular file";
    if (static_cast<unsigned long long>(st.st_size) > maxSize)
        return "it has " + std::to_string(st.st_size) + " bytes, more than the " +
               std::to_string(maxSize) + " this program reads";
    return {};
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::size_t maxSize, ByteVector& bytes,
                   std::string& error) {
    const auto fail = [&](const std::string& why) {
        error = "cannot read " + path + ": " + why;
        return false;
    };
    // Looked at before opening, so that a pipe or a device is never opened;
    // and again once open, in case the name now stands for another file.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return fail(std::strerror(errno));
    if (std::string why = Refusal(st, maxSize); !why.empty())
        return fail(why);
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(std::strerror(errno));
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(file.errorString().toStdString());
    }
    if (::fstat(fd, &st) != 0)
        return fail(std::strerror(errno));
    if (std::string why = Refusal(st, maxSize); !why.empty())
        return fail(why);

    ByteVector read(static_cast<std::size_t>(st.st_size));
    const qint64 got = file.read(reinterpret_cast<char*>(read.data()), qint64(read.size()));
    if (got < 0)
        return fail(file.errorString().toStdString());
    char extra = 0;
    if (std::size_t(got) != read.size() || file.read(&extra, 1) != 0)
        return fail("it changed size while being read");
    bytes = std::move(read);
    return true;
}

bool WriteFileAtomically(const std::string& path, ByteSpan bytes, std::string& error) {
    return WriteWholeFile(path, bytes.data(), bytes.size(), ExistingFile::Replace, error);
}

}  // namespace om
