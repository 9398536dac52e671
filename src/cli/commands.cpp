#include "commands.h"

#include "cli/file_commands.h"
#include "cli/flash_command.h"
#include "cli/journal_commands.h"
#include "cli/report_command.h"
#include "cli/settings_commands.h"
#include "cli/template_commands.h"
#include "cli/value_commands.h"
#include "link/port_discovery.h"

#include <array>

namespace orv::cli {

namespace {

constexpr std::array kCommands{
    TCommand{"read", "--port PORT --out FILE.cf8 [--slow]", "read the panel's configuration into a file",
             &CmdRead},
    TCommand{"write", "--port PORT FILE.cf8 [--slow]", "write a configuration file into the panel",
             &CmdWrite},
    TCommand{"new", "--type CODE --out FILE.cf8", "write the factory configuration of a type", &CmdNew},
    TCommand{"show", "[--json] FILE.cf8", "print every setting of a configuration file", &CmdShow},
    TCommand{"diff", "[--json] [--report OUT] A.cf8 B.cf8",
             "the settings that differ (exit 0 equal, 1 different); --report: as .pdf or .html", &CmdDiff},
    TCommand{"diff", "[--json] [--report OUT] --port PORT FILE.cf8",
             "the settings the panel holds otherwise than the file", &CmdDiff},
    TCommand{"report", "FILE.cf8 --out REPORT.pdf|.html [--site TEXT] [--installer TEXT]",
             "the configuration's report to print or hand over", &CmdReport},
    TCommand{"get", "[--raw] FILE.cf8 KEY...", "the values of settings by their keys (KEY.* for a group)",
             &CmdGet},
    TCommand{"set", "[--raw] FILE.cf8 KEY=VALUE... [--out FILE.cf8]", "set settings by their keys and save",
             &CmdSet},
    TCommand{"import", "SETTINGS.json --out FILE.cf8", "a configuration from the JSON of show --json",
             &CmdImport},
    TCommand{"template", "make FILE.cf8 --keys KEY... --out T.json [--name N] [--note T] [--types C,...]",
             "a template of the settings the keys name", &CmdTemplate},
    TCommand{"apply", "T.json FILE.cf8 [--out FILE.cf8]", "set a template's settings in a file", &CmdApply},
    TCommand{"apply", "T.json --port PORT [--slow] [--each]",
             "read, set a template, write; --each: panel after panel, Enter before each", &CmdApply},
    TCommand{"flash", "--port PORT FILE.enc", "update the panel's firmware from a firmware file", &CmdFlash},
    TCommand{"ports", "", "list the serial ports present", &CmdPorts},
    TCommand{"journal", "SUBCOMMAND ...",
             "list, show, compare, export or annotate journal entries (journal help)", &CmdJournal},
};

} // namespace

std::span<const TCommand> Commands() {
    return kCommands;
}

int CmdPorts(const TCommandArgs& args, TCliIo& io) {
    if (!args.empty()) {
        io.err << "orvanta-cli: ports takes no arguments\n";
        return kExitUsage;
    }
    for (const TPortEntry& port : DiscoverPorts()) {
        io.out << port.name.toStdString() << '\t' << (port.adapter ? "usb-uart" : "serial") << '\t'
               << port.description.toStdString() << '\n';
    }
    return kExitOk;
}

} // namespace orv::cli
