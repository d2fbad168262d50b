// Text that came from a ROM image or a CSV file, made safe to print on a
// terminal: control characters are written as \xNN so that a planted escape
// sequence shows as text instead of being obeyed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace om {

// Writes every byte below 0x20 (except the line feed when keepNewlines is
// set), 0x7F, every byte 0x80-0x9F, and the UTF-8 encodings of U+0080 to
// U+009F as \xNN, one escape a byte; a backslash stays a backslash.
std::string TerminalSafe(std::string_view text, bool keepNewlines = false);

// A field quoted in a message: TerminalSafe, cut to maxChars characters of
// the original with "..." after it when it was longer.
std::string QuotedField(std::string_view text, std::size_t maxChars = 40);

}  // namespace om
