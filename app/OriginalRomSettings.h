// The original ROM set for each ROM, kept in the settings by the ROM's path
// (links resolved) with the original's path, size and CRC32.
#pragma once

#include <QString>
#include <optional>

#include "patch/OriginalRom.h"

namespace om {

// The ROM's path as the settings know it: absolute, links resolved.
QString OriginalKeyPath(const QString& romPath);

std::optional<OriginalRom> RememberedOriginal(const QString& romPath);
// False when the settings could not be written.
bool RememberOriginal(const QString& romPath, const OriginalRom& original);

}  // namespace om
