#include "pg_server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVersionNumber>

#include <atomic>
#include <csignal>
#include <cstdlib>

#include <pwd.h>
#include <unistd.h>

namespace orv::test {

QString PgServer::BinDir() {
    QString best;
    QVersionNumber bestVersion;
    const QDir root(QStringLiteral("/usr/lib/postgresql"));
    for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString bin = root.filePath(name + QStringLiteral("/bin"));
        const QVersionNumber version = QVersionNumber::fromString(name);
        if (QFile::exists(bin + QStringLiteral("/initdb")) &&
            QFile::exists(bin + QStringLiteral("/pg_ctl")) && (best.isEmpty() || version > bestVersion)) {
            best = bin;
            bestVersion = version;
        }
    }
    return best;
}

PgServer::PgServer() : PgServer(Options{}) {}

PgServer::PgServer(Options options) : options_(options) {
    const QString bin = BinDir();
    if (bin.isEmpty()) {
        error_ = QStringLiteral("no PostgreSQL server programs in /usr/lib/postgresql/*/bin");
        return;
    }
    QByteArray pattern = QDir::tempPath().toLocal8Bit() + "/orvanta-pg-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        error_ = QStringLiteral("no temporary folder");
        return;
    }
    dir_ = QString::fromLocal8Bit(pattern);
    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        if (nobody == nullptr) {
            error_ = QStringLiteral("running as root and there is no user nobody to run the server as");
            return;
        }
        userId_ = static_cast<int>(nobody->pw_uid);
        groupId_ = static_cast<int>(nobody->pw_gid);
        if (::chown(pattern.constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
            error_ = QStringLiteral("cannot hand the server's folder to nobody");
            return;
        }
    }
    const QString data = dir_ + QStringLiteral("/data");
    // A cluster is made once per machine and copied for every server after: initdb takes seconds.
    const QString ready =
        QDir::tempPath() +
        QStringLiteral("/orvanta-pg-template-%1-%2").arg(QFileInfo(bin).dir().dirName()).arg(::geteuid());
    if (QFileInfo::exists(ready + QStringLiteral("/data/PG_VERSION")) &&
        QProcess::execute(QStringLiteral("cp"),
                          {QStringLiteral("-a"), ready + QStringLiteral("/data"), data}) == 0) {
        Start();
        return;
    }
    if (!Run({bin + QStringLiteral("/initdb"), QStringLiteral("-D"), data, QStringLiteral("-U"), Superuser(),
              QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
              QStringLiteral("--locale=C"), QStringLiteral("--no-sync")})) {
        return;
    }
    // The password user first: the first matching line decides.
    QFile hba(data + QStringLiteral("/pg_hba.conf"));
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        hba.write(QStringLiteral("local all %1 scram-sha-256\nlocal all all trust\n")
                      .arg(PasswordUser())
                      .toUtf8()) < 0) {
        error_ = QStringLiteral("cannot write pg_hba.conf");
        return;
    }
    hba.close();
    if (!Start()) {
        return;
    }
    Exec(QStringLiteral("postgres"),
         QStringLiteral("CREATE ROLE %1 LOGIN SUPERUSER PASSWORD 'secret'").arg(PasswordUser()));
    // Kept for the next server: copied stopped, then put in place by a rename, which another test
    // making its own at the same time either wins or loses whole.
    QByteArray staging = ready.toLocal8Bit() + ".XXXXXX";
    if (Ok() && Stop() && ::mkdtemp(staging.data()) != nullptr) {
        const QString folder = QString::fromLocal8Bit(staging);
        if (QProcess::execute(QStringLiteral("cp"),
                              {QStringLiteral("-a"), data, folder + QStringLiteral("/data")}) != 0 ||
            ::rename(staging.constData(), ready.toLocal8Bit().constData()) != 0) {
            QDir(folder).removeRecursively();
        }
    }
    if (Ok()) {
        Start();
    }
}

PgServer::~PgServer() {
    if (running_) {
        Stop();
    }
    if (!dir_.isEmpty()) {
        QDir(dir_).removeRecursively();
    }
}

bool PgServer::Run(const QStringList& command) {
    QStringList args = command;
    QString program = args.takeFirst();
    if (userId_ >= 0) {
        args =
            QStringList{QStringLiteral("--reuid=%1").arg(userId_), QStringLiteral("--regid=%1").arg(groupId_),
                        QStringLiteral("--clear-groups"), program} +
            args;
        program = QStringLiteral("setpriv");
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(dir_);
    process.start(program, args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        error_ = QStringLiteral("%1 failed: %2")
                     .arg(command.join(u' '), QString::fromLocal8Bit(process.readAll()));
        return false;
    }
    return true;
}

bool PgServer::Start() {
    if (running_) {
        return true;
    }
    QString settings =
        QStringLiteral("-k %1 -c listen_addresses='' -p %2 -c max_connections=40").arg(dir_).arg(Port());
    if (!options_.durable) {
        settings += QStringLiteral(" -c fsync=off -c synchronous_commit=off -c full_page_writes=off");
    }
    running_ = Run({BinDir() + QStringLiteral("/pg_ctl"), QStringLiteral("-D"),
                    dir_ + QStringLiteral("/data"), QStringLiteral("-l"), dir_ + QStringLiteral("/log"),
                    QStringLiteral("-w"), QStringLiteral("-o"), settings, QStringLiteral("start")});
    return running_;
}

bool PgServer::Stop() {
    // fast: the clients are cut off at once, their transactions rolled back.
    const bool stopped =
        Run({BinDir() + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), dir_ + QStringLiteral("/data"),
             QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")});
    running_ = running_ && !stopped;
    return stopped;
}

bool PgServer::Signal(int signal) {
    // The postmaster's id heads postmaster.pid; its children are found by their parent.
    QFile pidFile(dir_ + QStringLiteral("/data/postmaster.pid"));
    if (!running_ || !pidFile.open(QIODevice::ReadOnly)) {
        error_ = QStringLiteral("the server is not running");
        return false;
    }
    const QByteArray postmaster = pidFile.readLine().trimmed();
    QList<pid_t> pids{static_cast<pid_t>(postmaster.toInt())};
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (entry.toInt() <= 0 || !stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        // pid (comm) state ppid ...: the name may hold spaces, so the fields after its ')'.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1] == postmaster) {
            pids << static_cast<pid_t>(entry.toInt());
        }
    }
    for (const pid_t pid : pids) {
        ::kill(pid, signal);
    }
    return true;
}

bool PgServer::Stall() {
    return Signal(SIGSTOP);
}

bool PgServer::Resume() {
    return Signal(SIGCONT);
}

bool PgServer::DropDatabase(const QString& name) {
    Exec(QStringLiteral("postgres"), QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
    return Ok();
}

bool PgServer::Psql(const QString& script, QString* output) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(BinDir() + QStringLiteral("/psql"),
                  {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                   QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), dir_, QStringLiteral("-p"),
                   QString::number(Port()), QStringLiteral("-U"), Superuser(), QStringLiteral("-d"),
                   QStringLiteral("postgres"), QStringLiteral("-f"), QStringLiteral("-")});
    process.write(script.toUtf8());
    process.closeWriteChannel();
    const bool ok = process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
                    process.exitCode() == 0;
    if (output != nullptr) {
        *output = QString::fromLocal8Bit(process.readAll());
    }
    return ok;
}

bool PgServer::CreateDatabase(const QString& name) {
    Exec(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE %1").arg(name));
    return Ok();
}

QVariant PgServer::Exec(const QString& database, const QString& sql) {
    static std::atomic<int> next{0};
    const QString name = QStringLiteral("pg-admin-%1").arg(next++);
    QVariant result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(dir_);
        db.setPort(Port());
        db.setDatabaseName(database);
        db.setUserName(Superuser());
        if (!db.open()) {
            error_ = db.lastError().text();
        } else {
            QSqlQuery query(db);
            if (!query.exec(sql)) {
                error_ = sql + QStringLiteral(": ") + query.lastError().text();
            } else if (query.next()) {
                result = query.value(0);
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

} // namespace orv::test
