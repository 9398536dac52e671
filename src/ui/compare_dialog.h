#pragma once

#include "settings/settings.h"

#include <QDialog>

#include <functional>

class QLabel;
class QPushButton;
class QTableWidget;

namespace orv {

// The settings in which two configurations differ, in a table grouped by page: "Раздел",
// "Параметр", then one column for each side under the caller's captions ("Сейчас", "В файле").
// Used for the configuration on screen against a file, and for any two stored configurations.
class TCompareDialog : public QDialog {
    Q_OBJECT
public:
    TCompareDialog(const Comparison& comparison, const QString& captionA, const QString& captionB,
                   QWidget* parent = nullptr);
    TCompareDialog(const SettingsList& a, const SettingsList& b, const QString& captionA,
                   const QString& captionB, QWidget* parent = nullptr);

    const Comparison& Result() const { return comparison_; }

    // What "Отчёт..." does with the comparison; the button shows only once a handler is given.
    using ReportHandler = std::function<void(const Comparison& comparison, QWidget* parent)>;
    void SetReportHandler(ReportHandler handler);

    // The dialog asks whether to make the changes it shows: "Применить" accepts it, "Отмена"
    // (the close button) rejects it.
    void AskToApply();

    // The line above the table: equal, how many differ, different device types.
    static QString Summary(const Comparison& comparison, const QString& captionA, const QString& captionB);

    void done(int result) override;

private:
    void Fill();

    Comparison comparison_;
    QString captionA_;
    QString captionB_;
    ReportHandler report_;
    QLabel* lblSummary_ = nullptr;
    QTableWidget* grdCompare_ = nullptr;
    QPushButton* btnReport_ = nullptr;
    QPushButton* btnClose_ = nullptr;
    QPushButton* btnApply_ = nullptr;
};

} // namespace orv
