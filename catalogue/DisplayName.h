#pragma once

#include <string>

#include "romdata/BattleAnimData.h"

namespace om {

// Expands record g's description template with the enemy names currently in
// the data set: 0x01 inserts the record's lead enemy, 0x02 n enemy n.
std::string ComposeDisplayName(const BattleAnimData& data, int g);

// The same expansion for any template and lead enemy.
std::string ExpandTemplate(const BattleAnimData& data, std::string_view tmpl, int leadEnemy);

}  // namespace om
