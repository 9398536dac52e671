// Five-zone panels and the two-zone keypad panel: two-byte zone records.
#include "device.h"

namespace orv {

namespace {

constexpr Byte kDef5[18] = {0x07, 0x17, 0x05, 0x14, 0x06, 0x15, 0x02, 0x0F, 0x03,
                            0x04, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x00, 0x80};
constexpr Byte kDef8[15] = {0x07, 0x17, 0x05, 0x14, 0x06, 0x15, 0x02, 0x0F,
                            0x03, 0x04, 0x00, 0x01, 0x00, 0x02, 0x80};
constexpr Byte kDef6[12] = {0x01, 0x04, 0x01, 0x65, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0x00};

constexpr DeviceSpec kSpec5{5, 4, 18, kDef5};
constexpr DeviceSpec kSpec9{9, 5, 18, kDef5};
constexpr DeviceSpec kSpec8{8, 4, 15, kDef8};
constexpr DeviceSpec kSpec6{6, 4, 12, kDef6};

//                             gsm  tx bus fb snd ctl gtx buzzer
constexpr Op5Layout kLayout5{10, 11, 12, 13, 14, 15, 16, 17};
constexpr Op5Layout kLayout8{-1, 10, 11, 12, 13, -1, -1, 14};

constexpr int kKp2OpsCheck = 4;
constexpr int kKp2Relays = 5;
constexpr int kKp2Buzzer = 7;
constexpr int kKp2UseTD = 8;
constexpr int kKp2Gsm = 9;
constexpr int kKp2GsmControl = 10;
constexpr int kKp2GsmTx = 11;

} // namespace

TDevOP5::TDevOP5(const DeviceSpec& spec, const Op5Layout& layout) : TDevice(spec), layout_(layout) {}

TDV5_T5::TDV5_T5() : TDevOP5(kSpec5, kLayout5) {
    SetDefaults();
}
TDV9_T5K::TDV9_T5K() : TDevOP5(kSpec9, kLayout5) {
    SetDefaults();
}
TDV8_TT5::TDV8_TT5() : TDevOP5(kSpec8, kLayout8) {
    SetDefaults();
}

Byte TDevOP5::GetZoneType(int zone) const {
    return zone >= 1 && zone <= 5 ? Payload(2 * (zone - 1)) : Byte{0};
}

void TDevOP5::SetZoneType(int zone, Byte type) {
    if (zone >= 1 && zone <= 5) {
        SetPayload(2 * (zone - 1), type);
    }
}

Byte TDevOP5::GetZoneCID(int zone) const {
    return zone >= 1 && zone <= 5 ? Payload(2 * (zone - 1) + 1) : Byte{0};
}

void TDevOP5::SetZoneCID(int zone, Byte code) {
    if (zone >= 1 && zone <= 5) {
        SetPayload(2 * (zone - 1) + 1, code);
    }
}

Byte TDevOP5::GetParam(Byte index) const {
    switch (index) {
    case prmDevTX:
        return Payload(layout_.devTX);
    case prmSndWrkTime:
        return Payload(layout_.sndTime);
    default:
        return 0;
    }
}

void TDevOP5::SetParam(Byte index, Byte value) {
    if (index == prmDevTX) {
        SetPayload(layout_.devTX, value);
    } else if (index == prmSndWrkTime) {
        SetPayload(layout_.sndTime, value);
    }
}

bool TDevOP5::GetGsmConnected() const {
    return HasGsm() && Payload(layout_.gsmConnected) != 0;
}

void TDevOP5::SetGsmConnected(bool on) {
    if (HasGsm()) {
        SetPayload(layout_.gsmConnected, on ? 1 : 0);
    }
}

Byte TDevOP5::GetBuzzer() const {
    return (Payload(layout_.buzzer) >> 7) & 1;
}
void TDevOP5::SetBuzzer(Byte value) {
    SetPayloadBit(layout_.buzzer, 7, value != 0);
}
Byte TDevOP5::GetBusID() const {
    return Payload(layout_.busId);
}
void TDevOP5::SetBusID(Byte value) {
    SetPayload(layout_.busId, value);
}
Byte TDevOP5::GetArmFeedback() const {
    return Payload(layout_.armFeedback);
}
void TDevOP5::SetArmFeedback(Byte value) {
    SetPayload(layout_.armFeedback, value);
}

bool TDevOP5::GetGsmControl() const {
    return HasGsm() && Payload(layout_.gsmControl) != 0;
}

void TDevOP5::SetGsmControl(bool on) {
    if (HasGsm()) {
        SetPayload(layout_.gsmControl, on ? 1 : 0);
    }
}

bool TDevOP5::GetGsmTx() const {
    return HasGsm() && Payload(layout_.gsmTx) != 0;
}

void TDevOP5::SetGsmTx(bool on) {
    if (HasGsm()) {
        SetPayload(layout_.gsmTx, on ? 1 : 0);
    }
}

// --- keypad panel --------------------------------------------------------------------------

TDV6_KP2::TDV6_KP2() : TDevice(kSpec6) {
    SetDefaults();
}

Byte TDV6_KP2::GetZoneType(int zone) const {
    return zone == 1 || zone == 2 ? Payload(2 * (zone - 1)) : Byte{0};
}

void TDV6_KP2::SetZoneType(int zone, Byte type) {
    if (zone == 1 || zone == 2) {
        SetPayload(2 * (zone - 1), type);
    }
}

Byte TDV6_KP2::GetZoneCID(int zone) const {
    return zone == 1 || zone == 2 ? Payload(2 * (zone - 1) + 1) : Byte{0};
}

void TDV6_KP2::SetZoneCID(int zone, Byte code) {
    if (zone == 1 || zone == 2) {
        SetPayload(2 * (zone - 1) + 1, code);
    }
}

Byte TDV6_KP2::GetParam(Byte index) const {
    switch (index) {
    case prmOPsCheck:
        return Payload(kKp2OpsCheck);
    case prmReleAlarmFire:
        return Payload(kKp2Relays);
    default:
        return 0;
    }
}

void TDV6_KP2::SetParam(Byte index, Byte value) {
    if (index == prmOPsCheck) {
        SetPayload(kKp2OpsCheck, value);
    } else if (index == prmReleAlarmFire) {
        SetPayload(kKp2Relays, value);
    }
}

bool TDV6_KP2::GetGsmConnected() const {
    return Payload(kKp2Gsm) != 0;
}
void TDV6_KP2::SetGsmConnected(bool on) {
    SetPayload(kKp2Gsm, on ? 1 : 0);
}
Byte TDV6_KP2::GetBuzzer() const {
    return Payload(kKp2Buzzer);
}
void TDV6_KP2::SetBuzzer(Byte value) {
    SetPayload(kKp2Buzzer, value);
}
bool TDV6_KP2::GetUseTD() const {
    return Payload(kKp2UseTD) != 0;
}
void TDV6_KP2::SetUseTD(bool on) {
    SetPayload(kKp2UseTD, on ? 1 : 0);
}
bool TDV6_KP2::GetGsmControl() const {
    return Payload(kKp2GsmControl) != 0;
}
void TDV6_KP2::SetGsmControl(bool on) {
    SetPayload(kKp2GsmControl, on ? 1 : 0);
}
bool TDV6_KP2::GetGsmTx() const {
    return Payload(kKp2GsmTx) != 0;
}
void TDV6_KP2::SetGsmTx(bool on) {
    SetPayload(kKp2GsmTx, on ? 1 : 0);
}

} // namespace orv
