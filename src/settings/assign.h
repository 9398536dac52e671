#pragma once

// Settings set by their keys, the other way round from the settings list: a value given for a
// key goes where the list read it from, with the checks a file's reader makes (ranges, lengths,
// the characters a panel takes, Windows-1251 text), and a template is a set of such values kept
// to be applied to other configurations.

#include "settings/settings.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

// How a value is given.
enum class ValueForm {
    Shown,  // as the page shows it: "да", a list's item, a partition 1..8
    Stored, // the stored value, "raw" in show --json
    Either, // as shown when it is a shown value, otherwise the stored value
};

struct SettingValue {
    std::string key;
    std::string value;
    ValueForm form = ValueForm::Either;
};

struct SetOutcome {
    // For the user when nothing was set: names the key and the values it takes.
    std::string error;
    // The keys that changed along with the given ones ("gsm.sms.*" for rows of a table).
    std::vector<std::string> tied;
    // The configuration before and after.
    Comparison changes;

    bool ok() const { return error.empty(); }
};

// Sets every value, or none: on refusal the state is left as it was. The commit step runs
// before and after, so the state then holds what a save stores, and every value reads back from
// the settings list as given (telephone numbers as a save stores them). Values are taken in
// order; a key that shows only once another setting is on (the GSM settings once the
// communicator is connected) may come before it. The rows of an SMS list are given as the list
// shows them, packed: a row switched off or without a number is left out and the rows after it
// move up.
SetOutcome SetSettings(TProgramState& state, std::span<const SettingValue> values);
SetOutcome SetSetting(TProgramState& state, std::string_view key, std::string_view value,
                      ValueForm form = ValueForm::Either);

// "*" takes every key, "gsm.directions.*" every key below "gsm.directions.", anything else the
// key itself.
bool KeyMatches(std::string_view pattern, std::string_view key);

// A company's standard settings, kept as a file and applied to other configurations.
struct SettingsTemplate {
    std::string name;
    std::string note;
    // The device types it is for; empty: every type that has its keys.
    std::vector<Byte> types;
    // Key, page, label, shown and stored value of each, as the list it was made from held them.
    std::vector<Setting> settings;
};

// The settings of list whose keys match one of the patterns, in the list's order. A pattern
// that matches no key is named in unmatched when given.
SettingsTemplate MakeTemplate(const SettingsList& list, std::span<const std::string> patterns,
                              std::vector<std::string>* unmatched = nullptr);

// The value a template or a settings file gives for a setting: its stored value, or when it
// has none (a number's raw left empty) its shown value.
SettingValue ValueToSet(const Setting& s);

// The template's values, set on the state; refused as a whole for a device type it is not for.
SetOutcome ApplyTemplate(TProgramState& state, const SettingsTemplate& t);

// A type's configuration as a new file holds it: the factory settings, the GSM settings fresh.
TProgramState DefaultConfiguration(Byte code);

} // namespace orv
