#pragma once

// A PostgreSQL server of a test's own: initdb and pg_ctl of the installed server package into a
// temporary folder, reached only through a Unix socket in that folder, stopped and removed at
// the end. Run as root, the server runs as the unprivileged user nobody, as PostgreSQL demands.

#include <QString>
#include <QVariant>

namespace orv::test {

class PgServer {
public:
    // The folder of the newest installed server's programs; empty when there is none.
    static QString BinDir();

    struct Options {
        bool durable = false; // fsync as a real server does (benchmarks); tests skip it
    };
    // Creates the cluster and starts the server; Error() says what failed.
    PgServer();
    explicit PgServer(Options options);
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    bool Ok() const { return error_.isEmpty(); }
    const QString& Error() const { return error_; }

    bool Start();
    bool Stop();
    // Every process of the server stopped (SIGSTOP) and let go on: a server that keeps its
    // connections open and answers nothing.
    bool Stall();
    bool Resume();

    // Where clients connect: the socket's folder as the host, the port, the superuser.
    QString Host() const { return dir_; }
    int Port() const { return 5432; }
    static QString Superuser() { return QStringLiteral("orvanta"); }
    // The user that must give the password "secret" (all others are trusted).
    static QString PasswordUser() { return QStringLiteral("guard"); }

    // A new empty database.
    bool CreateDatabase(const QString& name);
    // The database gone, its connections cut off.
    bool DropDatabase(const QString& name);
    // A statement as the superuser; the first column of the first row, if any.
    QVariant Exec(const QString& database, const QString& sql);
    // A psql script run as the superuser, stopping at the first error; its output when it fails.
    bool Psql(const QString& script, QString* output = nullptr);

private:
    bool Run(const QStringList& command);
    bool Signal(int signal);

    Options options_;
    QString dir_;
    QString error_;
    bool running_ = false;
    int userId_ = -1; // the server's user when this process is root
    int groupId_ = -1;
};

} // namespace orv::test
