// The editor's command line: `OMBattleAnim [ROM]`, --help and --version.
// It is read before any window or display connection exists, so --help works
// on a terminal without a desktop.
#pragma once

#include <QString>
#include <QStringList>

namespace om {

struct CommandLine {
    // -1: start the editor; otherwise the program ends at once with this
    // status after printing out and err.
    int exitStatus = -1;
    // For standard output and standard error, each control character typed
    // (ESC, BEL ...) written as \xNN (TerminalSafe); print them as PathBytes.
    QString out;
    QString err;
    QString romPath;  // absolute path of the ROM to open, or empty
};

// Exit status for a command line the program does not understand.
inline constexpr int kUsageErrorStatus = 2;

// main()'s arguments, program first, each byte of a file name kept (see
// LocalPath.h): QCoreApplication::arguments() would lose those that are not
// UTF-8.
QStringList ArgumentsFromArgv(int argc, const char* const* argv);

// arguments as ArgumentsFromArgv gives them, program first.
CommandLine ParseCommandLine(const QStringList& arguments);

}  // namespace om
