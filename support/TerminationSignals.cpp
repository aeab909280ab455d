#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <stdexcept>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// A signal handler may do next to nothing: it writes the signal's number into a socket, and the
// event loop reads it from there. -1 while no instance listens.
volatile sig_atomic_t writeEnd = -1;
int readEnd = -1;

extern "C" void OnTerminationSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    if (writeEnd >= 0) [[maybe_unused]]
        const ssize_t written = ::write(writeEnd, &number, 1);
    errno = saved;
}

} // namespace

TTerminationSignals::TTerminationSignals(QObject* parent) : QObject(parent) {
    if (writeEnd >= 0)
        throw std::logic_error("termination signals are already taken");
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0)
        throw std::runtime_error("cannot listen for termination signals");
    readEnd = ends[0];
    writeEnd = ends[1];
    notifier_ = new QSocketNotifier(readEnd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TTerminationSignals::Receive);

    struct sigaction action = {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
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

void TTerminationSignals::Receive() {
    unsigned char number = 0;
    int received = 0;
    while (::read(readEnd, &number, 1) == 1)
        received = number;
    if (received != 0)
        emit Terminated(received);
}
