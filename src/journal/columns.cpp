#include "columns.h"

#include <QDir>

#include <array>

namespace orv::journal {

namespace {

constexpr std::array kColumns{TColumn::Time,   TColumn::Action,  TColumn::Changed, TColumn::Site,
                              TColumn::Device, TColumn::Version, TColumn::Place,   TColumn::OnlyHere,
                              TColumn::User,   TColumn::Host,    TColumn::Note};
// In the order of TColumn, which the window's columns follow.
static_assert([] {
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        if (static_cast<std::size_t>(kColumns[i]) != i) {
            return false;
        }
    }
    return true;
}());
static_assert(kColumns.size() == static_cast<std::size_t>(TColumn::Count));

// Entries read at a time while writing.
constexpr int kChunk = 2000;

} // namespace

std::span<const TColumn> AllColumns() {
    return kColumns;
}

QString ColumnTitle(TColumn column) {
    switch (column) {
    case TColumn::Time:
        return QStringLiteral("Время");
    case TColumn::Action:
        return QStringLiteral("Действие");
    case TColumn::Changed:
        return QStringLiteral("Изменено");
    case TColumn::Site:
        return QStringLiteral("Объект");
    case TColumn::Device:
        return QStringLiteral("Прибор");
    case TColumn::Version:
        return QStringLiteral("Версия");
    case TColumn::Place:
        return QStringLiteral("Порт или файл");
    case TColumn::OnlyHere:
        return QStringLiteral("Только здесь");
    case TColumn::User:
        return QStringLiteral("Пользователь");
    case TColumn::Host:
        return QStringLiteral("Компьютер");
    case TColumn::Note:
        return QStringLiteral("Примечание");
    case TColumn::Count:
        break;
    }
    return {};
}

QString ColumnKey(TColumn column) {
    static const std::array<QString, kColumns.size()> kKeys{
        QStringLiteral("time"),  QStringLiteral("action"),   QStringLiteral("changed"),
        QStringLiteral("site"),  QStringLiteral("device"),   QStringLiteral("version"),
        QStringLiteral("place"), QStringLiteral("onlyHere"), QStringLiteral("user"),
        QStringLiteral("host"),  QStringLiteral("note")};
    const auto at = static_cast<std::size_t>(column);
    return at < kKeys.size() ? kKeys[at] : QString();
}

QString ColumnText(const TEntry& entry, TColumn column) {
    switch (column) {
    case TColumn::Time:
        return entry.time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    case TColumn::Action:
        return ActionText(entry.action);
    case TColumn::Changed:
        return entry.changed ? QString::number(*entry.changed) : QString();
    case TColumn::Site:
        return entry.site;
    case TColumn::Device:
        return entry.deviceName;
    case TColumn::Version:
        return entry.firmware != 0 ? QString::number(entry.firmware) : QString();
    case TColumn::Place:
        return QDir::toNativeSeparators(entry.filePath.isEmpty() ? entry.port : entry.filePath);
    case TColumn::OnlyHere:
        return entry.sent ? QString() : QStringLiteral("да");
    case TColumn::User:
        return entry.user;
    case TColumn::Host:
        return entry.host;
    case TColumn::Note:
        return entry.note;
    case TColumn::Count:
        break;
    }
    return {};
}

TOrder ColumnOrder(TColumn column) {
    switch (column) {
    case TColumn::Action:
        return TOrder::Action;
    case TColumn::Changed:
        return TOrder::Changed;
    case TColumn::Site:
        return TOrder::Site;
    case TColumn::Device:
        return TOrder::Device;
    case TColumn::Version:
        return TOrder::Firmware;
    case TColumn::Place:
        return TOrder::Place;
    case TColumn::OnlyHere:
        return TOrder::OnlyHere;
    case TColumn::User:
        return TOrder::User;
    case TColumn::Host:
        return TOrder::Host;
    case TColumn::Note:
        return TOrder::Note;
    case TColumn::Time:
    case TColumn::Count:
        break;
    }
    return TOrder::Time;
}

QByteArray CsvLine(const QStringList& fields) {
    QByteArray line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            line += ',';
        }
        const QString& field = fields[i];
        if (field.contains(u',') || field.contains(u'"') || field.contains(u'\n') || field.contains(u'\r')) {
            QString quoted = field;
            quoted.replace(u'"', QStringLiteral("\"\""));
            line += '"' + quoted.toUtf8() + '"';
        } else {
            line += field.toUtf8();
        }
    }
    line += "\r\n";
    return line;
}

bool WriteCsv(TJournal& journal, TFilter filter, std::span<const TColumn> columns,
              const std::function<bool(const QByteArray&)>& write, QString& why) {
    QStringList titles;
    for (const TColumn column : columns) {
        titles << ColumnTitle(column);
    }
    if (!write("\xEF\xBB\xBF" + CsvLine(titles))) {
        return false;
    }
    // A page at a time from where the last one ended, as the window reads it.
    filter.limit = kChunk;
    filter.offset = 0;
    filter.before.reset();
    for (;;) {
        const TListing listing = journal.List(filter);
        // Damaged entries are left out, as the window leaves them out.
        if (!listing.warning.isEmpty() && listing.skipped == 0) {
            why = listing.warning;
            return false;
        }
        QByteArray part;
        for (const TEntry& entry : listing.entries) {
            QStringList fields;
            for (const TColumn column : columns) {
                fields << ColumnText(entry, column);
            }
            part += CsvLine(fields);
        }
        if (!part.isEmpty() && !write(part)) {
            return false;
        }
        if (listing.total || !listing.last) {
            return true;
        }
        filter.before = listing.last;
    }
}

} // namespace orv::journal
