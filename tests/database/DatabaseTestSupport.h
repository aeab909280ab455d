// What the database tests share: connections of their own, SQLite files made from statements,
// and the private PostgreSQL server that scripts/test starts.
#pragma once

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <vector>

// Texts in failure messages as texts rather than as arrays of code units.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace databasetest {

// A Qt SQL connection of the test's own, under a name no other connection uses, removed with
// the object; queries on it end before it does (Qt warns of a connection removed while in use).
class TestConnection {
public:
    explicit TestConnection(const QString& driver)
        : name_(QStringLiteral("database-test-%1").arg(++count_)) {
        QSqlDatabase::addDatabase(driver, name_);
    }
    ~TestConnection() {
        Db().close();
        QSqlDatabase::removeDatabase(name_);
    }
    TestConnection(const TestConnection&) = delete;
    TestConnection& operator=(const TestConnection&) = delete;

    QSqlDatabase Db() const { return QSqlDatabase::database(name_, false); }
    // Runs the statements in order; the error of the first that fails, else empty.
    QString Exec(const QStringList& statements) const {
        QSqlQuery query(Db());
        for (const QString& statement : statements)
            if (!query.exec(statement))
                return statement + QStringLiteral(": ") + query.lastError().text();
        return QString();
    }
    // The rows of a query as texts; a failing query is a test failure and gives no rows.
    std::vector<QStringList> Rows(const QString& sql) const {
        std::vector<QStringList> rows;
        QSqlQuery query(Db());
        if (!query.exec(sql)) {
            ADD_FAILURE() << sql.toStdString() << ": " << query.lastError().text().toStdString();
            return rows;
        }
        while (query.next()) {
            QStringList row;
            for (int c = 0; c < query.record().count(); ++c)
                row << query.value(c).toString();
            rows.push_back(row);
        }
        return rows;
    }

private:
    static inline int count_ = 0;
    QString name_;
};

// Makes the SQLite file at path with the statements run in one transaction; the error, or empty.
inline QString MakeSqliteFile(const QString& path, const QStringList& statements) {
    TestConnection sqlite(QStringLiteral("QSQLITE"));
    QSqlDatabase db = sqlite.Db();
    db.setDatabaseName(path);
    if (!db.open())
        return path + QStringLiteral(": ") + db.lastError().text();
    return sqlite.Exec(QStringList{QStringLiteral("begin")} + statements +
                       QStringList{QStringLiteral("commit")});
}

// ---- PostgreSQL ----------------------------------------------------------------------------

struct PgServer {
    QString Host, Port, User, Database;
};

// The private server scripts/test started, or nothing when there is none.
inline std::optional<PgServer> TestServer() {
    const PgServer server{qEnvironmentVariable("KELMORA_TEST_PG_HOST"),
                          qEnvironmentVariable("KELMORA_TEST_PG_PORT", QStringLiteral("5432")),
                          qEnvironmentVariable("KELMORA_TEST_PG_USER"),
                          qEnvironmentVariable("KELMORA_TEST_PG_DATABASE")};
    if (server.Host.isEmpty() || server.User.isEmpty() || server.Database.isEmpty())
        return std::nullopt;
    return server;
}

inline constexpr const char* kNoServer =
    "no PostgreSQL server: KELMORA_TEST_PG_HOST (with _PORT, _USER, _DATABASE) is unset; "
    "scripts/test starts one with scripts/pg-test-server";

// The records URL of the server for a user: the socket directory as ?host=, the port in the
// authority beside an empty host.
inline QString PgUrl(const PgServer& server, const QString& user = {}) {
    return QStringLiteral("postgresql://%1@:%2/%3?host=%4")
        .arg(user.isEmpty() ? server.User : user, server.Port, server.Database,
             QString::fromLatin1(QUrl::toPercentEncoding(server.Host, "/")));
}

// Opens the connection on the server; the reason when it cannot.
inline QString OpenOn(TestConnection& connection, const PgServer& server) {
    QSqlDatabase db = connection.Db();
    db.setHostName(server.Host);
    db.setPort(server.Port.toInt());
    db.setUserName(server.User);
    db.setDatabaseName(server.Database);
    return db.open() ? QString() : db.lastError().text();
}

// A name of this run's own for a table or schema on the shared server: "prefix_PID_RANDOM".
inline QString RunOwnName(const QString& prefix) {
    return QStringLiteral("%1_%2_%3")
        .arg(prefix)
        .arg(QCoreApplication::applicationPid())
        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

} // namespace databasetest
