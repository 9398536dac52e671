#pragma once

#include "device/sms_list.h"
#include "frame/frame.h"

#include <array>
#include <span>
#include <string>
#include <vector>

namespace orv::sim {

// What a simulated panel holds. The GSM, GPRS and SMS blocks are kept as frame data: the bytes
// from offset 4 up to the checksum.
struct TPanelState {
    static constexpr std::size_t kObjectBytes = 96;
    static constexpr std::size_t kSmsRecords = 40;

    Byte type = 1;
    Byte version = 1;
    std::vector<Byte> config; // the configuration bytes of the type
    std::array<Byte, kObjectBytes> objects{};
    std::vector<Byte> gsm;
    std::vector<Byte> gprs;
    std::vector<Byte> sms;
    std::array<SmsRecord, kSmsRecords> smsRecords{};

    // The retranslator's list as the panel would send it: records before the first empty one.
    std::size_t SmsRecordCount() const;
};

// Where the configuration starts in a write frame of the type, and how many bytes it has.
struct TConfigLayout {
    std::size_t start;
    std::size_t length;
};
TConfigLayout ConfigLayout(Byte type);

// A panel of the type as it leaves the factory: default configuration, device number 1 and no
// directions, no GPRS settings, an empty SMS list and no objects.
TPanelState DefaultPanelState(Byte type, Byte version);

// Synthetic content for tests: object k (from 1) of the first count, SMS record k of the first
// count; both depend only on k.
void FillObjects(TPanelState& state, std::size_t count);
void FillSmsRecords(TPanelState& state, std::size_t count);

// The panel's protocol: answers a sound frame, keeping what is written.
class TPanelModel {
public:
    explicit TPanelModel(TPanelState state) : state_(std::move(state)) {}

    const TPanelState& State() const { return state_; }

    struct Answer {
        std::vector<Byte> reply; // empty: the frame is not one the panel answers
        bool stored = false;     // the frame changed what the panel holds
    };
    Answer Handle(std::span<const Byte> frame);

private:
    std::vector<Byte> ReadReply(Byte subCommand, Byte page) const;
    Answer Write(std::span<const Byte> frame);
    std::vector<Byte> ConfigReply() const;

    TPanelState state_;
};

} // namespace orv::sim
