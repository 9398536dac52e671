#pragma once

#include "sim/frame_receiver.h"

#include <optional>
#include <span>
#include <string>

namespace orv::sim {

// What a personality may do with the line.
class TLine {
public:
    virtual ~TLine() = default;
    virtual void Send(std::span<const Byte> bytes) = 0;
    virtual TClock::time_point Now() const = 0;
    // When the panel's last byte went out on the line; nothing before the first.
    virtual std::optional<TClock::time_point> LastSent() const { return std::nullopt; }
    // Leave the line once everything sent so far is out: the simulator ends.
    virtual void Leave() = 0;
};

// The behaviour behind the simulated line: the panel's protocol, and later others (such as a
// firmware loader). The simulator feeds it what arrives and wakes it at its deadlines.
class TPersonality {
public:
    virtual ~TPersonality() = default;

    virtual void OnReceive(std::span<const Byte> bytes, TLine& line) = 0;
    // Bytes that arrived while the line was set up in a way this end cannot hear.
    virtual void OnIgnored(std::span<const Byte> /*bytes*/, const std::string& /*why*/) {}

    // When OnTimer wants to run next; nothing while it waits for bytes only.
    virtual std::optional<TClock::time_point> NextDeadline() const { return std::nullopt; }
    virtual void OnTimer(TLine& /*line*/) {}

    // The simulator is stopping.
    virtual void OnStop() {}
};

} // namespace orv::sim
