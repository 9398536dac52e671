#pragma once

#include "cli/cli.h"

namespace orv::cli {

// orvanta-cli new --type CODE --out FILE.cf8: the factory configuration of a type.
int CmdNew(const TCommandArgs& args, TCliIo& io);
// orvanta-cli show FILE.cf8: every setting of a configuration file.
int CmdShow(const TCommandArgs& args, TCliIo& io);
// orvanta-cli read --port PORT --out FILE.cf8 [--slow]: the panel's configuration into a file.
int CmdRead(const TCommandArgs& args, TCliIo& io);
// orvanta-cli write --port PORT FILE.cf8 [--slow]: a configuration file into the panel.
int CmdWrite(const TCommandArgs& args, TCliIo& io);

} // namespace orv::cli
