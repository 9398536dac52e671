#include "sites_dialog.h"

#include "window_size.h"

#include <QAbstractTableModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <numeric>

namespace orv {

namespace {

enum Column { Site, Device, Latest, Read, ReadBy, Written, WrittenBy, Entries, ColumnCount };

QString LocalTime(const QDateTime& time) {
    return time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm"));
}

qint64 When(const std::optional<journal::TTouch>& touch) {
    return touch ? touch->time.toMSecsSinceEpoch() : 0;
}

} // namespace

// The sites as the table shows them: texts made when a row is painted, not for every site in
// advance, so that an office's thousands of sites open at once.
class TSitesModel final : public QAbstractTableModel {
public:
    explicit TSitesModel(const std::vector<journal::TSite>& sites, QObject* parent)
        : QAbstractTableModel(parent), sites_(sites), order_(sites.size()) {
        std::iota(order_.begin(), order_.end(), std::size_t{0});
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(order_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : ColumnCount;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        static const std::array<QString, ColumnCount> kTitles{QStringLiteral("Объект"),
                                                              QStringLiteral("Прибор"),
                                                              QStringLiteral("Последняя конфигурация"),
                                                              QStringLiteral("Прочитан"),
                                                              QStringLiteral("Кем прочитан"),
                                                              QStringLiteral("Записан"),
                                                              QStringLiteral("Кем записан"),
                                                              QStringLiteral("Записей")};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
            section < ColumnCount) {
            return kTitles[static_cast<std::size_t>(section)];
        }
        return QAbstractTableModel::headerData(section, orientation, role);
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount()) {
            return {};
        }
        const std::size_t at = order_[static_cast<std::size_t>(index.row())];
        if (role == kSiteRole) {
            return static_cast<qulonglong>(at);
        }
        const journal::TSite& s = sites_[at];
        if (role == Qt::ToolTipRole && index.column() == Site) {
            return s.site;
        }
        if (role != Qt::DisplayRole) {
            return {};
        }
        switch (index.column()) {
        case Site:
            return s.site;
        case Device:
            return s.deviceName;
        case Latest:
            return LocalTime(s.time) + QStringLiteral(", ") + journal::ActionText(s.action).toLower();
        case Read:
            return s.read ? LocalTime(s.read->time) : QString();
        case ReadBy:
            return journal::Who(s.read);
        case Written:
            return s.written ? LocalTime(s.written->time) : QString();
        case WrittenBy:
            return journal::Who(s.written);
        case Entries:
            return QString::number(s.entries);
        default:
            return {};
        }
    }

    // Texts by their lower-case form, times and counts by value; sites alike in it keep their order.
    void sort(int column, Qt::SortOrder order) override {
        struct TKey {
            qint64 number = 0; // times and counts
            QString text;      // texts, lower-case
            std::size_t at = 0;
        };
        const auto key = [column](const journal::TSite& s, std::size_t at) -> TKey {
            switch (column) {
            case Device:
                return {0, s.deviceName.toLower(), at};
            case Latest:
                return {s.time.toMSecsSinceEpoch(), {}, at};
            case Read:
                return {When(s.read), {}, at};
            case ReadBy:
                return {0, journal::Who(s.read).toLower(), at};
            case Written:
                return {When(s.written), {}, at};
            case WrittenBy:
                return {0, journal::Who(s.written).toLower(), at};
            case Entries:
                return {s.entries, {}, at};
            default:
                return {0, s.site.toLower(), at};
            }
        };
        std::vector<TKey> keyed;
        keyed.reserve(order_.size());
        for (std::size_t at = 0; at < sites_.size(); ++at) {
            keyed.push_back(key(sites_[at], at));
        }
        const auto less = [](const TKey& a, const TKey& b) {
            return a.number != b.number ? a.number < b.number : a.text < b.text;
        };
        std::stable_sort(keyed.begin(), keyed.end(), [&](const TKey& a, const TKey& b) {
            return order == Qt::AscendingOrder ? less(a, b) : less(b, a);
        });
        // The chosen row stays with its site.
        emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        const QModelIndexList before = persistentIndexList();
        std::vector<std::size_t> siteOf;
        for (const QModelIndex& index : before) {
            siteOf.push_back(order_[static_cast<std::size_t>(index.row())]);
        }
        std::vector<int> rowOf(sites_.size());
        for (std::size_t row = 0; row < keyed.size(); ++row) {
            order_[row] = keyed[row].at;
            rowOf[keyed[row].at] = static_cast<int>(row);
        }
        QModelIndexList after;
        for (qsizetype k = 0; k < before.size(); ++k) {
            after << index(rowOf[siteOf[static_cast<std::size_t>(k)]], before[k].column());
        }
        changePersistentIndexList(before, after);
        emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }

    static constexpr int kSiteRole = Qt::UserRole + 1; // the row's place in the sites

private:
    const std::vector<journal::TSite>& sites_;
    std::vector<std::size_t> order_; // the site shown in each row
};

namespace {} // namespace

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

    grdSites_ = new QTableView(this);
    grdSites_->setObjectName(QStringLiteral("grdSites"));
    grdSites_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdSites_->setSelectionMode(QAbstractItemView::SingleSelection);
    grdSites_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdSites_->setWordWrap(false);
    grdSites_->verticalHeader()->hide();
    grdSites_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdSites_->verticalHeader()->setDefaultSectionSize(grdSites_->fontMetrics().height() + 8);
    grdSites_->horizontalHeader()->setStretchLastSection(true);
    // Column widths from the first rows: reading every site's texts would cost more than it shows.
    grdSites_->horizontalHeader()->setResizeContentsPrecision(200);

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
    model_ = new TSitesModel(sites_, this);
    grdSites_->setModel(model_);
    grdSites_->setSortingEnabled(true);
    grdSites_->sortByColumn(Site, Qt::AscendingOrder);
    grdSites_->resizeColumnsToContents();
    grdSites_->horizontalHeader()->resizeSection(
        Site, std::min(grdSites_->horizontalHeader()->sectionSize(Site), 320));
    lblCount_->setText(QStringLiteral("Объектов: %1").arg(sites_.size()));
    connect(grdSites_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TSitesDialog::ChoiceChanged);
    connect(grdSites_, &QTableView::doubleClicked, this, [this] { Act(TSiteAction::Entries); });
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
    const auto at = static_cast<std::size_t>(rows.front().data(TSitesModel::kSiteRole).toULongLong());
    if (at >= sites_.size()) {
        return;
    }
    if (act_(sites_[at], action)) {
        accept();
    }
}

} // namespace orv
