// Paging through a long document in the preview window: the next page is fetched from the
// store's temporary file (it is never in the cache when paging forwards through 10,000 pages)
// and painted at fit width in a full-HD window through the widgets' own paint path.
#include "BenchSupport.h"
#include "RLSamplePages.h"
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/preview/RLPreview.h>
#include <kelmora/preview/RLPreviewForm.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

using namespace Kelmora;

namespace {

constexpr int kPageCount = 10000;

TRLGraphicStorage& LongDocument() {
    static TRLGraphicStorage* const store = [] {
        auto* s = new TRLGraphicStorage(qApp);
        FillSampleStorage(*s, kPageCount);
        return s;
    }();
    return *store;
}

// One preview window of 1920 x 1080 at fit width over the long document.
class FullHdPreview {
public:
    FullHdPreview() : form(new TRLPreviewForm()) {
        form->resize(1920, 1080);
        form->show();
        QCoreApplication::processEvents();
        View().SetPages(&LongDocument());
        View().ZoomFullWidth();
    }
    ~FullHdPreview() { delete form; }
    TRLPreview& View() { return *form->Views().front(); }
    TRLPreviewForm* form;
};

// What the user waits for after Page Down: the page is fetched, laid out and the visible page
// box is painted (into an image of the viewport's size, as the screen would get it).
void BM_NextPageAtFitWidth(benchmark::State& state) {
    FullHdPreview preview;
    TRLPreview& view = preview.View();
    QImage screen(view.viewport()->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        if (view.PageIndex() + 1 >= kPageCount) {
            state.PauseTiming();
            view.FirstPage();
            state.ResumeTiming();
        }
        view.NextPage();
        screen.fill(Qt::gray);
        view.viewport()->render(&screen);
    }
    state.counters["zoom"] = view.Zoom();
    state.counters["cached"] = LongDocument().CachedPageCount();
}
BENCHMARK(BM_NextPageAtFitWidth)->Unit(benchmark::kMillisecond);

// The same with the whole window painted: toolbar, page boxes and all.
void BM_NextPageWholeWindow(benchmark::State& state) {
    FullHdPreview preview;
    TRLPreview& view = preview.View();
    QImage screen(preview.form->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        if (view.PageIndex() + 1 >= kPageCount) {
            state.PauseTiming();
            view.FirstPage();
            state.ResumeTiming();
        }
        view.NextPage();
        preview.form->render(&screen);
    }
}
BENCHMARK(BM_NextPageWholeWindow)->Unit(benchmark::kMillisecond);

// The fetch alone, for comparison: a page that has left the cache.
void BM_FetchPageFromTheTemporaryFile(benchmark::State& state) {
    TRLGraphicStorage& store = LongDocument();
    int index = 0;
    for (auto _ : state) {
        index = (index + 1) % kPageCount;
        benchmark::DoNotOptimize(store.Pages(index));
    }
}
BENCHMARK(BM_FetchPageFromTheTemporaryFile)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitEngineSupport();
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    FinishEngineSupport();
    return 0;
}
