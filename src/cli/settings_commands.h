#pragma once

#include "cli/cli.h"

namespace orv::cli {

// orvanta-cli show [--json] FILE.cf8: every setting of a configuration file.
int CmdShow(const TCommandArgs& args, TCliIo& io);
// orvanta-cli diff [--json] [--report OUT] A.cf8 B.cf8, or diff [--json] [--report OUT] --port PORT
// FILE.cf8: the settings that differ, and with --report their compare report (.pdf or .html); 0
// when there are none, 1 when there are, 3 when a file cannot be read or the report written.
int CmdDiff(const TCommandArgs& args, TCliIo& io);

// What show and diff print, for the commands that show or compare configurations from elsewhere.
// Removes every "--json" from args; true when there was one.
bool TakeJson(TCommandArgs& args);
void PrintSettings(const TProgramState& state, bool json, TCliIo& io);
// A is what is there now, B what is compared with it; returns diff's exit status.
int PrintComparison(const TProgramState& a, const TProgramState& b, bool json, TCliIo& io);

} // namespace orv::cli
