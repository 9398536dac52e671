#pragma once

#include "cli/cli.h"

namespace orv::cli {

// orvanta-cli template make FILE.cf8 --keys PATTERN... --out T.json [--name NAME] [--note TEXT]
// [--types CODE,...]: a template of the settings the patterns name ("gsm.directions.*").
int CmdTemplate(const TCommandArgs& args, TCliIo& io);

// orvanta-cli apply T.json FILE.cf8 [--out FILE.cf8]: the template set on a file, saved in place
// or to --out. orvanta-cli apply T.json --port PORT [--slow] [--each]: the panel read, the
// template set, its changes shown and the panel written with verification; the journal's entry
// of the write names the template. --each: panel after panel on the same port, each once Enter
// is pressed, until the input ends; one line per panel and a summary, 1 when any failed.
int CmdApply(const TCommandArgs& args, TCliIo& io);

} // namespace orv::cli
