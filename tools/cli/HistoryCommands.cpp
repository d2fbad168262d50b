// The table history from the command line: the versions kept of a ROM's
// table, one of them as a dump (which import takes back), and the histories
// whose ROM is gone. set and import add to it (KeepInHistory).
#include <QDateTime>
#include <iostream>

#include "Commands.h"
#include "romdata/TableHistory.h"
#include "romdata/TerminalSafe.h"

namespace omcli {

namespace {

int Orphans() {
    std::vector<std::string> problems;
    const std::vector<om::OrphanHistory> orphans =
        om::OrphanHistories(om::TableHistoryFolder(), problems);
    for (const std::string& problem : problems)
        Fail("warning: " + problem);
    for (const om::OrphanHistory& o : orphans)
        std::cout << om::TerminalSafe(o.romPath) << "\t" << om::TerminalSafe(o.file) << "\n";
    return std::cout.good() ? kExitOk : Fail("cannot write to standard output");
}

std::string GroupList(const std::vector<int>& groups) {
    std::string text;
    for (int g : groups)
    {
        if (!text.empty())
            text += ' ';
        text += std::to_string(g);
    }
    return text;
}

}  // namespace

void KeepInHistory(const std::string& romPath, bool byImport, const om::TableBytes& replaced,
                   const om::TableBytes& written) {
    const om::TableHistory history(om::TableHistoryFolder(), om::ResolvedPath(romPath));
    std::string error;
    // A damaged history gets nothing more: it is left as it is for the user.
    std::vector<om::TableVersion> versions;
    if (!history.read(versions, error) ||
        !history.append(byImport ? om::TableWriter::Import : om::TableWriter::Set,
                        QDateTime::currentSecsSinceEpoch(), replaced, written, error))
        Fail("warning: '" + romPath + "' was written, but its table history was not: " + error);
}

int History(const Arguments& args, const Options& options) {
    if (options.orphans) {
        if (!args.empty() || options.show != 0)
            return UsageError("'history --orphans' takes no ROM and no --show");
        return Orphans();
    }
    if (args.size() != 1)
        return UsageError("'history' takes 1 argument (history ROM [--show N]), not " +
                          std::to_string(args.size()));
    const std::string& path = args[0];
    RomReading rom;
    std::string reason;
    if (!OpenRom(path, options, rom, reason))
        return Fail(reason);
    const om::TableHistory history(om::TableHistoryFolder(), om::ResolvedPath(path));
    std::vector<om::TableVersion> versions;
    if (!history.read(versions, reason))
        return Fail(reason);
    if (options.show == 0) {
        // Newest first, as the editor's Table History lists them.
        for (auto v = versions.rbegin(); v != versions.rend(); ++v)
            std::cout << v->number << "\t" << om::UtcTimeText(v->time) << "\t" << v->writer
                      << "\t" << v->changed.size() << "\t" << GroupList(v->changed) << "\n";
        return std::cout.good() ? kExitOk : Fail("cannot write to standard output");
    }
    if (options.show > int(versions.size()))
    {
        // Appended step by step: GCC 12 warns (-Wrestrict) inside a long
        // operator+ chain it inlines.
        std::string text = "version ";
        text += std::to_string(options.show);
        text += " of '";
        text += path;
        text += "' is not kept: its history holds ";
        text += versions.empty() ? std::string("no version")
                                 : "versions 1 to " + std::to_string(versions.size());
        return Fail(text);
    }
    om::BattleAnimData data;
    if (!ReadRomData(rom, data))
        return Fail("cannot read '" + path + "'");
    const om::TableBytes& table = versions[std::size_t(options.show - 1)].table;
    for (int g = 0; g < om::kGroupCount; ++g) {
        const std::uint8_t* e = table.data() + std::size_t(g) * om::kEntrySize;
        om::SetValues(data.record(g), {e[0], e[1], e[2], e[3]});
    }
    return PrintDump(data);
}

}  // namespace omcli
