#include "template_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace orv {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

constexpr int kKeyRole = Qt::UserRole;

} // namespace

TTemplateDialog::TTemplateDialog(const SettingsList& list, QWidget* parent) : QDialog(parent), list_(list) {
    setObjectName(QStringLiteral("FormTemplate"));
    setWindowTitle(QStringLiteral("Создать шаблон"));
    resize(640, 560);

    auto* column = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    edtName_ = new QLineEdit(this);
    edtName_->setObjectName(QStringLiteral("edtTemplateName"));
    form->addRow(QStringLiteral("Название:"), edtName_);
    edtNote_ = new QLineEdit(this);
    edtNote_->setObjectName(QStringLiteral("edtTemplateNote"));
    form->addRow(QStringLiteral("Примечание:"), edtNote_);
    column->addLayout(form);
    chkOnlyType_ = new QCheckBox(
        QStringLiteral("Только для прибора «%1» (тип %2)").arg(Q(list.deviceName)).arg(list.devType), this);
    chkOnlyType_->setObjectName(QStringLiteral("chkTemplateOnlyType"));
    column->addWidget(chkOnlyType_);

    treeSettings_ = new QTreeWidget(this);
    treeSettings_->setObjectName(QStringLiteral("treeTemplate"));
    treeSettings_->setColumnCount(2);
    treeSettings_->setHeaderLabels({QStringLiteral("Параметр"), QStringLiteral("Значение")});
    treeSettings_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    treeSettings_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    QTreeWidgetItem* page = nullptr;
    for (const Setting& s : list.items) {
        if (!page || page->text(0) != Q(s.page)) {
            page = new QTreeWidgetItem(treeSettings_, {Q(s.page)});
            page->setFlags(page->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
            page->setCheckState(0, Qt::Unchecked);
        }
        auto* item =
            new QTreeWidgetItem(page, {Q(s.label), s.value.empty() ? QStringLiteral("—") : Q(s.value)});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        item->setData(0, kKeyRole, Q(s.key));
        item->setToolTip(0, Q(s.key));
    }
    column->addWidget(treeSettings_, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    btnOk_ = buttons->button(QDialogButtonBox::Ok);
    btnOk_->setObjectName(QStringLiteral("btnOk"));
    btnOk_->setText(QStringLiteral("Сохранить"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(edtName_, &QLineEdit::textChanged, this, &TTemplateDialog::UpdateOk);
    connect(treeSettings_, &QTreeWidget::itemChanged, this, &TTemplateDialog::UpdateOk);
    UpdateOk();
}

std::vector<std::string> TTemplateDialog::TickedKeys() const {
    std::vector<std::string> keys;
    for (int p = 0; p < treeSettings_->topLevelItemCount(); ++p) {
        const QTreeWidgetItem* page = treeSettings_->topLevelItem(p);
        for (int i = 0; i < page->childCount(); ++i) {
            if (page->child(i)->checkState(0) == Qt::Checked) {
                keys.push_back(page->child(i)->data(0, kKeyRole).toString().toStdString());
            }
        }
    }
    return keys;
}

SettingsTemplate TTemplateDialog::Result() const {
    SettingsTemplate t = MakeTemplate(list_, TickedKeys());
    t.name = edtName_->text().trimmed().toStdString();
    t.note = edtNote_->text().trimmed().toStdString();
    if (chkOnlyType_->isChecked()) {
        t.types = {list_.devType};
    }
    return t;
}

void TTemplateDialog::UpdateOk() {
    // A template needs a name to be listed by and at least one setting.
    btnOk_->setEnabled(!edtName_->text().trimmed().isEmpty() && !TickedKeys().empty());
}

} // namespace orv
