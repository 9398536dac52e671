#pragma once

// Report, journal and compare windows open at the size the user left them, or at the size they
// ask for, within the screen they open on, so that their buttons are never off it.

#include <QRect>
#include <QSize>

class QWidget;

namespace orv {

// The largest size not above wanted (nor below minimum where the screen allows) that fits
// available with room for the window's frame.
QSize FitSize(QSize wanted, QSize minimum, QRect available);

// Sizes window (named by its objectName) as it was last left, else as wanted, fitted to the
// screen it will open on; call once its layout is built.
void RestoreWindowSize(QWidget* window, QSize wanted);
// Remembers window's size for the next time; call as it closes.
void StoreWindowSize(const QWidget* window);

} // namespace orv
