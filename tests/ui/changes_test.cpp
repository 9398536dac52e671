// What the window knows about changes: the caption's mark, the question before an edited
// configuration is replaced, and the comparison with a file.
#include "window_fixture.h"

#include "device/catalogue.h"
#include "gsm/tx_buffers.h"
#include "ui/compare_dialog.h"
#include "ui/exp_mask_dialog.h"
#include "ui/link_bridge.h"
#include "ui/model_bridge.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>

#include <set>

using namespace orv;
using namespace orv::test;

namespace {

const QString kTitle = QStringLiteral("Программатор ППКОП");

class Changes : public WindowTest {
protected:
    QString Path(const QString& name) const { return QDir(files.path()).filePath(name); }
    void Trigger(const char* action) const {
        auto* a = window->findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_NE(a, nullptr) << action;
        a->trigger();
    }
    // A file of the type's factory configuration.
    QString WriteFile(Byte type, const QString& name) const {
        TProgramState file;
        file.device = CreateDevice(type);
        ResetGsmFrame(file.GsmFrame);
        RefreshGsmModels(file);
        const QString path = Path(name);
        EXPECT_TRUE(SaveConfigFile(file, path).isEmpty());
        return path;
    }
    // The mark follows input once the input has been handled.
    bool MarkBecomes(bool marked) const {
        return QTest::qWaitFor([&] { return window->windowTitle().startsWith(QLatin1Char('*')) == marked; },
                               2000);
    }
    QString FileValue(const QString& path, const char* key) const {
        const auto list = ReadFileSettings(path);
        const Setting* s = list ? list->Find(key) : nullptr;
        return s ? QString::fromStdString(s->value) : QStringLiteral("(none)");
    }
    QString ScreenValue(const char* key) const {
        const SettingsList list = window->ScreenSettings();
        const Setting* s = list.Find(key);
        return s ? QString::fromStdString(s->value) : QStringLiteral("(none)");
    }
    QTemporaryDir files;
};

TEST_F(Changes, EditMarksTheCaptionAndUndoingItByHandClearsIt) {
    const QString opened = WriteFile(10, QStringLiteral("site.cf8"));
    dialogs.fileNames.push_back(opened);
    Trigger("FileOpen");
    const QString caption = QDir::toNativeSeparators(opened) + QStringLiteral(" : ") + kTitle;
    ASSERT_EQ(window->windowTitle(), caption);

    auto* buzzer = Find<QCheckBox>(QStringLiteral("chkUseBuzzer"));
    // Held back by the zone page until the commit step: the mark sees the box all the same.
    auto* rearm = Find<QCheckBox>(QStringLiteral("chkShlfRearm2"));
    auto* delay = Find<QLineEdit>(QStringLiteral("edtDelayIn1"));
    const QString delayWas = delay->text();
    struct Edit {
        const char* name;
        std::function<void()> change;
        std::function<void()> undo;
    };
    const Edit edits[] = {
        {"check box", [&] { Click(buzzer); }, [&] { Click(buzzer); }},
        {"zone page box", [&] { Click(rearm); }, [&] { Click(rearm); }},
        {"typed number",
         [&] {
             Focus(delay);
             TypeAndLeave(delay, QStringLiteral("45"));
         },
         [&] { TypeAndLeave(delay, delayWas); }},
    };
    for (const Edit& e : edits) {
        SCOPED_TRACE(e.name);
        e.change();
        EXPECT_TRUE(MarkBecomes(true));
        EXPECT_EQ(window->windowTitle(), QStringLiteral("*") + caption);
        e.undo();
        EXPECT_TRUE(MarkBecomes(false));
        EXPECT_EQ(window->windowTitle(), caption);
    }
}

TEST_F(Changes, EditInADialogMarksTheCaptionOnceTheDialogIsTaken) {
    ChooseFromMenu(7);
    ASSERT_EQ(window->windowTitle(), kTitle);
    // The page takes the boxes only after the dialog has closed.
    dialogs.dialogSteps.push_back(
        [](QDialog& dialog) { static_cast<TFormExpMask&>(dialog).Box(4)->setChecked(true); });
    Click(Find<QLineEdit>(QStringLiteral("edtExtMask")));
    ASSERT_EQ(dialogs.execs, 1);
    EXPECT_TRUE(MarkBecomes(true));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("*") + kTitle);
    dialogs.dialogSteps.push_back(
        [](QDialog& dialog) { static_cast<TFormExpMask&>(dialog).Box(4)->setChecked(false); });
    Click(Find<QLineEdit>(QStringLiteral("edtExtMask")));
    EXPECT_TRUE(MarkBecomes(false));
}

// Typing marks the window at once, before the field is left; typing back what was there does not.
TEST_F(Changes, TypingMarksAtOnce) {
    ChooseFromMenu(10);
    auto* delay = Find<QLineEdit>(QStringLiteral("edtDelayIn1"));
    const QString was = delay->text();
    Focus(delay);
    QTest::keyClick(delay, Qt::Key_End);
    QTest::keyClicks(delay, QStringLiteral("7"));
    EXPECT_TRUE(MarkBecomes(true));
    EXPECT_TRUE(delay->hasFocus());
    QTest::keyClick(delay, Qt::Key_Backspace);
    EXPECT_TRUE(MarkBecomes(false));
    EXPECT_EQ(delay->text(), was);
}

// Ctrl+Tab goes round the pages the device shows, and only those.
TEST_F(Changes, CtrlTabReachesOnlyThePagesShown) {
    for (const Byte type : {Byte{16}, Byte{6}, Byte{15}}) {
        SCOPED_TRACE(int(type));
        ChooseFromMenu(type);
        auto* tabs = Find<QTabWidget>(QStringLiteral("PageMain"));
        std::set<QString> shown;
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->isTabVisible(i)) {
                shown.insert(tabs->widget(i)->objectName());
            }
        }
        std::set<QString> reached;
        for (int i = 0; i < 2 * tabs->count(); ++i) {
            QTest::keyClick(tabs, Qt::Key_Tab, Qt::ControlModifier);
            reached.insert(tabs->currentWidget()->objectName());
        }
        EXPECT_EQ(reached, shown);
    }
}

// "Сохранить как..." offers a name (the site, else the device, and the date), and the caption
// names the file saved.
TEST_F(Changes, SaveAsOffersANameAndTheCaptionNamesTheNewFile) {
    const QString opened = WriteFile(10, QStringLiteral("site.cf8"));
    dialogs.fileNames.push_back(opened);
    Trigger("FileOpen");
    const QString copy = Path(QStringLiteral("copy.cf8"));
    dialogs.fileNames.push_back(copy);
    Trigger("FileSaveAs");
    const QString offered = QFileInfo(dialogs.fileDialogs.back().directory).fileName();
    EXPECT_EQ(offered, QString::fromStdString(DeviceName(10)) + QLatin1Char(' ') +
                           QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) +
                           QStringLiteral(".cf8"));
    EXPECT_EQ(window->windowTitle(), QDir::toNativeSeparators(copy) + QStringLiteral(" : ") + kTitle);
    EXPECT_EQ(window->FileName(), copy);
}

// The report's site belongs to the configuration it reports on: typed for one, it is not carried
// onto another.
TEST_F(Changes, TheReportsSiteBelongsToTheDocument) {
    ChooseFromMenu(10);
    QString seen;
    const auto report = [&](const QString& type) {
        dialogs.dialogSteps.push_back([&, type](QDialog& preview) {
            auto* site = preview.findChild<QLineEdit*>(QStringLiteral("edtSite"));
            seen = site->text();
            if (!type.isNull()) {
                site->setText(type);
            }
        });
        Trigger("FileReport");
    };
    report(QStringLiteral("Склад №3"));
    EXPECT_EQ(seen, QString());
    report({});
    EXPECT_EQ(seen, QStringLiteral("Склад №3"));
    ChooseFromMenu(5);
    report({});
    EXPECT_EQ(seen, QString());
}

// The four actions that replace the configuration on screen.
enum class Action { Close, Open, Device, Read };

struct ActionCase {
    const char* name;
    Action action;
};

void PrintTo(const ActionCase& c, std::ostream* os) {
    *os << c.name;
}

class AskBeforeReplacing : public Changes, public ::testing::WithParamInterface<ActionCase> {
protected:
    void SetUp() override {
        Changes::SetUp();
        // A read goes nowhere: its port cannot be opened.
        TypeAndLeave(Find<QComboBox>(QStringLiteral("cbbPorts"))->lineEdit(),
                     QStringLiteral("/nonexistent/ttyNONE0"));
        other = WriteFile(5, QStringLiteral("other.cf8"));
    }

    // Runs the action; fileDialog: the open dialog is expected (and answered with the other file).
    void Run(bool fileDialog) {
        switch (GetParam().action) {
        case Action::Close:
            window->close();
            break;
        case Action::Open:
            if (fileDialog) {
                dialogs.fileNames.push_back(other);
            }
            Trigger("FileOpen");
            break;
        case Action::Device:
            ChooseFromMenu(5);
            break;
        case Action::Read:
            QTest::mouseClick(Find<QPushButton>(QStringLiteral("ButtonRead")), Qt::LeftButton);
            EXPECT_TRUE(QTest::qWaitFor([this] { return !window->Link().Busy(); }, 30'000));
            break;
        }
    }
    bool Done() const {
        switch (GetParam().action) {
        case Action::Close:
            return !window->isVisible();
        case Action::Open:
            return state.device->DevType == 5 && window->FileName() == other;
        case Action::Device:
            return state.device->DevType == 5;
        case Action::Read:
            return window->StatusText() == QStringLiteral("Ошибка порта");
        }
        return false;
    }
    void Edit() {
        Click(Find<QCheckBox>(QStringLiteral("chkUseBuzzer")));
        ASSERT_TRUE(MarkBecomes(true));
    }
    // Runs the action after an answer to the question, which must be asked once.
    void RunAnswering(MsgAnswer answer, bool fileDialog) {
        const std::size_t before = dialogs.shown.size();
        dialogs.answers.push_back(answer);
        Run(fileDialog);
        EXPECT_TRUE(dialogs.answers.empty());
        int asked = 0;
        for (std::size_t i = before; i < dialogs.shown.size(); ++i) {
            if (dialogs.shown[i].buttons == MsgButtons::YesNoCancel) {
                EXPECT_EQ(dialogs.shown[i].text, QStringLiteral("Сохранить изменения?"));
                ++asked;
            }
        }
        EXPECT_EQ(asked, 1);
    }

    QString other;
};

TEST_P(AskBeforeReplacing, CancelKeepsEverythingAndYesSavesFirst) {
    ChooseFromMenu(10);
    Edit();
    const auto device = state.device;
    const SettingsList edited = window->ScreenSettings();
    const auto expectKept = [&] {
        EXPECT_FALSE(Done());
        EXPECT_EQ(state.device, device);
        EXPECT_EQ(window->ScreenSettings(), edited);
        EXPECT_TRUE(window->FileName().isEmpty());
        EXPECT_EQ(window->windowTitle(), QStringLiteral("*") + kTitle);
        EXPECT_TRUE(window->isVisible());
    };

    RunAnswering(MsgAnswer::Cancel, false);
    expectKept();
    EXPECT_TRUE(dialogs.fileDialogs.empty());

    // Да without a file name asks for one, as "Сохранить" does; a cancelled save cancels the action.
    dialogs.fileNames.push_back(QString());
    RunAnswering(MsgAnswer::Yes, false);
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].title, QStringLiteral("Сохранить настройки прибора в файл"));
    expectKept();

    dialogs.fileNames.push_back(Path(QStringLiteral("saved")));
    RunAnswering(MsgAnswer::Yes, true);
    EXPECT_TRUE(Done());
    EXPECT_EQ(FileValue(Path(QStringLiteral("saved.cf8")), "buzzer"),
              QString::fromStdString(edited.Find("buzzer")->value));
}

TEST_P(AskBeforeReplacing, YesSavesIntoTheOpenFileAndNoGoesOnWithoutSaving) {
    const QString opened = WriteFile(10, QStringLiteral("opened.cf8"));
    const QString untouched = WriteFile(10, QStringLiteral("untouched.cf8"));
    const QString factory = FileValue(opened, "buzzer");

    for (const MsgAnswer answer : {MsgAnswer::Yes, MsgAnswer::No}) {
        SCOPED_TRACE(answer == MsgAnswer::Yes ? "Да" : "Нет");
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        dialogs.fileNames.push_back(answer == MsgAnswer::Yes ? opened : untouched);
        if (window->ChangesMarked()) {
            // A device chosen after opened.cf8 is not what that file holds: leaving it asks.
            dialogs.answers.push_back(MsgAnswer::No);
        }
        Trigger("FileOpen");
        Edit();
        const std::size_t fileDialogs = dialogs.fileDialogs.size();
        RunAnswering(answer, true);
        EXPECT_TRUE(Done());
        // No name was asked for: Да saves under the open file's name.
        EXPECT_EQ(dialogs.fileDialogs.size(), fileDialogs + (GetParam().action == Action::Open ? 1 : 0));
    }
    EXPECT_EQ(FileValue(untouched, "buzzer"), factory);
    EXPECT_NE(FileValue(opened, "buzzer"), factory);
}

TEST_P(AskBeforeReplacing, NothingAskedWithoutChanges) {
    ChooseFromMenu(10);
    Edit();
    Click(Find<QCheckBox>(QStringLiteral("chkUseBuzzer"))); // undone by hand
    ASSERT_TRUE(MarkBecomes(false));
    Run(true);
    EXPECT_TRUE(Done());
    EXPECT_TRUE(dialogs.answers.empty());
    for (const auto& shown : dialogs.shown) {
        EXPECT_NE(shown.buttons, MsgButtons::YesNoCancel) << shown.text.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Actions, AskBeforeReplacing,
                         ::testing::Values(ActionCase{"Close", Action::Close},
                                           ActionCase{"Open", Action::Open},
                                           ActionCase{"Device", Action::Device},
                                           ActionCase{"Read", Action::Read}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Changes, CompareWithAFileListsTheDifferencesByPage) {
    ChooseFromMenu(10);
    dialogs.fileNames.push_back(Path(QStringLiteral("before.cf8")));
    Trigger("FileSaveAs");
    // Two settings on "Шлейфы" (one of them held back until the commit step), one on "Периферия".
    Click(Find<QCheckBox>(QStringLiteral("chkUseBuzzer")));
    Click(Find<QCheckBox>(QStringLiteral("chkShlfRearm2")));
    auto* delay = Find<QLineEdit>(QStringLiteral("edtDelayIn1"));
    Focus(delay);
    TypeAndLeave(delay, QStringLiteral("45"));

    struct Row {
        QString page, label, now, inFile;
    };
    std::vector<Row> rows;
    QString summary;
    QStringList headers;
    int pageSpan = 0;
    const auto readTable = [&](QDialog& dialog) {
        auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("grdCompare"));
        ASSERT_NE(table, nullptr);
        summary = dialog.findChild<QLabel*>(QStringLiteral("lblCompareSummary"))->text();
        headers.clear();
        for (int c = 0; c < table->columnCount(); ++c) {
            headers << table->horizontalHeaderItem(c)->text();
        }
        pageSpan = table->rowSpan(0, 0);
        rows.clear();
        QString page;
        for (int r = 0; r < table->rowCount(); ++r) {
            if (table->item(r, 0)) {
                page = table->item(r, 0)->text();
            }
            rows.push_back(
                {page, table->item(r, 1)->text(), table->item(r, 2)->text(), table->item(r, 3)->text()});
        }
    };
    dialogs.dialogSteps.push_back(readTable);
    dialogs.fileNames.push_back(Path(QStringLiteral("before.cf8")));
    Trigger("FileCompare");
    ASSERT_EQ(dialogs.execs, 1);
    EXPECT_EQ(dialogs.fileDialogs.back().title, QStringLiteral("Сравнить с файлом"));
    EXPECT_EQ(headers, (QStringList{QStringLiteral("Раздел"), QStringLiteral("Параметр"),
                                    QStringLiteral("Сейчас"), QStringLiteral("В файле")}));
    EXPECT_EQ(summary, QStringLiteral("Различающихся параметров: 3"));
    const SettingsList screen = window->ScreenSettings();
    const auto label = [&](const char* key) { return QString::fromStdString(screen.Find(key)->label); };
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(pageSpan, 2);
    EXPECT_EQ(rows[0].page, QStringLiteral("Шлейфы"));
    EXPECT_EQ(rows[0].label, label("zones.1.entry_delay"));
    EXPECT_EQ(rows[0].now, QStringLiteral("45"));
    EXPECT_EQ(rows[0].inFile, FileValue(Path(QStringLiteral("before.cf8")), "zones.1.entry_delay"));
    EXPECT_EQ(rows[1].page, QStringLiteral("Шлейфы"));
    EXPECT_EQ(rows[1].label, label("zones.2.rearm"));
    EXPECT_EQ(rows[1].now, ScreenValue("zones.2.rearm"));
    EXPECT_NE(rows[1].now, rows[1].inFile);
    EXPECT_EQ(rows[2].page, QStringLiteral("Периферия"));
    EXPECT_EQ(rows[2].label, label("buzzer"));
    EXPECT_EQ(rows[2].now, ScreenValue("buzzer"));
    EXPECT_NE(rows[2].now, rows[2].inFile);
    // Comparing changes nothing.
    EXPECT_EQ(window->ScreenSettings(), screen);
    EXPECT_EQ(window->FileName(), Path(QStringLiteral("before.cf8")));

    // A file of another type: said plainly, and only what both types have is compared.
    dialogs.dialogSteps.push_back(readTable);
    dialogs.fileNames.push_back(WriteFile(5, QStringLiteral("five.cf8")));
    Trigger("FileCompare");
    EXPECT_TRUE(summary.startsWith(QStringLiteral("Разные типы приборов.\nСейчас: ")))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("В файле: ") + QString::fromStdString(DeviceName(5))));
    for (const Row& row : rows) {
        EXPECT_NE(row.now, QStringLiteral("(отсутствует)")) << row.label.toStdString();
        EXPECT_NE(row.inFile, QStringLiteral("(отсутствует)")) << row.label.toStdString();
    }

    // A file that cannot be read.
    dialogs.fileNames.push_back(Path(QStringLiteral("missing.cf8")));
    Trigger("FileCompare");
    EXPECT_EQ(dialogs.execs, 2);
    EXPECT_EQ(dialogs.shown.back().text, QStringLiteral("Файл поврежден или не найден"));
}

} // namespace
