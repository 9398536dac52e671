#pragma once

#include <QString>

namespace orv {

// The file's short (8.3) path name where the system has one; elsewhere the name itself, with the
// system's separators.
QString ShortPathName(const QString& path);

} // namespace orv
