#pragma once

// What a journal's records are when they travel between journals, how a configuration's text is
// stored, and the checks a record fetched from the shared journal must pass before it is kept:
// any installer's login can insert rows there, so a row is data from outside, never trusted.

#include <QByteArray>
#include <QString>

#include <optional>

namespace orv::journal {

// The largest values a record may hold; the journal refuses to make a record past them, so that
// every record one journal makes passes the checks of all others.
namespace limits {
inline constexpr qsizetype kName = 256;     // user, computer, device name
inline constexpr qsizetype kPlace = 4096;   // port, file path
inline constexpr qsizetype kSite = 4096;    // site name
inline constexpr qsizetype kNote = 65536;   // note
inline constexpr qint64 kConfig = 16 << 20; // a configuration's text, in bytes
inline constexpr qint64 kSeq = qint64{1} << 40;
// 2000-01-01 UTC: no record is older.
inline constexpr qint64 kEarliestMs = 946'684'800'000;
// How far a record's time may run ahead of the server's clock when it was inserted: a day, so
// that a computer whose clock is set in the wrong time zone is still heard; a record pinned to
// the end of time is not.
inline constexpr qint64 kAheadMs = 24LL * 3600 * 1000;
} // namespace limits

// A configuration's text as stored: a zlib stream of it, its length and its SHA-256.
struct TConfigRow {
    QString sha256; // lower-case hexadecimal
    qint64 size = 0;
    QString encoding; // "zlib"
    QByteArray body;
};

TConfigRow StoredConfig(const QByteArray& text);
// The text, when the row holds a text of its length and hash.
std::optional<QByteArray> ConfigText(const TConfigRow& row);
QString Sha256(const QByteArray& text);

// An entry as it travels; inserted*: what the server filled in.
struct TEntryRow {
    QString uuid;
    QString origin;
    qint64 seq = 0;
    qint64 createdMs = 0;
    QString osUser;
    QString hostName;
    QString action;
    QString port;
    QString filePath;
    qint64 deviceType = 0;
    QString deviceName;
    qint64 firmware = 0;
    QString configSha256;
    QString site;
    QString note;
    QString insertedBy;
    qint64 insertedMs = 0;
};

// A change of an entry's site name (fields 1), note (2) or both (3).
struct TChangeRow {
    QString uuid;
    QString origin;
    qint64 seq = 0;
    qint64 createdMs = 0;
    QString osUser;
    QString hostName;
    QString entryUuid;
    QString site;
    QString note;
    qint64 fields = 3;
    QString insertedBy;
    qint64 insertedMs = 0;
};

inline constexpr qint64 kSiteField = 1;
inline constexpr qint64 kNoteField = 2;

// Why a fetched record may not be kept, in Russian; empty when it may. The configuration is
// checked apart (CheckConfig), once however many entries refer to it.
QString CheckEntry(const TEntryRow& row);
QString CheckChange(const TChangeRow& row);
QString CheckConfig(const TConfigRow& row);

// A uuid as this program writes one: 36 lower-case hexadecimal digits and dashes, 8-4-4-4-12.
bool IsUuid(const QString& text);

} // namespace orv::journal
