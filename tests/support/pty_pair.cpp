#include "pty_pair.h"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace orv::test {

PtyPair::PtyPair() {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        return;
    }
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname(master) == nullptr) {
        ::close(master);
        return;
    }
    slavePath_ = ptsname(master);
    termios tio{};
    if (tcgetattr(master, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(master, TCSANOW, &tio);
    }
    fcntl(master, F_SETFD, FD_CLOEXEC);
    master_ = master;
}

PtyPair::~PtyPair() {
    if (master_ >= 0) {
        ::close(master_);
    }
}

void PtyPair::CloseMaster() {
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

bool WriteAll(int fd, const void* data, std::size_t count) {
    const auto* p = static_cast<const char*>(data);
    while (count > 0) {
        const ssize_t n = ::write(fd, p, count);
        if (n <= 0) {
            return false;
        }
        p += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string ReadWithin(int fd, std::size_t count, int timeoutMs) {
    std::string data;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (data.size() < count) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        if (!(p.revents & POLLIN)) {
            break; // the other end is closed
        }
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    return data;
}

bool PtyPair::Write(const void* data, std::size_t count) {
    return WriteAll(master_, data, count);
}

std::string PtyPair::Read(std::size_t count, int timeoutMs) {
    return ReadWithin(master_, count, timeoutMs);
}

} // namespace orv::test
