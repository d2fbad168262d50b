#pragma once

#include <array>
#include <string_view>

#include "romdata/RomLayout.h"

namespace om {

// Invented names of enemies 1-230 for demo images, compiled from
// tools/demo_enemy_names.txt.
extern const std::array<std::string_view, kEnemyNameCount> DemoEnemyNames;

}  // namespace om
