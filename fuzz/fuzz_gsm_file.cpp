// GSM directions files from anywhere: a refused file changes nothing; an accepted one changes
// only the direction records, and written back and read again gives the same frame.
#include "files/gsm_file.h"
#include "fuzz_support.h"

#include <string>

namespace {

using namespace orv;
using namespace orv::fuzz;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile input("directions-in.cf8");
    static const ScratchFile output("directions-out.cf8");
    TProgramState state = LivedInState();
    const StateImage before = Snapshot(state);
    input.Put(data, size);
    if (!ReadGsmDirectionsFile(state, input.Path())) {
        ORV_CHECK(Snapshot(state) == before);
        return 0;
    }
    // Only the records change: the device, the other frames and models, the device number and
    // the flags stay.
    StateImage after = Snapshot(state);
    ORV_CHECK(after.device == before.device && after.buf == before.buf);
    ORV_CHECK(after.gprs == before.gprs && after.sms == before.sms);
    ORV_CHECK(after.smsRows == before.smsRows && after.gprsSims == before.gprsSims);
    ORV_CHECK(after.gsm[0] == before.gsm[0] && after.gsm[4] == before.gsm[4] &&
              after.gsm[5] == before.gsm[5] && after.gsm[6] == before.gsm[6] &&
              after.gsm[7] == before.gsm[7]);
    // The frame is whole: its length fits and its checksum is right.
    const std::size_t length = state.GsmFrame[1];
    ORV_CHECK(length >= 14 && length <= frame::kMaxFrame);
    ORV_CHECK(frame::Crc8(state.GsmFrame.data(), length - 1) == state.GsmFrame[length - 1]);
    // The grid shows what the frame holds.
    DirectionsModel shown;
    DecodeDirections(state.GsmFrame, shown);
    ORV_CHECK(shown.Rows() == state.Directions.Rows());

    // Written back and read again into another state: the same records.
    const std::string document = BuildGsmDirectionsDocument(state);
    output.Put(document.data(), document.size());
    TProgramState again = LivedInState();
    ORV_CHECK(ReadGsmDirectionsFile(again, output.Path()));
    ORV_CHECK(ReadDirectionRecords(again.GsmFrame) == ReadDirectionRecords(state.GsmFrame));
    ORV_CHECK(BuildGsmDirectionsDocument(again) == document);
    return 0;
}
