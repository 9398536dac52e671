#pragma once

#include "device.h"
#include "sms_list.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace orv {

// One retransmitted object: type in bits 1..0 of byte 0, number bits 17..16 in its bits 7..6,
// then bits 15..8 and 7..0.
using ObjectRecord = std::array<Byte, 3>;

enum ObjectType : Byte { objOff = 0, objButton = 1, objMirel = 2, objConcierge = 3 };

// Transmitter number <-> record helpers shared by the objects dialog and files.
std::uint32_t ObjectNumber(const ObjectRecord& record);
ObjectRecord MakeObjectRecord(std::uint32_t number, Byte type);
// The number as the objects dialog shows it: hexadecimal, empty while the object is off.
std::string ObjectNumberText(const ObjectRecord& record);
// A number typed in hexadecimal; nothing when the text is empty or holds anything else.
std::optional<std::uint32_t> ObjectNumberFromText(std::string_view text);

class TDV15_Ret final : public TDevice {
public:
    static constexpr int kObjects = 32;
    static constexpr std::size_t kObjectFrameLength = 102;

    TDV15_Ret();

    Byte GetZoneType(int zone) const override;
    void SetZoneType(int zone, Byte type) override;
    Byte GetZonePart(int) const override { return 1; }
    Byte GetZoneCID(int zone) const override;
    void SetZoneCID(int zone, Byte code) override;
    Byte GetZoneDelay(int zone, bool exit) const override;
    void SetZoneDelay(int zone, bool exit, Byte value) override;
    Byte GetParam(Byte index) const override;
    void SetParam(Byte index, Byte value) override;
    bool GetGsmConnected() const override;
    void SetGsmConnected(bool on) override;
    Byte GetBuzzer() const override;
    void SetBuzzer(Byte value) override;
    void SetDefaults() override;
    std::span<const Byte> BuildWriteFrame() override;
    int ZoneCount() const override { return 2; }

    Byte GetAlarmLock() const { return Payload(1); }
    void SetAlarmLock(Byte v) { SetPayload(1, v); }
    Byte GetLiterRX() const { return Payload(9); }
    void SetLiterRX(Byte v) { SetPayload(9, v); }
    Byte GetLiterTX() const { return Payload(10); }
    void SetLiterTX(Byte v) { SetPayload(10, v); }
    bool GetRelayIndication(int bit) const;
    void SetRelayIndication(int bit, bool on);
    bool GetGsmControl() const;
    void SetGsmControl(bool on);
    bool GetGsmTx() const;
    void SetGsmTx(bool on);
    Byte GetTxMode() const { return Payload(13) & 0x03; }
    void SetTxMode(Byte mode);
    bool GetTx485() const { return Payload(13) & 0x80; }
    void SetTx485(bool on) { SetPayloadBit(13, 7, on); }
    Byte GetTxByte() const { return Payload(13); }
    void SetTxByte(Byte v) { SetPayload(13, v); }
    Byte GetKnsPeriod() const { return Payload(14); }
    void SetKnsPeriod(Byte v) { SetPayload(14, v); }
    Byte GetStationaryPeriod() const { return Payload(15); }
    void SetStationaryPeriod(Byte v) { SetPayload(15, v); }
    Byte GetKnsDelay() const { return Payload(16); }
    void SetKnsDelay(Byte v) { SetPayload(16, v); }
    Byte GetObjRelay() const { return Payload(17); }
    void SetObjRelay(Byte v) { SetPayload(17, v); }

    ObjectRecord GetObject(int object) const;
    void SetObject(int object, const ObjectRecord& record);
    int ObjectCount() const;
    std::string ObjectCountText() const;
    std::string ObjectNumberText(int object) const;
    bool SetObjectFromText(int object, const std::string& text, Byte type);
    void ClearObjects();
    std::array<Byte, kObjectFrameLength> BuildObjectFrame() const;
    void LoadObjects(ReplyView reply);

    T_SMS_List& Sms() { return sms_; }
    const T_SMS_List& Sms() const { return sms_; }

private:
    std::array<ObjectRecord, kObjects> objects_{};
    T_SMS_List sms_;
};

} // namespace orv
