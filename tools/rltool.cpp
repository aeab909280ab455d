// rltool: the report engine's companion on the command line. It shows what a page-store file
// holds, draws its pages to pictures and PDF, and makes a sample document.
#include "RLDump.h"
#include "RLSamplePages.h"
#include "RLToolCommands.h"
#include <kelmora/barcode/RLBarcode.h>
#include <kelmora/commandline/RLCommandLine.h>
#include <kelmora/dialogs/RLOutputFlows.h>
#include <kelmora/output/RLPrinters.h>
#include <kelmora/output/RLSpoolFilter.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pdf/RLPdfFilter.h>
#include <kelmora/preview/RLPreviewForm.h>
#include <kelmora/report/RLControlClasses.h>
#include <kelmora/report/RLLayoutReader.h>
#include <kelmora/report/RLRecordStream.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/report/RLSqlRecords.h>
#include <kelmora/report/RLSubDetail.h>
#include <kelmora/support/RLMessages.h>
#include <kelmora/support/RLUtils.h>
#include <kelmora/support/TerminationSignals.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QPainter>

#include <cstdio>
#include <functional>
#include <memory>

using namespace Kelmora;

TRLArguments::TRLArguments(const QStringList& arguments, const QList<QCommandLineOption>& options) {
    QList<QCommandLineOption> all = options;
    all << HelpOption();
    QCommandLineParser parser;
    try {
        ParseCommandLine(parser, all, arguments, TRLDashArguments::AreArguments);
    } catch (const TRLCommandLineError& error) {
        throw TRLUsageError(error.Message());
    }
    for (const QCommandLineOption& option : all) {
        const QString name = option.names().constLast();
        if (!parser.isSet(name))
            continue;
        const QString written = (name.size() == 1 ? "-" : "--") + name;
        // As given last when given more than once.
        if (option.valueName().isEmpty())
            flags_ << written;
        else
            values_[written] = parser.value(name);
    }
    positionals_ = parser.positionalArguments();
}

QString TRLArguments::Value(const QString& option, const QString& fallback) const {
    return values_.value(option, fallback);
}

namespace {

// An option's text read as a number by read; a text read does not take is a usage error that
// says what the option wants.
template <class Read>
auto NumberOf(const QString& option, const QString& text, const char* wanted, Read read) {
    bool ok = false;
    const auto value = read(text, &ok);
    if (!ok)
        throw TRLUsageError(QStringLiteral("%1 needs %2").arg(option, QLatin1String(wanted)));
    return value;
}

} // namespace

int TRLArguments::IntValue(const QString& option, int fallback) const {
    if (!values_.contains(option))
        return fallback;
    return NumberOf(option, values_[option], "a whole number",
                    [](const QString& text, bool* ok) { return text.toInt(ok); });
}

double TRLArguments::RealValue(const QString& option, double fallback) const {
    if (!values_.contains(option))
        return fallback;
    return NumberOf(option, values_[option], "a number",
                    [](const QString& text, bool* ok) { return text.toDouble(ok); });
}

QString TRLArguments::Positional(int index, const char* what) const {
    if (index >= positionals_.size())
        throw TRLUsageError(QStringLiteral("missing %1").arg(QLatin1String(what)));
    return positionals_[index];
}

namespace {

// Stores that rltool opens are owned by it for the whole command.
std::unique_ptr<TRLGraphicStorage> OpenStorage(const QString& fileName, int* version = nullptr) {
    auto storage = std::make_unique<TRLGraphicStorage>(qApp);
    const int v = storage->LoadFromFile(fileName);
    if (version)
        *version = v;
    return storage;
}

QString RequireOutput(const TRLArguments& args) {
    const QString output = args.Value(QStringLiteral("-o"));
    if (output.isEmpty())
        throw TRLUsageError(QStringLiteral("missing -o OUTPUT"));
    return output;
}

bool IsPdfName(const QString& fileName) {
    return FileExtensionOf(fileName).compare(QLatin1String(".pdf"), Qt::CaseInsensitive) == 0;
}

int Dump(const TRLArguments& args) {
    int version = 0;
    auto storage = OpenStorage(args.Positional(0, "FILE.rpf"), &version);
    const QByteArray json = QJsonDocument(DumpStorage(*storage, version)).toJson();
    std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
    return 0;
}

// The largest picture side rltool render makes.
constexpr int kMaxPictureSide = 32767;

int Render(const TRLArguments& args) {
    auto storage = OpenStorage(args.Positional(0, "FILE.rpf"));
    const QString output = RequireOutput(args);
    const int pageNumber = args.IntValue(QStringLiteral("--page"), 1);
    const double zoom = args.RealValue(QStringLiteral("--zoom"), 100);
    if (zoom <= 0 || zoom > 2000)
        throw TRLUsageError(QStringLiteral("--zoom must be above 0 and at most 2000"));
    const auto page = storage->Pages(pageNumber - 1);
    if (!page)
        throw TRLUsageError(QStringLiteral("there is no page %1; the file has %2")
                                .arg(pageNumber)
                                .arg(storage->PageCount()));
    // A damaged file can claim any page size; a picture is made only of a size that can be
    // drawn, and the refusal says why instead of writing something that is not the page.
    const double exactWidth = page->Width() * zoom / 100;
    const double exactHeight = page->Height() * zoom / 100;
    if (exactWidth > kMaxPictureSide || exactHeight > kMaxPictureSide)
        throw TRLException(QStringLiteral("page %1 is too large to draw: %2 x %3 pixels at "
                                          "%4%; at most %5 pixels a side")
                               .arg(pageNumber)
                               .arg(exactWidth, 0, 'f', 0)
                               .arg(exactHeight, 0, 'f', 0)
                               .arg(zoom)
                               .arg(kMaxPictureSide));
    if (page->Width() < 0 || page->Height() < 0)
        throw TRLException(QStringLiteral("page %1 has a negative size (%2 x %3)")
                               .arg(pageNumber)
                               .arg(page->Width())
                               .arg(page->Height()));
    const int width = std::max(1, RoundHalfEven(exactWidth));
    const int height = std::max(1, RoundHalfEven(exactHeight));
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        throw TRLException(QStringLiteral("page %1 is too large to draw: not enough memory for "
                                          "%2 x %3 pixels")
                               .arg(pageNumber)
                               .arg(width)
                               .arg(height));
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        page->PaintTo(painter, QRect(0, 0, width, height));
    }
    WritePngFile(image, output);
    return 0;
}

using TConsolePdfFilter = TRLConsoleFilter<TRLPDFFilter>;

// The PDF filter the options ask for, the same writer as the preview's save: PDF/A-1b with
// --pdfa, the author from --author. It tells its pages to progress and stops at a termination
// signal, leaving no file.
std::unique_ptr<TConsolePdfFilter> PdfFilterFor(const TRLArguments& args, const QString& output,
                                                TRLConsoleProgress& progress) {
    const bool archival = args.Flag(QStringLiteral("--pdfa"));
    if (archival && !IsPdfName(output))
        throw TRLUsageError(QStringLiteral("--pdfa writes PDF: name the output OUT.pdf"));
    auto filter = std::make_unique<TConsolePdfFilter>(progress);
    filter->SetArchival(archival);
    filter->SetAuthor(args.Value(QStringLiteral("--author")));
    filter->SetShowProgress(false);
    filter->SetFileName(output);
    return filter;
}

// A run the signal stopped between pages wrote nothing: that is said instead of a success.
void WritePdf(TRLGraphicStorage& storage, TConsolePdfFilter& filter) {
    FilterPages(&storage, &filter, 1, false, -1);
    if (filter.Canceled())
        StopIfTerminationRequested();
}

bool ProgressAsked(const TRLArguments& args) {
    return args.Flag(QStringLiteral("--progress"));
}

// Every page into one PDF file.
int Pdf(const TRLArguments& args) {
    const QString input = args.Positional(0, "FILE.rpf");
    auto storage = OpenStorage(input);
    const QString output = RequireOutput(args);
    if (storage->PageCount() == 0)
        throw TRLException(QStringLiteral("%1 has no pages").arg(input));
    TRLConsoleProgress progress(ProgressAsked(args));
    const auto filter = PdfFilterFor(args, output, progress);
    StopIfTerminationRequested();
    WritePdf(*storage, *filter);
    return 0;
}

int Sample(const TRLArguments& args) {
    const QString output = RequireOutput(args);
    const int pages = args.IntValue(QStringLiteral("--pages"), 3);
    if (pages < 1)
        throw TRLUsageError(QStringLiteral("--pages must be at least 1"));
    TRLGraphicStorage storage(qApp);
    FillSampleStorage(storage, pages);
    storage.SetFileVersion(
        args.IntValue(QStringLiteral("--file-version"), TRLGraphicStorage::CurrentFileVersion));
    const int version = storage.SaveToFile(output);
    std::printf("%d page(s) written to %s (page-store file version %d)\n", storage.PageCount(),
                qPrintable(output), version);
    return 0;
}

// Every subdetail in a layout's tree of controls.
void ForEachSubDetail(TRLCustomControl& control,
                      const std::function<void(TRLCustomSubDetail&)>& action) {
    if (auto* subDetail = qobject_cast<TRLCustomSubDetail*>(&control))
        action(*subDetail);
    for (TRLCustomControl* child : control.Controls())
        ForEachSubDetail(*child, action);
}

// Prepares a report from its JSON layout, over JSON records when given, and saves the pages as
// a page-store file or, for a name ending in ".pdf", as PDF. The file is written whole or not at
// all.
int Prepare(const TRLArguments& args) {
    const QString layout = args.Positional(0, "LAYOUT.json");
    const QString output = RequireOutput(args);
    TRLConsoleProgress progress(ProgressAsked(args));
    // Wrong options are told before the work starts.
    const auto filter = IsPdfName(output) || args.Flag(QStringLiteral("--pdfa"))
                            ? PdfFilterFor(args, output, progress)
                            : nullptr;
    const QString data = args.Value(QStringLiteral("--data"));
    const QString database = args.Value(QStringLiteral("--db"));
    const QString query = args.Value(QStringLiteral("--query"));
    if (!data.isEmpty() && !database.isEmpty())
        throw TRLUsageError(QStringLiteral("the records come from --data or from --db, not both"));
    if (database.isEmpty() != query.isEmpty())
        throw TRLUsageError(QStringLiteral("--db and --query go together"));
    if (const QStringList parameters = TRLSqlRecordStream::QueryParameters(query);
        !parameters.isEmpty())
        throw TRLUsageError(
            QStringLiteral("--query has a parameter (:%1), which only a subdetail's query may have")
                .arg(parameters.first()));
    RegisterTextAndGraphicClasses();
    RegisterBarcodeClasses();
    // The records outlive the report that reads them; they are read as the report goes, so
    // that any number of them prepares in the same memory.
    std::unique_ptr<TRLRecordStream> records;
    const auto report = ReadReportLayout(layout);
    if (!data.isEmpty())
        records = OpenJsonRecords(data);
    else if (!database.isEmpty())
        // A signal also ends a query that runs long before its first row, or between rows.
        records = OpenSqlRecords(database, query, TerminationRequested);
    if (records)
        report->SetDataSource(records.get());
    // A subdetail's query runs on the same database, stopped by a signal as the records are.
    if (!database.isEmpty())
        ForEachSubDetail(*report, [&database](TRLCustomSubDetail& subDetail) {
            subDetail.SetDatabase(database, TerminationRequested);
        });
    // The report polls its progress between records: that is where a signal stops it.
    report->SetShowProgress(true);
    // Straight to PDF when the name says so: each page goes to the PDF writer as it is filed,
    // painted on the other cores while the next is prepared, without a page-store file between.
    if (filter) {
        filter->BeginFollowing(report->Storage());
        // Nothing reads the pages again: filing them in the store's temporary file as well
        // would only take the preparing thread's time and the disk's.
        if (filter->WritesAsFiled())
            report->Storage().SetKeepingPages(false);
    }
    bool prepared = false;
    {
        TRLPreparingProgress preparing(progress,
                                       [&report] { return report->Storage().PageCount(); });
        prepared = report->Prepare();
        StopIfTerminationRequested();
        preparing.Done();
    }
    if (!prepared)
        throw TRLException(QStringLiteral("%1: the preparation was canceled").arg(layout));
    TRLGraphicStorage& storage = report->Storage();
    int version = 0;
    if (filter) {
        StopIfTerminationRequested();
        filter->EndFollowing();
        // A signal during the end leaves no file, and says so.
        if (filter->Canceled())
            StopIfTerminationRequested();
    } else {
        StopIfTerminationRequested();
        version = SavePagesToFile(storage, output);
    }
    // A page-store file says its version: older readers take version 3 only.
    const QString saved =
        version > 0 ? QStringLiteral(" (page-store file version %1)").arg(version) : QString();
    std::printf("%d page(s) written to %s%s\n", storage.PageCount(), qPrintable(output),
                qPrintable(saved));
    return 0;
}

// Opens the preview window on a saved file and runs until the last window is closed.
int View(const TRLArguments& args) {
    const QString path = args.Positional(0, "FILE.rpf");
    auto storage = OpenStorage(path);
    // The window says which file it shows, as a desktop's viewers do: "name.rpf — Preview".
    if (TRLPreviewForm* form = PreviewPages(storage.get()))
        form->setWindowTitle(
            QStringLiteral("%1 — %2").arg(QFileInfo(path).fileName(), form->windowTitle()));
    return QApplication::exec();
}

int Print(const TRLArguments& args) {
    const QString input = args.Positional(0, "FILE.rpf");
    auto storage = OpenStorage(input);
    const int from = args.IntValue(QStringLiteral("--from"), 1);
    const int to = args.IntValue(QStringLiteral("--to"), -1);
    const int copies = args.IntValue(QStringLiteral("--copies"), 1);
    if (copies < 1)
        throw TRLUsageError(QStringLiteral("--copies must be at least 1"));

    TRLPrinterWrapper& printer = RLPrinter();
    const QString wanted = args.Value(QStringLiteral("--printer"));
    if (!wanted.isEmpty()) {
        int index = -1;
        for (int i = 0; i < printer.PrinterCount() && index < 0; ++i)
            if (printer.PrinterNames(i) == wanted)
                index = i;
        if (index < 0) {
            // The list is empty when the print service is down: say that, not that one is missing.
            const QString service = UnreachablePrintService();
            throw TRLException(service.isEmpty() ? QStringLiteral("%1: %2").arg(
                                                       RLMessages[mkPrinterNotFound], wanted)
                                                 : ServiceUnreachableFailure(service, wanted));
        }
        printer.SetPrinterIndex(index);
    }
    printer.SetCopies(copies);
    TRLConsoleProgress progress(ProgressAsked(args));
    TRLConsoleFilter<TRLSpoolFilter> filter(progress);
    filter.SetShowProgress(false);
    StopIfTerminationRequested();
    FilterPages(storage.get(), &filter, from, false, to);
    if (filter.Canceled())
        StopIfTerminationRequested();
    const int printed = std::max(0, filter.LastPage() - filter.FirstPage() + 1);
    std::printf("%d page(s) of %s sent to %s\n", printed, qPrintable(input),
                qPrintable(printer.PrinterName()));
    return 0;
}

QList<QCommandLineOption> NoOptions() {
    return {};
}

QList<QCommandLineOption> RenderOptions() {
    return {
        {"page", "the page to draw, counting from 1 (default 1)", "N"},
        {"zoom", "the scale in percent, above 0 and at most 2000 (default 100)", "Z"},
        {"o", "the PNG picture to write", "OUT.png"},
    };
}

// The options of the commands that write PDF.
QList<QCommandLineOption> PdfWriterOptions() {
    return {
        {"pdfa", "write PDF/A-1b, for archives: every font embedded, identified in the metadata"},
        {"author", "the author named in the PDF's metadata", "NAME"},
    };
}

QCommandLineOption ProgressOption() {
    return {"progress", "show the progress on standard error even when that is not a terminal"};
}

QList<QCommandLineOption> PdfOptions() {
    return QList<QCommandLineOption>{{"o", "the PDF file to write", "OUT.pdf"}} +
           PdfWriterOptions() + QList<QCommandLineOption>{ProgressOption()};
}

QList<QCommandLineOption> SampleOptions() {
    return {
        {"pages", "the number of pages, at least 1 (default 3)", "N"},
        {"file-version",
         "the page-store file version to write: 1, 2, 3 or 4 (default 3, which becomes 4 when a "
         "text lies outside Windows-1252)",
         "V"},
        {"o", "the page-store file to write", "OUT.rpf"},
    };
}

QList<QCommandLineOption> PrepareOptions() {
    return QList<QCommandLineOption>{
               {"data",
                "the records the report runs over: a JSON array of objects, or JSON Lines "
                "(.jsonl)",
                "RECORDS.json"},
               {"db",
                "the database the records come from: sqlite:PATH or postgresql://USER@HOST/DB",
                "URL"},
               {"query", "the query whose rows are the records (with --db)", "SQL"},
               {"o",
                "the file to write, whole or not at all: a page-store file, or PDF for a name "
                "ending in .pdf",
                "OUT.rpf|OUT.pdf"},
           } +
           PdfWriterOptions() + QList<QCommandLineOption>{ProgressOption()};
}

QList<QCommandLineOption> PrintOptions() {
    return {
        {"printer", "the printer by its name (default: the default printer)", "NAME"},
        {"from", "the first page to print (default 1)", "N"},
        {"to", "the last page to print (default: the last page)", "M"},
        {"copies", "the number of copies, at least 1 (default 1)", "C"},
        ProgressOption(),
    };
}

const TRLToolCommand Commands[] = {
    {"dump", "FILE.rpf", "the whole file as JSON (any file version)", false, NoOptions, Dump},
    {"render", "FILE.rpf [--page N] [--zoom Z] -o OUT.png", "one page as a PNG picture", false,
     RenderOptions, Render},
    {"pdf", "FILE.rpf [--pdfa] [--author NAME] [--progress] -o OUT.pdf",
     "every page into a PDF file, texts kept as texts", false, PdfOptions, Pdf},
    {"sample", "[--pages N] [--file-version V] -o OUT.rpf", "a sample document", false,
     SampleOptions, Sample},
    {"prepare",
     "LAYOUT.json [--data RECORDS.json | --db URL --query SQL] [--pdfa] [--author NAME] "
     "[--progress] -o OUT.rpf|OUT.pdf",
     "a report from its layout", false, PrepareOptions, Prepare},
    {"barcode", "--type TYPE [--module N] [--ratio R] [--checksum] [--elements] VALUE -o OUT.png",
     "one value as a barcode picture or element string", false, BarcodeOptions, BarcodeCommand},
    {"print", "FILE.rpf [--printer NAME] [--from N] [--to M] [--copies C] [--progress]",
     "the pages through a printer", false, PrintOptions, Print},
    {"view", "FILE.rpf", "the preview window on the file", true, NoOptions, View},
    {"eval", "'EXPRESSION'", "the value of an expression", false, NoOptions, EvalCommand},
};

QString ProgramHelp() {
    QString help = QStringLiteral(
        "Usage: rltool COMMAND [ARGUMENTS]\n"
        "       rltool COMMAND --help\n"
        "       rltool --version\n"
        "\n"
        "The report engine's companion: shows what a page-store file holds, draws its pages to\n"
        "pictures and PDF, prints them, prepares a report from its layout and makes a sample.\n"
        "\n"
        "Commands:\n");
    for (const auto& command : Commands)
        help += QStringLiteral("  %1  %2\n")
                    .arg(QLatin1String(command.Name), -8)
                    .arg(QLatin1String(command.Summary));
    help += QStringLiteral("\nOptions:\n") + OptionsHelp({HelpOption(), VersionOption()});
    return help;
}

QString CommandHelp(const TRLToolCommand& command) {
    QList<QCommandLineOption> options = command.Options();
    options << HelpOption();
    return QStringLiteral("Usage: rltool %1 %2\n\n%3.\n\nOptions:\n%4")
        .arg(QLatin1String(command.Name), QLatin1String(command.Synopsis))
        .arg(QString(QLatin1String(command.Summary))
                 .replace(0, 1, QChar(command.Summary[0]).toUpper()))
        .arg(OptionsHelp(options));
}

void Print(FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
}

// The program's own options, before any command: help, version, or what is wrong.
int ProgramOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    try {
        ParseCommandLine(parser, {HelpOption(), VersionOption()}, arguments,
                         TRLDashArguments::AreOptions);
    } catch (const TRLCommandLineError& error) {
        std::fprintf(stderr, "rltool: %s\n", error.what());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        Print(stdout, ProgramHelp());
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        Print(stdout, VersionLine(QStringLiteral("rltool")));
        return 0;
    }
    Print(stderr, ProgramHelp());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    const QStringList raw = RawArguments(argc, argv);
    const QString name = raw.value(0);
    if (name.isEmpty() || name.startsWith(QLatin1Char('-')))
        return ProgramOptions(raw);
    const TRLToolCommand* command = nullptr;
    for (const auto& c : Commands)
        if (name == QLatin1String(c.Name))
            command = &c;
    if (!command) {
        std::fprintf(stderr, "rltool: unknown command %s (rltool --help lists the commands)\n",
                     argv[1]);
        return 2;
    }
    // Help is given before any window system is reached: it works without a display. A command
    // line that does not read here is read again below, once the toolkit took its own options.
    try {
        if (TRLArguments(raw.mid(1), command->Options()).HelpWanted()) {
            Print(stdout, CommandHelp(*command));
            return 0;
        }
    } catch (const TRLException&) {
    }
    PrepareHeadlessEnvironment(QStringLiteral("rltool"), command->NeedsDisplay);
    QApplication app(argc, argv);
    const TRLEngineStart engine;
    // Ctrl-C, a closed terminal or SIGTERM stop the long loops at their next record or page; the
    // run then unwinds, so that scratch files and half-written outputs go. A second signal of the
    // same kind ends the program at once, for work that cannot stop between records.
    const TTerminationSignals termination(nullptr, TTerminationSignals::TRepeat::EndsAtOnce);
    int status = 2;
    QString output;
    try {
        const TRLArguments arguments(app.arguments().mid(2), command->Options());
        output = arguments.Value(QStringLiteral("-o"));
        if (arguments.HelpWanted()) {
            Print(stdout, CommandHelp(*command));
            return 0;
        }
        status = command->Run(arguments);
    } catch (const TRLException& e) {
        // A run that a signal stopped may also fail on its way out; the signal is what it was.
        if (const int signal = TTerminationSignals::Received()) {
            // The outputs are written whole or not at all: an earlier file of the name stays.
            const QString kept =
                output.isEmpty() ? QString() : QStringLiteral("; %1 was not written").arg(output);
            std::fprintf(stderr, "rltool %s: interrupted by %s%s\n", command->Name,
                         TTerminationSignals::Name(signal), qPrintable(kept));
            status = TTerminationSignals::ExitStatus(signal);
        } else {
            std::fprintf(stderr, "rltool %s: %s\n", command->Name, e.what());
        }
    }
    return status;
}
