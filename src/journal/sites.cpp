#include "sites.h"

#include "columns.h"
#include "internal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>

namespace orv::journal {

namespace {

// Each site with how many entries it has, its newest entry, and its newest read and write: all
// from the sites index alone, the values of each as one JSON array (texts of any content come back
// whole), so that a journal of many entries is not read row by row.
constexpr const char* kSitesSql =
    "SELECT count(*),"
    " (SELECT json_array(id, created_ms, action, device_type, device_name, site) FROM entries e"
    "  WHERE e.site_fold = f.site_fold ORDER BY created_ms DESC, id DESC LIMIT 1),"
    " (SELECT json_array(created_ms, os_user, host_name) FROM entries e"
    "  WHERE e.site_fold = f.site_fold AND action = 'read' ORDER BY created_ms DESC, id DESC LIMIT 1),"
    " (SELECT json_array(created_ms, os_user, host_name) FROM entries e"
    "  WHERE e.site_fold = f.site_fold AND action = 'write' ORDER BY created_ms DESC, id DESC LIMIT 1) "
    "FROM entries f WHERE site_fold <> '' GROUP BY site_fold ORDER BY site_fold";

QJsonArray Values(const QVariant& value) {
    return value.isNull() ? QJsonArray() : QJsonDocument::fromJson(value.toString().toUtf8()).array();
}

QDateTime Utc(const QJsonValue& ms) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ms.toDouble()), Qt::UTC);
}

std::optional<TTouch> Touch(const QVariant& value) {
    const QJsonArray v = Values(value);
    if (v.size() != 3) {
        return std::nullopt;
    }
    return TTouch{Utc(v[0]), v[1].toString(), v[2].toString()};
}

QString Time(const QDateTime& time) {
    return time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

QJsonValue TouchJson(const std::optional<TTouch>& touch) {
    if (!touch) {
        return QJsonValue::Null;
    }
    return QJsonObject{
        {QStringLiteral("time"), touch->time.toLocalTime()
                                     .toOffsetFromUtc(touch->time.toLocalTime().offsetFromUtc())
                                     .toString(Qt::ISODateWithMs)},
        {QStringLiteral("user"), touch->user},
        {QStringLiteral("host"), touch->host}};
}

} // namespace

QString Who(const std::optional<TTouch>& touch) {
    return touch ? touch->user + u'@' + touch->host : QString();
}

std::optional<std::vector<TSite>> Sites(TJournal& journal) {
    if (!journal.OpenForReading()) {
        return std::nullopt;
    }
    QSqlQuery query(detail::TJournalAccess::Database(journal));
    query.setForwardOnly(true);
    if (!query.exec(QString::fromLatin1(kSitesSql))) {
        return std::nullopt;
    }
    std::vector<TSite> sites;
    while (query.next()) {
        const QJsonArray latest = Values(query.value(1));
        const auto action = ActionFromCode(latest.at(2).toString().toStdString());
        if (latest.size() != 6 || !action) {
            continue;
        }
        TSite site;
        site.entries = query.value(0).toLongLong();
        site.latest = static_cast<qint64>(latest[0].toDouble());
        site.time = Utc(latest[1]);
        site.action = *action;
        site.deviceType = latest[3].toInt();
        site.deviceName = latest[4].toString();
        site.site = latest[5].toString();
        site.read = Touch(query.value(2));
        site.written = Touch(query.value(3));
        sites.push_back(std::move(site));
    }
    return sites;
}

QByteArray SitesCsv(const std::vector<TSite>& sites) {
    QByteArray csv =
        "\xEF\xBB\xBF" +
        CsvLine({QStringLiteral("Объект"), QStringLiteral("Прибор"), QStringLiteral("Последняя запись"),
                 QStringLiteral("Действие"), QStringLiteral("Прочитан"), QStringLiteral("Кем прочитан"),
                 QStringLiteral("Записан"), QStringLiteral("Кем записан"), QStringLiteral("Записей")});
    for (const TSite& s : sites) {
        csv += CsvLine({s.site, s.deviceName, Time(s.time), ActionText(s.action),
                        s.read ? Time(s.read->time) : QString(), Who(s.read),
                        s.written ? Time(s.written->time) : QString(), Who(s.written),
                        QString::number(s.entries)});
    }
    return csv;
}

QByteArray SitesJson(const std::vector<TSite>& sites) {
    QJsonArray array;
    for (const TSite& s : sites) {
        array.append(QJsonObject{
            {QStringLiteral("site"), s.site},
            {QStringLiteral("latest"), s.latest},
            {QStringLiteral("time"), s.time.toLocalTime()
                                         .toOffsetFromUtc(s.time.toLocalTime().offsetFromUtc())
                                         .toString(Qt::ISODateWithMs)},
            {QStringLiteral("action"), QString::fromLatin1(ActionCode(s.action))},
            {QStringLiteral("type"), s.deviceType},
            {QStringLiteral("device"), s.deviceName},
            {QStringLiteral("read"), TouchJson(s.read)},
            {QStringLiteral("written"), TouchJson(s.written)},
            {QStringLiteral("entries"), s.entries},
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

} // namespace orv::journal
