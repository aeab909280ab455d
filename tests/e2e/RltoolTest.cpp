// rltool on real files: a sample document written, read back as JSON, drawn to PNG and PDF in
// every file version, and the errors a user meets.
#include "ProgramRunner.h"

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class Rltool : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString Sample(int version, int pages = 3) {
        const QString path = Path(QStringLiteral("sample-v%1.rpf").arg(version));
        const ProgramResult r = ::Rltool({"sample", "--pages", QString::number(pages),
                                          "--file-version", QString::number(version), "-o", path});
        EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
        EXPECT_EQ(r.Out, QStringLiteral("%1 page(s) written to %2 (page-store file version %3)\n")
                             .arg(pages)
                             .arg(path)
                             .arg(version));
        return path;
    }
    // Writes the bytes to the named file of the test's folder, and gives its path.
    QString Write(const QString& name, const QByteArray& bytes) {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return file.fileName();
    }
    QJsonObject Dump(const QString& path) {
        const ProgramResult r = ::Rltool({"dump", path});
        EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
        return QJsonDocument::fromJson(r.Out.toUtf8()).object();
    }

    QTemporaryDir dir_;
};

bool HasPoppler() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

} // namespace

TEST_F(Rltool, DumpDescribesEveryVersion) {
    for (int version : {4, 3, 2, 1}) {
        SCOPED_TRACE(version);
        const QJsonObject dump = Dump(Sample(version));
        EXPECT_EQ(dump["version"].toInt(), version);
        const QJsonArray pages = dump["pages"].toArray();
        ASSERT_EQ(pages.size(), 3);
        const QJsonObject first = pages[0].toObject();
        EXPECT_EQ(first["width"].toInt(), 794);
        EXPECT_EQ(first["height"].toInt(), 1123);
        const QJsonArray objects = first["objects"].toArray();
        ASSERT_GT(objects.size(), 100);
        EXPECT_EQ(objects[0].toObject()["kind"].toString(), "image");
        EXPECT_EQ(objects[0].toObject()["format"].toString(), "BMP");
        EXPECT_EQ(objects[0].toObject()["imageWidth"].toInt(), 48);
        const QJsonObject title = objects[1].toObject();
        EXPECT_EQ(title["kind"].toString(), "text");
        EXPECT_EQ(title["text"].toString(), QStringLiteral("Informe de muestra — Año 2026"));
        EXPECT_EQ(title["font"].toObject()["name"].toString(), "Arial");
        EXPECT_EQ(title["bounds"].toArray(), (QJsonArray{110, 44, 756, 70}));
        if (version > 1) {
            EXPECT_EQ(dump["macros"].toObject()["LastPageNumber"].toString(), "3");
        }
    }
}

TEST_F(Rltool, RenderDrawsThePageAtTheZoom) {
    const QString file = Sample(3, 1);
    const QString png = Path("page.png");
    const ProgramResult r = ::Rltool({"render", file, "--page", "1", "--zoom", "50", "-o", png});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    const QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(397, 562));
    // The emblem's dark disc sits near (36, 32) at half size; the margin is white.
    EXPECT_LT(qGray(image.pixel(36, 32)), 100);
    EXPECT_EQ(image.pixel(5, 5), qRgb(255, 255, 255));

    const ProgramResult missingPage = ::Rltool({"render", file, "--page", "2", "-o", png});
    EXPECT_EQ(missingPage.ExitCode, 2);
    EXPECT_TRUE(missingPage.Err.contains("there is no page 2")) << missingPage.Err.toStdString();
}

TEST_F(Rltool, PdfKeepsTextsAndPaper) {
    if (!HasPoppler())
        GTEST_SKIP() << "poppler-utils are not installed";
    const QString pdf = Path("sample.pdf");
    const ProgramResult r = ::Rltool({"pdf", Sample(3), "-o", pdf});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    const ProgramResult info = RunProgram("pdfinfo", {pdf});
    EXPECT_TRUE(info.Out.contains(QRegularExpression("Pages:\\s+3"))) << info.Out.toStdString();
    EXPECT_TRUE(info.Out.contains("(A4)")) << info.Out.toStdString();
    const ProgramResult text = RunProgram("pdftotext", {"-layout", pdf, "-"});
    EXPECT_TRUE(text.Out.contains(QStringLiteral("Informe de muestra — Año 2026")));
    EXPECT_TRUE(text.Out.contains(QStringLiteral("Página 2 de 3")))
        << "the page number is put in when drawn";
    EXPECT_TRUE(text.Out.contains(QStringLiteral("Descripción del renglón 34")));
}

// --pdfa writes PDF/A-1b from a saved file and straight from a layout; the metadata names the
// given author. It is refused, before any work, for an output that is not PDF.
TEST_F(Rltool, PdfaFromASavedFileAndFromALayout) {
    if (!HasPoppler())
        GTEST_SKIP() << "poppler-utils are not installed";
    const QString saved = Path("archivo.pdf");
    ASSERT_EQ(
        ::Rltool({"pdf", Sample(3), "--pdfa", "--author", "Fac. de Corvath", "-o", saved}).ExitCode,
        0);
    const QString layout = QStringLiteral(
        KELMORA_SOURCE_DIR "/tests/fuzz/seeds/layout/solicitud-without-pictures.json");
    const QString prepared = Path("solicitud.pdf");
    const ProgramResult r = ::Rltool({"prepare", layout, "--pdfa", "-o", prepared});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    for (const QString& pdf : {saved, prepared}) {
        SCOPED_TRACE(pdf.toStdString());
        const QString meta = RunProgram("pdfinfo", {"-meta", pdf}).Out;
        EXPECT_TRUE(meta.contains(R"(pdfaid:part="1")")) << meta.toStdString();
        EXPECT_TRUE(meta.contains(R"(pdfaid:conformance="B")"));
        EXPECT_EQ(meta.contains("<rdf:li>Fac. de Corvath</rdf:li>"), pdf == saved);
        EXPECT_EQ(UnembeddedFonts(pdf), QStringList());
    }
    EXPECT_TRUE(RunProgram("pdftotext", {saved, "-"})
                    .Out.contains(QStringLiteral("Informe de muestra — Año 2026")));
    EXPECT_TRUE(
        RunProgram("pdftotext", {prepared, "-"}).Out.contains(QStringLiteral("DEDICACIÓN")));

    const ProgramResult refused = ::Rltool({"prepare", layout, "--pdfa", "-o", Path("x.rpf")});
    EXPECT_EQ(refused.ExitCode, 2);
    EXPECT_TRUE(refused.Err.contains("--pdfa")) << refused.Err.toStdString();
    EXPECT_FALSE(QFile::exists(Path("x.rpf")));
}

TEST_F(Rltool, ErrorsNameTheFileAndExitWithTwo) {
    const ProgramResult missing = ::Rltool({"dump", Path("none.rpf")});
    EXPECT_EQ(missing.ExitCode, 2);
    EXPECT_TRUE(missing.Err.contains("none.rpf")) << missing.Err.toStdString();
    EXPECT_EQ(missing.Err.count('\n'), 1) << "one line";

    const QString damaged =
        Write("damaged.rpf", QByteArray("RLGraphicStorage3\x1A\x05\x00\x00\x00garbage", 30));
    const ProgramResult corrupt = ::Rltool({"render", damaged, "-o", Path("x.png")});
    EXPECT_EQ(corrupt.ExitCode, 2);
    EXPECT_TRUE(corrupt.Err.contains("File is corrupted!")) << corrupt.Err.toStdString();
    EXPECT_FALSE(QFile::exists(Path("x.png")));

    EXPECT_EQ(::Rltool({"render", damaged}).ExitCode, 2) << "no -o";
    EXPECT_EQ(::Rltool({"frobnicate"}).ExitCode, 2);
    EXPECT_EQ(::Rltool({"render", Sample(3, 1), "--zoom", "abc", "-o", Path("y.png")}).ExitCode, 2);
}

TEST_F(Rltool, PagesTooLargeToDrawAreRefused) {
    // A one-page sample whose page claims to be two billion pixels wide: the file reads, but
    // no picture of it can be made. Refusing must say so, not write a 1 x 1 picture.
    const QByteArray a4("\x1a\x03\x00\x00\x63\x04\x00\x00", 8);   // 794 x 1123
    const QByteArray huge("\x00\x94\x35\x77\x63\x04\x00\x00", 8); // 2,000,000,000 x 1123
    for (int version : {1, 3}) {
        SCOPED_TRACE(version);
        QFile sample(Sample(version, 1));
        ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
        QByteArray bytes = sample.readAll();
        sample.close();
        ASSERT_EQ(bytes.count(a4), 1);
        bytes.replace(a4, huge);
        const QString wide = Write(QStringLiteral("wide-v%1.rpf").arg(version), bytes);
        ASSERT_EQ(Dump(wide)["pages"].toArray()[0].toObject()["width"].toInt(), 2'000'000'000);

        for (const char* zoom : {"100", "2000", "0.01"}) {
            const QString png = Path(QStringLiteral("wide-%1.png").arg(zoom));
            const ProgramResult r = ::Rltool({"render", wide, "--zoom", zoom, "-o", png});
            EXPECT_NE(r.ExitCode, 0) << zoom;
            EXPECT_TRUE(r.Err.contains("too large")) << r.Err.toStdString();
            EXPECT_FALSE(QFile::exists(png)) << zoom;
        }
    }
    // Version 1 has no paper size: the page's own size would be the PDF sheet, 529 km wide.
    const QString pdf = Path("wide.pdf");
    const ProgramResult r = ::Rltool({"pdf", Path("wide-v1.rpf"), "-o", pdf});
    EXPECT_NE(r.ExitCode, 0);
    EXPECT_EQ(r.Err, QStringLiteral("rltool pdf: cannot write %1: page 1: its sheet would be "
                                    "529166667 x 297 mm; at most 5080 mm a side\n")
                         .arg(pdf));
    EXPECT_FALSE(QFile::exists(pdf));
    // With A4 paper the drawing is only scaled down onto the sheet.
    EXPECT_EQ(::Rltool({"pdf", Path("wide-v3.rpf"), "-o", pdf}).ExitCode, 0);
    EXPECT_TRUE(QFile::exists(pdf));
}

TEST_F(Rltool, EvalPrintsValuesAndErrors) {
    const struct {
        const char* expression;
        const char* value;
    } cases[] = {
        {"10 - 4 - 3", "3"},           {"8 / 4 / 2", "1"},           {"2 ^ 3 ^ 2", "512"},
        {"'Año ' + 'dos'", "Año dos"}, {"if(1 > 2, 'a', 'b')", "b"}, {"{ x := 4; x * x }", "16"},
    };
    for (const auto& c : cases) {
        const ProgramResult r = ::Rltool({"eval", QString::fromUtf8(c.expression)});
        EXPECT_EQ(r.ExitCode, 0) << c.expression << ": " << r.Err.toStdString();
        EXPECT_EQ(r.Out.trimmed(), QString::fromUtf8(c.value)) << c.expression;
    }
    const ProgramResult bad = ::Rltool({"eval", "1 +"});
    EXPECT_EQ(bad.ExitCode, 2);
    EXPECT_FALSE(bad.Err.trimmed().isEmpty());
    const ProgramResult unknown = ::Rltool({"eval", "nosuchname"});
    EXPECT_EQ(unknown.ExitCode, 2);
    EXPECT_TRUE(unknown.Err.contains("nosuchname")) << unknown.Err.toStdString();
}

TEST_F(Rltool, PrepareReadsALayoutWithEveryKindOfControl) {
    const QString layout =
        Write("layout.json", R"({ "class": "TRLReport", "name": "RLReport1", "Title": "Prueba",
      "children": [
        { "class": "TRLBand", "name": "RLBand1", "BandType": "btHeader", "Height": 120,
          "children": [
            { "class": "TRLLabel", "name": "RLLabel1", "Left": 10, "Top": 4,
              "Caption": "Título", "Font": { "Name": "Arial", "Size": 12, "Style": ["fsBold"] } },
            { "class": "TRLDraw", "name": "RLDraw1", "DrawKind": "dkLine",
              "Left": 10, "Top": 30, "Width": 300, "Height": 9 },
            { "class": "TRLBarcode", "name": "RLBarcode1", "BarcodeType": "bcCode39",
              "Caption": "KELMORA", "Left": 10, "Top": 50, "Height": 40 },
            { "class": "TRLSystemInfo", "name": "RLSystemInfo1", "Info": "itPageNumber",
              "Left": 400, "Top": 4 } ] } ] })");
    const QString out = Path("prepared.rpf");
    const ProgramResult r = ::Rltool({"prepare", layout, "-o", out});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    const QJsonObject dump = Dump(out);
    const QJsonArray pages = dump["pages"].toArray();
    ASSERT_EQ(pages.size(), 1);
    EXPECT_EQ(dump["macros"].toObject()["Title"].toString(), "Prueba");
    QStringList texts;
    int images = 0;
    int polygons = 0;
    for (const QJsonValue& o : pages[0].toObject()["objects"].toArray()) {
        const QJsonObject object = o.toObject();
        texts << object["text"].toString();
        images += object["kind"].toString() == "image";
        polygons += object["kind"].toString() == "polygon";
    }
    EXPECT_TRUE(texts.contains(QStringLiteral("Título")));
    EXPECT_TRUE(texts.contains("1")) << texts.join('|').toStdString();
    EXPECT_EQ(images, 1) << "the barcode's bars";
    EXPECT_GE(polygons, 1) << "the line";

    // Straight to PDF, in one step: the same texts as the page-store file drawn to PDF.
    if (HasPoppler()) {
        const QString direct = Path("prepared.pdf");
        const ProgramResult one = ::Rltool({"prepare", layout, "-o", direct});
        ASSERT_EQ(one.ExitCode, 0) << one.Err.toStdString();
        const QString twoSteps = Path("converted.pdf");
        ASSERT_EQ(::Rltool({"pdf", out, "-o", twoSteps}).ExitCode, 0);
        const ProgramResult info = RunProgram("pdfinfo", {direct});
        EXPECT_TRUE(info.Out.contains(QRegularExpression("Pages:\\s+1"))) << info.Out.toStdString();
        const QString text = RunProgram("pdftotext", {"-layout", direct, "-"}).Out;
        EXPECT_TRUE(text.contains(QStringLiteral("Título"))) << text.toStdString();
        EXPECT_EQ(text, RunProgram("pdftotext", {"-layout", twoSteps, "-"}).Out);
    }

    Write("layout.json", R"({ "class": "TRLReport", "name": "RLReport1", "children": [
        { "class": "TRLBarcode", "name": "B", "BarcodeType": "bcNoSuchCode" } ] })");
    const ProgramResult bad = ::Rltool({"prepare", layout, "-o", Path("bad.rpf")});
    EXPECT_EQ(bad.ExitCode, 2);
    EXPECT_TRUE(bad.Err.contains("BarcodeType")) << bad.Err.toStdString();
    EXPECT_FALSE(QFile::exists(Path("bad.rpf")));
    // A PDF of that name from before stays as it was.
    const QString earlier = Write("earlier.pdf", "%PDF-1.4 earlier");
    EXPECT_EQ(::Rltool({"prepare", layout, "-o", earlier}).ExitCode, 2);
    QFile kept(earlier);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "%PDF-1.4 earlier");
}

namespace {

// A list of 300 records, each with a Greek and a Polish text that carry its number, under a
// title in a font named in Greek.
const QString kListLayout = QStringLiteral(R"({ "class": "TRLReport", "name": "Listado",
  "Title": "Κατάλογος", "Font": { "Name": "Arial", "Size": 10 },
  "children": [
    { "class": "TRLBand", "name": "Cabecera", "BandType": "btHeader", "Height": 30,
      "children": [
        { "class": "TRLLabel", "name": "Titulo", "Left": 0, "Top": 4, "Caption": "Κατάλογος",
          "Font": { "Name": "Ελληνική Γραμματοσειρά", "Size": 12 } } ] },
    { "class": "TRLBand", "name": "Detalle", "BandType": "btDetail", "Height": 20,
      "children": [
        { "class": "TRLLabel", "name": "Griego", "Left": 0, "Top": 2, "Expression": "Griego" },
        { "class": "TRLLabel", "name": "Polaco", "Left": 300, "Top": 2, "Expression": "Polaco" } ] },
    { "class": "TRLBand", "name": "Pie", "BandType": "btFooter", "Height": 20,
      "children": [
        { "class": "TRLSystemInfo", "name": "Pagina", "Info": "itPagePreview",
          "Text": "Página # de #" } ] } ] })");

constexpr int kListRecords = 300;

QString GreekOf(int record) {
    return QStringLiteral("Ελληνικά κείμενα %1").arg(record, 3, 10, QLatin1Char('0'));
}

QString PolishOf(int record) {
    return QStringLiteral("Zażółć gęślą jaźń %1").arg(record, 3, 10, QLatin1Char('0'));
}

int PdfPages(const QString& pdf) {
    const QRegularExpression pages(QStringLiteral("Pages:\\s+(\\d+)"));
    return pages.match(RunProgram("pdfinfo", {pdf}).Out).captured(1).toInt();
}

// rltool as our users run it, in es_AR.UTF-8.
ProgramResult RltoolOnASpanishDesktop(const QStringList& arguments) {
    QProcessEnvironment users = QProcessEnvironment::systemEnvironment();
    users.insert("LC_ALL", "es_AR.UTF-8");
    return RunProgram(BuiltProgram(QStringLiteral("tools/rltool")), arguments, users);
}

// The texts of each page of a PDF, read by poppler page by page.
QStringList PdfPageTexts(const QString& pdf) {
    QStringList texts;
    for (int page = 1; page <= PdfPages(pdf); ++page) {
        const QString number = QString::number(page);
        texts << RunProgram("pdftotext", {"-f", number, "-l", number, pdf, "-"}).Out;
    }
    return texts;
}

} // namespace

// Texts outside Windows-1252 once lost every character that the page store's code page lacked
// on the pages that left its five-page cache. Prepared in the users' locale, straight to PDF and
// through a page-store file (then version 4), every record's Greek and Polish text is on a page.
TEST_F(Rltool, GreekAndPolishRecordsReachEveryPage) {
    const QString layout = Write("lista.json", kListLayout.toUtf8());
    QJsonArray records;
    for (int i = 1; i <= kListRecords; ++i)
        records.append(QJsonObject{{"Griego", GreekOf(i)}, {"Polaco", PolishOf(i)}});
    const QString data = Write("registros.json", QJsonDocument(records).toJson());
    const auto rltool = RltoolOnASpanishDesktop;

    const QString saved = Path("lista.rpf");
    const ProgramResult prepared = rltool({"prepare", layout, "--data", data, "-o", saved});
    ASSERT_EQ(prepared.ExitCode, 0) << prepared.Err.toStdString();
    const QJsonObject dump = Dump(saved);
    EXPECT_EQ(dump["version"].toInt(), 4);
    const QJsonArray pages = dump["pages"].toArray();
    ASSERT_GT(pages.size(), 5) << "more pages than the page store keeps in memory";
    EXPECT_EQ(prepared.Out, QStringLiteral("%1 page(s) written to %2 (page-store file version 4)\n")
                                .arg(pages.size())
                                .arg(saved));
    EXPECT_EQ(dump["macros"].toObject()["Title"].toString(), QStringLiteral("Κατάλογος"));
    QStringList titleFonts;
    for (const QJsonValue& object : pages[0].toObject()["objects"].toArray())
        if (object["text"].toString() == QStringLiteral("Κατάλογος"))
            titleFonts << object["font"].toObject()["name"].toString();
    EXPECT_EQ(titleFonts, QStringList{QStringLiteral("Ελληνική Γραμματοσειρά")});

    // A page-store file cut short is refused, naming it, and no PDF is written.
    QFile whole(saved);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QString cut = Write("cortado.rpf", whole.read(whole.size() - 10));
    const ProgramResult refused = ::Rltool({"pdf", cut, "-o", Path("cortado.pdf")});
    EXPECT_EQ(refused.ExitCode, 2);
    EXPECT_EQ(refused.Err, QStringLiteral("rltool pdf: \"%1\": File is corrupted!\n").arg(cut));
    EXPECT_FALSE(QFile::exists(Path("cortado.pdf")));

    if (!HasPoppler())
        GTEST_SKIP() << "poppler-utils are not installed";
    const QString direct = Path("directo.pdf");
    const ProgramResult straight = rltool({"prepare", layout, "--data", data, "-o", direct});
    ASSERT_EQ(straight.ExitCode, 0) << straight.Err.toStdString();
    EXPECT_EQ(straight.Out,
              QStringLiteral("%1 page(s) written to %2\n").arg(pages.size()).arg(direct));
    const QString converted = Path("convertido.pdf");
    const ProgramResult pdf = rltool({"pdf", saved, "-o", converted});
    ASSERT_EQ(pdf.ExitCode, 0) << pdf.Err.toStdString();

    for (const QString& file : {direct, converted}) {
        SCOPED_TRACE(file.toStdString());
        const QStringList texts = PdfPageTexts(file);
        ASSERT_EQ(texts.size(), pages.size());
        const QString all = texts.join(QString());
        EXPECT_FALSE(all.contains(QLatin1Char('?'))) << "no character turned into a question mark";
        int missing = 0;
        for (int i = 1; i <= kListRecords; ++i)
            missing += !all.contains(GreekOf(i)) + !all.contains(PolishOf(i));
        EXPECT_EQ(missing, 0);
        for (int page = 0; page < texts.size(); ++page) {
            EXPECT_TRUE(texts[page].contains(
                QStringLiteral("Página %1 de %2").arg(page + 1).arg(texts.size())))
                << texts[page].toStdString();
            EXPECT_TRUE(texts[page].contains(QStringLiteral("Ελληνικά κείμενα")))
                << "page " << page + 1;
        }
        EXPECT_TRUE(texts.last().contains(PolishOf(kListRecords)));
    }
    // Written as the report files its pages or from the saved file, the document is the same
    // but for its date and identifier.
    EXPECT_EQ(PdfWithoutDates(direct), PdfWithoutDates(converted));
}

namespace {

// An invoice list that leans on the function library: every record's name in capitals and its
// amount formatted with literal text, the page numbers in the page footer, the total formatted
// in the summary.
const QString kLibraryLayout = QStringLiteral(R"json({ "class": "TRLReport", "name": "Facturas",
  "Font": { "Name": "Arial", "Size": 10 },
  "children": [
    { "class": "TRLBand", "name": "Detalle", "BandType": "btDetail", "Height": 20,
      "children": [
        { "class": "TRLLabel", "name": "Linea", "Left": 0, "Top": 2,
          "Expression": "upper(Nombre) + ' — ' + format(Monto, \"'$ '#,##0.00\")"
} ]
},
    { "class": "TRLBand", "name": "Resumen", "BandType": "btSummary", "Height": 20,
      "children": [
        { "class": "TRLLabel", "name": "Total", "Left": 0, "Top": 2,
          "Expression": "'Total: ' + format(sum(Monto), '#,##0.00')" } ] },
    { "class": "TRLBand", "name": "Pie", "BandType": "btFooter", "Height": 20,
      "children": [
        { "class": "TRLLabel", "name": "Pagina", "Left": 0, "Top": 2,
          "Expression": "'Página ' + str(page()) + ' de ' + pages()" } ] } ]
})json");

} // namespace

// On a Spanish desktop, with more pages than the page store keeps in memory: the functions'
// texts reach every page as poppler reads them, the total is the one this test adds up, and an
// error while printing names the layout file and the control.
TEST_F(Rltool, TheFunctionLibraryPrintsOnEveryPage) {
    if (!HasPoppler())
        GTEST_SKIP() << "poppler-utils are not installed";
    constexpr int kRecords = 300;
    const QString layout = Write("facturas.json", kLibraryLayout.toUtf8());
    QJsonArray records;
    long long cents = 0;
    for (int i = 1; i <= kRecords; ++i) {
        // Amounts as the records write them, in cents and with a point.
        const long long amount = i * 1025 + (i % 7) * 100000;
        cents += amount;
        records.append(QJsonObject{
            {"Nombre", QStringLiteral("Íñigo Ωμέγα %1").arg(i, 3, 10, QLatin1Char('0'))},
            {"Monto", QStringLiteral("%1.%2")
                          .arg(amount / 100)
                          .arg(amount % 100, 2, 10, QLatin1Char('0'))}});
    }
    const QString data = Write("facturas-datos.json", QJsonDocument(records).toJson());
    const auto rltool = RltoolOnASpanishDesktop;
    const QString pdf = Path("facturas.pdf");
    const ProgramResult prepared = rltool({"prepare", layout, "--data", data, "-o", pdf});
    ASSERT_EQ(prepared.ExitCode, 0) << prepared.Err.toStdString();

    const QStringList texts = PdfPageTexts(pdf);
    ASSERT_GT(texts.size(), 5) << "more pages than the page store keeps in memory";
    for (int page = 0; page < texts.size(); ++page)
        EXPECT_TRUE(
            texts[page].contains(QStringLiteral("Página %1 de %2").arg(page + 1).arg(texts.size())))
            << texts[page].toStdString();
    const QString all = texts.join(QString());
    EXPECT_TRUE(all.contains(QStringLiteral("ÍÑIGO ΩΜΈΓΑ 001 — $ 1.010,25")))
        << "1025 + 1000 * 100";
    EXPECT_TRUE(all.contains(QStringLiteral("ÍÑIGO ΩΜΈΓΑ 300 — $ 9.075,00")))
        << "300 * 1025 + 6 * 100000 cents";
    // The sum, in the Spanish form, from the test's own addition.
    QString total = QString::number(cents / 100);
    for (qsizetype at = total.size() - 3; at > 0; at -= 3)
        total.insert(at, u'.');
    total += QStringLiteral(",%1").arg(cents % 100, 2, 10, QLatin1Char('0'));
    EXPECT_TRUE(texts.last().contains(QStringLiteral("Total: ") + total))
        << total.toStdString() << "\n"
        << texts.last().toStdString();

    // A date that is none: the error names the file and the control.
    QString broken = kLibraryLayout;
    broken.replace(QStringLiteral("upper(Nombre)"), QStringLiteral("str(year(Nombre))"));
    const QString brokenLayout = Write("rota.json", broken.toUtf8());
    const ProgramResult refused =
        rltool({"prepare", brokenLayout, "--data", data, "-o", Path("rota.pdf")});
    EXPECT_NE(refused.ExitCode, 0);
    EXPECT_TRUE(refused.Err.contains(
        QStringLiteral("%1: Linea.Expression: year: \"Íñigo Ωμέγα 001\" is no date")
            .arg(brokenLayout)))
        << refused.Err.toStdString();
    EXPECT_FALSE(QFile::exists(Path("rota.pdf")));
}
