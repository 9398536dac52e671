#pragma once

#include "frame/frame.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// The largest image the panel's loader takes in one update.
inline constexpr std::size_t kFirmwareMaxBytes = 40001;

inline constexpr const char* kFirmwareErrorCaption = "Ошибка";
inline constexpr const char* kFirmwareNotFoundText = "Файл не найден";

// Why a firmware file was refused. Every fault is found before anything is sent.
enum class TFirmwareFault {
    None,
    CannotOpen, // the file cannot be opened or read
    NotHex,     // a character that is not a hexadecimal digit (line breaks have their own fault)
    LineBreak,  // a carriage return or a line feed
    OddLength,  // the last digit has no pair
    Empty,      // no bytes at all: nothing to send
    TooLarge,   // more than kFirmwareMaxBytes bytes
    CutHeader,  // a single byte left where the next block's two length bytes should be
    Overrun,    // the last block announces more payload than the image still holds
};

// One block as it goes on the line: its two length bytes (high byte first) and its payload.
struct TFirmwareBlock {
    std::size_t offset = 0; // of the length bytes in the image
    std::size_t size = 0;   // the length bytes included
    friend bool operator==(const TFirmwareBlock&, const TFirmwareBlock&) = default;
};

// The bytes of a firmware file and their blocks, which cover the bytes exactly, in order.
struct TFirmwareImage {
    std::vector<Byte> bytes;
    std::vector<TFirmwareBlock> blocks;

    std::span<const Byte> Block(std::size_t index) const {
        const TFirmwareBlock& b = blocks.at(index);
        return std::span<const Byte>(bytes).subspan(b.offset, b.size);
    }
};

struct TFirmwareLoad {
    TFirmwareFault fault = TFirmwareFault::None;
    // NotHex, LineBreak: the character's position in the file, from 1. TooLarge: the size in
    // bytes as far as it was read. CutHeader, Overrun: the offset of the block in the image.
    std::size_t position = 0;
    std::size_t announced = 0; // Overrun: the payload length the block announces
    std::size_t remaining = 0; // Overrun, CutHeader: the bytes the image still holds from the block on
    std::string reason;        // CannotOpen: the system's reason
    TFirmwareImage image;      // empty unless ok()

    bool ok() const { return fault == TFirmwareFault::None; }
};

// Cuts the bytes into blocks. The chain must end exactly at the end of the image: a block may
// not announce more than is left, and there must be no stray byte after the last block. A
// block with no payload is two bytes long and is sent like any other.
TFirmwareLoad SplitFirmwareImage(std::vector<Byte> bytes);

// The text of a firmware file: hexadecimal digit pairs (either case), high digit first, and
// nothing else. The first fault in the text wins.
TFirmwareLoad ParseFirmwareText(std::string_view text);

// Reads and checks a whole firmware file (path in the local 8-bit encoding). Reads no more of a
// file than the largest image needs to be told apart from a larger one.
TFirmwareLoad ReadFirmwareFile(const std::string& path);

// The file text of an image: upper-case digit pairs.
std::string ToFirmwareText(std::span<const Byte> bytes);

// What the user is told about a refused file (UTF-8), and the particulars behind it.
std::string FirmwareRefusalText(const TFirmwareLoad& load);
std::string FirmwareFaultDetails(const TFirmwareLoad& load);

} // namespace orv
