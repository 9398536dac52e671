#pragma once

#include <QProxyStyle>

namespace orv {

// The platform's own style, except that a drop-down list opens under its combo box and scrolls
// once it holds more than the combo's visible-item limit. Styles that open lists as menus
// (Fusion among them) ignore that limit and open a long list as tall as the screen.
class TProgramStyle : public QProxyStyle {
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};

// Makes TProgramStyle the application's style; a second call changes nothing.
void UseProgramStyle();

} // namespace orv
