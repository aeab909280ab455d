#include "RLCommandLine.h"

#include "RLPdfFilter.h"
#include "RLUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include <algorithm>
#include <cstdio>

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
