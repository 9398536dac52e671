#include "sites_dialog.h"

#include "window_size.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace orv {

namespace {

enum Column { Site, Device, Latest, Read, ReadBy, Written, WrittenBy, Entries, ColumnCount };

QString LocalTime(const QDateTime& time) {
    return time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm"));
}

// A cell that sorts by its value, not its text.
QTableWidgetItem* Cell(const QString& text, const QVariant& order = {}) {
    auto* item = new QTableWidgetItem(text);
    item->setData(Qt::UserRole, order.isValid() ? order : QVariant(text.toLower()));
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

class TOrderedCell : public QTableWidgetItem {
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem& other) const override {
        return QVariant::compare(data(Qt::UserRole), other.data(Qt::UserRole)) == QPartialOrdering::Less;
    }
};

QTableWidgetItem* Ordered(const QString& text, const QVariant& order) {
    auto* item = new TOrderedCell(text);
    item->setData(Qt::UserRole, order);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

} // namespace

TSitesDialog::TSitesDialog(journal::TJournal& journal,
                           std::function<bool(const journal::TSite&, TSiteAction)> act, QWidget* parent)
    : QDialog(parent), act_(std::move(act)) {
    setObjectName(QStringLiteral("SitesDialog"));
    setWindowTitle(QStringLiteral("Объекты"));

    auto* problem = new QLabel(this);
    problem->setObjectName(QStringLiteral("lblSitesProblem"));
    problem->setWordWrap(true);
    problem->setStyleSheet(QStringLiteral("color: rgb(192, 0, 0);"));
    problem->hide();

    grdSites_ = new QTableWidget(0, ColumnCount, this);
    grdSites_->setObjectName(QStringLiteral("grdSites"));
    grdSites_->setHorizontalHeaderLabels(
        {QStringLiteral("Объект"), QStringLiteral("Прибор"), QStringLiteral("Последняя конфигурация"),
         QStringLiteral("Прочитан"), QStringLiteral("Кем прочитан"), QStringLiteral("Записан"),
         QStringLiteral("Кем записан"), QStringLiteral("Записей")});
    grdSites_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdSites_->setSelectionMode(QAbstractItemView::SingleSelection);
    grdSites_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdSites_->setWordWrap(false);
    grdSites_->verticalHeader()->hide();
    grdSites_->horizontalHeader()->setStretchLastSection(true);

    lblCount_ = new QLabel(this);
    lblCount_->setObjectName(QStringLiteral("lblSitesCount"));

    auto* buttons = new QHBoxLayout;
    const struct {
        const char* name;
        const char* text;
        const char* tip;
        TSiteAction action;
    } kButtons[] = {
        {"btnSiteOpen", "Открыть", "Открыть последнюю конфигурацию объекта в окне программы",
         TSiteAction::Open},
        {"btnSiteReport", "Отчёт...", "Отчёт о последней конфигурации объекта", TSiteAction::Report},
        {"btnSiteCompare", "Сравнить", "Сравнить последнюю конфигурацию объекта с конфигурацией в окне",
         TSiteAction::Compare},
        {"btnSiteEntries", "Записи в журнале...", "Показать записи журнала об объекте", TSiteAction::Entries},
    };
    for (const auto& b : kButtons) {
        auto* button = new QPushButton(QString::fromUtf8(b.text), this);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setToolTip(QString::fromUtf8(b.tip));
        button->setAutoDefault(false);
        const TSiteAction action = b.action;
        connect(button, &QPushButton::clicked, this, [this, action] { Act(action); });
        buttons->addWidget(button);
        rowButtons_.push_back(button);
    }
    buttons->addStretch(1);
    auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
    close->setObjectName(QStringLiteral("btnClose"));
    close->setAutoDefault(false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(problem);
    layout->addWidget(grdSites_, 1);
    layout->addWidget(lblCount_);
    layout->addLayout(buttons);
    RestoreWindowSize(this, QSize(1100, 560));

    const auto sites = journal::Sites(journal);
    if (!sites) {
        problem->setText(journal.Problem().isEmpty() ? QStringLiteral("Журнал нельзя прочитать")
                                                     : journal.Problem());
        problem->show();
    } else {
        sites_ = *sites;
    }
    grdSites_->setRowCount(static_cast<int>(sites_.size()));
    for (int row = 0; row < static_cast<int>(sites_.size()); ++row) {
        const journal::TSite& s = sites_[static_cast<std::size_t>(row)];
        auto* name = Cell(s.site);
        // The row's place in sites_, whatever order the list is sorted in.
        name->setData(Qt::UserRole + 1, row);
        name->setToolTip(s.site);
        grdSites_->setItem(row, Site, name);
        grdSites_->setItem(row, Device, Cell(s.deviceName));
        grdSites_->setItem(
            row, Latest,
            Ordered(LocalTime(s.time) + QStringLiteral(", ") + journal::ActionText(s.action).toLower(),
                    s.time.toMSecsSinceEpoch()));
        const auto touch = [&](int column, int byColumn, const std::optional<journal::TTouch>& t) {
            grdSites_->setItem(
                row, column,
                Ordered(t ? LocalTime(t->time) : QString(), t ? t->time.toMSecsSinceEpoch() : qint64{0}));
            grdSites_->setItem(row, byColumn, Cell(t ? t->user + u'@' + t->host : QString()));
        };
        touch(Read, ReadBy, s.read);
        touch(Written, WrittenBy, s.written);
        grdSites_->setItem(row, Entries, Ordered(QString::number(s.entries), s.entries));
    }
    grdSites_->setSortingEnabled(true);
    grdSites_->sortByColumn(Site, Qt::AscendingOrder);
    grdSites_->resizeColumnsToContents();
    grdSites_->horizontalHeader()->resizeSection(
        Site, std::min(grdSites_->horizontalHeader()->sectionSize(Site), 320));
    lblCount_->setText(QStringLiteral("Объектов: %1").arg(sites_.size()));
    connect(grdSites_, &QTableWidget::itemSelectionChanged, this, &TSitesDialog::ChoiceChanged);
    connect(grdSites_, &QTableWidget::cellDoubleClicked, this, [this] { Act(TSiteAction::Entries); });
    ChoiceChanged();
}

void TSitesDialog::ChoiceChanged() {
    const bool one = grdSites_->selectionModel()->selectedRows().size() == 1;
    for (QPushButton* button : rowButtons_) {
        button->setEnabled(one);
    }
}

void TSitesDialog::done(int result) {
    StoreWindowSize(this);
    QDialog::done(result);
}

void TSitesDialog::Act(TSiteAction action) {
    const QModelIndexList rows = grdSites_->selectionModel()->selectedRows(Site);
    if (rows.size() != 1 || !act_) {
        return;
    }
    const int at = rows.front().data(Qt::UserRole + 1).toInt();
    if (at < 0 || at >= static_cast<int>(sites_.size())) {
        return;
    }
    if (act_(sites_[static_cast<std::size_t>(at)], action)) {
        accept();
    }
}

} // namespace orv
