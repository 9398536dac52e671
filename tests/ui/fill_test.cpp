#include "support/case_names.h"
#include "window_fixture.h"

#include "device/catalogue.h"

#include <random>
#include <vector>

using namespace orv;
using namespace orv::test;

namespace {

using orv::test::NamedBy;
using orv::test::NumberedBy;

// A device of the type whose every byte is random and whose fields the pages show hold values
// in their ranges.
std::shared_ptr<TDevice> RandomDevice(Byte type, std::mt19937& rng) {
    std::shared_ptr<TDevice> d = CreateDevice(type);
    auto any = [&rng](int lo, int hi) {
        return static_cast<Byte>(std::uniform_int_distribution<int>(lo, hi)(rng));
    };
    for (int p = 0; p < d->L(); ++p) {
        d->SetPayload(p, any(0, 255));
    }
    const auto relays = [&] { return static_cast<Byte>((any(0, 5) << 4) | any(0, 5)); };
    if (auto* op8 = dynamic_cast<TDevOP8*>(d.get())) {
        for (int z = 1; z <= 8; ++z) {
            op8->SetZoneType(z, any(0, static_cast<Byte>(op8->ZoneTypeCount() - 1)));
            op8->SetZonePart(z, any(0, 7));
            op8->SetZoneCID(z, any(1, 225));
            op8->SetZoneDelay(z, false, any(0, 99));
            op8->SetZoneDelay(z, true, any(0, 99));
        }
        op8->SetParam(prmDevTX, any(0, type == 1 ? 2 : 3));
        op8->SetParam(prmReleAlarmFire, relays());
        op8->SetParam(prmReleCtrlFail, static_cast<Byte>((any(0, 5) << 4) | any(0, 15)));
        op8->SetParam(prmSndWrkTime, any(1, 10));
        op8->SetParam(prmLampMode, static_cast<Byte>((any(0, 8) << 4) | any(0, 9)));
        op8->SetBusID(any(1, 7));
    } else if (auto* op5 = dynamic_cast<TDevOP5*>(d.get())) {
        op5->SetParam(prmDevTX, any(0, 2));
        op5->SetParam(prmSndWrkTime, any(1, 10));
        op5->SetBusID(any(1, 32));
    } else if (auto* kp2 = dynamic_cast<TDV6_KP2*>(d.get())) {
        for (int z = 1; z <= 2; ++z) {
            kp2->SetZoneType(z, any(0, 4));
            kp2->SetZoneCID(z, any(1, 225));
        }
        kp2->SetParam(prmReleAlarmFire, relays());
    } else if (auto* cnc = dynamic_cast<TDevCnc*>(d.get())) {
        cnc->SetParam(prmReleAlarmFire, relays());
        cnc->SetAutoReset(any(0, 1) ? 10 : 0);
        if (auto* cnc5 = dynamic_cast<TDevCnc5*>(cnc)) {
            cnc5->SetExpanderMask({any(0, 255), any(0, 255), any(0, 255), any(0, 255), any(0, 1)});
        }
    }
    return d;
}

std::vector<Byte> Payload(const TDevice& d) {
    const auto bytes = d.PayloadBytes();
    return {bytes.begin(), bytes.end()};
}

class FillingWritesNothing : public WindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(FillingWritesNothing, RandomImages) {
    const Byte type = static_cast<Byte>(GetParam());
    std::mt19937 rng(1234u + type);
    // Coming from every other family as well, so every page's setup runs before its fill.
    for (const Byte before : {Byte{0}, Byte{1}, Byte{3}, Byte{5}, Byte{6}, Byte{7}, Byte{15}, Byte{16}}) {
        for (int round = 0; round < 4; ++round) {
            if (before != 0) {
                state.device = CreateDevice(before);
                window->HandleResult(0, 0);
            }
            state.device = RandomDevice(type, rng);
            const auto image = Payload(*state.device);
            const auto gsm = state.GsmFrame;
            window->HandleResult(0, 0); // a read: lay out, fill
            window->RefreshControls();  // and fill again
            EXPECT_EQ(Payload(*state.device), image) << "type " << int(type) << " after " << int(before);
            EXPECT_EQ(state.GsmFrame, gsm);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryType, FillingWritesNothing,
                         ::testing::Values(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18),
                         NamedBy([](int type) { return "Type" + std::to_string(type); }));

} // namespace
