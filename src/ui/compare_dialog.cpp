#include "compare_dialog.h"

#include "window_size.h"

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
    return Q(DeviceTitle(type, name));
}

// One line per cell, so that rows are even; a long value is shown whole in its tool tip.
QTableWidgetItem* Cell(const QString& text) {
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    auto* item = new QTableWidgetItem(line);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    item->setToolTip(text);
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

    auto* column = new QVBoxLayout(this);
    lblSummary_ = new QLabel(this);
    lblSummary_->setObjectName(QStringLiteral("lblCompareSummary"));
    lblSummary_->setWordWrap(true);
    column->addWidget(lblSummary_);

    grdCompare_ = new QTableWidget(this);
    grdCompare_->setObjectName(QStringLiteral("grdCompare"));
    grdCompare_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdCompare_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdCompare_->setWordWrap(false);
    grdCompare_->setTextElideMode(Qt::ElideRight);
    grdCompare_->verticalHeader()->setVisible(false);
    column->addWidget(grdCompare_, 1);

    auto* buttons = new QDialogButtonBox(this);
    // The place of a report of the comparison; shown once a handler is given.
    btnReport_ = buttons->addButton(QStringLiteral("Отчёт..."), QDialogButtonBox::ActionRole);
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
    RestoreWindowSize(this, QSize(760, 480));
}

void TCompareDialog::done(int result) {
    StoreWindowSize(this);
    QDialog::done(result);
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

    const std::vector<PageDiffs> groups = GroupByPage(comparison_);

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
            label->setToolTip(Q(diff->label) + QStringLiteral("\n") + Q(diff->key));
            grdCompare_->setItem(row, 1, label);
            grdCompare_->setItem(row, 2, Cell(Q(ShownSide(diff->a))));
            grdCompare_->setItem(row, 3, Cell(Q(ShownSide(diff->b))));
            ++row;
        }
    }
    // A page's name is shown whole whatever the other columns need; every row one line high.
    QHeaderView* header = grdCompare_->horizontalHeader();
    int pageWidth = header->sectionSizeHint(0);
    for (const PageDiffs& group : groups) {
        pageWidth = std::max(pageWidth, grdCompare_->fontMetrics().horizontalAdvance(Q(group.page)) + 16);
    }
    header->setMinimumSectionSize(24);
    header->setSectionResizeMode(0, QHeaderView::Fixed);
    header->resizeSection(0, pageWidth);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    header->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(3, QHeaderView::ResizeToContents);
    grdCompare_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdCompare_->verticalHeader()->setDefaultSectionSize(grdCompare_->fontMetrics().height() + 10);
    grdCompare_->setVisible(!comparison_.diffs.empty());
}

} // namespace orv
