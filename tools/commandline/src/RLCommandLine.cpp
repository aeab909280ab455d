#include <kelmora/commandline/RLCommandLine.h>

#include <kelmora/pagestore/RLBinaryIO.h>
#include <kelmora/pdf/RLPdfFilter.h>
#include <kelmora/report/RLReportHooks.h>
#include <kelmora/support/RLUtils.h>
#include <kelmora/support/TerminationSignals.h>

#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace Kelmora {

void PrepareHeadlessEnvironment(const QString& programName, bool needsDisplay) {
    // The offscreen platform gives fonts and painting anywhere, with or without a display.
    if (!needsDisplay && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A TMPDIR that is no writable folder would send the scratch files to the working folder and
    // the runtime folder to the root; the system's temporary folder serves instead.
    if (const QString tmpdir = qEnvironmentVariable("TMPDIR"); !tmpdir.isEmpty()) {
        const QFileInfo info(tmpdir);
        if (!info.isDir() || !info.isWritable()) {
            std::fprintf(stderr, "%s: TMPDIR %s is not a writable folder; using /tmp\n",
                         qPrintable(programName), qPrintable(tmpdir));
            qunsetenv("TMPDIR");
        }
    }
    // Outside a desktop session the platform wants a private runtime folder all the same; none
    // is made when there is no temporary folder at all (the path would then start at the root).
    if (const QString temp = QDir::tempPath();
        qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && !temp.isEmpty()) {
        const QString runtime =
            temp + QStringLiteral("/%1-runtime-%2").arg(programName).arg(getuid());
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    }
}

TRLEngineStart::TRLEngineStart() {
    InitEngineSupport();
    // The pdf outputs and the preview's save dialog write PDF through the same filter.
    RegisterPdfFilter();
}

TRLEngineStart::~TRLEngineStart() {
    FinishEngineSupport();
}

QString VersionLine(const QString& programName) {
    return QStringLiteral("%1 (Kelmora) %2\n")
        .arg(programName, QStringLiteral(KELMORA_VERSION_TEXT));
}

QStringList RawArguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

namespace {

QString Dashed(const QString& name) {
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// The option known by the name written on the command line ("-o", "--page"), if any.
const QCommandLineOption* FindOption(const QList<QCommandLineOption>& options,
                                     const QString& written) {
    for (const QCommandLineOption& option : options)
        for (const QString& name : option.names())
            if (Dashed(name) == written)
                return &option;
    return nullptr;
}

} // namespace

void ParseCommandLine(QCommandLineParser& parser, const QList<QCommandLineOption>& options,
                      const QStringList& arguments, TRLDashArguments dashArguments) {
    parser.addOptions(options);
    // The arguments are sorted here into options and plain arguments, so that an argument that
    // only looks like an option reaches the parser after "--" and stays an argument.
    QStringList optionPart;
    QStringList plain;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--")) {
            plain << arguments.mid(i + 1);
            break;
        }
        const bool longOption = argument.startsWith(QLatin1String("--"));
        const bool shortOption =
            !longOption && argument.startsWith(QLatin1Char('-')) &&
            (argument.size() == 2 ||
             (argument.size() > 2 && dashArguments == TRLDashArguments::AreOptions));
        if (!longOption && !shortOption) {
            plain << argument;
            continue;
        }
        const qsizetype equals = longOption ? argument.indexOf(QLatin1Char('=')) : -1;
        const QString written = equals < 0 ? argument : argument.left(equals);
        const QCommandLineOption* option = FindOption(options, written);
        if (!option)
            throw TRLCommandLineError(QStringLiteral("unknown option %1").arg(written));
        optionPart << argument;
        if (option->valueName().isEmpty()) {
            if (equals >= 0)
                throw TRLCommandLineError(QStringLiteral("%1 takes no value").arg(written));
        } else if (equals < 0) {
            if (i + 1 >= arguments.size())
                throw TRLCommandLineError(QStringLiteral("%1 needs a value").arg(written));
            optionPart << arguments[++i];
        }
    }
    // The parser wants the program name first.
    if (!parser.parse(QStringList{QStringLiteral("program")} + optionPart +
                      QStringList{QStringLiteral("--")} + plain))
        throw TRLCommandLineError(parser.errorText());
}

QString OptionsHelp(const QList<QCommandLineOption>& options) {
    QStringList left;
    for (const QCommandLineOption& option : options) {
        QStringList names;
        for (const QString& name : option.names())
            names << Dashed(name);
        QString text = names.join(QLatin1String(", "));
        if (!option.valueName().isEmpty())
            text += QLatin1Char(' ') + option.valueName();
        left << text;
    }
    qsizetype width = 0;
    for (const QString& text : left)
        width = std::max(width, text.size());
    QString help;
    for (qsizetype i = 0; i < options.size(); ++i)
        help += QStringLiteral("  %1  %2\n")
                    .arg(left[i], -static_cast<int>(width))
                    .arg(options[i].description());
    return help;
}

QCommandLineOption HelpOption() {
    return QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                              QStringLiteral("show this help and exit"));
}

QCommandLineOption VersionOption() {
    return QCommandLineOption(QStringLiteral("version"),
                              QStringLiteral("show the program's version and exit"));
}

// ---- Long runs on a terminal -------------------------------------------------------------------

bool TerminationRequested() {
    return TTerminationSignals::Received() != 0;
}

void StopIfTerminationRequested() {
    if (const int signal = TTerminationSignals::Received())
        throw TRLInterrupted(signal);
}

TRLInterrupted::TRLInterrupted(int signal)
    : TRLException(QStringLiteral("interrupted by %1")
                       .arg(QLatin1String(TTerminationSignals::Name(signal)))),
      signal_(signal) {}

namespace {

// On a terminal the line follows the run closely; in a log it is a line every few seconds.
constexpr qint64 kTerminalIntervalMs = 250;
constexpr qint64 kPlainIntervalMs = 2000;

qint64 NowMs() {
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

} // namespace

TRLConsoleProgress::TRLConsoleProgress(bool asked, FILE* to) : to_(to) {
    terminal_ = isatty(fileno(to)) != 0;
    shown_ = asked || terminal_;
    Restart();
}

TRLConsoleProgress::~TRLConsoleProgress() {
    Finish();
}

void TRLConsoleProgress::Restart() {
    startedMs_ = NowMs();
    lastShownMs_ = -1;
}

bool TRLConsoleProgress::Due(bool final) const {
    if (!shown_)
        return false;
    if (final)
        return true;
    // The first state is shown only once the run has gone on for an interval: short runs stay
    // quiet but for their last line.
    const qint64 since = lastShownMs_ < 0 ? startedMs_ : lastShownMs_;
    return NowMs() - since >= (terminal_ ? kTerminalIntervalMs : kPlainIntervalMs);
}

void TRLConsoleProgress::Tell(const std::function<QString(double)>& line, qint64 done, bool final) {
    if (!Due(final))
        return;
    const qint64 now = NowMs();
    lastShownMs_ = now;
    const double seconds = std::max<qint64>(now - startedMs_, 1) / 1000.0;
    const QByteArray text = line(static_cast<double>(done) / seconds).toUtf8();
    if (terminal_) {
        // Spaces cover what a longer earlier line left on the right.
        const int pad = std::max(0, lastLength_ - static_cast<int>(text.size()));
        std::fprintf(to_, "\r%s%*s", text.constData(), pad, "");
        lastLength_ = static_cast<int>(text.size());
        lineOpen_ = true;
    } else {
        std::fprintf(to_, "%s\n", text.constData());
    }
    std::fflush(to_);
}

void TRLConsoleProgress::Finish() {
    if (!lineOpen_)
        return;
    std::fputc('\n', to_);
    std::fflush(to_);
    lineOpen_ = false;
    lastLength_ = 0;
}

QString TRLConsoleProgress::Grouped(qint64 number) {
    QString digits = QString::number(number < 0 ? -number : number);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return number < 0 ? QLatin1Char('-') + digits : digits;
}

namespace {

struct TPreparing {
    TRLConsoleProgress* Console = nullptr;
    std::function<int()> Pages;
    qint64 Records = 0;
    TRLProgressFactory Previous = nullptr;
};

TPreparing& Preparing() {
    static TPreparing preparing;
    return preparing;
}

// What the report tells its progress window, told on the terminal: one step per record, and the
// cancel it polls between records answered by the termination signals.
void TellPreparing(bool final) {
    TPreparing& preparing = Preparing();
    if (!preparing.Console || !preparing.Console->Due(final))
        return;
    const int pages = preparing.Pages();
    preparing.Console->Tell(
        [pages, records = preparing.Records](double perSecond) {
            return QStringLiteral("page %1 · %2 records · %3 pages/s")
                .arg(TRLConsoleProgress::Grouped(pages), TRLConsoleProgress::Grouped(records))
                .arg(perSecond, 0, 'f', 0);
        },
        pages, final);
}

class TConsoleReportProgress : public TRLReportProgress {
public:
    void SetText(const QString&) override {}
    void SetMaximum(int) override {}
    void StepIt() override {
        ++Preparing().Records;
        TellPreparing(false);
    }
    bool Canceled() const override { return TerminationRequested(); }
};

std::unique_ptr<TRLReportProgress> MakeConsoleReportProgress(const QString&, const QString&) {
    return std::make_unique<TConsoleReportProgress>();
}

} // namespace

TRLPreparingProgress::TRLPreparingProgress(TRLConsoleProgress& progress,
                                           std::function<int()> pages) {
    TPreparing& preparing = Preparing();
    preparing.Console = &progress;
    preparing.Pages = std::move(pages);
    preparing.Records = 0;
    preparing.Previous = ReportProgressFactory();
    progress.Restart();
    SetReportProgressFactory(&MakeConsoleReportProgress);
}

TRLPreparingProgress::~TRLPreparingProgress() {
    TPreparing& preparing = Preparing();
    SetReportProgressFactory(preparing.Previous);
    preparing.Console = nullptr;
    preparing.Pages = nullptr;
}

void TRLPreparingProgress::Done() {
    TellPreparing(true);
    if (TRLConsoleProgress* console = Preparing().Console)
        console->Finish();
}

qint64 TRLPreparingProgress::Records() {
    return Preparing().Records;
}

void WritePngFile(const QImage& image, const QString& fileName) {
    // Encoded in memory first: the picture library, meeting a full disk itself, would print its
    // own words and leave a cut file behind. The file then takes the whole picture in one step,
    // or an earlier file of the name stays as it was.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "PNG");
    if (!writer.write(image))
        throw TRLException(
            QStringLiteral("cannot write %1: %2").arg(fileName, writer.errorString()));
    QSaveFile file(fileName);
    QString reason;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        reason = file.errorString();
    else if (!WriteWhole(file, png, reason))
        file.cancelWriting();
    else {
        errno = 0;
        if (!file.commit())
            reason = FailureReason(file, errno);
    }
    if (!reason.isEmpty())
        throw TRLException(QStringLiteral("cannot write %1: %2").arg(fileName, reason));
}

} // namespace Kelmora
