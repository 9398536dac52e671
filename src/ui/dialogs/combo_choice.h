#pragma once

#include <functional>

class QComboBox;
class QObject;

namespace orv {

// Runs handler when the user picks an item other than the one the combo showed. QComboBox
// reports a pick of the shown item as activated as well; such a pick changes nothing.
void OnChoiceChanged(QComboBox* combo, QObject* context, std::function<void()> handler);

} // namespace orv
