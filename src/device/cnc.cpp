// Control-centre panels: expanders and the remote indication unit instead of zones.
#include "catalogue.h"
#include "device.h"

namespace orv {

namespace {

constexpr Byte kDef3[11] = {0x00, 0x33, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00};
constexpr Byte kDef17[15] = {0x00, 0x33, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00,
                             0x00, 0x01, 0x00, 0x00, 0x01, 0x02, 0x04};
constexpr Byte kDef18[19] = {0x00, 0x33, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                             0x00, 0x00, 0x00, 0x01, 0x00, 0x0A, 0x01, 0x02, 0x04};

constexpr DeviceSpec kSpec3{3, 4, 11, kDef3};
constexpr DeviceSpec kSpec11{11, 5, 12, {kDef17, 12}};
constexpr DeviceSpec kSpec17{17, 5, 15, kDef17};
constexpr DeviceSpec kSpec7{7, 5, 16, {kDef18, 16}};
constexpr DeviceSpec kSpec18{18, 5, 19, kDef18};

//                            exp td gsm bvi btn fb ctl gtx rst out n
constexpr CncLayout kLayout3{4, 5, 6, 7, 8, -1, 9, 10, -1, -1, 0};
constexpr CncLayout kLayout11{4, 5, 6, 7, 8, -1, 9, 10, 11, -1, 0};
constexpr CncLayout kLayout17{4, 5, 6, 7, 8, -1, 9, 10, 11, 12, 3};
constexpr CncLayout kLayout7{4, 11, 12, 9, -1, 10, 13, 14, 15, -1, 0};
constexpr CncLayout kLayout18{4, 11, 12, 9, -1, 10, 13, 14, 15, 16, 3};

constexpr int kOpsCheck = 0;
constexpr int kRelays = 1;
constexpr int kControlRelay = 2;
constexpr int kBuzzer = 3;

} // namespace

TDevCnc::TDevCnc(const DeviceSpec& spec, const CncLayout& layout) : TDevice(spec), layout_(layout) {}

TDV3_C8::TDV3_C8() : TDevCnc8(kSpec3, kLayout3) {
    SetDefaults();
}
TDV11_TC8::TDV11_TC8() : TDevCnc8(kSpec11, kLayout11) {
    SetDefaults();
}
TDV11_TC8::TDV11_TC8(const DeviceSpec& spec, const CncLayout& layout) : TDevCnc8(spec, layout) {}
TDV17_TC8X::TDV17_TC8X() : TDV11_TC8(kSpec17, kLayout17) {
    SetDefaults();
}
TDV7_TC5::TDV7_TC5() : TDevCnc5(kSpec7, kLayout7) {
    SetDefaults();
}
TDV7_TC5::TDV7_TC5(const DeviceSpec& spec, const CncLayout& layout) : TDevCnc5(spec, layout) {}
TDV18_TC5X::TDV18_TC5X() : TDV7_TC5(kSpec18, kLayout18) {
    SetDefaults();
}

namespace {
int CncParamOffset(Byte index) {
    switch (index) {
    case prmOPsCheck:
        return kOpsCheck;
    case prmReleAlarmFire:
        return kRelays;
    case prmReleCtrlFail:
        return kControlRelay;
    default:
        return -1;
    }
}
} // namespace

Byte TDevCnc::GetParam(Byte index) const {
    return Payload(CncParamOffset(index));
}
void TDevCnc::SetParam(Byte index, Byte value) {
    SetPayload(CncParamOffset(index), value);
}
bool TDevCnc::GetGsmConnected() const {
    return Payload(layout_.gsmConnected) != 0;
}
void TDevCnc::SetGsmConnected(bool on) {
    SetPayload(layout_.gsmConnected, on ? 1 : 0);
}
Byte TDevCnc::GetBuzzer() const {
    return Payload(kBuzzer);
}
void TDevCnc::SetBuzzer(Byte value) {
    SetPayload(kBuzzer, value);
}

Byte TDevCnc::GetArmFeedback() const {
    return layout_.armFeedback < 0 ? Byte{0} : Payload(layout_.armFeedback);
}

void TDevCnc::SetArmFeedback(Byte value) {
    if (layout_.armFeedback >= 0) {
        SetPayload(layout_.armFeedback, value);
    }
}

Byte TDevCnc::GetOutput(int n) const {
    if (layout_.outputs < 0 || n < 1 || n > layout_.outputCount) {
        return 0;
    }
    return Payload(layout_.outputs + n - 1);
}

void TDevCnc::SetOutput(int n, Byte value) {
    if (layout_.outputs >= 0 && n >= 1 && n <= layout_.outputCount) {
        SetPayload(layout_.outputs + n - 1, value);
    }
}

void TDevCnc::SetOutputsDefault() {
    for (int n = 1; n <= layout_.outputCount; ++n) {
        SetOutput(n, static_cast<Byte>(1u << (n - 1)));
    }
}

bool TDevCnc::GetUseTD() const {
    return Payload(layout_.useTD) != 0;
}
void TDevCnc::SetUseTD(bool on) {
    SetPayload(layout_.useTD, on ? 1 : 0);
}
bool TDevCnc::GetGsmControl() const {
    return Payload(layout_.gsmControl) != 0;
}
void TDevCnc::SetGsmControl(bool on) {
    SetPayload(layout_.gsmControl, on ? 1 : 0);
}
bool TDevCnc::GetGsmTx() const {
    return Payload(layout_.gsmTx) != 0;
}
void TDevCnc::SetGsmTx(bool on) {
    SetPayload(layout_.gsmTx, on ? 1 : 0);
}
Byte TDevCnc::GetBviAlarm() const {
    return Payload(layout_.bviAlarm);
}
void TDevCnc::SetBviAlarm(Byte value) {
    SetPayload(layout_.bviAlarm, value);
}
Byte TDevCnc::GetAutoReset() const {
    return layout_.autoReset < 0 ? Byte{0} : Payload(layout_.autoReset);
}

void TDevCnc::SetAutoReset(Byte value) {
    if (layout_.autoReset >= 0) {
        SetPayload(layout_.autoReset, value);
    }
}

Byte TDevCnc8::GetExpanders() const {
    return Payload(CLayout().expanders);
}
void TDevCnc8::SetExpanders(Byte mask) {
    SetPayload(CLayout().expanders, mask);
}
bool TDevCnc8::GetBviButtons() const {
    return Payload(CLayout().bviButtons) != 0;
}
void TDevCnc8::SetBviButtons(bool on) {
    SetPayload(CLayout().bviButtons, on ? 1 : 0);
}

void TDevCnc8::SetExpanderBit(int bit, bool on) {
    if (bit < 0 || bit > 7) {
        return;
    }
    const Byte mask = static_cast<Byte>(1u << bit);
    const Byte value = GetExpanders();
    SetExpanders(on ? static_cast<Byte>(value | mask) : static_cast<Byte>(value & ~mask));
}

ExpanderMask TDevCnc5::GetExpanderMask() const {
    ExpanderMask mask{};
    for (int i = 0; i < 5; ++i) {
        mask[static_cast<std::size_t>(i)] = Payload(CLayout().expanders + i);
    }
    return mask;
}

void TDevCnc5::SetExpanderMask(const ExpanderMask& mask) {
    for (int i = 0; i < 5; ++i) {
        SetPayload(CLayout().expanders + i, mask[static_cast<std::size_t>(i)]);
    }
    SetPayload(CLayout().expanders + 4, static_cast<Byte>(mask[4] & 0x01));
}

bool TDevCnc5::HasBvi() const {
    return Payload(CLayout().expanders + 4) & 0x01;
}

std::string TDevCnc5::ExpanderMaskText() const {
    return MaskToText(GetExpanderMask());
}

} // namespace orv
