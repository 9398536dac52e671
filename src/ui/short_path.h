#pragma once

#include <QString>

namespace orv {

// The 8.3 short form of an existing path on Windows (the caption shows it); elsewhere, and when
// the system has no short form, the path itself with native separators.
QString ShortPathName(const QString& path);

} // namespace orv
