#include "gprs.h"

#include "cp1251.h"
#include "directions.h"

#include <algorithm>
#include <vector>

namespace orv {

const std::array<GprsOperator, 4> GprsPresets = {{
    {"Билайн", "internet.beeline.ru", "qirvost", "qirvost"},
    {"МТС", "internet.mts.ru", "dzu", "dzu"},
    {"Tele2", "internet.tele2.ru", "", ""},
    {"Megafon", "internet", "", ""},
}};

namespace {

const GprsSim kNoSim{};

// Frame bytes of a text; a 0 byte would end it early, so it cannot be part of one.
std::string FrameText(std::string_view utf8) {
    std::string bytes = Utf8ToCp1251(utf8);
    std::replace(bytes.begin(), bytes.end(), '\0', kCp1251Replacement);
    return bytes;
}

std::string NextText(std::span<const Byte> block, std::size_t& pos) {
    const std::size_t start = pos;
    while (pos < block.size() && block[pos] != 0) {
        ++pos;
    }
    std::string text(reinterpret_cast<const char*>(block.data()) + start, pos - start);
    if (pos < block.size()) {
        ++pos; // the terminator
    }
    return Cp1251ToUtf8(text);
}

} // namespace

GprsModel::GprsModel() {
    Reset();
}

void GprsModel::Reset() {
    for (int sim = 0; sim < kSims; ++sim) {
        ApplyPreset(sim, 0);
    }
}

void GprsModel::ApplyPreset(int sim, int index) {
    GprsSim* s = Writable(sim);
    if (s == nullptr || index < 0 || index >= static_cast<int>(GprsPresets.size())) {
        return;
    }
    const GprsOperator& preset = GprsPresets[static_cast<std::size_t>(index)];
    *s = GprsSim{std::string(preset.apn), std::string(preset.user), std::string(preset.password), index};
}

GprsSim* GprsModel::Writable(int sim) {
    return sim >= 0 && sim < kSims ? &sims_[static_cast<std::size_t>(sim)] : nullptr;
}

const GprsSim& GprsModel::Sim(int sim) const {
    return sim >= 0 && sim < kSims ? sims_[static_cast<std::size_t>(sim)] : kNoSim;
}

void GprsModel::SetApn(int sim, std::string_view text) {
    if (GprsSim* s = Writable(sim)) {
        s->apn = text;
    }
}

void GprsModel::SetUser(int sim, std::string_view text) {
    if (GprsSim* s = Writable(sim)) {
        s->user = text;
    }
}

void GprsModel::SetPassword(int sim, std::string_view text) {
    if (GprsSim* s = Writable(sim)) {
        s->password = text;
    }
}

bool GprsModel::HasApn() const {
    return std::any_of(sims_.begin(), sims_.end(), [](const GprsSim& s) { return !s.apn.empty(); });
}

void GprsModel::FillFromFrame(std::span<const Byte> gprsFrame) {
    if (gprsFrame.size() < 4 || gprsFrame[0] == 0 || gprsFrame[3] != gprs::kSubCode) {
        Reset();
        return;
    }
    const std::size_t end = FrameDataEnd(gprsFrame);
    std::size_t pos = 4;
    for (GprsSim& sim : sims_) {
        const std::size_t length = pos < end ? gprsFrame[pos] : 0;
        ++pos;
        if (length == 0) {
            sim.apn.clear();
            sim.user.clear();
            sim.password.clear();
            continue;
        }
        const std::size_t blockEnd = std::min(pos + length, end);
        const auto block = gprsFrame.subspan(std::min(pos, blockEnd), blockEnd - std::min(pos, blockEnd));
        std::size_t at = 0;
        sim.apn = NextText(block, at);
        sim.user = NextText(block, at);
        sim.password = NextText(block, at);
        pos += length;
    }
}

std::optional<std::string> GprsModel::Encode(std::span<Byte> gprsFrame) const {
    if (!HasApn()) {
        if (!gprsFrame.empty()) {
            gprsFrame[0] = 0;
        }
        return std::nullopt;
    }
    std::vector<Byte> body{frame::kStart, 0, frame::kCmdWrite, gprs::kSubCode};
    for (const GprsSim& sim : sims_) {
        if (sim.apn.empty()) {
            body.push_back(0);
            continue;
        }
        std::string block;
        for (const std::string* text : {&sim.apn, &sim.user, &sim.password}) {
            block += FrameText(*text);
            block.push_back('\0');
        }
        // The block length is one byte; the frame's own limit is tighter still.
        body.push_back(static_cast<Byte>(std::min<std::size_t>(block.size(), 0xFF)));
        body.insert(body.end(), block.begin(), block.end());
    }
    const std::size_t limit = std::min(frame::kMaxFrame, gprsFrame.size());
    const std::size_t length = body.size() + 1;
    if (length > limit || !PutFrame(gprsFrame, body)) {
        return "Параметры GPRS не помещаются в кадр настроек: на " + std::to_string(length - limit) +
               " симв. больше допустимого.\r\nСократите APN, имена пользователей или пароли.";
    }
    return std::nullopt;
}

bool GprsModel::AcceptKey(char32_t key) {
    return key == kKeyBackspace || key == U'-' || key == U'.' || key == U'@' || key == U'_' ||
           (key >= U'0' && key <= U'9') || (key >= U'A' && key <= U'Z') || (key >= U'a' && key <= U'z');
}

} // namespace orv
