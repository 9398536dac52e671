#include "pg_server.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVersionNumber>

#include <atomic>
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
