#include "combo_choice.h"

#include <QComboBox>
#include <QTimer>

#include <memory>
#include <utility>

namespace orv {

void OnChoiceChanged(QComboBox* combo, QObject* context, std::function<void()> handler) {
    // A user's pick changes the index and then reports it as activated, both in one call. A
    // change the program makes without that report is forgotten at the next turn of the event
    // loop, before the user can do anything.
    auto changed = std::make_shared<bool>(false);
    QObject::connect(combo, &QComboBox::currentIndexChanged, context, [combo, changed] {
        if (!std::exchange(*changed, true)) {
            QTimer::singleShot(0, combo, [changed] { *changed = false; });
        }
    });
    QObject::connect(combo, &QComboBox::activated, context, [changed, handler = std::move(handler)] {
        if (std::exchange(*changed, false)) {
            handler();
        }
    });
}

} // namespace orv
