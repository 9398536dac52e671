#pragma once

#include "sim/personality.h"

#include <deque>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::sim {

// A misbehaviour of the loader towards one block, chosen with --fault NAME:K in loader mode.
// Blocks count from 1 over the simulator's whole run.
struct TLoaderFault {
    enum Kind { Refuse, Mute };
    Kind kind = Refuse;
    std::size_t block = 1;
};

// Reads "nak:K" or "mute:K"; nothing (and why in error) otherwise.
std::optional<TLoaderFault> ParseLoaderFault(std::string_view text, std::string& error);

// One line per loader fault, for the usage text.
std::string LoaderFaultHelp();

// A panel's firmware loader: takes blocks of two length bytes (high byte first) and that many
// payload bytes, and answers each complete block with 0x11. The bytes are taken at the line's
// pace, so a block is complete only when its last byte would have come down a real line.
// Optionally logs each block received as a hex line, and, as "incomplete HEX", bytes that never
// made a whole block (given up after a second without more, or left when the simulator stops);
// bytes it could not make out as "ignored HEX: why".
class TLoaderPersonality final : public TPersonality {
public:
    static constexpr Byte kAccept = 0x11;
    static constexpr Byte kRefuse = 0x13;
    static constexpr auto kStaleAfter = std::chrono::seconds(1);

    struct Options {
        int bitsPerSecond = 115200; // 0: bytes count as arrived when they are read
        std::string log;
        std::vector<TLoaderFault> faults;
    };

    explicit TLoaderPersonality(Options options);

    void OnReceive(std::span<const Byte> bytes, TLine& line) override;
    void OnIgnored(std::span<const Byte> bytes, const std::string& why) override;
    std::optional<TClock::time_point> NextDeadline() const override;
    void OnTimer(TLine& line) override;
    void OnStop() override;

    std::size_t BlocksReceived() const { return blocks_; }

private:
    struct Answer {
        TClock::time_point due;
        Byte byte;
    };

    void OnBlock(TClock::time_point complete);
    void GiveUpPartial();

    Options options_;
    TClock::duration byteTime_{};
    std::ofstream log_;

    std::vector<Byte> block_; // the block being received, length bytes included
    TClock::time_point lineFree_{};
    TClock::time_point lastByte_{};
    std::size_t blocks_ = 0;
    std::deque<Answer> answers_;
};

} // namespace orv::sim
