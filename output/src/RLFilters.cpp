#include <kelmora/output/RLFilters.h>

#include <kelmora/output/RLPrinters.h>
#include <kelmora/output/RLSpoolFilter.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/report/RLReportHooks.h>
#include <kelmora/support/RLMessages.h>
#include <kelmora/support/RLThreads.h>
#include <kelmora/support/RLUtils.h>

#include <QScopeGuard>

#include <algorithm>
#include <exception>
#include <memory>
#include <mutex>

namespace Kelmora {

namespace {

struct FilterList {
    std::mutex Mutex;
    QList<TRLCustomFilter*> Filters;
};

FilterList& Registry() {
    static FilterList list;
    return list;
}

} // namespace

// ---- TRLCustomFilter -------------------------------------------------------------------------

TRLCustomFilter::TRLCustomFilter(QObject* owner) : QObject(owner) {
    FilterList& list = Registry();
    std::lock_guard lock(list.Mutex);
    list.Filters.append(this);
}

TRLCustomFilter::~TRLCustomFilter() {
    FilterList& list = Registry();
    std::lock_guard lock(list.Mutex);
    list.Filters.removeAll(this);
}

QString TRLCustomFilter::GetDisplayName() const {
    return displayName_.isEmpty() ? objectName() : displayName_;
}

void TRLCustomFilter::Run(TRLGraphicStorage* pages, int firstPage, bool background, int lastPage) {
    // One run at a time: a second would share this filter's pages, range and progress window with
    // a run still going in the background. Once the last run has let go of them (the flag is
    // atomic), all it did comes before anything this one does; the flag is a hand-over.
    if (running_)
        throw TRLException(RLMessages[mkOutputStillRunning]);
    HandOverPoint();
    canceled_ = false;
    const int pageCount = pages ? pages->PageCount() : 0;
    firstPage_ = std::max(1, firstPage);
    lastPage_ = lastPage == -1 ? pageCount : std::min(lastPage, pageCount);
    copies_ = repeatForCopies_ ? RLPrinter().Copies() : 1;
    // A printer would put out a blank sheet for a document without pages.
    if (IsPrintFilter() && firstPage_ > lastPage_)
        throw TRLException(RLMessages[mkNoPageInRange]);
    // The store stays alive while the filter holds it, whoever else lets go meanwhile.
    pages_ = pages;
    if (pages)
        pages->Link(this);
    running_ = true;
    if (background) {
        auto* thread = new TFilterThread([filter = QPointer(this)] {
            if (filter)
                filter->RunLoop();
        });
        thread->start();
        return;
    }
    RunLoop();
}

void TRLCustomFilter::ReleasePages() {
    // The store belongs to the thread that made it; a background run hands the unlink over,
    // since the last unlink may free the store.
    if (TRLGraphicStorage* pages = pages_) {
        CallInThreadOf(pages, [this, pages] { pages->Unlink(this); });
    }
    pages_ = nullptr;
}

void TRLCustomFilter::RunLoop() {
    QString failure;
    try {
        // Made and used on the user-interface thread only, where its window lives.
        std::unique_ptr<TRLReportProgress> progress;
        // Closing the window and letting go of the store happen however the loop ends.
        const auto finish = qScopeGuard([this, &progress] {
            ReleasePages();
            if (progress) {
                try {
                    CallOnUserInterfaceThread([&progress] { progress.reset(); });
                } catch (...) {
                }
            }
            HandOverPoint();
            running_ = false;
        });
        if (const TRLProgressFactory factory = showProgress_ ? ReportProgressFactory() : nullptr) {
            const QString caption =
                RLMessages[IsPrintFilter() ? mkPrintingInProgress : mkSavingReport];
            const int steps = std::max(0, (lastPage_ - firstPage_ + 1) * copies_);
            CallOnUserInterfaceThread([&progress, factory, caption, steps] {
                progress = factory(caption, RLMessages[mkWait]);
                if (progress)
                    progress->SetMaximum(steps);
            });
        }
        BeginDoc();
        {
            // The document is ended whatever happens between its start and the last page; a
            // failure to end it then gives way to the failure already under way.
            auto endOnFailure = qScopeGuard([this] {
                try {
                    EndDoc();
                } catch (...) {
                }
            });
            // A page at a time, copy after copy; with a progress window on this thread, in
            // slices between which the window stays live.
            bool drawn = false;
            int copy = 1;
            int p = firstPage_;
            const auto drawPage = [&] {
                if (copy > copies_ || canceled_)
                    return false;
                std::shared_ptr<TRLGraphicSurface> page;
                if (TRLGraphicStorage* pages = pages_; pages && p <= lastPage_)
                    page = pages->Pages(p - 1);
                // A store shorter than the range ends this copy's pages; no blank page is
                // started for the missing one.
                if (!page) {
                    ++copy;
                    p = firstPage_;
                    return true;
                }
                if (drawn)
                    NewPage();
                DrawPage(*page);
                drawn = true;
                ++p;
                // The window's cancel is heard after the page being drawn.
                if (progress)
                    CallOnUserInterfaceThread([this, &progress] {
                        progress->StepIt();
                        if (progress->Canceled())
                            Cancel();
                    });
                return !canceled_;
            };
            RunInSlices(drawPage, progress != nullptr);
            endOnFailure.dismiss();
        }
        EndDoc();
    } catch (const TRLAbort&) {
        failure = QStringLiteral("aborted");
        emit RunFinished(failure);
        throw;
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
        if (failure.isEmpty())
            failure = QStringLiteral("error");
        emit RunFinished(failure);
        throw;
    }
    emit RunFinished(QString());
}

// ---- TFilterThread ---------------------------------------------------------------------------

TFilterThread::TFilterThread(std::function<void()> body) : body_(std::move(body)) {
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

void TFilterThread::run() {
    try {
        body_();
    } catch (const std::exception& e) {
        // RunFinished has carried the error; a thread has nobody else to tell.
        qWarning("background output ended: %s", e.what());
    } catch (...) {
        qWarning("background output ended with an unknown error");
    }
}

// ---- registry and entry points ---------------------------------------------------------------

QList<TRLCustomFilter*> ActiveFilters() {
    FilterList& list = Registry();
    std::lock_guard lock(list.Mutex);
    return list.Filters;
}

QString FileExtensionOf(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    qsizetype separator = -1;
    for (const QChar c : {QLatin1Char('/'), QLatin1Char('\\'), QLatin1Char(':')})
        separator = std::max(separator, fileName.lastIndexOf(c));
    if (dot < 0 || dot < separator)
        return QString();
    return fileName.mid(dot);
}

TRLCustomSaveFilter* SaveFilterByFileName(const QString& fileName) {
    const QString extension = WithLeadingDot(FileExtensionOf(fileName));
    for (TRLCustomFilter* filter : ActiveFilters()) {
        auto* saveFilter = qobject_cast<TRLCustomSaveFilter*>(filter);
        if (saveFilter &&
            WithLeadingDot(saveFilter->DefaultExt()).compare(extension, Qt::CaseInsensitive) == 0)
            return saveFilter;
    }
    return nullptr;
}

void FilterPages(TRLGraphicStorage* pages, TRLCustomFilter* filter, int firstPage, bool background,
                 int lastPage) {
    if (!filter)
        filter = &SpoolFilter();
    filter->Run(pages, firstPage, background, lastPage);
}

} // namespace Kelmora
