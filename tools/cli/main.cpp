// ombattleanim-cli: the editor's data code from the command line, for
// scripting and for trying the program without the game.
//
//   ombattleanim-cli info ROM
//   ombattleanim-cli dump ROM
//   ombattleanim-cli make-demo-rom OUT
//
// Read-only commands open the ROM read-only and never change it.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "DemoRom.h"
#include "catalogue/DisplayName.h"
#include "catalogue/GroupTemplates.h"
#include "romdata/BattleAnimData.h"

namespace {

constexpr char kUsage[] =
    "usage: ombattleanim-cli info ROM | dump ROM | make-demo-rom OUT";

int Fail(const std::string& message) {
    std::cerr << "ombattleanim-cli: " << message << "\n";
    return 1;
}

// Opens a ROM for reading only; on failure, reason says why.
std::FILE* OpenRomForReading(const std::string& path, std::string& reason, long& size) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        reason = "cannot open '" + path + "': " + std::strerror(errno);
        return nullptr;
    }
    if (S_ISDIR(st.st_mode)) {
        reason = "'" + path + "' is a directory, not a ROM file";
        return nullptr;
    }
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        reason = "cannot open '" + path + "': " + std::strerror(errno);
        return nullptr;
    }
    size = static_cast<long>(st.st_size);
    return f;
}

int EntriesInside(long size) {
    int n = 0;
    for (int g = 0; g < om::kGroupCount; ++g)
        if (om::kSmcLayout.entryOffset(g) + om::kEntrySize <= size)
            ++n;
    return n;
}

std::string Latin1ToUtf8(std::string_view s) {
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string CsvField(const std::string& s) {
    if (s.find_first_of(",\"\r\n") == std::string::npos)
        return s;
    std::string out = "\"";
    for (char c : s) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

int Info(const std::string& path) {
    std::string reason;
    long size = 0;
    std::FILE* f = OpenRomForReading(path, reason, size);
    if (!f)
        return Fail(reason);
    const bool title = om::ReadTitle(f);
    const bool readOk = !std::ferror(f);
    std::fclose(f);
    if (!readOk)
        return Fail("cannot read '" + path + "'");
    std::cout << "file: " << path << "\n"
              << "size: " << size << " bytes\n"
              << "title: " << (title ? "ORBIT MARSH (matches)" : "does not match") << "\n"
              << "entries inside the file: " << EntriesInside(size) << " of " << om::kGroupCount
              << "\n";
    return 0;
}

int Dump(const std::string& path) {
    std::string reason;
    long size = 0;
    std::FILE* f = OpenRomForReading(path, reason, size);
    if (!f)
        return Fail(reason);
    om::BattleAnimData data;
    data.ReadEnemyNames(f);
    data.InitGroupRecords(om::GroupTemplateTable, om::LeadEnemyTable);
    data.ReadBattleBgEntries(f);
    const bool readOk = !std::ferror(f);
    std::fclose(f);
    if (!readOk)
        return Fail("cannot read '" + path + "'");

    std::cout << "group,offset,layer1_lo,layer1_hi,layer2_lo,layer2_hi,description\n";
    char offset[16];
    for (int g = 0; g < om::kGroupCount; ++g) {
        const om::GroupRecord& r = data.record(g);
        std::snprintf(offset, sizeof offset, "%X", static_cast<unsigned>(r.entryOffset));
        std::cout << g << "," << offset << "," << r.layer1Lo << "," << r.layer1Hi << ","
                  << r.layer2Lo << "," << r.layer2Hi << ","
                  << CsvField(Latin1ToUtf8(om::ComposeDisplayName(data, g))) << "\n";
    }
    return std::cout.good() ? 0 : Fail("cannot write the dump");
}

int MakeDemoRom(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) == 0)
        return Fail("'" + path + "' already exists; not overwriting it");
    if (!om::MakeDemoRom().writeNewFile(path))
        return Fail("cannot write '" + path + "': " + std::strerror(errno));
    std::cout << "wrote " << path << " (" << om::kDemoImageSize << " bytes)\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return Fail(kUsage);
    const std::string command = argv[1];
    if (command != "info" && command != "dump" && command != "make-demo-rom")
        return Fail("unknown command '" + command + "'; " + kUsage);
    if (argc != 3)
        return Fail("'" + command + "' takes exactly one file argument; " + kUsage);
    if (command == "info")
        return Info(argv[2]);
    if (command == "dump")
        return Dump(argv[2]);
    return MakeDemoRom(argv[2]);
}
