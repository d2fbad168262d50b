#include "romdata/RomFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace om {

RomFile::RomFile() = default;

RomFile::~RomFile() { close(); }

std::unique_ptr<RomStream> RomFile::OpenForUpdate(const std::string& path) {
    // O_RDWR without O_CREAT: fails for a missing file, a directory and a
    // file without write permission, like fopen's "rb+".
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    std::unique_ptr<RomStream> s(new RomStream);
    s->fd_ = fd;
    const cookie_io_functions_t io{&RomStream::Read, &RomStream::Write, &RomStream::Seek, nullptr};
    s->file_ = fopencookie(s.get(), "rb+", io);
    if (!s->file_)
        return nullptr;  // the destructor closes fd
    return s;
}

std::FILE* RomFile::stream() const { return stream_ ? stream_->file() : nullptr; }

void RomFile::adopt(std::unique_ptr<RomStream> stream) {
    close();
    stream_ = std::move(stream);
}

void RomFile::close() { stream_.reset(); }

void RomFile::beginWrite() {
    if (stream_)
        stream_->clearError();
}

bool RomFile::finishWrite() {
    if (!stream_)
        return false;
    const bool flushed = std::fflush(stream_->file()) == 0;
    const bool committed = stream_->commit();
    return flushed && committed && !std::ferror(stream_->file()) && !stream_->failed();
}

RomStream::~RomStream() {
    if (file_) {
        std::fflush(file_);
        commit();
        std::fclose(file_);
    }
    if (fd_ >= 0)
        ::close(fd_);
}

void RomStream::clearError() {
    std::clearerr(file_);
    failed_ = false;
}

bool RomStream::commit() {
    const char* p = pending_.data();
    std::size_t left = pending_.size();
    off_t at = pendingStart_;
    while (left > 0) {
        const ssize_t n = ::pwrite(fd_, p, left, at);
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
        got = ::pread(s->fd_, buf, n, s->position_);
    while (got < 0 && errno == EINTR);
    if (got < 0)
        return -1;
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
        struct stat st {};
        if (::fstat(s->fd_, &st) != 0)
            return -1;
        base = std::max(static_cast<long>(st.st_size),
                        s->pendingStart_ + static_cast<long>(s->pending_.size()));
    }
    const long target = base + static_cast<long>(*offset);
    if (target < 0)
        return -1;
    s->position_ = target;
    *offset = target;
    return 0;
}

}  // namespace om
