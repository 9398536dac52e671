// Configuration as data: setting one key and applying a 200-setting template to the two largest
// configurations each stay under 1 ms; `orvanta-cli apply --port` against the paced simulated
// panel takes at most a read and a write of the same panel plus 0.2 s.

#include "largest_config.h"
#include "micro_timing.h"

#include "cli/cli.h"
#include "files/config_file.h"
#include "settings/assign.h"
#include "support/sim_process.h"
#include "templates/templates.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace orv {
namespace {

using bench::Measure;
using bench::Report;

constexpr double kPortAllowanceSeconds = 0.2;
constexpr std::size_t kTemplateSize = 200;

// The first kTemplateSize settings of a configuration (all, when it has fewer), as a save stores
// them.
SettingsTemplate FirstSettings(TProgramState s, const char* name) {
    UpdateAllTXBuffers(s, nullptr, CommitFor::File);
    const std::string all = "*";
    SettingsTemplate t = MakeTemplate(ListSettings(s), std::span<const std::string>(&all, 1));
    t.settings.resize(std::min(t.settings.size(), kTemplateSize));
    t.name = name;
    return t;
}

// Seconds of one orvanta-cli run in this process; negative when it failed.
double CliSeconds(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    QElapsedTimer clock;
    clock.start();
    const int status = cli::RunCli(args, out, err);
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    if (status != 0) {
        std::fprintf(stderr, "orvanta-cli %s: %s%s\n", args[1].c_str(), out.str().c_str(), err.str().c_str());
        return -1;
    }
    return seconds;
}

// One run of each against a fresh paced panel seeded from the file: read, write, apply.
struct PortRun {
    double read = -1;
    double write = -1;
    double apply = -1;
};

PortRun RunAgainstPanel(const std::string& seed, const std::string& templ, const std::string& scratch) {
    PortRun run;
    const auto start = [&](test::SimProcess& sim) {
        if (!sim.Start()) {
            std::fprintf(stderr, "%s\n", sim.Error().toStdString().c_str());
            return false;
        }
        return true;
    };
    {
        test::SimProcess sim({"--config", QString::fromStdString(seed)});
        if (!start(sim)) {
            return run;
        }
        const std::string port = sim.PortPath().toStdString();
        run.read = CliSeconds({"--no-journal", "read", "--port", port, "--out", scratch});
        run.write = CliSeconds({"--no-journal", "write", "--port", port, seed});
    }
    test::SimProcess sim({"--config", QString::fromStdString(seed)});
    if (start(sim)) {
        run.apply = CliSeconds({"--no-journal", "apply", templ, "--port", sim.PortPath().toStdString()});
    }
    return run;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace
} // namespace orv

int main(int argc, char** argv) {
    using namespace orv;
    QCoreApplication app(argc, argv);
    const int multiplier = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int runs = multiplier * 1000;
    bool ok = true;
    std::size_t sink = 0;
    struct Case {
        const char* name;
        Byte code;
    };
    const QTemporaryDir dir;
    const auto file = [&dir](const std::string& name) {
        return dir.filePath(QString::fromStdString(name)).toStdString();
    };
    for (const Case& c : {Case{"type 16, GSM + GPRS + 8 SMS numbers", 16},
                          Case{"type 15, 32 objects + 40 SMS numbers + GPRS", 15}}) {
        TProgramState state = bench::Largest(c.code, 0);
        UpdateAllTXBuffers(state, nullptr, CommitFor::File);
        // Two templates of the same keys with other values: every run changes what it sets.
        const SettingsTemplate ours = FirstSettings(bench::Largest(c.code, 1), "ours");
        const SettingsTemplate back = FirstSettings(bench::Largest(c.code, 0), "back");
        const SettingsList list = ListSettings(state);
        std::printf("%s: %zu settings, templates of %zu; %d runs each\n", c.name, list.items.size(),
                    ours.settings.size(), runs);
        // A setting of the first page and one of the GSM directions, each between two values.
        for (const char* key : {"gsm.device_number", "gsm.directions.3.number"}) {
            const Setting* s = list.Find(key);
            const std::string values[2] = {s->value,
                                           key == std::string("gsm.device_number") ? "0042" : "+79160000042"};
            int turn = 0;
            bool setOk = true;
            const std::string what = std::string("set ") + key;
            ok &= Report(what.c_str(), Measure(
                                           [&] {
                                               const SetOutcome o = SetSetting(state, key, values[++turn % 2],
                                                                               ValueForm::Shown);
                                               setOk &= o.ok();
                                               sink += o.changes.diffs.size();
                                           },
                                           runs));
            if (!setOk) {
                std::printf("  FAILED: %s refused\n", key);
                ok = false;
            }
        }
        int turn = 0;
        bool applyOk = true;
        // The eight-zone panel has fewer than 200 settings: its template holds all of them.
        const std::string applyWhat =
            "apply a template of " + std::to_string(ours.settings.size()) + " settings";
        ok &= Report(applyWhat.c_str(), Measure(
                                            [&] {
                                                const SetOutcome o =
                                                    ApplyTemplate(state, ++turn % 2 ? ours : back);
                                                applyOk &= o.ok();
                                                sink += o.changes.diffs.size();
                                            },
                                            runs));
        if (!applyOk) {
            std::printf("  FAILED: the template was refused: %s\n", ApplyTemplate(state, ours).error.c_str());
            ok = false;
        }

        // apply --port against a read and a write of the same panel.
        const std::string seed = file("seed" + std::to_string(c.code) + ".cf8");
        const std::string templ = file("t" + std::to_string(c.code) + ".json");
        QString error;
        if (!WriteConfigFile(state, seed).ok ||
            !SaveTemplateFile(ours, QString::fromStdString(templ), error)) {
            std::printf("  FAILED: files not written\n");
            return 1;
        }
        std::vector<double> reads, writes, applies;
        for (int i = 0; i < multiplier; ++i) {
            const PortRun run = RunAgainstPanel(seed, templ, file("read.cf8"));
            if (run.read < 0 || run.write < 0 || run.apply < 0) {
                std::printf("  FAILED: a run against the panel failed\n");
                return 1;
            }
            reads.push_back(run.read);
            writes.push_back(run.write);
            applies.push_back(run.apply);
        }
        const double limit = Median(reads) + Median(writes) + kPortAllowanceSeconds;
        const bool portOk = Median(applies) <= limit;
        std::printf(
            "  apply --port, median of %d: read %.2f s + write %.2f s + 0.2 s = %.2f s; apply %.2f s%s\n",
            multiplier, Median(reads), Median(writes), limit, Median(applies), portOk ? "" : "  OVER");
        ok &= portOk;
    }
    std::printf("%s\n", sink > 0 && ok ? "all within their limits" : "FAILED");
    return ok ? 0 : 1;
}
