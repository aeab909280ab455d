// Printing for real to the private print server's capture queue, read back with the PDF tools.
#include "OutputTestSupport.h"
#include <kelmora/pagestore/RLCanvas.h>

#include <QMessageBox>

#include <gtest/gtest.h>

#include <atomic>

using namespace Kelmora;

using namespace outputtest;

namespace {

// A job title, or queue name, no other test process uses.
QString UniqueTitle(const QString& what) {
    static std::atomic<int> counter{0};
    const qint64 pid = QCoreApplication::applicationPid();
    return QStringLiteral("kelmora-%1-%2-%3").arg(what).arg(pid).arg(++counter);
}

// The documents captured for a title, in job order, once there are count of them.
QStringList WaitForJobs(const QString& title, int count) {
    static const QRegularExpression pattern("^job(\\d+)-(.*)\\.pdf$");
    QMap<int, QString> jobs;
    WaitFor([&] {
        const QDir dir(CaptureDir());
        for (const QString& name : dir.entryList({"job*.pdf"}, QDir::Files))
            if (const auto match = pattern.match(name); match.captured(2) == title)
                jobs.insert(match.captured(1).toInt(), dir.filePath(name));
        return jobs.size() >= count;
    });
    return jobs.values();
}

QList<int> Printed(const QString& file) {
    return NumbersAfter("PAGE", PdfText(file));
}

// What the capture backend noted of a job.
QString JobInfo(const QString& pdf, const QString& key) {
    QFile file(pdf + ".info");
    const QString info = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : "";
    return QRegularExpression("^" + key + "=(.*)$", QRegularExpression::MultilineOption)
        .match(info)
        .captured(1);
}

int IndexOf(const QString& name) {
    for (int i = 0; i < RLPrinter().PrinterCount(); ++i)
        if (RLPrinter().PrinterNames(i) == name)
            return i;
    return -1;
}

void SelectPrinter(const QString& name) {
    RLPrinter().Refresh();
    RLPrinter().SetPrinterIndex(IndexOf(name));
    ASSERT_EQ(RLPrinter().PrinterName(), name);
}

// A queue of the private server, printing into captures, for as long as it lives.
struct TQueue {
    TQueue(const QString& what, const QString& captures) : Name(UniqueTitle(what)) {
        Added = RunProgram("lpadmin", {"-p", Name, "-E", "-v", "kelmora-capture:" + captures});
    }
    ~TQueue() { RunProgram("lpadmin", {"-x", Name}); }
    QString Name;
    ProgramResult Added;
};

class Printing : public ::testing::Test {
protected:
    void SetUp() override {
        if (TestPrinter().isEmpty() || CaptureDir().isEmpty())
            GTEST_SKIP() << "no test printer (scripts/test starts one)";
        SelectPrinter(TestPrinter());
        SpoolFilter().SetShowProgress(false);
        SpoolFilter().SetRepeatForCopies(false);
        RLPrinter().SetCopies(1);
    }
    QObject owner;
    TRLGraphicStorage store{&owner};
};
class PrinterWrapper : public Printing {};
class PrinterFaults : public Printing {};
class RltoolPrint : public Printing {};

} // namespace

// The copies are drawn by the filter when it repeats the range for them, the job then asking
// for one; else the job asks the printer for them.
TEST_F(Printing, EachRunPrintsItsRangeAsOneJob) {
    const struct {
        const char* Name;
        int Pages, First, Last;
        bool Background; // with its progress window
        bool RepeatForCopies;
        int Copies;
        QList<int> Printed;
        const char* JobCopies;
    } runs[] = {
        {"fg", 3, 0, -1, false, false, 1, {1, 2, 3}, "1"},
        {"bg", 4, 2, 3, true, false, 1, {2, 3}, "1"},
        {"copies-filter", 3, 1, -1, false, true, 2, {1, 2, 3, 1, 2, 3}, "1"},
        {"copies-printer", 3, 1, -1, false, false, 2, {1, 2, 3}, "2"},
    };
    for (const auto& r : runs) {
        SCOPED_TRACE(r.Name);
        TRLGraphicStorage pages(&owner);
        const QString title = UniqueTitle(r.Name);
        FillStore(pages, r.Pages, title);
        SpoolFilter().SetShowProgress(r.Background);
        SpoolFilter().SetRepeatForCopies(r.RepeatForCopies);
        RLPrinter().SetCopies(r.Copies);
        FinishListener finished(SpoolFilter());
        FilterPages(&pages, nullptr, r.First, r.Background, r.Last);
        ASSERT_TRUE(finished.Wait());
        EXPECT_TRUE(finished.Error.isEmpty()) << finished.Error.toStdString();

        const QStringList jobs = WaitForJobs(title, 1);
        ASSERT_EQ(jobs.size(), 1);
        EXPECT_EQ(PdfPageSizes(jobs[0]), QList<QSize>(r.Printed.size(), QSize(595, 842))); // A4
        EXPECT_EQ(Printed(jobs[0]), r.Printed);
        EXPECT_EQ(JobInfo(jobs[0], "copies"), QString(r.JobCopies));
    }
}

// Every page lands on its sheet placed from the sheet's edge, not from the printable area's.
TEST_F(Printing, ALandscapePageStartsASecondDocument) {
    const QString title = UniqueTitle("landscape");
    FillStore(store, 3, title, [](int n) {
        return PagePaper{n == 3 ? MetaOrientationLandscape : MetaOrientationPortrait};
    });
    FilterPages(&store, nullptr, 1, false, -1);
    const QStringList jobs = WaitForJobs(title, 2);
    ASSERT_EQ(jobs.size(), 2);
    EXPECT_EQ(PdfPageSizes(jobs[0]), QList<QSize>(2, QSize(595, 842)));
    EXPECT_EQ(PdfPageSizes(jobs[1]), QList<QSize>(1, QSize(842, 595)));
    EXPECT_EQ(Printed(jobs[0]), QList<int>({1, 2}));
    EXPECT_EQ(Printed(jobs[1]), QList<int>({3}));

    // Page 2 (second sheet of the first job) and page 3: the block of page n lies at
    // (100, 300 + 40 n) on the sheet as on the screen, to the pixel.
    for (const auto& [job, sheetNumber, index, size] :
         {std::tuple(jobs[0], 2, 1, QSize(794, 1123)),
          std::tuple(jobs[1], 1, 2, QSize(1123, 794))}) {
        SCOPED_TRACE(index + 1);
        const QImage sheet = RasterizePdf(job, sheetNumber, 96);
        ASSERT_EQ(sheet.size(), size);
        const QRect block(100, 340 + 40 * index, 200, 40);
        for (const QImage& image : {sheet, DrawnDirectly(*store.Pages(index))})
            EXPECT_EQ(InkBox(image, block.adjusted(-10, -10, 10, 10)), block);
    }
}

// Ending a document hands the printer back with its defaults.
TEST_F(PrinterWrapper, DeviceSettingsFollowThePaperAndReturnAfterTheDocument) {
    TRLPrinterWrapper& printer = RLPrinter();
    const TRLDeviceSettings defaults = printer.DeviceSettings();

    printer.SetPaperSize(false, 210, 297);
    const TRLPrinterMetrics a4 = printer.LoadMetrics();

    printer.SetPaperSize(true, 100, 150);
    const TRLDeviceSettings& set = printer.DeviceSettings();
    EXPECT_EQ(std::tuple(set.PaperSize, set.PaperLength, set.PaperWidth, set.Orientation),
              std::tuple(CustomPaperCode, 1500, 1000, DeviceOrientationLandscape));
    const TRLPrinterMetrics custom = printer.LoadMetrics();
    // The printer's own answer, not the fallback Letter sheet: landscape, the sheet is 150 mm
    // wide and 100 mm high (the service keeps paper sizes in whole points).
    const double point = custom.PPIX / 72.0;
    EXPECT_NEAR(custom.PhysicalWidth, custom.PPIX * 150 / 25.4, point);
    EXPECT_NEAR(custom.PhysicalHeight, custom.PPIY * 100 / 25.4, point);

    printer.SetCopies(3);
    TRLCanvas& canvas = printer.BeginDoc(UniqueTitle("settings"));
    EXPECT_EQ(canvas.PixelsPerInch(), custom.PPIY);
    printer.EndDoc();
    EXPECT_EQ(printer.Canvas(), nullptr);
    EXPECT_EQ(printer.DeviceSettings(), defaults);
    EXPECT_EQ(printer.Copies(), 1);

    printer.Refresh();
    printer.SetPaperSize(false, 210, 297);
    EXPECT_EQ(MetricsText(printer.LoadMetrics()), MetricsText(a4));
}

TEST_F(PrinterWrapper, RefreshKeepsTheSelectionWithinTheNewList) {
    const TQueue queue("zz-refresh", CaptureDir());
    const QString& extra = queue.Name;
    if (queue.Added.ExitCode != 0)
        GTEST_SKIP() << "cannot add a queue: " << queue.Added.Err.toStdString();

    TRLPrinterWrapper& printer = RLPrinter();
    ASSERT_NO_FATAL_FAILURE(SelectPrinter(extra));
    // Indexes outside the list change nothing.
    printer.SetPrinterIndex(printer.PrinterCount());
    printer.SetPrinterIndex(-1);
    EXPECT_EQ(printer.PrinterName(), extra);

    // A queue added elsewhere before the chosen one moves the positions; the choice stays.
    const TQueue before("aa-refresh", CaptureDir());
    ASSERT_EQ(before.Added.ExitCode, 0);
    printer.Refresh();
    EXPECT_EQ(printer.PrinterName(), extra);
    ASSERT_EQ(RunProgram("lpadmin", {"-x", before.Name}).ExitCode, 0);
    printer.Refresh();
    EXPECT_EQ(printer.PrinterName(), extra);
    const int index = printer.PrinterIndex();

    ASSERT_EQ(RunProgram("lpadmin", {"-x", extra}).ExitCode, 0);
    printer.Refresh();
    // Other tests add and remove queues of their own on the same server meanwhile: the list is
    // judged by what it holds, and the selection by the list it now has.
    EXPECT_EQ(IndexOf(extra), -1);
    EXPECT_EQ(printer.PrinterIndex(), std::min(index, printer.PrinterCount() - 1));
    EXPECT_FALSE(printer.PrinterName().isEmpty());
}

// A print in the background that fails after the dialog has returned is told in a message box
// (a rejected job from the preview once went unnoticed).
TEST_F(PrinterFaults, ABackgroundPrintThatFailsIsToldToTheOperator) {
    const QTemporaryDir captures; // away from the jobs other tests look for
    const TQueue rejecting("fault-told", captures.path());
    const QString& queue = rejecting.Name;
    ASSERT_EQ(rejecting.Added.ExitCode, 0);
    ASSERT_EQ(RunProgram("cupsreject", {queue}).ExitCode, 0);
    SelectPrinter(queue);
    QWidget window;
    window.show();
    window.activateWindow();
    FillStore(store, 2, UniqueTitle("told"));
    PrintParams().SetFilter(nullptr);
    const auto printInBackground = [this] {
        return ExecutePrintFlow(store, [](TRLPrintDialog& dialog) {
            dialog.CheckBoxPrintInBackground->setChecked(true);
            dialog.ButtonOk->click();
        });
    };
    FinishListener run(SpoolFilter());
    ASSERT_TRUE(printInBackground());
    ASSERT_TRUE(run.Wait());
    ASSERT_TRUE(run.Error.contains(queue)) << "the run itself: " << run.Error.toStdString();
    EXPECT_TRUE(WaitFor([&] { return store.LinkCount() == 0; }));
    EXPECT_FALSE(SpoolFilter().DocStarted());
    EXPECT_FALSE(RLPrinter().Printing());
    const auto failureBox = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "BackgroundOutputFailure" && w->isVisible())
                return qobject_cast<QMessageBox*>(w);
        return static_cast<QMessageBox*>(nullptr);
    };
    QMessageBox* box = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (box = failureBox()) != nullptr; }));
    EXPECT_TRUE(box->text().contains(queue)) << box->text().toStdString();
    box->accept();

    // A later run that succeeds tells nothing.
    ASSERT_EQ(RunProgram("cupsaccept", {queue}).ExitCode, 0);
    run.Reset();
    ASSERT_TRUE(printInBackground());
    EXPECT_TRUE(run.Wait());
    EXPECT_EQ(run.Error, QString());
    QCoreApplication::processEvents();
    EXPECT_EQ(failureBox(), nullptr) << failureBox()->text().toStdString();
    PrintParams().SetFilter(nullptr);
}

// Before the run, rltool print meets the same in the faults tests. The print ends with an error
// naming the printer and what happened, never as a success whose job went nowhere.
TEST_F(PrinterFaults, APrinterThatStopsTakingJobsWhileItsDocumentIsOpen) {
    const struct {
        const char* Name;
        const char* Command; // run with the queue's name appended
        QString Said;        // besides the queue's name
    } cases[] = {
        {"removed", "lpadmin -x", RLMessages[mkPrinterNotFound]},
        {"rejecting", "cupsreject", "not accepting"},
    };
    TRLPrinterWrapper& printer = RLPrinter();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TQueue chosen(QStringLiteral("fault-") + c.Name, CaptureDir());
        const QString& queue = chosen.Name;
        ASSERT_EQ(chosen.Added.ExitCode, 0) << chosen.Added.Err.toStdString();
        SelectPrinter(queue);
        TRLCanvas& canvas = printer.BeginDoc(UniqueTitle(c.Name));
        MakePage(1)->PaintTo(canvas, {0, 0, 2480, 3508});
        const QStringList command = QString(c.Command).split(' ') << queue;
        ASSERT_EQ(RunProgram(command.first(), command.mid(1)).ExitCode, 0);
        const QString error = ErrorOf([&] { printer.EndDoc(); });
        EXPECT_FALSE(printer.Printing());
        EXPECT_TRUE(error.contains(queue)) << error.toStdString();
        EXPECT_TRUE(error.contains(c.Said, Qt::CaseInsensitive)) << error.toStdString();
    }
}

TEST(NoPrinter, FallbackMetricsAndAClearFailure) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QTemporaryDir dead;
    environment.insert("CUPS_SERVER", dead.filePath("cups.sock"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    const ProgramResult r = RunProgram(QStringLiteral(KELMORA_NO_PRINTER_PROBE), {}, environment);
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out.trimmed().split(u'\n'),
              QStringList({"count=0", "index=-1", "name=", "valid=0", "settings-unchanged=1",
                           "metrics=300 300 2550 3300 75 75 75 75 2400 3150",
                           "print=" + RLMessages[mkPrintServiceUnreachable] + " (" +
                               dead.filePath("cups.sock") + ")",
                           "doc-open=0", "links=0"}));
}

TEST_F(RltoolPrint, PrintsARangeOfASavedFileWithCopies) {
    QTemporaryDir dir;
    const QString file = dir.filePath("three.rpf");
    const QString title = UniqueTitle("rltool");
    FillStore(store, 3, title);
    store.SaveToFile(file);
    const ProgramResult r = RunProgram(
        KELMORA_BINARY_DIR "/tools/rltool",
        {"print", file, "--printer", TestPrinter(), "--from", "2", "--to", "3", "--copies", "2"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    const QStringList jobs = WaitForJobs(title, 1);
    ASSERT_EQ(jobs.size(), 1);
    EXPECT_EQ(Printed(jobs[0]), QList<int>({2, 3}));
    EXPECT_EQ(JobInfo(jobs[0], "copies"), "2");
}
