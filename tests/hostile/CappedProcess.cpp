#include "CappedProcess.h"

#include <QDateTime>
#include <QProcessEnvironment>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

namespace {

qint64 NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

QString BuiltProgram(const QString& relativePath) {
    return QStringLiteral(KELMORA_BINARY_DIR) + QLatin1Char('/') + relativePath;
}

QString CappedResult::Describe() const {
    QString how = TimedOut ? QStringLiteral("timed out")
                  : Signal ? QStringLiteral("killed by signal %1").arg(Signal)
                           : QStringLiteral("exit %1").arg(ExitCode);
    return QStringLiteral("%1, peak %2 MB, stderr: %3")
        .arg(how)
        .arg(PeakKb / 1024)
        .arg(QString::fromUtf8(Err.left(2000)));
}

CappedProcess::CappedProcess(const QString& program, const QStringList& arguments,
                             const CappedOptions& options)
    : Options_(options) {
    // Everything the child needs is prepared before fork: it may only call async-signal-safe
    // functions once forked from a threaded test program.
    std::vector<QByteArray> argStorage{program.toLocal8Bit()};
    for (const QString& argument : arguments)
        argStorage.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& argument : argStorage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto it = options.Environment.cbegin(); it != options.Environment.cend(); ++it)
        environment.insert(it.key(), it.value());
    std::vector<QByteArray> envStorage;
    for (const QString& entry : environment.toStringList())
        envStorage.push_back(entry.toLocal8Bit());
    std::vector<char*> envp;
    for (QByteArray& entry : envStorage)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    const QByteArray workingDirectory = options.WorkingDirectory.toLocal8Bit();

    int outPipe[2], errPipe[2], inPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0 ||
        pipe2(inPipe, O_CLOEXEC) != 0)
        return;
    StartedMs_ = NowMs();
    Pid_ = fork();
    if (Pid_ == 0) {
        dup2(inPipe[0], STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        setpgid(0, 0); // a run's helpers are stopped with it
        if (kMemoryMeasurable && options.MemoryCapMb > 0) {
            const rlim_t cap = rlim_t(options.MemoryCapMb) * 1024 * 1024;
            const rlimit limit{cap, cap};
            setrlimit(RLIMIT_AS, &limit);
        }
        if (!workingDirectory.isEmpty() && chdir(workingDirectory.constData()) != 0)
            _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    close(inPipe[0]);
    OutFd_ = outPipe[0];
    ErrFd_ = errPipe[0];
    if (Pid_ > 0 && !options.Input.isEmpty()) {
        // Small inputs only: a pipe holds 64 KiB, which is all the tests feed.
        const ssize_t written =
            write(inPipe[1], options.Input.constData(), size_t(options.Input.size()));
        (void)written;
    }
    close(inPipe[1]);
}

CappedProcess::~CappedProcess() {
    if (Pid_ > 0) {
        kill(-Pid_, SIGKILL);
        kill(Pid_, SIGKILL);
        waitpid(Pid_, nullptr, 0);
    }
    if (OutFd_ >= 0)
        close(OutFd_);
    if (ErrFd_ >= 0)
        close(ErrFd_);
}

bool CappedProcess::Pump(int timeoutMs) {
    pollfd fds[2];
    int count = 0;
    for (int fd : {OutFd_, ErrFd_})
        if (fd >= 0)
            fds[count++] = {fd, POLLIN, 0};
    if (count == 0)
        return false;
    if (poll(fds, nfds_t(count), timeoutMs) <= 0)
        return true;
    for (int i = 0; i < count; ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        char buffer[65536];
        const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
        const bool isOut = fds[i].fd == OutFd_;
        if (got > 0) {
            (isOut ? Result_.Out : Result_.Err).append(buffer, got);
        } else if (got == 0 || errno != EINTR) {
            close(fds[i].fd);
            (isOut ? OutFd_ : ErrFd_) = -1;
        }
    }
    return OutFd_ >= 0 || ErrFd_ >= 0;
}

bool CappedProcess::WaitForError(const QByteArray& text, int timeoutMs) {
    const qint64 deadline = NowMs() + timeoutMs;
    while (!Result_.Err.contains(text)) {
        const qint64 left = deadline - NowMs();
        if (left <= 0 || !Pump(int(qMin<qint64>(left, 100))))
            return Result_.Err.contains(text);
    }
    return true;
}

void CappedProcess::Signal(int signal) {
    if (Pid_ > 0)
        kill(Pid_, signal);
}

CappedResult CappedProcess::Finish() {
    if (Pid_ <= 0) {
        Result_.Err = "could not start the program";
        return Result_;
    }
    const qint64 deadline = StartedMs_ + Options_.TimeoutMs;
    while (true) {
        const qint64 left = deadline - NowMs();
        if (left <= 0) {
            Result_.TimedOut = true;
            kill(-Pid_, SIGKILL);
            kill(Pid_, SIGKILL);
            break;
        }
        if (!Pump(int(qMin<qint64>(left, 100))))
            break;
    }
    int status = 0;
    rusage usage{};
    while (wait4(Pid_, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    Pid_ = -1;
    // Reads what a killed program had left in the pipes.
    while (Pump(0)) {
    }
    Result_.PeakKb = usage.ru_maxrss;
    if (WIFEXITED(status))
        Result_.ExitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        Result_.Signal = WTERMSIG(status);
    return Result_;
}
