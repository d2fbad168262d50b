// The editor's in-memory copy of what it shows and edits from a ROM: one
// record per enemy group, the decoded enemy names, and the list position of
// the group whose values are on screen. One instance lives for the whole run.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "romdata/RomLayout.h"

namespace om {

struct GroupRecord {
    std::int32_t entryOffset = 0;
    std::int32_t leadEnemy = 0;
    std::string descriptionTemplate;
    std::int32_t layer1Lo = 0;
    std::int32_t layer1Hi = 0;
    std::int32_t layer2Lo = 0;
    std::int32_t layer2Hi = 0;
};

// A group's four values in the order of its entry: layer 1 low, layer 1
// high, layer 2 low, layer 2 high.
using GroupValues = std::array<std::int32_t, 4>;
// The four values of every group, by group number.
using GroupValuesTable = std::array<GroupValues, kGroupCount>;

inline GroupValues ValuesOf(const GroupRecord& r) {
    return {r.layer1Lo, r.layer1Hi, r.layer2Lo, r.layer2Hi};
}
inline void SetValues(GroupRecord& r, const GroupValues& v) {
    r.layer1Lo = v[0];
    r.layer1Hi = v[1];
    r.layer2Lo = v[2];
    r.layer2Hi = v[3];
}

// The 485 entries as the table holds them, 1,940 bytes: the low 8 bits of
// each value: what Save, and the recovery and Export Patch of the edits,
// put into the file.
std::vector<std::uint8_t> TableBytesOf(const GroupValuesTable& values);

class EnemyNameTable {
public:
    EnemyNameSlot& slot(int k) { return slots_.at(static_cast<std::size_t>(k)); }
    const EnemyNameSlot& slot(int k) const { return slots_.at(static_cast<std::size_t>(k)); }
    // The slot's text: its bytes up to the first zero, at most 25.
    std::string_view text(int k) const;

private:
    std::array<EnemyNameSlot, kEnemyNameCount> slots_{};
};

using GroupTemplates = std::array<std::string_view, kGroupCount>;
using LeadEnemies = std::array<std::uint8_t, kGroupCount>;

class BattleAnimData {
public:
    BattleAnimData() = default;
    BattleAnimData(const BattleAnimData&) = delete;
    BattleAnimData& operator=(const BattleAnimData&) = delete;
    virtual ~BattleAnimData() = default;

    void ReadEnemyNames(std::FILE* file, const RomLayout& layout = kSmcLayout);
    void InitGroupRecords(const GroupTemplates& templates, const LeadEnemies& leadEnemies,
                          const RomLayout& layout = kSmcLayout);
    void ReadBattleBgEntries(std::FILE* file, const RomLayout& layout = kSmcLayout);

    GroupRecord& record(int g) { return records_.at(static_cast<std::size_t>(g)); }
    const GroupRecord& record(int g) const { return records_.at(static_cast<std::size_t>(g)); }

    std::string_view enemyName(int k) const { return enemyNames_.text(k); }
    EnemyNameTable& enemyNames() { return enemyNames_; }
    const EnemyNameTable& enemyNames() const { return enemyNames_; }

    std::int32_t currentPosition() const { return currentPosition_; }
    void setCurrentPosition(std::int32_t p) { currentPosition_ = p; }

private:
    std::array<GroupRecord, kGroupCount> records_{};
    std::int32_t currentPosition_ = 0;
    EnemyNameTable enemyNames_;
};

}  // namespace om
