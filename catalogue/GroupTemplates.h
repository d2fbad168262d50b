// The built-in descriptions of the 485 enemy groups and the lead enemy that
// control code 0x01 stands for in the ten groups that use it.
#pragma once

#include "romdata/BattleAnimData.h"

namespace om {

// Compiled from catalogue/group_templates.txt.
extern const GroupTemplates GroupTemplateTable;

extern const LeadEnemies LeadEnemyTable;

}  // namespace om
