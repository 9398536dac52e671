#pragma once

// The SQL an administrator runs once with psql to set up a company's shared journal: the
// database, a group role for installers (who add records and read) and one for the office (who
// only reads), a login per person, and the journal's tables with their rights and policies.

#include <QString>
#include <QStringList>

namespace orv::journal {

inline constexpr const char* kInstallerRole = "orvanta_installer";
inline constexpr const char* kOfficeRole = "orvanta_office";

struct TServerSetup {
    QString database = QStringLiteral("orvanta");
    QStringList installers; // logins that record entries
    QStringList office;     // logins that only read
};

// A login or database name PostgreSQL takes without surprises: letters, digits, '_', '-', '.',
// '@', at most 63 bytes.
bool IsPlainName(const QString& name);

// The psql script (UTF-8 text, Russian comments).
QString ServerSetupSql(const TServerSetup& setup);

} // namespace orv::journal
