// The report of the two largest configurations (the retranslator with 32 objects and 40 SMS
// numbers, the eight-zone panel with outputs, GSM and GPRS): from the settings to a finished PDF
// in under 300 ms, so the preview follows the fields as the user types. The HTML file and the
// PDF written to disk are shown beside it.

#include "largest_config.h"
#include "report/report.h"
#include "settings/settings.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace orv {
namespace {

constexpr double kLimitMilliseconds = 300.0;

struct Timing {
    double median = 0;
    double worst = 0;
};

Timing Measure(const std::function<void()>& work, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

void Show(const char* what, const Timing& t, const char* verdict = "") {
    std::printf("  %-44s median %7.1f ms  worst %7.1f ms%s\n", what, t.median, t.worst, verdict);
}

} // namespace
} // namespace orv

int main(int argc, char** argv) {
    using namespace orv;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) * 10 : 30;
    QTemporaryDir dir;
    bool ok = true;
    qint64 sink = 0;
    struct Case {
        const char* name;
        Byte code;
    };
    for (const Case& c : {Case{"type 15, 32 objects + 40 SMS numbers + GPRS", 15},
                          Case{"type 16, outputs + GSM + GPRS + 8 SMS numbers", 16}}) {
        const TProgramState state = bench::Largest(c.code, 0);
        const ReportFields fields{QStringLiteral("Склад №3"), QStringLiteral("Петров П. П."), {}};
        const auto pdf = [&] {
            const TReport report = ConfigurationReport(ListSettings(state), {}, fields);
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            {
                QPdfWriter writer(&buffer);
                SetUpPdfWriter(writer, report.Title());
                report.Render(writer);
            }
            sink += buffer.size();
        };
        pdf(); // fonts found and loaded once, as in a running program
        std::printf("%s: %zu settings; %d runs each\n", c.name, ListSettings(state).items.size(), runs);
        const Timing held = Measure(pdf, runs);
        const bool under = held.median < kLimitMilliseconds;
        ok &= under;
        Show("settings, report, PDF in memory", held, under ? "" : "  OVER 300 ms");
        Show("the same saved to a file", Measure(
                                             [&] {
                                                 sink +=
                                                     ConfigurationReport(ListSettings(state), {}, fields)
                                                         .SavePdf(dir.filePath(QStringLiteral("report.pdf")))
                                                         .size();
                                             },
                                             runs));
        Show("settings, report, HTML file",
             Measure(
                 [&] {
                     sink += ConfigurationReport(ListSettings(state), {}, fields)
                                 .SaveHtml(dir.filePath(QStringLiteral("report.html")))
                                 .size();
                 },
                 runs));
    }
    std::printf("%s\n", sink >= 0 && ok ? "all under 300 ms" : "FAILED");
    return ok ? 0 : 1;
}
