#include "compare_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

namespace orv {

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QString DeviceOf(const std::string& name, Byte type) {
    return type == 0 ? QStringLiteral("нет прибора") : QStringLiteral("%1 (тип %2)").arg(Q(name)).arg(type);
}

// A side's value: a dash for an empty one, as the text view shows it.
QString Side(const std::optional<std::string>& value) {
    if (!value) {
        return QStringLiteral("(отсутствует)");
    }
    return value->empty() ? QStringLiteral("—") : Q(*value);
}

QTableWidgetItem* Cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

TCompareDialog::TCompareDialog(const SettingsList& a, const SettingsList& b, const QString& captionA,
                               const QString& captionB, QWidget* parent)
    : TCompareDialog(Compare(a, b), captionA, captionB, parent) {}

TCompareDialog::TCompareDialog(const Comparison& comparison, const QString& captionA, const QString& captionB,
                               QWidget* parent)
    : QDialog(parent), comparison_(comparison), captionA_(captionA), captionB_(captionB) {
    setObjectName(QStringLiteral("FormCompare"));
    setWindowTitle(QStringLiteral("Сравнение конфигураций"));
    resize(720, 460);

    auto* column = new QVBoxLayout(this);
    lblSummary_ = new QLabel(this);
    lblSummary_->setObjectName(QStringLiteral("lblCompareSummary"));
    lblSummary_->setWordWrap(true);
    column->addWidget(lblSummary_);

    grdCompare_ = new QTableWidget(this);
    grdCompare_->setObjectName(QStringLiteral("grdCompare"));
    grdCompare_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdCompare_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdCompare_->setWordWrap(true);
    grdCompare_->verticalHeader()->setVisible(false);
    column->addWidget(grdCompare_, 1);

    auto* buttons = new QDialogButtonBox(this);
    // The place of a report of the comparison; shown once a handler is given.
    btnReport_ = buttons->addButton(QStringLiteral("Отчёт…"), QDialogButtonBox::ActionRole);
    btnReport_->setObjectName(QStringLiteral("btnReport"));
    btnReport_->setVisible(false);
    btnApply_ = buttons->addButton(QStringLiteral("Применить"), QDialogButtonBox::AcceptRole);
    btnApply_->setObjectName(QStringLiteral("btnApply"));
    btnApply_->setVisible(false);
    btnClose_ = buttons->addButton(QStringLiteral("Закрыть"), QDialogButtonBox::RejectRole);
    btnClose_->setObjectName(QStringLiteral("btnClose"));
    btnClose_->setDefault(true);
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(btnReport_, &QPushButton::clicked, this, [this] {
        if (report_) {
            report_(comparison_, this);
        }
    });

    Fill();
}

void TCompareDialog::SetReportHandler(ReportHandler handler) {
    report_ = std::move(handler);
    btnReport_->setVisible(static_cast<bool>(report_));
}

void TCompareDialog::AskToApply() {
    btnApply_->setVisible(true);
    btnClose_->setText(QStringLiteral("Отмена"));
    btnClose_->setDefault(false);
    btnApply_->setDefault(true);
}

QString TCompareDialog::Summary(const Comparison& comparison, const QString& captionA,
                                const QString& captionB) {
    const auto count = static_cast<qsizetype>(comparison.diffs.size());
    if (!comparison.SameType()) {
        return QStringLiteral("Разные типы приборов.\n%1: %2\n%3: %4\n")
                   .arg(captionA, DeviceOf(comparison.deviceA, comparison.typeA), captionB,
                        DeviceOf(comparison.deviceB, comparison.typeB)) +
               (count == 0 ? QStringLiteral("Общие параметры совпадают")
                           : QStringLiteral("Из общих параметров различаются: %1").arg(count));
    }
    if (count == 0) {
        return QStringLiteral("Конфигурации совпадают");
    }
    return QStringLiteral("Различающихся параметров: %1").arg(count);
}

void TCompareDialog::Fill() {
    lblSummary_->setText(Summary(comparison_, captionA_, captionB_));

    // Grouped by page, the pages in the order they first come; in a page, the comparison's order.
    std::vector<std::pair<std::string, std::vector<const SettingDiff*>>> groups;
    for (const SettingDiff& diff : comparison_.diffs) {
        auto group =
            std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == diff.page; });
        if (group == groups.end()) {
            groups.emplace_back(diff.page, std::vector<const SettingDiff*>{});
            group = std::prev(groups.end());
        }
        group->second.push_back(&diff);
    }

    grdCompare_->clear();
    grdCompare_->setColumnCount(4);
    grdCompare_->setHorizontalHeaderLabels(
        {QStringLiteral("Раздел"), QStringLiteral("Параметр"), captionA_, captionB_});
    grdCompare_->setRowCount(static_cast<int>(comparison_.diffs.size()));
    int row = 0;
    for (const auto& [page, diffs] : groups) {
        grdCompare_->setItem(row, 0, Cell(Q(page)));
        if (diffs.size() > 1) {
            grdCompare_->setSpan(row, 0, static_cast<int>(diffs.size()), 1);
        }
        for (const SettingDiff* diff : diffs) {
            QTableWidgetItem* label = Cell(Q(diff->label));
            label->setToolTip(Q(diff->key));
            grdCompare_->setItem(row, 1, label);
            grdCompare_->setItem(row, 2, Cell(Side(diff->a)));
            grdCompare_->setItem(row, 3, Cell(Side(diff->b)));
            ++row;
        }
    }
    QHeaderView* header = grdCompare_->horizontalHeader();
    header->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    header->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(3, QHeaderView::ResizeToContents);
    grdCompare_->resizeRowsToContents();
    grdCompare_->setVisible(!comparison_.diffs.empty());
}

} // namespace orv
