// Writing the battle background table into an open ROM as one piece: the
// whole 1,940 bytes built in memory, the file checked to be the one read,
// its range reserved, then one write and a sync. A table on the disk is
// then either all old or all new, never partly written.
#pragma once

#include "romdata/BattleAnimData.h"
#include "romdata/RomSnapshot.h"

namespace om {

// The table as the records hold it: the low 8 bits of each value.
TableBytes TableOf(const BattleAnimData& data);
// Entry g's four bytes in a table.
void PutEntry(TableBytes& table, int g, int l1lo, int l1hi, int l2lo, int l2hi);

enum class TableWriteResult {
    Written,
    Changed,  // another program changed the file since it was read: nothing written
    Gone,     // the file was deleted, renamed away or replaced: nothing written
    Failed,   // the system refused (error says why); see TableWrite::written
};

struct TableWrite {
    TableWriteResult result = TableWriteResult::Failed;
    int error = 0;         // errno of the failure
    bool written = false;  // the new table went into the file (only its sync failed)
};

// Writes table at the layout's place in the open file, after checking that
// the file is still what snapshot says and reserving the table's range (so
// a full disk refuses before anything is written). The write is a single
// pwrite; a short one is undone by writing the old table back. Then
// fdatasync. Whenever the file may have changed, snapshot is taken again
// from it, so that the next write compares with what is there.
TableWrite WriteTable(RomFile& file, const RomLayout& layout, RomSnapshot& snapshot,
                      const TableBytes& table);

}  // namespace om
