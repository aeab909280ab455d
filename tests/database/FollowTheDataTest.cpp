// A report that follows its records, prepared by rltool from a JSON file, an SQLite file and the
// private PostgreSQL server alike: a barcode for each row that zbarimg reads back, each row's
// picture kept in a BLOB or bytea column (base64 in the JSON file) whose pixels show, amounts in
// red where they are negative, rows without stock left out by the band's Visible expression, and
// a "Total: " line written with format() that is the database's own sum of the rows printed.
#include "DatabaseTestSupport.h"
#include "ProgramRunner.h"

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
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

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
    QSqlDatabase pgdb = pg.Db();
    pgdb.setHostName(server->Host);
    pgdb.setPort(server->Port.toInt());
    pgdb.setUserName(server->User);
    pgdb.setDatabaseName(server->Database);
    ASSERT_TRUE(pgdb.open()) << pgdb.lastError().text().toStdString();
    const QString table = QStringLiteral("kelmora_products_%1_%2")
                              .arg(QCoreApplication::applicationPid())
                              .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    ASSERT_EQ(pg.Exec(ProductRows(table, true)), QString());
    const auto drop = qScopeGuard([&] { EXPECT_EQ(pg.Exec({"drop table " + table}), QString()); });
    const QString fromServer = PrepareAndCheck(
        {"--db", PgUrl(*server), "--query", QString(query).replace("products", table)}, "server");
    EXPECT_EQ(fromServer, fromJson);
    EXPECT_EQ(PrintedTotal(fromServer),
              pg.Rows("select sum(amount)::text from " + table + " where qty > 0").at(0).at(0));
}

} // namespace
