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

// A control panel in service mode: answers every sound frame through its model, shaped by the
// chosen faults. Optionally logs each frame received (one hex line) and writes its state after
// every write and when it stops.
class TPanelPersonality final : public TPersonality {
public:
    struct Files {
        std::string log;
        std::string dump;
    };

    TPanelPersonality(TPanelState state, std::vector<std::unique_ptr<TFault>> faults, Files files);

    void OnReceive(std::span<const Byte> bytes, TLine& line) override;
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
    void Schedule(const TExchange& exchange, TClock::time_point now);
    void SendDue(TLine& line);
    void Dump() const;

    TPanelModel model_;
    TFrameReceiver receiver_;
    std::vector<std::unique_ptr<TFault>> faults_;
    Files files_;
    std::ofstream log_;
    std::deque<Held> held_;
    bool left_ = false;
};

} // namespace orv::sim
