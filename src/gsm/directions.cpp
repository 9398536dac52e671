#include "directions.h"

#include "cp1251.h"
#include "device/catalogue.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <vector>

namespace orv {

const std::array<std::string_view, 6> AttemptNames = {"Выкл.", "1", "2", "3", "4", "5"};
const std::array<std::string_view, 3> SimNames = {"1,2", "1", "2"};
const std::array<std::string_view, 4> ProtocolNames = {"Voice", "CSD", "Pro-Net", "SIA-IP"};

namespace {

const DirectionRow kEmptyRow{};

bool InRange(int row) {
    return row >= 0 && row < gsm::kDirections;
}

// Position of text in its list; a text outside it counts as the first entry.
int IndexOr0(std::span<const std::string_view> list, std::string_view text) {
    const int i = IndexOfText(list, text);
    return i < 0 ? 0 : i;
}

bool IsTelephoneProtocol(std::string_view protocol) {
    return protocol == ProtocolNames[0] || protocol == ProtocolNames[1];
}

bool IsHostProtocol(std::string_view protocol) {
    return protocol == ProtocolNames[2] || protocol == ProtocolNames[3];
}

// The record's text as frame bytes: converted and cut to the frame's limit.
std::string FrameText(std::string_view utf8) {
    std::string bytes = Utf8ToCp1251(utf8);
    if (bytes.size() > gsm::kTextMax) {
        bytes.resize(gsm::kTextMax);
    }
    return bytes;
}

void AppendRecord(std::vector<Byte>& out, const DirectionRecord& record) {
    if (!record.enabled) {
        out.push_back(0);
        return;
    }
    const std::string bytes = FrameText(record.text);
    out.push_back(static_cast<Byte>(bytes.size() + 1));
    out.push_back(record.settings);
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// Header bytes 0..7 of the frame as they stand, with start, command and sub-code set.
std::vector<Byte> GsmHeader(std::span<const Byte> frame) {
    std::vector<Byte> out(gsm::kRecords, 0);
    std::copy_n(frame.begin(), std::min(frame.size(), gsm::kRecords), out.begin());
    out[0] = frame::kStart;
    out[2] = frame::kCmdWrite;
    out[3] = gsm::kSubCode;
    return out;
}

void SetByte(std::span<Byte> frame, std::size_t i, Byte value) {
    if (i < frame.size()) {
        frame[i] = value;
    }
}

Byte GetByte(std::span<const Byte> frame, std::size_t i) {
    return i < frame.size() ? frame[i] : Byte{0};
}

} // namespace

// ---------------------------------------------------------------------------------------------

void ResetGsmFrame(std::span<Byte> frame) {
    std::vector<Byte> body{frame::kStart, 0, frame::kCmdWrite, gsm::kSubCode, 0, 1, 0, 0, 0, 0, 0, 0, 0};
    PutFrame(frame, body);
}

std::uint16_t GetDeviceNumber(std::span<const Byte> frame) {
    return static_cast<std::uint16_t>(GetByte(frame, gsm::kDeviceNumberHigh) << 8 |
                                      GetByte(frame, gsm::kDeviceNumberLow));
}

void SetDeviceNumber(std::span<Byte> frame, std::uint16_t number) {
    SetByte(frame, gsm::kDeviceNumberHigh, static_cast<Byte>(number >> 8));
    SetByte(frame, gsm::kDeviceNumberLow, static_cast<Byte>(number & 0xFF));
}

std::string DeviceNumberText(std::span<const Byte> frame) {
    char text[8];
    std::snprintf(text, sizeof text, "%.4u", static_cast<unsigned>(GetDeviceNumber(frame)));
    return text;
}

bool SetDeviceNumberText(std::span<Byte> frame, std::string_view text) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end || value > 0xFFFF) {
        return false;
    }
    SetDeviceNumber(frame, static_cast<std::uint16_t>(value));
    return true;
}

bool GetGprsFlag(std::span<const Byte> frame) {
    return GetByte(frame, gsm::kGprsFlag) != 0;
}
void SetGprsFlag(std::span<Byte> frame, bool on) {
    SetByte(frame, gsm::kGprsFlag, on ? 1 : 0);
}
bool GetSmsFlag(std::span<const Byte> frame) {
    return GetByte(frame, gsm::kSmsFlag) != 0;
}
void SetSmsFlag(std::span<Byte> frame, bool on) {
    SetByte(frame, gsm::kSmsFlag, on ? 1 : 0);
}

DirectionRecords ReadDirectionRecords(std::span<const Byte> frame) {
    DirectionRecords records{};
    const std::size_t end = FrameDataEnd(frame);
    std::size_t pos = gsm::kRecords;
    for (auto& record : records) {
        if (pos >= end) {
            break;
        }
        const std::size_t length = frame[pos];
        if (length == 0) {
            ++pos;
            continue;
        }
        record.enabled = true;
        record.settings = pos + 1 < end ? frame[pos + 1] : Byte{0};
        const std::size_t first = std::min(pos + 2, end);
        const std::size_t last = std::min(pos + 1 + length, end);
        record.text =
            Cp1251ToUtf8(std::string_view(reinterpret_cast<const char*>(frame.data()) + first, last - first));
        pos += length + 1;
    }
    return records;
}

bool WriteDirectionRecords(std::span<Byte> frame, const DirectionRecords& records) {
    std::vector<Byte> body = GsmHeader(frame);
    for (const auto& record : records) {
        AppendRecord(body, record);
    }
    return PutFrame(frame, body);
}

// ---------------------------------------------------------------------------------------------

DirectionsModel::DirectionsModel() {
    for (int r = 0; r < kRows; ++r) {
        rows_[static_cast<std::size_t>(r)].number = std::to_string(r + 1);
        rows_[static_cast<std::size_t>(r)].attempts = AttemptNames[0];
    }
}

const DirectionRow& DirectionsModel::Row(int row) const {
    return InRange(row) ? rows_[static_cast<std::size_t>(row)] : kEmptyRow;
}

std::string DirectionsModel::Cell(int row, int column) const {
    const DirectionRow& r = Row(row);
    switch (column) {
    case dcNumber:
        return r.number;
    case dcAttempts:
        return r.attempts;
    case dcSim:
        return r.sim;
    case dcProtocol:
        return r.protocol;
    case dcTarget:
        return r.target;
    default:
        return {};
    }
}

void DirectionsModel::SetRow(int row, DirectionRow value) {
    if (InRange(row)) {
        rows_[static_cast<std::size_t>(row)] = std::move(value);
    }
}

CellEditor DirectionsModel::EditorFor(int row, int column) const {
    if (!InRange(row)) {
        return CellEditor::Refused;
    }
    switch (column) {
    case dcPark:
        return CellEditor::None;
    case dcAttempts:
        return CellEditor::Attempts;
    case dcSim:
    case dcProtocol:
    case dcTarget:
        // Only a row with an attempt count ("1".."5") can be edited further.
        if (Utf8Length(Row(row).attempts) != 1) {
            return CellEditor::Refused;
        }
        return column == dcSim        ? CellEditor::Sim
               : column == dcProtocol ? CellEditor::Protocol
                                      : CellEditor::Text;
    default:
        return CellEditor::Refused;
    }
}

void DirectionsModel::ChooseAttempts(int row, int index) {
    if (!InRange(row) || index < 0 || index >= static_cast<int>(AttemptNames.size())) {
        return;
    }
    DirectionRow& r = rows_[static_cast<std::size_t>(row)];
    if (index == 0) {
        r.sim.clear();
        r.protocol.clear();
        r.target.clear();
    } else if (r.attempts == AttemptNames[0]) {
        r.sim = SimNames[0];
        r.protocol = ProtocolNames[0];
        r.target = gsm::kDefaultPhone;
    }
    r.attempts = AttemptNames[static_cast<std::size_t>(index)];
}

void DirectionsModel::ChooseSim(int row, int index) {
    if (InRange(row) && index >= 0 && index < static_cast<int>(SimNames.size())) {
        rows_[static_cast<std::size_t>(row)].sim = SimNames[static_cast<std::size_t>(index)];
    }
}

void DirectionsModel::ChooseProtocol(int row, int index) {
    if (!InRange(row) || index < 0 || index >= static_cast<int>(ProtocolNames.size())) {
        return;
    }
    DirectionRow& r = rows_[static_cast<std::size_t>(row)];
    const std::string_view chosen = ProtocolNames[static_cast<std::size_t>(index)];
    if (IsTelephoneProtocol(r.protocol) && IsHostProtocol(chosen)) {
        r.target = gsm::kDefaultHost;
    } else if (!IsTelephoneProtocol(r.protocol) && IsTelephoneProtocol(chosen)) {
        r.target = gsm::kDefaultPhone;
    }
    r.protocol = chosen;
}

void DirectionsModel::SetTarget(int row, std::string_view text) {
    if (InRange(row)) {
        rows_[static_cast<std::size_t>(row)].target = text;
    }
}

std::array<std::string, DirectionsModel::kRows> DirectionsModel::Targets() const {
    std::array<std::string, kRows> targets;
    for (int r = 0; r < kRows; ++r) {
        targets[static_cast<std::size_t>(r)] = rows_[static_cast<std::size_t>(r)].target;
    }
    return targets;
}

bool DirectionsModel::AcceptTargetKey(int row, std::string_view cellText,
                                      const std::array<std::string, kRows>& targets, char32_t key) {
    if (key == kKeyEnter || key == kKeyEscape || key == kKeyBackspace) {
        return true;
    }
    const bool allowed = (key >= U'0' && key <= U'9') || (key >= U'a' && key <= U'z') || key == U'(' ||
                         key == U')' || key == U'+' || key == U'-' || key == U'.' || key == U':';
    if (!allowed) {
        return false;
    }
    const std::size_t cell = Utf8Length(cellText);
    std::size_t total = cell;
    for (int r = 0; r < kRows; ++r) {
        if (r != row) {
            total += Utf8Length(targets[static_cast<std::size_t>(r)]);
        }
    }
    return cell < kCellLimit && total < kTotalLimit;
}

void DirectionsModel::MoveRow(int from, int to) {
    if (!InRange(from) || !InRange(to) || from == to) {
        return;
    }
    const auto first = rows_.begin();
    if (from < to) {
        std::rotate(first + from, first + from + 1, first + to + 1);
    } else {
        std::rotate(first + to, first + from, first + from + 1);
    }
}

// ---------------------------------------------------------------------------------------------

void DecodeDirections(std::span<const Byte> gsmFrame, DirectionsModel& table) {
    const DirectionRecords records = ReadDirectionRecords(gsmFrame);
    for (int r = 0; r < DirectionsModel::kRows; ++r) {
        const DirectionRecord& record = records[static_cast<std::size_t>(r)];
        DirectionRow row = table.Row(r);
        const Byte b = record.enabled ? record.settings : Byte{0};
        const int attempts = std::min(b >> 5, 5);
        const int sim = (b >> 3) & 3;
        const int protocol = b & 7;
        row.target = record.text;
        row.attempts = AttemptNames[static_cast<std::size_t>(attempts)];
        if (attempts == 0) {
            row.sim.clear();
            row.protocol.clear();
        } else {
            row.sim = SimNames[static_cast<std::size_t>(sim == 3 ? 0 : sim)];
            row.protocol = ProtocolNames[static_cast<std::size_t>(protocol > 3 ? 0 : protocol)];
        }
        table.SetRow(r, std::move(row));
    }
}

bool EncodeDirections(const DirectionsModel& table, std::span<Byte> gsmFrame) {
    DirectionRecords records{};
    for (int r = 0; r < DirectionsModel::kRows; ++r) {
        const DirectionRow& row = table.Row(r);
        DirectionRecord& record = records[static_cast<std::size_t>(r)];
        if (row.attempts == AttemptNames[0] || row.target.empty()) {
            continue;
        }
        const int attempts = IndexOr0(AttemptNames, row.attempts);
        const int sim = IndexOr0(SimNames, row.sim);
        const int protocol = IndexOr0(ProtocolNames, row.protocol);
        record.enabled = true;
        record.settings = static_cast<Byte>((attempts << 5) | ((sim << 3) & 0x18) | (protocol & 7));
        record.text = StoredTarget(ProtocolNames[static_cast<std::size_t>(protocol)], row.target);
    }
    return WriteDirectionRecords(gsmFrame, records);
}

bool AnyDirectionEnabled(const DirectionsModel& table) {
    return std::any_of(table.Rows().begin(), table.Rows().end(),
                       [](const DirectionRow& row) { return row.attempts != AttemptNames[0]; });
}

std::string StoredTarget(std::string_view protocol, std::string_view target) {
    const int index = IndexOr0(ProtocolNames, protocol);
    if (IsTelephoneProtocol(ProtocolNames[static_cast<std::size_t>(index)])) {
        return "+" + NormalizePhone(target);
    }
    return std::string(target);
}

std::string NormalizePhone(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c != '+' && c != '(' && c != ')' && c != '-' && c != '.' && c != ' ') {
            out.push_back(c);
        }
    }
    return out;
}

} // namespace orv
