#pragma once

#include "romdata/RomImage.h"

namespace om {

// A complete demo image: the title, the 230 demo enemy names and a table
// whose every pair is one the layer pickers know. Deterministic.
RomImage MakeDemoRom();

}  // namespace om
