// kelmora-batch REQUEST.json OUTDIR [--pdf | --pdfa] [--png]; kelmora-batch --help; kelmora-batch
// --version
//
// The desktop program's filling run without windows: reads one request, fills the documents as
// "Imprimir" does, prepares each produced document and writes its pages as a page-store file
// (solicitud.rpf, declaracion-jurada.rpf, vehiculo-particular.rpf), with a PDF and a PNG picture
// per page beside it when asked; then prints the operator's message.
//
// Exit status: 0 done (also for --help and --version); 2 bad arguments or a request that cannot be
// read (the message names the field); 1 the documents could not be prepared or written. OUTDIR is
// only ever touched at the end: everything is written into a temporary folder beside it first, so a
// failed run leaves OUTDIR as it was.
#include "DocumentForms.h"
#include "FillingRun.h"
#include "RLCommandLine.h"
#include "RLGraphicStorage.h"
#include "RLPdfFilter.h"
#include "RLReport.h"
#include "RLUtils.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <cstdio>
#include <vector>

namespace {

constexpr int kBadInput = 2;
constexpr int kFailed = 1;

class TBadInput : public TRLException {
public:
    using TRLException::TRLException;
};

// Arguments that do not fit the usage; the usage line follows the message.
class TUsageError : public TBadInput {
public:
    using TBadInput::TBadInput;
};

const char* const kUsage = "usage: kelmora-batch REQUEST.json OUTDIR [--pdf | --pdfa] [--png]\n";

struct TOptions {
    QString Request;
    QString OutDir;
    bool Pdf = false;
    bool Archival = false;
    bool Png = false;
};

QList<QCommandLineOption> Options() {
    return {
        {"pdf", "also write a PDF file of each document"},
        {"pdfa", "also write a PDF file of each document, as PDF/A-1b for the archive"},
        {"png", "also write a PNG picture of each page"},
        HelpOption(),
        VersionOption(),
    };
}

const char* const kHelp =
    "\n"
    "Fills the travel-allowance documents from a request written as JSON, as \"Imprimir\" does in\n"
    "the desktop program, and writes solicitud.rpf and, when they are produced,\n"
    "declaracion-jurada.rpf and vehiculo-particular.rpf into OUTDIR; then prints the operator's\n"
    "message. OUTDIR is changed only when every document was written.\n"
    "\n"
    "Exit status: 0 done, 1 the documents could not be prepared or written, 2 bad arguments or\n"
    "a request that cannot be read.\n"
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
    const QStringList positionals = parser.positionalArguments();
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TBadInput(QStringLiteral("%1: %2").arg(path, file.errorString()));
    try {
        return ReadDatosSolicitud(file.readAll());
    } catch (const TRLException& error) {
        // The reader's message starts with the field it stopped at.
        throw TBadInput(QStringLiteral("%1: %2").arg(path, error.Message()));
    }
}

QString BaseName(TDocumentKind kind) {
    switch (kind) {
    case TDocumentKind::Solicitud:
        return QStringLiteral("solicitud");
    case TDocumentKind::DeclaracionJurada:
        return QStringLiteral("declaracion-jurada");
    case TDocumentKind::VehiculoParticular:
        return QStringLiteral("vehiculo-particular");
    }
    return {};
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
        if (!image.save(name, "PNG"))
            throw TRLException(QStringLiteral("cannot write %1").arg(name));
    }
}

// Every name this program may write into OUTDIR, so that a run leaves none of an earlier run's
// documents behind.
bool IsOutputName(const QString& name) {
    for (TDocumentKind kind : {TDocumentKind::Solicitud, TDocumentKind::DeclaracionJurada,
                               TDocumentKind::VehiculoParticular}) {
        const QString base = BaseName(kind);
        if (name == base + ".rpf" || name == base + ".pdf" || name == base + ".png" ||
            (name.startsWith(base + '-') && name.endsWith(QLatin1String(".png"))))
            return true;
    }
    return false;
}

// Moves the finished files from staging into OUTDIR: the whole folder at once when OUTDIR does
// not exist yet, else file by file over the earlier run's outputs.
void Publish(QTemporaryDir& staging, const QString& outDir) {
    const QFileInfo target(outDir);
    if (!target.exists()) {
        if (!QDir().rename(staging.path(), outDir))
            throw TRLException(QStringLiteral("cannot create %1").arg(outDir));
        staging.setAutoRemove(false);
        // The staging folder was private to this run; the result is an ordinary folder.
        const mode_t mask = umask(0);
        umask(mask);
        chmod(QFile::encodeName(outDir).constData(), 0777 & ~mask);
        return;
    }
    QDir out(outDir);
    for (const QString& stale : out.entryList(QDir::Files)) {
        if (IsOutputName(stale) && !QFileInfo::exists(staging.filePath(stale)))
            out.remove(stale);
    }
    for (const QString& name : QDir(staging.path()).entryList(QDir::Files)) {
        out.remove(name);
        if (!QFile::rename(staging.filePath(name), out.filePath(name)))
            throw TRLException(QStringLiteral("cannot write %1").arg(out.filePath(name)));
    }
}

int Run(const QStringList& arguments) {
    const TOptions options = ParseArguments(arguments);
    const TDatosSolicitud datos = ReadRequest(options.Request);

    const QFileInfo target(options.OutDir);
    if (target.exists() && !target.isDir())
        throw TBadInput(QStringLiteral("%1 is not a folder").arg(options.OutDir));
    const QDir parent = target.absoluteDir();
    if (!parent.exists())
        throw TBadInput(QStringLiteral("%1 does not exist").arg(parent.path()));
    QTemporaryDir staging(parent.filePath(QStringLiteral(".kelmora-batch-XXXXXX")));
    if (!staging.isValid())
        throw TRLException(
            QStringLiteral("cannot write in %1: %2").arg(parent.path(), staging.errorString()));

    TDocumentForms forms;
    const TFillingTexts texts =
        FillDocuments(datos, forms, [&](TDocumentKind kind, TRLReport& report) {
            const QString base = staging.filePath(BaseName(kind));
            // As the preview does: pages of an earlier preparation are discarded first.
            report.Clear();
            if (!report.Prepare())
                throw TRLException(
                    QStringLiteral("%1: the document could not be prepared").arg(BaseName(kind)));
            TRLGraphicStorage& pages = report.Storage();
            pages.SaveToFile(base + ".rpf");
            if (options.Pdf)
                WritePdf(pages, base + ".pdf", options.Archival);
            if (options.Png)
                WritePngs(pages, base);
        });
    Publish(staging, options.OutDir);
    std::fputs((DisplayedOperatorMessage(texts.FormCount) + '\n').toUtf8().constData(), stdout);
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
    int status = 0;
    try {
        status = Run(application.arguments().mid(1));
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
