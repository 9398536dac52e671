#pragma once

// Reports made from the named settings, never from widgets: the configuration of one panel, and
// the differences between two configurations. One report prints, becomes a PDF (A4, numbered
// pages, fonts embedded) or one self-contained HTML file. Qt Gui only: the command-line tool
// makes reports without a window system's widgets.

#include "settings/settings.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QPageLayout;
class QPaintDevice;
class QPagedPaintDevice;
class QPdfWriter;
class QTextDocument;

namespace orv {

// Where a configuration came from, for the report's heading.
struct ReportSource {
    QString file;     // the file's name (shown without its folder), or empty
    QString port;     // the port it was read through, or empty
    QString firmware; // the panel's firmware version, when it was read from one
    // A compare report's column caption for this side; empty: the file's name, or "Прибор".
    QString title;
};

// The company that issues the report, at the top of every page; set once under the program's
// settings. Nothing is printed for an empty one.
struct ReportCompany {
    QString name;
    QString phone;
    QString address;

    bool IsEmpty() const;
    bool operator==(const ReportCompany&) const = default;
};

// As kept in the program's settings, for the window and the command-line tool alike.
ReportCompany StoredReportCompany();
void StoreReportCompany(const ReportCompany& company);

// What the user fills in before printing: blank fields print as lines to write on.
struct ReportFields {
    QString site;      // "Объект"
    QString installer; // "Монтажник"
    ReportCompany company;
};

enum class ReportFormat { Pdf, Html };

// The format a file name asks for by its suffix (.pdf, .html, .htm, any case).
std::optional<ReportFormat> ReportFormatOf(const QString& path);

class TReport {
public:
    // The document's title ("Конфигурация прибора: ...").
    const QString& Title() const { return title_; }

    // One self-contained XHTML file (UTF-8, pictures inline as data URIs), printable from a
    // browser.
    QByteArray Html() const;

    // A document laid out in pages for the device's page layout and resolution: what Render
    // paints on it, page by page.
    std::unique_ptr<QTextDocument> Paginate(QPagedPaintDevice& device) const;
    // Paints every page with its number on a device whose page layout is set (ReportPageLayout
    // for PDF; the chosen paper when printing). False when the device cannot be painted on.
    bool Render(QPagedPaintDevice& device) const;

    // Write the file, replacing an existing one only once the new one is complete. An error
    // text for the user, empty on success. Save picks the format by the name's suffix and
    // refuses any other.
    QString SavePdf(const QString& path) const;
    QString SaveHtml(const QString& path) const;
    QString Save(const QString& path) const;

private:
    friend TReport ConfigurationReport(const SettingsList&, const ReportSource&, const ReportFields&,
                                       const QDateTime&);
    friend TReport ComparisonReport(const Comparison&, const ReportSource&, const ReportSource&,
                                    const ReportFields&, const QDateTime&);

    QString Page(bool forFile) const;
    // The company's lines at the top of a printed page; empty for none.
    QStringList HeaderLines() const;
    // The room those lines take at the top of every page of device.
    qreal HeaderHeight(const QPaintDevice& device) const;

    QString title_;
    ReportCompany company_;
    QString body_;               // refers to pictures by their resource names
    std::vector<int> zoneTypes_; // zone types whose pictures the body shows
};

// The report of one configuration: the heading (device, firmware version, file or port, date,
// site, installer), then every page with its settings, tables row by row, then the acceptance
// block ("Сдал", "Принял") to sign.
TReport ConfigurationReport(const SettingsList& list, const ReportSource& source, const ReportFields& fields,
                            const QDateTime& date = QDateTime::currentDateTime());

// The change report of two configurations: both sources in the heading, then the differing
// settings grouped by page, each with both values, then the acceptance block.
TReport ComparisonReport(const Comparison& comparison, const ReportSource& a, const ReportSource& b,
                         const ReportFields& fields, const QDateTime& date = QDateTime::currentDateTime());

// A4 portrait with the report's margins.
QPageLayout ReportPageLayout();
// Sets a PDF writer up as SavePdf does: page layout, resolution, title and creator.
void SetUpPdfWriter(QPdfWriter& writer, const QString& title);

} // namespace orv
