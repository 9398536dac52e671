// Firmware files from anywhere: a refused file yields no image and says why at the first fault;
// an accepted one is a chain of blocks that covers its bytes exactly, within the loader's size,
// and written out again reads back the same. The file reader and the text reader agree.
#include "files/firmware_image.h"
#include "fuzz_support.h"

#include <cctype>
#include <string>

namespace {

using namespace orv;
using namespace orv::fuzz;

bool IsHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

void CheckChain(const TFirmwareImage& image) {
    ORV_CHECK(!image.bytes.empty() && image.bytes.size() <= kFirmwareMaxBytes);
    std::size_t at = 0;
    for (std::size_t i = 0; i < image.blocks.size(); ++i) {
        const TFirmwareBlock& b = image.blocks[i];
        ORV_CHECK(b.offset == at && at + 2 <= image.bytes.size());
        ORV_CHECK(b.size == 2 + (std::size_t{image.bytes[at]} << 8 | image.bytes[at + 1]));
        ORV_CHECK(image.Block(i).size() == b.size);
        at += b.size;
    }
    ORV_CHECK(at == image.bytes.size());
}

void CheckLoad(const TFirmwareLoad& load, std::string_view text) {
    if (!load.ok()) {
        ORV_CHECK(load.image.bytes.empty() && load.image.blocks.empty());
        ORV_CHECK(!FirmwareRefusalText(load).empty());
        if (load.fault == TFirmwareFault::NotHex || load.fault == TFirmwareFault::LineBreak) {
            // The first fault wins: every character before it is a digit.
            ORV_CHECK(load.position >= 1 && load.position <= text.size());
            const char c = text[load.position - 1];
            ORV_CHECK(!IsHexDigit(c));
            ORV_CHECK((c == '\r' || c == '\n') == (load.fault == TFirmwareFault::LineBreak));
            for (std::size_t i = 0; i + 1 < load.position; ++i) {
                ORV_CHECK(IsHexDigit(text[i]));
            }
        }
        return;
    }
    ORV_CHECK(text.size() == 2 * load.image.bytes.size());
    CheckChain(load.image);
    // Written out again, the same text up to letter case, and the same image.
    const std::string written = ToFirmwareText(load.image.bytes);
    ORV_CHECK(written.size() == text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        ORV_CHECK(std::toupper(static_cast<unsigned char>(text[i])) == written[i]);
    }
    const TFirmwareLoad again = ParseFirmwareText(written);
    ORV_CHECK(again.ok() && again.image.bytes == load.image.bytes && again.image.blocks == load.image.blocks);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const TFirmwareLoad load = ParseFirmwareText(text);
    CheckLoad(load, text);

    static const ScratchFile file("firmware.enc");
    file.Put(data, size);
    const TFirmwareLoad fromFile = ReadFirmwareFile(file.Path());
    ORV_CHECK(fromFile.fault == load.fault && fromFile.position == load.position);
    ORV_CHECK(fromFile.image.bytes == load.image.bytes && fromFile.image.blocks == load.image.blocks);

    // The same bytes taken as an image: cut into blocks the same way as from their text.
    const std::vector<Byte> bytes(data, data + size);
    const TFirmwareLoad split = SplitFirmwareImage(bytes);
    if (split.ok()) {
        CheckChain(split.image);
        ORV_CHECK(split.image.bytes == bytes);
    }
    if (size <= kFirmwareMaxBytes) {
        const TFirmwareLoad viaText = ParseFirmwareText(ToFirmwareText(bytes));
        ORV_CHECK(viaText.fault == split.fault && viaText.image.blocks == split.image.blocks);
    }
    return 0;
}
