#include "support/case_names.h"
#include "window_fixture.h"

#include "device/catalogue.h"
#include "link/data_module.h"
#include "ui/device_page.h"
#include "ui/link_bridge.h"
#include "ui/page_outputs.h"
#include "ui/settings.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

using namespace orv;
using namespace orv::test;

namespace {

using orv::test::NamedBy;
using orv::test::NumberedBy;

QStringList VisiblePages(QTabWidget* tabs) {
    QStringList names;
    for (int i = 0; i < tabs->count(); ++i) {
        if (tabs->isTabVisible(i)) {
            names << tabs->widget(i)->objectName();
        }
    }
    return names;
}

// ---------------------------------------------------------------------------------------------
// Start-up and stored settings.

TEST(StartUp, FirstStartShowsAndStoresTheDefaultPort) {
    SettingsSandbox settings;
    TProgramState state;
    TScriptedDialogs dialogs;
    TmodData data;
    TFormMain window(state, dialogs, data);
    auto* ports = window.findChild<QComboBox*>(QStringLiteral("cbbPorts"));
    ASSERT_NE(ports, nullptr);
    EXPECT_EQ(ports->currentText(), DefaultPortName());
    EXPECT_EQ(settings.Stored(QStringLiteral("comportname")), DefaultPortName());
    EXPECT_EQ(window.Link().PortName(), DefaultPortName());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Программатор ППКОП"));
}

TEST(StartUp, StoredTextThatNamesNoPortIsShownButNotUsed) {
    SettingsSandbox settings;
    settings.Store(QStringLiteral("comportname"), QStringLiteral("мой адаптер"));
    TProgramState state;
    TScriptedDialogs dialogs;
    TmodData data;
    TFormMain window(state, dialogs, data);
    EXPECT_EQ(window.findChild<QComboBox*>(QStringLiteral("cbbPorts"))->currentText(),
              QStringLiteral("мой адаптер"));
    EXPECT_TRUE(window.Link().PortName().isEmpty());
    EXPECT_EQ(settings.Stored(QStringLiteral("comportname")), QStringLiteral("мой адаптер"));
}

TEST(StartUp, EmptyStoredValueIsReplacedByTheDefault) {
    SettingsSandbox settings;
    settings.Store(QStringLiteral("devicetype"), QString());
    EXPECT_EQ(ReadSetting(QStringLiteral("devicetype"), QStringLiteral("0")), QStringLiteral("0"));
    EXPECT_EQ(settings.Stored(QStringLiteral("devicetype")), QStringLiteral("0"));
    settings.Store(QStringLiteral("devicetype"), QStringLiteral("13"));
    EXPECT_EQ(ReadSetting(QStringLiteral("devicetype"), QStringLiteral("0")), QStringLiteral("13"));
}

TEST(StartUp, PortNamingRuleOfThisPlatform) {
#ifdef Q_OS_WIN
    EXPECT_TRUE(NamesPort(QStringLiteral("COM3")));
    EXPECT_FALSE(NamesPort(QStringLiteral("ttyUSB0")));
#else
    for (const char* good :
         {"ttyS0", "ttyUSB0", "ttyACM12", "ttyAMA0", "rfcomm0", "/dev/pts/3", "/dev/ttyUSB1"}) {
        EXPECT_TRUE(NamesPort(QString::fromLatin1(good))) << good;
    }
    for (const char* bad :
         {"", "COM1", "tty", "USB0", "ttyUSB", "ttyUSB0 ", "/", "мой адаптер", "../ttyS0"}) {
        EXPECT_FALSE(NamesPort(QString::fromUtf8(bad))) << bad;
    }
#endif
}

TEST_F(WindowTest, GsmSettingsStartFromTheirDefaults) {
    EXPECT_EQ(state.GsmFrame[0], 0x7E);
    EXPECT_EQ(GetDeviceNumber(state.GsmFrame), 1);
    EXPECT_FALSE(GetSmsFlag(state.GsmFrame));
    EXPECT_FALSE(GetGprsFlag(state.GsmFrame));
}

TEST_F(WindowTest, LayoutBeforeAnyDevice) {
    // 752 x 520 below the menu bar, or what the pages need in the font of the desktop.
    EXPECT_GE(window->width(), 752);
    EXPECT_GE(window->height() - window->menuBar()->height(), 520);
    EXPECT_EQ(window->size(),
              window->minimumSize().expandedTo(QSize(752, 520 + window->menuBar()->height())));
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(Find<QLabel>(QStringLiteral("lblStart"))->isVisible());
    EXPECT_TRUE(Find<QLabel>(QStringLiteral("imgLogo"))->isVisible());
    EXPECT_FALSE(Find<QTabWidget>(QStringLiteral("PageMain"))->isVisible());
    EXPECT_FALSE(Find<QLabel>(QStringLiteral("lblDeviceName"))->isVisible());
    EXPECT_EQ(Find<QLabel>(QStringLiteral("lblStart"))->text().count(QStringLiteral("\r\n")), 9);
    EXPECT_EQ(Find<QPushButton>(QStringLiteral("BtnClose"))->text(), QStringLiteral("Выход"));
    EXPECT_EQ(Find<QPushButton>(QStringLiteral("ButtonRead"))->text(), QStringLiteral("Прочитать"));
    EXPECT_EQ(Find<QPushButton>(QStringLiteral("ButtonWrite"))->text(), QStringLiteral("Записать"));
    EXPECT_EQ(Find<QLabel>(QStringLiteral("Label1"))->text(), QStringLiteral("Порт:"));
    EXPECT_EQ(Find<QTimer>(QStringLiteral("IndTimer"))->interval(), 400);

    auto* tabs = Find<QTabWidget>(QStringLiteral("PageMain"));
    const struct {
        const char* name;
        const char* caption;
        int tag;
    } expected[] = {{"PageShlf", "Шлейфы", 1},          {"PGPeriph", "Периферия", 2},
                    {"PGOP5", "Основные настройки", 4}, {"PG_KP2", "КП2", 8},
                    {"PG_TX", "Передача", 16},          {"PGCNC", "Концентратор", 32},
                    {"PG_CNCOP5", "Концентратор", 64},  {"tsRetTk", "RET_32", 128},
                    {"tsRetShlf", "Шлейфы", 256},       {"tsOP8xCh", "Выходы", 512},
                    {"PGUpdate", "Прошивка", 0}};
    EXPECT_EQ(tabs->count(), 11);
    for (const auto& e : expected) {
        auto* page = tabs->findChild<QWidget*>(QString::fromLatin1(e.name));
        ASSERT_NE(page, nullptr) << e.name;
        const int index = tabs->indexOf(page);
        ASSERT_GE(index, 0) << e.name;
        EXPECT_EQ(tabs->tabText(index), QString::fromUtf8(e.caption));
        EXPECT_EQ(page->property("tag").toInt(), e.tag) << e.name;
    }
}

TEST_F(WindowTest, FileAndHelpMenus) {
    QMenuBar* bar = window->menuBar();
    EXPECT_EQ(bar->objectName(), QStringLiteral("MainMenu1"));
    QStringList titles;
    for (QAction* a : bar->actions()) {
        titles << a->text();
    }
    EXPECT_EQ(titles,
              (QStringList{QStringLiteral("&Файл"), QStringLiteral("П&рибор"), QStringLiteral("&Помощь")}));
    QStringList file;
    for (QAction* a : bar->actions()[0]->menu()->actions()) {
        file << (a->isSeparator() ? QStringLiteral("-")
                                  : a->text() + QLatin1Char('|') + a->shortcut().toString());
    }
    EXPECT_EQ(
        file,
        (QStringList{QStringLiteral("&Открыть...|Ctrl+O"), QStringLiteral("&Сохранить|Ctrl+S"),
                     QStringLiteral("Сохранить &как...|"), QStringLiteral("Сравнить с файлом...|"),
                     QStringLiteral("Отчёт...|"), QStringLiteral("Журнал...|"), QStringLiteral("Объекты...|"),
                     QStringLiteral("Шаблоны|"), QStringLiteral("-"), QStringLiteral("Настройки...|"),
                     QStringLiteral("-"), QStringLiteral("Настройки журнала...|"), QStringLiteral("-"),
                     QStringLiteral("Выход|")}));
    EXPECT_EQ(bar->actions()[2]->menu()->actions()[0]->text(), QStringLiteral("О программе..."));
}

// "Медленный обмен с прибором" is one setting away: taken on OK only, stored, and in force from
// the next start on.
TEST_F(WindowTest, SettingsChooseTheSlowExchange) {
    auto* action = Find<QAction>(QStringLiteral("FileSettings"));
    EXPECT_FALSE(data.SlowExchange());
    EXPECT_EQ(settings->Stored(QStringLiteral("slowexchange")), QStringLiteral("0"));
    const auto tick = [](bool ok) {
        return [ok](QDialog& d) {
            EXPECT_EQ(d.windowTitle(), QStringLiteral("Настройки"));
            auto* box = d.findChild<QCheckBox*>(QStringLiteral("chkSlowExchange"));
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->text(), QStringLiteral("Медленный обмен с прибором"));
            EXPECT_FALSE(box->isChecked());
            QTest::mouseClick(box, Qt::LeftButton);
            QTest::mouseClick(
                d.findChild<QPushButton*>(ok ? QStringLiteral("btnOK") : QStringLiteral("btnCancel")),
                Qt::LeftButton);
        };
    };
    dialogs.dialogSteps.push_back(tick(false));
    action->trigger();
    EXPECT_FALSE(data.SlowExchange());
    EXPECT_EQ(settings->Stored(QStringLiteral("slowexchange")), QStringLiteral("0"));

    dialogs.dialogSteps.push_back(tick(true));
    action->trigger();
    EXPECT_EQ(dialogs.execs, 2);
    EXPECT_TRUE(data.SlowExchange());
    EXPECT_EQ(settings->Stored(QStringLiteral("slowexchange")), QStringLiteral("1"));

    TmodData nextData;
    TFormMain next(state, dialogs, nextData);
    EXPECT_TRUE(nextData.SlowExchange());
    dialogs.dialogSteps.push_back([](QDialog& d) {
        EXPECT_TRUE(d.findChild<QCheckBox*>(QStringLiteral("chkSlowExchange"))->isChecked());
    });
    next.SettingsClick();
}

// ---------------------------------------------------------------------------------------------
// Port list.

TEST_F(WindowTest, TypedPortIsAcceptedAndStored) {
    auto* ports = Find<QComboBox>(QStringLiteral("cbbPorts"));
    TypeAndLeave(ports->lineEdit(), QStringLiteral("ttyACM3"));
    EXPECT_EQ(settings->Stored(QStringLiteral("comportname")), QStringLiteral("ttyACM3"));
    EXPECT_EQ(window->Link().PortName(), QStringLiteral("ttyACM3"));
    // Not a port by the rule: stored as shown, the port stays.
    TypeAndLeave(ports->lineEdit(), QStringLiteral("kein Port"));
    EXPECT_EQ(settings->Stored(QStringLiteral("comportname")), QStringLiteral("kein Port"));
    EXPECT_EQ(window->Link().PortName(), QStringLiteral("ttyACM3"));
}

TEST_F(WindowTest, OpeningThePortListRefillsItAndKeepsTheText) {
    auto* ports = Find<QComboBox>(QStringLiteral("cbbPorts"));
    ports->addItem(QStringLiteral("stale-entry"));
    ports->setEditText(QStringLiteral("ttyS7"));
    ports->showPopup();
    EXPECT_EQ(ports->findText(QStringLiteral("stale-entry")), -1);
    EXPECT_EQ(ports->currentText(), QStringLiteral("ttyS7"));
    ports->hidePopup();
    EXPECT_EQ(ports->count(), window->Link().DiscoverPorts().size());
}

// ---------------------------------------------------------------------------------------------
// Device menu.

TEST_F(WindowTest, DeviceMenuStructureAndCaptions) {
    auto* menu = Find<QMenu>(QStringLiteral("mnuDevice"));
    const auto actions = menu->actions();
    ASSERT_GE(actions.size(), 7);
    EXPECT_EQ(actions[0]->text(), QStringLiteral("Последний использованный"));
    EXPECT_TRUE(actions[1]->isSeparator());
    const struct {
        const char* caption;
        std::vector<int> codes;
    } groups[] = {{"ТерсАн", {8, 5, 10, 13, 11, 7, 16, 17, 18}},
                  {"Mirel", {15}},
                  {"Ирвел-ОП8", {1}},
                  {"Ирвел-ОП8C", {2, 4, 12}},
                  {"Прочее", {9, 6, 3}}};
    ASSERT_EQ(actions.size(), 2 + 5);
    for (int g = 0; g < 5; ++g) {
        QMenu* sub = actions[2 + g]->menu();
        ASSERT_NE(sub, nullptr);
        EXPECT_EQ(sub->title(), QString::fromUtf8(groups[g].caption));
        std::vector<int> codes;
        for (QAction* a : sub->actions()) {
            codes.push_back(a->data().toInt());
        }
        EXPECT_EQ(codes, groups[g].codes) << groups[g].caption;
    }
    EXPECT_EQ(MenuAction(16)->text(), QStringLiteral("Терсан 34x, Ирвел-ОП8 c 6-й версии"));
    EXPECT_EQ(MenuAction(13)->text(), QStringLiteral("Терсан 34x, Ирвел-ОП8"));
    EXPECT_EQ(MenuAction(1)->text(), QStringLiteral("Ирвел-ОП8 c 2-й версии"));
    EXPECT_EQ(MenuAction(14), nullptr);
}

TEST_F(WindowTest, ChoosingADeviceSetsItUpAndStoresTheType) {
    window->HandleResult(9, 0); // an earlier read of another panel
    ChooseFromMenu(10);
    ASSERT_TRUE(state.device);
    EXPECT_TRUE(window->StatusText().isEmpty());
    EXPECT_TRUE(Find<QLabel>(QStringLiteral("lblStatus"))->text().isEmpty());
    EXPECT_EQ(state.device->DevType, 10);
    EXPECT_EQ(settings->Stored(QStringLiteral("devicetype")), QStringLiteral("10"));
    EXPECT_EQ(Find<QLabel>(QStringLiteral("lblDeviceName"))->text(), QStringLiteral("Прибор: Терсан 34x"));
    EXPECT_TRUE(Find<QLabel>(QStringLiteral("lblDeviceName"))->isVisible());
    EXPECT_FALSE(Find<QLabel>(QStringLiteral("lblStart"))->isVisible());
    EXPECT_FALSE(Find<QLabel>(QStringLiteral("imgLogo"))->isVisible());
    EXPECT_TRUE(Find<QTabWidget>(QStringLiteral("PageMain"))->isVisible());
}

TEST_F(WindowTest, SameTypeTwiceLaysOutOnceAndRefreshesTwice) {
    int refreshes = 0;
    QObject::connect(window.get(), &TFormMain::controlsRefreshed, [&refreshes] { ++refreshes; });
    ChooseFromMenu(16);
    auto* outputs = static_cast<TPageOutputs*>(window->Page(QStringLiteral("tsOP8xCh")));
    TBoxField* grid = outputs->BoxField();
    ASSERT_NE(grid, nullptr);
    const auto first = state.device;
    // The user changes a page while on type 16; the second choice brings a fresh object.
    state.device->SetOutput(1, 0);
    dialogs.answers.push_back(MsgAnswer::No); // the change is not saved
    ChooseFromMenu(16);
    EXPECT_NE(state.device, first);
    EXPECT_EQ(refreshes, 2);
    EXPECT_EQ(outputs->BoxField(), grid);      // not laid out again
    EXPECT_TRUE(grid->Box(0, 1)->isChecked()); // refreshed from the new object's defaults
}

TEST_F(WindowTest, LastUsedWithZeroDoesNothing) {
    settings->Store(QStringLiteral("devicetype"), QStringLiteral("0"));
    ChooseFromMenu(0);
    EXPECT_FALSE(state.device);
    EXPECT_EQ(window->SetUpType(), 0);
    settings->Store(QStringLiteral("devicetype"), QStringLiteral("abc"));
    ChooseFromMenu(0);
    EXPECT_FALSE(state.device);
    settings->Store(QStringLiteral("devicetype"), QStringLiteral("14"));
    ChooseFromMenu(0);
    EXPECT_FALSE(state.device);
}

TEST_F(WindowTest, LastUsedCreatesTheStoredType) {
    settings->Store(QStringLiteral("devicetype"), QStringLiteral("7"));
    ChooseFromMenu(0);
    ASSERT_TRUE(state.device);
    EXPECT_EQ(state.device->DevType, 7);
    EXPECT_EQ(window->SetUpType(), 7);
}

// ---------------------------------------------------------------------------------------------
// Page masks and the active page.

struct MaskCase {
    int type;
    QStringList pages; // the shown pages in tab order, "Прошивка" last
    QString first;
};

void PrintTo(const MaskCase& c, std::ostream* os) {
    *os << "type " << c.type;
}

class PageMasks : public WindowTest, public ::testing::WithParamInterface<MaskCase> {};

TEST_P(PageMasks, PagesShownAndFirstPage) {
    const auto& c = GetParam();
    ChooseFromMenu(static_cast<Byte>(c.type));
    auto* tabs = Find<QTabWidget>(QStringLiteral("PageMain"));
    EXPECT_EQ(VisiblePages(tabs), c.pages);
    EXPECT_EQ(tabs->currentWidget()->objectName(), c.first);
    int mask = 0;
    for (const auto& name : c.pages) {
        mask |= tabs->findChild<QWidget*>(name)->property("tag").toInt();
    }
    EXPECT_EQ(mask, PageMask(static_cast<Byte>(c.type)));
}

const QString U = QStringLiteral("PGUpdate");
INSTANTIATE_TEST_SUITE_P(
    EveryType, PageMasks,
    ::testing::Values(
        MaskCase{1, {"PageShlf", "PGPeriph", "PG_TX", U}, "PageShlf"},
        MaskCase{2, {"PageShlf", "PGPeriph", "PG_TX", U}, "PageShlf"},
        MaskCase{4, {"PageShlf", "PGPeriph", "PG_TX", U}, "PageShlf"},
        MaskCase{10, {"PageShlf", "PGPeriph", "PG_TX", U}, "PageShlf"},
        MaskCase{12, {"PageShlf", "PGPeriph", "PG_TX", U}, "PageShlf"},
        MaskCase{13, {"PageShlf", "PGPeriph", "PG_TX", U}, "PageShlf"},
        MaskCase{16, {"PageShlf", "PGPeriph", "PG_TX", "tsOP8xCh", U}, "PageShlf"},
        MaskCase{5, {"PGOP5", "PG_TX", U}, "PGOP5"}, MaskCase{8, {"PGOP5", "PG_TX", U}, "PGOP5"},
        MaskCase{9, {"PGOP5", "PG_TX", U}, "PGOP5"}, MaskCase{6, {"PG_KP2", "PG_TX", U}, "PG_KP2"},
        MaskCase{3, {"PGCNC", "PG_TX", U}, "PGCNC"}, MaskCase{11, {"PGCNC", "PG_TX", U}, "PGCNC"},
        MaskCase{17, {"PGCNC", "PG_TX", "tsOP8xCh", U}, "PGCNC"},
        MaskCase{7, {"PG_CNCOP5", "PG_TX", U}, "PG_CNCOP5"},
        MaskCase{18, {"PG_CNCOP5", "PG_TX", "tsOP8xCh", U}, "PG_CNCOP5"},
        MaskCase{15, {"tsRetTk", "tsRetShlf", "PG_TX", U}, "tsRetTk"}),
    NamedBy([](const MaskCase& c) { return "Type" + std::to_string(c.type); }));

TEST_F(WindowTest, ActivePageRuleWhileOnZones) {
    ChooseFromMenu(1);
    auto* tabs = Find<QTabWidget>(QStringLiteral("PageMain"));
    tabs->setCurrentWidget(window->Page(QStringLiteral("PGPeriph")));
    tabs->setCurrentWidget(window->Page(QStringLiteral("PageShlf"))); // the user is on "Шлейфы"
    EXPECT_EQ(window->LastPageTag(), 1);
    ChooseFromMenu(5);
    EXPECT_EQ(VisiblePages(tabs), (QStringList{"PGOP5", "PG_TX", U}));
    EXPECT_EQ(tabs->currentWidget()->objectName(), QStringLiteral("PGOP5"));
    // Another panel of type 5 changes no page.
    tabs->setCurrentWidget(window->Page(QStringLiteral("PG_TX")));
    ChooseFromMenu(9);
    ChooseFromMenu(5);
    EXPECT_EQ(tabs->currentWidget()->objectName(), QStringLiteral("PG_TX"));
}

TEST_F(WindowTest, ActivePageRuleWhileOnTransmission) {
    ChooseFromMenu(1);
    auto* tabs = Find<QTabWidget>(QStringLiteral("PageMain"));
    tabs->setCurrentWidget(window->Page(QStringLiteral("PG_TX")));
    ChooseFromMenu(5);
    EXPECT_EQ(tabs->currentWidget()->objectName(), QStringLiteral("PG_TX"));
    // After choosing "Прошивка" the type's first page is taken.
    tabs->setCurrentWidget(window->Page(QStringLiteral("PGUpdate")));
    ChooseFromMenu(3);
    EXPECT_EQ(tabs->currentWidget()->objectName(), QStringLiteral("PGCNC"));
}

// ---------------------------------------------------------------------------------------------
// Result codes.

struct ResultCase {
    int code;
    const char* text;
    int flash; // 0 none, 1 green, 2 red
    bool enables;
};

void PrintTo(const ResultCase& c, std::ostream* os) {
    *os << "code " << c.code;
}

class ResultCodes : public WindowTest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(ResultCodes, StatusTextFlashAndControls) {
    const auto& c = GetParam();
    ChooseFromMenu(10);
    state.device->Version = 37;
    window->ControlsEnable(false);
    const QColor normal = window->StatusColor();
    window->HandleResult(c.code, 0);
    EXPECT_EQ(window->StatusText(), QString::fromUtf8(c.text));
    // The status bar shows it whole, on its one line.
    const auto* shown = Find<QLabel>(QStringLiteral("lblStatus"));
    EXPECT_EQ(shown->text(), QString::fromUtf8(c.text).replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
    EXPECT_LE(shown->fontMetrics().horizontalAdvance(shown->text()), shown->contentsRect().width());
    EXPECT_LE(shown->fontMetrics().height(), shown->contentsRect().height());
    const QColor expected = c.flash == 1 ? QColor(0, 128, 0) : c.flash == 2 ? QColor(255, 0, 0) : normal;
    EXPECT_EQ(window->StatusColor(), expected);
    EXPECT_EQ(Find<QTimer>(QStringLiteral("IndTimer"))->isActive(), c.flash != 0);
    EXPECT_EQ(Find<QPushButton>(QStringLiteral("ButtonRead"))->isEnabled(), c.enables);
    EXPECT_EQ(Find<QPushButton>(QStringLiteral("ButtonWrite"))->isEnabled(), c.enables);
    EXPECT_EQ(Find<QComboBox>(QStringLiteral("cbbPorts"))->isEnabled(), c.enables);
    EXPECT_EQ(Find<QTabWidget>(QStringLiteral("PageMain"))->isEnabled(), c.enables);
    EXPECT_EQ(Find<QMenu>(QStringLiteral("mnuDevice"))->isEnabled(), c.enables);
    // The code travels modulo 128.
    window->HandleResult(c.code + 128, 0);
    EXPECT_EQ(window->StatusText(), QString::fromUtf8(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    EveryCode, ResultCodes,
    ::testing::Values(
        ResultCase{0, "Конфигурация прочитана, версия прибора - 37", 1, true},
        ResultCase{1, "Конфигурация записана", 1, true}, ResultCase{2, "Порт открыт", 0, false},
        ResultCase{3, "Ответ прибора получен", 0, false}, ResultCase{4, "Читаем настройки GSM", 0, false},
        ResultCase{5, "Пишем настройки GSM", 0, false}, ResultCase{6, "Читаем объекты", 0, false},
        ResultCase{7, "Пишем объекты", 0, false}, ResultCase{8, "Ошибка порта", 2, true},
        ResultCase{9, "Нет связи, проверьте соединения или тип прибора", 2, true},
        ResultCase{10, "Обнаружены ошибки записи, попробуйте ещё раз", 2, true},
        ResultCase{11, "Ошибка. Неизвестное устройство\r\nПопробуйте обновить програматор", 2, true},
        ResultCase{12, "Ошибка. Прибор не поддерживается програматором", 2, true},
        ResultCase{13, "Ошибка при чтении или записи параметров GSM", 2, true},
        ResultCase{14, "Ошибка чтения-записи объектов", 2, true}),
    NamedBy([](const ResultCase& c) { return "Code" + std::to_string(c.code); }));

TEST_F(WindowTest, MenuHintsDoNotWipeTheStatus) {
    window->HandleResult(1, 0);
    QStatusTipEvent tip{QString()};
    QApplication::sendEvent(window.get(), &tip);
    EXPECT_EQ(window->StatusText(), QStringLiteral("Конфигурация записана"));
    EXPECT_EQ(Find<QLabel>(QStringLiteral("lblStatus"))->text(), QStringLiteral("Конфигурация записана"));
}

TEST_F(WindowTest, UnknownCodesAreIgnored) {
    window->HandleResult(3, 0);
    window->ControlsEnable(false);
    window->HandleResult(15, 0);
    window->HandleResult(127, 0);
    EXPECT_EQ(window->StatusText(), QStringLiteral("Ответ прибора получен"));
    EXPECT_FALSE(Find<QPushButton>(QStringLiteral("ButtonRead"))->isEnabled());
}

TEST_F(WindowTest, UnsupportedDeviceNamesItInTheBox) {
    window->HandleResult(12, 14);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, MsgKind::Information);
    EXPECT_EQ(dialogs.shown[0].text,
              QStringLiteral(
                  "Подключенный прибор:\r\nKV-310RET-32TK V1,\r\nданным программатором не поддерживается"));
    window->HandleResult(12, 77);
    EXPECT_EQ(dialogs.shown[1].text,
              QStringLiteral("Подключенный прибор:\r\n,\r\nданным программатором не поддерживается"));
}

TEST_F(WindowTest, PortErrorBoxKeepsItsText) {
    window->HandleResult(8, 0);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, MsgKind::Error);
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Ошибка открытия порта"));
    EXPECT_EQ(dialogs.shown[0].text,
              QStringLiteral(
                  "Невозможно открыть последовательный порт.\r\nВыберите другой порт и попробуйте снова"));
}

TEST_F(WindowTest, ReadResultLaysOutTheNewDevice) {
    state.device = CreateDevice(13);
    state.device->Version = 5;
    window->HandleResult(0, 0);
    EXPECT_EQ(window->SetUpType(), 13);
    EXPECT_EQ(VisiblePages(Find<QTabWidget>(QStringLiteral("PageMain"))),
              (QStringList{"PageShlf", "PGPeriph", "PG_TX", U}));
    EXPECT_EQ(window->StatusText(), QStringLiteral("Конфигурация прочитана, версия прибора - 5"));
}

TEST_F(WindowTest, FlashSequence) {
    const QColor normal = window->StatusColor();
    const QColor green(0, 128, 0);
    auto* timer = Find<QTimer>(QStringLiteral("IndTimer"));
    window->HandleResult(1, 0);
    std::vector<QColor> seen{window->StatusColor()};
    while (timer->isActive() && seen.size() < 10) {
        window->IndTimerTimer();
        seen.push_back(window->StatusColor());
    }
    EXPECT_EQ(seen, (std::vector<QColor>{green, normal, green, normal}));
    EXPECT_FALSE(timer->isActive());
    // A second flash started while one runs still ends on the normal colour.
    window->HandleResult(1, 0);
    window->IndTimerTimer();
    window->HandleResult(9, 0);
    while (timer->isActive()) {
        window->IndTimerTimer();
    }
    EXPECT_EQ(window->StatusColor(), normal);
}

// ---------------------------------------------------------------------------------------------
// Write command.

TEST_F(WindowTest, WriteWithoutDeviceDoesNothing) {
    Find<QPushButton>(QStringLiteral("ButtonWrite"))->click();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(window->StatusText().isEmpty());
}

TEST_F(WindowTest, WriteWithGsmAndNoDirectionAnsweredNoSendsNothing) {
    ChooseFromMenu(13);
    auto* tx = Find<QComboBox>(QStringLiteral("bxRTX_Type"));
    Choose(tx, 2); // GSM-ORV: a fresh directions table, every direction off
    ASSERT_TRUE(state.device->GetGsmConnected());
    dialogs.answers.push_back(MsgAnswer::No);
    QTest::mouseClick(Find<QPushButton>(QStringLiteral("ButtonWrite")), Qt::LeftButton);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, MsgKind::Warning);
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Программатор"));
    EXPECT_EQ(dialogs.shown[0].text,
              QStringLiteral("Ни одно направление не включено,\r\nсохранять настройки?"));
    EXPECT_EQ(dialogs.shown[0].buttons, MsgButtons::YesNo);
    EXPECT_TRUE(window->StatusText().isEmpty()); // nothing was sent
    EXPECT_TRUE(Find<QPushButton>(QStringLiteral("ButtonRead"))->isEnabled());
    EXPECT_TRUE(Find<QPushButton>(QStringLiteral("ButtonWrite"))->isEnabled());
}

// ---------------------------------------------------------------------------------------------
// About box.

TEST_F(WindowTest, AboutBoxFromTheVersionRecord) {
    dialogs.dialogSteps.push_back([](QDialog& box) {
        EXPECT_EQ(box.windowTitle(), QStringLiteral("О программе: Программатор ППКОП"));
        auto* product = box.findChild<QLabel*>(QStringLiteral("lblProduct"));
        ASSERT_NE(product, nullptr);
        EXPECT_EQ(product->text(), QStringLiteral("Orvanta"));
        EXPECT_TRUE(product->font().bold());
        EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("lblVersion"))->text(),
                  QStringLiteral("Версия: 4.6.4"));
        EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("lblCompany"))->text(),
                  QStringLiteral("Компания: Zelvorin"));
        EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("lblAuthor")), nullptr); // empty: left out
        auto* ok = box.findChild<QPushButton*>(QStringLiteral("btnOk"));
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), QStringLiteral("Ok"));
        EXPECT_EQ(ok->geometry().top(), box.height() - 60);
    });
    window->AboutClick();
    EXPECT_EQ(dialogs.execs, 1);
}

// ---------------------------------------------------------------------------------------------
// Qt's own texts, as the program's start-up sets them up (the tests' main runs it too).

QStringList ButtonTexts(const QWidget& parent) {
    QStringList texts;
    for (const QAbstractButton* b : parent.findChildren<QAbstractButton*>()) {
        if (!b->text().isEmpty()) {
            texts << b->text();
        }
    }
    texts.sort();
    return texts;
}

TEST(QtTexts, AreRussian) {
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel);
    box.setDetailedText(QStringLiteral("причина"));
    EXPECT_EQ(ButtonTexts(box), (QStringList{"&Да", "&Нет", "OK", "Отмена", "Показать подробности..."}));

    QLineEdit edit(QStringLiteral("текст"));
    const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
    QStringList actions;
    for (const QAction* a : menu->actions()) {
        if (!a->isSeparator()) {
            actions << a->text().section(QLatin1Char('\t'), 0, 0);
        }
    }
    EXPECT_EQ(actions, (QStringList{"&Отменить действие", "&Повторить действие", "&Вырезать", "&Копировать",
                                    "В&ставить", "Удалить", "Выделить всё"}));

    QTemporaryDir folder;
    QFile file(folder.filePath(QStringLiteral("site.cf8")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\x00\x01\x02", 3)); // of no kind the system knows
    file.close();
    const auto files =
        MakeFileDialog(nullptr, {QStringLiteral("Открыть файл конфигурации"), {}, {}, folder.path()}, false);
    files->setOption(QFileDialog::DontUseNativeDialog);
    QStringList labels;
    for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
        const auto* label = files->findChild<QLabel*>(QString::fromLatin1(name));
        ASSERT_NE(label, nullptr) << name;
        labels << label->text();
    }
    EXPECT_EQ(labels, (QStringList{"Перейти к:", "&Имя файла:", "Типы файлов:"}));
    EXPECT_EQ(ButtonTexts(*files), (QStringList{"&Открыть", "Отмена"}));
    // The kinds in its list, which Qt's own texts leave in English.
    EXPECT_EQ(files->iconProvider()->type(QFileInfo(folder.path())), QStringLiteral("Папка"));
    EXPECT_EQ(files->iconProvider()->type(QFileInfo(file)), QStringLiteral("Файл cf8"));

    // The operating system's reason for a port that cannot be opened, worded as the command-line
    // tool words it.
    TCommPortDriver port;
    port.SetPortName(QStringLiteral("/nonexistent/ttyNONE0"));
    ASSERT_FALSE(port.OpenPort());
    EXPECT_EQ(port.LastError(), QStringLiteral("Нет такого файла или папки."));
}

TEST(QtTexts, DialogCaptionsGetNothingAppended) {
    // Qt appends an application display name, where one is set, to every caption that does not
    // end with it: the dialogs' captions are to reach the title bar as they are.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
}

} // namespace
