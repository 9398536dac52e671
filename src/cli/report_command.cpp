#include "report_command.h"

#include "cli/file_commands.h"
#include "report/report.h"
#include "settings/settings.h"

#include <QGuiApplication>

#include <algorithm>
#include <array>

namespace orv::cli {

namespace {

// A report lays text out with fonts: only under a QGuiApplication.
bool CanLayOut(const std::string& command, TCliIo& io) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr) {
        return true;
    }
    io.err << "orvanta-cli " << command << ": reports need a QGuiApplication\n";
    return false;
}

bool Write(const TReport& report, const std::string& path, TCliIo& io) {
    const QString error = report.Save(QString::fromStdString(path));
    if (!error.isEmpty()) {
        io.err << error.toStdString() << "\n";
        return false;
    }
    return true;
}

} // namespace

bool MakesReport(const std::vector<std::string>& given) {
    std::vector<std::string> args = given;
    TakeGlobalOptions(args);
    if (args.empty()) {
        return false;
    }
    return args[0] == "report" ||
           (args[0] == "diff" && std::find(args.begin(), args.end(), "--report") != args.end());
}

bool CheckReportName(const std::string& command, const std::string& path, TCliIo& io) {
    if (ReportFormatOf(QString::fromStdString(path))) {
        return true;
    }
    io.err << "orvanta-cli " << command << ": a report is written as .pdf or .html, not " << path << "\n";
    return false;
}

int CmdReport(const TCommandArgs& args, TCliIo& io) {
    static constexpr std::array<std::string_view, 3> kOptions{"--out", "--site", "--installer"};
    std::string error;
    const auto parsed = ParseArgs(args, kOptions, error);
    if (!parsed || parsed->positional.size() != 1 || !parsed->options.contains("--out")) {
        io.err << "orvanta-cli report: " << (parsed ? "expected FILE.cf8 --out REPORT.pdf|.html" : error)
               << "\n";
        return kExitUsage;
    }
    const std::string& out = parsed->options.at("--out");
    if (!CheckReportName("report", out, io)) {
        return kExitUsage;
    }
    if (!CanLayOut("report", io)) {
        return kExitFailed;
    }
    TProgramState state;
    const std::string& file = parsed->positional[0];
    if (!LoadConfiguration(state, file, io)) {
        return kExitFile;
    }
    const auto option = [&](const char* name) {
        const auto it = parsed->options.find(name);
        return it == parsed->options.end() ? QString() : QString::fromStdString(it->second);
    };
    ReportSource source;
    source.file = QString::fromStdString(file);
    const TReport report =
        ConfigurationReport(ListSettings(state), source, {option("--site"), option("--installer")});
    return Write(report, out, io) ? kExitOk : kExitFile;
}

bool WriteComparisonReport(const Comparison& comparison, const ReportSource& a, const ReportSource& b,
                           const std::string& path, TCliIo& io) {
    return CanLayOut("diff", io) && Write(ComparisonReport(comparison, a, b, {}), path, io);
}

} // namespace orv::cli
