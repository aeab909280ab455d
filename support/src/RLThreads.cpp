#include <kelmora/support/RLThreads.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimer>

#if defined(__SANITIZE_THREAD__)
#define KELMORA_UNDER_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KELMORA_UNDER_THREAD_SANITIZER 1
#endif
#endif
#ifdef KELMORA_UNDER_THREAD_SANITIZER
extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);
#endif

namespace Kelmora {

namespace {

// One call to run in another thread. The event and its receiver are made by the caller, and the
// other thread reads them only after the hand-over point; the caller is released when the event
// goes, whether it ran or was dropped with its thread's queue.
class THandOver final : public QEvent {
public:
    static QEvent::Type Kind() {
        static const auto kind = static_cast<QEvent::Type>(QEvent::registerEventType());
        return kind;
    }
    THandOver(QObject* context, const std::function<void()>& fn, QSemaphore& done,
              std::exception_ptr& error)
        : QEvent(Kind()), context_(context), fn_(fn), done_(done), error_(error) {}
    ~THandOver() override {
        HandOverPoint();
        done_.release();
    }
    void Run() {
        // A context gone before its turn came is not called, as with Qt's queued calls.
        if (!context_)
            return;
        try {
            fn_();
        } catch (...) {
            error_ = std::current_exception();
        }
    }

private:
    QPointer<QObject> context_;
    const std::function<void()>& fn_;
    QSemaphore& done_;
    std::exception_ptr& error_;
};

// Lives in the context's thread for one call, and goes with it. The context itself cannot take
// the event: its class is anybody's.
class THandOverReceiver final : public QObject {
protected:
    bool event(QEvent* e) override {
        if (e->type() != THandOver::Kind())
            return QObject::event(e);
        HandOverPoint();
        static_cast<THandOver*>(e)->Run();
        deleteLater();
        return true;
    }
};

} // namespace

void HandOverPoint() {
#ifdef KELMORA_UNDER_THREAD_SANITIZER
    // Every point takes in what the points before it gave and gives all it has: so whatever a
    // thread wrote before passing one point comes before what another thread does after passing
    // a later one, as an ordinary lock would say, were the checker always to hear it.
    static char token;
    __tsan_acquire(&token);
    __tsan_release(&token);
#endif
}

void CallInThreadOf(QObject* context, const std::function<void()>& fn) {
    if (!context || QThread::currentThread() == context->thread()) {
        fn();
        return;
    }
    QSemaphore done;
    std::exception_ptr error;
    auto* receiver = new THandOverReceiver;
    receiver->moveToThread(context->thread());
    auto* call = new THandOver(context, fn, done, error);
    HandOverPoint();
    QCoreApplication::postEvent(receiver, call);
    done.acquire();
    HandOverPoint();
    if (error)
        std::rethrow_exception(error);
}

void CallOnUserInterfaceThread(const std::function<void()>& fn) {
    CallInThreadOf(QCoreApplication::instance(), fn);
}

void RunInSlices(const std::function<bool()>& step, bool keepWindowsLive) {
    const QCoreApplication* app = QCoreApplication::instance();
    if (!keepWindowsLive || !app || QThread::currentThread() != app->thread()) {
        while (step()) {
        }
        return;
    }
    // Long enough that the loop's own cost is lost in the work, short enough that a window
    // answers at once to the eye.
    constexpr qint64 kSliceMilliseconds = 40;
    QEventLoop loop;
    QTimer slices;
    slices.setInterval(0);
    bool more = true;
    std::exception_ptr failure;
    QObject::connect(&slices, &QTimer::timeout, &loop, [&] {
        // Nothing may be thrown through the event loop: a failure ends the loop and is thrown
        // again once it has returned.
        try {
            QElapsedTimer slice;
            slice.start();
            do {
                more = step();
            } while (more && slice.elapsed() < kSliceMilliseconds);
        } catch (...) {
            failure = std::current_exception();
            more = false;
        }
        if (!more)
            loop.quit();
    });
    slices.start();
    loop.exec();
    slices.stop();
    if (failure)
        std::rethrow_exception(failure);
    // Told to end from outside (the application quits), the loop leaves the rest of the work
    // undone; it is finished without the windows, as the caller expects it finished.
    while (more && step()) {
    }
}

} // namespace Kelmora
