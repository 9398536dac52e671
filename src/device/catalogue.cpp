#include "catalogue.h"

#include "retranslator.h"

namespace orv {

const std::array<TDevices, 19> DeviceList{{
    {8, 1, 0, "Терсан 610", true},
    {5, 1, 0, "Терсан 31x (Ирвел-ОП5)", true},
    {10, 1, 0, "Терсан 34x", true},
    {13, 1, 0, "Терсан 34x, Ирвел-ОП8", true},
    {11, 1, 0, "Терсан 520x, Ирвел-ОП-КС", true},
    {7, 1, 0, "Терсан 540x, Ирвел-ОП5-КС", true},
    {16, 1, 6, "Терсан 34x, Ирвел-ОП8", true},
    {17, 1, 5, "Терсан 520x, Ирвел-ОП-КС", true},
    {18, 1, 6, "Терсан 540x, Ирвел-ОП5-КС", true},
    {14, 2, 1, "KV-310RET-32TK V1", false},
    {15, 2, 2, "KV-310RET-32TK", true},
    {1, 4, 2, "Ирвел-ОП8", true},
    {2, 5, 0, "Ирвел-ОП8C", true},
    {4, 5, 2, "Ирвел-ОП8C", true},
    {12, 5, 4, "Ирвел-ОП8C", true},
    {9, 3, 0, "Терсан 31xK", true},
    {6, 3, 0, "Ирвел-КП2", true},
    {3, 3, 0, "Ирвел-ОП-КС старый на плате BRD7C", true},
    {0, 3, 0, "Неизвестный прибор", false},
}};

const std::array<std::string_view, 6> DeviceGroupNames{"",       "ТерсАн",    "Mirel",
                                                       "Прочее", "Ирвел-ОП8", "Ирвел-ОП8C"};

const std::array<std::string_view, 9> ZoneTypeNames{"Отключен",   "Тревожный",       "Тихий тревожный",
                                                    "Пожарный",   "Технологический", "Охранный",
                                                    "Внутренний", "Дверной",         "Пожарн.2-х порог."};

const std::array<std::string_view, 4> TxTypeNames{"Отключено", "Терсан ППМ, TDm", "GSM-ORV", "RS-485"};
const std::array<std::string_view, 3> TxTypeNamesOP5{"Отключено", "Терсан ППМ, TDm", "RS-485"};

const std::array<std::string_view, 6> RelayModeNames{
    "Отключено", "3 секунды", "2 минуты", "До сброса", "Прерывисто 2 минуты", "Прерывисто до сброса"};

const std::array<std::string_view, 10> LampModeNames{
    "Отключено в норме",           "Горит если взят раздел 1", "Горит если взят раздел 2",
    "Горит если взят раздел 3",    "Горит если взят раздел 4", "Горит если взят раздел 5",
    "Горит если взят раздел 6",    "Горит если взят раздел 7", "Горит если взят раздел 8",
    "Горит если все разделы взяты"};

const std::array<std::string_view, 9> IndicatorModeNames{
    "Отключен в норме",         "Горит если взят раздел 1", "Горит если взят раздел 2",
    "Горит если взят раздел 3", "Горит если взят раздел 4", "Горит если взят раздел 5",
    "Горит если взят раздел 6", "Горит если взят раздел 7", "Горит если взят раздел 8"};

std::unique_ptr<TDevice> CreateDevice(Byte code) {
    switch (code & 0x7F) {
    case 1:
        return std::make_unique<TDV1_I8>();
    case 2:
        return std::make_unique<TDV2_I8>();
    case 3:
        return std::make_unique<TDV3_C8>();
    case 4:
        return std::make_unique<TDV4_I8>();
    case 5:
        return std::make_unique<TDV5_T5>();
    case 6:
        return std::make_unique<TDV6_KP2>();
    case 7:
        return std::make_unique<TDV7_TC5>();
    case 8:
        return std::make_unique<TDV8_TT5>();
    case 9:
        return std::make_unique<TDV9_T5K>();
    case 10:
        return std::make_unique<TDV10_T8>();
    case 11:
        return std::make_unique<TDV11_TC8>();
    case 12:
        return std::make_unique<TDV12_I8>();
    case 13:
        return std::make_unique<TDV13_T8>();
    case 15:
        return std::make_unique<TDV15_Ret>();
    case 16:
        return std::make_unique<TDV16_T8X>();
    case 17:
        return std::make_unique<TDV17_TC8X>();
    case 18:
        return std::make_unique<TDV18_TC5X>();
    default:
        return nullptr;
    }
}

std::unique_ptr<TDevice> CopyDevice(const TDevice& device) {
    std::unique_ptr<TDevice> copy = CreateDevice(device.DevType);
    if (copy) {
        CopyDeviceInto(device, *copy);
    }
    return copy;
}

void CopyDeviceInto(const TDevice& from, TDevice& to) {
    if (&from == &to || from.DevType != to.DevType) {
        return;
    }
    to.Buf = from.Buf;
    to.Version = from.Version;
    const auto* ret = dynamic_cast<const TDV15_Ret*>(&from);
    if (auto* target = dynamic_cast<TDV15_Ret*>(&to); ret && target) {
        for (int n = 1; n <= TDV15_Ret::kObjects; ++n) {
            target->SetObject(n, ret->GetObject(n));
        }
        target->Sms() = ret->Sms();
    }
}

std::string DeviceName(Byte code) {
    for (const auto& d : DeviceList) {
        if (d.Code == code) {
            return std::string(d.Name);
        }
    }
    return {};
}

bool DeviceSupported(Byte code) {
    for (const auto& d : DeviceList) {
        if (d.Code == code) {
            return d.Enabled;
        }
    }
    return false;
}

int ZoneTypeIndex(std::string_view caption) {
    return IndexOfText(ZoneTypeNames, caption);
}

Byte ZoneTypeDefaultCID(Byte code) {
    static constexpr Byte kDefaults[9] = {1, 16, 15, 4, 37, 20, 21, 23, 4};
    const Byte type = code & 0x7F;
    return type < 9 ? kDefaults[type] : Byte{222};
}

std::string MaskToText(const std::array<Byte, 5>& mask) {
    std::string result;
    auto append = [&result](const std::string& piece) {
        if (!result.empty()) {
            result += ", ";
        }
        result += piece;
    };
    auto isSet = [&mask](int n) {
        return (mask[static_cast<std::size_t>((n - 1) / 8)] >> ((n - 1) % 8)) & 1;
    };
    int n = 1;
    while (n <= 32) {
        if (!isSet(n)) {
            ++n;
            continue;
        }
        int last = n;
        while (last < 32 && isSet(last + 1)) {
            ++last;
        }
        if (last == n) {
            append(std::to_string(n));
        } else if (last == n + 1) {
            append(std::to_string(n) + ", " + std::to_string(last));
        } else {
            append(std::to_string(n) + "-" + std::to_string(last));
        }
        n = last + 1;
    }
    if (mask[4] & 1) {
        append("БВИ");
    }
    return result.empty() ? "Нет" : result;
}

std::optional<std::array<Byte, 5>> MaskFromText(std::string_view text) {
    std::array<Byte, 5> mask{};
    if (text == "Нет") {
        return mask;
    }
    const auto number = [](std::string_view digits) -> int {
        if (digits.empty() || digits.size() > 2 ||
            digits.find_first_not_of("0123456789") != std::string_view::npos) {
            return -1;
        }
        const int n = std::stoi(std::string(digits));
        return n >= 1 && n <= 32 ? n : -1;
    };
    while (!text.empty()) {
        const std::size_t comma = text.find(", ");
        const std::string_view piece = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 2);
        if (comma != std::string_view::npos && text.empty()) {
            return std::nullopt;
        }
        if (piece == "БВИ") {
            mask[4] |= 1;
            continue;
        }
        const std::size_t dash = piece.find('-');
        const int first = number(piece.substr(0, dash));
        const int last = dash == std::string_view::npos ? first : number(piece.substr(dash + 1));
        if (first < 0 || last < first) {
            return std::nullopt;
        }
        for (int n = first; n <= last; ++n) {
            mask[static_cast<std::size_t>((n - 1) / 8)] |= static_cast<Byte>(1u << ((n - 1) % 8));
        }
    }
    return mask;
}

int IndexOfText(std::span<const std::string_view> strings, std::string_view text) {
    for (std::size_t i = 0; i < strings.size(); ++i) {
        if (strings[i] == text) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int IndexOfText(std::span<const std::string> strings, std::string_view text) {
    for (std::size_t i = 0; i < strings.size(); ++i) {
        if (strings[i] == text) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int IndexOfLine(std::string_view lines, std::string_view text) {
    if (text.empty()) {
        return 0;
    }
    int count = 0;
    std::size_t pos = 0;
    while (true) {
        const std::size_t end = lines.find("\r\n", pos);
        if (end == std::string_view::npos) {
            return count;
        }
        if (lines.substr(pos, end - pos) == text) {
            return count;
        }
        ++count;
        pos = end + 2;
    }
}

std::vector<DeviceMenuGroup> BuildDeviceMenu() {
    std::vector<DeviceMenuGroup> menu;
    int openGroup = -1;
    for (const auto& d : DeviceList) {
        if (!d.Enabled) {
            continue;
        }
        if (d.Group != openGroup) {
            menu.push_back({std::string(DeviceGroupNames[d.Group]), {}});
            openGroup = d.Group;
        }
        std::string caption(d.Name);
        if (d.FromVersion != 0) {
            // The "c" is Latin.
            caption += " c " + std::to_string(d.FromVersion) + "-й версии";
        }
        menu.back().items.push_back({caption, d.Code});
    }
    return menu;
}

bool IsOP8(const TDevice& d) {
    return dynamic_cast<const TDevOP8*>(&d) != nullptr;
}
bool IsOP5(const TDevice& d) {
    return dynamic_cast<const TDevOP5*>(&d) != nullptr;
}
bool IsCnc(const TDevice& d) {
    return dynamic_cast<const TDevCnc*>(&d) != nullptr;
}
bool IsCnc8(const TDevice& d) {
    return dynamic_cast<const TDevCnc8*>(&d) != nullptr;
}
bool IsCnc5(const TDevice& d) {
    return dynamic_cast<const TDevCnc5*>(&d) != nullptr;
}

} // namespace orv
