// The request register on a real SQLite file and on the private PostgreSQL server: what is
// recorded comes back whole, search, the people, the schema, two programs at once, a program
// killed while recording, and every way the register can fail to open.
#include "AppTestSupport.h"
#include <kelmora/app/DatosSolicitud.h>
#include <kelmora/app/RequestRegister.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScopeGuard>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeZone>
#include <QUrl>
#include <QUuid>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Kelmora;

namespace {

constexpr const char* kChildVariable = "KELMORA_REGISTER_CHILD";

QString PgVariable(const char* name) {
    return qEnvironmentVariable(name);
}

bool HavePostgres() {
    return !PgVariable("KELMORA_TEST_PG_HOST").isEmpty() &&
           !PgVariable("KELMORA_TEST_PG_USER").isEmpty() &&
           !PgVariable("KELMORA_TEST_PG_DATABASE").isEmpty();
}

// The private server through its socket directory, as an office's URL names a server.
QString PgUrl(const QString& user, const QString& extra = {}) {
    return QStringLiteral("postgresql://%1@/%2?host=%3&port=%4%5")
        .arg(user, PgVariable("KELMORA_TEST_PG_DATABASE"),
             QString::fromLatin1(QUrl::toPercentEncoding(PgVariable("KELMORA_TEST_PG_HOST"))),
             qEnvironmentVariable("KELMORA_TEST_PG_PORT", QStringLiteral("5432")), extra);
}

// A schema of the test's own on the shared server, so that tests running side by side each see
// a register of their own; the register's URL puts it first on the search path.
class PgSchema {
public:
    PgSchema() : name_(QStringLiteral("register_") + QUuid::createUuid().toString(QUuid::Id128)) {
        Run(QStringLiteral("CREATE SCHEMA ") + name_);
    }
    ~PgSchema() { Run(QStringLiteral("DROP SCHEMA ") + name_ + QStringLiteral(" CASCADE")); }
    PgSchema(const PgSchema&) = delete;
    PgSchema& operator=(const PgSchema&) = delete;

    const QString& Name() const { return name_; }
    QString Url(const QString& user = PgVariable("KELMORA_TEST_PG_USER")) const {
        return PgUrl(user, QStringLiteral("&options=-csearch_path%3D") + name_);
    }
    void Run(const QString& statement) const {
        const QString connection = QStringLiteral("pg-schema-") + name_;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
            db.setHostName(PgVariable("KELMORA_TEST_PG_HOST"));
            db.setPort(qEnvironmentVariable("KELMORA_TEST_PG_PORT", "5432").toInt());
            db.setUserName(PgVariable("KELMORA_TEST_PG_USER"));
            db.setDatabaseName(PgVariable("KELMORA_TEST_PG_DATABASE"));
            ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
            QSqlQuery query(db);
            EXPECT_TRUE(query.exec(statement)) << query.lastError().text().toStdString();
        }
        QSqlDatabase::removeDatabase(connection);
    }

private:
    QString name_;
};

// One register for each kind of database, the same tests on both.
enum class Kind { Sqlite, Postgres };

class RegisterTest : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        if (GetParam() == Kind::Postgres) {
            if (!HavePostgres())
                GTEST_SKIP() << "no PostgreSQL server: KELMORA_TEST_PG_HOST (with _PORT, _USER, "
                                "_DATABASE) is unset; scripts/test starts one";
            schema_ = std::make_unique<PgSchema>();
            location_ = schema_->Url();
        } else {
            ASSERT_TRUE(dir_.isValid());
            location_ = dir_.filePath(QStringLiteral("datos/registro.sqlite"));
        }
    }

    QString location_;
    QTemporaryDir dir_;
    std::unique_ptr<PgSchema> schema_;
};

QDateTime At(int day, int hour, int minute = 0) {
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute), QTimeZone::utc());
}

TDatosSolicitud Greek() {
    TDatosSolicitud d = apptest::FullRequest();
    d.Persona = QStringLiteral("ΠΑΠΑΔΟΠΟΥΛΟΣ, ΣΩΚΡΆΤΗΣ");
    d.DNI = QStringLiteral("94.123.456");
    d.Destino = QStringLiteral("Θεσσαλονίκη");
    d.Motivo = QStringLiteral("Συνέδριο 100% \"online\"\ny_z");
    d.MedioIndice = 0;
    d.Medio = MedioEntries().at(0);
    d.Patente.clear();
    d.SolicitaKelmora = false;
    d.DiasKelmora.clear();
    d.SolicitaInscripcion = true;
    d.MontoInscripcion = QStringLiteral("12.000,00");
    return d;
}

QStringList Names(const std::vector<TRegisteredRequest>& entries) {
    QStringList names;
    for (const TRegisteredRequest& entry : entries)
        names << entry.Request.Persona;
    return names;
}

// Every field comes back as it was recorded, with when, by whom and which documents; the newest
// is listed first, whatever order they were recorded in.
TEST_P(RegisterTest, WhatIsRecordedComesBackWholeNewestFirst) {
    TRequestRegister reg(location_);
    const TDatosSolicitud full = apptest::FullRequest();
    const TDatosSolicitud greek = Greek();
    TDatosSolicitud empty;
    empty.Salida = QDate(2026, 1, 2);
    empty.Regreso = QDate(2026, 1, 3);
    empty.HoraSalida = QTime(0, 0);
    empty.HoraRegreso = QTime(23, 59);
    const qint64 first = reg.Record(greek, {kDocumentSolicitud, kDocumentDeclaracionJurada},
                                    QStringLiteral("operador"), At(5, 10, 30));
    reg.Record(full, {kDocumentSolicitud, kDocumentVehiculoParticular}, QStringLiteral("ana"),
               At(7, 9));
    reg.Record(empty, {kDocumentSolicitud}, QStringLiteral("ana"), At(6, 23, 59));
    EXPECT_GT(first, 0);

    const std::vector<TRegisteredRequest> all = reg.Find({});
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].Request, full);
    EXPECT_EQ(all[1].Request, empty);
    EXPECT_EQ(all[2].Request, greek);
    EXPECT_EQ(all[2].Id, first);
    EXPECT_EQ(all[2].Printed, At(5, 10, 30));
    EXPECT_EQ(all[2].PrintedBy, QStringLiteral("operador"));
    EXPECT_EQ(all[2].Documents, QStringList({kDocumentSolicitud, kDocumentDeclaracionJurada}));
    EXPECT_EQ(all[0].Documents, QStringList({kDocumentSolicitud, kDocumentVehiculoParticular}));
    EXPECT_EQ(reg.Find({.Limit = 2}).size(), 2u);

    // Opened again (by the next day's program), it holds the same.
    TRequestRegister again(location_);
    EXPECT_EQ(Names(again.Find({})), Names(all));
}

// The search finds a text in the person, the identity number (with or without its dots), the
// destination or the reason, whatever its case and accents; its own % and _ are plain text; the
// dates are the local days it was printed on.
TEST_P(RegisterTest, SearchFoldsCaseAndAccentsAndTakesItsTextAsItIs) {
    TRequestRegister reg(location_);
    const TDatosSolicitud full = apptest::FullRequest();
    const TDatosSolicitud greek = Greek();
    reg.Record(full, {kDocumentSolicitud}, QStringLiteral("ana"), At(7, 12));
    reg.Record(greek, {kDocumentSolicitud}, QStringLiteral("ana"), At(5, 12));

    const auto found = [&reg](const TRegisterSearch& search) { return Names(reg.Find(search)); };
    const QString greekName = greek.Persona;
    const QString fullName = full.Persona;
    EXPECT_EQ(found({.Text = QStringLiteral("MUNOZ")}), QStringList{fullName});
    EXPECT_EQ(found({.Text = QStringLiteral("maría josé")}), QStringList{fullName});
    EXPECT_EQ(found({.Text = QStringLiteral("σωκρατης")}), QStringList{greekName});
    EXPECT_EQ(found({.Text = QStringLiteral("θεσσαλονικη")}), QStringList{greekName});
    EXPECT_EQ(found({.Text = QStringLiteral("27456789")}), QStringList{fullName});
    EXPECT_EQ(found({.Text = QStringLiteral("27.456")}), QStringList{fullName});
    EXPECT_EQ(found({.Text = QStringLiteral("ponencia")}), QStringList{fullName});
    EXPECT_EQ(found({.Text = QStringLiteral("100%")}), QStringList{greekName});
    EXPECT_EQ(found({.Text = QStringLiteral("y_z")}), QStringList{greekName});
    EXPECT_TRUE(found({.Text = QStringLiteral("%")}).size() == 1) << "% only where it is typed";
    EXPECT_TRUE(found({.Text = QStringLiteral("_")}).size() == 1);
    EXPECT_TRUE(found({.Text = QStringLiteral("Rosario")}).isEmpty());
    EXPECT_EQ(found({.Text = QStringLiteral("  ")}).size(), 2) << "blanks find everything";

    EXPECT_EQ(found({.From = QDate(2026, 12, 6)}), QStringList{fullName});
    EXPECT_EQ(found({.To = QDate(2026, 12, 6)}), QStringList{greekName});
    EXPECT_EQ(found({.From = QDate(2026, 12, 5), .To = QDate(2026, 12, 5)}),
              QStringList{greekName});
    EXPECT_EQ(found({.Text = QStringLiteral("munoz"), .To = QDate(2026, 12, 6)}), QStringList());
}

// Each person once, by name whatever the case and accents, with what their newest request said.
TEST_P(RegisterTest, PeopleAreListedOnceWithTheirNewestEntries) {
    TRequestRegister reg(location_);
    TDatosSolicitud older = apptest::FullRequest();
    older.DNI = QStringLiteral("1");
    older.Categoria = QStringLiteral("TIT");
    TDatosSolicitud newer = apptest::FullRequest();
    newer.Persona = QStringLiteral("MUÑOZ, MARÍA JOSÉ");
    reg.Record(older, {kDocumentSolicitud}, QStringLiteral("ana"), At(1, 8));
    reg.Record(newer, {kDocumentSolicitud}, QStringLiteral("ana"), At(2, 8));
    reg.Record(Greek(), {kDocumentSolicitud}, QStringLiteral("ana"), At(3, 8));
    TDatosSolicitud nobody = Greek();
    nobody.Persona.clear();
    reg.Record(nobody, {kDocumentSolicitud}, QStringLiteral("ana"), At(4, 8));

    const std::vector<TRegisteredPerson> people = reg.People();
    ASSERT_EQ(people.size(), 2u);
    EXPECT_EQ(people[0].Persona, newer.Persona);
    EXPECT_EQ(people[0].DNI, newer.DNI);
    EXPECT_EQ(people[0].Categoria, newer.Categoria);
    EXPECT_EQ(people[0].Dedicacion, newer.Dedicacion);
    EXPECT_EQ(people[1].Persona, Greek().Persona);
}

// A register of a newer program is refused, not written into; one of this version opens.
TEST_P(RegisterTest, ANewerSchemaIsRefusedAndThisOneKept) {
    { TRequestRegister reg(location_); }
    const auto setVersion = [this](int version) {
        if (GetParam() == Kind::Postgres) {
            schema_->Run(QStringLiteral("UPDATE %1.kelmora_register_schema SET version = %2")
                             .arg(schema_->Name())
                             .arg(version));
        } else {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "version");
            db.setDatabaseName(location_);
            ASSERT_TRUE(db.open());
            QSqlQuery(db).exec(
                QStringLiteral("UPDATE kelmora_register_schema SET version = %1").arg(version));
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase("version");
        }
    };
    setVersion(TRequestRegister::SchemaVersion + 1);
    try {
        TRequestRegister newer(location_);
        ADD_FAILURE() << "a newer register was opened";
    } catch (const TRequestRegisterError& error) {
        EXPECT_EQ(error.Reason(),
                  QStringLiteral("el registro es de una versión más nueva del programa"));
    }
    setVersion(TRequestRegister::SchemaVersion);
    TRequestRegister same(location_);
    EXPECT_TRUE(same.Find({}).empty());
}

INSTANTIATE_TEST_SUITE_P(Register, RegisterTest, ::testing::Values(Kind::Sqlite, Kind::Postgres),
                         [](const auto& info) {
                             return info.param == Kind::Sqlite ? "Sqlite" : "Postgres";
                         });

// The child processes of the tests below: records KELMORA_REGISTER_COUNT requests (forever
// when 0) into the register at KELMORA_REGISTER_LOCATION, each named after its writer.
TEST(RegisterChild, DISABLED_Records) {
    ASSERT_FALSE(qEnvironmentVariableIsEmpty(kChildVariable));
    TRequestRegister reg(qEnvironmentVariable("KELMORA_REGISTER_LOCATION"));
    const int count = qEnvironmentVariableIntValue("KELMORA_REGISTER_COUNT");
    TDatosSolicitud d = apptest::FullRequest();
    for (int i = 0; count == 0 || i < count; ++i) {
        d.Persona = QStringLiteral("%1 %2").arg(qEnvironmentVariable(kChildVariable)).arg(i);
        d.Motivo = QString(400, QChar(u'ñ'));
        reg.Record(d, {kDocumentSolicitud}, QStringLiteral("hijo"),
                   QDateTime::currentDateTimeUtc());
    }
}

QProcess* StartChild(const QString& name, const QString& location, int count, QObject* owner) {
    auto* child = new QProcess(owner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kChildVariable), name);
    env.insert(QStringLiteral("KELMORA_REGISTER_LOCATION"), location);
    env.insert(QStringLiteral("KELMORA_REGISTER_COUNT"), QString::number(count));
    child->setProcessEnvironment(env);
    child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--gtest_also_run_disabled_tests"),
                  QStringLiteral("--gtest_filter=RegisterChild.DISABLED_Records")});
    return child;
}

class RegisterProcesses : public RegisterTest {};

// Two operators printing at the same moment are both recorded, fifty requests each.
TEST_P(RegisterProcesses, TwoProgramsRecordingAtOnceAreBothRecorded) {
    { TRequestRegister created(location_); }
    QObject owner;
    QProcess* one = StartChild(QStringLiteral("uno"), location_, 50, &owner);
    QProcess* two = StartChild(QStringLiteral("dos"), location_, 50, &owner);
    for (QProcess* child : {one, two}) {
        ASSERT_TRUE(child->waitForFinished(60000));
        EXPECT_EQ(child->exitCode(), 0);
    }
    TRequestRegister reg(location_);
    const QStringList names = Names(reg.Find({}));
    EXPECT_EQ(names.size(), 100);
    for (int i = 0; i < 50; ++i) {
        EXPECT_TRUE(names.contains(QStringLiteral("uno %1").arg(i))) << i;
        EXPECT_TRUE(names.contains(QStringLiteral("dos %1").arg(i))) << i;
    }
}

// A program killed while it records leaves a register that opens, with every request it had
// recorded whole, and that takes the next.
TEST_P(RegisterProcesses, AProgramKilledWhileRecordingLeavesEveryEarlierRequest) {
    { TRequestRegister created(location_); }
    QObject owner;
    QProcess* child = StartChild(QStringLiteral("muerto"), location_, 0, &owner);
    ASSERT_TRUE(child->waitForStarted());
    TRequestRegister reader(location_);
    for (int tries = 0; tries < 600 && reader.Find({.Limit = 30}).size() < 30; ++tries)
        QThread::msleep(50);
    ::kill(static_cast<pid_t>(child->processId()), SIGKILL);
    ASSERT_TRUE(child->waitForFinished(10000));

    TRequestRegister reg(location_);
    const std::vector<TRegisteredRequest> entries = reg.Find({.Limit = 100000});
    ASSERT_GE(entries.size(), 30u);
    // Recorded one after another: the survivors are numbers 0 to n-1, each whole.
    const int n = static_cast<int>(entries.size());
    for (int i = 0; i < n; ++i) {
        const TRegisteredRequest& entry = entries[static_cast<size_t>(n - 1 - i)];
        EXPECT_EQ(entry.Request.Persona, QStringLiteral("muerto %1").arg(i));
        EXPECT_EQ(entry.Request.Motivo, QString(400, QChar(u'ñ')));
    }
    reg.Record(apptest::FullRequest(), {kDocumentSolicitud}, QStringLiteral("ana"),
               QDateTime::currentDateTimeUtc());
    EXPECT_EQ(reg.Find({.Limit = 100000}).size(), entries.size() + 1);
}

INSTANTIATE_TEST_SUITE_P(Register, RegisterProcesses,
                         ::testing::Values(Kind::Sqlite, Kind::Postgres), [](const auto& info) {
                             return info.param == Kind::Sqlite ? "Sqlite" : "Postgres";
                         });

QString ReasonOpening(const QString& location, int busyTimeoutMs = 10000) {
    try {
        TRequestRegister reg(location, busyTimeoutMs);
        return QStringLiteral("opened");
    } catch (const TRequestRegisterError& error) {
        EXPECT_FALSE(error.Detail().isEmpty()) << error.Reason().toStdString();
        return error.Reason();
    }
}

// A new register file is its owner's alone, in a folder of its own; a corrupt or locked one is
// refused with the reason in the operator's words.
TEST(RegisterFile, IsTheOwnersAloneAndACorruptOrLockedOneIsRefused) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nuevo/registro.sqlite"));
    { TRequestRegister reg(path); }
    const auto mode = [](const QString& file) {
        struct stat info {};
        return ::stat(file.toLocal8Bit().constData(), &info) == 0 ? info.st_mode & 0777 : 0u;
    };
    EXPECT_EQ(mode(path), 0600u) << "the register is for its owner's eyes only";
    EXPECT_EQ(mode(QFileInfo(path).absolutePath()), 0700u);

    const QString corrupt = dir.filePath(QStringLiteral("corrupto.sqlite"));
    QFile file(corrupt);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(8192, 'x'));
    file.close();
    EXPECT_EQ(ReasonOpening(corrupt), QStringLiteral("el archivo del registro está dañado"));

    // Another program holds the file in a write transaction that does not end.
    const QString locked = dir.filePath(QStringLiteral("bloqueado.sqlite"));
    { TRequestRegister reg(locked); }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "holder");
        db.setDatabaseName(locked);
        ASSERT_TRUE(db.open());
        QSqlQuery hold(db);
        ASSERT_TRUE(hold.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        EXPECT_EQ(ReasonOpening(locked, 200),
                  QStringLiteral("el archivo del registro está bloqueado por otro programa"));
        hold.exec(QStringLiteral("ROLLBACK"));
        db.close();
    }
    QSqlDatabase::removeDatabase("holder");
    EXPECT_EQ(ReasonOpening(locked), QStringLiteral("opened"));

    const QString unwritable = dir.filePath(QStringLiteral("no/se/puede"));
    QFile blocker(dir.filePath(QStringLiteral("no")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_EQ(ReasonOpening(unwritable),
              QStringLiteral("no se pudo crear la carpeta del registro"));
}

// A server that is down, a user it does not know, a wrong password and a bad URL each say so;
// the password is taken from PGPASSWORD or the password file.
TEST(RegisterServer, EveryWayOfNotGettingInSaysWhy) {
    if (!HavePostgres() || PgVariable("KELMORA_TEST_PG_PASSWORD_USER").isEmpty())
        GTEST_SKIP() << "no PostgreSQL server with a password role; scripts/test starts one";
    QTemporaryDir dir;
    EXPECT_EQ(
        ReasonOpening(
            QStringLiteral("postgresql://kelmora@/kelmora?host=%1&port=5432").arg(dir.path())),
        QStringLiteral("no se pudo conectar con el servidor del registro"));
    EXPECT_EQ(ReasonOpening(PgUrl(QStringLiteral("nadie"))),
              QStringLiteral("el servidor del registro no acepta el usuario o la contraseña"));
    EXPECT_EQ(ReasonOpening(QStringLiteral("postgresql://kelmora@/")),
              QStringLiteral("la dirección del registro no es válida"));

    const PgSchema schema;
    const QString user = PgVariable("KELMORA_TEST_PG_PASSWORD_USER");
    const QString url = schema.Url(user);
    qputenv("PGPASSWORD", "no-es-esta");
    EXPECT_EQ(ReasonOpening(url),
              QStringLiteral("el servidor del registro no acepta el usuario o la contraseña"));
    qputenv("PGPASSWORD", PgVariable("KELMORA_TEST_PG_PASSWORD").toUtf8());
    EXPECT_EQ(ReasonOpening(url), QStringLiteral("opened"));
    qunsetenv("PGPASSWORD");
    // The password file, as libpq reads it: host:port:database:user:password, the owner's alone.
    const QString passfile = dir.filePath(QStringLiteral("pgpass"));
    QFile pass(passfile);
    ASSERT_TRUE(pass.open(QIODevice::WriteOnly));
    pass.write(
        QStringLiteral("*:*:*:%1:%2\n").arg(user, PgVariable("KELMORA_TEST_PG_PASSWORD")).toUtf8());
    pass.close();
    pass.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    qputenv("PGPASSFILE", passfile.toUtf8());
    EXPECT_EQ(ReasonOpening(url), QStringLiteral("opened"));
    qunsetenv("PGPASSFILE");
}

// A server that takes the connection and never answers (a machine gone quiet behind a firewall,
// say) is given up after the wait the register is opened with, rather than holding the operator's
// print for as long as the network would wait.
TEST(RegisterServer, AServerThatNeverAnswersIsGivenUp) {
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        GTEST_SKIP() << "no PostgreSQL driver";
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    const auto closeListener = qScopeGuard([listener] { close(listener); });
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    // The kernel completes the connection; nothing ever reads the client's first message.
    const QString url =
        QStringLiteral("postgresql://kelmora@127.0.0.1:%1/kelmora").arg(ntohs(address.sin_port));
    EXPECT_EQ(ReasonOpening(url, 2000),
              QStringLiteral("no se pudo conectar con el servidor del registro"));
    // A wait the address names itself is the one kept.
    EXPECT_EQ(ReasonOpening(url + QStringLiteral("?connect_timeout=2"), 60000),
              QStringLiteral("no se pudo conectar con el servidor del registro"));
}

// What the client library and the server say, as they say it on an English desk and on a
// Spanish one (the texts of their own catalogues), gives the operator the same reason.
TEST(RegisterServer, TheReasonIsTheSameInEnglishAndInSpanish) {
    const QString refused =
        QStringLiteral("el servidor del registro no acepta el usuario o la contraseña");
    const QString unreachable = QStringLiteral("no se pudo conectar con el servidor del registro");
    const QString missing =
        QStringLiteral("la base de datos del registro no existe en el servidor");
    const struct {
        const char* Said;
        const QString& Reason;
    } cases[] = {
        {R"(connection to server on socket "/tmp/pg/.s.PGSQL.5432" failed: FATAL:  password authentication failed for user "ana")",
         refused},
        {R"(falló la conexión al servidor en el socket «/tmp/pg/.s.PGSQL.5432»: FATAL:  la autentificación password falló para el usuario «ana»)",
         refused},
        {R"(connection to server at "10.0.0.5", port 5432 failed: fe_sendauth: no password supplied)",
         refused},
        {R"(falló la conexión al servidor en «10.0.0.5», puerto 5432: FATAL:  no existe el rol «nadie»)",
         refused},
        {R"(falló la conexión al servidor en «10.0.0.5», puerto 5432: FATAL:  no hay una línea en pg_hba.conf para «10.0.0.9», usuario «ana», base de datos «viaticos», sin cifrado)",
         refused},
        {R"(connection to server at "10.0.0.5", port 5432 failed: FATAL:  database "viaticos" does not exist)",
         missing},
        {R"(falló la conexión al servidor en «10.0.0.5», puerto 5432: FATAL:  no existe la base de datos «viaticos»)",
         missing},
        {R"(connection to server at "10.0.0.5", port 5432 failed: Connection refused)",
         unreachable},
        {R"(falló la conexión al servidor en «10.0.0.5», puerto 5432: Conexión rehusada)",
         unreachable},
        {R"(falló la conexión al servidor en el socket «/tmp/pg/.s.PGSQL.5432»: No existe el fichero o el directorio)",
         unreachable},
        {R"(falló la conexión al servidor en «10.0.0.5», puerto 5432: tiempo de espera agotado)",
         unreachable},
        {R"(no se pudo traducir el nombre «registro.facultad» a una dirección: Nombre o servicio desconocido)",
         unreachable},
        {"el servidor ha cerrado la conexión inesperadamente", unreachable},
        {R"(falló la conexión al servidor en «10.0.0.5», puerto 5432: La red es inaccesible)",
         unreachable},
        {R"(connection to server at "10.0.0.5", port 5432 failed: No route to host)", unreachable},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RegisterFailureReason(QString::fromUtf8(c.Said),
                                        QStringLiteral("QPSQL: Unable to connect"), true),
                  c.Reason)
            << c.Said;
    }
    // SQLite's own words, whatever language the toolkit's part of the message is in.
    EXPECT_EQ(RegisterFailureReason(QStringLiteral("database is locked"),
                                    QStringLiteral("No se pudo ejecutar la sentencia"), false),
              QStringLiteral("el archivo del registro está bloqueado por otro programa"));
    EXPECT_EQ(RegisterFailureReason(QStringLiteral("file is not a database"), {}, false),
              QStringLiteral("el archivo del registro está dañado"));
    EXPECT_EQ(RegisterFailureReason(QStringLiteral("syntax error"), {}, true),
              QStringLiteral("el servidor del registro respondió con un error"));
}

// The listing's forms: JSON with the request file's own keys, read back by the request reader;
// CSV for a spreadsheet, quoted where it must be, formulas kept as text.
TEST(RegisterListing, JsonReadsBackAndCsvIsASpreadsheetsText) {
    TRegisteredRequest entry;
    entry.Printed = At(8, 21, 5);
    entry.PrintedBy = QStringLiteral("ana");
    entry.Documents = {kDocumentSolicitud, kDocumentVehiculoParticular};
    entry.Request = apptest::FullRequest();
    entry.Request.Destino = QStringLiteral("=HYPERLINK(\"x\")");
    const QJsonObject json = RegisteredRequestToJson(entry);
    EXPECT_EQ(json.value("printed").toString(), QStringLiteral("2026-12-08T21:05:00.000Z"));
    EXPECT_EQ(json.value("documents").toArray().size(), 2);
    QJsonObject request = json;
    for (const char* key : {"printed", "printedBy", "documents"})
        request.remove(QLatin1String(key));
    EXPECT_EQ(DatosSolicitudFromJson(request), entry.Request);

    const QString csv = QString::fromUtf8(RegisteredRequestsToCsv({entry, entry}));
    const QStringList lines = csv.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 4) << "a header, two rows, and the end of the last";
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Persona,DNI,Categoria,")));
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(",printed,printedBy,documents")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("\"Muñoz, María José\",27.456.789,JTP,")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral("\"Congreso de Ingeniería\nPonencia: "
                                                 "\"\"Redes\"\"\n\ttabulada\"")));
    EXPECT_TRUE(lines[1].contains(QStringLiteral(",\"'=HYPERLINK(\"\"x\"\")\",")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(",ana,solicitud vehiculo-particular")));
    EXPECT_TRUE(lines[3].isEmpty());
}

} // namespace

namespace {

// The register to use: the environment's, else the settings file's, else the file in the
// desktop program's data folder, the same for kelmora-batch, whatever the program's own name.
TEST(RegisterLocation, EnvironmentThenSettingsThenTheUsersDataFolder) {
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    ASSERT_FALSE(data.isEmpty()) << "the tests run with data folders of their own";
    EXPECT_EQ(TRequestRegister::DefaultLocation(),
              data + QStringLiteral("/Facultad de Corvath/Kelmora/registro.sqlite"));
    {
        QSettings settings(QStringLiteral("Facultad de Corvath"), QStringLiteral("Kelmora"));
        settings.setValue(QStringLiteral("register"),
                          QStringLiteral("postgresql://oficina@servidor/registro"));
    }
    EXPECT_EQ(TRequestRegister::DefaultLocation(),
              QStringLiteral("postgresql://oficina@servidor/registro"));
    qputenv("KELMORA_REGISTER", "sqlite:/tmp/otro.sqlite");
    EXPECT_EQ(TRequestRegister::DefaultLocation(), QStringLiteral("sqlite:/tmp/otro.sqlite"));
    qunsetenv("KELMORA_REGISTER");
    QSettings(QStringLiteral("Facultad de Corvath"), QStringLiteral("Kelmora")).clear();
}

} // namespace
