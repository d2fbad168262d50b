#include "catalogue/GroupTemplates.h"

namespace om {

namespace {

constexpr LeadEnemies MakeLeadEnemyTable() {
    LeadEnemies t{};
    // Only groups whose template carries code 0x01 are ever looked up.
    t[0] = 158;
    t[1] = 120;
    t[2] = 54;
    t[7] = 128;
    t[8] = 63;
    t[9] = 133;
    t[10] = 63;
    t[11] = 120;
    t[12] = 158;
    t[13] = 144;
    return t;
}

}  // namespace

const LeadEnemies LeadEnemyTable = MakeLeadEnemyTable();

}  // namespace om
