// A long report prepared from its JSON layout: a page header, a detail band of six labels, a
// word-wrapped memo and a line, and a footer with the page number and the last page number.
// Figures: reading the layout, pages prepared per second (texts set by events, and texts from
// expressions naming the fields), records read per second from a JSON records file, and
// resident memory while 10,000 records are prepared (the page cache must keep it flat).
#include "BenchSupport.h"
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/report/RLControlClasses.h>
#include <kelmora/report/RLLayoutReader.h>
#include <kelmora/report/RLRecordStream.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/report/RLTextControls.h>

#include <QAbstractTableModel>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QTemporaryDir>

#include <array>

using namespace Kelmora;

namespace {

const QString LayoutPath = QStringLiteral(KELMORA_BENCH_LAYOUT);

// Records made up on request, so that the figures show the engine's memory and not the data's.
class GeneratedRecords : public QAbstractTableModel {
public:
    explicit GeneratedRecords(int rows) : rows_(rows) {}
    static constexpr std::array<const char*, 7> Fields = {"Numero", "Persona", "Destino", "Salida",
                                                          "Dias",   "Importe", "Motivo"};

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : rows_;
    }
    int columnCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : static_cast<int>(Fields.size());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
            section >= columnCount())
            return QVariant();
        return QString::fromLatin1(Fields[static_cast<size_t>(section)]);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid())
            return QVariant();
        static const char* const places[] = {"Córdoba", "Rosario", "Mendoza", "Salta",
                                             "Bahía Blanca"};
        const int r = index.row();
        switch (index.column()) {
        case 0:
            return QString::number(r + 1).rightJustified(6, QLatin1Char('0'));
        case 1:
            return QStringLiteral("PERSONA DE PRUEBA %1").arg(r + 1);
        case 2:
            return QString::fromUtf8(places[r % 5]);
        case 3:
            return QStringLiteral("%1/%2/2026")
                .arg(r % 28 + 1, 2, 10, QLatin1Char('0'))
                .arg(r % 12 + 1, 2, 10, QLatin1Char('0'));
        case 4:
            return QString::number(r % 9 + 1);
        case 5:
            return QStringLiteral("%1,%2")
                .arg(1000 + r % 9000)
                .arg(r % 100, 2, 10, QLatin1Char('0'));
        default:
            // Long enough to wrap onto a second line, of a length that varies with the record.
            return QStringLiteral("Asistencia a las jornadas de trabajo del proyecto número %1, "
                                  "con presentación de resultados y reuniones con los equipos "
                                  "de las sedes participantes%2")
                .arg(r + 1)
                .arg(QString(r % 3 * 12, QLatin1Char('.')));
        }
    }

private:
    int rows_;
};

// The layout read and bound to the records: each detail text shows the field of its name.
std::unique_ptr<TRLReport> MakeReport(QAbstractItemModel& records) {
    auto report = ReadReportLayout(LayoutPath);
    report->SetDataSource(&records);
    report->SetShowProgress(false);
    const auto showField = [](TRLCustomControl& sender, QString& text, bool&) {
        text = sender.FieldText(sender.Name());
    };
    for (const char* field : GeneratedRecords::Fields) {
        TRLCustomControl* control = report->FindControl(QString::fromLatin1(field));
        if (auto* label = qobject_cast<TRLCustomLabel*>(control))
            QObject::connect(label, &TRLCustomLabel::BeforePrint, showField);
        else if (auto* memo = qobject_cast<TRLCustomMultiLine*>(control))
            QObject::connect(memo, &TRLCustomMultiLine::BeforePrint, showField);
    }
    return report;
}

// The same layout, each detail text an expression naming its field, as layouts written by hand
// have them: the expression parser and the field lookups run for every text of every record.
std::unique_ptr<TRLReport> MakeExpressionReport(QAbstractItemModel& records) {
    auto report = ReadReportLayout(LayoutPath);
    report->SetDataSource(&records);
    report->SetShowProgress(false);
    for (const char* field : GeneratedRecords::Fields) {
        const QString name = QString::fromLatin1(field);
        TRLCustomControl* control = report->FindControl(name);
        if (auto* label = dynamic_cast<TRLCustomLabel*>(control))
            label->SetExpression(name);
        else if (auto* memo = dynamic_cast<TRLCustomMemo*>(control))
            memo->SetExpression(name);
    }
    return report;
}

// The generated records as a JSON file of objects, one a record, as rltool prepare reads them.
QString WriteJsonRecords(const QAbstractItemModel& records, const QString& path) {
    QJsonArray array;
    for (int r = 0; r < records.rowCount(); ++r) {
        QJsonObject object;
        for (int c = 0; c < records.columnCount(); ++c) {
            const QString text = records.index(r, c).data().toString();
            // Numbers as numbers, the way exported records have them.
            if (c == 0 || c == 4)
                object.insert(records.headerData(c, Qt::Horizontal).toString(), text.toInt());
            else
                object.insert(records.headerData(c, Qt::Horizontal).toString(), text);
        }
        array.append(object);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(QJsonDocument(array).toJson());
    return path;
}

void BM_ReadLayout(benchmark::State& state) {
    for (auto _ : state) {
        auto report = ReadReportLayout(LayoutPath);
        benchmark::DoNotOptimize(report.get());
    }
}
BENCHMARK(BM_ReadLayout)->Unit(benchmark::kMicrosecond);

void BM_PrepareReport(benchmark::State& state) {
    GeneratedRecords records(static_cast<int>(state.range(0)));
    int pages = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto report = MakeReport(records);
        state.ResumeTiming();
        if (!report->Prepare())
            state.SkipWithError("preparation failed");
        pages += report->Storage().PageCount();
        state.PauseTiming();
        report.reset(); // dropping the pages and their file is not preparation
        state.ResumeTiming();
    }
    state.counters["pages"] = benchmark::Counter(pages, benchmark::Counter::kAvgIterations);
    state.counters["pages/s"] = benchmark::Counter(pages, benchmark::Counter::kIsRate);
    state.counters["records/s"] = benchmark::Counter(
        double(state.range(0)) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PrepareReport)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_PrepareReportFromExpressions(benchmark::State& state) {
    GeneratedRecords records(static_cast<int>(state.range(0)));
    int pages = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto report = MakeExpressionReport(records);
        state.ResumeTiming();
        if (!report->Prepare())
            state.SkipWithError("preparation failed");
        pages += report->Storage().PageCount();
        state.PauseTiming();
        report.reset();
        state.ResumeTiming();
    }
    state.counters["pages"] = benchmark::Counter(pages, benchmark::Counter::kAvgIterations);
    state.counters["pages/s"] = benchmark::Counter(pages, benchmark::Counter::kIsRate);
    state.counters["records/s"] = benchmark::Counter(
        double(state.range(0)) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PrepareReportFromExpressions)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// Reading a JSON records file through the stream a report reads it with, to its end.
void BM_ReadJsonRecordsStream(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    QTemporaryDir dir;
    const QString path =
        WriteJsonRecords(GeneratedRecords(count), dir.filePath(QStringLiteral("records.json")));
    if (path.isEmpty()) {
        state.SkipWithError("the records file could not be written");
        return;
    }
    for (auto _ : state) {
        TRLJsonRecordStream stream(path);
        while (stream.canFetchMore())
            stream.fetchMore();
        benchmark::DoNotOptimize(stream.rowCount());
    }
    state.counters["records/s"] =
        benchmark::Counter(double(count) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadJsonRecordsStream)->Arg(10000)->Unit(benchmark::kMillisecond);

// Drawing one of the prepared pages at 100%: preparing a page should cost no more than this.
void BM_DrawPreparedPageAt100Percent(benchmark::State& state) {
    GeneratedRecords records(100);
    auto report = MakeReport(records);
    if (!report->Prepare()) {
        state.SkipWithError("preparation failed");
        return;
    }
    const auto page = report->Storage().Pages(1);
    QImage image(page->Width(), page->Height(), QImage::Format_RGB32);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        page->PaintTo(painter, QRect(0, 0, page->Width(), page->Height()));
    }
    state.counters["objects"] = page->ObjectCount();
}
BENCHMARK(BM_DrawPreparedPageAt100Percent)->Unit(benchmark::kMillisecond);

// Resident memory growth from the start of a preparation to its 1,000th and 10,000th record.
void BM_ResidentMemoryWhilePreparing(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    GeneratedRecords records(count);
    for (auto _ : state) {
        auto report = MakeReport(records);
        auto* detail = report->FindControl(QStringLiteral("Detalle"));
        const double before = ResidentMegabytes();
        int printed = 0;
        QObject::connect(detail, &TRLCustomControl::AfterPrint, [&](TRLCustomControl&) {
            ++printed;
            if (printed == 1000)
                state.counters["rss_growth_MB_at_1k"] = ResidentMegabytes() - before;
            if (printed == 10000)
                state.counters["rss_growth_MB_at_10k"] = ResidentMegabytes() - before;
        });
        if (!report->Prepare())
            state.SkipWithError("preparation failed");
        state.counters["pages"] = report->Storage().PageCount();
        state.counters["details"] = printed;
    }
}
BENCHMARK(BM_ResidentMemoryWhilePreparing)
    ->Arg(10000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    InitEngineSupport();
    RegisterTextAndGraphicClasses();
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    FinishEngineSupport();
    return 0;
}
