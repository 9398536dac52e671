#include "program_style.h"

#include <QApplication>

namespace orv {

int TProgramStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                             QStyleHintReturn* returnData) const {
    if (hint == SH_ComboBox_Popup) {
        return 0;
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void UseProgramStyle() {
    if (!qobject_cast<TProgramStyle*>(QApplication::style())) {
        QApplication::setStyle(new TProgramStyle);
    }
}

} // namespace orv
