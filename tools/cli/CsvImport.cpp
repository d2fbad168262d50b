#include "CsvImport.h"

#include <array>
#include <charconv>
#include <map>

#include "romdata/TerminalSafe.h"

namespace omcli {

namespace {

// One record of the file: its fields as RFC 4180 reads them (a quoted field
// may hold commas, doubled quotes and line breaks), or why it is malformed.
struct CsvRecord {
    int line = 0;
    bool blank = false;
    std::vector<std::string> fields;
    std::string malformed;
};

// Splits text into records. Qt has no CSV reader; this is the small part of
// RFC 4180 that dump's output needs.
std::vector<CsvRecord> SplitCsv(std::string_view text) {
    std::vector<CsvRecord> records;
    std::size_t i = 0;
    int line = 1;
    const std::size_t n = text.size();
    while (i < n) {
        CsvRecord rec;
        rec.line = line;
        const std::size_t start = i;
        std::string field;
        bool inQuotes = false;
        bool afterQuote = false;  // a quoted field just closed
        auto malformed = [&rec](const char* why) {
            if (rec.malformed.empty())
                rec.malformed = why;
        };
        while (i < n) {
            const char c = text[i];
            if (inQuotes) {
                if (c == '"' && i + 1 < n && text[i + 1] == '"') {
                    field += '"';
                    i += 2;
                    continue;
                }
                if (c == '"') {
                    inQuotes = false;
                    afterQuote = true;
                } else {
                    if (c == '\n')
                        ++line;
                    field += c;
                }
                ++i;
                continue;
            }
            if (c == '\n' || (c == '\r' && i + 1 < n && text[i + 1] == '\n'))
                break;
            ++i;
            if (c == ',') {
                rec.fields.push_back(std::move(field));
                field.clear();
                afterQuote = false;
            } else if (afterQuote) {
                malformed("text after the closing quote of a field");
            } else if (c == '"' && field.empty()) {
                inQuotes = true;
            } else if (c == '"') {
                malformed("a quote inside a field that does not start with one");
            } else {
                field += c;
            }
        }
        if (inQuotes)
            malformed("a quoted field is not closed");
        rec.blank = i == start;
        rec.fields.push_back(std::move(field));
        // The line end: "\n" or "\r\n".
        if (i < n) {
            i += text[i] == '\r' ? 2 : 1;
            ++line;
        }
        records.push_back(std::move(rec));
    }
    return records;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::optional<long> ParseHexOffset(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    unsigned long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        value > 0x7FFFFFFFul)
        return std::nullopt;
    return static_cast<long>(value);
}

constexpr std::array<const char*, 7> kColumns = {
    "group", "offset", "layer1_lo", "layer1_hi", "layer2_lo", "layer2_hi", "description"};

// Reads one data row; an empty string, or what is wrong with it.
std::string ReadRow(const CsvRecord& rec, ImportRow& row) {
    if (!rec.malformed.empty())
        return "malformed row: " + rec.malformed;
    if (rec.fields.size() != kColumns.size())
        return std::to_string(rec.fields.size()) + " fields where " +
               std::to_string(kColumns.size()) + " are expected (" + kCsvHeader + ")";
    const std::optional<int> group = ParseNumber(Trimmed(rec.fields[0]), om::kGroupCount - 1);
    if (!group)
        return "group '" + om::QuotedField(rec.fields[0]) + "' is not a number from 0 to " +
               std::to_string(om::kGroupCount - 1);
    row.group = *group;
    const std::string_view offset = Trimmed(rec.fields[1]);
    if (!offset.empty()) {
        row.offset = ParseHexOffset(offset);
        if (!row.offset)
            return "offset '" + om::QuotedField(rec.fields[1]) + "' is not a hexadecimal number";
    }
    for (std::size_t b = 0; b < 4; ++b) {
        const std::string& text = rec.fields[2 + b];
        const std::optional<int> value = ParseNumber(Trimmed(text), 255);
        if (!value)
            return std::string(kColumns[2 + b]) + " '" + om::QuotedField(text) +
                   "' is not a number from 0 to 255";
        row.entry[b] = *value;
    }
    return {};
}

bool IsHeader(const CsvRecord& rec) {
    if (!rec.malformed.empty() || rec.fields.size() != kColumns.size())
        return false;
    for (std::size_t c = 0; c < kColumns.size(); ++c)
        if (Trimmed(rec.fields[c]) != kColumns[c])
            return false;
    return true;
}

}  // namespace

void ParseImportCsv(std::string_view text, std::vector<ImportRow>& rows,
                    std::vector<CsvProblem>& problems) {
    // A spreadsheet may begin its UTF-8 file with a byte order mark.
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    bool headerSeen = false;
    std::map<int, int> lineOfGroup;
    for (const CsvRecord& rec : SplitCsv(text)) {
        if (rec.blank)
            continue;
        if (!headerSeen) {
            headerSeen = true;
            if (!IsHeader(rec)) {
                problems.push_back({rec.line, std::string("expected the header row that dump "
                                                          "writes: ") +
                                                  kCsvHeader});
                return;
            }
            continue;
        }
        ImportRow row;
        row.line = rec.line;
        std::string problem = ReadRow(rec, row);
        if (problem.empty()) {
            const auto [at, added] = lineOfGroup.emplace(row.group, row.line);
            if (!added)
                problem = "group " + std::to_string(row.group) +
                          " is listed again (first on line " + std::to_string(at->second) + ")";
        }
        if (problem.empty())
            rows.push_back(row);
        else
            problems.push_back({rec.line, std::move(problem)});
    }
    if (!headerSeen)
        problems.push_back({1, std::string("the file is empty; expected the header row that dump "
                                           "writes: ") +
                                   kCsvHeader});
}

}  // namespace omcli
