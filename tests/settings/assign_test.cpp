// Settings set by their keys: every key of every type takes the values a file can hold and
// changes that setting alone (or the settings tied to it, which it names); values out of range
// and keys a type lacks are refused with a message that names them, leaving the configuration
// as it was; templates carry exactly their settings from one configuration to another.
#include "device/catalogue.h"
#include "files/config_file.h"
#include "settings/assign.h"
#include "settings/random_configuration.h"
#include "settings/settings.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace orv {
namespace {

constexpr std::array<Byte, 17> kTypeCodes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18};

// A random configuration as a file holds it: saved and read back, so every value is one a
// file's reader can produce.
TProgramState FileConfiguration(Byte code, unsigned seed, int fill = -1) {
    TProgramState random = test::RandomConfiguration(code, seed, fill);
    EXPECT_TRUE(UpdateAllTXBuffers(random, nullptr, CommitFor::File).ok());
    const std::string text = BuildConfigDocument(random);
    TProgramState s;
    EXPECT_TRUE(ReadConfigDocument(s, text.data(), text.size()));
    return s;
}

TProgramState Copy(const TProgramState& s) {
    TProgramState copy = s;
    copy.device = CopyDevice(*s.device);
    return copy;
}

TProgramState Defaults(Byte code) {
    TProgramState s;
    s.device = CreateDevice(code);
    ResetGsmFrame(s.GsmFrame);
    RefreshGsmModels(s);
    return s;
}

bool Matches(const std::string& key, const std::vector<std::string>& patterns) {
    return std::any_of(patterns.begin(), patterns.end(),
                       [&](const std::string& p) { return KeyMatches(p, key); });
}

// A tied key or "table.*" lies within one of the patterns.
bool Covered(const std::string& tied, const std::vector<std::string>& patterns) {
    const std::string key = tied.ends_with(".*") ? tied.substr(0, tied.size() - 1) + "1" : tied;
    return std::any_of(patterns.begin(), patterns.end(), [&](const std::string& p) {
        return p == tied || (KeyMatches(p, key) && (!tied.ends_with(".*") || p.ends_with(".*")));
    });
}

std::set<std::string> ChangedKeys(const Comparison& c) {
    std::set<std::string> keys;
    for (const SettingDiff& d : c.diffs) {
        keys.insert(d.key);
    }
    return keys;
}

// The settings a key may bring along: what shows or is stored only because of it.
std::vector<std::string> MayTie(const std::string& key) {
    const auto row = key.substr(0, key.rfind('.') + 1);
    if (key == "transmitter" || key == "gsm.connected") {
        return {"gsm.*"};
    }
    if (key == "gsm.sms_on") {
        return {"gsm.sms.*"};
    }
    if (key == "gsm.gprs_on") {
        return {"gsm.gprs.*"};
    }
    if (key.starts_with("gsm.directions.") && key.ends_with(".attempts")) {
        return {row + "*"};
    }
    if (key.starts_with("gsm.directions.") && key.ends_with(".protocol")) {
        return {row + "number"};
    }
    if (key.starts_with("objects.") && key.ends_with(".type")) {
        return {row + "number"};
    }
    // The commit step keeps a dependency only on partitions that hold a guard zone.
    if (key.starts_with("zones.") && (key.ends_with(".type") || key.ends_with(".partition"))) {
        return {"partition_dependency"};
    }
    return {};
}

// Whether a value can be refused for what other settings hold: a dependency on a partition
// without guard zones, the number of an object that is off.
bool MayBeRefusedByOthers(const std::string& key, const SettingsList& list) {
    if (key == "partition_dependency") {
        return true;
    }
    if (key.starts_with("objects.") && key.ends_with(".number")) {
        const Setting* type = list.Find(key.substr(0, key.rfind('.')) + ".type");
        return type && type->raw == "0";
    }
    return false;
}

class SetByKeyEveryType : public ::testing::TestWithParam<Byte> {};

// Every key set to the value another configuration of the type holds for it: the stored value,
// the shown text, or either; afterwards the key shows that value and nothing else changed but
// what the outcome names as tied.
TEST_P(SetByKeyEveryType, EachKeyTakesTheValuesAFileHolds) {
    const Byte code = GetParam();
    const TProgramState target = FileConfiguration(code, 1);
    const SettingsList before = ListSettings(target);
    const std::vector<TProgramState> donors{FileConfiguration(code, 2), FileConfiguration(code, 3, 0x00),
                                            FileConfiguration(code, 4, 0xFF)};
    const ValueForm forms[] = {ValueForm::Stored, ValueForm::Shown, ValueForm::Either};
    int set = 0;
    for (const Setting& s : before.items) {
        for (std::size_t k = 0; k < donors.size(); ++k) {
            const SettingsList donorList = ListSettings(donors[k]);
            const Setting* other = donorList.Find(s.key);
            if (!other || other->SameValue(s)) {
                continue;
            }
            const ValueForm form = forms[k];
            const std::string value = form == ValueForm::Stored ? other->raw : other->value;
            SCOPED_TRACE(s.key + " = " + value + " (form " + std::to_string(static_cast<int>(form)) + ")");
            TProgramState state = Copy(target);
            const SetOutcome outcome = SetSetting(state, s.key, value, form);
            if (!outcome.ok()) {
                EXPECT_TRUE(MayBeRefusedByOthers(s.key, before)) << outcome.error;
                EXPECT_NE(outcome.error.find(s.key), std::string::npos) << outcome.error;
                EXPECT_TRUE(Compare(before, ListSettings(state)).Equal());
                continue;
            }
            ++set;
            const SettingsList after = ListSettings(state);
            const Setting* now = after.Find(s.key);
            ASSERT_NE(now, nullptr);
            if (s.key.starts_with("gsm.directions.") && s.key.ends_with(".number")) {
                // Stored as the row's protocol stores it: a host under a telephone protocol
                // keeps only its digits.
                const Setting* protocol = after.Find(s.key.substr(0, s.key.rfind('.')) + ".protocol");
                EXPECT_EQ(now->value, StoredTarget(protocol->value, other->value));
            } else if (form != ValueForm::Stored && other->value == s.value) {
                // A text shown for several stored values ("да") leaves the one held.
                EXPECT_TRUE(now->SameValue(s));
            } else {
                EXPECT_EQ(now->value, other->value);
                EXPECT_EQ(now->raw, other->raw);
            }
            const std::vector<std::string> allowed = MayTie(s.key);
            for (const std::string& tied : outcome.tied) {
                EXPECT_TRUE(Covered(tied, allowed)) << "tied: " << tied;
            }
            for (const std::string& key : ChangedKeys(Compare(before, after))) {
                EXPECT_TRUE(key == s.key || Matches(key, outcome.tied)) << key << " changed, not named";
            }
            EXPECT_EQ(ChangedKeys(outcome.changes), ChangedKeys(Compare(before, after)));
        }
    }
    EXPECT_GT(set, static_cast<int>(before.items.size()) / 2);
}

// A value a setting does not take, and a key the type does not have: refused with a message that
// names the key, the configuration untouched.
TEST_P(SetByKeyEveryType, RefusesWhatItDoesNotTake) {
    const Byte code = GetParam();
    TProgramState state = FileConfiguration(code, 5);
    const SettingsList before = ListSettings(state);
    const auto image = state.device->Buf;
    for (const Setting& s : before.items) {
        for (const std::string bad : {"-1", "99999999999", "не значение"}) {
            // Texts take any text; their own limits are checked below.
            if (!s.rawIsNumber && bad == "не значение") {
                continue;
            }
            SCOPED_TRACE(s.key + " = " + bad);
            const SetOutcome outcome = SetSetting(state, s.key, bad);
            if (outcome.ok()) {
                // Only texts take these: a GPRS text, a direction's number, an SMS telephone number.
                EXPECT_TRUE(s.key.starts_with("gsm.gprs.") || s.key.ends_with(".number") ||
                            s.key.ends_with(".phone"))
                    << s.key;
                state = FileConfiguration(code, 5);
                continue;
            }
            EXPECT_TRUE(outcome.error.starts_with(s.key + ": значение «" + bad + "» ")) << outcome.error;
            // What it takes; or for a text it would take, why it would not stay (a direction
            // that is off keeps no number).
            EXPECT_TRUE(outcome.error.find("допустимо: ") != std::string::npos ||
                        outcome.error.find(" не сохраняется") != std::string::npos)
                << outcome.error;
        }
    }
    for (const std::string key : {"zones.9.type", "objects.33.type", "gsm.sms.41.phone", "no.such.key"}) {
        const SetOutcome outcome = SetSetting(state, key, "1");
        ASSERT_FALSE(outcome.ok()) << key;
        EXPECT_NE(outcome.error.find("«" + key + "» нет у прибора «" + DeviceName(code) + "»"),
                  std::string::npos)
            << outcome.error;
    }
    EXPECT_EQ(state.device->Buf, image);
    EXPECT_TRUE(Compare(before, ListSettings(state)).Equal());
}

// The whole list of a configuration, given in any order, builds the same configuration from
// the type's defaults: what import does with the output of show --json.
RC_GTEST_PROP(SetByKey, AWholeListInAnyOrderBuildsTheSameConfiguration, ()) {
    const Byte code = *rc::gen::elementOf(kTypeCodes);
    const auto seed = *rc::gen::inRange<unsigned>(1, 1000000);
    const TProgramState source = FileConfiguration(code, seed);
    const SettingsList list = ListSettings(source);
    std::vector<SettingValue> values;
    for (const Setting& s : list.items) {
        values.push_back({s.key, s.raw, ValueForm::Stored});
    }
    const auto order =
        *rc::gen::container<std::vector<std::size_t>>(values.size(), rc::gen::arbitrary<std::size_t>());
    std::vector<std::size_t> positions(values.size());
    for (std::size_t i = 0; i < positions.size(); ++i) {
        positions[i] = i;
    }
    std::stable_sort(positions.begin(), positions.end(),
                     [&](std::size_t a, std::size_t b) { return order[a] < order[b]; });
    std::vector<SettingValue> shuffled;
    for (const std::size_t i : positions) {
        shuffled.push_back(values[i]);
    }
    TProgramState built = Defaults(code);
    const SetOutcome outcome = SetSettings(built, shuffled);
    RC_ASSERT(outcome.error == std::string());
    RC_ASSERT(ToText(Compare(list, ListSettings(built))) == std::string());
}

// The shown forms and the stored forms of the kinds of settings.
TEST(SetByKey, ShownAndStoredValues) {
    struct Example {
        Byte code;
        std::string key;
        std::string given;
        ValueForm form;
        std::string value; // shown afterwards
        std::string raw;   // stored afterwards
        std::vector<SettingValue> first{};
    };
    const std::vector<Example> examples{
        {16, "zones.3.partition", "5", ValueForm::Either, "5", "4"},
        {16, "zones.3.partition", "5", ValueForm::Stored, "6", "5"},
        {16, "zones.3.partition", "0", ValueForm::Either, "1", "0"},
        {16, "zones.3.type", "Пожарн.2-х порог.", ValueForm::Either, "Пожарн.2-х порог.", "8"},
        {16, "zones.3.type", "12", ValueForm::Stored, "код 12", "12"},
        {16, "zones.3.event", "ВХОД/ВЫХОД - 134", ValueForm::Either, "ВХОД/ВЫХОД - 134", "23"},
        {16, "line_check", "Сирена, Реле 3", ValueForm::Either, "Сирена, Реле 3", "66"},
        {16, "line_check", "нет", ValueForm::Shown, "нет", "0"},
        {16, "relays.alarm", "2 минуты", ValueForm::Either, "2 минуты", "2"},
        {16, "gsm.device_number", "0042", ValueForm::Either, "0042", "42"},
        {16,
         "gsm.directions.2.number",
         "+7 (903) 123-45-67",
         ValueForm::Either,
         "+79031234567",
         "+79031234567",
         {{"gsm.directions.2.protocol", "CSD"}}},
        {16,
         "gsm.directions.2.number",
         "host.example:24333",
         ValueForm::Either,
         "host.example:24333",
         "host.example:24333",
         {{"gsm.directions.2.protocol", "Pro-Net"}}},
        {16, "gsm.directions.2.attempts", "4", ValueForm::Shown, "4", "4"},
        {16, "gsm.directions.2.sim", "2", ValueForm::Stored, "2", "2"},
        {16, "gsm.sms.2.phone", "+7 (999) 000-11-22", ValueForm::Either, "79990001122", "79990001122"},
        {16, "gsm.gprs.1.apn", "internet.company.example", ValueForm::Either, "internet.company.example",
         "internet.company.example"},
        {6, "buzzer", "да", ValueForm::Either, "да", "7"},
        {6, "buzzer", "нет", ValueForm::Either, "нет", "0"},
        {18, "expanders", "1-3, 32, БВИ", ValueForm::Either, "1-3, 32, БВИ", std::to_string(0x0180000007LL)},
        {17, "expanders", "1, 2, 4, БВИ", ValueForm::Either, "1, 2, 4, БВИ", "139"},
        {11, "alarm_reset", "автоматически через 10 минут", ValueForm::Either, "автоматически через 10 минут",
         "7"},
        {15, "objects.5.number", "1ABCD", ValueForm::Either, "1ABCD", std::to_string(0x1ABCD)},
        {15, "objects.5.type", "Консьерж", ValueForm::Either, "Консьерж", "3"},
        {15, "tx.mode", "Mirel-420", ValueForm::Either, "Mirel-420", "2"},
        {15, "concierge_period", "Выкл.", ValueForm::Either, "Выкл.", "0"},
        {15, "gsm.sms.40.source", "Об.№7", ValueForm::Either, "Об.№7", "7"},
        {15, "entry_delay", "99", ValueForm::Either, "99", "99"},
    };
    for (const Example& e : examples) {
        SCOPED_TRACE(std::to_string(e.code) + " " + e.key + " = " + e.given);
        TProgramState s = FileConfiguration(e.code, 9);
        if (e.key == "buzzer" || e.key == "alarm_reset") {
            // A flag byte the page shows as "да" keeps its stored value when set to "да".
            s.device->SetBuzzer(7);
            if (auto* cnc = dynamic_cast<TDevCnc*>(s.device.get())) {
                cnc->SetAutoReset(7);
            }
        }
        ASSERT_TRUE(SetSettings(s, e.first).ok());
        const SetOutcome outcome = SetSetting(s, e.key, e.given, e.form);
        ASSERT_TRUE(outcome.ok()) << outcome.error;
        const SettingsList list = ListSettings(s);
        const Setting* now = list.Find(e.key);
        ASSERT_NE(now, nullptr);
        EXPECT_EQ(now->value, e.value);
        EXPECT_EQ(now->raw, e.raw);
        for (const std::string& tied : outcome.tied) {
            EXPECT_TRUE(Covered(tied, MayTie(e.key))) << tied;
        }
    }
}

// What a refusal says: the key, the value and what the setting takes.
TEST(SetByKey, RefusalsNameKeyAndValues) {
    struct Example {
        Byte code;
        std::vector<SettingValue> values;
        std::string message; // a part of it
    };
    const std::vector<Example> examples{
        {1, {{"zones.1.type", "12"}}, "zones.1.type: значение «12» не подходит; допустимо: «Отключен» (0)"},
        {1, {{"zones.1.type", "12"}}, "или число 0..7"},
        {16, {{"relays.alarm", "16"}}, "«Отключено» (0), «3 секунды» (1)"},
        {16,
         {{"buzzer", "может быть"}},
         "buzzer: значение «может быть» не подходит; допустимо: «да», «нет» или число 0..1"},
        {16,
         {{"line_check", "Сирена, Гудок"}},
         "«нет» или через запятую «Реле 3», «Реле 4», «Сирена», «Лампа»"},
        {16, {{"zones.2.rearm", "3"}}, "«да», «нет» или число 0, 2"},
        {16, {{"gsm.directions.1.number", "+7903✓"}}, "Windows-1251"},
        {16, {{"gsm.directions.1.number", std::string(31, '1')}}, "до 30 символов"},
        {16, {{"gsm.sms.1.phone", "12345"}}, "10-16 цифр"},
        {16, {{"gsm.gprs.1.apn", "a\nb"}}, "без управляющих символов"},
        {16, {{"gsm.gprs.1.apn", std::string(200, 'a')}}, "gsm.gprs.1.apn: Параметры GPRS не помещаются"},
        {16, {{"gsm.directions.3.sim", "3"}}, "«1,2» (0), «1» (1), «2» (2)"},
        {15, {{"objects.1.number", "FFFFFF"}}, "objects.1.number: значение «FFFFFF» не подходит"},
        {15, {{"entry_delay", "100"}}, "число 0..99"},
        {18, {{"expanders", "1-40"}}, "expanders: значение «1-40» не подходит"},
        {16, {{"buzzer", "да"}, {"buzzer", "нет"}}, "buzzer: задан дважды"},
        {16, {{"zones.1.type", "1"}, {"relays.alarm", "99"}}, "relays.alarm"},
        {16, {{"gsm.sms.9.phone", "79990001122"}}, "Параметра «gsm.sms.9.phone» нет у прибора"},
        // A row of the SMS list is stored only with its number, and the rows are packed.
        {16,
         {{"gsm.sms.3.type", "Выключено"}, {"gsm.sms.4.phone", "79990001122"}},
         "gsm.sms.4.phone: значение"},
    };
    for (const Example& e : examples) {
        SCOPED_TRACE(e.message);
        TProgramState s = FileConfiguration(e.code, 3);
        const SettingsList before = ListSettings(s);
        const SetOutcome outcome = SetSettings(s, e.values);
        ASSERT_FALSE(outcome.ok());
        EXPECT_NE(outcome.error.find(e.message), std::string::npos) << outcome.error;
        EXPECT_TRUE(Compare(before, ListSettings(s)).Equal());
    }
    // Without a communicator the GSM settings are not there, and the message says what brings them.
    TProgramState off = FileConfiguration(6, 3);
    off.device->SetGsmConnected(false);
    const SetOutcome gsm = SetSetting(off, "gsm.device_number", "5");
    EXPECT_NE(gsm.error.find("пока подключен GSM-ORV (gsm.connected)"), std::string::npos) << gsm.error;
    // Connecting it in the same call brings them.
    const std::vector<SettingValue> both{{"gsm.device_number", "5"}, {"gsm.connected", "да"}};
    ASSERT_TRUE(SetSettings(off, both).ok());
    EXPECT_EQ(ListSettings(off).Find("gsm.device_number")->value, "0005");
}

// Settings that bring others along name them; a communicator switched on starts afresh.
TEST(SetByKey, TiedSettingsAreNamed) {
    TProgramState s = FileConfiguration(13, 2);
    SetOutcome outcome = SetSetting(s, "gsm.sms.2.type", "Выключено");
    ASSERT_TRUE(outcome.ok()) << outcome.error;
    EXPECT_EQ(outcome.tied, std::vector<std::string>{"gsm.sms.*"});

    outcome = SetSetting(s, "transmitter", "0");
    ASSERT_TRUE(outcome.ok()) << outcome.error;
    EXPECT_TRUE(std::find(outcome.tied.begin(), outcome.tied.end(), "gsm.directions.*") !=
                outcome.tied.end());
    EXPECT_EQ(ListSettings(s).Find("gsm.device_number"), nullptr);

    outcome = SetSetting(s, "transmitter", "2");
    ASSERT_TRUE(outcome.ok()) << outcome.error;
    const SettingsList list = ListSettings(s);
    EXPECT_EQ(list.Find("gsm.device_number")->value, "0001");
    EXPECT_EQ(list.Find("gsm.directions.1.attempts")->value, "Выкл.");
    EXPECT_EQ(list.Find("gsm.sms_on")->value, "нет");

    outcome = SetSetting(s, "gsm.directions.1.attempts", "3");
    EXPECT_FALSE(outcome.ok());
    EXPECT_NE(outcome.error.find("направление хранится, только когда у него есть число попыток и номер"),
              std::string::npos)
        << outcome.error;
    const std::vector<SettingValue> direction{{"gsm.directions.1.attempts", "3"},
                                              {"gsm.directions.1.number", "+79031234567"}};
    outcome = SetSettings(s, direction);
    ASSERT_TRUE(outcome.ok()) << outcome.error;
    EXPECT_EQ(outcome.tied, (std::vector<std::string>{"gsm.directions.1.sim", "gsm.directions.1.protocol"}));
}

INSTANTIATE_TEST_SUITE_P(Types, SetByKeyEveryType, ::testing::ValuesIn(kTypeCodes),
                         [](const auto& info) { return "type" + std::to_string(info.param); });

class TemplateEveryType : public ::testing::TestWithParam<Byte> {};

// A template made from one configuration and applied to another of the type: its settings then
// equal the first's, every other setting stays as the second held it.
TEST_P(TemplateEveryType, CarriesExactlyItsSettings) {
    const Byte code = GetParam();
    const TProgramState source = FileConfiguration(code, 11);
    const SettingsList sourceList = ListSettings(source);
    const std::vector<std::string> patterns{"gsm.directions.*", "gsm.sms.*", "gsm.gprs.*", "zones.1.*",
                                            "relays.*",         "buzzer",    "objects.2.*"};
    std::vector<std::string> unmatched;
    SettingsTemplate t = MakeTemplate(sourceList, patterns, &unmatched);
    t.name = "Стандарт";
    ASSERT_FALSE(t.settings.empty());
    for (const Setting& s : t.settings) {
        EXPECT_TRUE(Matches(s.key, patterns)) << s.key;
    }
    for (const std::string& p : unmatched) {
        EXPECT_TRUE(std::none_of(sourceList.items.begin(), sourceList.items.end(), [&](const Setting& s) {
            return KeyMatches(p, s.key);
        })) << p;
    }

    TProgramState target = FileConfiguration(code, 12);
    const SettingsList before = ListSettings(target);
    const SetOutcome outcome = ApplyTemplate(target, t);
    ASSERT_TRUE(outcome.ok()) << outcome.error;
    const SettingsList after = ListSettings(target);
    for (const Setting& s : after.items) {
        const bool inTemplate = Matches(s.key, patterns);
        if (!inTemplate && Matches(s.key, outcome.tied)) {
            // The commit step's own rule: a dependency only on partitions with a guard zone.
            EXPECT_EQ(s.key, "partition_dependency");
            continue;
        }
        const Setting* expected = inTemplate ? sourceList.Find(s.key) : before.Find(s.key);
        ASSERT_NE(expected, nullptr) << s.key;
        EXPECT_TRUE(s.SameValue(*expected)) << s.key << ": " << s.value << " instead of " << expected->value;
    }
    EXPECT_EQ(after.items.size(), before.items.size());

    t.types = {static_cast<Byte>(code == 16 ? 13 : 16)};
    const SetOutcome refused = ApplyTemplate(target, t);
    EXPECT_NE(refused.error.find("Шаблон «Стандарт» не для прибора «" + DeviceName(code) + "»"),
              std::string::npos)
        << refused.error;
}

INSTANTIATE_TEST_SUITE_P(Types, TemplateEveryType, ::testing::ValuesIn(kTypeCodes),
                         [](const auto& info) { return "type" + std::to_string(info.param); });

} // namespace
} // namespace orv
