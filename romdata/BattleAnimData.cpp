#include "romdata/BattleAnimData.h"

#include <algorithm>

namespace om {

std::string_view EnemyNameTable::text(int k) const {
    const auto& s = slot(k);
    const auto end = std::find(s.begin(), s.end(), 0);
    return {reinterpret_cast<const char*>(s.data()), static_cast<std::size_t>(end - s.begin())};
}

void BattleAnimData::ReadEnemyNames(std::FILE* file, const RomLayout& layout) {
    for (int k = 0; k < kEnemyNameCount; ++k)
        ReadEnemyName(file, k, enemyNames_.slot(k), layout);
    std::fflush(file);
}

void BattleAnimData::InitGroupRecords(const GroupTemplates& templates,
                                      const LeadEnemies& leadEnemies, const RomLayout& layout) {
    for (int g = 0; g < kGroupCount; ++g) {
        GroupRecord& r = record(g);
        r.entryOffset = static_cast<std::int32_t>(layout.entryOffset(g));
        r.leadEnemy = leadEnemies[static_cast<std::size_t>(g)];
        r.descriptionTemplate = std::string(templates[static_cast<std::size_t>(g)]);
    }
}

void BattleAnimData::ReadBattleBgEntries(std::FILE* file, const RomLayout& layout) {
    for (int g = 0; g < kGroupCount; ++g) {
        const BattleBgEntry e = ReadEntry(file, g, layout);
        GroupRecord& r = record(g);
        r.layer1Lo = e.layer1Lo;
        r.layer1Hi = e.layer1Hi;
        r.layer2Lo = e.layer2Lo;
        r.layer2Hi = e.layer2Hi;
    }
}

std::vector<std::uint8_t> TableBytesOf(const GroupValuesTable& values) {
    std::vector<std::uint8_t> table;
    table.reserve(std::size_t(kGroupCount) * kEntrySize);
    for (const GroupValues& entry : values)
        for (const std::int32_t value : entry)
            table.push_back(static_cast<std::uint8_t>(value & 0xFF));
    return table;
}

}  // namespace om
