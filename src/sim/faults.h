#pragma once

#include "frame/frame.h"

#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv::sim {

// One request and the reply the panel is about to send for it. A fault may change the reply
// or drop it, hold its bytes back, or make the panel leave the line.
struct TExchange {
    using Ms = std::chrono::milliseconds;

    std::span<const Byte> request;
    std::vector<Byte> reply; // empty: nothing is sent

    // Timing of the reply's bytes on top of the line's pace.
    Ms delay{};                 // before the first byte
    std::size_t pauseAfter = 0; // with pause: held back after this many bytes
    Ms pause{};
    Ms byteGap{}; // between every two bytes

    // The panel leaves the line (the simulator ends) once this many bytes of the reply are out
    // and linger has passed, so that the bytes reach the other end first.
    std::optional<std::size_t> leaveAfter{};
    Ms linger{};

    Byte Command() const { return request.size() > 2 ? request[2] : Byte{0}; }
    Byte SubCommand() const { return request.size() > 3 ? request[3] : Byte{0}; }
};

// A misbehaviour of the panel, chosen with --fault NAME[:ARG][@SUB]; with @SUB only the replies
// to frames of that sub-command are shaped.
class TFault {
public:
    virtual ~TFault() = default;
    virtual void Shape(TExchange& exchange) = 0;
    // A line that keeps sending on its own: a noise byte every so often, from the start, whatever
    // the panel answers. Nothing for the faults that only shape replies.
    virtual std::optional<std::chrono::milliseconds> ChatterEvery() const { return std::nullopt; }
};

// Makes the fault a "NAME[:ARG]" text names; nothing (and why in error) when the name is
// unknown or the argument does not suit it.
std::unique_ptr<TFault> MakeFault(std::string_view text, std::string& error);

// One line per fault: name, argument and what it does.
std::string FaultHelp();

// Puts the length into byte 1 and the checksum into the last byte.
void Reseal(std::vector<Byte>& frame);

} // namespace orv::sim
