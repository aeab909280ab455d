#include "RLSqlRecords.h"

#include "RLCore.h"

#include <QAtomicInteger>
#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTime>
#include <QUrl>
#include <QUrlQuery>

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
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
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

} // namespace

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

TRLSqlRecordStream::TRLSqlRecordStream(const QString& url, const QString& query, QObject* parent)
    : TRLRecordStream(parent), connection_(NextConnectionName()), displayUrl_(DisplayUrl(url)) {
    try {
        QSqlDatabase db = AddDatabase(url, connection_);
        if (!db.open())
            Refuse(QStringLiteral("cannot connect to %1: %2")
                       .arg(displayUrl_, ErrorText(db.lastError())));
        query_ = std::make_unique<QSqlQuery>(db);
        // One row at a time, never the whole result: the drivers then read as they go.
        query_->setForwardOnly(true);
        // Exact decimals keep their digits as text instead of becoming binary fractions.
        query_->setNumericalPrecisionPolicy(QSql::HighPrecision);
        if (!query_->exec(query))
            Refuse(QStringLiteral("%1: the query failed: %2")
                       .arg(displayUrl_, ErrorText(query_->lastError())));
        const QSqlRecord record = query_->record();
        columns_ = record.count();
        if (columns_ > MaxFields)
            Refuse(QStringLiteral("%1: the query gives %2 columns; records have at most %3 fields")
                       .arg(displayUrl_)
                       .arg(columns_)
                       .arg(MaxFields));
        for (int c = 0; c < columns_; ++c)
            FieldColumn(record.fieldName(c));
    } catch (...) {
        query_.reset();
        QSqlDatabase::removeDatabase(connection_);
        throw;
    }
}

TRLSqlRecordStream::~TRLSqlRecordStream() {
    query_.reset();
    QSqlDatabase::database(connection_, false).close();
    QSqlDatabase::removeDatabase(connection_);
}

bool TRLSqlRecordStream::ReadRecord(TRLRecordRow& row) {
    if (!query_->next()) {
        if (query_->lastError().isValid())
            Refuse(QStringLiteral("%1: reading the rows failed: %2")
                       .arg(displayUrl_, ErrorText(query_->lastError())));
        return false;
    }
    for (int c = 0; c < columns_; ++c)
        row.Set(c, SqlFieldText(query_->value(c)));
    return true;
}

std::unique_ptr<TRLRecordStream> OpenSqlRecords(const QString& url, const QString& query) {
    return std::make_unique<TRLSqlRecordStream>(url, query);
}
