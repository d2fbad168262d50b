// Text that came from a ROM image, a CSV file or the command line, made safe
// to print on a terminal: control characters are written as \xNN so that a
// planted escape sequence shows as text instead of being obeyed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace om {

// Text is read as UTF-8, which is what the companion writes. Every byte
// below 0x20 (except the line feed when keepNewlines is set) and 0x7F, every
// byte 0x80-0x9F that is not part of a valid UTF-8 character, and both bytes
// of U+0080 to U+009F (C2 80 to C2 9F) are written as \xNN, one escape a
// byte. Other valid UTF-8 characters stay as they are (the 96 of Ö, C3 96,
// is no control), as do other bytes and the backslash.
std::string TerminalSafe(std::string_view text, bool keepNewlines = false);

// A field quoted in a message: cut to maxChars characters of the original
// (a valid UTF-8 character or any other byte is one), "..." after it when
// it was longer, then TerminalSafe.
std::string QuotedField(std::string_view text, std::size_t maxChars = 40);

// The length of the valid UTF-8 character that starts at text[at] (1 for
// ASCII), or 0 when none does: a stray continuation byte, a truncated,
// overlong or surrogate sequence, or a code point past U+10FFFF.
std::size_t Utf8Length(std::string_view text, std::size_t at);

}  // namespace om
