#include "assign.h"

#include "device/catalogue.h"
#include "gsm/cp1251.h"
#include "gsm/tx_buffers.h"
#include "settings/fields.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>
#include <variant>

namespace orv {

namespace {

using fields::Field;
using fields::TextKind;

// Shown texts are looked for among the stored values when they are no more than this many.
constexpr long long kSearchLimit = 4096;

std::string Quoted(std::string_view text) {
    return "«" + std::string(text) + "»";
}

std::optional<long long> Decimal(std::string_view text) {
    long long value = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (!text.empty() && text.front() == '+') {
        ++first;
    }
    const auto [end, ec] = std::from_chars(first, last, value);
    if (first == last || ec != std::errc{} || end != last) {
        return std::nullopt;
    }
    return value;
}

bool InRange(const Field& f, long long raw) {
    return raw >= f.min && raw <= f.max && (f.mask < 0 || (raw & ~f.mask) == 0);
}

bool NumberShown(const Field& f, long long raw) {
    const std::string shown = f.show(raw);
    return shown == std::to_string(raw) || shown == std::to_string(raw + 1);
}

// "число 0..255", or for a few bits the numbers they add up from.
std::string NumbersTaken(const Field& f) {
    if (f.mask >= 0 && std::popcount(static_cast<unsigned long long>(f.mask)) <= 8) {
        std::string bits;
        for (int bit = 0; bit < 63; ++bit) {
            if ((f.mask >> bit) & 1) {
                bits += (bits.empty() ? "" : ", ") + std::to_string(1LL << bit);
            }
        }
        return "сумма чисел " + bits;
    }
    return "число " + std::to_string(f.min) + ".." + std::to_string(f.max);
}

// What a setting takes, for the messages.
std::string Accepted(const Field& f) {
    switch (f.text) {
    case TextKind::Free:
        return "текст в кодировке Windows-1251 без управляющих символов";
    case TextKind::Target:
        return "телефонный номер или адрес до 30 символов в кодировке Windows-1251";
    case TextKind::Phone:
        return "пусто или номер из 10-16 цифр (а также *, #, a, b, c), можно с +, скобками, дефисами и "
               "пробелами";
    case TextKind::Cell: {
        std::string names;
        for (std::size_t i = 0; i < f.names.size(); ++i) {
            names += (i == 0 ? "" : ", ") + Quoted(f.names[i]) + " (" + std::to_string(i) + ")";
        }
        return names + "; пусто в выключенном направлении";
    }
    case TextKind::None:
        break;
    }
    if (!f.show) {
        return "не задаётся";
    }
    if (f.parse) {
        return "значение, как его показывает страница, или " + NumbersTaken(f);
    }
    const long long count = f.max - f.min + 1;
    if (count > kSearchLimit) {
        return NumbersTaken(f);
    }
    if (f.mask >= 0) {
        // A group of check boxes: the caption of each, or a single box.
        std::string captions;
        for (int bit = 0; bit < 63; ++bit) {
            if ((f.mask >> bit) & 1) {
                captions += (captions.empty() ? "" : ", ") + Quoted(f.show(1LL << bit));
            }
        }
        if (f.show(f.mask) == "да") {
            return "«да», «нет» или число 0, " + std::to_string(f.mask);
        }
        return "«" + f.show(0) + "» или через запятую " + captions + "; или " + NumbersTaken(f);
    }
    if (f.min == 0 && f.show(0) == "нет" && f.show(1) == "да") {
        return "«да», «нет» или число 0.." + std::to_string(f.max);
    }
    std::vector<std::pair<long long, std::string>> named;
    for (long long raw = f.min; raw <= f.max; ++raw) {
        std::string shown = f.show(raw);
        if (NumberShown(f, raw) || shown.starts_with("код ") || shown.starts_with("Тип ")) {
            continue;
        }
        if (std::none_of(named.begin(), named.end(), [&](const auto& n) { return n.second == shown; })) {
            named.emplace_back(raw, std::move(shown));
        }
    }
    if (named.empty()) {
        const bool plusOne = f.show(f.min) == std::to_string(f.min + 1);
        if (plusOne) {
            return "число " + std::to_string(f.min + 1) + ".." + std::to_string(f.max + 1) +
                   " (хранится на 1 меньше: " + std::to_string(f.min) + ".." + std::to_string(f.max) + ")";
        }
        return NumbersTaken(f);
    }
    std::string text;
    if (named.size() > 12) {
        text = "одно из " + std::to_string(named.size()) + " значений списка, например " +
               Quoted(named.front().second);
    } else {
        for (const auto& [raw, shown] : named) {
            text += (text.empty() ? "" : ", ") + Quoted(shown) + " (" + std::to_string(raw) + ")";
        }
    }
    return text + "; или " + NumbersTaken(f);
}

std::string Refused(const SettingValue& v, const Field& f) {
    return v.key + ": значение " + Quoted(v.value) + " не подходит; допустимо: " + Accepted(f);
}

// A value made ready to store.
struct Parsed {
    bool number = true;
    long long raw = 0;
    std::string text;
};

std::optional<long long> FindShown(const Field& f, const Setting& now, std::string_view text) {
    // What the setting shows now keeps its stored value: "да" over a flag byte of 7 stays 7.
    if (now.rawIsNumber && now.value == text) {
        return Decimal(now.raw);
    }
    if (f.parse) {
        const auto raw = f.parse(text);
        return raw && InRange(f, *raw) ? raw : std::nullopt;
    }
    if (f.max - f.min + 1 > kSearchLimit) {
        return std::nullopt;
    }
    for (long long raw = f.min; raw <= f.max; ++raw) {
        if (InRange(f, raw) && f.show(raw) == text) {
            return raw;
        }
    }
    return std::nullopt;
}

bool CleanText(std::string_view text) {
    return std::none_of(text.begin(), text.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20; }) &&
           Cp1251ToUtf8(Utf8ToCp1251(text)) == text;
}

std::variant<Parsed, std::string> Parse(const SettingValue& v, const Field& f, const Setting& now) {
    switch (f.text) {
    case TextKind::None:
        break;
    case TextKind::Cell: {
        if (v.form != ValueForm::Stored && (v.value.empty() || IndexOfText(f.names, v.value) >= 0)) {
            return Parsed{false, 0, v.value};
        }
        const auto index = v.form == ValueForm::Shown ? std::nullopt : Decimal(v.value);
        if (index && *index >= 0 && *index < static_cast<long long>(f.names.size())) {
            return Parsed{false, 0, std::string(f.names[static_cast<std::size_t>(*index)])};
        }
        if (v.form == ValueForm::Stored && v.value.empty()) {
            return Parsed{false, 0, {}};
        }
        return Refused(v, f);
    }
    case TextKind::Free:
    case TextKind::Target:
        if (!CleanText(v.value) || (f.text == TextKind::Target && Utf8Length(v.value) > gsm::kTextMax)) {
            return Refused(v, f);
        }
        return Parsed{false, 0, v.value};
    case TextKind::Phone:
        if (!v.value.empty() && !PackPhoneBcd(v.value)) {
            return Refused(v, f);
        }
        return Parsed{false, 0, v.value};
    }
    if (!f.store) {
        return v.key + ": задаётся в своём диалоге, когда его список можно сохранить";
    }
    if (v.form != ValueForm::Stored) {
        if (const auto raw = FindShown(f, now, v.value)) {
            return Parsed{true, *raw, {}};
        }
        if (v.form == ValueForm::Shown) {
            return Refused(v, f);
        }
    }
    const auto raw = Decimal(v.value);
    const bool held = raw && now.rawIsNumber && now.raw == std::to_string(*raw);
    if (!raw || (!held && !InRange(f, *raw))) {
        return Refused(v, f);
    }
    return Parsed{true, *raw, {}};
}

// What the list must show for the value once it is stored; nothing when the value removes its
// row (an SMS row switched off or without a number: the rows after it move up into its place).
std::optional<std::string> Expected(const SettingValue& v, const Field& f, const Parsed& p,
                                    const SettingsList& after) {
    if (p.number) {
        if (v.key.starts_with("gsm.sms.") && v.key.ends_with(".type") && (p.raw & 0x7F) == 0) {
            return std::nullopt;
        }
        return std::to_string(p.raw);
    }
    switch (f.text) {
    case TextKind::Phone:
        if (p.text.empty()) {
            return std::nullopt;
        }
        return UnpackPhoneBcd(*PackPhoneBcd(p.text));
    case TextKind::Target: {
        if (p.text.empty()) {
            return p.text;
        }
        const std::string protocolKey = v.key.substr(0, v.key.rfind('.')) + ".protocol";
        const Setting* protocol = after.Find(protocolKey);
        return StoredTarget(protocol ? protocol->value : std::string_view(), p.text);
    }
    default:
        return p.text;
    }
}

// Why a value that was taken did not stay as given.
std::string NotKept(const SettingValue& v, const Setting* now) {
    std::string text = v.key + ": значение " + Quoted(v.value) + " не сохраняется";
    if (now) {
        text += " (остаётся " + Quoted(now->value) + ")";
    }
    if (v.key.starts_with("gsm.sms.")) {
        text += ": строки SMS хранятся подряд, с первой, и только включённые и с номером телефона";
    } else if (v.key.starts_with("gsm.directions.")) {
        text += ": направление хранится, только когда у него есть число попыток и номер";
    } else if (v.key == "partition_dependency") {
        text += ": зависеть от раздела 1 может только раздел с охранным шлейфом (типы 5, 6 и 7)";
    } else if (v.key.starts_with("objects.")) {
        text += ": номер выключенного объекта не хранится";
    }
    return text;
}

std::string Unknown(const std::string& key, const TProgramState& s) {
    const TDevice& d = *s.device;
    std::string text = "Параметра " + Quoted(key) + " нет у прибора " + Quoted(DeviceName(d.DevType)) +
                       " (тип " + std::to_string(d.DevType) + ")";
    if (key.starts_with("gsm.") && d.GetGsmConnected()) {
        if (key.starts_with("gsm.sms.") && !GetSmsFlag(s.GsmFrame)) {
            text += ": список SMS есть, пока включено «Передавать SMS» (gsm.sms_on)";
        } else if (key.starts_with("gsm.gprs.") && !GetGprsFlag(s.GsmFrame)) {
            text += ": параметры GPRS есть, пока включено «Использовать конфигурацию GPRS» (gsm.gprs_on)";
        }
    } else if (key.starts_with("gsm.") && d.DevType != 8) {
        text += IsOP8(d) ? ": параметры GSM есть, пока вид передачи GSM (transmitter)"
                         : ": параметры GSM есть, пока подключен GSM-ORV (gsm.connected)";
    }
    return text;
}

// The commit step a save runs; its refusal, if any.
std::optional<std::string> Commit(TProgramState& s) {
    const CommitResult commit = UpdateAllTXBuffers(s, nullptr, CommitFor::File);
    if (!commit.ok()) {
        return commit.refusal;
    }
    return std::nullopt;
}

// The GSM models as the frames hold them after a commit, so that row n of a model is row n of
// the list.
void Normalise(TProgramState& s) {
    if (!s.device->GetGsmConnected()) {
        return;
    }
    DecodeDirections(s.GsmFrame, s.Directions);
    if (GetSmsFlag(s.GsmFrame)) {
        RefreshSmsModels(s);
    }
}

// The keys that changed besides the given ones; those of two or more rows of a table as
// "table.*".
std::vector<std::string> Tied(const Comparison& changes, const std::set<std::string, std::less<>>& given) {
    struct Group {
        std::vector<std::string> keys;
        std::set<std::string> rows;
    };
    std::map<std::string, Group> groups;
    std::vector<std::string> order;
    for (const SettingDiff& d : changes.diffs) {
        if (given.count(d.key)) {
            continue;
        }
        const Setting& any = d.inB ? *d.inB : *d.inA;
        const std::string name = any.table.empty() ? d.key : any.table;
        if (!groups.count(name)) {
            order.push_back(name);
        }
        groups[name].keys.push_back(d.key);
        groups[name].rows.insert(any.row);
    }
    std::vector<std::string> tied;
    for (const std::string& name : order) {
        const Group& g = groups[name];
        if (g.rows.size() > 1) {
            tied.push_back(name + ".*");
        } else {
            tied.insert(tied.end(), g.keys.begin(), g.keys.end());
        }
    }
    return tied;
}

} // namespace

bool KeyMatches(std::string_view pattern, std::string_view key) {
    if (pattern == "*") {
        return true;
    }
    if (pattern.ends_with(".*")) {
        return key.starts_with(pattern.substr(0, pattern.size() - 1));
    }
    return pattern == key;
}

SetOutcome SetSettings(TProgramState& state, std::span<const SettingValue> values) {
    SetOutcome out;
    if (!state.device) {
        out.error = "Прибор не выбран";
        return out;
    }
    TProgramState work = state;
    work.device = CopyDevice(*state.device);
    if (auto refusal = Commit(work)) {
        out.error = *refusal;
        return out;
    }
    Normalise(work);
    fields::Catalog catalog = fields::Collect(work);
    const SettingsList before = catalog.list;
    std::unordered_map<std::string_view, std::size_t> index;
    const auto reindex = [&] {
        index.clear();
        for (std::size_t i = 0; i < catalog.list.items.size(); ++i) {
            index.emplace(catalog.list.items[i].key, i);
        }
    };
    reindex();

    std::set<std::string_view> keys;
    for (const SettingValue& v : values) {
        if (!keys.insert(v.key).second) {
            out.error = v.key + ": задан дважды";
            return out;
        }
    }

    struct Taken {
        std::size_t value;
        Field field;
        Parsed parsed;
    };
    std::vector<Taken> taken;
    taken.reserve(values.size());
    std::vector<std::size_t> pending(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        pending[i] = i;
    }
    bool changedSince = false; // the catalog may no longer list every key the state has
    while (!pending.empty()) {
        std::vector<std::size_t> later;
        for (const std::size_t i : pending) {
            const SettingValue& v = values[i];
            auto found = index.find(v.key);
            // A shown value is read against what the setting shows now.
            if ((found == index.end() || v.form != ValueForm::Stored) && changedSince) {
                catalog = fields::Collect(work);
                reindex();
                changedSince = false;
                found = index.find(v.key);
            }
            if (found == index.end()) {
                later.push_back(i);
                continue;
            }
            const Field& field = catalog.fields[found->second];
            auto parsed = Parse(v, field, catalog.list.items[found->second]);
            if (auto* refusal = std::get_if<std::string>(&parsed)) {
                out.error = std::move(*refusal);
                return out;
            }
            const Parsed& p = std::get<Parsed>(parsed);
            const Setting& now = catalog.list.items[found->second];
            if (p.number) {
                // A stored value the panel holds though the setting would not take it stays.
                if (InRange(field, p.raw) || now.raw != std::to_string(p.raw)) {
                    field.store(work, p.raw);
                }
            } else {
                field.storeText(work, p.text);
            }
            changedSince = true;
            taken.push_back({i, field, p});
        }
        if (later.size() == pending.size()) {
            out.error = Unknown(values[later.front()].key, work);
            return out;
        }
        pending = std::move(later);
    }

    if (auto refusal = Commit(work)) {
        const auto gprs = std::find_if(values.begin(), values.end(),
                                       [](const SettingValue& v) { return v.key.starts_with("gsm.gprs."); });
        out.error = (gprs != values.end() ? gprs->key + ": " : std::string()) + *refusal;
        return out;
    }
    const SettingsList after = ListSettings(work);
    std::set<std::string, std::less<>> given;
    for (const Taken& t : taken) {
        const SettingValue& v = values[t.value];
        given.insert(v.key);
        const auto expected = Expected(v, t.field, t.parsed, after);
        if (!expected) {
            continue;
        }
        const Setting* now = after.Find(v.key);
        if (!now || (t.parsed.number ? now->raw : now->value) != *expected) {
            out.error = NotKept(v, now);
            return out;
        }
    }
    out.changes = Compare(before, after);
    out.tied = Tied(out.changes, given);
    // The caller's device object stays: whatever refers to it sees the new configuration.
    const std::shared_ptr<TDevice> device = state.device;
    CopyDeviceInto(*work.device, *device);
    state = std::move(work);
    state.device = device;
    return out;
}

SetOutcome SetSetting(TProgramState& state, std::string_view key, std::string_view value, ValueForm form) {
    const SettingValue one{std::string(key), std::string(value), form};
    return SetSettings(state, std::span<const SettingValue>(&one, 1));
}

SettingsTemplate MakeTemplate(const SettingsList& list, std::span<const std::string> patterns,
                              std::vector<std::string>* unmatched) {
    SettingsTemplate t;
    std::vector<bool> used(patterns.size(), false);
    for (const Setting& s : list.items) {
        bool taken = false;
        for (std::size_t i = 0; i < patterns.size(); ++i) {
            if (KeyMatches(patterns[i], s.key)) {
                used[i] = true;
                taken = true;
            }
        }
        if (taken) {
            t.settings.push_back(s);
        }
    }
    if (unmatched) {
        for (std::size_t i = 0; i < patterns.size(); ++i) {
            if (!used[i]) {
                unmatched->push_back(patterns[i]);
            }
        }
    }
    return t;
}

SettingValue ValueToSet(const Setting& s) {
    // The stored value is exact; a template written by hand may give only the shown one.
    const bool stored = !s.raw.empty() || !s.rawIsNumber;
    return {s.key, stored ? s.raw : s.value, stored ? ValueForm::Stored : ValueForm::Shown};
}

TProgramState DefaultConfiguration(Byte code) {
    TProgramState s;
    s.device = CreateDevice(code);
    ResetGsmFrame(s.GsmFrame);
    RefreshGsmModels(s);
    return s;
}

SetOutcome ApplyTemplate(TProgramState& state, const SettingsTemplate& t) {
    if (!state.device) {
        return {"Прибор не выбран", {}, {}};
    }
    const Byte type = state.device->DevType;
    if (!t.types.empty() && std::find(t.types.begin(), t.types.end(), type) == t.types.end()) {
        std::string types;
        for (const Byte code : t.types) {
            types += (types.empty() ? "" : ", ") + std::to_string(code);
        }
        return {"Шаблон " + Quoted(t.name) + " не для прибора " + Quoted(DeviceName(type)) + " (тип " +
                    std::to_string(type) + "): он для типов " + types,
                {},
                {}};
    }
    std::vector<SettingValue> values;
    values.reserve(t.settings.size());
    for (const Setting& s : t.settings) {
        values.push_back(ValueToSet(s));
    }
    SetOutcome out = SetSettings(state, values);
    if (!out.ok()) {
        out.error = "Шаблон " + Quoted(t.name) + ": " + out.error;
    }
    return out;
}

} // namespace orv
