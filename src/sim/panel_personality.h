#pragma once

#include "sim/faults.h"
#include "sim/frame_receiver.h"
#include "sim/panel.h"
#include "sim/personality.h"

#include <deque>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace orv::sim {

// The panel's pace on the line.
struct TPanelTiming {
    // The line's rate: a request counts as in once its last byte would have come down the line,
    // and only then is it answered. 0: as soon as it is read.
    int bitsPerSecond = 0;
    // What arrives sooner than this after the panel's last byte sent is lost.
    std::chrono::milliseconds deafAfterReply{};
};

// A control panel in service mode: answers every sound frame through its model, shaped by the
// chosen faults. It may be deaf for a while after it sent its last byte, as a busy
// microcontroller is: what arrives then is lost. Optionally logs each frame received (its bytes
// in hex, when its first byte came and how long after the panel's last byte) and what it
// ignored, and writes its state after every write and when it stops.
class TPanelPersonality final : public TPersonality {
public:
    struct Files {
        std::string log;
        std::string dump;
    };

    TPanelPersonality(TPanelState state, std::vector<std::unique_ptr<TFault>> faults, Files files,
                      TPanelTiming timing = {});

    void OnReceive(std::span<const Byte> bytes, TLine& line) override;
    void OnIgnored(std::span<const Byte> bytes, const std::string& why) override;
    std::optional<TClock::time_point> NextDeadline() const override;
    void OnTimer(TLine& line) override;
    void OnStop() override;

    const TPanelState& State() const { return model_.State(); }

private:
    // Reply bytes held back by a fault, due at a time of their own; leave: the panel then
    // leaves the line.
    struct Held {
        TClock::time_point due;
        std::vector<Byte> bytes;
        bool leave = false;
    };

    void OnFrame(std::span<const Byte> frame, TLine& line);
    // Bytes from now on belong to a new frame.
    void MarkFrameStart(const TLine& line);
    void Schedule(const TExchange& exchange, TClock::time_point start);
    void SendDue(TLine& line);
    void Dump() const;

    TPanelModel model_;
    TFrameReceiver receiver_;
    std::vector<std::unique_ptr<TFault>> faults_;
    Files files_;
    std::ofstream log_;
    std::deque<Held> held_;
    bool left_ = false;
    TPanelTiming timing_;
    TClock::duration byteTime_{};
    TClock::time_point lineFree_{}; // when the last byte read would have come down the line
    TClock::time_point start_ = TClock::now();
    // A chattering line's next noise byte.
    std::optional<TClock::duration> chatterEvery_;
    TClock::time_point nextChatter_{};
    // The frame being received: when its first byte came, and how long after the last byte sent.
    TClock::time_point frameStart_{};
    std::optional<TClock::duration> frameQuiet_;
};

} // namespace orv::sim
