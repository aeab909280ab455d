#include <kelmora/support/TerminationSignals.h>

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <stdexcept>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Kelmora {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// A signal handler may do next to nothing: it notes the first signal for the loops that poll,
// and writes the signal's number into a socket, from which the event loop reads it. -1 while no
// instance listens.
volatile sig_atomic_t writeEnd = -1;
int readEnd = -1;
// Lock-free, so that the handler may store into it and any thread read it.
std::atomic<int> firstSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnTerminationSignal(int signal) {
    const int saved = errno;
    int none = 0;
    firstSignal.compare_exchange_strong(none, signal);
    const unsigned char number = static_cast<unsigned char>(signal);
    if (writeEnd >= 0) [[maybe_unused]]
        const ssize_t written = ::write(writeEnd, &number, 1);
    errno = saved;
}

} // namespace

TTerminationSignals::TTerminationSignals(QObject* parent, TRepeat repeat) : QObject(parent) {
    if (writeEnd >= 0)
        throw std::logic_error("termination signals are already taken");
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0)
        throw std::runtime_error("cannot listen for termination signals");
    readEnd = ends[0];
    writeEnd = ends[1];
    firstSignal = 0;
    notifier_ = new QSocketNotifier(readEnd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TTerminationSignals::Receive);

    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    // The kernel puts the default action back as the first signal is delivered, so the second
    // of its kind ends the program.
    action.sa_flags = SA_RESTART | (repeat == TRepeat::EndsAtOnce ? SA_RESETHAND : 0);
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &action, &previous_[i]);
}

TTerminationSignals::~TTerminationSignals() {
    for (int i = 0; i < 3; ++i)
        sigaction(kSignals[i], &previous_[i], nullptr);
    const int write = writeEnd;
    writeEnd = -1;
    delete notifier_;
    ::close(write);
    ::close(readEnd);
    readEnd = -1;
}

int TTerminationSignals::Received() {
    return firstSignal.load(std::memory_order_relaxed);
}

const char* TTerminationSignals::Name(int signal) {
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    }
    return "a signal";
}

void TTerminationSignals::Receive() {
    unsigned char number = 0;
    int received = 0;
    while (::read(readEnd, &number, 1) == 1)
        received = number;
    if (received != 0)
        emit Terminated(received);
}

} // namespace Kelmora
