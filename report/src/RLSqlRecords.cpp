#include <kelmora/report/RLSqlRecords.h>

#include <kelmora/support/RLCore.h>

#include <QAtomicInteger>
#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringDecoder>
#include <QTime>
#include <QUrl>
#include <QUrlQuery>

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <thread>

namespace Kelmora {

namespace {

// Driver messages may run over several lines; a message here is one.
QString OneLine(const QString& text) {
    QStringList parts = text.split(u'\n', Qt::SkipEmptyParts);
    for (QString& part : parts)
        part = part.trimmed();
    parts.removeAll(QString());
    return parts.join(QStringLiteral("; "));
}

QString ErrorText(const QSqlError& error) {
    QString text = OneLine(error.databaseText());
    if (text.isEmpty())
        text = OneLine(error.driverText());
    return text.isEmpty() ? QStringLiteral("unknown error") : text;
}

QString SqlValueText(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
    case QMetaType::Float:
        return RecordNumberText(value.toDouble());
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::QTime:
        return value.toTime().toString(Qt::ISODate);
    case QMetaType::QDateTime:
        return value.toDateTime().toString(Qt::ISODate);
    case QMetaType::QByteArray: {
        // A BLOB or bytea column: text when it holds UTF-8, as a text column would; other bytes
        // (a picture) as a "data:" URI, which keeps every byte and which a picture control reads.
        const QByteArray bytes = value.toByteArray();
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = decoder(bytes);
        if (!decoder.hasError())
            return text;
        return QStringLiteral("data:application/octet-stream;base64,") +
               QString::fromLatin1(bytes.toBase64());
    }
    default:
        return value.toString();
    }
}

QString SqlFieldText(const QVariant& value) {
    if (value.isNull())
        return QString(); // a null text: NULL, which totals skip
    return RecordText(SqlValueText(value));
}

QString NextConnectionName() {
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("kelmora-records-%1").arg(++counter);
}

[[noreturn]] void Refuse(const QString& what) {
    throw TRLException(what);
}

// The characters of PostgreSQL's names: a name runs on over digits and "$" too.
bool NameStart(QChar c) {
    const char16_t u = c.unicode();
    return u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_';
}

bool NamePart(QChar c) {
    return NameStart(c) || (c.unicode() >= '0' && c.unicode() <= '9') || c == u'$';
}

enum class Statements { One, Several, Unclear };

// How many statements a PostgreSQL query holds, split at its semicolons as the server's own
// reading splits them (with standard_conforming_strings on, as the session sets it): semicolons
// in quoted texts, quoted names, dollar-quoted texts and comments split nothing. Unclear for what
// the server itself would refuse or read in a way that depends on its version (an unclosed quote
// or comment, a quote straight after a number), so that nothing unclear runs.
Statements CountStatements(QStringView sql, QStringList* parameters = nullptr) {
    const qsizetype n = sql.size();
    const auto at = [&](qsizetype i) { return i < n ? sql[i] : QChar(); };
    // Ends a run quoted by a character ("'" or "\"") that stands for itself when doubled; i is
    // past the opening quote. -1 when it is not closed.
    const auto quoted = [&](qsizetype i, QChar quote, bool backslashes) -> qsizetype {
        for (; i < n; ++i) {
            if (backslashes && sql[i] == u'\\')
                ++i;
            else if (sql[i] == quote && at(i + 1) == quote)
                ++i;
            else if (sql[i] == quote)
                return i + 1;
        }
        return -1;
    };
    bool ended = false;     // a statement ended by a semicolon
    bool statement = false; // something since the last semicolon
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql[i];
        if (c == u'-' && at(i + 1) == u'-') {
            // A carriage return ends it as well as a line feed.
            while (i < n && sql[i] != u'\n' && sql[i] != u'\r')
                ++i;
            continue;
        }
        if (c == u'/' && at(i + 1) == u'*') {
            int depth = 0;
            do {
                if (i + 1 >= n)
                    return Statements::Unclear;
                if (sql[i] == u'/' && sql[i + 1] == u'*') {
                    ++depth;
                    i += 2;
                } else if (sql[i] == u'*' && sql[i + 1] == u'/') {
                    --depth;
                    i += 2;
                } else {
                    ++i;
                }
            } while (depth > 0);
            continue;
        }
        if (c == u';') {
            ended = ended || statement;
            statement = false;
            ++i;
            continue;
        }
        // Only these: other blanks are letters of names to the server.
        if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v') {
            ++i;
            continue;
        }
        if (ended)
            return Statements::Several;
        statement = true;
        if (NameStart(c)) {
            qsizetype end = i;
            while (end < n && NamePart(sql[end]))
                ++end;
            // E'...' is a text with backslash escapes; other names before a quote are names.
            const bool escapes = end - i == 1 && (c == u'e' || c == u'E') && at(end) == u'\'';
            i = end;
            if (escapes && (i = quoted(i + 1, u'\'', true)) < 0)
                return Statements::Unclear;
        } else if (c.isDigit() || (c == u'$' && at(i + 1).isDigit())) {
            // A number, or a parameter: the servers read a quote straight after one differently.
            // The run stops at "$": a dollar quote may follow a number on some servers.
            qsizetype end = i + 1;
            while (end < n && ((NamePart(sql[end]) && sql[end] != u'$') || sql[end] == u'.'))
                ++end;
            if (at(end) == u'\'' || at(end) == u'"' || at(end) == u'$')
                return Statements::Unclear;
            i = end;
        } else if (c == u'\'' || c == u'"') {
            if ((i = quoted(i + 1, c, false)) < 0)
                return Statements::Unclear;
        } else if (c == u'$') {
            // $tag$ ... $tag$, the tag a name without "$" or empty.
            qsizetype end = i + 1;
            if (NameStart(at(end)))
                while (end < n && NamePart(sql[end]) && sql[end] != u'$')
                    ++end;
            if (at(end) != u'$')
                return Statements::Unclear;
            const QStringView tag = sql.sliced(i, end + 1 - i);
            const qsizetype close = sql.indexOf(tag, end + 1);
            if (close < 0)
                return Statements::Unclear;
            i = close + tag.size();
        } else if (c == u':' && at(i + 1) == u':') {
            i += 2; // a cast, "::integer"
        } else if (c == u':' && NameStart(at(i + 1)) && at(i + 1).unicode() < 0x80) {
            // A named parameter, ":id"; each name once, in the order first written.
            qsizetype end = i + 1;
            while (end < n && NamePart(sql[end]) && sql[end] != u'$' && sql[end].unicode() < 0x80)
                ++end;
            const QString name = sql.sliced(i + 1, end - i - 1).toString();
            if (parameters && !parameters->contains(name, Qt::CaseInsensitive))
                *parameters << name;
            i = end;
        } else {
            ++i;
        }
    }
    return Statements::One;
}

// Sets up the connection that url names, or raises what is wrong with it.
QSqlDatabase AddDatabase(const QString& url, const QString& connection) {
    const QString usage = QStringLiteral("use sqlite:PATH or postgresql://USER@HOST:PORT/DATABASE");
    if (url.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive)) {
        QString path = url.mid(7);
        if (path.startsWith(QLatin1String("//")))
            path = path.mid(2);
        if (path.isEmpty())
            Refuse(QStringLiteral("%1: no database file named; %2").arg(url, usage));
        // Opening a missing file would make a new, empty database: a mistyped name would then
        // give an empty report instead of an error.
        if (!QFileInfo(path).isFile())
            Refuse(QStringLiteral("%1: no such database file").arg(path));
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
            Refuse(QStringLiteral("the SQLite driver of Qt SQL is not installed (QSQLITE, Debian "
                                  "package libqt6sql6-sqlite)"));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        return db;
    }
    return AddPostgresConnection(url, connection);
}

// The client library that a driver uses, taken from those the process has loaded rather than
// linked: the engine needs no database library of its own, and a driver built with a private
// copy is left alone (its connections are then not interrupted; a second signal still ends a
// program).
void* LoadedSymbol(const char* library, const char* name) {
    void* handle = dlopen(library, RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return nullptr;
    void* symbol = dlsym(handle, name);
    // The driver keeps the library loaded while its connection lives.
    dlclose(handle);
    return symbol;
}

} // namespace

QSqlDatabase AddPostgresConnection(const QString& url, const QString& connection) {
    const QString usage = QStringLiteral("use sqlite:PATH or postgresql://USER@HOST:PORT/DATABASE");
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (scheme != u"postgresql" && scheme != u"postgres")
        Refuse(QStringLiteral("%1: not a database URL; %2")
                   .arg(TRLSqlRecordStream::DisplayUrl(url), usage));
    if (!parsed.isValid())
        Refuse(QStringLiteral("%1: not a valid URL: %2")
                   .arg(TRLSqlRecordStream::DisplayUrl(url), parsed.errorString()));
    QString database = parsed.path();
    if (database.startsWith(u'/'))
        database.remove(0, 1);
    if (database.isEmpty())
        Refuse(QStringLiteral("%1: no database named; %2")
                   .arg(TRLSqlRecordStream::DisplayUrl(url), usage));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        Refuse(QStringLiteral("the PostgreSQL driver of Qt SQL is not installed (QPSQL, Debian "
                              "package libqt6sql6-psql)"));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
    db.setHostName(parsed.host());
    if (parsed.port() > 0)
        db.setPort(parsed.port());
    // Query items as the server's own client library takes them in its URLs: ?host= a socket
    // directory, ?port= the port, and any other connection setting (sslmode=require, say) passed
    // on, so that none is silently dropped.
    QStringList settings;
    const auto items = QUrlQuery(parsed).queryItems(QUrl::FullyDecoded);
    for (const auto& [name, value] : items) {
        if (name == u"host") {
            db.setHostName(value);
        } else if (name == u"port") {
            bool ok = false;
            const int port = value.toInt(&ok);
            if (!ok || port <= 0 || port > 65535)
                Refuse(QStringLiteral("%1: the port \"%2\" is no port number")
                           .arg(TRLSqlRecordStream::DisplayUrl(url), value));
            db.setPort(port);
        } else {
            settings << name + u'=' + value;
        }
    }
    db.setConnectOptions(settings.join(u';'));
    db.setUserName(parsed.userName());
    if (!parsed.password().isEmpty())
        db.setPassword(parsed.password());
    db.setDatabaseName(database);
    return db;
}

// Ends the connection's running query from any thread, through the client library's own means
// for that: SQLite's interrupt on the connection, PostgreSQL's cancel request, which the server
// takes on a connection of its own. With a stop check it polls it on a thread while it lives.
class TRLSqlRecordStream::TStopper {
public:
    explicit TStopper(StopCheck stopRequested) {
        if (!stopRequested)
            return;
        watcher_ = std::jthread([this, check = std::move(stopRequested)](std::stop_token stop) {
            // Named, so that a look at the process's threads shows a query that can be stopped.
            pthread_setname_np(pthread_self(), "kelmora-sqlstop");
            std::mutex wait;
            std::condition_variable_any woken;
            std::unique_lock lock(wait);
            while (!woken.wait_for(lock, stop, std::chrono::milliseconds(50),
                                   [&stop] { return stop.stop_requested(); })) {
                // Asked again at every turn: an interrupt that comes between two statements
                // (before the query started) ends nothing in SQLite.
                if (check())
                    Interrupt();
            }
        });
    }
    ~TStopper() {
        watcher_ = {};
        Detach();
    }
    TStopper(const TStopper&) = delete;
    TStopper& operator=(const TStopper&) = delete;

    // Takes the open connection's handle from its driver.
    void Attach(const QSqlDatabase& db) {
        const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
        const char* type = handle.typeName();
        const bool sqlite = qstrcmp(type, "sqlite3*") == 0;
        // libpq's PGconn is its struct pg_conn.
        const bool pq = qstrcmp(type, "PGconn*") == 0 || qstrcmp(type, "pg_conn*") == 0;
        if (!sqlite && !pq)
            return;
        void* pointer = *static_cast<void* const*>(handle.constData());
        if (!pointer)
            return;
        const std::lock_guard lock(mutex_);
        if (sqlite) {
            sqliteInterrupt_ = reinterpret_cast<void (*)(void*)>(
                LoadedSymbol("libsqlite3.so.0", "sqlite3_interrupt"));
            sqlite_ = sqliteInterrupt_ ? pointer : nullptr;
        } else {
            const auto getCancel =
                reinterpret_cast<void* (*)(void*)>(LoadedSymbol("libpq.so.5", "PQgetCancel"));
            pqCancel_ = reinterpret_cast<int (*)(void*, char*, int)>(
                LoadedSymbol("libpq.so.5", "PQcancel"));
            pqFreeCancel_ =
                reinterpret_cast<void (*)(void*)>(LoadedSymbol("libpq.so.5", "PQfreeCancel"));
            if (getCancel && pqCancel_ && pqFreeCancel_)
                pgCancel_ = getCancel(pointer);
        }
    }
    // Forgets the handle, before the connection closes.
    void Detach() {
        const std::lock_guard lock(mutex_);
        sqlite_ = nullptr;
        if (pgCancel_)
            pqFreeCancel_(pgCancel_);
        pgCancel_ = nullptr;
    }

    void Interrupt() {
        interrupted_ = true;
        const std::lock_guard lock(mutex_);
        if (sqlite_)
            sqliteInterrupt_(sqlite_);
        if (pgCancel_) {
            char error[256];
            pqCancel_(pgCancel_, error, sizeof error);
        }
    }
    bool Interrupted() const { return interrupted_; }

private:
    std::mutex mutex_;
    std::atomic<bool> interrupted_ = false;
    void* sqlite_ = nullptr;
    void (*sqliteInterrupt_)(void*) = nullptr;
    void* pgCancel_ = nullptr;
    int (*pqCancel_)(void*, char*, int) = nullptr;
    void (*pqFreeCancel_)(void*) = nullptr;
    // Last: it goes first, before what it reaches.
    std::jthread watcher_;
};

QString TRLSqlRecordStream::DisplayUrl(const QString& url) {
    QUrl parsed(url);
    QUrlQuery items(parsed);
    if (!parsed.isValid() ||
        (parsed.password().isEmpty() && !items.hasQueryItem(QStringLiteral("password"))))
        return url;
    parsed.setPassword(QString());
    items.removeAllQueryItems(QStringLiteral("password"));
    parsed.setQuery(items);
    return parsed.toString();
}

QStringList TRLSqlRecordStream::QueryParameters(const QString& query) {
    QStringList parameters;
    CountStatements(query, &parameters);
    return parameters;
}

TRLSqlRecordStream::TRLSqlRecordStream(const QString& url, const QString& query,
                                       StopCheck stopRequested, QObject* parent)
    : TRLRecordStream(parent), connection_(NextConnectionName()), displayUrl_(DisplayUrl(url)),
      stopper_(std::make_unique<TStopper>(std::move(stopRequested))),
      parameters_(QueryParameters(query)) {
    try {
        QSqlDatabase db = AddDatabase(url, connection_);
        // SQLite files are opened read-only. A server is read in a read-only transaction that the
        // query cannot leave, since it may be only one statement: a COMMIT before a second would
        // start a transaction that writes.
        const bool server = db.driverName() == u"QPSQL";
        if (server) {
            switch (CountStatements(query)) {
            case Statements::One:
                break;
            case Statements::Several:
                Refuse(QStringLiteral("%1: the query holds more than one statement; the records "
                                      "come from one query, which only reads")
                           .arg(displayUrl_));
            case Statements::Unclear:
                Refuse(QStringLiteral("%1: the query has an unclosed quote or comment, or a quote "
                                      "straight after a number, and cannot be told to be one "
                                      "statement")
                           .arg(displayUrl_));
            }
        }
        if (!db.open())
            Refuse(QStringLiteral("cannot connect to %1: %2")
                       .arg(displayUrl_, ErrorText(db.lastError())));
        stopper_->Attach(db);
        if (server) {
            QSqlQuery setup(db);
            for (const char* statement :
                 {"START TRANSACTION READ ONLY", "SET LOCAL standard_conforming_strings = on"})
                if (!setup.exec(QString::fromLatin1(statement)))
                    Fail(QStringLiteral("cannot start a read-only transaction"),
                         ErrorText(setup.lastError()));
        }
        query_ = std::make_unique<QSqlQuery>(db);
        // One row at a time, never the whole result: the drivers then read as they go.
        query_->setForwardOnly(true);
        // Exact decimals keep their digits as text instead of becoming binary fractions.
        query_->setNumericalPrecisionPolicy(QSql::HighPrecision);
        // A query with parameters waits for their values (Run); the values travel beside the
        // text, never inside it.
        const bool ran = parameters_.isEmpty() ? query_->exec(query) : query_->prepare(query);
        if (stopper_->Interrupted() || !ran)
            Fail(QStringLiteral("the query failed"), ErrorText(query_->lastError()));
        if (parameters_.isEmpty())
            TakeColumns();
    } catch (...) {
        stopper_.reset();
        query_.reset();
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
        throw;
    }
}

TRLSqlRecordStream::~TRLSqlRecordStream() {
    stopper_.reset();
    query_.reset();
    QSqlDatabase::database(connection_, false).close();
    QSqlDatabase::removeDatabase(connection_);
}

void TRLSqlRecordStream::TakeColumns() {
    const QSqlRecord record = query_->record();
    columns_ = record.count();
    if (columns_ > MaxFields)
        Refuse(QStringLiteral("%1: the query gives %2 columns; records have at most %3 fields")
                   .arg(displayUrl_)
                   .arg(columns_)
                   .arg(MaxFields));
    for (int c = 0; c < columns_; ++c)
        FieldColumn(record.fieldName(c));
}

void TRLSqlRecordStream::Run(const QVariantList& values) {
    Restart();
    for (qsizetype i = 0; i < parameters_.size(); ++i)
        query_->bindValue(QLatin1Char(':') + parameters_[i], values.value(i));
    if (stopper_->Interrupted() || !query_->exec())
        Fail(QStringLiteral("the query failed"), ErrorText(query_->lastError()));
    TakeColumns();
}

void TRLSqlRecordStream::Interrupt() {
    stopper_->Interrupt();
}

void TRLSqlRecordStream::Fail(const QString& what, const QString& reason) const {
    if (stopper_->Interrupted())
        Refuse(QStringLiteral("%1: the query was stopped").arg(displayUrl_));
    Refuse(QStringLiteral("%1: %2: %3").arg(displayUrl_, what, reason));
}

bool TRLSqlRecordStream::ReadRecord(TRLRecordRow& row) {
    if (!query_->next()) {
        if (query_->lastError().isValid() || stopper_->Interrupted())
            Fail(QStringLiteral("reading the rows failed"), ErrorText(query_->lastError()));
        return false;
    }
    for (int c = 0; c < columns_; ++c)
        row.Set(c, SqlFieldText(query_->value(c)));
    return true;
}

std::unique_ptr<TRLRecordStream> OpenSqlRecords(const QString& url, const QString& query,
                                                TRLSqlRecordStream::StopCheck stopRequested) {
    return std::make_unique<TRLSqlRecordStream>(url, query, std::move(stopRequested));
}

} // namespace Kelmora
