#include "server_sql.h"

#include "schema.h"

namespace orv::journal {

namespace {

QString Quoted(const QString& name) {
    return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// A role made only where there is none, so that the script also adds the next database or person.
QString Role(const QString& name, const QString& attributes) {
    return QStringLiteral("DO $$ BEGIN\n"
                          "    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = '%1') THEN\n"
                          "        CREATE ROLE %2 %3;\n"
                          "    END IF;\n"
                          "END $$;\n")
        .arg(QString(name).replace(u'\'', QStringLiteral("''")), Quoted(name), attributes);
}

} // namespace

bool IsPlainName(const QString& name) {
    if (name.isEmpty() || name.toUtf8().size() > 63) {
        return false;
    }
    for (const QChar c : name) {
        const bool latin = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
        if (!latin && c != u'_' && c != u'-' && c != u'.' && c != u'@') {
            return false;
        }
    }
    return true;
}

QString ServerSetupSql(const TServerSetup& setup) {
    const QString installer = QString::fromLatin1(kInstallerRole);
    const QString office = QString::fromLatin1(kOfficeRole);
    const QString database = Quoted(setup.database);
    QString sql;
    sql += QStringLiteral(
               "-- Общий журнал Orvanta: база данных, группы и пользователи, таблицы журнала, права.\n"
               "-- Выполняется один раз администратором сервера PostgreSQL:\n"
               "--     sudo -u postgres psql -v ON_ERROR_STOP=1 -f orvanta-journal.sql\n"
               "-- Наладчики (группа %1) добавляют записи и читают журнал,\n"
               "-- офис (группа %2) только читает. Ничего в журнале не изменяется и не удаляется:\n"
               "-- каждая строка хранит имя пользователя сервера, который ее добавил, и никто\n"
               "-- не добавит строку от чужого имени.\n\n")
               .arg(installer, office);
    sql += Role(installer, QStringLiteral("NOLOGIN"));
    sql += Role(office, QStringLiteral("NOLOGIN"));
    if (!setup.installers.isEmpty() || !setup.office.isEmpty()) {
        sql += QStringLiteral("\n-- Пользователи. Пароль каждому задается отдельно: \\password ИМЯ\n");
    }
    for (const auto& [logins, group] :
         {std::pair{&setup.installers, installer}, std::pair{&setup.office, office}}) {
        for (const QString& login : *logins) {
            sql += Role(login, QStringLiteral("LOGIN"));
            sql += QStringLiteral("GRANT %1 TO %2;\n").arg(group, Quoted(login));
        }
    }
    sql += QStringLiteral("\nCREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0;\n"
                          "REVOKE ALL ON DATABASE %1 FROM PUBLIC;\n"
                          "GRANT CONNECT ON DATABASE %1 TO %2, %3;\n"
                          "\\connect %1\n"
                          "REVOKE CREATE ON SCHEMA public FROM PUBLIC;\n"
                          "GRANT USAGE ON SCHEMA public TO %2, %3;\n\n"
                          "BEGIN;\n")
               .arg(database, installer, office);
    for (const TMigration& migration : Migrations()) {
        sql += QStringLiteral("\n-- Версия схемы %1\n").arg(migration.version);
        for (const QString& statement : Statements(migration, kPostgres)) {
            sql += statement + QStringLiteral(";\n");
        }
    }
    sql += QStringLiteral("INSERT INTO journal_info (name, value) VALUES ('schema_version', '%1'), "
                          "('compatible_version', '%2');\n\n")
               .arg(kSchemaVersion)
               .arg(CompatibleVersion(kSchemaVersion));
    // Columns the server fills (the row's number, who inserted it, when, in which transaction)
    // are not granted, so that no login can set them.
    sql += QStringLiteral(
               "-- Права: всем читать; наладчикам добавлять, указывая только то, что приносит запись.\n"
               "GRANT SELECT ON journal_info, configs, entries, annotations TO %1, %2;\n"
               "GRANT INSERT (sha256, size, encoding, body) ON configs TO %1;\n"
               "GRANT INSERT (uuid, origin, seq, created_ms, os_user, host_name, action, port, file_path, "
               "device_type, device_name, firmware, config_sha256, site, note, site_fold, search_fold, sent) "
               "ON entries TO %1;\n"
               "GRANT INSERT (uuid, origin, seq, created_ms, os_user, host_name, entry_uuid, site, note, "
               "fields, "
               "sent) ON annotations TO %1;\n"
               "COMMIT;\n")
               .arg(installer, office);
    return sql;
}

} // namespace orv::journal
