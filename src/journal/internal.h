#pragma once

// What the local journal and its synchronisation with a server share; not for other libraries.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

namespace orv::journal::detail {

// The operating-system user this program runs as.
QString OsUser();

// A text to bind: Qt binds a null string as NULL, and every text column is NOT NULL.
inline QVariant Text(const QString& text) {
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

// The lower-case text an entry is searched in.
inline QString SearchFold(const QString& site, const QString& note, const QString& device,
                          const QString& file) {
    return (site + u'\n' + note + u'\n' + device + u'\n' + file).toLower();
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

// The site name and note an entry shows: those of the latest change of them (by time, then by
// uuid, so every journal picks the same one), stored on the entry. The entry is looked up with
// `lock` appended (" FOR UPDATE" on a server, so that concurrent changes are applied one after
// the other). False when a query failed; error then says why.
bool ApplyLatestAnnotation(const QSqlDatabase& db, const QString& entryUuid, const QString& lock,
                           QSqlError& error);

} // namespace orv::journal::detail
