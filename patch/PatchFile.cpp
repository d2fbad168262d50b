#include "patch/PatchFile.h"

#include <fcntl.h>
#include <unistd.h>
#include <sys/stat.h>

#include <QFile>
#include <cerrno>
#include <cstring>

#include "romdata/FileWrite.h"
#include "romdata/RegularFile.h"

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
    // A pipe, a device or a folder is refused without being opened.
    const RegularFile opened = OpenRegularFile(path, O_RDONLY);
    if (opened.result == RegularFile::Result::Failed)
        return fail(std::strerror(opened.error));
    if (opened.result == RegularFile::Result::Replaced)
        return fail("it was replaced by another file while it was opened");
    if (std::string why = Refusal(opened.st, maxSize); !why.empty()) {
        if (opened.fd >= 0)
            ::close(opened.fd);
        return fail(why);
    }
    const struct stat& st = opened.st;
    QFile file;
    if (!file.open(opened.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(opened.fd);
        return fail(file.errorString().toStdString());
    }

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
