// The programs when the world fails: an unusable temporary folder, a full disk, a kill in the
// middle of a run, a printer that stops or refuses. Each must end with a clear message naming
// what failed, lose nothing and leave no half-written file.
#include "../e2e/ProgramRunner.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <functional>
#include <limits>

namespace {

struct TLaunch {
    QString Program = QStringLiteral("tools/rltool");
    QStringList Arguments = {};
    QString WorkDir = {};
    QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
    // The largest file the child may write, in bytes; writes beyond it fail with EFBIG, since the
    // child ignores SIGXFSZ (that signal would otherwise end it before it could say anything).
    qint64 FileSizeLimit = -1;
};

void Start(QProcess& process, const TLaunch& launch) {
    process.setProcessEnvironment(launch.Environment);
    process.setWorkingDirectory(launch.WorkDir);
    const qint64 limit = launch.FileSizeLimit;
    process.setChildProcessModifier([limit] {
        if (limit < 0)
            return;
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
        setrlimit(RLIMIT_FSIZE, &size);
    });
    process.start(BuiltProgram(launch.Program), launch.Arguments);
}

ProgramResult Execute(const TLaunch& launch) {
    QProcess process;
    Start(process, launch);
    return FinishProgram(process);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

// A folder's entries, as one line that a failed comparison prints readably.
std::string Listing(const QString& dir);

QStringList Entries(const QString& dir) {
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

std::string Listing(const QString& dir) {
    return Entries(dir).join(QLatin1Char(' ')).toStdString();
}

// A report of one detail band, one page or many depending on the records it runs over.
void WriteReport(const QDir& dir, int records) {
    WriteFile(dir.filePath("report.json"), R"({ "class": "TRLReport", "name": "R", "children": [
        { "class": "TRLBand", "name": "B", "BandType": "btDetail", "Height": 40, "children": [
          { "class": "TRLLabel", "name": "L", "Left": 10, "Top": 4, "Caption": "Línea" } ] } ] })");
    QByteArray data = "[";
    for (int i = 0; i < records; ++i)
        data += (i ? ",{\"n\":" : "{\"n\":") + QByteArray::number(i) + "}";
    WriteFile(dir.filePath("records.json"), data + "]");
}

class Faults : public ::testing::Test {
protected:
    QTemporaryDir dir_;
    QString Path(const QString& name) const { return dir_.filePath(name); }
};

// A TMPDIR that names no usable folder, outside a desktop session: the programs work all the
// same or name the folder, and create nothing at the root nor in the working folder.
TEST_F(Faults, UnusableTemporaryFolder) {
    ASSERT_TRUE(dir_.isValid());
    WriteReport(QDir(dir_.path()), 1);
    WriteFile(Path("a-file"), "not a folder");
    QFile::copy(QStringLiteral(KELMORA_SOURCE_DIR "/docs/sample-request.json"),
                Path("request.json"));
    const std::string before = Listing(QStringLiteral("/"));
    for (const QString& tmpdir : {QStringLiteral("/nonexistent/x"), Path("a-file")}) {
        for (const bool batch : {false, true}) {
            SCOPED_TRACE((tmpdir + (batch ? " kelmora-batch" : " rltool")).toStdString());
            const QString work = Path(batch ? "batch" : "rltool");
            ASSERT_TRUE(QDir().mkpath(work));
            TLaunch launch;
            launch.WorkDir = work;
            launch.Environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            launch.Environment.insert(QStringLiteral("TMPDIR"), tmpdir);
            const QString output = batch ? QStringLiteral("out") : QStringLiteral("out.rpf");
            if (batch) {
                launch.Program = QStringLiteral("app/kelmora-batch");
                launch.Arguments = QStringList{Path("request.json"), output};
            } else {
                launch.Arguments = QStringList{"prepare", Path("report.json"), "-o", output};
            }
            const ProgramResult r = Execute(launch);
            if (r.ExitCode == 0)
                EXPECT_TRUE(QFileInfo::exists(QDir(work).filePath(output)));
            else
                EXPECT_TRUE(r.ExitCode == 2 && r.Err.contains(tmpdir)) << r.Err.toStdString();
            EXPECT_EQ(Listing(work), output.toStdString()) << "scratch files in the working folder";
            EXPECT_EQ(Listing(QStringLiteral("/")), before) << "something was made at the root";
            QDir(work).removeRecursively();
        }
    }
}

// A full disk, made by a limit on the size of the files the program writes: while the page store
// grows, and while the output is written (in the middle, and at its last bytes). Status 2, the
// failing file named, and the output name as it was before: absent, or the earlier file intact.
TEST_F(Faults, FullDisk) {
    ASSERT_TRUE(dir_.isValid());
    WriteReport(QDir(dir_.path()), 600);
    const QString report = Path("report.json");
    const QString records = Path("records.json");
    ASSERT_EQ(Execute({.Arguments = {"prepare", report, "-o", Path("one.rpf")}}).ExitCode, 0);
    struct TCase {
        QStringList Arguments; // the output's name is appended, after "-o"
        QString Output;
        qint64 Short;   // the limit is so many bytes below the whole output's size; 0: half of it
        bool PageStore; // the page store's file fills up before the output is written
        bool Existing;
    };
    const TCase cases[] = {
        {{"prepare", report, "--data", records}, "many.rpf", 0, true, false},
        // The page itself fits in the page store's file; the output's last page does not.
        {{"sample", "--pages", "1"}, "sample.rpf", 100, false, true},
        {{"sample", "--pages", "1"}, "sample.rpf", 2, false, false},
        {{"pdf", Path("one.rpf")}, "one.pdf", 0, false, false},
        {{"pdf", Path("one.rpf")}, "one.pdf", 2, false, true},
        {{"prepare", report}, "prepared.pdf", 2, false, false},
        {{"prepare", report}, "prepared.pdf", 0, false, true},
    };
    for (const TCase& c : cases) {
        const QString output = Path(c.Output);
        SCOPED_TRACE((c.Arguments.join(' ') + " -o " + output).toStdString());
        TLaunch launch{.Arguments = c.Arguments + QStringList{"-o", output}};
        // The whole output's size, from a run without a limit.
        const ProgramResult whole = Execute(launch);
        ASSERT_EQ(whole.ExitCode, 0) << whole.Err.toStdString();
        const qint64 size = QFileInfo(output).size();
        QFile::remove(output);
        launch.FileSizeLimit = c.Short == 0 ? size / 2 : size - c.Short;
        if (c.Existing)
            WriteFile(output, "earlier");
        const std::string before = Listing(dir_.path());
        const ProgramResult r = Execute(launch);
        EXPECT_EQ(r.ExitCode, 2) << r.Out.toStdString();
        const QString named = c.PageStore ? QStringLiteral("page file") : output;
        EXPECT_TRUE(r.Err.contains(named)) << r.Err.toStdString();
        EXPECT_EQ(r.Err.count('\n'), 1) << "one line: " << r.Err.toStdString();
        EXPECT_EQ(Listing(dir_.path()), before);
        EXPECT_EQ(ReadAll(output), c.Existing ? QByteArray("earlier") : QByteArray());
        QFile::remove(output);
    }
}

// A picture that does not fit on the disk is refused with the system's reason, naming the file:
// the page's picture, a barcode, and kelmora-batch's pictures of its pages.
TEST_F(Faults, PicturesOnAFullDiskSayWhy) {
    ASSERT_TRUE(dir_.isValid());
    ASSERT_EQ(Execute({.Arguments = {"sample", "--pages", "1", "-o", Path("one.rpf")}}).ExitCode,
              0);
    const QString page = Path("page.png");
    const QString code = Path("code.png");
    const TLaunch launches[] = {
        // The page store's scratch file (some 23 kB) fits; the page's picture (some 110 kB)
        // does not.
        {.Arguments = {"render", Path("one.rpf"), "-o", page}, .FileSizeLimit = 40000},
        {.Arguments = {"barcode", "--type", "bcCode128B", "--module", "4", "KELMORA-2026", "-o",
                       code},
         .FileSizeLimit = 64},
    };
    for (const TLaunch& launch : launches) {
        const QString output = launch.Arguments.constLast();
        SCOPED_TRACE(output.toStdString());
        const ProgramResult r = Execute(launch);
        EXPECT_EQ(r.ExitCode, 2);
        // The picture library may say its own word first.
        // "File too large", in the language of the locale the suite runs in.
        EXPECT_TRUE(
            r.Err.endsWith(QStringLiteral("rltool %1: cannot write %2: %3\n")
                               .arg(launch.Arguments.constFirst(), output, qt_error_string(EFBIG))))
            << r.Err.toStdString();
    }
}

// kelmora-batch killed at several moments of its run: OUTDIR holds only whole documents, the
// same as an undisturbed run's (the PDF files differ in their creation date alone).
TEST_F(Faults, KilledBatchRun) {
    ASSERT_TRUE(dir_.isValid());
    const QString request = QStringLiteral(KELMORA_SOURCE_DIR "/docs/sample-request.json");
    TLaunch launch{.Program = "app/kelmora-batch", .Arguments = {request, Path("whole"), "--pdf"}};
    ASSERT_EQ(Execute(launch).ExitCode, 0);
    const QStringList whole = Entries(Path("whole"));
    ASSERT_EQ(whole.size(), 6);
    launch.Arguments[1] = Path("out");
    for (const int delayMs : {0, 30, 60, 90, 120, 150, 180, 250}) {
        SCOPED_TRACE(delayMs);
        QProcess process;
        Start(process, launch);
        ASSERT_TRUE(process.waitForStarted());
        QThread::msleep(static_cast<unsigned long>(delayMs));
        process.kill();
        process.waitForFinished();
        for (const QString& name : Entries(Path("out"))) {
            SCOPED_TRACE(name.toStdString());
            ASSERT_TRUE(whole.contains(name));
            const QByteArray bytes = ReadAll(QDir(Path("out")).filePath(name));
            const QByteArray expected = ReadAll(QDir(Path("whole")).filePath(name));
            if (name.endsWith(".rpf"))
                EXPECT_EQ(bytes, expected);
            else
                EXPECT_TRUE(bytes.size() == expected.size() && bytes.trimmed().endsWith("%%EOF"));
        }
    }
}

// The private print server of scripts/test, or nothing: its socket and the capture backend's
// folder, which the server's own queue prints into.
bool HavePrintServer() {
    return !qEnvironmentVariable("CUPS_SERVER").isEmpty() &&
           !qEnvironmentVariable("KELMORA_TEST_PRINTER").isEmpty() &&
           !qEnvironmentVariable("KELMORA_CAPTURE_DIR").isEmpty();
}

ProgramResult Cups(const QString& command, const QStringList& arguments) {
    return RunProgram(command, arguments, 15000);
}

// The jobs that the print server holds for one queue, by their numbers.
QStringList QueuedJobs(const QString& queue) {
    QStringList jobs;
    static const QRegularExpression line(QStringLiteral("^(\\S+)-(\\d+)\\s"));
    for (const QString& text : Cups("lpstat", {"-o", queue}).Out.split('\n')) {
        const auto match = line.match(text);
        if (match.hasMatch() && match.captured(1) == queue)
            jobs << match.captured(2);
    }
    return jobs;
}

bool WaitUntil(const std::function<bool()>& done, int milliseconds = 20000) {
    QDeadlineTimer deadline(milliseconds);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

// A queue of this test's own on the private server (the shared one, which other tests print to
// at the same time, must never be stopped), printing into a capture folder of its own: a job of
// it must not pass for another test's newest job. Removed again at the end.
class TOwnQueue {
public:
    TOwnQueue(const QString& role, const QString& captureDir)
        : name_(QStringLiteral("kelmora-fault-%1-%2")
                    .arg(role)
                    .arg(QCoreApplication::applicationPid())) {
        const ProgramResult added =
            Cups("lpadmin", {"-p", name_, "-E", "-v", "kelmora-capture:" + captureDir});
        added_ = added.ExitCode == 0;
        error_ = added.Err;
    }
    ~TOwnQueue() { Cups("lpadmin", {"-x", name_}); }
    const QString& Name() const { return name_; }
    bool Added() const { return added_; }
    const QString& Error() const { return error_; }

private:
    QString name_;
    bool added_ = false;
    QString error_;
};

// rltool print against a print server that fails in one way or another. A printer that cannot
// take the job ends the run with status 2 and one line naming the printer, and no word of pages
// sent; a stopped printer takes the job and keeps it until it starts again.
TEST_F(Faults, PrintingToAPrinterThatCannotPrint) {
    if (!HavePrintServer())
        GTEST_SKIP() << "no test print server (scripts/test starts one)";
    ASSERT_TRUE(dir_.isValid());
    const QString file = Path("three.rpf");
    ASSERT_TRUE(QDir().mkpath(Path("captured")));
    ASSERT_EQ(Execute({.Arguments = {"sample", "--pages", "3", "-o", file}}).ExitCode, 0);
    enum class TFault { ServerDown, Stopped, Rejecting, Removed };
    struct TCase {
        const char* Name;
        TFault Fault;
        // Besides the queue's name, a part of the error line that says what went wrong.
        QString Said;
    };
    const TCase cases[] = {
        {"server down", TFault::ServerDown, "The print service cannot be reached"},
        {"stopped", TFault::Stopped, {}},
        {"rejecting", TFault::Rejecting, "not accepting"},
        {"removed", TFault::Removed, "Printer not found"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TOwnQueue queue(QString::fromLatin1(c.Name).replace(' ', '-'), Path("captured"));
        ASSERT_TRUE(queue.Added()) << queue.Error().toStdString();
        TLaunch launch{.Arguments = {"print", file, "--printer", queue.Name()}};
        switch (c.Fault) {
        case TFault::ServerDown:
            launch.Environment.insert("CUPS_SERVER", Path("nobody-listens.sock"));
            break;
        case TFault::Stopped:
            ASSERT_EQ(Cups("cupsdisable", {queue.Name()}).ExitCode, 0);
            break;
        case TFault::Rejecting:
            ASSERT_EQ(Cups("cupsreject", {queue.Name()}).ExitCode, 0);
            break;
        case TFault::Removed:
            ASSERT_EQ(Cups("lpadmin", {"-x", queue.Name()}).ExitCode, 0);
            break;
        }
        const ProgramResult r = Execute(launch);
        if (c.Fault == TFault::Stopped) {
            ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
            EXPECT_TRUE(r.Out.contains(queue.Name())) << r.Out.toStdString();
            // The job waits in the queue and prints once the printer starts again.
            const QStringList held = QueuedJobs(queue.Name());
            ASSERT_EQ(held.size(), 1) << Cups("lpstat", {"-W", "all", "-o"}).Out.toStdString();
            ASSERT_EQ(Cups("cupsenable", {queue.Name()}).ExitCode, 0);
            const QDir captured(Path("captured"));
            const QString prefix = QStringLiteral("job%1-").arg(held[0]);
            EXPECT_TRUE(WaitUntil([&] {
                return !captured.entryList({prefix + "*.pdf"}, QDir::Files).isEmpty();
            })) << "the held job never printed";
            continue;
        }
        EXPECT_EQ(r.ExitCode, 2) << r.Out.toStdString();
        EXPECT_EQ(r.Err.count('\n'), 1) << "one line: " << r.Err.toStdString();
        EXPECT_TRUE(r.Err.contains(queue.Name())) << r.Err.toStdString();
        EXPECT_TRUE(r.Err.contains(c.Said, Qt::CaseInsensitive)) << r.Err.toStdString();
        if (c.Fault == TFault::ServerDown) {
            EXPECT_TRUE(r.Err.contains(Path("nobody-listens.sock"))) << "names the service";
        }
        EXPECT_FALSE(r.Out.contains("sent to")) << r.Out.toStdString();
    }
}

// The peak resident memory that /usr/bin/time -v reports at the end of its output, in
// kilobytes; a report without one counts as unbounded.
long long PeakKilobytes(const QString& timeOutput) {
    static const QRegularExpression peak(
        QStringLiteral("Maximum resident set size \\(kbytes\\): (\\d+)"));
    const QRegularExpressionMatch match = peak.match(timeOutput);
    return match.hasMatch() ? match.captured(1).toLongLong()
                            : std::numeric_limits<long long>::max();
}

// Input that would need unbounded memory is refused early, with a message naming what is wrong,
// and the program's peak memory (as /usr/bin/time measures it) stays far below what reading it
// whole would take: a layout nested 100,000 deep, a records file of 100 MB holding one string,
// a picture that declares 65535 x 65535 pixels, and one whose comment declares 2 GB.
TEST_F(Faults, OversizedInputsAreRefusedInBoundedMemory) {
    const QString time = QStringLiteral("/usr/bin/time");
    if (!QFile::exists(time))
        GTEST_SKIP() << "/usr/bin/time is not installed";
    constexpr int kDepth = 100000;
    QByteArray deep = R"({"class": "TRLReport", "name": "R", "children": [)";
    for (int i = 0; i < kDepth; ++i)
        deep += R"({"class": "TRLBand", "name": "B", "children": [)";
    for (int i = 0; i < kDepth; ++i)
        deep += "]}";
    WriteFile(Path("deep.json"), deep + "]}");

    const QByteArray layout = R"({"class": "TRLReport", "name": "R", "children": [
        {"class": "TRLBand", "name": "B", "BandType": "btDetail", "Height": 20, "children": [
          {"class": "TRLLabel", "name": "L", "Expression": "s"}]}]})";
    WriteFile(Path("layout.json"), layout);
    {
        QFile records(Path("records.json"));
        ASSERT_TRUE(records.open(QIODevice::WriteOnly));
        records.write(R"([{"s": ")");
        const QByteArray block(1024 * 1024, 'x');
        for (int i = 0; i < 100; ++i)
            records.write(block);
        records.write(R"("}])");
    }

    // A JPEG whose frame header claims 65535 x 65535 pixels.
    QByteArray jpeg = ReadAll(QStringLiteral(KELMORA_SOURCE_DIR "/assets/crest.jpg"));
    const qsizetype frame = jpeg.indexOf("\xFF\xC0");
    ASSERT_GT(frame, 0);
    jpeg.replace(frame + 5, 4, QByteArray("\xFF\xFF\xFF\xFF", 4));
    WriteFile(Path("huge.jpg"), jpeg);
    WriteFile(Path("picture.json"),
              QStringLiteral(R"({"class": "TRLReport", "name": "R", "children": [
        {"class": "TRLBand", "name": "B", "BandType": "btTitle", "Height": 60, "children": [
          {"class": "TRLImage", "name": "I", "Width": 50, "Height": 50, "Picture": "%1"}]}]})")
                  .arg(Path("huge.jpg"))
                  .toUtf8());

    // A PNG whose comment chunk declares 2 GB, right after a good header.
    QByteArray png = ReadAll(QStringLiteral(KELMORA_SOURCE_DIR "/docs/images/sales-by-city.png"));
    ASSERT_TRUE(png.startsWith("\x89PNG"));
    png.truncate(33);
    png += QByteArray("\x7F\xFF\xFF\xF0tEXtComment", 15) + QByteArray(64, 'x');
    WriteFile(Path("huge-comment.png"), png);
    WriteFile(Path("png.json"),
              QByteArray(ReadAll(Path("picture.json")))
                  .replace(Path("huge.jpg").toUtf8(), Path("huge-comment.png").toUtf8()));

    const struct {
        const char* Name;
        QStringList Arguments;
        const char* Says;
    } cases[] = {
        {"deep layout", {"deep.json"}, "too deeply nested"},
        {"one 100 MB string",
         {"layout.json", "--data", "records.json"},
         "record 0 is larger than 16 MB"},
        {"65535 x 65535 picture", {"picture.json"}, "I.Picture: not a picture that can be read"},
        {"PNG declaring a 2 GB comment", {"png.json"}, "I.Picture: not a picture that can be read"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QProcess process;
        process.setWorkingDirectory(dir_.path());
        process.start(time, QStringList{QStringLiteral("-v"), BuiltProgram("tools/rltool"),
                                        QStringLiteral("prepare")}
                                << c.Arguments << QStringLiteral("-o") << Path("out.rpf"));
        const ProgramResult r = FinishProgram(process);
        EXPECT_EQ(r.ExitCode, 2) << r.Err.toStdString();
        const QString said = r.Err.section(u'\n', 0, 0);
        EXPECT_TRUE(said.startsWith(QStringLiteral("rltool prepare: ")) &&
                    said.contains(QString::fromUtf8(c.Says)))
            << said.toStdString();
        // Far below the 100 MB file (or the 16 GB picture) read whole, sanitizer builds included.
        EXPECT_LT(PeakKilobytes(r.Err), 256 * 1024) << r.Err.toStdString();
        EXPECT_FALSE(QFile::exists(Path("out.rpf")));
    }
}

// Measures no page could need (found by the layout fuzzer: a margin of 8.9e71 mm, saturated to
// the int range, made the band sizes overflow) are refused by name; a layout's widest sane values
// and a count beyond them still prepare.
TEST_F(Faults, MeasuresBeyondAnyPageAreRefusedByName) {
    const auto layout = [](const char* report, const char* label) {
        return QStringLiteral(R"({"class": "TRLReport", "name": "R", %1 "children": [
            {"class": "TRLBand", "name": "B", "BandType": "btTitle", "Height": 40, "children": [
              {"class": "TRLLabel", "name": "L", "Caption": "x" %2}]}]})")
            .arg(QLatin1String(report), QLatin1String(label))
            .toUtf8();
    };
    const struct {
        const char* Report;
        const char* Label;
        const char* Says; // empty: the layout prepares
    } cases[] = {
        {R"("Margins": {"LeftMargin": 8.9e71},)", "", "R.Margins.LeftMargin: expected a number"},
        {R"("PageSetup": {"PaperSize": "fpCustom", "PaperWidth": -1e7},)", "",
         "R.PageSetup.PaperWidth: expected a number from -1000000 to 1000000"},
        {"", R"(, "Left": -2147483000)", "L.Left: expected a number"},
        {"", R"(, "Width": 1000001)", "L.Width: expected a number"},
        {"", R"(, "RealBounds": {"UsedUnit": "buMilimeters", "Width": 2e9})",
         "L.RealBounds.Width: expected a number"},
        {R"("RangeCount": 2000000000, "FirstPageNumber": 1000000,)", R"(, "Left": -1000000)", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Report + std::string(c.Label));
        WriteFile(Path("layout.json"), layout(c.Report, c.Label));
        QFile::remove(Path("out.rpf"));
        const ProgramResult r =
            Execute({.Arguments = {"prepare", Path("layout.json"), "-o", Path("out.rpf")}});
        if (*c.Says) {
            EXPECT_EQ(r.ExitCode, 2) << r.Err.toStdString();
            EXPECT_TRUE(r.Err.contains(QString::fromUtf8(c.Says))) << r.Err.toStdString();
            EXPECT_FALSE(QFile::exists(Path("out.rpf")));
        } else {
            EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
            EXPECT_TRUE(QFile::exists(Path("out.rpf")));
        }
    }
}

// A picture inside a page store that declares a huge image (a progressive JPEG of 267 bytes,
// found by the picture fuzzer) is refused before its decoder reserves buffers for it: decoding it
// once took 3 GB.
TEST_F(Faults, AHugeDeclaredPictureIsRefusedBeforeItsBuffersAreReserved) {
    const QString time = QStringLiteral("/usr/bin/time");
    const QString replay = BuiltProgram("tests/fuzz/picture_fuzzer_replay");
    if (!QFile::exists(time) || !QFile::exists(replay))
        GTEST_SKIP() << "needs /usr/bin/time and the picture fuzzer's replay program";
    QProcess process;
    process.start(time,
                  {QStringLiteral("-v"), replay,
                   QStringLiteral(KELMORA_SOURCE_DIR "/tests/fuzz/seeds/picture/"
                                                     "progressive-jpeg-declaring-a-huge-image")});
    const ProgramResult r = FinishProgram(process);
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_LT(PeakKilobytes(r.Err), 256 * 1024) << r.Err.toStdString();
}

} // namespace
