// Commands that read ROM images and never change them: info, dump, diff;
// and make-demo-rom, which only ever creates a new file.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "Commands.h"
#include "DemoRom.h"
#include "romdata/FileWrite.h"
#include "romdata/TerminalSafe.h"

namespace omcli {

namespace {

int EntriesInside(const om::RomLayout& layout, long size) {
    int n = 0;
    for (int g = 0; g < om::kGroupCount; ++g)
        if (layout.entryOffset(g) + om::kEntrySize <= size)
            ++n;
    return n;
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

std::string HexOffset(long offset, const char* format) {
    char text[24];
    std::snprintf(text, sizeof text, format, static_cast<unsigned long>(offset));
    return text;
}

// Opens and reads a whole ROM image; false, with a reason, when it cannot.
bool LoadRom(const std::string& path, const Options& options, RomReading& rom,
             om::BattleAnimData& data, std::string& reason) {
    if (!OpenRom(path, options, rom, reason))
        return false;
    if (!ReadRomData(rom, data)) {
        reason = "cannot read '" + path + "': " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

int Info(const Arguments& args, const Options& options) {
    const std::string& path = args[0];
    RomReading rom;
    std::string reason;
    if (!OpenRom(path, options, rom, reason))
        return Fail(reason);
    const om::RomProbe& probe = rom.probe;
    std::cout << "file: " << om::TerminalSafe(path) << "\n"
              << "size: " << probe.size << " bytes\n"
              << "title: " << (probe.titleMatches ? "ORBIT MARSH (matches)" : "does not match")
              << "\n"
              << "layout: " << om::LayoutName(probe.layout) << ", table at "
              << HexOffset(probe.layout.entryOffset(0), "0x%lX")
              << (probe.titleWithHeader == probe.titleWithoutHeader ? " (by the file's size)"
                                                                    : "")
              << "\n"
              << "entries inside the file: " << EntriesInside(probe.layout, probe.size) << " of "
              << om::kGroupCount << "\n";
    return std::cout.good() ? kExitOk : Fail("cannot write to standard output");
}

int Dump(const Arguments& args, const Options& options) {
    const std::string& path = args[0];
    RomReading rom;
    om::BattleAnimData data;
    std::string reason;
    if (!LoadRom(path, options, rom, data, reason))
        return Fail(reason);
    return PrintDump(data);
}

int PrintDump(const om::BattleAnimData& data) {
    std::cout << "group,offset,layer1_lo,layer1_hi,layer2_lo,layer2_hi,description\n";
    for (int g = 0; g < om::kGroupCount; ++g) {
        const om::GroupRecord& r = data.record(g);
        std::cout << g << "," << HexOffset(r.entryOffset, "%lX") << "," << r.layer1Lo << ","
                  << r.layer1Hi << "," << r.layer2Lo << "," << r.layer2Hi << ","
                  << CsvField(Description(data, g)) << "\n";
    }
    return std::cout.good() ? kExitOk : Fail("cannot write the dump");
}

int Diff(const Arguments& args, const Options& options) {
    // As diff(1) does: 0 the same, 1 different, 2 trouble.
    constexpr int kTrouble = 2;
    RomReading romA, romB;
    om::BattleAnimData a, b;
    std::string reason;
    if (!LoadRom(args[0], options, romA, a, reason) || !LoadRom(args[1], options, romB, b, reason))
        return Fail(reason, kTrouble);

    int differing = 0;
    for (int g = 0; g < om::kGroupCount; ++g) {
        const Entry ea = EntryOf(a.record(g));
        const Entry eb = EntryOf(b.record(g));
        if (ea == eb)
            continue;
        ++differing;
        std::cout << g << ": " << FormatEntry(ea) << " -> " << FormatEntry(eb) << "  "
                  << Description(a, g) << "\n";
    }
    if (!std::cout.good())
        return Fail("cannot write to standard output", kTrouble);
    return differing == 0 ? 0 : 1;
}

int MakeDemoRom(const Arguments& args, const Options&) {
    const std::string& path = args[0];
    std::string reason;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0)
        return Fail("'" + path + "' already exists; not overwriting it");
    const om::RomImage demo = om::MakeDemoRom();
    if (!om::WriteWholeFile(path, demo.bytes().data(), demo.bytes().size(),
                            om::ExistingFile::Refuse, reason))
        return Fail(reason);
    std::cout << "wrote " << om::TerminalSafe(path) << " (" << om::kDemoImageSize << " bytes)\n";
    return kExitOk;
}

}  // namespace omcli
