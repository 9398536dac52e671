#include "panel_personality.h"

#include "sim/hex.h"
#include "sim/state_file.h"

namespace orv::sim {

TPanelPersonality::TPanelPersonality(TPanelState state, std::vector<std::unique_ptr<TFault>> faults,
                                     Files files)
    : model_(std::move(state)), faults_(std::move(faults)), files_(std::move(files)) {
    if (!files_.log.empty()) {
        log_.open(files_.log, std::ios::trunc);
    }
    Dump();
}

void TPanelPersonality::OnReceive(std::span<const Byte> bytes, TLine& line) {
    receiver_.Feed(bytes, line.Now(), [&](std::span<const Byte> frame) { OnFrame(frame, line); });
}

void TPanelPersonality::OnTimer(TLine& line) {
    receiver_.Expire(line.Now(), [&](std::span<const Byte> frame) { OnFrame(frame, line); });
}

void TPanelPersonality::OnStop() {
    Dump();
}

void TPanelPersonality::OnFrame(std::span<const Byte> frame, TLine& line) {
    if (log_.is_open()) {
        log_ << ToHex(frame) << std::endl;
    }
    auto answer = model_.Handle(frame);
    // Stored before the reply leaves, so whoever sees the reply finds the state on disk.
    if (answer.stored) {
        Dump();
    }
    TExchange exchange{frame, std::move(answer.reply)};
    for (const auto& fault : faults_) {
        fault->Shape(exchange);
    }
    if (!exchange.reply.empty()) {
        line.Send(exchange.reply);
    }
}

void TPanelPersonality::Dump() const {
    if (!files_.dump.empty()) {
        WriteStateFile(files_.dump, model_.State());
    }
}

} // namespace orv::sim
