#include "raw_terminal.h"

#include "pty_pair.h"

#include <fcntl.h>
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
    return WriteAll(fd_, bytes.data(), bytes.size());
}

std::vector<Byte> RawTerminal::Read(std::size_t count, int timeoutMs) {
    const std::string data = ReadWithin(fd_, count, timeoutMs);
    return {data.begin(), data.end()};
}

} // namespace orv::test
