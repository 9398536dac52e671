#pragma once

#include "gsm/program_state.h"

#include <map>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv::journal {
class TJournalRecorder;
}

namespace orv::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1; // a command failed for a reason without a code of its own
inline constexpr int kExitUsage = 2;
inline constexpr int kExitFile = 3; // a file that cannot be read or written
// A failed transaction exits with its final result code, 8 to 14.

struct TCliIo {
    std::ostream& out;
    std::ostream& err;
    journal::TJournalRecorder* journal = nullptr; // none: the run keeps no journal
    bool terminal = false; // out is a terminal: a person watches the transaction's steps
    bool sync = true;      // a recorded entry is sent to the shared journal's server at once
};

using TCommandArgs = std::vector<std::string>;

// One command of the tool. To add one, write its function and add a row to the table in
// commands.cpp.
struct TCommand {
    std::string_view name;
    std::string_view synopsis; // the arguments, as the usage shows them
    std::string_view summary;
    int (*run)(const TCommandArgs& args, TCliIo& io); // args after the command name
};

std::span<const TCommand> Commands();

// The options that apply to the whole run, taken out of the arguments wherever they stand:
// "--no-journal" keeps this run out of the journal, "--no-sync" leaves its entry to a later
// synchronisation.
struct TGlobalOptions {
    bool keepJournal = true;
    bool sync = true;
};
TGlobalOptions TakeGlobalOptions(std::vector<std::string>& args);

// The whole tool: args without the program name; returns the exit status. terminal: out is a
// terminal.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool terminal = false);

std::string Usage();

// Options of the form "--name value" (names given in valueOptions) and positional arguments.
struct TParsedArgs {
    std::map<std::string, std::string, std::less<>> options;
    std::vector<std::string> positional;
};
std::optional<TParsedArgs> ParseArgs(const TCommandArgs& args, std::span<const std::string_view> valueOptions,
                                     std::string& error);

// Runs one read (mode 0) or write (mode 1) over the port of a port list entry, printing each
// status text on its own line as its code arrives (the operating system's reason for a port
// error, and the unsupported-device notice, go to err); on a terminal each line once the
// exchanges have begun starts with "[done/total] ", the steps done of those known. Returns 0 when the
// transaction succeeded, otherwise its final result code. slow: the compatible exchange, the port polled
// every 500 ms. Needs a QCoreApplication.
int RunTransactionCommand(const std::string& portEntry, TProgramState& state, Byte mode, TCliIo& io,
                          bool slow = false);

} // namespace orv::cli
