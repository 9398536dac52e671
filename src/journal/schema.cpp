#include "schema.h"

#include <array>

namespace orv::journal {

namespace {

// Every record (an entry, or a later change of its site name and note) is made once, where it
// was made, and never changed: it carries a random uuid and its place (origin, seq) in the
// ordered stream of the journal that made it, so a server can tell what it lacks by the highest
// seq it holds per origin. `sent` (0 or 1) says whether the record has reached the server. The
// site name, the note and the lower-case search columns of an entry are the last change applied
// to it, kept on the entry so that a list reads one table. Configurations are stored once per
// SHA-256 of their text, compressed; entries refer to them.
constexpr std::array<std::string_view, 9> kVersion1{
    "CREATE TABLE journal_info ("
    " name TEXT PRIMARY KEY,"
    " value TEXT NOT NULL)",

    "CREATE TABLE configs ("
    " sha256 TEXT PRIMARY KEY,"
    " size INTEGER NOT NULL,"
    " encoding TEXT NOT NULL,"
    " body {blob} NOT NULL)",

    "CREATE TABLE entries ("
    " id {autoId},"
    " uuid TEXT NOT NULL UNIQUE,"
    " origin TEXT NOT NULL,"
    " seq BIGINT NOT NULL,"
    " created_ms BIGINT NOT NULL,"
    " os_user TEXT NOT NULL,"
    " host_name TEXT NOT NULL,"
    " action TEXT NOT NULL,"
    " port TEXT NOT NULL,"
    " file_path TEXT NOT NULL,"
    " device_type INTEGER NOT NULL,"
    " device_name TEXT NOT NULL,"
    " firmware INTEGER NOT NULL,"
    " config_sha256 TEXT NOT NULL REFERENCES configs (sha256),"
    " site TEXT NOT NULL,"
    " note TEXT NOT NULL,"
    " site_fold TEXT NOT NULL,"
    " search_fold TEXT NOT NULL,"
    " sent INTEGER NOT NULL DEFAULT 0,"
    " UNIQUE (origin, seq))",

    // Lists newest first and searches walk this index alone; only the entries shown are read.
    "CREATE INDEX entries_list ON entries (created_ms, id, device_type{listTexts})",
    "CREATE INDEX entries_type_created ON entries (device_type, created_ms, id)",
    "CREATE INDEX entries_unsent ON entries (sent, origin, seq)",

    "CREATE TABLE annotations ("
    " id {autoId},"
    " uuid TEXT NOT NULL UNIQUE,"
    " origin TEXT NOT NULL,"
    " seq BIGINT NOT NULL,"
    " created_ms BIGINT NOT NULL,"
    " os_user TEXT NOT NULL,"
    " host_name TEXT NOT NULL,"
    " entry_uuid TEXT NOT NULL REFERENCES entries (uuid),"
    " site TEXT NOT NULL,"
    " note TEXT NOT NULL,"
    " sent INTEGER NOT NULL DEFAULT 0,"
    " UNIQUE (origin, seq))",

    "CREATE INDEX annotations_entry ON annotations (entry_uuid, created_ms)",
    "CREATE INDEX annotations_unsent ON annotations (sent, origin, seq)",
};

// The list of one user's entries on one computer, newest first, and the list of who made entries,
// without reading the whole table.
constexpr std::array<std::string_view, 1> kVersion2{
    "CREATE INDEX entries_author ON entries (os_user, host_name, created_ms, id)",
};

constexpr std::array kMigrations{
    TMigration{1, kVersion1},
    TMigration{2, kVersion2},
};

static_assert(kMigrations.back().version == kSchemaVersion);

} // namespace

std::span<const TMigration> Migrations() {
    return kMigrations;
}

QStringList Statements(const TMigration& migration, const TDialect& dialect) {
    QStringList statements;
    for (std::string_view text : migration.statements) {
        QString statement = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
        statement.replace(
            QLatin1String("{autoId}"),
            QLatin1String(dialect.autoId.data(), static_cast<qsizetype>(dialect.autoId.size())));
        statement.replace(QLatin1String("{blob}"),
                          QLatin1String(dialect.blob.data(), static_cast<qsizetype>(dialect.blob.size())));
        statement.replace(
            QLatin1String("{listTexts}"),
            QLatin1String(dialect.listTexts.data(), static_cast<qsizetype>(dialect.listTexts.size())));
        statements << statement;
    }
    return statements;
}

} // namespace orv::journal
