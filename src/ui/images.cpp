#include "images.h"

#include "images/zone_icons.h"

#include <QPainter>
#include <QSvgRenderer>

namespace orv {

namespace {

// Renders through QSvgRenderer rather than the icon plugin, so the images do not depend on
// which image-format plugins an installation ships.
QPixmap Render(const QString& path, QSize size) {
    QSvgRenderer renderer(path);
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    if (renderer.isValid()) {
        QPainter painter(&pixmap);
        renderer.render(&painter);
    }
    return pixmap;
}

QIcon RenderIcon(const QString& path, std::initializer_list<int> sizes) {
    QIcon icon;
    for (int s : sizes) {
        icon.addPixmap(Render(path, QSize(s, s)));
    }
    return icon;
}

} // namespace

QIcon AppIcon() {
    static const QIcon icon = RenderIcon(QStringLiteral(":/images/orvanta.svg"), {16, 32, 48, 64, 128});
    return icon;
}

QPixmap LogoPixmap() {
    return Render(QStringLiteral(":/images/logo.svg"), QSize(320, 96));
}

QIcon AdapterIcon() {
    static const QIcon icon = RenderIcon(QStringLiteral(":/images/usb_adapter.svg"), {16, 32});
    return icon;
}

QIcon ZoneTypeIcon(int code) {
    const QString path = ZoneTypeIconPath(code);
    if (path.isEmpty()) {
        return {};
    }
    return RenderIcon(path, {16, 32});
}

} // namespace orv
