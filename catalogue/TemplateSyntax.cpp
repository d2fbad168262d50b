#include "catalogue/TemplateSyntax.h"

#include "romdata/RomLayout.h"

namespace om {

namespace {

TemplateParse Refuse(std::string why) {
    TemplateParse r;
    r.error = std::move(why);
    return r;
}

bool ParseEnemyNumber(std::string_view digits, int& n) {
    if (digits.empty() || digits.size() > 3 || digits[0] == '0')
        return false;
    n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + (c - '0');
    }
    return n >= 1 && n <= kEnemyNameCount;
}

}  // namespace

TemplateParse ParseTemplateLine(std::string_view line) {
    std::string out;
    for (std::size_t i = 0; i < line.size();) {
        const char c = line[i];
        if (c == '}')
            return Refuse("'}' without '{' at column " + std::to_string(i + 1));
        if (c != '{') {
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
                return Refuse("character outside printable ASCII at column " +
                              std::to_string(i + 1));
            out += c;
            ++i;
            continue;
        }
        const std::size_t close = line.find('}', i);
        if (close == std::string_view::npos)
            return Refuse("unclosed '{' at column " + std::to_string(i + 1));
        const std::string_view code = line.substr(i + 1, close - i - 1);
        if (code == "lead") {
            out += kLeadEnemyCode;
        } else if (code.substr(0, 6) == "enemy ") {
            int n = 0;
            if (!ParseEnemyNumber(code.substr(6), n))
                return Refuse("enemy number must be 1-230 in '{" + std::string(code) + "}'");
            out += kEnemyCode;
            out += static_cast<char>(n);
        } else {
            return Refuse("unknown code '{" + std::string(code) + "}'");
        }
        i = close + 1;
    }
    if (out.empty())
        return Refuse("empty template");
    if (out.size() > kMaxTemplateLength)
        return Refuse("template is " + std::to_string(out.size()) + " bytes, more than 63");
    TemplateParse r;
    r.ok = true;
    r.bytes = std::move(out);
    return r;
}

std::string FormatTemplate(std::string_view bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == kLeadEnemyCode) {
            out += "{lead}";
        } else if (bytes[i] == kEnemyCode && i + 1 < bytes.size()) {
            out += "{enemy " + std::to_string(static_cast<unsigned char>(bytes[++i])) + "}";
        } else {
            out += bytes[i];
        }
    }
    return out;
}

}  // namespace om
