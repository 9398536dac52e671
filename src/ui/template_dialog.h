#pragma once

#include "settings/assign.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace orv {

// "Создать шаблон...": the settings on screen as a tree of pages, each setting with its value
// and a box to tick; a page's box ticks all of its settings. The template takes the ticked ones.
class TTemplateDialog : public QDialog {
    Q_OBJECT
public:
    explicit TTemplateDialog(const SettingsList& list, QWidget* parent = nullptr);

    // The ticked settings with the name and note typed; for the device type on screen only when
    // that box is ticked.
    SettingsTemplate Result() const;
    // The keys ticked, in the list's order.
    std::vector<std::string> TickedKeys() const;

private:
    void UpdateOk();

    SettingsList list_;
    QLineEdit* edtName_ = nullptr;
    QLineEdit* edtNote_ = nullptr;
    QCheckBox* chkOnlyType_ = nullptr;
    QTreeWidget* treeSettings_ = nullptr;
    QPushButton* btnOk_ = nullptr;
};

} // namespace orv
