// A journal entry's stored form: the configuration's text kept compressed beside its SHA-256.
// The first byte chooses how the bytes after it are used:
// - even: as a configuration's text, recorded; the entry gives back exactly that text, judged as
//   a configuration the way a file is;
// - odd: as a stored form someone else wrote (a damaged database, a forged row): bytes 1-4 the
//   size (big-endian), byte 5 whether the encoding is the right one, the rest the compressed
//   body, in place of a recorded entry's. Nothing but the recorded text, or nothing at all, may
//   come out of it.
// The journal lives in memory-backed storage where there is some (every record is synced).
#include "files/config_file.h"
#include "fuzz_support.h"
#include "journal/journal.h"
#include "journal_base.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <memory>
#include <string>

namespace {

using namespace orv;
using namespace orv::fuzz;
using namespace orv::journal;

QString Sha256(const std::string& text) {
    return QString::fromLatin1(
        QCryptographicHash::hash(QByteArray::fromStdString(text), QCryptographicHash::Sha256).toHex());
}

// The journal and one entry whose stored form the odd inputs replace; made anew every so many
// records, so that the database stays small.
class Scratch {
public:
    Scratch() {
        path_ = ScratchJournalPath(QStringLiteral("journal"));
        Renew();
    }
    ~Scratch() { Close(); }

    TJournal& Journal() {
        if (++records_ > 2000) {
            Renew();
        }
        return *journal_;
    }
    qint64 BaseId() const { return baseId_; }
    const std::string& BaseText() const { return baseText_; }

    // Writes the stored form of the base entry's configuration over what the journal wrote.
    void Forge(qint64 size, bool rightEncoding, const QByteArray& body) {
        QSqlDatabase db = QSqlDatabase::database(QStringLiteral("forger"), false);
        if (!db.isValid()) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("forger"));
        }
        if (!db.isOpen()) {
            db.setDatabaseName(path_);
            ORV_CHECK(db.open());
        }
        QSqlQuery query(db);
        query.prepare(QStringLiteral("UPDATE configs SET size = ?, encoding = ?, body = ? WHERE sha256 = ?"));
        query.addBindValue(size);
        query.addBindValue(rightEncoding ? QStringLiteral("zlib") : QStringLiteral("gzip"));
        query.addBindValue(body);
        query.addBindValue(Sha256(baseText_));
        if (!query.exec()) {
            std::fprintf(stderr, "%s\n", qPrintable(query.lastError().text()));
        }
        ORV_CHECK(query.isActive());
        ORV_CHECK(query.numRowsAffected() == 1);
    }

private:
    void Close() {
        journal_.reset();
        if (QSqlDatabase::contains(QStringLiteral("forger"))) {
            QSqlDatabase::database(QStringLiteral("forger"), false).close();
            QSqlDatabase::removeDatabase(QStringLiteral("forger"));
        }
        RemoveJournalFiles(path_);
    }

    void Renew() {
        Close();
        journal_ = std::make_unique<TJournal>(path_);
        ORV_CHECK(journal_->Open());
        const TNewEntry entry = JournalBaseEntry();
        baseText_ = entry.config;
        const auto id = journal_->Record(entry);
        ORV_CHECK(id.has_value());
        baseId_ = *id;
        records_ = 0;
    }

    QString path_;
    std::unique_ptr<TJournal> journal_;
    qint64 baseId_ = 0;
    std::string baseText_;
    int records_ = 0;
};

Scratch& TheScratch() {
    static Scratch scratch;
    return scratch;
}

void RecordAndReadBack(const std::string& text) {
    TJournal& journal = TheScratch().Journal();
    TNewEntry entry;
    entry.action = TAction::Open;
    entry.filePath = QStringLiteral("fuzz.cf8");
    entry.deviceType = 1;
    entry.config = text;
    const auto id = journal.Record(entry);
    ORV_CHECK(id.has_value());
    const auto found = journal.Find(*id);
    ORV_CHECK(found.has_value() && found->sha256 == Sha256(text));
    const auto stored = journal.Configuration(*id);
    ORV_CHECK(stored.has_value() && stored->state != TConfigState::Damaged);
    ORV_CHECK(stored->text == text);
    TProgramState scratch;
    const bool config = ReadConfigDocument(scratch, text.data(), text.size());
    ORV_CHECK((stored->state == TConfigState::Ok) == config);
}

void ReadForged(Input& in) {
    Scratch& scratch = TheScratch();
    TJournal& journal = scratch.Journal();
    const auto head = in.Take(4);
    quint32 size = 0;
    for (const Byte b : head) {
        size = (size << 8) | b;
    }
    // Any stored size: the journal refuses one its body cannot inflate to before making room.
    const bool rightEncoding = (in.Take() & 1) == 0;
    const auto body = in.Take(in.Left());
    // Never a null array: Qt binds that as NULL, which the column refuses.
    QByteArray bytes("");
    bytes.append(reinterpret_cast<const char*>(body.data()), static_cast<qsizetype>(body.size()));
    scratch.Forge(size, rightEncoding, bytes);
    const auto stored = journal.Configuration(scratch.BaseId());
    ORV_CHECK(stored.has_value());
    if (stored->state == TConfigState::Damaged) {
        ORV_CHECK(stored->text.empty());
    } else {
        ORV_CHECK(stored->text == scratch.BaseText());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    TheScratch();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    if ((in.Take() & 1) == 0) {
        const auto text = in.Take(in.Left());
        RecordAndReadBack(std::string(text.begin(), text.end()));
    } else {
        ReadForged(in);
    }
    return 0;
}
