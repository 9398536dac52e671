#pragma once

// The journal's list as a user reads it: its columns, their titles and texts, the same in the
// window, in a file exported from it and on the command line.

#include "journal.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <span>

namespace orv::journal {

enum class TColumn { Time, Action, Changed, Site, Device, Version, Place, OnlyHere, User, Host, Note, Count };

// Every column, in the list's order.
std::span<const TColumn> AllColumns();
QString ColumnTitle(TColumn column);
// A name for the column that does not change with its title: what a stored choice of columns
// keeps.
QString ColumnKey(TColumn column);
QString ColumnText(const TEntry& entry, TColumn column);
// What a list ordered by the column is ordered by.
TOrder ColumnOrder(TColumn column);

// One line of comma-separated values: a field holding a comma, a quote or a line break is quoted,
// its quotes doubled; the line ends with CR LF.
QByteArray CsvLine(const QStringList& fields);

// The entries the filter lets through, in its order and columns, as comma-separated values in
// UTF-8 with a byte-order mark (which spreadsheet programs expect): the titles first, then an
// entry a line, handed to write a part at a time. False when the journal could not be read
// through (why then says so in Russian) or write refused (why is left empty).
bool WriteCsv(TJournal& journal, TFilter filter, std::span<const TColumn> columns,
              const std::function<bool(const QByteArray&)>& write, QString& why);

} // namespace orv::journal
