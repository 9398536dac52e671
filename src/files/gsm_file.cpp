#include "gsm_file.h"

#include "device/retranslator.h"
#include "files/xml_rules.h"
#include "frame/hex_digits.h"
#include "gsm/tx_buffers.h"

#include <optional>
#include <vector>

namespace orv {

namespace {

using namespace xml;

std::string PduText(const SmsRecord& record) {
    std::string text;
    for (std::size_t i = 2; i < record.size(); ++i) {
        text += kUpperHexDigits[record[i] >> 4];
        text += kUpperHexDigits[record[i] & 0x0F];
    }
    return text;
}

// The first 16 characters as eight bytes; anything else means a damaged file.
std::optional<std::array<Byte, 8>> ParsePdu(std::string_view text) {
    if (text.size() < 16) {
        return std::nullopt;
    }
    std::array<Byte, 8> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = HexDigitValue(text[2 * i]);
        const int low = HexDigitValue(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes[i] = static_cast<Byte>(high << 4 | low);
    }
    return bytes;
}

std::optional<SmsRecord> RecordFrom(pugi::xml_node sms) {
    const auto pdu = ParsePdu(TextAt(sms, 2));
    if (!pdu) {
        return std::nullopt;
    }
    SmsRecord record{};
    record[0] = ByteAt(sms, 1);
    record[1] = ByteAt(sms, 0);
    std::copy(pdu->begin(), pdu->end(), record.begin() + 2);
    return record;
}

void WriteSmsElement(pugi::xml_node list, const SmsRecord& record) {
    pugi::xml_node n = list.append_child("SMS");
    SetInt(n, "PartID", record[1]);
    SetInt(n, "cfg", record[0]);
    SetText(n, "pdu", PduText(record));
}

void WriteDirections(pugi::xml_node destinations, const TProgramState& state) {
    const DirectionRecords records = ReadDirectionRecords(state.GsmFrame);
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!records[i].enabled) {
            continue;
        }
        const std::string name = "Dest" + std::to_string(i + 1);
        pugi::xml_node dest = destinations.append_child(name.c_str());
        SetInt(dest, "trySIMProt", records[i].settings);
        if (!records[i].text.empty()) {
            SetText(dest, "PhOrHst", records[i].text);
        }
    }
}

DirectionRecords ReadDirections(pugi::xml_node destinations) {
    DirectionRecords records{};
    for (std::size_t i = 0; i < records.size(); ++i) {
        const std::string name = "Dest" + std::to_string(i + 1);
        if (pugi::xml_node dest = FindSection(destinations, name)) {
            records[i].enabled = true;
            records[i].settings = ByteAt(dest, 0);
            records[i].text = TextAt(dest, 1);
        }
    }
    return records;
}

bool ReadSmsList(pugi::xml_node cfg, TProgramState& state) {
    TDevice& device = *state.device;
    pugi::xml_node list = FindSection(cfg, "SMS_List");
    if (auto* ret = dynamic_cast<TDV15_Ret*>(&device)) {
        if (!list) {
            return true;
        }
        T_SMS_List& sms = ret->Sms();
        sms.Clear();
        int n = 0;
        for (pugi::xml_node item = list.first_child(); item && n < T_SMS_List::kRecords;
             item = item.next_sibling()) {
            if (!IsItem(item, "SMS")) {
                continue;
            }
            const auto record = RecordFrom(item);
            if (!record) {
                return false;
            }
            // Type 0 is an empty slot: stored, it would end the list before the records after it,
            // and switch the list on with nothing in it.
            if ((*record)[0] == 0) {
                continue;
            }
            sms.SetRecord(++n, *record);
            SetSmsFlag(state.GsmFrame, true);
        }
        return true;
    }
    const int rows = SmsRowCount(device.DevType);
    std::vector<SmsRecord> records;
    SetSmsFlag(state.GsmFrame, false);
    if (list) {
        int examined = 0;
        for (pugi::xml_node item = list.first_child(); item && examined < rows; item = item.next_sibling()) {
            ++examined;
            if (!IsItem(item, "SMS")) {
                continue;
            }
            const auto record = RecordFrom(item);
            if (!record) {
                return false;
            }
            if ((*record)[0] == 0) {
                continue;
            }
            records.push_back(*record);
            SetSmsFlag(state.GsmFrame, true);
        }
    }
    return WriteSmsRecords(state.SmsFrame, records, rows);
}

bool ReadGprs(pugi::xml_node cfg, TProgramState& state) {
    pugi::xml_node settings = FindSection(cfg, "GPRS_Settings");
    if (!settings) {
        SetGprsFlag(state.GsmFrame, false);
        return true;
    }
    SetGprsFlag(state.GsmFrame, true);
    state.Gprs.Reset();
    static constexpr const char* kSims[2] = {"SIM1", "SIM2"};
    for (int sim = 0; sim < 2; ++sim) {
        if (pugi::xml_node n = FindSection(settings, kSims[sim])) {
            state.Gprs.SetApn(sim, TextAt(n, 0));
            state.Gprs.SetUser(sim, TextAt(n, 1));
            state.Gprs.SetPassword(sim, TextAt(n, 2));
        }
    }
    // Texts that cannot travel in one frame make the file unusable, not half-read.
    return !state.Gprs.Encode(state.GprsFrame).has_value();
}

} // namespace

void WriteGsmSubtree(pugi::xml_node configMPI, const TProgramState& state) {
    pugi::xml_node cfg = configMPI.append_child("CFG");
    SetInt(cfg, "DeviceNum", GetDeviceNumber(state.GsmFrame));
    WriteDirections(cfg.append_child("CID_Destinations"), state);
    if (GetSmsFlag(state.GsmFrame)) {
        pugi::xml_node list = cfg.append_child("SMS_List");
        if (auto* ret = dynamic_cast<const TDV15_Ret*>(state.device.get())) {
            for (int n = 1; n <= T_SMS_List::kRecords && ret->Sms().Record(n)[0] != 0; ++n) {
                WriteSmsElement(list, ret->Sms().Record(n));
            }
        } else if (state.device) {
            for (const SmsRecord& r : ReadSmsRecords(state.SmsFrame, SmsRowCount(state.device->DevType))) {
                WriteSmsElement(list, r);
            }
        }
    }
    if (GetGprsFlag(state.GsmFrame)) {
        pugi::xml_node gprs = cfg.append_child("GPRS_Settings");
        static constexpr const char* kSims[2] = {"SIM1", "SIM2"};
        for (int sim = 0; sim < 2; ++sim) {
            pugi::xml_node n = gprs.append_child(kSims[sim]);
            SetText(n, "APN", state.Gprs.Sim(sim).apn);
            SetText(n, "user", state.Gprs.Sim(sim).user);
            SetText(n, "password", state.Gprs.Sim(sim).password);
        }
    }
}

bool ReadGsmSubtree(pugi::xml_node configMPI, TProgramState& state) {
    pugi::xml_node cfg = FindSection(configMPI, "CFG");
    if (!cfg || !state.device) {
        return false;
    }
    ResetGsmFrame(state.GsmFrame);
    const long long number = ParseNumber(cfg.attribute("DeviceNum").value());
    SetDeviceNumber(state.GsmFrame, static_cast<std::uint16_t>(number & 0xFFFF));
    if (pugi::xml_node destinations = FindSection(cfg, "CID_Destinations")) {
        WriteDirectionRecords(state.GsmFrame, ReadDirections(destinations));
    }
    if (!ReadSmsList(cfg, state) || !ReadGprs(cfg, state)) {
        return false;
    }
    // The flags changed after the records were written: the frame must stay sealed.
    const std::size_t length = state.GsmFrame[1];
    if (length > 8 && length <= frame::kMaxFrame) {
        frame::SealFrame(state.GsmFrame.data(), length);
    }
    // The GPRS model already holds the file's texts; filling it again from the frame would turn
    // two empty APNs into the first preset.
    DecodeDirections(state.GsmFrame, state.Directions);
    RefreshSmsModels(state);
    return true;
}

std::string BuildGsmDirectionsDocument(const TProgramState& state) {
    pugi::xml_document doc = NewDocument();
    pugi::xml_node root = doc.append_child("config");
    SetInt(root, "version", 1);
    SetText(root, "firmName", "Zelvorin");
    SetText(root, "FileID", "8");
    WriteDirections(root.append_child("configMPI").append_child("CID_Destinations"), state);
    return Serialize(doc);
}

SaveResult WriteGsmDirectionsFile(const TProgramState& state, const std::string& path) {
    return SaveFileAtomically(path, BuildGsmDirectionsDocument(state));
}

bool ReadGsmDirectionsFile(TProgramState& state, const std::string& path) {
    pugi::xml_document doc;
    if (!LoadFile(doc, path)) {
        return false;
    }
    pugi::xml_node root = doc.document_element();
    if (!root || ParseNumber(root.attribute("FileID").value()) != 8) {
        return false;
    }
    pugi::xml_node mpi = FindSection(root, "configMPI");
    pugi::xml_node destinations = mpi ? FindSection(mpi, "CID_Destinations") : pugi::xml_node();
    if (!destinations) {
        return false;
    }
    WriteDirectionRecords(state.GsmFrame, ReadDirections(destinations));
    DecodeDirections(state.GsmFrame, state.Directions);
    return true;
}

} // namespace orv
