// The writer and its pages as the filters see them; the document, the pages' painting, the fonts
// and the pictures are in RLPdfDocument.cpp, RLPdfPage.cpp, RLPdfFonts.cpp and RLPdfPictures.cpp.
#include "RLPdfWriter.h"

#include "RLPdfDocument_p.h"
#include "RLPdfPage_p.h"

#include <climits>

namespace Kelmora {

namespace {

// A4 in points, the paper until a writer is told otherwise.
constexpr QSizeF kA4Points(595.2756, 841.8898);

} // namespace

TRLPdfWriter::TRLPdfWriter(QIODevice& out, int pixelsPerInch)
    : document_(std::make_unique<TRLPdfDocument>(out, pixelsPerInch > 0 ? pixelsPerInch : 1440)) {}

TRLPdfWriter::~TRLPdfWriter() = default;

int TRLPdfWriter::PixelsPerInch() const {
    return document_->PixelsPerInch();
}

TRLPdfPageSink& TRLPdfWriter::PageSink() {
    return *document_;
}

void TRLPdfWriter::SetTitle(const QString& title) {
    document_->Title = title;
}

void TRLPdfWriter::SetAuthor(const QString& author) {
    document_->Author = author;
}

void TRLPdfWriter::SetCreator(const QString& creator) {
    document_->Creator = creator;
}

void TRLPdfWriter::SetXmpMetadata(const QByteArray& xmp) {
    document_->Xmp = xmp;
}

void TRLPdfWriter::SetCreationDate(const QDateTime& date) {
    document_->Created = date;
}

int TRLPdfWriter::PageCount() const {
    return document_->Pages;
}

bool TRLPdfWriter::Finish() {
    return document_->Finish();
}

QString TRLPdfWriter::ErrorString() const {
    return document_->Error;
}

namespace {

// A whole number of a page's measures, stopping at the end of the integers a painter works in
// rather than wrapping around past it.
int SaturatedRound(double value) {
    return value >= INT_MAX ? INT_MAX : qRound(value);
}

} // namespace

TRLPdfPage::TRLPdfPage(TRLPdfWriter& writer, const QSizeF& points, TRLPdfPagePart part)
    : points_(points.width() > 0 && points.height() > 0 && std::isfinite(points.width()) &&
                      std::isfinite(points.height())
                  ? points
                  : kA4Points),
      pixelsPerInch_(writer.PixelsPerInch()),
      engine_(std::make_unique<TRLPdfPageEngine>(writer.PageSink(), points_, part)) {}

TRLPdfPage::~TRLPdfPage() = default;

bool TRLPdfPage::AddTo(TRLPdfWriter& writer) {
    Q_ASSERT(&engine_->Document() == &writer.PageSink());
    return engine_->AddToDocument();
}

QString TRLPdfPage::Refusal() const {
    return engine_->Refusal();
}

QPaintEngine* TRLPdfPage::paintEngine() const {
    return engine_.get();
}

int TRLPdfPage::metric(PaintDeviceMetric metric) const {
    switch (metric) {
    case PdmWidth:
        return SaturatedRound(points_.width() * pixelsPerInch_ / 72);
    case PdmHeight:
        return SaturatedRound(points_.height() * pixelsPerInch_ / 72);
    case PdmWidthMM:
        return SaturatedRound(points_.width() * 25.4 / 72);
    case PdmHeightMM:
        return SaturatedRound(points_.height() * 25.4 / 72);
    case PdmNumColors:
        return INT_MAX;
    case PdmDepth:
        return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return pixelsPerInch_;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return static_cast<int>(QPaintDevice::devicePixelRatioFScale());
    }
    return 0;
}

} // namespace Kelmora
