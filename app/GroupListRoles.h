#pragma once

#include <Qt>

namespace om {

inline constexpr int kGroupChangedRole = Qt::UserRole + 41;

}  // namespace om
