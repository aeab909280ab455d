#include <kelmora/output/RLSpoolFilter.h>

#include <kelmora/output/RLPrinters.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/pagestore/RLMetaTypes.h>
#include <kelmora/support/RLUtils.h>

namespace Kelmora {

namespace {

struct PaperSettings {
    int Orientation = MetaOrientationPortrait;
    double Width = 0; // millimetres, portrait sense
    double Height = 0;
};

// A page carries its own paper; one recorded without any is printed at its own size at 96 pixels
// per inch, or the drawing would be scaled to nothing.
PaperSettings PaperOf(int orientation, double width, double height, int32_t pixelWidth,
                      int32_t pixelHeight) {
    PaperSettings paper{orientation, width, height};
    if ((width <= 0 || height <= 0) && pixelWidth > 0 && pixelHeight > 0) {
        double w = pixelWidth * 25.4 / 96;
        double h = pixelHeight * 25.4 / 96;
        if (orientation == MetaOrientationLandscape)
            std::swap(w, h);
        paper.Width = w;
        paper.Height = h;
    }
    return paper;
}

} // namespace

TRLSpoolFilter::TRLSpoolFilter(QObject* owner) : TRLCustomPrintFilter(owner) {}

TRLRect TRLSpoolFilter::PrintRectFor(const TRLPrinterMetrics& metrics, bool landscape,
                                     double paperWidth, double paperHeight) {
    TRLRect rect;
    if (!landscape) {
        rect.Right = RoundHalfEven(metrics.PPIX * paperWidth / 25.4);
        rect.Bottom = RoundHalfEven(metrics.PPIY * paperHeight / 25.4);
        return PlaceRect(rect, -metrics.MarginLeft, -metrics.MarginTop);
    }
    rect.Right = RoundHalfEven(metrics.PPIX * paperHeight / 25.4);
    rect.Bottom = RoundHalfEven(metrics.PPIY * paperWidth / 25.4);
    return PlaceRect(rect, -metrics.MarginBottom, -metrics.MarginLeft);
}

void TRLSpoolFilter::SetPage(int orientation, double paperWidth, double paperHeight) {
    if (docStarted_ && orientation == orientation_ && paperWidth == paperWidth_ &&
        paperHeight == paperHeight_)
        return;
    orientation_ = orientation;
    paperWidth_ = paperWidth;
    paperHeight_ = paperHeight;
    TRLPrinterWrapper& printer = RLPrinter();
    if (docStarted_) {
        docStarted_ = false;
        printer.EndDoc();
    }
    // Every document end gave the printer its default settings back, so the paper goes in again.
    const bool landscape = orientation == MetaOrientationLandscape;
    printer.SetPaperSize(landscape, paperWidth, paperHeight);
    TRLPrinterMetrics metrics;
    printer.LoadMetrics(metrics);
    printRect_ = PrintRectFor(metrics, landscape, paperWidth, paperHeight);
    // Ending a document also reset the copy count; every document of the run gets the run's.
    printer.SetCopies(jobCopies_);
    const TRLGraphicStorage* pages = Pages();
    printer.BeginDoc(pages ? pages->Title() : QString());
    docStarted_ = true;
    ++documentCount_;
}

void TRLSpoolFilter::BeginDoc() {
    docStarted_ = false;
    documentCount_ = 0;
    newPagePending_ = false;
    // When the filter draws the copies itself the printer must not multiply them again.
    jobCopies_ = RepeatForCopies() ? 1 : RLPrinter().Copies();
    TRLGraphicStorage* pages = Pages();
    if (!pages) {
        SetPage(MetaOrientationPortrait, 0, 0);
        return;
    }
    PaperSettings paper{pages->Orientation(), pages->PaperWidth(), pages->PaperHeight()};
    if (paper.Width <= 0 || paper.Height <= 0) {
        if (const auto first = pages->Pages(std::max(0, FirstPage() - 1)))
            paper = PaperOf(first->Orientation(), first->PaperWidth(), first->PaperHeight(),
                            first->Width(), first->Height());
    }
    SetPage(paper.Orientation, paper.Width, paper.Height);
}

void TRLSpoolFilter::EndDoc() {
    if (!docStarted_)
        return;
    docStarted_ = false;
    RLPrinter().EndDoc();
}

void TRLSpoolFilter::NewPage() {
    // The next page may need other paper and so a document of its own; the printer's new page
    // waits for that page, or the old document would end with a blank sheet.
    newPagePending_ = true;
}

void TRLSpoolFilter::DrawPage(TRLGraphicSurface& page) {
    const PaperSettings paper = PaperOf(page.Orientation(), page.PaperWidth(), page.PaperHeight(),
                                        page.Width(), page.Height());
    const int documents = documentCount_;
    SetPage(paper.Orientation, paper.Width, paper.Height);
    if (newPagePending_ && documents == documentCount_)
        RLPrinter().NewPage();
    newPagePending_ = false;

    if (TRLCanvas* canvas = RLPrinter().Canvas())
        page.PaintTo(*canvas, printRect_, {.KeepRectsVisible = true});
}

TRLSpoolFilter& SpoolFilter() {
    static TRLSpoolFilter instance;
    return instance;
}

} // namespace Kelmora
