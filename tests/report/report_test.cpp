// Reports read back as their readers get them: every setting of every type in the PDF's text and
// in the HTML's tables, table rows kept whole across pages, and the compare report.
#include "images/zone_icons.h"
#include "report/report.h"
#include "settings/random_configuration.h"
#include "settings/settings.h"
#include "support/report_reading.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFile>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <gtest/gtest.h>

#include <cmath>

namespace orv {
namespace {

using test::Normalized;

const QDateTime kDate(QDate(2024, 3, 5), QTime(14, 20));

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

QString Shown(const std::string& value) {
    return value.empty() ? QStringLiteral("—") : Q(value);
}

bool SameRow(const Setting& a, const Setting& b) {
    return a.page == b.page && a.table == b.table && a.row == b.row;
}

// What a reader of the printed report finds, in reading order: each setting that stands alone
// as its label and its value, each table row as its caption and then its values.
QStringList Runs(const SettingsList& list) {
    QStringList runs;
    for (std::size_t i = 0; i < list.items.size();) {
        const Setting& first = list.items[i];
        if (first.table.empty()) {
            runs << Q(first.label) + QLatin1Char(' ') + Shown(first.value);
            ++i;
            continue;
        }
        QString run = Q(first.row);
        for (; i < list.items.size() && SameRow(list.items[i], first); ++i) {
            run += QLatin1Char(' ') + Shown(list.items[i].value);
        }
        runs << run;
    }
    return runs;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The zone type picture a cell shows, as the HTML file carries it; empty for other cells.
QStringList ExpectedImages(const Setting& s) {
    if (s.table != "zones" || !s.key.ends_with(".type")) {
        return {};
    }
    const int code = std::stoi(s.raw);
    if (code >= kZoneTypeIcons) {
        return {};
    }
    return {QStringLiteral("data:image/svg+xml;base64,") + QString::fromLatin1(ZoneTypeSvg(code).toBase64())};
}

std::string FamilyName(const ::testing::TestParamInfo<Byte>& info) {
    switch (info.param) {
    case 5:
    case 8:
    case 9:
        return "FiveZone" + std::to_string(info.param);
    case 6:
        return "Keypad6";
    case 3:
    case 11:
    case 17:
    case 7:
    case 18:
        return "ControlCentre" + std::to_string(info.param);
    case 15:
        return "Retranslator15";
    default:
        return "EightZone" + std::to_string(info.param);
    }
}

// The blocks of one table row, over all its cells: their top and bottom in the document.
std::pair<qreal, qreal> RowExtent(const QTextDocument& doc, QTextTable& table, int row) {
    qreal top = INFINITY;
    qreal bottom = -INFINITY;
    for (int column = 0; column < table.columns(); ++column) {
        const QTextTableCell cell = table.cellAt(row, column);
        const QTextBlock last = cell.lastCursorPosition().block();
        for (QTextBlock block = cell.firstCursorPosition().block(); block.isValid(); block = block.next()) {
            const QRectF rect = doc.documentLayout()->blockBoundingRect(block);
            top = std::min(top, rect.top());
            bottom = std::max(bottom, rect.bottom());
            if (block == last) {
                break;
            }
        }
    }
    return {top, bottom};
}

TEST(ReportHtml, DamagedTextsStayWellFormed) {
    // A damaged file may carry any bytes into a text: control characters cannot stand in XML.
    SettingsList list;
    list.devType = 16;
    list.deviceName = "Терсан 34x, Ирвел-ОП8";
    Setting apn;
    apn.page = "Параметры GPRS";
    apn.key = "gsm.gprs.1.apn";
    apn.label = "SIM-карта №1: APN";
    apn.value = "in\x01ter</td>\x1b&net\xef\xbf\xbf";
    list.items.push_back(apn);
    const TReport report = ConfigurationReport(list, {},
                                               {QStringLiteral("a\x02"
                                                               "b"),
                                                {}},
                                               kDate);
    const test::HtmlFacts html = test::ReadHtml(report.Html());
    ASSERT_EQ(html.error, QString());
    const QString replaced(QChar::ReplacementCharacter);
    EXPECT_TRUE(
        test::HasRow(html, {Q(apn.label), QStringLiteral("in") + replaced + QStringLiteral("ter</td>") +
                                              replaced + QStringLiteral("&net") + replaced}));
    EXPECT_TRUE(
        test::HasRow(html, {QStringLiteral("Объект"), QStringLiteral("a") + replaced + QStringLiteral("b")}));
}

struct PageFacts {
    int pages = 0;
    int tables = 0;
    int continued = 0; // tables whose rows lie on more than one page
};

// The report laid out as its PDF is: no table row is cut by a page's end, and no page's caption
// ends a page.
PageFacts CheckPages(const TReport& report) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    SetUpPdfWriter(writer, report.Title());
    const std::unique_ptr<QTextDocument> doc = report.Paginate(writer);
    const qreal pageHeight = doc->pageSize().height();
    const auto pageOf = [&](qreal y) { return static_cast<int>(std::floor(y / pageHeight)); };
    PageFacts facts;
    facts.pages = doc->pageCount();
    for (QTextFrame* frame : doc->rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table) {
            continue;
        }
        ++facts.tables;
        std::set<int> pages;
        for (int row = 0; row < table->rows(); ++row) {
            const auto [top, bottom] = RowExtent(*doc, *table, row);
            EXPECT_EQ(pageOf(top), pageOf(bottom - 0.5))
                << "table " << facts.tables << ", row " << row << ": " << top << " to " << bottom
                << ", pages of " << pageHeight;
            pages.insert(pageOf(top));
        }
        facts.continued += pages.size() > 1 ? 1 : 0;
    }
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 2) {
            EXPECT_EQ(pageOf(doc->documentLayout()->blockBoundingRect(block).top()),
                      pageOf(doc->documentLayout()->blockBoundingRect(block.next()).top()))
                << "the caption \"" << block.text().toStdString() << "\" ends a page";
        }
    }
    return facts;
}

class EveryType : public ::testing::TestWithParam<Byte> {};

TEST_P(EveryType, PdfAndHtmlHoldEverySetting) {
    const Byte type = GetParam();
    TProgramState state = test::RandomConfiguration(type, 1000u + type);
    // Markup in a text the user typed (where the type has GPRS settings) stays text.
    state.Gprs.SetApn(0, "apn<i>&amp;\"x\"");
    const SettingsList list = ListSettings(state);
    const ReportSource source{QStringLiteral("/home/монтажник/объекты/склад.cf8"),
                              QStringLiteral("ttyUSB0"),
                              QStringLiteral("27"),
                              {}};
    const ReportFields fields{QStringLiteral("Склад <№3> & двор"), QStringLiteral("Петров П. П.")};
    const TReport report = ConfigurationReport(list, source, fields, kDate);
    const QStringList heading{
        QStringLiteral("Прибор ") + Q(list.deviceName) + QStringLiteral(" (тип %1)").arg(type),
        QStringLiteral("Версия прибора 27"),
        QStringLiteral("Файл склад.cf8"),
        QStringLiteral("Порт ttyUSB0"),
        QStringLiteral("Дата 05.03.2024 14:20"),
        QStringLiteral("Объект ") + fields.site,
        QStringLiteral("Монтажник ") + fields.installer,
    };
    QTemporaryDir dir;
    const QString pdfPath = dir.filePath(QStringLiteral("report.pdf"));
    const QString htmlPath = dir.filePath(QStringLiteral("report.html"));
    ASSERT_EQ(report.SavePdf(pdfPath), QString());
    ASSERT_EQ(report.SaveHtml(htmlPath), QString());

    const test::PdfFacts pdf = test::ReadPdf(pdfPath);
    ASSERT_EQ(pdf.error, QString());
    EXPECT_EQ(pdf.pageSize, QStringLiteral("A4"));
    EXPECT_TRUE(pdf.fontsEmbedded) << pdf.fonts.join(QStringLiteral(", ")).toStdString();
    QStringList runs = heading;
    runs << Runs(list) << QStringLiteral("Страница %1 из %1").arg(pdf.pages);
    int missing = 0;
    for (const QString& run : runs) {
        if (!pdf.text.contains(Normalized(run))) {
            ADD_FAILURE() << "the PDF's text lacks \"" << run.toStdString() << "\"";
            if (++missing == 5) {
                FAIL() << pdf.text.toStdString();
            }
        }
    }

    const test::HtmlFacts html = test::ReadHtml(ReadAll(htmlPath));
    ASSERT_EQ(html.error, QString());
    EXPECT_TRUE(html.links.isEmpty()) << html.links.join(QStringLiteral(", ")).toStdString();
    for (const QString& line : heading) {
        const qsizetype space = line.indexOf(QLatin1Char(' '));
        const QString label = line.left(space) == QStringLiteral("Версия") ? QStringLiteral("Версия прибора")
                                                                           : line.left(space);
        EXPECT_TRUE(test::HasRow(html, {label, line.mid(label.size() + 1)})) << line.toStdString();
    }
    for (const Setting& s : list.items) {
        if (s.table.empty()) {
            EXPECT_TRUE(test::HasRow(html, {Q(s.label), Shown(s.value)})) << s.key;
            continue;
        }
        const test::HtmlCell* cell = test::FindCell(html, Q(s.row), Q(s.column));
        ASSERT_NE(cell, nullptr) << s.key;
        EXPECT_EQ(cell->text, Normalized(Shown(s.value))) << s.key;
        EXPECT_TRUE(cell->images == ExpectedImages(s))
            << s.key << ": " << cell->images.size() << " picture(s)";
    }
    EXPECT_EQ(CheckPages(report).pages, pdf.pages);
}

INSTANTIATE_TEST_SUITE_P(Types, EveryType,
                         ::testing::Values(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 16, 17, 18),
                         FamilyName);

TEST(ReportPages, BreakBetweenTableRowsNeverInsideOne) {
    // The retranslator with 40 SMS numbers and 32 objects: pages of tables.
    const SettingsList list = ListSettings(test::RandomConfiguration(15, 7));
    ASSERT_NE(list.Find("gsm.sms.40.phone"), nullptr);
    ASSERT_NE(list.Find("objects.32.type"), nullptr);
    const PageFacts facts = CheckPages(ConfigurationReport(list, {}, {}, kDate));
    EXPECT_GE(facts.pages, 3);
    EXPECT_GE(facts.tables, 5);
    EXPECT_GE(facts.continued, 1);
}

struct ComparisonCase {
    const char* name;
    Byte a;
    Byte b;
};

void PrintTo(const ComparisonCase& c, std::ostream* os) {
    *os << c.name;
}

class ComparisonReports : public ::testing::TestWithParam<ComparisonCase> {};

TEST_P(ComparisonReports, EveryDifferenceWithBothValuesGroupedByPage) {
    const Comparison comparison = Compare(ListSettings(test::RandomConfiguration(GetParam().a, 1)),
                                          ListSettings(test::RandomConfiguration(GetParam().b, 2)));
    ASSERT_GT(comparison.diffs.size(), 10u);
    ReportSource panel;
    panel.port = QStringLiteral("ttyUSB0");
    panel.firmware = QStringLiteral("31");
    const TReport report = ComparisonReport(comparison, {QStringLiteral("/tmp/было.cf8"), {}, {}, {}}, panel,
                                            {QStringLiteral("Школа № 5"), {}}, kDate);
    QTemporaryDir dir;
    const QString pdfPath = dir.filePath(QStringLiteral("changes.pdf"));
    ASSERT_EQ(report.SavePdf(pdfPath), QString());
    const test::PdfFacts pdf = test::ReadPdf(pdfPath);
    ASSERT_EQ(pdf.error, QString());
    const test::HtmlFacts html = test::ReadHtml(report.Html());
    ASSERT_EQ(html.error, QString());

    const auto side = [](const std::optional<std::string>& value) {
        return value ? Shown(*value) : QStringLiteral("(отсутствует)");
    };
    QStringList runs{
        QStringLiteral("Первая конфигурация ") + Q(comparison.deviceA) +
            QStringLiteral(" (тип %1); файл: было.cf8").arg(comparison.typeA),
        QStringLiteral("Вторая конфигурация ") + Q(comparison.deviceB) +
            QStringLiteral(" (тип %1); порт: ttyUSB0; версия прибора: 31").arg(comparison.typeB),
        QStringLiteral("Объект Школа № 5"),
    };
    if (!comparison.SameType()) {
        runs << QStringLiteral("Разные типы приборов");
    }
    for (const QString& run : runs) {
        EXPECT_TRUE(pdf.text.contains(Normalized(run))) << run.toStdString();
        EXPECT_TRUE(html.text.contains(Normalized(run))) << run.toStdString();
    }
    ASSERT_TRUE(test::HasRow(html, {QStringLiteral("Раздел"), QStringLiteral("Параметр"),
                                    QStringLiteral("было.cf8"), QStringLiteral("Прибор")}));
    for (const SettingDiff& d : comparison.diffs) {
        const QStringList row{Q(d.page), Q(d.label), side(d.a), side(d.b)};
        EXPECT_TRUE(pdf.text.contains(Normalized(row.join(QLatin1Char(' '))))) << d.key;
        EXPECT_TRUE(test::HasRow(html, row)) << d.key;
    }
    // Grouped: a page's rows follow one another.
    const test::HtmlTable& table = html.tables.back();
    std::set<QString> left;
    for (std::size_t r = 2; r < table.size(); ++r) {
        if (table[r][0].text != table[r - 1][0].text) {
            EXPECT_TRUE(left.insert(table[r - 1][0].text).second) << table[r - 1][0].text.toStdString();
            EXPECT_FALSE(left.contains(table[r][0].text)) << table[r][0].text.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Pairs, ComparisonReports,
                         ::testing::Values(ComparisonCase{"SameType", 15, 15},
                                           ComparisonCase{"TwoTypes", 16, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace orv
