#include "schema.h"

#include <array>

namespace orv::journal {

namespace {

// Every record (an entry, or a later change of its site name and note) is made once, where it
// was made, and never changed: it carries a random uuid and its place (origin, seq) in the
// ordered stream of the journal that made it. `sent` (0 or 1) says whether the record has
// reached the server. The site name, the note and the lower-case search columns of an entry are
// the last change applied to it, kept on the entry so that a list reads one table.
// Configurations are stored once per SHA-256 of their text, compressed; entries refer to them.
constexpr TStatement kVersion1[]{
    {TOn::Both, "CREATE TABLE journal_info ("
                " name TEXT PRIMARY KEY,"
                " value TEXT NOT NULL)"},

    {TOn::Both, "CREATE TABLE configs ("
                " sha256 TEXT PRIMARY KEY,"
                " size INTEGER NOT NULL,"
                " encoding TEXT NOT NULL,"
                " body {blob} NOT NULL)"},

    {TOn::Both, "CREATE TABLE entries ("
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
                " UNIQUE (origin, seq))"},

    // Lists newest first and searches walk this index alone; only the entries shown are read.
    {TOn::Both, "CREATE INDEX entries_list ON entries (created_ms, id, device_type, site_fold, search_fold)"},
    {TOn::Both, "CREATE INDEX entries_type_created ON entries (device_type, created_ms, id)"},
    {TOn::Both, "CREATE INDEX entries_unsent ON entries (sent, origin, seq)"},

    {TOn::Both, "CREATE TABLE annotations ("
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
                " UNIQUE (origin, seq))"},

    {TOn::Both, "CREATE INDEX annotations_entry ON annotations (entry_uuid, created_ms)"},
    {TOn::Both, "CREATE INDEX annotations_unsent ON annotations (sent, origin, seq)"},
};

// The list of one user's entries on one computer, newest first, and the list of who made entries,
// without reading the whole table.
constexpr TStatement kVersion2[]{
    {TOn::Both, "CREATE INDEX entries_author ON entries (os_user, host_name, created_ms, id)"},
};

// Records are told apart by their uuid alone: a journal copied to another computer or restored
// from a backup goes on numbering a stream that another holder numbers too, so (origin, seq) may
// repeat. A change of an entry records which of the site name (1) and the note (2) it sets, so
// that changes of the two made on different computers both survive; older changes set both.
//
// On this computer the tables are copied without the unique pair (SQLite cannot drop it), and
// the server's rows refused by the checks are remembered, so that they are neither fetched
// nor counted again. `inserted_by` is the server login that brought a fetched record.
//
// On the server nothing is ever updated or deleted: every row records the login that inserted
// it, when, and in which transaction (filled by the server, never by a client), each login keeps
// its own copy of a configuration so that none can plant a false text under another's hash, and
// journals fetch by the inserting transaction. The list index with the folded texts goes: the
// server lists nothing, and PostgreSQL refuses an index row over about 2.7 KB (a long note).
constexpr TStatement kVersion3[]{
    {TOn::Local, "CREATE TABLE entries_v3 ("
                 " id INTEGER PRIMARY KEY,"
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
                 " inserted_by TEXT NOT NULL DEFAULT '')"},
    {TOn::Local,
     "INSERT INTO entries_v3 (id, uuid, origin, seq, created_ms, os_user, host_name, action, port,"
     " file_path, device_type, device_name, firmware, config_sha256, site, note, site_fold,"
     " search_fold, sent)"
     " SELECT id, uuid, origin, seq, created_ms, os_user, host_name, action, port, file_path,"
     " device_type, device_name, firmware, config_sha256, site, note, site_fold, search_fold, sent"
     " FROM entries"},
    {TOn::Local, "CREATE TABLE annotations_v3 ("
                 " id INTEGER PRIMARY KEY,"
                 " uuid TEXT NOT NULL UNIQUE,"
                 " origin TEXT NOT NULL,"
                 " seq BIGINT NOT NULL,"
                 " created_ms BIGINT NOT NULL,"
                 " os_user TEXT NOT NULL,"
                 " host_name TEXT NOT NULL,"
                 " entry_uuid TEXT NOT NULL REFERENCES entries (uuid),"
                 " site TEXT NOT NULL,"
                 " note TEXT NOT NULL,"
                 " fields INTEGER NOT NULL DEFAULT 3,"
                 " sent INTEGER NOT NULL DEFAULT 0,"
                 " inserted_by TEXT NOT NULL DEFAULT '')"},
    {TOn::Local,
     "INSERT INTO annotations_v3 (id, uuid, origin, seq, created_ms, os_user, host_name, entry_uuid,"
     " site, note, sent)"
     " SELECT id, uuid, origin, seq, created_ms, os_user, host_name, entry_uuid, site, note, sent"
     " FROM annotations"},
    {TOn::Local, "DROP TABLE annotations"},
    {TOn::Local, "DROP TABLE entries"},
    {TOn::Local, "ALTER TABLE entries_v3 RENAME TO entries"},
    {TOn::Local, "ALTER TABLE annotations_v3 RENAME TO annotations"},
    {TOn::Local,
     "CREATE INDEX entries_list ON entries (created_ms, id, device_type, site_fold, search_fold)"},
    {TOn::Local, "CREATE INDEX entries_type_created ON entries (device_type, created_ms, id)"},
    {TOn::Local, "CREATE INDEX entries_author ON entries (os_user, host_name, created_ms, id)"},
    {TOn::Local, "CREATE INDEX entries_unsent ON entries (sent, id)"},
    {TOn::Local, "CREATE INDEX entries_origin ON entries (origin, seq)"},
    {TOn::Local, "CREATE INDEX annotations_entry ON annotations (entry_uuid, created_ms)"},
    {TOn::Local, "CREATE INDEX annotations_unsent ON annotations (sent, id)"},
    {TOn::Local, "CREATE INDEX annotations_origin ON annotations (origin, seq)"},
    {TOn::Local, "CREATE TABLE rejected ("
                 " kind TEXT NOT NULL,"
                 " uuid TEXT NOT NULL,"
                 " origin TEXT NOT NULL,"
                 " reason TEXT NOT NULL,"
                 " PRIMARY KEY (kind, uuid))"},

    {TOn::Server, "ALTER TABLE entries DROP CONSTRAINT IF EXISTS entries_origin_seq_key"},
    {TOn::Server, "ALTER TABLE annotations DROP CONSTRAINT IF EXISTS annotations_origin_seq_key"},
    {TOn::Server, "DROP INDEX IF EXISTS entries_list"},
    {TOn::Server, "ALTER TABLE entries DROP CONSTRAINT IF EXISTS entries_config_sha256_fkey"},
    {TOn::Server, "ALTER TABLE configs ADD COLUMN inserted_by TEXT NOT NULL DEFAULT current_user"},
    {TOn::Server, "ALTER TABLE configs DROP CONSTRAINT configs_pkey"},
    {TOn::Server, "ALTER TABLE configs ADD PRIMARY KEY (sha256, inserted_by)"},
    {TOn::Server,
     "ALTER TABLE entries"
     " ADD COLUMN inserted_by TEXT NOT NULL DEFAULT current_user,"
     " ADD COLUMN inserted_ms BIGINT NOT NULL DEFAULT (extract(epoch FROM now()) * 1000)::bigint,"
     " ADD COLUMN inserted_xid xid8 NOT NULL DEFAULT pg_current_xact_id()"},
    {TOn::Server, "ALTER TABLE entries ADD FOREIGN KEY (config_sha256, inserted_by)"
                  " REFERENCES configs (sha256, inserted_by)"},
    {TOn::Server,
     "ALTER TABLE annotations"
     " ADD COLUMN fields INTEGER NOT NULL DEFAULT 3,"
     " ADD COLUMN inserted_by TEXT NOT NULL DEFAULT current_user,"
     " ADD COLUMN inserted_ms BIGINT NOT NULL DEFAULT (extract(epoch FROM now()) * 1000)::bigint,"
     " ADD COLUMN inserted_xid xid8 NOT NULL DEFAULT pg_current_xact_id()"},
    {TOn::Server, "CREATE INDEX entries_fetch ON entries (inserted_xid, id)"},
    {TOn::Server, "CREATE INDEX annotations_fetch ON annotations (inserted_xid, id)"},
    {TOn::Server, "CREATE INDEX entries_origin ON entries (origin)"},
    {TOn::Server, "CREATE INDEX annotations_origin ON annotations (origin)"},
    // Journals tell a database re-created empty or restored elsewhere from the one they knew.
    {TOn::Server, "INSERT INTO journal_info (name, value) VALUES ('instance', gen_random_uuid()::text)"
                  " ON CONFLICT (name) DO UPDATE SET value = EXCLUDED.value"},
    {TOn::Server, "ALTER TABLE configs ENABLE ROW LEVEL SECURITY"},
    {TOn::Server, "ALTER TABLE entries ENABLE ROW LEVEL SECURITY"},
    {TOn::Server, "ALTER TABLE annotations ENABLE ROW LEVEL SECURITY"},
    // Every login reads everything; a login inserts only rows that name it (the table's owner,
    // who made the tables, is not bound by these).
    {TOn::Server, "CREATE POLICY journal_read ON configs FOR SELECT USING (true)"},
    {TOn::Server, "CREATE POLICY journal_read ON entries FOR SELECT USING (true)"},
    {TOn::Server, "CREATE POLICY journal_read ON annotations FOR SELECT USING (true)"},
    {TOn::Server,
     "CREATE POLICY journal_insert ON configs FOR INSERT WITH CHECK (inserted_by = current_user)"},
    {TOn::Server,
     "CREATE POLICY journal_insert ON entries FOR INSERT WITH CHECK (inserted_by = current_user)"},
    {TOn::Server,
     "CREATE POLICY journal_insert ON annotations FOR INSERT WITH CHECK (inserted_by = current_user)"},
};

// An entry is found by its port too. Ports are Latin, which SQLite's lower() folds. A write
// records how many settings it changed on the panel (NULL: not known). Kept in this journal only:
// servers and programs that know version 3 go on as they were; their entries are only not found
// by port and say nothing of the settings changed.
constexpr TStatement kVersion4[]{
    {TOn::Local, "UPDATE entries SET search_fold = search_fold || char(10) || lower(port)"},
    {TOn::Local, "ALTER TABLE entries ADD COLUMN changed INTEGER"},
};

// Search goes through a trigram index of the folded texts (a part of three letters or more is
// found without reading every entry), kept in step by triggers, so that programs that know an
// older version keep it right too. Each site's newest entries, its read and write among them,
// are found in one index.
constexpr TStatement kVersion5[]{
    {TOn::Local, "CREATE VIRTUAL TABLE entries_search USING fts5(search_fold, content='entries',"
                 " content_rowid='id', tokenize='trigram case_sensitive 1')"},
    {TOn::Local, "INSERT INTO entries_search (entries_search) VALUES ('rebuild')"},
    {TOn::Local, "CREATE TRIGGER entries_search_insert AFTER INSERT ON entries BEGIN"
                 " INSERT INTO entries_search (rowid, search_fold) VALUES (new.id, new.search_fold); END"},
    {TOn::Local, "CREATE TRIGGER entries_search_delete AFTER DELETE ON entries BEGIN"
                 " INSERT INTO entries_search (entries_search, rowid, search_fold)"
                 " VALUES ('delete', old.id, old.search_fold); END"},
    {TOn::Local, "CREATE TRIGGER entries_search_update AFTER UPDATE OF id, search_fold ON entries BEGIN"
                 " INSERT INTO entries_search (entries_search, rowid, search_fold)"
                 " VALUES ('delete', old.id, old.search_fold);"
                 " INSERT INTO entries_search (rowid, search_fold) VALUES (new.id, new.search_fold); END"},
    {TOn::Local, "CREATE INDEX entries_sites ON entries"
                 " (site_fold, created_ms, id, action, os_user, host_name, device_type, device_name, site)"},
};

constexpr std::array kMigrations{
    TMigration{1, 1, kVersion1}, TMigration{2, 1, kVersion2}, TMigration{3, 3, kVersion3, true},
    TMigration{4, 3, kVersion4}, TMigration{5, 3, kVersion5},
};

static_assert(kMigrations.back().version == kSchemaVersion);

void Fill(QString& statement, QLatin1String name, std::string_view value) {
    statement.replace(name, QLatin1String(value.data(), static_cast<qsizetype>(value.size())));
}

} // namespace

std::span<const TMigration> Migrations() {
    return kMigrations;
}

int CompatibleVersion(int version) {
    int compatible = 0;
    for (const TMigration& migration : kMigrations) {
        if (migration.version <= version) {
            compatible = migration.compatible;
        }
    }
    return compatible;
}

int ServerSchemaVersion() {
    int version = 0;
    for (const TMigration& migration : kMigrations) {
        if (!Statements(migration, kPostgres).isEmpty()) {
            version = migration.version;
        }
    }
    return version;
}

QStringList Statements(const TMigration& migration, const TDialect& dialect) {
    QStringList statements;
    for (const TStatement& s : migration.statements) {
        if (s.on != TOn::Both && (s.on == TOn::Local) != (dialect.side == TSide::Local)) {
            continue;
        }
        QString statement = QString::fromLatin1(s.text.data(), static_cast<qsizetype>(s.text.size()));
        Fill(statement, QLatin1String("{autoId}"), dialect.autoId);
        Fill(statement, QLatin1String("{blob}"), dialect.blob);
        statements << statement;
    }
    return statements;
}

} // namespace orv::journal
