#include "templates.h"

#include "device/catalogue.h"
#include "files/file_access.h"
#include "files/safe_save.h"
#include "gsm/tx_buffers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>

namespace orv {

namespace {

// A template or a configuration's settings is a few tens of kilobytes; what is larger is not one.
constexpr std::size_t kMaxFileBytes = 4 * 1024 * 1024;

std::string S(const QString& text) {
    return text.toStdString();
}

std::optional<QJsonObject> Object(const QByteArray& json, QString& error) {
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parse);
    if (parse.error != QJsonParseError::NoError) {
        error = QStringLiteral("не JSON: %1 (символ %2)").arg(parse.errorString()).arg(parse.offset);
        return std::nullopt;
    }
    if (!doc.isObject()) {
        error = QStringLiteral("в JSON ожидается объект");
        return std::nullopt;
    }
    return doc.object();
}

// A stored value as text: numbers in decimal, texts as they are.
std::optional<std::string> RawText(const QJsonValue& raw, bool& isNumber) {
    if (raw.isString()) {
        isNumber = false;
        return S(raw.toString());
    }
    if (raw.isDouble()) {
        const double number = raw.toDouble();
        if (number != static_cast<double>(raw.toInteger())) {
            return std::nullopt;
        }
        isNumber = true;
        return std::to_string(raw.toInteger());
    }
    return std::nullopt;
}

// One entry of "settings": its key with its stored value, or with its shown value.
std::optional<Setting> Entry(const QJsonValue& value, qsizetype index, QString& error) {
    const QJsonObject o = value.toObject();
    const QString where = QStringLiteral("settings[%1]").arg(index);
    if (!value.isObject() || !o.value(QStringLiteral("key")).isString()) {
        error = where + QStringLiteral(": нет ключа (\"key\")");
        return std::nullopt;
    }
    Setting s;
    s.key = S(o.value(QStringLiteral("key")).toString());
    s.page = S(o.value(QStringLiteral("page")).toString());
    s.label = S(o.value(QStringLiteral("label")).toString());
    const QJsonValue shown = o.value(QStringLiteral("value"));
    const QJsonValue raw = o.value(QStringLiteral("raw"));
    // Without a stored value the shown one is taken: rawIsNumber with an empty raw says so.
    s.rawIsNumber = true;
    if (!raw.isUndefined() && !raw.isNull()) {
        const auto text = RawText(raw, s.rawIsNumber);
        if (!text) {
            error = where + QStringLiteral(" (%1): \"raw\" должен быть целым числом или строкой")
                                .arg(QString::fromStdString(s.key));
            return std::nullopt;
        }
        s.raw = *text;
    } else if (!shown.isString()) {
        error =
            where +
            QStringLiteral(" (%1): нет значения (\"raw\" или \"value\")").arg(QString::fromStdString(s.key));
        return std::nullopt;
    }
    s.value = S(shown.toString());
    return s;
}

std::optional<std::vector<Setting>> Entries(const QJsonObject& root, QString& error) {
    const QJsonValue settings = root.value(QStringLiteral("settings"));
    if (!settings.isUndefined() && !settings.isArray()) {
        error = QStringLiteral("\"settings\" должен быть массивом");
        return std::nullopt;
    }
    std::vector<Setting> entries;
    const QJsonArray list = settings.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        auto entry = Entry(list[i], i, error);
        if (!entry) {
            return std::nullopt;
        }
        entries.push_back(std::move(*entry));
    }
    return entries;
}

} // namespace

std::optional<QByteArray> ReadJsonFile(const QString& path, QString& error) {
    // One more byte than the limit tells a file that is too large from one that just fits.
    const InputFile file = ReadInputFile(QFile::encodeName(path).toStdString(), kMaxFileBytes + 1);
    if (!file.ok) {
        error = QString::fromStdString(file.reason);
        return std::nullopt;
    }
    if (file.data.size() > kMaxFileBytes) {
        error = QStringLiteral("файл слишком велик для шаблона или параметров");
        return std::nullopt;
    }
    return QByteArray::fromStdString(file.data);
}

std::optional<TSettingsImport> ReadSettingsJson(const QByteArray& json, QString& error) {
    const auto root = Object(json, error);
    if (!root) {
        return std::nullopt;
    }
    const QJsonValue type = root->value(QStringLiteral("type"));
    const qint64 code = type.isDouble() ? type.toInteger(-1) : -1;
    if (code < 1 || code > 127 || !DeviceSupported(static_cast<Byte>(code)) ||
        !CreateDevice(static_cast<Byte>(code))) {
        error = QStringLiteral("нет поддерживаемого типа прибора (\"type\")");
        return std::nullopt;
    }
    const auto entries = Entries(*root, error);
    if (!entries) {
        return std::nullopt;
    }
    TSettingsImport import;
    import.type = static_cast<Byte>(code);
    for (const Setting& s : *entries) {
        import.values.push_back(ValueToSet(s));
    }
    return import;
}

SetOutcome ImportSettings(const TSettingsImport& import, TProgramState& state) {
    TProgramState made = DefaultConfiguration(import.type);
    SetOutcome outcome = SetSettings(made, import.values);
    if (outcome.ok()) {
        state = std::move(made);
    }
    return outcome;
}

std::optional<SettingsTemplate> ReadTemplate(const QByteArray& json, QString& error) {
    const auto root = Object(json, error);
    if (!root) {
        return std::nullopt;
    }
    if (!root->value(QStringLiteral("settings")).isArray()) {
        error = QStringLiteral("не шаблон: нет списка параметров (\"settings\")");
        return std::nullopt;
    }
    SettingsTemplate t;
    t.name = S(root->value(QStringLiteral("name")).toString());
    t.note = S(root->value(QStringLiteral("note")).toString());
    for (const QJsonValue& code : root->value(QStringLiteral("types")).toArray()) {
        const qint64 type = code.toInteger(-1);
        if (type < 1 || type > 127) {
            error = QStringLiteral("\"types\": тип прибора должен быть числом 1..127");
            return std::nullopt;
        }
        t.types.push_back(static_cast<Byte>(type));
    }
    auto entries = Entries(*root, error);
    if (!entries) {
        return std::nullopt;
    }
    t.settings = std::move(*entries);
    return t;
}

QByteArray TemplateJson(const SettingsTemplate& t) {
    QJsonObject root;
    root.insert(QStringLiteral("template"), 1);
    root.insert(QStringLiteral("name"), QString::fromStdString(t.name));
    root.insert(QStringLiteral("note"), QString::fromStdString(t.note));
    QJsonArray types;
    for (const Byte code : t.types) {
        types.append(code);
    }
    root.insert(QStringLiteral("types"), types);
    QJsonArray settings;
    for (const Setting& s : t.settings) {
        QJsonObject o;
        o.insert(QStringLiteral("key"), QString::fromStdString(s.key));
        o.insert(QStringLiteral("page"), QString::fromStdString(s.page));
        o.insert(QStringLiteral("label"), QString::fromStdString(s.label));
        o.insert(QStringLiteral("value"), QString::fromStdString(s.value));
        if (s.rawIsNumber) {
            o.insert(QStringLiteral("raw"), static_cast<qint64>(std::stoll(s.raw)));
        } else {
            o.insert(QStringLiteral("raw"), QString::fromStdString(s.raw));
        }
        settings.append(o);
    }
    root.insert(QStringLiteral("settings"), settings);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<SettingsTemplate> LoadTemplateFile(const QString& path, QString& error) {
    const auto bytes = ReadJsonFile(path, error);
    if (!bytes) {
        return std::nullopt;
    }
    auto t = ReadTemplate(*bytes, error);
    if (t && t->name.empty()) {
        t->name = S(QFileInfo(path).completeBaseName());
    }
    return t;
}

bool SaveTemplateFile(const SettingsTemplate& t, const QString& path, QString& error) {
    const SaveResult saved =
        SaveFileAtomically(QFile::encodeName(path).toStdString(), TemplateJson(t).toStdString());
    if (!saved.ok) {
        error = saved.message.empty() ? QStringLiteral("Не удалось записать файл ") + path
                                      : QString::fromStdString(saved.message);
    }
    return saved.ok;
}

QString TemplatesFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/Шаблоны");
}

std::vector<TTemplateEntry> ListTemplates(const QString& folder) {
    std::vector<TTemplateEntry> found;
    const QDir dir(folder);
    for (const QFileInfo& info :
         dir.entryInfoList({QStringLiteral("*.json")}, QDir::Files | QDir::Readable)) {
        QString error;
        if (const auto t = LoadTemplateFile(info.filePath(), error)) {
            found.push_back({info.filePath(), QString::fromStdString(t->name)});
        }
    }
    std::sort(found.begin(), found.end(), [](const TTemplateEntry& a, const TTemplateEntry& b) {
        return QString::localeAwareCompare(a.name, b.name) < 0;
    });
    return found;
}

QString TemplateFileName(const QString& name) {
    static const QRegularExpression refused(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f\\x7f]"));
    QString base = name.trimmed();
    base.replace(refused, QStringLiteral("_"));
    if (base.isEmpty() || base.startsWith(QLatin1Char('.'))) {
        base.prepend(QStringLiteral("Шаблон"));
    }
    return base + QStringLiteral(".json");
}

} // namespace orv
