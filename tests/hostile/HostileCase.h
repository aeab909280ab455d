// What the hostile cases that prepare a hand-written layout share: a private folder, rltool
// under the memory cap, and the two ways such a case may end well (prepared within the bound,
// or refused in one line) with the peak memory checked wherever it can be measured.
#pragma once

#include "CappedProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// The most one input may make a program hold, as the layout documentation gives it.
inline constexpr qint64 kInputBoundKb = 512 * 1024;

// rltool's options for a hostile case: offscreen, under a cap above the bound (so that a
// regression shows as a figure, not as the machine swapping), and a minute at most.
inline CappedOptions HostileOptions(qint64 capMb = 2048, int timeoutMs = 60000) {
    CappedOptions options;
    options.MemoryCapMb = capMb;
    options.TimeoutMs = timeoutMs;
    options.Environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return options;
}

// Options for a run whose leftovers are checked: the scratch folder (TMPDIR) and the toolkit's
// runtime folder are private folders, made here, so that whatever the run leaves is in them.
inline CappedOptions PrivateFolders(const QString& scratch, const QString& runtime) {
    EXPECT_TRUE(QDir().mkpath(scratch));
    EXPECT_TRUE(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    CappedOptions options;
    options.Environment = {{QStringLiteral("TMPDIR"), scratch},
                           {QStringLiteral("XDG_RUNTIME_DIR"), runtime},
                           {QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}};
    return options;
}

inline CappedResult RunRltool(const QStringList& arguments,
                              const CappedOptions& options = HostileOptions()) {
    return RunCapped(BuiltProgram(QStringLiteral("tools/rltool")), arguments, options);
}

// It ended within the bound (when memory can be measured at all).
inline void ExpectWithinBound(const CappedResult& result, qint64 boundKb = kInputBoundKb) {
    ASSERT_FALSE(result.TimedOut) << result.Describe().toStdString();
    if (kMemoryMeasurable) {
        EXPECT_LT(result.PeakKb, boundKb) << result.Describe().toStdString();
    }
}

class HostileCase : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    void Write(const QString& name, const QByteArray& bytes) const {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

    // rltool prepare layout.json -o out.rpf, with more arguments after those.
    CappedResult Prepare(const QStringList& more = {},
                         const CappedOptions& options = HostileOptions()) const {
        return RunRltool(QStringList{QStringLiteral("prepare"), Path(QStringLiteral("layout.json")),
                                     QStringLiteral("-o"), Path(QStringLiteral("out.rpf"))} +
                             more,
                         options);
    }

    // It ended within the bound and wrote a page-store file smaller than maxBytes.
    void ExpectPrepared(const CappedResult& result, qint64 maxBytes) const {
        ExpectWithinBound(result);
        EXPECT_EQ(result.ExitCode, 0) << result.Describe().toStdString();
        const QFileInfo out(Path(QStringLiteral("out.rpf")));
        EXPECT_TRUE(out.exists());
        EXPECT_LT(out.size(), maxBytes);
    }

    // It ended within the bound, refusing in the one line given and writing nothing.
    void ExpectRefused(const CappedResult& result, const QString& line) const {
        ExpectWithinBound(result);
        EXPECT_EQ(result.ExitCode, 2) << result.Describe().toStdString();
        EXPECT_EQ(result.ErrText(), QStringLiteral("rltool prepare: ") + line + u'\n');
        EXPECT_FALSE(QFile::exists(Path(QStringLiteral("out.rpf"))));
    }

    // The same, for a line known by its start and its end (sizes between them vary).
    void ExpectRefused(const CappedResult& result, const QString& start, const QString& end) const {
        ExpectWithinBound(result);
        EXPECT_EQ(result.ExitCode, 2) << result.Describe().toStdString();
        const QString error = result.ErrText();
        EXPECT_EQ(error.count(u'\n'), 1) << error.toStdString();
        EXPECT_TRUE(error.startsWith(QStringLiteral("rltool prepare: ") + start))
            << error.toStdString();
        EXPECT_TRUE(error.endsWith(end + u'\n')) << error.toStdString();
        EXPECT_FALSE(QFile::exists(Path(QStringLiteral("out.rpf"))));
    }

    QTemporaryDir dir_;
};
