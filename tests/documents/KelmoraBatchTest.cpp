// kelmora-batch end to end: the built program on real request files.
#include "../e2e/ProgramRunner.h"
#include "DocumentTestSupport.h"
#include <kelmora/app/DatosSolicitud.h>
#include <kelmora/app/FillingRun.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace Kelmora;

using namespace doctest;

namespace {

ProgramResult RunBatch(const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C.UTF-8");
    return RunProgram(BuiltProgram(QStringLiteral("app/kelmora-batch")), arguments, env);
}

// Travel by private vehicle with tickets: all three documents.
QJsonObject Request() {
    QJsonObject request = QJsonDocument::fromJson(R"({
        "Persona": "JUAN GÓMEZ", "DNI": "30111222", "Categoria": "JTP", "Dedicacion": "SIMPLE",
        "Motivo": "Jornadas\nde física", "Destino": "Rosario", "MedioIndice": 3,
        "Patente": "AB123CD", "Salida": "2024-05-02", "HoraSalida": "07:30",
        "Regreso": "2024-05-04", "HoraRegreso": "21:00", "SolicitaPasajes": true,
        "MontoPasaje": "900", "SolicitaKelmora": false, "DiasKelmora": "",
        "SolicitaInscripcion": false, "MontoInscripcion": ""})")
                              .object();
    request["Medio"] = MedioEntries().at(3);
    return request;
}

QString WriteRequest(const QTemporaryDir& dir, const QByteArray& json) {
    const QString path = dir.filePath("request.json");
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(json);
    return path;
}

QString WriteRequest(const QTemporaryDir& dir, const QJsonObject& request) {
    return WriteRequest(dir, QJsonDocument(request).toJson());
}

// The request with one key set to value, or removed when value is undefined.
QJsonObject RequestWith(const char* key, const QJsonValue& value) {
    QJsonObject request = Request();
    if (value.isUndefined())
        request.remove(key);
    else
        request[key] = value;
    return request;
}

std::unique_ptr<TRLGraphicStorage> Load(const QString& path) {
    auto storage = std::make_unique<TRLGraphicStorage>();
    storage->LoadFromFile(path);
    return storage;
}

QStringList Entries(const QString& path) {
    return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

TEST(KelmoraBatch, WritesEveryProducedDocumentWithPdfAndPngAndPrintsTheMessage) {
    QTemporaryDir dir;
    const QString out = dir.filePath("out");
    const ProgramResult r = RunBatch({WriteRequest(dir, Request()), out, "--pdf", "--png"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out, DisplayedOperatorMessage(3) + '\n');
    EXPECT_EQ(Entries(out), QStringList({"declaracion-jurada.pdf", "declaracion-jurada.png",
                                         "declaracion-jurada.rpf", "solicitud.pdf", "solicitud.png",
                                         "solicitud.rpf", "vehiculo-particular.pdf",
                                         "vehiculo-particular.png", "vehiculo-particular.rpf"}));
    EXPECT_EQ(Entries(dir.path()), QStringList({"out", "request.json"})) << "no staging left";
    // An ordinary folder, not the private one the run staged its files in.
    const mode_t mask = umask(0);
    umask(mask);
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(out).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0777 & ~mask);

    const struct {
        const char* Base;
        QString Text;
        int Left, Top;
    } samples[] = {
        {"solicitud", "EQUIVALENTE A PASAJES   $ 900", 114, 401},
        // Without regional settings the dates read day/month/year.
        {"solicitud", "2/5/24", 136, 288},
        {"declaracion-jurada", "4/5/24", 136, 325},
        {"declaracion-jurada", "equivalente a pasajes unicamente", 153, 363},
        {"declaracion-jurada", "JTP", 144, 98},
        {"vehiculo-particular", "AB123CD", 218, 212},
        {"vehiculo-particular", "Rosario", 125, 174},
    };
    for (const auto& s : samples) {
        SCOPED_TRACE(s.Base);
        auto storage = Load(out + '/' + s.Base + ".rpf");
        ASSERT_EQ(storage->PageCount(), 1);
        ExpectInBody(*storage->Pages(0), s.Text, s.Left, s.Top);
    }

    // The reason keeps its line break in the vehicle statement.
    EXPECT_EQ(TextsIn(*Load(out + "/vehiculo-particular.rpf")->Pages(0),
                      {kBandLeft + 120, kBody + 98, 756, kBody + 174}),
              QStringList({"Jornadas", "de física"}));

    EXPECT_EQ(QImage(out + "/solicitud.png").size(), QSize(794, 1123));
    QFile pdf(out + "/vehiculo-particular.pdf");
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    // One A4 page: 595.28 x 841.89 points.
    static const QRegularExpression pageObject(QStringLiteral("/Type\\s*/Page(?!s)"));
    EXPECT_EQ(QString::fromLatin1(bytes).count(pageObject), 1);
    EXPECT_TRUE(bytes.contains("/MediaBox [0 0 595") || bytes.contains("/MediaBox[0 0 595"));
}

// --pdfa: each document as PDF/A-1b for the faculty's archive, with its title and the faculty as
// author in the metadata, every font inside, and the texts readable with their accents.
TEST(KelmoraBatch, ArchivalPdfOfEachDocument) {
    if (QStandardPaths::findExecutable("pdffonts").isEmpty() ||
        QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "poppler-utils are not installed";
    QTemporaryDir dir;
    const QString out = dir.filePath("out");
    const ProgramResult r = RunBatch({WriteRequest(dir, Request()), out, "--pdfa"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    const struct {
        const char* Base;
        QString Title, Text;
    } documents[] = {
        {"solicitud", "Solicitud", "DEDICACIÓN"},
        {"declaracion-jurada", "Declaración Jurada", "DECLARACIÓN JURADA"},
        {"vehiculo-particular", "Vehículo Particular", "VEHÍCULO PATENTE"},
    };
    for (const auto& d : documents) {
        SCOPED_TRACE(d.Base);
        const QString pdf = out + '/' + d.Base + ".pdf";
        const QString meta = RunProgram("pdfinfo", {"-meta", pdf}).Out;
        EXPECT_TRUE(meta.contains(R"(pdfaid:part="1" pdfaid:conformance="B")"))
            << meta.toStdString();
        EXPECT_TRUE(meta.contains("<rdf:li>Fac. de Corvath</rdf:li>")) << meta.toStdString();
        EXPECT_TRUE(meta.contains(">" + d.Title + "</rdf:li>")) << meta.toStdString();
        EXPECT_EQ(UnembeddedFonts(pdf), QStringList());
        const QString text = RunProgram("pdftotext", {pdf, "-"}).Out;
        EXPECT_TRUE(text.contains(d.Text)) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("JUAN GÓMEZ"))) << text.toStdString();
    }
}

TEST(KelmoraBatch, LaterRunsReplaceOnlyTheProgramsOwnOutputsAndOnlyWhenTheySucceed) {
    QTemporaryDir dir;
    const QString out = dir.filePath("out");
    ASSERT_EQ(RunBatch({WriteRequest(dir, Request()), out, "--png"}).ExitCode, 0);
    ASSERT_TRUE(QFile::exists(out + "/declaracion-jurada.rpf"));
    QFile keep(out + "/notes.txt");
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.close();

    // A run that fails leaves the earlier outputs as they were.
    const QStringList before = Entries(out);
    const ProgramResult failed =
        RunBatch({WriteRequest(dir, RequestWith("MedioIndice", 9)), out, "--png"});
    EXPECT_EQ(failed.ExitCode, 2);
    EXPECT_TRUE(failed.Err.contains("MedioIndice")) << failed.Err.toStdString();
    EXPECT_EQ(Entries(out), before);

    QJsonObject bus = Request();
    bus["Medio"] = MedioEntries().at(1);
    bus["MedioIndice"] = 1;
    bus["Patente"] = "";
    bus["SolicitaPasajes"] = false;
    bus["MontoPasaje"] = "";
    const ProgramResult r = RunBatch({WriteRequest(dir, bus), out});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Out.startsWith("Tiene 1 formularios para imprimir\n\n")) << r.Out.toStdString();
    // Only this run's document, and what the program did not write is left alone.
    EXPECT_EQ(Entries(out), QStringList({"notes.txt", "solicitud.rpf"}));
    ExpectInBody(*Load(out + "/solicitud.rpf")->Pages(0), "PASAJES NO SOLICITADO", 114, 401);
}

TEST(KelmoraBatch, BadInputNamesTheProblemAndWritesNothing) {
    QTemporaryDir dir;
    const auto json = [](const QJsonObject& o) { return QJsonDocument(o).toJson(); };
    const struct {
        QByteArray Json;
        const char* Named;
    } cases[] = {
        {json(RequestWith("SolicitaPasajes", "yes")), "SolicitaPasajes"},
        {json(RequestWith("Destino", QJsonValue::Undefined)), "Destino"},
        {"{ not json", "request.json"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Named);
        const QString out = dir.filePath("out");
        const ProgramResult r = RunBatch({WriteRequest(dir, c.Json), out, "--pdf"});
        EXPECT_EQ(r.ExitCode, 2);
        EXPECT_TRUE(r.Err.contains(c.Named)) << r.Err.toStdString();
        EXPECT_TRUE(r.Out.isEmpty());
        EXPECT_FALSE(QFileInfo::exists(out));
        EXPECT_EQ(Entries(dir.path()), QStringList({"request.json"}));
    }

    // Arguments that do not fit get the usage line.
    for (const QStringList& args :
         {QStringList{}, QStringList{"only-one.json"}, QStringList{"a.json", "out", "--svg"}}) {
        const ProgramResult r = RunBatch(args);
        EXPECT_EQ(r.ExitCode, 2);
        EXPECT_TRUE(r.Err.contains("usage: kelmora-batch REQUEST.json OUTDIR"))
            << r.Err.toStdString();
    }
    const ProgramResult absent = RunBatch({dir.filePath("absent.json"), dir.filePath("out")});
    EXPECT_EQ(absent.ExitCode, 2);
    EXPECT_TRUE(absent.Err.contains("absent.json"));
}

namespace {

QJsonArray ListedJson(const QStringList& arguments) {
    const ProgramResult r = RunBatch(QStringList{"--list"} + arguments);
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    return QJsonDocument::fromJson(r.Out.toUtf8()).array();
}

} // namespace

// Each run records its request in the register, the desktop program's unless told another, and
// --list prints it back, newest first: as JSON with the request file's own keys, as CSV for a
// spreadsheet; --no-register records nothing.
TEST(KelmoraBatch, RecordsEachRequestAndListsTheRegister) {
    QTemporaryDir dir;
    const QString registerFile = dir.filePath("oficina.sqlite");
    QJsonObject first = Request();
    first["Persona"] = QStringLiteral("ΣΩΚΡΆΤΗΣ ΠΑΠΑΔΌΠΟΥΛΟΣ");
    ProgramResult r =
        RunBatch({WriteRequest(dir, first), dir.filePath("uno"), "--register", registerFile});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    r = RunBatch({WriteRequest(dir, Request()), dir.filePath("dos"), "--register", registerFile});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    r = RunBatch({WriteRequest(dir, Request()), dir.filePath("tres"), "--no-register"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();

    const QJsonArray listed = ListedJson({"--register", registerFile});
    ASSERT_EQ(listed.size(), 2);
    QJsonObject newest = listed[0].toObject();
    EXPECT_EQ(newest["documents"].toArray(),
              QJsonArray({"declaracion-jurada", "vehiculo-particular", "solicitud"}));
    EXPECT_FALSE(newest["printedBy"].toString().isEmpty());
    EXPECT_TRUE(QDateTime::fromString(newest["printed"].toString(), Qt::ISODateWithMs).isValid());
    for (const char* key : {"printed", "printedBy", "documents"})
        newest.remove(QLatin1String(key));
    EXPECT_EQ(newest, Request()) << "the request file's own keys and values";
    EXPECT_EQ(listed[1].toObject()["Persona"].toString(), first["Persona"].toString());

    EXPECT_EQ(ListedJson({"--register", registerFile, "--search", "σωκρατης"}).size(), 1);
    EXPECT_EQ(ListedJson({"--register", registerFile, "--search", "rosario"}).size(), 2);
    EXPECT_EQ(ListedJson({"--register", registerFile, "--search", "córdoba"}).size(), 0);

    r = RunBatch({"--list", "--register", registerFile, "--format", "csv"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    const QStringList lines = r.Out.split("\r\n");
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith("Persona,DNI,"));
    EXPECT_TRUE(lines[1].startsWith("JUAN GÓMEZ,30111222,JTP,SIMPLE,\"Jornadas\nde física\","));
    EXPECT_TRUE(lines[2].startsWith("ΣΩΚΡΆΤΗΣ ΠΑΠΑΔΌΠΟΥΛΟΣ,"));

    // Without --register the desktop program's own register, in the user's data folder.
    r = RunBatch({WriteRequest(dir, Request()), dir.filePath("cuatro")});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_EQ(ListedJson({}).size(), 1);

    for (const QStringList& wrong :
         {QStringList{"--list", "--format", "xml"}, QStringList{"--list", dir.filePath("x")},
          QStringList{WriteRequest(dir, Request()), dir.filePath("y"), "--search", "x"},
          QStringList{WriteRequest(dir, Request()), dir.filePath("y"), "--no-register",
                      "--register", registerFile}}) {
        r = RunBatch(wrong);
        EXPECT_EQ(r.ExitCode, 2) << wrong.join(' ').toStdString();
        EXPECT_TRUE(r.Err.contains("usage:")) << r.Err.toStdString();
    }
}

// A register that cannot be used never keeps the documents from being written: the run warns on
// standard error and ends with status 3; a register that cannot be listed fails with status 1.
TEST(KelmoraBatch, ARegisterThatCannotBeUsedLeavesTheDocumentsWritten) {
    QTemporaryDir dir;
    const QString broken = dir.filePath("roto.sqlite");
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'z'));
    file.close();
    const QString out = dir.filePath("out");
    ProgramResult r = RunBatch({WriteRequest(dir, Request()), out, "--register", broken});
    EXPECT_EQ(r.ExitCode, 3);
    EXPECT_TRUE(r.Err.startsWith("kelmora-batch: the request was not recorded in the register: "))
        << r.Err.toStdString();
    EXPECT_EQ(r.Out, DisplayedOperatorMessage(3) + '\n');
    EXPECT_EQ(Entries(out),
              QStringList({"declaracion-jurada.rpf", "solicitud.rpf", "vehiculo-particular.rpf"}));

    r = RunBatch({WriteRequest(dir, Request()), dir.filePath("otro"), "--register",
                  "postgresql://kelmora@/kelmora?host=" + dir.path()});
    EXPECT_EQ(r.ExitCode, 3) << r.Err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("otro/solicitud.rpf")));

    r = RunBatch({"--list", "--register", broken});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.Err.contains("the register could not be read")) << r.Err.toStdString();
}
