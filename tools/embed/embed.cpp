// Build-time tool: turns the readable data files into C++ sources.
//
//   ombattleanim-embed templates IN OUT
//       485 template lines -> om::GroupTemplateTable
//   ombattleanim-embed names IN OUT
//       230 enemy names -> om::DemoEnemyNames
//
// A malformed line stops the build with the file name, the line number and
// the reason.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "catalogue/TemplateSyntax.h"
#include "romdata/RomLayout.h"

namespace {

std::string CppLiteral(const std::string& bytes) {
    std::string out = "std::string_view(\"";
    for (unsigned char c : bytes) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F && c != '?') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\%03o", c);
            out += buf;
        }
    }
    out += "\", " + std::to_string(bytes.size()) + ")";
    return out;
}

bool ReadLines(const char* path, std::vector<std::string>& lines) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << path << ": cannot read\n";
        return false;
    }
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return true;
}

bool Fail(const char* path, std::size_t lineNo, const std::string& why) {
    std::cerr << path << ":" << lineNo << ": " << why << "\n";
    return false;
}

bool WriteIfChanged(const char* path, const std::string& text) {
    {
        std::ifstream old(path, std::ios::binary);
        std::stringstream ss;
        ss << old.rdbuf();
        if (old && ss.str() == text)
            return true;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) {
        std::cerr << path << ": cannot write\n";
        return false;
    }
    return true;
}

bool EmbedTemplates(const char* in, const char* outPath) {
    std::vector<std::string> lines;
    if (!ReadLines(in, lines))
        return false;
    if (lines.size() != static_cast<std::size_t>(om::kGroupCount))
        return Fail(in, lines.size(), "expected 485 templates, found " + std::to_string(lines.size()));
    std::string out =
        "// Generated from catalogue/group_templates.txt by ombattleanim-embed.\n"
        "#include \"catalogue/GroupTemplates.h\"\n\n#include <iterator>\n#include <utility>\n\n"
        "namespace om {\n\nnamespace {\n\nconstexpr std::string_view kTemplates[] = {\n";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const om::TemplateParse t = om::ParseTemplateLine(lines[i]);
        if (!t.ok)
            return Fail(in, i + 1, t.error);
        out += "    " + CppLiteral(t.bytes) + ",\n";
    }
    out += "};\n\n"
           "static_assert(std::size(kTemplates) == kGroupCount, \"one template per group\");\n\n"
           "template <std::size_t... I>\n"
           "constexpr GroupTemplates MakeTable(std::index_sequence<I...>) {\n"
           "    return {kTemplates[I]...};\n}\n\n}  // namespace\n\n"
           "const GroupTemplates GroupTemplateTable = "
           "MakeTable(std::make_index_sequence<kGroupCount>{});\n\n}  // namespace om\n";
    return WriteIfChanged(outPath, out);
}

bool EmbedNames(const char* in, const char* outPath) {
    std::vector<std::string> lines;
    if (!ReadLines(in, lines))
        return false;
    if (lines.size() != static_cast<std::size_t>(om::kEnemyNameCount))
        return Fail(in, lines.size(), "expected 230 names, found " + std::to_string(lines.size()));
    std::string out =
        "// Generated from tools/demo_enemy_names.txt by ombattleanim-embed.\n"
        "#include \"DemoEnemyNames.h\"\n\nnamespace om {\n\n"
        "const std::array<std::string_view, kEnemyNameCount> DemoEnemyNames = {\n";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& s = lines[i];
        if (s.empty() || s.size() > static_cast<std::size_t>(om::kEnemyNameLength))
            return Fail(in, i + 1, "a name has 1 to 25 characters");
        for (unsigned char c : s)
            if (c < 0x20 || c > 0x7E)
                return Fail(in, i + 1, "a name is printable ASCII");
        out += "    " + CppLiteral(s) + ",\n";
    }
    out += "};\n\n}  // namespace om\n";
    return WriteIfChanged(outPath, out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: ombattleanim-embed templates|names IN OUT\n";
        return 2;
    }
    const std::string mode = argv[1];
    bool ok = false;
    if (mode == "templates")
        ok = EmbedTemplates(argv[2], argv[3]);
    else if (mode == "names")
        ok = EmbedNames(argv[2], argv[3]);
    else
        std::cerr << "ombattleanim-embed: unknown mode '" << mode << "'\n";
    return ok ? 0 : 1;
}
