// The companion's commands. Each takes its arguments as given on the
// command line (their number already checked) and returns the exit status.
#pragma once

#include <string>
#include <vector>

#include "CliSupport.h"

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

}  // namespace omcli
