#include "short_path.h"

#include <QDir>

// Kept out of every file that includes the dialogs interface: <windows.h> defines
// GetOpenFileName and GetSaveFileName as macros, which would rename its methods there only.
#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include <string>

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
    // Elsewhere there are no short names: the name itself stands for it.
    return QDir::toNativeSeparators(path);
}

} // namespace orv
