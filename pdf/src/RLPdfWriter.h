// A PDF writer of our own. A page is a paint device of its own: QPainter draws onto it, on any
// thread, and when the painter ends the page is a compressed content stream; the document then
// takes its pages in order and writes each at once. Only the pages' places and the document's
// fonts stay in memory, so a document of any length is written in flat memory, and pages can be
// drawn on as many threads as there are cores.
//
// Texts stay texts: each font is embedded once per document, cut down to the glyphs the document
// used, with a map from its glyphs back to their characters so that readers can search and copy
// them. A picture shown on many pages is embedded once. Coordinates are device pixels at the
// writer's resolution (1440 per inch by default, a twentieth of a point), so that report pixels
// land on whole numbers and the content streams stay short.
#pragma once

#include <QByteArray>
#include <QPaintDevice>
#include <QSizeF>
#include <QString>

#include <memory>

class QDateTime;
class QIODevice;

namespace Kelmora {

class TRLPdfDocument;
class TRLPdfPageEngine;
class TRLPdfPageSink;

// A text string of a document's information (title, author, ...): plain when it is printable
// ASCII, otherwise UTF-16 with its byte-order mark, as PDF readers expect.
QByteArray PdfTextString(const QString& text);

class TRLPdfWriter {
public:
    // Writes to out, which must stay open until Finish.
    explicit TRLPdfWriter(QIODevice& out, int pixelsPerInch = 1440);
    ~TRLPdfWriter();
    TRLPdfWriter(const TRLPdfWriter&) = delete;
    TRLPdfWriter& operator=(const TRLPdfWriter&) = delete;

    int PixelsPerInch() const;

    // The document's information; set before Finish.
    void SetTitle(const QString& title);
    void SetAuthor(const QString& author);
    void SetCreator(const QString& creator);
    // XMP metadata for the catalogue, written as it is.
    void SetXmpMetadata(const QByteArray& xmp);
    // The creation date written into the information (the current time when not set).
    void SetCreationDate(const QDateTime& date);

    // Pages added so far.
    int PageCount() const;

    // Ends the document: the fonts, the page tree, the catalogue and the cross-reference table.
    // False, with ErrorString(), when anything could not be written (then or earlier).
    bool Finish();
    QString ErrorString() const;

    // What the pages of this writer paint for and are added to (RLPdfWriter_p.h).
    TRLPdfPageSink& PageSink();

private:
    std::unique_ptr<TRLPdfDocument> document_;
};

// Which part of a page a painted page is. Most pages are whole. A page whose end depends on the
// run (its "page N of M") is written in two parts: its early part at once, in a state of its own
// so that a later part can follow; its late part when the run has ended, as the page's second
// content stream. Late parts are added in the order of their pages, after those pages.
enum class TRLPdfPagePart : uint8_t { Whole, Early, Late };

// One page of a writer's document, of the given paper in points. Paint it with one QPainter on
// one thread (several pages may be painted at once), then hand it to AddPage.
class TRLPdfPage : public QPaintDevice {
public:
    TRLPdfPage(TRLPdfWriter& writer, const QSizeF& points,
               TRLPdfPagePart part = TRLPdfPagePart::Whole);
    ~TRLPdfPage() override;
    TRLPdfPage(const TRLPdfPage&) = delete;
    TRLPdfPage& operator=(const TRLPdfPage&) = delete;

    QSizeF Size() const { return points_; }

    // Writes the painted page into the document after the pages added before it (a late part:
    // as the second part of the oldest early page still without one); from the thread that owns
    // the writer. False when the document could not be written.
    bool AddTo(TRLPdfWriter& writer);

    // What the painting could not put on the page (a text in a font too large for the toolkit
    // to make), naming it; empty when everything was drawn. Such a page is no true copy.
    QString Refusal() const;

    QPaintEngine* paintEngine() const override;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    QSizeF points_;
    int pixelsPerInch_;
    std::unique_ptr<TRLPdfPageEngine> engine_;
};

} // namespace Kelmora
