#include "pgpass.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

namespace orv::journal {

namespace {

// A field as libpq reads it: a colon or a backslash is escaped with a backslash.
QString Escaped(const QString& field) {
    QString escaped;
    for (const QChar c : field) {
        if (c == u':' || c == u'\\') {
            escaped += u'\\';
        }
        escaped += c;
    }
    return escaped;
}

// The first four fields of a line (host, port, database, user), unescaped; fewer for a line
// that is not one of the file's entries.
QStringList Key(const QString& line) {
    QStringList fields;
    QString field;
    for (qsizetype i = 0; i < line.size() && fields.size() < 4; ++i) {
        if (line[i] == u'\\' && i + 1 < line.size()) {
            field += line[++i];
        } else if (line[i] == u':') {
            fields << field;
            field.clear();
        } else {
            field += line[i];
        }
    }
    return fields;
}

} // namespace

QString PasswordFilePath() {
    const QString named = qEnvironmentVariable("PGPASSFILE");
    if (!named.isEmpty()) {
        return named;
    }
#ifdef Q_OS_WIN
    return qEnvironmentVariable("APPDATA") + QStringLiteral("/postgresql/pgpass.conf");
#else
    return QDir::homePath() + QStringLiteral("/.pgpass");
#endif
}

bool StorePassword(const TServerSettings& server, const QString& password, QString& why) {
    const QString path = PasswordFilePath();
    const QStringList key{server.host, QString::number(server.port), server.database, server.user};
    QStringList lines;
    QFile old(path);
    if (old.exists()) {
        if (!old.open(QIODevice::ReadOnly)) {
            why = QStringLiteral("Файл паролей %1 нельзя прочитать: %2")
                      .arg(QDir::toNativeSeparators(path), old.errorString());
            return false;
        }
        lines = QString::fromUtf8(old.readAll()).split(u'\n');
        if (!lines.isEmpty() && lines.back().isEmpty()) {
            lines.removeLast();
        }
    }
    const QString entry =
        QStringList{Escaped(key[0]), key[1], Escaped(key[2]), Escaped(key[3]), Escaped(password)}.join(u':');
    // The login's line takes the place of its first line; a repeated one goes.
    QStringList kept;
    bool replaced = false;
    for (const QString& line : lines) {
        if (Key(line) != key) {
            kept << line;
        } else if (!replaced) {
            kept << entry;
            replaced = true;
        }
    }
    if (!replaced) {
        kept << entry;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    // Readable by its owner alone before a byte of it is written.
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                         file.write((kept.join(u'\n') + u'\n').toUtf8()) >= 0 && file.commit();
    if (!written) {
        why = QStringLiteral("Файл паролей %1 не записан: %2")
                  .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}

} // namespace orv::journal
