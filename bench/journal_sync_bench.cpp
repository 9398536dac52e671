// The journal shared through a PostgreSQL server on this computer (a server of its own, started
// in a temporary folder, writing to the disk as a real one does): sending 10,000 new entries
// (under 30 s), a synchronisation with nothing new (under 50 ms), and the checks of the rows
// another journal fetches (under 10 % of fetching the 10,000 entries).
//
// journal_sync_bench [RUNS]: the figure for nothing new is the median of RUNS runs (at least 5).
// Without an installed server it says so and succeeds.

#include "largest_config.h"

#include "journal/journal.h"
#include "journal/rows.h"
#include "journal/sync.h"
#include "support/pg_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace orv {
namespace {

constexpr int kEntries = 10'000;
constexpr double kSendLimitMs = 30'000;
constexpr double kNothingNewLimitMs = 50;
constexpr double kCheckShare = 0.10;

// The rows a journal fetches, read from the server as it reads them, and the time the checks of
// them take: every entry, and every configuration once.
double CheckingMs(const test::PgServer& server) {
    std::vector<journal::TEntryRow> entries;
    std::vector<journal::TConfigRow> configs;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("rows"));
        db.setHostName(server.Host());
        db.setPort(server.Port());
        db.setDatabaseName(QStringLiteral("journal"));
        db.setUserName(test::PgServer::Superuser());
        if (!db.open()) {
            return -1;
        }
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.exec(QStringLiteral(
            "SELECT uuid, origin, seq, created_ms, os_user, host_name, action, port, file_path, "
            "device_type, device_name, firmware, config_sha256, site, note, inserted_by, "
            "inserted_ms FROM entries"));
        while (query.next()) {
            journal::TEntryRow r;
            r.uuid = query.value(0).toString();
            r.origin = query.value(1).toString();
            r.seq = query.value(2).toLongLong();
            r.createdMs = query.value(3).toLongLong();
            r.osUser = query.value(4).toString();
            r.hostName = query.value(5).toString();
            r.action = query.value(6).toString();
            r.port = query.value(7).toString();
            r.filePath = query.value(8).toString();
            r.deviceType = query.value(9).toLongLong();
            r.deviceName = query.value(10).toString();
            r.firmware = query.value(11).toLongLong();
            r.configSha256 = query.value(12).toString();
            r.site = query.value(13).toString();
            r.note = query.value(14).toString();
            r.insertedBy = query.value(15).toString();
            r.insertedMs = query.value(16).toLongLong();
            entries.push_back(std::move(r));
        }
        query.exec(QStringLiteral("SELECT sha256, size, encoding, body FROM configs"));
        while (query.next()) {
            configs.push_back({query.value(0).toString(), query.value(1).toLongLong(),
                               query.value(2).toString(), query.value(3).toByteArray()});
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("rows"));
    QElapsedTimer clock;
    clock.start();
    int refused = 0;
    for (const journal::TEntryRow& row : entries) {
        refused += journal::CheckEntry(row).isEmpty() ? 0 : 1;
    }
    for (const journal::TConfigRow& row : configs) {
        refused += journal::CheckConfig(row).isEmpty() ? 0 : 1;
    }
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    return refused == 0 && entries.size() == kEntries ? ms : -1;
}

// Entries of typical variety: 200 configurations of several types, each visited many times.
std::vector<journal::TNewEntry> Entries() {
    constexpr std::array<Byte, 5> kTypes{5, 6, 9, 13, 16};
    std::vector<journal::TNewEntry> pool;
    for (int variant = 0; variant < 200; ++variant) {
        TProgramState state =
            bench::Largest(kTypes[static_cast<std::size_t>(variant) % kTypes.size()], variant);
        UpdateAllTXBuffers(state, nullptr);
        pool.push_back(
            journal::EntryFromState(journal::TAction::Read, state, QStringLiteral("/dev/ttyUSB0")));
    }
    std::vector<journal::TNewEntry> entries;
    for (int i = 0; i < kEntries; ++i) {
        journal::TNewEntry entry = pool[static_cast<std::size_t>(i) % pool.size()];
        entry.site = QStringLiteral("ул. Ленина, %1").arg(i / 50);
        entry.note = i % 7 == 0 ? QStringLiteral("Замена АКБ") : QString();
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace
} // namespace orv

int main(int argc, char** argv) {
    using namespace orv;
    QCoreApplication app(argc, argv);
    const int runs = std::max(5, argc > 1 ? std::atoi(argv[1]) : 7);
    if (test::PgServer::BinDir().isEmpty()) {
        std::printf(
            "journal_sync_bench: skipped, no PostgreSQL server installed (/usr/lib/postgresql/*/bin)\n");
        return 0;
    }
    test::PgServer server(test::PgServer::Options{.durable = true});
    if (!server.Ok() || !server.CreateDatabase(QStringLiteral("journal"))) {
        std::printf("journal_sync_bench: skipped, the PostgreSQL server did not start: %s\n",
                    server.Error().toStdString().c_str());
        return 0;
    }
    journal::TServerSettings settings;
    settings.host = server.Host();
    settings.port = server.Port();
    settings.database = QStringLiteral("journal");
    settings.user = test::PgServer::Superuser();
    settings.sslmode = QStringLiteral("disable");

    QTemporaryDir dir;
    journal::TJournal local(dir.filePath(QStringLiteral("journal.sqlite")));
    if (!local.Record(Entries())) {
        std::fprintf(stderr, "%s\n", local.Problem().toStdString().c_str());
        return 1;
    }
    journal::TJournalSync sync(local.Path(), settings);
    QElapsedTimer clock;
    clock.start();
    const journal::TSyncReport sent = sync.Run();
    const double sendMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    bool ok = sent.Ok() && sent.sentEntries == kEntries;
    std::printf("Shared journal on a local PostgreSQL server (fsync on)\n");
    std::printf("  %-48s %9.0f ms  (limit %.0f ms, %lld sent)%s\n", "send 10,000 new entries", sendMs,
                kSendLimitMs, static_cast<long long>(sent.sentEntries),
                sendMs < kSendLimitMs && ok ? "" : "  OVER THE LIMIT");
    if (!sent.Ok()) {
        std::printf("  %s\n", sent.text.toStdString().c_str());
    }
    ok = ok && sendMs < kSendLimitMs;

    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        clock.restart();
        const journal::TSyncReport nothing = sync.Run();
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        ok = ok && nothing.Ok() && nothing.sentEntries + nothing.fetchedEntries == 0;
    }
    std::sort(ms.begin(), ms.end());
    const double median = ms[ms.size() / 2];
    std::printf("  %-48s median %7.2f ms  max %7.2f ms  (limit %.0f ms)%s\n", "synchronise with nothing new",
                median, ms.back(), kNothingNewLimitMs, median < kNothingNewLimitMs ? "" : "  OVER THE LIMIT");
    ok = ok && median < kNothingNewLimitMs;

    // Another computer fetches them all; the checks' share of that.
    journal::TJournalSync other(dir.filePath(QStringLiteral("other.sqlite")), settings);
    clock.restart();
    const journal::TSyncReport fetched = other.Run();
    const double fetchMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    const double checkMs = CheckingMs(server);
    const double share = checkMs / fetchMs;
    ok = ok && fetched.Ok() && fetched.fetchedEntries == kEntries && checkMs >= 0 && share < kCheckShare;
    std::printf("  %-48s %9.0f ms  (%lld fetched)\n", "fetch 10,000 entries into another journal", fetchMs,
                static_cast<long long>(fetched.fetchedEntries));
    std::printf("  %-48s %9.1f ms  %.1f %% of fetching (limit %.0f %%)%s\n", "checking the fetched rows",
                checkMs, 100 * share, 100 * kCheckShare,
                checkMs >= 0 && share < kCheckShare ? "" : "  OVER THE LIMIT");
    std::printf("%s\n", ok ? "all within the limits" : "FAILED");
    return ok ? 0 : 1;
}
