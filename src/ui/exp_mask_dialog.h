#pragma once

#include "device/device.h"

#include <QDialog>

class QCheckBox;

namespace orv {

// "Расширители": one box per expander 1..32 and one for the indication unit (item 33).
// It has no cancel: whatever the boxes hold when it closes is taken.
class TFormExpMask : public QDialog {
    Q_OBJECT
public:
    explicit TFormExpMask(QWidget* parent = nullptr);

    // Checks the boxes from the mask and places the dialog; the caller then runs it modally.
    void Prepare(const ExpanderMask& mask, QPoint position);
    // The mask the boxes describe.
    ExpanderMask Collect() const;

    QCheckBox* Box(int item) const; // 1..33

private:
    QCheckBox* boxes_[33]{};
};

} // namespace orv
