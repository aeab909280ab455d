// Master-detail: a subdetail's records joined on keys, printed under each master record with its
// own headers on every page, totals per master record, groups, and errors that name the layout,
// the subdetail and the property.
#include "ReportTestSupport.h"
#include <kelmora/report/RLSubDetail.h>

#include <QTemporaryDir>

#include <map>

using namespace Kelmora;
using namespace reporttest;

namespace {

struct Line {
    QString Serie;
    int Number;
    int Position;
    QString Item;
    QString Category;
    int Qty;
    qint64 Cents;
};

QString Money(qint64 cents) {
    return QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

QByteArray LinesJson(const std::vector<Line>& lines, const QByteArray& extra = {}) {
    QByteArray json = "[";
    for (const Line& l : lines)
        json += QStringLiteral(R"({"serie": "%1", "numero": %2, "pos": %3, "item": "%4",
                                   "cat": "%5", "qty": %6, "price": "%7"},)")
                    .arg(l.Serie)
                    .arg(l.Number)
                    .arg(l.Position)
                    .arg(l.Item, l.Category)
                    .arg(l.Qty)
                    .arg(Money(l.Cents))
                    .toUtf8();
    json += extra;
    if (json.endsWith(','))
        json.chop(1);
    return json + "]";
}

// Invoices keyed by series and number: the same number in two series is two invoices.
const QByteArray Invoices = R"json([
    {"serie": "A", "numero": 1, "cliente": "Ñandú S.A."},
    {"serie": "B", "numero": 1, "cliente": "Ωμέγα Ltd"},
    {"serie": "A", "numero": 2, "cliente": "Sin líneas"},
    {"serie": null, "numero": 3, "cliente": "Sin serie"},
    {"serie": "A", "numero": 4, "cliente": "Larga"}])json";

std::vector<Line> SomeLines(int longInvoiceLines = 4) {
    std::vector<Line> lines;
    const auto add = [&](const char* serie, int number, int count) {
        for (int p = 1; p <= count; ++p)
            lines.push_back({QString::fromLatin1(serie), number, p,
                             QStringLiteral("Artículo %1%2-%3").arg(serie).arg(number).arg(p),
                             p % 3 == 0 ? QStringLiteral("yerba") : QStringLiteral("mate"),
                             p % 4 + 1, 1000 * number + 137 * p});
    };
    add("B", 1, 2); // before the A lines in the file: the order is the file's within a key
    add("A", 1, 3);
    add("A", 4, longInvoiceLines);
    return lines;
}

const char* const Layout = R"json({"class": "TRLReport", "name": "Facturas",
  "Font": {"Name": "Arial", "Size": 10}, "children": [
   {"class": "TRLBand", "name": "Cabecera", "BandType": "btDetail", "Height": 24, "children": [
     {"class": "TRLLabel", "name": "Factura", "Expression": "serie + '-' + str(numero) + ' ' + cliente"}]},
   {"class": "TRLSubDetail", "name": "Lineas", "Records": "lineas.json",
    "MasterFields": "serie; numero", "DetailFields": "serie;numero", "children": [
     {"class": "TRLBand", "name": "Titulo", "BandType": "btTitle", "Height": 18, "children": [
       {"class": "TRLLabel", "name": "TextoTitulo", "Left": 20, "Caption": "Detalle"}]},
     {"class": "TRLBand", "name": "Columnas", "BandType": "btColumnHeader", "Height": 18, "children": [
       {"class": "TRLLabel", "name": "TextoColumnas", "Left": 20,
        "Expression": "'Artículos de ' + serie + '-' + str(numero)"}]},
     {"class": "TRLBand", "name": "Linea", "BandType": "btDetail", "Height": 20, "children": [
       {"class": "TRLLabel", "name": "Item", "Left": 40, "Expression": "str(pos) + '. ' + item"},
       {"class": "TRLLabel", "name": "Importe", "Left": 400, "Expression": "qty * price",
        "DisplayMask": "0.00"}]},
     {"class": "TRLBand", "name": "Suma", "BandType": "btSummary", "Height": 20, "children": [
       {"class": "TRLLabel", "name": "Total", "Left": 400,
        "Expression": "'Total: ' + coalesce(format(sum(qty * price), '0.00'), '-') + ' en ' + str(count())"}]}]SUBDETAIL},
   {"class": "TRLBand", "name": "Resumen", "BandType": "btSummary", "Height": 20, "children": [
     {"class": "TRLLabel", "name": "Cuenta", "Expression": "'Facturas: ' + str(count())"}]}]})json";

struct InvoiceReport {
    QTemporaryDir dir;
    TRLJsonRecordsModel invoices;
    std::unique_ptr<TRLReport> report;

    explicit InvoiceReport(const QByteArray& lines, const QByteArray& subDetail = {}) {
        EXPECT_TRUE(dir.isValid());
        WriteFile(dir.filePath(QStringLiteral("lineas.json")), lines);
        invoices.Load(Invoices, QStringLiteral("facturas"));
        RegisterTextAndGraphicClasses();
        report = ReadReportLayoutFromJson(QByteArray(Layout).replace("SUBDETAIL", subDetail),
                                          QStringLiteral("facturas.json"), dir.path());
        report->SetDataSource(&invoices);
        report->SetShowProgress(false);
    }

    QStringList AllTexts() const {
        QStringList texts;
        for (int p = 0; p < report->Storage().PageCount(); ++p)
            texts << PageTexts(*report, p);
        return texts;
    }
};

// What the report must print, worked out from the records here.
QStringList Expected(const std::vector<Line>& lines) {
    struct Invoice {
        const char* Serie;
        int Number;
        const char* Customer;
    };
    const Invoice invoices[] = {{"A", 1, "Ñandú S.A."},
                                {"B", 1, "Ωμέγα Ltd"},
                                {"A", 2, "Sin líneas"},
                                {nullptr, 3, "Sin serie"},
                                {"A", 4, "Larga"}};
    QStringList texts;
    for (const Invoice& invoice : invoices) {
        const QString serie = QString::fromLatin1(invoice.Serie);
        // A null series makes the whole header null, and equals no line's.
        texts << (invoice.Serie ? QStringLiteral("%1-%2 %3")
                                      .arg(serie)
                                      .arg(invoice.Number)
                                      .arg(QString::fromUtf8(invoice.Customer))
                                : QString());
        qint64 total = 0;
        int count = 0;
        for (const Line& l : lines) {
            if (!invoice.Serie || l.Serie != serie || l.Number != invoice.Number)
                continue;
            if (count == 0)
                texts << "Detalle"
                      << QStringLiteral("Artículos de %1-%2").arg(serie).arg(invoice.Number);
            texts << QStringLiteral("%1. %2").arg(l.Position).arg(l.Item) << Money(l.Qty * l.Cents);
            total += l.Qty * l.Cents;
            ++count;
        }
        if (count > 0)
            texts << QStringLiteral("Total: %1 en %2").arg(Money(total)).arg(count);
    }
    texts << "Facturas: 5";
    return texts;
}

TEST(SubDetail, EachMasterRecordPrintsItsLinesAndTheirTotals) {
    const std::vector<Line> lines = SomeLines();
    // Lines of no invoice: a series that no invoice has, and a null one.
    InvoiceReport r(LinesJson(lines, R"({"serie": "C", "numero": 1, "pos": 1, "item": "huérfano",
                                         "qty": 1, "price": "1"},
                                        {"serie": null, "numero": 3, "pos": 1, "item": "nulo",
                                         "qty": 1, "price": "1"})"));
    ASSERT_EQ(PreparedPages(*r.report), 1);
    QStringList texts = r.AllTexts();
    texts.removeAll(QString());
    QStringList want = Expected(lines);
    want.removeAll(QString());
    EXPECT_EQ(texts, want);
    // A second run prints the same.
    ASSERT_EQ(PreparedPages(*r.report), 1);
    QStringList again = r.AllTexts();
    again.removeAll(QString());
    EXPECT_EQ(again, texts);
}

// An invoice of many lines runs over pages: its column header heads every page it is on, with
// the master's number; its title and total print once; no line is lost or printed twice.
TEST(SubDetail, HeadersRepeatOnEveryPageItContinuesOn) {
    const std::vector<Line> lines = SomeLines(130);
    InvoiceReport r(LinesJson(lines));
    const int pages = PreparedPages(*r.report);
    ASSERT_GE(pages, 3);
    QStringList all;
    for (int p = 0; p < pages; ++p) {
        const QStringList texts = PageTexts(*r.report, p);
        all << texts;
        if (p == 0)
            continue;
        // The pages after the first hold only the long invoice's lines, headed by its header.
        ASSERT_FALSE(texts.isEmpty());
        EXPECT_EQ(texts.first(), "Artículos de A-4") << "page " << p + 1;
        EXPECT_EQ(texts.count("Artículos de A-4"), 1) << "page " << p + 1;
    }
    EXPECT_EQ(all.count("Detalle"), 3);
    QStringList want = Expected(lines);
    // The expected texts, with the header once more at the top of each further page.
    all.removeAll(QString());
    want.removeAll(QString());
    QStringList printedOnce = all;
    for (int p = 1; p < pages; ++p)
        printedOnce.removeAt(printedOnce.lastIndexOf("Artículos de A-4"));
    EXPECT_EQ(printedOnce, want);
}

// With PrintEmpty an invoice without lines still prints the subdetail's bands, its totals over
// nothing.
TEST(SubDetail, PrintEmptyPrintsTheBandsOfAMasterWithoutRecords) {
    const std::vector<Line> lines = SomeLines();
    InvoiceReport r(LinesJson(lines), R"(, "PrintEmpty": true)");
    ASSERT_EQ(PreparedPages(*r.report), 1);
    const QStringList texts = r.AllTexts();
    const qsizetype empty = texts.indexOf("A-2 Sin líneas");
    ASSERT_GE(empty, 0);
    EXPECT_EQ(texts.mid(empty + 1, 3),
              QStringList({"Detalle", "Artículos de A-2", "Total: - en 0"}));
}

// A group inside a subdetail breaks on the detail records' key and totals its own run of them;
// the subdetail's total still counts all of the master's.
TEST(SubDetail, AGroupInsideTotalsItsOwnRecords) {
    const std::vector<Line> lines = SomeLines(9);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WriteFile(dir.filePath(QStringLiteral("lineas.json")), LinesJson(lines));
    TRLJsonRecordsModel invoices;
    invoices.Load(Invoices, QStringLiteral("facturas"));
    RegisterTextAndGraphicClasses();
    const auto report = ReadReportLayoutFromJson(R"json({"class": "TRLReport", "name": "R",
      "children": [
       {"class": "TRLSubDetail", "name": "Lineas", "Records": "lineas.json",
        "MasterFields": "serie;numero", "children": [
         {"class": "TRLGroup", "name": "PorCategoria", "DataFields": "cat", "children": [
           {"class": "TRLBand", "name": "Linea", "BandType": "btDetail", "Height": 14},
           {"class": "TRLBand", "name": "SumaCategoria", "BandType": "btSummary", "Height": 14,
            "children": [{"class": "TRLLabel", "name": "TotalCategoria",
              "Expression": "cat + ' ' + format(sum(qty * price), '0.00')"}]}]},
         {"class": "TRLBand", "name": "Suma", "BandType": "btSummary", "Height": 14, "children": [
           {"class": "TRLLabel", "name": "Total",
            "Expression": "serie + str(numero) + ' ' + format(sum(qty * price), '0.00')"}]}]}]})json",
                                                 QStringLiteral("facturas.json"), dir.path());
    report->SetDataSource(&invoices);
    report->SetShowProgress(false);
    ASSERT_EQ(PreparedPages(*report), 1);

    QStringList want;
    const std::pair<QString, int> keys[] = {{"A", 1}, {"B", 1}, {"A", 4}};
    for (const auto& [serie, number] : keys) {
        qint64 run = 0;
        qint64 total = 0;
        QString category;
        for (const Line& l : lines) {
            if (l.Serie != serie || l.Number != number)
                continue;
            if (!category.isEmpty() && l.Category != category) {
                want << category + u' ' + Money(run);
                run = 0;
            }
            category = l.Category;
            run += l.Qty * l.Cents;
            total += l.Qty * l.Cents;
        }
        want << category + u' ' + Money(run)
             << QStringLiteral("%1%2 %3").arg(serie).arg(number).arg(Money(total));
    }
    QStringList texts = PageTexts(*report);
    texts.removeAll(QString());
    EXPECT_EQ(texts, want);
}

TEST(SubDetail, ErrorsNameTheLayoutTheSubDetailAndTheProperty) {
    const QByteArray lines = LinesJson(SomeLines());
    const struct {
        QByteArray SubDetail;
        QByteArray Lines;
        QString Error;
    } cases[] = {
        {R"(, "MasterFields": "serie;nada", "DetailFields": "serie;numero")", lines,
         "facturas.json: Lineas.Records: the master's records have no field \"nada\""},
        {R"(, "MasterFields": "serie", "DetailFields": "factura")", lines,
         "facturas.json: Lineas.Records: the detail records have no field \"factura\""},
        {R"(, "MasterFields": "serie;numero", "DetailFields": "serie")", lines,
         "facturas.json: Lineas.Records: 2 master fields against 1 detail fields"},
        {R"(, "Records": "")", lines,
         "facturas.json: Lineas.Records: no detail records: give Records or Query"},
        {R"(, "Query": "select * from lineas where numero = :numero")", lines,
         "facturas.json: Lineas.Query: no database to run the query on (rltool: --db)"},
        {{}, "[{\"serie\": [1]}]", "facturas.json: Lineas.Records: "},
    };
    for (const auto& c : cases) {
        // Keys given again later in a JSON object replace the layout's own.
        InvoiceReport r(c.Lines, c.SubDetail);
        const QString error = ErrorOf([&] { r.report->Prepare(); });
        EXPECT_TRUE(error.startsWith(c.Error)) << error.toStdString();
    }
}

} // namespace
