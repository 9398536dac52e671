#pragma once

#include "cli/cli.h"

namespace orv::cli {

// Reads a configuration file into state; says on err why it cannot.
bool LoadConfiguration(TProgramState& state, const std::string& path, TCliIo& io);
// The commit step and the crash-safe save, as the window's "Сохранить как..." runs them; says
// where it saved, or on err why it could not (kExitFile).
int SaveConfiguration(TProgramState& state, const std::string& path, TCliIo& io);

// orvanta-cli new --type CODE --out FILE.cf8: the factory configuration of a type.
int CmdNew(const TCommandArgs& args, TCliIo& io);
// orvanta-cli read --port PORT --out FILE.cf8 [--slow]: the panel's configuration into a file.
int CmdRead(const TCommandArgs& args, TCliIo& io);
// orvanta-cli write --port PORT FILE.cf8 [--slow]: a configuration file into the panel.
int CmdWrite(const TCommandArgs& args, TCliIo& io);

} // namespace orv::cli
