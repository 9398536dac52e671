#pragma once

// The field maps as a table: for each typed field, the types that have it, a setter call, the
// payload offset it must change and how. The device tests check the bytes; the settings tests
// check that the field shows in its named settings and nowhere else.

#include "device/catalogue.h"
#include "device/retranslator.h"

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace orv::test::fields {

using OffsetFor = std::function<int(Byte code)>; // -1: the setter must change nothing
using NewByte = std::function<Byte(Byte old)>;

struct FieldCase {
    std::string name;
    std::vector<Byte> codes;
    std::function<void(TDevice&)> set;
    OffsetFor offset;
    NewByte expect;
    std::function<bool(const TDevice&)> check; // getter agrees, when given
};

inline void PrintTo(const FieldCase& c, std::ostream* os) {
    *os << c.name;
}

inline OffsetFor At(int p) {
    return [p](Byte) { return p; };
}
inline OffsetFor Per(std::map<Byte, int> table) {
    return [table](Byte code) {
        auto it = table.find(code);
        return it == table.end() ? -1 : it->second;
    };
}
inline NewByte Is(Byte v) {
    return [v](Byte) { return v; };
}
inline NewByte SetBits(Byte m) {
    return [m](Byte old) { return static_cast<Byte>(old | m); };
}
inline NewByte ClearBits(Byte m) {
    return [m](Byte old) { return static_cast<Byte>(old & ~m); };
}
inline NewByte Field(Byte mask, Byte value) {
    return [mask, value](Byte old) { return static_cast<Byte>((old & ~mask) | value); };
}

template <class T> std::function<void(TDevice&)> On(std::function<void(T&)> f) {
    return [f](TDevice& d) { f(dynamic_cast<T&>(d)); };
}

inline const std::vector<Byte> kOp8 = {1, 2, 4, 10, 12, 13, 16};
inline const std::vector<Byte> kNarrow = {1, 2};
inline const std::vector<Byte> kWide = {4, 10, 12, 13, 16};
inline const std::vector<Byte> kOp5 = {5, 9, 8};
inline const std::vector<Byte> kCnc8 = {3, 11, 17};
inline const std::vector<Byte> kCnc5 = {7, 18};

// Offsets of the settings after the zones, per eight-zone model.
inline std::map<Byte, int> Op8(int v1, int v2, int v4, int v12, int v13) {
    return {{1, v1}, {2, v2}, {4, v4}, {10, v4}, {12, v12}, {13, v13}, {16, v13}};
}

inline std::vector<FieldCase> Cases() {
    std::vector<FieldCase> c;
    // --- eight-zone zone records
    c.push_back({"op8 narrow zone type", kNarrow, [](TDevice& d) { d.SetZoneType(3, 5); }, At(8),
                 Field(0x38, 5 << 3), [](const TDevice& d) { return d.GetZoneType(3) == 5; }});
    c.push_back({"op8 wide zone type 8", kWide, [](TDevice& d) { d.SetZoneType(3, 8); }, At(8),
                 Field(0x78, 8 << 3), [](const TDevice& d) { return d.GetZoneType(3) == 8; }});
    c.push_back({"op8 partition", kOp8, [](TDevice& d) { d.SetZonePart(5, 6); }, At(16), Field(0x07, 6),
                 [](const TDevice& d) { return d.GetZonePart(5) == 6; }});
    c.push_back({"op8 event", kOp8, [](TDevice& d) { d.SetZoneCID(8, 200); }, At(29), Is(200),
                 [](const TDevice& d) { return d.GetZoneCID(8) == 200; }});
    c.push_back({"op8 exit delay", kOp8, [](TDevice& d) { d.SetZoneDelay(2, true, 45); }, At(6), Is(45),
                 [](const TDevice& d) { return d.GetZoneDelay(2, true) == 45; }});
    c.push_back({"op8 entry delay", kOp8, [](TDevice& d) { d.SetZoneDelay(2, false, 55); }, At(7), Is(55),
                 [](const TDevice& d) { return d.GetZoneDelay(2, false) == 55; }});
    c.push_back({"op8 narrow rearm on", kNarrow, [](TDevice& d) { d.SetZoneRearm(4, true); }, At(12),
                 SetBits(0x40), [](const TDevice& d) { return d.GetZoneRearm(4) == 64; }});
    c.push_back({"op8 narrow rearm off", kNarrow, [](TDevice& d) { d.SetZoneRearm(4, false); }, At(12),
                 ClearBits(0x40), [](const TDevice& d) { return d.GetZoneRearm(4) == 0; }});
    c.push_back({"op8 wide rearm on", kWide, [](TDevice& d) { d.SetZoneRearm(4, true); }, At(32),
                 SetBits(0x08), [](const TDevice& d) { return d.GetZoneRearm(4) == 8; }});
    c.push_back({"op8 wide rearm off", kWide, [](TDevice& d) { d.SetZoneRearm(4, false); }, At(32),
                 ClearBits(0x08), [](const TDevice& d) { return d.GetZoneRearm(4) == 0; }});
    c.push_back({"op8 fire recheck", kOp8, [](TDevice& d) { d.SetZoneFireReCheck(6, true); }, At(20),
                 SetBits(0x80), [](const TDevice& d) { return d.GetZoneFireReCheck(6) == 128; }});
    // --- eight-zone settings
    c.push_back({"op8 no-arm mask", kOp8, On<TDevOP8>([](TDevOP8& d) { d.SetPartNoArmMask(0x11); }),
                 Per(Op8(32, 32, 33, 33, 33)), Is(0x11), nullptr});
    c.push_back({"op8 partition dependency", kOp8, On<TDevOP8>([](TDevOP8& d) { d.SetPartDep(0x7E); }),
                 Per(Op8(33, 33, 34, 34, 34)), Is(0x7E),
                 [](const TDevice& d) { return dynamic_cast<const TDevOP8&>(d).GetPartDep() == 0x7E; }});
    const std::pair<Byte, std::map<Byte, int>> params[] = {
        {prmDevTX, Op8(34, 34, 35, 35, 35)},         {prmOPsCheck, Op8(35, 35, 36, 36, 36)},
        {prmReleAlarmFire, Op8(36, 36, 37, 37, 37)}, {prmReleCtrlFail, Op8(37, 37, 38, 38, 38)},
        {prmSysCFG, Op8(38, 38, 39, 39, 40)},        {prmSndWrkTime, Op8(39, 40, 41, 41, 42)},
        {prmLampMode, Op8(40, 41, 42, 42, 43)},
    };
    for (const auto& [index, offsets] : params) {
        const Byte i = index;
        c.push_back({"op8 param " + std::to_string(i), kOp8, [i](TDevice& d) { d.SetParam(i, 0xA7); },
                     Per(offsets), Is(0xA7), [i](const TDevice& d) { return d.GetParam(i) == 0xA7; }});
        // The eight-zone models look only at the low seven bits of the index.
        c.push_back({"op8 param high bit " + std::to_string(i), kOp8,
                     [i](TDevice& d) { d.SetParam(static_cast<Byte>(i | 0x80), 0x3C); }, Per(offsets),
                     Is(0x3C), nullptr});
    }
    const auto sys = Op8(38, 38, 39, 39, 40);
    c.push_back({"op8 buzzer on", kOp8, [](TDevice& d) { d.SetBuzzer(5); }, Per(sys), SetBits(0x80),
                 [](const TDevice& d) { return d.GetBuzzer() == 1; }});
    c.push_back({"op8 buzzer off", kOp8, [](TDevice& d) { d.SetBuzzer(0); }, Per(sys), ClearBits(0x80),
                 [](const TDevice& d) { return d.GetBuzzer() == 0; }});
    c.push_back({"op8 guard siren byte",
                 {2, 4, 10, 12, 13, 16},
                 [](TDevice& d) { d.SetGuardSnd(true); },
                 Per(Op8(-1, 39, 40, 40, 41)),
                 Is(1),
                 [](const TDevice& d) { return d.GetGuardSnd(); }});
    c.push_back({"op1 guard siren bit on",
                 {1},
                 [](TDevice& d) { d.SetGuardSnd(true); },
                 At(38),
                 SetBits(0x40),
                 [](const TDevice& d) { return d.GetGuardSnd(); }});
    c.push_back({"op1 guard siren bit",
                 {1},
                 [](TDevice& d) { d.SetGuardSnd(false); },
                 At(38),
                 ClearBits(0x40),
                 [](const TDevice& d) { return !d.GetGuardSnd(); }});
    c.push_back({"op8 bus number", kOp8, [](TDevice& d) { d.SetBusID(5); }, Per(Op8(-1, 42, 43, 43, 44)),
                 Is(5), nullptr});
    c.push_back({"op8 arm feedback", kOp8, [](TDevice& d) { d.SetArmFeedback(1); },
                 Per({{10, 39}, {13, 40}, {16, 40}}), SetBits(0x10), nullptr});
    c.push_back({"op8 arm feedback off",
                 {10, 13, 16},
                 [](TDevice& d) { d.SetArmFeedback(0); },
                 Per({{10, 39}, {13, 40}, {16, 40}}),
                 ClearBits(0x10),
                 [](const TDevice& d) { return d.GetArmFeedback() == 0; }});
    c.push_back({"op8 disarm by sms", kOp8, On<TDevOP8>([](TDevOP8& d) { d.SetDisarmBySms(1); }),
                 Per({{12, 44}, {13, 45}, {16, 45}}), Is(1), nullptr});
    c.push_back({"op8 relays by sms absent",
                 {1, 2, 4, 10},
                 On<TDevOP8>([](TDevOP8& d) {
                     d.SetReleOnGsm(0, true);
                     d.SetReleOnGsm(1, true);
                     d.SetDisarmBySms(1);
                 }),
                 At(-1),
                 nullptr,
                 [](const TDevice& d) { return !dynamic_cast<const TDevOP8&>(d).HasGsmExtras(); }});
    c.push_back({"op12 alarm relay by sms bit",
                 {12},
                 On<TDevOP8>([](TDevOP8& d) { d.SetReleOnGsm(0, false); }),
                 At(39),
                 ClearBits(0x10),
                 [](const TDevice& d) { return !dynamic_cast<const TDevOP8&>(d).GetReleOnGsm(0); }});
    c.push_back({"op12 fire relay by sms bit",
                 {12},
                 On<TDevOP8>([](TDevOP8& d) { d.SetReleOnGsm(1, true); }),
                 At(39),
                 SetBits(0x08),
                 [](const TDevice& d) { return dynamic_cast<const TDevOP8&>(d).GetReleOnGsm(1); }});
    c.push_back({"op13 alarm relay by sms bit",
                 {13, 16},
                 On<TDevOP8>([](TDevOP8& d) { d.SetReleOnGsm(0, true); }),
                 At(39),
                 SetBits(0x01),
                 [](const TDevice& d) { return dynamic_cast<const TDevOP8&>(d).GetReleOnGsm(0); }});
    c.push_back({"op13 fire relay by sms bit",
                 {13, 16},
                 On<TDevOP8>([](TDevOP8& d) { d.SetReleOnGsm(1, false); }),
                 At(39),
                 ClearBits(0x02),
                 [](const TDevice& d) { return !dynamic_cast<const TDevOP8&>(d).GetReleOnGsm(1); }});
    c.push_back({"op8 relay by sms, bad selector", kOp8,
                 On<TDevOP8>([](TDevOP8& d) { d.SetReleOnGsm(2, true); }), At(-1), nullptr,
                 [](const TDevice& d) { return !dynamic_cast<const TDevOP8&>(d).GetReleOnGsm(2); }});
    c.push_back(
        {"op8 output 3", kOp8, [](TDevice& d) { d.SetOutput(3, 0x40); }, Per({{16, 48}}), Is(0x40), nullptr});
    // --- five-zone panels
    const auto op5 = [](int v5, int v8) { return std::map<Byte, int>{{5, v5}, {9, v5}, {8, v8}}; };
    c.push_back({"op5 zone type", kOp5, [](TDevice& d) { d.SetZoneType(4, 7); }, At(6), Is(7),
                 [](const TDevice& d) { return d.GetZoneType(4) == 7; }});
    c.push_back({"op5 zone event", kOp5, [](TDevice& d) { d.SetZoneCID(4, 99); }, At(7), Is(99),
                 [](const TDevice& d) { return d.GetZoneCID(4) == 99; }});
    c.push_back({"op5 zone delay ignored", kOp5, [](TDevice& d) { d.SetZoneDelay(1, true, 9); }, At(-1),
                 nullptr,
                 [](const TDevice& d) { return d.GetZoneDelay(1, true) == 1 && d.GetZonePart(3) == 1; }});
    c.push_back({"op5 transmitter", kOp5, [](TDevice& d) { d.SetParam(prmDevTX, 2); }, Per(op5(11, 10)),
                 Is(2), [](const TDevice& d) { return d.GetParam(prmDevTX) == 2; }});
    c.push_back({"op5 siren time", kOp5, [](TDevice& d) { d.SetParam(prmSndWrkTime, 7); }, Per(op5(14, 13)),
                 Is(7), nullptr});
    c.push_back({"op5 sysCFG not held", kOp5, [](TDevice& d) { d.SetParam(prmSysCFG, 7); }, At(-1), nullptr,
                 [](const TDevice& d) { return d.GetParam(prmSysCFG) == 0; }});
    c.push_back({"op5 gsm connected", kOp5, [](TDevice& d) { d.SetGsmConnected(true); },
                 Per({{5, 10}, {9, 10}}), Is(1),
                 [](const TDevice& d) { return d.GetGsmConnected() == (d.DevType != 8); }});
    c.push_back({"op5 bus", kOp5, [](TDevice& d) { d.SetBusID(20); }, Per(op5(12, 11)), Is(20),
                 [](const TDevice& d) { return d.GetBusID() == 20; }});
    c.push_back(
        {"op5 feedback", kOp5, [](TDevice& d) { d.SetArmFeedback(1); }, Per(op5(13, 12)), Is(1), nullptr});
    c.push_back({"op5 sms control", kOp5, On<TDevOP5>([](TDevOP5& d) { d.SetGsmControl(true); }),
                 Per({{5, 15}, {9, 15}}), Is(1), nullptr});
    c.push_back({"op5 gsm events", kOp5, On<TDevOP5>([](TDevOP5& d) { d.SetGsmTx(true); }),
                 Per({{5, 16}, {9, 16}}), Is(1), nullptr});
    c.push_back({"op5 buzzer off", kOp5, [](TDevice& d) { d.SetBuzzer(0); }, Per(op5(17, 14)),
                 ClearBits(0x80), [](const TDevice& d) { return d.GetBuzzer() == 0; }});
    c.push_back({"op5 buzzer on", kOp5, [](TDevice& d) { d.SetBuzzer(1); }, Per(op5(17, 14)), SetBits(0x80),
                 [](const TDevice& d) { return d.GetBuzzer() == 1; }});
    // --- keypad
    c.push_back({"kp2 zone type", {6}, [](TDevice& d) { d.SetZoneType(2, 4); }, At(2), Is(4), nullptr});
    c.push_back({"kp2 zone event", {6}, [](TDevice& d) { d.SetZoneCID(2, 9); }, At(3), Is(9), nullptr});
    c.push_back(
        {"kp2 supervision", {6}, [](TDevice& d) { d.SetParam(prmOPsCheck, 2); }, At(4), Is(2), nullptr});
    c.push_back({"kp2 relays",
                 {6},
                 [](TDevice& d) { d.SetParam(prmReleAlarmFire, 0x32); },
                 At(5),
                 Is(0x32),
                 nullptr});
    c.push_back({"kp2 control relay not held",
                 {6},
                 [](TDevice& d) { d.SetParam(prmReleCtrlFail, 0x32); },
                 At(-1),
                 nullptr,
                 nullptr});
    c.push_back({"kp2 buzzer",
                 {6},
                 [](TDevice& d) { d.SetBuzzer(7); },
                 At(7),
                 Is(7),
                 [](const TDevice& d) { return d.GetBuzzer() == 7; }});
    c.push_back(
        {"kp2 transmitter", {6}, On<TDV6_KP2>([](TDV6_KP2& d) { d.SetUseTD(true); }), At(8), Is(1), nullptr});
    c.push_back({"kp2 gsm", {6}, [](TDevice& d) { d.SetGsmConnected(true); }, At(9), Is(1), nullptr});
    c.push_back({"kp2 sms control",
                 {6},
                 On<TDV6_KP2>([](TDV6_KP2& d) { d.SetGsmControl(false); }),
                 At(10),
                 Is(0),
                 nullptr});
    c.push_back(
        {"kp2 gsm events", {6}, On<TDV6_KP2>([](TDV6_KP2& d) { d.SetGsmTx(true); }), At(11), Is(1), nullptr});
    // --- control centres
    const std::vector<Byte> cnc = {3, 11, 17, 7, 18};
    c.push_back(
        {"cnc supervision", cnc, [](TDevice& d) { d.SetParam(prmOPsCheck, 2); }, At(0), Is(2), nullptr});
    c.push_back({"cnc relays", cnc, [](TDevice& d) { d.SetParam(prmReleAlarmFire, 0x45); }, At(1), Is(0x45),
                 nullptr});
    c.push_back({"cnc control relay", cnc, [](TDevice& d) { d.SetParam(prmReleCtrlFail, 0x20); }, At(2),
                 Is(0x20), nullptr});
    c.push_back({"cnc index compared whole", cnc, [](TDevice& d) { d.SetParam(prmOPsCheck | 0x80, 2); },
                 At(-1), nullptr, nullptr});
    c.push_back({"cnc buzzer", cnc, [](TDevice& d) { d.SetBuzzer(9); }, At(3), Is(9), nullptr});
    c.push_back({"cnc zones fixed", cnc,
                 [](TDevice& d) {
                     d.SetZoneType(1, 5);
                     d.SetZoneCID(2, 5);
                     d.SetZonePart(1, 3);
                     d.SetZoneDelay(1, true, 3);
                 },
                 At(-1), nullptr,
                 [](const TDevice& d) {
                     return d.GetZoneType(1) == 3 && d.GetZoneCID(1) == 4 && d.GetZoneType(2) == 1 &&
                            d.GetZoneCID(7) == 29 && d.GetZoneDelay(1, false) == 0;
                 }});
    const auto cncAt = [](int c8, int c5) {
        return std::map<Byte, int>{{3, c8}, {11, c8}, {17, c8}, {7, c5}, {18, c5}};
    };
    c.push_back({"cnc transmitter", cnc, On<TDevCnc>([](TDevCnc& d) { d.SetUseTD(true); }), Per(cncAt(5, 11)),
                 Is(1), nullptr});
    c.push_back(
        {"cnc gsm", cnc, [](TDevice& d) { d.SetGsmConnected(true); }, Per(cncAt(6, 12)), Is(1), nullptr});
    c.push_back({"cnc bvi options", cnc, On<TDevCnc>([](TDevCnc& d) { d.SetBviAlarm(0x83); }),
                 Per(cncAt(7, 9)), Is(0x83), nullptr});
    c.push_back({"cnc sms control", cnc, On<TDevCnc>([](TDevCnc& d) { d.SetGsmControl(true); }),
                 Per(cncAt(9, 13)), Is(1), nullptr});
    c.push_back({"cnc gsm events", cnc, On<TDevCnc>([](TDevCnc& d) { d.SetGsmTx(true); }), Per(cncAt(10, 14)),
                 Is(1), nullptr});
    c.push_back({"cnc alarm reset", cnc, On<TDevCnc>([](TDevCnc& d) { d.SetAutoReset(10); }),
                 Per({{11, 11}, {17, 11}, {7, 15}, {18, 15}}), Is(10), nullptr});
    c.push_back({"cnc arm feedback", cnc, [](TDevice& d) { d.SetArmFeedback(1); }, Per({{7, 10}, {18, 10}}),
                 Is(1), nullptr});
    c.push_back({"cnc output 2", cnc, [](TDevice& d) { d.SetOutput(2, 9); }, Per({{17, 13}, {18, 17}}), Is(9),
                 nullptr});
    c.push_back({"cnc8 expanders", kCnc8, On<TDevCnc8>([](TDevCnc8& d) { d.SetExpanders(0x5A); }), At(4),
                 Is(0x5A), nullptr});
    c.push_back({"cnc8 expander bit", kCnc8, On<TDevCnc8>([](TDevCnc8& d) { d.SetExpanderBit(7, true); }),
                 At(4), SetBits(0x80), nullptr});
    c.push_back({"cnc8 expander bit out of range", kCnc8,
                 On<TDevCnc8>([](TDevCnc8& d) { d.SetExpanderBit(8, true); }), At(-1), nullptr, nullptr});
    c.push_back({"cnc8 bvi buttons", kCnc8, On<TDevCnc8>([](TDevCnc8& d) { d.SetBviButtons(true); }), At(8),
                 Is(1), nullptr});
    // --- retranslator
    const std::vector<Byte> ret = {15};
    c.push_back({"ret zone 2 type", ret, [](TDevice& d) { d.SetZoneType(2, 6); }, At(5), Is(6), nullptr});
    c.push_back({"ret zone 1 event", ret, [](TDevice& d) { d.SetZoneCID(1, 9); }, At(4), Is(9), nullptr});
    c.push_back(
        {"ret exit delay", ret, [](TDevice& d) { d.SetZoneDelay(2, true, 40); }, At(7), Is(40), nullptr});
    c.push_back({"ret entry delay above 99", ret, [](TDevice& d) { d.SetZoneDelay(1, false, 120); }, At(8),
                 Is(30), nullptr});
    c.push_back({"ret relays", ret, [](TDevice& d) { d.SetParam(prmReleAlarmFire, 0x12); }, At(18), Is(0x12),
                 nullptr});
    c.push_back({"ret fire relay check", ret, [](TDevice& d) { d.SetParam(prmOPsCheck, 2); }, At(19), Is(2),
                 nullptr});
    c.push_back({"ret buzzer", ret, [](TDevice& d) { d.SetBuzzer(0); }, At(0), Is(0), nullptr});
    c.push_back({"ret gsm fitted", ret, [](TDevice& d) { d.SetGsmConnected(true); }, At(12), SetBits(0x01),
                 [](const TDevice& d) { return d.GetGsmConnected(); }});
    c.push_back({"ret sms control", ret, On<TDV15_Ret>([](TDV15_Ret& d) { d.SetGsmControl(true); }), At(12),
                 SetBits(0x04), nullptr});
    c.push_back({"ret gsm events", ret, On<TDV15_Ret>([](TDV15_Ret& d) { d.SetGsmTx(false); }), At(12),
                 ClearBits(0x02), nullptr});
    c.push_back({"ret alarm lock", ret, On<TDV15_Ret>([](TDV15_Ret& d) { d.SetAlarmLock(1); }), At(1), Is(1),
                 nullptr});
    c.push_back(
        {"ret liter rx", ret, On<TDV15_Ret>([](TDV15_Ret& d) { d.SetLiterRX(8); }), At(9), Is(8), nullptr});
    c.push_back({"ret liter tx", ret, On<TDV15_Ret>([](TDV15_Ret& d) { d.SetLiterTX(25); }), At(10), Is(25),
                 nullptr});
    c.push_back({"ret led indication", ret,
                 On<TDV15_Ret>([](TDV15_Ret& d) { d.SetRelayIndication(1, true); }), At(11), SetBits(0x02),
                 nullptr});
    c.push_back({"ret tx mode", ret, On<TDV15_Ret>([](TDV15_Ret& d) { d.SetTxMode(2); }), At(13),
                 Field(0x03, 2), nullptr});
    c.push_back({"ret rs485", ret, On<TDV15_Ret>([](TDV15_Ret& d) { d.SetTx485(true); }), At(13),
                 SetBits(0x80), nullptr});
    c.push_back({"ret concierge period", ret, On<TDV15_Ret>([](TDV15_Ret& d) { d.SetKnsPeriod(32); }), At(14),
                 Is(32), nullptr});
    c.push_back({"ret stationary period", ret, On<TDV15_Ret>([](TDV15_Ret& d) { d.SetStationaryPeriod(99); }),
                 At(15), Is(99), nullptr});
    c.push_back({"ret concierge delay", ret, On<TDV15_Ret>([](TDV15_Ret& d) { d.SetKnsDelay(0); }), At(16),
                 Is(0), nullptr});
    c.push_back({"ret object relay", ret, On<TDV15_Ret>([](TDV15_Ret& d) { d.SetObjRelay(0); }), At(17),
                 Is(0), nullptr});
    return c;
}

} // namespace orv::test::fields
