#include "sites.h"

#include "columns.h"
#include "internal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>

namespace orv::journal {

namespace {

// Each site's newest entry, and its newest read and write, in one pass over the entries.
constexpr const char* kSitesSql =
    "SELECT site_fold, id, site, created_ms, action, os_user, host_name, device_type, device_name, n, total "
    "FROM (SELECT site_fold, id, site, created_ms, action, os_user, host_name, device_type, device_name,"
    " ROW_NUMBER() OVER (PARTITION BY site_fold ORDER BY created_ms DESC, id DESC) AS n,"
    " ROW_NUMBER() OVER (PARTITION BY site_fold, action ORDER BY created_ms DESC, id DESC) AS na,"
    " COUNT(*) OVER (PARTITION BY site_fold) AS total"
    " FROM entries WHERE site_fold <> '') "
    "WHERE n = 1 OR (na = 1 AND action IN ('read', 'write')) "
    "ORDER BY site_fold, n";

QString Time(const QDateTime& time) {
    return time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

QString Who(const std::optional<TTouch>& touch) {
    return touch ? touch->user + u'@' + touch->host : QString();
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
    QString fold;
    while (query.next()) {
        const auto action = ActionFromCode(query.value(4).toString().toStdString());
        if (!action) {
            continue;
        }
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(query.value(3).toLongLong(), Qt::UTC);
        const TTouch touch{time, query.value(5).toString(), query.value(6).toString()};
        if (query.value(9).toLongLong() == 1 || sites.empty() || query.value(0).toString() != fold) {
            fold = query.value(0).toString();
            TSite site;
            site.site = query.value(2).toString();
            site.latest = query.value(1).toLongLong();
            site.time = time;
            site.action = *action;
            site.deviceType = query.value(7).toInt();
            site.deviceName = query.value(8).toString();
            site.entries = query.value(10).toLongLong();
            sites.push_back(site);
        }
        if (*action == TAction::Read && !sites.back().read) {
            sites.back().read = touch;
        } else if (*action == TAction::Write && !sites.back().written) {
            sites.back().written = touch;
        }
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
