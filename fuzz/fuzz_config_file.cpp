// Configuration files from anywhere: a refused file changes nothing; an accepted one, written
// back and read again, gives the same image and the same document; the file reader and the
// document reader agree.
#include "files/config_file.h"
#include "fuzz_support.h"
#include "gsm/tx_buffers.h"

#include <cstdio>
#include <string>

namespace {

using namespace orv;
using namespace orv::fuzz;

bool ReadThroughFile(TProgramState& state, const std::uint8_t* data, std::size_t size) {
    static const ScratchFile file("config.cf8");
    file.Put(data, size);
    return ReadConfigFile(state, file.Path());
}

// Written back and read again, a state read from a file gives the same image and document. With
// commit, both sides go through the commit step first, as every save does: it derives the
// no-arm mask, which the file does not carry.
void CheckRoundTrip(const TProgramState& first, bool commit) {
    const std::string document = BuildConfigDocument(first);
    TProgramState second;
    ORV_CHECK(ReadConfigDocument(second, document.data(), document.size()));
    if (commit) {
        ORV_CHECK(UpdateAllTXBuffers(second, nullptr).ok());
    }
    ORV_CHECK(second.device->DevType == first.device->DevType);
    // The five-zone section carries no zones (a hand-made "loops" is read, never written).
    if (IsOP5(*first.device)) {
        for (int zone = 1; zone <= 5; ++zone) {
            second.device->SetZoneType(zone, first.device->GetZoneType(zone));
            second.device->SetZoneCID(zone, first.device->GetZoneCID(zone));
        }
    }
    const auto a = first.device->PayloadBytes();
    const auto b = second.device->PayloadBytes();
    if (!std::equal(a.begin(), a.end(), b.begin(), b.end())) {
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (a[i] != b[i]) {
                std::fprintf(stderr, "payload byte %zu: %02X read, %02X after writing back\n", i, a[i], b[i]);
            }
        }
        std::fprintf(stderr, "%s\n", document.c_str());
    }
    ORV_CHECK(std::equal(a.begin(), a.end(), b.begin(), b.end()));
    const std::string again = BuildConfigDocument(second);
    // GPRS texts and SMS lists live outside the image: what the frames hold must survive too.
    ORV_CHECK(FrameBytes(second.GsmFrame) == FrameBytes(first.GsmFrame) || !first.device->GetGsmConnected());
    if (again != document) {
        std::size_t at = 0;
        while (at < again.size() && at < document.size() && again[at] == document[at]) {
            ++at;
        }
        const std::size_t from =
            document.rfind('\n', at) == std::string::npos ? 0 : document.rfind('\n', at) + 1;
        std::fprintf(stderr, "written:   %.200s\nread back: %.200s\n", document.c_str() + from,
                     again.c_str() + from);
    }
    ORV_CHECK(again == document);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TProgramState state = LivedInState();
    const StateImage before = Snapshot(state);
    const bool read = ReadConfigDocument(state, reinterpret_cast<const char*>(data), size);
    if (!read) {
        ORV_CHECK(Snapshot(state) == before);
    } else {
        ORV_CHECK(state.device != nullptr);
        ORV_CHECK(state.device.get() != before.device);
        CheckRoundTrip(state, false);
    }

    // The same bytes as a file on disk are judged the same way and give the same result.
    TProgramState viaFile = LivedInState();
    ORV_CHECK(ReadThroughFile(viaFile, data, size) == read);
    if (read) {
        ORV_CHECK(BuildConfigDocument(viaFile) == BuildConfigDocument(state));
    } else {
        StateImage after = Snapshot(viaFile);
        after.device = before.device;
        ORV_CHECK(after == before);
    }

    // What a save does: the commit step, then the file; what it writes reads back the same.
    if (read && UpdateAllTXBuffers(state, nullptr).ok()) {
        CheckRoundTrip(state, true);
    }
    return 0;
}
