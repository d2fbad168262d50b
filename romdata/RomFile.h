// The one ROM stream the editor works on: opened for reading and updating in
// place ("rb+"), or nothing.
#pragma once

#include <cstdio>
#include <string>

namespace om {

class RomFile {
public:
    RomFile() = default;
    RomFile(const RomFile&) = delete;
    RomFile& operator=(const RomFile&) = delete;
    ~RomFile() { close(); }

    // Opens path for reading and writing without creating or truncating it.
    // Returns nullptr when the file is missing, not writable or not a file.
    static std::FILE* OpenForUpdate(const std::string& path);

    bool isOpen() const { return stream_ != nullptr; }
    std::FILE* stream() const { return stream_; }

    // Takes over an open stream, flushing and closing the one held before.
    void adopt(std::FILE* stream);
    // Flushes and closes the stream, if any.
    void close();

    // Clears the stream's error flag before a batch of writes.
    void beginWrite();
    // Pushes what is buffered to the file; false when any write since
    // beginWrite() or the flush itself failed.
    bool finishWrite();

private:
    std::FILE* stream_ = nullptr;
};

}  // namespace om
