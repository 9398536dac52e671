#include "raw_terminal.h"

#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace orv::test {

RawTerminal::RawTerminal(const QString& path) {
    fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd_ >= 0) {
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
    }
}

RawTerminal::~RawTerminal() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool RawTerminal::Write(const std::vector<Byte>& bytes) {
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

std::vector<Byte> RawTerminal::Read(std::size_t count, int timeoutMs) {
    std::vector<Byte> data;
    QElapsedTimer clock;
    clock.start();
    while (data.size() < count && clock.elapsed() < timeoutMs) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(timeoutMs - clock.elapsed())) > 0 && (p.revents & POLLIN)) {
            Byte buffer[256];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            data.insert(data.end(), buffer, buffer + n);
        }
    }
    return data;
}

} // namespace orv::test
