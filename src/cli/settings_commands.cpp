#include "settings_commands.h"

#include "cli/file_commands.h"
#include "cli/report_command.h"
#include "gsm/tx_buffers.h"
#include "report/report.h"
#include "settings/settings.h"

#include <algorithm>
#include <array>

namespace orv::cli {

bool TakeJson(TCommandArgs& args) {
    const auto end = std::remove(args.begin(), args.end(), std::string("--json"));
    const bool found = end != args.end();
    args.erase(end, args.end());
    return found;
}

void PrintSettings(const TProgramState& state, bool json, TCliIo& io) {
    const SettingsList list = ListSettings(state);
    io.out << (json ? ToJson(list) : ToText(list));
}

int PrintComparison(const TProgramState& a, const TProgramState& b, bool json, TCliIo& io) {
    const Comparison comparison = Compare(ListSettings(a), ListSettings(b));
    io.out << (json ? ToJson(comparison) : ToText(comparison));
    return comparison.Equal() ? kExitOk : kExitFailed;
}

int CmdShow(const TCommandArgs& args, TCliIo& io) {
    TCommandArgs rest = args;
    const bool json = TakeJson(rest);
    std::string error;
    const auto parsed = ParseArgs(rest, {}, error);
    if (!parsed || parsed->positional.size() != 1) {
        io.err << "orvanta-cli show: " << (parsed ? "expected 1 file name(s)" : error) << "\n";
        return kExitUsage;
    }
    TProgramState state;
    if (!LoadConfiguration(state, parsed->positional[0], io)) {
        return kExitFile;
    }
    PrintSettings(state, json, io);
    return kExitOk;
}

int CmdDiff(const TCommandArgs& args, TCliIo& io) {
    static constexpr std::array<std::string_view, 2> kOptions{"--port", "--report"};
    TCommandArgs rest = args;
    const bool json = TakeJson(rest);
    std::string error;
    const auto parsed = ParseArgs(rest, kOptions, error);
    if (!parsed) {
        io.err << "orvanta-cli diff: " << error << "\n";
        return kExitUsage;
    }
    const auto port = parsed->options.find("--port");
    const std::size_t files = port == parsed->options.end() ? 2 : 1;
    if (parsed->positional.size() != files) {
        io.err << "orvanta-cli diff: expected " << files << " file name(s)\n";
        return kExitUsage;
    }
    const auto report = parsed->options.find("--report");
    if (report != parsed->options.end() && !CheckReportName("diff", report->second, io)) {
        return kExitUsage;
    }
    // A: what is there now (the first file, or the panel); B: the file compared with it.
    TProgramState a;
    TProgramState b;
    if (!LoadConfiguration(b, parsed->positional.back(), io)) {
        return kExitFile;
    }
    if (port == parsed->options.end()) {
        if (!LoadConfiguration(a, parsed->positional[0], io)) {
            return kExitFile;
        }
    } else {
        // A read and nothing else. Its status lines go to err: out is the comparison's.
        TCliIo status{io.err, io.err};
        ResetGsmFrame(a.GsmFrame);
        const int result = RunTransactionCommand(port->second, a, 0, status);
        if (result != kExitOk) {
            return result;
        }
        RefreshGsmModels(a);
    }
    const Comparison comparison = Compare(ListSettings(a), ListSettings(b));
    io.out << (json ? ToJson(comparison) : ToText(comparison));
    if (report != parsed->options.end()) {
        ReportSource sourceA;
        if (port == parsed->options.end()) {
            sourceA.file = QString::fromStdString(parsed->positional[0]);
        } else {
            sourceA.port = QString::fromStdString(port->second);
            sourceA.firmware = QString::number(a.device->GetVersion());
        }
        ReportSource sourceB;
        sourceB.file = QString::fromStdString(parsed->positional.back());
        if (!WriteComparisonReport(comparison, sourceA, sourceB, report->second, io)) {
            return kExitFile;
        }
    }
    return comparison.Equal() ? kExitOk : kExitFailed;
}

} // namespace orv::cli
