// The companion's commands. Each takes its arguments as given on the
// command line (their number already checked) and returns the exit status.
#pragma once

#include <string>
#include <vector>

#include "CliSupport.h"
#include "romdata/RomSnapshot.h"

namespace omcli {

using Arguments = std::vector<std::string>;

int Info(const Arguments& args, const Options& options);
int Dump(const Arguments& args, const Options& options);
int MakeDemoRom(const Arguments& args, const Options& options);
int Diff(const Arguments& args, const Options& options);
int Set(const Arguments& args, const Options& options);
int Import(const Arguments& args, const Options& options);
int MakePatch(const Arguments& args, const Options& options);
int ApplyPatch(const Arguments& args, const Options& options);
int Find(const Arguments& args, const Options& options);
int Usage(const Arguments& args, const Options& options);
int History(const Arguments& args, const Options& options);

// Prints data's 485 entries as dump does; the exit status.
int PrintDump(const om::BattleAnimData& data);
// Keeps a table set or import wrote in the ROM's table history; a history
// that cannot be written is a warning on standard error, never a failure
// of the write, which is done.
void KeepInHistory(const std::string& romPath, bool byImport, const om::TableBytes& replaced,
                   const om::TableBytes& written);

}  // namespace omcli
