// A firmware update of the largest image (40,001 bytes in blocks of 256 payload bytes) against
// the simulated loader, which takes the bytes at 115200 bit/s as a real line brings them. The
// floor is the wire time of every block and its one-byte answer; the goal is to stay within 10 %
// of it, what the program adds between an answer and the next block included.

#include "files/firmware_image.h"
#include "link/firmware_update.h"
#include "support/sim_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace orv {
namespace {

constexpr int kBitsPerSecond = 115200;

TFirmwareImage LargestImage() {
    std::vector<Byte> bytes;
    Byte next = 0;
    std::size_t left = kFirmwareMaxBytes;
    while (left > 0) {
        const std::size_t payload = std::min<std::size_t>(256, left - 2);
        bytes.push_back(static_cast<Byte>(payload >> 8));
        bytes.push_back(static_cast<Byte>(payload & 0xFF));
        for (std::size_t i = 0; i < payload; ++i) {
            bytes.push_back(next++);
        }
        left -= payload + 2;
    }
    return SplitFirmwareImage(std::move(bytes)).image;
}

struct Measured {
    double seconds = 0;
    bool ok = false;
};

Measured RunOnce(const TFirmwareImage& image) {
    Measured m;
    test::SimProcess sim({"--loader"});
    if (!sim.Start()) {
        std::fprintf(stderr, "%s\n", sim.Error().toStdString().c_str());
        return m;
    }
    const auto port = Make_cmprtdrvrUpdate();
    TFirmwareSender sender(*port);
    QElapsedTimer clock;
    clock.start();
    const TUpdateOutcome outcome = sender.Run(image, sim.PortPath());
    m.seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    sim.Stop();
    // Every block arrived, once and whole.
    QFile log(sim.LogPath());
    const auto lines = log.open(QIODevice::ReadOnly) ? log.readAll().count('\n') : -1;
    m.ok = outcome == TUpdateOutcome::Done && lines == static_cast<qsizetype>(image.blocks.size());
    return m;
}

} // namespace
} // namespace orv

int main(int argc, char** argv) {
    using namespace orv;
    QCoreApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    const TFirmwareImage image = LargestImage();
    const std::size_t blocks = image.blocks.size();
    const std::size_t wireBytes = image.bytes.size() + blocks; // each block and its answer
    const double floor = static_cast<double>(wireBytes) * 10.0 / kBitsPerSecond;
    constexpr double kGoal = 1.10;

    std::vector<Measured> runs;
    for (int i = 0; i < repeats; ++i) {
        runs.push_back(RunOnce(image));
    }
    std::sort(runs.begin(), runs.end(),
              [](const Measured& a, const Measured& b) { return a.seconds < b.seconds; });
    const Measured& median = runs[runs.size() / 2];
    const bool ok = std::all_of(runs.begin(), runs.end(), [](const Measured& m) { return m.ok; });
    const double overheadMs = 1000.0 * (median.seconds - floor) / static_cast<double>(blocks);
    const double ratio = median.seconds / floor;

    std::printf("Firmware update against the simulated loader at %d bit/s; the median of %d runs\n",
                kBitsPerSecond, repeats);
    std::printf("%-36s %3zu blocks %5zu bytes  median %5.2f s (min %5.2f, max %5.2f)  wire time %5.2f s  "
                "%.2f x wire  overhead %4.1f ms a block  %s\n",
                "image of 40001 bytes, 256-byte blocks", blocks, image.bytes.size(), median.seconds,
                runs.front().seconds, runs.back().seconds, floor, ratio, overheadMs,
                !ok              ? "FAILED"
                : ratio <= kGoal ? "ok"
                                 : "OVER");
    return ok ? 0 : 1;
}
