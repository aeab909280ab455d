// Reading a file whole, but never more of it than a limit, whatever kind of file it is.
#include "TestSupport.h"
#include <kelmora/support/RLUtils.h>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <csignal>

#include <thread>

using namespace Kelmora;

using testsupport::ErrorOf;

namespace {

class ReadFileAtMostTest : public ::testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QTemporaryDir dir_;
};

TEST_F(ReadFileAtMostTest, RegularFilesUpToTheLimit) {
    const QByteArray full(100, 'x');
    EXPECT_EQ(ReadFileAtMost(Write("full", full), 100), full);
    EXPECT_EQ(ReadFileAtMost(Write("empty", QByteArray()), 100), QByteArray());
    const QString over = Write("over", full + 'y');
    EXPECT_EQ(ErrorOf([&] { ReadFileAtMost(over, 100); }), over + ": larger than 100 bytes");
    // Whole megabytes are told as such; a file larger by pieces read is still whole.
    const QByteArray mega(1024 * 1024, 'z');
    EXPECT_EQ(ReadFileAtMost(Write("mega", mega), mega.size()), mega);
    const QString overMega = Write("over-mega", mega + "!");
    EXPECT_EQ(ErrorOf([&] { ReadFileAtMost(overMega, mega.size()); }),
              overMega + ": larger than 1 MB");
}

TEST_F(ReadFileAtMostTest, EndlessDevicesAreCutAtTheLimit) {
    EXPECT_EQ(ErrorOf([] { ReadFileAtMost(QStringLiteral("/dev/zero"), 1024 * 1024); }),
              "/dev/zero: larger than 1 MB");
    EXPECT_EQ(ReadFileAtMost(QStringLiteral("/dev/null"), 10), QByteArray());
}

TEST_F(ReadFileAtMostTest, PipesAreReadToTheirEndOrTheLimit) {
    const QString fifo = dir_.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const auto feed = [&](qint64 bytes) {
        return std::thread([fifo, bytes] {
            QFile out(fifo);
            if (!out.open(QIODevice::WriteOnly))
                return;
            const QByteArray piece(1000, 'p');
            for (qint64 left = bytes; left > 0; left -= piece.size())
                if (out.write(piece.left(std::min<qint64>(left, piece.size()))) < 0)
                    return; // the reader stopped
        });
    };
    std::thread writer = feed(200 * 1000);
    EXPECT_EQ(ReadFileAtMost(fifo, 200 * 1000), QByteArray(200 * 1000, 'p'));
    writer.join();
    // The writer meets a closed pipe once the reader has had enough.
    const auto oldPipeAction = std::signal(SIGPIPE, SIG_IGN);
    writer = feed(1000 * 1000);
    EXPECT_EQ(ErrorOf([&] { ReadFileAtMost(fifo, 200 * 1000); }),
              fifo + ": larger than 200000 bytes");
    writer.join();
    std::signal(SIGPIPE, oldPipeAction);
}

TEST_F(ReadFileAtMostTest, WhatCannotBeReadIsSaid) {
    const QString missing = dir_.filePath(QStringLiteral("missing.json"));
    EXPECT_TRUE(
        ErrorOf([&] { ReadFileAtMost(missing, 100); }).startsWith(missing + ": cannot be read: "));
    EXPECT_EQ(ErrorOf([&] { ReadFileAtMost(dir_.path(), 100); }),
              dir_.path() + ": cannot be read: it is a folder");
}

} // namespace
