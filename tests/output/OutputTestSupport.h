// Helpers of the output tests; they bring the output layer's headers and its windows' widgets.
#pragma once

#include "../e2e/ProgramRunner.h"
#include "RLFeedBack.h"
#include "TestSupport.h"
#include <kelmora/dialogs/RLOutputFlows.h>
#include <kelmora/dialogs/RLPrintDialog.h>
#include <kelmora/dialogs/RLSaveDialog.h>
#include <kelmora/output/RLFilters.h>
#include <kelmora/output/RLPrinters.h>
#include <kelmora/output/RLSpoolFilter.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/pagestore/RLMetaTypes.h>
#include <kelmora/pdf/RLPdfFilter.h>
#include <kelmora/report/RLReportHooks.h>
#include <kelmora/support/RLMessages.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <functional>
#include <memory>
#include <ostream>

using namespace Kelmora;

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace outputtest {

struct PagePaper {
    int Orientation = MetaOrientationPortrait;
    double PaperWidth = 210; // portrait sense
    double PaperHeight = 297;
};

// An open page of the given paper, its size in report pixels following the paper at 96 per inch.
inline std::shared_ptr<TRLGraphicSurface> OpenPage(const PagePaper& paper = {}) {
    auto page = std::make_shared<TRLGraphicSurface>();
    const bool landscape = paper.Orientation == MetaOrientationLandscape;
    page->SetWidth(RoundHalfEven((landscape ? paper.PaperHeight : paper.PaperWidth) * 96 / 25.4));
    page->SetHeight(RoundHalfEven((landscape ? paper.PaperWidth : paper.PaperHeight) * 96 / 25.4));
    page->SetOrientation(paper.Orientation);
    page->SetPaperWidth(paper.PaperWidth);
    page->SetPaperHeight(paper.PaperHeight);
    page->Open();
    return page;
}

// A large "PAGE n", a frame and a block placed by n, for text extractors and pictures alike.
inline std::shared_ptr<TRLGraphicSurface> MakePage(int number, const PagePaper& paper = {}) {
    auto page = OpenPage(paper);
    page->SetFont({.Name = QStringLiteral("Liberation Sans"), .Size = 28, .Style = fsBold});
    page->SetBrush({Qt::white, TRLBrushStyle::Clear});
    page->TextRectEx({96, 96, 600, 160}, 96, 96, QStringLiteral("PAGE %1").arg(number),
                     MetaTextAlignmentLeft, MetaTextLayoutTop, MetaTextFlagKeepWhole);
    page->SetPen({.Width = 2});
    page->Rectangle(48, 48, page->Width() - 48, page->Height() - 48);
    page->SetBrush({Qt::black, TRLBrushStyle::Solid});
    page->FillRect({100, 300 + 40 * number, 300, 340 + 40 * number});
    page->Close();
    return page;
}

// The store's document settings come from the first page's paper.
inline void FillStore(TRLGraphicStorage& store, int count, const QString& title = QString(),
                      const std::function<PagePaper(int)>& paperOf = {}) {
    const PagePaper first = paperOf ? paperOf(1) : PagePaper{};
    store.SetOrientation(first.Orientation);
    store.SetPaperWidth(first.PaperWidth);
    store.SetPaperHeight(first.PaperHeight);
    store.SetTitle(title);
    for (int n = 1; n <= count; ++n)
        store.Add(MakePage(n, paperOf ? paperOf(n) : PagePaper{}));
}

// A filter that writes down "begin", "page N" (N the page's store index + 1), "new" and "end";
// Hook runs inside DrawPage. Without a progress window unless asked for one.
template <class Base> class Recording : public Base {
public:
    Recording() { this->SetShowProgress(false); }
    QStringList Calls;
    std::function<void(TRLGraphicSurface&)> Hook;

protected:
    void BeginDoc() override { Calls << QStringLiteral("begin"); }
    void EndDoc() override { Calls << QStringLiteral("end"); }
    void NewPage() override { Calls << QStringLiteral("new"); }
    void DrawPage(TRLGraphicSurface& page) override {
        Calls << QStringLiteral("page %1").arg(page.PageIndex() + 1);
        if (Hook)
            Hook(page);
    }
};
using RecordingFilter = Recording<TRLCustomPrintFilter>;
using RecordingSaveFilter = Recording<TRLCustomSaveFilter>;

using testsupport::ErrorOf;

// Metrics as one line: resolution, sheet, margins and printable size, in device pixels.
inline QString MetricsText(const TRLPrinterMetrics& m) {
    return QString::asprintf("%d %d %d %d %d %d %d %d %d %d", m.PPIX, m.PPIY, m.PhysicalWidth,
                             m.PhysicalHeight, m.MarginLeft, m.MarginTop, m.MarginRight,
                             m.MarginBottom, ClientWidthOf(m), ClientHeightOf(m));
}

inline QStringList Items(const QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

// Filters show their progress through the factory that the output hooks register; while this
// lives, the progress window's is registered, as in a program with windows.
class ProgressWindows {
public:
    ProgressWindows() : previous_(ReportProgressFactory()) {
        SetReportProgressFactory(&MakeReportProgress);
    }
    ~ProgressWindows() { SetReportProgressFactory(previous_); }
    ProgressWindows(const ProgressWindows&) = delete;
    ProgressWindows& operator=(const ProgressWindows&) = delete;

private:
    TRLProgressFactory previous_;
};

inline TfrmRLFeedBack* ProgressWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<TfrmRLFeedBack*>(w); window && window->isVisible())
            return window;
    return nullptr;
}

// True when done() before the time is up.
inline bool WaitFor(const std::function<bool()>& done, int milliseconds = 30000) {
    QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// Hears a filter's RunFinished on the thread that makes it: "not finished" until a run has.
struct FinishListener {
    explicit FinishListener(TRLCustomFilter& filter) {
        QObject::connect(&filter, &TRLCustomFilter::RunFinished, &Context,
                         [this](const QString& error) { Error = error; });
    }
    bool Finished() const { return Error != QLatin1String("not finished"); }
    void Reset() { Error = QStringLiteral("not finished"); }
    bool Wait() {
        return WaitFor([this] { return Finished(); });
    }
    QObject Context;
    QString Error = QStringLiteral("not finished");
};

// Of the private print server, empty without one.
inline QString TestPrinter() {
    return qEnvironmentVariable("KELMORA_TEST_PRINTER");
}
inline QString CaptureDir() {
    return qEnvironmentVariable("KELMORA_CAPTURE_DIR");
}

// A page drawn by the engine itself onto white, at its own size.
inline QImage DrawnDirectly(const TRLGraphicSurface& page) {
    QImage image(page.Width(), page.Height(), QImage::Format_Grayscale8);
    image.fill(Qt::white);
    QPainter painter(&image);
    page.PaintTo(painter, image.rect());
    return image;
}

inline bool HasPoppler() {
    for (const char* tool : {"pdfinfo", "pdftotext", "pdfimages", "pdftoppm", "pdffonts"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            return false;
    return true;
}

// What poppler reads: page sizes in whole points, the text (of all pages for 0), a grey picture
// of a page, and the rows of a table such as pdffonts prints, split into cells.
inline QList<QSize> PdfPageSizes(const QString& file) {
    const QString info = RunProgram("pdfinfo", {"-f", "1", "-l", "9999", file}).Out;
    QList<QSize> sizes;
    static const QRegularExpression size(R"(Page\s+\d+ size:\s+([\d.]+) x ([\d.]+) pts)");
    for (auto it = size.globalMatch(info); it.hasNext();) {
        const auto m = it.next();
        sizes.append(QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()).toSize());
    }
    return sizes;
}

inline QString PdfText(const QString& file, int page = 0) {
    const QString n = QString::number(page);
    return RunProgram("pdftotext", (page > 0 ? QStringList{"-f", n, "-l", n} : QStringList())
                                       << file << "-")
        .Out;
}

inline QImage RasterizePdf(const QString& pdf, int page, int dpi) {
    QTemporaryDir dir;
    const QString prefix = dir.filePath("page"), n = QString::number(page);
    RunProgram("pdftoppm",
               {"-r", QString::number(dpi), "-f", n, "-l", n, "-singlefile", "-png", pdf, prefix});
    return QImage(prefix + ".png").convertToFormat(QImage::Format_Grayscale8);
}

inline QList<QStringList> PdfTable(const QString& tool, const QStringList& arguments) {
    QList<QStringList> rows;
    for (const QString& row : RunProgram(tool, arguments).Out.trimmed().split(u'\n').mid(2))
        rows << row.simplified().split(u' ');
    return rows;
}

// The smallest rectangle holding the pixels darker than dark within area; right() is -1 without.
inline QRect InkBox(const QImage& image, const QRect& area, int dark = 128) {
    QRect box;
    for (int y = area.top(); y <= area.bottom() && y < image.height(); ++y)
        for (int x = area.left(); x <= area.right() && x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < dark)
                box |= QRect(x, y, 1, 1);
    return box;
}

// "PAGE 2 ... PAGE 3" gives 2, 3.
inline QList<int> NumbersAfter(const QString& label, const QString& text) {
    QList<int> numbers;
    const QRegularExpression number(label + " (\\d+)");
    for (auto it = number.globalMatch(text); it.hasNext();)
        numbers << it.next().captured(1).toInt();
    return numbers;
}

inline bool WriteFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace outputtest
