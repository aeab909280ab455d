#include "RLFilters.h"
#include "RLHandOver_p.h"

#include "RLFeedBack.h"
#include "RLGraphicStorage.h"
#include "RLMessages.h"
#include "RLPrinters.h"
#include "RLSpoolFilter.h"
#include "RLUtils.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QScopeGuard>
#include <QSemaphore>
#include <QThread>

#include <algorithm>
#include <exception>
#include <mutex>

// Calls handed to another thread are ordered by Qt's event queue and a semaphore, whose locks
// ThreadSanitizer cannot see when Qt itself is not instrumented: HappensBefore and HappensAfter
// tell it what the hand-over guarantees.
namespace {

struct FilterList {
    std::mutex Mutex;
    QList<TRLCustomFilter*> Filters;
};

FilterList& Registry() {
    static FilterList list;
    return list;
}

// One call to run in another thread. The event and its receiver are made by the caller, so that
// everything the other thread reads of them was written before the hand-over said so; a call
// handed over with Qt's own queued functors is built inside Qt, after any point the caller could
// mark. The caller is released when the event goes, whether it ran or was dropped.
class THandOver final : public QEvent {
public:
    static QEvent::Type Kind() {
        static const auto kind = static_cast<QEvent::Type>(QEvent::registerEventType());
        return kind;
    }
    THandOver(QObject* target, const std::function<void()>& fn, QSemaphore& done,
              std::exception_ptr& error)
        : QEvent(Kind()), target_(target), fn_(fn), done_(done), error_(error) {}
    ~THandOver() override {
        HappensBefore(&done_);
        done_.release();
    }
    void Run() {
        // A target gone before its turn came is not called, as with Qt's queued calls.
        if (!target_)
            return;
        try {
            fn_();
        } catch (...) {
            error_ = std::current_exception();
        }
    }

private:
    QPointer<QObject> target_;
    const std::function<void()>& fn_;
    QSemaphore& done_;
    std::exception_ptr& error_;
};

// Lives in the target's thread for one call, and goes with it.
class THandOverReceiver final : public QObject {
protected:
    bool event(QEvent* e) override {
        if (e->type() != THandOver::Kind())
            return QObject::event(e);
        HappensAfter(e);
        static_cast<THandOver*>(e)->Run();
        deleteLater();
        return true;
    }
};

// Runs fn in target's thread and waits; directly when already there. When the target is gone
// before the call runs, the caller is released without it.
void CallInThreadOf(QObject* target, const std::function<void()>& fn) {
    if (!target || QThread::currentThread() == target->thread()) {
        fn();
        return;
    }
    QSemaphore done;
    std::exception_ptr error;
    auto* receiver = new THandOverReceiver;
    receiver->moveToThread(target->thread());
    auto* call = new THandOver(target, fn, done, error);
    HappensBefore(call);
    QCoreApplication::postEvent(receiver, call);
    done.acquire();
    HappensAfter(&done);
    if (error)
        std::rethrow_exception(error);
}

bool HaveWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

} // namespace

void CallOnUserInterfaceThread(const std::function<void()>& fn) {
    CallInThreadOf(QCoreApplication::instance(), fn);
}

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
    // a run still going in the background. Once the last run has let go of them, all it did comes
    // before anything this one does (said to ThreadSanitizer too, which does not take the flag
    // for the hand-over it is).
    if (running_)
        throw TRLException(RLMessages[mkOutputStillRunning]);
    HappensAfter(&running_);
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
        auto* thread = new TFilterThread(this);
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
    const bool withWindow = showProgress_ && HaveWidgets();
    try {
        // Closing the window and letting go of the store happen however the loop ends.
        const auto finish = qScopeGuard([this, withWindow] {
            ReleasePages();
            if (withWindow && progress_) {
                try {
                    CallOnUserInterfaceThread([this] {
                        delete progress_;
                        progress_ = nullptr;
                    });
                } catch (...) {
                }
            }
            HappensBefore(&running_);
            running_ = false;
        });
        if (withWindow) {
            const QString caption =
                RLMessages[IsPrintFilter() ? mkPrintingInProgress : mkSavingReport];
            CallOnUserInterfaceThread([this, caption] {
                progress_ = new TfrmRLFeedBack(caption, 1);
                // Directly: the run may hold this filter's thread until it sees the cancel.
                connect(
                    progress_, &TfrmRLFeedBack::CancelRequested, this, [this] { Cancel(); },
                    Qt::DirectConnection);
                progress_->show();
            });
        }
        if (withWindow) {
            const int steps = (lastPage_ - firstPage_ + 1) * copies_;
            CallOnUserInterfaceThread([this, steps] { progress_->SetMax(std::max(0, steps)); });
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
            bool drawn = false;
            for (int copy = 1; copy <= copies_ && !canceled_; ++copy) {
                for (int p = firstPage_; p <= lastPage_; ++p) {
                    std::shared_ptr<TRLGraphicSurface> page;
                    if (TRLGraphicStorage* pages = pages_)
                        page = pages->Pages(p - 1);
                    // A store shorter than the range ends this copy's pages; no blank page is
                    // started for the missing one.
                    if (!page)
                        break;
                    if (drawn)
                        NewPage();
                    DrawPage(*page);
                    drawn = true;
                    if (withWindow)
                        CallOnUserInterfaceThread([this] { progress_->StepIt(); });
                    if (canceled_)
                        break;
                }
            }
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

TFilterThread::TFilterThread(TRLCustomFilter* filter) : filter_(filter) {
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

void TFilterThread::run() {
    if (!filter_)
        return;
    try {
        filter_->RunLoop();
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
