// The GSM frames as a panel may send them: the directions, GPRS and SMS frames decoded into the
// models the dialogs show, encoded again, and decoded once more. One round may normalise what
// the panel sent (texts cut, records packed together); after it, decode → encode → decode gives
// the same frame and the same rows. A refused encoding leaves the frame as it was.
//
// Input: a selector byte (which frame, the device type for the SMS list, whether the frame is
// sealed), then the frame's bytes from offset 0.
#include "fuzz_support.h"
#include "gsm/tx_buffers.h"

namespace {

using namespace orv;
using namespace orv::fuzz;

constexpr std::array<Byte, 17> kTypes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18};

void CheckSealed(const FrameBuffer& f, Byte sub) {
    const std::size_t length = f[1];
    ORV_CHECK(f[0] == frame::kStart && f[2] == frame::kCmdWrite && f[3] == sub);
    ORV_CHECK(length >= 5 && length <= frame::kMaxFrame);
    ORV_CHECK(frame::Crc8(f.data(), length - 1) == f[length - 1]);
}

void Directions(const FrameBuffer& received) {
    DirectionsModel shown;
    DecodeDirections(received, shown);
    FrameBuffer once = received;
    ORV_CHECK(EncodeDirections(shown, once));
    CheckSealed(once, gsm::kSubCode);
    // The device number and the flags travel unchanged.
    ORV_CHECK(std::equal(once.begin() + 4, once.begin() + 8, received.begin() + 4));
    ORV_CHECK(once[1] <= 8 + 5 * (gsm::kTextMax + 2) + 1);

    DirectionsModel again;
    DecodeDirections(once, again);
    FrameBuffer twice = once;
    ORV_CHECK(EncodeDirections(again, twice));
    ORV_CHECK(FrameBytes(twice) == FrameBytes(once));
    DirectionsModel third;
    DecodeDirections(twice, third);
    ORV_CHECK(third.Rows() == again.Rows());
    ORV_CHECK(ReadDirectionRecords(once) == ReadDirectionRecords(twice));
}

void Gprs(const FrameBuffer& received) {
    GprsModel shown;
    shown.FillFromFrame(received);
    FrameBuffer once = received;
    if (shown.Encode(once)) {
        ORV_CHECK(once == received); // refused: nothing written
        return;
    }
    if (!shown.HasApn()) {
        ORV_CHECK(once[0] == 0);
        return;
    }
    CheckSealed(once, gprs::kSubCode);

    GprsModel again;
    again.FillFromFrame(once);
    FrameBuffer twice = once;
    ORV_CHECK(!again.Encode(twice));
    ORV_CHECK(FrameBytes(twice) == FrameBytes(once));
    GprsModel third;
    third.FillFromFrame(twice);
    for (int sim = 0; sim < GprsModel::kSims; ++sim) {
        ORV_CHECK(third.Sim(sim) == again.Sim(sim));
    }
}

void SmsList(const FrameBuffer& received, Byte type) {
    const auto device = CreateDevice(type);
    SmsModel shown;
    shown.Setup(*device);
    shown.RefreshControls(received);
    FrameBuffer once = received;
    // Rows filled from a frame always encode: their partitions came from bytes.
    ORV_CHECK(!shown.Encode(once));
    CheckSealed(once, sms::kSubCode);
    // What was read is written back byte for byte, packed together.
    const auto read = ReadSmsRecords(received, shown.RowCount());
    const auto written = ReadSmsRecords(once, shown.RowCount());
    ORV_CHECK(read == written);

    SmsModel again;
    again.Setup(*device);
    again.RefreshControls(once);
    FrameBuffer twice = once;
    ORV_CHECK(!again.Encode(twice));
    ORV_CHECK(FrameBytes(twice) == FrameBytes(once));
    ORV_CHECK(SmsRows(again) == SmsRows(shown));
}

void RetranslatorPages(Input& input, const FrameBuffer& first, std::size_t count) {
    // Up to four pages, each a reply of its own length, as the worker takes them.
    T_SMS_List list;
    FrameBuffer page = first;
    for (int p = 0; p < T_SMS_List::kPages; ++p) {
        const bool more = list.TakePage(p, ReplyView(page.data(), std::min(count, page.size()))) != 0;
        if (!more || input.Empty()) {
            break;
        }
        page.fill(0);
        count = std::min<std::size_t>(input.Take(), page.size());
        const auto bytes = input.Take(count);
        std::copy(bytes.begin(), bytes.end(), page.begin());
    }

    RetSmsModel shown;
    shown.Fill(list);
    T_SMS_List once = list;
    shown.UpdateDevice(once);
    // Every record of the list the panel sent is kept, in order, without the gaps.
    std::vector<SmsRecord> kept;
    for (const auto& r : list.Records()) {
        if (r[0] != 0) {
            kept.push_back(r);
        }
    }
    ORV_CHECK(once.Count() == static_cast<int>(kept.size()));
    for (std::size_t i = 0; i < kept.size(); ++i) {
        ORV_CHECK(once.Record(static_cast<int>(i + 1)) == kept[i]);
    }

    // The pages written carry it to a panel that reads them back whole.
    T_SMS_List received;
    FrameBuffer built{};
    for (int p = 0; p < T_SMS_List::kPages; ++p) {
        const auto b = once.BuildPage(p, built.data());
        ORV_CHECK(b.length <= 107 && built[1] == b.length);
        ORV_CHECK(frame::Crc8(built.data(), b.length - 1) == built[b.length - 1]);
        const Byte more = received.TakePage(p, ReplyView(built.data(), b.length));
        ORV_CHECK((more != 0) == b.more);
        if (!b.more) {
            break;
        }
    }
    ORV_CHECK(received.Count() == once.Count());
    for (int k = 1; k <= once.Count(); ++k) {
        ORV_CHECK(received.Record(k) == once.Record(k));
    }

    RetSmsModel again;
    again.Fill(once);
    T_SMS_List twice = once;
    again.UpdateDevice(twice);
    ORV_CHECK(twice.Records() == once.Records());
}

void Objects(const FrameBuffer& received, std::size_t count) {
    TDV15_Ret ret;
    ret.LoadObjects(ReplyView(received.data(), std::min(count, received.size())));
    const auto frame = ret.BuildObjectFrame();
    ORV_CHECK(frame[0] == frame::kStart && frame[1] == frame.size() && frame[4] == 1);
    ORV_CHECK(frame::Crc8(frame.data(), frame.size() - 1) == frame.back());
    TDV15_Ret again;
    again.LoadObjects(ReplyView(frame.data(), frame.size()));
    for (int k = 1; k <= TDV15_Ret::kObjects; ++k) {
        ORV_CHECK(again.GetObject(k) == ret.GetObject(k));
        ORV_CHECK(again.ObjectNumberText(k) == ret.ObjectNumberText(k));
    }
    ORV_CHECK(again.ObjectCount() == ret.ObjectCount());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    const Byte selector = input.Take();
    const Byte type = kTypes[static_cast<std::size_t>(input.Take()) % kTypes.size()];
    FrameBuffer f{};
    const std::size_t count = std::min<std::size_t>(input.Take(), f.size());
    const auto bytes = input.Take(count);
    std::copy(bytes.begin(), bytes.end(), f.begin());
    if ((selector & 0x80) && bytes.size() >= 5) {
        frame::SealFrame(f.data(), bytes.size());
    }
    switch (selector & 0x07) {
    case 0:
        Directions(f);
        break;
    case 1:
        Gprs(f);
        break;
    case 2:
        SmsList(f, type);
        break;
    case 3:
        RetranslatorPages(input, f, bytes.size());
        break;
    case 4:
        Objects(f, bytes.size());
        break;
    default:
        // Everything from one frame, as a read would leave it.
        Directions(f);
        Gprs(f);
        SmsList(f, type);
        break;
    }
    return 0;
}
