#pragma once

#include "sim/faults.h"
#include "sim/frame_receiver.h"
#include "sim/panel.h"
#include "sim/personality.h"

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
    std::optional<TClock::time_point> NextDeadline() const override { return receiver_.NextDeadline(); }
    void OnTimer(TLine& line) override;
    void OnStop() override;

    const TPanelState& State() const { return model_.State(); }

private:
    void OnFrame(std::span<const Byte> frame, TLine& line);
    void Dump() const;

    TPanelModel model_;
    TFrameReceiver receiver_;
    std::vector<std::unique_ptr<TFault>> faults_;
    Files files_;
    std::ofstream log_;
};

} // namespace orv::sim
