// Writing onto a disk that really is full: a tiny file system in a mount namespace of the test's
// own, where the programs meet the system's "No space left on device" as they would in the field
// (a file size limit, as the fault tests use, fails writes with another error).
#include "CappedProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

// The system's words for a full disk as the programs print them: as the toolkit words them for
// its own files, the same in every locale the suite runs in.
QString NoSpace() {
    return qt_error_string(ENOSPC);
}

class DiskFull : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("full")));
        const CappedResult probe = InFullDisk(QStringLiteral("true"));
        if (probe.ExitCode != 0 && probe.ErrText().contains(QLatin1String("unshare failed")))
            GTEST_SKIP() << "the kernel refuses a private mount namespace: "
                         << probe.Describe().toStdString();
        // Anything else (no tiny file system mounted) is a fault of the test's own.
        ASSERT_EQ(probe.ExitCode, 0) << probe.Describe().toStdString();
        ASSERT_EQ(rltool.isEmpty(), false);
        // A document far larger than the tiny disk, written where there is room.
        const CappedResult sample =
            RunCapped(rltool, {QStringLiteral("sample"), QStringLiteral("--pages"),
                               QStringLiteral("60"), QStringLiteral("-o"), Source()});
        ASSERT_EQ(sample.ExitCode, 0) << sample.Describe().toStdString();
        // A report of some two hundred pages, to be prepared straight onto the full disk.
        QFile report(Report());
        ASSERT_TRUE(report.open(QIODevice::WriteOnly));
        report.write(R"({ "class": "TRLReport", "name": "R", "children": [
            { "class": "TRLBand", "name": "B", "BandType": "btDetail", "Height": 40, "children": [
              { "class": "TRLLabel", "name": "L", "Left": 10, "Top": 4, "Caption": "Línea" } ] } ] })");
        QFile records(Records());
        ASSERT_TRUE(records.open(QIODevice::WriteOnly));
        records.write("[");
        for (int i = 0; i < 5000; ++i)
            records.write((i ? ",{\"n\":" : "{\"n\":") + QByteArray::number(i) + "}");
        records.write("]");
    }

    // A shell command run with a 64 KB file system mounted on Full() in a namespace of its own;
    // an earlier file is put there first when one is given.
    CappedResult InFullDisk(const QString& command, const QByteArray& earlier = {},
                            const QString& earlierName = {}) const {
        QString script =
            QStringLiteral("mount -t tmpfs -o size=64k none '%1' || exit 97\n").arg(Full());
        if (!earlierName.isEmpty())
            script += QStringLiteral("printf '%1' > '%2/%3' || exit 98\n")
                          .arg(QString::fromLatin1(earlier), Full(), earlierName);
        script += command + QStringLiteral("\n");
        CappedOptions options;
        options.Environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // Without it the toolkit warns on standard error, before the one line expected there.
        options.Environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        return RunCapped(
            QStringLiteral("/usr/bin/unshare"),
            {QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"), script}, options);
    }
    // rltool with arguments, as a command of the shell.
    QString Rltool(const QStringList& arguments) const {
        QString command = QStringLiteral("'%1'").arg(rltool);
        for (const QString& argument : arguments)
            command += QStringLiteral(" '%1'").arg(argument);
        return command;
    }
    // The listing and contents of the full disk after the command, which it prints last.
    static QString ListFull(const QString& full) {
        return QStringLiteral("; status=$?; ls -A '%1' >&2; for f in '%1'/*; do [ -f \"$f\" ] && "
                              "cat \"$f\" >&2; done; exit $status")
            .arg(full);
    }

    QString Full() const { return dir.filePath(QStringLiteral("full")); }
    QString Source() const { return dir.filePath(QStringLiteral("muestra.rpf")); }
    QString Report() const { return dir.filePath(QStringLiteral("informe.json")); }
    QString Records() const { return dir.filePath(QStringLiteral("registros.json")); }

    QTemporaryDir dir;
    const QString rltool = BuiltProgram(QStringLiteral("tools/rltool"));
};

// Each command refuses in one line that names the file and the system's reason, and leaves the
// disk as it found it: the earlier file whole, no partial output, no temporary file.
TEST_F(DiskFull, EveryWriterSaysTheDiskIsFullAndNamesTheFile) {
    const struct {
        QStringList Arguments; // the output follows "-o"
        QString Output;
    } cases[] = {
        {{QStringLiteral("pdf"), Source()}, QStringLiteral("keep.pdf")},
        {{QStringLiteral("sample"), QStringLiteral("--pages"), QStringLiteral("60")},
         QStringLiteral("muestra.rpf")},
        {{QStringLiteral("sample"), QStringLiteral("--pages"), QStringLiteral("60"),
          QStringLiteral("--file-version"), QStringLiteral("1")},
         QStringLiteral("antigua.rpf")},
        {{QStringLiteral("prepare"), Report(), QStringLiteral("--data"), Records()},
         QStringLiteral("informe.pdf")},
        {{QStringLiteral("prepare"), Report(), QStringLiteral("--data"), Records(),
          QStringLiteral("--pdfa")},
         QStringLiteral("archivo.pdf")},
        {{QStringLiteral("prepare"), Report(), QStringLiteral("--data"), Records()},
         QStringLiteral("informe.rpf")},
    };
    for (const auto& c : cases) {
        for (const bool earlier : {false, true}) {
            const QString output = Full() + u'/' + c.Output;
            SCOPED_TRACE((c.Arguments.join(u' ') + QStringLiteral(" -o ") + output +
                          (earlier ? QStringLiteral(" over an earlier file") : QString()))
                             .toStdString());
            const QString command =
                Rltool(c.Arguments + QStringList{QStringLiteral("-o"), output}) + ListFull(Full());
            const CappedResult result =
                InFullDisk(command, "earlier", earlier ? c.Output : QString());
            EXPECT_EQ(result.Signal, 0) << result.Describe().toStdString();
            EXPECT_EQ(result.ExitCode, 2) << result.Describe().toStdString();
            const QStringList lines = result.ErrText().split(u'\n');
            ASSERT_GE(lines.size(), 2) << result.Describe().toStdString();
            const QString& refusal = lines[0];
            const QString command0 = c.Arguments[0];
            EXPECT_TRUE(refusal.startsWith(QStringLiteral("rltool %1: ").arg(command0)))
                << refusal.toStdString();
            EXPECT_TRUE(refusal.contains(output + QStringLiteral("\": ")) ||
                        refusal.contains(output + QStringLiteral(": ")))
                << "the file, then why: " << refusal.toStdString();
            EXPECT_TRUE(refusal.endsWith(NoSpace())) << refusal.toStdString();
            // What is left on the disk: the earlier file alone, as it was, or nothing.
            const QString left = lines.mid(1).join(u'\n').trimmed();
            EXPECT_EQ(left, earlier ? c.Output + QStringLiteral("\nearlier") : QString());
        }
    }
}

// The pages of a report being prepared wait in a page file in the temporary folder; when that
// folder's disk fills up the refusal names the page file, and neither it nor an output is left.
TEST_F(DiskFull, APageFileOnAFullDiskIsNamed) {
    const QString output = dir.filePath(QStringLiteral("informe.rpf"));
    const QString command = QStringLiteral("TMPDIR='%1' ").arg(Full()) +
                            Rltool({QStringLiteral("prepare"), Report(), QStringLiteral("--data"),
                                    Records(), QStringLiteral("-o"), output}) +
                            ListFull(Full());
    const CappedResult result = InFullDisk(command);
    EXPECT_EQ(result.ExitCode, 2) << result.Describe().toStdString();
    const QStringList lines = result.ErrText().split(u'\n');
    ASSERT_GE(lines.size(), 2) << result.Describe().toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("rltool prepare: "))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(QStringLiteral("page file \"%1/").arg(Full())))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(NoSpace())) << lines[0].toStdString();
    EXPECT_EQ(lines.mid(1).join(u'\n').trimmed(), QString()) << "nothing left on the full disk";
    EXPECT_FALSE(QFile::exists(output));
}

} // namespace
