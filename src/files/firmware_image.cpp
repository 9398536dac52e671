#include "firmware_image.h"

#include "files/file_access.h"
#include "frame/hex_digits.h"

#include <algorithm>

namespace orv {

namespace {

constexpr std::size_t kMaxDigits = 2 * kFirmwareMaxBytes;

TFirmwareLoad Refused(TFirmwareFault fault, std::size_t position) {
    TFirmwareLoad load;
    load.fault = fault;
    load.position = position;
    return load;
}

} // namespace

TFirmwareLoad SplitFirmwareImage(std::vector<Byte> bytes) {
    if (bytes.empty()) {
        return Refused(TFirmwareFault::Empty, 0);
    }
    if (bytes.size() > kFirmwareMaxBytes) {
        return Refused(TFirmwareFault::TooLarge, bytes.size());
    }
    TFirmwareLoad load;
    // Sizes are counted in size_t: a length near 0xFFFF plus its two bytes must not wrap.
    std::size_t p = 0;
    while (p < bytes.size()) {
        const std::size_t left = bytes.size() - p;
        if (left < 2) {
            load = Refused(TFirmwareFault::CutHeader, p);
            load.remaining = left;
            return load;
        }
        const std::size_t payload = std::size_t{bytes[p]} << 8 | bytes[p + 1];
        if (payload > left - 2) {
            load = Refused(TFirmwareFault::Overrun, p);
            load.announced = payload;
            load.remaining = left;
            return load;
        }
        load.image.blocks.push_back({p, payload + 2});
        p += payload + 2;
    }
    load.image.bytes = std::move(bytes);
    return load;
}

TFirmwareLoad ParseFirmwareText(std::string_view text) {
    std::vector<Byte> bytes;
    bytes.reserve(std::min(text.size(), kMaxDigits) / 2);
    int high = -1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            return Refused(c == '\r' || c == '\n' ? TFirmwareFault::LineBreak : TFirmwareFault::NotHex,
                           i + 1);
        }
        if (i >= kMaxDigits) {
            return Refused(TFirmwareFault::TooLarge, i / 2 + 1);
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<Byte>(high << 4 | digit));
            high = -1;
        }
    }
    if (high >= 0) {
        return Refused(TFirmwareFault::OddLength, text.size());
    }
    return SplitFirmwareImage(std::move(bytes));
}

TFirmwareLoad ReadFirmwareFile(const std::string& path) {
    // One character more than the largest image takes is enough to refuse a larger one.
    const InputFile file = ReadInputFile(path, kMaxDigits + 1);
    if (!file.ok) {
        TFirmwareLoad load;
        load.fault = TFirmwareFault::CannotOpen;
        load.reason = file.reason;
        return load;
    }
    return ParseFirmwareText(file.data);
}

std::string ToFirmwareText(std::span<const Byte> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (const Byte b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
    }
    return text;
}

std::string FirmwareRefusalText(const TFirmwareLoad& load) {
    switch (load.fault) {
    case TFirmwareFault::None:
        return {};
    case TFirmwareFault::Empty:
        return "Файл прошивки пуст";
    case TFirmwareFault::TooLarge:
        return "Файл прошивки слишком велик";
    case TFirmwareFault::CutHeader:
    case TFirmwareFault::Overrun:
        return "Файл прошивки поврежден: последний блок обрывается";
    case TFirmwareFault::CannotOpen:
    case TFirmwareFault::NotHex:
    case TFirmwareFault::LineBreak:
    case TFirmwareFault::OddLength:
        break;
    }
    return kFirmwareNotFoundText;
}

std::string FirmwareFaultDetails(const TFirmwareLoad& load) {
    const auto n = [](std::size_t v) { return std::to_string(v); };
    switch (load.fault) {
    case TFirmwareFault::None:
        return {};
    case TFirmwareFault::CannotOpen:
        return load.reason;
    case TFirmwareFault::NotHex:
        return "Символ " + n(load.position) + " не является шестнадцатеричной цифрой";
    case TFirmwareFault::LineBreak:
        return "Перевод строки в символе " + n(load.position) +
               ": файл прошивки - одна строка цифр без переводов строки";
    case TFirmwareFault::OddLength:
        return "Нечетное число цифр (" + n(load.position) + "): у последней цифры нет пары";
    case TFirmwareFault::Empty:
        return "В файле нет ни одного байта";
    case TFirmwareFault::TooLarge:
        return "Прибор принимает не больше " + n(kFirmwareMaxBytes) + " байт";
    case TFirmwareFault::CutHeader:
        return "После последнего блока остался " + n(load.remaining) + " байт со смещения " +
               n(load.position) + ": длина блока занимает два байта";
    case TFirmwareFault::Overrun:
        return "Блок со смещения " + n(load.position) + " заявляет " + n(load.announced) +
               " байт данных, а в файле от него осталось " + n(load.remaining) + " байт";
    }
    return {};
}

} // namespace orv
