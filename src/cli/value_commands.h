#pragma once

#include "cli/cli.h"

namespace orv::cli {

// orvanta-cli get [--raw] FILE.cf8 KEY...: "KEY=VALUE" for every setting a key names (a key
// ending in ".*" names every key below it); the stored values with --raw. 1 when a key names
// none.
int CmdGet(const TCommandArgs& args, TCliIo& io);

// orvanta-cli set [--raw] FILE.cf8 KEY=VALUE... [--out FILE.cf8]: the values set (shown values,
// or stored ones; with --raw stored ones only) and the file saved in place or to --out; all or
// none, 1 with the reason when a value is refused.
int CmdSet(const TCommandArgs& args, TCliIo& io);

// orvanta-cli import SETTINGS.json --out FILE.cf8: a configuration built from the form
// `show --json` prints, or from "type" and some of "settings" on the type's defaults.
int CmdImport(const TCommandArgs& args, TCliIo& io);

} // namespace orv::cli
