/// @file
/// Work across threads, in one place: a call handed to another object's thread and waited for, and
/// jobs run on a pool of threads whose results come back in the order the jobs were posted.
///
/// ThreadSanitizer cannot see into the waits of Qt and of the C++ library, which are not built for
/// it. Every hand-over here therefore passes a hand-over point on both sides (HandOverPoint): the
/// queue that carries a hand-over orders the two sides, and the point tells the checker that
/// order. It does so with the checker's own marks rather than with a lock or an atomic flag: a
/// thread that has printed through the system's printing library is no longer heard taking locks
/// or atomics, while its marks still are. Elsewhere the point costs nothing.
#pragma once

#include <QRunnable>
#include <QSemaphore>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QObject;

namespace Kelmora {

/// Passed by a sending thread once what it hands over is written, and by the receiving thread
/// before it reads it. For ThreadSanitizer only: the order itself must come from a real wait.
void HandOverPoint();

/// Runs fn in the thread of context and waits for it; directly when already there, or when there
/// is no context. An exception thrown by fn reaches the caller. When context goes before the call's
/// turn comes, fn is not called and the caller goes on.
void CallInThreadOf(QObject* context, const std::function<void()>& fn);

/// Runs fn on the user-interface thread (the application object's) and waits for it; directly when
/// already there, or when there is no application object.
void CallOnUserInterfaceThread(const std::function<void()>& fn);

/// Runs step until it returns false. With keepWindowsLive, on the user-interface thread, the steps
/// run in slices of a few hundredths of a second from a local event loop, so that between slices
/// the windows repaint and hear their buttons (a progress window's Cancel) while the work goes on
/// in the same thread as the objects it uses; events are never pumped from inside a step. Anywhere
/// else, or without keepWindowsLive, the steps run one after another. An exception from a step
/// ends the run and reaches the caller. When the loop is told to end from outside (the
/// application quits), the steps left run one after another.
void RunInSlices(const std::function<bool()>& step, bool keepWindowsLive);

/// What the caller of TRLOrderedJobs::TakeOldest does while the result it asks for is not ready.
enum class TRLWaiting : uint8_t {
    /// It only waits: the pool's threads have every core between them.
    Idles,
    /// It does a job no thread has begun (the one it waits for, or a later one) instead of
    /// idling. For a pool of fewer threads than cores, whose caller keeps a core for work of its
    /// own and lends it to the jobs once they fall behind.
    Helps
};

/// Runs jobs on threads of its own, at most the given number at once, and hands their results
/// back in the order the jobs were posted. The caller decides how many jobs may wait for it: each
/// posted job's result is held until it is taken. What a job holds goes when its result is taken,
/// on the taker's thread: memory the caller allocated is freed where it came from.
template <class T> class TRLOrderedJobs {
public:
    explicit TRLOrderedJobs(int threads, TRLWaiting waiting = TRLWaiting::Idles)
        : waiting_(waiting) {
        pool_.setMaxThreadCount(std::max(1, threads));
    }
    /// Jobs not started are dropped, since nobody waits for them any more; the jobs under way are
    /// waited for, and results not taken go while the threads that made them are still there.
    ~TRLOrderedJobs() {
        pool_.clear();
        pool_.waitForDone();
        results_.clear();
    }
    TRLOrderedJobs(const TRLOrderedJobs&) = delete;
    TRLOrderedJobs& operator=(const TRLOrderedJobs&) = delete;

    int ThreadCount() const { return pool_.maxThreadCount(); }
    /// Jobs posted whose results have not been taken.
    size_t Pending() const { return results_.size(); }

    void Post(std::function<T()> job) {
        auto result = std::make_shared<Result>(std::move(job));
        auto* runnable = new Job(result);
        results_.push_back(std::move(result));
        HandOverPoint();
        pool_.start(runnable);
    }

    /// The oldest result not taken, once its job is done; the job's exception when it threw.
    T TakeOldest() {
        std::shared_ptr<Result> result = std::move(results_.front());
        results_.pop_front();
        while (waiting_ == TRLWaiting::Helps && !result->TryRun() &&
               result->Done.available() == 0) {
            // The oldest is under way on a thread: a later job nobody has begun is done here
            // meanwhile, or else there is nothing left but to wait.
            const auto later = std::find_if(results_.begin(), results_.end(),
                                            [](const auto& waiting) { return waiting->TryRun(); });
            if (later == results_.end())
                break;
        }
        result->Done.acquire();
        HandOverPoint();
        result->Work = nullptr;
        const std::exception_ptr error = result->Error;
        // Taken apart here; the job's thread may be the one to free what is left of the result,
        // after the point.
        if (error) {
            HandOverPoint();
            std::rethrow_exception(error);
        }
        T value = std::move(*result->Value);
        HandOverPoint();
        return value;
    }

private:
    /// A job's work and what came of it. Whichever thread claims it first does the work: one of
    /// the pool's, or the one waiting for it.
    struct Result {
        explicit Result(std::function<T()> work) : Work(std::move(work)) {}
        /// Taken apart by whichever thread lets go of it last: the taker, or a pool thread whose
        /// job ends after the result was taken. The reference count orders the two, unseen by
        /// the checker; the point here comes after the other thread's last one.
        ~Result() { HandOverPoint(); }
        /// Does the work unless another thread has claimed it; whether this call did.
        bool TryRun() {
            if (Claimed.exchange(true, std::memory_order_acq_rel))
                return false;
            HandOverPoint();
            try {
                Value.emplace(Work());
            } catch (...) {
                Error = std::current_exception();
            }
            HandOverPoint();
            Done.release();
            return true;
        }
        std::atomic<bool> Claimed{false};
        std::function<T()> Work;
        QSemaphore Done;
        std::optional<T> Value;
        std::exception_ptr Error;
    };
    class Job final : public QRunnable {
    public:
        explicit Job(std::shared_ptr<Result> result) : result_(std::move(result)) {}
        /// The pool frees a job on its thread, which lets go of the result last when it has
        /// already been taken.
        ~Job() override { HandOverPoint(); }
        void run() override {
            // The job was handed over through the pool's queue, which the checker cannot see.
            HandOverPoint();
            result_->TryRun();
        }

    private:
        std::shared_ptr<Result> result_;
    };

    /// Declared first so that it goes last: the results' destructors run on the caller's thread
    /// while the pool's threads still exist.
    QThreadPool pool_;
    std::deque<std::shared_ptr<Result>> results_;
    const TRLWaiting waiting_;
};

} // namespace Kelmora
