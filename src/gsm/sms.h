#pragma once

// SMS lists: packed telephone numbers, the SMS frame of the panels with a partition per number
// (grid model of the "SMS" dialog) and the retranslator's 40-number list (grid model of the
// "Передача SMS" dialog) over its T_SMS_List.

#include "device/sms_list.h"
#include "gsm/directions.h"

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

class TDevice;

// Items of the type editor, position = stored type. 0 marks an empty slot or the end.
extern const std::array<std::string_view, 3> SmsTypeNames;
// Shown for a stored type the list does not name (read from a panel): "Тип " and the value.
std::string SmsTypeName(int type);

// Eight bytes of decimal digits, two per byte, the first of a pair in the low nibble; an end
// nibble 0xF follows the last digit and the bytes after it are 0xFF. Sixteen digits fill all
// eight bytes and have no end nibble.
using PackedPhone = std::array<Byte, 8>;

// Packs the text after NormalizePhone. Refused (nullopt) unless it has 10 to 16 characters, each
// a digit or one of the other semi-octet symbols "*", "#", "a", "b", "c" (nibbles A to E, which
// is how unpacking shows them).
std::optional<PackedPhone> PackPhoneBcd(std::string_view text);
// Reads up to 16 nibbles, stopping at the first 0xF.
std::string UnpackPhoneBcd(std::span<const Byte, 8> packed);

namespace sms {
inline constexpr Byte kSubCode = 4;
inline constexpr std::size_t kRecords = 4; // first record in the SMS frame
inline constexpr std::size_t kRecordSize = 10;
inline constexpr int kPartitionMax = 64; // what the dialog lets through
// Grid columns of both SMS dialogs.
inline constexpr int kColNumber = 0;
inline constexpr int kColPark = 1;
inline constexpr int kColType = 2;
inline constexpr int kColPartition = 3; // the source in the retranslator's list
inline constexpr int kColPhone = 4;
inline constexpr std::size_t kPhoneKeyLimit = 21;
inline constexpr std::string_view kPartitionsText =
    "Номера разделов должны быть в пределах\r\n0-64\r\nИсправьте ошибки.";
inline constexpr std::string_view kCaption = "SMS";
} // namespace sms

// Rows of the "SMS" dialog: 10 for device type codes 7 and 15, 8 for all others.
int SmsRowCount(Byte devType);

// Key filter of both SMS grids. Enter, Escape and Backspace always pass; in the partition
// column only digits; in the telephone column "(", ")", "+", "-" and digits while the cell holds
// at most 21 characters; other columns are not filtered.
bool AcceptSmsKey(int column, std::string_view cellText, char32_t key);

// The records of an SMS frame as stored, up to rowCount, stopping before the first with type 0
// or one that runs past the frame's data. For the files.
std::vector<SmsRecord> ReadSmsRecords(std::span<const Byte> frame, int rowCount);
// Builds a complete SMS frame from records (at most rowCount; records from one with type 0 on
// are not stored): header, records, the end mark when fewer than rowCount, length, checksum.
bool WriteSmsRecords(std::span<Byte> frame, std::span<const SmsRecord> records, int rowCount);

// ---------------------------------------------------------------------------------------------
// One row of either SMS grid.
struct SmsRow {
    Byte type = 0;         // stored type byte; SmsTypeNames for 0..2
    std::string partition; // "SMS": partition in decimal; retranslator: source text
    std::string phone;
    // The record this row was filled from. While the row still shows what it was filled with,
    // the record is written back byte for byte, so what was read is never altered unseen.
    std::optional<SmsRecord> stored;
    bool operator==(const SmsRow&) const = default;
};

// The "SMS" dialog's grid (panels other than the retranslator), over the SMS frame.
class SmsModel {
public:
    enum class Family {
        EightZone, // partition chosen from "1".."8"
        FiveZone,  // partition fixed ("0")
        Other,     // partition typed in
    };

    SmsModel();

    // Row count and partition rules for the device. Filled rows that remain keep their
    // contents; off rows and new ones show the family's default partition.
    void Setup(const TDevice& device);
    void Setup(Byte devType, Family family);
    Byte DevType() const { return devType_; }
    Family GetFamily() const { return family_; }
    int RowCount() const { return static_cast<int>(rows_.size()); }

    // Fills every row from the frame; from the first record with type 0 on (or one that runs past
    // the frame's data), rows show "Выключено", the family's default partition and no number.
    void RefreshControls(std::span<const Byte> smsFrame);

    // Rows count from 0 (grid row r + 1). Out-of-range rows read empty and are never written.
    const SmsRow& Row(int row) const;
    std::string Cell(int row, int column) const;
    void SetRow(int row, SmsRow value);

    CellEditor EditorFor(int row, int column) const;
    // Type editor close-up (index into SmsTypeNames): from "Выключено" to a type puts the default
    // telephone number; "Выключено" empties the number.
    void ChooseType(int row, int index);
    // Partition editor close-up: item position 0..7 stores "1".."8".
    void ChoosePartition(int row, int position);
    void SetPartition(int row, std::string_view text);
    void SetPhone(int row, std::string_view text);

    // Every row's partition is a number 0..64.
    bool CheckGridOK() const;

    // Rebuilds the SMS frame: filled rows packed together in grid order (rows off or with a
    // number that packing refuses are left out), the end mark when fewer than the row count.
    // Refused with sms::kPartitionsText, frame unchanged, when a stored row's partition is not a
    // number 0..255.
    std::optional<std::string> Encode(std::span<Byte> smsFrame);
    // Set by Encode: at least one record was stored.
    bool ListNotEmpty() const { return listNotEmpty_; }

    std::string DefaultPartition() const { return family_ == Family::FiveZone ? "0" : "1"; }

private:
    SmsRow OffRow() const;
    bool InRange(int row) const { return row >= 0 && row < RowCount(); }

    Byte devType_ = 0;
    Family family_ = Family::Other;
    std::vector<SmsRow> rows_;
    bool listNotEmpty_ = false;
};

// Source of a retranslator SMS record: 0 "Прибор", 1..32 "Об.№" and the number, 33 "Всё".
std::vector<std::string> SmsSourceNames(); // the 34 items of the source editor
std::string SmsSourceText(Byte source);    // above 32 shows as "Всё"
Byte SmsSourceValue(std::string_view text);

// The "Передача SMS" dialog's grid: 40 rows over the retranslator's T_SMS_List.
class RetSmsModel {
public:
    static constexpr int kRows = T_SMS_List::kRecords;

    RetSmsModel();

    // Rows 1..40 show records 1..40 one to one; a record with type 0 shows "Выключено",
    // "Прибор" and no number.
    void Fill(const T_SMS_List& list);
    // Clears every type byte, then stores the filled rows from record 1 on, packed together.
    void UpdateDevice(T_SMS_List& list);
    bool ListNotEmpty() const { return listNotEmpty_; }

    const SmsRow& Row(int row) const;
    std::string Cell(int row, int column) const; // type name from the low 7 bits
    void SetRow(int row, SmsRow value);

    CellEditor EditorFor(int row, int column) const;
    void ChooseType(int row, int index);
    // Source editor close-up: index into SmsSourceNames.
    void ChooseSource(int row, int index);
    void SetPhone(int row, std::string_view text);
    // Drag and drop; the number column is the position, so rows are renumbered by themselves.
    void MoveRow(int from, int to);

private:
    bool InRange(int row) const { return row >= 0 && row < kRows; }

    std::array<SmsRow, kRows> rows_;
    bool listNotEmpty_ = false;
};

} // namespace orv
