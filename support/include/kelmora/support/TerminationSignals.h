/// @file
/// The desktop ends a program with SIGTERM when the operator logs out, and a terminal with SIGHUP
/// or SIGINT. While a TTerminationSignals lives, those signals arrive as its Terminated signal on
/// the event loop's thread, where the program can end as on a normal exit: closing its windows
/// and deleting its scratch files on the way out. Programs whose work runs without an event loop
/// poll Received() between records and pages instead, stop there and unwind the same way.
#pragma once

#include <QObject>

#include <csignal>

class QSocketNotifier;

namespace Kelmora {

class TTerminationSignals : public QObject {
    Q_OBJECT
public:
    /// What a second signal of the kind already received does.
    enum class TRepeat {
        /// It is told like the first: the program decides when to end.
        Told,
        /// It ends the program at once, as if nobody listened: for work that cannot poll (a long
        /// database query), so that a second Ctrl-C still stops it.
        EndsAtOnce,
    };

    /// One instance at a time; the signals' earlier handlers come back when it goes.
    explicit TTerminationSignals(QObject* parent = nullptr, TRepeat repeat = TRepeat::Told);
    ~TTerminationSignals() override;
    TTerminationSignals(const TTerminationSignals&) = delete;
    TTerminationSignals& operator=(const TTerminationSignals&) = delete;

    /// The first termination signal received while an instance lived (kept after it goes, until
    /// the next instance is made); 0 when none came. Safe to call from any thread, and cheap
    /// enough to call for every record.
    static int Received();
    /// The exit status of a program that ended because of a signal, as the shells report it.
    static int ExitStatus(int signal) { return 128 + signal; }
    /// "SIGINT", "SIGTERM", "SIGHUP".
    static const char* Name(int signal);

signals:
    /// Emitted on the event loop's thread when a signal arrived; signals that arrive before the
    /// loop gets to them are told once, as the last of them.
    void Terminated(int signal);

private:
    void Receive();

    QSocketNotifier* notifier_ = nullptr;
    struct sigaction previous_[3] = {};
};

} // namespace Kelmora
