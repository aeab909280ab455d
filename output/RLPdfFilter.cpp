#include "RLPdfFilter.h"

#include "RLGraphicStorage.h"
#include "RLGraphicSurface.h"
#include "RLMetaTypes.h"
#include "RLPdfWriter.h"

#include <QDateTime>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QThread>

#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

// 1440 pixels per inch is 20 device pixels per point, so every whole and half point size of the
// report's fonts lands on a whole pixel height and the text keeps its exact size.
constexpr int kPixelsPerInch = 1440;

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

// One PDF page painted from a page of the store, the whole sheet being the page: the report's
// own margins are part of the drawing.
std::unique_ptr<TRLPdfPage> PaintPdfPage(TRLPdfWriter& writer, const TRLGraphicSurface& page) {
    auto pdfPage = std::make_unique<TRLPdfPage>(
        writer, TRLPDFFilter::PageLayoutOf(page).fullRect(QPageLayout::Point).size());
    QPainter painter;
    if (!painter.begin(pdfPage.get()))
        throw TRLException(QStringLiteral("the PDF page could not be started"));
    page.PaintTo(painter, QRect(0, 0, pdfPage->width(), pdfPage->height()));
    painter.end();
    return pdfPage;
}

QDateTime CurrentSecond() {
    const QDateTime now = QDateTime::currentDateTime();
    return now.addMSecs(-now.time().msec());
}

} // namespace

// Threads that paint pages, each job on the first thread free. Plain standard threads and
// locks, so that the hand-over of every job is plain to the thread checker too.
class TRLPagePainters {
public:
    explicit TRLPagePainters(int count) {
        for (int i = 0; i < count; ++i)
            threads_.emplace_back([this] { Serve(); });
    }
    ~TRLPagePainters() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread& thread : threads_)
            thread.join();
    }
    int Count() const { return static_cast<int>(threads_.size()); }
    void Post(std::function<void()> job) {
        {
            const std::lock_guard lock(mutex_);
            jobs_.push_back(std::move(job));
        }
        wake_.notify_one();
    }

private:
    void Serve() {
        for (;;) {
            std::function<void()> job;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
                // Jobs still queued when the painters stop are dropped: their results are no
                // longer awaited.
                if (stopping_)
                    return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            job();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

TRLPDFFilter::TRLPDFFilter(QObject* owner) : TRLCustomSaveFilter(owner) {
    setObjectName(QStringLiteral("RLPDFFilter"));
    SetDisplayName(QStringLiteral("PDF"));
    SetDefaultExt(QStringLiteral(".pdf"));
}

TRLPDFFilter::~TRLPDFFilter() {
    Discard();
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
    // Pages painted and not added go first, while the threads whose fonts they hold still run;
    // the painters then finish the pages they hold, before the writer goes.
    painting_.clear();
    painters_.reset();
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
    if (!file_->open(QIODevice::WriteOnly))
        Fail(file_->errorString());
    if (!archival_) {
        const QString title = Pages() ? Pages()->Title() : QString();
        const QDateTime created = CurrentSecond();
        pdf_ = std::make_unique<TRLPdfWriter>(*file_, kPixelsPerInch);
        pdf_->SetTitle(title);
        pdf_->SetAuthor(author_);
        pdf_->SetCreator(kCreator);
        pdf_->SetCreationDate(created);
        pdf_->SetXmpMetadata(XmpMetadata(title, author_, created, false));
        painters_ = std::make_unique<TRLPagePainters>(std::max(1, QThread::idealThreadCount()));
        return;
    }
    MakeWriter();
    // The painter starts with the first page, once that page's paper is known.
    painter_ = std::make_unique<QPainter>();
}

void TRLPDFFilter::MakeWriter() {
    writer_ = std::make_unique<QPdfWriter>(file_.get());
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
        if (!file_->seek(0) || !file_->resize(0))
            Fail(file_->errorString());
        MakeWriter();
    }
}

void TRLPDFFilter::NewPage() {
    // The next page opens in DrawPage, where its own paper is known.
}

void TRLPDFFilter::AddPaintedPage() {
    std::future<std::unique_ptr<TRLPdfPage>> next = std::move(painting_.front());
    painting_.pop_front();
    // A painter's failure is this run's failure.
    std::unique_ptr<TRLPdfPage> pdfPage;
    try {
        pdfPage = next.get();
    } catch (const std::exception& e) {
        Fail(QString::fromUtf8(e.what()));
    }
    if (!pdfPage->AddTo(*pdf_))
        Fail(pdf_->ErrorString());
}

void TRLPDFFilter::DrawPage(TRLGraphicSurface& page) {
    if (pdf_) {
        ++pagesWritten_;
        // A page of a store is painted on a painter thread, kept alive until it is; a page
        // nobody shares is painted here, after the pages before it.
        if (std::shared_ptr<const TRLGraphicSurface> held = page.weak_from_this().lock();
            held && painters_) {
            auto job = std::make_shared<std::packaged_task<std::unique_ptr<TRLPdfPage>()>>(
                [writer = pdf_.get(), held] { return PaintPdfPage(*writer, *held); });
            painting_.push_back(job->get_future());
            painters_->Post([job] { (*job)(); });
            // A few pages ahead keep every painter busy; more would only hold memory.
            while (painting_.size() > 2 * static_cast<size_t>(painters_->Count()))
                AddPaintedPage();
            return;
        }
        while (!painting_.empty())
            AddPaintedPage();
        if (!PaintPdfPage(*pdf_, page)->AddTo(*pdf_))
            Fail(pdf_->ErrorString());
        return;
    }
    if (!painter_)
        return;
    if (!painter_->isActive()) {
        StartDocument(PageLayoutOf(page));
    } else {
        writer_->setPageLayout(PageLayoutOf(page));
        if (!writer_->newPage())
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
    while (!painting_.empty())
        AddPaintedPage();
    painters_.reset();
    if (pagesWritten_ == 0)
        Fail(QStringLiteral("there are no pages to write"));
    if (pdf_) {
        if (!pdf_->Finish())
            Fail(pdf_->ErrorString());
        pdf_.reset();
    } else {
        EndArchivalDocument();
    }
    // The last buffered bytes are written here, so that a full disk is seen: commit would write
    // them too, but report success over a file cut short.
    if (!file_->flush() || !file_->commit()) {
        const QString reason = file_->errorString();
        file_.reset();
        Fail(reason);
    }
    file_.reset();
}

void TRLPDFFilter::EndArchivalDocument() {
    const bool ended = painter_->end();
    painter_.reset();
    writer_.reset();
    if (!ended)
        Fail(QStringLiteral("the PDF document could not be finished"));
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
