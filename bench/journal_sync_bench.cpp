// The journal shared through a PostgreSQL server on this computer (a server of its own, started
// in a temporary folder, writing to the disk as a real one does): sending 10,000 new entries
// (under 30 s) and a synchronisation with nothing new (under 50 ms).
//
// journal_sync_bench [RUNS]: the figure for nothing new is the median of RUNS runs (at least 5).
// Without an installed server it says so and succeeds.

#include "largest_config.h"

#include "journal/journal.h"
#include "journal/sync.h"
#include "support/pg_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace orv {
namespace {

constexpr int kEntries = 10'000;
constexpr double kSendLimitMs = 30'000;
constexpr double kNothingNewLimitMs = 50;

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
    std::printf("%s\n", ok ? "all within the limits" : "FAILED");
    return ok ? 0 : 1;
}
