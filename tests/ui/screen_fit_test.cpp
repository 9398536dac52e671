// The report, journal and compare windows on a 1366×768 screen at 120 DPI (Qt scales it by 1.25,
// as a laptop set to 125 % is): each opens within the screen with its buttons on it, and opens
// next time at the size it was left.
#include "window_fixture.h"

#include "journal/recorder.h"
#include "ui/compare_dialog.h"
#include "ui/dialogs.h"
#include "ui/journal_dialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QDialog>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QWheelEvent>

#include <algorithm>

using namespace orv;
using namespace orv::test;

namespace {

class ScreenFit : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        recorder = std::make_unique<journal::TJournalRecorder>(
            [](const QString&) {}, files.filePath(QStringLiteral("journal.sqlite")));
        window->SetJournal(recorder.get());
    }
    void TearDown() override {
        window.reset();
        recorder.reset();
        WindowTest::TearDown();
    }

    // Shows the dialog as the user would see it and checks it against the screen.
    static void ExpectOnScreen(QDialog& dialog) {
        dialog.show();
        QCoreApplication::processEvents();
        const QRect screen = dialog.screen()->availableGeometry();
        EXPECT_TRUE(screen.contains(dialog.frameGeometry()))
            << dialog.objectName().toStdString() << " at " << dialog.frameGeometry().x() << ","
            << dialog.frameGeometry().y() << " " << dialog.width() << "x" << dialog.height();
        int buttons = 0;
        for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
            if (!button->isVisibleTo(&dialog) || qobject_cast<const QPushButton*>(button) == nullptr) {
                continue;
            }
            ++buttons;
            const QRect place(button->mapToGlobal(QPoint(0, 0)), button->size());
            EXPECT_TRUE(screen.contains(place))
                << dialog.objectName().toStdString() << ": " << button->objectName().toStdString();
        }
        EXPECT_GT(buttons, 0) << dialog.objectName().toStdString();
    }

    QString SavedFile() {
        const QString path = files.filePath(QStringLiteral("site.cf8"));
        dialogs.fileNames.push_back(path);
        Find<QAction>(QStringLiteral("FileSaveAs"))->trigger();
        return path;
    }

    QTemporaryDir files;
    std::unique_ptr<journal::TJournalRecorder> recorder;
};

TEST_F(ScreenFit, TheScreenIsTheOneAsked) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    // Qt scales a 120 DPI screen by 1.25: what the windows have is 1093×614.
    EXPECT_DOUBLE_EQ(screen->devicePixelRatio(), 1.25);
    EXPECT_EQ(screen->geometry(), QRect(0, 0, 1093, 614));
}

TEST_F(ScreenFit, ReportJournalAndCompareOpenWithinItAndKeepTheirSize) {
    ChooseFromMenu(15); // the retranslator: the longest report
    const QString file = SavedFile();
    ChooseFromMenu(16);

    struct Window {
        const char* name;
        const char* action;
        std::function<void()> before; // what the window needs first
    };
    const Window windows[] = {
        {"report", "FileReport", [] {}},
        {"journal", "FileJournal", [] {}},
        {"compare", "FileCompare", [&] { dialogs.fileNames.push_back(file); }},
    };
    for (const Window& w : windows) {
        SCOPED_TRACE(w.name);
        // First at the size it asks for, fitted; then as the user left it.
        QSize left;
        for (int time = 0; time < 2; ++time) {
            w.before();
            bool seen = false;
            dialogs.dialogSteps.push_back([&](QDialog& dialog) {
                seen = true;
                ExpectOnScreen(dialog);
                if (time == 0) {
                    dialog.resize(dialog.minimumSizeHint().expandedTo(QSize(640, 420)));
                    left = dialog.size();
                } else {
                    EXPECT_EQ(dialog.size(), left);
                }
                dialog.reject();
            });
            Find<QAction>(QString::fromLatin1(w.action))->trigger();
            EXPECT_TRUE(seen);
            EXPECT_TRUE(dialogs.dialogSteps.empty());
        }
    }
}

// The preview zooms with its buttons and with Ctrl and the wheel, and moves between pages.
TEST_F(ScreenFit, ThePreviewZoomsAndTurnsPages) {
    ChooseFromMenu(15);
    bool seen = false;
    dialogs.dialogSteps.push_back([&](QDialog& dialog) {
        seen = true;
        dialog.show();
        auto* preview = dialog.findChild<QPrintPreviewWidget*>(QStringLiteral("ReportPreview"));
        ASSERT_NE(preview, nullptr);
        ASSERT_GE(preview->pageCount(), 2);
        const auto press = [&](const char* name) {
            auto* button = dialog.findChild<QPushButton*>(QString::fromLatin1(name));
            ASSERT_NE(button, nullptr) << name;
            button->click();
        };
        qreal zoom = preview->zoomFactor();
        press("btnZoomIn");
        EXPECT_GT(preview->zoomFactor(), zoom);
        zoom = preview->zoomFactor();
        press("btnZoomOut");
        EXPECT_LT(preview->zoomFactor(), zoom);

        auto* view = preview->findChild<QGraphicsView*>();
        ASSERT_NE(view, nullptr);
        zoom = preview->zoomFactor();
        const QPointF at(10, 10);
        QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view->viewport(), &wheel);
        EXPECT_GT(preview->zoomFactor(), zoom);

        auto* page = dialog.findChild<QLabel*>(QStringLiteral("lblPage"));
        ASSERT_NE(page, nullptr);
        press("btnNextPage");
        EXPECT_EQ(preview->currentPage(), 2);
        EXPECT_EQ(page->text(), QStringLiteral("Страница 2 из %1").arg(preview->pageCount()));
        press("btnPreviousPage");
        press("btnPreviousPage"); // no page before the first
        EXPECT_EQ(preview->currentPage(), 1);
        dialog.reject();
    });
    Find<QAction>(QStringLiteral("FileReport"))->trigger();
    EXPECT_TRUE(seen);
}

// The compare table: page names whole, rows of one height however long a value.
TEST_F(ScreenFit, TheCompareTableShowsPagesWholeInEvenRows) {
    ChooseFromMenu(16);
    const QString file = SavedFile();
    ChooseFromMenu(15);
    dialogs.fileNames.push_back(file);
    bool seen = false;
    dialogs.dialogSteps.push_back([&](QDialog& dialog) {
        seen = true;
        dialog.show();
        auto* grid = dialog.findChild<QTableWidget*>(QStringLiteral("grdCompare"));
        ASSERT_NE(grid, nullptr);
        ASSERT_GT(grid->rowCount(), 3);
        for (int row = 0; row < grid->rowCount(); ++row) {
            EXPECT_EQ(grid->rowHeight(row), grid->rowHeight(0)) << row;
            if (const QTableWidgetItem* page = grid->item(row, 0)) {
                EXPECT_GE(grid->columnWidth(0), grid->fontMetrics().horizontalAdvance(page->text()))
                    << page->text().toStdString();
            }
        }
        dialog.reject();
    });
    Find<QAction>(QStringLiteral("FileCompare"))->trigger();
    EXPECT_TRUE(seen);
}

} // namespace

// The write's question with what it changes: every "old → new" on one line, the box resizable.
TEST_F(ScreenFit, TheWriteBoxShowsEveryChangeOnOneLine) {
    ChooseFromMenu(16);
    const SettingsList before = ListSettings(state);
    SettingsList after = before;
    for (std::size_t i = 0; i < 8 && i < after.items.size(); ++i) {
        after.items[i].value += " (изменено)";
    }
    after.items.back().value = QStringLiteral("%1 текст SMS, который длиннее обычного значения")
                                   .arg(QString(40, u'x'))
                                   .toStdString();
    const QString details = QString::fromStdString(ToText(Compare(before, after)));
    ASSERT_GT(details.count(QLatin1Char('\n')), 3);
    const std::unique_ptr<QDialog> box =
        MakeDetailsBox(window.get(), MsgKind::Question, QStringLiteral("Программатор"),
                       QStringLiteral("Будет изменено параметров: 5"), MsgButtons::YesNo, details);
    box->show();
    QCoreApplication::processEvents();
    auto* shown = box->findChild<QPlainTextEdit*>(QStringLiteral("edtDetails"));
    ASSERT_NE(shown, nullptr);
    int widest = 0;
    for (const QString& line : details.split(QLatin1Char('\n'))) {
        widest = std::max(widest, shown->fontMetrics().horizontalAdvance(line));
    }
    EXPECT_GE(shown->viewport()->width(),
              std::min(widest, box->screen()->availableGeometry().width() * 8 / 10));
    EXPECT_TRUE(box->screen()->availableGeometry().contains(box->frameGeometry()));
    const QSize first = box->size();
    box->resize(first + QSize(120, 80));
    EXPECT_EQ(box->size(), first + QSize(120, 80));

    QPushButton* no = nullptr;
    for (QPushButton* b : box->findChildren<QPushButton*>()) {
        if (b->text() == QStringLiteral("&Нет") || b->text() == QStringLiteral("Нет")) {
            no = b;
        }
    }
    ASSERT_NE(no, nullptr);
    no->click();
    EXPECT_EQ(DetailsBoxAnswer(box->result(), MsgButtons::YesNo), MsgAnswer::No);
}
