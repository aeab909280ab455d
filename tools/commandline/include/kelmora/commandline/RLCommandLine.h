/// @file
/// What the programs without windows (rltool, kelmora-batch) share: the environment they need
/// before their application object exists, the engine's start and close, the version line, the
/// reading and the help of their command lines, and the progress and stop of their long runs.
#pragma once

#include <kelmora/support/RLCore.h>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>

class QImage;

namespace Kelmora {

class TRLGraphicSurface;

/// A command line that does not fit: an unknown option, an option without its value, a value
/// given to a flag. The message names the argument.
class TRLCommandLineError : public TRLException {
public:
    using TRLException::TRLException;
};

/// Prepares the process before its application object exists: the offscreen platform unless the
/// program shows windows (so that it runs without a display), and a private runtime folder
/// ($TMPDIR/PROGRAM-runtime-UID) when the session has none.
void PrepareHeadlessEnvironment(const QString& programName, bool needsDisplay = false);

/// The engine's support (scratch folder, log file) and the PDF filter, for this object's life.
/// Made after the application object, destroyed before it.
class TRLEngineStart {
public:
    TRLEngineStart();
    ~TRLEngineStart();
    TRLEngineStart(const TRLEngineStart&) = delete;
    TRLEngineStart& operator=(const TRLEngineStart&) = delete;
};

/// "PROGRAM (Kelmora) VERSION" and a new line, the answer to --version.
QString VersionLine(const QString& programName);

/// The program's arguments as given, without the program name, before any application object
/// has taken its own options out.
QStringList RawArguments(int argc, char** argv);

/// How an argument that starts with one dash and is longer than two characters is read: as an
/// argument (a negative number, an expression) or as an option.
enum class TRLDashArguments { AreArguments, AreOptions };

/// Gives PARSER the program's OPTIONS and reads ARGUMENTS (without the program name). Options may
/// come before, between and after the arguments; an option with a value takes the next argument
/// whatever it is, or the text after "="; "--" ends the options. Throws TRLCommandLineError naming
/// the argument that does not fit.
void ParseCommandLine(QCommandLineParser& parser, const QList<QCommandLineOption>& options,
                      const QStringList& arguments, TRLDashArguments dashArguments);

/// The lines of a help text's option list: "  -o OUT.png    description", the descriptions in
/// one column.
QString OptionsHelp(const QList<QCommandLineOption>& options);

/// The -h/--help and --version options, in the form both programs use.
QCommandLineOption HelpOption();
QCommandLineOption VersionOption();

// ---- Long runs on a terminal -------------------------------------------------------------------

/// A termination signal (SIGINT, SIGTERM, SIGHUP) reached the program while it listened for them;
/// the long loops poll this between records and pages and stop.
bool TerminationRequested();

/// Throws TRLInterrupted when a termination signal arrived: the run then unwinds, its scratch
/// files and half-written outputs go with the objects that hold them, and the program ends with
/// 128 + the signal.
void StopIfTerminationRequested();

class TRLInterrupted : public TRLException {
public:
    explicit TRLInterrupted(int signal);
    TRLInterrupted(int signal, const QString& message) : TRLException(message), signal_(signal) {}
    int Signal() const { return signal_; }

private:
    int signal_;
};

/// The progress of a long run on standard error: one line rewritten in place on a terminal, a few
/// times a second at most; plain lines every few seconds when standard error is a pipe or a file
/// and progress was asked for; nothing otherwise. Finish() ends the last line.
class TRLConsoleProgress {
public:
    /// With asked, progress is shown wherever standard error goes; without it, only on a terminal.
    explicit TRLConsoleProgress(bool asked, FILE* to = stderr);
    ~TRLConsoleProgress();
    TRLConsoleProgress(const TRLConsoleProgress&) = delete;
    TRLConsoleProgress& operator=(const TRLConsoleProgress&) = delete;

    bool Shown() const { return shown_; }
    /// Starts counting the rate afresh for a new step of the run.
    void Restart();
    /// Whether Tell would show a line now: for callers whose state costs something to gather.
    bool Due(bool final = false) const;
    /// A new state of the run: "page 1234 · 56,789 records · 410 pages/s", shown when the last
    /// line is old enough (always with final). done counts the pages or documents the rate is of.
    void Tell(const std::function<QString(double perSecond)>& line, qint64 done,
              bool final = false);
    /// Ends the line on a terminal, so that what follows starts on a line of its own.
    void Finish();

    /// 56789 as "56,789".
    static QString Grouped(qint64 number);

private:
    FILE* to_;
    bool shown_ = false;
    bool terminal_ = false;
    bool lineOpen_ = false;
    qint64 startedMs_ = 0;
    qint64 lastShownMs_ = -1;
    int lastLength_ = 0;
};

/// The report's preparation tells its records and pages to PROGRESS and stops at a termination
/// signal (the report's own progress hook, which the desktop's progress window serves too). pages
/// gives the pages made so far. Undone when the returned object goes.
class TRLPreparingProgress {
public:
    TRLPreparingProgress(TRLConsoleProgress& progress, std::function<int()> pages);
    ~TRLPreparingProgress();
    TRLPreparingProgress(const TRLPreparingProgress&) = delete;
    TRLPreparingProgress& operator=(const TRLPreparingProgress&) = delete;
    /// Shows the last state and ends the line.
    void Done();
    /// Records read by the preparations so far.
    static qint64 Records();
};

/// FILTER that tells each page it wrote to PROGRESS and stops after the page at a termination
/// signal; a save filter then leaves no file behind.
template <class Filter> class TRLConsoleFilter : public Filter {
public:
    explicit TRLConsoleFilter(TRLConsoleProgress& progress) : progress_(progress) {}

protected:
    void BeginDoc() override {
        written_ = 0;
        progress_.Restart();
        Filter::BeginDoc();
    }
    void DrawPage(TRLGraphicSurface& page) override {
        Filter::DrawPage(page);
        // Pages written as a report files them are counted by the preparing's own progress.
        if (this->Running()) {
            ++written_;
            const int total = this->LastPage() - this->FirstPage() + 1;
            progress_.Tell(
                [this, total](double perSecond) {
                    return QStringLiteral("page %1 of %2 · %3 pages/s")
                        .arg(TRLConsoleProgress::Grouped(written_),
                             TRLConsoleProgress::Grouped(total))
                        .arg(perSecond, 0, 'f', 0);
                },
                written_, written_ == total);
        }
        if (TerminationRequested())
            this->Cancel();
    }

private:
    TRLConsoleProgress& progress_;
    qint64 written_ = 0;
};

/// Writes IMAGE as a PNG file; the refusal names the file and the system's reason ("No space left
/// on device").
void WritePngFile(const QImage& image, const QString& fileName);

} // namespace Kelmora
