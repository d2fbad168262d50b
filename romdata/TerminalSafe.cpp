#include "romdata/TerminalSafe.h"

namespace om {

namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F); }

void AppendEscape(std::string& out, unsigned char c) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
}

}  // namespace

std::string TerminalSafe(std::string_view text, bool keepNewlines) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        // U+0080..U+009F in UTF-8: C2 80..C2 9F. Both bytes are escaped.
        if (c == 0xC2 && i + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + 1]);
            if (next >= 0x80 && next <= 0x9F) {
                AppendEscape(out, c);
                AppendEscape(out, next);
                ++i;
                continue;
            }
        }
        if (IsControl(c) && !(keepNewlines && c == '\n'))
            AppendEscape(out, c);
        else
            out += static_cast<char>(c);
    }
    return out;
}

std::string QuotedField(std::string_view text, std::size_t maxChars) {
    if (text.size() <= maxChars)
        return TerminalSafe(text);
    return TerminalSafe(text.substr(0, maxChars)) + "...";
}

}  // namespace om
