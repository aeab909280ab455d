// Sending from the preview window through a stand-in for the desktop's mail program.
#include "../e2e/ProgramRunner.h"
#include "PreviewTestSupport.h"
#include <kelmora/dialogs/RLMailFlow.h>
#include <kelmora/preview/RLPreview.h>
#include <kelmora/preview/RLPreviewForm.h>
#include <kelmora/support/RLMessages.h>
#include <kelmora/support/RLUtils.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace Kelmora;

using namespace previewtest;

namespace {

// An xdg-email that writes its arguments, one a line, beside itself, complains and exits so.
class MailStandIn {
public:
    explicit MailStandIn(int status = 0, const QByteArray& complaint = {}) {
        QFile file(dir_.filePath(QStringLiteral("xdg-email")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n"
                   "for argument in \"$@\"; do printf '%s\\n' \"$argument\"; done > \"$0.args\"\n");
        if (!complaint.isEmpty())
            file.write("echo '" + complaint + "' >&2\n");
        file.write("exit " + QByteArray::number(status) + "\n");
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                            QFileDevice::ExeOwner);
    }
    QString Dir() const { return dir_.path(); }
    // Empty until the program has run.
    QStringList Arguments() const {
        QFile record(dir_.filePath(QStringLiteral("xdg-email.args")));
        if (!record.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(record.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir dir_;
};

class PreviewSend : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        qputenv("TMPDIR", tmp_.path().toLocal8Bit());
        InitEngineSupport();
    }
    void TearDown() override {
        delete form_.data();
        FinishEngineSupport();
        qputenv("PATH", savedPath_);
        qputenv("TMPDIR", savedTmp_);
    }
    // The stand-in's folder first: the machine's own mail program, if any, never comes first.
    void UseMailProgramIn(const QString& dir, bool withSystemPath = true) {
        qputenv("PATH", (dir + (withSystemPath ? u':' + savedPath_ : QString())).toLocal8Bit());
    }
    TRLPreviewForm& OpenPreview(const QString& title, const QStringList& texts) {
        store_ = MakeTextStore({texts}, &owner_);
        store_->SetTitle(title);
        form_ = new TRLPreviewForm();
        form_->setWindowTitle(QStringLiteral("Ver"));
        form_->Views().front()->SetPages(store_);
        form_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form_));
        return *form_;
    }
    // The scratch folders made so far (the page store keeps its own scratch file there too).
    QStringList ScratchFolders() const {
        return QDir(tmp_.path())
            .entryList({QStringLiteral("~fr*")}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir tmp_;
    const QByteArray savedPath_ = qgetenv("PATH");
    const QByteArray savedTmp_ = qgetenv("TMPDIR");
    QObject owner_;
    TRLGraphicStorage* store_ = nullptr;
    QPointer<TRLPreviewForm> form_;
};

TEST_F(PreviewSend, TheMailProgramGetsTheDocumentAsAOnePagePdfNamedAfterIt) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        GTEST_SKIP() << "poppler-utils are not installed";
    MailStandIn mail;
    UseMailProgramIn(mail.Dir());
    TRLPreviewForm& form =
        OpenPreview(QStringLiteral("Declaración Jurada"), {"DECLARACIÓN JURADA", "Juan Gómez"});
    form.SpeedButtonSend->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !mail.Arguments().isEmpty(); }, 30000));

    // (The desktop test of the operator's road checks every argument the program is handed.)
    const QFileInfo attachment(mail.Arguments().value(1));
    EXPECT_EQ(attachment.fileName(), QStringLiteral("declaracion-jurada.pdf"));
    // In a folder of its own in the scratch directory, which nobody else may enter.
    EXPECT_EQ(QFileInfo(attachment.absolutePath()).absolutePath(),
              QFileInfo(tmp_.path()).absoluteFilePath());
    EXPECT_EQ(QFileInfo(attachment.absolutePath()).permissions() & 0077, 0);
    EXPECT_TRUE(RunProgram(QStringLiteral("pdfinfo"), {attachment.filePath()})
                    .Out.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
    const QString text = RunProgram(QStringLiteral("pdftotext"), {attachment.filePath(), "-"}).Out;
    EXPECT_TRUE(text.contains(QStringLiteral("Juan Gómez"))) << text.toStdString();

    // Sent again, in a new folder: the mail program may still be reading the first one.
    QFile::remove(mail.Dir() + QStringLiteral("/xdg-email.args"));
    form.SpeedButtonSend->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !mail.Arguments().isEmpty(); }, 30000));
    EXPECT_NE(mail.Arguments().value(1), attachment.filePath());
    EXPECT_TRUE(attachment.exists());

    // At the end of the program both are gone.
    EXPECT_EQ(ScratchFolders().size(), 2);
    FinishEngineSupport();
    EXPECT_EQ(ScratchFolders(), QStringList());
}

// Here the document has no title, so it goes by the window's caption.
TEST_F(PreviewSend, AMailProgramThatFailsIsReportedWithWhatToDo) {
    MailStandIn mail(3, "xdg-email: no method available for opening mailto:");
    UseMailProgramIn(mail.Dir());
    TRLPreviewForm& form = OpenPreview(QString(), {"Texto"});
    form.SpeedButtonSend->click();
    QMessageBox* box = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (box = form.findChild<QMessageBox*>(QStringLiteral("MailFailure"))); },
        30000));
    EXPECT_EQ(QFileInfo(mail.Arguments().value(1)).fileName(), QStringLiteral("ver.pdf"));
    EXPECT_EQ(mail.Arguments().value(3), QStringLiteral("Ver"));
    EXPECT_EQ(box->text(), RLMessages[mkMailNotOpened]);
    EXPECT_TRUE(box->detailedText().contains(QStringLiteral("status 3")))
        << box->detailedText().toStdString();
    EXPECT_TRUE(box->detailedText().contains(QStringLiteral("no method available")));
    EXPECT_EQ(box->windowModality(), Qt::WindowModal) << "modal to its preview only";
}

TEST_F(PreviewSend, WithoutAMailProgramTheButtonStaysDisabled) {
    const QTemporaryDir empty;
    UseMailProgramIn(empty.path(), false);
    TRLPreviewForm& form = OpenPreview(QStringLiteral("Solicitud"), {"SOLICITUD"});
    EXPECT_FALSE(form.SpeedButtonSend->isEnabled());
    // Nor does the command itself write anything when called.
    form.Send();
    QCoreApplication::processEvents();
    EXPECT_EQ(ScratchFolders(), QStringList());
    EXPECT_EQ(form.findChild<QMessageBox*>(), nullptr);
}

// No title can reach outside the folder or hide the file. (The three documents' own titles are
// sent in the desktop test of the operator's road.)
TEST(MailAttachment, FileNamesFromTitles) {
    const struct {
        const char* Title;
        const char* Name;
    } cases[] = {{"  ¿Año 2026?  ", "ano-2026.pdf"},
                 {"../../etc/passwd", "etc-passwd.pdf"},
                 {".oculto", "oculto.pdf"},
                 {"Ñandú — Œuvre ½", "nandu-œuvre-1-2.pdf"},
                 {"*** / ***", "documento.pdf"}};
    for (const auto& c : cases)
        EXPECT_EQ(AttachmentFileName(QString::fromUtf8(c.Title)), QString::fromUtf8(c.Name))
            << c.Title;
}

} // namespace
