#pragma once

#include "frame/frame.h"

#include <QString>

#include <cstddef>
#include <vector>

namespace orv::test {

// The program's end of the simulator's terminal, opened raw and set to eight data bits without
// parity at the given rate and stop bits, as a port would be.
class RawTerminal {
public:
    explicit RawTerminal(const QString& path, int bitsPerSecond = 9600, int stopBits = 1);
    ~RawTerminal();
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;

    bool Valid() const { return fd_ >= 0; }
    bool Write(const std::vector<Byte>& bytes);
    // What arrives until count bytes came or timeoutMs passed.
    std::vector<Byte> Read(std::size_t count, int timeoutMs);

private:
    int fd_ = -1;
};

} // namespace orv::test
