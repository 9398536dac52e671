#pragma once

// Every site (Объект) the journal knows, at a glance: what an office looks at first.

#include "journal.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace orv::journal {

// Who did something to a site's panel, and when.
struct TTouch {
    QDateTime time; // UTC
    QString user;
    QString host;
};

// "user@host", as the sites show who touched one; empty for nobody.
QString Who(const std::optional<TTouch>& touch);

struct TSite {
    QString site;      // as its newest entry names it
    qint64 latest = 0; // the newest entry: the site's latest configuration
    QDateTime time;    // its time, UTC
    TAction action = TAction::Read;
    int deviceType = 0;
    QString deviceName;
    std::optional<TTouch> read;    // the newest read from its panel
    std::optional<TTouch> written; // the newest write to it
    qint64 entries = 0;
};

// The sites, by name in any case; entries without one are left out. Nothing when the journal
// cannot be read (its Problem() says why).
std::optional<std::vector<TSite>> Sites(TJournal& journal);

// The sites as a table of comma-separated values (as the journal's list is exported) and as JSON.
QByteArray SitesCsv(const std::vector<TSite>& sites);
QByteArray SitesJson(const std::vector<TSite>& sites);

} // namespace orv::journal
