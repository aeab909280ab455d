// The register in the program's windows: the register window finds and hands back a request, the
// form takes it whole but for its dates, and "Persona que viaja" offers the people printed for.
#include "AppTestSupport.h"
#include "WidgetWalk.h"
#include <kelmora/app/FKelmora.h>
#include <kelmora/app/FRegistro.h>
#include <kelmora/app/RequestRegister.h>

#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Kelmora;

namespace {

class RegisterWindows : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        location = dir.filePath(QStringLiteral("registro.sqlite"));
        TRequestRegister reg(location);
        TDatosSolicitud older = apptest::FullRequest();
        older.DNI = QStringLiteral("11.111.111");
        older.Categoria = QStringLiteral("TIT");
        reg.Record(older, {kDocumentSolicitud}, QStringLiteral("ana"), At(1));
        reg.Record(apptest::FullRequest(), {kDocumentSolicitud, kDocumentVehiculoParticular},
                   QStringLiteral("ana"), At(2));
        TDatosSolicitud greek = apptest::FullRequest();
        greek.Persona = QStringLiteral("ΠΑΠΑΔΟΠΟΥΛΟΣ, ΣΩΚΡΆΤΗΣ");
        greek.Destino = QStringLiteral("Θεσσαλονίκη");
        greek.MedioIndice = -1;
        greek.Medio = QStringLiteral("Tren");
        greek.Patente.clear();
        greek.SolicitaPasajes = false;
        greek.MontoPasaje.clear();
        reg.Record(greek, {kDocumentSolicitud}, QStringLiteral("luis"), At(3));
        this->greek = greek;
    }
    static QDateTime At(int day) {
        return QDateTime(QDate(2026, 11, day), QTime(15, 0), QTimeZone::utc());
    }

    QTemporaryDir dir;
    QString location;
    TDatosSolicitud greek;
};

// Newest first; the search narrows the list as it is typed, accents and case aside; the chosen
// request comes back whole.
TEST_F(RegisterWindows, TheWindowFindsAndHandsBackARequest) {
    TFRegistro window(nullptr, location);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(window.Entries().size(), 3u);
    EXPECT_EQ(window.Entries().front().Request.Persona, greek.Persona);
    EXPECT_EQ(window.List->model()->rowCount(), 3);
    EXPECT_EQ(window.Status->text(), QStringLiteral("3 solicitudes."));

    apptest::Type(window.SearchText, QStringLiteral("θεσσαλονικη"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.Entries().size() == 1; }, 3000));
    EXPECT_EQ(window.List->model()->index(0, 1).data().toString(), greek.Persona);
    window.SearchText->clear();
    apptest::Type(window.SearchText, QStringLiteral("nadie así"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.Entries().empty(); }, 3000));
    EXPECT_EQ(window.Status->text(), QStringLiteral("Ninguna solicitud coincide."));
    EXPECT_FALSE(window.UseButton->isEnabled());

    window.SearchText->clear();
    window.FromDate->setDate(QDate(2026, 11, 2));
    window.ToDate->setDate(QDate(2026, 11, 2));
    ASSERT_EQ(window.Entries().size(), 1u);
    EXPECT_EQ(window.Entries().front().Request, apptest::FullRequest());
    QTest::keyClick(window.List, Qt::Key_Return);
    ASSERT_TRUE(window.Chosen().has_value());
    EXPECT_EQ(*window.Chosen(), apptest::FullRequest());
    EXPECT_EQ(window.result(), QDialog::Accepted);
}

// A register that cannot be read says so in the window, in Spanish, and lists nothing.
TEST_F(RegisterWindows, ARegisterThatCannotBeReadSaysWhy) {
    const QString broken = dir.filePath(QStringLiteral("roto.sqlite"));
    QFile file(broken);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(4096, 'z'));
    file.close();
    TFRegistro window(nullptr, broken);
    window.Search();
    EXPECT_EQ(window.Status->text(),
              QStringLiteral("No se pudo leer el registro: el archivo del registro está dañado."));
    EXPECT_EQ(window.List->model()->rowCount(), 0);
    EXPECT_FALSE(window.UseButton->isEnabled());
}

// A register longer than the window lists shows the newest and says there are more; the search
// reaches the others.
TEST_F(RegisterWindows, MoreThanTheWindowListsIsSaid) {
    TFRegistro window(nullptr, location, 2);
    window.Search();
    ASSERT_EQ(window.Entries().size(), 2U);
    EXPECT_EQ(window.Entries()[0].Request.Persona, greek.Persona);
    EXPECT_EQ(window.List->model()->rowCount(), 2);
    EXPECT_EQ(window.Status->text(),
              QStringLiteral("Se muestran las 2 más recientes; hay más: acote la búsqueda o las "
                             "fechas."));
    window.SearchText->setText(QStringLiteral("11111111"));
    window.Search();
    ASSERT_EQ(window.Entries().size(), 1U);
    EXPECT_EQ(window.Entries()[0].Request.DNI, QStringLiteral("11.111.111"));
    EXPECT_EQ(window.Status->text(), QStringLiteral("1 solicitud."));
}

// Every control is named for a screen reader, and reached by Tab in the order it stands.
TEST_F(RegisterWindows, TheWindowIsNamedThroughout) {
    TFRegistro window(nullptr, location);
    const testsupport::Walk walk = testsupport::WalkWindow(window);
    EXPECT_TRUE(walk.faults.empty()) << testsupport::Faults(walk);
    EXPECT_EQ(walk.interactive, 6);
}

// The form takes a request from the register whole, but keeps today's dates; "Buscar
// anteriores..." opens the window over it, and the request chosen there fills it.
TEST_F(RegisterWindows, TheFormTakesTheChosenRequestButKeepsTodaysDates) {
    TFKelmora form;
    form.SetRegisterLocation(location);
    ASSERT_TRUE(apptest::ShowActive(form));
    const QDate today = QDate::currentDate();
    form.SetDatosSolicitud(greek);
    TDatosSolicitud expected = greek;
    expected.Salida = today;
    expected.Regreso = today;
    EXPECT_EQ(form.DatosSolicitud(), expected);

    // Alt+B opens the window (a moment later, as a pressed button shows itself down); in it the
    // operator types, goes down to the list and presses Enter.
    size_t listed = 0;
    QTimer operatorAtTheWindow;
    operatorAtTheWindow.setInterval(20);
    QObject::connect(&operatorAtTheWindow, &QTimer::timeout, [&] {
        auto* window = qobject_cast<TFRegistro*>(QApplication::activeModalWidget());
        if (window == nullptr)
            return;
        operatorAtTheWindow.stop();
        apptest::Type(window->SearchText, QStringLiteral("muñoz"));
        window->Search();
        listed = window->Entries().size();
        window->List->selectRow(0);
        QTest::keyClick(window->List, Qt::Key_Return);
    });
    operatorAtTheWindow.start();
    QTest::keyClick(&form, Qt::Key_B, Qt::AltModifier);
    expected = apptest::FullRequest();
    expected.Salida = today;
    expected.Regreso = today;
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.DatosSolicitud() == expected; }, 5000));
    EXPECT_EQ(listed, 2u) << "the two requests for Muñoz";
}

// Typing part of a name offers the people already in the register; choosing one fills the
// identity number, category and dedication of their newest request.
TEST_F(RegisterWindows, ChoosingAPersonFillsTheirIdentityCategoryAndDedication) {
    TFKelmora form;
    form.SetRegisterLocation(location);
    ASSERT_TRUE(apptest::ShowActive(form));
    auto* persona = apptest::Child<QLineEdit>(form, "E_Persona");
    QCompleter* completer = persona->completer();
    ASSERT_NE(completer, nullptr);
    completer->setCompletionPrefix(QStringLiteral("maría"));
    ASSERT_EQ(completer->completionCount(), 1);
    EXPECT_EQ(completer->currentCompletion(), apptest::FullRequest().Persona);
    emit completer->activated(completer->currentCompletion());
    EXPECT_EQ(apptest::Child<QLineEdit>(form, "E_DNI")->text(), apptest::FullRequest().DNI);
    EXPECT_EQ(apptest::Child<QComboBox>(form, "E_Categoria")->currentText(),
              apptest::FullRequest().Categoria);
    EXPECT_EQ(apptest::Child<QComboBox>(form, "E_Dedicacion")->currentText(),
              apptest::FullRequest().Dedicacion);
    completer->setCompletionPrefix(QStringLiteral("ΣΩΚΡ"));
    EXPECT_EQ(completer->completionCount(), 1);
}

} // namespace
