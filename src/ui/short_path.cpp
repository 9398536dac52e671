#include "short_path.h"

#include <QDir>

#ifdef Q_OS_WIN
// Kept in a file of its own: windows.h renames functions (GetOpenFileName and others) by macros.
#include <windows.h>
#endif

namespace orv {

QString ShortPathName(const QString& path) {
#ifdef Q_OS_WIN
    const std::wstring wide = QDir::toNativeSeparators(path).toStdWString();
    wchar_t buffer[MAX_PATH];
    const DWORD n = GetShortPathNameW(wide.c_str(), buffer, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        return QString::fromWCharArray(buffer, static_cast<int>(n));
    }
#endif
    return QDir::toNativeSeparators(path);
}

} // namespace orv
