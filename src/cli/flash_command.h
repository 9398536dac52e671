#pragma once

#include "cli/cli.h"

namespace orv::cli {

// Exit statuses of flash beyond the common ones: the numbers of the transaction codes that
// mean the same to the user.
inline constexpr int kExitNoAnswer = 9;       // the loader did not answer a block in time
inline constexpr int kExitChecksumError = 10; // the loader refused a block

// orvanta-cli flash --port PORT FILE.enc: sends a firmware file to the panel's loader, with a
// progress line. Needs a QCoreApplication.
int CmdFlash(const TCommandArgs& args, TCliIo& io);

} // namespace orv::cli
