#pragma once

#include "sim/frame_receiver.h"

#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace orv::sim {

// How the program has set up its end of the line: what a UART at the panel's end would have to
// match to make out the bytes.
struct TLineSettings {
    int bitsPerSecond = 0; // 0: a rate the terminal does not name
    int dataBits = 8;
    char parity = 'N'; // N, O, E, M or S
    int stopBits = 1;

    std::string Text() const; // as "9600 8N1"
    friend bool operator==(const TLineSettings&, const TLineSettings&) = default;
};

// The panel's end of a pseudo-terminal in raw mode. The simulator keeps the other end open
// as well, so that the line stays up while the program under test closes and reopens its port.
// What is sent leaves at the pace of the line's bit rate (ten bit times a byte) unless pacing
// is off.
class TPtyLink {
public:
    static std::unique_ptr<TPtyLink> Open(std::string& error);
    ~TPtyLink();
    TPtyLink(const TPtyLink&) = delete;
    TPtyLink& operator=(const TPtyLink&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int Fd() const { return master_; }

    // 0 sends everything at once.
    void SetBitRate(int bitsPerSecond);

    // The line as the program's end has set it. A pseudo-terminal keeps the rate, the stop bits
    // and odd or mark/space parity; it always reads 8 data bits and drops the parity enable,
    // so even parity and shorter characters cannot be seen here (a port refuses them on a
    // pseudo-terminal anyway).
    std::optional<TLineSettings> Settings() const;
    // Why a UART at rate bitsPerSecond, 8N1, cannot make out what arrives now; nothing when it can.
    std::optional<std::string> Mismatch(int bitsPerSecond) const;

    void Queue(std::span<const Byte> bytes, TClock::time_point now);
    bool Pending() const { return !queue_.empty(); }

    // Writes what is due by now; returns when the next byte is due, nothing when all is sent.
    std::optional<TClock::time_point> Flush(TClock::time_point now);

    // When the last byte was sent; nothing before the first.
    std::optional<TClock::time_point> LastSent() const { return lastSent_; }

    // What has arrived, without waiting; 0 when nothing.
    std::size_t Read(Byte* buffer, std::size_t capacity);

private:
    TPtyLink(int master, int slave, std::string path);
    std::size_t WriteSome(std::size_t count);

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    std::deque<Byte> queue_;
    TClock::duration byteTime_{};
    TClock::time_point nextDue_{};
    std::optional<TClock::time_point> lastSent_;
};

} // namespace orv::sim
