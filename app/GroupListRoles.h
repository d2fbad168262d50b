// The data each item of the group list carries besides its display name.
#pragma once

#include <Qt>

namespace om {

// The group number the item stands for (an int), drawn in the list's number
// column.
inline constexpr int kGroupNumberRole = Qt::UserRole + 40;
// True when the group's entry in the editor differs from the original ROM's
// (File > Set Original ROM...); the number column marks such a group.
inline constexpr int kGroupChangedRole = Qt::UserRole + 41;

}  // namespace om
