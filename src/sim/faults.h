#pragma once

#include "link/frame.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv::sim {

// One request and the reply the panel is about to send for it. A fault may change the reply
// or drop it. Faults that need more than the bytes (timing of the bytes, leaving the line) add
// their fields here.
struct TExchange {
    std::span<const Byte> request;
    std::vector<Byte> reply; // empty: nothing is sent

    Byte Command() const { return request.size() > 2 ? request[2] : Byte{0}; }
    Byte SubCommand() const { return request.size() > 3 ? request[3] : Byte{0}; }
};

// A misbehaviour of the panel, chosen with --fault NAME[:ARG].
class TFault {
public:
    virtual ~TFault() = default;
    virtual void Shape(TExchange& exchange) = 0;
};

// Makes the fault a "NAME[:ARG]" text names; nothing (and why in error) when the name is
// unknown or the argument does not suit it.
std::unique_ptr<TFault> MakeFault(std::string_view text, std::string& error);

// One line per fault: name, argument and what it does.
std::string FaultHelp();

// Puts the length into byte 1 and the checksum into the last byte.
void Reseal(std::vector<Byte>& frame);

} // namespace orv::sim
