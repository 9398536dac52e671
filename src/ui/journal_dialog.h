#pragma once

#include "journal/columns.h"
#include "journal/journal.h"
#include "settings/settings.h"

#include <QAbstractTableModel>
#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace orv {

class IDialogs;

// The journal's entries for a list: newest first, read a page at a time as the list scrolls, so
// that a journal of any size opens and searches at once.
class TJournalModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Time,
        Action,
        Changed,
        Site,
        Device,
        Version,
        Place,
        OnlyHere,
        User,
        Host,
        Note,
        ColumnCount
    };

    explicit TJournalModel(journal::TJournal& journal, QObject* parent = nullptr);

    // Reads the filter's entries from the start.
    void SetFilter(const journal::TFilter& filter);
    const journal::TFilter& Filter() const { return filter_; }
    const journal::TEntry& Entry(int row) const { return entries_[static_cast<std::size_t>(row)]; }
    // Shows the entry as stored now (after a change of its site name or note).
    void Replace(const journal::TEntry& entry);
    // The row showing the entry; -1 when it is not read in.
    int RowOf(qint64 id) const;
    // How many entries the filter lets through in all; nothing when the journal did not say.
    std::optional<qint64> Total() const { return total_; }
    // Damaged entries left out so far.
    int Skipped() const { return skipped_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Orders the list by the column, in the journal itself, and reads it again from the start.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

private:
    journal::TJournal& journal_;
    journal::TFilter filter_;
    std::vector<journal::TEntry> entries_;
    qint64 read_ = 0; // rows read from the journal, damaged ones included
    // Where the rows read end: entries that arrive meanwhile do not shift the next page.
    std::optional<journal::TFilter::TPlace> next_;
    std::optional<qint64> total_;
    int skipped_ = 0;
    journal::TOrder order_ = journal::TOrder::Time;
    bool ascending_ = false;
};

// What the journal asks of the main window.
struct TJournalWindow {
    // Puts the configuration on screen as an opened file would be; false when it did not happen.
    std::function<bool(const std::string& text, const journal::TEntry& entry)> open;
    // The configuration on screen as a save would store it; nothing when there is none.
    std::function<std::optional<SettingsList>()> current;
};

// The site name and note being edited for one entry: what the entry held when they were put in
// the fields, so that a change is stored once and a list refreshed meanwhile loses nothing.
struct TAnnotationEdit {
    qint64 id = 0; // 0: no entry chosen
    QString site;
    QString note;
};

// File → "Журнал...": the entries, found by site, note, device or file, by device type and by the
// user and computer that made them; the chosen entry opened in the window, compared, exported,
// reported on, and its site name and note changed.
class TJournalDialog : public QDialog {
    Q_OBJECT
public:
    TJournalDialog(journal::TJournal& journal, IDialogs& dialogs, TJournalWindow window,
                   QWidget* parent = nullptr);

    // The state of the connection to a journal server, under the list; empty hides it.
    void SetConnectionText(const QString& text);
    // Whether the journal is shared through a server: only then does "Только здесь" tell anything.
    void SetShared(bool shared);

    // Lists only the site's entries, the one with this id chosen (0: none).
    void ShowSite(const QString& site, qint64 chosen = 0);
    // Lists the entries the search and filters let through, from the newest.
    void Refresh();
    void OpenClick();
    void CompareClick();
    void SaveAsClick();
    void ReportClick();
    void SaveAnnotationClick();
    // Writes the list as the search, the filters and the order show it to a CSV file.
    void ExportClick();

    void done(int result) override;

private:
    // Shows the columns the user chose (remembered between runs) and sizes them to their texts.
    void ShowColumns();
    void ColumnChosen(int column, bool shown);
    std::vector<int> ChosenRows() const;
    void ChoiceChanged();
    // Stores the edited site name and note of the entry being edited, when changed; false when
    // the journal refused them (the user is told).
    bool CommitAnnotation();
    void LoadAnnotation(const journal::TEntry* entry);
    void CopyUuidClick();
    // The entry's configuration, or nothing after telling the user why it cannot be used.
    std::optional<std::string> Configuration(const journal::TEntry& entry);
    QString Caption(const journal::TEntry& entry) const;

    journal::TJournal& journal_;
    IDialogs& dialogs_;
    TJournalWindow window_;
    TJournalModel* model_ = nullptr;
    QLineEdit* edtSearch_ = nullptr;
    QComboBox* cbbDeviceType_ = nullptr;
    QComboBox* cbbAuthor_ = nullptr;
    QLabel* lblProblem_ = nullptr;
    QTableView* grdJournal_ = nullptr;
    QLabel* lblCount_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    QLabel* lblConnection_ = nullptr;
    QLineEdit* edtSite_ = nullptr;
    QLineEdit* edtNote_ = nullptr;
    QPushButton* btnSaveAnnotation_ = nullptr;
    QPushButton* btnOpen_ = nullptr;
    QPushButton* btnCompare_ = nullptr;
    QPushButton* btnSaveAs_ = nullptr;
    QPushButton* btnReport_ = nullptr;
    QPushButton* btnExport_ = nullptr;
    QTimer* typing_ = nullptr;
    TAnnotationEdit editing_;
    bool refreshing_ = false;
    bool shared_ = false;
    QString site_; // only this site's entries; empty: every site's
};

} // namespace orv
