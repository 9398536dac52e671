#pragma once

#include <string>

namespace orv::test {

// Writes everything to a descriptor; false when it refuses.
bool WriteAll(int fd, const void* data, std::size_t count);
// Reads what arrives at a descriptor until count bytes came, timeoutMs passed or the other end
// closed.
std::string ReadWithin(int fd, std::size_t count, int timeoutMs);

// A pseudo-terminal for port tests: the test holds the master end; the port under test opens
// SlavePath. Raw from the start, so nothing is echoed.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Valid() const { return master_ >= 0; }
    int Master() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }

    // Closes the master end: the line goes away under the port.
    void CloseMaster();

    // Writes everything to the master end.
    bool Write(const void* data, std::size_t count);
    // Reads what arrives at the master end until count bytes came or timeoutMs passed.
    std::string Read(std::size_t count, int timeoutMs);

private:
    int master_ = -1;
    std::string slavePath_;
};

} // namespace orv::test
