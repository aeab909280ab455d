// A PDF writer of our own, as a paint device: QPainter draws a page onto it, and when the painter
// ends, the page is one compressed content stream in the file. Only the pages' places and the
// document's fonts stay in memory, so a document of any length is written in flat memory.
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
class TRLPdfEngine;

class TRLPdfWriter : public QPaintDevice {
public:
    // Writes to out, which must stay open until Finish; nothing is written before the first page
    // ends.
    explicit TRLPdfWriter(QIODevice& out, int pixelsPerInch = 1440);
    ~TRLPdfWriter() override;
    TRLPdfWriter(const TRLPdfWriter&) = delete;
    TRLPdfWriter& operator=(const TRLPdfWriter&) = delete;

    // The document's information; set before Finish.
    void SetTitle(const QString& title);
    void SetAuthor(const QString& author);
    void SetCreator(const QString& creator);
    // XMP metadata for the catalogue, written as it is.
    void SetXmpMetadata(const QByteArray& xmp);
    // The creation date written into the information (the current time when not set).
    void SetCreationDate(const QDateTime& date);

    // The paper of the pages begun from now on, in points. A4 until set.
    void SetPageSize(const QSizeF& points);
    QSizeF PageSize() const;

    // Pages ended so far.
    int PageCount() const;

    // Ends the document: the fonts, the page tree, the catalogue and the cross-reference table.
    // False, with ErrorString(), when anything could not be written (then or earlier).
    bool Finish();
    QString ErrorString() const;

    QPaintEngine* paintEngine() const override;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    std::unique_ptr<TRLPdfEngine> engine_;
};
