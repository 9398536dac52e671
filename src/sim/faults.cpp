#include "faults.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <optional>

namespace orv::sim {

void Reseal(std::vector<Byte>& frame) {
    if (frame.size() >= 2) {
        frame::SealFrame(frame.data(), frame.size());
    }
}

namespace {

bool IsConfigRequest(const TExchange& e, Byte command) {
    return e.Command() == command && e.SubCommand() == frame::subConfig;
}

class Silent final : public TFault {
public:
    void Shape(TExchange& e) override { e.reply.clear(); }
};

class Partial final : public TFault {
public:
    explicit Partial(std::size_t keep) : keep_(keep) {}
    void Shape(TExchange& e) override {
        if (e.reply.size() > keep_) {
            e.reply.resize(keep_);
        }
    }

private:
    std::size_t keep_;
};

class BadChecksum final : public TFault {
public:
    void Shape(TExchange& e) override {
        if (!e.reply.empty()) {
            e.reply.back() ^= 0x01;
        }
    }
};

// A sound reply to the configuration write that does not repeat the first configuration byte.
class WrongEcho final : public TFault {
public:
    void Shape(TExchange& e) override {
        if (IsConfigRequest(e, frame::kCmdWrite) && e.reply.size() > 6) {
            e.reply[5] ^= 0xFF;
            Reseal(e.reply);
        }
    }
};

// The identification names another type code than the panel's.
class TypeByte final : public TFault {
public:
    explicit TypeByte(Byte type) : type_(type) {}
    void Shape(TExchange& e) override {
        if (IsConfigRequest(e, frame::kCmdRead) && e.reply.size() > 4) {
            e.reply[3] = type_;
            Reseal(e.reply);
        }
    }

private:
    Byte type_;
};

class NoAnswer final : public TFault {
public:
    explicit NoAnswer(Byte subCommand) : sub_(subCommand) {}
    void Shape(TExchange& e) override {
        if (e.SubCommand() == sub_) {
            e.reply.clear();
        }
    }

private:
    Byte sub_;
};

// Bytes that no frame starts with, ahead of the reply.
class Garbage final : public TFault {
public:
    explicit Garbage(std::size_t count) : count_(count) {}
    void Shape(TExchange& e) override {
        if (e.reply.empty()) {
            return;
        }
        std::vector<Byte> noise(count_);
        std::uint32_t x = 0x2545F491;
        for (Byte& b : noise) {
            x = x * 1664525 + 1013904223;
            b = static_cast<Byte>(x >> 24);
            if (b == frame::kStart) {
                b = 0x55;
            }
        }
        e.reply.insert(e.reply.begin(), noise.begin(), noise.end());
    }

private:
    std::size_t count_;
};

// More bytes after the checksum than the length byte announces.
class Overlong final : public TFault {
public:
    explicit Overlong(std::size_t count) : count_(count) {}
    void Shape(TExchange& e) override {
        if (!e.reply.empty()) {
            e.reply.insert(e.reply.end(), count_, Byte{0xA5});
        }
    }

private:
    std::size_t count_;
};

// Leaves the replies alone: the line itself brings a byte every so often.
class Chatter final : public TFault {
public:
    explicit Chatter(long ms) : every_(ms) {}
    void Shape(TExchange&) override {}
    std::optional<std::chrono::milliseconds> ChatterEvery() const override { return every_; }

private:
    std::chrono::milliseconds every_;
};

// Byte 1 says another length; the checksum still matches the bytes sent.
class LengthByte final : public TFault {
public:
    explicit LengthByte(Byte length) : length_(length) {}
    void Shape(TExchange& e) override {
        if (e.reply.size() >= 3) {
            e.reply[1] = length_;
            e.reply.back() = frame::Crc8(e.reply.data(), e.reply.size() - 1);
        }
    }

private:
    Byte length_;
};

class Delay final : public TFault {
public:
    explicit Delay(long ms) : ms_(ms) {}
    void Shape(TExchange& e) override { e.delay += ms_; }

private:
    TExchange::Ms ms_;
};

// The first two bytes (enough for the reply to count as begun), then a pause.
class Gap final : public TFault {
public:
    explicit Gap(long ms) : ms_(ms) {}
    void Shape(TExchange& e) override {
        e.pauseAfter = 2;
        e.pause = ms_;
    }

private:
    TExchange::Ms ms_;
};

class Drip final : public TFault {
public:
    explicit Drip(long ms) : ms_(ms) {}
    void Shape(TExchange& e) override { e.byteGap = ms_; }

private:
    TExchange::Ms ms_;
};

// The panel goes away after the first K bytes of a reply: the simulator ends.
class Vanish final : public TFault {
public:
    explicit Vanish(std::size_t keep) : keep_(keep) {}
    void Shape(TExchange& e) override {
        e.leaveAfter = std::min(keep_, e.reply.size());
        // Two polling periods of the protocol port, so the bytes are taken before the line goes.
        e.linger = std::chrono::milliseconds(1000);
    }

private:
    std::size_t keep_;
};

// Shapes only the replies to frames of one sub-command.
class OnlySubCommand final : public TFault {
public:
    OnlySubCommand(Byte sub, std::unique_ptr<TFault> inner) : sub_(sub), inner_(std::move(inner)) {}
    void Shape(TExchange& e) override {
        if (e.SubCommand() == sub_) {
            inner_->Shape(e);
        }
    }

private:
    Byte sub_;
    std::unique_ptr<TFault> inner_;
};

struct FaultKind {
    std::string_view name;
    std::string_view argument; // empty: takes none
    std::string_view help;
    std::optional<long> defaultArgument;
    long minArgument, maxArgument;
    std::function<bool(long)> accepts;
    std::function<std::unique_ptr<TFault>(long)> make;
};

bool Any(long) {
    return true;
}

const std::vector<FaultKind>& Kinds() {
    static const std::vector<FaultKind> kinds{
        {"silent", "", "never answers", std::nullopt, 0, 0, Any,
         [](long) { return std::make_unique<Silent>(); }},
        {"partial", "K", "sends only the first K bytes of every reply", std::nullopt, 0, 255, Any,
         [](long k) { return std::make_unique<Partial>(static_cast<std::size_t>(k)); }},
        {"bad-crc", "", "flips one bit of every reply's checksum", std::nullopt, 0, 0, Any,
         [](long) { return std::make_unique<BadChecksum>(); }},
        {"wrong-echo", "", "answers the configuration write with a changed first byte", std::nullopt, 0, 0,
         Any, [](long) { return std::make_unique<WrongEcho>(); }},
        {"unknown-type", "N", "identifies as type N, 0 or 19..127 (default 0)", 0, 0, 127,
         [](long n) { return n == 0 || n >= 19; },
         [](long n) { return std::make_unique<TypeByte>(static_cast<Byte>(n)); }},
        {"unsupported-type", "N", "identifies as type N, 14 or 128..255 (default 14)", 14, 14, 255,
         [](long n) { return n == 14 || n >= 128; },
         [](long n) { return std::make_unique<TypeByte>(static_cast<Byte>(n)); }},
        {"no-answer", "SUB", "never answers frames of sub-command SUB (1..6)", std::nullopt, 1, 6, Any,
         [](long sub) { return std::make_unique<NoAnswer>(static_cast<Byte>(sub)); }},
        {"no-objects", "", "never answers the object table (as no-answer:5)", std::nullopt, 0, 0, Any,
         [](long) { return std::make_unique<NoAnswer>(frame::subObjects); }},
        {"garbage", "N", "sends N bytes of noise before every reply", std::nullopt, 1, 255, Any,
         [](long n) { return std::make_unique<Garbage>(static_cast<std::size_t>(n)); }},
        {"overlong", "N", "sends N more bytes after every reply's checksum", std::nullopt, 1, 255, Any,
         [](long n) { return std::make_unique<Overlong>(static_cast<std::size_t>(n)); }},
        {"chatter", "MS",
         "sends a noise byte every MS milliseconds from the start, between replies and within", std::nullopt,
         1, 60'000, Any, [](long ms) { return std::make_unique<Chatter>(ms); }},
        {"length-byte", "N", "puts N into every reply's length byte (checksum kept sound)", std::nullopt, 0,
         255, Any, [](long n) { return std::make_unique<LengthByte>(static_cast<Byte>(n)); }},
        {"delay", "MS", "starts every reply MS milliseconds late", std::nullopt, 0, 60'000, Any,
         [](long ms) { return std::make_unique<Delay>(ms); }},
        {"gap", "MS", "pauses MS milliseconds after the first two bytes of every reply", std::nullopt, 0,
         60'000, Any, [](long ms) { return std::make_unique<Gap>(ms); }},
        {"drip", "MS", "sends every reply a byte at a time, MS milliseconds apart", std::nullopt, 0, 60'000,
         Any, [](long ms) { return std::make_unique<Drip>(ms); }},
        {"vanish", "K", "sends the first K bytes of a reply, then leaves the line (the simulator ends)",
         std::nullopt, 0, 255, Any,
         [](long k) { return std::make_unique<Vanish>(static_cast<std::size_t>(k)); }},
    };
    return kinds;
}

std::optional<long> ParseNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

namespace {

std::unique_ptr<TFault> MakeUnqualifiedFault(std::string_view text, std::string& error) {

    const auto colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    const bool hasArgument = colon != std::string_view::npos;
    const std::string_view argText = hasArgument ? text.substr(colon + 1) : std::string_view();
    for (const FaultKind& kind : Kinds()) {
        if (kind.name != name) {
            continue;
        }
        if (kind.argument.empty()) {
            if (hasArgument) {
                error = "fault " + std::string(name) + " takes no argument";
                return nullptr;
            }
            return kind.make(0);
        }
        std::optional<long> argument = kind.defaultArgument;
        if (hasArgument) {
            argument = ParseNumber(argText);
        }
        if (!argument || *argument < kind.minArgument || *argument > kind.maxArgument ||
            !kind.accepts(*argument)) {
            error = "fault " + std::string(name) + " needs " + std::string(kind.argument) + ": " +
                    std::string(kind.help);
            return nullptr;
        }
        return kind.make(*argument);
    }
    error = "unknown fault " + std::string(name);
    return nullptr;
}

} // namespace

std::unique_ptr<TFault> MakeFault(std::string_view text, std::string& error) {
    const auto at = text.rfind('@');
    if (at == std::string_view::npos) {
        return MakeUnqualifiedFault(text, error);
    }
    const auto sub = ParseNumber(text.substr(at + 1));
    if (!sub || *sub < 1 || *sub > 6) {
        error = "fault " + std::string(text) + ": @ needs a sub-command 1..6";
        return nullptr;
    }
    auto inner = MakeUnqualifiedFault(text.substr(0, at), error);
    if (!inner) {
        return nullptr;
    }
    if (inner->ChatterEvery()) {
        error = "fault " + std::string(text) + ": the line chatters whatever the request";
        return nullptr;
    }
    return std::make_unique<OnlySubCommand>(static_cast<Byte>(*sub), std::move(inner));
}

std::string FaultHelp() {
    std::string help;
    for (const FaultKind& kind : Kinds()) {
        std::string head = "      " + std::string(kind.name);
        if (!kind.argument.empty()) {
            head += ":" + std::string(kind.argument);
        }
        head.resize(std::max<std::size_t>(head.size() + 1, 28), ' ');
        help += head + std::string(kind.help) + "\n";
    }
    help += "      NAME[:ARG]@SUB            the fault only on replies to sub-command SUB (1..6)\n";
    return help;
}

} // namespace orv::sim
