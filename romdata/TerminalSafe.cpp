#include "romdata/TerminalSafe.h"

#include <algorithm>

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

std::size_t Utf8Length(std::string_view text, std::size_t at) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c < 0x80)
        return 1;
    std::size_t n = 0;
    char32_t code = 0, least = 0;
    if ((c & 0xE0) == 0xC0) {
        n = 2, code = c & 0x1F, least = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3, code = c & 0x0F, least = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4, code = c & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - at < n)
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(text[at + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (b & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return n;
}

std::string TerminalSafe(std::string_view text, bool keepNewlines) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t n = Utf8Length(text, i);
        if (n > 1) {
            // U+0080..U+009F: C2 80..C2 9F, both bytes escaped.
            const bool control = c == 0xC2 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
            for (std::size_t k = 0; k < n; ++k) {
                if (control)
                    AppendEscape(out, static_cast<unsigned char>(text[i + k]));
                else
                    out += text[i + k];
            }
            i += n;
            continue;
        }
        if (IsControl(c) && !(keepNewlines && c == '\n'))
            AppendEscape(out, c);
        else
            out += static_cast<char>(c);
        ++i;
    }
    return out;
}

std::string QuotedField(std::string_view text, std::size_t maxChars) {
    std::size_t end = 0;
    for (std::size_t chars = 0; end < text.size() && chars < maxChars; ++chars)
        end += std::max<std::size_t>(1, Utf8Length(text, end));
    if (end >= text.size())
        return TerminalSafe(text);
    return TerminalSafe(text.substr(0, end)) + "...";
}

}  // namespace om
