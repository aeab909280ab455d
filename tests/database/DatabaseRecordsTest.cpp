// Records read from real databases: SQLite files made here, and the private PostgreSQL server that
// scripts/test starts. The stream is read directly for the texts it gives and the rows it holds;
// rltool prepares the sales-by-city example from the server, and the printed totals are checked
// against the server's own sums, so that a row lost, counted twice or rounded on the way shows.
#include "DatabaseTestSupport.h"
#include "ProgramRunner.h"
#include <kelmora/report/RLSqlRecords.h>
#include <kelmora/support/RLCore.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <ostream>
#include <thread>
#include <vector>

using namespace Kelmora;
using namespace databasetest;

namespace {

// The message with which opening the records fails, or nothing when they open.
std::optional<QString> OpenError(const QString& url, const QString& query) {
    try {
        TRLSqlRecordStream records(url, query);
    } catch (const TRLException& e) {
        return e.Message();
    }
    return std::nullopt;
}

// Every record of the stream, read batch by batch as a report reads them.
std::vector<QStringList> ReadAll(TRLRecordStream& records) {
    std::vector<QStringList> rows;
    while (records.canFetchMore()) {
        const int before = records.rowCount();
        records.fetchMore();
        for (int r = before; r < records.rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < records.columnCount(); ++c)
                row << records.index(r, c).data().toString();
            rows.push_back(row);
        }
    }
    return rows;
}

// An operator reads one line that names what failed.
void ExpectOneLineNaming(const QString& message, const QStringList& names) {
    EXPECT_FALSE(message.trimmed().isEmpty());
    EXPECT_FALSE(message.trimmed().contains(u'\n')) << message.toStdString();
    for (const QString& name : names)
        EXPECT_TRUE(message.contains(name, Qt::CaseInsensitive))
            << "\"" << message.toStdString() << "\" does not name " << name.toStdString();
}

QString ExampleLayout() {
    return QStringLiteral(KELMORA_SOURCE_DIR "/examples/sales-by-city/layout.json");
}

// The program this suite starts prints in the suite's locale: "$ 1,234.50" in C.UTF-8,
// "$ 1.234,50" on a Spanish desktop.
QString GroupSeparator() {
    return QLocale::system().groupSeparator();
}

// An amount as printed by the mask "$ #,##0.00", as the decimal text "1234.50".
QString PlainAmount(QString printed) {
    const QLocale shown = QLocale::system();
    return printed.remove(QStringLiteral("$"))
        .remove(shown.groupSeparator())
        .replace(shown.decimalPoint(), QStringLiteral("."))
        .trimmed();
}

// Cents of a decimal text with two places, for adding printed amounts without rounding.
qint64 Cents(const QString& amount) {
    return QString(amount).remove(u'.').toLongLong();
}

QString CentsText(qint64 cents) {
    return QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

// ---- SQLite --------------------------------------------------------------------------------

class DatabaseSqlite : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString Path(const QString& name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
};

TEST_F(DatabaseSqlite, ValuesBecomeTheTextsAReportPrints) {
    struct Case {
        const char* Type;    // the column's declared type
        const char* Literal; // the value stored, as SQL
        QString Text;        // what the stream gives
    };
    const Case cases[] = {
        {"integer", "42", "42"},
        {"integer", "-7", "-7"},
        // Past the whole numbers a double holds: read as an integer, not through a double.
        {"integer", "9007199254740993", "9007199254740993"},
        // SQLite keeps a numeric column as a number, so its 12.50 is the number 12.5...
        {"numeric(12,2)", "12.50", "12.5"},
        {"numeric(12,2)", "3.00", "3"},
        // ...in its shortest form, never as a binary fraction's digits.
        {"real", "1234567.89", "1234567.89"},
        {"real", "0.1", "0.1"},
        // A decimal kept as text keeps every digit.
        {"text", "'12.50'", "12.50"},
        {"text", "NULL", ""},
        {"integer", "NULL", ""},
        {"date", "'2024-02-29'", "2024-02-29"},
        {"text", "'Córdoba — Ñandú, São Paulo'", QStringLiteral("Córdoba — Ñandú, São Paulo")},
        {"blob", "x'4d617465'", "Mate"},
        // Bytes that are no UTF-8 (a picture) keep every byte, as a data: URI.
        {"blob", "x'89504e470d0a1a0a00ff'",
         "data:application/octet-stream;base64,iVBORw0KGgoA/w=="},
        {"blob", "x''", ""},
    };
    QStringList columns, values, names;
    for (size_t i = 0; i < std::size(cases); ++i) {
        names << QStringLiteral("Value%1").arg(i);
        columns << names.last() + u' ' + QLatin1String(cases[i].Type);
        values << QString::fromUtf8(cases[i].Literal);
    }
    const QString file = Path("values.db");
    ASSERT_EQ(MakeSqliteFile(file, {"create table v (" + columns.join(", ") + ")",
                                    "insert into v values (" + values.join(", ") + ")"}),
              QString());

    TRLSqlRecordStream records("sqlite:" + file, "select * from v");
    EXPECT_EQ(records.FieldNames(), names);
    const std::vector<QStringList> rows = ReadAll(records);
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].size(), qsizetype(std::size(cases)));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(rows[0][i], cases[i].Text) << cases[i].Type << " " << cases[i].Literal;
    EXPECT_EQ(records.headerData(0, Qt::Horizontal).toString(), "Value0");
}

TEST_F(DatabaseSqlite, RowsComeInTheQueryOrderUnderItsColumnNames) {
    const QString file = Path("sales.db");
    ASSERT_EQ(MakeSqliteFile(file, {"create table sales (id integer primary key, city text, "
                                    "qty integer, price numeric(12,2))",
                                    "insert into sales values (1, 'Salta', 2, 7.25), "
                                    "(2, 'Córdoba', 3, 12.5), (3, 'Neuquén', NULL, 0.1)"}),
              QString());
    TRLSqlRecordStream records("sqlite:" + file,
                               "select city as City, qty * 10 as Tens, price from sales "
                               "order by city desc");
    EXPECT_EQ(records.FieldNames(), (QStringList{"City", "Tens", "price"}));
    const std::vector<QStringList> expected = {
        {"Salta", "20", "7.25"},
        {QStringLiteral("Neuquén"), "", "0.1"},
        {QStringLiteral("Córdoba"), "30", "12.5"},
    };
    EXPECT_EQ(ReadAll(records), expected);
    EXPECT_FALSE(records.canFetchMore());
}

// A stop check that answers yes from its fifth call on: a few tens of milliseconds after the
// stream started polling it, while the query runs.
TRLSqlRecordStream::StopCheck StopSoon() {
    return [calls = 0]() mutable { return ++calls > 4; };
}

// Counts to a limit before giving one row: a query that runs long before its first row and
// needs no table.
QString CountingQuery(qint64 limit) {
    return QStringLiteral("with recursive c(n) as (select 1 union all select n + 1 from c where "
                          "n < %1) select max(n) as n from c")
        .arg(limit);
}

TEST_F(DatabaseSqlite, AStopEndsAQueryBeforeItsFirstRowAndBetweenRows) {
    // An empty file is an empty database.
    const QString file = Path("empty.db");
    ASSERT_EQ(MakeSqliteFile(file, {}), QString());
    const QString url = "sqlite:" + file;
    // Two hundred million steps: close to a minute if the stop went unheard.
    const auto stopped = [&] {
        try {
            TRLSqlRecordStream records(url, CountingQuery(200'000'000), StopSoon());
        } catch (const TRLException& e) {
            return e.Message();
        }
        return QStringLiteral("the query ran to its end");
    };
    EXPECT_EQ(stopped(), url + ": the query was stopped");

    // Without a stop the same kind of query runs to its row.
    TRLSqlRecordStream counted(url, CountingQuery(1000), [] { return false; });
    EXPECT_EQ(ReadAll(counted), (std::vector<QStringList>{{"1000"}}));

    // Between rows, from another thread: the next read fails.
    TRLSqlRecordStream rows(url, "with recursive c(n) as (select 1 union all select n + 1 from "
                                 "c where n < 100000) select n from c");
    rows.fetchMore();
    ASSERT_EQ(rows.rowCount(), TRLRecordStream::BatchSize);
    std::thread([&rows] { rows.Interrupt(); }).join();
    try {
        while (rows.canFetchMore())
            rows.fetchMore();
        ADD_FAILURE() << "the rows were read to their end";
    } catch (const TRLException& e) {
        EXPECT_EQ(e.Message(), url + ": the query was stopped");
    }
    EXPECT_LT(rows.rowCount(), 100000);
}

TEST_F(DatabaseSqlite, TenThousandRowsAreReadThroughABoundedWindow) {
    constexpr int kRows = 10000;
    const QString file = Path("many.db");
    ASSERT_EQ(MakeSqliteFile(file, {"create table items (id integer primary key, name text)",
                                    QStringLiteral("with recursive n(i) as (select 1 union all "
                                                   "select i + 1 from n where i < %1) "
                                                   "insert into items select i, 'item ' || i "
                                                   "from n")
                                        .arg(kRows)}),
              QString());

    TRLSqlRecordStream records("sqlite:" + file, "select id, name from items order by id");
    int mostHeld = 0;
    while (records.canFetchMore()) {
        records.fetchMore();
        mostHeld = std::max(mostHeld, records.RowsHeld());
        // The newest row is the record with that number: nothing skipped or repeated.
        const int newest = records.rowCount() - 1;
        ASSERT_GE(newest, 0);
        ASSERT_EQ(records.index(newest, 0).data().toString(), QString::number(newest + 1));
        ASSERT_EQ(records.index(newest, 1).data().toString(),
                  QStringLiteral("item %1").arg(newest + 1));
    }
    EXPECT_EQ(records.rowCount(), kRows);
    EXPECT_LE(mostHeld, TRLRecordStream::WindowSize + TRLRecordStream::BatchSize);
    EXPECT_GE(mostHeld, TRLRecordStream::WindowSize);
    // The rows still held read right; those that left the window read as empty text.
    const int oldestHeld = kRows - records.RowsHeld();
    EXPECT_EQ(records.index(oldestHeld, 1).data().toString(),
              QStringLiteral("item %1").arg(oldestHeld + 1));
    EXPECT_EQ(records.index(oldestHeld - 1, 1).data().toString(), QString());
    EXPECT_EQ(records.index(0, 0).data().toString(), QString());
}

TEST_F(DatabaseSqlite, ErrorsNameWhatFailedInOneLine) {
    const QString file = Path("small.db");
    ASSERT_EQ(MakeSqliteFile(file, {"create table t (a integer)", "insert into t values (1)"}),
              QString());
    const QString missing = Path("missing.db");
    struct Case {
        const char* What;
        QString Url;
        QString Query;
        QStringList Names; // what the message must name
    };
    const Case cases[] = {
        {"missing file", "sqlite:" + missing, "select 1", {missing, "no such"}},
        {"a directory", "sqlite:" + dir_.path(), "select 1", {dir_.path(), "no such"}},
        {"no file named", "sqlite:", "select 1", {"no database file"}},
        {"wrong query",
         "sqlite:" + file,
         "select nosuchcolumn from t",
         {"query failed", "nosuchcolumn"}},
        {"missing table", "sqlite:" + file, "select a from nosuchtable", {"nosuchtable"}},
        // The file is opened read-only: a report never changes its records.
        {"a write", "sqlite:" + file, "insert into t values (2)", {"query failed", "readonly"}},
        {"unknown scheme",
         "mysql://kelmora@localhost/kelmora",
         "select 1",
         {"mysql://kelmora@localhost/kelmora", "not a database URL"}},
        {"no scheme", "kelmora.db", "select 1", {"kelmora.db", "not a database URL"}},
        {"empty database name",
         "postgresql://kelmora@localhost/",
         "select 1",
         {"postgresql://kelmora@localhost/", "no database named"}},
        {"no database path", "postgresql://kelmora@localhost", "select 1", {"no database named"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        const std::optional<QString> error = OpenError(c.Url, c.Query);
        ASSERT_TRUE(error.has_value());
        ExpectOneLineNaming(*error, c.Names);
    }
    // Opening a name that is not there made no database under it, and the write changed nothing.
    EXPECT_FALSE(QFile::exists(missing));
    TestConnection check(QStringLiteral("QSQLITE"));
    QSqlDatabase db = check.Db();
    db.setDatabaseName(file);
    ASSERT_TRUE(db.open());
    EXPECT_EQ(check.Rows("select count(*) from t"), (std::vector<QStringList>{{"1"}}));
}

// ---- PostgreSQL ----------------------------------------------------------------------------

class DatabasePostgres : public ::testing::Test {
protected:
    void SetUp() override {
        const std::optional<PgServer> server = TestServer();
        if (!server)
            GTEST_SKIP() << kNoServer;
        server_ = *server;
        ASSERT_EQ(OpenOn(pg_, server_), QString());
    }

    PgServer server_;
    TestConnection pg_{QStringLiteral("QPSQL")};
};

TEST_F(DatabasePostgres, ValuesBecomeTheTextsAReportPrints) {
    struct Case {
        const char* Sql;
        QString Text;
    };
    const Case cases[] = {
        {"42::integer", "42"},
        {"(-7)::smallint", "-7"},
        {"9007199254740993::bigint", "9007199254740993"},
        // Exact decimals keep their digits, trailing zeros too.
        {"12.50::numeric(12,2)", "12.50"},
        {"0.10::numeric(12,2)", "0.10"},
        {"1234567890123.45::numeric(15,2)", "1234567890123.45"},
        {"0.1::float8", "0.1"},
        {"NULL::integer", ""},
        {"NULL::text", ""},
        {"date '2024-02-29'", "2024-02-29"},
        {"timestamp '2024-03-05 14:30:00'", "2024-03-05T14:30:00"},
        {"time '08:05:09'", "08:05:09"},
        {"true", "True"},
        {"false", "False"},
        {"'Córdoba — Ñandú'::text", QStringLiteral("Córdoba — Ñandú")},
        {"'Neuquén'::varchar(20)", QStringLiteral("Neuquén")},
        {"convert_to('Ñandú', 'UTF8')", QStringLiteral("Ñandú")},
        {"'\\x89504e470d0a1a0a00ff'::bytea",
         "data:application/octet-stream;base64,iVBORw0KGgoA/w=="},
    };
    QStringList selected;
    for (size_t i = 0; i < std::size(cases); ++i)
        selected << QStringLiteral("%1 as value%2").arg(QString::fromUtf8(cases[i].Sql)).arg(i);
    TRLSqlRecordStream records(PgUrl(server_), "select " + selected.join(", "));
    const std::vector<QStringList> rows = ReadAll(records);
    ASSERT_EQ(rows.size(), 1u);
    ASSERT_EQ(rows[0].size(), qsizetype(std::size(cases)));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(rows[0][i], cases[i].Text) << cases[i].Sql;
    EXPECT_EQ(records.FieldNames().value(0), "value0");
}

// A query that sleeps on the server before its first row ends once the stop check says so: the
// server is asked to cancel it, and the stream says that it was stopped.
TEST_F(DatabasePostgres, AStopCancelsAQueryOnTheServer) {
    const QString url = PgUrl(server_);
    // Told apart from the queries of other runs by a tag of its own.
    const QString query = QStringLiteral("select pg_sleep(120) as n, 'stop %1' as tag")
                              .arg(QRandomGenerator::global()->generate64());
    try {
        TRLSqlRecordStream records(url, query, StopSoon());
        ADD_FAILURE() << "the query ran to its end";
    } catch (const TRLException& e) {
        EXPECT_EQ(e.Message(), url + ": the query was stopped");
    }
    // The server ended the query, rather than sleeping on once its client had gone.
    EXPECT_EQ(pg_.Rows("select count(*) from pg_stat_activity where state = 'active' and "
                       "query = '" +
                       QString(query).replace('\'', "''") + "'"),
              (std::vector<QStringList>{{"0"}}));
}

TEST_F(DatabasePostgres, UrlFormsReachTheServerTheyName) {
    const QString socket = QString::fromLatin1(QUrl::toPercentEncoding(server_.Host, "/"));
    const QString db = server_.Database, user = server_.User, port = server_.Port;
    const QString forms[] = {
        QStringLiteral("postgresql://%1@/%2?host=%3").arg(user, db, socket),
        QStringLiteral("postgresql://%1@:%2/%3?host=%4").arg(user, port, db, socket),
        QStringLiteral("postgres://%1@localhost:%2/%3?host=%4").arg(user, port, db, socket),
    };
    for (const QString& url : forms) {
        SCOPED_TRACE(url.toStdString());
        try {
            TRLSqlRecordStream records(url, "select current_user, current_database()");
            EXPECT_EQ(ReadAll(records), (std::vector<QStringList>{{user, db}}));
        } catch (const TRLException& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

// A port that no server listens on is tried, not replaced by the default one: reaching another
// server than the one named would read another database's rows. The port may stand in the
// authority, or as a query item beside ?host= the way the server's own client library takes it;
// a password given either way never appears in the message.
TEST_F(DatabasePostgres, ThePortNamedIsTheOneTried) {
    const QString host = QString::fromLatin1(QUrl::toPercentEncoding(server_.Host, "/"));
    for (const QString& form :
         {QStringLiteral("postgresql://%1@:1/%2?host=%3"),
          QStringLiteral("postgresql://%1@/%2?host=%3&port=1"),
          QStringLiteral("postgresql://%1:s3cret@/%2?host=%3&port=1"),
          QStringLiteral("postgresql://%1@/%2?host=%3&port=1&password=s3cret")}) {
        const QString url = form.arg(server_.User, server_.Database, host);
        SCOPED_TRACE(url.toStdString());
        const std::optional<QString> error = OpenError(url, "select 1");
        ASSERT_TRUE(error.has_value()) << "connected, so not through port 1";
        ExpectOneLineNaming(*error, {"cannot connect", ".s.PGSQL.1"});
        EXPECT_FALSE(error->contains(QStringLiteral("s3cret"))) << error->toStdString();
    }
    const std::optional<QString> badPort =
        OpenError(QStringLiteral("postgresql://%1@/%2?host=%3&port=x")
                      .arg(server_.User, server_.Database, host),
                  "select 1");
    ASSERT_TRUE(badPort.has_value());
    ExpectOneLineNaming(*badPort, {"\"x\" is no port number"});
}

// A query for a server is one statement, told before any connection: semicolons in texts, names,
// dollar-quoted texts and comments split nothing, and what cannot be told apart is refused.
TEST(DatabasePostgresQueries, OnlyOneStatementReachesTheServer) {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        GTEST_SKIP() << "the PostgreSQL driver of Qt SQL is not installed";
    // No server listens there: a query that passes is refused only when connecting.
    const QString url = QStringLiteral("postgresql://nadie@/nada?host=/nonexistent-kelmora-socket");
    const QString one = QStringLiteral("cannot connect");
    const QString several = QStringLiteral("more than one statement");
    const QString unclear = QStringLiteral("cannot be told to be one statement");
    struct Case {
        const char* Query;
        const QString& Refusal;
    };
    const Case cases[] = {
        {"select 1", one},
        {"select 1;", one},
        {" ; select 1 ;; -- done; drop table t\n ; /* ; */", one},
        {"select ';', 'it''s;', \"a;\"\"b\" from t", one},
        {"select e'\\';', E'x\\\\';", one},
        {"select $$;$$, $tag$ $$; $tag$, $1 from t", one},
        {"select 1 /* a /* nested ; */ comment ; */ + 2", one},
        {"select x$y from e'", unclear},
        {"select 1; select 2", several},
        {"select 1;drop table t", several},
        {"select 1 -- a comment ends at a carriage return\r; drop table t", several},
        {"select 'a'';'; drop table t", several},
        // A blank that is no blank to the server starts a name, and "\u00A0e" is no E prefix.
        {"select \u00A0e'\\'; drop table t; --'", several},
        // Names that end in "e" quote nothing with backslashes.
        {"select date'2024-01-01', type'\\'; drop table t", several},
        {"select $a$;$b$; drop table t; $a$ ; drop table t", several},
        {"select a$b$c; drop table t", several},
        {"select 'open", unclear},
        {"select \"open", unclear},
        {"select $x$ open", unclear},
        {"select 1 /* open /* */", unclear},
        {"select 1e'\\'; drop table t; --'", unclear},
        {"select $1$a$;$a$", unclear},
        {"select 1$a$ '$a$; drop table t; --'", unclear},
        {"select $ 1", unclear},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Query);
        const std::optional<QString> error = OpenError(url, QString::fromUtf8(c.Query));
        ASSERT_TRUE(error.has_value());
        ExpectOneLineNaming(*error, {c.Refusal});
    }
}

// The records only read: whatever the query says, the server is left as it was. A table of the
// run's own is the one written to, and tables that the queries would make are looked for after.
TEST_F(DatabasePostgres, TheQueryCannotWrite) {
    const QString table = RunOwnName(QStringLiteral("kelmora_readonly"));
    const QString made = table + QStringLiteral("_made");
    ASSERT_EQ(pg_.Exec({QStringLiteral("create table %1 (a integer)").arg(table),
                        QStringLiteral("insert into %1 values (1)").arg(table)}),
              QString());
    const QString url = PgUrl(server_);
    struct Case {
        QString Query;
        QStringList Names; // what the refusal says
    };
    const QString readOnly = QStringLiteral("read-only transaction");
    const QString several = QStringLiteral("more than one statement");
    const Case writes[] = {
        {"create table " + made + " (a integer)", {"CREATE TABLE", readOnly}},
        {"insert into " + table + " values (2) returning a", {"INSERT", readOnly}},
        {"with d as (delete from " + table + " returning a) select a from d", {readOnly}},
        {"drop table " + table, {"DROP TABLE", readOnly}},
        {"create table " + made + " as select 1 as a", {"CREATE TABLE", readOnly}},
        // A transaction of its own, or a setting changed first, gets no further.
        {"create table " + made + " (a integer); select 1", {several}},
        {"commit; create table " + made + " (a integer); select 1", {several}},
        {"set default_transaction_read_only = off; commit; drop table " + table + "; select 1",
         {several}},
        {"select ';' as a; drop table " + table, {several}},
        {"select $x$;$x$ as a; drop table " + table, {several}},
        {"select e'\\';' as a; drop table " + table, {several}},
        {"do $$ begin commit; create table " + made + " (a integer); end $$", {"commit"}},
    };
    for (const Case& c : writes) {
        SCOPED_TRACE(c.Query.toStdString());
        const std::optional<QString> error = OpenError(url, c.Query);
        ASSERT_TRUE(error.has_value()) << "the query ran";
        ExpectOneLineNaming(*error, c.Names);
    }
    EXPECT_EQ(pg_.Rows("select count(*) from pg_tables where tablename = '" + made + "'"),
              (std::vector<QStringList>{{"0"}}));
    EXPECT_EQ(pg_.Rows("select a from " + table), (std::vector<QStringList>{{"1"}}));

    // What only reads still reads, semicolons in its texts and a last one included.
    const QString reads[] = {
        "select a from " + table + ";",
        "select a, ';' as b, $q$;$q$ as c, \"a;b\".x from " + table +
            " cross join (select 1 as x) as \"a;b\" -- ; no statement\n/* ; nor /* ; */ this */;",
        "select a, e'\\';' as b from " + table,
    };
    for (const QString& query : reads) {
        SCOPED_TRACE(query.toStdString());
        try {
            TRLSqlRecordStream records(url, query);
            const std::vector<QStringList> rows = ReadAll(records);
            ASSERT_EQ(rows.size(), 1u);
            EXPECT_EQ(rows[0].value(0), "1");
        } catch (const TRLException& e) {
            ADD_FAILURE() << e.what();
        }
    }
    EXPECT_EQ(pg_.Exec({"drop table " + table}), QString());
}

// 10,000 sales in a table of this run's own, dropped when the test ends however it ends.
class DatabasePostgresSales : public DatabasePostgres {
protected:
    void SetUp() override {
        DatabasePostgres::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(dir_.isValid());
        table_ = RunOwnName(QStringLiteral("kelmora_sales"));
        // Deterministic rows: seven cities with accents among them, every price a different
        // number of cents up to 2,500.00, dates over a leap year.
        ASSERT_EQ(pg_.Exec({QStringLiteral("create table %1 (id integer primary key, "
                                           "City text not null, Product text not null, "
                                           "SoldOn date not null, Qty integer not null, "
                                           "Price numeric(12,2) not null)")
                                .arg(table_),
                            QStringLiteral("insert into %1 select i, "
                                           "(array['Córdoba','Neuquén','Rosario','Salta','Ushuaia',"
                                           "'Mendoza','Paraná'])[1 + (i * 31 + i / 13) % 7], "
                                           "(array['Yerba','Mate','Bombilla','Termo','Alfajor',"
                                           "'Dulce de leche'])[1 + (i * 17) % 6], "
                                           "date '2024-01-01' + (i * 37) % 366, 1 + (i * 13) % 40, "
                                           "((i * 7919) % 250000 + 1) / 100.0 "
                                           "from generate_series(1, 10000) i")
                                .arg(table_)}),
                  QString());
        created_ = true;
    }
    void TearDown() override {
        if (created_) {
            EXPECT_EQ(pg_.Exec({"drop table " + table_}), QString());
        }
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString SalesQuery() const {
        return "select City, Product, SoldOn, Qty, Price from " + table_ +
               " order by City, SoldOn, id";
    }
    ProgramResult Prepare(const QString& url, const QString& query, const QString& out) const {
        return Rltool({"prepare", ExampleLayout(), "--db", url, "--query", query, "-o", out});
    }

    QTemporaryDir dir_;
    QString table_;
    bool created_ = false;
};

TEST_F(DatabasePostgresSales, PrintedTotalsAreTheServersSums) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    const QString pdf = Path("sales.pdf");
    const ProgramResult r = Prepare(PgUrl(server_), SalesQuery(), pdf);
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Err, QString());
    const ProgramResult text = RunProgram("pdftotext", {"-layout", pdf, "-"});
    ASSERT_EQ(text.ExitCode, 0) << text.Err.toStdString();

    // Each city's footer: "Total CITY  QTY  $ AMOUNT"; the summary: "Ventas  COUNT  $ AMOUNT";
    // each page footer: "Importe de esta página: $ AMOUNT".
    const QString group = QRegularExpression::escape(GroupSeparator());
    const QString amount =
        QStringLiteral(R"((\$ -?[\d%1]+%2\d\d))")
            .arg(group, QRegularExpression::escape(QLocale::system().decimalPoint()));
    const QRegularExpression cityLine(
        QStringLiteral(R"(^\s*Total (\S.*?)\s+(\d[\d%1]*)\s+%2\s*$)").arg(group, amount));
    const QRegularExpression summaryLine(
        QStringLiteral(R"(^\s*Ventas\s+(\d[\d%1]*)\s+%2\s*$)").arg(group, amount));
    const QRegularExpression pageLine(QStringLiteral("Importe de esta página: ") + amount);
    std::vector<QStringList> printedCities;
    QStringList summaries;
    qint64 pageCents = 0;
    int pageFooters = 0;
    for (const QString& line : text.Out.split(u'\n')) {
        if (const auto m = cityLine.match(line); m.hasMatch())
            printedCities.push_back({m.captured(1), m.captured(2).remove(GroupSeparator()),
                                     PlainAmount(m.captured(3))});
        if (const auto m = summaryLine.match(line); m.hasMatch())
            summaries << m.captured(1).remove(GroupSeparator()) << PlainAmount(m.captured(2));
        if (const auto m = pageLine.match(line); m.hasMatch()) {
            pageCents += Cents(PlainAmount(m.captured(1)));
            ++pageFooters;
        }
    }

    // The cities in the report's order (byte order on both sides), with the server's sums.
    const std::vector<QStringList> cities =
        pg_.Rows("select City, sum(Qty)::text, sum(Qty * Price)::text from " + table_ +
                 " group by City order by City");
    ASSERT_EQ(cities.size(), 7u);
    EXPECT_EQ(printedCities, cities);
    const std::vector<QStringList> whole =
        pg_.Rows("select count(*)::text, sum(Qty * Price)::text from " + table_);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_EQ(summaries, whole[0]);
    // Every row counted on exactly one page: the page totals add up to the grand total.
    EXPECT_GT(pageFooters, 100);
    EXPECT_EQ(CentsText(pageCents), whole[0].value(1));
}

TEST_F(DatabasePostgresSales, FailuresExitWithOneLineAndWriteNothing) {
    struct Case {
        const char* What;
        QString Url;
        QString Query;
        QStringList Names;
    };
    const Case cases[] = {
        {"unknown user",
         PgUrl(server_, "nosuchkelmorauser"),
         SalesQuery(),
         {"cannot connect", "nosuchkelmorauser", "does not exist"}},
        {"unknown column",
         PgUrl(server_),
         "select City, nosuchcolumn from " + table_,
         {"query failed", "nosuchcolumn"}},
        {"unknown table",
         PgUrl(server_),
         "select * from " + table_ + "_missing",
         {"query failed", table_ + "_missing"}},
        {"not SQL", PgUrl(server_), "selec City from " + table_, {"query failed", "selec"}},
    };
    for (const Case& c : cases) {
        for (const char* name : {"out.pdf", "out.rpf"}) {
            SCOPED_TRACE(std::string(c.What) + " to " + name);
            const QString out = Path(QLatin1String(name));
            const ProgramResult r = Prepare(c.Url, c.Query, out);
            EXPECT_EQ(r.ExitCode, 2);
            EXPECT_EQ(r.Out, QString());
            ExpectOneLineNaming(r.Err, QStringList{"rltool prepare: "} + c.Names);
            EXPECT_FALSE(QFile::exists(out));
        }
    }
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

// The same rows from an SQLite file and from the server prepare to the same pages, object by
// object: the two drivers hand the report the same texts.
TEST_F(DatabasePostgresSales, AnSqliteCopyPreparesTheSamePages) {
    const std::vector<QStringList> rows =
        pg_.Rows("select id, City, Product, SoldOn::text, Qty, Price::text from " + table_);
    ASSERT_EQ(rows.size(), 10000u);
    const QString file = Path("sales.db");
    {
        TestConnection sqlite(QStringLiteral("QSQLITE"));
        QSqlDatabase db = sqlite.Db();
        db.setDatabaseName(file);
        ASSERT_TRUE(db.open());
        ASSERT_EQ(sqlite.Exec({"create table sales (id integer primary key, City text, "
                               "Product text, SoldOn date, Qty integer, Price numeric(12,2))",
                               "begin"}),
                  QString());
        QSqlQuery insert(db);
        ASSERT_TRUE(insert.prepare("insert into sales values (?, ?, ?, ?, ?, ?)"));
        for (const QStringList& row : rows) {
            for (int c = 0; c < row.size(); ++c)
                insert.bindValue(c, c == 0 || c == 4 ? QVariant(row[c].toInt()) : QVariant(row[c]));
            ASSERT_TRUE(insert.exec()) << insert.lastError().text().toStdString();
        }
        insert.finish();
        ASSERT_EQ(sqlite.Exec({"commit"}), QString());
    }

    const QString fromServer = Path("server.rpf"), fromFile = Path("file.rpf");
    const ProgramResult server = Prepare(PgUrl(server_), SalesQuery(), fromServer);
    ASSERT_EQ(server.ExitCode, 0) << server.Err.toStdString();
    const ProgramResult local = Prepare(
        "sqlite:" + file,
        "select City, Product, SoldOn, Qty, Price from sales order by City, SoldOn, id", fromFile);
    ASSERT_EQ(local.ExitCode, 0) << local.Err.toStdString();

    const ProgramResult serverDump = Rltool({"dump", fromServer});
    const ProgramResult fileDump = Rltool({"dump", fromFile});
    ASSERT_EQ(serverDump.ExitCode, 0) << serverDump.Err.toStdString();
    ASSERT_EQ(fileDump.ExitCode, 0) << fileDump.Err.toStdString();
    const QJsonObject a = QJsonDocument::fromJson(serverDump.Out.toUtf8()).object();
    const QJsonObject b = QJsonDocument::fromJson(fileDump.Out.toUtf8()).object();
    const QJsonArray pagesA = a["pages"].toArray(), pagesB = b["pages"].toArray();
    ASSERT_GT(pagesA.size(), 100);
    ASSERT_EQ(pagesA.size(), pagesB.size());
    EXPECT_EQ(a["macros"], b["macros"]);
    for (qsizetype p = 0; p < pagesA.size(); ++p)
        ASSERT_EQ(pagesA[p], pagesB[p]) << "page " << p + 1;
}

} // namespace
