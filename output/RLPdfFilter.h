// The PDF save filter: the chosen pages become one PDF file in which texts stay texts (selectable
// and searchable) and pictures are embedded, each page on its own paper. The file appears whole
// or not at all: it is written beside its final name and moved there only when the run ends
// well, so an error, a cancel or an empty range leaves no file behind (and an earlier file of
// that name untouched).
#pragma once

#include "RLFilters.h"

#include <QPageLayout>

#include <memory>

class QPainter;
class QPdfWriter;
class QSaveFile;

class TRLPDFFilter : public TRLCustomSaveFilter {
    Q_OBJECT
public:
    explicit TRLPDFFilter(QObject* owner = nullptr);
    ~TRLPDFFilter() override;

    // Pages written by the current (or last) run.
    int PagesWritten() const { return pagesWritten_; }

    // The paper of a page: its own paper settings (millimetres, portrait sense, and its
    // orientation); a page recorded without paper gets its own size at 96 pixels per inch.
    static QPageLayout PageLayoutOf(const TRLGraphicSurface& page);

protected:
    void BeginDoc() override;
    void EndDoc() override;
    void NewPage() override;
    void DrawPage(TRLGraphicSurface& page) override;

private:
    // Drops the unfinished document; the temporary file goes with it.
    void Discard() noexcept;
    [[noreturn]] void Fail(const QString& reason);

    int pagesWritten_ = 0;
    QString target_;
    // Made in BeginDoc and gone after EndDoc, in the thread that runs the filter. Declared in
    // the order they depend on each other: the painter goes first, the file last.
    std::unique_ptr<QSaveFile> file_;
    std::unique_ptr<QPdfWriter> writer_;
    std::unique_ptr<QPainter> painter_;
};

// Creates the process-wide PDF filter on the first call (later calls return the same one), so
// that the save dialog lists it and names ending in ".pdf" pick it. Run at start-up.
TRLPDFFilter& RegisterPdfFilter();
