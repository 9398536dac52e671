#include "rows.h"

#include "journal.h"

#include <QCryptographicHash>

#include <zlib.h>

#include <algorithm>

namespace orv::journal {

namespace {

// Configuration texts are stored as a zlib stream; `size` is the text's length.
constexpr const char* kEncoding = "zlib";

bool IsLowerHex(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
}

bool Within(qint64 value, qint64 low, qint64 high) {
    return value >= low && value <= high;
}

// The checks both kinds of record share.
QString CheckRecord(const QString& uuid, const QString& origin, qint64 seq, qint64 createdMs,
                    const QString& osUser, const QString& hostName, qint64 insertedMs) {
    if (!IsUuid(uuid)) {
        return QStringLiteral("неверный uuid");
    }
    if (!IsUuid(origin)) {
        return QStringLiteral("неверный поток");
    }
    if (!Within(seq, 1, limits::kSeq)) {
        return QStringLiteral("номер в потоке вне допустимых пределов");
    }
    if (createdMs < limits::kEarliestMs || createdMs > insertedMs + limits::kAheadMs) {
        return QStringLiteral("время вне допустимых пределов");
    }
    if (osUser.size() > limits::kName || hostName.size() > limits::kName) {
        return QStringLiteral("слишком длинное имя пользователя или компьютера");
    }
    return {};
}

} // namespace

QString Sha256(const QByteArray& text) {
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex());
}

TConfigRow StoredConfig(const QByteArray& text) {
    // qCompress puts the length in front of the zlib stream; the length has its own column.
    return {Sha256(text), text.size(), QString::fromLatin1(kEncoding), qCompress(text).mid(4)};
}

std::optional<QByteArray> ConfigText(const TConfigRow& row) {
    // Deflate cannot expand a body more than about 1032 times: a larger size is forged and would
    // only make room for nothing.
    if (row.encoding != QLatin1String(kEncoding) || !Within(row.size, 0, limits::kConfig) ||
        row.size > qint64{row.body.size()} * 1032 + 64) {
        return std::nullopt;
    }
    // zlib itself rather than qUncompress, which tells stderr about every damaged stream: fetched
    // rows are anyone's, and a journal only reports what it refused.
    QByteArray text(static_cast<qsizetype>(row.size), Qt::Uninitialized);
    uLongf length = static_cast<uLongf>(row.size);
    if (row.size > 0) {
        if (::uncompress(reinterpret_cast<Bytef*>(text.data()), &length,
                         reinterpret_cast<const Bytef*>(row.body.constData()),
                         static_cast<uLong>(row.body.size())) != Z_OK) {
            return std::nullopt;
        }
    } else if (!row.body.isEmpty()) {
        return std::nullopt;
    }
    if (static_cast<qint64>(length) != row.size || Sha256(text) != row.sha256) {
        return std::nullopt;
    }
    return text;
}

bool IsUuid(const QString& text) {
    if (text.size() != 36) {
        return false;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != u'-' : !IsLowerHex(text[i])) {
            return false;
        }
    }
    return true;
}

QString CheckEntry(const TEntryRow& row) {
    if (QString why = CheckRecord(row.uuid, row.origin, row.seq, row.createdMs, row.osUser, row.hostName,
                                  row.insertedMs);
        !why.isEmpty()) {
        return why;
    }
    if (!ActionFromCode(row.action.toStdString())) {
        return QStringLiteral("неизвестное действие");
    }
    if (!Within(row.deviceType, 0, 255) || !Within(row.firmware, 0, 65535)) {
        return QStringLiteral("тип прибора или версия вне допустимых пределов");
    }
    if (row.configSha256.size() != 64 ||
        !std::all_of(row.configSha256.begin(), row.configSha256.end(), IsLowerHex)) {
        return QStringLiteral("неверная контрольная сумма конфигурации");
    }
    if (row.port.size() > limits::kPlace || row.filePath.size() > limits::kPlace ||
        row.deviceName.size() > limits::kName || row.site.size() > limits::kSite ||
        row.note.size() > limits::kNote) {
        return QStringLiteral("слишком длинный текст");
    }
    return {};
}

QString CheckChange(const TChangeRow& row) {
    if (QString why = CheckRecord(row.uuid, row.origin, row.seq, row.createdMs, row.osUser, row.hostName,
                                  row.insertedMs);
        !why.isEmpty()) {
        return why;
    }
    if (!IsUuid(row.entryUuid)) {
        return QStringLiteral("неверный uuid записи");
    }
    if (!Within(row.fields, 1, kSiteField | kNoteField)) {
        return QStringLiteral("неизвестное изменение");
    }
    if (row.site.size() > limits::kSite || row.note.size() > limits::kNote) {
        return QStringLiteral("слишком длинный текст");
    }
    return {};
}

QString CheckConfig(const TConfigRow& row) {
    return ConfigText(row) ? QString()
                           : QStringLiteral("конфигурация не совпадает со своей контрольной суммой");
}

} // namespace orv::journal
