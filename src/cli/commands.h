#pragma once

#include "cli/cli.h"

namespace orv::cli {

// Lists the serial ports present: name, kind (usb-uart or serial) and description, tab-separated.
int CmdPorts(const TCommandArgs& args, TCliIo& io);

} // namespace orv::cli
