// kelmora-batch REQUEST.json OUTDIR [--pdf | --pdfa] [--png] [--progress]
//                [--register URL | --no-register];
// kelmora-batch --list [--register URL] [--search TEXT] [--format json|csv];
// kelmora-batch --help; kelmora-batch --version
//
// The desktop program's filling run without windows: reads one request, fills the documents as
// "Imprimir" does, prepares each produced document and writes its pages as a page-store file
// (solicitud.rpf, declaracion-jurada.rpf, vehiculo-particular.rpf), with a PDF and a PNG picture
// per page beside it when asked; records the request in the request register, as the desktop
// program does; then prints the operator's message. With --list it prints the register instead.
//
// Exit status: 0 done (also for --help and --version); 2 bad arguments or a request that cannot be
// read (the message names the field); 1 the documents could not be prepared or written, or the
// register could not be listed; 3 the documents were written but the request could not be
// recorded in the register; 128 + the signal when SIGINT, SIGTERM or SIGHUP stopped the run. OUTDIR
// is only ever touched at the end: everything is written into a temporary folder beside it first,
// so a failed or stopped run leaves OUTDIR as it was, and the new folder then takes the old one's
// place in one step.
#include <kelmora/app/DocumentForms.h>
#include <kelmora/app/FillingRun.h>
#include <kelmora/app/RequestRegister.h>
#include <kelmora/commandline/RLCommandLine.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pdf/RLPdfFilter.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/support/RLUtils.h>
#include <kelmora/support/TerminationSignals.h>

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <limits>
#include <vector>

using namespace Kelmora;

namespace {

constexpr int kBadInput = 2;
constexpr int kFailed = 1;
constexpr int kNotRecorded = 3;

class TBadInput : public TRLException {
public:
    using TRLException::TRLException;
};

// Arguments that do not fit the usage; the usage line follows the message.
class TUsageError : public TBadInput {
public:
    using TBadInput::TBadInput;
};

const char* const kUsage =
    "usage: kelmora-batch REQUEST.json OUTDIR [--pdf | --pdfa] [--png] [--progress]\n"
    "                     [--register URL | --no-register]\n"
    "       kelmora-batch --list [--register URL] [--search TEXT] [--format json|csv]\n";

struct TOptions {
    QString Request;
    QString OutDir;
    bool Pdf = false;
    bool Archival = false;
    bool Png = false;
    bool Progress = false;
    bool List = false;
    bool Record = true;
    QString Register; // empty: the desktop program's register
    QString Search;
    bool Csv = false;
};

QList<QCommandLineOption> Options() {
    return {
        {"pdf", "also write a PDF file of each document"},
        {"pdfa", "also write a PDF file of each document, as PDF/A-1b for the archive"},
        {"png", "also write a PNG picture of each page"},
        {"progress", "show the progress on standard error even when that is not a terminal"},
        {"register",
         "record the request in, or list, the register at URL (a postgresql:// URL "
         "or an SQLite file) instead of the desktop program's",
         "URL"},
        {"no-register", "record the request in no register"},
        {"list", "print the register's requests, newest first, instead of filling documents"},
        {"search",
         "with --list: only the requests with TEXT in the person, the identity number, "
         "the destination or the reason",
         "TEXT"},
        {"format", "with --list: json (the default) or csv", "FORMAT"},
        HelpOption(),
        VersionOption(),
    };
}

const char* const kHelp =
    "\n"
    "Fills the travel-allowance documents from a request written as JSON, as \"Imprimir\" does in\n"
    "the desktop program, and writes solicitud.rpf and, when they are produced,\n"
    "declaracion-jurada.rpf and vehiculo-particular.rpf into OUTDIR; then prints the operator's\n"
    "message. OUTDIR is changed only when every document was written, in one step: it holds the\n"
    "earlier run's documents or this run's, never some of each (when OUTDIR holds folders of its\n"
    "own, each document is replaced whole, one after the other). Its other files stay.\n"
    "\n"
    "The request is recorded in the desktop program's request register (KELMORA_REGISTER, the\n"
    "settings' \"register\", or registro.sqlite in the user's data folder), or in --register's.\n"
    "--list prints that register instead: as JSON, an array of the request file's keys with\n"
    "\"printed\" (UTC), \"printedBy\" and \"documents\"; as CSV, UTF-8 with a header row.\n"
    "\n"
    "Exit status: 0 done, 1 the documents could not be prepared or written (or the register\n"
    "could not be listed), 2 bad arguments or a request that cannot be read, 3 the documents\n"
    "were written but the request could not be recorded in the register, 128 + the signal when\n"
    "SIGINT, SIGTERM or SIGHUP stopped it.\n"
    "\n"
    "Options:\n";

TOptions ParseArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    try {
        ParseCommandLine(parser, Options(), arguments, TRLDashArguments::AreOptions);
    } catch (const TRLCommandLineError& error) {
        throw TUsageError(error.Message());
    }
    TOptions options;
    options.Archival = parser.isSet(QStringLiteral("pdfa"));
    options.Pdf = options.Archival || parser.isSet(QStringLiteral("pdf"));
    options.Png = parser.isSet(QStringLiteral("png"));
    options.Progress = parser.isSet(QStringLiteral("progress"));
    options.List = parser.isSet(QStringLiteral("list"));
    options.Register = parser.value(QStringLiteral("register"));
    options.Record = !parser.isSet(QStringLiteral("no-register"));
    if (!options.Record && parser.isSet(QStringLiteral("register")))
        throw TUsageError(QStringLiteral("--register and --no-register exclude each other"));
    options.Search = parser.value(QStringLiteral("search"));
    const QString format = parser.value(QStringLiteral("format"));
    if (!options.List &&
        (parser.isSet(QStringLiteral("search")) || parser.isSet(QStringLiteral("format"))))
        throw TUsageError(QStringLiteral("--search and --format go with --list"));
    if (!format.isEmpty() && format != u"json" && format != u"csv")
        throw TUsageError(QStringLiteral("--format is json or csv, not \"%1\"").arg(format));
    options.Csv = format == u"csv";
    const QStringList positionals = parser.positionalArguments();
    if (options.List) {
        if (!positionals.isEmpty())
            throw TUsageError(QStringLiteral("--list takes no REQUEST.json or OUTDIR"));
        if (!options.Record || options.Pdf || options.Png || options.Progress)
            throw TUsageError(
                QStringLiteral("--list takes only --register, --search and --format"));
        return options;
    }
    if (positionals.size() != 2)
        throw TUsageError(QStringLiteral("expected REQUEST.json and OUTDIR, got %1 arguments")
                              .arg(positionals.size()));
    options.Request = positionals[0];
    options.OutDir = QDir::cleanPath(QFileInfo(positionals[1]).absoluteFilePath());
    return options;
}

// Help and version, answered before any window system is reached; -1 when neither was asked.
int HelpOrVersion(const QStringList& arguments) {
    QCommandLineParser parser;
    try {
        ParseCommandLine(parser, Options(), arguments, TRLDashArguments::AreOptions);
    } catch (const TRLCommandLineError&) {
        return -1; // reported by the run itself
    }
    QString text;
    if (parser.isSet(QStringLiteral("help")))
        text = QString::fromLatin1(kUsage).replace(0, 1, QLatin1Char('U')) + kHelp +
               OptionsHelp(Options());
    else if (parser.isSet(QStringLiteral("version")))
        text = VersionLine(QStringLiteral("kelmora-batch"));
    else
        return -1;
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return 0;
}

TDatosSolicitud ReadRequest(const QString& path) {
    // A request is well under a kilobyte; a larger file, or a pipe or device that gives more, is
    // refused before it is held.
    constexpr qint64 maxRequestBytes = 1024 * 1024;
    QByteArray json;
    try {
        json = ReadFileAtMost(path, maxRequestBytes);
    } catch (const TRLException& error) {
        throw TBadInput(error.Message());
    }
    try {
        return ReadDatosSolicitud(json);
    } catch (const TRLException& error) {
        // The reader's message starts with the field it stopped at.
        throw TBadInput(QStringLiteral("%1: %2").arg(path, error.Message()));
    }
}

// Every document a run may produce, with the name its files have in OUTDIR.
constexpr std::pair<TDocumentKind, const char*> kDocumentNames[] = {
    {TDocumentKind::Solicitud, "solicitud"},
    {TDocumentKind::DeclaracionJurada, "declaracion-jurada"},
    {TDocumentKind::VehiculoParticular, "vehiculo-particular"},
};

QString BaseName(TDocumentKind kind) {
    return QLatin1String(LookUp(kDocumentNames, kind, ""));
}

// The program's PDF filters write the file whole or not at all.
void WritePdf(TRLGraphicStorage& pages, const QString& fileName, bool archival) {
    TRLPDFFilter& filter = archival ? RegisterPdfaFilter() : RegisterPdfFilter();
    filter.SetShowProgress(false);
    filter.SetFileName(fileName);
    FilterPages(&pages, &filter, 1, false, -1);
}

// One picture per page at the report's own 96 pixels per inch: NAME.png, then NAME-2.png ...
void WritePngs(TRLGraphicStorage& pages, const QString& baseFileName) {
    for (int i = 0; i < pages.PageCount(); ++i) {
        const auto page = pages.Pages(i);
        QImage image(std::max(1, page->Width()), std::max(1, page->Height()), QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            page->PaintTo(painter, image.rect());
        }
        const QString name =
            baseFileName + (i == 0 ? QString() : QStringLiteral("-%1").arg(i + 1)) + ".png";
        WritePngFile(image, name);
    }
}

// Every name this program may write into OUTDIR, so that a run leaves none of an earlier run's
// documents behind.
bool IsOutputName(const QString& name) {
    for (const auto& [kind, baseName] : kDocumentNames) {
        const QString base = QLatin1String(baseName);
        if (name == base + ".rpf" || name == base + ".pdf" || name == base + ".png" ||
            (name.startsWith(base + '-') && name.endsWith(QLatin1String(".png"))))
            return true;
    }
    return false;
}

// For the tests that stop the program between the steps of putting the documents in place: with
// KELMORA_BATCH_PAUSE_BEFORE set to a step's name the program says so and stops itself there.
void PauseBefore(const char* step) {
    static const QByteArray wanted = qgetenv("KELMORA_BATCH_PAUSE_BEFORE");
    if (wanted != step)
        return;
    std::fprintf(stderr, "kelmora-batch: paused before %s\n", step);
    std::fflush(stderr);
    std::raise(SIGSTOP);
}

QString SystemReason() {
    return qt_error_string(errno);
}

QByteArray Encoded(const QString& path) {
    return QFile::encodeName(path);
}

// The earlier run's documents are replaced one by one, each in one step (a rename over it), and
// those this run did not write go last: for an OUTDIR whose own folders cannot go along.
void ReplaceFileByFile(const QStringList& written, const QString& staging, const QString& outDir) {
    const QDir out(outDir);
    for (const QString& name : written) {
        PauseBefore("replace");
        const QString from = QDir(staging).filePath(name);
        if (::rename(Encoded(from).constData(), Encoded(out.filePath(name)).constData()) != 0)
            throw TRLException(
                QStringLiteral("cannot write %1: %2").arg(out.filePath(name), SystemReason()));
    }
    for (const QString& stale : out.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (IsOutputName(stale) && !written.contains(stale))
            QFile::remove(out.filePath(stale));
    }
}

// Gives the staging folder, before it takes OUTDIR's place, the files of the user's that OUTDIR
// holds beside the documents: as second names of the same files, so nothing is copied. False
// when an entry cannot go along that way (a folder, a device, a file system without them).
bool CarryUserFiles(const QString& outDir, const QString& staging, QStringList& carried) {
    const QDir out(outDir);
    const QFileInfoList entries =
        out.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (IsOutputName(entry.fileName()) && !entry.isSymLink() && entry.isFile())
            continue;
        struct stat status = {};
        if (::lstat(Encoded(entry.filePath()).constData(), &status) != 0 ||
            !(S_ISREG(status.st_mode) || S_ISLNK(status.st_mode)))
            return false;
        // Without AT_SYMLINK_FOLLOW a link is carried as the link it is.
        if (::linkat(AT_FDCWD, Encoded(entry.filePath()).constData(), AT_FDCWD,
                     Encoded(QDir(staging).filePath(entry.fileName())).constData(), 0) != 0)
            return false;
        carried << entry.fileName();
    }
    return true;
}

// Moves what came into the earlier folder during the run (after CarryUserFiles looked) into the
// new one; false when a name is taken there.
bool MoveNewcomers(const QString& earlier, const QString& outDir, const QStringList& carried) {
    bool all = true;
    const QDir old(earlier);
    for (const QString& name :
         old.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (IsOutputName(name) || carried.contains(name))
            continue;
        if (::renameat2(AT_FDCWD, Encoded(old.filePath(name)).constData(), AT_FDCWD,
                        Encoded(QDir(outDir).filePath(name)).constData(), RENAME_NOREPLACE) != 0)
            all = false;
    }
    return all;
}

// Puts the finished documents in place of the earlier run's. When OUTDIR does not exist yet the
// staging folder becomes it. Otherwise the staging folder, with the user's other files of OUTDIR
// carried into it, and OUTDIR trade places in one step, so that at any instant OUTDIR holds the
// whole earlier run or the whole new one; the earlier folder then goes. Where that cannot be done
// (OUTDIR holds folders of its own, or is a mount point, or its file system cannot trade) each
// document replaces its earlier self in one step.
void Publish(QTemporaryDir& staging, const QString& outDir) {
    const QStringList written = QDir(staging.path()).entryList(QDir::Files | QDir::Hidden);
    const mode_t mask = umask(0);
    umask(mask);
    if (!QFileInfo::exists(outDir)) {
        PauseBefore("create");
        if (::rename(Encoded(staging.path()).constData(), Encoded(outDir).constData()) != 0)
            throw TRLException(QStringLiteral("cannot create %1: %2").arg(outDir, SystemReason()));
        staging.setAutoRemove(false);
        // The staging folder was private to this run; the result is an ordinary folder.
        chmod(Encoded(outDir).constData(), 0777 & ~mask);
        return;
    }
    QStringList carried;
    struct stat folder = {};
    if (::stat(Encoded(outDir).constData(), &folder) != 0 ||
        !CarryUserFiles(outDir, staging.path(), carried)) {
        ReplaceFileByFile(written, staging.path(), outDir);
        return;
    }
    // The folder that takes OUTDIR's place keeps its permissions.
    chmod(Encoded(staging.path()).constData(), folder.st_mode & 07777);
    PauseBefore("swap");
    if (::renameat2(AT_FDCWD, Encoded(staging.path()).constData(), AT_FDCWD,
                    Encoded(outDir).constData(), RENAME_EXCHANGE) != 0) {
        ReplaceFileByFile(written, staging.path(), outDir);
        return;
    }
    // The staging path now names the earlier folder, which goes with the staging object.
    PauseBefore("clean");
    if (!MoveNewcomers(staging.path(), outDir, carried)) {
        staging.setAutoRemove(false);
        std::fprintf(stderr,
                     "kelmora-batch: the earlier %s is kept as %s: files came into it during the "
                     "run whose names the new folder has\n",
                     qPrintable(outDir), qPrintable(staging.path()));
    }
}

int Publishing(const TOptions& options);

QString RegisterLocation(const TOptions& options) {
    return options.Register.isEmpty() ? TRequestRegister::DefaultLocation() : options.Register;
}

// The register, newest first, on standard output.
int Listing(const TOptions& options) {
    std::vector<TRegisteredRequest> entries;
    try {
        const TRequestRegister reg(RegisterLocation(options));
        entries = reg.Find({.Text = options.Search, .Limit = std::numeric_limits<int>::max()});
    } catch (const TRequestRegisterError& error) {
        throw TRLException(QStringLiteral("the register could not be read: %1")
                               .arg(error.Detail().isEmpty() ? error.Reason() : error.Detail()));
    }
    QByteArray out;
    if (options.Csv) {
        out = RegisteredRequestsToCsv(entries);
    } else {
        QJsonArray array;
        for (const TRegisteredRequest& entry : entries)
            array.append(RegisteredRequestToJson(entry));
        out = QJsonDocument(array).toJson(QJsonDocument::Indented);
    }
    std::fwrite(out.constData(), 1, static_cast<size_t>(out.size()), stdout);
    return std::fflush(stdout) == 0 ? 0 : kFailed;
}

int Run(const QStringList& arguments) {
    const TOptions options = ParseArguments(arguments);
    if (options.List)
        return Listing(options);
    try {
        return Publishing(options);
    } catch (const TRLException& error) {
        // A run that a signal stopped may also fail on its way out; the signal is what it was.
        if (const int signal = TTerminationSignals::Received())
            throw TRLInterrupted(
                signal, QStringLiteral("interrupted by %1; %2 was left as it was")
                            .arg(QLatin1String(TTerminationSignals::Name(signal)), options.OutDir));
        throw;
    }
}

int Publishing(const TOptions& options) {
    const TDatosSolicitud datos = ReadRequest(options.Request);

    const QFileInfo named(options.OutDir);
    if (named.exists() && !named.isDir())
        throw TBadInput(QStringLiteral("%1 is not a folder").arg(options.OutDir));
    // A link to a folder stays a link: the documents go into the folder it names, and the staging
    // folder beside that one.
    const QString outDir = named.exists() ? named.canonicalFilePath() : options.OutDir;
    const QFileInfo target(outDir);
    const QDir parent = target.absoluteDir();
    if (!parent.exists())
        throw TBadInput(QStringLiteral("%1 does not exist").arg(parent.path()));
    QTemporaryDir staging(parent.filePath(QStringLiteral(".kelmora-batch-XXXXXX")));
    if (!staging.isValid())
        throw TRLException(
            QStringLiteral("cannot write in %1: %2").arg(parent.path(), staging.errorString()));

    TRLConsoleProgress progress(options.Progress);
    int documents = 0;
    int pagesWritten = 0;
    // The report polls this progress between records; a termination signal stops it there.
    TRLPreparingProgress preparing(progress, [&pagesWritten] { return pagesWritten; });
    TDocumentForms forms;
    QStringList produced;
    const TFillingTexts texts =
        FillDocuments(datos, forms, [&](TDocumentKind kind, TRLReport& report) {
            produced << DocumentName(kind);
            PauseBefore("prepare");
            StopIfTerminationRequested();
            const QString base = staging.filePath(BaseName(kind));
            // As the preview does: pages of an earlier preparation are discarded first.
            report.Clear();
            report.SetShowProgress(true);
            const bool prepared = report.Prepare();
            StopIfTerminationRequested();
            if (!prepared)
                throw TRLException(
                    QStringLiteral("%1: the document could not be prepared").arg(BaseName(kind)));
            TRLGraphicStorage& pages = report.Storage();
            pages.SaveToFile(base + ".rpf");
            if (options.Pdf)
                WritePdf(pages, base + ".pdf", options.Archival);
            if (options.Png)
                WritePngs(pages, base);
            ++documents;
            pagesWritten += pages.PageCount();
            progress.Tell(
                [&](double) {
                    return QStringLiteral("document %1 (%2) · %3 pages")
                        .arg(documents)
                        .arg(BaseName(kind))
                        .arg(pagesWritten);
                },
                documents, true);
        });
    progress.Finish();
    // A signal that comes once the documents start going into place no longer stops the run.
    StopIfTerminationRequested();
    Publish(staging, outDir);
    std::fputs((DisplayedOperatorMessage(texts.FormCount) + '\n').toUtf8().constData(), stdout);
    // The documents are written whatever becomes of the register.
    if (!options.Record)
        return 0;
    if (const auto failure = RecordPrintedRequest(RegisterLocation(options), datos, produced)) {
        std::fprintf(
            stderr, "kelmora-batch: the request was not recorded in the register: %s\n",
            qPrintable(failure->Detail().isEmpty() ? failure->Reason() : failure->Detail()));
        return kNotRecorded;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (const int status = HelpOrVersion(RawArguments(argc, argv)); status >= 0)
        return status;
    // No window is ever shown.
    PrepareHeadlessEnvironment(QStringLiteral("kelmora-batch"));
    QGuiApplication application(argc, argv);
    const TRLEngineStart engine;
    RegisterDocumentSaveFilters();
    UseDocumentDatesLocale();
    // Ctrl-C, a closed terminal or SIGTERM stop the run between records; it unwinds, so that the
    // staging folder and the scratch files go and OUTDIR stays as it was.
    const TTerminationSignals termination(nullptr, TTerminationSignals::TRepeat::EndsAtOnce);
    int status = 0;
    try {
        status = Run(application.arguments().mid(1));
    } catch (const TRLInterrupted& error) {
        std::fprintf(stderr, "kelmora-batch: %s\n", error.what());
        status = TTerminationSignals::ExitStatus(error.Signal());
    } catch (const TUsageError& error) {
        std::fprintf(stderr, "kelmora-batch: %s\n%s", error.what(), kUsage);
        status = kBadInput;
    } catch (const TBadInput& error) {
        std::fprintf(stderr, "kelmora-batch: %s\n", error.what());
        status = kBadInput;
    } catch (const TRLException& error) {
        std::fprintf(stderr, "kelmora-batch: %s\n", error.what());
        status = kFailed;
    }
    return status;
}
