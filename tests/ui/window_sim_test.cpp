// The window against the simulated panel over a pseudo-terminal: the real worker and port.
#include "panel_fixture.h"

#include "device/catalogue.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

using namespace orv;
using namespace orv::test;

namespace {

TEST_F(WindowWithPanel, ReadLaysOutTheReportedType) {
    StartPanel({QStringLiteral("--type"), QStringLiteral("13"), QStringLiteral("--version"),
                QStringLiteral("7"), QStringLiteral("--no-pace")});
    RunAndWait("ButtonRead");
    ASSERT_FALSE(seen.empty());
    for (std::size_t i = 0; i + 1 < seen.size(); ++i) {
        EXPECT_FALSE(seen[i].enabled) << seen[i].text.toStdString(); // disabled during the transaction
    }
    EXPECT_EQ(seen.front().text, QStringLiteral("Порт открыт"));
    EXPECT_EQ(window->StatusText(), QStringLiteral("Конфигурация прочитана, версия прибора - 7"));
    EXPECT_TRUE(Find<QPushButton>(QStringLiteral("ButtonRead"))->isEnabled());
    ASSERT_TRUE(state.device);
    EXPECT_EQ(state.device->DevType, 13);
    EXPECT_EQ(window->SetUpType(), 13);
    auto* tabs = Find<QTabWidget>(QStringLiteral("PageMain"));
    EXPECT_TRUE(tabs->isVisible());
    EXPECT_EQ(tabs->currentWidget()->objectName(), QStringLiteral("PageShlf"));
    EXPECT_EQ(Find<QComboBox>(QStringLiteral("FShlfType1"))->currentText(), QStringLiteral("Дверной"));
}

TEST_F(WindowWithPanel, WriteSendsThePageEdits) {
    StartPanel({QStringLiteral("--type"), QStringLiteral("10"), QStringLiteral("--no-pace")});
    RunAndWait("ButtonRead");
    ASSERT_TRUE(state.device);
    ChooseText(Find<QComboBox>(QStringLiteral("bxReleAlarm")), QStringLiteral("Прерывисто 2 минуты"));
    dialogs.answers.push_back(MsgAnswer::Yes); // the count of changes against the read
    RunAndWait("ButtonWrite");
    EXPECT_EQ(window->StatusText(), QStringLiteral("Конфигурация записана"));
    EXPECT_TRUE(Find<QPushButton>(QStringLiteral("ButtonWrite"))->isEnabled());
    const auto dump = sim->Dump();
    ASSERT_TRUE(dump.has_value());
    const auto payload = state.device->PayloadBytes();
    EXPECT_EQ(dump->config, std::vector<Byte>(payload.begin(), payload.end()));
    EXPECT_EQ(state.device->GetParam(prmReleAlarmFire) >> 4, 4);
}

TEST_F(WindowWithPanel, UnsupportedPanelIsNamed) {
    StartPanel(
        {QStringLiteral("--fault"), QStringLiteral("unsupported-type:14"), QStringLiteral("--no-pace")});
    RunAndWait("ButtonRead");
    EXPECT_EQ(window->StatusText(), QStringLiteral("Ошибка. Прибор не поддерживается програматором"));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_TRUE(dialogs.shown[0].text.contains(QStringLiteral("KV-310RET-32TK V1")));
    EXPECT_FALSE(state.device);
    EXPECT_TRUE(Find<QPushButton>(QStringLiteral("ButtonRead"))->isEnabled());
}

TEST_F(WindowWithPanel, WindowStaysWhileATransactionRuns) {
    StartPanel({QStringLiteral("--fault"), QStringLiteral("silent")});
    QTest::mouseClick(Find<QPushButton>(QStringLiteral("ButtonRead")), Qt::LeftButton);
    ASSERT_TRUE(window->Link().Busy());
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    // A second start while one runs is refused and changes nothing.
    window->SendData(0);
    EXPECT_FALSE(Find<QPushButton>(QStringLiteral("ButtonRead"))->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->Link().Busy(); }, 30'000));
    EXPECT_EQ(window->StatusText(), QStringLiteral("Нет связи, проверьте соединения или тип прибора"));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(window->close());
}

TEST_F(WindowWithPanel, PortThatCannotBeOpenedShowsTheReason) {
    auto* ports = Find<QComboBox>(QStringLiteral("cbbPorts"));
    TypeAndLeave(ports->lineEdit(), QStringLiteral("/nonexistent/ttyNONE0"));
    seen.clear();
    QTest::mouseClick(Find<QPushButton>(QStringLiteral("ButtonRead")), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window->Link().Busy(); }, 30'000));
    EXPECT_EQ(window->StatusText(), QStringLiteral("Ошибка порта"));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].caption, QStringLiteral("Ошибка открытия порта"));
    EXPECT_FALSE(dialogs.shown[0].details.isEmpty());
    EXPECT_TRUE(Find<QPushButton>(QStringLiteral("ButtonRead"))->isEnabled());
}

TEST_F(WindowWithPanel, ReadClickedRightAfterTheLastCodeRuns) {
    auto* ports = Find<QComboBox>(QStringLiteral("cbbPorts"));
    TypeAndLeave(ports->lineEdit(), QStringLiteral("/nonexistent/ttyNONE0"));
    auto* read = Find<QPushButton>(QStringLiteral("ButtonRead"));
    int failures = 0;
    QObject::connect(window.get(), &TFormMain::statusChanged, window.get(), [&](const QString& text) {
        if (text == QStringLiteral("Ошибка порта") && ++failures == 1) {
            // Clicked at the next turn of the event loop: the worker is still winding down.
            QTimer::singleShot(0, read, [read] { QTest::mouseClick(read, Qt::LeftButton); });
        }
    });
    QTest::mouseClick(read, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return failures == 2 && !window->Link().Busy(); }, 10'000));
    EXPECT_TRUE(read->isEnabled());
    EXPECT_TRUE(Find<QComboBox>(QStringLiteral("cbbPorts"))->isEnabled());
    EXPECT_EQ(dialogs.shown.size(), 2u);
}

} // namespace
