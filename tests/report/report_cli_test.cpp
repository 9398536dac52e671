// orvanta-cli report and diff --report, run as a script runs them: the real program, with no
// display and no platform chosen.
#include "files/config_file.h"
#include "gsm/tx_buffers.h"
#include "settings/random_configuration.h"
#include "support/report_reading.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orv {
namespace {

struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

CliRun Cli(const QStringList& args) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        env.remove(QString::fromLatin1(name));
    }
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(ORVANTA_CLI_PATH), args);
    CliRun run;
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit) {
        run.status = process.exitCode();
    }
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString WriteConfiguration(const QTemporaryDir& dir, const QString& name, Byte type, unsigned seed) {
    TProgramState state = test::RandomConfiguration(type, seed);
    EXPECT_TRUE(UpdateAllTXBuffers(state, nullptr).ok());
    const QString path = dir.filePath(name);
    EXPECT_TRUE(WriteConfigFile(state, QFile::encodeName(path).toStdString()).ok);
    return path;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(CliReport, ReportOfAFileAsPdfAndHtml) {
    QTemporaryDir dir;
    const QString config = WriteConfiguration(dir, QStringLiteral("объект.cf8"), 16, 3);
    const QString pdf = dir.filePath(QStringLiteral("отчёт.pdf"));
    const CliRun made =
        Cli({QStringLiteral("report"), config, QStringLiteral("--out"), pdf, QStringLiteral("--site"),
             QStringLiteral("Склад №3"), QStringLiteral("--installer"), QStringLiteral("Петров")});
    ASSERT_EQ(made.status, 0) << made.err.toStdString();
    const test::PdfFacts facts = test::ReadPdf(pdf);
    ASSERT_EQ(facts.error, QString());
    for (const char* run : {"Файл объект.cf8", "Объект Склад №3", "Монтажник Петров", "ШС1"}) {
        EXPECT_TRUE(facts.text.contains(QString::fromUtf8(run))) << run;
    }

    const QString html = dir.filePath(QStringLiteral("отчёт.HTML"));
    const CliRun page = Cli({QStringLiteral("report"), config, QStringLiteral("--out"), html});
    ASSERT_EQ(page.status, 0) << page.err.toStdString();
    const test::HtmlFacts read = test::ReadHtml(ReadAll(html));
    ASSERT_EQ(read.error, QString());
    EXPECT_TRUE(read.text.contains(QStringLiteral("Файл объект.cf8")));

    // Neither another format, nor a file that is not there, nor a folder that takes no file.
    const QString text = dir.filePath(QStringLiteral("report.txt"));
    EXPECT_EQ(Cli({QStringLiteral("report"), config, QStringLiteral("--out"), text}).status, 2);
    EXPECT_FALSE(QFile::exists(text));
    EXPECT_EQ(
        Cli({QStringLiteral("report"), dir.filePath(QStringLiteral("нет.cf8")), QStringLiteral("--out"), pdf})
            .status,
        3);
    const CliRun refused = Cli({QStringLiteral("report"), config, QStringLiteral("--out"),
                                dir.filePath(QStringLiteral("нет/report.pdf"))});
    EXPECT_EQ(refused.status, 3);
    EXPECT_FALSE(refused.err.isEmpty());
}

TEST(CliReport, DiffWritesItsCompareReportBesidesItsOutput) {
    QTemporaryDir dir;
    const QString a = WriteConfiguration(dir, QStringLiteral("a.cf8"), 15, 1);
    const QString b = WriteConfiguration(dir, QStringLiteral("b.cf8"), 15, 2);
    const QString pdf = dir.filePath(QStringLiteral("changes.pdf"));
    const CliRun differ = Cli({QStringLiteral("diff"), QStringLiteral("--report"), pdf, a, b});
    EXPECT_EQ(differ.status, 1) << differ.err.toStdString();
    const QStringList lines = differ.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GT(lines.size(), 10);
    const test::PdfFacts facts = test::ReadPdf(pdf);
    ASSERT_EQ(facts.error, QString());
    EXPECT_TRUE(facts.text.contains(QStringLiteral("Раздел Параметр a.cf8 b.cf8")));
    // Every line of the text output is a row of the report: page, label, then both values.
    for (const QString& line : lines) {
        const qsizetype comma = line.indexOf(QStringLiteral(", "));
        const qsizetype colon = line.lastIndexOf(QStringLiteral(": "), line.indexOf(QStringLiteral(" → ")));
        ASSERT_TRUE(comma > 0 && colon > comma) << line.toStdString();
        const QString row = line.left(comma) + QLatin1Char(' ') + line.mid(comma + 2, colon - comma - 2) +
                            QLatin1Char(' ') +
                            line.mid(colon + 2).replace(QStringLiteral(" → "), QStringLiteral(" "));
        EXPECT_TRUE(facts.text.contains(test::Normalized(row))) << row.toStdString();
    }

    const QString html = dir.filePath(QStringLiteral("same.html"));
    const CliRun same = Cli({QStringLiteral("diff"), a, a, QStringLiteral("--report"), html});
    EXPECT_EQ(same.status, 0) << same.err.toStdString();
    EXPECT_TRUE(same.out.isEmpty());
    const test::HtmlFacts read = test::ReadHtml(ReadAll(html));
    ASSERT_EQ(read.error, QString());
    EXPECT_TRUE(read.text.contains(QStringLiteral("Различий нет")));

    // A report that cannot be written fails the command after its output.
    const CliRun refused = Cli({QStringLiteral("diff"), QStringLiteral("--report"),
                                dir.filePath(QStringLiteral("нет/changes.pdf")), a, b});
    EXPECT_EQ(refused.status, 3);
    EXPECT_EQ(refused.out, differ.out);
    EXPECT_EQ(
        Cli({QStringLiteral("diff"), QStringLiteral("--report"), dir.filePath(QStringLiteral("c.odt")), a, b})
            .status,
        2);
}

} // namespace
} // namespace orv
