// The harness every hostile case relies on: a cap that really stops a program, a peak that
// really is the program's, a time limit that really ends it.
#include "CappedProcess.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

// A program that touches megabytes of memory, page by page, and then exits.
QStringList Touch(int megabytes) {
    return {QStringLiteral("-c"),
            QStringLiteral("b = bytearray(%1 << 20)\nfor i in range(0, len(b), 4096): b[i] = 1")
                .arg(megabytes)};
}

TEST(Harness, PeakIsWhatTheProgramTouched) {
    if (!kMemoryMeasurable)
        GTEST_SKIP() << "memory is not measurable in a sanitizer build";
    const CappedResult small = RunCapped(kPython, Touch(8));
    const CappedResult large = RunCapped(kPython, Touch(200));
    ASSERT_EQ(small.ExitCode, 0) << small.Describe().toStdString();
    ASSERT_EQ(large.ExitCode, 0) << large.Describe().toStdString();
    EXPECT_GE(large.PeakKb, 200 * 1024);
    EXPECT_LT(small.PeakKb, 100 * 1024);
}

TEST(Harness, CapStopsAProgramThatWantsMore) {
    if (!kMemoryMeasurable)
        GTEST_SKIP() << "a sanitizer build cannot run under an address-space cap";
    CappedOptions options;
    options.MemoryCapMb = 150;
    const CappedResult result = RunCapped(kPython, Touch(400), options);
    EXPECT_NE(result.ExitCode, 0) << result.Describe().toStdString();
    EXPECT_TRUE(result.ErrText().contains(QLatin1String("MemoryError")))
        << result.Describe().toStdString();
}

TEST(Harness, TimeLimitEndsAProgramAndSignalsReachIt) {
    CappedOptions options;
    options.TimeoutMs = 300;
    const CappedResult slow =
        RunCapped(QStringLiteral("/bin/sleep"), {QStringLiteral("30")}, options);
    EXPECT_TRUE(slow.TimedOut);

    CappedProcess waiting(QStringLiteral("/bin/sh"),
                          {QStringLiteral("-c"), QStringLiteral("echo ready >&2; exec sleep 30")});
    ASSERT_TRUE(waiting.WaitForError("ready", 5000));
    waiting.Signal(SIGTERM);
    const CappedResult stopped = waiting.Finish();
    EXPECT_FALSE(stopped.TimedOut);
    EXPECT_EQ(stopped.Signal, SIGTERM);
}

TEST(Harness, InputAndOutputPassThrough) {
    CappedOptions options;
    options.Input = "ñandú αβγ\n";
    const CappedResult result = RunCapped(QStringLiteral("/bin/cat"), {}, options);
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_EQ(result.Out, options.Input);
}

} // namespace
