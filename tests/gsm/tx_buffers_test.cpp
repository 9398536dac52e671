#include "device/catalogue.h"
#include "device/retranslator.h"
#include "gsm/tx_buffers.h"

#include "gsm_test_util.h"

#include <gtest/gtest.h>

using namespace orv;
using namespace orv::test;

namespace {

constexpr Byte kOp8Codes[] = {1, 2, 4, 10, 12, 13, 16};

std::shared_ptr<TDevice> Make(Byte code) {
    return std::shared_ptr<TDevice>(CreateDevice(code));
}

// Zone 3 of type 5 ("Охранный") in partition 4, every other zone off in partition 1.
void OneGuardZone(TDevOP8& d, Byte zone3Type) {
    for (int n = 1; n <= 8; ++n) {
        d.SetZoneType(n, 0);
        d.SetZonePart(n, 0);
    }
    d.SetZoneType(3, zone3Type);
    d.SetZonePart(3, 3);
}

ZonePageView OneGuardZoneView(int zone3Type) {
    ZonePageView v;
    v.Zone(3).type = zone3Type;
    v.Zone(3).partition = 3;
    for (int n = 2; n <= 8; ++n) {
        v.PartDep(n) = true;
    }
    return v;
}

TEST(CommitZonePage, WithoutAViewFromTheDevice) {
    for (const Byte code : kOp8Codes) {
        TProgramState state;
        state.device = Make(code);
        auto& d = dynamic_cast<TDevOP8&>(*state.device);
        OneGuardZone(d, 5);
        d.SetPartDep(0xFF);
        d.SetPartNoArmMask(0xFF);
        d.SetZoneRearm(2, true);
        d.SetZoneFireReCheck(4, true);
        ASSERT_TRUE(UpdateAllTXBuffers(state, nullptr).ok());
        EXPECT_EQ(d.GetPartDep(), 0x08) << int(code); // only partition 4's bit is kept
        EXPECT_EQ(d.GetPartNoArmMask(), 0x00) << int(code);
        EXPECT_NE(d.GetZoneRearm(2), 0) << int(code); // no view: re-arm and re-query untouched
        EXPECT_NE(d.GetZoneFireReCheck(4), 0) << int(code);

        d.SetZoneType(3, 3); // "Пожарный"
        d.SetPartDep(0xFF);
        ASSERT_TRUE(UpdateAllTXBuffers(state, nullptr).ok());
        EXPECT_EQ(d.GetPartDep(), 0x00) << int(code);
        EXPECT_EQ(d.GetPartNoArmMask(), 0x08) << int(code);
    }
}

TEST(CommitZonePage, WithAViewFromWhatThePageShows) {
    for (const Byte code : kOp8Codes) {
        TProgramState state;
        state.device = Make(code);
        auto& d = dynamic_cast<TDevOP8&>(*state.device);
        OneGuardZone(d, 3); // the device still holds a fire zone: the view wins
        d.SetPartDep(0x00);

        ZonePageView v = OneGuardZoneView(5);
        v.Zone(1).rearm = true;
        v.Zone(3).fireReQuery = true;
        ASSERT_TRUE(UpdateAllTXBuffers(state, &v).ok());
        EXPECT_EQ(d.GetPartDep(), 0x08) << int(code);
        EXPECT_EQ(d.GetPartNoArmMask(), 0x00) << int(code);
        for (int n = 1; n <= 8; ++n) {
            EXPECT_EQ(d.GetZoneRearm(n) != 0, n == 1) << int(code) << " " << n;
            EXPECT_EQ(d.GetZoneFireReCheck(n) != 0, n == 3) << int(code) << " " << n;
        }

        v.Zone(3).type = 3;
        ASSERT_TRUE(UpdateAllTXBuffers(state, &v).ok());
        EXPECT_EQ(d.GetPartDep(), 0x00) << int(code); // a box the partitions rule disables
        EXPECT_EQ(d.GetPartNoArmMask(), 0x08) << int(code);

        // Only checked boxes count; partition 1 never has a dependency bit.
        ZonePageView w = OneGuardZoneView(7);
        w.Zone(5) = {0, 6, false, false};
        w.Zone(6) = {5, 5, false, false};
        w.Zone(7) = {6, 1, false, false}; // partition 7 enabled, not guarded
        w.partDep.fill(false);
        w.PartDep(6) = true;
        w.PartDep(7) = true;
        ASSERT_TRUE(UpdateAllTXBuffers(state, &w).ok());
        EXPECT_EQ(d.GetPartDep(), 0x20) << int(code);
        EXPECT_EQ(d.GetPartNoArmMask(), 0x40) << int(code);
    }
}

TEST(CommitZonePage, PartitionMasks) {
    ZonePageView v;
    v.Zone(1) = {0, 1, false, false}; // partition 1, alarm
    v.Zone(2) = {1, 5, false, false}; // partition 2, guard
    v.Zone(3) = {1, 4, false, false}; // partition 2, technological
    v.Zone(4) = {2, 0, false, false}; // partition 3, off
    v.Zone(5) = {7, 7, false, false}; // partition 8, door
    v.Zone(6) = {0, 6, false, false}; // partition 1, interior
    v.Zone(7) = {4, 8, false, false}; // partition 5, two-threshold fire
    v.Zone(8) = {4, 0, false, false};
    const PartitionMasks m = ComputePartitionMasks(v);
    EXPECT_EQ(m.used, 0x97);
    EXPECT_EQ(m.enabled, 0x93);
    EXPECT_EQ(m.guarded, 0x83);
    EXPECT_EQ(m.DependencyAllowed(), 0x82);
    EXPECT_EQ(m.NoArm(), 0x10);

    // Combos without a selection.
    v.Zone(5) = {-1, 7, false, false};
    v.Zone(2) = {1, -1, false, false};
    const PartitionMasks n = ComputePartitionMasks(v);
    EXPECT_EQ(n.used, 0x17);
    EXPECT_EQ(n.enabled, 0x13);
    EXPECT_EQ(n.guarded, 0x01);
}

// A panel's frames as a read leaves them: directions with both flags on, GPRS settings, an SMS
// list with a record the dialog could not have made.
struct PanelFrames {
    std::vector<Byte> gsm, gprs, sms;
};

PanelFrames SamplePanel() {
    PanelFrames p;
    std::vector<Byte> body = Bytes({0x7E, 0, 0x44, 0x02, 0x30, 0x39, 1, 1});
    Append(body, Bytes({0x0D, 0x68}));
    AppendText(body, "+79031234567");
    Append(body, Bytes({0x00, 0x0A, 0xB2}));
    AppendText(body, "a.b.c:123");
    Append(body, Bytes({0x00, 0x00}));
    p.gsm = Sealed(body);

    body = Bytes({0x7E, 0, 0x44, 0x03, 0x00, 0x0E});
    AppendText(body, "apn.corp");
    Append(body, Bytes({0, 'u', 0, 'p', 'w', 0}));
    p.gprs = Sealed(body);

    body = Bytes({0x7E, 0, 0x44, 0x04});
    Append(body, Bytes({2, 3, 0x97, 0x30, 0x21, 0x43, 0x65, 0xF7, 0xFF, 0xFF}));
    Append(body, Bytes({6, 70, 0x21, 0x43, 0x65, 0x87, 0x09, 0x21, 0x43, 0x65})); // 16 digits
    body.push_back(0);
    p.sms = Sealed(body);
    return p;
}

std::vector<Byte> AsWritten(std::vector<Byte> frame) {
    frame[2] = 0x57;
    frame::SealFrame(frame.data(), frame.size());
    return frame;
}

// Models holding something else entirely, as left by an earlier device or dialog.
void StaleModels(TProgramState& state) {
    state.Gprs.ApplyPreset(0, 1);
    state.Gprs.ApplyPreset(1, 2);
    state.Sms.Setup(7, SmsModel::Family::Other);
    for (int r = 0; r < state.Sms.RowCount(); ++r) {
        state.Sms.ChooseType(r, 1);
    }
    state.RetSms.ChooseType(0, 2);
    state.Directions.ChooseAttempts(4, 5);
}

std::shared_ptr<TDevice> WithGsm(Byte code) {
    auto d = Make(code);
    if (IsOP8(*d)) {
        d->SetParam(prmDevTX, 2);
    } else {
        d->SetGsmConnected(true);
    }
    return d;
}

constexpr Byte kGsmCodes[] = {1, 4, 16, 3, 11, 17, 7, 18, 5, 9, 6, 15};

TEST(ReadThenCommit, PanelContentComesBackUnchanged) {
    const PanelFrames panel = SamplePanel();
    for (const Byte code : kGsmCodes) {
        TProgramState state;
        StaleModels(state);
        state.device = WithGsm(code);
        ASSERT_TRUE(state.device->GetGsmConnected()) << int(code);
        // What the link leaves after a read.
        state.GsmFrame = InBuffer(panel.gsm, 0xEE);
        state.GprsFrame = InBuffer(panel.gprs, 0xEE);
        T_SMS_List panelList;
        auto* ret = dynamic_cast<TDV15_Ret*>(state.device.get());
        if (ret != nullptr) {
            panelList.SetRecord(1, SmsRecord{0x82, 40, 0x21, 0x43, 0x65, 0x87, 0x09, 0x21, 0x43, 0x65});
            panelList.SetRecord(2, SmsRecord{1, 0, 0x21, 0xF3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
            ret->Sms() = panelList;
        } else {
            state.SmsFrame = InBuffer(panel.sms, 0xEE);
        }

        RefreshGsmModels(state);
        const CommitResult result = UpdateAllTXBuffers(state, nullptr);
        ASSERT_TRUE(result.ok()) << int(code) << " " << result.refusal;

        EXPECT_EQ(Head(state.GsmFrame, panel.gsm.size()), AsWritten(panel.gsm)) << int(code);
        EXPECT_EQ(Head(state.GprsFrame, panel.gprs.size()), AsWritten(panel.gprs)) << int(code);
        if (ret != nullptr) {
            for (int n = 1; n <= T_SMS_List::kRecords; ++n) {
                EXPECT_EQ(ret->Sms().Record(n)[0], panelList.Record(n)[0]) << n;
                if (panelList.Record(n)[0] != 0) {
                    EXPECT_EQ(ret->Sms().Record(n), panelList.Record(n)) << n;
                }
            }
        } else {
            EXPECT_EQ(Head(state.SmsFrame, panel.sms.size()), AsWritten(panel.sms)) << int(code);
        }
    }
}

TEST(ReadThenCommit, ModelsShowWhatWasRead) {
    const PanelFrames panel = SamplePanel();
    TProgramState state;
    StaleModels(state);
    state.device = WithGsm(1);
    state.GsmFrame = InBuffer(panel.gsm);
    state.GprsFrame = InBuffer(panel.gprs);
    state.SmsFrame = InBuffer(panel.sms);
    RefreshGsmModels(state);
    EXPECT_EQ(state.Directions.Row(0).target, "+79031234567");
    EXPECT_EQ(state.Directions.Row(4).attempts, "Выкл.");
    EXPECT_EQ(state.Gprs.Sim(0).apn, "");
    EXPECT_EQ(state.Gprs.Sim(1).apn, "apn.corp");
    EXPECT_EQ(state.Gprs.Sim(1).password, "pw");
    EXPECT_EQ(state.Sms.RowCount(), 8);
    EXPECT_EQ(state.Sms.Cell(1, sms::kColType), "Тип 6");
    EXPECT_EQ(state.Sms.Cell(1, sms::kColPartition), "70");
    EXPECT_EQ(state.Sms.Cell(1, sms::kColPhone), "1234567890123456");
    EXPECT_EQ(state.Sms.Cell(2, sms::kColType), "Выключено");
}

TEST(Commit, NothingIsEncodedWithoutACommunicator) {
    for (const Byte code : {Byte{1}, Byte{3}, Byte{5}, Byte{6}, Byte{15}}) {
        TProgramState state;
        state.device = Make(code);
        state.device->SetGsmConnected(false);
        state.GsmFrame.fill(0x42);
        state.SmsFrame.fill(0x43);
        state.GprsFrame.fill(0x44);
        state.GsmFrame[6] = 1;
        state.GsmFrame[7] = 1;
        state.Directions.ChooseAttempts(0, 1);
        state.Gprs.SetApn(0, std::string(500, 'a')); // would be refused if it were encoded
        const FrameBuffer gsm = state.GsmFrame;
        ASSERT_TRUE(UpdateAllTXBuffers(state, nullptr).ok()) << int(code);
        EXPECT_EQ(state.GsmFrame, gsm) << int(code);
        EXPECT_EQ(state.SmsFrame[0], 0x43);
        EXPECT_EQ(state.GprsFrame[0], 0x44);
    }
    TProgramState empty;
    EXPECT_TRUE(UpdateAllTXBuffers(empty, nullptr).ok());
}

TEST(Commit, FlagsChooseWhatIsEncoded) {
    for (const Byte code : kGsmCodes) {
        for (const int flags : {0, 1, 2, 3}) {
            TProgramState state;
            state.device = WithGsm(code);
            ResetGsmFrame(state.GsmFrame);
            SetGprsFlag(state.GsmFrame, flags & 1);
            SetSmsFlag(state.GsmFrame, flags & 2);
            state.SmsFrame.fill(0x43);
            state.SmsFrame[4] = 0; // no records
            state.GprsFrame.fill(0x44);
            RefreshSmsModels(state); // as when the device is shown
            state.Directions.ChooseAttempts(1, 3);
            state.Sms.ChooseType(0, 1);
            state.RetSms.ChooseType(0, 1);
            ASSERT_TRUE(UpdateAllTXBuffers(state, nullptr).ok());

            const DirectionRecords records = ReadDirectionRecords(state.GsmFrame);
            EXPECT_TRUE(records[1].enabled);
            EXPECT_EQ(records[1].text, "+79031234567");
            EXPECT_EQ(state.GsmFrame[6], flags & 1 ? 1 : 0);

            EXPECT_EQ(state.GprsFrame[0] == 0x7E, (flags & 1) != 0) << int(code);
            auto* ret = dynamic_cast<TDV15_Ret*>(state.device.get());
            if (ret != nullptr) {
                EXPECT_EQ(ret->Sms().Count(), flags & 2 ? 1 : 0);
                EXPECT_EQ(state.SmsFrame[0], 0x43); // the retranslator's list does not use the frame
            } else {
                EXPECT_EQ(state.SmsFrame[0] == 0x7E, (flags & 2) != 0) << int(code);
                if (flags & 2) {
                    EXPECT_EQ(state.SmsFrame[1], 4 + 10 + 1 + 1);
                    EXPECT_EQ(state.SmsFrame[5], IsOP5(*state.device) ? 0 : 1); // partition shown
                }
            }
        }
    }
}

TEST(Commit, SmsListFollowsTheDeviceRowCount) {
    TProgramState state;
    state.device = WithGsm(7);
    ResetGsmFrame(state.GsmFrame);
    SetSmsFlag(state.GsmFrame, true);
    RefreshGsmModels(state);
    for (int r = 0; r < 10; ++r) {
        state.Sms.ChooseType(r, 1);
    }
    ASSERT_TRUE(UpdateAllTXBuffers(state, nullptr).ok());
    EXPECT_EQ(state.SmsFrame[1], 105);
    state.device = WithGsm(3); // a device-menu choice: eight rows
    ASSERT_TRUE(UpdateAllTXBuffers(state, nullptr).ok());
    EXPECT_EQ(state.SmsFrame[1], 85);
    EXPECT_EQ(state.Sms.RowCount(), 8);
}

TEST(Commit, RefusalsChangeNothing) {
    struct Case {
        const char* name;
        void (*spoil)(TProgramState&);
        const char* caption;
    };
    const Case cases[] = {
        {"gprs too long", [](TProgramState& s) { s.Gprs.SetPassword(1, std::string(180, 'p')); },
         "Параметры GPRS"},
        {"gprs without apn",
         [](TProgramState& s) {
             s.Gprs.SetApn(0, "");
             s.Gprs.SetApn(1, "");
         },
         "Параметры GPRS"},
        {"sms partition", [](TProgramState& s) { s.Sms.SetPartition(0, ""); }, "SMS"},
    };
    for (const Case& c : cases) {
        TProgramState state;
        state.device = WithGsm(16);
        auto& d = dynamic_cast<TDevOP8&>(*state.device);
        OneGuardZone(d, 5);
        d.SetPartNoArmMask(0xFF);
        ResetGsmFrame(state.GsmFrame);
        SetGprsFlag(state.GsmFrame, true);
        SetSmsFlag(state.GsmFrame, true);
        RefreshGsmModels(state);
        state.Gprs.Reset();
        state.Sms.ChooseType(0, 2);
        state.Directions.ChooseAttempts(0, 1);
        c.spoil(state);
        const TProgramState before = state;
        const Byte noArm = d.GetPartNoArmMask();
        const CommitResult result = UpdateAllTXBuffers(state, nullptr);
        EXPECT_FALSE(result.ok()) << c.name;
        EXPECT_EQ(result.caption, c.caption) << c.name;
        EXPECT_EQ(state.GsmFrame, before.GsmFrame) << c.name;
        EXPECT_EQ(state.SmsFrame, before.SmsFrame) << c.name;
        EXPECT_EQ(state.GprsFrame, before.GprsFrame) << c.name;
        EXPECT_EQ(d.GetPartNoArmMask(), noArm) << c.name;
    }
}

TEST(Commit, RetranslatorListComesFromItsModel) {
    TProgramState state;
    state.device = WithGsm(15);
    auto& ret = dynamic_cast<TDV15_Ret&>(*state.device);
    ResetGsmFrame(state.GsmFrame);
    SetSmsFlag(state.GsmFrame, true);
    ret.Sms().SetRecord(1, SmsRecord{1, 1, 0x21, 0x43, 0x65, 0x87, 0x09, 0xFF, 0xFF, 0xFF});
    RefreshGsmModels(state);
    state.RetSms.ChooseType(1, 2);
    state.RetSms.ChooseSource(1, 33);
    ASSERT_TRUE(UpdateAllTXBuffers(state, nullptr).ok());
    EXPECT_EQ(ret.Sms().Count(), 2);
    EXPECT_EQ(ret.Sms().Record(1)[1], 1);
    EXPECT_EQ(ret.Sms().Record(2)[0], 2);
    EXPECT_EQ(ret.Sms().Record(2)[1], 33);
    EXPECT_TRUE(state.RetSms.ListNotEmpty());
}

TEST(CheckBoxes, SmsListSwitchedOnAndOff) {
    TProgramState state;
    state.device = WithGsm(1);
    ResetGsmFrame(state.GsmFrame);
    state.SmsFrame = InBuffer(SamplePanel().sms);
    SetSmsListOn(state, true);
    EXPECT_EQ(state.GsmFrame[7], 1);
    EXPECT_EQ(ReadSmsRecords(state.SmsFrame, 8).size(), 0u);
    EXPECT_EQ(state.Sms.Row(0), (SmsRow{0, "1", "", std::nullopt}));
    SetSmsListOn(state, false);
    EXPECT_EQ(state.GsmFrame[7], 0);

    state.device = WithGsm(15);
    auto& ret = dynamic_cast<TDV15_Ret&>(*state.device);
    ret.Sms().SetRecord(1, SmsRecord{1, 1, 0x21, 0x43, 0x65, 0x87, 0x09, 0xFF, 0xFF, 0xFF});
    SetSmsListOn(state, true);
    EXPECT_EQ(state.RetSms.Cell(0, sms::kColPhone), "1234567890");
    SetSmsListOn(state, false);
    EXPECT_EQ(ret.Sms().Count(), 0);
    EXPECT_EQ(state.RetSms.Cell(0, sms::kColType), "Выключено");
}

TEST(CheckBoxes, GprsSwitchedOnStartsFromTheFirstPreset) {
    TProgramState state;
    state.Gprs.ApplyPreset(0, 3);
    SetGprsOn(state, false);
    EXPECT_EQ(state.GsmFrame[6], 0);
    EXPECT_EQ(state.Gprs.Sim(0).apn, "internet");
    SetGprsOn(state, true);
    EXPECT_EQ(state.GsmFrame[6], 1);
    EXPECT_EQ(state.Gprs.Sim(0).apn, "internet.beeline.ru");
}

} // namespace
