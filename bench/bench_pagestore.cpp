// The page store's costs: storing pages through the temporary file against a plain sequential
// write of the same bytes, loading a page that has left the cache, drawing a page, and the
// memory that a long document takes.
#include "BenchSupport.h"
#include "RLSamplePages.h"
#include <kelmora/pagestore/RLBinaryIO.h>
#include <kelmora/pagestore/RLGraphicStorage.h>

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryFile>

#include <vector>

using namespace Kelmora;

namespace {

constexpr int PagesPerRound = 200;

// Page records of sample pages, prepared once so that both writers get the same bytes.
const std::vector<std::shared_ptr<TRLGraphicSurface>>& SamplePages() {
    static const auto pages = [] {
        std::vector<std::shared_ptr<TRLGraphicSurface>> list;
        for (int i = 0; i < PagesPerRound; ++i)
            list.push_back(MakeSamplePage(i + 1));
        return list;
    }();
    return pages;
}

void BM_StorePages(benchmark::State& state) {
    std::vector<QByteArray> records;
    for (const auto& page : SamplePages())
        records.push_back(page->SaveToBytes());
    int64_t bytes = 0;
    for (auto _ : state) {
        // Fresh pages each round, as a report hands over new pages; made outside the timing.
        state.PauseTiming();
        std::vector<std::shared_ptr<TRLGraphicSurface>> pages;
        for (const QByteArray& record : records) {
            pages.push_back(std::make_shared<TRLGraphicSurface>());
            pages.back()->LoadFromBytes(record);
        }
        auto storage = std::make_unique<TRLGraphicStorage>();
        state.ResumeTiming();
        for (auto& page : pages)
            storage->Add(std::move(page));
        state.PauseTiming();
        bytes += QFileInfo(storage->TempFileName()).size();
        storage.reset();
        pages.clear();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(bytes);
    state.counters["pages/s"] =
        benchmark::Counter(double(state.iterations()) * PagesPerRound, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StorePages)->Unit(benchmark::kMillisecond);

// The same records written one after another with no store around them: the disk's limit.
void BM_RawSequentialWrite(benchmark::State& state) {
    std::vector<QByteArray> records;
    for (const auto& page : SamplePages())
        records.push_back(page->SaveToBytes());
    int64_t bytes = 0;
    for (auto _ : state) {
        QTemporaryFile file;
        file.open();
        for (const QByteArray& record : records) {
            const int32_t length = static_cast<int32_t>(record.size());
            file.write(reinterpret_cast<const char*>(&length), 4);
            file.write(record);
            bytes += 4 + record.size();
        }
        file.flush();
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_RawSequentialWrite)->Unit(benchmark::kMillisecond);

// Every fetch misses the cache: pages are visited with a stride larger than the cache.
void BM_LoadPageOutsideTheCache(benchmark::State& state) {
    TRLGraphicStorage storage;
    for (int i = 0; i < 50; ++i)
        storage.Add(MakeSamplePage(i + 1));
    int index = 0;
    for (auto _ : state) {
        index = (index + 7) % 50;
        benchmark::DoNotOptimize(storage.Pages(index));
    }
}
BENCHMARK(BM_LoadPageOutsideTheCache)->Unit(benchmark::kMicrosecond);

void DrawPage(benchmark::State& state, int pixelsPerInch) {
    const auto page = MakeSamplePage(1);
    const int width = RoundHalfEven(page->Width() * pixelsPerInch / 96.0);
    const int height = RoundHalfEven(page->Height() * pixelsPerInch / 96.0);
    QImage image(width, height, QImage::Format_RGB32);
    image.setDotsPerMeterX(RoundHalfEven(pixelsPerInch / 0.0254));
    image.setDotsPerMeterY(RoundHalfEven(pixelsPerInch / 0.0254));
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        page->PaintTo(painter, QRect(0, 0, width, height));
    }
    state.counters["objects"] = page->ObjectCount();
}

void BM_DrawPageAt100Percent(benchmark::State& state) {
    DrawPage(state, 96);
}
BENCHMARK(BM_DrawPageAt100Percent)->Unit(benchmark::kMillisecond);

void BM_DrawPageAtPrinterResolution(benchmark::State& state) {
    DrawPage(state, 600);
}
BENCHMARK(BM_DrawPageAtPrinterResolution)->Unit(benchmark::kMillisecond);

// Resident memory while a long document is stored: the cache bounds it, whatever the length.
void BM_ResidentMemoryWhileStoring(benchmark::State& state) {
    const int total = static_cast<int>(state.range(0));
    for (auto _ : state) {
        TRLGraphicStorage storage;
        const double before = ResidentMegabytes();
        for (int i = 1; i <= total; ++i) {
            storage.Add(MakeSamplePage(i, false));
            if (i == 1000)
                state.counters["rss_growth_MB_at_1k"] = ResidentMegabytes() - before;
            if (i == 10000)
                state.counters["rss_growth_MB_at_10k"] = ResidentMegabytes() - before;
        }
        state.counters["rss_growth_MB_at_end"] = ResidentMegabytes() - before;
        state.counters["temp_file_MB"] =
            double(QFileInfo(storage.TempFileName()).size()) / (1024.0 * 1024.0);
    }
}
BENCHMARK(BM_ResidentMemoryWhileStoring)->Arg(100000)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

namespace {

// The share of storing that is turning a page into its record.
void BM_SerializePageRecord(benchmark::State& state) {
    const auto& pages = SamplePages();
    TRLPageWriter writer;
    for (auto _ : state) {
        for (const auto& page : pages) {
            writer.Clear();
            page->SaveToWriter(writer);
            benchmark::DoNotOptimize(writer.Data());
        }
    }
    state.counters["pages/s"] =
        benchmark::Counter(double(state.iterations()) * PagesPerRound, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SerializePageRecord)->Unit(benchmark::kMillisecond);

} // namespace

KELMORA_BENCHMARK_MAIN()
