// File → "Отчёт...": the preview opens on the configuration in the window, takes the site and
// installer, saves both formats and prints, and keeps the fields for the next time.
#include "support/report_reading.h"
#include "window_fixture.h"

#include "ui/model_bridge.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>

using namespace orv;
using namespace orv::test;

namespace {

class ReportPreview : public WindowTest {
protected:
    QString Path(const QString& name) const { return files.filePath(name); }
    QTemporaryDir files;
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST_F(ReportPreview, SavesPdfAndHtmlPrintsAndKeepsTheFields) {
    auto* action = Find<QAction>(QStringLiteral("FileReport"));
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), QStringLiteral("Отчёт..."));
    action->trigger(); // no configuration yet: nothing to report
    EXPECT_EQ(dialogs.execs, 0);

    ChooseFromMenu(15);
    const QString printed = Path(QStringLiteral("printed.pdf"));
    dialogs.fileNames = {Path(QStringLiteral("site")), Path(QStringLiteral("site.html"))};
    dialogs.dialogSteps.push_back([&](QDialog& preview) {
        EXPECT_EQ(preview.windowTitle(), QStringLiteral("Отчёт"));
        auto* pages = preview.findChild<QPrintPreviewWidget*>(QStringLiteral("ReportPreview"));
        ASSERT_NE(pages, nullptr);
        EXPECT_GE(pages->pageCount(), 2);
        auto* site = preview.findChild<QLineEdit*>(QStringLiteral("edtSite"));
        auto* installer = preview.findChild<QLineEdit*>(QStringLiteral("edtInstaller"));
        ASSERT_TRUE(site && installer);
        EXPECT_TRUE(site->text().isEmpty());
        site->insert(QStringLiteral("Склад №3")); // as typed: QTest types Latin-1 only
        installer->insert(QStringLiteral("Петров"));
        for (const char* name : {"btnSavePdf", "btnSaveHtml"}) {
            auto* button = preview.findChild<QPushButton*>(QString::fromLatin1(name));
            ASSERT_NE(button, nullptr) << name;
            QTest::mouseClick(button, Qt::LeftButton);
        }
        // The print dialog chosen as a user would, printing to a file.
        dialogs.dialogSteps.push_back([&](QDialog& dialog) {
            auto* print = qobject_cast<QPrintDialog*>(&dialog);
            ASSERT_NE(print, nullptr);
            print->printer()->setOutputFormat(QPrinter::PdfFormat);
            print->printer()->setOutputFileName(printed);
            dialog.setResult(QDialog::Accepted);
        });
        QTest::mouseClick(preview.findChild<QPushButton*>(QStringLiteral("btnPrint")), Qt::LeftButton);
        EXPECT_EQ(preview.findChild<QLabel*>(QStringLiteral("lblReportStatus"))->text(),
                  QStringLiteral("Отчёт отправлен на печать"));
    });
    action->trigger();
    EXPECT_TRUE(dialogs.dialogSteps.empty());
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.shown.front().text.toStdString();
    ASSERT_EQ(dialogs.fileDialogs.size(), 2u);
    EXPECT_EQ(dialogs.fileDialogs[0].filter, QStringLiteral("Документ PDF (*.pdf)"));

    // The PDF got its suffix; each holds the fields and the retranslator's pages.
    const QString pdf = Path(QStringLiteral("site.pdf"));
    for (const QString& path : {pdf, printed}) {
        const PdfFacts facts = ReadPdf(path);
        ASSERT_EQ(facts.error, QString()) << path.toStdString();
        EXPECT_GE(facts.pages, 2);
        for (const char* run : {"Объект Склад №3", "Монтажник Петров", "RET_32", "Объект 32"}) {
            EXPECT_TRUE(facts.text.contains(QString::fromUtf8(run))) << path.toStdString() << ": " << run;
        }
    }
    const HtmlFacts html = ReadHtml(ReadAll(Path(QStringLiteral("site.html"))));
    ASSERT_EQ(html.error, QString());
    EXPECT_TRUE(HasRow(html, {QStringLiteral("Объект"), QStringLiteral("Склад №3")}));
    EXPECT_TRUE(html.text.contains(QStringLiteral("Объект 32")));

    // Next time the fields hold what was typed: the site for this configuration, the installer for
    // every report.
    EXPECT_EQ(window->Document().Site(), QStringLiteral("Склад №3"));
    EXPECT_EQ(settings->Stored(QStringLiteral("reportsite")), QString());
    dialogs.dialogSteps.push_back([](QDialog& preview) {
        EXPECT_EQ(preview.findChild<QLineEdit*>(QStringLiteral("edtSite"))->text(),
                  QStringLiteral("Склад №3"));
        EXPECT_EQ(preview.findChild<QLineEdit*>(QStringLiteral("edtInstaller"))->text(),
                  QStringLiteral("Петров"));
    });
    action->trigger();
    EXPECT_TRUE(dialogs.dialogSteps.empty());
}

// The compare dialog's "Отчёт...": the change report, the screen's value against the file's.
TEST_F(ReportPreview, CompareWithAFileGivesTheChangeReport) {
    ChooseFromMenu(10);
    const QString before = Path(QStringLiteral("before.cf8"));
    dialogs.fileNames.push_back(before);
    Find<QAction>(QStringLiteral("FileSaveAs"))->trigger();
    Click(Find<QCheckBox>(QStringLiteral("chkUseBuzzer")));
    const Setting now = *window->ScreenSettings().Find("buzzer");
    const auto saved = ReadFileSettings(before);
    ASSERT_TRUE(saved);
    const Setting then = *saved->Find("buzzer");
    ASSERT_NE(now.value, then.value);

    const QString changes = Path(QStringLiteral("changes.html"));
    dialogs.fileNames.push_back(before);
    dialogs.dialogSteps.push_back([&](QDialog& compare) {
        auto* report = compare.findChild<QPushButton*>(QStringLiteral("btnReport"));
        ASSERT_NE(report, nullptr);
        EXPECT_TRUE(report->isVisibleTo(&compare));
        dialogs.fileNames.push_back(changes);
        dialogs.dialogSteps.push_back([](QDialog& preview) {
            QTest::mouseClick(preview.findChild<QPushButton*>(QStringLiteral("btnSaveHtml")), Qt::LeftButton);
        });
        QTest::mouseClick(report, Qt::LeftButton);
    });
    Find<QAction>(QStringLiteral("FileCompare"))->trigger();
    EXPECT_TRUE(dialogs.dialogSteps.empty());
    EXPECT_EQ(dialogs.execs, 2);
    const HtmlFacts html = ReadHtml(ReadAll(changes));
    ASSERT_EQ(html.error, QString());
    EXPECT_TRUE(HasRow(html, {QStringLiteral("Раздел"), QStringLiteral("Параметр"), QStringLiteral("Сейчас"),
                              QStringLiteral("В файле")}));
    EXPECT_TRUE(HasRow(html, {QString::fromStdString(now.page), QString::fromStdString(now.label),
                              QString::fromStdString(now.value), QString::fromStdString(then.value)}));
}

} // namespace
