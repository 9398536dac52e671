#pragma once

#include "journal/sites.h"

#include <QDialog>

#include <functional>
#include <vector>

class QPushButton;
class QTableView;
class QLabel;

namespace orv {

class IDialogs;
class TSitesModel;

// What can be done from a site's row: each with its latest configuration, or with its entries.
enum class TSiteAction { Open, Report, Compare, Entries };

// File → "Объекты...": every site in the journal (the local entries and those fetched from a
// server): its device, its latest configuration, who last read and wrote its panel and when, how
// many entries.
class TSitesDialog : public QDialog {
    Q_OBJECT
public:
    // act does what a button asks with the chosen site; true when the window is done (a
    // configuration opened).
    TSitesDialog(journal::TJournal& journal, std::function<bool(const journal::TSite&, TSiteAction)> act,
                 QWidget* parent = nullptr);

    const std::vector<journal::TSite>& Sites() const { return sites_; }
    // Does what the button asks with the chosen site.
    void Act(TSiteAction action);
    void done(int result) override;

private:
    void ChoiceChanged();

    std::function<bool(const journal::TSite&, TSiteAction)> act_;
    std::vector<journal::TSite> sites_;
    QTableView* grdSites_ = nullptr;
    TSitesModel* model_ = nullptr;
    QLabel* lblCount_ = nullptr;
    std::vector<QPushButton*> rowButtons_;
};

} // namespace orv
