#include "raw_terminal.h"

#include "pty_pair.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace orv::test {

namespace {

speed_t SpeedCode(int bitsPerSecond) {
    switch (bitsPerSecond) {
    case 2400:
        return B2400;
    case 19200:
        return B19200;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B9600;
    }
}

} // namespace

RawTerminal::RawTerminal(const QString& path, int bitsPerSecond, int stopBits) {
    fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd_ >= 0) {
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        cfsetspeed(&tio, SpeedCode(bitsPerSecond));
        if (stopBits == 2) {
            tio.c_cflag |= CSTOPB;
        }
        tcsetattr(fd_, TCSANOW, &tio);
    }
}

RawTerminal::~RawTerminal() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool RawTerminal::Write(const std::vector<Byte>& bytes) {
    return WriteAll(fd_, bytes.data(), bytes.size());
}

std::vector<Byte> RawTerminal::Read(std::size_t count, int timeoutMs) {
    const std::string data = ReadWithin(fd_, count, timeoutMs);
    return {data.begin(), data.end()};
}

} // namespace orv::test
