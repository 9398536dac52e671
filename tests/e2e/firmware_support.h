#pragma once

// Helpers of the firmware tests: images built block by block, files holding them, and the
// loader's log read line by line (incomplete blocks included).

#include "files/firmware_image.h"
#include "support/sim_process.h"

#include <QFile>
#include <QStringList>

#include <fstream>
#include <string>
#include <vector>

namespace orv::e2e {

// An image of blocks with the given payload lengths; payload bytes count up from seed.
inline std::vector<Byte> FirmwareChain(const std::vector<std::size_t>& payloads, Byte seed = 0x20) {
    std::vector<Byte> bytes;
    for (const std::size_t n : payloads) {
        bytes.push_back(static_cast<Byte>(n >> 8));
        bytes.push_back(static_cast<Byte>(n & 0xFF));
        for (std::size_t i = 0; i < n; ++i) {
            bytes.push_back(seed++);
        }
    }
    return bytes;
}

// Payload lengths of blocks of `payload` bytes that fill exactly `total` bytes, the last shorter.
inline std::vector<std::size_t> FirmwareFilling(std::size_t total, std::size_t payload) {
    std::vector<std::size_t> payloads;
    while (total >= payload + 2) {
        payloads.push_back(payload);
        total -= payload + 2;
    }
    if (total > 0) {
        payloads.push_back(total - 2);
    }
    return payloads;
}

inline void WriteTextFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Every line of the loader's log: one upper-case hex line per block received, and
// "incomplete ..." for bytes that never made a block.
inline QStringList LoaderLog(const test::SimProcess& sim) {
    QFile file(sim.LogPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// The log lines the blocks of an image make, in order.
inline QStringList BlockLines(const TFirmwareImage& image) {
    QStringList lines;
    for (std::size_t i = 0; i < image.blocks.size(); ++i) {
        lines << QString::fromStdString(ToFirmwareText(image.Block(i)));
    }
    return lines;
}

inline TFirmwareImage ImageOf(const std::vector<Byte>& bytes) {
    return SplitFirmwareImage(bytes).image;
}

} // namespace orv::e2e
