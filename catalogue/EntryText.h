// A group's entry as text, for the clipboard: Copy Entry writes the two
// background numbers ("L1 307 L2 18"); Paste Entry also takes the four bytes
// as a hex editor copies them ("33 01 12 00" or "33011200"). And the
// changes that set one layer, or a whole entry, in many groups at once.
// Free of widgets.
#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "romdata/BattleAnimData.h"

namespace om {

// "L1 <layer 1 background> L2 <layer 2 background>", the numbers decimal
// (low byte + 256 x high byte of each layer).
QString FormatEntryText(const GroupValues& values);

// The four values a text names: "L1 n L2 m" (letters in any case, any
// whitespace, each number 0 to 65535 in decimal or as 0x hex), or four
// bytes of two hex digits each, separated by whitespace or not. Nothing for
// any other text.
std::optional<GroupValues> ParseEntryText(const QString& text);

// What Paste Entry says when the clipboard holds no entry.
inline constexpr char kNoEntryOnClipboardText[] =
    "The clipboard holds no entry. Paste Entry takes \"L1 307 L2 18\" (the two background "
    "numbers) or the entry's four bytes in hex (\"33 01 12 00\").";

// values with the layer's (1 or 2) two bytes set to show background.
GroupValues WithBackground(const GroupValues& values, int layer, int background);

// The name of a step that changes n groups: "Change 12 Groups".
QString ChangeGroupsText(int n);

}  // namespace om
