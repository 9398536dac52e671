#include "commands.h"

#include "link/port_discovery.h"

#include <array>

namespace orv::cli {

namespace {

constexpr std::array kCommands{
    TCommand{"ports", "", "list the serial ports present", &CmdPorts},
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
