#pragma once

#include "report/report.h"

#include <QDialog>

#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPrinter;
class QPrintPreviewWidget;
class QTimer;

namespace orv {

class IDialogs;

// A report's preview: its pages as they print, the site field (given by the caller) and the
// installer field (kept between runs), "Печать", "Сохранить PDF" and "Сохранить HTML". Serves any report: the
// builder makes it anew from the fields as the user types them.
class TReportDialog : public QDialog {
    Q_OBJECT
public:
    using Builder = std::function<TReport(const ReportFields& fields)>;

    // baseName: the file name the save dialogs offer, without a suffix.
    TReportDialog(IDialogs& dialogs, Builder build, const QString& baseName, QWidget* parent = nullptr);
    ~TReportDialog() override;

    ReportFields Fields() const;
    void SetSite(const QString& site);
    void PrintClick();
    void SavePdfClick();
    void SaveHtmlClick();

    void done(int result) override;

    // The preview's zoom and page: "+" / "−" (or Ctrl with the wheel), previous and next page.
    void ZoomIn();
    void ZoomOut();
    void GoToPage(int page);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowPage();
    void UpdatePreview();
    void Save(ReportFormat format);
    void StoreFields() const;

    IDialogs& dialogs_;
    Builder build_;
    QString baseName_;
    std::unique_ptr<QPrinter> printer_;
    TReport report_;
    QLineEdit* edtSite_ = nullptr;
    QLineEdit* edtInstaller_ = nullptr;
    QPrintPreviewWidget* preview_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    QLabel* lblPage_ = nullptr;
    QTimer* typing_ = nullptr;
    ReportCompany company_;
};

// Shows the preview modally through dialogs with the site in its site field; the fields as the
// user left them.
ReportFields ShowReport(IDialogs& dialogs, QWidget* parent, TReportDialog::Builder build,
                        const QString& baseName, const QString& site = {});

} // namespace orv
