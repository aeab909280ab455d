// The report's totals against the databases' own aggregates over the same rows: numbers beyond
// a double and beyond 128 bits, texts in Spanish, Greek and Polish, dates, NULLs and empty texts,
// on SQLite and on the private PostgreSQL server. And the README's example, run as the README
// says on a Spanish (Argentina) desktop, against SQLite's GROUP BY.
#include "ProgramRunner.h"
#include "ReportTestSupport.h"
#include <kelmora/parser/RLDecimal.h>
#include <kelmora/report/RLSqlRecords.h>
#include <kelmora/report/RLTextExpression.h>

#include <QCoreApplication>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <cmath>

using namespace Kelmora;

namespace {

using namespace reporttest;

// A connection of the test's own, removed with the object.
class Connection {
public:
    Connection(const QString& driver, const std::function<void(QSqlDatabase&)>& setUp)
        : name_(QStringLiteral("totals-test-%1").arg(++count_)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, name_);
        setUp(db);
        opened_ = db.open();
        if (!opened_)
            ADD_FAILURE() << db.lastError().text().toStdString();
    }
    ~Connection() {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
    bool Opened() const { return opened_; }
    QSqlDatabase Db() const { return QSqlDatabase::database(name_, false); }
    QString Exec(const QStringList& statements) const {
        QSqlQuery query(QSqlDatabase::database(name_, false));
        for (const QString& statement : statements)
            if (!query.exec(statement))
                return statement + QStringLiteral(": ") + query.lastError().text();
        return QString();
    }
    // The one row of a query, each value as text (NULL as a null text).
    QStringList Row(const QString& sql) const {
        QSqlQuery query(QSqlDatabase::database(name_, false));
        QStringList row;
        if (!query.exec(sql) || !query.next()) {
            ADD_FAILURE() << sql.toStdString() << ": " << query.lastError().text().toStdString();
            return row;
        }
        for (int c = 0; c < query.record().count(); ++c)
            row << (query.isNull(c) ? QString() : query.value(c).toString());
        return row;
    }

private:
    static inline int count_ = 0;
    QString name_;
    bool opened_ = false;
};

enum class Match { Same, Decimal, Near };

// One total: the report's expression, the database's, and how their texts must agree.
struct Total {
    QString Report;
    QString Sql;
    Match How;
};

// Rows with NULLs, empty texts, numbers past 2^53, accented, Greek and Polish texts.
const QStringList kRows = {
    "(1, 4611686018427387903, 'Łódź', '2024-02-29', 'x')",
    "(2, 4611686018427387903, 'Ñandú', '2026-12-07', '')",
    "(3, -9, 'Αθήνα', '1999-12-31', NULL)",
    "(4, 1, 'ñandú', '2024-03-01', '')",
    "(5, NULL, 'Zárate', NULL, 'y')",
    "(6, 7, NULL, '2000-01-01', NULL)",
    "(7, -3, 'Córdoba', '2024-02-28', 'z')",
    "(8, 2, 'abc', '2025-06-30', '')",
};

// The totals of a summary band over the query's rows, as the report prints them (no masks).
QStringList PrintedTotals(const QString& url, const QString& query,
                          const std::vector<Total>& totals) {
    QByteArray labels;
    for (size_t i = 0; i < totals.size(); ++i)
        labels += QStringLiteral(
                      R"({"class": "TRLLabel", "name": "T%1", "Top": %2, "Expression": "%3"},)")
                      .arg(i)
                      .arg(i * 14)
                      .arg(totals[i].Report)
                      .toUtf8();
    labels.chop(1);
    auto report = ReadReport(R"({"class": "TRLReport", "name": "R", "children": [
        {"class": "TRLBand", "name": "D", "BandType": "btDetail", "Height": 1},
        {"class": "TRLBand", "name": "S", "BandType": "btSummary", "Height": 400, "children": [)" +
                             labels + "]}]}");
    report->SetShowProgress(false);
    TRLSqlRecordStream records(url, query);
    report->SetDataSource(&records);
    EXPECT_TRUE(report->Prepare());
    const int pages = report->Storage().PageCount();
    return pages > 0 ? PageTexts(*report, pages - 1) : QStringList();
}

void ExpectAgree(const std::vector<Total>& totals, const QStringList& printed,
                 const QStringList& database) {
    ASSERT_EQ(printed.size(), qsizetype(totals.size())) << printed.join(u'|').toStdString();
    ASSERT_EQ(database.size(), qsizetype(totals.size()));
    for (size_t i = 0; i < totals.size(); ++i) {
        const QString& ours = printed[qsizetype(i)];
        const QString& theirs = database[qsizetype(i)];
        SCOPED_TRACE(totals[i].Report.toStdString() + ": printed \"" + ours.toStdString() +
                     "\", the database says \"" + theirs.toStdString() + "\"");
        if (theirs.isNull() || totals[i].How == Match::Same) {
            EXPECT_EQ(ours, theirs.isNull() ? QString("") : theirs);
            continue;
        }
        TRLDecimal a, b;
        ASSERT_TRUE(TRLDecimal::Read(ours, a));
        ASSERT_TRUE(TRLDecimal::Read(theirs, b));
        if (totals[i].How == Match::Decimal)
            EXPECT_EQ(a, b);
        else
            EXPECT_NEAR(a.ToDouble() / b.ToDouble(), 1.0, 1e-14);
    }
}

// Every total over every kind of column; the SQL of a text total is given its collation.
std::vector<Total> TotalsOf(const QString& textOrder) {
    const auto t = [&](const char* column) { return QString::fromLatin1(column) + textOrder; };
    return {
        {"sum(big)", "sum(big)", Match::Decimal},
        {"avg(big)", "avg(big)", Match::Near},
        {"min(big)", "min(big)", Match::Decimal},
        {"max(big)", "max(big)", Match::Decimal},
        {"count(big)", "count(big)", Match::Same},
        {"min(name)", "min(" + t("name") + ")", Match::Same},
        {"max(name)", "max(" + t("name") + ")", Match::Same},
        {"count(name)", "count(name)", Match::Same},
        {"min(day)", "min(day)", Match::Same},
        {"max(day)", "max(day)", Match::Same},
        {"count(day)", "count(day)", Match::Same},
        {"count(note)", "count(note)", Match::Same},
        {"min(note)", "min(" + t("note") + ")", Match::Same},
        {"max(note)", "max(" + t("note") + ")", Match::Same},
        {"count()", "count(*)", Match::Same},
        {"sum(vacant)", "sum(vacant)", Match::Same},
        {"avg(vacant)", "avg(vacant)", Match::Same},
        {"max(vacant)", "max(vacant)", Match::Same},
        {"count(vacant)", "count(vacant)", Match::Same},
    };
}

QString SelectOf(const std::vector<Total>& totals, const QString& table, const QString& cast) {
    QStringList columns;
    for (const Total& total : totals)
        columns << QStringLiteral("cast(%1 as %2)").arg(total.Sql, cast);
    return "select " + columns.join(QStringLiteral(", ")) + " from " + table;
}

TEST(Totals, AgreeWithSqliteAggregates) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("totals.db"));
    {
        Connection db(QStringLiteral("QSQLITE"), [&](QSqlDatabase& d) { d.setDatabaseName(file); });
        ASSERT_TRUE(db.Opened());
        ASSERT_EQ(db.Exec({"create table t (id integer primary key, big integer, name text, day "
                           "date, note text, vacant numeric)",
                           "insert into t (id, big, name, day, note) values " + kRows.join(", ")}),
                  QString());
    }
    const std::vector<Total> totals = TotalsOf(QString());
    Connection db(QStringLiteral("QSQLITE"), [&](QSqlDatabase& d) { d.setDatabaseName(file); });
    ExpectAgree(totals, PrintedTotals("sqlite:" + file, "select * from t order by id", totals),
                db.Row(SelectOf(totals, "t", "text")));
}

// The private server's numeric(38,10) sums outgrow 128 bits.
TEST(Totals, AgreeWithPostgresAggregates) {
    const QString host = qEnvironmentVariable("KELMORA_TEST_PG_HOST");
    const QString port = qEnvironmentVariable("KELMORA_TEST_PG_PORT", QStringLiteral("5432"));
    const QString user = qEnvironmentVariable("KELMORA_TEST_PG_USER");
    const QString database = qEnvironmentVariable("KELMORA_TEST_PG_DATABASE");
    if (host.isEmpty() || user.isEmpty() || database.isEmpty())
        GTEST_SKIP() << "no PostgreSQL server: KELMORA_TEST_PG_HOST (with _PORT, _USER, "
                        "_DATABASE) is unset; scripts/test starts one";
    Connection db(QStringLiteral("QPSQL"), [&](QSqlDatabase& d) {
        d.setHostName(host);
        d.setPort(port.toInt());
        d.setUserName(user);
        d.setDatabaseName(database);
    });
    ASSERT_TRUE(db.Opened());
    const QString table =
        QStringLiteral("kelmora_totals_%1").arg(QCoreApplication::applicationPid());
    ASSERT_EQ(
        db.Exec({"create temporary table " + table +
                     " (id integer primary key, big bigint, name text, day date, note text, "
                     "vacant numeric, amount numeric(38,10))",
                 "insert into " + table + " (id, big, name, day, note) values " + kRows.join(", "),
                 "update " + table + " set amount = (array[" +
                     "9999999999999999999999999999.9999999999, "
                     "-1234567890123456789012345678.0000000001, 0.0000000001, "
                     "8888888888888888888888888888.5, NULL, "
                     "9999999999999999999999999999.9999999999, "
                     "7777777777777777777777777777.25, 12.5])[id]"}),
        QString());
    std::vector<Total> totals = TotalsOf(QStringLiteral(" collate \"C\""));
    for (const char* kind : {"sum", "avg", "min", "max", "count"})
        totals.push_back({QStringLiteral("%1(amount)").arg(kind),
                          QStringLiteral("%1(amount)").arg(kind),
                          QLatin1String(kind) == "avg" ? Match::Near : Match::Decimal});
    // The temporary table is the session's: the report reads it through the same server in
    // another session, so it gets a real copy for the run.
    const QString copy = table + QStringLiteral("_rows");
    ASSERT_EQ(db.Exec({"create table " + copy + " as select * from " + table}), QString());
    const auto drop = qScopeGuard([&] { EXPECT_EQ(db.Exec({"drop table " + copy}), QString()); });
    const QString url =
        QStringLiteral("postgresql://%1@:%2/%3?host=%4")
            .arg(user, port, database, QString::fromLatin1(QUrl::toPercentEncoding(host, "/")));
    ExpectAgree(totals, PrintedTotals(url, "select * from " + copy + " order by id", totals),
                db.Row(SelectOf(totals, table, "text")));
}

// The README's command in the example's folder under LC_ALL=es_AR.UTF-8, written as PDF; every
// printed total equals SQLite's own GROUP BY, in the locale's separators.
TEST(Totals, TheReadmeExampleOnASpanishDesktopPrintsTheDatabasesSums) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString example = QStringLiteral(KELMORA_SOURCE_DIR "/examples/sales-by-city");
    const QString pdf = dir.filePath(QStringLiteral("ventas.pdf"));
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("es_AR.UTF-8"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("es_AR.UTF-8"));
    tool.setProcessEnvironment(environment);
    tool.setWorkingDirectory(example);
    tool.start(BuiltProgram(QStringLiteral("tools/rltool")),
               {"prepare", "layout.json", "--db", "sqlite:sales.db", "--query",
                "SELECT City, Product, SoldOn, Qty, Price FROM sales ORDER BY City, SoldOn, id",
                "-o", pdf});
    const ProgramResult run = FinishProgram(tool);
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    const ProgramResult text = RunProgram(QStringLiteral("pdftotext"), {"-layout", pdf, "-"});
    ASSERT_EQ(text.ExitCode, 0);

    // "$ 230.533,17" as the cents 23053317.
    const auto cents = [](QString amount) {
        return amount.remove(QStringLiteral("$ ")).remove(u'.').remove(u',').toLongLong();
    };
    static const QRegularExpression city(
        QStringLiteral(R"(^\s*Total (\S.*?)\s+(\d[\d.]*)\s+(\$ [\d.]+,\d\d)\s*$)"));
    static const QRegularExpression whole(
        QStringLiteral(R"(^\s*Ventas\s+(\d+)\s+(\$ [\d.]+,\d\d)\s*$)"));
    static const QRegularExpression page(
        QStringLiteral(R"(Importe de esta página: (\$ [\d.]+,\d\d))"));
    QStringList printed;
    qint64 pages = 0;
    for (const QString& line : text.Out.split(u'\n')) {
        if (const auto m = city.match(line); m.hasMatch())
            printed << QStringLiteral("%1|%2|%3")
                           .arg(m.captured(1), m.captured(2))
                           .arg(cents(m.captured(3)));
        if (const auto m = whole.match(line); m.hasMatch())
            printed << QStringLiteral("*|%1|%2").arg(m.captured(1)).arg(cents(m.captured(2)));
        if (const auto m = page.match(line); m.hasMatch())
            pages += cents(m.captured(1));
    }

    // The database's own sums, in cents so that no float rounding enters.
    Connection db(QStringLiteral("QSQLITE"), [&](QSqlDatabase& d) {
        d.setDatabaseName(example + QStringLiteral("/sales.db"));
        d.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    });
    QStringList expected;
    qint64 grand = 0;
    {
        const QString cityCents = QStringLiteral(
            "select City, sum(Qty), sum(Qty * cast(round(Price * 100) as integer)) from sales "
            "group by City order by City");
        QSqlQuery rows(db.Db());
        ASSERT_TRUE(rows.exec(cityCents)) << rows.lastError().text().toStdString();
        while (rows.next()) {
            expected << QStringLiteral("%1|%2|%3")
                            .arg(rows.value(0).toString())
                            .arg(rows.value(1).toLongLong())
                            .arg(rows.value(2).toLongLong());
            grand += rows.value(2).toLongLong();
        }
        ASSERT_TRUE(rows.exec(QStringLiteral("select count(*) from sales")) && rows.next());
        expected << QStringLiteral("*|%1|%2").arg(rows.value(0).toLongLong()).arg(grand);
    }
    ASSERT_EQ(expected.size(), 6);
    EXPECT_EQ(printed, expected) << printed.join(u' ').toStdString();
    // Every sale on exactly one page: the page totals add up to the grand total.
    EXPECT_EQ(pages, grand);
}

} // namespace
