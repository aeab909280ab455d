// Records that a report reads as it goes, from the ends a hostile source can push them to:
// records as long as a record may be, that arrive through a pipe (nothing lands on disk), and a
// database query that runs for hours before its first row, which Ctrl-C must still end.
#include "HostileCase.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <thread>

namespace {

const QString kRltool = QStringLiteral("tools/rltool");

// One short line per record: the long field is read, never printed.
const char* const kNumberPerRecord = R"({ "class": "TRLReport", "name": "R", "children": [
    { "class": "TRLBand", "name": "B", "BandType": "btDetail", "Height": 20, "children": [
      { "class": "TRLLabel", "name": "N", "Left": 10, "Top": 2, "Expression": "n" } ] } ] })";

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QStringList Entries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                               QDir::NoDotAndDotDot);
}

// Whether the process has a thread of that name.
bool HasThread(pid_t pid, const QByteArray& name) {
    const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks + '/' + task + "/comm");
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name)
            return true;
    }
    return false;
}

class Records : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        // The scratch folder is the run's own; the toolkit's runtime folder is kept out of it.
        options_ = PrivateFolders(Scratch(), Runtime());
        WriteFile(Path("layout.json"), kNumberPerRecord);
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString Scratch() const { return Path("scratch"); }
    QString Runtime() const { return Path("runtime"); }

    QTemporaryDir dir_;
    CappedOptions options_;
};

// Writes JSON Lines records into a named pipe on a thread of its own: count records, each with
// its number and a text of textBytes letters. Stops early when the reader goes.
class RecordsPipe {
public:
    RecordsPipe(const QString& path, int count, qsizetype textBytes) : path_(path) {
        if (mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
            return;
        made_ = true;
        writer_ = std::thread([this, count, textBytes] {
            // Opening waits for the reader.
            const int fd = open(QFile::encodeName(path_).constData(), O_WRONLY | O_CLOEXEC);
            if (fd < 0)
                return;
            const QByteArray text(textBytes, 'x');
            for (int i = 0; i < count; ++i) {
                const QByteArray record =
                    "{\"n\": " + QByteArray::number(i) + ", \"texto\": \"" + text + "\"}\n";
                if (!WriteAll(fd, record))
                    break;
                written_ = i + 1;
            }
            close(fd);
        });
    }
    ~RecordsPipe() {
        if (!writer_.joinable())
            return;
        // A reader that never came: opening the other end lets the writer's open return.
        const int unblock = open(QFile::encodeName(path_).constData(), O_RDONLY | O_NONBLOCK);
        writer_.join();
        if (unblock >= 0)
            close(unblock);
    }
    bool Made() const { return made_; }
    int Written() const { return written_; }

private:
    static bool WriteAll(int fd, const QByteArray& bytes) {
        for (qsizetype at = 0; at < bytes.size();) {
            const ssize_t n = write(fd, bytes.constData() + at, size_t(bytes.size() - at));
            if (n <= 0)
                return false;
            at += n;
        }
        return true;
    }

    QString path_;
    bool made_ = false;
    std::atomic<int> written_ = 0;
    std::thread writer_;
};

// A reader that leaves the pipe early must not end the test with SIGPIPE.
class IgnoredBrokenPipes {
public:
    IgnoredBrokenPipes() {
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &ignore, &previous_);
    }
    ~IgnoredBrokenPipes() { sigaction(SIGPIPE, &previous_, nullptr); }

private:
    struct sigaction previous_ = {};
};

// 120 records of 5 MB each (600 MB of text, 1.2 GB as the program's texts) through a pipe: the
// records held stay within their budget, so the run takes a small part of that.
TEST_F(Records, LongRecordsThroughAPipeTakeBoundedMemory) {
    constexpr int kRecords = 120;
    const IgnoredBrokenPipes ignored;
    RecordsPipe pipe(Path("records.jsonl"), kRecords, 5 * 1024 * 1024);
    ASSERT_TRUE(pipe.Made());
    CappedOptions options = options_;
    options.MemoryCapMb = 1024;
    options.TimeoutMs = 120000;
    const CappedResult result = RunCapped(
        BuiltProgram(kRltool),
        {"prepare", Path("layout.json"), "--data", Path("records.jsonl"), "-o", Path("out.rpf")},
        options);
    ASSERT_EQ(result.ExitCode, 0) << result.Describe().toStdString();
    EXPECT_EQ(pipe.Written(), kRecords);
    EXPECT_TRUE(result.OutText().startsWith(QStringLiteral("3 page(s) written to ")))
        << result.Describe().toStdString();
    if (kMemoryMeasurable) {
        EXPECT_LT(result.PeakKb, 320 * 1024) << result.Describe().toStdString();
    }
    EXPECT_EQ(Entries(Scratch()), QStringList());
}

// A query that would count for hours before its first row ends at Ctrl-C: the program says it
// was interrupted, exits 130 and leaves no scratch file.
TEST_F(Records, ASignalStopsAQueryBeforeItsFirstRow) {
    // An empty file is an empty SQLite database; the query needs no table.
    WriteFile(Path("empty.db"), QByteArray());
    CappedOptions options = options_;
    options.TimeoutMs = 20000;
    const QString output = Path("out.rpf");
    CappedProcess run(BuiltProgram(kRltool),
                      {"prepare", Path("layout.json"), "--db", "sqlite:" + Path("empty.db"),
                       "--query",
                       "with recursive c(n) as (select 1 union all select n + 1 from c where n < "
                       "1000000000000) select max(n) as n from c",
                       "--progress", "-o", output},
                      options);
    // The thread that watches for the signal runs once the query is about to start.
    bool watching = false;
    for (int attempt = 0; attempt < 1000 && !watching; ++attempt) {
        watching = HasThread(run.Pid(), "kelmora-sqlstop");
        if (!watching)
            QThread::msleep(10);
    }
    ASSERT_TRUE(watching) << run.Finish().Describe().toStdString();
    QThread::msleep(300);
    run.Signal(SIGINT);
    const CappedResult result = run.Finish();
    ASSERT_FALSE(result.TimedOut) << result.Describe().toStdString();
    EXPECT_EQ(result.ExitCode, 130) << result.Describe().toStdString();
    EXPECT_TRUE(result.ErrText().contains(
        QStringLiteral("rltool prepare: interrupted by SIGINT; %1 was not written").arg(output)))
        << result.Describe().toStdString();
    EXPECT_FALSE(QFile::exists(output));
    EXPECT_EQ(Entries(Scratch()), QStringList());
}

} // namespace
