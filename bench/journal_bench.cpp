// The journal on a database of many entries: recording an entry of the largest configuration
// (under 20 ms, the time a read or write gains), listing (under 100 ms), searching (under 10 ms), the
// sites at a glance (under 200 ms), the whole list as CSV (under 2 s), and the size of the
// database (under 200 MB for 100,000 entries of typical configurations).
//
// journal_bench [RUNS] [ENTRIES] [FILE]: each time is the median of RUNS runs (at least 5); the
// journal is made in a temporary folder, or in FILE and kept there, made only when FILE is new.

#include "largest_config.h"

#include "files/config_file.h"
#include "journal/columns.h"
#include "journal/journal.h"
#include "journal/sites.h"
#include "ui/sites_dialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <functional>
#include <optional>
#include <random>
#include <vector>

namespace orv {
namespace {

using journal::TAction;
using journal::TFilter;
using journal::TJournal;
using journal::TNewEntry;

constexpr double kRecordLimitMs = 20;
constexpr double kListLimitMs = 100;
constexpr double kSearchLimitMs = 10;
constexpr double kSizeLimitMb = 200;
constexpr double kSitesLimitMs = 200;
constexpr double kCsvLimitMs = 2000;
constexpr std::array<Byte, 17> kTypes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18};
constexpr std::array<const char*, 12> kStreets{
    "ул. Ленина",    "ул. Мира",      "пр. Победы",     "ул. Садовая",   "ул. Гагарина",   "ул. Школьная",
    "ул. Заводская", "ул. Советская", "ул. Молодежная", "пер. Почтовый", "ул. Набережная", "ш. Промышленное"};
constexpr std::array<const char*, 8> kKinds{"Школа", "Магазин", "Склад",       "Аптека",
                                            "Офис",  "Гараж",   "Детский сад", "Котельная"};

// Wall-clock time, and the processor time this program spent (the difference is what other
// programs on a busy machine took).
struct Timing {
    double median = 0;
    double max = 0;
    double cpu = 0; // median
};

Timing Measure(const std::function<void()>& work, int runs) {
    std::vector<double> ms;
    std::vector<double> cpu;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        const std::clock_t start = std::clock();
        clock.start();
        work();
        ms.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        cpu.push_back(1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    return {ms[ms.size() / 2], ms.back(), cpu[cpu.size() / 2]};
}

bool Report(const char* what, const Timing& t, double limit, std::optional<qint64> found = std::nullopt) {
    const bool ok = t.median < limit;
    std::printf("  %-48s median %7.2f ms  max %7.2f ms  cpu %7.2f ms", what, t.median, t.max, t.cpu);
    if (found) {
        std::printf("  (%lld found)", static_cast<long long>(*found));
    }
    std::printf("%s\n", ok ? "" : "  OVER THE LIMIT");
    return ok;
}

// One panel an installer looks after: its site and its configuration as it is changed over the
// years.
struct Panel {
    QString site;
    QString port;
    TProgramState state;
};

// Typical entries: panels of every type, each visited several times over three years; at about
// half of the visits something was changed (zone types and event codes, GSM directions), the
// rest read back what was there.
std::vector<Panel> MakePanels(std::size_t count, std::mt19937& random) {
    std::vector<Panel> panels(count);
    for (std::size_t k = 0; k < count; ++k) {
        Panel& p = panels[k];
        p.site = QStringLiteral("%1 №%2, %3, д. %4")
                     .arg(QString::fromUtf8(kKinds[random() % kKinds.size()]))
                     .arg(random() % 60 + 1)
                     .arg(QString::fromUtf8(kStreets[random() % kStreets.size()]))
                     .arg(random() % 150 + 1);
        p.port =
            random() % 2 ? QStringLiteral("/dev/ttyUSB0") : QStringLiteral("COM%1").arg(random() % 8 + 3);
        const Byte type = kTypes[random() % kTypes.size()];
        p.state.device = CreateDevice(type);
        ResetGsmFrame(p.state.GsmFrame);
        RefreshGsmModels(p.state);
        if (random() % 3 == 0) {
            if (IsOP8(*p.state.device)) {
                p.state.device->SetParam(prmDevTX, 2);
            } else {
                p.state.device->SetGsmConnected(true);
            }
            for (int row = 0; row < 2; ++row) {
                p.state.Directions.ChooseAttempts(row, 3);
                p.state.Directions.SetTarget(row, bench::Phone(static_cast<int>(k * 7 + row)));
            }
            UpdateAllTXBuffers(p.state, nullptr);
        }
    }
    return panels;
}

void Change(Panel& p, std::mt19937& random) {
    TDevice& d = *p.state.device;
    if (d.ZoneCount() > 0) {
        const int zone = static_cast<int>(random() % static_cast<unsigned>(d.ZoneCount())) + 1;
        d.SetZoneType(zone, static_cast<Byte>(random() % 4 + 1));
        d.SetZoneCID(zone, static_cast<Byte>(random() % 30));
    } else {
        d.SetPayload(0, static_cast<Byte>(random()));
    }
}

std::size_t Fill(TJournal& journal, std::size_t entries, std::mt19937& random) {
    std::vector<Panel> panels = MakePanels(std::max<std::size_t>(entries / 5, 1), random);
    const qint64 start = QDateTime::currentMSecsSinceEpoch() - qint64{3} * 365 * 24 * 3600 * 1000;
    const qint64 step = qint64{3} * 365 * 24 * 3600 * 1000 / static_cast<qint64>(entries);
    std::vector<TNewEntry> batch;
    std::size_t made = 0;
    for (std::size_t n = 0; n < entries; ++n) {
        Panel& p = panels[random() % panels.size()];
        const unsigned kind = random() % 20;
        const TAction action = kind < 10   ? TAction::Read
                               : kind < 16 ? TAction::Write
                               : kind < 19 ? TAction::Save
                                           : TAction::Open;
        if (action != TAction::Read || random() % 2 == 0) {
            Change(p, random);
        }
        const bool file = action == TAction::Save || action == TAction::Open;
        TNewEntry entry = journal::EntryFromState(
            action, p.state, file ? QString() : p.port,
            file ? QStringLiteral("/home/installer/Объекты/%1.cf8").arg(p.site) : QString());
        entry.site = p.site;
        if (random() % 10 == 0) {
            entry.note = QStringLiteral("Замена АКБ, проверка ШС%1").arg(random() % 8 + 1);
        }
        entry.time = QDateTime::fromMSecsSinceEpoch(start + static_cast<qint64>(n) * step, Qt::UTC);
        batch.push_back(std::move(entry));
        if (batch.size() == 1000 || n + 1 == entries) {
            if (!journal.Record(std::span<const TNewEntry>(batch))) {
                std::fprintf(stderr, "%s\n", journal.Problem().toStdString().c_str());
                return made;
            }
            made += batch.size();
            batch.clear();
        }
    }
    return made;
}

qint64 FileSize(const QString& path) {
    qint64 size = 0;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        size += QFileInfo(path + QString::fromLatin1(suffix)).size();
    }
    return size;
}

} // namespace
} // namespace orv

int main(int argc, char** argv) {
    using namespace orv;
    // The sites window is opened as a user opens it, on a screen of its own.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int runs = std::max(5, argc > 1 ? std::atoi(argv[1]) : 7);
    const std::size_t entries = argc > 2 ? static_cast<std::size_t>(std::atol(argv[2])) : 100'000;
    QTemporaryDir dir;
    const QString path =
        argc > 3 ? QString::fromLocal8Bit(argv[3]) : dir.filePath(QStringLiteral("journal.sqlite"));
    TJournal journal(path);
    if (!journal.Open()) {
        std::fprintf(stderr, "%s\n", journal.Problem().toStdString().c_str());
        return 1;
    }
    std::mt19937 random(20240611);
    QElapsedTimer clock;
    clock.start();
    const qint64 present = journal.Count().value_or(0);
    const std::size_t made = present > 0 ? static_cast<std::size_t>(present) : Fill(journal, entries, random);
    if (present > 0) {
        std::printf("Journal of %zu entries in %s", made, argv[3]);
    } else {
        std::printf("Journal of %zu typical entries made in %.1f s", made,
                    static_cast<double>(clock.elapsed()) / 1000.0);
    }
    std::printf("; median of %d runs each (the first run reads the journal from the disk)\n", runs);
    bool ok = made >= entries;

    // The largest configuration of all types, recorded as after a read: a new text every time.
    Byte largest = kTypes[0];
    std::size_t largestSize = 0;
    auto committed = [](Byte type, int variant) {
        TProgramState state = bench::Largest(type, variant);
        UpdateAllTXBuffers(state, nullptr);
        return state;
    };
    for (Byte type : kTypes) {
        const std::size_t size = BuildConfigDocument(committed(type, 0)).size();
        if (size > largestSize) {
            largest = type;
            largestSize = size;
        }
    }
    std::vector<TProgramState> states;
    for (int k = 0; k < runs; ++k) {
        states.push_back(committed(largest, k + 1));
    }
    std::size_t next = 0;
    char what[96];
    std::snprintf(what, sizeof what, "record an entry of type %d (%zu bytes of text)", largest, largestSize);
    ok &= Report(what,
                 Measure(
                     [&] {
                         ok &= journal
                                   .Record(journal::EntryFromState(TAction::Read,
                                                                   states[next++ % states.size()],
                                                                   QStringLiteral("/dev/ttyUSB0")))
                                   .has_value();
                     },
                     runs),
                 kRecordLimitMs);

    // What a list shows first: a page of the newest entries the filter lets through and how many
    // there are in all.
    struct Query {
        const char* name;
        TFilter filter;
    };
    const std::array<Query, 6> queries{
        Query{"list: the newest 200 and the count", {.limit = 200}},
        Query{"search \"ленина\" (site, note, device, file)",
              {.search = QStringLiteral("ленина"), .limit = 200}},
        Query{"search \"акб\" (notes)", {.search = QStringLiteral("акб"), .limit = 200}},
        Query{"search for what is nowhere", {.search = QStringLiteral("нет такого объекта"), .limit = 200}},
        Query{"site \"школа №1\" of type 16",
              {.site = QStringLiteral("школа №1"), .deviceType = 16, .limit = 200}},
        // The journal window's filter by who made the entries, for a user with none.
        Query{"user and computer with no entries",
              {.user = QStringLiteral("nobody"), .host = QStringLiteral("nowhere"), .limit = 200}},
    };
    for (const Query& q : queries) {
        std::optional<qint64> count;
        const Timing t = Measure(
            [&] {
                const journal::TListing page = journal.List(q.filter);
                count = page.total ? page.total : journal.Count(q.filter);
            },
            runs);
        ok &= count.has_value();
        ok &= Report(q.name, t, q.filter.search.isEmpty() ? kListLimitMs : kSearchLimitMs, count);
    }
    // An office's view of its sites, and the whole list exported as a spreadsheet's file (the
    // counts are read after the runs that make them).
    std::size_t siteCount = 0;
    const Timing sitesTime = Measure(
        [&] { siteCount = journal::Sites(journal).value_or(std::vector<journal::TSite>{}).size(); }, runs);
    ok &= Report("sites: every site at a glance", sitesTime, kSitesLimitMs, static_cast<qint64>(siteCount));
    const Timing windowTime = Measure(
        [&] {
            TSitesDialog window(journal, {});
            window.show();
            QApplication::processEvents();
        },
        runs);
    ok &= Report("sites window opened and shown", windowTime, kSitesLimitMs, static_cast<qint64>(siteCount));
    qint64 csvBytes = 0;
    const Timing csvTime = Measure(
        [&] {
            QString why;
            csvBytes = 0;
            ok &= journal::WriteCsv(
                journal, {}, journal::AllColumns(),
                [&](const QByteArray& part) {
                    csvBytes += part.size();
                    return true;
                },
                why);
        },
        3);
    ok &= Report("CSV export of every entry (bytes)", csvTime, kCsvLimitMs, csvBytes);
    // The command line prints every entry; no limit is set for that.
    std::size_t all = 0;
    const Timing whole = Measure([&] { all = journal.List().entries.size(); }, 3);
    std::printf("  %-48s median %7.2f ms  max %7.2f ms  cpu %7.2f ms  (%zu entries; no limit)\n",
                "every entry (journal list)", whole.median, whole.max, whole.cpu, all);

    const double mb = static_cast<double>(FileSize(path)) / (1024.0 * 1024.0);
    const double scaled = mb * 100'000.0 / static_cast<double>(std::max<std::size_t>(made, 1));
    const bool small = scaled < kSizeLimitMb;
    std::printf("  database: %.1f MB for %zu entries (%.1f MB for 100,000)%s\n", mb, made, scaled,
                small ? "" : "  OVER THE LIMIT");
    ok &= small;
    std::printf("%s\n", ok ? "all within the limits" : "FAILED");
    return ok ? 0 : 1;
}
