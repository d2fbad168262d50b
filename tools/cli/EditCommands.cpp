// Commands that write a ROM image in place: set and import. Everything is
// checked before the first byte is written; on any refusal the file is left
// as it was.
#include <algorithm>
#include <cstdio>
#include <iostream>

#include "Commands.h"
#include "CsvImport.h"
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
    const Entry before = ReadEntryAt(rom.stream(), group, layout);
    if (std::ferror(rom.stream()))
        return Fail("cannot read '" + path + "'");
    if (before != entry) {
        rom.beginWrite();
        om::WriteEntry(rom.stream(), group, entry[0], entry[1], entry[2], entry[3], layout);
        if (!rom.finishWrite())
            return Fail("cannot write '" + path + "'; its table may be partly written");
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

    // Only entries that change are written: an unchanged dump writes nothing.
    std::vector<const ImportRow*> changes;
    for (const ImportRow& row : rows)
        if (ReadEntryAt(rom.stream(), row.group, layout) != row.entry)
            changes.push_back(&row);
    if (std::ferror(rom.stream()))
        return Fail("cannot read '" + romPath + "'; nothing written");
    if (!changes.empty()) {
        rom.beginWrite();
        for (const ImportRow* row : changes)
            om::WriteEntry(rom.stream(), row->group, row->entry[0], row->entry[1], row->entry[2],
                           row->entry[3], layout);
        if (!rom.finishWrite())
            return Fail("cannot write '" + romPath + "'; its table may be partly written");
    }
    std::cout << "imported " << rows.size() << " groups into " << om::TerminalSafe(romPath) << ": "
              << changes.size() << " changed\n";
    return kExitOk;
}

}  // namespace omcli
