#pragma once

// A report read back as its reader gets it: a PDF's text and facts through poppler's tools, an
// HTML file's tables through a strict XML parser.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace orv::test {

// Whitespace runs as one space, none at the ends: how text compares across line and column
// breaks.
QString Normalized(const QString& text);

struct PdfFacts {
    QString error; // empty when every tool read the file
    QString text;  // pdftotext in content order, normalized
    int pages = 0;
    QString pageSize; // as pdfinfo names it: "A4"
    QStringList fonts;
    bool fontsEmbedded = false; // every font, and there is one
};
PdfFacts ReadPdf(const QString& path);

struct HtmlCell {
    QString text; // normalized
    QStringList images;
};
using HtmlRow = std::vector<HtmlCell>;
using HtmlTable = std::vector<HtmlRow>; // the first row is the header row where there is one

struct HtmlFacts {
    QString error; // the parser's complaint; empty for well-formed XHTML
    std::vector<HtmlTable> tables;
    QString text;      // all text, normalized
    QStringList links; // every src and href that is not a data URI
};
HtmlFacts ReadHtml(const QByteArray& html);

// The cell under the column captioned `column` in the row captioned `row`, in any table; null
// when there is none.
const HtmlCell* FindCell(const HtmlFacts& html, const QString& row, const QString& column);
// Whether some row holds exactly these cells' texts.
bool HasRow(const HtmlFacts& html, const QStringList& cells);

} // namespace orv::test
