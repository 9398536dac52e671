#pragma once

// The window against the simulated panel over a pseudo-terminal: the real worker and port.

#include "window_fixture.h"

#include "support/sim_process.h"
#include "ui/link_bridge.h"

#include <QLineEdit>
#include <QPushButton>

#include <memory>
#include <vector>

namespace orv::test {

class WindowWithPanel : public WindowTest {
protected:
    // Starts the simulator and points the port list at it.
    void StartPanel(QStringList args) {
        sim = std::make_unique<SimProcess>(std::move(args));
        ASSERT_TRUE(sim->Start()) << sim->Error().toStdString();
        PointAt(*sim);
        // Every status text with the state of the controls at that moment.
        QObject::connect(window.get(), &TFormMain::statusChanged, window.get(), [this](const QString& text) {
            seen.push_back({text, Find<QPushButton>(QStringLiteral("ButtonRead"))->isEnabled()});
        });
    }

    // The port list names the simulator's terminal.
    void PointAt(const SimProcess& panel) {
        auto* ports = Find<QComboBox>(QStringLiteral("cbbPorts"));
        TypeAndLeave(ports->lineEdit(), panel.PortPath());
        ASSERT_EQ(window->Link().PortName(), panel.PortPath());
    }

    // Presses the button and waits for the transaction's last status text.
    void RunAndWait(const char* button) {
        seen.clear();
        QTest::mouseClick(Find<QPushButton>(QString::fromLatin1(button)), Qt::LeftButton);
        EXPECT_FALSE(Find<QPushButton>(QStringLiteral("ButtonRead"))->isEnabled());
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->Link().Busy(); }, 30'000));
    }

    void TearDown() override {
        WindowTest::TearDown();
        if (sim) {
            sim->Stop();
        }
    }

    struct Seen {
        QString text;
        bool enabled;
    };
    std::vector<Seen> seen;
    std::unique_ptr<SimProcess> sim;
};

} // namespace orv::test
