#pragma once

#include "frame/frame.h"
#include "sim/panel.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace orv::test {

// A QCoreApplication for tests that need an event loop (created once, kept to the end).
void EnsureQtApp();

// One orvanta-sim process: started with the given arguments, its pseudo-terminal path read
// from its first line, stopped by its process id with SIGTERM and reaped. Its frame log and
// state dump go to a temporary directory of its own.
class SimProcess {
public:
    struct Options {
        bool log = true;  // --log into the temporary directory
        bool dump = true; // --dump into the temporary directory
        std::chrono::milliseconds startTimeout{10'000};
        std::chrono::milliseconds stopTimeout{10'000};
    };

    explicit SimProcess(QStringList args);
    SimProcess(QStringList args, Options options);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The simulator's path, from the build.
    static QString Executable();

    // Starts the process and waits for the path line; false (see Error) when it does not come.
    bool Start();
    // SIGTERM to the process, then waits for it; true when it ended by itself with status 0.
    bool Stop();
    bool Running() const;

    QString PortPath() const { return portPath_; }
    qint64 Pid() const { return pid_; }
    QString Error() const { return error_; }
    QString Directory() const { return dir_.path(); }
    QString LogPath() const;
    QString DumpPath() const;

    // The frames the panel received so far, as logged.
    std::vector<std::vector<Byte>> LoggedFrames() const;
    struct Arrival {
        std::vector<Byte> frame;
        double atMs = 0;                 // its first byte, from the simulator's start
        std::optional<double> quietMs{}; // since the panel's last byte, when it had sent one
    };
    std::vector<Arrival> LoggedArrivals() const;
    // The log's "ignored" lines: bytes the panel could not make out, and why.
    QStringList IgnoredLines() const;
    // The panel's state as last dumped (after its last write, or at its stop).
    std::optional<sim::TPanelState> Dump() const;

private:
    QStringList args_;
    Options options_;
    QTemporaryDir dir_;
    QProcess process_;
    QString portPath_;
    QString error_;
    qint64 pid_ = 0;
};

} // namespace orv::test
