#pragma once

#include <QIcon>
#include <QPixmap>

namespace orv {

QIcon AppIcon();
QPixmap LogoPixmap();
// Shown beside the USB-to-serial adapter entries of the port list.
QIcon AdapterIcon();
// One icon per zone type code 0..8; an empty icon for other codes.
QIcon ZoneTypeIcon(int code);

} // namespace orv
