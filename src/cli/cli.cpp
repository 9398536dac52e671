#include "cli.h"

#include "device/catalogue.h"
#include "journal/recorder.h"
#include "link/data_module.h"
#include "link/port_discovery.h"
#include "link/result_codes.h"
#include "link/transaction.h"

#include <algorithm>
#include <memory>

namespace orv::cli {

std::string Usage() {
    std::string usage = "usage: orvanta-cli [--no-journal] [--no-sync] COMMAND [ARGUMENTS]\ncommands:\n";
    for (const TCommand& c : Commands()) {
        std::string head = "  " + std::string(c.name);
        if (!c.synopsis.empty()) {
            head += " " + std::string(c.synopsis);
        }
        head.resize(std::max<std::size_t>(head.size() + 2, 36), ' ');
        usage += head + std::string(c.summary) + "\n";
    }
    usage += "  --no-journal, anywhere on the line: this run is kept out of the journal\n"
             "  --slow: the compatible exchange, the panel's reply taken every 500 ms\n"
             "exit status:\n"
             "  0 done; 1 failed otherwise; 2 usage error; 3 a file that cannot be read or written, or a\n"
             "  firmware file refused (nothing is sent then); 8 the port cannot be opened; 9 no answer\n"
             "  from the panel; 10 write errors (flash: the loader refused a block, a checksum error);\n"
             "  11 to 14 the other failed transactions, numbered as the window's result codes\n";
    return usage;
}

TGlobalOptions TakeGlobalOptions(std::vector<std::string>& args) {
    TGlobalOptions options;
    const auto noJournal = std::remove(args.begin(), args.end(), std::string("--no-journal"));
    options.keepJournal = noJournal == args.end();
    args.erase(noJournal, args.end());
    const auto noSync = std::remove(args.begin(), args.end(), std::string("--no-sync"));
    options.sync = noSync == args.end();
    args.erase(noSync, args.end());
    return options;
}

int RunCli(const std::vector<std::string>& givenArgs, std::ostream& out, std::ostream& err, bool terminal) {
    std::vector<std::string> args = givenArgs;
    const TGlobalOptions options = TakeGlobalOptions(args);
    journal::TJournalRecorder recorder(
        [&err](const QString& message) { err << message.toStdString() << "\n"; });
    TCliIo io{out, err, options.keepJournal ? &recorder : nullptr, terminal, options.sync};
    if (args.empty()) {
        err << Usage();
        return kExitUsage;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        out << Usage();
        return kExitOk;
    }
    const auto commands = Commands();
    const auto command =
        std::find_if(commands.begin(), commands.end(), [&](const TCommand& c) { return c.name == args[0]; });
    if (command == commands.end()) {
        err << "orvanta-cli: unknown command " << args[0] << "\n" << Usage();
        return kExitUsage;
    }
    return command->run(TCommandArgs(args.begin() + 1, args.end()), io);
}

std::optional<TParsedArgs> ParseArgs(const TCommandArgs& args, std::span<const std::string_view> valueOptions,
                                     std::string& error) {
    TParsedArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            parsed.positional.push_back(arg);
            continue;
        }
        if (std::find(valueOptions.begin(), valueOptions.end(), arg) == valueOptions.end()) {
            error = "unknown option " + arg;
            return std::nullopt;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return std::nullopt;
        }
        if (!parsed.options.emplace(arg, args[i + 1]).second) {
            error = arg + " given twice";
            return std::nullopt;
        }
        ++i;
    }
    return parsed;
}

int RunTransactionCommand(const std::string& portEntry, TProgramState& state, Byte mode, TCliIo& io,
                          bool slow) {
    // On the heap: on the main thread's stack, ThreadSanitizer loses the ordering the receive
    // buffer's mutex gives between the port's callback and the worker.
    const auto owned = std::make_unique<TmodData>();
    TmodData& data = *owned;
    const QString path = PortPathForEntry(QString::fromStdString(portEntry));
    data.cmprtdrvr1.SetPortName(path);
    data.SetSlowExchange(slow);
    int finalCode = -1;
    int done = 0;
    int total = 0;
    const auto progress = [&](int stepsDone, int stepsTotal) {
        done = stepsDone;
        total = stepsTotal;
    };
    const auto onResult = [&](const TResult& result) {
        const Byte version = result.code == rcReadDone && state.device ? state.device->GetVersion() : Byte{0};
        if (io.terminal && total > 0) {
            io.out << '[' << done << '/' << total << "] ";
        }
        io.out << ResultStatusText(result.code, version) << std::endl;
        if (result.code == rcPortError) {
            io.err << "orvanta-cli: " << path.toStdString() << ": "
                   << data.cmprtdrvr1.LastError().toStdString() << "\n";
        }
        if (result.code == rcUnsupportedDevice) {
            io.err << "Подключенный прибор:\r\n"
                   << DeviceName(static_cast<Byte>(result.argument))
                   << ",\r\nданным программатором не поддерживается\n";
        }
        if (IsFinalResult(result.code)) {
            finalCode = result.code;
        }
    };
    RunTransaction(data, state, mode, onResult, progress);
    if (finalCode == rcReadDone || finalCode == rcWriteDone) {
        return kExitOk;
    }
    return IsFailureResult(finalCode) ? finalCode : kExitFailed;
}

} // namespace orv::cli
