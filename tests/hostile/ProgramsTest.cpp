// The command-line programs stopped from outside: a signal in the middle of a long run ends it
// within moments, with its scratch files gone and an earlier output untouched; a kill between the
// steps of putting kelmora-batch's documents in place leaves OUTDIR with one whole run; the
// progress of a long run shows where it is asked for, and only there.
#include "HostileCase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace {

const QString kRltool = QStringLiteral("tools/rltool");
const QString kBatch = QStringLiteral("app/kelmora-batch");

// A page per record: the detail band is nearly as tall as the page.
const char* const kPagePerRecord = R"({ "class": "TRLReport", "name": "R", "children": [
    { "class": "TRLBand", "name": "B", "BandType": "btDetail", "Height": 900, "children": [
      { "class": "TRLLabel", "name": "L", "Left": 10, "Top": 4, "Caption": "Línea" } ] } ] })";

// More records than any machine prepares before the tests' signal reaches it.
constexpr int kManyRecords = 3'000'000;

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QStringList Entries(const QString& dir) {
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Every file of a folder with its bytes; folders are listed with a trailing "/".
QMap<QString, QByteArray> Snapshot(const QString& dir) {
    QMap<QString, QByteArray> files;
    for (const QFileInfo& entry : QDir(dir).entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                          QDir::System | QDir::NoDotAndDotDot)) {
        if (entry.isDir())
            files[entry.fileName() + '/'] = {};
        else
            files[entry.fileName()] = ReadAll(entry.filePath());
    }
    return files;
}

// The program said it pauses; it stops itself a moment later. Waits for that, as ps shows it.
bool WaitUntilStopped(pid_t pid) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        const QByteArray stat = ReadAll(QStringLiteral("/proc/%1/stat").arg(pid));
        // "PID (NAME) STATE ...": the state follows the name's closing parenthesis.
        const qsizetype close = stat.lastIndexOf(')');
        if (close > 0 && stat.mid(close + 2, 1) == "T")
            return true;
        QThread::msleep(10);
    }
    return false;
}

std::string Names(const QMap<QString, QByteArray>& files) {
    return QStringList(files.keys()).join(' ').toStdString();
}

class Programs : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        shared_ = new QTemporaryDir;
        ASSERT_TRUE(shared_->isValid());
        WriteFile(shared_->filePath("pages.json"), kPagePerRecord);
        WriteFile(shared_->filePath("many.jsonl"), QByteArray("{}\n").repeated(kManyRecords));
        WriteFile(shared_->filePath("few.jsonl"), QByteArray("{}\n").repeated(300));
    }
    static void TearDownTestSuite() {
        delete shared_;
        shared_ = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        // The scratch folder is the run's own; the toolkit's runtime folder is kept out of it.
        options_ = PrivateFolders(Scratch(), Runtime());
    }

    static QString Shared(const char* name) { return shared_->filePath(name); }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString Scratch() const { return Path("scratch"); }
    QString Runtime() const { return Path("runtime"); }

    static inline QTemporaryDir* shared_ = nullptr;
    QTemporaryDir dir_;
    CappedOptions options_;
};

// The run is stopped by each termination signal once it shows it is working. It ends on its own
// (well before the time limit), with 128 + the signal, says so naming the output, leaves no
// scratch file and no temporary file beside the output, and the earlier output is as it was.
TEST_F(Programs, EachTerminationSignalStopsAPrepareAndCleansUp) {
    const struct {
        int Signal;
        const char* Name;
        const char* Output;
    } cases[] = {
        {SIGTERM, "SIGTERM", "out.rpf"},
        {SIGINT, "SIGINT", "out.rpf"},
        {SIGHUP, "SIGHUP", "out.rpf"},
        {SIGINT, "SIGINT", "out.pdf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + " " + c.Output);
        const QString output = Path(c.Output);
        WriteFile(output, "earlier output");
        CappedProcess run(BuiltProgram(kRltool),
                          {"prepare", Shared("pages.json"), "--data", Shared("many.jsonl"),
                           "--progress", "-o", output},
                          options_);
        ASSERT_TRUE(run.WaitForError("page ", 30000)) << run.Finish().Describe().toStdString();
        // Straight to PDF no page is kept on disk; what is cleaned up there is the document begun.
        if (QString::fromLatin1(c.Output).endsWith(".pdf"))
            EXPECT_TRUE(Entries(Scratch()).isEmpty()) << "pages kept on disk";
        else
            EXPECT_FALSE(Entries(Scratch()).isEmpty())
                << "the run keeps its pages in scratch files";
        run.Signal(c.Signal);
        const CappedResult result = run.Finish();
        ASSERT_FALSE(result.TimedOut) << result.Describe().toStdString();
        EXPECT_EQ(result.ExitCode, 128 + c.Signal) << result.Describe().toStdString();
        EXPECT_TRUE(result.ErrText().contains(
            QStringLiteral("rltool prepare: interrupted by %1; %2 was not written")
                .arg(QLatin1String(c.Name), output)))
            << result.Describe().toStdString();
        EXPECT_EQ(Entries(Scratch()), QStringList()) << "scratch files left";
        EXPECT_EQ(ReadAll(output), "earlier output");
        EXPECT_EQ(Entries(dir_.path()), QStringList({c.Output, "runtime", "scratch"}));
        QFile::remove(output);
    }
}

// A stored document on its way to PDF stops between pages: no PDF, no half of one.
TEST_F(Programs, ASignalStopsAPdfBetweenPages) {
    const QString pages = Path("pages.rpf");
    CappedOptions prepare = options_;
    prepare.Environment["TMPDIR"] = Runtime();
    prepare.TimeoutMs = 180000;
    // Enough pages that the PDF takes far longer than the first progress line's two seconds,
    // on a fast machine too (one writing 80,000 of these pages a second): the signal must come
    // before the last page, whose line names the whole count as well.
    QFile few(Path("records.jsonl"));
    ASSERT_TRUE(few.open(QIODevice::WriteOnly));
    few.write(QByteArray("{}\n").repeated(500000));
    few.close();
    const CappedResult prepared = RunCapped(
        BuiltProgram(kRltool),
        {"prepare", Shared("pages.json"), "--data", few.fileName(), "-o", pages}, prepare);
    ASSERT_EQ(prepared.ExitCode, 0) << prepared.Describe().toStdString();
    const QString output = Path("out.pdf");
    WriteFile(output, "earlier output");
    CappedOptions writing = options_;
    writing.TimeoutMs = 180000;
    CappedProcess run(BuiltProgram(kRltool), {"pdf", pages, "--progress", "-o", output}, writing);
    ASSERT_TRUE(run.WaitForError(" of 500,000 ", 120000)) << run.Finish().Describe().toStdString();
    run.Signal(SIGINT);
    const CappedResult result = run.Finish();
    ASSERT_FALSE(result.TimedOut) << result.Describe().toStdString();
    EXPECT_EQ(result.ExitCode, 130) << result.Describe().toStdString();
    EXPECT_EQ(ReadAll(output), "earlier output");
    EXPECT_EQ(Entries(Scratch()), QStringList());
    EXPECT_EQ(Entries(dir_.path()),
              QStringList({"out.pdf", "pages.rpf", "records.jsonl", "runtime", "scratch"}));
}

// On a pipe the progress shows only with --progress, and then ends with the whole count; on a
// terminal it shows unasked, one line rewritten in place.
TEST_F(Programs, ProgressShowsWhereItIsAskedFor) {
    const QStringList prepare = {"prepare", Shared("pages.json"), "--data", Shared("few.jsonl"),
                                 "-o",      Path("out.rpf")};
    const CappedResult quiet = RunCapped(BuiltProgram(kRltool), prepare, options_);
    ASSERT_EQ(quiet.ExitCode, 0) << quiet.Describe().toStdString();
    EXPECT_EQ(quiet.ErrText(), QString());

    const CappedResult asked =
        RunCapped(BuiltProgram(kRltool), prepare + QStringList{"--progress"}, options_);
    ASSERT_EQ(asked.ExitCode, 0) << asked.Describe().toStdString();
    EXPECT_TRUE(asked.ErrText().endsWith(QStringLiteral("\n")));
    EXPECT_TRUE(asked.ErrText().contains(QStringLiteral("page 300 · 300 records · ")))
        << asked.Describe().toStdString();
    EXPECT_FALSE(asked.ErrText().contains(QLatin1Char('\r'))) << "a pipe gets plain lines";
    EXPECT_EQ(asked.Out, quiet.Out);

    const CappedResult pdf =
        RunCapped(BuiltProgram(kRltool),
                  {"pdf", Path("out.rpf"), "--progress", "-o", Path("out.pdf")}, options_);
    ASSERT_EQ(pdf.ExitCode, 0) << pdf.Describe().toStdString();
    EXPECT_TRUE(pdf.ErrText().contains(QStringLiteral("page 300 of 300 · ")))
        << pdf.Describe().toStdString();

    // script(1) gives the program a terminal of its own and copies what it writes there.
    QStringList quoted;
    for (const QString& argument : QStringList{BuiltProgram(kRltool)} + prepare)
        quoted << QLatin1Char('\'') + argument + QLatin1Char('\'');
    const CappedResult terminal =
        RunCapped(QStringLiteral("/usr/bin/script"),
                  {"-qec", quoted.join(QLatin1Char(' ')), "/dev/null"}, options_);
    ASSERT_EQ(terminal.ExitCode, 0) << terminal.Describe().toStdString();
    EXPECT_TRUE(terminal.OutText().contains(QStringLiteral("\rpage 300 · 300 records · ")))
        << terminal.Describe().toStdString();
}

// kelmora-batch's own documents, and the user's file beside them.
class Batch : public Programs {
protected:
    void SetUp() override {
        Programs::SetUp();
        QJsonObject request =
            QJsonDocument::fromJson(ReadAll(KELMORA_SOURCE_DIR "/docs/sample-request.json"))
                .object();
        WriteFile(Path("earlier.json"), QJsonDocument(request).toJson());
        // The later request makes the request document alone, for another person.
        request["Persona"] = QStringLiteral("PÉREZ, JUAN");
        request["SolicitaPasajes"] = false;
        request["SolicitaInscripcion"] = false;
        request["MedioIndice"] = -1;
        request["Medio"] = QStringLiteral("Tren");
        WriteFile(Path("later.json"), QJsonDocument(request).toJson());
    }

    CappedResult Batch_(const QString& request, const QString& outDir, const char* pause = "") {
        CappedOptions options = options_;
        if (*pause)
            options.Environment["KELMORA_BATCH_PAUSE_BEFORE"] = QString::fromLatin1(pause);
        return RunCapped(BuiltProgram(kBatch), {request, outDir}, options);
    }

    // The earlier run's documents in out (with the user's notes), and what a later run makes.
    void EarlierAndLater(const QStringList& extraFolders = {}) {
        ASSERT_EQ(Batch_(Path("earlier.json"), Path("out")).ExitCode, 0);
        WriteFile(Path("out/notas.txt"), "the user's own notes");
        for (const QString& folder : extraFolders)
            ASSERT_TRUE(QDir().mkpath(Path("out/") + folder));
        earlier_ = Snapshot(Path("out"));
        ASSERT_EQ(Batch_(Path("later.json"), Path("later")).ExitCode, 0);
        later_ = Snapshot(Path("later"));
        later_["notas.txt"] = earlier_["notas.txt"];
        for (const QString& folder : extraFolders)
            later_[folder + '/'] = {};
        ASSERT_NE(Names(earlier_), Names(later_));
    }

    // Stops the later run at a step of putting its documents in place and kills it there.
    void KillAt(const char* step) {
        CappedOptions options = options_;
        options.Environment["KELMORA_BATCH_PAUSE_BEFORE"] = QString::fromLatin1(step);
        CappedProcess run(BuiltProgram(kBatch), {Path("later.json"), Path("out")}, options);
        ASSERT_TRUE(run.WaitForError(QByteArray("paused before ") + step, 30000))
            << run.Finish().Describe().toStdString();
        run.Signal(SIGKILL);
        EXPECT_EQ(run.Finish().Signal, SIGKILL);
    }

    QMap<QString, QByteArray> earlier_;
    QMap<QString, QByteArray> later_;
};

// Killed before the swap OUTDIR is the earlier run's, after it the later run's: never a mix,
// never a document missing, and the user's notes are there either way.
TEST_F(Batch, AKillBetweenTheStepsLeavesOneWholeRun) {
    EarlierAndLater();
    KillAt("swap");
    EXPECT_EQ(Snapshot(Path("out")), earlier_) << Names(Snapshot(Path("out")));
    KillAt("clean");
    EXPECT_EQ(Snapshot(Path("out")), later_) << Names(Snapshot(Path("out")));
    // An undisturbed run over the later one changes nothing, and leaves nothing beside OUTDIR.
    ASSERT_EQ(Batch_(Path("later.json"), Path("out")).ExitCode, 0);
    EXPECT_EQ(Snapshot(Path("out")), later_);
    const QStringList beside = Entries(dir_.path()).filter(QStringLiteral(".kelmora-batch-"));
    EXPECT_EQ(beside.size(), 2) << "the two killed runs' folders, and no more";
}

// OUTDIR with a folder of the user's cannot be traded whole: each document is replaced in one
// step, so a kill before the first leaves the earlier run, and the run ends with the later one
// and the user's folder.
TEST_F(Batch, AnOutdirWithFoldersIsReplacedDocumentByDocument) {
    EarlierAndLater({"fotos"});
    KillAt("replace");
    EXPECT_EQ(Snapshot(Path("out")), earlier_) << Names(Snapshot(Path("out")));
    const CappedResult whole = Batch_(Path("later.json"), Path("out"));
    ASSERT_EQ(whole.ExitCode, 0) << whole.Describe().toStdString();
    EXPECT_EQ(Snapshot(Path("out")), later_) << Names(Snapshot(Path("out")));
}

// A file the user puts into OUTDIR while the run goes on is not lost with the earlier folder: it
// moves into the new one.
TEST_F(Batch, AFileThatCameDuringTheRunMovesIntoTheNewFolder) {
    EarlierAndLater();
    CappedOptions options = options_;
    options.Environment["KELMORA_BATCH_PAUSE_BEFORE"] = QStringLiteral("swap");
    CappedProcess run(BuiltProgram(kBatch), {Path("later.json"), Path("out")}, options);
    ASSERT_TRUE(run.WaitForError("paused before swap", 30000))
        << run.Finish().Describe().toStdString();
    ASSERT_TRUE(WaitUntilStopped(run.Pid()));
    WriteFile(Path("out/nueva.txt"), "written during the run");
    run.Signal(SIGCONT);
    const CappedResult result = run.Finish();
    ASSERT_EQ(result.ExitCode, 0) << result.Describe().toStdString();
    later_["nueva.txt"] = "written during the run";
    EXPECT_EQ(Snapshot(Path("out")), later_) << Names(Snapshot(Path("out")));
    EXPECT_EQ(Entries(dir_.path()).filter(QStringLiteral(".kelmora-batch-")), QStringList());
}

// The progress tells each document on a pipe when asked for, and nothing unasked.
TEST_F(Batch, ProgressTellsEachDocumentWhenAskedFor) {
    const CappedResult quiet = Batch_(Path("earlier.json"), Path("quiet"));
    ASSERT_EQ(quiet.ExitCode, 0) << quiet.Describe().toStdString();
    EXPECT_EQ(quiet.ErrText(), QString());
    const CappedResult asked = RunCapped(
        BuiltProgram(kBatch), {Path("earlier.json"), Path("asked"), "--progress"}, options_);
    ASSERT_EQ(asked.ExitCode, 0) << asked.Describe().toStdString();
    EXPECT_TRUE(asked.ErrText().startsWith(QStringLiteral("document 1 (declaracion-jurada) · ")))
        << asked.Describe().toStdString();
    EXPECT_TRUE(asked.ErrText().contains(QStringLiteral("\ndocument 3 (solicitud) · ")))
        << asked.Describe().toStdString();
    EXPECT_EQ(asked.Out, quiet.Out);
}

// A signal while the documents are prepared stops the run: status 128 + the signal, OUTDIR as it
// was, and neither the staging folder nor a scratch file left behind.
TEST_F(Batch, ASignalStopsTheRunAndLeavesOutdirAsItWas) {
    EarlierAndLater();
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        CappedOptions options = options_;
        options.Environment["KELMORA_BATCH_PAUSE_BEFORE"] = QStringLiteral("prepare");
        CappedProcess run(BuiltProgram(kBatch), {Path("later.json"), Path("out")}, options);
        ASSERT_TRUE(run.WaitForError("paused before prepare", 30000))
            << run.Finish().Describe().toStdString();
        ASSERT_TRUE(WaitUntilStopped(run.Pid()));
        run.Signal(signal);
        run.Signal(SIGCONT);
        const CappedResult result = run.Finish();
        EXPECT_EQ(result.ExitCode, 128 + signal) << result.Describe().toStdString();
        EXPECT_TRUE(result.ErrText().contains(Path("out") + " was left as it was"))
            << result.Describe().toStdString();
        EXPECT_EQ(Snapshot(Path("out")), earlier_);
        EXPECT_EQ(Entries(Scratch()), QStringList());
        EXPECT_EQ(Entries(dir_.path()).filter(QStringLiteral(".kelmora-batch-")), QStringList());
    }
}

} // namespace
