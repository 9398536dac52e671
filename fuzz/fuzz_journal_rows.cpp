// The rows a synchronisation fetches from the shared journal: anyone's login can insert them, so
// every field is the fuzzer's. A row the checks refuse is left alone; one they let through must
// be kept by the local journal exactly as the synchronisation keeps it and read back as it came.
//
// The input, front to back. Byte 0 says what follows: bit 0 a configuration, bit 1 an entry,
// bit 2 a change of an entry's site or note; bit 3 the configuration as a text (stored as a
// journal stores one) instead of its four stored fields; bit 4 the entry names that
// configuration's hash instead of a hash of its own; bit 5 the change is of that entry instead of
// a uuid of its own. A text is a two-byte big-endian length and that many bytes of UTF-8 (a
// server's text never holds U+0000, so it is dropped); a number is eight bytes, big-endian.
// - configuration: text, or sha256, size, encoding, body (the body's bytes as they are);
// - entry: uuid, origin, seq, created, user, host, action, port, file path, device type, device
//   name, firmware, [configuration hash], site, note, inserted by, inserted at;
// - change: uuid, origin, seq, created, user, host, [entry uuid], site, note, fields, inserted
//   by, inserted at.
// Each input runs in a transaction of its own on one journal in memory-backed storage, rolled
// back afterwards, so that every input starts from the same empty journal. Whatever Qt would
// print is a failure: a fetched row is reported by the journal, never on stderr.
#include "fuzz_support.h"
#include "journal/internal.h"
#include "journal/journal.h"
#include "journal/rows.h"
#include "journal_base.h"

#include <QCoreApplication>

#include <memory>
#include <string>

namespace {

using namespace orv;
using namespace orv::fuzz;
using namespace orv::journal;

void FailOnMessage(QtMsgType, const QMessageLogContext&, const QString& message) {
    std::fprintf(stderr, "Qt said: %s\n", qPrintable(message));
    Fail("nothing printed", __FILE__, __LINE__);
}

QByteArray TakeBytes(Input& in) {
    const std::size_t size = (std::size_t{in.Take()} << 8) | in.Take();
    const auto bytes = in.Take(size);
    QByteArray out("");
    out.append(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
    return out;
}

QString TakeText(Input& in) {
    return QString::fromUtf8(TakeBytes(in)).remove(QChar(0));
}

qint64 TakeNumber(Input& in) {
    quint64 value = 0;
    for (int i = 0; i < 8; ++i) {
        value = (value << 8) | in.Take();
    }
    return static_cast<qint64>(value);
}

class Scratch {
public:
    Scratch() {
        path_ = ScratchJournalPath(QStringLiteral("rows"));
        RemoveJournalFiles(path_);
        journal_ = std::make_unique<TJournal>(path_);
        ORV_CHECK(journal_->Open());
    }
    ~Scratch() {
        journal_.reset();
        RemoveJournalFiles(path_);
    }
    TJournal& Journal() { return *journal_; }

private:
    QString path_;
    std::unique_ptr<TJournal> journal_;
};

Scratch& TheScratch() {
    static Scratch scratch;
    return scratch;
}

// The configuration's text when the checks let it through; nothing when they refuse it.
std::optional<QByteArray> KeepConfig(const QSqlDatabase& db, TJournal& journal, const TConfigRow& row,
                                     bool asWritten) {
    const bool accepted = CheckConfig(row).isEmpty();
    const auto text = ConfigText(row);
    ORV_CHECK(accepted == text.has_value());
    // A journal's own stored form always passes.
    ORV_CHECK(accepted || !asWritten);
    if (!accepted) {
        return std::nullopt;
    }
    ORV_CHECK(text->size() == row.size && Sha256(*text) == row.sha256);
    QSqlError error;
    ORV_CHECK(detail::TConfigInserter(db).Insert(row, error));
    ORV_CHECK(journal.HoldsConfiguration(row.sha256));
    return text;
}

// The entry's number in the journal when it was kept.
std::optional<qint64> KeepEntry(const QSqlDatabase& db, TJournal& journal, const TEntryRow& row,
                                const std::optional<QByteArray>& config, const QString& configSha) {
    // The synchronisation keeps an entry only with its configuration.
    if (!CheckEntry(row).isEmpty() || !config || row.configSha256 != configSha) {
        return std::nullopt;
    }
    QSqlError error;
    ORV_CHECK(detail::TFetchedInserter(db).Insert(row, error));
    QString why;
    const auto id = journal.Lookup(row.uuid, why);
    ORV_CHECK(id.has_value());
    const auto entry = journal.Find(*id);
    ORV_CHECK(entry.has_value());
    ORV_CHECK(entry->uuid == row.uuid && entry->origin == row.origin && entry->seq == row.seq);
    ORV_CHECK(entry->time.isValid() && entry->time.toMSecsSinceEpoch() == row.createdMs);
    ORV_CHECK(entry->user == row.osUser && entry->host == row.hostName);
    ORV_CHECK(ActionCode(entry->action) == row.action.toStdString());
    ORV_CHECK(entry->port == row.port && entry->filePath == row.filePath);
    ORV_CHECK(entry->deviceType == row.deviceType && entry->deviceName == row.deviceName);
    ORV_CHECK(entry->firmware == row.firmware && entry->sha256 == row.configSha256);
    ORV_CHECK(entry->site == row.site && entry->note == row.note);
    ORV_CHECK(entry->sent && entry->insertedBy == row.insertedBy);
    const auto stored = journal.Configuration(*id);
    ORV_CHECK(stored.has_value() && stored->state != TConfigState::Damaged);
    ORV_CHECK(QByteArray::fromStdString(stored->text) == *config);
    // Listed like any other, not left out as damaged.
    const TListing listing = journal.List();
    ORV_CHECK(listing.skipped == 0 && listing.entries.size() == 1 && listing.entries.front().id == *id);
    return id;
}

void KeepChange(const QSqlDatabase& db, TJournal& journal, const TChangeRow& row, const TEntryRow& entryRow,
                std::optional<qint64> entry) {
    // The synchronisation keeps a change only of an entry it holds.
    if (!CheckChange(row).isEmpty() || !entry || row.entryUuid != entryRow.uuid) {
        return;
    }
    QSqlError error;
    ORV_CHECK(detail::TFetchedInserter(db).Insert(row, error));
    ORV_CHECK(detail::ApplyLatestAnnotation(db, row.entryUuid, error));
    const auto changed = journal.Find(*entry);
    ORV_CHECK(changed.has_value());
    ORV_CHECK(changed->site == ((row.fields & kSiteField) != 0 ? row.site : entryRow.site));
    ORV_CHECK(changed->note == ((row.fields & kNoteField) != 0 ? row.note : entryRow.note));
}

void Run(Input& in) {
    const Byte what = in.Take();
    TJournal& journal = TheScratch().Journal();
    QSqlDatabase db = detail::TJournalAccess::Database(journal);
    detail::TWrite write(db);
    ORV_CHECK(write.Begun());

    TConfigRow config;
    const bool asWritten = (what & 0x08) != 0;
    if ((what & 0x01) != 0) {
        if (asWritten) {
            config = StoredConfig(TakeBytes(in));
        } else {
            config.sha256 = TakeText(in);
            config.size = TakeNumber(in);
            config.encoding = TakeText(in);
            config.body = TakeBytes(in);
        }
    }
    const auto text = (what & 0x01) != 0 ? KeepConfig(db, journal, config, asWritten) : std::nullopt;

    TEntryRow entry;
    std::optional<qint64> kept;
    if ((what & 0x02) != 0) {
        entry.uuid = TakeText(in);
        entry.origin = TakeText(in);
        entry.seq = TakeNumber(in);
        entry.createdMs = TakeNumber(in);
        entry.osUser = TakeText(in);
        entry.hostName = TakeText(in);
        entry.action = TakeText(in);
        entry.port = TakeText(in);
        entry.filePath = TakeText(in);
        entry.deviceType = TakeNumber(in);
        entry.deviceName = TakeText(in);
        entry.firmware = TakeNumber(in);
        entry.configSha256 = (what & 0x10) != 0 ? config.sha256 : TakeText(in);
        entry.site = TakeText(in);
        entry.note = TakeText(in);
        entry.insertedBy = TakeText(in);
        entry.insertedMs = TakeNumber(in);
        kept = KeepEntry(db, journal, entry, text, config.sha256);
    }

    if ((what & 0x04) != 0) {
        TChangeRow change;
        change.uuid = TakeText(in);
        change.origin = TakeText(in);
        change.seq = TakeNumber(in);
        change.createdMs = TakeNumber(in);
        change.osUser = TakeText(in);
        change.hostName = TakeText(in);
        change.entryUuid = (what & 0x20) != 0 ? entry.uuid : TakeText(in);
        change.site = TakeText(in);
        change.note = TakeText(in);
        change.fields = TakeNumber(in);
        change.insertedBy = TakeText(in);
        change.insertedMs = TakeNumber(in);
        KeepChange(db, journal, change, entry, kept);
    }
    // Rolled back: the next input finds the journal empty again.
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    qInstallMessageHandler(FailOnMessage);
    TheScratch();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    Run(in);
    return 0;
}
