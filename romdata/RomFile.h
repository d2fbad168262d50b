// The one ROM stream the editor works on, opened for reading and updating in
// place, or nothing.
//
// The stream is a C stream like any other: the layout's primitives seek
// before every entry and read and write single bytes through it. Underneath,
// bytes written are held in memory until close(), so 485 seek-and-write
// steps cost no system call each; reads see what was written. The editor's
// and the companion's saves write the table in one piece beside the stream
// (TableWrite), not through it.
//
// A ROM open here is locked (an exclusive flock) for as long as it is open,
// so a second editor or a writing companion command cannot undo our saves
// behind our back, nor we theirs.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace om {

class RomStream;

// Why a ROM could not be opened for update.
enum class OpenFailure {
    None,
    CannotOpen,  // missing, not writable, replaced while opened, or the like
    NotRegular,  // a folder, a FIFO, a device, a socket: never opened
    Locked,      // another editor or command has it open for writing
};

class RomFile {
public:
    RomFile();
    RomFile(const RomFile&) = delete;
    RomFile& operator=(const RomFile&) = delete;
    ~RomFile();

    // Opens path for reading and writing without creating or truncating it,
    // as fopen's "rb+" does, and locks it. Empty when the file is missing, is
    // not a regular file, is not writable or is locked by another holder;
    // why says which, and error the system's error number (errno) behind
    // it. A file that held already names is opened without a second lock
    // (held keeps it); adopt() takes it over.
    static std::unique_ptr<RomStream> OpenForUpdate(const std::string& path,
                                                    OpenFailure* why = nullptr,
                                                    const RomStream* held = nullptr,
                                                    int* error = nullptr);

    bool isOpen() const { return stream_ != nullptr; }
    std::FILE* stream() const;
    const RomStream* held() const { return stream_.get(); }
    RomStream* held() { return stream_.get(); }

    // Takes over an open stream, flushing and closing the one held before,
    // and makes sure the new one holds the lock.
    void adopt(std::unique_ptr<RomStream> stream);
    // Flushes and closes the stream, if any.
    void close();

    // The open file is still the one its path names: not deleted, not
    // renamed away or replaced by another file since it was opened.
    bool stillAtPath() const;

private:
    std::unique_ptr<RomStream> stream_;
};

// An open ROM file and the C stream that reads and writes it.
class RomStream {
public:
    ~RomStream();
    std::FILE* file() const { return file_; }
    const std::string& path() const { return path_; }
    int fd() const { return fd_; }
    // The file's size now; -1 when it cannot be told.
    long size() const;
    // Reads the whole file, at most maxSize bytes, with the same system
    // call as the stream; false on a read error or a larger file.
    bool readAll(std::vector<std::uint8_t>& bytes, std::size_t maxSize);
    // Writes the bytes held in memory to the file; false on failure.
    bool commit();
    bool failed() const { return failed_; }
    // A read through the stream failed (not: it reached the end).
    bool readFailed() const { return readError_ != 0; }
    // The system's error number of the read that failed; 0 when none did.
    int readError() const { return readError_; }
    bool sameFile(const RomStream& other) const;

    // The system calls behind every stream: tests replace them to make
    // reads, writes or the sync fail at a chosen point.
    struct SystemCalls {
        ssize_t (*pread)(int fd, void* buf, std::size_t n, off_t at);
        ssize_t (*pwrite)(int fd, const void* buf, std::size_t n, off_t at);
        int (*fdatasync)(int fd);
    };
    static SystemCalls& systemCalls();

private:
    friend class RomFile;
    RomStream() = default;
    bool lock();
    // The stream's I/O functions, as fopencookie calls them.
    static ssize_t Read(void* cookie, char* buf, std::size_t n);
    static ssize_t Write(void* cookie, const char* buf, std::size_t n);
    static int Seek(void* cookie, off64_t* offset, int whence);

    int fd_ = -1;
    std::string path_;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    bool locked_ = false;
    long position_ = 0;
    // Written bytes not yet in the file: a run starting at pendingStart_.
    long pendingStart_ = 0;
    std::string pending_;
    bool failed_ = false;
    int readError_ = 0;
    std::FILE* file_ = nullptr;
};

}  // namespace om
