// Every table written into a ROM, kept: for each ROM one file in the state
// folder ($XDG_STATE_HOME/OMBattleAnim/history, named by StateFileStem) to
// which each write appends the table it replaced and the table it wrote,
// with the time and the writer. Free of widgets; the editor and the
// companion share it.
//
// The file is append-only: a header that names the ROM's path, then records
// of a fixed size, each with a CRC32 of its own. Appending costs one record
// and one sync, however long the history is; a record cut short by a full
// disk is taken back before the append reports its failure, and a file
// damaged in any other way fails its checks on reading and is refused whole:
// nothing from it is ever shown or applied. Only the path the header names
// reads it, so a history never passes to another file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "romdata/RomSnapshot.h"

namespace om {

// Who wrote a table into the ROM. Stored as these numbers: never renumber.
enum class TableWriter : std::uint8_t {
    Opened = 1,  // not a write: the table the editor read when it opened the ROM
    Editor = 2,  // the editor's Save
    Set = 3,     // the companion's set
    Import = 4,  // the companion's import
};

// One table kept, as the window and the companion list it.
struct TableVersion {
    int number = 0;          // from 1, the oldest table kept
    std::int64_t time = 0;   // seconds since 1970-01-01 UTC
    // "editor", "set", "import" for a table one of them wrote; "opened" for
    // the table the editor read; "found" for the table a write replaced
    // when no version kept holds it (another program wrote it).
    std::string writer;
    TableBytes table{};
    std::vector<int> changed;  // groups whose entries differ from the version before, ascending
};

// StateFolder("history").
std::string TableHistoryFolder();
// The path with its symbolic links resolved (the file must exist); the path
// made absolute when it cannot be resolved.
std::string ResolvedPath(const std::string& path);

class TableHistory {
public:
    // romPath: absolute, symbolic links resolved (ResolvedPath).
    TableHistory(const std::string& folder, std::string romPath);

    const std::string& file() const { return file_; }
    const std::string& romPath() const { return romPath_; }

    // Every version, oldest first. A missing file is an empty history. False
    // + error (naming the file) when it cannot be read, is damaged, or names
    // another ROM; versions is then empty.
    bool read(std::vector<TableVersion>& versions, std::string& error) const;
    // Appends one record (for Opened, replaced and written are the table
    // read), written whole and synced, the folder and the file made when
    // missing. Refused, with nothing written, when the file's header names
    // another ROM or its last record is cut short or damaged. False + error
    // (naming the file) on failure; the file is then as it was.
    bool append(TableWriter writer, std::int64_t time, const TableBytes& replaced,
                const TableBytes& written, std::string& error) const;

private:
    std::string file_;
    std::string romPath_;
};

// A history whose ROM is gone: its file, and the path of the ROM it names.
struct OrphanHistory {
    std::string file;
    std::string romPath;
};
// The histories in folder whose ROM no longer exists, by file name. Files
// that are not histories are left out; problems lists why, one a file.
std::vector<OrphanHistory> OrphanHistories(const std::string& folder,
                                           std::vector<std::string>& problems);

// The time of a version as the companion prints it: "2026-03-01T12:00:00Z".
std::string UtcTimeText(std::int64_t time);

}  // namespace om
