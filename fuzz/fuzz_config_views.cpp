// Any configuration a file can hold, through every view made of it: the named settings, compare,
// the JSON of show --json and diff --json, and the HTML reports. The list is sound (one setting
// per key, a table's label made of its row and column), a configuration equals itself, compare
// finds exactly the settings that differ, the JSON parses and says what the list says, and each
// report is well-formed XHTML (a strict XML reader, since the report is written as XHTML).
#include "files/config_file.h"
#include "fuzz_support.h"
#include "report/report.h"
#include "settings/settings.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>

#include <algorithm>
#include <charconv>
#include <map>
#include <set>
#include <string>

namespace {

using namespace orv;
using namespace orv::fuzz;

// Invalid UTF-8 from a damaged file reaches the JSON as U+FFFD: such a text is compared no
// further than that it is a string.
bool ValidUtf8(const std::string& text) {
    const QString decoded = QString::fromUtf8(text);
    return decoded.toUtf8() == QByteArray::fromStdString(text);
}

void CheckList(const SettingsList& list, Byte type) {
    ORV_CHECK(list.devType == type);
    ORV_CHECK(!list.deviceName.empty());
    std::set<std::string> keys;
    for (const Setting& s : list.items) {
        ORV_CHECK(!s.key.empty() && !s.page.empty() && !s.label.empty());
        ORV_CHECK(keys.insert(s.key).second);
        ORV_CHECK(s.table.empty() == s.row.empty() && s.row.empty() == s.column.empty());
        ORV_CHECK(s.table.empty() || s.label == s.row + ": " + s.column);
        if (s.rawIsNumber) {
            long long number = 0;
            const auto [end, ec] = std::from_chars(s.raw.data(), s.raw.data() + s.raw.size(), number);
            ORV_CHECK(ec == std::errc() && end == s.raw.data() + s.raw.size());
        }
        ORV_CHECK(list.Find(s.key) == &s);
    }
}

// The keys that differ, found the plain way: by key, one side against the other.
std::set<std::string> DifferingKeys(const SettingsList& a, const SettingsList& b) {
    std::set<std::string> keys;
    for (const Setting& s : a.items) {
        const Setting* other = b.Find(s.key);
        if (a.devType == b.devType ? (!other || !other->SameValue(s)) : (other && !other->SameValue(s))) {
            keys.insert(s.key);
        }
    }
    if (a.devType == b.devType) {
        for (const Setting& s : b.items) {
            if (!a.Find(s.key)) {
                keys.insert(s.key);
            }
        }
    }
    return keys;
}

void CheckComparison(const SettingsList& a, const SettingsList& b) {
    const Comparison c = Compare(a, b);
    ORV_CHECK(c.typeA == a.devType && c.typeB == b.devType);
    std::set<std::string> keys;
    for (const SettingDiff& d : c.diffs) {
        ORV_CHECK(keys.insert(d.key).second);
        ORV_CHECK(d.a.has_value() == d.inA.has_value() && d.b.has_value() == d.inB.has_value());
        ORV_CHECK(d.inA || d.inB);
        ORV_CHECK(!d.inA || !d.inB || !d.inA->SameValue(*d.inB));
    }
    ORV_CHECK(keys == DifferingKeys(a, b));
    ORV_CHECK(c.Equal() == (a.devType == b.devType && keys.empty()));

    const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(ToJson(c)));
    ORV_CHECK(json.isObject());
    const QJsonObject o = json.object();
    ORV_CHECK(o.value(QStringLiteral("equal")).toBool(!c.Equal()) == c.Equal());
    ORV_CHECK(o.value(QStringLiteral("type_a")).toInt(-1) == c.typeA);
    ORV_CHECK(o.value(QStringLiteral("differences")).toArray().size() ==
              static_cast<qsizetype>(c.diffs.size()));
}

void CheckJson(const SettingsList& list) {
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(ToJson(list)), &error);
    ORV_CHECK(error.error == QJsonParseError::NoError && json.isObject());
    const QJsonObject o = json.object();
    ORV_CHECK(o.value(QStringLiteral("type")).toInt(-1) == list.devType);
    const QJsonArray settings = o.value(QStringLiteral("settings")).toArray();
    ORV_CHECK(settings.size() == static_cast<qsizetype>(list.items.size()));
    for (qsizetype i = 0; i < settings.size(); ++i) {
        const Setting& s = list.items[static_cast<std::size_t>(i)];
        const QJsonObject j = settings.at(i).toObject();
        ORV_CHECK(j.value(QStringLiteral("key")).toString() == QString::fromStdString(s.key));
        for (const auto& [name, text] :
             {std::pair{"page", &s.page}, {"label", &s.label}, {"value", &s.value}}) {
            const QJsonValue v = j.value(QLatin1String(name));
            ORV_CHECK(v.isString());
            ORV_CHECK(!ValidUtf8(*text) || v.toString() == QString::fromUtf8(*text));
        }
        const QJsonValue raw = j.value(QStringLiteral("raw"));
        if (s.rawIsNumber) {
            ORV_CHECK(raw.isDouble() && QString::number(raw.toInteger()).toStdString() == s.raw);
        } else {
            ORV_CHECK(raw.isString());
            ORV_CHECK(!ValidUtf8(s.raw) || raw.toString() == QString::fromUtf8(s.raw));
        }
    }
}

// Well-formed XML from the first byte to the last, with an html root; its text, for the caller.
QString CheckXhtml(const QByteArray& html) {
    QXmlStreamReader reader(html);
    QString text;
    bool root = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && !root) {
            ORV_CHECK(reader.name() == QLatin1String("html"));
            root = true;
        }
        if (reader.isCharacters()) {
            text += reader.text();
        }
    }
    if (reader.hasError()) {
        std::fprintf(stderr, "%s at line %lld\n", qPrintable(reader.errorString()),
                     static_cast<long long>(reader.lineNumber()));
    }
    ORV_CHECK(!reader.hasError() && root);
    return text.simplified();
}

void CheckReports(const SettingsList& list, const SettingsList& other) {
    const QDateTime date(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);
    const QString text = CheckXhtml(
        ConfigurationReport(list, ReportSource{QStringLiteral("fuzz.cf8"), {}, {}, {}}, {}, date).Html());
    // Every value is there to read as it stands (whitespace runs as one space); what XML cannot
    // carry is replaced, so only values without control characters are looked for.
    for (const Setting& s : list.items) {
        const QString value = QString::fromUtf8(s.value).simplified();
        const bool plain = std::all_of(value.begin(), value.end(),
                                       [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0xFFFE; });
        ORV_CHECK(value.isEmpty() || !plain || !ValidUtf8(s.value) || text.contains(value));
    }
    CheckXhtml(ComparisonReport(Compare(list, other), ReportSource{QStringLiteral("a.cf8"), {}, {}, {}},
                                ReportSource{QStringLiteral("b.cf8"), {}, {}, {}}, {}, date)
                   .Html());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // The reports' pictures and fonts need a GUI application, never a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TProgramState state;
    if (!ReadConfigDocument(state, reinterpret_cast<const char*>(data), size)) {
        return 0;
    }
    const Byte type = state.device->DevType;
    const SettingsList list = ListSettings(state);
    CheckList(list, type);
    CheckJson(list);

    // Against itself, against the type's factory settings both ways, and against another type.
    TProgramState factory;
    factory.device = CreateDevice(type);
    const SettingsList plain = ListSettings(factory);
    CheckList(plain, type);
    ORV_CHECK(Compare(list, list).Equal());
    CheckComparison(list, plain);
    CheckComparison(plain, list);
    TProgramState another;
    another.device = CreateDevice(type == 1 ? 16 : 1);
    CheckComparison(list, ListSettings(another));

    CheckReports(list, plain);
    return 0;
}
