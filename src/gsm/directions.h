#pragma once

// The GSM settings frame (device number, GPRS and SMS flags, five report directions) and the
// table model of the directions grid on the transmission page.

#include "gsm/frame_buffer.h"
#include "gsm/keys.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace orv {

// Cell texts of the directions grid, position = the index stored in the settings byte.
extern const std::array<std::string_view, 6> AttemptNames; // "Выкл." = the direction is off
extern const std::array<std::string_view, 3> SimNames;
extern const std::array<std::string_view, 4> ProtocolNames; // Voice, CSD: telephone; others: host

namespace gsm {
inline constexpr Byte kSubCode = 2;
inline constexpr std::size_t kDeviceNumberHigh = 4;
inline constexpr std::size_t kDeviceNumberLow = 5;
inline constexpr std::size_t kGprsFlag = 6;
inline constexpr std::size_t kSmsFlag = 7;
inline constexpr std::size_t kRecords = 8;
inline constexpr int kDirections = 5;
inline constexpr std::size_t kTextMax = 30; // characters of a telephone number or host

// Texts put into a row by the editing rules.
inline constexpr std::string_view kDefaultPhone = "+7(903)123-45-67";
inline constexpr std::string_view kDefaultHost = "127.0.0.1:24333";
} // namespace gsm

// ---------------------------------------------------------------------------------------------
// Frame fields. Every function takes the frame as a span and never touches bytes outside it.

// Start byte, write command, device number 1, both flags off, five disabled directions; also the
// sub-code, the length and the checksum, so the frame is complete and can be sent or decoded.
void ResetGsmFrame(std::span<Byte> frame);

std::uint16_t GetDeviceNumber(std::span<const Byte> frame); // bytes 4-5, big endian
void SetDeviceNumber(std::span<Byte> frame, std::uint16_t number);
std::string DeviceNumberText(std::span<const Byte> frame); // at least four digits: "0001"
// The text of the device number field: a decimal number 0..65535 is stored and true returned;
// anything else leaves the frame unchanged.
bool SetDeviceNumberText(std::span<Byte> frame, std::string_view text);

// Byte 6, "Использовать конфигурацию GPRS": the GPRS frame travels with the directions.
bool GetGprsFlag(std::span<const Byte> frame);
void SetGprsFlag(std::span<Byte> frame, bool on);
// Byte 7, "Передавать SMS": an SMS list travels with the directions.
bool GetSmsFlag(std::span<const Byte> frame);
void SetSmsFlag(std::span<Byte> frame, bool on);

// The five direction records as stored, for the files. text is UTF-8 (the frame holds it as
// Windows-1251); a disabled record has enabled false and nothing else.
struct DirectionRecord {
    bool enabled = false;
    Byte settings = 0; // attempts << 5 | SIM << 3 | protocol
    std::string text;
    bool operator==(const DirectionRecord&) const = default;
};
using DirectionRecords = std::array<DirectionRecord, gsm::kDirections>;

// Walks the records from byte 8. A record that runs past the end of the frame's data is cut
// there, and the records after it read as disabled.
DirectionRecords ReadDirectionRecords(std::span<const Byte> frame);
// Rebuilds the records from byte 8 (texts cut to 30 characters), then the sub-code, length and
// checksum. Bytes 0 to 7 other than the length and sub-code are left as they are. Returns
// false, leaving the frame unchanged, only when the frame is too small to hold them.
bool WriteDirectionRecords(std::span<Byte> frame, const DirectionRecords& records);

// ---------------------------------------------------------------------------------------------
// The directions grid: five rows in frame order, columns as the grid shows them.

enum DirectionColumn : int {
    dcNumber = 0,   // row number, moves with the row
    dcPark = 1,     // hidden; the selection rests here after an editor closes
    dcAttempts = 2, // an AttemptNames entry
    dcSim = 3,      // a SimNames entry, empty when off
    dcProtocol = 4, // a ProtocolNames entry, empty when off
    dcTarget = 5,   // telephone number or host, empty when off
};

// What selecting a cell does.
enum class CellEditor {
    Refused,  // the selection is refused
    None,     // selectable, no editor
    Attempts, // drop-down lists
    Sim,
    Protocol,
    Partition,
    Source,
    SmsType,
    Text, // edited in place as text, through the grid's key filter
};

struct DirectionRow {
    std::string number;
    std::string attempts;
    std::string sim;
    std::string protocol;
    std::string target;
    bool operator==(const DirectionRow&) const = default;
};

class DirectionsModel {
public:
    static constexpr int kRows = gsm::kDirections;

    // Rows numbered "1" to "5", all off.
    DirectionsModel();

    // Rows count from 0 (the grid's row r + 1). Out-of-range rows read empty and are never
    // written; so are out-of-range columns and list indexes.
    const DirectionRow& Row(int row) const;
    const std::array<DirectionRow, kRows>& Rows() const { return rows_; }
    std::string Cell(int row, int column) const;
    void SetRow(int row, DirectionRow value);

    CellEditor EditorFor(int row, int column) const;

    // Editor close-up: index into AttemptNames. "Выкл." empties the row; leaving "Выкл." puts
    // SIM "1,2", "Voice" and the default telephone number.
    void ChooseAttempts(int row, int index);
    void ChooseSim(int row, int index);
    // Telephone kind <-> host kind puts the default host or telephone number.
    void ChooseProtocol(int row, int index);
    void SetTarget(int row, std::string_view text);

    std::array<std::string, kRows> Targets() const;

    // Key filter of column 5. cellText is the text being edited in row; targets are the five
    // column 5 texts (row's own entry is replaced by cellText). Enter, Escape and Backspace
    // always pass; "()+-.:", digits and "a".."z" pass while the cell holds fewer than 30
    // characters and the five cells together fewer than 135.
    static bool AcceptTargetKey(int row, std::string_view cellText,
                                const std::array<std::string, kRows>& targets, char32_t key);
    static constexpr std::size_t kCellLimit = gsm::kTextMax;
    static constexpr std::size_t kTotalLimit = 135;

    // Drag and drop: the row at from moves to position to, the rows between shift by one.
    void MoveRow(int from, int to);

private:
    std::array<DirectionRow, kRows> rows_;
};

// Fills the rows from the frame's records; settings bytes are clamped (attempts above 5 show
// as 5, SIM 3 as "1,2", protocols above 3 as "Voice"). Row numbers stay with their rows.
void DecodeDirections(std::span<const Byte> gsmFrame, DirectionsModel& table);

// Rebuilds the records from the rows: a row is enabled when its attempts are not "Выкл." and
// its text is not empty; telephone texts become "+" and their characters other than
// "+()-. "; texts are cut to 30 characters. Sets start byte, command, sub-code, length and
// checksum and leaves bytes 4 to 7 alone. Returns false (frame unchanged) only when the frame
// is too small, which a FrameBuffer never is.
bool EncodeDirections(const DirectionsModel& table, std::span<Byte> gsmFrame);

// True when some row's attempts cell is not "Выкл." (a text outside the list counts as on).
bool AnyDirectionEnabled(const DirectionsModel& table);

// The text without "+", "(", ")", "-", "." and blanks.
std::string NormalizePhone(std::string_view text);

// A row's target as a save stores it under the protocol (a ProtocolNames entry, or another text,
// which counts as the first): telephone numbers as "+" and their other characters than
// "+()-. ", hosts as they stand.
std::string StoredTarget(std::string_view protocol, std::string_view target);

} // namespace orv
