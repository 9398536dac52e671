#pragma once

// What the shared journal's tests share: entries to record, databases opened past the journal's
// code (a journal's SQLite file, the test server's PostgreSQL database), and a fixture with a
// PostgreSQL server of the test's own.

#include "device/catalogue.h"
#include "gsm/tx_buffers.h"
#include "journal/journal.h"
#include "journal/sync.h"
#include "support/pg_server.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>

namespace orv::journal::test {

using orv::test::PgServer;

inline TNewEntry Entry(Byte type, const QString& site) {
    TProgramState state;
    state.device = CreateDevice(type);
    ResetGsmFrame(state.GsmFrame);
    RefreshGsmModels(state);
    TNewEntry entry = EntryFromState(TAction::Read, state, QStringLiteral("/dev/ttyUSB0"));
    entry.site = site;
    return entry;
}

inline std::vector<TNewEntry> Entries(int count, const QString& prefix) {
    const TNewEntry model = Entry(13, {});
    std::vector<TNewEntry> entries(static_cast<std::size_t>(count), model);
    for (int i = 0; i < count; ++i) {
        entries[static_cast<std::size_t>(i)].site = QStringLiteral("%1 %2").arg(prefix).arg(i);
    }
    return entries;
}

// What every journal and the server agree on of a record, whoever holds it: what it was made with.
inline constexpr const char* kRecordedEntry =
    "uuid, origin, seq, created_ms, os_user, host_name, action, port, file_path, device_type, device_name, "
    "firmware, config_sha256";
inline constexpr const char* kRecordedChange =
    "uuid, origin, seq, created_ms, os_user, host_name, entry_uuid, site, note, fields";

// A database opened past the journal's code, SQLite or PostgreSQL.
class Db {
public:
    Db(const QString& driver, const QString& name, const QString& host = {}, int port = 0,
       const QString& user = PgServer::Superuser()) {
        static std::atomic<int> next{0};
        connection_ = QStringLiteral("sync-test-%1").arg(next++);
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, connection_);
        db.setDatabaseName(name);
        if (!host.isEmpty()) {
            db.setHostName(host);
            db.setPort(port);
            db.setUserName(user);
        }
        EXPECT_TRUE(db.open()) << db.lastError().text().toStdString();
    }
    ~Db() {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    // Every row, its columns joined, sorted.
    std::vector<QString> Rows(const QString& sql) {
        QSqlQuery query(QSqlDatabase::database(connection_, false));
        EXPECT_TRUE(query.exec(sql)) << sql.toStdString() << ": " << query.lastError().text().toStdString();
        std::vector<QString> rows;
        while (query.next()) {
            QStringList columns;
            for (int i = 0; i < query.record().count(); ++i) {
                const QVariant value = query.value(i);
                columns << (value.typeId() == QMetaType::QByteArray
                                ? QString::fromLatin1(value.toByteArray().toHex())
                                : value.toString());
            }
            rows.push_back(columns.join(u'|'));
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    qint64 Number(const QString& sql) {
        const auto rows = Rows(sql);
        return rows.size() == 1 ? rows.front().toLongLong() : -1;
    }
    void Exec(const QString& sql) {
        QSqlQuery query(QSqlDatabase::database(connection_, false));
        EXPECT_TRUE(query.exec(sql)) << sql.toStdString() << ": " << query.lastError().text().toStdString();
    }
    // A statement expected to fail; its SQLSTATE.
    QString Refused(const QString& sql) {
        QSqlQuery query(QSqlDatabase::database(connection_, false));
        EXPECT_FALSE(query.exec(sql)) << sql.toStdString();
        return query.lastError().nativeErrorCode();
    }

    // The records held, as made: equal in every journal and on the server that hold the same.
    struct Content {
        std::vector<QString> entries, changes;
        bool operator==(const Content&) const = default;
    };
    Content Recorded() {
        return {Rows(QStringLiteral("SELECT %1 FROM entries").arg(QLatin1String(kRecordedEntry))),
                Rows(QStringLiteral("SELECT %1 FROM annotations").arg(QLatin1String(kRecordedChange)))};
    }

private:
    QString connection_;
};

class SyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        orv::test::EnsureQtApp();
        if (PgServer::BinDir().isEmpty()) {
            GTEST_SKIP() << "No PostgreSQL server programs in /usr/lib/postgresql/*/bin: the shared journal "
                            "is not tested here (scripts/install-deps installs the postgresql package)";
        }
        server = std::make_unique<PgServer>();
        ASSERT_TRUE(server->Ok()) << server->Error().toStdString();
        ASSERT_TRUE(server->CreateDatabase(QStringLiteral("journal"))) << server->Error().toStdString();
    }

    TServerSettings Settings(const QString& user = PgServer::Superuser()) const {
        TServerSettings settings;
        settings.host = server->Host();
        settings.port = server->Port();
        settings.database = database;
        settings.user = user;
        settings.sslmode = QStringLiteral("disable");
        return settings;
    }
    QString Path(const std::string& name) const { return QString::fromStdString(dir.File(name + ".sqlite")); }
    std::unique_ptr<Db> Server(const QString& user = PgServer::Superuser()) const {
        return std::make_unique<Db>(QStringLiteral("QPSQL"), database, server->Host(), server->Port(), user);
    }
    static std::unique_ptr<Db> Local(const QString& path) {
        return std::make_unique<Db>(QStringLiteral("QSQLITE"), path);
    }
    // One synchronisation of the journal at path as the user; asserts nothing.
    TSyncReport Sync(const QString& path, const QString& user = PgServer::Superuser()) const {
        TJournalSync sync(path, Settings(user));
        return sync.Run();
    }

    orv::test::TempDir dir;
    std::unique_ptr<PgServer> server;
    QString database = QStringLiteral("journal");
};

} // namespace orv::journal::test
