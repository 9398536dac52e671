#include "simulator.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <poll.h>

namespace orv::sim {

namespace {

class Line final : public TLine {
public:
    explicit Line(TPtyLink& link) : link_(link) {}
    void Send(std::span<const Byte> bytes) override { link_.Queue(bytes, Now()); }
    TClock::time_point Now() const override { return TClock::now(); }
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

int TimeoutMs(std::optional<TClock::time_point> deadline) {
    if (!deadline) {
        return -1;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - TClock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

} // namespace

int RunSimulator(TPtyLink& link, TPersonality& personality, int stopFd) {
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
        const int ready = ::poll(fds.data(), fds.size(), TimeoutMs(Earliest(sendDue, personalDue)));
        if (ready < 0 && errno != EINTR) {
            personality.OnStop();
            return 1;
        }
        if (fds[1].revents != 0) {
            break;
        }
        if (fds[0].revents & POLLIN) {
            const std::size_t n = link.Read(buffer.data(), buffer.size());
            if (n > 0) {
                personality.OnReceive(std::span<const Byte>(buffer.data(), n), line);
            }
        }
    }
    personality.OnStop();
    return 0;
}

} // namespace orv::sim
