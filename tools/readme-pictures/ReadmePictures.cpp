// kelmora-readme-pictures [OUTDIR]: the pictures of the README, made by the program itself. It
// creates the program's windows as the program does, fills the request form with a sample
// request, presses "Imprimir" and answers the operator's message, and writes what the operator
// would see: the main window, the filled request form, the message box, the request document's
// preview window, the message that the preview's "Enviar" hands to the mail program (drawn by a
// stand-in for it, see MailStandIn) and the three prepared documents. OUTDIR defaults to
// docs/images.
//
// Run it on a display; under a window manager (tests/desktop/with-window-manager openbox ...) the
// windows are pictured with their frames and the whole desktop is pictured too.
#include <kelmora/app/DocumentForms.h>
#include <kelmora/app/FRegistro.h>
#include <kelmora/app/FillingRun.h>
#include <kelmora/app/KelmoraApp.h>
#include <kelmora/app/RequestRegister.h>
#include <kelmora/documents/FFRDeclaracionJurada.h>
#include <kelmora/documents/FFRSolicitud.h>
#include <kelmora/documents/FFRVehiculoParticular.h>

#include <kelmora/app/SampleRequest.h>
#include <kelmora/app/ToolkitTranslations.h>
#include <kelmora/dialogs/RLOutputFlows.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/preview/RLPreviewForm.h>
#include <kelmora/preview/RLReportPreview.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/support/RLUtils.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

using namespace Kelmora;

namespace {

// The documents are drawn at 144 pixels per inch: 8- and 10-point text read comfortably, and
// both sizes come to whole pixel heights (16 and 20 px), so that lines keep the widths that
// the page measured at 96 pixels per inch.
constexpr double kDocumentZoom = 1.5;
// The preview window's picture: wide enough for the toolbar and the page at 100%.
const QSize kPreviewSize(1100, 760);

class TPictureError {
public:
    explicit TPictureError(QString message) : message_(std::move(message)) {}
    const QString& Message() const { return message_; }

private:
    QString message_;
};

// Lets the event loop run for a while, so that windows are shown, laid out and activated.
void Settle(int milliseconds = 150) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

template <typename T> T* Child(const QWidget& window, const char* name) {
    T* child = window.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) {
        throw TPictureError(QStringLiteral("the request form has no %1").arg(name));
    }
    return child;
}

void Save(const QImage& image, const QString& file) {
    if (!image.save(file, "PNG")) {
        throw TPictureError(QStringLiteral("cannot write %1").arg(file));
    }
    std::printf("%s (%d x %d)\n", qPrintable(QDir::toNativeSeparators(file)), image.width(),
                image.height());
}

// Under a window manager a window is pictured as the desktop shows it, with its frame and title
// bar; without one, its contents alone.
QImage Picture(QWidget& window) {
    const QRect frame = window.frameGeometry();
    if (frame != window.geometry()) {
        if (QScreen* screen = window.screen()) {
            const QPixmap shot =
                screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
            if (!shot.isNull())
                return shot.toImage();
        }
    }
    return window.grab().toImage();
}

void SaveWindow(QWidget& window, const QString& file) {
    window.raise();
    window.activateWindow();
    Settle(300);
    Save(Picture(window), file);
}

// The whole screen, as the operator sees it.
void SaveScreen(const QString& file) {
    QScreen* screen = QGuiApplication::primaryScreen();
    const QPixmap shot = screen ? screen->grabWindow(0) : QPixmap();
    if (shot.isNull())
        throw TPictureError(QStringLiteral("cannot take a picture of the screen"));
    Save(shot.toImage(), file);
}

void SaveDocument(TRLReport& report, const QString& file) {
    const auto page = report.Storage().Pages(0);
    if (!page) {
        throw TPictureError(QStringLiteral("no prepared page for %1").arg(file));
    }
    const int width = static_cast<int>(std::nearbyint(page->Width() * kDocumentZoom));
    const int height = static_cast<int>(std::nearbyint(page->Height() * kDocumentZoom));
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        page->PaintTo(painter, image.rect());
    }
    Save(image, file);
}

// The desktop's mail program, stood in for: a program called xdg-email, first on the PATH, that
// keeps the arguments it is handed. The picture of the new message is drawn from them by
// Composer below; a real mail program shows its own window with the same subject and file.
class MailStandIn {
public:
    MailStandIn() {
        QFile script(dir_.filePath(QStringLiteral("xdg-email")));
        if (!dir_.isValid() || !script.open(QIODevice::WriteOnly))
            throw TPictureError(QStringLiteral("cannot make the stand-in mail program"));
        script.write("#!/bin/sh\n"
                     "printf '%s\\n' \"$@\" >\"$0.args.tmp\" && mv \"$0.args.tmp\" \"$0.args\"\n");
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                              QFileDevice::ExeOwner);
        qputenv("PATH", (dir_.path() + u':' + qEnvironmentVariable("PATH")).toLocal8Bit());
    }
    // What the program was handed, waiting for it a while: --attach FILE --subject TITLE.
    QStringList Arguments() const {
        QFile record(dir_.filePath(QStringLiteral("xdg-email.args")));
        QElapsedTimer clock;
        clock.start();
        while (!record.exists() && clock.elapsed() < 10000)
            Settle(50);
        if (!record.open(QIODevice::ReadOnly))
            throw TPictureError(QStringLiteral("Enviar did not reach the mail program"));
        return QString::fromUtf8(record.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir dir_;
};

// A new-message window as a mail program shows one, made from what xdg-email was handed: the
// subject, and the attached file with its size and its first page as poppler draws it.
std::unique_ptr<QWidget> Composer(const QStringList& handed) {
    if (handed.size() != 4 || handed[0] != u"--attach" || handed[2] != u"--subject")
        throw TPictureError(
            QStringLiteral("the mail program was handed: %1").arg(handed.join(' ')));
    const QFileInfo attachment(handed[1]);
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    QProcess::execute(QStringLiteral("pdftoppm"),
                      {QStringLiteral("-r"), QStringLiteral("30"), QStringLiteral("-singlefile"),
                       QStringLiteral("-png"), attachment.filePath(), prefix});
    const QPixmap page(prefix + QStringLiteral(".png"));
    if (page.isNull())
        throw TPictureError(
            QStringLiteral("pdftoppm could not draw %1").arg(attachment.filePath()));

    auto window = std::make_unique<QWidget>();
    window->setWindowTitle(QStringLiteral("Mensaje nuevo: %1").arg(handed[3]));
    auto* layout = new QFormLayout(window.get());
    auto* to = new QLineEdit;
    to->setPlaceholderText(QStringLiteral("departamento@corvath.example"));
    layout->addRow(QStringLiteral("Para:"), to);
    layout->addRow(QStringLiteral("Asunto:"), new QLineEdit(handed[3]));
    auto* file = new QLabel(QStringLiteral("%1 (%2 KB)")
                                .arg(attachment.fileName())
                                .arg((attachment.size() + 1023) / 1024));
    layout->addRow(QStringLiteral("Adjunto:"), file);
    auto* thumbnail = new QLabel;
    thumbnail->setPixmap(page);
    thumbnail->setFrameStyle(QFrame::Box);
    thumbnail->setFixedSize(page.size() + QSize(2, 2));
    layout->addRow(QString(), thumbnail);
    layout->addRow(new QPlainTextEdit);
    window->resize(520, window->sizeHint().height());
    return window;
}

// Keeps the preview windows in the order in which they are shown.
class TPreviewWatch : public QObject {
public:
    std::vector<QPointer<TRLPreviewForm>> Shown;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* form = qobject_cast<TRLPreviewForm*>(watched)) {
                Shown.emplace_back(form);
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

void MakePictures(const QString& outDir) {
    // Before any preview exists: each one looks for a mail program as it opens.
    const MailStandIn mail;
    TKelmoraWindows windows = CreateKelmoraWindows();

    // The main window at its design size: the picture stays centred in white at any size.
    TFPrincipal& principal = *windows.FPrincipal;
    principal.show();
    SaveWindow(principal, outDir + QStringLiteral("/main-window.png"));
    // Then as the program shows it, maximised.
    principal.showMaximized();
    Settle(300);

    // The request form as "&Kelmora" opens it, but without a modal loop of its own so that this
    // program can go on. Filled after its activation, which sets both dates to today.
    TFKelmora& form = *windows.FKelmora;
    form.setWindowModality(Qt::WindowModal);
    form.show();
    form.activateWindow();
    Settle(300);
    // Two weeks ahead, so that the travel follows the preparation date of the letterhead.
    FillSampleRequest(form, QDate::currentDate().addDays(14));
    Child<QLineEdit>(form, "E_Persona")->setFocus(Qt::OtherFocusReason);
    SaveWindow(form, outDir + QStringLiteral("/request-form.png"));

    // "Imprimir": the previews open, then the operator's message box, which is pictured and
    // answered as soon as it is up.
    TPreviewWatch watch;
    qApp->installEventFilter(&watch);
    bool messageSeen = false;
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || messageSeen) {
            return;
        }
        messageSeen = true;
        SaveWindow(*box, outDir + QStringLiteral("/operator-message.png"));
        // The desktop at that moment: the message over the three previews, over the form.
        SaveScreen(outDir + QStringLiteral("/desktop.png"));
        box->button(QMessageBox::Ok)->click();
    });
    answer.start();
    Child<QPushButton>(form, "ImprLisObs")->click();
    answer.stop();
    qApp->removeEventFilter(&watch);
    if (!messageSeen) {
        throw TPictureError(QStringLiteral("the operator's message did not appear"));
    }
    if (watch.Shown.size() != 3 || watch.Shown.back().isNull()) {
        throw TPictureError(
            QStringLiteral("%1 preview windows opened instead of 3").arg(watch.Shown.size()));
    }

    // The last window opened is the request document's, on top of the other two.
    TRLPreviewForm& preview = *watch.Shown.back();
    preview.showNormal();
    preview.setGeometry(QRect(QPoint(0, 0), kPreviewSize));
    SaveWindow(preview, outDir + QStringLiteral("/preview-window.png"));

    // "Enviar", and the new message it opens.
    preview.SpeedButtonSend->click();
    const std::unique_ptr<QWidget> composer = Composer(mail.Arguments());
    composer->show();
    SaveWindow(*composer, outDir + QStringLiteral("/mail-message.png"));
    composer->close();

    // The register window over the form, the request just printed on top of a few earlier ones.
    {
        TRequestRegister reg(TRequestRegister::DefaultLocation());
        const TDatosSolicitud sample = form.DatosSolicitud();
        const QDateTime now = QDateTime::currentDateTimeUtc();
        TDatosSolicitud earlier = sample;
        earlier.Persona = QStringLiteral("PAPADÓPOULOS, SÓCRATES");
        earlier.DNI = QStringLiteral("94.123.456");
        earlier.Destino = QStringLiteral("Mar del Plata, Buenos Aires");
        reg.Record(earlier, {kDocumentSolicitud}, DesktopUserName(), now.addDays(-9));
        earlier = sample;
        earlier.Destino = QStringLiteral("Rosario, Santa Fe");
        reg.Record(earlier, {kDocumentSolicitud, kDocumentDeclaracionJurada}, DesktopUserName(),
                   now.addDays(-30));
    }
    TFRegistro registro(&form);
    registro.show();
    registro.activateWindow();
    Settle(400);
    SaveWindow(registro, outDir + QStringLiteral("/register-window.png"));
    registro.close();

    TDocumentForms& documents = *windows.DocumentForms;
    SaveDocument(documents.FFRSolicitud->RLReport1(), outDir + QStringLiteral("/request.png"));
    SaveDocument(documents.FFRDeclaracionJurada->RLReport1(),
                 outDir + QStringLiteral("/sworn-statement.png"));
    SaveDocument(documents.FFRVehiculoParticular->RLReport1(),
                 outDir + QStringLiteral("/private-vehicle-statement.png"));

    for (const QPointer<TRLPreviewForm>& window : watch.Shown) {
        if (!window.isNull()) {
            window->close();
        }
    }
    form.close();
    principal.hide();
    Settle(50);
}

} // namespace

int main(int argc, char** argv) {
    // The pictures show a Spanish (Argentina) desktop whatever this machine is set to: the
    // engine's window texts follow the system's language, the dates read day/month/year and the
    // decimal separator is the comma. The system locale is read from the environment when the
    // application starts; the windows take their formats when they are made.
    qputenv("LC_ALL", "es_AR.UTF-8");
    // The requests it prints go to a register of its own, not the user's.
    const QTemporaryDir registerDir;
    qputenv("KELMORA_REGISTER", registerDir.filePath(QStringLiteral("registro.sqlite")).toUtf8());
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 2 || (arguments.size() == 2 && arguments[1].startsWith('-'))) {
        std::fprintf(stderr, "usage: kelmora-readme-pictures [OUTDIR]\n");
        return 2;
    }
    const QString outDir = arguments.size() == 2 ? arguments[1] : QStringLiteral("docs/images");
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "%s: cannot create the directory\n", qPrintable(outDir));
        return 2;
    }

    // The same start-up as the program's.
    InitEngineSupport();
    RegisterPreviewHandler();
    RegisterOutputHooks();
    UseDocumentDatesLocale();
    TToolkitTranslations toolkitTexts;
    toolkitTexts.Install();
    int status = 0;
    try {
        MakePictures(outDir);
    } catch (const TPictureError& error) {
        std::fprintf(stderr, "kelmora-readme-pictures: %s\n", qPrintable(error.Message()));
        status = 2;
    } catch (const TRLException& error) {
        std::fprintf(stderr, "kelmora-readme-pictures: %s\n", qPrintable(error.Message()));
        status = 2;
    }
    FinishEngineSupport();
    return status;
}
