#pragma once

// Helpers of the journal's tests: the database opened directly, past the journal's own code.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <gtest/gtest.h>

#include <atomic>

namespace orv::test {

class RawDb {
public:
    explicit RawDb(const QString& path) {
        static std::atomic<int> next{0};
        name_ = QStringLiteral("raw-%1").arg(next++);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(path);
        EXPECT_TRUE(db.open()) << db.lastError().text().toStdString();
    }
    ~RawDb() {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    void Exec(const QString& sql) {
        QSqlQuery query(QSqlDatabase::database(name_, false));
        EXPECT_TRUE(query.exec(sql)) << sql.toStdString() << ": " << query.lastError().text().toStdString();
    }
    // The first column of the first row.
    QVariant Value(const QString& sql) {
        QSqlQuery query(QSqlDatabase::database(name_, false));
        EXPECT_TRUE(query.exec(sql) && query.next())
            << sql.toStdString() << ": " << query.lastError().text().toStdString();
        return query.value(0);
    }

private:
    QString name_;
};

} // namespace orv::test
