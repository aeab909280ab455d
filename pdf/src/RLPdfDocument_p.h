// The document a PDF writer writes: its objects and their places in the output, its fonts and
// pictures, and its pages, written as they come. Not part of the output library's interface.
#pragma once

#include "RLPdfWriter_p.h"

#include <QDateTime>
#include <QImage>
#include <QMultiHash>
#include <QSet>

#include <deque>
#include <mutex>

class QIODevice;

namespace Kelmora {

// What the document keeps: the output and every object's place in it, the fonts, the pictures
// and the pages written so far. Pages being painted reach it through a lock.
class TRLPdfDocument final : public TRLPdfPageSink {
public:
    TRLPdfDocument(QIODevice& out, int pixelsPerInch);

    int PixelsPerInch() const override { return pixelsPerInch_; }
    const TRLPdfFont* FontOf(const QRawFont& raw, int& index) override;
    QByteArray ImageOf(const QImage& image, int& index) override;
    bool AddPage(const TRLPdfPainted& page) override;
    void Fail(const QString& reason) override { Error = reason; }

    bool Finish();

    QString Title;
    QString Author;
    QString Creator;
    QByteArray Xmp;
    QDateTime Created;
    QString Error;
    int Pages = 0;

private:
    // A picture, its samples compressed until a page that shows it is added.
    struct DocImage {
        QImage Image;
        QByteArray Resource;
        QByteArray Dictionary; // without its colour space and mask
        bool Gray = false;
        QByteArray Colors;
        QByteArray Alpha; // empty when every pixel is opaque
        int Object = 0;   // none until then
    };
    struct PendingStream {
        int Object;
        QByteArray Dictionary;
        QByteArray Packed;
    };

    int NewObject();
    // An object number for a picture, under the lock already held.
    int ReserveObject();
    void BeginObject(int object);
    void Write(QByteArrayView bytes);
    void WritePacked(int object, QByteArrayView dictionary, const QByteArray& packed);
    void WriteStream(int object, QByteArrayView dictionary, const QByteArray& data, int level);
    void Flush();
    // Marks the glyphs a page showed as used, under the lock.
    void NoteGlyphs(const std::vector<TRLPdfGlyphUse>& glyphs);

    // Writes the font and its fonts for each size; adds them to resources.
    void WriteFont(const TRLPdfFont& font, QByteArray& resources);
    // Writes one size of a font (its CID font and the Type 0 font over it) and adds it to
    // resources.
    void WriteSizedFont(const TRLPdfFont& font, int pixelSize, const std::vector<bool>& used,
                        const QByteArray& name, int descriptor, int toUnicode,
                        QByteArray& resources);
    // Writes the pictures a page shows that no page before it showed.
    void WriteNewPictures(const std::vector<int>& images);
    // The pictures' and the hatch patterns' entries of the resources; the patterns are written.
    void AppendPictures(QByteArray& resources);
    void AppendPatterns(QByteArray& resources);
    // The parts of Finish, in the order they are written.
    void WriteResources();
    void WritePageTree();
    void WriteInfo(const QDateTime& created);
    void WriteCatalog();
    void WriteCrossReference(const QDateTime& created);

    const int pixelsPerInch_;
    QIODevice& out_;
    QByteArray buffer_;
    qint64 written_ = 0;
    bool failed_ = false;
    int catalog_;
    int pageTree_;
    int resources_;
    int info_;
    // The page tree has two levels: the root's kids are nodes of up to kPagesPerNode pages each,
    // written as each fills, so that only the node being filled is kept.
    void WritePageNode();
    int pageNode_ = 0;
    std::vector<int> nodeKids_;
    std::vector<int> pageNodes_;
    // The content streams that early pages' late parts are still to fill, in page order.
    std::deque<int> lateContents_;

    std::mutex mutex_;
    // Guarded by mutex_.
    // Chunked rather than contiguous: a long document's bookkeeping grows by small steps instead
    // of being copied whole, twice its size at once.
    std::deque<qint64> offsets_{0};
    std::deque<TRLPdfFont> fonts_;
    QHash<QByteArray, int> fontIndex_;
    // Chunked: an entry stays where it is while others are added.
    std::deque<DocImage> images_;
    QMultiHash<size_t, int> imageIndex_;
    QHash<QByteArray, int> imageDigests_;
    QSet<QByteArray> imageResources_;
    QSet<QByteArray> fontResources_;
    std::set<std::pair<int, int>> hatches_;
    bool usesOpenType_ = false;
};

} // namespace Kelmora
