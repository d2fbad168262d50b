// ombattleanim-cli: the editor's data code from the command line, for
// scripting, for sharing edits and for trying the program without the game.
// `ombattleanim-cli --help` lists the commands.
//
// Read-only commands open the ROM read-only and never change it; the
// commands that write check everything before the first byte goes out.
#include <QCommandLineParser>
#include <QStringList>
#include <iostream>
#include <string>

#include "Commands.h"
#include "Version.h"
#include "romdata/TerminalSafe.h"

namespace {

using omcli::Arguments;
using omcli::Options;

struct Command {
    const char* name;
    const char* arguments;  // as the help shows them
    std::size_t argumentCount;
    const char* summary;  // lines of the help, without their indent
    bool takesForce;
    bool takesFormat;
    int (*run)(const Arguments&, const Options&);
    bool moreArguments = false;  // argumentCount is the least, any more may follow
    bool takesLayer = false;
};

// The help lists the commands in this order.
constexpr Command kCommands[] = {
    {"info", "ROM", 1,
     "Prints the file's size, whether its title matches, its layout (with or\n"
     "without a 512-byte copier header) and how many entries it holds.",
     true, false, &omcli::Info},
    {"dump", "ROM", 1,
     "Prints all 485 entries as CSV: group, offset of the entry in the file\n"
     "(hexadecimal), the four bytes and the group's description.",
     true, false, &omcli::Dump},
    {"set", "ROM GROUP L1LO L1HI L2LO L2HI", 6,
     "Writes one group's entry: layer 1 low and high byte, layer 2 low and\n"
     "high byte. Prints the entry before and after.",
     true, false, &omcli::Set},
    {"import", "ROM CSV", 2,
     "Writes the entries listed in a CSV in dump's format: the header row,\n"
     "then any of the rows, in any order. The whole file is checked first; a\n"
     "bad row is reported with its line number and nothing is written.",
     true, false, &omcli::Import},
    {"diff", "ROM_A ROM_B", 2,
     "Prints one line per group whose entry differs: its number, both\n"
     "entries and its description.",
     true, false, &omcli::Diff},
    {"find", "ROM [TERM...]", 1,
     "Prints the groups that match every TERM (every group when none is\n"
     "given), one a line: group, layer 1 background, layer 2 background and\n"
     "description, separated by tabs. The terms are the Find Group window's;\n"
     "see Filter terms below.",
     true, false, &omcli::Find, true},
    {"usage", "ROM [--layer 1|2]", 1,
     "Prints as CSV each background number in use on a layer (on both when\n"
     "--layer is not given): layer, background, how many groups show it and\n"
     "their numbers separated by spaces; by layer, then background.",
     true, false, &omcli::Usage, false, true},
    {"history", "ROM [--show N] | --orphans", 0,
     "Lists the versions of ROM's table kept in its table history, newest\n"
     "first, one a line: version (1 is the oldest), time (UTC), writer\n"
     "(opened, editor, set, import; found: a table another program wrote),\n"
     "how many groups it changed and their numbers, separated by tabs. With\n"
     "--show N, prints version N as dump does, for import to take back. With\n"
     "--orphans, lists the histories whose ROM is gone: its path and the\n"
     "history's file. Each successful set and import adds to the history.",
     true, false, &omcli::History, true},
    {"make-patch", "ORIGINAL MODIFIED OUT", 3,
     "Writes the difference between two images to OUT as a patch: BPS or IPS\n"
     "by OUT's extension (.bps, .ips) or by --format. BPS is the one to\n"
     "publish: it carries checksums of the original, the result and itself,\n"
     "so a patch applied to the wrong image is refused. Of two images with a\n"
     "512-byte copier header, a BPS patch is made behind it, for images with\n"
     "and without one. A patch apply-patch would refuse is not written.",
     false, true, &omcli::MakePatch},
    {"apply-patch", "ROM PATCH OUT", 3,
     "Applies an IPS or BPS patch to a copy of ROM and writes it to OUT,\n"
     "whole or not at all; never in place. A BPS patch made for another\n"
     "image, or damaged, is refused and nothing is written. A headered ROM's\n"
     "header is set aside for a BPS patch made without it. An IPS patch is\n"
     "applied as it is, with a warning when it looks made for the other layout.",
     false, false, &omcli::ApplyPatch},
    {"make-demo-rom", "OUT", 1, "Writes a demo image the editor accepts to a new file OUT.", false,
     false, &omcli::MakeDemoRom},
};

constexpr char kIntroduction[] =
    "Reads and edits the battle background table of an Orbitmarsh ROM image: one\n"
    "4-byte entry for each of its 485 enemy groups. Images with a 512-byte\n"
    "copier header (.smc) and without one (.sfc) are told apart by the title\n"
    "inside them. info, dump, diff, set and import refuse a ROM, with a\n"
    "one-line reason and nothing written, when it is too short to hold the\n"
    "table or larger than 64 MiB, when it is not a regular file, when its title\n"
    "matches at neither place (unless --force is given), and, for set and\n"
    "import, while the editor has it open.\n";

constexpr char kOptionsAndStatus[] =
    "Options:\n"
    "  -h, --help        Prints this help and exits.\n"
    "  --version         Prints the program's version and exits.\n"
    "  --force           info, dump, set, import, diff: use an image whose title\n"
    "                    matches at neither place; its size then decides its layout.\n"
    "  --format ips|bps  make-patch: the patch format, whatever OUT's name.\n"
    "  --layer 1|2       usage: only this layer's backgrounds.\n"
    "  --show N          history: print version N of the table as dump does.\n"
    "  --orphans         history: list the histories whose ROM is gone.\n"
    "  --original FILE   find: the untouched image ROM was made from, for the\n"
    "                    term changed; a ROM of the same layout, not ROM itself.\n"
    "\n"
    "Numbers: GROUP is 0 to 484 and each byte 0 to 255, in decimal or in\n"
    "hexadecimal with 0x (0x1F).\n"
    "\n"
    "Filter terms (find; letters in any case, every term must match):\n"
    "  WORD     the description contains it\n"
    "  N        group N, or a description holding the number N on its own\n"
    "  #N       group N only\n"
    "  l1:N     layer 1 shows background N (low byte + 256 x high byte)\n"
    "  l2:N     layer 2 shows background N\n"
    "  bg:N     either layer shows background N\n"
    "  changed  the entry differs from the --original image's (none without)\n"
    "  N is decimal or 0x hex; #N is 0 to 484, a background 0 to 65535.\n"
    "\n"
    "Exit status:\n"
    "  0  done; for diff, no entry differs; for find, some group matches\n"
    "  1  a file could not be read, written or used; for diff, entries differ;\n"
    "     for find, no group matches\n"
    "  2  the command line is wrong; for diff and find, any error\n";

void PrintHelp() {
    std::cout << "Usage: " << omcli::kProgram << " [OPTION...] COMMAND ARGUMENT...\n"
              << "       " << omcli::kProgram << " --help | --version\n\n"
              << kIntroduction << "\nCommands:\n";
    for (const Command& c : kCommands) {
        std::cout << "  " << c.name << " " << c.arguments << "\n      ";
        for (const char* p = c.summary; *p; ++p)
            std::cout << *p << (*p == '\n' ? "      " : "");
        std::cout << "\n";
    }
    std::cout << "\n" << kOptionsAndStatus;
}

// Arguments go in and out of Qt as Latin-1, which maps every byte to one
// character and back: file names that are not valid UTF-8 stay exact.
std::string Bytes(const QString& s) { return s.toLatin1().toStdString(); }

}  // namespace

int main(int argc, char** argv) {
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw << QString::fromLatin1(argv[i]);

    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption force(QStringLiteral("force"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("FORMAT"));
    const QCommandLineOption layer(QStringLiteral("layer"), QString(), QStringLiteral("LAYER"));
    const QCommandLineOption show(QStringLiteral("show"), QString(), QStringLiteral("N"));
    const QCommandLineOption orphans(QStringLiteral("orphans"));
    const QCommandLineOption original(QStringLiteral("original"), QString(),
                                      QStringLiteral("ORIGINAL"));
    parser.addOptions({help, version, force, format, layer, show, orphans, original});
    if (!parser.parse(raw)) {
        // "-1" reads as an option; say what it really is.
        for (const QString& arg : raw)
            if (arg.size() > 1 && arg[0] == '-' && arg[1].isDigit()) {
                // Appended step by step: GCC 12 at -O3 warns (-Wrestrict)
                // inside the operator+ chain it inlines.
                std::string text = "'";
                text += Bytes(arg);
                text += "' is not a number this program takes: GROUP is 0 to 484 and each "
                        "byte 0 to 255";
                return omcli::UsageError(text);
            }
        return omcli::UsageError(Bytes(parser.errorText()));
    }
    if (parser.isSet(help)) {
        PrintHelp();
        return std::cout.good() ? omcli::kExitOk : omcli::kExitFileError;
    }
    if (parser.isSet(version)) {
        std::cout << omcli::kProgram << " " << om::kVersion << "\n";
        return std::cout.good() ? omcli::kExitOk : omcli::kExitFileError;
    }

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return omcli::UsageError("no command given");
    const std::string name = Bytes(positional.front());
    const Command* command = nullptr;
    for (const Command& c : kCommands)
        if (name == c.name)
            command = &c;
    if (!command)
        return omcli::UsageError("unknown command '" + name + "'");

    Arguments args;
    for (qsizetype i = 1; i < positional.size(); ++i)
        args.push_back(Bytes(positional[i]));
    if (args.size() < command->argumentCount ||
        (!command->moreArguments && args.size() != command->argumentCount))
        return omcli::UsageError("'" + name + "' takes " +
                                 (command->moreArguments ? "at least " : "") +
                                 std::to_string(command->argumentCount) +
                                 (command->argumentCount == 1 ? " argument" : " arguments") + " (" +
                                 name + " " + command->arguments + "), not " +
                                 std::to_string(args.size()));
    Options options;
    options.force = parser.isSet(force);
    if (options.force && !command->takesForce)
        return omcli::UsageError("--force does not apply to '" + name + "'");
    if (parser.values(format).size() > 1)
        return omcli::UsageError("--format is given more than once");
    options.format = Bytes(parser.value(format));
    if (parser.isSet(format) && !command->takesFormat)
        return omcli::UsageError("--format does not apply to '" + name + "'");
    if (parser.isSet(layer)) {
        if (!command->takesLayer)
            return omcli::UsageError("--layer does not apply to '" + name + "'");
        const QStringList given = parser.values(layer);
        if (given.size() > 1)
            return omcli::UsageError("--layer is given more than once");
        if (given.front() != QLatin1String("1") && given.front() != QLatin1String("2"))
            return omcli::UsageError("--layer takes 1 or 2, not '" +
                                     om::QuotedField(Bytes(given.front())) + "'");
        options.layer = given.front().toInt();
    }
    if (parser.isSet(show) || parser.isSet(orphans)) {
        if (command->run != &omcli::History)
            return omcli::UsageError(std::string(parser.isSet(show) ? "--show" : "--orphans") +
                                     " does not apply to '" + name + "'");
        if (parser.values(show).size() > 1)
            return omcli::UsageError("--show is given more than once");
        options.orphans = parser.isSet(orphans);
    }
    if (parser.isSet(show)) {
        const std::string given = Bytes(parser.value(show));
        const std::optional<int> n = omcli::ParseNumber(given, 1 << 30);
        if (!n || *n == 0)
            return omcli::UsageError("--show takes a version number from 1, not '" +
                                     om::QuotedField(given) + "'");
        options.show = *n;
    }
    if (parser.isSet(original)) {
        // Only find compares with an original (its "changed" term).
        if (name != "find")
            return omcli::UsageError("--original does not apply to '" + name + "'");
        if (parser.values(original).size() > 1)
            return omcli::UsageError("--original is given more than once");
        options.original = Bytes(parser.value(original));
    }
    return command->run(args, options);
}
