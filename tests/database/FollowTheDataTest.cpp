// A report that follows its records, prepared by rltool from a JSON file, an SQLite file and the
// private PostgreSQL server alike: a barcode for each row that zbarimg reads back, each row's
// picture kept in a BLOB or bytea column (base64 in the JSON file) whose pixels show, amounts in
// red where they are negative, rows without stock left out by the band's Visible expression, and
// a "Total: " line written with format() that is the database's own sum of the rows printed.
#include "DatabaseTestSupport.h"
#include "ProgramRunner.h"
#include <kelmora/report/RLSqlRecords.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

using namespace Kelmora;
using namespace databasetest;

namespace {

// Cents as the decimal text "-1234.05".
QString AmountText(qint64 cents) {
    const qint64 whole = std::abs(cents);
    return QStringLiteral("%1%2.%3")
        .arg(cents < 0 ? QStringLiteral("-") : QString())
        .arg(whole / 100)
        .arg(whole % 100, 2, 10, QLatin1Char('0'));
}

struct Product {
    int Id;
    QString Sku;
    QString Name;
    int Qty;
    qint64 Cents;
    QColor Colour;

    QString Amount() const { return AmountText(Cents); }
    QByteArray Photo() const {
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Colour);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return png;
    }
};

// Fourteen products: some without stock, some with negative amounts, each its own colour, with
// names that a barcode's characters could not carry.
std::vector<Product> Products() {
    std::vector<Product> products;
    for (int id = 1; id <= 14; ++id)
        products.push_back({id, QStringLiteral("KEL-%1").arg(id * 37, 4, 10, QLatin1Char('0')),
                            QStringLiteral("Ñandú Ωμέγα %1").arg(id), (id * 5) % 4,
                            (id * 7919) % 20000 - 6000,
                            QColor((id * 40) % 256, (id * 90) % 256, 255 - (id * 15) % 256)});
    return products;
}

constexpr int Margin = 38; // 10 mm at 96 pixels an inch
constexpr int RowHeight = 60;

const char* const Layout = R"json({"$schema": "layout.schema.json",
  "class": "TRLReport", "name": "Stock", "Font": {"Name": "Arial", "Size": 10},
  "children": [
    {"class": "TRLBand", "name": "Row", "BandType": "btDetail", "Height": 60,
     "Expressions": {"Visible": "qty > 0"}, "children": [
      {"class": "TRLBarcode", "name": "Code", "Top": 5, "Height": 44, "BarcodeType": "bcCode128B",
       "Module": 2, "Expression": "sku"},
      {"class": "TRLLabel", "name": "Name", "Left": 250, "Top": 48, "Expression": "name"},
      {"class": "TRLImage", "name": "Photo", "Left": 400, "Top": 5, "Width": 40, "Height": 40,
       "Stretch": true, "Expression": "photo"},
      {"class": "TRLLabel", "name": "Amount", "Left": 500, "Top": 15, "Expression": "amount",
       "DisplayMask": "#,##0.00", "Font": {"Name": "Arial", "Size": 14, "Color": "clBlack"},
       "Expressions": {"Font.Color": "if(amount < 0, 'clRed', 'clBlack')"}}]},
    {"class": "TRLBand", "name": "Totals", "BandType": "btSummary", "Height": 30, "children": [
      {"class": "TRLLabel", "name": "Total", "Left": 500, "Top": 5,
       "Expression": "'Total: ' + format(sum(amount), '#,##0.00')"}]}]})json";

QString Hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex());
}

// What zbarimg reads in a picture, Code 128 only; empty when it reads nothing.
QString Decoded(const QImage& picture, const QString& directory) {
    static int count = 0;
    const QString path = QDir(directory).filePath(QStringLiteral("code%1.png").arg(count++));
    if (!picture.save(path))
        return QStringLiteral("(cannot save %1)").arg(path);
    const ProgramResult r = RunProgram(QStringLiteral("zbarimg"),
                                       {"--raw", "-q", "-Sdisable", "-Scode128.enable", path});
    return r.Out.trimmed();
}

class FollowTheData : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"zbarimg", "pdftotext"})
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
                GTEST_SKIP() << tool << " is not installed";
        ASSERT_TRUE(dir_.isValid());
        QFile::copy(QStringLiteral(KELMORA_SOURCE_DIR "/docs/layout.schema.json"),
                    Path("layout.schema.json"));
        QFile layout(Path("stock.json"));
        ASSERT_TRUE(layout.open(QIODevice::WriteOnly));
        layout.write(Layout);
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    // Prepares the report from the records named by source (rltool's --data, or --db and
    // --query), and checks every printed row against the products; the page's text comes back.
    QString PrepareAndCheck(const QStringList& source, const QString& name) {
        const QString pages = Path(name + ".rpf");
        const ProgramResult prepared =
            Rltool(QStringList{"prepare", Path("stock.json")} + source + QStringList{"-o", pages});
        EXPECT_EQ(prepared.ExitCode, 0) << prepared.Err.toStdString();
        const QString png = Path(name + ".png");
        const ProgramResult rendered = Rltool({"render", pages, "-o", png});
        EXPECT_EQ(rendered.ExitCode, 0) << rendered.Err.toStdString();
        const QImage page(png);
        EXPECT_FALSE(page.isNull());
        if (page.isNull())
            return QString();

        int row = 0;
        for (const Product& p : Products()) {
            if (p.Qty <= 0)
                continue;
            SCOPED_TRACE(p.Sku.toStdString());
            const int top = Margin + RowHeight * row++;
            // The bars of the row alone, widened for zbarimg's quiet zones.
            QImage bars(360, 64, QImage::Format_RGB32);
            bars.fill(Qt::white);
            for (int y = 0; y < 44; ++y)
                for (int x = 0; x < 340; ++x)
                    bars.setPixel(10 + x, 10 + y, page.pixel(Margin + x, top + 5 + y));
            EXPECT_EQ(Decoded(bars, dir_.path()), p.Sku);
            // The picture fills its box in the row's colour.
            EXPECT_EQ(page.pixelColor(Margin + 420, top + 25), p.Colour);
            // The amount's ink is red for a negative amount and black otherwise.
            int red = 0;
            int black = 0;
            for (int y = top + 10; y < top + 45; ++y)
                for (int x = Margin + 500; x < Margin + 700; ++x) {
                    const QColor c = page.pixelColor(x, y);
                    red += c.red() > 200 && c.green() < 60 && c.blue() < 60;
                    black += c.red() < 60 && c.green() < 60 && c.blue() < 60;
                }
            EXPECT_EQ(red > 20, p.Cents < 0) << red << " red pixels";
            EXPECT_EQ(black > 20, p.Cents >= 0) << black << " black pixels";
        }
        const QString pdf = Path(name + ".pdf");
        EXPECT_EQ(Rltool({"pdf", pages, "-o", pdf}).ExitCode, 0);
        const QString text =
            RunProgram(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).Out;
        // The names of the rows printed, and of no other.
        for (const Product& p : Products())
            EXPECT_EQ(text.contains(p.Name + u'\n'), p.Qty > 0) << p.Name.toStdString();
        return text;
    }

    // The amount of the "Total: " line of a page's text, as a decimal text ("-1234.56").
    static QString PrintedTotal(const QString& text) {
        const QLocale shown = QLocale::system();
        const qsizetype at = text.indexOf(QStringLiteral("Total: "));
        if (at < 0)
            return QStringLiteral("(no total)");
        return text.mid(at + 7)
            .section(u'\n', 0, 0)
            .remove(shown.groupSeparator())
            .replace(shown.decimalPoint(), QStringLiteral("."))
            .trimmed();
    }

    QTemporaryDir dir_;
};

QString ProductsJson() {
    QJsonArray records;
    for (const Product& p : Products())
        records.append(QJsonObject{{"id", p.Id},
                                   {"sku", p.Sku},
                                   {"name", p.Name},
                                   {"qty", p.Qty},
                                   {"amount", p.Amount()},
                                   {"photo", QString::fromLatin1(p.Photo().toBase64())}});
    return QString::fromUtf8(QJsonDocument(records).toJson());
}

QStringList ProductRows(const QString& table, bool postgres) {
    QStringList statements{QStringLiteral("create table %1 (id integer primary key, sku text, "
                                          "name text, qty integer, amount numeric(12,2), photo %2)")
                               .arg(table, postgres ? "bytea" : "blob")};
    for (const Product& p : Products())
        statements << QStringLiteral("insert into %1 values (%2, '%3', '%4', %5, %6, %7)")
                          .arg(table)
                          .arg(p.Id)
                          .arg(p.Sku, p.Name)
                          .arg(p.Qty)
                          .arg(p.Amount(),
                               postgres ? QStringLiteral("decode('%1', 'hex')").arg(Hex(p.Photo()))
                                        : QStringLiteral("x'%1'").arg(Hex(p.Photo())));
    return statements;
}

// The same report from the three sources prints the same text, whose total is each source's
// own sum of the rows with stock.
TEST_F(FollowTheData, JsonSqliteAndPostgresPrintEveryRowAsItsRecordSays) {
    QFile json(Path("products.json"));
    ASSERT_TRUE(json.open(QIODevice::WriteOnly));
    json.write(ProductsJson().toUtf8());
    json.close();
    const QString fromJson = PrepareAndCheck({"--data", json.fileName()}, "json");
    qint64 cents = 0;
    for (const Product& p : Products())
        cents += p.Qty > 0 ? p.Cents : 0;
    EXPECT_EQ(PrintedTotal(fromJson), AmountText(cents));

    const QString file = Path("products.db");
    ASSERT_EQ(MakeSqliteFile(file, ProductRows("products", false)), QString());
    const QString query =
        QStringLiteral("select sku, name, qty, amount, photo from products order by id");
    const QString fromSqlite =
        PrepareAndCheck({"--db", "sqlite:" + file, "--query", query}, "sqlite");
    EXPECT_EQ(fromSqlite, fromJson);
    TestConnection sqlite(QStringLiteral("QSQLITE"));
    QSqlDatabase db = sqlite.Db();
    db.setDatabaseName(file);
    ASSERT_TRUE(db.open());
    EXPECT_EQ(
        PrintedTotal(fromSqlite),
        sqlite.Rows("select printf('%.2f', sum(amount)) from products where qty > 0").at(0).at(0));

    const std::optional<PgServer> server = TestServer();
    if (!server)
        GTEST_SKIP() << kNoServer;
    TestConnection pg(QStringLiteral("QPSQL"));
    ASSERT_EQ(OpenOn(pg, *server), QString());
    const QString table = RunOwnName(QStringLiteral("kelmora_products"));
    ASSERT_EQ(pg.Exec(ProductRows(table, true)), QString());
    const auto drop = qScopeGuard([&] { EXPECT_EQ(pg.Exec({"drop table " + table}), QString()); });
    const QString fromServer = PrepareAndCheck(
        {"--db", PgUrl(*server), "--query", QString(query).replace("products", table)}, "server");
    EXPECT_EQ(fromServer, fromJson);
    EXPECT_EQ(PrintedTotal(fromServer),
              pg.Rows("select sum(amount)::text from " + table + " where qty > 0").at(0).at(0));
}

} // namespace

namespace {

// ---- master-detail ---------------------------------------------------------------------------

TEST(QueryParameters, NamedParametersOutsideTextsNamesAndComments) {
    EXPECT_EQ(TRLSqlRecordStream::QueryParameters(
                  "select ':texto', \"a:b\", x::integer, $$ :dolar $$ from t -- :linea\n"
                  "where a = :id and b = :Id /* :bloque */ and c = :desde and d < :hasta_1"),
              QStringList({"id", "desde", "hasta_1"}));
    EXPECT_EQ(TRLSqlRecordStream::QueryParameters("select 1"), QStringList());
}

// Invoices whose keys are texts that would break a query they were pasted into; each invoice's
// lines through a query with parameters, on SQLite and on the server.
class MasterDetail : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            GTEST_SKIP() << "pdftotext is not installed";
        ASSERT_TRUE(dir_.isValid());
        QFile layout(Path("facturas.json"));
        ASSERT_TRUE(layout.open(QIODevice::WriteOnly));
        layout.write(R"json({"class": "TRLReport", "name": "Facturas",
          "Font": {"Name": "Arial", "Size": 10}, "children": [
           {"class": "TRLBand", "name": "Cabecera", "BandType": "btDetail", "Height": 22,
            "children": [{"class": "TRLLabel", "name": "Codigo", "Expression": "'Factura ' + code"}]},
           {"class": "TRLSubDetail", "name": "Lineas",
            "Query": "select item, qty, price from LINES where code = :code order by pos",
            "children": [
             {"class": "TRLBand", "name": "Linea", "BandType": "btDetail", "Height": 18,
              "children": [{"class": "TRLLabel", "name": "Item", "Left": 30, "Expression": "item"}]},
             {"class": "TRLBand", "name": "Suma", "BandType": "btSummary", "Height": 18,
              "children": [{"class": "TRLLabel", "name": "Total", "Left": 30,
                "Expression": "'Total ' + code + ': ' + format(sum(qty * price), '0.00') + ' (' + str(count()) + ')'"}]}]}]})json");
    }

    // The statements that make the tables, "INVOICES" and "LINES" in them standing for the names.
    static QStringList Tables(const QString& invoices, const QString& lines) {
        QStringList statements{
            QStringLiteral("create table %1 (id integer primary key, code text)").arg(invoices),
            QStringLiteral("create table %1 (code text, pos integer, item text, qty integer, "
                           "price numeric(12,2))")
                .arg(lines)};
        const QStringList codes = {"A-1", "O'Brien", "x' or '1'='1", "Ñandú; drop table x; -- fin",
                                   "sin líneas"};
        for (int i = 0; i < codes.size(); ++i) {
            QString quoted = codes[i];
            quoted.replace(u'\'', QStringLiteral("''"));
            statements << QStringLiteral("insert into %1 values (%2, '%3')")
                              .arg(invoices)
                              .arg(i + 1)
                              .arg(quoted);
            for (int p = 1; p <= (i == 4 ? 0 : 2 + i); ++p)
                statements << QStringLiteral("insert into %1 values ('%2', %3, 'Línea %4.%3', %5, "
                                             "%6.25)")
                                  .arg(lines, quoted)
                                  .arg(p)
                                  .arg(i + 1)
                                  .arg(p)
                                  .arg(10 * (i + 1) + p);
        }
        return statements;
    }

    QString Prepare(const QString& url, const QString& invoices, const QString& lines,
                    const QString& name) {
        QFile layout(Path("facturas.json"));
        EXPECT_TRUE(layout.open(QIODevice::ReadOnly));
        const QByteArray text = layout.readAll().replace("LINES", lines.toUtf8());
        const QString file = Path(name + ".json");
        QFile named(file);
        EXPECT_TRUE(named.open(QIODevice::WriteOnly));
        named.write(text);
        named.close();
        const QString pdf = Path(name + ".pdf");
        const ProgramResult r =
            Rltool({"prepare", file, "--db", url, "--query",
                    "select id, code from " + invoices + " order by id", "-o", pdf});
        EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
        return RunProgram(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).Out;
    }

    // The "Total CODE: SUM (COUNT)" lines that a report must print, from the database's own
    // join and aggregates.
    static QStringList Totals(const TestConnection& db, const QString& invoices,
                              const QString& lines, const QString& sum) {
        QStringList totals;
        for (const QStringList& row :
             db.Rows(QStringLiteral("select i.code, %3, count(*) from %1 i join %2 l on l.code = "
                                    "i.code group by i.id, i.code order by i.id")
                         .arg(invoices, lines, sum)))
            totals << QStringLiteral("Total %1: %2 (%3)").arg(row[0], row[1], row[2]);
        return totals;
    }

    static QStringList PrintedTotals(const QString& text) {
        QStringList totals;
        for (const QString& line : text.split(u'\n'))
            if (line.startsWith(QStringLiteral("Total ")))
                totals << line.trimmed();
        return totals;
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

TEST_F(MasterDetail, EachInvoicesLinesComeFromAQueryWithItsCodeBound) {
    const QString file = Path("facturas.db");
    ASSERT_EQ(MakeSqliteFile(file, Tables("invoices", "lines")), QString());
    const QString fromSqlite = Prepare("sqlite:" + file, "invoices", "lines", "sqlite");
    TestConnection sqlite(QStringLiteral("QSQLITE"));
    QSqlDatabase db = sqlite.Db();
    db.setDatabaseName(file);
    ASSERT_TRUE(db.open());
    const QStringList want =
        Totals(sqlite, "invoices", "lines", QStringLiteral("printf('%.2f', sum(l.qty * l.price))"));
    ASSERT_EQ(want.size(), 4);
    // In the locale of the run: the decimal comma of a Spanish desktop.
    QStringList shown = want;
    for (QString& total : shown)
        total.replace(QRegularExpression(QStringLiteral("(\\d)\\.(\\d\\d) \\(")),
                      QStringLiteral("\\1") + QLocale::system().decimalPoint() +
                          QStringLiteral("\\2 ("));
    EXPECT_EQ(PrintedTotals(fromSqlite), shown);
    // Every invoice is printed, the one without lines too, and every line once.
    for (const QStringList& row : sqlite.Rows("select code from invoices"))
        EXPECT_TRUE(fromSqlite.contains("Factura " + row[0])) << row[0].toStdString();
    EXPECT_EQ(fromSqlite.count(QStringLiteral("Línea ")),
              sqlite.Rows("select count(*) from lines").at(0).at(0).toInt());

    // The same invoices and lines as records files, joined on the code, print the same.
    QJsonArray invoiceRecords;
    for (const QStringList& row : sqlite.Rows("select id, code from invoices order by id"))
        invoiceRecords.append(QJsonObject{{"id", row[0].toInt()}, {"code", row[1]}});
    QJsonArray lineRecords;
    for (const QStringList& row :
         sqlite.Rows("select code, item, qty, printf('%.2f', price) from lines order by code, pos"))
        lineRecords.append(QJsonObject{
            {"code", row[0]}, {"item", row[1]}, {"qty", row[2].toInt()}, {"price", row[3]}});
    for (const auto& [name, records] :
         {std::pair{"invoices.json", invoiceRecords}, std::pair{"lines.json", lineRecords}}) {
        QFile file(Path(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(records).toJson());
    }
    QFile layout(Path("facturas.json"));
    ASSERT_TRUE(layout.open(QIODevice::ReadOnly));
    QFile joined(Path("joined.json"));
    ASSERT_TRUE(joined.open(QIODevice::WriteOnly));
    joined.write(layout.readAll().replace(
        R"("Query": "select item, qty, price from LINES where code = :code order by pos")",
        R"("Records": "lines.json", "MasterFields": "code")"));
    joined.close();
    const QString joinedPdf = Path("joined.pdf");
    const ProgramResult fromFiles =
        Rltool({"prepare", joined.fileName(), "--data", Path("invoices.json"), "-o", joinedPdf});
    ASSERT_EQ(fromFiles.ExitCode, 0) << fromFiles.Err.toStdString();
    EXPECT_EQ(RunProgram(QStringLiteral("pdftotext"), {joinedPdf, QStringLiteral("-")}).Out,
              fromSqlite);

    const std::optional<PgServer> server = TestServer();
    if (!server)
        GTEST_SKIP() << kNoServer;
    TestConnection pg(QStringLiteral("QPSQL"));
    ASSERT_EQ(OpenOn(pg, *server), QString());
    const QString invoices = RunOwnName(QStringLiteral("kelmora_invoices"));
    const QString lines = RunOwnName(QStringLiteral("kelmora_lines"));
    ASSERT_EQ(pg.Exec(Tables(invoices, lines)), QString());
    const auto drop = qScopeGuard([&] {
        EXPECT_EQ(pg.Exec({"drop table " + invoices, "drop table " + lines}), QString());
    });
    const QString fromServer = Prepare(PgUrl(*server), invoices, lines, "server");
    EXPECT_EQ(Totals(pg, invoices, lines, QStringLiteral("sum(l.qty * l.price)::text")), want);
    EXPECT_EQ(fromServer, fromSqlite);
}

} // namespace

namespace {

// ---- the invoice example ---------------------------------------------------------------------

// An amount of the database ("1234.5", "-2700.50") as the mask "#,##0.00" prints it in the
// run's locale.
QString Shown(const QString& amount) {
    const QLocale locale = QLocale::system();
    const bool negative = amount.startsWith(u'-');
    QString digits = negative ? amount.mid(1) : amount;
    qsizetype point = digits.indexOf(u'.');
    if (point < 0) {
        digits += QStringLiteral(".");
        point = digits.size() - 1;
    }
    QString cents = (digits.mid(point + 1) + QStringLiteral("00")).left(2);
    QString whole = digits.left(point);
    for (qsizetype at = whole.size() - 3; at > 0; at -= 3)
        whole.insert(at, locale.groupSeparator());
    return (negative ? QStringLiteral("-") : QString()) + whole + locale.decimalPoint() + cents;
}

const char* const InvoiceQuery = "SELECT id, number, customer, issued FROM invoices ORDER BY id";

// The example prints, for each invoice on a page of its own, every line's barcode, picture and
// amount (red where negative) and a total that is the database's own sum; the same from the
// server.
TEST(InvoiceExample, EachPageIsAnInvoiceAsTheDatabaseHoldsIt) {
    for (const char* tool : {"zbarimg", "pdftotext"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString example = QStringLiteral(KELMORA_SOURCE_DIR "/examples/invoice/");
    const QString pages = dir.filePath(QStringLiteral("facturas.rpf"));
    const ProgramResult prepared =
        Rltool({"prepare", example + "layout.json", "--db", "sqlite:" + example + "invoices.db",
                "--query", InvoiceQuery, "-o", pages});
    ASSERT_EQ(prepared.ExitCode, 0) << prepared.Err.toStdString();

    TestConnection sqlite(QStringLiteral("QSQLITE"));
    QSqlDatabase db = sqlite.Db();
    db.setDatabaseName(example + "invoices.db");
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    ASSERT_TRUE(db.open());
    const std::vector<QStringList> invoices =
        sqlite.Rows("select id, customer from invoices order by id");
    ASSERT_GT(invoices.size(), 5u);

    const QString pdf = dir.filePath(QStringLiteral("facturas.pdf"));
    ASSERT_EQ(Rltool({"pdf", pages, "-o", pdf}).ExitCode, 0);
    const QString text = RunProgram(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")}).Out;
    const QStringList pageTexts = text.split(u'\f');
    for (size_t i = 0; i < invoices.size(); ++i) {
        const QString id = invoices[i][0];
        SCOPED_TRACE("invoice " + id.toStdString());
        // Each invoice on its own page of more than the page cache holds, its customer (Greek
        // among them) as the database has it.
        EXPECT_TRUE(pageTexts.value(qsizetype(i)).contains("Cliente: " + invoices[i][1]))
            << invoices[i][1].toStdString();
        // pdftotext reads the label's two blanks before the bracket as one.
        const QStringList total = sqlite
                                      .Rows("select printf('%.2f', sum(qty * price)), count(*) "
                                            "from lines where invoice_id = " +
                                            id)
                                      .at(0);
        EXPECT_TRUE(
            pageTexts.value(qsizetype(i))
                .contains(QStringLiteral("Total: $ %1 (%2 líneas)").arg(Shown(total[0]), total[1])))
            << pageTexts.value(qsizetype(i)).toStdString();

        const QString png = dir.filePath(QStringLiteral("page%1.png").arg(i + 1));
        ASSERT_EQ(Rltool({"render", pages, "--page", QString::number(i + 1), "-o", png}).ExitCode,
                  0);
        const QImage page(png);
        ASSERT_FALSE(page.isNull());
        // Every line's code, read back from the page.
        QStringList codes = RunProgram(QStringLiteral("zbarimg"),
                                       {"--raw", "-q", "-Sdisable", "-Scode128.enable", png})
                                .Out.split(u'\n', Qt::SkipEmptyParts);
        codes.sort();
        QStringList skus;
        for (const QStringList& row :
             sqlite.Rows("select sku from lines where invoice_id = " + id + " order by sku"))
            skus << row[0];
        EXPECT_EQ(codes, skus);
        // Each line's picture at its place (15 mm margins, the invoice's band, the column
        // header, 48 pixels a line), and its amount's ink red only where it is negative.
        const std::vector<QStringList> lines =
            sqlite.Rows("select hex(photo), qty * price < 0 from lines where invoice_id = " + id +
                        " order by line");
        for (size_t k = 0; k < lines.size(); ++k) {
            const int top = 57 + 74 + 22 + 48 * int(k);
            if (!lines[k][0].isEmpty()) {
                const QImage photo =
                    QImage::fromData(QByteArray::fromHex(lines[k][0].toLatin1()), "PNG");
                EXPECT_EQ(page.pixelColor(57 + 4 + 16, top + 6 + 16), photo.pixelColor(12, 12))
                    << "line " << k + 1;
            }
            int red = 0;
            for (int y = top + 10; y < top + 38; ++y)
                for (int x = 57 + 580; x < 57 + 680; ++x) {
                    const QColor c = page.pixelColor(x, y);
                    red += c.red() > 180 && c.green() < 90 && c.blue() < 90;
                }
            EXPECT_EQ(red > 10, lines[k][1] == "1") << "line " << k + 1 << ": " << red;
        }
    }

    // The same invoices on the server print the same text.
    const std::optional<PgServer> server = TestServer();
    if (!server)
        GTEST_SKIP() << kNoServer;
    TestConnection pg(QStringLiteral("QPSQL"));
    ASSERT_EQ(OpenOn(pg, *server), QString());
    const QString schema = RunOwnName(QStringLiteral("kelmora_invoice"));
    QStringList copy{"create schema " + schema,
                     "create table " + schema +
                         ".invoices (id integer primary key, number text, "
                         "customer text, issued date)",
                     "create table " + schema +
                         ".lines (invoice_id integer, line integer, sku "
                         "text, item text, qty integer, price "
                         "numeric(12,2), photo bytea)"};
    for (const QStringList& row : sqlite.Rows("select id, number, customer, issued from invoices"))
        copy << QStringLiteral("insert into %1.invoices values (%2, '%3', '%4', '%5')")
                    .arg(schema, row[0], row[1], QString(row[2]).replace(u'\'', "''"), row[3]);
    for (const QStringList& row : sqlite.Rows("select invoice_id, line, sku, item, qty, "
                                              "printf('%.2f', price), hex(photo) from lines"))
        copy << QStringLiteral("insert into %1.lines values (%2, %3, '%4', '%5', %6, %7, %8)")
                    .arg(schema, row[0], row[1], row[2], row[3], row[4], row[5],
                         row[6].isEmpty() ? QStringLiteral("null")
                                          : QStringLiteral("decode('%1', 'hex')").arg(row[6]));
    ASSERT_EQ(pg.Exec(copy), QString());
    const auto drop =
        qScopeGuard([&] { EXPECT_EQ(pg.Exec({"drop schema " + schema + " cascade"}), QString()); });
    const QString fromServer = dir.filePath(QStringLiteral("servidor.pdf"));
    const ProgramResult served = Rltool({"prepare", example + "layout.json", "--db",
                                         PgUrl(*server) + "&options=-csearch_path%3D" + schema,
                                         "--query", InvoiceQuery, "-o", fromServer});
    ASSERT_EQ(served.ExitCode, 0) << served.Err.toStdString();
    EXPECT_EQ(RunProgram(QStringLiteral("pdftotext"), {fromServer, QStringLiteral("-")}).Out, text);
}

} // namespace
