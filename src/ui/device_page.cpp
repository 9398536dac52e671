#include "device_page.h"

#include "widgets.h"

namespace orv {

TDevicePage::TDevicePage(const TPageContext& context, const QString& name, const QString& caption, int tag,
                         QWidget* parent)
    : QWidget(parent), context_(context), caption_(caption) {
    setObjectName(name);
    SetTag(this, tag);
}

int TDevicePage::PageTag() const {
    return Tag(this);
}

void TDevicePage::SetupForType(Byte) {}

void TDevicePage::Refresh() {}

} // namespace orv
