#pragma once

#include "sim/frame_receiver.h"

#include <optional>
#include <span>

namespace orv::sim {

// What a personality may do with the line.
class TLine {
public:
    virtual ~TLine() = default;
    virtual void Send(std::span<const Byte> bytes) = 0;
    virtual TClock::time_point Now() const = 0;
    // Leave the line once everything sent so far is out: the simulator ends.
    virtual void Leave() = 0;
};

// The behaviour behind the simulated line: the panel's protocol, and later others (such as a
// firmware loader). The simulator feeds it what arrives and wakes it at its deadlines.
class TPersonality {
public:
    virtual ~TPersonality() = default;

    virtual void OnReceive(std::span<const Byte> bytes, TLine& line) = 0;

    // When OnTimer wants to run next; nothing while it waits for bytes only.
    virtual std::optional<TClock::time_point> NextDeadline() const { return std::nullopt; }
    virtual void OnTimer(TLine& /*line*/) {}

    // The simulator is stopping.
    virtual void OnStop() {}
};

} // namespace orv::sim
