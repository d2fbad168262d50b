#include "romdata/RomFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "romdata/RegularFile.h"

namespace om {

RomFile::RomFile() = default;

RomFile::~RomFile() { close(); }

RomStream::SystemCalls& RomStream::systemCalls() {
    static SystemCalls calls{&::pread, &::pwrite, &::fdatasync};
    return calls;
}

std::unique_ptr<RomStream> RomFile::OpenForUpdate(const std::string& path, OpenFailure* why,
                                                  const RomStream* held, int* error) {
    // errno is taken at the failure, before the stream's clean-up can
    // change it.
    const auto fail = [why, error](OpenFailure f) {
        if (why)
            *why = f;
        if (error)
            *error = errno;
        return nullptr;
    };
    if (why)
        *why = OpenFailure::None;
    if (error)
        *error = 0;
    // A folder, a FIFO or a device is refused before it is opened. O_RDWR
    // without O_CREAT: fails for a missing file and a file without write
    // permission, like fopen's "rb+".
    const RegularFile opened = OpenRegularFile(path, O_RDWR);
    if (opened.result == RegularFile::Result::NotRegular)
        return fail(OpenFailure::NotRegular);
    if (opened.result != RegularFile::Result::Opened) {
        errno = opened.error;
        return fail(OpenFailure::CannotOpen);
    }
    std::unique_ptr<RomStream> s(new RomStream);
    s->fd_ = opened.fd;
    s->path_ = path;
    s->device_ = opened.st.st_dev;
    s->inode_ = opened.st.st_ino;
    // The file we hold already is ours: its lock passes over in adopt().
    if (!(held && held->sameFile(*s)) && !s->lock())
        return fail(OpenFailure::Locked);
    const cookie_io_functions_t io{&RomStream::Read, &RomStream::Write, &RomStream::Seek, nullptr};
    s->file_ = fopencookie(s.get(), "rb+", io);
    if (!s->file_)
        return fail(OpenFailure::CannotOpen);  // the destructor closes fd
    return s;
}

std::FILE* RomFile::stream() const { return stream_ ? stream_->file() : nullptr; }

void RomFile::adopt(std::unique_ptr<RomStream> stream) {
    close();
    stream_ = std::move(stream);
    // Opened while the old stream held this very file: the old lock went
    // with it, so take it now.
    if (stream_ && !stream_->locked_)
        stream_->lock();
}

void RomFile::close() { stream_.reset(); }

bool RomFile::stillAtPath() const {
    if (!stream_)
        return false;
    struct stat open {};
    if (::fstat(stream_->fd_, &open) != 0 || open.st_nlink == 0)
        return false;  // deleted
    struct stat named {};
    if (::stat(stream_->path_.c_str(), &named) != 0)
        return false;  // renamed away, or its folder is gone
    return named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

RomStream::~RomStream() {
    if (file_) {
        std::fflush(file_);
        commit();
        std::fclose(file_);
    }
    if (fd_ >= 0)
        ::close(fd_);  // releases the lock
}

bool RomStream::lock() {
    int r;
    do
        r = ::flock(fd_, LOCK_EX | LOCK_NB);
    while (r != 0 && errno == EINTR);
    locked_ = r == 0;
    return locked_;
}

bool RomStream::sameFile(const RomStream& other) const {
    return device_ == other.device_ && inode_ == other.inode_;
}

long RomStream::size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        return -1;
    return std::max(static_cast<long>(st.st_size),
                    pendingStart_ + static_cast<long>(pending_.size()));
}

bool RomStream::readAll(std::vector<std::uint8_t>& bytes, std::size_t maxSize) {
    const long n = size();
    if (n < 0 || static_cast<unsigned long>(n) > maxSize)
        return false;
    std::vector<std::uint8_t> out(static_cast<std::size_t>(n));
    std::size_t got = 0;
    while (got < out.size()) {
        const ssize_t r = systemCalls().pread(fd_, out.data() + got, out.size() - got,
                                              static_cast<off_t>(got));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            readError_ = errno != 0 ? errno : EIO;
            return false;
        }
        if (r == 0)
            break;  // the file shrank meanwhile: what is there is the file
        got += static_cast<std::size_t>(r);
    }
    out.resize(got);
    bytes = std::move(out);
    return true;
}

bool RomStream::commit() {
    const char* p = pending_.data();
    std::size_t left = pending_.size();
    off_t at = pendingStart_;
    while (left > 0) {
        const ssize_t n = systemCalls().pwrite(fd_, p, left, at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failed_ = true;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
        at += n;
    }
    pending_.clear();
    return !failed_;
}

ssize_t RomStream::Read(void* cookie, char* buf, std::size_t n) {
    auto* s = static_cast<RomStream*>(cookie);
    ssize_t got;
    do
        got = systemCalls().pread(s->fd_, buf, n, s->position_);
    while (got < 0 && errno == EINTR);
    if (got < 0) {
        s->readError_ = errno != 0 ? errno : EIO;
        return -1;
    }
    // Bytes written but not yet in the file are what a read must see; they
    // may also lie past the file's end.
    const long pendEnd = s->pendingStart_ + static_cast<long>(s->pending_.size());
    const long from = std::max(s->position_, s->pendingStart_);
    const long to = std::min(s->position_ + static_cast<long>(n), pendEnd);
    if (from < to) {
        if (s->position_ + got < to) {
            std::memset(buf + got, 0, static_cast<std::size_t>(to - (s->position_ + got)));
            got = to - s->position_;
        }
        std::memcpy(buf + (from - s->position_), s->pending_.data() + (from - s->pendingStart_),
                    static_cast<std::size_t>(to - from));
    }
    s->position_ += got;
    return got;
}

ssize_t RomStream::Write(void* cookie, const char* buf, std::size_t n) {
    auto* s = static_cast<RomStream*>(cookie);
    const long pendEnd = s->pendingStart_ + static_cast<long>(s->pending_.size());
    // Held runs grow when the writes follow each other, as the table's do;
    // anything else first goes to the file.
    if (!s->pending_.empty() && (s->position_ < s->pendingStart_ || s->position_ > pendEnd))
        s->commit();
    if (s->pending_.empty())
        s->pendingStart_ = s->position_;
    const std::size_t at = static_cast<std::size_t>(s->position_ - s->pendingStart_);
    if (s->pending_.size() < at + n)
        s->pending_.resize(at + n);
    s->pending_.replace(at, n, buf, n);
    s->position_ += static_cast<long>(n);
    return static_cast<ssize_t>(n);
}

int RomStream::Seek(void* cookie, off64_t* offset, int whence) {
    auto* s = static_cast<RomStream*>(cookie);
    long base = 0;
    if (whence == SEEK_CUR) {
        base = s->position_;
    } else if (whence == SEEK_END) {
        base = s->size();
        if (base < 0)
            return -1;
    }
    const long target = base + static_cast<long>(*offset);
    if (target < 0)
        return -1;
    s->position_ = target;
    *offset = target;
    return 0;
}

}  // namespace om
