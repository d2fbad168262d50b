#include "catalogue/DisplayName.h"

#include "catalogue/TemplateSyntax.h"

namespace om {

namespace {

void AppendName(std::string& out, const BattleAnimData& data, int slot) {
    // A slot outside the table names nobody: nothing is appended rather than
    // reading past the names.
    if (slot < 0 || slot >= kEnemyNameCount)
        return;
    out += data.enemyName(slot);
}

}  // namespace

std::string ExpandTemplate(const BattleAnimData& data, std::string_view tmpl, int leadEnemy) {
    std::string out;
    for (std::size_t i = 0; i < tmpl.size(); ++i) {
        const char c = tmpl[i];
        if (c == kLeadEnemyCode) {
            AppendName(out, data, leadEnemy);
        } else if (c == kEnemyCode) {
            if (++i < tmpl.size())
                AppendName(out, data, static_cast<unsigned char>(tmpl[i]) - 1);
        } else {
            out += c;
        }
    }
    return out;
}

std::string ComposeDisplayName(const BattleAnimData& data, int g) {
    const GroupRecord& r = data.record(g);
    return ExpandTemplate(data, r.descriptionTemplate, r.leadEnemy);
}

}  // namespace om
