#pragma once

// The password of a journal server's login, kept where libpq looks for it: its password file,
// never the program's settings.

#include "sync.h"

#include <QString>

namespace orv::journal {

// The password file libpq reads: PGPASSFILE when set, otherwise ~/.pgpass (on Windows
// %APPDATA%\postgresql\pgpass.conf).
QString PasswordFilePath();

// Puts the login's password into the password file: the line for the same host, port, database
// and user is replaced, every other line kept, and a new file is readable by its owner alone
// (libpq ignores a file others may read). False when it could not be written; why says so in
// Russian.
bool StorePassword(const TServerSettings& server, const QString& password, QString& why);

} // namespace orv::journal
