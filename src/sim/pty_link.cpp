#include "pty_link.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace orv::sim {

namespace {

std::string Reason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

struct Speed {
    speed_t code;
    int bitsPerSecond;
};

constexpr Speed kSpeeds[] = {
    {B50, 50},         {B75, 75},         {B110, 110},         {B134, 134},       {B150, 150},
    {B200, 200},       {B300, 300},       {B600, 600},         {B1200, 1200},     {B1800, 1800},
    {B2400, 2400},     {B4800, 4800},     {B9600, 9600},       {B19200, 19200},   {B38400, 38400},
    {B57600, 57600},   {B115200, 115200}, {B230400, 230400},   {B460800, 460800}, {B500000, 500000},
    {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000},
};

int BitsPerSecond(speed_t code) {
    for (const Speed& s : kSpeeds) {
        if (s.code == code) {
            return s.bitsPerSecond;
        }
    }
    return 0;
}

TClock::duration ByteTime(int bitsPerSecond) {
    if (bitsPerSecond <= 0) {
        return {};
    }
    // A start bit, eight data bits and a stop bit.
    return std::chrono::duration_cast<TClock::duration>(std::chrono::nanoseconds(10'000'000'000) /
                                                        bitsPerSecond);
}

bool MakeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

} // namespace

std::unique_ptr<TPtyLink> TPtyLink::Open(std::string& error) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        error = Reason("posix_openpt");
        return nullptr;
    }
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        error = Reason("grantpt/unlockpt");
        ::close(master);
        return nullptr;
    }
    const char* name = ptsname(master);
    if (!name) {
        error = Reason("ptsname");
        ::close(master);
        return nullptr;
    }
    std::string path = name;
    const int slave = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        error = Reason("open slave");
        ::close(master);
        return nullptr;
    }
    // Raw before anyone connects: the line discipline must not echo or translate bytes.
    if (!MakeRaw(slave)) {
        error = Reason("raw mode");
        ::close(slave);
        ::close(master);
        return nullptr;
    }
    const int flags = fcntl(master, F_GETFL);
    fcntl(master, F_SETFL, flags | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    return std::unique_ptr<TPtyLink>(new TPtyLink(master, slave, std::move(path)));
}

TPtyLink::TPtyLink(int master, int slave, std::string path)
    : master_(master), slave_(slave), slavePath_(std::move(path)) {}

TPtyLink::~TPtyLink() {
    ::close(slave_);
    ::close(master_);
}

std::string TLineSettings::Text() const {
    return (bitsPerSecond > 0 ? std::to_string(bitsPerSecond) : std::string("an unnamed rate")) + " " +
           std::to_string(dataBits) + parity + std::to_string(stopBits);
}

void TPtyLink::SetBitRate(int bitsPerSecond) {
    byteTime_ = ByteTime(bitsPerSecond);
}

std::optional<TLineSettings> TPtyLink::Settings() const {
    termios tio{};
    if (tcgetattr(slave_, &tio) != 0) {
        return std::nullopt;
    }
    TLineSettings line;
    line.bitsPerSecond = BitsPerSecond(cfgetospeed(&tio));
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        line.dataBits = 5;
        break;
    case CS6:
        line.dataBits = 6;
        break;
    case CS7:
        line.dataBits = 7;
        break;
    default:
        line.dataBits = 8;
        break;
    }
    const bool odd = (tio.c_cflag & PARODD) != 0;
    bool stick = false;
#ifdef CMSPAR
    stick = (tio.c_cflag & CMSPAR) != 0;
#endif
    if (stick) {
        line.parity = odd ? 'M' : 'S';
    } else if (odd) {
        line.parity = 'O';
    } else if (tio.c_cflag & PARENB) {
        line.parity = 'E';
    }
    line.stopBits = (tio.c_cflag & CSTOPB) ? 2 : 1;
    return line;
}

std::optional<std::string> TPtyLink::Mismatch(int bitsPerSecond) const {
    const TLineSettings wanted{bitsPerSecond, 8, 'N', 1};
    const auto line = Settings();
    if (!line) {
        return "the line settings cannot be read";
    }
    if (*line == wanted) {
        return std::nullopt;
    }
    return "line set to " + line->Text() + ", this end runs at " + wanted.Text();
}

void TPtyLink::Queue(std::span<const Byte> bytes, TClock::time_point now) {
    if (queue_.empty() && nextDue_ < now) {
        nextDue_ = now;
    }
    queue_.insert(queue_.end(), bytes.begin(), bytes.end());
}

std::size_t TPtyLink::WriteSome(std::size_t count) {
    Byte chunk[256];
    std::size_t done = 0;
    while (done < count) {
        const std::size_t n = std::min(count - done, sizeof chunk);
        std::copy_n(queue_.begin(), n, chunk);
        // Taken before the write: on a busy machine this process may wait after it, while the
        // program reads the bytes at once; the quiet measured from here is never too short.
        const TClock::time_point sending = TClock::now();
        const ssize_t written = ::write(master_, chunk, n);
        if (written <= 0) {
            break; // the line is full for now (or gone); try again later
        }
        queue_.erase(queue_.begin(), queue_.begin() + written);
        done += static_cast<std::size_t>(written);
        lastSent_ = sending;
    }
    return done;
}

std::optional<TClock::time_point> TPtyLink::Flush(TClock::time_point now) {
    if (queue_.empty()) {
        return std::nullopt;
    }
    if (byteTime_ == TClock::duration{}) {
        WriteSome(queue_.size());
        return queue_.empty() ? std::nullopt : std::optional(now + std::chrono::milliseconds(1));
    }
    if (now < nextDue_) {
        return nextDue_;
    }
    const auto due = static_cast<std::size_t>((now - nextDue_) / byteTime_) + 1;
    const std::size_t sent = WriteSome(std::min(due, queue_.size()));
    nextDue_ += byteTime_ * static_cast<long>(sent);
    if (queue_.empty()) {
        return std::nullopt;
    }
    return sent == 0 ? now + std::chrono::milliseconds(1) : nextDue_;
}

std::size_t TPtyLink::Read(Byte* buffer, std::size_t capacity) {
    const ssize_t n = ::read(master_, buffer, capacity);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

} // namespace orv::sim
