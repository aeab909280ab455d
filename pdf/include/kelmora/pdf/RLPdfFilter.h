/// @file
/// The PDF save filter: the chosen pages become one PDF file in which texts stay texts (selectable
/// and searchable) and pictures are embedded, each page on its own paper. The file appears whole
/// or not at all: it is written beside its final name and moved there only when the run ends
/// well, so an error, a cancel or an empty range leaves no file behind (and an earlier file of
/// that name untouched). An archival filter writes PDF/A-1b, which archives accept: every font
/// embedded, an output intent, and the document's identification in its XMP metadata.
#pragma once

#include <kelmora/output/RLFilters.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QPageLayout>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class QPainter;
class QPdfWriter;
class QSaveFile;

namespace Kelmora {

class TRLLateParts;
class TRLPdfPage;
class TRLPdfTap;
class TRLPdfWriter;
template <class T> class TRLOrderedJobs;

class TRLPDFFilter : public TRLCustomSaveFilter {
    Q_OBJECT
public:
    explicit TRLPDFFilter(QObject* owner = nullptr);
    ~TRLPDFFilter() override;

    /// Pages written by the current (or last) run.
    int PagesWritten() const { return pagesWritten_; }

    /// PDF/A-1b instead of ordinary PDF. Off by default.
    bool Archival() const { return archival_; }
    void SetArchival(bool on) { archival_ = on; }
    /// The author named in the document's information and XMP metadata (dc:creator); none when
    /// empty.
    QString Author() const { return author_; }
    void SetAuthor(const QString& author) { author_ = author; }

    /// The document's XMP metadata: title, author, creating program and producer, the creation
    /// date (the second the writer stamps into the document's information too) and, when
    /// archival, the PDF/A identification.
    static QByteArray XmpMetadata(const QString& title, const QString& author,
                                  const QDateTime& created, bool archival);

    /// What a PDF/A document written by the toolkit's writer needs appended so that its information
    /// dictionary carries the given entries too ("/Author <...>"): the information object again
    /// with them, its cross-reference section and a trailer leading back to the previous one.
    /// head and tail are the file's first and last bytes (the information object lies in the
    /// first, the trailer in the last), length its size. Empty when either cannot be found.
    static QByteArray InformationUpdate(QByteArrayView head, QByteArrayView tail, qint64 length,
                                        QByteArrayView entries);

    /// The paper of a page: its own paper settings (millimetres, portrait sense, and its
    /// orientation); a page recorded without paper gets its own size at 96 pixels per inch.
    static QPageLayout PageLayoutOf(const TRLGraphicSurface& page);
    /// A page of the store painted as a page of writer's document, on its own paper; from any
    /// thread. A page that cannot be drawn as it is (a sheet larger than PDF readers take, a text
    /// in a font too large for any font to be made at) is refused with a TRLException that names
    /// it by number and says why.
    static std::unique_ptr<TRLPdfPage> PaintPage(TRLPdfWriter& writer,
                                                 const TRLGraphicSurface& page, int number);

    /// Writes the pages of store into the file while a report still files them, so that the
    /// pages are painted on the other cores as the next ones are prepared: begin before the run,
    /// end after it (EndFollowing writes what names the run's settings, now known, and the end
    /// of the document). A failure throws TRLException, from the filing of a page or from the
    /// end, and leaves no file; so does a follow that is dropped (StopFollowing, the filter's
    /// end) before it ends. The file is the one a run over the whole store writes.
    void BeginFollowing(TRLGraphicStorage& store);
    void EndFollowing();
    void StopFollowing() noexcept;
    /// Whether a followed run's pages are written as they are filed, so that its store need not
    /// keep them (TRLGraphicStorage::SetKeepingPages), or from the store once the run has ended:
    /// PDF/A, which the toolkit's writer paints in one go.
    bool WritesAsFiled() const { return !archival_; }

protected:
    void BeginDoc() override;
    void EndDoc() override;
    void NewPage() override;
    void DrawPage(TRLGraphicSurface& page) override;

private:
    void MakeWriter();
    /// Begins painting the first page, with metadata dated as the writer dates the document.
    void StartDocument(const QPageLayout& firstPage);
    void EndArchivalDocument();
    /// Adds the oldest page still being painted to the document, once it is painted.
    void AddPaintedPage();
    /// Hands a page's painting to the painter threads, adding painted pages while too many wait.
    /// What the painting holds (the page) goes here, once it is added: a page's objects are
    /// freed by the thread that made them, never by a painter.
    void Paint(std::function<std::unique_ptr<TRLPdfPage>()> painting);
    /// Keeps what of a page must wait for the run's end (TRLGraphicSurface::LateObjects), and
    /// draws and adds all that was kept, in page order, once it has ended.
    void KeepLatePart(const TRLGraphicSurface& page, const std::vector<bool>& late, int number);
    void AddLateParts();
    /// The store whose pages are written: the run's, or the one being followed.
    TRLGraphicStorage* Store() const;
    /// Drops the unfinished document; the temporary file goes with it.
    void Discard() noexcept;
    [[noreturn]] void Fail(const QString& reason);

    int pagesWritten_ = 0;
    bool archival_ = false;
    QDateTime created_;
    QString author_;
    QString target_;
    /// Made in BeginDoc and gone after EndDoc, in the thread that runs the filter. Declared in
    /// the order they depend on each other: the painter goes first, the file last.
    std::unique_ptr<QSaveFile> file_;
    /// Ordinary PDF is written by our own writer, a page per painter; PDF/A by the toolkit's
    /// writer, whose painter spans the document.
    std::unique_ptr<TRLPdfWriter> pdf_;
    /// Ordinary PDF pages are painted on helper threads, one per core (one fewer for a followed
    /// run, which prepares on this thread), while the run reads or prepares the next pages; they
    /// join the document in their order.
    using TRLPagePainters = TRLOrderedJobs<std::unique_ptr<TRLPdfPage>>;
    std::unique_ptr<TRLPagePainters> painters_;
    /// The late parts of the pages written, in order, kept in a scratch file: a few hundred bytes
    /// for every page of a run of any length.
    std::unique_ptr<TRLLateParts> lateParts_;
    QPointer<TRLGraphicStorage> followed_;
    /// The toolkit's writer writes through a tap that keeps what the information update needs.
    std::unique_ptr<TRLPdfTap> tap_;
    std::unique_ptr<QPdfWriter> writer_;
    std::unique_ptr<QPainter> painter_;
};

/// Creates the process-wide PDF filter on the first call (later calls return the same one), so
/// that the save dialog lists it and names ending in ".pdf" pick it. Run at start-up.
TRLPDFFilter& RegisterPdfFilter();

/// The same for the process-wide archival filter, "PDF/A", listed after "PDF" (which it registers
/// first). It shares the ".pdf" extension, so a name alone still picks the ordinary PDF filter; the
/// save dialog keeps "PDF/A" when it is chosen and the name ends in ".pdf".
TRLPDFFilter& RegisterPdfaFilter();

} // namespace Kelmora
