#include <kelmora/pdf/RLPdfFilter.h>

#include "RLPdfWriter.h"
#include <kelmora/pagestore/RLBinaryIO.h>
#include <kelmora/pagestore/RLGraphicObject.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/pagestore/RLMetaTypes.h>
#include <kelmora/support/RLScratchFile.h>
#include <kelmora/support/RLThreads.h>

#include <QDateTime>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QScopeGuard>
#include <QThread>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>
#include <utility>

namespace Kelmora {

namespace {

// Pages are drawn at the report's own 96 pixels per inch, as the layout measured them and as the
// preview and rltool render draw them: font sizes rounded to whole pixels (13 points are 17
// pixels), each text as wide as the sum of its characters' whole-pixel advances, thin pens'
// dashes and the toolkit's hatches in those pixels. Drawn finer, every text would grow by the
// rounding the layout left out and run past its cell, and dashes and hatches would shrink.
constexpr int kPixelsPerInch = 96;

const QString kCreator = QStringLiteral("Kelmora");

// A date as XMP writes it, to the second, in the same zone and offset as the writer's own stamp
// in the document's information, so that the two agree as PDF/A requires.
QString XmpDate(const QDateTime& time) {
    QString text = time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    const int offset = time.offsetFromUtc();
    if (offset == 0)
        return text + u'Z';
    const int minutes = std::abs(offset) / 60;
    return text + (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QChar(u'0'))
               .arg(minutes % 60, 2, 10, QChar(u'0'));
}

// Archival documents are written by the toolkit's writer, the others by our own.
QString Producer(bool archival) {
    return archival ? QStringLiteral("Qt ") + QString::fromLatin1(qVersion()) : kCreator;
}

// The largest pixel size the toolkit makes a font at; the PDF writer refuses texts past it.
constexpr double kLargestFontPixels = 65535;

// A text's words for a message: short, on one line.
QString Quoted(const QString& text) {
    QString shown = text.simplified();
    if (shown.size() > 40)
        shown = shown.left(40) + QChar(0x2026);
    return u'"' + shown + u'"';
}

// Why a page's texts cannot be drawn at the height the canvas would make their fonts on a PDF
// page of the given height in pixels, or empty. A font the toolkit cannot make would come out
// as boxes, and sizes far past it would wrap around to tiny ones on the way.
// Texts left out (leaveOut, by their place) are not looked at: they are drawn, and checked, with
// the page's late part, once the run's settings they name are complete.
QString TooLargeFont(const TRLGraphicSurface& page, int pdfHeight,
                     const std::vector<bool>* leaveOut) {
    const double yFactor = page.Height() != 0 ? double(pdfHeight) / page.Height() : 1.0;
    for (size_t i = 0; i < page.Objects().size(); ++i) {
        const auto& object = page.Objects()[i];
        if (object->Kind() != TRLObjectKind::Text ||
            (leaveOut != nullptr && i < leaveOut->size() && (*leaveOut)[i]))
            continue;
        const auto& text = static_cast<const TRLTextObject&>(*object);
        const TRLMetaFont& font = text.Font;
        const int ppi = font.PixelsPerInch != 0 ? font.PixelsPerInch : kPixelsPerInch;
        // As the canvas sizes it: points at the page's resolution, rounded, then pixels.
        const double points =
            std::abs(std::nearbyint(double(font.Size) * yFactor * ppi / kPixelsPerInch));
        const double pixels = std::floor((points * kPixelsPerInch * 2 + 72) / 144);
        if (pixels <= kLargestFontPixels || text.DisplayText().isEmpty())
            continue;
        return QStringLiteral("the text %1 has a font size of %2 pt at %3 pixels per inch, too "
                              "large to draw: %4 pixels high, at most %5")
            .arg(Quoted(text.DisplayText()), QString::number(font.Size), QString::number(ppi),
                 QString::number(pixels, 'f', 0), QString::number(kLargestFontPixels, 'f', 0));
    }
    return {};
}

// The largest sheet side PDF readers take: 200 inches.
constexpr double kLargestSheetMillimetres = 5080;

// Why a page's sheet cannot be a PDF page, or empty. A damaged file can claim any paper, or any
// size for a page without paper, whose drawing is then the sheet.
QString SheetTooLarge(const TRLGraphicSurface& page) {
    double width = page.PaperWidth();
    double height = page.PaperHeight();
    if (width <= 0 || height <= 0) {
        width = page.Width() * 25.4 / 96;
        height = page.Height() * 25.4 / 96;
    }
    // Written so that a size that is not a number fails too.
    if (width <= kLargestSheetMillimetres && height <= kLargestSheetMillimetres)
        return {};
    return QStringLiteral("its sheet would be %1 x %2 mm; at most %3 mm a side")
        .arg(QString::number(width, 'f', 0), QString::number(height, 'f', 0),
             QString::number(kLargestSheetMillimetres, 'f', 0));
}

// The sheet of a page in points. Pages of a run nearly all share one paper, and working it out
// (the settings read from their texts, the paper sizes searched) costs more than many a page's
// drawing: each painting thread keeps the last one.
QSizeF SheetPoints(const TRLGraphicSurface& page) {
    struct Paper {
        double Width, Height;
        int32_t Orientation, PageWidth, PageHeight;
        bool operator==(const Paper&) const = default;
    };
    const Paper paper{page.PaperWidth(), page.PaperHeight(), page.Orientation(), page.Width(),
                      page.Height()};
    thread_local std::optional<std::pair<Paper, QSizeF>> last;
    // Not-a-number never equals itself: such a paper is simply worked out every time.
    if (!last || !(last->first == paper))
        last.emplace(paper, TRLPDFFilter::PageLayoutOf(page).fullRect(QPageLayout::Point).size());
    return last->second;
}

// Why a page cannot be drawn as a PDF page of the sheet given (its SheetPoints) as it is, or
// empty.
QString Undrawable(const TRLGraphicSurface& page, const QSizeF& sheet,
                   const std::vector<bool>* leaveOut = nullptr) {
    if (QString why = SheetTooLarge(page); !why.isEmpty())
        return why;
    return TooLargeFont(page, qRound(sheet.height() * kPixelsPerInch / 72), leaveOut);
}

// A page as its user knows it: by its number in its store, else by its place in the run.
int NumberOf(const TRLGraphicSurface& page, int ordinal) {
    return page.PageIndex() >= 0 ? page.PageIndex() + 1 : ordinal;
}

} // namespace

namespace {

// A page, or the part of it given, painted as a page of writer's document (PaintPage).
std::unique_ptr<TRLPdfPage> PaintPart(TRLPdfWriter& writer, const TRLGraphicSurface& page,
                                      int number, TRLPdfPagePart part,
                                      const std::vector<bool>* leaveOut) {
    const auto refuse = [number](const QString& why) {
        return TRLException(QStringLiteral("page %1: %2").arg(QString::number(number), why));
    };
    // Worked out once: a page's settings are read from its texts.
    const QSizeF sheet = SheetPoints(page);
    if (const QString why = Undrawable(page, sheet, leaveOut); !why.isEmpty())
        throw refuse(why);
    // The whole sheet is the page: the report's own margins are part of the drawing.
    auto pdfPage = std::make_unique<TRLPdfPage>(writer, sheet, part);
    QPainter painter;
    if (!painter.begin(pdfPage.get()))
        throw refuse(QStringLiteral("the PDF page could not be started"));
    page.PaintTo(painter, QRect(0, 0, pdfPage->width(), pdfPage->height()), {.LeaveOut = leaveOut});
    painter.end();
    if (!pdfPage->Refusal().isEmpty())
        throw refuse(pdfPage->Refusal());
    return pdfPage;
}

} // namespace

std::unique_ptr<TRLPdfPage> TRLPDFFilter::PaintPage(TRLPdfWriter& writer,
                                                    const TRLGraphicSurface& page, int number) {
    return PaintPart(writer, page, number, TRLPdfPagePart::Whole, nullptr);
}

// The late parts of a run's pages, each a page record behind its page's number, in the order they
// came, read back once in that order. The first megabyte stays in memory, which is all that most
// documents need; the rest goes to a scratch file, so that a run of any length keeps what it
// holds flat.
class TRLLateParts {
public:
    void Append(int number, const QByteArray& record) {
        const qint64 header[] = {number, record.size()};
        held_.append(reinterpret_cast<const char*>(header), sizeof header);
        held_.append(record);
        if (held_.size() >= kHeld)
            Spill();
    }

    // Reading starts with the first record; appending is over.
    void Rewind() {
        if (file_.isOpen()) {
            Spill();
            if (!file_.flush() || !file_.seek(0))
                Fail(QStringLiteral("read"));
        }
        heldAt_ = 0;
    }

    // The next record and its page's number; false after the last.
    bool Next(int& number, QByteArray& record) {
        qint64 header[2];
        const bool fromFile = file_.isOpen();
        if (fromFile) {
            const qint64 got = file_.read(reinterpret_cast<char*>(header), sizeof header);
            if (got == 0 && file_.atEnd())
                return false;
            if (got != qint64(sizeof header))
                Fail(QStringLiteral("read"));
        } else {
            if (heldAt_ + qsizetype(sizeof header) > held_.size())
                return false;
            std::memcpy(header, held_.constData() + heldAt_, sizeof header);
            heldAt_ += sizeof header;
        }
        number = static_cast<int>(header[0]);
        const qint64 size = header[1];
        if (fromFile) {
            record = file_.read(size);
            if (record.size() != size)
                Fail(QStringLiteral("read"));
        } else {
            record = held_.mid(heldAt_, size);
            heldAt_ += size;
        }
        return true;
    }

    ~TRLLateParts() {
        if (file_.isOpen())
            file_.remove();
    }

private:
    static constexpr qsizetype kHeld = qsizetype(1) << 20;

    void Spill() {
        if (!file_.isOpen())
            name_ = CreateScratchFile(file_);
        QString reason;
        if (!WriteWhole(file_, held_, reason))
            throw TRLException(QStringLiteral("cannot write \"%1\": %2").arg(name_, reason));
        held_.resize(0);
    }

    [[noreturn]] void Fail(const QString& action) const {
        throw TRLException(
            QStringLiteral("cannot %1 \"%2\": %3").arg(action, name_, file_.errorString()));
    }

    QFile file_;
    QString name_;
    QByteArray held_;
    qsizetype heldAt_ = 0;
};

namespace {

QDateTime CurrentSecond() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.addMSecs(-now.time().msec());
}

} // namespace

// Writes through to a file, in blocks, and keeps the start and the end of what went through: the
// toolkit's writer puts the document's information near the start and the trailer at the end.
// The toolkit's writer writes in small pieces and does not look at what a write returns, so the
// first failure is kept here, with its reason.
class TRLPdfTap : public QIODevice {
public:
    static constexpr qsizetype kKept = 16384;
    explicit TRLPdfTap(QIODevice& target) : target_(target) {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    const QByteArray& Head() const { return head_; }
    QByteArray Tail() const { return tail_; }
    qint64 Written() const { return written_; }
    // Writes what is still held; false, with Failure(), once any write failed.
    bool Flush() {
        if (failure_.isEmpty() && !pending_.isEmpty() && !WriteWhole(target_, pending_, failure_))
            failure_ =
                failure_.isEmpty() ? QStringLiteral("the file took no more bytes") : failure_;
        pending_.resize(0);
        return failure_.isEmpty();
    }
    const QString& Failure() const { return failure_; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override {
        if (!failure_.isEmpty())
            return -1;
        const QByteArrayView bytes(data, length);
        pending_.append(bytes);
        if (pending_.size() >= (1 << 16) && !Flush())
            return -1;
        if (head_.size() < kKept)
            head_.append(bytes.first(std::min<qsizetype>(length, kKept - head_.size())));
        tail_.append(bytes.last(std::min<qsizetype>(length, kKept)));
        if (tail_.size() > 2 * kKept)
            tail_.remove(0, tail_.size() - kKept);
        written_ += length;
        return length;
    }

private:
    QIODevice& target_;
    QByteArray pending_;
    QString failure_;
    QByteArray head_;
    QByteArray tail_;
    qint64 written_ = 0;
};

TRLPDFFilter::TRLPDFFilter(QObject* owner) : TRLCustomSaveFilter(owner) {
    setObjectName(QStringLiteral("RLPDFFilter"));
    SetDisplayName(QStringLiteral("PDF"));
    SetDefaultExt(QStringLiteral(".pdf"));
}

TRLPDFFilter::~TRLPDFFilter() {
    StopFollowing();
}

QByteArray TRLPDFFilter::XmpMetadata(const QString& title, const QString& author,
                                     const QDateTime& created, bool archival) {
    // The writer puts title, creator, producer and creation date into the document's information
    // too; XMP must say the same, word for word.
    const QString date = XmpDate(created);
    QString xmp =
        QStringLiteral("<?xpacket begin='\uFEFF' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
                       "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
                       "  <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
                       "    <rdf:Description rdf:about=\"\" "
                       "xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
                       "      <dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">%1</rdf:li>"
                       "</rdf:Alt></dc:title>\n")
            .arg(title.toHtmlEscaped());
    if (!author.isEmpty())
        xmp += QStringLiteral("      <dc:creator><rdf:Seq><rdf:li>%1</rdf:li></rdf:Seq>"
                              "</dc:creator>\n")
                   .arg(author.toHtmlEscaped());
    xmp += QStringLiteral("    </rdf:Description>\n"
                          "    <rdf:Description rdf:about=\"\" "
                          "xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" xmp:CreatorTool=\"%1\" "
                          "xmp:CreateDate=\"%2\" xmp:ModifyDate=\"%2\"/>\n"
                          "    <rdf:Description rdf:about=\"\" "
                          "xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\" pdf:Producer=\"%3\"/>\n")
               .arg(kCreator.toHtmlEscaped(), date, Producer(archival).toHtmlEscaped());
    if (archival)
        xmp += QStringLiteral("    <rdf:Description rdf:about=\"\" "
                              "xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\" "
                              "pdfaid:part=\"1\" pdfaid:conformance=\"B\"/>\n");
    xmp += QStringLiteral("  </rdf:RDF>\n"
                          "</x:xmpmeta>\n"
                          "<?xpacket end='w'?>");
    return xmp.toUtf8();
}

QByteArray TRLPDFFilter::InformationUpdate(QByteArrayView head, QByteArrayView tail, qint64 length,
                                           QByteArrayView entries) {
    // The trailer: the last one in the file, from its keyword to the end.
    const qsizetype trailerAt = tail.lastIndexOf(QByteArrayView("trailer"));
    if (trailerAt < 0)
        return {};
    const QByteArrayView trailer = tail.sliced(trailerAt);
    const auto number = [](QByteArrayView text, QByteArrayView key) {
        const qsizetype at = text.indexOf(key);
        if (at < 0)
            return -1LL;
        qsizetype i = at + key.size();
        while (i < text.size() && (text[i] == ' ' || text[i] == '\n' || text[i] == '\r'))
            ++i;
        long long value = 0;
        qsizetype digits = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 15; ++i, ++digits)
            value = value * 10 + (text[i] - '0');
        return digits > 0 ? value : -1LL;
    };
    const long long size = number(trailer, "/Size");
    const long long info = number(trailer, "/Info");
    const long long root = number(trailer, "/Root");
    const long long previous = number(trailer, "startxref");
    if (size <= 0 || info <= 0 || info >= size || root <= 0 || root >= size || previous < 0 ||
        previous >= length)
        return {};
    QByteArray id;
    if (const qsizetype at = trailer.indexOf(QByteArrayView("/ID")); at >= 0) {
        const qsizetype end = trailer.indexOf(']', at);
        if (end < 0)
            return {};
        id = trailer.sliced(at, end + 1 - at).toByteArray();
    }
    // The information object, written whole near the start: its dictionary without the end.
    const QByteArray objectStart = '\n' + QByteArray::number(info) + " 0 obj";
    const qsizetype objectAt = head.indexOf(objectStart);
    if (objectAt < 0)
        return {};
    const qsizetype open = head.indexOf(QByteArrayView("<<"), objectAt);
    const qsizetype endobj = head.indexOf(QByteArrayView("endobj"), objectAt);
    if (open < 0 || endobj < 0 || open > endobj)
        return {};
    const qsizetype close = head.first(endobj).lastIndexOf(QByteArrayView(">>"));
    if (close <= open)
        return {};

    // The object again with the entries added, then a cross-reference section for it alone and a
    // trailer that leads back to the toolkit's.
    QByteArray update = '\n' + QByteArray::number(info) + " 0 obj\n" +
                        head.sliced(open, close - open).toByteArray() + entries.toByteArray() +
                        ">>\nendobj\n";
    const qint64 objectOffset = length + 1;
    const qint64 xref = length + update.size();
    update += "xref\n0 1\n0000000000 65535 f \n" + QByteArray::number(info) + " 1\n" +
              QByteArray::number(objectOffset).rightJustified(10, '0') + " 00000 n \n" +
              "trailer\n<</Size " + QByteArray::number(size) + "/Root " + QByteArray::number(root) +
              " 0 R/Info " + QByteArray::number(info) + " 0 R/Prev " +
              QByteArray::number(previous) + id + ">>\nstartxref\n" + QByteArray::number(xref) +
              "\n%%EOF\n";
    return update;
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
    // The reason may live in what Discard() frees (the tap's failure): it is taken first.
    const QString message = QStringLiteral("cannot write %1: %2").arg(target_, reason);
    Discard();
    throw TRLException(message);
}

void TRLPDFFilter::Discard() noexcept {
    // A painter still open writes the document's end into the temporary file, which is then
    // thrown away with it.
    painter_.reset();
    writer_.reset();
    tap_.reset();
    // The painters finish the pages they hold and drop the rest, before the writer goes; pages
    // painted and not added go while the threads whose fonts they hold still run.
    painters_.reset();
    lateParts_.reset();
    pdf_.reset();
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
    // Without a buffer of its own: a buffered file forgets why a write failed (a full disk
    // showed as "Unknown error"). Both writers hand it blocks.
    if (!file_->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        Fail(file_->errorString());
    if (!archival_) {
        // The title is the store's, which a followed run sets only at its end (EndDoc).
        created_ = CurrentSecond();
        pdf_ = std::make_unique<TRLPdfWriter>(*file_, kPixelsPerInch);
        pdf_->SetAuthor(author_);
        pdf_->SetCreator(kCreator);
        pdf_->SetCreationDate(created_);
        // A followed run prepares its pages on this thread all along, which keeps a core busy:
        // a painter more would only take turns with it, and slow the run down. Should the
        // painters fall behind, this thread paints too while it waits for them.
        const int cores = QThread::idealThreadCount();
        if (followed_) {
            painters_ =
                std::make_unique<TRLPagePainters>(std::max(1, cores - 1), TRLWaiting::Helps);
        } else {
            painters_ = std::make_unique<TRLPagePainters>(cores);
        }
        lateParts_ = std::make_unique<TRLLateParts>();
        return;
    }
    MakeWriter();
    // The painter starts with the first page, once that page's paper is known.
    painter_ = std::make_unique<QPainter>();
}

void TRLPDFFilter::MakeWriter() {
    writer_.reset();
    tap_ = std::make_unique<TRLPdfTap>(*file_);
    writer_ = std::make_unique<QPdfWriter>(tap_.get());
    writer_->setResolution(kPixelsPerInch);
    writer_->setCreator(kCreator);
    if (archival_)
        writer_->setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);
    if (const TRLGraphicStorage* pages = Pages())
        writer_->setTitle(pages->Title());
}

void TRLPDFFilter::StartDocument(const QPageLayout& firstPage) {
    const TRLGraphicStorage* pages = Pages();
    const QString title = pages ? pages->Title() : QString();
    // The writer dates the document itself, to the second, as it begins. Should the clock tick
    // between the metadata's date and the writer's, the metadata would contradict the document;
    // nothing is drawn yet, so the document simply begins again.
    for (int attempt = 1;; ++attempt) {
        const QDateTime created = CurrentSecond();
        writer_->setDocumentXmpMetadata(XmpMetadata(title, author_, created, archival_));
        writer_->setPageLayout(firstPage);
        if (!painter_->begin(writer_.get()))
            Fail(QStringLiteral("the PDF document could not be started"));
        if (XmpDate(CurrentSecond()) == XmpDate(created) || attempt == 3)
            return;
        painter_->end();
        // What the tap still holds of the abandoned start goes with it.
        if (!file_->seek(0) || !file_->resize(0))
            Fail(file_->errorString());
        MakeWriter();
    }
}

void TRLPDFFilter::NewPage() {
    // The next page opens in DrawPage, where its own paper is known.
}

void TRLPDFFilter::AddPaintedPage() {
    // A painter's failure is this run's failure.
    std::unique_ptr<TRLPdfPage> pdfPage;
    try {
        pdfPage = painters_->TakeOldest();
    } catch (const std::exception& e) {
        Fail(QString::fromUtf8(e.what()));
    }
    if (!pdfPage->AddTo(*pdf_))
        Fail(pdf_->ErrorString());
}

void TRLPDFFilter::Paint(std::function<std::unique_ptr<TRLPdfPage>()> painting) {
    painters_->Post(std::move(painting));
    // Pages ahead keep every painter busy through a run of pages that take longer than the rest
    // to prepare or to paint, so that this thread seldom has to stop and paint. Sixteen a
    // painter measured a fortieth faster than four on a listing of ten thousand pages, for a
    // megabyte more; thirty-two no faster.
    while (painters_->Pending() > 16 * static_cast<size_t>(painters_->ThreadCount()))
        AddPaintedPage();
}

void TRLPDFFilter::KeepLatePart(const TRLGraphicSurface& page, const std::vector<bool>& late,
                                int number) {
    try {
        lateParts_->Append(number, page.PartOf(late)->SaveToBytes());
    } catch (const TRLException& e) {
        Fail(e.Message());
    }
}

void TRLPDFFilter::AddLateParts() {
    TRLGraphicStorage* const store = Store();
    int number = 0;
    QByteArray record;
    try {
        lateParts_->Rewind();
        while (lateParts_->Next(number, record)) {
            auto part = std::make_shared<TRLGraphicSurface>();
            part->LoadFromBytes(record);
            // The store's settings are the run's, complete now.
            part->SetStorage(store);
            Paint([writer = pdf_.get(), part, number] {
                return PaintPart(*writer, *part, number, TRLPdfPagePart::Late, nullptr);
            });
        }
    } catch (const TRLException& e) {
        Fail(e.Message());
    }
    while (painters_->Pending() > 0)
        AddPaintedPage();
}

TRLGraphicStorage* TRLPDFFilter::Store() const {
    return followed_ ? followed_.data() : Pages();
}

void TRLPDFFilter::DrawPage(TRLGraphicSurface& page) {
    if (pdf_) {
        ++pagesWritten_;
        const int number = NumberOf(page, pagesWritten_);
        // What names a setting of the whole run waits for its end, and is drawn over the rest
        // then; the rest is drawn now, whether or not the run has ended, so that the document is
        // the same either way.
        std::vector<bool> late = page.LateObjects();
        const TRLPdfPagePart part = late.empty() ? TRLPdfPagePart::Whole : TRLPdfPagePart::Early;
        if (!late.empty())
            KeepLatePart(page, late, number);
        // A page of a store is painted on a painter thread, kept alive until it is; a page
        // nobody shares is painted here, after the pages before it.
        if (std::shared_ptr<const TRLGraphicSurface> held = page.weak_from_this().lock();
            held && painters_) {
            Paint([writer = pdf_.get(), held, number, part, late = std::move(late)] {
                return PaintPart(*writer, *held, number, part, &late);
            });
            return;
        }
        while (painters_ && painters_->Pending() > 0)
            AddPaintedPage();
        std::unique_ptr<TRLPdfPage> painted;
        try {
            painted = PaintPart(*pdf_, page, number, part, &late);
        } catch (const TRLException& e) {
            Fail(e.Message());
        }
        if (!painted->AddTo(*pdf_))
            Fail(pdf_->ErrorString());
        return;
    }
    if (!painter_)
        return;
    if (const QString why = Undrawable(page, SheetPoints(page)); !why.isEmpty())
        Fail(QStringLiteral("page %1: %2")
                 .arg(QString::number(NumberOf(page, pagesWritten_ + 1)), why));
    if (!painter_->isActive()) {
        StartDocument(PageLayoutOf(page));
    } else {
        writer_->setPageLayout(PageLayoutOf(page));
        if (!writer_->newPage())
            Fail(tap_->Failure().isEmpty() ? QStringLiteral("a new page could not be started")
                                           : tap_->Failure());
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
    while (painters_ && painters_->Pending() > 0)
        AddPaintedPage();
    if (pdf_ && pagesWritten_ > 0)
        AddLateParts();
    painters_.reset();
    lateParts_.reset();
    if (pagesWritten_ == 0)
        Fail(QStringLiteral("there are no pages to write"));
    if (pdf_) {
        const QString title = Store() ? Store()->Title() : QString();
        pdf_->SetTitle(title);
        pdf_->SetXmpMetadata(XmpMetadata(title, author_, created_, false));
        if (!pdf_->Finish())
            Fail(pdf_->ErrorString());
        pdf_.reset();
    } else {
        EndArchivalDocument();
    }
    // Every byte is written by now; committing may still fail (the system's last write-back,
    // the rename), and clears the file's own reason as it does.
    errno = 0;
    if (!file_->commit()) {
        const QString reason = FailureReason(*file_, errno);
        file_.reset();
        Fail(reason);
    }
    file_.reset();
}

void TRLPDFFilter::EndArchivalDocument() {
    const bool ended = painter_->end();
    painter_.reset();
    writer_.reset();
    if (!tap_->Flush())
        Fail(tap_->Failure());
    if (!ended)
        Fail(QStringLiteral("the PDF document could not be finished"));
    // The toolkit's writer leaves the author out of the document's information, which must say
    // what the XMP says: an update at the end adds it.
    if (!author_.isEmpty()) {
        const QByteArray update = InformationUpdate(tap_->Head(), tap_->Tail(), tap_->Written(),
                                                    "/Author " + PdfTextString(author_));
        if (update.isEmpty())
            Fail(QStringLiteral("the PDF document's information could not be found"));
        QString reason;
        if (!WriteWhole(*file_, update, reason))
            Fail(reason);
    }
    tap_.reset();
}

void TRLPDFFilter::BeginFollowing(TRLGraphicStorage& store) {
    StopFollowing();
    followed_ = &store;
    // The toolkit's archival writer paints its document with one painter, from the first page
    // to the last: it writes the whole store once the run has ended.
    if (archival_)
        return;
    pagesWritten_ = 0;
    BeginDoc();
    store.SetPageFiled([this](const std::shared_ptr<TRLGraphicSurface>& page) {
        NewPage();
        DrawPage(*page);
    });
}

void TRLPDFFilter::EndFollowing() {
    if (!followed_)
        throw TRLException(QStringLiteral("cannot write %1: no run was followed").arg(FileName()));
    TRLGraphicStorage& store = *followed_;
    store.SetPageFiled(nullptr);
    if (archival_) {
        followed_ = nullptr;
        FilterPages(&store, this, 1, false);
        return;
    }
    const auto stop = qScopeGuard([this] { followed_ = nullptr; });
    EndDoc();
}

void TRLPDFFilter::StopFollowing() noexcept {
    if (followed_)
        followed_->SetPageFiled(nullptr);
    followed_ = nullptr;
    Discard();
}

TRLPDFFilter& RegisterPdfFilter() {
    // Made after the list of active filters, so it leaves that list before the list goes.
    static TRLPDFFilter instance;
    return instance;
}

TRLPDFFilter& RegisterPdfaFilter() {
    RegisterPdfFilter();
    struct ArchivalFilter : TRLPDFFilter {
        ArchivalFilter() {
            setObjectName(QStringLiteral("RLPDFAFilter"));
            SetDisplayName(QStringLiteral("PDF/A"));
            SetArchival(true);
        }
    };
    static ArchivalFilter instance;
    return instance;
}

} // namespace Kelmora
