#include "panel_personality.h"

#include "sim/hex.h"
#include "sim/state_file.h"

#include <algorithm>
#include <cstdio>

namespace orv::sim {

namespace {

std::string Milliseconds(TClock::duration d) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", std::chrono::duration<double, std::milli>(d).count());
    return text;
}

} // namespace

TPanelPersonality::TPanelPersonality(TPanelState state, std::vector<std::unique_ptr<TFault>> faults,
                                     Files files, TPanelTiming timing)
    : model_(std::move(state)), faults_(std::move(faults)), files_(std::move(files)), timing_(timing) {
    if (timing_.bitsPerSecond > 0) {
        // A start bit, eight data bits and a stop bit.
        byteTime_ = std::chrono::duration_cast<TClock::duration>(std::chrono::nanoseconds(10'000'000'000) /
                                                                 timing_.bitsPerSecond);
    }
    if (!files_.log.empty()) {
        log_.open(files_.log, std::ios::trunc);
    }
    for (const auto& fault : faults_) {
        if (const auto every = fault->ChatterEvery()) {
            chatterEvery_ = chatterEvery_ ? std::min<TClock::duration>(*chatterEvery_, *every) : *every;
        }
    }
    if (chatterEvery_) {
        nextChatter_ = start_ + *chatterEvery_;
    }
    Dump();
}

void TPanelPersonality::OnReceive(std::span<const Byte> bytes, TLine& line) {
    const auto sent = line.LastSent();
    const auto deaf = timing_.deafAfterReply;
    if (deaf.count() > 0 && sent && line.Now() < *sent + deaf) {
        OnIgnored(bytes, "deaf for " + std::to_string(deaf.count()) + " ms after a reply, " +
                             Milliseconds(line.Now() - *sent) + " ms passed");
        return;
    }
    lineFree_ = std::max(lineFree_, line.Now()) + byteTime_ * static_cast<long>(bytes.size());
    if (receiver_.Buffered() == 0) {
        MarkFrameStart(line);
    }
    receiver_.Feed(bytes, line.Now(), [&](std::span<const Byte> frame) {
        OnFrame(frame, line);
        MarkFrameStart(line);
    });
}

void TPanelPersonality::MarkFrameStart(const TLine& line) {
    frameStart_ = line.Now();
    const auto sent = line.LastSent();
    frameQuiet_ = sent ? std::optional(frameStart_ - *sent) : std::nullopt;
}

void TPanelPersonality::OnIgnored(std::span<const Byte> bytes, const std::string& why) {
    if (log_.is_open()) {
        log_ << "ignored " << ToHex(bytes) << ": " << why << std::endl;
    }
}

std::optional<TClock::time_point> TPanelPersonality::NextDeadline() const {
    auto deadline = receiver_.NextDeadline();
    if (!held_.empty() && (!deadline || held_.front().due < *deadline)) {
        deadline = held_.front().due;
    }
    if (chatterEvery_ && !left_ && (!deadline || nextChatter_ < *deadline)) {
        deadline = nextChatter_;
    }
    return deadline;
}

void TPanelPersonality::OnTimer(TLine& line) {
    if (chatterEvery_ && !left_ && nextChatter_ <= line.Now()) {
        // Not a frame start: noise, not a reply.
        const Byte noise = 0x55;
        line.Send(std::span<const Byte>(&noise, 1));
        nextChatter_ = std::max(nextChatter_ + *chatterEvery_, line.Now());
    }
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
        log_ << ToHex(frame) << " at=" << Milliseconds(frameStart_ - start_);
        if (frameQuiet_) {
            log_ << " quiet=" << Milliseconds(*frameQuiet_);
        }
        log_ << std::endl;
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
    // Not answered before the request is all in on a real line.
    const TClock::time_point start = std::max(line.Now(), lineFree_);
    const bool timed = exchange.delay.count() > 0 || exchange.pause.count() > 0 ||
                       exchange.byteGap.count() > 0 || exchange.leaveAfter || !held_.empty() ||
                       start > line.Now();
    if (!timed) {
        if (!exchange.reply.empty()) {
            line.Send(exchange.reply);
        }
        return;
    }
    Schedule(exchange, start);
    SendDue(line);
}

// Cuts the reply into the pieces the fault's timing asks for, after whatever is still held.
void TPanelPersonality::Schedule(const TExchange& e, TClock::time_point start) {
    TClock::time_point at = held_.empty() ? start : std::max(start, held_.back().due);
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
