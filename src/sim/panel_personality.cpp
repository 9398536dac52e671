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

std::optional<TClock::time_point> TPanelPersonality::NextDeadline() const {
    auto deadline = receiver_.NextDeadline();
    if (!held_.empty() && (!deadline || held_.front().due < *deadline)) {
        deadline = held_.front().due;
    }
    return deadline;
}

void TPanelPersonality::OnTimer(TLine& line) {
    SendDue(line);
    if (const auto due = receiver_.NextDeadline(); due && *due <= line.Now()) {
        receiver_.Expire(line.Now(), [&](std::span<const Byte> frame) { OnFrame(frame, line); });
    }
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
    if (left_) {
        return;
    }
    TExchange exchange;
    exchange.request = frame;
    exchange.reply = std::move(answer.reply);
    for (const auto& fault : faults_) {
        fault->Shape(exchange);
    }
    const bool timed = exchange.delay.count() > 0 || exchange.pause.count() > 0 ||
                       exchange.byteGap.count() > 0 || exchange.leaveAfter || !held_.empty();
    if (!timed) {
        if (!exchange.reply.empty()) {
            line.Send(exchange.reply);
        }
        return;
    }
    Schedule(exchange, line.Now());
    SendDue(line);
}

// Cuts the reply into the pieces the fault's timing asks for, after whatever is still held.
void TPanelPersonality::Schedule(const TExchange& e, TClock::time_point now) {
    TClock::time_point at = held_.empty() ? now : std::max(now, held_.back().due);
    at += e.delay;
    const std::size_t end = e.leaveAfter ? std::min(*e.leaveAfter, e.reply.size()) : e.reply.size();
    std::size_t i = 0;
    while (i < end) {
        std::size_t piece = end - i;
        if (e.byteGap.count() > 0) {
            piece = 1;
        }
        if (e.pause.count() > 0 && i < e.pauseAfter) {
            piece = std::min(piece, e.pauseAfter - i);
        }
        held_.push_back({at, std::vector<Byte>(e.reply.begin() + static_cast<std::ptrdiff_t>(i),
                                               e.reply.begin() + static_cast<std::ptrdiff_t>(i + piece))});
        i += piece;
        if (e.byteGap.count() > 0) {
            at += e.byteGap;
        }
        if (e.pause.count() > 0 && i == e.pauseAfter) {
            at += e.pause;
        }
    }
    if (e.leaveAfter) {
        held_.push_back({at + e.linger, {}, true});
    }
}

void TPanelPersonality::SendDue(TLine& line) {
    while (!held_.empty() && held_.front().due <= line.Now()) {
        Held piece = std::move(held_.front());
        held_.pop_front();
        if (!piece.bytes.empty()) {
            line.Send(piece.bytes);
        }
        if (piece.leave) {
            held_.clear();
            left_ = true;
            line.Leave();
            return;
        }
    }
}

void TPanelPersonality::Dump() const {
    if (!files_.dump.empty()) {
        WriteStateFile(files_.dump, model_.State());
    }
}

} // namespace orv::sim
