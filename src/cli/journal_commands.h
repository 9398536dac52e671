#pragma once

#include "cli/cli.h"
#include "journal/journal.h"

#include <optional>

namespace orv::cli {

// orvanta-cli journal SUBCOMMAND ...: the entries of the journal.
int CmdJournal(const TCommandArgs& args, TCliIo& io);

// A command's read, write or save of the state as the journal keeps it, made at the moment the
// configuration is the one to keep; nothing when the run keeps no journal.
std::optional<journal::TNewEntry> JournalEntry(const TCliIo& io, journal::TAction action,
                                               const TProgramState& state, const std::string& port = {});
// Records it, with the file it was saved to or read from when there is one. A journal that
// cannot be used is reported on err and changes nothing else.
void RecordInJournal(TCliIo& io, std::optional<journal::TNewEntry> entry, const std::string& filePath);

} // namespace orv::cli
