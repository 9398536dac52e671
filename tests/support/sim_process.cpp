#include "sim_process.h"

#include "sim/hex.h"
#include "sim/state_file.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

#include <csignal>
#include <sys/types.h>

namespace orv::test {

void EnsureQtApp() {
    // Reads and writes of the tests go to a journal of this process, never to the user's.
    static QTemporaryDir journalDir;
    if (qEnvironmentVariableIsEmpty("ORVANTA_JOURNAL") && journalDir.isValid()) {
        qputenv("ORVANTA_JOURNAL", QFile::encodeName(journalDir.filePath(QStringLiteral("journal.sqlite"))));
    }
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "orvanta-tests";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
    }
}

SimProcess::SimProcess(QStringList args) : SimProcess(std::move(args), Options{}) {}

SimProcess::SimProcess(QStringList args, Options options) : args_(std::move(args)), options_(options) {
    process_.setProgram(Executable());
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

SimProcess::~SimProcess() {
    Stop();
}

QString SimProcess::Executable() {
    return QStringLiteral(ORVANTA_SIM_PATH);
}

QString SimProcess::LogPath() const {
    return dir_.filePath(QStringLiteral("frames.log"));
}

QString SimProcess::DumpPath() const {
    return dir_.filePath(QStringLiteral("state.dump"));
}

bool SimProcess::Start() {
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary directory");
        return false;
    }
    QStringList args = args_;
    if (options_.log) {
        args << QStringLiteral("--log") << LogPath();
    }
    if (options_.dump) {
        args << QStringLiteral("--dump") << DumpPath();
    }
    process_.setArguments(args);
    process_.start(QIODevice::ReadOnly);
    if (!process_.waitForStarted(static_cast<int>(options_.startTimeout.count()))) {
        error_ = QStringLiteral("orvanta-sim did not start: ") + process_.errorString();
        return false;
    }
    pid_ = process_.processId();
    QDeadlineTimer deadline(options_.startTimeout);
    while (!process_.canReadLine()) {
        if (process_.state() != QProcess::Running || deadline.hasExpired()) {
            error_ = QStringLiteral("orvanta-sim gave no terminal path");
            Stop();
            return false;
        }
        process_.waitForReadyRead(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1)));
    }
    portPath_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    if (portPath_.isEmpty()) {
        error_ = QStringLiteral("orvanta-sim gave an empty terminal path");
        Stop();
        return false;
    }
    return true;
}

bool SimProcess::Running() const {
    return process_.state() != QProcess::NotRunning;
}

bool SimProcess::Stop() {
    if (process_.state() == QProcess::NotRunning) {
        return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }
    if (pid_ > 0) {
        ::kill(static_cast<pid_t>(pid_), SIGTERM);
    }
    if (!process_.waitForFinished(static_cast<int>(options_.stopTimeout.count()))) {
        process_.kill();
        process_.waitForFinished(-1);
        return false;
    }
    return process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}

namespace {

QList<QByteArray> LogLines(const QString& path) {
    QList<QByteArray> lines;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!file.atEnd()) {
            const QByteArray line = file.readLine().trimmed();
            if (!line.isEmpty()) {
                lines.push_back(line);
            }
        }
    }
    return lines;
}

} // namespace

std::vector<SimProcess::Arrival> SimProcess::LoggedArrivals() const {
    std::vector<Arrival> arrivals;
    for (const QByteArray& line : LogLines(LogPath())) {
        const QList<QByteArray> fields = line.split(' ');
        auto bytes = sim::FromHex(fields.front().toStdString());
        if (!bytes) {
            continue;
        }
        Arrival a{std::move(*bytes)};
        for (const QByteArray& field : fields.mid(1)) {
            if (field.startsWith("at=")) {
                a.atMs = field.mid(3).toDouble();
            } else if (field.startsWith("quiet=")) {
                a.quietMs = field.mid(6).toDouble();
            }
        }
        arrivals.push_back(std::move(a));
    }
    return arrivals;
}

std::vector<std::vector<Byte>> SimProcess::LoggedFrames() const {
    std::vector<std::vector<Byte>> frames;
    for (auto& a : LoggedArrivals()) {
        frames.push_back(std::move(a.frame));
    }
    return frames;
}

QStringList SimProcess::IgnoredLines() const {
    QStringList ignored;
    for (const QByteArray& line : LogLines(LogPath())) {
        if (line.startsWith("ignored ")) {
            ignored << QString::fromLatin1(line);
        }
    }
    return ignored;
}

std::optional<sim::TPanelState> SimProcess::Dump() const {
    return sim::ReadStateFile(DumpPath().toStdString());
}

} // namespace orv::test
