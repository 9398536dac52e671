#pragma once

#include "sim/frame_receiver.h"

#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace orv::sim {

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

    void Queue(std::span<const Byte> bytes, TClock::time_point now);
    bool Pending() const { return !queue_.empty(); }

    // Writes what is due by now; returns when the next byte is due, nothing when all is sent.
    std::optional<TClock::time_point> Flush(TClock::time_point now);

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
};

} // namespace orv::sim
