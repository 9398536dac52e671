#include "simulator.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>
#include <poll.h>

namespace orv::sim {

namespace {

class Line final : public TLine {
public:
    explicit Line(TPtyLink& link) : link_(link) {}
    void Send(std::span<const Byte> bytes) override { link_.Queue(bytes, Now()); }
    TClock::time_point Now() const override { return TClock::now(); }
    std::optional<TClock::time_point> LastSent() const override { return link_.LastSent(); }
    void Leave() override { leaving_ = true; }
    bool Left() const { return leaving_ && !link_.Pending(); }

private:
    TPtyLink& link_;
    bool leaving_ = false;
};

std::optional<TClock::time_point> Earliest(std::optional<TClock::time_point> a,
                                           std::optional<TClock::time_point> b) {
    if (!a) {
        return b;
    }
    if (!b) {
        return a;
    }
    return std::min(*a, *b);
}

// To the microsecond: at 115200 bit/s a byte takes 87 us, and a wait rounded up to whole
// milliseconds would hold each answer back by up to one.
std::optional<timespec> Timeout(std::optional<TClock::time_point> deadline) {
    if (!deadline) {
        return std::nullopt;
    }
    const auto left =
        std::clamp<TClock::duration>(*deadline - TClock::now(), TClock::duration{}, std::chrono::seconds(60));
    const auto seconds = std::chrono::floor<std::chrono::seconds>(left);
    timespec t{};
    t.tv_sec = static_cast<time_t>(seconds.count());
    t.tv_nsec =
        static_cast<long>(std::chrono::ceil<std::chrono::microseconds>(left - seconds).count() * 1000);
    if (t.tv_nsec >= 1'000'000'000) {
        t.tv_sec += 1;
        t.tv_nsec -= 1'000'000'000;
    }
    return t;
}

} // namespace

int RunSimulator(TPtyLink& link, TPersonality& personality, int stopFd, int lineBitsPerSecond) {
    Line line(link);
    std::array<Byte, 4096> buffer{};
    for (;;) {
        const auto sendDue = link.Flush(TClock::now());
        if (line.Left()) {
            break;
        }
        auto personalDue = personality.NextDeadline();
        if (personalDue && *personalDue <= TClock::now()) {
            personality.OnTimer(line);
            continue;
        }
        std::array<pollfd, 2> fds{{{link.Fd(), POLLIN, 0}, {stopFd, POLLIN, 0}}};
        const auto timeout = Timeout(Earliest(sendDue, personalDue));
        const int ready = ::ppoll(fds.data(), fds.size(), timeout ? &*timeout : nullptr, nullptr);
        if (ready < 0 && errno != EINTR) {
            personality.OnStop();
            return 1;
        }
        if (fds[1].revents != 0) {
            break;
        }
        if (fds[0].revents & POLLIN) {
            const std::size_t n = link.Read(buffer.data(), buffer.size());
            if (n == 0) {
                continue;
            }
            const std::span<const Byte> bytes(buffer.data(), n);
            // A UART set to another rate or framing than the program's makes out nothing.
            if (const auto why = link.Mismatch(lineBitsPerSecond)) {
                personality.OnIgnored(bytes, *why);
            } else {
                personality.OnReceive(bytes, line);
            }
        }
    }
    personality.OnStop();
    return 0;
}

} // namespace orv::sim
