#pragma once

#include "frame/frame.h"

#include <array>
#include <cstddef>
#include <span>
#include <stdexcept>
#include <string>

namespace orv {

// Indexes of GetParam / SetParam.
enum ParamIndex : Byte {
    prmDevTX = 0,
    prmOPsCheck = 1,
    prmSysCFG = 2,
    prmSndWrkTime = 3,
    prmLampMode = 4,
    prmReleAlarmFire = 5,
    prmReleCtrlFail = 6,
};

// Raised when a family is asked for an operation it has no body for: a programming error,
// never something bad input can reach.
class UnsupportedOperation : public std::logic_error {
public:
    UnsupportedOperation(Byte devType, const char* operation);
};

// The constant description of one device class: sizes and factory payload.
struct DeviceSpec {
    Byte code;
    Byte h; // payload start in Buf
    Byte l; // payload length
    std::span<const Byte> defaults;
};

class TDevice {
public:
    static constexpr std::size_t kBufSize = 151;

    virtual ~TDevice() = default;
    TDevice(const TDevice&) = delete;
    TDevice& operator=(const TDevice&) = delete;

    Byte GetVersion() const { return Version; }
    Byte H() const { return spec_.h; }
    Byte L() const { return spec_.l; }
    Byte FrameLength() const { return static_cast<Byte>(spec_.h + spec_.l + 1); }

    // Payload byte p (Buf index p + H); out-of-range offsets read 0 and are never written.
    Byte Payload(int p) const;
    void SetPayload(int p, Byte value);
    void SetPayloadBit(int p, int bit, bool on);
    std::span<const Byte> PayloadBytes() const { return {Buf.data() + spec_.h, spec_.l}; }

    // Zones count from 1.
    virtual Byte GetZoneType(int zone) const;
    virtual void SetZoneType(int zone, Byte type);
    virtual Byte GetZonePart(int zone) const;
    virtual void SetZonePart(int zone, Byte part);
    virtual Byte GetZoneCID(int zone) const;
    virtual void SetZoneCID(int zone, Byte code);
    virtual Byte GetZoneRearm(int zone) const;
    virtual void SetZoneRearm(int zone, bool on);
    virtual Byte GetZoneFireReCheck(int zone) const;
    virtual void SetZoneFireReCheck(int zone, bool on);
    virtual Byte GetZoneDelay(int zone, bool exit) const;
    virtual void SetZoneDelay(int zone, bool exit, Byte value);
    virtual Byte GetParam(Byte index) const;
    virtual void SetParam(Byte index, Byte value);
    virtual bool GetGsmConnected() const;
    virtual void SetGsmConnected(bool on);
    virtual Byte GetBuzzer() const;
    virtual void SetBuzzer(Byte value);
    virtual bool GetGuardSnd() const;
    virtual void SetGuardSnd(bool on);
    virtual Byte GetBusID() const;
    virtual void SetBusID(Byte value);
    virtual Byte GetArmFeedback() const;
    virtual void SetArmFeedback(Byte value);
    virtual void SetDefaults();
    virtual void LoadFromReply(ReplyView reply);
    virtual std::span<const Byte> BuildWriteFrame();
    virtual bool CheckWriteReply(ReplyView reply) const;
    virtual bool HasArmFeedback() const;

    // Output reassignment bytes of the models that have outputs (1-based); none elsewhere.
    virtual int OutputCount() const { return 0; }
    virtual Byte GetOutput(int n) const;
    virtual void SetOutput(int n, Byte value);
    virtual void SetOutputsDefault() {}

    // How many zones the family's pages and files address.
    virtual int ZoneCount() const { return 0; }

    Byte Version = 0;
    const Byte DevType;
    std::array<Byte, kBufSize> Buf{};

protected:
    explicit TDevice(const DeviceSpec& spec);
    [[noreturn]] void Unsupported(const char* operation) const;
    const DeviceSpec& Spec() const { return spec_; }

private:
    const DeviceSpec& spec_;
};

// ---------------------------------------------------------------------------------------------
// Eight-zone panels.

struct Op8Layout {
    bool wideType; // type in bits 3-6 (else 3-5, with the restore flag in bit 6)
    int rearmMask; // -1: restore flag in the zone byte
    int noArm, partDep, devTX, opsCheck, releAF, releCF;
    int releOnGsm; // -1 none, -2 bits 4 and 3 of sysCFG, else bits 0 and 1 of that byte
    int sysCFG;
    int guardSnd; // -1: bit 6 of sysCFG
    int sndTime, lamp;
    int busId;     // -1: none
    int disarmSms; // -1: none
    int outputs;   // -1: none, else offset of output 1
    int outputCount;
    bool armFeedback;
};

class TDevOP8 : public TDevice {
public:
    Byte GetZoneType(int zone) const override;
    void SetZoneType(int zone, Byte type) override;
    Byte GetZonePart(int zone) const override;
    void SetZonePart(int zone, Byte part) override;
    Byte GetZoneCID(int zone) const override;
    void SetZoneCID(int zone, Byte code) override;
    Byte GetZoneRearm(int zone) const override;
    void SetZoneRearm(int zone, bool on) override;
    Byte GetZoneFireReCheck(int zone) const override;
    void SetZoneFireReCheck(int zone, bool on) override;
    Byte GetZoneDelay(int zone, bool exit) const override;
    void SetZoneDelay(int zone, bool exit, Byte value) override;
    Byte GetParam(Byte index) const override;
    void SetParam(Byte index, Byte value) override;
    bool GetGsmConnected() const override;
    Byte GetBuzzer() const override;
    void SetBuzzer(Byte value) override;
    bool GetGuardSnd() const override;
    void SetGuardSnd(bool on) override;
    Byte GetBusID() const override;
    void SetBusID(Byte value) override;
    Byte GetArmFeedback() const override;
    void SetArmFeedback(Byte value) override;
    bool HasArmFeedback() const override { return layout_.armFeedback; }
    int OutputCount() const override { return layout_.outputCount; }
    Byte GetOutput(int n) const override;
    void SetOutput(int n, Byte value) override;
    void SetOutputsDefault() override;
    int ZoneCount() const override { return 8; }

    virtual Byte GetPartDep() const;
    virtual void SetPartDep(Byte mask);
    virtual Byte GetPartNoArmMask() const;
    virtual void SetPartNoArmMask(Byte mask);
    virtual Byte GetDisarmBySms() const;
    virtual void SetDisarmBySms(Byte value);
    virtual bool GetReleOnGsm(int which) const;
    virtual void SetReleOnGsm(int which, bool on);
    virtual bool HasGsmExtras() const { return layout_.disarmSms >= 0; }

    // Zone type codes this model offers: 0-7 or 0-8.
    int ZoneTypeCount() const { return layout_.wideType ? 9 : 8; }
    const Op8Layout& Layout() const { return layout_; }

protected:
    TDevOP8(const DeviceSpec& spec, const Op8Layout& layout);

private:
    int ZoneByte(int zone) const; // payload offset of the zone byte, -1 when out of range
    const Op8Layout& layout_;
};

class TDV1_I8 final : public TDevOP8 {
public:
    TDV1_I8();
};
class TDV2_I8 final : public TDevOP8 {
public:
    TDV2_I8();
};
class TDV4_I8 final : public TDevOP8 {
public:
    TDV4_I8();
};
class TDV10_T8 final : public TDevOP8 {
public:
    TDV10_T8();
};
class TDV12_I8 final : public TDevOP8 {
public:
    TDV12_I8();
};
class TDV13_T8 final : public TDevOP8 {
public:
    TDV13_T8();
};
class TDV16_T8X final : public TDevOP8 {
public:
    TDV16_T8X();
};

// ---------------------------------------------------------------------------------------------
// Five-zone panels.

struct Op5Layout {
    int gsmConnected; // -1: no GSM communicator
    int devTX, busId, armFeedback, sndTime;
    int gsmControl, gsmTx; // -1 with no GSM communicator
    int buzzer;            // bit 7 of this byte
};

class TDevOP5 : public TDevice {
public:
    Byte GetZoneType(int zone) const override;
    void SetZoneType(int zone, Byte type) override;
    Byte GetZonePart(int) const override { return 1; }
    Byte GetZoneCID(int zone) const override;
    void SetZoneCID(int zone, Byte code) override;
    Byte GetZoneDelay(int, bool) const override { return 1; }
    void SetZoneDelay(int, bool, Byte) override {}
    Byte GetParam(Byte index) const override;
    void SetParam(Byte index, Byte value) override;
    bool GetGsmConnected() const override;
    void SetGsmConnected(bool on) override;
    Byte GetBuzzer() const override;
    void SetBuzzer(Byte value) override;
    Byte GetBusID() const override;
    void SetBusID(Byte value) override;
    Byte GetArmFeedback() const override;
    void SetArmFeedback(Byte value) override;
    int ZoneCount() const override { return 5; }

    virtual bool GetGsmControl() const;
    virtual void SetGsmControl(bool on);
    virtual bool GetGsmTx() const;
    virtual void SetGsmTx(bool on);

    bool HasGsm() const { return layout_.gsmConnected >= 0; }
    const Op5Layout& Layout() const { return layout_; }

protected:
    TDevOP5(const DeviceSpec& spec, const Op5Layout& layout);

private:
    const Op5Layout& layout_;
};

class TDV5_T5 final : public TDevOP5 {
public:
    TDV5_T5();
};
class TDV9_T5K final : public TDevOP5 {
public:
    TDV9_T5K();
};
class TDV8_TT5 final : public TDevOP5 {
public:
    TDV8_TT5();
};

// ---------------------------------------------------------------------------------------------
// Keypad panel.

class TDV6_KP2 final : public TDevice {
public:
    TDV6_KP2();
    Byte GetZoneType(int zone) const override;
    void SetZoneType(int zone, Byte type) override;
    Byte GetZoneCID(int zone) const override;
    void SetZoneCID(int zone, Byte code) override;
    Byte GetParam(Byte index) const override;
    void SetParam(Byte index, Byte value) override;
    bool GetGsmConnected() const override;
    void SetGsmConnected(bool on) override;
    Byte GetBuzzer() const override;
    void SetBuzzer(Byte value) override;
    int ZoneCount() const override { return 2; }

    bool GetUseTD() const;
    void SetUseTD(bool on);
    bool GetGsmControl() const;
    void SetGsmControl(bool on);
    bool GetGsmTx() const;
    void SetGsmTx(bool on);
};

// ---------------------------------------------------------------------------------------------
// Control-centre panels.

struct CncLayout {
    int expanders; // one byte (TDevCnc8) or the first of five (TDevCnc5)
    int useTD, gsmConnected, bviAlarm;
    int bviButtons;  // -1: none
    int armFeedback; // -1: none
    int gsmControl, gsmTx;
    int autoReset; // -1: none
    int outputs;   // -1: none
    int outputCount;
};

class TDevCnc : public TDevice {
public:
    Byte GetZoneType(int zone) const override { return zone == 1 ? 3 : 1; }
    void SetZoneType(int, Byte) override {}
    void SetZonePart(int, Byte) override {}
    Byte GetZoneCID(int zone) const override { return zone == 1 ? 4 : 29; }
    void SetZoneCID(int, Byte) override {}
    Byte GetZoneDelay(int, bool) const override { return 0; }
    void SetZoneDelay(int, bool, Byte) override {}
    Byte GetParam(Byte index) const override;
    void SetParam(Byte index, Byte value) override;
    bool GetGsmConnected() const override;
    void SetGsmConnected(bool on) override;
    Byte GetBuzzer() const override;
    void SetBuzzer(Byte value) override;
    Byte GetArmFeedback() const override;
    void SetArmFeedback(Byte value) override;
    int OutputCount() const override { return layout_.outputCount; }
    Byte GetOutput(int n) const override;
    void SetOutput(int n, Byte value) override;
    void SetOutputsDefault() override;

    virtual bool GetUseTD() const;
    virtual void SetUseTD(bool on);
    virtual bool GetGsmControl() const;
    virtual void SetGsmControl(bool on);
    virtual bool GetGsmTx() const;
    virtual void SetGsmTx(bool on);
    virtual Byte GetBviAlarm() const;
    virtual void SetBviAlarm(Byte value);
    virtual Byte GetAutoReset() const;
    virtual void SetAutoReset(Byte value);

    bool HasAutoReset() const { return layout_.autoReset >= 0; }
    const CncLayout& CLayout() const { return layout_; }

protected:
    TDevCnc(const DeviceSpec& spec, const CncLayout& layout);

private:
    const CncLayout& layout_;
};

class TDevCnc8 : public TDevCnc {
public:
    virtual Byte GetExpanders() const;
    virtual void SetExpanders(Byte mask);
    virtual bool GetBviButtons() const;
    virtual void SetBviButtons(bool on);
    virtual void SetExpanderBit(int bit, bool on);

protected:
    using TDevCnc::TDevCnc;
};

class TDV3_C8 final : public TDevCnc8 {
public:
    TDV3_C8();
};
class TDV11_TC8 : public TDevCnc8 {
public:
    TDV11_TC8();

protected:
    TDV11_TC8(const DeviceSpec& spec, const CncLayout& layout);
};
class TDV17_TC8X final : public TDV11_TC8 {
public:
    TDV17_TC8X();
};

using ExpanderMask = std::array<Byte, 5>;

class TDevCnc5 : public TDevCnc {
public:
    virtual ExpanderMask GetExpanderMask() const;
    virtual void SetExpanderMask(const ExpanderMask& mask);
    virtual bool HasBvi() const;
    virtual std::string ExpanderMaskText() const;

protected:
    using TDevCnc::TDevCnc;
};

class TDV7_TC5 : public TDevCnc5 {
public:
    TDV7_TC5();

protected:
    TDV7_TC5(const DeviceSpec& spec, const CncLayout& layout);
};
class TDV18_TC5X final : public TDV7_TC5 {
public:
    TDV18_TC5X();
};

} // namespace orv
