#include "window_size.h"

#include "settings.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <algorithm>

namespace orv {

namespace {

// A title bar and borders the window manager adds around the window's own area.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 48;

QString Key(const QWidget* window) {
    return QStringLiteral("windows/") + window->objectName() + QStringLiteral("/size");
}

QRect AvailableFor(const QWidget* window) {
    const QWidget* anchor = window->parentWidget() ? window->parentWidget()->window() : window;
    const QScreen* screen = anchor->screen();
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 700);
}

} // namespace

QSize FitSize(QSize wanted, QSize minimum, QRect available) {
    const int roomWidth = std::max(1, available.width() - kFrameWidth);
    const int roomHeight = std::max(1, available.height() - kFrameHeight);
    const int width = std::min(std::max(wanted.width(), minimum.width()), roomWidth);
    const int height = std::min(std::max(wanted.height(), minimum.height()), roomHeight);
    return {std::max(width, 1), std::max(height, 1)};
}

void RestoreWindowSize(QWidget* window, QSize wanted) {
    QSettings settings(QString::fromLatin1(kSettingsOrganization), QString::fromLatin1(kSettingsApplication));
    const QSize stored = settings.value(Key(window)).toSize();
    if (stored.isValid() && stored.width() > 0 && stored.height() > 0) {
        wanted = stored;
    }
    window->resize(FitSize(wanted, window->minimumSizeHint(), AvailableFor(window)));
}

void StoreWindowSize(const QWidget* window) {
    if (window->isMaximized() || window->isFullScreen()) {
        return;
    }
    QSettings settings(QString::fromLatin1(kSettingsOrganization), QString::fromLatin1(kSettingsApplication));
    settings.setValue(Key(window), window->size());
}

} // namespace orv
