// The command-line conventions of rltool and kelmora-batch: help and version on standard output
// with status 0, errors as one line on standard error with status 2, and the manual pages and the
// bash completion kept in step with what the programs really accept.
#include "ProgramRunner.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const QStringList kCommands = {"dump", "render",  "pdf",     "print", "view",
                               "eval", "barcode", "prepare", "sample"};

ProgramResult Batch(const QStringList& arguments) {
    return RunProgram(BuiltProgram(QStringLiteral("app/kelmora-batch")), arguments);
}

QString ReadSource(const QString& relativePath) {
    QFile file(QStringLiteral(KELMORA_SOURCE_DIR) + QLatin1Char('/') + relativePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// The lines of a help text's section ("Commands:", "Options:") up to the next blank line.
QStringList Section(const QString& help, const QString& title) {
    QStringList lines;
    bool inside = false;
    for (const QString& line : help.split(QLatin1Char('\n'))) {
        if (inside && line.trimmed().isEmpty())
            break;
        if (inside)
            lines << line;
        if (line == title)
            inside = true;
    }
    return lines;
}

QStringList ListedCommands(const QString& help) {
    QStringList names;
    for (const QString& line : Section(help, QStringLiteral("Commands:")))
        names << line.trimmed().section(QLatin1Char(' '), 0, 0);
    return names;
}

// Every option name ("-o", "--page") in a help text's Options section.
QStringList ListedOptions(const QString& help) {
    QStringList options;
    static const QRegularExpression name(QStringLiteral("(?:^|[ ,])(--?[a-z][a-z-]*)"));
    for (const QString& line : Section(help, QStringLiteral("Options:"))) {
        // The description starts after the first run of two spaces past the names.
        const QString names = line.trimmed().section(QStringLiteral("  "), 0, 0);
        for (const auto& match : name.globalMatch(names))
            options << match.captured(1);
    }
    return options;
}

bool HasGroff() {
    return !QStandardPaths::findExecutable(QStringLiteral("groff")).isEmpty();
}

// What a run that must succeed quietly printed: status 0 and nothing on standard error.
QString QuietOutput(const ProgramResult& r) {
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.isEmpty()) << r.Err.toStdString();
    return r.Out;
}

QStringList Sorted(QStringList list) {
    list.sort();
    return list;
}

// In roff a dash in an option is written "\-".
QString Roff(QString word) {
    return word.replace(QLatin1Char('-'), QLatin1String("\\-"));
}

} // namespace

TEST(CommandLine, HelpAndVersionGoToStandardOutput) {
    for (const QString& flag : {QStringLiteral("--help"), QStringLiteral("-h")}) {
        SCOPED_TRACE(flag.toStdString());
        const QString tool = QuietOutput(Rltool({flag}));
        EXPECT_TRUE(tool.startsWith(QLatin1String("Usage: rltool COMMAND"))) << tool.toStdString();
        EXPECT_EQ(Sorted(ListedCommands(tool)), Sorted(kCommands)) << tool.toStdString();
        EXPECT_TRUE(ListedOptions(tool).contains("--version")) << tool.toStdString();
        const QString batch = QuietOutput(Batch({flag}));
        EXPECT_TRUE(
            batch.startsWith("Usage: kelmora-batch REQUEST.json OUTDIR [--pdf | --pdfa] [--png]"))
            << batch.toStdString();
        EXPECT_EQ(
            Sorted(ListedOptions(batch)),
            (QStringList{"--format", "--help", "--list", "--no-register", "--pdf", "--pdfa",
                         "--png", "--progress", "--register", "--search", "--version", "-h"}));
    }
    EXPECT_EQ(QuietOutput(Rltool({"--version"})),
              QStringLiteral("rltool (Kelmora) " KELMORA_PROJECT_VERSION "\n"));
    EXPECT_EQ(QuietOutput(Batch({"--version"})),
              QStringLiteral("kelmora-batch (Kelmora) " KELMORA_PROJECT_VERSION "\n"));
}

// Each command's help names the command and every option it takes; the options are what the
// command really accepts, so the help cannot list one that the command refuses.
TEST(CommandLine, EveryRltoolCommandHasItsOwnHelp) {
    const struct {
        const char* Command;
        QStringList Options;
    } cases[] = {
        {"dump", {}},
        {"render", {"--page", "--zoom", "-o"}},
        {"pdf", {"-o", "--pdfa", "--author", "--progress"}},
        {"print", {"--printer", "--from", "--to", "--copies", "--progress"}},
        {"view", {}},
        {"eval", {}},
        {"barcode", {"--type", "--module", "--ratio", "--checksum", "--elements", "-o"}},
        {"prepare", {"--data", "--db", "--query", "-o", "--pdfa", "--author", "--progress"}},
        {"sample", {"--pages", "--file-version", "-o"}},
    };
    ASSERT_EQ(std::size(cases), static_cast<size_t>(kCommands.size()));
    QTemporaryDir dir;
    for (const auto& c : cases) {
        const QString command = QString::fromLatin1(c.Command);
        for (const QString& flag : {QStringLiteral("--help"), QStringLiteral("-h")}) {
            SCOPED_TRACE((command + ' ' + flag).toStdString());
            const QString help = QuietOutput(Rltool({command, flag}));
            EXPECT_TRUE(help.startsWith("Usage: rltool " + command)) << help.toStdString();
            EXPECT_EQ(Sorted(ListedOptions(help)), Sorted(c.Options + QStringList{"-h", "--help"}))
                << help.toStdString();
        }
        // Help wins over the other arguments and writes nothing.
        const ProgramResult mixed =
            Rltool({command, dir.filePath("absent.rpf"), "--help", dir.filePath("more")});
        EXPECT_EQ(mixed.ExitCode, 0) << mixed.Err.toStdString();
        EXPECT_TRUE(mixed.Out.startsWith("Usage: rltool " + command));
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

// Help and version start no window system: they work where none can be reached.
TEST(CommandLine, HelpNeedsNoDisplay) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    for (const QStringList& args :
         {QStringList{"view", "--help"}, QStringList{"--help"}, QStringList{"--version"}}) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(BuiltProgram("tools/rltool"), args);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << args.join(' ').toStdString();
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    }
}

TEST(CommandLine, UnknownOptionsAndCommandsAreNamedOnOneLineWithStatusTwo) {
    const struct {
        QStringList Arguments;
        const char* Named;
    } cases[] = {
        {{"--frobnicate"}, "--frobnicate"},
        {{"-x"}, "-x"},
        {{"frobnicate"}, "frobnicate"},
        {{"render", "file.rpf", "--frobnicate", "-o", "out.png"}, "--frobnicate"},
        {{"eval", "-q"}, "-q"},
        {{"sample", "--pages"}, "--pages"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Arguments.join(' ').toStdString());
        const ProgramResult r = Rltool(c.Arguments);
        EXPECT_EQ(r.ExitCode, 2);
        EXPECT_TRUE(r.Out.isEmpty()) << r.Out.toStdString();
        EXPECT_TRUE(r.Err.startsWith("rltool")) << r.Err.toStdString();
        EXPECT_TRUE(r.Err.contains(QLatin1String(c.Named))) << r.Err.toStdString();
        EXPECT_EQ(r.Err.count('\n'), 1) << r.Err.toStdString();
    }
    // With no command at all the usage goes to standard error.
    const ProgramResult none = Rltool({});
    EXPECT_EQ(none.ExitCode, 2);
    EXPECT_TRUE(none.Out.isEmpty());
    EXPECT_TRUE(none.Err.contains("Usage: rltool COMMAND")) << none.Err.toStdString();

    const ProgramResult batch = Batch({"request.json", "out", "--frobnicate"});
    EXPECT_EQ(batch.ExitCode, 2);
    EXPECT_TRUE(batch.Err.startsWith("kelmora-batch: unknown option --frobnicate"))
        << batch.Err.toStdString();
}

// Values that merely start with a dash stay values, as they always were.
TEST(CommandLine, ArgumentsThatStartWithADashStayArguments) {
    const ProgramResult negative = Rltool({"eval", "-2 * 3"});
    EXPECT_EQ(negative.ExitCode, 0) << negative.Err.toStdString();
    EXPECT_EQ(negative.Out, "-6\n");
    // After "--" everything is an argument, also a lone negative number.
    const ProgramResult afterDashes = Rltool({"eval", "--", "-2"});
    EXPECT_EQ(afterDashes.ExitCode, 0) << afterDashes.Err.toStdString();
    EXPECT_EQ(afterDashes.Out, "-2\n");
    QTemporaryDir dir;
    const QString out = dir.filePath("s.rpf");
    const ProgramResult joined = Rltool({"sample", "--pages=1", "-o", out});
    EXPECT_EQ(joined.ExitCode, 0) << joined.Err.toStdString();
    EXPECT_TRUE(QFile::exists(out));
}

TEST(CommandLine, ManualPagesRenderWithoutWarnings) {
    if (!HasGroff())
        GTEST_SKIP() << "groff is not installed";
    for (const char* page : {"kelmora.1", "kelmora-batch.1", "rltool.1"}) {
        SCOPED_TRACE(page);
        const QString path = QStringLiteral(KELMORA_SOURCE_DIR "/docs/man/") + page;
        ASSERT_TRUE(QFile::exists(path));
        const ProgramResult r =
            RunProgram(QStringLiteral("groff"), {"-man", "-Tutf8", "-ww", "-z", path});
        EXPECT_EQ(r.ExitCode, 0);
        EXPECT_TRUE(r.Err.isEmpty()) << r.Err.toStdString();
    }
}

// The manual page and the completion cannot fall behind the program: every command and every
// option that rltool's own help lists is in both; and every option of kelmora-batch is in its page.
TEST(CommandLine, ManualPagesAndCompletionNameEveryCommandAndOption) {
    const QString manual = ReadSource("docs/man/rltool.1");
    const QString completion = ReadSource("docs/completion/rltool");
    ASSERT_FALSE(manual.isEmpty());
    ASSERT_FALSE(completion.isEmpty());
    const auto inManual = [&](const QString& word) {
        return manual.contains(
            QRegularExpression(QRegularExpression::escape(Roff(word)) + "(?![A-Za-z]|\\\\-)"));
    };
    const auto inCompletion = [&](const QString& word) {
        return completion.contains(QRegularExpression(
            "(?<![A-Za-z-])" + QRegularExpression::escape(word) + "(?![A-Za-z-])"));
    };
    const QStringList commands = ListedCommands(Rltool({"--help"}).Out);
    ASSERT_EQ(commands.size(), kCommands.size());
    for (const QString& command : commands) {
        SCOPED_TRACE(command.toStdString());
        EXPECT_TRUE(manual.contains(".SS " + command)) << "a section for the command";
        EXPECT_TRUE(inCompletion(command));
        for (const QString& option : ListedOptions(Rltool({command, "--help"}).Out)) {
            EXPECT_TRUE(inManual(option)) << option.toStdString();
            EXPECT_TRUE(inCompletion(option)) << option.toStdString();
        }
    }
    const QString batchManual = ReadSource("docs/man/kelmora-batch.1");
    const QString batchCompletion = ReadSource("docs/completion/kelmora-batch");
    for (const QString& option : ListedOptions(Batch({"--help"}).Out)) {
        EXPECT_TRUE(batchManual.contains(Roff(option))) << option.toStdString();
        EXPECT_TRUE(batchCompletion.contains(QRegularExpression(
            "(?<![A-Za-z-])" + QRegularExpression::escape(option) + "(?![A-Za-z-])")))
            << option.toStdString();
    }
}

// The completion really completes: commands, each command's options, and files by extension.
TEST(CommandLine, CompletionOffersCommandsOptionsAndFilesByExtension) {
    if (QStandardPaths::findExecutable(QStringLiteral("bash")).isEmpty())
        GTEST_SKIP() << "bash is not installed";
    QTemporaryDir dir;
    for (const char* name : {"a.rpf", "b.png", "c.json", "d.pdf"}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QDir(dir.path()).mkdir("sub");
    const auto complete = [&](const QString& line) {
        const QString script =
            QStringLiteral("source '%1/docs/completion/rltool' && cd '%2' && "
                           "COMP_WORDS=(%3) && COMP_CWORD=$((${#COMP_WORDS[@]}-1)) && "
                           "COMP_LINE='%3' && _rltool && printf '%s\\n' \"${COMPREPLY[@]}\"")
                .arg(QStringLiteral(KELMORA_SOURCE_DIR), dir.path(), line);
        const ProgramResult r = RunProgram(QStringLiteral("bash"), {"-c", script});
        EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
        QStringList offered = r.Out.split('\n', Qt::SkipEmptyParts);
        offered.sort();
        return offered;
    };
    EXPECT_EQ(complete("rltool ''"), Sorted(kCommands));
    EXPECT_EQ(complete("rltool p"), (QStringList{"pdf", "prepare", "print"}));
    EXPECT_EQ(complete("rltool render --"), (QStringList{"--help", "--page", "--zoom"}));
    EXPECT_EQ(complete("rltool render a.rpf -"),
              (QStringList{"--help", "--page", "--zoom", "-h", "-o"}));
    EXPECT_EQ(complete("rltool render ''"), (QStringList{"a.rpf", "sub/"}));
    EXPECT_EQ(complete("rltool render a.rpf -o ''"), (QStringList{"b.png", "sub/"}));
    EXPECT_EQ(complete("rltool pdf a.rpf -o ''"), (QStringList{"d.pdf", "sub/"}));
    EXPECT_EQ(complete("rltool prepare ''"), (QStringList{"c.json", "sub/"}));
    EXPECT_EQ(complete("rltool prepare c.json --data ''"), (QStringList{"c.json", "sub/"}));
    EXPECT_EQ(complete("rltool sample -o ''"), (QStringList{"a.rpf", "sub/"}));
    EXPECT_EQ(complete("rltool barcode --type bcEAN1"),
              (QStringList{"bcEAN128A", "bcEAN128B", "bcEAN128C", "bcEAN13"}));
    EXPECT_TRUE(complete("rltool render --page ''").isEmpty()) << "a number, nothing to offer";
    EXPECT_EQ(complete("rltool prepare c.json --pro"), QStringList{"--progress"});
}

// kelmora-batch's completion: its options, a request file first, then the output folder.
TEST(CommandLine, BatchCompletionOffersOptionsTheRequestAndTheFolder) {
    if (QStandardPaths::findExecutable(QStringLiteral("bash")).isEmpty())
        GTEST_SKIP() << "bash is not installed";
    QTemporaryDir dir;
    for (const char* name : {"request.json", "b.rpf"}) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QDir(dir.path()).mkdir("out");
    const auto complete = [&](const QString& line) {
        const QString script =
            QStringLiteral("source '%1/docs/completion/kelmora-batch' && cd '%2' && "
                           "COMP_WORDS=(%3) && COMP_CWORD=$((${#COMP_WORDS[@]}-1)) && "
                           "_kelmora_batch && printf '%s\\n' \"${COMPREPLY[@]}\"")
                .arg(QStringLiteral(KELMORA_SOURCE_DIR), dir.path(), line);
        const ProgramResult r = RunProgram(QStringLiteral("bash"), {"-c", script});
        EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
        QStringList offered = r.Out.split('\n', Qt::SkipEmptyParts);
        offered.sort();
        return offered;
    };
    EXPECT_EQ(complete("kelmora-batch --p"),
              (QStringList{"--pdf", "--pdfa", "--png", "--progress"}));
    EXPECT_EQ(complete("kelmora-batch ''"), (QStringList{"out/", "request.json"}));
    EXPECT_EQ(complete("kelmora-batch --pdf request.json ''"), QStringList{"out/"});
}
