#include "panel.h"

#include "device/catalogue.h"
#include "sim/faults.h"

#include <algorithm>
#include <string>

namespace orv::sim {

namespace {

constexpr std::size_t kObjectFrame = 102;
constexpr std::size_t kPageFrame = 107;
constexpr std::size_t kPageRecords = T_SMS_List::kPageRecords;
constexpr std::size_t kRecordSize = std::tuple_size_v<SmsRecord>;

std::vector<Byte> Frame(Byte command, Byte subCommand, std::span<const Byte> data) {
    std::vector<Byte> f(data.size() + 5, 0);
    f[0] = frame::kStart;
    f[2] = command;
    f[3] = subCommand;
    std::copy(data.begin(), data.end(), f.begin() + 4);
    Reseal(f);
    return f;
}

// Telephone digits two to a byte, the first in the low nibble, 0xF after the last.
std::array<Byte, 8> PackDigits(const std::string& digits) {
    std::array<Byte, 8> packed;
    packed.fill(0xFF);
    for (std::size_t k = 0; k <= digits.size() && k < 16; ++k) {
        const Byte nibble = k < digits.size() ? static_cast<Byte>(digits[k] - '0') : Byte{0x0F};
        Byte& b = packed[k / 2];
        b = (k % 2 == 0) ? static_cast<Byte>((b & 0xF0) | nibble)
                         : static_cast<Byte>((b & 0x0F) | nibble << 4);
    }
    return packed;
}

} // namespace

std::size_t TPanelState::SmsRecordCount() const {
    std::size_t n = 0;
    while (n < smsRecords.size() && smsRecords[n][0] != 0) {
        ++n;
    }
    return n;
}

TConfigLayout ConfigLayout(Byte type) {
    if (const auto device = CreateDevice(type)) {
        return {device->H(), device->L()};
    }
    // A type without a device class: the size of the largest type-byte layout is as good as any.
    return {5, 20};
}

TPanelState DefaultPanelState(Byte type, Byte version) {
    TPanelState state;
    state.type = type;
    state.version = version;
    if (const auto device = CreateDevice(type)) {
        const auto payload = device->PayloadBytes();
        state.config.assign(payload.begin(), payload.end());
    } else {
        state.config.assign(ConfigLayout(type).length, 0);
    }
    state.gsm = {0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    state.gprs = {0x00, 0x00};
    state.sms = {0x00};
    return state;
}

void FillObjects(TPanelState& state, std::size_t count) {
    state.objects.fill(0);
    count = std::min<std::size_t>(count, state.objects.size() / 3);
    for (std::size_t k = 1; k <= count; ++k) {
        const Byte type = static_cast<Byte>(1 + (k - 1) % 3);
        const std::size_t number = (k % 4) << 16 | (0x1234 + k * 0x0101);
        state.objects[3 * (k - 1)] = static_cast<Byte>(type | ((number >> 16) & 0x03) << 6);
        state.objects[3 * (k - 1) + 1] = static_cast<Byte>(number >> 8);
        state.objects[3 * (k - 1) + 2] = static_cast<Byte>(number);
    }
}

void FillSmsRecords(TPanelState& state, std::size_t count) {
    state.smsRecords = {};
    count = std::min(count, state.smsRecords.size());
    for (std::size_t k = 1; k <= count; ++k) {
        SmsRecord& r = state.smsRecords[k - 1];
        r[0] = static_cast<Byte>(1 + (k - 1) % 2);
        r[1] = static_cast<Byte>(k % 34);
        std::string digits = "79031" + std::to_string(100000 + k * 7919);
        const auto packed = PackDigits(digits);
        std::copy(packed.begin(), packed.end(), r.begin() + 2);
    }
}

TPanelModel::Answer TPanelModel::Handle(std::span<const Byte> f) {
    if (f.size() < 5 || f[0] != frame::kStart) {
        return {};
    }
    if (f[2] == frame::kCmdRead && f.size() == frame::kReadRequestLength) {
        return {ReadReply(f[3], f[4]), false};
    }
    if (f[2] == frame::kCmdWrite) {
        return Write(f);
    }
    return {};
}

std::vector<Byte> TPanelModel::ConfigReply() const {
    std::vector<Byte> data{state_.version};
    data.insert(data.end(), state_.config.begin(), state_.config.end());
    return Frame(frame::kCmdReply, state_.type, data);
}

std::vector<Byte> TPanelModel::ReadReply(Byte subCommand, Byte page) const {
    switch (subCommand) {
    case frame::subConfig:
        return ConfigReply();
    case frame::subGsm:
        return Frame(frame::kCmdReply, subCommand, state_.gsm);
    case frame::subGprs:
        return Frame(frame::kCmdReply, subCommand, state_.gprs);
    case frame::subSms:
        return Frame(frame::kCmdReply, subCommand, state_.sms);
    case frame::subObjects: {
        std::vector<Byte> data{1};
        data.insert(data.end(), state_.objects.begin(), state_.objects.end());
        return Frame(frame::kCmdReply, subCommand, data);
    }
    case frame::subSmsPage: {
        std::vector<Byte> data(kPageFrame - 5, 0);
        data[0] = page;
        const std::size_t count = state_.SmsRecordCount();
        const std::size_t first = static_cast<std::size_t>(page) * kPageRecords;
        for (std::size_t k = 0; k < kPageRecords && first + k < count; ++k) {
            std::copy(state_.smsRecords[first + k].begin(), state_.smsRecords[first + k].end(),
                      data.begin() + static_cast<std::ptrdiff_t>(1 + k * kRecordSize));
        }
        const bool full = count >= first + kPageRecords;
        data[101] = full && page + 1 < T_SMS_List::kPages ? 1 : 0;
        return Frame(frame::kCmdReply, subCommand, data);
    }
    default:
        return {};
    }
}

TPanelModel::Answer TPanelModel::Write(std::span<const Byte> f) {
    const std::size_t length = f.size();
    const Byte sub = f[3];
    switch (sub) {
    case frame::subConfig: {
        const TConfigLayout layout = ConfigLayout(state_.type);
        // A frame of another size is not this panel's configuration: it answers with what it has.
        if (length != layout.start + layout.length + 1) {
            return {ConfigReply(), false};
        }
        state_.config.assign(f.begin() + static_cast<std::ptrdiff_t>(layout.start),
                             f.begin() + static_cast<std::ptrdiff_t>(layout.start + layout.length));
        return {ConfigReply(), true};
    }
    case frame::subGsm:
    case frame::subGprs:
    case frame::subSms: {
        std::vector<Byte>& block = sub == frame::subGsm    ? state_.gsm
                                   : sub == frame::subGprs ? state_.gprs
                                                           : state_.sms;
        block.assign(f.begin() + 4, f.end() - 1);
        return {Frame(frame::kCmdReply, sub, block), true};
    }
    case frame::subObjects: {
        if (length != kObjectFrame) {
            return {};
        }
        std::copy(f.begin() + 5, f.begin() + 5 + static_cast<std::ptrdiff_t>(state_.objects.size()),
                  state_.objects.begin());
        std::vector<Byte> data{f[4]};
        data.insert(data.end(), state_.objects.begin(), state_.objects.end());
        return {Frame(frame::kCmdReply, sub, data), true};
    }
    case frame::subSmsPage: {
        const std::size_t page = f[4];
        const bool full = length == kPageFrame;
        if (page >= T_SMS_List::kPages || (!full && (length < 6 || (length - 6) % kRecordSize != 0))) {
            return {};
        }
        const std::size_t n = full ? kPageRecords : (length - 6) / kRecordSize;
        const std::size_t first = page * kPageRecords;
        for (std::size_t k = 0; k < n; ++k) {
            std::copy_n(f.begin() + static_cast<std::ptrdiff_t>(5 + k * kRecordSize), kRecordSize,
                        state_.smsRecords[first + k].begin());
        }
        // The list ends with this page unless a full page announces another.
        if (!full || f[105] == 0) {
            for (std::size_t k = first + n; k < state_.smsRecords.size(); ++k) {
                state_.smsRecords[k] = {};
            }
        }
        std::vector<Byte> echo(f.begin(), f.end());
        echo[2] = frame::kCmdReply;
        Reseal(echo);
        return {echo, true};
    }
    default:
        return {};
    }
}

} // namespace orv::sim
