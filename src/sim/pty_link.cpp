#include "pty_link.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace orv::sim {

namespace {

std::string Reason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
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

void TPtyLink::SetBitRate(int bitsPerSecond) {
    if (bitsPerSecond <= 0) {
        byteTime_ = {};
        return;
    }
    // A start bit, eight data bits and a stop bit.
    byteTime_ =
        std::chrono::duration_cast<TClock::duration>(std::chrono::microseconds(10'000'000) / bitsPerSecond);
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
        const ssize_t written = ::write(master_, chunk, n);
        if (written <= 0) {
            break; // the line is full for now (or gone); try again later
        }
        queue_.erase(queue_.begin(), queue_.begin() + written);
        done += static_cast<std::size_t>(written);
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
