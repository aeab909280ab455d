// Runs one of the built programs and collects what it printed.
#pragma once

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

struct ProgramResult {
    int ExitCode = -1;
    QString Out;
    QString Err;
};

inline QString BuiltProgram(const QString& relativePath) {
    return QStringLiteral(KELMORA_BINARY_DIR) + QLatin1Char('/') + relativePath;
}

// Waits for a started program to end, at most timeoutMs (then kills it), and collects its output.
inline ProgramResult FinishProgram(QProcess& process, int timeoutMs = 60000) {
    ProgramResult result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.Err = QStringLiteral("did not finish in time");
        return result;
    }
    result.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.Out = QString::fromUtf8(process.readAllStandardOutput());
    result.Err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

inline ProgramResult RunProgram(const QString& program, const QStringList& arguments,
                                const QProcessEnvironment& environment, int timeoutMs = 60000) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    return FinishProgram(process, timeoutMs);
}

inline ProgramResult RunProgram(const QString& program, const QStringList& arguments,
                                int timeoutMs = 60000) {
    return RunProgram(program, arguments, QProcessEnvironment::systemEnvironment(), timeoutMs);
}

inline ProgramResult Rltool(const QStringList& arguments) {
    return RunProgram(BuiltProgram(QStringLiteral("tools/rltool")), arguments);
}

// The fonts of a PDF that pdffonts lists as not embedded (its "emb" column, fifth from the
// end); a file that lists no font at all counts as a fault too.
inline QStringList UnembeddedFonts(const QString& pdf) {
    QStringList missing;
    const QStringList rows = RunProgram(QStringLiteral("pdffonts"), {pdf})
                                 .Out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                                 .mid(2);
    for (const QString& row : rows) {
        const QStringList cells = row.simplified().split(QLatin1Char(' '));
        if (cells.value(cells.size() - 5) != QLatin1String("yes"))
            missing << row;
    }
    return rows.isEmpty() ? QStringList{QStringLiteral("no fonts listed")} : missing;
}

// A PDF file's text with its dates (of the information and of the metadata) and identifier
// masked: what two writings of the same document share.
inline QString PdfWithoutDates(const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("(cannot read %1)").arg(file);
    static const QRegularExpression dates(R"(\(D:[^)]*\)|xmp:\w+Date="[^"]*"|/ID ?\[[^\]]*\])");
    return QString::fromLatin1(in.readAll()).replace(dates, QStringLiteral("masked"));
}
