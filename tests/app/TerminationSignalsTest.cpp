// Log-out (SIGTERM), a closed terminal (SIGHUP) and Ctrl+C end the program as "Salir" does.
#include <kelmora/support/TerminationSignals.h>

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace Kelmora;

namespace {

bool HandlerIs(int signal, void (*handler)(int)) {
    struct sigaction current = {};
    sigaction(signal, nullptr, &current);
    return current.sa_handler == handler;
}

TEST(TerminationSignals, EachSignalReachesTheEventLoopAndTheOldHandlersComeBack) {
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        ASSERT_TRUE(HandlerIs(signal, SIG_DFL));
        {
            TTerminationSignals termination;
            QSignalSpy told(&termination, &TTerminationSignals::Terminated);
            std::raise(signal); // the process lives on: the handler only takes note
            ASSERT_TRUE(told.wait(5000)) << "signal " << signal << " did not arrive";
            EXPECT_EQ(told.count(), 1);
            EXPECT_EQ(told.at(0).at(0).toInt(), signal);
        }
        EXPECT_TRUE(HandlerIs(signal, SIG_DFL)) << "signal " << signal << " kept our handler";
    }
}

// Work that runs without the event loop polls: the first signal is kept, later ones do not
// overwrite it, and a new listener starts from none.
TEST(TerminationSignals, TheFirstSignalIsKeptForLoopsThatPoll) {
    {
        TTerminationSignals termination;
        EXPECT_EQ(TTerminationSignals::Received(), 0);
        std::raise(SIGHUP);
        EXPECT_EQ(TTerminationSignals::Received(), SIGHUP);
        std::raise(SIGINT);
        EXPECT_EQ(TTerminationSignals::Received(), SIGHUP);
    }
    EXPECT_EQ(TTerminationSignals::Received(), SIGHUP) << "forgotten when the listener went";
    TTerminationSignals next;
    EXPECT_EQ(TTerminationSignals::Received(), 0);
    EXPECT_EQ(TTerminationSignals::ExitStatus(SIGINT), 130);
}

// For the command-line programs a second Ctrl-C ends the run at once: the first puts the
// default action back for its own kind only, and the earlier handlers return all the same.
TEST(TerminationSignals, ASecondSignalOfTheKindCanEndTheProgram) {
    {
        TTerminationSignals termination(nullptr, TTerminationSignals::TRepeat::EndsAtOnce);
        EXPECT_FALSE(HandlerIs(SIGINT, SIG_DFL));
        std::raise(SIGINT);
        EXPECT_EQ(TTerminationSignals::Received(), SIGINT);
        EXPECT_TRUE(HandlerIs(SIGINT, SIG_DFL));
        EXPECT_FALSE(HandlerIs(SIGTERM, SIG_DFL));
        EXPECT_FALSE(HandlerIs(SIGHUP, SIG_DFL));
    }
    {
        TTerminationSignals told;
        std::raise(SIGINT);
        EXPECT_FALSE(HandlerIs(SIGINT, SIG_DFL)) << "the desktop hears every signal";
    }
    for (int signal : {SIGTERM, SIGHUP, SIGINT})
        EXPECT_TRUE(HandlerIs(signal, SIG_DFL));
}

TEST(TerminationSignals, OneListenerAtATime) {
    TTerminationSignals first;
    EXPECT_THROW(TTerminationSignals second, std::logic_error);
}

// The real program, ended as a desktop ends it at log-out.
TEST(TerminationSignals, TheProgramEndsNormallyOnSigterm) {
    QTemporaryDir temp;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QTemporaryDir runtime; // the toolkit's own, kept apart from the scratch directory
    environment.insert(QStringLiteral("TMPDIR"), temp.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(KELMORA_PROGRAM), {});
    ASSERT_TRUE(program.waitForStarted(5000));
    // Started once it has shown its main window: then the loop runs and listens.
    EXPECT_FALSE(program.waitForFinished(1500)) << program.readAllStandardError().toStdString();
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << "killed by the signal";
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(QDir(temp.path()).isEmpty())
        << QDir(temp.path()).entryList().join(u' ').toStdString();
}

} // namespace
