#include "RLPdfFilter.h"

#include "RLGraphicStorage.h"
#include "RLGraphicSurface.h"
#include "RLMetaTypes.h"

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <exception>
#include <utility>

namespace {

// 1440 pixels per inch is 20 device pixels per point, so every whole and half point size of the
// report's fonts lands on a whole pixel height and the text keeps its exact size.
constexpr int kPixelsPerInch = 1440;

} // namespace

TRLPDFFilter::TRLPDFFilter(QObject* owner) : TRLCustomSaveFilter(owner) {
    setObjectName(QStringLiteral("RLPDFFilter"));
    SetDisplayName(QStringLiteral("PDF"));
    SetDefaultExt(QStringLiteral(".pdf"));
}

TRLPDFFilter::~TRLPDFFilter() {
    Discard();
}

QPageLayout TRLPDFFilter::PageLayoutOf(const TRLGraphicSurface& page) {
    double width = page.PaperWidth();
    double height = page.PaperHeight();
    bool landscape = page.Orientation() == MetaOrientationLandscape;
    if (width <= 0 || height <= 0) {
        // Without paper the drawing itself is the paper, so its shape decides the orientation.
        width = page.Width() * 25.4 / 96;
        height = page.Height() * 25.4 / 96;
        landscape = width > height;
        if (landscape)
            std::swap(width, height);
    }
    // A page with neither paper nor size has nothing to measure; it still needs a sheet.
    const QPageSize size = width > 0 && height > 0
                               ? QPageSize(QSizeF(width, height), QPageSize::Millimeter, QString(),
                                           QPageSize::ExactMatch)
                               : QPageSize(QPageSize::A4);
    return QPageLayout(size, landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0));
}

void TRLPDFFilter::Fail(const QString& reason) {
    Discard();
    throw TRLException(QStringLiteral("cannot write %1: %2").arg(target_, reason));
}

void TRLPDFFilter::Discard() noexcept {
    // A painter still open writes the document's end into the temporary file, which is then
    // thrown away with it.
    painter_.reset();
    writer_.reset();
    if (file_) {
        file_->cancelWriting();
        file_.reset();
    }
}

void TRLPDFFilter::BeginDoc() {
    Discard();
    pagesWritten_ = 0;
    target_ = FileName();
    if (target_.isEmpty())
        throw TRLException(QStringLiteral("cannot write a PDF file: no file name was given"));
    file_ = std::make_unique<QSaveFile>(target_);
    if (!file_->open(QIODevice::WriteOnly))
        Fail(file_->errorString());
    writer_ = std::make_unique<QPdfWriter>(file_.get());
    writer_->setResolution(kPixelsPerInch);
    writer_->setCreator(QStringLiteral("Kelmora"));
    if (const TRLGraphicStorage* pages = Pages())
        writer_->setTitle(pages->Title());
    // The painter starts with the first page, once that page's paper is known.
    painter_ = std::make_unique<QPainter>();
}

void TRLPDFFilter::NewPage() {
    // The next page opens in DrawPage, where its own paper is known.
}

void TRLPDFFilter::DrawPage(TRLGraphicSurface& page) {
    if (!painter_)
        return;
    writer_->setPageLayout(PageLayoutOf(page));
    if (!painter_->isActive()) {
        if (!painter_->begin(writer_.get()))
            Fail(QStringLiteral("the PDF document could not be started"));
    } else if (!writer_->newPage()) {
        Fail(file_->errorString());
    }
    // The whole sheet is the page: the report's own margins are part of the drawing.
    page.PaintTo(*painter_, QRect(0, 0, writer_->width(), writer_->height()));
    ++pagesWritten_;
}

void TRLPDFFilter::EndDoc() {
    if (!file_)
        return;
    // An error unwinding through the run, or a cancel, leaves pages that are no document.
    if (std::uncaught_exceptions() > 0 || Canceled()) {
        Discard();
        return;
    }
    if (pagesWritten_ == 0)
        Fail(QStringLiteral("there are no pages to write"));
    const bool ended = painter_->end();
    painter_.reset();
    writer_.reset();
    if (!ended)
        Fail(QStringLiteral("the PDF document could not be finished"));
    // The last buffered bytes are written here, so that a full disk is seen: commit would write
    // them too, but report success over a file cut short.
    if (!file_->flush() || !file_->commit()) {
        const QString reason = file_->errorString();
        file_.reset();
        Fail(reason);
    }
    file_.reset();
}

TRLPDFFilter& RegisterPdfFilter() {
    // Made after the list of active filters, so it leaves that list before the list goes.
    static TRLPDFFilter instance;
    return instance;
}
