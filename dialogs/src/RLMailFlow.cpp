#include <kelmora/dialogs/RLMailFlow.h>

#include <kelmora/output/RLFilters.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pdf/RLPdfFilter.h>
#include <kelmora/support/RLScratchFile.h>
#include <kelmora/support/RLUtils.h>

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace Kelmora {

QString MailProgram() {
    return QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
}

QString AttachmentFileName(const QString& title) {
    QString name;
    bool gap = false;
    // Decomposed, an accented letter is its base letter followed by marks, which are dropped.
    for (const QChar c : title.normalized(QString::NormalizationForm_KD)) {
        if (c.category() == QChar::Mark_NonSpacing)
            continue;
        if (!c.isLetterOrNumber()) {
            gap = !name.isEmpty();
            continue;
        }
        if (gap)
            name += u'-';
        gap = false;
        name += c.toLower();
    }
    if (name.isEmpty())
        name = QStringLiteral("documento");
    return name + QStringLiteral(".pdf");
}

QString WriteMailAttachment(TRLGraphicStorage& pages, const QString& title) {
    const QString file = QDir(CreateScratchFolder()).filePath(AttachmentFileName(title));
    // A filter of its own: the program's PDF filter may be busy saving in the background.
    TRLPDFFilter filter;
    filter.SetAuthor(RegisterPdfFilter().Author());
    filter.SetShowProgress(false);
    filter.SetFileName(file);
    FilterPages(&pages, &filter, 1, false, -1);
    KeepScratchFile(file);
    return file;
}

TRLMailMessage::TRLMailMessage(const QString& program, const QString& attachment,
                               const QString& subject)
    : QObject(QCoreApplication::instance()) {
    QStringList arguments = {QStringLiteral("--attach"), attachment};
    if (!subject.isEmpty())
        arguments << QStringLiteral("--subject") << subject;
    process_.setProgram(program);
    process_.setArguments(arguments);
    process_.setStandardInputFile(QProcess::nullDevice());
    process_.setProcessChannelMode(QProcess::MergedChannels);
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        // Errors after the start end in finished, which tells more.
        if (error == QProcess::FailedToStart)
            End(QStringLiteral("%1: %2").arg(process_.program(), process_.errorString()));
    });
    connect(&process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        const QString said = QString::fromLocal8Bit(process_.readAll()).trimmed();
        if (status == QProcess::NormalExit && code == 0)
            End(QString());
        else if (status == QProcess::CrashExit)
            End(QStringLiteral("%1 stopped abnormally. %2").arg(process_.program(), said));
        else
            End(QStringLiteral("%1 ended with status %2. %3")
                    .arg(process_.program())
                    .arg(code)
                    .arg(said));
    });
}

void TRLMailMessage::Open() {
    process_.start();
}

void TRLMailMessage::End(const QString& failure) {
    if (ended_)
        return;
    ended_ = true;
    emit Finished(failure.trimmed());
    deleteLater();
}

} // namespace Kelmora
