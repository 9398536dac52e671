#include "sms.h"

#include "cp1251.h"
#include "device/catalogue.h"
#include "device/device.h"

#include <algorithm>
#include <charconv>

namespace orv {

const std::array<std::string_view, 3> SmsTypeNames = {"Выключено", "Только тревоги",
                                                      "Тревоги, взятия\\снятия"};

namespace {

constexpr std::string_view kSymbols = "0123456789*#abc";
constexpr std::string_view kSourceSelf = "Прибор";
constexpr std::string_view kSourceObject = "Об.№";
constexpr std::string_view kSourceAll = "Всё";
constexpr Byte kSourceAllValue = 33;
constexpr int kObjects = 32;

const SmsRow kEmptySmsRow{};

// A whole decimal number of at most three digits' worth (0..255), or nullopt.
std::optional<Byte> ParseByte(std::string_view text) {
    unsigned value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || text.front() == '-' || text.front() == '+' || ec != std::errc{} || ptr != end ||
        value > 0xFF) {
        return std::nullopt;
    }
    return static_cast<Byte>(value);
}

std::span<const Byte, 8> PhoneBytes(const SmsRecord& record) {
    return std::span<const Byte, 8>(record.data() + 2, 8);
}

SmsRecord MakeRecord(Byte type, Byte second, const PackedPhone& phone) {
    SmsRecord record{type, second};
    std::copy(phone.begin(), phone.end(), record.begin() + 2);
    return record;
}

SmsRow FrameRow(const SmsRecord& record) {
    return SmsRow{record[0], std::to_string(record[1]), UnpackPhoneBcd(PhoneBytes(record)), record};
}

SmsRow RetRow(const SmsRecord& record) {
    return SmsRow{record[0], SmsSourceText(record[1]), UnpackPhoneBcd(PhoneBytes(record)), record};
}

// The row still shows exactly what it was filled with.
template <class MakeRow> bool Untouched(const SmsRow& row, MakeRow make) {
    if (!row.stored) {
        return false;
    }
    const SmsRow original = make(*row.stored);
    return row.type == original.type && row.partition == original.partition && row.phone == original.phone;
}

template <class Rows> void Rotate(Rows& rows, int from, int to) {
    const auto first = rows.begin();
    if (from < to) {
        std::rotate(first + from, first + from + 1, first + to + 1);
    } else if (to < from) {
        std::rotate(first + to, first + from, first + from + 1);
    }
}

} // namespace

std::string SmsTypeName(int type) {
    if (type >= 0 && type < static_cast<int>(SmsTypeNames.size())) {
        return std::string(SmsTypeNames[static_cast<std::size_t>(type)]);
    }
    return "Тип " + std::to_string(type);
}

std::optional<PackedPhone> PackPhoneBcd(std::string_view text) {
    const std::string digits = NormalizePhone(text);
    if (digits.size() < 10 || digits.size() > 16) {
        return std::nullopt;
    }
    PackedPhone packed;
    packed.fill(0xFF);
    for (std::size_t k = 0; k < digits.size(); ++k) {
        const std::size_t nibble = kSymbols.find(digits[k]);
        if (nibble == std::string_view::npos) {
            return std::nullopt;
        }
        Byte& b = packed[k / 2];
        b = k % 2 == 0 ? static_cast<Byte>(nibble) : static_cast<Byte>(b + nibble * 16);
    }
    const std::size_t n = digits.size();
    if (n % 2 == 1) {
        packed[n / 2] |= 0xF0;
    } else if (n < 16) {
        packed[n / 2] = 0x0F;
    }
    return packed;
}

std::string UnpackPhoneBcd(std::span<const Byte, 8> packed) {
    std::string out;
    for (std::size_t k = 0; k < 16; ++k) {
        const Byte b = packed[k / 2];
        const unsigned nibble = k % 2 == 0 ? (b & 0x0Fu) : (b >> 4u);
        if (nibble == 0x0F) {
            break;
        }
        out.push_back(kSymbols[nibble]);
    }
    return out;
}

int SmsRowCount(Byte devType) {
    return devType == 7 || devType == 15 ? 10 : 8;
}

bool AcceptSmsKey(int column, std::string_view cellText, char32_t key) {
    if (key == kKeyEnter || key == kKeyEscape || key == kKeyBackspace) {
        return true;
    }
    const bool digit = key >= U'0' && key <= U'9';
    if (column == sms::kColPartition) {
        return digit;
    }
    if (column == sms::kColPhone) {
        const bool allowed = digit || key == U'(' || key == U')' || key == U'+' || key == U'-';
        return allowed && Utf8Length(cellText) <= sms::kPhoneKeyLimit;
    }
    return true;
}

std::vector<SmsRecord> ReadSmsRecords(std::span<const Byte> frame, int rowCount) {
    std::vector<SmsRecord> records;
    const std::size_t end = FrameDataEnd(frame);
    for (int k = 0; k < rowCount; ++k) {
        const std::size_t pos = sms::kRecords + sms::kRecordSize * static_cast<std::size_t>(k);
        if (pos + sms::kRecordSize > end || frame[pos] == 0) {
            break;
        }
        SmsRecord record;
        std::copy_n(frame.begin() + static_cast<std::ptrdiff_t>(pos), record.size(), record.begin());
        records.push_back(record);
    }
    return records;
}

bool WriteSmsRecords(std::span<Byte> frame, std::span<const SmsRecord> records, int rowCount) {
    std::vector<Byte> body{frame::kStart, 0, frame::kCmdWrite, sms::kSubCode};
    int n = 0;
    for (const SmsRecord& record : records) {
        if (n >= rowCount || record[0] == 0) {
            break;
        }
        body.insert(body.end(), record.begin(), record.end());
        ++n;
    }
    if (n < rowCount) {
        body.push_back(0);
    }
    return PutFrame(frame, body);
}

// ---------------------------------------------------------------------------------------------

SmsModel::SmsModel() {
    Setup(0, Family::Other);
}

void SmsModel::Setup(const TDevice& device) {
    const Family family = IsOP8(device)   ? Family::EightZone
                          : IsOP5(device) ? Family::FiveZone
                                          : Family::Other;
    Setup(device.DevType, family);
}

void SmsModel::Setup(Byte devType, Family family) {
    devType_ = devType;
    family_ = family;
    rows_.resize(static_cast<std::size_t>(SmsRowCount(devType)), OffRow());
    // Off rows show the partition the family starts from.
    for (SmsRow& row : rows_) {
        if (row.type == 0 && !row.stored) {
            row = OffRow();
        }
    }
}

SmsRow SmsModel::OffRow() const {
    return SmsRow{0, DefaultPartition(), {}, std::nullopt};
}

void SmsModel::RefreshControls(std::span<const Byte> smsFrame) {
    const std::vector<SmsRecord> records = ReadSmsRecords(smsFrame, RowCount());
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        rows_[r] = r < records.size() ? FrameRow(records[r]) : OffRow();
    }
}

const SmsRow& SmsModel::Row(int row) const {
    return InRange(row) ? rows_[static_cast<std::size_t>(row)] : kEmptySmsRow;
}

std::string SmsModel::Cell(int row, int column) const {
    if (!InRange(row)) {
        return {};
    }
    const SmsRow& r = Row(row);
    switch (column) {
    case sms::kColNumber:
        return std::to_string(row + 1);
    case sms::kColType:
        return SmsTypeName(r.type);
    case sms::kColPartition:
        return r.partition;
    case sms::kColPhone:
        return r.phone;
    default:
        return {};
    }
}

void SmsModel::SetRow(int row, SmsRow value) {
    if (InRange(row)) {
        rows_[static_cast<std::size_t>(row)] = std::move(value);
    }
}

CellEditor SmsModel::EditorFor(int row, int column) const {
    if (!InRange(row)) {
        return CellEditor::Refused;
    }
    if (column == sms::kColPark) {
        return CellEditor::None;
    }
    if (column == sms::kColType) {
        return CellEditor::SmsType;
    }
    if (Row(row).type == 0) {
        return CellEditor::Refused;
    }
    if (column == sms::kColPartition) {
        switch (family_) {
        case Family::EightZone:
            return CellEditor::Partition;
        case Family::FiveZone:
            return CellEditor::Refused;
        case Family::Other:
            return CellEditor::Text;
        }
    }
    return column == sms::kColPhone ? CellEditor::Text : CellEditor::Refused;
}

void SmsModel::ChooseType(int row, int index) {
    if (!InRange(row) || index < 0 || index >= static_cast<int>(SmsTypeNames.size())) {
        return;
    }
    SmsRow& r = rows_[static_cast<std::size_t>(row)];
    if (index == 0) {
        r.phone.clear();
    } else if (r.type == 0) {
        r.phone = gsm::kDefaultPhone;
    }
    r.type = static_cast<Byte>(index);
}

void SmsModel::ChoosePartition(int row, int position) {
    if (InRange(row) && position >= 0 && position < 8) {
        rows_[static_cast<std::size_t>(row)].partition = std::to_string(position + 1);
    }
}

void SmsModel::SetPartition(int row, std::string_view text) {
    if (InRange(row)) {
        rows_[static_cast<std::size_t>(row)].partition = text;
    }
}

void SmsModel::SetPhone(int row, std::string_view text) {
    if (InRange(row)) {
        rows_[static_cast<std::size_t>(row)].phone = text;
    }
}

bool SmsModel::CheckGridOK() const {
    return std::all_of(rows_.begin(), rows_.end(), [](const SmsRow& r) {
        const auto value = ParseByte(r.partition);
        return value && *value <= sms::kPartitionMax;
    });
}

std::optional<std::string> SmsModel::Encode(std::span<Byte> smsFrame) {
    std::vector<SmsRecord> records;
    for (const SmsRow& row : rows_) {
        if (Untouched(row, FrameRow)) {
            records.push_back(*row.stored);
            continue;
        }
        if (row.type == 0) {
            continue;
        }
        const auto phone = PackPhoneBcd(row.phone);
        if (!phone) {
            continue;
        }
        const auto partition = ParseByte(row.partition);
        if (!partition) {
            return std::string(sms::kPartitionsText);
        }
        records.push_back(MakeRecord(row.type, *partition, *phone));
    }
    WriteSmsRecords(smsFrame, records, RowCount());
    listNotEmpty_ = !records.empty();
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------

std::vector<std::string> SmsSourceNames() {
    std::vector<std::string> names;
    names.reserve(kObjects + 2);
    names.emplace_back(kSourceSelf);
    for (int n = 1; n <= kObjects; ++n) {
        names.push_back(std::string(kSourceObject) + std::to_string(n));
    }
    names.emplace_back(kSourceAll);
    return names;
}

std::string SmsSourceText(Byte source) {
    if (source == 0) {
        return std::string(kSourceSelf);
    }
    if (source <= kObjects) {
        return std::string(kSourceObject) + std::to_string(source);
    }
    return std::string(kSourceAll);
}

Byte SmsSourceValue(std::string_view text) {
    if (text == kSourceAll) {
        return kSourceAllValue;
    }
    if (text.find(kSourceObject) == std::string_view::npos) {
        return 0;
    }
    // The number starts at the fifth character.
    std::size_t pos = 0;
    for (int skipped = 0; skipped < 4 && pos < text.size(); ++skipped) {
        ++pos;
        while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) {
            ++pos;
        }
    }
    return ParseByte(text.substr(pos)).value_or(0);
}

// ---------------------------------------------------------------------------------------------

RetSmsModel::RetSmsModel() {
    Fill(T_SMS_List{});
}

void RetSmsModel::Fill(const T_SMS_List& list) {
    for (int r = 0; r < kRows; ++r) {
        const SmsRecord record = list.Record(r + 1);
        rows_[static_cast<std::size_t>(r)] =
            record[0] == 0 ? SmsRow{0, std::string(kSourceSelf), {}, std::nullopt} : RetRow(record);
    }
}

void RetSmsModel::UpdateDevice(T_SMS_List& list) {
    listNotEmpty_ = false;
    for (auto& record : list.Records()) {
        record[0] = 0;
    }
    int next = 1;
    for (const SmsRow& row : rows_) {
        if (Untouched(row, RetRow)) {
            list.SetRecord(next++, *row.stored);
            listNotEmpty_ = true;
            continue;
        }
        if ((row.type & 0x7F) == 0) {
            continue;
        }
        const auto phone = PackPhoneBcd(row.phone);
        if (!phone) {
            continue;
        }
        list.SetRecord(next++, MakeRecord(row.type, SmsSourceValue(row.partition), *phone));
        listNotEmpty_ = true;
    }
}

const SmsRow& RetSmsModel::Row(int row) const {
    return InRange(row) ? rows_[static_cast<std::size_t>(row)] : kEmptySmsRow;
}

std::string RetSmsModel::Cell(int row, int column) const {
    if (!InRange(row)) {
        return {};
    }
    const SmsRow& r = Row(row);
    switch (column) {
    case sms::kColNumber:
        return std::to_string(row + 1);
    case sms::kColType:
        return SmsTypeName(r.type & 0x7F);
    case sms::kColPartition:
        return r.partition;
    case sms::kColPhone:
        return r.phone;
    default:
        return {};
    }
}

void RetSmsModel::SetRow(int row, SmsRow value) {
    if (InRange(row)) {
        rows_[static_cast<std::size_t>(row)] = std::move(value);
    }
}

CellEditor RetSmsModel::EditorFor(int row, int column) const {
    if (!InRange(row)) {
        return CellEditor::Refused;
    }
    if (column == sms::kColPark) {
        return CellEditor::None;
    }
    if (column == sms::kColType) {
        return CellEditor::SmsType;
    }
    if ((Row(row).type & 0x7F) == 0) {
        return CellEditor::Refused;
    }
    if (column == sms::kColPartition) {
        return CellEditor::Source;
    }
    return column == sms::kColPhone ? CellEditor::Text : CellEditor::Refused;
}

void RetSmsModel::ChooseType(int row, int index) {
    if (!InRange(row) || index < 0 || index >= static_cast<int>(SmsTypeNames.size())) {
        return;
    }
    SmsRow& r = rows_[static_cast<std::size_t>(row)];
    if (index == 0) {
        r.phone.clear();
    } else if ((r.type & 0x7F) == 0) {
        r.phone = gsm::kDefaultPhone;
    }
    r.type = static_cast<Byte>(index);
}

void RetSmsModel::ChooseSource(int row, int index) {
    if (InRange(row) && index >= 0 && index <= kObjects + 1) {
        rows_[static_cast<std::size_t>(row)].partition = SmsSourceNames()[static_cast<std::size_t>(index)];
    }
}

void RetSmsModel::SetPhone(int row, std::string_view text) {
    if (InRange(row)) {
        rows_[static_cast<std::size_t>(row)].phone = text;
    }
}

void RetSmsModel::MoveRow(int from, int to) {
    if (InRange(from) && InRange(to)) {
        Rotate(rows_, from, to);
    }
}

} // namespace orv
