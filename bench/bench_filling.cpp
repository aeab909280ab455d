// From "Imprimir" to the last preview window on the screen, for a request that produces all
// three documents (private vehicle, tickets, per-diem days and registration). The program's own
// windows are made as the program makes them, the request form is filled and its real
// "Imprimir" button is clicked; the clock stops when the third preview window receives its
// show event. The operator's message box that follows is answered at once, and the preview
// windows are closed between iterations, outside the measured time.
//
// Under the offscreen platform with a 1920 x 1080 screen, where the previews open maximised.
#include "BenchSupport.h"

#include <kelmora/app/DocumentForms.h>
#include <kelmora/app/FillingRun.h>
#include <kelmora/app/KelmoraApp.h>
#include <kelmora/documents/FFRSolicitud.h>

#include <kelmora/app/SampleRequest.h>
#include <kelmora/dialogs/RLOutputFlows.h>
#include <kelmora/preview/RLPreviewForm.h>
#include <kelmora/preview/RLReportPreview.h>
#include <kelmora/report/RLReport.h>

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <vector>

using namespace Kelmora;

namespace {

using Clock = std::chrono::steady_clock;

template <typename T> T* Child(const QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

// Notes when each preview window and the operator's message box are shown, and answers the
// message box as soon as its modal loop runs.
class TRunWatch : public QObject {
public:
    std::vector<QPointer<TRLPreviewForm>> Previews;
    Clock::time_point LastPreviewShown;
    Clock::time_point MessageShown;
    Clock::time_point LastPreviewPainted;
    bool MessageSeen = false;
    bool LastPreviewPaintedSeen = false;

    void Reset() {
        Previews.clear();
        MessageSeen = false;
        LastPreviewPaintedSeen = false;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && Previews.size() == 3 && !Previews.back().isNull()) {
            // The last paint of the last window's widgets (its page view among them) before the
            // operator's message is answered.
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget != nullptr && widget->window() == Previews.back().data()) {
                LastPreviewPainted = Clock::now();
                LastPreviewPaintedSeen = true;
            }
        } else if (event->type() == QEvent::Show) {
            if (auto* preview = qobject_cast<TRLPreviewForm*>(watched)) {
                Previews.emplace_back(preview);
                if (Previews.size() == 3)
                    LastPreviewShown = Clock::now();
            } else if (auto* box = qobject_cast<QMessageBox*>(watched)) {
                MessageShown = Clock::now();
                MessageSeen = true;
                QMetaObject::invokeMethod(
                    box, [box] { box->button(QMessageBox::Ok)->click(); }, Qt::QueuedConnection);
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

void CloseWindows(std::vector<QPointer<TRLPreviewForm>>& previews) {
    for (const QPointer<TRLPreviewForm>& preview : previews)
        if (!preview.isNull())
            preview->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    previews.clear();
}

void BM_ImprimirToLastPreviewShown(benchmark::State& state) {
    TKelmoraWindows windows = CreateKelmoraWindows();
    TFKelmora& form = *windows.FKelmora;
    form.show();
    QCoreApplication::processEvents();
    FillSampleRequest(form, QDate(2017, 5, 15));
    QPushButton* imprimir = Child<QPushButton>(form, "ImprLisObs");

    TRunWatch watch;
    qApp->installEventFilter(&watch);
    double toMessageSeconds = 0;
    double toPaintedSeconds = 0;
    int painted = 0;
    int previewWidth = 0;
    static double firstSeconds = -1;
    bool complete = true;
    for (auto _ : state) {
        watch.Reset();
        const Clock::time_point start = Clock::now();
        imprimir->click();
        if (watch.Previews.size() != 3 || !watch.MessageSeen) {
            complete = false;
            state.SkipWithError("the run did not open three previews and its message");
            break;
        }
        const double seconds =
            std::chrono::duration<double>(watch.LastPreviewShown - start).count();
        state.SetIterationTime(seconds);
        // The operator's first press in a process pays for fonts, pictures and the preview
        // window's first creation: kept from the very first iteration, reported with every run.
        if (firstSeconds < 0)
            firstSeconds = seconds;
        toMessageSeconds += std::chrono::duration<double>(watch.MessageShown - start).count();
        if (watch.LastPreviewPaintedSeen) {
            toPaintedSeconds +=
                std::chrono::duration<double>(watch.LastPreviewPainted - start).count();
            ++painted;
        }
        previewWidth = watch.Previews.back()->width();
        CloseWindows(watch.Previews);
    }
    qApp->removeEventFilter(&watch);
    CloseWindows(watch.Previews);
    form.close();
    if (complete && state.iterations() > 0) {
        const auto iterations = static_cast<double>(state.iterations());
        state.counters["toMessageMs"] = 1000 * toMessageSeconds / iterations;
        state.counters["toPaintedMs"] = painted > 0 ? 1000 * toPaintedSeconds / painted : 0;
        state.counters["painted%"] = 100.0 * painted / iterations;
        state.counters["previewWidth"] = previewWidth;
        state.counters["firstMs"] = 1000 * firstSeconds;
    }
}
BENCHMARK(BM_ImprimirToLastPreviewShown)->UseManualTime()->Unit(benchmark::kMillisecond);

// The documents' share of it: the same texts written and the three reports prepared, without
// any window.
void BM_FillAndPrepareThreeDocuments(benchmark::State& state) {
    TDocumentForms forms;
    TDatosSolicitud datos;
    {
        TKelmoraWindows windows = CreateKelmoraWindows({});
        FillSampleRequest(*windows.FKelmora, QDate(2017, 5, 15));
        datos = windows.FKelmora->DatosSolicitud();
    }
    int documents = 0;
    for (auto _ : state) {
        documents = 0;
        FillDocuments(datos, forms, [&documents](TDocumentKind, TRLReport& report) {
            report.Clear();
            report.Prepare();
            ++documents;
        });
    }
    if (documents != 3)
        state.SkipWithError("the request did not produce three documents");
}
BENCHMARK(BM_FillAndPrepareThreeDocuments)->Unit(benchmark::kMillisecond);

} // namespace

// The offscreen platform says on every preview window that it cannot raise it or pass on size
// hints; nothing to see in a benchmark's output.
void QuietPlatformWarnings(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    std::fputs(qPrintable(qFormatLogMessage(type, context, message) + '\n'), stderr);
}

int main(int argc, char** argv) {
    qInstallMessageHandler(QuietPlatformWarnings);
    // A full-HD screen, as on the operator's desktop: the previews open maximised on it.
    QTemporaryDir scratch;
    const QString screens = scratch.filePath(QStringLiteral("screens.json"));
    {
        QFile file(screens);
        if (file.open(QIODevice::WriteOnly))
            file.write(R"({"screens": [{"name": "bench", "x": 0, "y": 0, "width": 1920,
                          "height": 1080, "logicalDpi": 96, "dpr": 1}]})");
    }
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens).toLocal8Bit());
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    InitEngineSupport();
    RegisterPreviewHandler();
    RegisterOutputHooks();
    UseDocumentDatesLocale();
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    FinishEngineSupport();
    return 0;
}
