// Runs one of the built programs the way a hostile input meets it in the field: under a memory
// cap and a time limit, with the peak resident memory the kernel measured for it, and with the
// means to stop it halfway (a signal at a chosen moment).
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// Sanitizer builds reserve terabytes of address space and double what a program keeps resident:
// there a memory cap would stop every program at once and a peak figure says nothing.
#if defined(KELMORA_MEMORY_NOT_MEASURABLE)
inline constexpr bool kMemoryMeasurable = false;
#else
inline constexpr bool kMemoryMeasurable = true;
#endif

struct CappedOptions {
    // Address-space cap in MiB (ignored where memory is not measurable); 0 for none.
    qint64 MemoryCapMb = 2048;
    int TimeoutMs = 60000;
    // Written to the program's standard input, which is then closed; /dev/null when empty.
    QByteArray Input;
    // Added to (or replacing in) the inherited environment.
    QMap<QString, QString> Environment;
    QString WorkingDirectory;
};

struct CappedResult {
    int ExitCode = -1; // -1 when the program did not exit normally
    int Signal = 0;    // the signal that ended it, 0 when it exited
    bool TimedOut = false;
    QByteArray Out;
    QByteArray Err;
    qint64 PeakKb = 0; // peak resident memory as the kernel measured it

    QString ErrText() const { return QString::fromUtf8(Err); }
    QString OutText() const { return QString::fromUtf8(Out); }
    // One line for a failed expectation: how it ended and what it said.
    QString Describe() const;
};

// A program started under the cap; Finish() waits for it (killing it past the time limit).
class CappedProcess {
public:
    CappedProcess(const QString& program, const QStringList& arguments,
                  const CappedOptions& options = {});
    ~CappedProcess();
    CappedProcess(const CappedProcess&) = delete;
    CappedProcess& operator=(const CappedProcess&) = delete;

    pid_t Pid() const { return Pid_; }
    // Waits until the program's standard error holds text (true), or it ends or time runs out.
    bool WaitForError(const QByteArray& text, int timeoutMs);
    void Signal(int signal);
    CappedResult Finish();

private:
    bool Pump(int timeoutMs); // reads what is ready; false once both pipes are closed
    CappedOptions Options_;
    pid_t Pid_ = -1;
    int OutFd_ = -1;
    int ErrFd_ = -1;
    qint64 StartedMs_ = 0;
    CappedResult Result_;
};

inline CappedResult RunCapped(const QString& program, const QStringList& arguments,
                              const CappedOptions& options = {}) {
    CappedProcess process(program, arguments, options);
    return process.Finish();
}

// A built program by its path below the build folder ("tools/rltool").
QString BuiltProgram(const QString& relativePath);
