#pragma once

// The configuration as an ordered list of named settings: what every page and dialog shows,
// read from the device object and the GSM models, never from widgets. The text view of the
// command-line tool, its JSON output, compare, the unsaved-changes check, reports and the
// journal all read this one list.

#include "gsm/program_state.h"
#include "gsm/tx_buffers.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

struct Setting {
    std::string page; // the page or dialog that shows it: "Шлейфы", "Передача", "SMS", "Объекты"
    std::string key;   // stable machine key: "zones.3.type", "gsm.directions.2.number"
    std::string label; // as the page shows it, with its row when it has one: "ШС3: Тип шлейфа"
    std::string value; // the value as the page shows it: "Дверной", "да", "15"
    // The stored value: a decimal number (rawIsNumber), or the text itself for texts. Only the
    // bits the setting names: two settings never share a stored bit.
    std::string raw;
    bool rawIsNumber = true;
    // Rows of a table (zones, outputs, directions, SMS numbers, objects): the table's key
    // ("zones"), the row's caption ("ШС3") and the column's caption ("Тип шлейфа"); all three
    // empty for a setting that stands alone. label is row + ": " + column.
    std::string table;
    std::string row;
    std::string column;

    bool operator==(const Setting&) const = default;
    // Shows and stores the same value (page, label and table captions aside).
    bool SameValue(const Setting& other) const {
        return value == other.value && raw == other.raw && rawIsNumber == other.rawIsNumber;
    }
};

struct SettingsList {
    Byte devType = 0; // 0: no device object
    std::string deviceName;
    std::vector<Setting> items;

    const Setting* Find(std::string_view key) const;
    bool operator==(const SettingsList&) const = default;
};

// Every setting that a page, dialog or file holds for the state's device type, in page order;
// nothing the type does not have. A setting the page hides because of another one's value (the
// bus number while the transmitter is not RS-485, a zone's delays while it is not a door zone)
// is listed all the same: it is stored and written. The GSM settings are listed only while a
// GSM communicator is connected, the SMS list only while "Передавать SMS" is on and the GPRS
// settings only while "Использовать конфигурацию GPRS" is on: otherwise none of them is written
// to the panel or saved.
//
// zonePage: the zones page as the window shows it. Its re-arm, fire re-query and partition
// dependency boxes reach the device object only in the commit step; given, they are listed as
// the boxes show them, otherwise as the device object holds them.
SettingsList ListSettings(const TProgramState& state, const ZonePageView* zonePage = nullptr);

// One setting that differs.
struct SettingDiff {
    std::string page; // from A, or from B when only B has the setting
    std::string key;
    std::string label;
    // The values to show side by side; nullopt for a side without the setting. When both sides
    // show the same text but store different values, the stored value follows in brackets:
    // "да (7)" and "да (1)".
    std::optional<std::string> a;
    std::optional<std::string> b;
    // The whole settings, for the stored values and the table captions.
    std::optional<Setting> inA;
    std::optional<Setting> inB;
};

struct Comparison {
    Byte typeA = 0;
    Byte typeB = 0;
    std::string deviceA; // device names
    std::string deviceB;
    // In A's order, then the settings only B has in B's order. Of different types, only the
    // settings both have are compared.
    std::vector<SettingDiff> diffs;

    bool SameType() const { return typeA == typeB; }
    bool Equal() const { return SameType() && diffs.empty(); }
};

Comparison Compare(const SettingsList& a, const SettingsList& b);

// JSON with stable keys (documented in the README); UTF-8, one object, ending in a line feed.
std::string ToJson(const SettingsList& list);
std::string ToJson(const Comparison& comparison);

// Readable Russian text: the device, then every page with its settings (a table's row on one
// line); and the differences, one per line ("Раздел, Параметр: A → B"), empty when equal. Every
// text in it has its control characters escaped.
std::string ToText(const SettingsList& list);
std::string ToText(const Comparison& comparison);

// A text from a file, a panel or another computer as a terminal may show it: tab, line feed and
// carriage return as \t, \n, \r, the other control characters (C0, DEL, C1) and bytes that are
// no UTF-8 as \xHH or \u00HH, so that no line is forged and no escape sequence reaches the
// terminal. Everything else, backslashes too, stays as it is.
std::string EscapeControls(std::string_view text);

} // namespace orv
