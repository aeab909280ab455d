// The desktop ends a program with SIGTERM when the operator logs out, and a terminal with SIGHUP
// or SIGINT. While a TTerminationSignals lives, those signals arrive as its Terminated signal on
// the event loop's thread, where the program can end as on a normal exit: closing its windows
// and deleting its scratch files on the way out.
#pragma once

#include <QObject>

#include <csignal>

class QSocketNotifier;

class TTerminationSignals : public QObject {
    Q_OBJECT
public:
    // One instance at a time; the signals' earlier handlers come back when it goes.
    explicit TTerminationSignals(QObject* parent = nullptr);
    ~TTerminationSignals() override;
    TTerminationSignals(const TTerminationSignals&) = delete;
    TTerminationSignals& operator=(const TTerminationSignals&) = delete;

signals:
    // Emitted on the event loop's thread when a signal arrived; signals that arrive before the
    // loop gets to them are told once, as the last of them.
    void Terminated(int signal);

private:
    void Receive();

    QSocketNotifier* notifier_ = nullptr;
    struct sigaction previous_[3] = {};
};
