#pragma once

// The settings list with, for every setting, the values it takes and where a value goes back in
// the configuration. Built by the same code that lists the settings, so how a setting shows and
// where it is stored are written once, side by side. Internal to the settings library.

#include "settings/settings.h"

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orv::fields {

// What a text setting holds.
enum class TextKind {
    None,   // a number
    Free,   // any Windows-1251 text without control characters (GPRS)
    Target, // a direction's telephone number or host: also at most 30 characters
    Phone,  // an SMS telephone number: empty, or what packs into a record
    Cell,   // a directions grid cell: one of names, or empty in a row that is off
};

struct Field {
    // Numbers: the stored values taken are min..max with no bit outside mask.
    long long min = 0;
    long long max = 0;
    long long mask = -1;
    // The text the page shows for a stored value.
    std::function<std::string(long long)> show;
    // A shown text back to its stored value, for settings whose values are too many to find by
    // show(); nothing when the text is not one.
    std::function<std::optional<long long>(std::string_view)> parse;
    std::function<void(TProgramState&, long long)> store;

    TextKind text = TextKind::None;
    std::span<const std::string_view> names; // Cell: the list's items, position = stored number
    std::function<void(TProgramState&, const std::string&)> storeText;
};

struct Catalog {
    SettingsList list;
    std::vector<Field> fields; // one for each of list.items, in the same order
};

// The settings as ListSettings lists them (without a zone page), with their fields.
Catalog Collect(const TProgramState& state);

} // namespace orv::fields
