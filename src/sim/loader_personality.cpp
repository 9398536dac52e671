#include "loader_personality.h"

#include "sim/hex.h"

#include <algorithm>
#include <charconv>

namespace orv::sim {

namespace {

struct FaultName {
    std::string_view name;
    TLoaderFault::Kind kind;
    std::string_view help;
};

constexpr FaultName kFaultNames[] = {
    {"nak", TLoaderFault::Refuse, "answers 0x13 (a checksum error) to block K"},
    {"mute", TLoaderFault::Mute, "never answers block K"},
};

} // namespace

std::optional<TLoaderFault> ParseLoaderFault(std::string_view text, std::string& error) {
    const auto colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    const auto kind = std::find_if(std::begin(kFaultNames), std::end(kFaultNames),
                                   [&](const FaultName& f) { return f.name == name; });
    if (kind == std::end(kFaultNames)) {
        error = "unknown loader fault " + std::string(name);
        return std::nullopt;
    }
    const std::string_view number =
        colon == std::string_view::npos ? std::string_view{} : text.substr(colon + 1);
    std::size_t block = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), block);
    if (number.empty() || ec != std::errc() || end != number.data() + number.size() || block == 0) {
        error = "loader fault " + std::string(name) + " needs a block number from 1, as " +
                std::string(name) + ":K";
        return std::nullopt;
    }
    return TLoaderFault{kind->kind, block};
}

std::string LoaderFaultHelp() {
    std::string help;
    for (const FaultName& f : kFaultNames) {
        std::string head = "      " + std::string(f.name) + ":K";
        head.resize(std::max<std::size_t>(head.size() + 2, 28), ' ');
        help += head + std::string(f.help) + "\n";
    }
    return help;
}

TLoaderPersonality::TLoaderPersonality(Options options) : options_(std::move(options)) {
    if (options_.bitsPerSecond > 0) {
        // A start bit, eight data bits and a stop bit.
        byteTime_ = std::chrono::duration_cast<TClock::duration>(std::chrono::nanoseconds(10'000'000'000) /
                                                                 options_.bitsPerSecond);
    }
    if (!options_.log.empty()) {
        log_.open(options_.log, std::ios::trunc);
    }
}

void TLoaderPersonality::OnReceive(std::span<const Byte> bytes, TLine& line) {
    const auto now = line.Now();
    lastByte_ = now;
    for (const Byte b : bytes) {
        lineFree_ = std::max(lineFree_, now) + byteTime_;
        block_.push_back(b);
        if (block_.size() >= 2 && block_.size() == 2 + (std::size_t{block_[0]} << 8 | block_[1])) {
            OnBlock(lineFree_);
        }
    }
}

void TLoaderPersonality::OnIgnored(std::span<const Byte> bytes, const std::string& why) {
    if (log_.is_open()) {
        log_ << "ignored " << ToHex(bytes) << ": " << why << std::endl;
    }
}

void TLoaderPersonality::OnBlock(TClock::time_point complete) {
    ++blocks_;
    if (log_.is_open()) {
        log_ << ToHex(block_) << std::endl;
    }
    block_.clear();
    std::optional<TLoaderFault::Kind> fault;
    for (const TLoaderFault& f : options_.faults) {
        if (f.block == blocks_) {
            fault = f.kind;
            break;
        }
    }
    if (fault == TLoaderFault::Mute) {
        return;
    }
    answers_.push_back({complete, fault == TLoaderFault::Refuse ? kRefuse : kAccept});
}

std::optional<TClock::time_point> TLoaderPersonality::NextDeadline() const {
    std::optional<TClock::time_point> next;
    if (!answers_.empty()) {
        next = answers_.front().due;
    }
    if (!block_.empty()) {
        // Counted from when the last byte would have arrived on a real line.
        const auto stale = std::max(lastByte_, lineFree_) + kStaleAfter;
        next = next ? std::min(*next, stale) : stale;
    }
    return next;
}

void TLoaderPersonality::OnTimer(TLine& line) {
    const auto now = line.Now();
    while (!answers_.empty() && answers_.front().due <= now) {
        const Byte answer = answers_.front().byte;
        answers_.pop_front();
        line.Send(std::span<const Byte>(&answer, 1));
    }
    if (!block_.empty() && std::max(lastByte_, lineFree_) + kStaleAfter <= now) {
        GiveUpPartial();
    }
}

void TLoaderPersonality::OnStop() {
    GiveUpPartial();
}

void TLoaderPersonality::GiveUpPartial() {
    if (block_.empty()) {
        return;
    }
    if (log_.is_open()) {
        log_ << "incomplete " << ToHex(block_) << std::endl;
    }
    block_.clear();
}

} // namespace orv::sim
