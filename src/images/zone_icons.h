#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace orv {

// Zone type codes that have a picture: 0 to 8.
inline constexpr int kZoneTypeIcons = 9;

// The resource path of a zone type's picture (SVG); empty for a code without one.
QString ZoneTypeIconPath(int code);
// The picture's SVG text; empty for a code without one.
QByteArray ZoneTypeSvg(int code);
// The picture rendered square, transparent around it; a null image for a code without one.
QImage ZoneTypeImage(int code, int size);

} // namespace orv
