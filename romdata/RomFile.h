// The one ROM stream the editor works on, opened for reading and updating in
// place, or nothing.
//
// The stream is a C stream like any other: the layout's primitives seek
// before every entry and read and write single bytes through it. Underneath,
// bytes written are held in memory until finishWrite() or close(), so the
// 485 seek-and-write steps of a save cost no system call each; reads see
// what was written.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <memory>
#include <string>

namespace om {

class RomStream;

class RomFile {
public:
    RomFile();
    RomFile(const RomFile&) = delete;
    RomFile& operator=(const RomFile&) = delete;
    ~RomFile();

    // Opens path for reading and writing without creating or truncating it,
    // as fopen's "rb+" does. Empty when the file is missing, is a directory
    // or is not writable.
    static std::unique_ptr<RomStream> OpenForUpdate(const std::string& path);

    bool isOpen() const { return stream_ != nullptr; }
    std::FILE* stream() const;

    // Takes over an open stream, flushing and closing the one held before.
    void adopt(std::unique_ptr<RomStream> stream);
    // Flushes and closes the stream, if any.
    void close();

    // Clears the stream's error state before a batch of writes.
    void beginWrite();
    // Puts everything written so far into the file; false when that, or any
    // write since beginWrite(), failed.
    bool finishWrite();

private:
    std::unique_ptr<RomStream> stream_;
};

// An open ROM file and the C stream that reads and writes it.
class RomStream {
public:
    ~RomStream();
    std::FILE* file() const { return file_; }
    // Writes the bytes held in memory to the file; false on failure.
    bool commit();
    bool failed() const { return failed_; }
    void clearError();

private:
    friend class RomFile;
    RomStream() = default;
    // The stream's I/O functions, as fopencookie calls them.
    static ssize_t Read(void* cookie, char* buf, std::size_t n);
    static ssize_t Write(void* cookie, const char* buf, std::size_t n);
    static int Seek(void* cookie, off64_t* offset, int whence);

    int fd_ = -1;
    long position_ = 0;
    // Written bytes not yet in the file: a run starting at pendingStart_.
    long pendingStart_ = 0;
    std::string pending_;
    bool failed_ = false;
    std::FILE* file_ = nullptr;
};

}  // namespace om
