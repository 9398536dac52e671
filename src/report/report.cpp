#include "report.h"

#include "files/safe_save.h"
#include "images/zone_icons.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSettings>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>
#include <QUrl>

#include <algorithm>

namespace orv {

namespace {

const QString kProgramTitle = QStringLiteral("Программатор ППКОП");
// A blank field prints as a line to write on.
const QString kBlankField = QString(32, QLatin1Char('_'));
// An empty value shows as a dash, as the text view shows it.
const QString kNoValueText = QString::fromUtf8(kNoValue.data(), kNoValue.size());
constexpr int kIconSize = 14;   // CSS pixels
constexpr int kIconPixels = 64; // the picture's own size in the PDF
constexpr int kPdfResolution = 600;

// The report's styles for QTextDocument, which knows a subset of CSS.
const QString kDocumentCss =
    QStringLiteral("h1 { font-size: 14pt; font-weight: bold; margin-top: 0px; margin-bottom: 6px; }\n"
                   "h2 { font-size: 11pt; font-weight: bold; margin-top: 12px; margin-bottom: 4px; }\n"
                   "table { border-collapse: collapse; border-color: #808080; margin-bottom: 4px; }\n"
                   "th { background-color: #e8e8e8; font-weight: bold; text-align: left; }\n"
                   "p.notice { font-weight: bold; margin-top: 8px; margin-bottom: 6px; }\n"
                   "td.sign { height: 28px; }\n");

// The same for a browser, with what printing from one needs.
const QString kFileCss = QStringLiteral(
    "@page { size: A4; margin: 12mm 15mm; }\n"
    "body { font-family: \"DejaVu Sans\", \"Liberation Sans\", Arial, sans-serif; font-size: 9pt; "
    "color: #000; }\n"
    "@media screen { body { max-width: 180mm; margin: 10mm auto; } }\n"
    "h1 { font-size: 14pt; margin: 0 0 6pt; }\n"
    "h2 { font-size: 11pt; margin: 12pt 0 4pt; page-break-after: avoid; break-after: avoid; }\n"
    "table { border-collapse: collapse; width: 100%; margin-bottom: 4pt; }\n"
    "th, td { border: 0.5pt solid #808080; padding: 2pt 4pt; text-align: left; vertical-align: top; }\n"
    "th { background: #e8e8e8; }\n"
    "thead { display: table-header-group; }\n"
    "tr { page-break-inside: avoid; break-inside: avoid; }\n"
    "img { vertical-align: middle; }\n"
    "p.notice { font-weight: bold; }\n"
    "td.sign { height: 18pt; }\n"
    "div.company { border-bottom: 0.5pt solid #808080; margin-bottom: 6pt; padding-bottom: 2pt; }\n");

QFont ReportFont() {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(9);
    return font;
}

QFont FooterFont() {
    QFont font = ReportFont();
    font.setPointSizeF(7.5);
    return font;
}

// Text for XHTML: escaped, and without the control characters XML cannot carry (a damaged
// file may hold any bytes).
QString Esc(const QString& text) {
    QString clean = text;
    for (QChar& c : clean) {
        if ((c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n')) ||
            c.unicode() >= 0xFFFE) {
            c = QChar(QChar::ReplacementCharacter);
        }
    }
    return clean.toHtmlEscaped();
}

QString Esc(const std::string& text) {
    return Esc(QString::fromStdString(text));
}

QString Shown(const std::string& value) {
    return value.empty() ? kNoValueText : Esc(value);
}

QString FieldValue(const QString& text) {
    return text.trimmed().isEmpty() ? kBlankField : Esc(text.trimmed());
}

QString DeviceText(Byte type, const std::string& name) {
    return QString::fromStdString(DeviceTitle(type, name));
}

QString ImageName(int code) {
    return QStringLiteral("zone-type-%1.png").arg(code);
}

QString ImageTag(int code) {
    return QStringLiteral("<img src=\"%1\" width=\"%2\" height=\"%2\" alt=\"\"/> ")
        .arg(ImageName(code))
        .arg(kIconSize);
}

const QString kTableAttributes =
    QStringLiteral(" width=\"100%\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\"");

void HeadingRow(QString& html, const QString& label, const QString& escapedValue) {
    html += QStringLiteral("<tr><th width=\"30%\">") + Esc(label) + QStringLiteral("</th><td>") +
            escapedValue + QStringLiteral("</td></tr>\n");
}

// Who handed the panel over and who took it: names, signatures and dates written by hand; the
// installer's name is printed when given.
void Acceptance(QString& html, const ReportFields& fields) {
    html += QStringLiteral("<h2>Приёмка</h2>\n<table class=\"accept\"") + kTableAttributes +
            QStringLiteral(">\n<thead><tr><th></th><th>Фамилия, имя</th><th>Подпись</th><th>Дата</th></tr>"
                           "</thead>\n<tbody>\n");
    const auto row = [&](const QString& who, const QString& name) {
        html += QStringLiteral("<tr><th width=\"12%\">") + who + QStringLiteral("</th><td class=\"sign\">") +
                name +
                QStringLiteral("</td><td class=\"sign\" width=\"25%\"></td>"
                               "<td class=\"sign\" width=\"20%\"></td></tr>\n");
    };
    row(QStringLiteral("Сдал"), Esc(fields.installer.trimmed()));
    row(QStringLiteral("Принял"), QString());
    html += QStringLiteral("</tbody>\n</table>\n");
}

void Fields(QString& html, const ReportFields& fields, const QDateTime& date) {
    HeadingRow(html, QStringLiteral("Дата"), date.toString(QStringLiteral("dd.MM.yyyy HH:mm")));
    HeadingRow(html, QStringLiteral("Объект"), FieldValue(fields.site));
    HeadingRow(html, QStringLiteral("Монтажник"), FieldValue(fields.installer));
}

// The zone type whose picture a setting's cell shows, or -1.
int ZoneTypeOf(const Setting& s) {
    if (s.table != "zones" || !s.rawIsNumber || !s.key.ends_with(".type")) {
        return -1;
    }
    const int code = std::atoi(s.raw.c_str());
    return code >= 0 && code < kZoneTypeIcons ? code : -1;
}

// The caption over a table's row captions.
QString RowHeader(const std::string& table) {
    static const std::pair<const char*, const char*> kHeaders[] = {
        {"zones", "Шлейф"}, {"outputs", "Выход"},      {"gsm.directions", "Направление"},
        {"gsm.sms", "SMS"}, {"gsm.gprs", "SIM-карта"}, {"objects", "Объект"},
    };
    for (const auto& [key, header] : kHeaders) {
        if (table == key) {
            return QString::fromUtf8(header);
        }
    }
    return {};
}

using Items = std::vector<Setting>;

// Settings that stand alone: one row each, label and value.
void ParamsTable(QString& html, const Items& items, std::size_t from, std::size_t to) {
    html += QStringLiteral("<table class=\"params\"") + kTableAttributes + QStringLiteral(">\n");
    for (std::size_t i = from; i < to; ++i) {
        html += QStringLiteral("<tr><td width=\"55%\">") + Esc(items[i].label) + QStringLiteral("</td><td>") +
                Shown(items[i].value) + QStringLiteral("</td></tr>\n");
    }
    html += QStringLiteral("</table>\n");
}

// The rows of one table: a row per row caption, a column per column caption.
void GridTable(QString& html, const Items& items, std::size_t from, std::size_t to, std::vector<int>& icons) {
    std::vector<std::string> columns;
    for (std::size_t i = from; i < to; ++i) {
        if (std::find(columns.begin(), columns.end(), items[i].column) == columns.end()) {
            columns.push_back(items[i].column);
        }
    }
    html += QStringLiteral("<table class=\"grid\"") + kTableAttributes +
            QStringLiteral(">\n<thead><tr><th>") + Esc(RowHeader(items[from].table)) +
            QStringLiteral("</th>");
    for (const std::string& column : columns) {
        html += QStringLiteral("<th>") + Esc(column) + QStringLiteral("</th>");
    }
    html += QStringLiteral("</tr></thead>\n<tbody>\n");
    for (std::size_t i = from; i < to;) {
        const std::string& row = items[i].row;
        std::vector<const Setting*> cells(columns.size(), nullptr);
        for (; i < to && items[i].row == row; ++i) {
            const auto at = std::find(columns.begin(), columns.end(), items[i].column) - columns.begin();
            cells[static_cast<std::size_t>(at)] = &items[i];
        }
        html += QStringLiteral("<tr><td>") + Esc(row) + QStringLiteral("</td>");
        for (const Setting* cell : cells) {
            html += QStringLiteral("<td>");
            if (cell) {
                if (const int code = ZoneTypeOf(*cell); code >= 0) {
                    html += ImageTag(code);
                    if (std::find(icons.begin(), icons.end(), code) == icons.end()) {
                        icons.push_back(code);
                    }
                }
                html += Shown(cell->value);
            }
            html += QStringLiteral("</td>");
        }
        html += QStringLiteral("</tr>\n");
    }
    html += QStringLiteral("</tbody>\n</table>\n");
}

// Every page with its settings, in the list's order: a heading per page, then its settings
// that stand alone and its tables, each run in a table of its own.
void Pages(QString& html, const Items& items, std::vector<int>& icons) {
    for (std::size_t i = 0; i < items.size();) {
        const std::string& page = items[i].page;
        html += QStringLiteral("<h2>") + Esc(page) + QStringLiteral("</h2>\n");
        while (i < items.size() && items[i].page == page) {
            const std::string& table = items[i].table;
            std::size_t j = i;
            while (j < items.size() && items[j].page == page && items[j].table == table) {
                ++j;
            }
            if (table.empty()) {
                ParamsTable(html, items, i, j);
            } else {
                GridTable(html, items, i, j, icons);
            }
            i = j;
        }
    }
}

QString SideCaption(const ReportSource& source, const QString& fallback) {
    if (!source.title.isEmpty()) {
        return source.title;
    }
    if (!source.file.isEmpty()) {
        return QFileInfo(source.file).fileName();
    }
    return source.port.isEmpty() ? fallback : QStringLiteral("Прибор");
}

QString SideText(const ReportSource& source, Byte type, const std::string& device) {
    QString text = Esc(DeviceText(type, device));
    if (!source.file.isEmpty()) {
        text += QStringLiteral("; файл: ") + Esc(QFileInfo(source.file).fileName());
    }
    if (!source.port.isEmpty()) {
        text += QStringLiteral("; порт: ") + Esc(source.port);
    }
    if (!source.firmware.isEmpty()) {
        text += QStringLiteral("; версия прибора: ") + Esc(source.firmware);
    }
    return text;
}

QString DiffValue(const std::optional<std::string>& value) {
    return Esc(ShownSide(value));
}

QString ErrorText(const SaveResult& result) {
    return result.ok ? QString() : QString::fromStdString(result.message);
}

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// A page's caption never ends a page: it goes over to the next one with what it introduces.
void KeepCaptionsWithText(QTextDocument& doc) {
    const qreal height = doc.pageSize().height();
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    const auto pageOf = [&](const QTextBlock& block) {
        return static_cast<int>(layout->blockBoundingRect(block).top() / height);
    };
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 2 && block.next().isValid() &&
            pageOf(block.next()) > pageOf(block)) {
            QTextBlockFormat format = block.blockFormat();
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            QTextCursor(block).setBlockFormat(format);
        }
    }
}

} // namespace

std::optional<ReportFormat> ReportFormatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("pdf")) {
        return ReportFormat::Pdf;
    }
    if (suffix == QLatin1String("html") || suffix == QLatin1String("htm")) {
        return ReportFormat::Html;
    }
    return std::nullopt;
}

QPageLayout ReportPageLayout() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 12, 15, 12),
                       QPageLayout::Millimeter);
}

void SetUpPdfWriter(QPdfWriter& writer, const QString& title) {
    writer.setPageLayout(ReportPageLayout());
    writer.setResolution(kPdfResolution);
    writer.setTitle(title);
    writer.setCreator(kProgramTitle);
}

TReport ConfigurationReport(const SettingsList& list, const ReportSource& source, const ReportFields& fields,
                            const QDateTime& date) {
    TReport report;
    report.title_ = QStringLiteral("Конфигурация прибора");
    if (list.devType != 0) {
        report.title_ += QStringLiteral(": ") + QString::fromStdString(list.deviceName);
    }
    QString& html = report.body_;
    html += QStringLiteral("<h1>Конфигурация прибора</h1>\n<table class=\"heading\"") + kTableAttributes +
            QStringLiteral(">\n");
    HeadingRow(html, QStringLiteral("Прибор"),
               list.devType != 0 ? Esc(DeviceText(list.devType, list.deviceName))
                                 : QStringLiteral("не выбран"));
    if (!source.firmware.isEmpty()) {
        HeadingRow(html, QStringLiteral("Версия прибора"), Esc(source.firmware));
    }
    if (!source.file.isEmpty()) {
        HeadingRow(html, QStringLiteral("Файл"), Esc(QFileInfo(source.file).fileName()));
    }
    if (!source.port.isEmpty()) {
        HeadingRow(html, QStringLiteral("Порт"), Esc(source.port));
    }
    Fields(html, fields, date);
    html += QStringLiteral("</table>\n");
    Pages(html, list.items, report.zoneTypes_);
    Acceptance(html, fields);
    report.company_ = fields.company;
    return report;
}

TReport ComparisonReport(const Comparison& comparison, const ReportSource& a, const ReportSource& b,
                         const ReportFields& fields, const QDateTime& date) {
    TReport report;
    const QString captionA = SideCaption(a, QStringLiteral("Первая"));
    const QString captionB = SideCaption(b, QStringLiteral("Вторая"));
    report.title_ = QStringLiteral("Сравнение конфигураций: ") + captionA + QStringLiteral(" и ") + captionB;
    QString& html = report.body_;
    html += QStringLiteral("<h1>Сравнение конфигураций</h1>\n<table class=\"heading\"") + kTableAttributes +
            QStringLiteral(">\n");
    HeadingRow(html, QStringLiteral("Первая конфигурация"),
               SideText(a, comparison.typeA, comparison.deviceA));
    HeadingRow(html, QStringLiteral("Вторая конфигурация"),
               SideText(b, comparison.typeB, comparison.deviceB));
    Fields(html, fields, date);
    html += QStringLiteral("</table>\n");
    if (!comparison.SameType()) {
        html += QStringLiteral("<p class=\"notice\">Разные типы приборов: ") +
                Esc(DeviceText(comparison.typeA, comparison.deviceA)) + QStringLiteral(" и ") +
                Esc(DeviceText(comparison.typeB, comparison.deviceB)) +
                QStringLiteral("; сравниваются только общие параметры</p>\n");
    }
    report.company_ = fields.company;
    if (comparison.diffs.empty()) {
        html += QStringLiteral("<p class=\"notice\">Различий нет</p>\n");
        Acceptance(html, fields);
        return report;
    }
    html += QStringLiteral("<table class=\"grid\"") + kTableAttributes +
            QStringLiteral(">\n<thead><tr><th>Раздел</th><th>Параметр</th><th>") + Esc(captionA) +
            QStringLiteral("</th><th>") + Esc(captionB) + QStringLiteral("</th></tr></thead>\n<tbody>\n");
    for (const PageDiffs& group : GroupByPage(comparison)) {
        for (const SettingDiff* d : group.diffs) {
            html += QStringLiteral("<tr><td>") + Esc(d->page) + QStringLiteral("</td><td>") + Esc(d->label) +
                    QStringLiteral("</td><td>") + DiffValue(d->a) + QStringLiteral("</td><td>") +
                    DiffValue(d->b) + QStringLiteral("</td></tr>\n");
        }
    }
    html += QStringLiteral("</tbody>\n</table>\n");
    Acceptance(html, fields);
    return report;
}

bool ReportCompany::IsEmpty() const {
    return name.trimmed().isEmpty() && phone.trimmed().isEmpty() && address.trimmed().isEmpty();
}

ReportCompany StoredReportCompany() {
    QSettings settings;
    return {settings.value(QStringLiteral("report/company_name")).toString(),
            settings.value(QStringLiteral("report/company_phone")).toString(),
            settings.value(QStringLiteral("report/company_address")).toString()};
}

void StoreReportCompany(const ReportCompany& company) {
    QSettings settings;
    settings.setValue(QStringLiteral("report/company_name"), company.name.trimmed());
    settings.setValue(QStringLiteral("report/company_phone"), company.phone.trimmed());
    settings.setValue(QStringLiteral("report/company_address"), company.address.trimmed());
}

QStringList TReport::HeaderLines() const {
    QStringList lines;
    const auto clean = [](const QString& text) {
        // One line each, whatever was typed.
        return text.simplified();
    };
    if (!company_.name.trimmed().isEmpty()) {
        lines << clean(company_.name);
    }
    QStringList second;
    for (const QString& part : {company_.phone, company_.address}) {
        if (!part.trimmed().isEmpty()) {
            second << clean(part);
        }
    }
    if (!second.isEmpty()) {
        lines << second.join(QStringLiteral(" · "));
    }
    return lines;
}

QString TReport::Page(bool forFile) const {
    QString body = body_;
    if (forFile) {
        for (int code : zoneTypes_) {
            body.replace(QStringLiteral("src=\"") + ImageName(code) + QLatin1Char('"'),
                         QStringLiteral("src=\"data:image/svg+xml;base64,") +
                             QString::fromLatin1(ZoneTypeSvg(code).toBase64()) + QLatin1Char('"'));
        }
        QString header;
        const QStringList lines = HeaderLines();
        if (!lines.isEmpty()) {
            QStringList escaped;
            for (const QString& line : lines) {
                escaped << Esc(line);
            }
            header = QStringLiteral("<div class=\"company\">") + escaped.join(QStringLiteral("<br/>")) +
                     QStringLiteral("</div>\n");
        }
        return QStringLiteral("<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"ru\" "
                              "xml:lang=\"ru\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>") +
               Esc(title_) + QStringLiteral("</title>\n<style>\n") + kFileCss +
               QStringLiteral("</style>\n</head>\n<body>\n") + header + body +
               QStringLiteral("</body>\n</html>\n");
    }
    return QStringLiteral("<html><head><title>") + Esc(title_) + QStringLiteral("</title></head><body>") +
           body + QStringLiteral("</body></html>");
}

QByteArray TReport::Html() const {
    return Page(true).toUtf8();
}

qreal TReport::HeaderHeight(const QPaintDevice& device) const {
    const qsizetype lines = HeaderLines().size();
    return lines == 0 ? 0 : QFontMetricsF(FooterFont(), &device).height() * (lines + 1);
}

std::unique_ptr<QTextDocument> TReport::Paginate(QPagedPaintDevice& device) const {
    auto doc = std::make_unique<QTextDocument>();
    doc->setUndoRedoEnabled(false);
    // Laid out with the device's own font metrics and resolution, as QTextDocument::print does.
    doc->documentLayout()->setPaintDevice(&device);
    doc->setDefaultFont(ReportFont());
    doc->setDocumentMargin(0);
    // Words stay whole: a table column is at least as wide as its longest word.
    QTextOption wrap = doc->defaultTextOption();
    wrap.setWrapMode(QTextOption::WordWrap);
    doc->setDefaultTextOption(wrap);
    doc->setDefaultStyleSheet(kDocumentCss);
    for (int code : zoneTypes_) {
        doc->addResource(QTextDocument::ImageResource, QUrl(ImageName(code)),
                         ZoneTypeImage(code, kIconPixels));
    }
    // The page number goes below the text, in two lines' height; the company's lines above it.
    const qreal footer = 2 * QFontMetricsF(FooterFont(), &device).height();
    doc->setPageSize(QSizeF(device.width(), device.height() - footer - HeaderHeight(device)));
    doc->setHtml(Page(false));
    KeepCaptionsWithText(*doc);
    return doc;
}

bool TReport::Render(QPagedPaintDevice& device) const {
    const std::unique_ptr<QTextDocument> doc = Paginate(device);
    QPainter painter;
    if (!painter.begin(&device)) {
        return false;
    }
    const QSizeF page = doc->pageSize();
    const int pages = doc->pageCount();
    const qreal top = HeaderHeight(device);
    const QRectF footer(0, top + page.height(), page.width(), device.height() - top - page.height());
    const QStringList header = HeaderLines();
    const QFontMetricsF headerMetrics(FooterFont(), &device);
    painter.setFont(FooterFont());
    for (int n = 0; n < pages; ++n) {
        if (n > 0 && !device.newPage()) {
            return false;
        }
        if (!header.isEmpty()) {
            const QRectF lines(0, 0, page.width(), headerMetrics.height() * header.size());
            painter.drawText(lines, Qt::AlignLeft | Qt::AlignTop, header.join(QLatin1Char('\n')));
            const qreal rule = lines.bottom() + headerMetrics.height() * 0.3;
            painter.drawLine(QPointF(0, rule), QPointF(page.width(), rule));
        }
        painter.save();
        painter.translate(0, top - n * page.height());
        doc->drawContents(&painter, QRectF(QPointF(0, n * page.height()), page));
        painter.restore();
        painter.drawText(footer, Qt::AlignLeft | Qt::AlignBottom, title_);
        painter.drawText(footer, Qt::AlignRight | Qt::AlignBottom,
                         QStringLiteral("Страница %1 из %2").arg(n + 1).arg(pages));
    }
    return painter.end();
}

QString TReport::SavePdf(const QString& path) const {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        SetUpPdfWriter(writer, title_);
        if (!Render(writer)) {
            return QStringLiteral("Не удалось построить документ PDF");
        }
    }
    return ErrorText(SaveFileAtomically(LocalPath(path), buffer.data().toStdString()));
}

QString TReport::SaveHtml(const QString& path) const {
    return ErrorText(SaveFileAtomically(LocalPath(path), Html().toStdString()));
}

QString TReport::Save(const QString& path) const {
    const auto format = ReportFormatOf(path);
    if (!format) {
        return QStringLiteral("Отчёт сохраняется в файл .pdf или .html: ") + path;
    }
    return *format == ReportFormat::Html ? SaveHtml(path) : SavePdf(path);
}

} // namespace orv
