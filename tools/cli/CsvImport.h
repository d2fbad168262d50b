// Reading back the CSV that `dump` writes, for `import`: any subset of its
// rows in any order, LF or CRLF line ends, descriptions ignored. Every row
// is checked here before anything is written; what cannot be used is a
// problem with the line it stands on.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CliSupport.h"

namespace omcli {

// The header row dump writes, and so the seven columns of every row.
inline constexpr char kCsvHeader[] =
    "group,offset,layer1_lo,layer1_hi,layer2_lo,layer2_hi,description";

struct ImportRow {
    int line = 0;  // where the row starts, from 1
    int group = 0;
    Entry entry{};
    std::optional<long> offset;  // the offset column, when not empty
};

struct CsvProblem {
    int line = 0;
    std::string message;
};

// Reads every row of text; rows that cannot be used go to problems instead
// of rows. Offsets are left to the caller, who knows the image's layout.
void ParseImportCsv(std::string_view text, std::vector<ImportRow>& rows,
                    std::vector<CsvProblem>& problems);

}  // namespace omcli
