// The configuration as named settings for the two largest configurations: an eight-zone panel
// with GSM, GPRS and eight SMS numbers, and the retranslator with 32 objects and 40 SMS numbers.
// Building the list and comparing two lists each stay under 1 ms; the window does both on every
// edit to know whether the configuration on screen has unsaved changes.

#include "largest_config.h"
#include "micro_timing.h"

#include "settings/settings.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace orv {
namespace {

using bench::Measure;
using bench::Report;

} // namespace
} // namespace orv

int main(int argc, char** argv) {
    using namespace orv;
    using bench::Largest;
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) * 1000 : 3000;
    bool ok = true;
    std::size_t sink = 0;
    struct Case {
        const char* name;
        Byte code;
    };
    for (const Case& c : {Case{"type 16, GSM + GPRS + 8 SMS numbers", 16},
                          Case{"type 15, 32 objects + 40 SMS numbers + GPRS", 15}}) {
        const TProgramState state = bench::Largest(c.code, 0);
        const TProgramState other = bench::Largest(c.code, 1);
        const SettingsList list = ListSettings(state);
        const SettingsList otherList = ListSettings(other);
        const SettingsList different = ListSettings(bench::Largest(c.code == 16 ? 15 : 16, 0));
        const Comparison changed = Compare(list, otherList);
        std::printf("%s: %zu settings, %zu differ from the variant; %d runs each\n", c.name,
                    list.items.size(), changed.diffs.size(), runs);
        ok &= Report("build the list", Measure([&] { sink += ListSettings(state).items.size(); }, runs));
        ok &= Report("compare with itself", Measure([&] { sink += Compare(list, list).diffs.size(); }, runs));
        ok &= Report("compare with the variant",
                     Measure([&] { sink += Compare(list, otherList).diffs.size(); }, runs));
        ok &= Report("compare with the other type",
                     Measure([&] { sink += Compare(list, different).diffs.size(); }, runs));
        ok &= Report(
            "both lists and compare (unsaved-changes check)",
            Measure([&] { sink += Compare(ListSettings(state), ListSettings(other)).diffs.size(); }, runs));
    }
    std::printf("%s\n", sink > 0 && ok ? "all under 1 ms" : "FAILED");
    return ok ? 0 : 1;
}
