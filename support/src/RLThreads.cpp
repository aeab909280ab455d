#include <kelmora/support/RLThreads.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QThread>

namespace Kelmora {

namespace {

std::mutex& HandOverLock() {
    static std::mutex lock;
    return lock;
}

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
    const std::lock_guard passing(HandOverLock());
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

} // namespace Kelmora
