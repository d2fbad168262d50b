#include "romdata/RomFile.h"

namespace om {

std::FILE* RomFile::OpenForUpdate(const std::string& path) {
    // "rb+" never creates or truncates; it fails for a missing file, a
    // directory and a file without write permission.
    return std::fopen(path.c_str(), "rb+");
}

void RomFile::adopt(std::FILE* stream) {
    close();
    stream_ = stream;
}

void RomFile::close() {
    if (!stream_)
        return;
    std::fflush(stream_);
    std::fclose(stream_);
    stream_ = nullptr;
}

void RomFile::beginWrite() {
    if (stream_)
        std::clearerr(stream_);
}

bool RomFile::finishWrite() {
    if (!stream_)
        return false;
    const bool flushed = std::fflush(stream_) == 0;
    return flushed && !std::ferror(stream_);
}

}  // namespace om
