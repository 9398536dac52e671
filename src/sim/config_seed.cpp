#include "sim_options.h"

#include "device/retranslator.h"
#include "files/config_file.h"
#include "gsm/program_state.h"

namespace orv::sim {

namespace {

// The data of a frame buffer that holds a sealed frame of its sub-command; nothing otherwise.
std::optional<std::vector<Byte>> SealedData(const FrameBuffer& f, Byte subCommand) {
    const std::size_t length = f[1];
    if (f[0] != frame::kStart || f[3] != subCommand || length < 5 || length > frame::kMaxFrame ||
        frame::Crc8(f.data(), length - 1) != f[length - 1]) {
        return std::nullopt;
    }
    return std::vector<Byte>(f.begin() + 4, f.begin() + static_cast<std::ptrdiff_t>(length - 1));
}

} // namespace

// The file's panel type replaces --type; the firmware version stays (files do not carry it).
std::optional<std::string> LoadConfigFile(const std::string& path, TPanelState& panel) {
    TProgramState state;
    if (!ReadConfigFile(state, path) || !state.device) {
        return "--config " + path + ": not a readable configuration file";
    }
    const TDevice& device = *state.device;
    panel = DefaultPanelState(device.DevType, panel.version);
    const auto payload = device.PayloadBytes();
    panel.config.assign(payload.begin(), payload.end());
    if (auto gsm = SealedData(state.GsmFrame, frame::subGsm)) {
        panel.gsm = std::move(*gsm);
    }
    if (auto gprs = SealedData(state.GprsFrame, frame::subGprs)) {
        panel.gprs = std::move(*gprs);
    }
    if (auto sms = SealedData(state.SmsFrame, frame::subSms)) {
        panel.sms = std::move(*sms);
    }
    if (const auto* ret = dynamic_cast<const TDV15_Ret*>(&device)) {
        for (int k = 1; k <= TDV15_Ret::kObjects; ++k) {
            const auto record = ret->GetObject(k);
            std::copy(record.begin(), record.end(), panel.objects.begin() + 3 * (k - 1));
        }
        const int count = ret->Sms().Count();
        for (int k = 1; k <= count; ++k) {
            panel.smsRecords[static_cast<std::size_t>(k - 1)] = ret->Sms().Record(k);
        }
    }
    return std::nullopt;
}

} // namespace orv::sim
