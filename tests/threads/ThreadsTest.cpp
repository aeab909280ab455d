// The thread helpers: calls handed to the interface thread and the pool whose results come back
// in order. scripts/test --tsan runs these under ThreadSanitizer, which must see every hand-over.
#include "TestSupport.h"
#include <kelmora/support/RLThreads.h>

#include <QCoreApplication>
#include <QSemaphore>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace Kelmora;

namespace {

constexpr int kDeadlineMs = 240000; // sanitizer builds are slow; a hang still ends the test

// Runs body on a thread of its own while the interface thread serves its events; true once body
// has returned.
bool RunOnWorker(const std::function<void()>& body) {
    std::atomic<bool> done{false};
    std::thread worker([&] {
        body();
        done = true;
    });
    const bool finished = QTest::qWaitFor([&] { return done.load(); }, kDeadlineMs);
    worker.join();
    return finished;
}

TEST(HandOver, RunsOnTheInterfaceThreadAndTheCallerSeesWhatItDid) {
    QThread* const interface = QCoreApplication::instance()->thread();
    // Plain values, written on one side and read on the other: the hand-over orders them.
    std::vector<int> written;
    QThread* ranOn = nullptr;
    std::vector<int> seenByWorker;
    ASSERT_TRUE(RunOnWorker([&] {
        for (int i = 0; i < 50; ++i) {
            CallOnUserInterfaceThread([&, i] {
                ranOn = QThread::currentThread();
                written.push_back(i);
            });
            seenByWorker.push_back(written.back());
        }
    }));
    EXPECT_EQ(ranOn, interface);
    ASSERT_EQ(written.size(), 50u);
    EXPECT_EQ(seenByWorker, written) << "a call returned before what it did could be seen";
}

// The interface thread calling itself must not wait for its own queue, nor need an event loop.
TEST(HandOver, RunsInlineOnItsOwnThread) {
    int calls = 0;
    CallOnUserInterfaceThread([&] { ++calls; });
    QObject here;
    CallInThreadOf(&here, [&] { ++calls; });
    CallInThreadOf(nullptr, [&] { ++calls; });
    EXPECT_EQ(calls, 3);
}

TEST(HandOver, AnExceptionReachesTheCaller) {
    QString caught;
    ASSERT_TRUE(RunOnWorker([&] {
        caught = testsupport::ErrorOf(
            [] { CallOnUserInterfaceThread([] { throw TRLException("disk full"); }); });
    }));
    EXPECT_EQ(caught, "disk full");
    EXPECT_EQ(
        testsupport::ErrorOf([] { CallOnUserInterfaceThread([] { throw TRLException("x"); }); }),
        "x");
}

// Several threads handing calls over at once: each call runs once, on the context's thread.
TEST(HandOver, ManyCallersAtOnce) {
    QThread contextThread;
    contextThread.start();
    auto* context = new QObject;
    context->moveToThread(&contextThread);
    int total = 0; // touched on the context's thread only
    std::atomic<bool> wrongThread{false};
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t)
        callers.emplace_back([&] {
            for (int i = 0; i < 100; ++i)
                CallInThreadOf(context, [&] {
                    wrongThread = wrongThread || QThread::currentThread() != &contextThread;
                    ++total;
                });
        });
    for (std::thread& caller : callers)
        caller.join();
    CallInThreadOf(context, [&] { EXPECT_EQ(total, 400); });
    EXPECT_FALSE(wrongThread);
    context->deleteLater();
    contextThread.quit();
    contextThread.wait();
}

TEST(OrderedJobs, ResultsComeInTheOrderPostedWhateverOrderTheyFinish) {
    TRLOrderedJobs<std::unique_ptr<int>> jobs(4);
    EXPECT_EQ(jobs.ThreadCount(), 4);
    constexpr int kJobs = 24;
    for (int i = 0; i < kJobs; ++i)
        jobs.Post([i] {
            // The first jobs of every four take longest, so later ones finish first.
            std::this_thread::sleep_for(std::chrono::milliseconds(2 * ((kJobs - i) % 4)));
            return std::make_unique<int>(i);
        });
    EXPECT_EQ(jobs.Pending(), size_t(kJobs));
    for (int i = 0; i < kJobs; ++i)
        EXPECT_EQ(*jobs.TakeOldest(), i);
    EXPECT_EQ(jobs.Pending(), 0u);
}

// What a job holds goes when its result is taken, on the taker's thread, never on the pool's:
// a page the caller made is freed where it was allocated.
TEST(OrderedJobs, WhatAJobHoldsGoesWhenItsResultIsTaken) {
    std::atomic<int> freed{0};
    std::thread::id freedOn;
    const auto held = [&] {
        return std::shared_ptr<int>(new int(7), [&](int* value) {
            freedOn = std::this_thread::get_id();
            delete value;
            ++freed;
        });
    };
    TRLOrderedJobs<int> jobs(1);
    jobs.Post([page = held()] { return *page; });
    jobs.Post([page = held()] { return *page * 2; });
    EXPECT_EQ(jobs.TakeOldest(), 7);
    EXPECT_EQ(freed.load(), 1) << "the second job still holds its own";
    EXPECT_EQ(freedOn, std::this_thread::get_id());
    EXPECT_EQ(jobs.TakeOldest(), 14);
    EXPECT_EQ(freed.load(), 2);
    EXPECT_EQ(freedOn, std::this_thread::get_id());
}

// A job's exception comes with its own result, in its place; the jobs around it are unharmed.
TEST(OrderedJobs, AFailedJobFailsAtItsTurn) {
    TRLOrderedJobs<int> jobs(3);
    for (int i = 0; i < 6; ++i)
        jobs.Post([i] {
            if (i == 2)
                throw TRLException("page 3: too large");
            return i * 10;
        });
    EXPECT_EQ(jobs.TakeOldest(), 0);
    EXPECT_EQ(jobs.TakeOldest(), 10);
    EXPECT_EQ(testsupport::ErrorOf([&] { jobs.TakeOldest(); }), "page 3: too large");
    EXPECT_EQ(jobs.TakeOldest(), 30);
    EXPECT_EQ(jobs.Pending(), 2u);
}

// A caller that helps does a job no thread has begun instead of idling: here the only thread is
// held by the first job until the second has run, which only the waiting caller can do.
TEST(OrderedJobs, ACallerThatHelpsDoesAJobNotBegunWhileItWaits) {
    QSemaphore started;
    QSemaphore gate;
    std::atomic<int> secondRuns{0};
    std::thread::id secondThread;
    {
        TRLOrderedJobs<int> jobs(1, TRLWaiting::Helps);
        jobs.Post([&] {
            started.release();
            // Bounded, so that a caller that only waits fails the test instead of hanging it.
            return gate.tryAcquire(1, 10000) ? 1 : -1;
        });
        started.acquire();
        jobs.Post([&] {
            ++secondRuns;
            secondThread = std::this_thread::get_id();
            gate.release();
            return 2;
        });
        jobs.Post([] { return 3; });
        EXPECT_EQ(jobs.TakeOldest(), 1) << "the first job never saw the second run";
        EXPECT_EQ(jobs.TakeOldest(), 2);
        EXPECT_EQ(jobs.TakeOldest(), 3);
        EXPECT_EQ(secondThread, std::this_thread::get_id());
    }
    // The pool's thread has let go of every job by now.
    EXPECT_EQ(secondRuns.load(), 1) << "a job done by its caller is not done again by the pool";

    // A caller that idles leaves every job to the pool, even one nobody has begun.
    TRLOrderedJobs<std::thread::id> idling(1);
    idling.Post([&] {
        gate.acquire();
        return std::this_thread::get_id();
    });
    idling.Post([] { return std::this_thread::get_id(); });
    gate.release();
    EXPECT_NE(idling.TakeOldest(), std::this_thread::get_id());
    EXPECT_NE(idling.TakeOldest(), std::this_thread::get_id());
}

// Going away with jobs posted: the job under way is waited for, those not started are dropped.
TEST(OrderedJobs, GoingAwayWaitsForTheJobUnderWayAndDropsTheRest) {
    std::atomic<int> ran{0};
    QSemaphore started;
    QSemaphore gate;
    std::thread opener;
    {
        TRLOrderedJobs<int> jobs(1);
        EXPECT_EQ(TRLOrderedJobs<int>(0).ThreadCount(), 1) << "a pool needs a thread";
        jobs.Post([&] {
            started.release();
            gate.acquire();
            return ++ran;
        });
        for (int i = 0; i < 10; ++i)
            jobs.Post([&] { return ++ran; });
        started.acquire();
        opener = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            gate.release();
        });
    }
    opener.join();
    EXPECT_EQ(ran.load(), 1);
}

} // namespace

// Work in slices on the interface thread: what the event loop holds (a window's click, a
// repaint) is served between slices, never inside a step, and nowhere else.
TEST(Slices, EventsAreServedBetweenSlicesOnlyWhenWindowsAreKeptLive) {
    for (const bool live : {false, true}) {
        bool served = false;
        int steps = 0;
        int servedAtStep = -1;
        RunInSlices(
            [&] {
                // What the first step leaves in the event loop, as a click during the work.
                if (steps == 0)
                    QMetaObject::invokeMethod(
                        QCoreApplication::instance(), [&] { served = true; }, Qt::QueuedConnection);
                // Long enough that ten steps make several slices.
                QThread::msleep(15);
                if (served && servedAtStep < 0)
                    servedAtStep = steps;
                return ++steps < 10;
            },
            live);
        EXPECT_EQ(steps, 10) << live;
        if (live) {
            EXPECT_GT(servedAtStep, 0);
            EXPECT_LT(servedAtStep, 9) << "the queued call waited for the work to end";
        } else {
            EXPECT_EQ(servedAtStep, -1) << "a run without windows served events";
            QCoreApplication::sendPostedEvents();
            EXPECT_TRUE(served);
        }
    }
}

// A Cancel heard between slices ends the work at the next step; a failure ends it at once and
// reaches the caller, with the loop left behind.
TEST(Slices, ACancelFromTheEventLoopIsHeardAndAFailureReachesTheCaller) {
    bool canceled = false;
    int steps = 0;
    QTimer::singleShot(0, [&] { canceled = true; });
    RunInSlices(
        [&] {
            QThread::msleep(15);
            ++steps;
            return !canceled && steps < 1000;
        },
        true);
    EXPECT_TRUE(canceled);
    EXPECT_LT(steps, 20);

    steps = 0;
    EXPECT_THROW(RunInSlices(
                     [&]() -> bool {
                         if (++steps == 3)
                             throw std::runtime_error("disk full");
                         return true;
                     },
                     true),
                 std::runtime_error);
    EXPECT_EQ(steps, 3);
    // The loop is gone: the interface thread's events are served by their usual loop again.
    bool later = false;
    QTimer::singleShot(0, [&] { later = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return later; }, kDeadlineMs));
}

// Off the interface thread there is no window to keep live: the steps run one after another,
// even where the thread has no event loop that a slice could come back from.
TEST(Slices, AWorkerThreadRunsItsStepsStraight) {
    int steps = 0;
    EXPECT_TRUE(RunOnWorker([&] { RunInSlices([&] { return ++steps < 50; }, true); }));
    EXPECT_EQ(steps, 50);
}
