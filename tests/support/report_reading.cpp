#include "report_reading.h"

#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>

namespace orv::test {

namespace {

// A tool's standard output; error says why there is none.
QString Run(const QString& program, const QStringList& args, QString& error) {
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        error = program + QStringLiteral(" failed: ") + QString::fromUtf8(process.readAllStandardError()) +
                process.errorString();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

QString Normalized(const QString& text) {
    return text.simplified();
}

PdfFacts ReadPdf(const QString& path) {
    PdfFacts facts;
    const QString info = Run(QStringLiteral("pdfinfo"), {path}, facts.error);
    if (!facts.error.isEmpty()) {
        return facts;
    }
    static const QRegularExpression kPages(QStringLiteral("^Pages:\\s+(\\d+)"),
                                           QRegularExpression::MultilineOption);
    static const QRegularExpression kSize(QStringLiteral("^Page size:.*\\((\\w+)\\)"),
                                          QRegularExpression::MultilineOption);
    facts.pages = kPages.match(info).captured(1).toInt();
    facts.pageSize = kSize.match(info).captured(1);

    // Columns from the end: emb sub uni object generation; the type may hold spaces.
    const QString fonts = Run(QStringLiteral("pdffonts"), {path}, facts.error);
    const QStringList lines = fonts.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    facts.fontsEmbedded = lines.size() > 2;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QStringList columns = lines[i].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (columns.size() < 6) {
            facts.fontsEmbedded = false;
            continue;
        }
        facts.fonts << columns.first();
        facts.fontsEmbedded = facts.fontsEmbedded && columns[columns.size() - 5] == QLatin1String("yes");
    }
    facts.text = Normalized(Run(
        QStringLiteral("pdftotext"),
        {QStringLiteral("-raw"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")},
        facts.error));
    return facts;
}

HtmlFacts ReadHtml(const QByteArray& html) {
    HtmlFacts facts;
    QXmlStreamReader reader(html);
    HtmlTable* table = nullptr;
    HtmlCell* cell = nullptr;
    QString text;
    QString cellText;
    int depth = 0; // of nested tables: the report has none, so any is a fault
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            const auto name = reader.name();
            text += QLatin1Char(' '); // cells, rows and paragraphs read apart
            for (const char* attribute : {"src", "href"}) {
                const QString link = reader.attributes().value(QLatin1String(attribute)).toString();
                if (reader.attributes().hasAttribute(QLatin1String(attribute)) &&
                    !link.startsWith(QLatin1String("data:"))) {
                    facts.links << link;
                }
            }
            if (name == QLatin1String("table")) {
                if (++depth > 1) {
                    facts.error = QStringLiteral("a table inside a table");
                }
                facts.tables.emplace_back();
                table = &facts.tables.back();
            } else if (name == QLatin1String("tr") && table) {
                table->emplace_back();
            } else if ((name == QLatin1String("td") || name == QLatin1String("th")) && table &&
                       !table->empty()) {
                table->back().emplace_back();
                cell = &table->back().back();
                cellText.clear();
            } else if (name == QLatin1String("img") && cell) {
                cell->images << reader.attributes().value(QLatin1String("src")).toString();
            } else if (name == QLatin1String("script") || name == QLatin1String("link")) {
                facts.links << name.toString();
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            if (reader.name() == QLatin1String("table")) {
                --depth;
                table = nullptr;
            } else if ((reader.name() == QLatin1String("td") || reader.name() == QLatin1String("th")) &&
                       cell) {
                cell->text = Normalized(cellText);
                cell = nullptr;
            }
            break;
        case QXmlStreamReader::Characters:
            text += reader.text();
            cellText += reader.text();
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) {
        facts.error = reader.errorString() + QStringLiteral(" at line %1").arg(reader.lineNumber());
    }
    facts.text = Normalized(text);
    return facts;
}

const HtmlCell* FindCell(const HtmlFacts& html, const QString& row, const QString& column) {
    for (const HtmlTable& table : html.tables) {
        if (table.empty()) {
            continue;
        }
        for (std::size_t c = 1; c < table[0].size(); ++c) {
            if (table[0][c].text != Normalized(column)) {
                continue;
            }
            for (std::size_t r = 1; r < table.size(); ++r) {
                if (!table[r].empty() && table[r][0].text == Normalized(row) && c < table[r].size()) {
                    return &table[r][c];
                }
            }
        }
    }
    return nullptr;
}

bool HasRow(const HtmlFacts& html, const QStringList& cells) {
    for (const HtmlTable& table : html.tables) {
        for (const HtmlRow& row : table) {
            if (row.size() != static_cast<std::size_t>(cells.size())) {
                continue;
            }
            bool same = true;
            for (qsizetype i = 0; i < cells.size() && same; ++i) {
                same = row[static_cast<std::size_t>(i)].text == Normalized(cells[i]);
            }
            if (same) {
                return true;
            }
        }
    }
    return false;
}

} // namespace orv::test
