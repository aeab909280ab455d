/// @file
/// Sending a document by e-mail through the desktop's mail program: the pages become a PDF file,
/// named after the document, in a private scratch folder, and xdg-email opens a new message with
/// that file attached. The file stays until the program ends, since the mail program may read it
/// long after it was started.
#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

namespace Kelmora {

class TRLGraphicStorage;

/// The desktop's way to start a new message (xdg-email on the PATH); empty when there is none.
QString MailProgram();

/// The attachment's file name for a document title: lower case, accents dropped, every run of
/// other characters one hyphen ("Declaración Jurada" -> "declaracion-jurada.pdf"); a title
/// without a letter or digit gives "documento.pdf".
QString AttachmentFileName(const QString& title);

/// Writes every page as PDF under AttachmentFileName(title) into a new private scratch folder and
/// returns the file's path. Throws TRLException when the file cannot be written.
QString WriteMailAttachment(TRLGraphicStorage& pages, const QString& title);

/// One new message in the mail program. The object belongs to the application and deletes itself
/// once the program has answered; connect to Finished before calling Open.
class TRLMailMessage : public QObject {
    Q_OBJECT
public:
    TRLMailMessage(const QString& program, const QString& attachment, const QString& subject);

    /// Starts the mail program; the answer comes through Finished.
    void Open();

signals:
    /// Empty when the message was opened; otherwise what went wrong, in the mail program's words
    /// where it gave any.
    void Finished(const QString& failure);

private:
    void End(const QString& failure);

    QProcess process_;
    bool ended_ = false;
};

} // namespace Kelmora
