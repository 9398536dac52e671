#include "state_file.h"

#include "sim/hex.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace orv::sim {

std::string FormatState(const TPanelState& state) {
    std::ostringstream out;
    out << "type " << int{state.type} << "\n";
    out << "version " << int{state.version} << "\n";
    out << "config " << ToHex(state.config) << "\n";
    out << "objects " << ToHex(state.objects) << "\n";
    out << "gsm " << ToHex(state.gsm) << "\n";
    out << "gprs " << ToHex(state.gprs) << "\n";
    out << "sms " << ToHex(state.sms) << "\n";
    std::vector<Byte> records;
    for (std::size_t k = 0; k < state.SmsRecordCount(); ++k) {
        records.insert(records.end(), state.smsRecords[k].begin(), state.smsRecords[k].end());
    }
    out << "sms-records " << ToHex(records) << "\n";
    return out.str();
}

std::optional<TPanelState> ParseState(const std::string& text) {
    TPanelState state;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
        if (key == "type" || key == "version") {
            (key == "type" ? state.type : state.version) = static_cast<Byte>(std::stoi(value));
            continue;
        }
        const auto bytes = FromHex(value);
        if (!bytes) {
            return std::nullopt;
        }
        if (key == "config") {
            state.config = *bytes;
        } else if (key == "objects" && bytes->size() == state.objects.size()) {
            std::copy(bytes->begin(), bytes->end(), state.objects.begin());
        } else if (key == "gsm") {
            state.gsm = *bytes;
        } else if (key == "gprs") {
            state.gprs = *bytes;
        } else if (key == "sms") {
            state.sms = *bytes;
        } else if (key == "sms-records" && bytes->size() % 10 == 0 && bytes->size() <= 400) {
            for (std::size_t i = 0; i < bytes->size(); ++i) {
                state.smsRecords[i / 10][i % 10] = (*bytes)[i];
            }
        } else {
            return std::nullopt;
        }
    }
    return state;
}

bool WriteStateFile(const std::string& path, const TPanelState& state) {
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << FormatState(state);
        if (!out.flush()) {
            return false;
        }
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

std::optional<TPanelState> ReadStateFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParseState(text.str());
}

} // namespace orv::sim
