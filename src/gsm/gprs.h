#pragma once

// GPRS access settings of the two SIM cards: the GPRS frame and the model of the
// "Параметры GPRS" dialog with its operator presets.

#include "gsm/frame_buffer.h"
#include "gsm/keys.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orv {

struct GprsOperator {
    std::string_view name; // the preset combo's item
    std::string_view apn;
    std::string_view user;
    std::string_view password;
};

// "Билайн", "МТС", "Tele2", "Megafon" with their published access point names.
extern const std::array<GprsOperator, 4> GprsPresets;

namespace gprs {
inline constexpr Byte kSubCode = 3;
inline constexpr std::string_view kCaption = "Параметры GPRS";
inline constexpr std::string_view kNoApnText =
    "Включено \"Использовать конфигурацию GPRS\", но APN не задан ни для одной SIM-карты.\r\n"
    "Задайте APN или снимите этот флажок.";
} // namespace gprs

struct GprsSim {
    std::string apn; // UTF-8, as the dialog and the files hold them
    std::string user;
    std::string password;
    int preset = 0; // the preset combo's selection
    bool operator==(const GprsSim&) const = default;
};

class GprsModel {
public:
    static constexpr int kSims = 2;

    // Reset.
    GprsModel();

    // Both SIM cards take the first preset.
    void Reset();
    // The SIM's preset selection and its three fields from the preset; other indexes are ignored.
    void ApplyPreset(int sim, int index);

    // SIM cards count from 0 ("SIM-карта №1"). Out-of-range SIM cards read empty and are never
    // written.
    const GprsSim& Sim(int sim) const;
    void SetApn(int sim, std::string_view text);
    void SetUser(int sim, std::string_view text);
    void SetPassword(int sim, std::string_view text);
    // Some SIM card has an APN: otherwise encoding marks the frame as holding nothing.
    bool HasApn() const;

    // A frame whose byte 0 is 0 or whose sub-code is not 3 resets the dialog. Otherwise each
    // SIM's block gives APN, user and password (texts end at a 0 byte or at the block's end);
    // a SIM whose length byte is 0, or that lies beyond the frame's data, is emptied.
    void FillFromFrame(std::span<const Byte> gprsFrame);

    // Without any APN, byte 0 becomes 0 and nothing else changes. Otherwise the frame is
    // rebuilt; texts that do not fit one frame are refused with a message for the user and the
    // frame is left unchanged.
    std::optional<std::string> Encode(std::span<Byte> gprsFrame) const;

    // Key filter of the six fields: Backspace, "-", ".", "@", "_", digits and Latin letters.
    static bool AcceptKey(char32_t key);

private:
    GprsSim* Writable(int sim);
    std::array<GprsSim, kSims> sims_;
};

} // namespace orv
