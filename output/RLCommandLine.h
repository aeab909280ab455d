// What the programs without windows (rltool, kelmora-batch) share: the environment they need
// before their application object exists, the engine's start and close, the version line, and
// the reading and the help of their command lines.
#pragma once

#include "RLCore.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

// A command line that does not fit: an unknown option, an option without its value, a value
// given to a flag. The message names the argument.
class TRLCommandLineError : public TRLException {
public:
    using TRLException::TRLException;
};

// Prepares the process before its application object exists: the offscreen platform unless the
// program shows windows (so that it runs without a display), and a private runtime folder
// ($TMPDIR/PROGRAM-runtime-UID) when the session has none.
void PrepareHeadlessEnvironment(const QString& programName, bool needsDisplay = false);

// The engine's support (scratch folder, log file) and the PDF filter, for this object's life.
// Made after the application object, destroyed before it.
class TRLEngineStart {
public:
    TRLEngineStart();
    ~TRLEngineStart();
    TRLEngineStart(const TRLEngineStart&) = delete;
    TRLEngineStart& operator=(const TRLEngineStart&) = delete;
};

// "PROGRAM (Kelmora) VERSION" and a new line, the answer to --version.
QString VersionLine(const QString& programName);

// The program's arguments as given, without the program name, before any application object
// has taken its own options out.
QStringList RawArguments(int argc, char** argv);

// How an argument that starts with one dash and is longer than two characters is read: as an
// argument (a negative number, an expression) or as an option.
enum class TRLDashArguments { AreArguments, AreOptions };

// Gives PARSER the program's OPTIONS and reads ARGUMENTS (without the program name). Options may
// come before, between and after the arguments; an option with a value takes the next argument
// whatever it is, or the text after "="; "--" ends the options. Throws TRLCommandLineError naming
// the argument that does not fit.
void ParseCommandLine(QCommandLineParser& parser, const QList<QCommandLineOption>& options,
                      const QStringList& arguments, TRLDashArguments dashArguments);

// The lines of a help text's option list: "  -o OUT.png    description", the descriptions in
// one column.
QString OptionsHelp(const QList<QCommandLineOption>& options);

// The -h/--help and --version options, in the form both programs use.
QCommandLineOption HelpOption();
QCommandLineOption VersionOption();
