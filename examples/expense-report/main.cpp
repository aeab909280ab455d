// expense-report RECORDS.json OUT.pdf
//
// A banded report built in code: a title, a header over the columns, one detail band per record
// of a JSON array, a total and "Página N de M" at the foot of every page; prepared without
// windows and written as PDF. The same report could be read from a JSON layout instead
// (RLLayoutReader.h); building it in code shows the controls themselves.
#include <kelmora/commandline/RLCommandLine.h>
#include <kelmora/output/RLFilters.h>
#include <kelmora/pdf/RLPdfFilter.h>
#include <kelmora/report/RLBands.h>
#include <kelmora/report/RLJsonRecords.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/report/RLTextControls.h>

#include <QApplication>
#include <QLocale>

#include <cstdio>
#include <memory>

using namespace Kelmora;

namespace {

// A label at a place in its band, right-aligned for numbers.
TRLLabel* AddLabel(TRLBand* band, int left, int width, const QString& caption,
                   TRLTextAlignment alignment = taLeftJustify) {
    auto* label = new TRLLabel(band);
    label->SetAutoSize(false);
    label->SetBounds(left, 4, width, 16);
    label->SetAlignment(alignment);
    label->SetCaption(caption);
    return label;
}

TRLBand* AddBand(TRLReport& report, TRLBandType type, int height) {
    auto* band = new TRLBand(&report);
    band->SetBandType(type);
    band->SetHeight(height);
    return band;
}

struct Column {
    const char* field;
    const char* heading;
    int left;
    int width;
    TRLTextAlignment alignment;
};

constexpr Column Columns[] = {
    {"Persona", "Persona", 0, 230, taLeftJustify},
    {"Destino", "Destino", 240, 250, taLeftJustify},
    {"Dias", "Días", 500, 60, taRightJustify},
    {"Importe", "Importe", 570, 120, taRightJustify},
};

// The amount in the report's way of writing money: two decimals, comma, thousands with points.
QString Money(double amount) {
    return QLocale(QLocale::Spanish, QLocale::Argentina).toString(amount, 'f', 2);
}

std::unique_ptr<TRLReport> BuildReport(TRLJsonRecordsModel& records) {
    auto report = std::make_unique<TRLReport>();
    report->SetTitle(QStringLiteral("Gastos de viaje"));
    report->SetDataSource(&records);
    report->SetShowProgress(false);

    TRLBand* title = AddBand(*report, btTitle, 40);
    TRLLabel* heading = AddLabel(title, 0, 690, report->Title().toUpper(), taCenter);
    TRLFont bold = heading->Font();
    bold.Size = 14;
    bold.Style = fsBold;
    heading->SetFont(bold);
    heading->SetHeight(24);

    TRLBand* header = AddBand(*report, btColumnHeader, 24);
    for (const Column& column : Columns) {
        TRLLabel* label = AddLabel(header, column.left, column.width,
                                   QString::fromUtf8(column.heading), column.alignment);
        TRLFont font = label->Font();
        font.Style = fsBold;
        label->SetFont(font);
    }

    // Each detail text shows its record's field; amounts are written as money.
    TRLBand* detail = AddBand(*report, btDetail, 22);
    for (const Column& column : Columns) {
        TRLLabel* label = AddLabel(detail, column.left, column.width, {}, column.alignment);
        const QString field = QString::fromLatin1(column.field);
        QObject::connect(label, &TRLLabel::BeforePrint,
                         [field](TRLCustomControl& sender, QString& text, bool&) {
                             text = sender.FieldText(field);
                             if (field == QLatin1String("Importe") && !text.isEmpty())
                                 text = Money(text.toDouble());
                         });
    }

    // The total is known before preparing: the records are all in memory.
    double total = 0;
    const int amountColumn = records.FieldNames().indexOf(QStringLiteral("Importe"));
    for (int row = 0; amountColumn >= 0 && row < records.rowCount(); ++row)
        total += records.index(row, amountColumn).data().toString().toDouble();
    TRLBand* summary = AddBand(*report, btSummary, 28);
    AddLabel(summary, 440, 120, QStringLiteral("Total"), taRightJustify);
    AddLabel(summary, 570, 120, Money(total), taRightJustify);

    TRLBand* footer = AddBand(*report, btFooter, 24);
    auto* pages = new TRLSystemInfo(footer);
    pages->SetAutoSize(false);
    pages->SetBounds(490, 4, 200, 16);
    pages->SetAlignment(taRightJustify);
    pages->SetInfo(itPagePreview);
    pages->SetText(QStringLiteral("Página # de #"));
    return report;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: expense-report RECORDS.json OUT.pdf\n");
        return 2;
    }
    // No display needed: the engine draws offscreen.
    PrepareHeadlessEnvironment(QStringLiteral("expense-report"));
    QApplication app(argc, argv);
    const TRLEngineStart engine;
    try {
        const auto records = ReadJsonRecords(QString::fromLocal8Bit(argv[1]));
        const auto report = BuildReport(*records);
        if (!report->Prepare())
            throw TRLException(QStringLiteral("the preparation was canceled"));

        TRLPDFFilter& pdf = RegisterPdfFilter();
        pdf.SetShowProgress(false);
        pdf.SetFileName(QString::fromLocal8Bit(argv[2]));
        FilterPages(&report->Storage(), &pdf, 1, false, -1);
        std::printf("%d page(s) written to %s\n", pdf.PagesWritten(), argv[2]);
    } catch (const TRLException& e) {
        std::fprintf(stderr, "expense-report: %s\n", e.what());
        return 1;
    }
    return 0;
}
