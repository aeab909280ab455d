#include <kelmora/app/RequestRegister.h>

#include <kelmora/report/RLSqlRecords.h>

#include "KelmoraVersion.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTimeZone>
#include <QUuid>

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <map>

namespace Kelmora {

namespace {

const QString kTimestampFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ");
const QString kDateFormat = QStringLiteral("yyyy-MM-dd");
const QString kTimeFormat = QStringLiteral("HH:mm");

// The request's fields as columns, after the register's own, in the order of the request file's
// keys (DatosSolicitudKeys), which is how a request is recorded.
constexpr const char* kRequestColumns[] = {"persona",
                                           "dni",
                                           "categoria",
                                           "dedicacion",
                                           "motivo",
                                           "destino",
                                           "medio",
                                           "medio_indice",
                                           "patente",
                                           "salida",
                                           "hora_salida",
                                           "regreso",
                                           "hora_regreso",
                                           "solicita_pasajes",
                                           "monto_pasaje",
                                           "solicita_kelmora",
                                           "dias_kelmora",
                                           "solicita_inscripcion",
                                           "monto_inscripcion"};

// Each schema version's statements, applied in order to bring a register forward to the next.
// A version once released is never changed: a later one adds its own step.
struct TMigration {
    int Version;
    QStringList Statements;
};

std::vector<TMigration> Migrations(bool postgres) {
    const QString id = postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                                : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    QString columns;
    for (const char* column : kRequestColumns) {
        const bool number = QLatin1String(column) == QLatin1String("medio_indice") ||
                            QLatin1String(column).startsWith(QLatin1String("solicita_"));
        columns += QStringLiteral(",\n  %1 %2 NOT NULL")
                       .arg(QLatin1String(column), number ? "INTEGER" : "TEXT");
    }
    return {
        {1,
         {QStringLiteral("CREATE TABLE kelmora_requests (\n"
                         "  id %1,\n"
                         "  printed TEXT NOT NULL,\n"
                         "  printed_by TEXT NOT NULL,\n"
                         "  documents TEXT NOT NULL,\n"
                         "  search_text TEXT NOT NULL%2)")
              .arg(id, columns),
          QStringLiteral("CREATE INDEX kelmora_requests_printed ON kelmora_requests (printed)"),
          QStringLiteral("CREATE INDEX kelmora_requests_persona ON kelmora_requests (persona)")}},
    };
}

QString Placeholders(int count) {
    QStringList marks;
    for (int i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    return marks.join(QStringLiteral(", "));
}

} // namespace

// The drivers give few codes (none at all for a connection that fails), so the common faults are
// told apart by their texts. Those of the server's client library and of the server itself come
// in the language of the desk or of the server: on our users' desks that is Spanish, so the
// fragments are those of the English texts and of their Spanish translations.
QString RegisterFailureReason(const QString& databaseText, const QString& driverText,
                              bool postgres) {
    const QString text = (databaseText + u' ' + driverText).toLower();
    const auto any = [&text](std::initializer_list<const char*> fragments) {
        return std::any_of(fragments.begin(), fragments.end(), [&text](const char* fragment) {
            return text.contains(QString::fromUtf8(fragment));
        });
    };
    // A login refused first: its text starts with the connection's failure.
    if (any({"password authentication failed", "no password supplied", "authentication failed",
             "role \"", "pg_hba.conf", "autentificación", "autenticación", "no existe el rol",
             "el rol «"}))
        return QStringLiteral("el servidor del registro no acepta el usuario o la contraseña");
    if ((text.contains(QLatin1String("does not exist")) &&
         text.contains(QLatin1String("database"))) ||
        any({"no existe la base de datos"}))
        return QStringLiteral("la base de datos del registro no existe en el servidor");
    // The system's own words (a network out of reach, say) follow the connection's failure.
    if (any({"could not connect", "connection refused", "could not translate",
             "no such file or directory", "timeout", "timed out", "server closed",
             "connection to server", "falló la conexión", "conexión rehusada",
             "no se pudo traducir", "no existe el fichero", "tiempo de espera", "expiró el tiempo",
             "ha cerrado la conexión"}))
        return QStringLiteral("no se pudo conectar con el servidor del registro");
    // SQLite speaks English only.
    if (any({"locked", "busy"}))
        return QStringLiteral("el archivo del registro está bloqueado por otro programa");
    if (any({"not a database", "malformed", "corrupt"}))
        return QStringLiteral("el archivo del registro está dañado");
    if (any({"readonly", "read-only", "permission denied", "unable to open", "access permission"}))
        return QStringLiteral("no se puede escribir el archivo del registro");
    return postgres ? QStringLiteral("el servidor del registro respondió con un error")
                    : QStringLiteral("el archivo del registro no se pudo usar");
}

namespace {

QString ReasonOf(const QSqlError& error, bool postgres) {
    return RegisterFailureReason(error.databaseText(), error.driverText(), postgres);
}

QString SqliteLocation(const QString& location) {
    QString path = location;
    if (path.startsWith(QLatin1String("sqlite:"), Qt::CaseInsensitive)) {
        path = path.mid(7);
        if (path.startsWith(QLatin1String("//")))
            path = path.mid(2);
    }
    return path;
}

bool IsPostgresLocation(const QString& location) {
    return location.startsWith(QLatin1String("postgresql:"), Qt::CaseInsensitive) ||
           location.startsWith(QLatin1String("postgres:"), Qt::CaseInsensitive);
}

// The file of an SQLite register, made before the database opens it, so that it is the owner's
// alone from its first byte: it holds people's identity numbers. Its folder is made the same
// way when missing; a file that exists keeps the modes its owner gave it.
void PrepareSqliteFile(const QString& path) {
    const QFileInfo info(path);
    if (info.exists())
        return;
    const QString folder = info.absolutePath();
    if (!QDir().mkpath(folder))
        throw TRequestRegisterError(QStringLiteral("no se pudo crear la carpeta del registro"),
                                    folder);
    QFile(folder).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                 QFileDevice::ExeOwner);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        // Another process may have made it a moment ago; that one is as good.
        if (QFileInfo::exists(path))
            return;
        throw TRequestRegisterError(QStringLiteral("no se pudo crear el archivo del registro"),
                                    path + QStringLiteral(": ") + file.errorString());
    }
}

QVariant Flag(bool value) {
    return value ? 1 : 0;
}

} // namespace

QString DesktopUserName() {
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

std::optional<TRequestRegisterError> RecordPrintedRequest(const QString& location,
                                                          const TDatosSolicitud& request,
                                                          const QStringList& documents) {
    try {
        TRequestRegister reg(location);
        reg.Record(request, documents, DesktopUserName(), QDateTime::currentDateTimeUtc());
        return std::nullopt;
    } catch (const TRequestRegisterError& error) {
        return error;
    }
}

QString FoldedForSearch(const QString& text) {
    const QString decomposed = text.toCaseFolded().normalized(QString::NormalizationForm_KD);
    QString folded;
    folded.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        const QChar::Category category = c.category();
        if (category != QChar::Mark_NonSpacing && category != QChar::Mark_SpacingCombining &&
            category != QChar::Mark_Enclosing)
            folded += c;
    }
    // Final sigma folds to sigma already; the case folding took care of the rest.
    return folded;
}

TRequestRegister::TRequestRegister(const QString& location, int busyTimeoutMs)
    : connection_(QStringLiteral("kelmora-register-") +
                  QUuid::createUuid().toString(QUuid::WithoutBraces)),
      postgres_(IsPostgresLocation(location)) {
    if (location.trimmed().isEmpty())
        throw TRequestRegisterError(QStringLiteral("no se indicó dónde está el registro"), {});
    QSqlDatabase db;
    if (postgres_) {
        displayLocation_ = TRLSqlRecordStream::DisplayUrl(location);
        try {
            db = AddPostgresConnection(location, connection_);
            // Without a limit the client library waits for a silent server as long as the
            // network does, minutes, with the operator's documents waiting behind it. The
            // library counts whole seconds, two at least.
            if (!db.connectOptions().contains(QLatin1String("connect_timeout="))) {
                const int seconds = std::max(2, (busyTimeoutMs + 999) / 1000);
                QStringList options{QStringLiteral("connect_timeout=%1").arg(seconds)};
                if (!db.connectOptions().isEmpty())
                    options.prepend(db.connectOptions());
                db.setConnectOptions(options.join(u';'));
            }
        } catch (const TRLException& error) {
            QSqlDatabase::removeDatabase(connection_);
            throw TRequestRegisterError(QStringLiteral("la dirección del registro no es válida"),
                                        error.Message());
        }
    } else {
        const QString path = SqliteLocation(location);
        displayLocation_ = path;
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
            throw TRequestRegisterError(
                QStringLiteral("falta el controlador de SQLite (paquete libqt6sql6-sqlite)"), {});
        PrepareSqliteFile(path);
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        db.setDatabaseName(path);
        // Two operators' programs on one file wait for each other's transactions, rather than
        // fail at once.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    }
    if (!db.open()) {
        const QSqlError error = db.lastError();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection_);
        throw TRequestRegisterError(ReasonOf(error, postgres_),
                                    displayLocation_ + QStringLiteral(": ") + error.text());
    }
    try {
        if (!postgres_) {
            // A write-ahead log keeps the file whole when a program dies while recording, and
            // lets searches go on while another program records.
            QSqlQuery pragma(db);
            if (!pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
                Fail(QStringLiteral("PRAGMA journal_mode"), pragma.lastError());
        }
        Migrate();
    } catch (...) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection_);
        throw;
    }
}

TRequestRegister::~TRequestRegister() {
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

QString TRequestRegister::DisplayLocation() const {
    return displayLocation_;
}

QString TRequestRegister::DefaultLocation() {
    const QString fromEnvironment = qEnvironmentVariable("KELMORA_REGISTER").trimmed();
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    // Named outright rather than by the running program's name, so that the desktop program and
    // kelmora-batch share one settings file and one register.
    const QString organization = QStringLiteral(KELMORA_ORGANIZATION);
    const QString program = QStringLiteral(KELMORA_NAME);
    const QSettings settings(organization, program);
    const QString fromSettings = settings.value(QStringLiteral("register")).toString().trimmed();
    if (!fromSettings.isEmpty())
        return fromSettings;
    // The desktop program's own data folder (its AppDataLocation).
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u'/' +
           organization + u'/' + program + QStringLiteral("/registro.sqlite");
}

void TRequestRegister::Fail(const QString& what, const QSqlError& error) const {
    throw TRequestRegisterError(ReasonOf(error, postgres_),
                                displayLocation_ + QStringLiteral(": ") + what +
                                    QStringLiteral(": ") + error.text());
}

// Brings the schema to this program's version in one transaction, which two programs opening a
// new register at once take in turn: SQLite by its write lock (taken at once), the server by a
// lock held until the transaction ends.
void TRequestRegister::Migrate() {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery query(db);
    const auto exec = [&](const QString& statement) {
        if (!query.exec(statement))
            Fail(statement.section(u'\n', 0, 0), query.lastError());
    };
    exec(postgres_ ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
    try {
        if (postgres_)
            exec(QStringLiteral("SELECT pg_advisory_xact_lock(7340113)"));
        exec(QStringLiteral("CREATE TABLE IF NOT EXISTS kelmora_register_schema "
                            "(version INTEGER NOT NULL)"));
        exec(QStringLiteral("SELECT version FROM kelmora_register_schema"));
        int version = 0;
        const bool numbered = query.next();
        if (numbered)
            version = query.value(0).toInt();
        if (version > SchemaVersion)
            throw TRequestRegisterError(
                QStringLiteral("el registro es de una versión más nueva del programa"),
                QStringLiteral("%1: schema version %2, this program knows up to %3")
                    .arg(displayLocation_)
                    .arg(version)
                    .arg(SchemaVersion));
        for (const TMigration& step : Migrations(postgres_)) {
            if (step.Version <= version)
                continue;
            for (const QString& statement : step.Statements)
                exec(statement);
            version = step.Version;
        }
        exec(numbered
                 ? QStringLiteral("UPDATE kelmora_register_schema SET version = %1").arg(version)
                 : QStringLiteral("INSERT INTO kelmora_register_schema (version) VALUES (%1)")
                       .arg(version));
        exec(QStringLiteral("COMMIT"));
    } catch (...) {
        query.exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

qint64 TRequestRegister::Record(const TDatosSolicitud& d, const QStringList& documents,
                                const QString& printedBy, const QDateTime& printed) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QStringList columns{QStringLiteral("printed"), QStringLiteral("printed_by"),
                        QStringLiteral("documents"), QStringLiteral("search_text")};
    for (const char* column : kRequestColumns)
        columns << QLatin1String(column);
    QSqlQuery query(db);
    QString statement = QStringLiteral("INSERT INTO kelmora_requests (%1) VALUES (%2)")
                            .arg(columns.join(QStringLiteral(", ")), Placeholders(columns.size()));
    if (postgres_)
        statement += QStringLiteral(" RETURNING id");
    if (!query.prepare(statement))
        Fail(QStringLiteral("INSERT"), query.lastError());
    QString dniDigits = d.DNI;
    dniDigits.remove(QRegularExpression(QStringLiteral("[^0-9A-Za-z]")));
    QVariantList values{
        printed.toUTC().toString(kTimestampFormat), printedBy, documents.join(u','),
        FoldedForSearch(QStringList{d.Persona, d.DNI, dniDigits, d.Destino, d.Motivo}.join(u'\n'))};
    // The request's fields as the request file writes them, in the columns' order: flags as 0
    // and 1, the entry's index as a number, everything else as text.
    const QJsonObject fields = DatosSolicitudToJson(d);
    Q_ASSERT(DatosSolicitudKeys().size() == static_cast<qsizetype>(std::size(kRequestColumns)));
    for (const QString& key : DatosSolicitudKeys()) {
        const QJsonValue value = fields.value(key);
        if (value.isBool())
            values << Flag(value.toBool());
        else if (value.isDouble())
            values << value.toInt();
        else
            values << value.toString();
    }
    for (const QVariant& value : values) {
        // The drivers bind a null text as SQL's NULL; an empty field is an empty text.
        const bool nullText = value.typeId() == QMetaType::QString && value.toString().isNull();
        query.addBindValue(nullText ? QVariant(QString(QLatin1String(""))) : value);
    }
    // One statement is its own transaction: the request is recorded whole or not at all, and a
    // program killed while recording leaves every earlier one as it was.
    if (!query.exec())
        Fail(QStringLiteral("INSERT"), query.lastError());
    if (postgres_)
        return query.next() ? query.value(0).toLongLong() : 0;
    return query.lastInsertId().toLongLong();
}

namespace {

TRegisteredRequest EntryFromQuery(const QSqlQuery& q) {
    TRegisteredRequest entry;
    entry.Id = q.value(0).toLongLong();
    entry.Printed = QDateTime::fromString(q.value(1).toString(), Qt::ISODateWithMs);
    entry.Printed.setTimeZone(QTimeZone::utc());
    entry.PrintedBy = q.value(2).toString();
    entry.Documents = q.value(3).toString().split(u',', Qt::SkipEmptyParts);
    TDatosSolicitud& d = entry.Request;
    int c = 4;
    d.Persona = q.value(c++).toString();
    d.DNI = q.value(c++).toString();
    d.Categoria = q.value(c++).toString();
    d.Dedicacion = q.value(c++).toString();
    d.Motivo = q.value(c++).toString();
    d.Destino = q.value(c++).toString();
    d.Medio = q.value(c++).toString();
    d.MedioIndice = q.value(c++).toInt();
    d.Patente = q.value(c++).toString();
    d.Salida = QDate::fromString(q.value(c++).toString(), kDateFormat);
    d.HoraSalida = QTime::fromString(q.value(c++).toString(), kTimeFormat);
    d.Regreso = QDate::fromString(q.value(c++).toString(), kDateFormat);
    d.HoraRegreso = QTime::fromString(q.value(c++).toString(), kTimeFormat);
    d.SolicitaPasajes = q.value(c++).toInt() != 0;
    d.MontoPasaje = q.value(c++).toString();
    d.SolicitaKelmora = q.value(c++).toInt() != 0;
    d.DiasKelmora = q.value(c++).toString();
    d.SolicitaInscripcion = q.value(c++).toInt() != 0;
    d.MontoInscripcion = q.value(c++).toString();
    return entry;
}

QString SelectColumns() {
    QStringList columns{QStringLiteral("id"), QStringLiteral("printed"),
                        QStringLiteral("printed_by"), QStringLiteral("documents")};
    for (const char* column : kRequestColumns)
        columns << QLatin1String(column);
    return columns.join(QStringLiteral(", "));
}

// A LIKE pattern that finds text as it is: its own % and _ and the escape mark match themselves.
QString ContainsPattern(const QString& text) {
    QString escaped = text;
    escaped.replace(u'!', QStringLiteral("!!"));
    escaped.replace(u'%', QStringLiteral("!%"));
    escaped.replace(u'_', QStringLiteral("!_"));
    return u'%' + escaped + u'%';
}

} // namespace

std::vector<TRegisteredRequest> TRequestRegister::Find(const TRegisterSearch& search) const {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QStringList conditions;
    QVariantList values;
    const QString text = FoldedForSearch(search.Text.trimmed());
    if (!text.isEmpty()) {
        conditions << QStringLiteral("search_text LIKE ? ESCAPE '!'");
        values << ContainsPattern(text);
    }
    // The dates are the operator's local days; the register keeps UTC.
    if (search.From.isValid()) {
        conditions << QStringLiteral("printed >= ?");
        values << search.From.startOfDay().toUTC().toString(kTimestampFormat);
    }
    if (search.To.isValid()) {
        conditions << QStringLiteral("printed < ?");
        values << search.To.addDays(1).startOfDay().toUTC().toString(kTimestampFormat);
    }
    QString statement = QStringLiteral("SELECT %1 FROM kelmora_requests").arg(SelectColumns());
    if (!conditions.isEmpty())
        statement += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    statement +=
        QStringLiteral(" ORDER BY printed DESC, id DESC LIMIT %1").arg(std::max(search.Limit, 0));
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(statement))
        Fail(QStringLiteral("SELECT"), query.lastError());
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        Fail(QStringLiteral("SELECT"), query.lastError());
    std::vector<TRegisteredRequest> entries;
    while (query.next())
        entries.push_back(EntryFromQuery(query));
    if (query.lastError().isValid())
        Fail(QStringLiteral("SELECT"), query.lastError());
    return entries;
}

std::vector<TRegisteredPerson> TRequestRegister::People() const {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT persona, dni, categoria, dedicacion FROM "
                                   "kelmora_requests WHERE persona <> '' "
                                   "ORDER BY printed DESC, id DESC")))
        Fail(QStringLiteral("SELECT"), query.lastError());
    // Newest first: the first row of each person is what their newest request said.
    std::map<QString, TRegisteredPerson> people;
    while (query.next()) {
        const QString persona = query.value(0).toString();
        const QString key = FoldedForSearch(persona.simplified());
        if (people.count(key) == 0)
            people.emplace(key,
                           TRegisteredPerson{persona, query.value(1).toString(),
                                             query.value(2).toString(), query.value(3).toString()});
    }
    if (query.lastError().isValid())
        Fail(QStringLiteral("SELECT"), query.lastError());
    std::vector<TRegisteredPerson> list;
    list.reserve(people.size());
    for (auto& [key, person] : people)
        list.push_back(std::move(person));
    return list;
}

QJsonObject RegisteredRequestToJson(const TRegisteredRequest& entry) {
    QJsonObject object = DatosSolicitudToJson(entry.Request);
    object.insert(QStringLiteral("printed"), entry.Printed.toUTC().toString(kTimestampFormat));
    object.insert(QStringLiteral("printedBy"), entry.PrintedBy);
    object.insert(QStringLiteral("documents"), QJsonArray::fromStringList(entry.Documents));
    return object;
}

QByteArray RegisteredRequestsToCsv(const std::vector<TRegisteredRequest>& entries) {
    QStringList header = DatosSolicitudKeys();
    header << QStringLiteral("printed") << QStringLiteral("printedBy")
           << QStringLiteral("documents");
    const auto field = [](QString text) {
        // A text that a spreadsheet would take for a formula (a name typed as "=HYPERLINK(...)",
        // say) is written as text, behind the apostrophe that spreadsheets read as "text".
        if (!text.isEmpty() && QStringLiteral("=+-@\t\r").contains(text.front()))
            text.prepend(u'\'');
        if (text.contains(u'"') || text.contains(u',') || text.contains(u'\n') ||
            text.contains(u'\r') || text.startsWith(u' ') || text.endsWith(u' ')) {
            text.replace(u'"', QStringLiteral("\"\""));
            return u'"' + text + u'"';
        }
        return text;
    };
    QString csv = header.join(u',') + QStringLiteral("\r\n");
    for (const TRegisteredRequest& entry : entries) {
        const QJsonObject object = RegisteredRequestToJson(entry);
        QStringList row;
        for (const QString& key : header) {
            const QJsonValue value = object.value(key);
            if (value.isBool())
                row << (value.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
            else if (value.isDouble())
                row << QString::number(value.toInteger());
            else if (value.isArray())
                row << field(entry.Documents.join(u' '));
            else
                row << field(value.toString());
        }
        csv += row.join(u',') + QStringLiteral("\r\n");
    }
    return csv.toUtf8();
}

} // namespace Kelmora
