// Commands that write a ROM image in place: set and import. Everything is
// checked before the first byte is written; on any refusal the file is left
// as it was. The table goes out whole, in one write, and only into the file
// as it was read.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "Commands.h"
#include "CsvImport.h"
#include "romdata/TableWrite.h"
#include "romdata/TerminalSafe.h"

namespace omcli {

namespace {

// Far more than any dump (about 60 KB); anything larger is not one.
constexpr long kMaxCsvSize = 16L * 1024 * 1024;
// Problems listed before the rest are only counted.
constexpr std::size_t kProblemsShown = 20;

std::string OffsetText(long offset) {
    char text[24];
    std::snprintf(text, sizeof text, "%lX", static_cast<unsigned long>(offset));
    return text;
}

// Where a row's offset column disagrees with the image's layout, why.
std::string OffsetProblem(const ImportRow& row, const om::RomLayout& layout,
                          const std::string& romPath) {
    const long expected = layout.entryOffset(row.group);
    if (!row.offset || *row.offset == expected)
        return {};
    const std::string at = "offset " + OffsetText(*row.offset) + " is not where group " +
                           std::to_string(row.group) + "'s entry is in '" + romPath + "' (" +
                           OffsetText(expected) + ")";
    const om::RomLayout& other = OtherLayout(layout);
    if (*row.offset != other.entryOffset(row.group))
        return at;
    return at + (other.headerSize != 0
                     ? ": the CSV was dumped from an image with a 512-byte copier header, and "
                       "this image has none"
                     : ": the CSV was dumped from an image without a copier header, and this "
                       "image has a 512-byte one");
}

Entry EntryIn(const om::TableBytes& table, int group) {
    const std::size_t at = std::size_t(group) * om::kEntrySize;
    return {table[at], table[at + 1], table[at + 2], table[at + 3]};
}

// Writes table whole, after checking that the file is the one read into
// snapshot; why it was not written, or nothing.
std::string WriteWholeTable(const std::string& path, om::RomFile& rom, const om::RomLayout& layout,
                            om::RomSnapshot& snapshot, const om::TableBytes& table) {
    const om::TableWrite w = om::WriteTable(rom, layout, snapshot, table);
    switch (w.result) {
    case om::TableWriteResult::Written:
        return {};
    case om::TableWriteResult::Changed:
        return "'" + path + "' was changed by another program since this command read it; "
                            "nothing written";
    case om::TableWriteResult::Gone:
        return "'" + path + "' was deleted, renamed or replaced since this command opened it; "
                            "nothing written";
    case om::TableWriteResult::Failed:
        break;
    }
    return "cannot write '" + path + "': " + std::strerror(w.error) +
           (w.written ? "; the new table may not have reached the disk"
                      : "; its table is as it was");
}

// A CSV every offset of which is where its group's entry is in an image of
// the other kind (512 bytes off) was dumped from such an image: that is said
// once, instead of a problem on every row. Empty when it is not so.
std::string OtherLayoutNote(const std::vector<ImportRow>& rows, const om::RomLayout& layout) {
    const om::RomLayout& other = OtherLayout(layout);
    bool anyOffset = false;
    for (const ImportRow& row : rows) {
        if (row.offset && *row.offset != other.entryOffset(row.group))
            return {};
        anyOffset = anyOffset || row.offset.has_value();
    }
    if (!anyOffset)
        return {};
    return other.headerSize != 0
               ? "this CSV was dumped from an image with a copier header; this one has none"
               : "this CSV was dumped from an image without a copier header; this one has one";
}

bool ReadText(const std::string& path, std::string& text, std::string& reason) {
    InputFile file;
    if (!file.open(path, reason))
        return false;
    if (file.size() > kMaxCsvSize) {
        reason = "'" + path + "' is " + std::to_string(file.size()) +
                 " bytes long, too long to be a dump";
        return false;
    }
    text.resize(static_cast<std::size_t>(file.size()));
    const std::size_t got = std::fread(text.data(), 1, text.size(), file.stream());
    if (got != text.size() || std::ferror(file.stream())) {
        reason = "cannot read '" + path + "'";
        return false;
    }
    return true;
}

}  // namespace

int Set(const Arguments& args, const Options& options) {
    const std::string& path = args[0];
    static constexpr const char* kNames[] = {"GROUP", "L1LO", "L1HI", "L2LO", "L2HI"};
    int values[5] = {};
    for (int i = 0; i < 5; ++i) {
        const int max = i == 0 ? om::kGroupCount - 1 : 255;
        const std::optional<int> v = ParseNumber(args[1 + static_cast<std::size_t>(i)], max);
        if (!v)
            return UsageError(std::string(kNames[i]) + " must be a number from 0 to " +
                              std::to_string(max) + " (decimal, or hex with 0x), not '" +
                              om::QuotedField(args[1 + static_cast<std::size_t>(i)]) + "'");
        values[i] = *v;
    }
    const int group = values[0];
    const Entry entry = {values[1], values[2], values[3], values[4]};

    om::RomFile rom;
    om::RomLayout layout;
    std::string reason;
    if (!OpenRomForUpdate(path, options, rom, layout, reason))
        return Fail(reason);
    om::RomSnapshot read;
    if (!om::RomSnapshot::Take(*rom.held(), layout, read))
        return Fail("cannot read '" + path + "': " + std::strerror(errno));
    const Entry before = EntryIn(read.table, group);
    const om::TableBytes replaced = read.table;
    if (before != entry) {
        om::TableBytes table = read.table;
        om::PutEntry(table, group, entry[0], entry[1], entry[2], entry[3]);
        if (std::string why = WriteWholeTable(path, rom, layout, read, table); !why.empty())
            return Fail(why);
        KeepInHistory(path, false, replaced, table);
    }
    std::cout << "group " << group << ": " << FormatEntry(before) << " -> " << FormatEntry(entry)
              << "\n";
    return kExitOk;
}

int Import(const Arguments& args, const Options& options) {
    const std::string& romPath = args[0];
    const std::string& csvPath = args[1];
    std::string text, reason;
    if (!ReadText(csvPath, text, reason))
        return Fail(reason);
    om::RomFile rom;
    om::RomLayout layout;
    if (!OpenRomForUpdate(romPath, options, rom, layout, reason))
        return Fail(reason);
    om::RomSnapshot read;
    if (!om::RomSnapshot::Take(*rom.held(), layout, read))
        return Fail("cannot read '" + romPath + "': " + std::strerror(errno) + "; nothing written");

    std::vector<ImportRow> rows;
    std::vector<CsvProblem> problems;
    ParseImportCsv(text, rows, problems);
    const std::string otherLayout = OtherLayoutNote(rows, layout);
    for (const ImportRow& row : rows) {
        std::string problem = otherLayout.empty() ? OffsetProblem(row, layout, romPath) : "";
        if (!problem.empty())
            problems.push_back({row.line, std::move(problem)});
    }
    if (!otherLayout.empty())
        Fail(csvPath + ": " + otherLayout + " ('" + romPath + "')");
    if (!problems.empty() || !otherLayout.empty()) {
        std::stable_sort(problems.begin(), problems.end(),
                         [](const CsvProblem& a, const CsvProblem& b) { return a.line < b.line; });
        for (std::size_t i = 0; i < problems.size() && i < kProblemsShown; ++i)
            Fail(csvPath + ":" + std::to_string(problems[i].line) + ": " + problems[i].message);
        if (problems.size() > kProblemsShown)
            Fail("... and " + std::to_string(problems.size() - kProblemsShown) + " more");
        return Fail("nothing written to '" + romPath + "'");
    }

    // The whole table, whatever the rows' order, goes out in one write; an
    // unchanged dump writes nothing.
    const om::TableBytes replaced = read.table;
    om::TableBytes table = read.table;
    std::size_t changed = 0;
    for (const ImportRow& row : rows) {
        if (EntryIn(table, row.group) == row.entry)
            continue;
        ++changed;
        om::PutEntry(table, row.group, row.entry[0], row.entry[1], row.entry[2], row.entry[3]);
    }
    if (changed > 0) {
        if (std::string why = WriteWholeTable(romPath, rom, layout, read, table); !why.empty())
            return Fail(why);
        KeepInHistory(romPath, true, replaced, table);
    }
    std::cout << "imported " << rows.size() << " groups into " << om::TerminalSafe(romPath) << ": " << changed
              << " changed\n";
    return kExitOk;
}

}  // namespace omcli
