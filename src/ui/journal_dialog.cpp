#include "journal_dialog.h"

#include "compare_dialog.h"
#include "device/catalogue.h"
#include "dialogs.h"
#include "files/config_file.h"
#include "files/safe_save.h"
#include "report_dialog.h"
#include "settings.h"
#include "window_size.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace orv {

namespace {

const QString kCaption = QStringLiteral("Журнал");
// The columns the user hid, by ColumnKey.
const QString kHiddenColumns = QStringLiteral("journal/hiddenColumns");
// The widest a column is sized to its texts: a long site name or path does not push the note and
// the computer out of view; the tool tip shows it whole.
constexpr int kWidestColumn = 260;

static_assert(TJournalModel::ColumnCount == static_cast<int>(journal::TColumn::Count));

QSettings Store() {
    return QSettings(QSettings::UserScope, QString::fromLatin1(kSettingsOrganization),
                     QString::fromLatin1(kSettingsApplication));
}
// Rows read at a time as the list scrolls.
constexpr int kPageRows = 200;

QString LocalTime(const QDateTime& time, const QString& format = QStringLiteral("dd.MM.yyyy HH:mm:ss")) {
    return time.toLocalTime().toString(format);
}

QPushButton* Button(const QString& name, const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    // Enter in the search and annotation fields must not press a button.
    button->setAutoDefault(false);
    return button;
}

QLineEdit* Edit(const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

std::optional<SettingsList> ReadSettings(const std::string& text) {
    TProgramState state;
    if (!ReadConfigDocument(state, text.data(), text.size())) {
        return std::nullopt;
    }
    return ListSettings(state);
}

ReportSource SourceOf(const journal::TEntry& entry, const QString& title) {
    ReportSource source;
    source.file = entry.filePath;
    source.port = entry.port;
    if (entry.firmware != 0) {
        source.firmware = QString::number(entry.firmware);
    }
    source.title = title;
    return source;
}

// A file name for the entry: its site (or device) and time, without characters a file system
// refuses.
QString BaseName(const journal::TEntry& entry) {
    QString base = entry.site.trimmed().isEmpty() ? entry.deviceName : entry.site.trimmed();
    base += QLatin1Char(' ') + LocalTime(entry.time, QStringLiteral("yyyy-MM-dd HH-mm"));
    static const QRegularExpression refused(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f]"));
    return base.replace(refused, QStringLiteral("_"));
}

// The device names an entry's "Прибор" shows, in the device menu's order, each with every type
// recorded under it: several types share a name (versions of one panel).
std::vector<std::pair<QString, QList<int>>> DeviceNames() {
    std::vector<std::pair<QString, QList<int>>> names;
    for (const auto& group : BuildDeviceMenu()) {
        for (const auto& item : group.items) {
            const QString name = QString::fromStdString(DeviceName(item.code));
            auto found =
                std::find_if(names.begin(), names.end(), [&](const auto& n) { return n.first == name; });
            if (found == names.end()) {
                names.push_back({name, {item.code}});
            } else if (!found->second.contains(item.code)) {
                found->second << item.code;
            }
        }
    }
    return names;
}

} // namespace

TJournalModel::TJournalModel(journal::TJournal& journal, QObject* parent)
    : QAbstractTableModel(parent), journal_(journal) {}

void TJournalModel::SetFilter(const journal::TFilter& filter) {
    beginResetModel();
    filter_ = filter;
    filter_.order = order_;
    filter_.ascending = ascending_;
    entries_.clear();
    read_ = 0;
    next_.reset();
    skipped_ = 0;
    total_ = journal_.IsOpen() || journal_.Open() ? journal_.Count(filter_) : std::nullopt;
    endResetModel();
    fetchMore({});
}

void TJournalModel::Replace(const journal::TEntry& entry) {
    const int row = RowOf(entry.id);
    if (row < 0) {
        return;
    }
    entries_[static_cast<std::size_t>(row)] = entry;
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

int TJournalModel::RowOf(qint64 id) const {
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [id](const journal::TEntry& entry) { return entry.id == id; });
    return found == entries_.end() ? -1 : static_cast<int>(found - entries_.begin());
}

int TJournalModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int TJournalModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TJournalModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const journal::TEntry& e = Entry(index.row());
    if (role == Qt::ToolTipRole) {
        if (index.column() == OnlyHere && !e.sent) {
            return QStringLiteral("Запись есть только в журнале этого компьютера");
        }
        // The columns sized short of their longest texts show them whole here.
        if (index.column() == Site || index.column() == Device || index.column() == Place ||
            index.column() == Note) {
            return data(index, Qt::DisplayRole);
        }
        return {};
    }
    if (role != Qt::DisplayRole || index.column() < 0 || index.column() >= ColumnCount) {
        return {};
    }
    return journal::ColumnText(e, static_cast<journal::TColumn>(index.column()));
}

QVariant TJournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
    // A first click orders texts from A and times from the newest.
    if (orientation == Qt::Horizontal && role == Qt::InitialSortOrderRole) {
        return section == Time ? Qt::DescendingOrder : Qt::AscendingOrder;
    }
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return section >= 0 && section < ColumnCount
               ? journal::ColumnTitle(static_cast<journal::TColumn>(section))
               : QVariant();
}

void TJournalModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount) {
        return;
    }
    const journal::TOrder by = journal::ColumnOrder(static_cast<journal::TColumn>(column));
    const bool ascending = order == Qt::AscendingOrder;
    if (by == order_ && ascending == ascending_) {
        return;
    }
    order_ = by;
    ascending_ = ascending;
    SetFilter(filter_);
}

bool TJournalModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && total_ && read_ < *total_;
}

void TJournalModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) {
        return;
    }
    journal::TFilter page = filter_;
    page.limit = kPageRows;
    page.offset = 0;
    page.before = next_;
    journal::TListing listing = journal_.List(page);
    const qint64 rows = static_cast<qint64>(listing.entries.size()) + listing.skipped;
    read_ += rows;
    next_ = listing.last;
    if (rows == 0 || listing.total || !next_) {
        // The page ended the list: the count may have been taken before entries changed.
        total_ = read_;
    }
    skipped_ += listing.skipped;
    if (listing.entries.empty()) {
        return;
    }
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(listing.entries.size()) - 1);
    std::move(listing.entries.begin(), listing.entries.end(), std::back_inserter(entries_));
    endInsertRows();
}

TJournalDialog::TJournalDialog(journal::TJournal& journal, IDialogs& dialogs, TJournalWindow window,
                               QWidget* parent)
    : QDialog(parent), journal_(journal), dialogs_(dialogs), window_(std::move(window)) {
    setObjectName(QStringLiteral("JournalDialog"));
    setWindowTitle(kCaption);

    edtSearch_ = Edit(QStringLiteral("edtSearch"), this);
    edtSearch_->setPlaceholderText(QStringLiteral("Объект, примечание, прибор или файл"));
    edtSearch_->setClearButtonEnabled(true);
    cbbDeviceType_ = new QComboBox(this);
    cbbDeviceType_->setObjectName(QStringLiteral("cbbDeviceType"));
    cbbDeviceType_->addItem(QStringLiteral("Все приборы"));
    for (const auto& [name, types] : DeviceNames()) {
        cbbDeviceType_->addItem(name, QVariant::fromValue(types));
    }
    cbbAuthor_ = new QComboBox(this);
    cbbAuthor_->setObjectName(QStringLiteral("cbbAuthor"));
    cbbAuthor_->addItem(QStringLiteral("Все пользователи"));
    auto* filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("Поиск:"), this));
    filters->addWidget(edtSearch_, 1);
    filters->addWidget(cbbDeviceType_);
    filters->addWidget(cbbAuthor_);

    lblProblem_ = new QLabel(this);
    lblProblem_->setObjectName(QStringLiteral("lblJournalProblem"));
    lblProblem_->setWordWrap(true);
    lblProblem_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblProblem_->setStyleSheet(QStringLiteral("color: rgb(192, 0, 0);"));
    lblProblem_->hide();

    model_ = new TJournalModel(journal_, this);
    grdJournal_ = new QTableView(this);
    grdJournal_->setObjectName(QStringLiteral("grdJournal"));
    grdJournal_->setModel(model_);
    grdJournal_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdJournal_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grdJournal_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdJournal_->setWordWrap(false);
    grdJournal_->verticalHeader()->hide();
    QHeaderView* header = grdJournal_->horizontalHeader();
    header->setStretchLastSection(true);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(TJournalModel::Time, Qt::DescendingOrder);
    // The header's menu shows and hides columns.
    header->setContextMenuPolicy(Qt::ActionsContextMenu);
    for (int column = 0; column < TJournalModel::ColumnCount; ++column) {
        const auto c = static_cast<journal::TColumn>(column);
        auto* action = new QAction(journal::ColumnTitle(c), header);
        action->setObjectName(QStringLiteral("actColumn_") + journal::ColumnKey(c));
        action->setCheckable(true);
        action->setEnabled(column != TJournalModel::Time);
        header->addAction(action);
        connect(action, &QAction::toggled, this, [this, column](bool shown) { ColumnChosen(column, shown); });
    }
    // An entry's uuid is the same in every journal: what people quote to each other.
    auto* copyUuid = new QAction(QStringLiteral("Копировать идентификатор записи"), grdJournal_);
    copyUuid->setObjectName(QStringLiteral("actCopyUuid"));
    copyUuid->setShortcut(QKeySequence::Copy);
    copyUuid->setShortcutContext(Qt::WidgetShortcut);
    grdJournal_->addAction(copyUuid);
    grdJournal_->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(copyUuid, &QAction::triggered, this, &TJournalDialog::CopyUuidClick);

    lblCount_ = new QLabel(this);
    lblCount_->setObjectName(QStringLiteral("lblCount"));
    lblConnection_ = new QLabel(this);
    lblConnection_->setObjectName(QStringLiteral("lblConnection"));
    lblConnection_->hide();
    lblStatus_ = new QLabel(this);
    lblStatus_->setObjectName(QStringLiteral("lblJournalStatus"));
    auto* below = new QHBoxLayout;
    below->addWidget(lblCount_);
    below->addWidget(lblStatus_, 1);
    below->addWidget(lblConnection_);

    edtSite_ = Edit(QStringLiteral("edtSite"), this);
    edtNote_ = Edit(QStringLiteral("edtNote"), this);
    btnSaveAnnotation_ = Button(QStringLiteral("btnSaveAnnotation"), QStringLiteral("Сохранить"), this);
    auto* annotation = new QFormLayout;
    annotation->addRow(QStringLiteral("Объект:"), edtSite_);
    auto* noteRow = new QHBoxLayout;
    noteRow->addWidget(edtNote_, 1);
    noteRow->addWidget(btnSaveAnnotation_);
    annotation->addRow(QStringLiteral("Примечание:"), noteRow);

    btnOpen_ = Button(QStringLiteral("btnOpen"), QStringLiteral("Открыть"), this);
    btnCompare_ = Button(QStringLiteral("btnCompare"), QStringLiteral("Сравнить"), this);
    btnSaveAs_ = Button(QStringLiteral("btnSaveAs"), QStringLiteral("Сохранить как..."), this);
    btnReport_ = Button(QStringLiteral("btnReport"), QStringLiteral("Отчёт..."), this);
    btnExport_ = Button(QStringLiteral("btnExport"), QStringLiteral("Экспорт в CSV..."), this);
    btnExport_->setToolTip(QStringLiteral("Сохранить список, как он показан, в файл для электронных таблиц"));
    auto* close = Button(QStringLiteral("btnClose"), QStringLiteral("Закрыть"), this);
    btnOpen_->setToolTip(QStringLiteral("Открыть конфигурацию записи в окне программы"));
    btnCompare_->setToolTip(
        QStringLiteral("Сравнить две выбранные записи или выбранную запись с конфигурацией в окне"));
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {btnOpen_, btnCompare_, btnSaveAs_, btnReport_}) {
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    buttons->addWidget(btnExport_);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(lblProblem_);
    layout->addWidget(grdJournal_, 1);
    layout->addLayout(below);
    layout->addLayout(annotation);
    layout->addLayout(buttons);
    RestoreWindowSize(this, QSize(1240, 640));

    // The list follows the search once typing pauses; Enter searches at once.
    typing_ = new QTimer(this);
    typing_->setSingleShot(true);
    typing_->setInterval(300);
    connect(typing_, &QTimer::timeout, this, &TJournalDialog::Refresh);
    connect(edtSearch_, &QLineEdit::textChanged, typing_, qOverload<>(&QTimer::start));
    connect(edtSearch_, &QLineEdit::returnPressed, this, &TJournalDialog::Refresh);
    connect(cbbDeviceType_, &QComboBox::currentIndexChanged, this, &TJournalDialog::Refresh);
    connect(cbbAuthor_, &QComboBox::currentIndexChanged, this, &TJournalDialog::Refresh);
    connect(grdJournal_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TJournalDialog::ChoiceChanged);
    connect(btnOpen_, &QPushButton::clicked, this, &TJournalDialog::OpenClick);
    connect(btnCompare_, &QPushButton::clicked, this, &TJournalDialog::CompareClick);
    connect(btnSaveAs_, &QPushButton::clicked, this, &TJournalDialog::SaveAsClick);
    connect(btnReport_, &QPushButton::clicked, this, &TJournalDialog::ReportClick);
    connect(btnExport_, &QPushButton::clicked, this, &TJournalDialog::ExportClick);
    connect(btnSaveAnnotation_, &QPushButton::clicked, this, &TJournalDialog::SaveAnnotationClick);
    for (QLineEdit* edit : {edtSite_, edtNote_}) {
        connect(edit, &QLineEdit::returnPressed, this, &TJournalDialog::SaveAnnotationClick);
    }
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    if (!journal_.Open()) {
        lblProblem_->setText(journal_.Problem());
        lblProblem_->show();
        for (QWidget* w : std::initializer_list<QWidget*>{edtSearch_, cbbDeviceType_, cbbAuthor_, grdJournal_,
                                                          btnExport_}) {
            w->setEnabled(false);
        }
        lblCount_->setText(QStringLiteral("Записи журнала нельзя показать"));
        ChoiceChanged();
        return;
    }
    {
        const QSignalBlocker blocker(cbbAuthor_);
        for (const journal::TAuthor& author : journal_.Authors()) {
            cbbAuthor_->addItem(author.user + QLatin1Char('@') + author.host,
                                QStringList{author.user, author.host});
        }
    }
    Refresh();
    ShowColumns();
    grdJournal_->setSortingEnabled(true);
}

void TJournalDialog::done(int result) {
    StoreWindowSize(this);
    QDialog::done(result);
}

void TJournalDialog::SetConnectionText(const QString& text) {
    lblConnection_->setText(text);
    lblConnection_->setVisible(!text.isEmpty());
}

void TJournalDialog::ShowSite(const QString& site, qint64 chosen) {
    site_ = site;
    setWindowTitle(site.isEmpty() ? kCaption : kCaption + QStringLiteral(": ") + site);
    Refresh();
    if (const int row = model_->RowOf(chosen); row >= 0) {
        grdJournal_->selectRow(row);
    }
}

void TJournalDialog::SetShared(bool shared) {
    shared_ = shared;
    ShowColumns();
}

void TJournalDialog::ShowColumns() {
    const QStringList hidden = Store().value(kHiddenColumns).toStringList();
    QHeaderView* header = grdJournal_->horizontalHeader();
    const QList<QAction*> actions = header->actions();
    for (int column = 0; column < TJournalModel::ColumnCount; ++column) {
        const auto c = static_cast<journal::TColumn>(column);
        const bool chosen = !hidden.contains(journal::ColumnKey(c));
        const bool meaningful = column != TJournalModel::OnlyHere || shared_;
        grdJournal_->setColumnHidden(column, !(chosen && meaningful));
        QAction* action = actions.value(column);
        const QSignalBlocker blocker(action);
        action->setChecked(chosen);
        action->setVisible(meaningful);
    }
    grdJournal_->resizeColumnsToContents();
    for (int column = 0; column < TJournalModel::ColumnCount; ++column) {
        header->resizeSection(column, std::min(header->sectionSize(column), kWidestColumn));
    }
}

void TJournalDialog::ColumnChosen(int column, bool shown) {
    QSettings store = Store();
    QStringList hidden = store.value(kHiddenColumns).toStringList();
    const QString key = journal::ColumnKey(static_cast<journal::TColumn>(column));
    hidden.removeAll(key);
    if (!shown) {
        hidden << key;
    }
    store.setValue(kHiddenColumns, hidden);
    ShowColumns();
}

void TJournalDialog::ExportClick() {
    const QString folder = ReadSetting(QStringLiteral("filepath"), QDir::currentPath());
    const FileDialogSpec spec{QStringLiteral("Экспорт журнала в CSV"), QStringLiteral("Файлы CSV (*.csv)"),
                              QStringLiteral("csv"), QDir(folder).filePath(QStringLiteral("Журнал.csv"))};
    QString path = dialogs_.GetSaveFileName(this, spec);
    if (path.isEmpty()) {
        return;
    }
    if (!path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        path += QStringLiteral(".csv");
    }
    // The columns in view, in the order they are shown.
    std::vector<journal::TColumn> columns;
    QHeaderView* header = grdJournal_->horizontalHeader();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (!header->isSectionHidden(column)) {
            columns.push_back(static_cast<journal::TColumn>(column));
        }
    }
    QSaveFile file(path);
    QString why;
    const bool written =
        file.open(QIODevice::WriteOnly) &&
        journal::WriteCsv(
            journal_, model_->Filter(), columns,
            [&file](const QByteArray& part) { return file.write(part) == part.size(); }, why) &&
        file.commit();
    if (!written) {
        file.cancelWriting();
        dialogs_.Message(this, MsgKind::Error, kCaption,
                         QStringLiteral("Не удалось записать файл %1: %2")
                             .arg(QDir::toNativeSeparators(path), why.isEmpty() ? file.errorString() : why),
                         MsgButtons::Ok);
        return;
    }
    lblStatus_->setText(QStringLiteral("Список сохранен: ") + QDir::toNativeSeparators(path));
}

void TJournalDialog::Refresh() {
    typing_->stop();
    // The chosen entries stay chosen, and what is typed for one stays, whatever the refresh
    // brings.
    std::vector<qint64> chosen;
    for (const int row : ChosenRows()) {
        chosen.push_back(model_->Entry(row).id);
    }
    const int shown = model_->rowCount();
    refreshing_ = true;
    journal::TFilter filter;
    filter.search = edtSearch_->text().trimmed();
    filter.siteIs = site_;
    const QList<int> types = cbbDeviceType_->currentData().value<QList<int>>();
    filter.deviceTypes.assign(types.begin(), types.end());
    if (const QStringList author = cbbAuthor_->currentData().toStringList(); author.size() == 2) {
        filter.user = author[0];
        filter.host = author[1];
    }
    model_->SetFilter(filter);
    while (model_->rowCount() < shown && model_->canFetchMore({})) {
        model_->fetchMore({});
    }
    QItemSelection selection;
    for (const qint64 id : chosen) {
        if (const int row = model_->RowOf(id); row >= 0) {
            selection.select(model_->index(row, 0), model_->index(row, TJournalModel::ColumnCount - 1));
        }
    }
    grdJournal_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    refreshing_ = false;
    if (const auto total = model_->Total()) {
        lblCount_->setText(QStringLiteral("Записей: %1").arg(*total));
    } else {
        lblCount_->setText(QString());
    }
    QString problem;
    if (!journal_.IsOpen() || !model_->Total()) {
        problem = journal_.Problem();
    } else if (model_->Skipped() > 0) {
        problem = QStringLiteral("Пропущены поврежденные записи журнала: %1").arg(model_->Skipped());
    }
    lblProblem_->setText(problem);
    lblProblem_->setVisible(!problem.isEmpty());
    ChoiceChanged();
}

std::vector<int> TJournalDialog::ChosenRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : grdJournal_->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TJournalDialog::ChoiceChanged() {
    if (refreshing_) {
        return;
    }
    const std::vector<int> rows = ChosenRows();
    const bool one = rows.size() == 1;
    const journal::TEntry* entry = one ? &model_->Entry(rows[0]) : nullptr;
    // Leaving an entry stores what was typed for it, as a table's editor does.
    if (editing_.id != 0 && (entry == nullptr || entry->id != editing_.id)) {
        CommitAnnotation();
    }
    for (QWidget* w : std::initializer_list<QWidget*>{btnOpen_, btnSaveAs_, btnReport_, edtSite_, edtNote_,
                                                      btnSaveAnnotation_}) {
        w->setEnabled(one);
    }
    btnCompare_->setEnabled(rows.size() == 1 || rows.size() == 2);
    const bool edited = edtSite_->text() != editing_.site || edtNote_->text() != editing_.note;
    if (entry == nullptr || entry->id != editing_.id || !edited) {
        LoadAnnotation(entry);
    }
}

void TJournalDialog::LoadAnnotation(const journal::TEntry* entry) {
    editing_ = entry != nullptr ? TAnnotationEdit{entry->id, entry->site, entry->note} : TAnnotationEdit{};
    edtSite_->setText(editing_.site);
    edtNote_->setText(editing_.note);
}

bool TJournalDialog::CommitAnnotation() {
    const TAnnotationEdit was = editing_;
    const QString site = edtSite_->text();
    const QString note = edtNote_->text();
    if (was.id == 0 || (site == was.site && note == was.note)) {
        return true;
    }
    bool stored = true;
    if (site != was.site) {
        stored = journal_.SetSite(was.id, site);
    }
    if (stored && note != was.note) {
        stored = journal_.SetNote(was.id, note);
    }
    // Stored or not, the fields no longer hold an edit of that entry.
    editing_.site = site;
    editing_.note = note;
    if (const auto now = journal_.Find(was.id)) {
        model_->Replace(*now);
        if (editing_.id == was.id) {
            editing_.site = now->site;
            editing_.note = now->note;
        }
    }
    lblStatus_->setText(stored ? QStringLiteral("Объект и примечание записи %1 сохранены").arg(was.id)
                               : QString());
    if (!stored) {
        dialogs_.Message(this, MsgKind::Error, kCaption,
                         journal_.Problem().isEmpty() ? QStringLiteral("В журнале нет записи %1").arg(was.id)
                                                      : journal_.Problem(),
                         MsgButtons::Ok);
    }
    return stored;
}

void TJournalDialog::CopyUuidClick() {
    const std::vector<int> rows = ChosenRows();
    QStringList uuids;
    for (const int row : rows) {
        uuids << model_->Entry(row).uuid;
    }
    if (!uuids.isEmpty()) {
        QGuiApplication::clipboard()->setText(uuids.join(QLatin1Char('\n')));
        lblStatus_->setText(QStringLiteral("Идентификатор записи скопирован"));
    }
}

QString TJournalDialog::Caption(const journal::TEntry& entry) const {
    // The action and the time to the second tell two entries apart as the list shows them.
    return journal::ActionText(entry.action) + QLatin1Char(' ') +
           LocalTime(entry.time, QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

std::optional<std::string> TJournalDialog::Configuration(const journal::TEntry& entry) {
    const auto stored = journal_.Configuration(entry.id);
    QString why;
    if (!stored) {
        why = journal_.Problem().isEmpty() ? QStringLiteral("В журнале нет записи %1").arg(entry.id)
                                           : journal_.Problem();
    } else if (stored->state != journal::TConfigState::Ok) {
        why = journal::ConfigStateText(stored->state, entry.id);
    } else {
        return stored->text;
    }
    dialogs_.Message(this, MsgKind::Error, kCaption, why, MsgButtons::Ok);
    return std::nullopt;
}

void TJournalDialog::OpenClick() {
    const std::vector<int> rows = ChosenRows();
    if (rows.size() != 1 || !window_.open) {
        return;
    }
    const journal::TEntry entry = model_->Entry(rows[0]);
    const auto text = Configuration(entry);
    if (text && window_.open(*text, entry)) {
        accept();
    }
}

void TJournalDialog::CompareClick() {
    const std::vector<int> rows = ChosenRows();
    if (rows.empty() || rows.size() > 2) {
        return;
    }
    // The older entry on the left, so the change reads from left to right.
    const journal::TEntry older = model_->Entry(rows.back());
    const auto olderText = Configuration(older);
    if (!olderText) {
        return;
    }
    const auto a = ReadSettings(*olderText);
    std::optional<SettingsList> b;
    ReportSource sourceA = SourceOf(older, Caption(older));
    ReportSource sourceB;
    if (rows.size() == 2) {
        const journal::TEntry newer = model_->Entry(rows.front());
        const auto newerText = Configuration(newer);
        if (!newerText) {
            return;
        }
        b = ReadSettings(*newerText);
        sourceB = SourceOf(newer, Caption(newer));
    } else {
        b = window_.current ? window_.current() : std::nullopt;
        if (!b) {
            dialogs_.Message(this, MsgKind::Information, kCaption,
                             QStringLiteral("В окне нет конфигурации для сравнения.\r\nВыберите две записи "
                                            "журнала или откройте конфигурацию в окне."),
                             MsgButtons::Ok);
            return;
        }
        sourceB.title = QStringLiteral("В окне");
    }
    if (!a || !b) {
        return; // Configuration() has read both texts as configurations already
    }
    TCompareDialog compare(*a, *b, sourceA.title, sourceB.title, this);
    compare.SetReportHandler([this, sourceA, sourceB](const Comparison& comparison, QWidget* parent) {
        ShowReport(
            dialogs_, parent,
            [comparison, sourceA, sourceB](const ReportFields& fields) {
                return ComparisonReport(comparison, sourceA, sourceB, fields);
            },
            QStringLiteral("Сравнение"));
    });
    dialogs_.Exec(compare);
}

void TJournalDialog::SaveAsClick() {
    const std::vector<int> rows = ChosenRows();
    if (rows.size() != 1) {
        return;
    }
    const journal::TEntry entry = model_->Entry(rows[0]);
    const auto text = Configuration(entry);
    if (!text) {
        return;
    }
    const QString folder = ReadSetting(QStringLiteral("filepath"), QDir::currentPath());
    const FileDialogSpec spec{QStringLiteral("Сохранить запись журнала в файл"),
                              QStringLiteral("Файлы конфигурации прибора (*.cf8)"), QStringLiteral("cf8"),
                              QDir(folder).filePath(BaseName(entry) + QStringLiteral(".cf8"))};
    QString path = dialogs_.GetSaveFileName(this, spec);
    if (path.isEmpty()) {
        return;
    }
    if (!path.endsWith(QLatin1String(".cf8"), Qt::CaseInsensitive)) {
        path += QStringLiteral(".cf8");
    }
    // The text exactly as it was recorded.
    const SaveResult saved = SaveFileAtomically(QFile::encodeName(path).toStdString(), *text);
    if (!saved.ok) {
        dialogs_.Message(this, MsgKind::Error, kCaption,
                         saved.message.empty() ? QStringLiteral("Не удалось записать файл ") + path
                                               : QString::fromStdString(saved.message),
                         MsgButtons::Ok);
        return;
    }
    lblStatus_->setText(QStringLiteral("Файл сохранен: ") + QDir::toNativeSeparators(path));
}

void TJournalDialog::ReportClick() {
    const std::vector<int> rows = ChosenRows();
    if (rows.size() != 1) {
        return;
    }
    const journal::TEntry entry = model_->Entry(rows[0]);
    const auto text = Configuration(entry);
    const auto list = text ? ReadSettings(*text) : std::nullopt;
    if (!list) {
        return;
    }
    // The heading tells where and when the entry was made, not where and when it is printed.
    ShowReport(
        dialogs_, this,
        [list = *list, source = SourceOf(entry, {}), date = entry.time.toLocalTime()](
            const ReportFields& fields) { return ConfigurationReport(list, source, fields, date); },
        BaseName(entry), entry.site);
}

void TJournalDialog::SaveAnnotationClick() {
    if (editing_.id == 0) {
        return;
    }
    if (edtSite_->text() == editing_.site && edtNote_->text() == editing_.note) {
        lblStatus_->setText(QStringLiteral("Объект и примечание записи %1 сохранены").arg(editing_.id));
        return;
    }
    CommitAnnotation();
}

} // namespace orv
