#pragma once

// What the local journal and its synchronisation with a server share; not for other libraries.

#include "rows.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

namespace orv::journal {
class TJournal;
}

namespace orv::journal::detail {

// The operating-system user this program runs as.
QString OsUser();

// A text to bind: Qt binds a null string as NULL, and every text column is NOT NULL.
inline QVariant Text(const QString& text) {
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

// The lower-case text an entry is searched in.
inline QString SearchFold(const QString& site, const QString& note, const QString& device,
                          const QString& file, const QString& port) {
    return (site + u'\n' + note + u'\n' + device + u'\n' + file + u'\n' + port).toLower();
}

// A write to the local journal, begun at once (not at its first write), so that two programs
// wait for each other instead of failing halfway; rolled back unless committed.
class TWrite {
public:
    explicit TWrite(const QSqlDatabase& db) : db_(db) {
        QSqlQuery begin(db_);
        begun_ = begin.exec(QStringLiteral("BEGIN IMMEDIATE"));
        if (!begun_) {
            error_ = begin.lastError();
        }
    }
    ~TWrite() {
        if (begun_ && !committed_) {
            QSqlQuery(db_).exec(QStringLiteral("ROLLBACK"));
        }
    }
    TWrite(const TWrite&) = delete;
    TWrite& operator=(const TWrite&) = delete;

    bool Begun() const { return begun_; }
    bool Commit() {
        QSqlQuery commit(db_);
        committed_ = commit.exec(QStringLiteral("COMMIT"));
        if (!committed_) {
            error_ = commit.lastError();
        }
        return committed_;
    }
    const QSqlError& Error() const { return error_; }

private:
    QSqlDatabase db_;
    QSqlError error_;
    bool begun_ = false;
    bool committed_ = false;
};

// The site name and the note an entry shows: each that of the latest change that sets it (by
// time, then by uuid, so that every journal picks the same one), stored on the entry; a field no
// change sets keeps what the entry was recorded with. False when a query failed; error says why.
bool ApplyLatestAnnotation(const QSqlDatabase& db, const QString& entryUuid, QSqlError& error);

// The statement with each ? replaced by its value as the server's driver quotes it (not for
// SQLite, whose bytes Qt quotes as text).
QString Filled(const QSqlDatabase& db, const QString& sql, const QVariantList& values);

// Stores configurations unless the database holds them already (on a server: this login's copy);
// every configuration a journal or a server receives is stored through it.
class TConfigInserter {
public:
    explicit TConfigInserter(const QSqlDatabase& db);
    bool Insert(const TConfigRow& config, QSqlError& error);

private:
    QSqlDatabase db_;
    QSqlQuery query_;
};

// Keeps records fetched from the shared journal, once checked and new to this journal, as they
// came (marked sent, with the login that brought them).
class TFetchedInserter {
public:
    explicit TFetchedInserter(const QSqlDatabase& db);
    bool Insert(const TEntryRow& row, QSqlError& error);
    bool Insert(const TChangeRow& row, QSqlError& error);

private:
    QSqlQuery entries_;
    QSqlQuery changes_;
};

// What the synchronisation reaches of a journal it opened.
struct TJournalAccess {
    static QSqlDatabase Database(const TJournal& journal);
    // Makes the journal continue under a new origin: another journal holds its own.
    static bool NewOrigin(TJournal& journal);
};

} // namespace orv::journal::detail
