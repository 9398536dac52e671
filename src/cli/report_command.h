#pragma once

#include "cli/cli.h"

namespace orv {
struct Comparison;
struct ReportSource;
} // namespace orv

namespace orv::cli {

// orvanta-cli report FILE.cf8 --out REPORT.pdf|.html [--site TEXT] [--installer TEXT]: the
// configuration's report.
int CmdReport(const TCommandArgs& args, TCliIo& io);

// Whether the command line makes a report: laying text out needs a QGuiApplication, which the
// tool then creates on the offscreen platform (args without the program name).
bool MakesReport(const std::vector<std::string>& args);

// A report's file name as the command line gives it: .pdf or .html; says on err when it is not.
bool CheckReportName(const std::string& command, const std::string& path, TCliIo& io);

// The compare report of diff --report; says on err why it cannot be written.
bool WriteComparisonReport(const Comparison& comparison, const ReportSource& a, const ReportSource& b,
                           const std::string& path, TCliIo& io);

} // namespace orv::cli
