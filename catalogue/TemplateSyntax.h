// The readable form of group description templates, as kept in
// catalogue/group_templates.txt: "{lead}" stands for control code 0x01 (the
// group's lead enemy) and "{enemy N}" for 0x02 N (enemy N, 1-230).
#pragma once

#include <string>
#include <string_view>

namespace om {

inline constexpr char kLeadEnemyCode = 0x01;
inline constexpr char kEnemyCode = 0x02;
inline constexpr std::size_t kMaxTemplateLength = 63;

struct TemplateParse {
    bool ok = false;
    std::string bytes;  // the template as the program stores it
    std::string error;  // why the line was refused
};

// Turns one line of the readable form into template bytes. Refuses unknown
// or unclosed escapes, enemy numbers outside 1-230, characters outside
// printable ASCII and templates longer than 63 bytes.
TemplateParse ParseTemplateLine(std::string_view line);

// The readable form of template bytes; the inverse of ParseTemplateLine.
std::string FormatTemplate(std::string_view bytes);

}  // namespace om
