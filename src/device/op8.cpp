// Eight-zone panels: one zone layout, the settings after the zones differ per model.
#include "device.h"

namespace orv {

namespace {

constexpr Byte kDef1[41] = {0x78, 0x17, 0x1E, 0x1E, 0x68, 0x14, 0x00, 0x00, 0x68, 0x14, 0x00,
                            0x00, 0x68, 0x14, 0x00, 0x00, 0x48, 0x10, 0x00, 0x00, 0x50, 0x0F,
                            0x00, 0x00, 0x58, 0x04, 0x00, 0x00, 0x58, 0x04, 0x00, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x33, 0x10, 0xC0, 0x02, 0x10};
constexpr Byte kDef2[43] = {0x78, 0x17, 0x1E, 0x1E, 0x68, 0x14, 0x00, 0x00, 0x68, 0x14, 0x00,
                            0x00, 0x68, 0x14, 0x00, 0x00, 0x48, 0x10, 0x00, 0x00, 0x50, 0x0F,
                            0x00, 0x00, 0x58, 0x04, 0x00, 0x00, 0x58, 0x04, 0x00, 0x00, 0x00,
                            0x00, 0x00, 0x00, 0x33, 0x10, 0x80, 0x01, 0x02, 0x10, 0x01};
constexpr Byte kDef4[45] = {0x38, 0x17, 0x1E, 0x1E, 0x28, 0x14, 0x00, 0x00, 0x28, 0x14, 0x00, 0x00,
                            0x28, 0x14, 0x00, 0x00, 0x08, 0x10, 0x00, 0x00, 0x10, 0x0F, 0x00, 0x00,
                            0x18, 0x04, 0x00, 0x00, 0x18, 0x04, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00,
                            0x00, 0x33, 0x10, 0x80, 0x01, 0x02, 0x10, 0x01, 0x00};
constexpr Byte kDef13[52] = {0x38, 0x17, 0x1E, 0x1E, 0x28, 0x14, 0x00, 0x00, 0x28, 0x14, 0x00, 0x00, 0x28,
                             0x14, 0x00, 0x00, 0x08, 0x10, 0x00, 0x00, 0x10, 0x0F, 0x00, 0x00, 0x18, 0x04,
                             0x00, 0x00, 0x18, 0x04, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x33, 0x10,
                             0x00, 0x80, 0x01, 0x02, 0x10, 0x01, 0x00, 0x01, 0x02, 0x04, 0x08, 0x10, 0x20};

constexpr DeviceSpec kSpec1{1, 4, 41, kDef1};
constexpr DeviceSpec kSpec2{2, 4, 43, kDef2};
constexpr DeviceSpec kSpec4{4, 4, 44, {kDef4, 44}};
constexpr DeviceSpec kSpec10{10, 5, 44, {kDef4, 44}};
constexpr DeviceSpec kSpec12{12, 4, 45, kDef4};
constexpr DeviceSpec kSpec13{13, 5, 46, {kDef13, 46}};
constexpr DeviceSpec kSpec16{16, 5, 52, kDef13};

//                                  wide rearm noArm dep  tx ops  af  cf  rog  sys guard snd lamp bus disarm
//                                  out n  fb
constexpr Op8Layout kLayout1{false, -1, 32, 33, 34, 35, 36, 37, -1, 38, -1, 39, 40, -1, -1, -1, 0, false};
constexpr Op8Layout kLayout2{false, -1, 32, 33, 34, 35, 36, 37, -1, 38, 39, 40, 41, 42, -1, -1, 0, false};
constexpr Op8Layout kLayout4{true, 32, 33, 34, 35, 36, 37, 38, -1, 39, 40, 41, 42, 43, -1, -1, 0, false};
constexpr Op8Layout kLayout10{true, 32, 33, 34, 35, 36, 37, 38, -1, 39, 40, 41, 42, 43, -1, -1, 0, true};
constexpr Op8Layout kLayout12{true, 32, 33, 34, 35, 36, 37, 38, -2, 39, 40, 41, 42, 43, 44, -1, 0, false};
constexpr Op8Layout kLayout13{true, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, -1, 0, true};
constexpr Op8Layout kLayout16{true, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 6, true};

constexpr Byte kSysBuzzer = 7;
constexpr Byte kSysGuardSnd = 6; // TDV1_I8 only
constexpr Byte kSysArmFeedback = 4;
constexpr Byte kZoneRestoreBit = 6;
constexpr Byte kZoneFireBit = 7;

} // namespace

TDevOP8::TDevOP8(const DeviceSpec& spec, const Op8Layout& layout) : TDevice(spec), layout_(layout) {}

TDV1_I8::TDV1_I8() : TDevOP8(kSpec1, kLayout1) {
    SetDefaults();
}
TDV2_I8::TDV2_I8() : TDevOP8(kSpec2, kLayout2) {
    SetDefaults();
}
TDV4_I8::TDV4_I8() : TDevOP8(kSpec4, kLayout4) {
    SetDefaults();
}
TDV10_T8::TDV10_T8() : TDevOP8(kSpec10, kLayout10) {
    SetDefaults();
}
TDV12_I8::TDV12_I8() : TDevOP8(kSpec12, kLayout12) {
    SetDefaults();
}
TDV13_T8::TDV13_T8() : TDevOP8(kSpec13, kLayout13) {
    SetDefaults();
}
TDV16_T8X::TDV16_T8X() : TDevOP8(kSpec16, kLayout16) {
    SetDefaults();
}

int TDevOP8::ZoneByte(int zone) const {
    return zone >= 1 && zone <= 8 ? 4 * (zone - 1) : -1;
}

Byte TDevOP8::GetZoneType(int zone) const {
    const int p = ZoneByte(zone);
    if (p < 0) {
        return 0;
    }
    const Byte mask = layout_.wideType ? 0x0F : 0x07;
    return static_cast<Byte>((Payload(p) >> 3) & mask);
}

void TDevOP8::SetZoneType(int zone, Byte type) {
    const int p = ZoneByte(zone);
    if (p < 0) {
        return;
    }
    // Kept to the field's width, so a wide code can never land on the restore flag.
    const Byte mask = layout_.wideType ? 0x0F : 0x07;
    const Byte field = static_cast<Byte>(mask << 3);
    SetPayload(p, static_cast<Byte>((Payload(p) & ~field) | ((type & mask) << 3)));
}

Byte TDevOP8::GetZonePart(int zone) const {
    const int p = ZoneByte(zone);
    return p < 0 ? Byte{0} : static_cast<Byte>(Payload(p) & 0x07);
}

void TDevOP8::SetZonePart(int zone, Byte part) {
    const int p = ZoneByte(zone);
    if (p < 0) {
        return;
    }
    SetPayload(p, static_cast<Byte>((Payload(p) & 0xF8) | (part & 0x07)));
}

Byte TDevOP8::GetZoneCID(int zone) const {
    const int p = ZoneByte(zone);
    return p < 0 ? Byte{0} : Payload(p + 1);
}

void TDevOP8::SetZoneCID(int zone, Byte code) {
    const int p = ZoneByte(zone);
    if (p >= 0) {
        SetPayload(p + 1, code);
    }
}

Byte TDevOP8::GetZoneRearm(int zone) const {
    const int p = ZoneByte(zone);
    if (p < 0) {
        return 0;
    }
    if (layout_.rearmMask < 0) {
        return static_cast<Byte>(Payload(p) & (1u << kZoneRestoreBit));
    }
    return static_cast<Byte>(Payload(layout_.rearmMask) & (1u << (zone - 1)));
}

void TDevOP8::SetZoneRearm(int zone, bool on) {
    const int p = ZoneByte(zone);
    if (p < 0) {
        return;
    }
    if (layout_.rearmMask < 0) {
        SetPayloadBit(p, kZoneRestoreBit, on);
    } else {
        SetPayloadBit(layout_.rearmMask, zone - 1, on);
    }
}

Byte TDevOP8::GetZoneFireReCheck(int zone) const {
    const int p = ZoneByte(zone);
    return p < 0 ? Byte{0} : static_cast<Byte>(Payload(p) & (1u << kZoneFireBit));
}

void TDevOP8::SetZoneFireReCheck(int zone, bool on) {
    const int p = ZoneByte(zone);
    if (p >= 0) {
        SetPayloadBit(p, kZoneFireBit, on);
    }
}

Byte TDevOP8::GetZoneDelay(int zone, bool exit) const {
    const int p = ZoneByte(zone);
    return p < 0 ? Byte{0} : Payload(p + (exit ? 2 : 3));
}

void TDevOP8::SetZoneDelay(int zone, bool exit, Byte value) {
    const int p = ZoneByte(zone);
    if (p >= 0) {
        SetPayload(p + (exit ? 2 : 3), value);
    }
}

namespace {
int Op8ParamOffset(const Op8Layout& l, Byte index) {
    switch (index & 0x7F) {
    case prmDevTX:
        return l.devTX;
    case prmOPsCheck:
        return l.opsCheck;
    case prmSysCFG:
        return l.sysCFG;
    case prmSndWrkTime:
        return l.sndTime;
    case prmLampMode:
        return l.lamp;
    case prmReleAlarmFire:
        return l.releAF;
    case prmReleCtrlFail:
        return l.releCF;
    default:
        return -1;
    }
}
} // namespace

Byte TDevOP8::GetParam(Byte index) const {
    return Payload(Op8ParamOffset(layout_, index));
}

void TDevOP8::SetParam(Byte index, Byte value) {
    SetPayload(Op8ParamOffset(layout_, index), value);
}

bool TDevOP8::GetGsmConnected() const {
    return Payload(layout_.devTX) == 2;
}

Byte TDevOP8::GetBuzzer() const {
    return (Payload(layout_.sysCFG) >> kSysBuzzer) & 1;
}

void TDevOP8::SetBuzzer(Byte value) {
    SetPayloadBit(layout_.sysCFG, kSysBuzzer, value != 0);
}

bool TDevOP8::GetGuardSnd() const {
    if (layout_.guardSnd < 0) {
        return (Payload(layout_.sysCFG) >> kSysGuardSnd) & 1;
    }
    return Payload(layout_.guardSnd) != 0;
}

void TDevOP8::SetGuardSnd(bool on) {
    if (layout_.guardSnd < 0) {
        SetPayloadBit(layout_.sysCFG, kSysGuardSnd, on);
    } else {
        SetPayload(layout_.guardSnd, on ? 1 : 0);
    }
}

Byte TDevOP8::GetBusID() const {
    return layout_.busId < 0 ? Byte{0} : Payload(layout_.busId);
}

void TDevOP8::SetBusID(Byte value) {
    if (layout_.busId >= 0) {
        SetPayload(layout_.busId, value);
    }
}

Byte TDevOP8::GetArmFeedback() const {
    return layout_.armFeedback ? static_cast<Byte>((Payload(layout_.sysCFG) >> kSysArmFeedback) & 1)
                               : Byte{0};
}

void TDevOP8::SetArmFeedback(Byte value) {
    if (layout_.armFeedback) {
        SetPayloadBit(layout_.sysCFG, kSysArmFeedback, value != 0);
    }
}

Byte TDevOP8::GetOutput(int n) const {
    if (layout_.outputs < 0 || n < 1 || n > layout_.outputCount) {
        return 0;
    }
    return Payload(layout_.outputs + n - 1);
}

void TDevOP8::SetOutput(int n, Byte value) {
    if (layout_.outputs >= 0 && n >= 1 && n <= layout_.outputCount) {
        SetPayload(layout_.outputs + n - 1, value);
    }
}

void TDevOP8::SetOutputsDefault() {
    for (int n = 1; n <= layout_.outputCount; ++n) {
        SetOutput(n, static_cast<Byte>(1u << (n - 1)));
    }
}

Byte TDevOP8::GetPartDep() const {
    return Payload(layout_.partDep);
}
void TDevOP8::SetPartDep(Byte mask) {
    SetPayload(layout_.partDep, mask);
}
Byte TDevOP8::GetPartNoArmMask() const {
    return Payload(layout_.noArm);
}
void TDevOP8::SetPartNoArmMask(Byte mask) {
    SetPayload(layout_.noArm, mask);
}

Byte TDevOP8::GetDisarmBySms() const {
    return layout_.disarmSms < 0 ? Byte{0} : Payload(layout_.disarmSms);
}

void TDevOP8::SetDisarmBySms(Byte value) {
    if (layout_.disarmSms >= 0) {
        SetPayload(layout_.disarmSms, value);
    }
}

namespace {
// Where the SMS control flag of a relay lives: {byte offset, bit}, or offset -1.
std::pair<int, int> ReleOnGsmBit(const Op8Layout& l, int which) {
    if (which != 0 && which != 1) {
        return {-1, 0};
    }
    if (l.releOnGsm == -2) {
        return {l.sysCFG, which == 0 ? 4 : 3};
    }
    if (l.releOnGsm >= 0) {
        return {l.releOnGsm, which == 0 ? 0 : 1};
    }
    return {-1, 0};
}
} // namespace

bool TDevOP8::GetReleOnGsm(int which) const {
    const auto [p, bit] = ReleOnGsmBit(layout_, which);
    return p >= 0 && ((Payload(p) >> bit) & 1);
}

void TDevOP8::SetReleOnGsm(int which, bool on) {
    const auto [p, bit] = ReleOnGsmBit(layout_, which);
    if (p >= 0) {
        SetPayloadBit(p, bit, on);
    }
}

} // namespace orv
