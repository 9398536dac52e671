// Takes the README's picture of the main window: a panel read from the simulator.
// Usage: orvanta-screenshot ORVANTA-SIM OUT.png [TYPE]
#include "gsm/program_state.h"
#include "link/data_module.h"
#include "ui/application.h"
#include "ui/dialogs.h"
#include "ui/form_main.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <functional>

namespace {

bool WaitFor(const std::function<bool()>& done, int ms) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: orvanta-screenshot ORVANTA-SIM OUT.png [TYPE]\n");
        return 2;
    }
    // Settings of its own, so the user's stay untouched.
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    orv::SetUpApplication();

    const QString type = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("13");
    QProcess sim;
    sim.start(QString::fromLocal8Bit(argv[1]), {"--type", type, "--version", "6", "--no-pace"});
    if (!sim.waitForStarted(5000) || !WaitFor([&] { return sim.canReadLine(); }, 10000)) {
        std::fprintf(stderr, "orvanta-screenshot: the simulator did not start\n");
        return 1;
    }
    const QString port = QString::fromLocal8Bit(sim.readLine()).trimmed();

    orv::TmodData data;
    orv::TProgramState state;
    orv::TQtDialogs dialogs;
    orv::TFormMain window(state, dialogs, data);
    window.show();
    window.cbbPortsChange(port);
    window.SendData(0);
    auto* read = window.findChild<QPushButton*>(QStringLiteral("ButtonRead"));
    const bool done = WaitFor([&] { return state.device && read && read->isEnabled(); }, 15000);
    // Let the status bar's flash run out.
    WaitFor([] { return false; }, 1500);
    sim.terminate();
    sim.waitForFinished(5000);
    if (!done) {
        std::fprintf(stderr, "orvanta-screenshot: the read did not finish\n");
        return 1;
    }
    return window.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
