// The filling run: which documents a request produces, the texts it writes, the order in which
// it hands the documents over, and what the operator sees at the end.
#include "DocumentTestSupport.h"
#include <kelmora/app/DocumentForms.h>
#include <kelmora/app/FillingRun.h>
#include <kelmora/app/RequestRegister.h>
#include <kelmora/dialogs/RLAccessibility.h>
#include <kelmora/documents/FFRDeclaracionJurada.h>
#include <kelmora/documents/FFRSolicitud.h>
#include <kelmora/documents/FFRVehiculoParticular.h>
#include <kelmora/preview/RLPreview.h>
#include <kelmora/preview/RLPreviewForm.h>
#include <kelmora/preview/RLReportPreview.h>
#include <kelmora/report/RLTextControls.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <functional>
#include <vector>

using namespace Kelmora;

using namespace doctest;

namespace {

TDatosSolicitud Basic() {
    TDatosSolicitud d;
    d.Persona = QStringLiteral("ANA PÉREZ");
    d.DNI = QStringLiteral("20.123.456");
    d.Categoria = QStringLiteral("ADJ");
    d.Dedicacion = QStringLiteral("EXCLUSIVA");
    d.Motivo = QStringLiteral("Congreso");
    d.Destino = QStringLiteral("Córdoba");
    d.Medio = QStringLiteral("Omnibus");
    d.MedioIndice = 1;
    d.Salida = QDate(2024, 3, 7);
    d.HoraSalida = QTime(9, 5);
    d.Regreso = QDate(2024, 3, 10);
    d.HoraRegreso = QTime(0, 0);
    return d;
}

} // namespace

TEST(FillingTexts, PhraseAndDocumentsForCombinationsOfItems) {
    const struct {
        bool Pasajes, Kelmora, Inscripcion;
        const char* Frase;
    } rows[] = {
        {false, false, false, ""},
        {false, true, false, "kelmora"},
        {true, true, false, "pasajes, kelmora"},
        {false, true, true, "kelmora e inscripción"},
        {true, false, true, "pasajes e inscripción"},
        {true, true, true, "pasajes, kelmora e inscripción"},
    };
    // No entry chosen, an ordinary one, and the private vehicle.
    for (const int medio : {-1, 1, 3}) {
        for (const auto& row : rows) {
            TDatosSolicitud d = Basic();
            d.MedioIndice = medio;
            d.SolicitaPasajes = row.Pasajes;
            d.SolicitaKelmora = row.Kelmora;
            d.SolicitaInscripcion = row.Inscripcion;
            const TFillingTexts t = MakeFillingTexts(d);
            QString frase = QString::fromUtf8(row.Frase);
            if (medio == 3)
                frase.replace(QStringLiteral("pasajes"), QStringLiteral("equivalente a pasajes"));
            SCOPED_TRACE(frase.toStdString() + " medio " + std::to_string(medio));
            EXPECT_EQ(t.Frase, frase);
            EXPECT_EQ(t.Solicita, frase + " unicamente");
            // Per-diem days alone need no sworn statement.
            EXPECT_EQ(t.DeclaracionJurada, row.Pasajes || row.Inscripcion);
            EXPECT_EQ(t.VehiculoParticular, medio == 3);
        }
    }
}

TEST(FillingTexts, TimesHaveTwoDigitHoursAndDatesFollowTheLocale) {
    EXPECT_EQ(TimeText(QTime(9, 5)), "09:05");
    EXPECT_EQ(TimeText(QTime(23, 59, 40)), "23:59");

    const QDate date(2024, 3, 7);
    // The C locale spells the month out in its short format; the documents use digits. The batch
    // program's documents show a regional locale's short day/month/year.
    const auto restore = qScopeGuard([saved = QLocale()] { QLocale::setDefault(saved); });
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(ShortDateText(date), "07/03/2024");
}

TEST(FillingTexts, OperatorMessageSeparatesItsSentencesWithTwoCarriageReturns) {
    const QString second = QString::fromUtf8(
        "Si tiene más de un formulario, imprima y cierre para que aparezcan los otros formularios");
    EXPECT_EQ(OperatorMessage(3), "Tiene 3 formularios para imprimir\r\r" + second);
    EXPECT_EQ(DisplayedOperatorMessage(2), "Tiene 2 formularios para imprimir\n\n" + second);
}

class FillDocumentsTest : public ::testing::Test {
protected:
    // Fills the forms and returns the documents handed over, in order.
    std::vector<TDocumentKind> Fill(const TDatosSolicitud& d) {
        std::vector<TDocumentKind> order;
        texts = FillDocuments(d, forms, [&](TDocumentKind kind, TRLReport& report) {
            order.push_back(kind);
            // Each document is whole by the time it is handed over.
            const TFFRDocument* form[] = {forms.FFRSolicitud.get(),
                                          forms.FFRDeclaracionJurada.get(),
                                          forms.FFRVehiculoParticular.get()};
            EXPECT_EQ(&report, &form[int(kind)]->RLReport1());
        });
        return order;
    }

    TDocumentForms forms;
    TFillingTexts texts;
};

TEST_F(FillDocumentsTest, HandsOverSwornStatementThenVehicleThenRequest) {
    using K = TDocumentKind;
    TDatosSolicitud d = Basic();
    d.SolicitaKelmora = true;
    EXPECT_EQ(Fill(d), std::vector<K>({K::Solicitud}));
    d.SolicitaInscripcion = true;
    EXPECT_EQ(Fill(d), std::vector<K>({K::DeclaracionJurada, K::Solicitud}));
    d.MedioIndice = 3;
    d.Medio = "Vehículo Particular";
    EXPECT_EQ(Fill(d), std::vector<K>({K::DeclaracionJurada, K::VehiculoParticular, K::Solicitud}));
    d.SolicitaInscripcion = false;
    d.SolicitaKelmora = false;
    EXPECT_EQ(Fill(d), std::vector<K>({K::VehiculoParticular, K::Solicitud}));
    EXPECT_EQ(texts.FormCount, 2);
}

// The item lines carry the typed values with their fixed spacing; items not asked for read
// "NO SOLICITADO" (the batch program's request shows one).
TEST_F(FillDocumentsTest, PreparedRequestShowsTheFilledTextsInTheirPlaces) {
    using K = TDocumentKind;
    TDatosSolicitud d = Basic();
    d.SolicitaPasajes = true;
    d.MontoPasaje = QStringLiteral("1500,50");
    d.SolicitaKelmora = true;
    d.DiasKelmora = QStringLiteral("3");
    d.SolicitaInscripcion = true;
    d.MontoInscripcion = QStringLiteral(",,5");
    // The list entry decides, not the text shown: no vehicle statement.
    d.Medio = "Vehículo Particular";
    d.MedioIndice = 0;
    EXPECT_EQ(Fill(d), std::vector<K>({K::DeclaracionJurada, K::Solicitud}));
    const auto page = PreparePage(forms.FFRSolicitud->RLReport1());
    ASSERT_TRUE(page);
    const struct {
        QString Text;
        int Left, Top;
    } expected[] = {
        {d.DNI, 120, 61},      {"EXCLUSIVA", 471, 98},
        {"ADJ", 144, 98},      {"Congreso", 120, 136},
        {d.Medio, 224, 250},   {"PASAJES   $ 1500,50", 114, 401},
        {"09:05", 361, 288},   {ShortDateText(d.Salida), 136, 288},
        {"00:00", 361, 325},   {"KELMORA   3 DÍAS", 114, 439},
        {d.Persona, 204, 23},  {ShortDateText(d.Regreso), 136, 325},
        {d.Destino, 125, 212}, {"INSCRIPCIÓN      $ ,,5", 114, 477},
    };
    for (const auto& e : expected)
        ExpectInBody(*page, e.Text, e.Left, e.Top);
    for (const char* stale : {"AUX_1", "AUX_2", "AUX_4"})
        EXPECT_TRUE(TextsIn(*page, {0, 0, page->Width(), page->Height()}).filter(stale).isEmpty());
}

// The desktop run: a preview window per produced document, then the operator's message box
// on the last of them; the previews belong to the entry form.
class RunFillingRunTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RegisterPreviewHandler(); }

    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<TRLPreviewForm*>(w))
                w->close();
        QApplication::processEvents();
    }

    // The previews open now; with an owner, only those that belong to it (stack above it).
    static int OpenPreviews(const QWidget* owner = nullptr) {
        int open = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<TRLPreviewForm*>(w) && w->isVisible() &&
                (!owner || (owner->windowHandle() &&
                            w->windowHandle()->transientParent() == owner->windowHandle())))
                ++open;
        return open;
    }

    // Runs the filling run; check sees its message box, which is then answered with OK. False
    // when no message box came.
    bool Run(const TDatosSolicitud& d, QWidget* parent,
             const std::function<void(QMessageBox&)>& check) {
        bool seen = false;
        QTimer timer;
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (auto* message = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen = true;
                check(*message);
                message->button(QMessageBox::Ok)->click();
            }
        });
        timer.start();
        RunFillingRun(d, parent);
        return seen;
    }
};

TEST_F(RunFillingRunTest, OpensOnePreviewPerDocumentAndTellsTheOperatorHowMany) {
    TDocumentForms forms;
    // Not shown and never active: the previews belong to the form they are opened for all the
    // same.
    QWidget entryForm;
    const struct {
        bool Pasajes;
        int Medio, Count;
    } cases[] = {{false, 1, 1}, {true, 0, 2}, {true, 3, 3}, {false, 3, 2}};
    for (const auto& c : cases) {
        TDatosSolicitud d = Basic();
        d.Persona = QStringLiteral("PERSONA %1").arg(c.Count * 10 + c.Medio);
        d.SolicitaPasajes = c.Pasajes;
        d.MedioIndice = c.Medio;
        d.Medio = MedioEntries().at(c.Medio);
        SCOPED_TRACE(c.Count);
        ASSERT_TRUE(Run(d, &entryForm, [&](QMessageBox& box) {
            EXPECT_EQ(box.windowTitle(), "Sr. Operador");
            EXPECT_EQ(box.text(), DisplayedOperatorMessage(c.Count));
            EXPECT_EQ(OpenPreviews(), c.Count) << "the windows are open under the message";
            EXPECT_EQ(OpenPreviews(&entryForm), c.Count) << "the previews belong to the entry form";
            // The message sits on the request's preview, the last one opened, so that it shows
            // above every preview and gives the keyboard to that preview when it closes.
            auto* top = qobject_cast<TRLPreviewForm*>(box.parentWidget());
            ASSERT_NE(top, nullptr);
            EXPECT_EQ(top->CurrentView()->Pages(), &forms.FFRSolicitud->RLReport1().Storage());
        })) << "no message box";
        // Every run prepares its documents anew.
        const auto page = forms.FFRSolicitud->RLReport1().Storage().Pages(0);
        ASSERT_TRUE(page);
        ExpectInBody(*page, d.Persona, 204, 23);
        TearDown();
    }
}

// Each run is recorded in the register with the documents it produced, by whom and when; a
// register that cannot take it leaves every preview open and says so in the operator's message,
// with the database's own words behind "Mostrar detalles".
TEST_F(RunFillingRunTest, RecordsTheRequestOrSaysWhyItCouldNot) {
    TDocumentForms forms;
    QWidget entryForm;
    QTemporaryDir dir;
    const QString location = dir.filePath(QStringLiteral("registro.sqlite"));
    qputenv("KELMORA_REGISTER", location.toUtf8());
    const auto unset = qScopeGuard([] { qunsetenv("KELMORA_REGISTER"); });

    TDatosSolicitud d = Basic();
    d.Persona = QStringLiteral("Íñigo Παπαδόπουλος");
    d.SolicitaPasajes = true;
    d.MontoPasaje = QStringLiteral("1500,50");
    d.MedioIndice = kMedioVehiculoParticular;
    d.Medio = MedioEntries().at(kMedioVehiculoParticular);
    d.Patente = QStringLiteral("AB123CD");
    // The message's icon is drawn for the screen (the kind's own picture, sharp at any scale).
    const auto shows = [](const QMessageBox& box, QMessageBox::Icon kind) {
        const QImage icon = box.iconPixmap().toImage();
        return !icon.isNull() &&
               icon == MessageIconPixmap(kind, icon.width(), box.devicePixelRatio()).toImage();
    };
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    ASSERT_TRUE(Run(d, &entryForm, [&](QMessageBox& box) {
        EXPECT_TRUE(shows(box, QMessageBox::Information));
        EXPECT_EQ(box.text(), DisplayedOperatorMessage(3));
    }));
    TearDown();
    {
        const TRequestRegister reg(location);
        const auto entries = reg.Find({});
        ASSERT_EQ(entries.size(), 1U);
        EXPECT_EQ(entries[0].Request, d);
        EXPECT_EQ(entries[0].Documents,
                  QStringList({kDocumentDeclaracionJurada, kDocumentVehiculoParticular,
                               kDocumentSolicitud}));
        EXPECT_EQ(entries[0].PrintedBy, DesktopUserName());
        EXPECT_FALSE(entries[0].PrintedBy.isEmpty());
        EXPECT_GE(entries[0].Printed, before);
        EXPECT_LE(entries[0].Printed, QDateTime::currentDateTimeUtc());
    }

    // A file that is no database: the documents all the same, and the reason.
    const QString corrupt = dir.filePath(QStringLiteral("dañado.sqlite"));
    QFile file(corrupt);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(8192, 'x'));
    file.close();
    qputenv("KELMORA_REGISTER", corrupt.toUtf8());
    ASSERT_TRUE(Run(d, &entryForm, [&](QMessageBox& box) {
        EXPECT_TRUE(shows(box, QMessageBox::Warning));
        EXPECT_EQ(box.text(),
                  DisplayedOperatorMessage(3) + QStringLiteral("\n\n") +
                      NotRecordedMessage(QStringLiteral("el archivo del registro está dañado")));
        EXPECT_TRUE(box.text().endsWith(
            QStringLiteral("La solicitud no quedó registrada: el archivo del registro está "
                           "dañado.")));
        EXPECT_TRUE(box.detailedText().contains(corrupt)) << box.detailedText().toStdString();
        EXPECT_EQ(OpenPreviews(&entryForm), 3) << "the documents do not wait for the register";
    }));
    QFile unchanged(corrupt);
    ASSERT_TRUE(unchanged.open(QIODevice::ReadOnly));
    EXPECT_EQ(unchanged.readAll(), QByteArray(8192, 'x')) << "the broken file is left as it was";
}
