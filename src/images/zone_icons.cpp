#include "zone_icons.h"

#include <QFile>
#include <QPainter>
#include <QSvgRenderer>

namespace orv {

QString ZoneTypeIconPath(int code) {
    if (code < 0 || code >= kZoneTypeIcons) {
        return {};
    }
    return QStringLiteral(":/images/zones/type%1.svg").arg(code);
}

QByteArray ZoneTypeSvg(int code) {
    QFile file(ZoneTypeIconPath(code));
    if (code < 0 || code >= kZoneTypeIcons || !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

QImage ZoneTypeImage(int code, int size) {
    // Through QSvgRenderer rather than an image plugin, which an installation may lack.
    QSvgRenderer renderer(ZoneTypeSvg(code));
    if (!renderer.isValid()) {
        return {};
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

} // namespace orv
