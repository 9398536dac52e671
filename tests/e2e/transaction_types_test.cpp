// A read and a write of every panel type against the simulated panel, checked on the wire.
#include "device/retranslator.h"
#include "e2e_support.h"

namespace orv::e2e {
namespace {

class EveryType : public CasesInEachMode<Byte> {};

TEST_P(EveryType, Read) {
    const Byte type = Param();
    const Byte version = static_cast<Byte>(30 + type);
    auto model = CreateDevice(type);
    const Bytes payload = RandomBytes(model->L(), 1000u + type);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        model->SetPayload(static_cast<int>(i), payload[i]);
    }
    const bool gsm = model->GetGsmConnected();
    const bool ret = type == 15;
    StartSim({"--type", QString::number(type), "--version", QString::number(version), "--config-hex",
              Hex(payload), "--object-count", "7"});

    state.device = std::make_shared<TDV5_T5>();
    const std::weak_ptr<TDevice> replaced = state.device;
    const auto run = Run(TThreadBuff::modeRead);

    std::vector<int> codes{rcPortOpen, rcReplyArriving, rcReplyArriving};
    std::vector<Bytes> requests{ReadRequest(1)};
    if (ret) {
        codes.insert(codes.end(), {rcReadingObjects, rcReplyArriving});
        requests.push_back(ReadRequest(5));
    }
    if (gsm) {
        codes.insert(codes.end(), {rcReadingGsm, rcReplyArriving});
        requests.push_back(ReadRequest(2));
    }
    codes.push_back(rcReadDone);
    EXPECT_EQ(Codes(run.results), codes);
    EXPECT_EQ(run.results.back(), (TResult{rcReadDone, type}));
    EXPECT_EQ(sim->LoggedFrames(), requests);

    ASSERT_TRUE(state.device);
    EXPECT_EQ(state.device->DevType, type);
    EXPECT_EQ(state.device->GetVersion(), version);
    const auto read = state.device->PayloadBytes();
    EXPECT_EQ(Bytes(read.begin(), read.end()), payload);
    EXPECT_TRUE(replaced.expired()) << "the replaced device object is released";
    if (ret) {
        const auto panel = sim->Dump();
        ASSERT_TRUE(panel);
        const auto& device = static_cast<const TDV15_Ret&>(*state.device);
        for (int k = 1; k <= TDV15_Ret::kObjects; ++k) {
            const auto record = device.GetObject(k);
            EXPECT_TRUE(std::equal(record.begin(), record.end(), panel->objects.begin() + 3 * (k - 1))) << k;
        }
        EXPECT_EQ(device.ObjectCount(), 7);
    }
    if (gsm) {
        // The panel's GSM block as it came: device number 1, no directions, nothing else.
        EXPECT_EQ(FrameBytes(state.GsmFrame),
                  FrameBytes(MakeFrame(frame::kCmdReply, 2, {0, 1, 0, 0, 0, 0, 0, 0, 0})));
    }
}

TEST_P(EveryType, Write) {
    const Byte type = Param();
    auto device = std::shared_ptr<TDevice>(CreateDevice(type));
    const Bytes payload = RandomBytes(device->L(), 2000u + type);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        device->SetPayload(static_cast<int>(i), payload[i]);
    }
    const bool ret = type == 15;
    if (ret) {
        auto& r = static_cast<TDV15_Ret&>(*device);
        const Bytes objects = RandomBytes(96, 3000u);
        for (int k = 1; k <= TDV15_Ret::kObjects; ++k) {
            r.SetObject(k, {objects[3 * (k - 1)], objects[3 * (k - 1) + 1], objects[3 * (k - 1) + 2]});
        }
    }
    const bool gsm = device->GetGsmConnected();
    if (gsm) {
        state.GsmFrame = MakeFrame(frame::kCmdWrite, 2, {0x00, 0x2A, 0, 0, 0, 0, 0, 0, 0});
    }
    state.device = device;
    StartSim({"--type", QString::number(type), "--version", "3"});

    const auto run = Run(TThreadBuff::modeWrite);

    const auto configFrame = device->BuildWriteFrame();
    std::vector<int> codes{rcPortOpen, rcReplyArriving, rcReplyArriving};
    std::vector<Bytes> frames{Bytes(configFrame.begin(), configFrame.end())};
    if (ret) {
        codes.insert(codes.end(), {rcWritingObjects, rcReplyArriving});
        const auto objects = static_cast<TDV15_Ret&>(*device).BuildObjectFrame();
        frames.emplace_back(objects.begin(), objects.end());
    }
    if (gsm) {
        codes.insert(codes.end(), {rcWritingGsm, rcReplyArriving});
        frames.push_back(FrameBytes(state.GsmFrame));
    }
    codes.push_back(rcWriteDone);
    EXPECT_EQ(Codes(run.results), codes);
    EXPECT_EQ(run.results.back(), (TResult{rcWriteDone, 0}));
    EXPECT_EQ(sim->LoggedFrames(), frames);
    // The configuration frame: the plain layout is one byte shorter than the reply.
    EXPECT_EQ(frames[0].size(), device->H() + device->L() + 1u);

    const auto panel = sim->Dump();
    ASSERT_TRUE(panel);
    const auto stored = device->PayloadBytes();
    EXPECT_EQ(panel->config, Bytes(stored.begin(), stored.end()));
    if (ret) {
        EXPECT_TRUE(std::equal(panel->objects.begin(), panel->objects.end(), frames[1].begin() + 5));
    }
    if (gsm) {
        EXPECT_EQ(panel->gsm, Data(FrameBytes(state.GsmFrame)));
    }
    EXPECT_EQ(state.device, device);
}

INSTANTIATE_TEST_SUITE_P(Link, EveryType, EveryType::Each(kTypeCodes),
                         EveryType::Named([](Byte type) { return "Type" + std::to_string(type); }));

} // namespace
} // namespace orv::e2e
