// Whole files in and out, for patches and the images they apply to.
#pragma once

#include <cstddef>
#include <string>

#include "patch/Patch.h"

namespace om {

// Reads a whole regular file of at most maxSize bytes; refuses directories, FIFOs, devices
// and larger files without reading them; false + error (naming the path) on failure.
bool ReadWholeFile(const std::string& path, std::size_t maxSize, ByteVector& bytes,
                   std::string& error);
// Writes bytes to path completely or not at all (WriteWholeFile: a temporary file, synced, then
// renamed); an existing path an editor holds is refused. False + error on failure, and then path
// is as it was.
bool WriteFileAtomically(const std::string& path, ByteSpan bytes, std::string& error);

}  // namespace om
