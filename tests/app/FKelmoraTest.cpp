#include "AppTestSupport.h"
#include <kelmora/app/FKelmora.h>
#include <kelmora/app/SampleRequest.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QKeySequence>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimeEdit>

#include <gtest/gtest.h>

using namespace Kelmora;

using apptest::Child;
using apptest::PressEnter;
using apptest::TypeInto;

namespace {

const char* const kDependentFields[] = {"E_Patente", "E_MontoPasaje", "E_DiasKelmora",
                                        "E_MontoInscripcion"};

class FKelmoraTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(apptest::ShowActive(form));
        ASSERT_NE(WindowColour(), Light3D()) << "the test cannot tell the two colours apart";
    }

    template <typename T> T* W(const char* name) { return Child<T>(form, name); }
    QLineEdit* Edit(const char* name) { return W<QLineEdit>(name); }
    QComboBox* Combo(const char* name) { return W<QComboBox>(name); }
    QCheckBox* Check(const char* name) { return W<QCheckBox>(name); }
    QString FocusName() const {
        // Editable lists and pickers hand the focus to an inner edit; name the field itself.
        QWidget* focus = QApplication::focusWidget();
        while (focus != nullptr && focus->objectName().isEmpty())
            focus = focus->parentWidget();
        if (focus != nullptr && focus->objectName() == QLatin1String("qt_spinbox_lineedit"))
            focus = focus->parentWidget();
        return focus == nullptr ? QString() : focus->objectName();
    }
    QColor WindowColour() const { return QApplication::palette().color(QPalette::Base); }
    QColor Light3D() const { return QApplication::palette().color(QPalette::Midlight); }
    // "on 'text'" on the window colour, "off 'text'" greyed, "?" first when the colour is wrong.
    QString State(QLineEdit* edit) const {
        const bool on = edit->isEnabled();
        return QStringLiteral("%1%2 '%3'")
            .arg(edit->palette().color(QPalette::Base) == (on ? WindowColour() : Light3D()) ? ""
                                                                                            : "?",
                 on ? "on" : "off", edit->text());
    }
    void ExpectDependentFieldsOff(const char* when) {
        for (const char* name : kDependentFields)
            EXPECT_EQ(State(Edit(name)), "off ''") << when << " " << name;
    }

    TFKelmora form;
};

// At first no entry is selected, the means of transport showing "Omnibus" all the same.
TEST_F(FKelmoraTest, ListsHoldTheRequestsEntriesAndOnlyTheMeansOfTransportTakesText) {
    for (const auto& [name, entries] : {std::pair{"E_Categoria", CategoriaEntries()},
                                        {"E_Dedicacion", DedicacionEntries()},
                                        {"CB_Medio", MedioEntries()}}) {
        QStringList items;
        for (int i = 0; i < Combo(name)->count(); ++i)
            items << Combo(name)->itemText(i);
        EXPECT_EQ(items, entries) << name;
        EXPECT_EQ(Combo(name)->isEditable(), entries == MedioEntries()) << name;
        EXPECT_EQ(Combo(name)->currentIndex(), -1) << name;
    }
    EXPECT_EQ(QStringList({Combo("E_Categoria")->currentText(), Combo("CB_Medio")->currentText()}),
              QStringList({"", "Omnibus"}));
    ExpectDependentFieldsOff("at first");

    // Pressing Enter in the free-text list adds nothing to it.
    TypeInto(Combo("CB_Medio"), "");
    Combo("CB_Medio")->lineEdit()->selectAll();
    apptest::Type(QApplication::focusWidget(), "Tren");
    PressEnter();
    EXPECT_EQ(Combo("CB_Medio")->count(), 4);
    EXPECT_EQ(Combo("CB_Medio")->currentText(), "Tren");
}

TEST_F(FKelmoraTest, ReasonMemoTakesLineBreaksAndStopsAtFiveHundredCharacters) {
    // Enter stays in the memo and breaks the line.
    auto* motivo = W<QPlainTextEdit>("M_Motivo");
    TypeInto(motivo, QString(498, u'm'));
    PressEnter();
    apptest::Type(motivo, "xyz");
    EXPECT_EQ(motivo->toPlainText(), QString(498, u'm') + "\nx");
    PressEnter(); // a line break is a character too
    EXPECT_EQ(motivo->toPlainText().size(), 500);

    // Over a selection, the selection's room counts.
    motivo->clear();
    apptest::Type(motivo, QString(495, u'a'));
    QApplication::clipboard()->setText("0123456789");
    motivo->paste();
    EXPECT_EQ(motivo->toPlainText(), QString(495, u'a') + "01234");
    motivo->selectAll();
    QApplication::clipboard()->setText(QString(600, u'z'));
    motivo->paste();
    EXPECT_EQ(motivo->toPlainText(), QString(500, u'z'));
    QTest::keyClick(motivo, Qt::Key_Tab);
    EXPECT_EQ(FocusName(), "E_Destino");
}

TEST_F(FKelmoraTest, TickingAnItemEnablesItsFieldEmptyAndUntickingEmptiesItAgain) {
    const struct {
        const char *box, *field, *typed;
    } rules[] = {{"CK_Pasajes", "E_MontoPasaje", "1500"},
                 {"CK_Kelmora", "E_DiasKelmora", "3"},
                 {"CK_Inscripcion", "E_MontoInscripcion", "200"}};
    for (const auto& rule : rules) {
        SCOPED_TRACE(rule.field);
        QCheckBox* box = Check(rule.box);
        QLineEdit* field = Edit(rule.field);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
        ASSERT_TRUE(box->isChecked());
        TypeInto(field, rule.typed);
        EXPECT_EQ(State(field), QStringLiteral("on '%1'").arg(rule.typed));
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Space);
        EXPECT_EQ(State(field), "off ''");
        QTest::keyClick(box, Qt::Key_Space);
        EXPECT_EQ(State(field), "on ''") << "the field kept its old amount";
    }
}

TEST_F(FKelmoraTest, PlateFollowsTheSelectedEntryNotTheText) {
    QComboBox* medio = Combo("CB_Medio");
    QLineEdit* patente = Edit("E_Patente");
    const auto state = [&] {
        return QString::number(medio->currentIndex()) + ' ' + State(patente);
    };

    medio->setCurrentIndex(kMedioVehiculoParticular);
    TypeInto(patente, "AB123CD");
    EXPECT_EQ(state(), "3 on 'AB123CD'");
    medio->setCurrentIndex(2);
    EXPECT_EQ(state(), "2 off ''");
    medio->setCurrentIndex(kMedioVehiculoParticular);

    // Choosing "Vehículo Particular" from the list while it is selected empties the plate too.
    patente->setText("qw123");
    EXPECT_EQ(patente->text(), "QW123") << "set from code, shown in upper case all the same";
    medio->showPopup();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(medio->view()->window()));
    medio->view()->setCurrentIndex(medio->model()->index(kMedioVehiculoParticular, 0));
    QTest::keyClick(medio->view(), Qt::Key_Return);
    EXPECT_EQ(state(), "3 on ''") << "the plate survived a choice of its entry";

    // Free text selects nothing, whatever it says; one more letter leaves the entry.
    apptest::Type(medio->lineEdit(), "s");
    EXPECT_EQ(state(), "-1 off ''");
    EXPECT_EQ(form.DatosSolicitud().Medio, QStringLiteral("Vehículo Particulars"));

    // Typing an entry's exact text selects it, keeping the cursor where the typing left it.
    medio->lineEdit()->selectAll();
    apptest::Type(medio->lineEdit(), "Avión");
    EXPECT_EQ(medio->currentIndex(), 0);
    apptest::Type(medio->lineEdit(), "!");
    EXPECT_EQ(medio->currentText(), QStringLiteral("Avión!"));
}

TEST_F(FKelmoraTest, AmountFieldsTakeDigitsTheLocalesDecimalSeparatorAndEditingKeysOnly) {
    Check("CK_Pasajes")->setChecked(true);
    Check("CK_Inscripcion")->setChecked(true);
    // Each key on its own: in de_DE a second separator is kept.
    const struct {
        const char *locale, *typed, *shown;
    } cases[] = {{"es_AR", "1.5", "1,5"},
                 {"en_US", "1,5", "1.5"},
                 {"de_DE", "2.000,50", "2,000,50"},
                 {"es_AR", "abc-$ 1 2+e3", "123"}};
    for (const char* field : {"E_MontoPasaje", "E_MontoInscripcion"})
        for (const auto& c : cases) {
            const auto locale = apptest::DefaultLocale(QLocale(QString::fromLatin1(c.locale)));
            Edit(field)->clear();
            TypeInto(Edit(field), QString::fromUtf8(c.typed));
            EXPECT_EQ(Edit(field)->text(), c.shown) << field << " " << c.locale << " " << c.typed;
        }

    // Keys that type nothing keep working; control characters are discarded.
    QLineEdit* monto = Edit("E_MontoPasaje");
    monto->clear();
    TypeInto(monto, "1234");
    QTest::keyClick(monto, Qt::Key_Backspace);
    EXPECT_EQ(monto->text(), "123");
    for (const Qt::Key key : {Qt::Key_Home, Qt::Key_Delete, Qt::Key_Right})
        QTest::keyClick(monto, key);
    apptest::Type(monto, "9");
    EXPECT_EQ(monto->text(), "293");
    // The paste shortcut is a control character too: it inserts nothing.
    QApplication::clipboard()->setText("77");
    QTest::keyClick(monto, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(monto->text(), "293");
}

TEST_F(FKelmoraTest, EnterWalksTheFieldsInTabOrderSkippingDisabledOnes) {
    const auto expectWalk = [this](const QStringList& walk) {
        W<QWidget>(walk.first().toLatin1().constData())->setFocus();
        for (qsizetype i = 1; i < walk.size(); ++i) {
            PressEnter();
            EXPECT_EQ(FocusName(), walk.at(i)) << "after " << walk.at(i - 1).toStdString();
        }
    };
    expectWalk({"E_Persona", "E_DNI", "E_Categoria", "E_Dedicacion", "M_Motivo"});
    expectWalk({"E_Destino", "CB_Medio", "D_Salida", "D_HoraSalida", "D_Regreso", "D_HoraRegreso",
                "CK_Pasajes", "CK_Kelmora", "CK_Inscripcion", "ImprLisObs"});

    // An amount field, with its own key filter, is a stop once enabled. (The desktop test of the
    // operator's road walks through the plate.)
    Check("CK_Pasajes")->setChecked(true);
    expectWalk({"CK_Pasajes", "E_MontoPasaje", "CK_Kelmora"});
    EXPECT_EQ(Edit("E_MontoPasaje")->text(), "") << "Enter typed nothing";
}

// Cerrar closes the window as its close box does; both reach the same reset.
TEST_F(FKelmoraTest, ClosingResetsTheFieldsButNotTheDatesAndTimes) {
    FillSampleRequest(form, QDate(2020, 1, 2));
    ASSERT_EQ(form.DatosSolicitud().MontoInscripcion, "1200,00");
    QTest::mouseClick(W<QPushButton>("CerrIniSes"), Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());

    // The lists at their first entry; the dates and times stay: closing is not what resets them.
    TDatosSolicitud reset;
    reset.Categoria = reset.Dedicacion = "--seleccione--";
    reset.Medio = QStringLiteral("Avión");
    reset.MedioIndice = 0;
    reset.Salida = QDate(2020, 1, 2);
    reset.Regreso = QDate(2020, 1, 5);
    reset.HoraSalida = QTime(7, 30);
    reset.HoraRegreso = QTime(21, 0);
    EXPECT_EQ(form.DatosSolicitud(), reset);
    ExpectDependentFieldsOff("closed");

    // Activation brings the dates back to today.
    ASSERT_TRUE(apptest::ShowActive(form));
    EXPECT_EQ(W<QDateEdit>("D_Salida")->date(), QDate::currentDate());
}

// A label's access key leads to its buddy (the accessibility test checks every box's); a check
// box's clicks it, after a short animation.
TEST_F(FKelmoraTest, ACheckBoxsAccessKeyTicksItAndEscapeKeepsTheFormOpen) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_K, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Check("CK_Kelmora")->isChecked(); }, 2000));
    EXPECT_TRUE(Edit("E_DiasKelmora")->isEnabled());

    TypeInto(Edit("E_Persona"), "Ana");
    QTest::keyClick(Edit("E_Persona"), Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(Edit("E_Persona")->text(), "Ana");
}

TEST_F(FKelmoraTest, TheRequestIsWhatTheFieldsHoldAndImprimirLeavesTheFormAsItWas) {
    const auto locale = apptest::DefaultLocale(QLocale(QLocale::Spanish, QLocale::Argentina));

    TypeInto(Edit("E_Persona"), QStringLiteral("Muñoz, María José"));
    TypeInto(Edit("E_DNI"), "27.456.789");
    Combo("E_Categoria")->setCurrentIndex(4);
    Combo("E_Dedicacion")->setCurrentIndex(2);
    TypeInto(W<QPlainTextEdit>("M_Motivo"), QStringLiteral("Congreso de Ingeniería"));
    PressEnter();
    apptest::Type(W<QPlainTextEdit>("M_Motivo"), "Ponencia: \"Redes\"");
    W<QPlainTextEdit>("M_Motivo")->insertPlainText("\n\ttabulada"); // Tab would leave the memo
    TypeInto(Edit("E_Destino"), QStringLiteral("Córdoba"));
    Combo("CB_Medio")->setCurrentIndex(kMedioVehiculoParticular);
    TypeInto(Edit("E_Patente"), "ab123cdxyz"); // upper case, seven at most
    W<QDateEdit>("D_Salida")->setDate(QDate(2024, 2, 29));
    W<QTimeEdit>("D_HoraSalida")->setTime(QTime(9, 5, 42)); // the request keeps the minutes
    W<QDateEdit>("D_Regreso")->setDate(QDate(2024, 3, 2));
    W<QTimeEdit>("D_HoraRegreso")->setTime(QTime(0, 0));
    Check("CK_Pasajes")->setChecked(true);
    TypeInto(Edit("E_MontoPasaje"), "1500.50");
    Check("CK_Kelmora")->setChecked(true);
    TypeInto(Edit("E_DiasKelmora"), "3 y medio");
    const TDatosSolicitud expected = apptest::FullRequest();
    EXPECT_EQ(form.DatosSolicitud(), expected);

    // The form stays unchanged, so "Imprimir" can run again on the same request.
    QTest::mouseClick(W<QPushButton>("ImprLisObs"), Qt::LeftButton);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.DatosSolicitud(), expected);
}

} // namespace

namespace {

// "Imprimir" has no accelerator of its own and stands last in the Tab order: the desktop's print
// key presses it from any field, the memo and the editable lists too, and types nothing.
TEST_F(FKelmoraTest, TheDesktopsPrintKeyPressesImprimirFromAnyField) {
    QPushButton* print = W<QPushButton>("ImprLisObs");
    // The filling itself is the other tests' matter: here only the presses count.
    QObject::disconnect(print, nullptr, &form, nullptr);
    QSignalSpy presses(print, &QPushButton::clicked);
    int expected = 0;
    for (QWidget* field : {static_cast<QWidget*>(Edit("E_DNI")), W<QWidget>("M_Motivo"),
                           static_cast<QWidget*>(Combo("CB_Medio")->lineEdit())}) {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_P, Qt::ControlModifier);
        EXPECT_EQ(presses.count(), ++expected) << field->metaObject()->className();
    }
    EXPECT_TRUE(Edit("E_DNI")->text().isEmpty());
    EXPECT_TRUE(W<QPlainTextEdit>("M_Motivo")->toPlainText().isEmpty());
    EXPECT_TRUE(print->toolTip().contains(
        QKeySequence(QKeySequence::Print).toString(QKeySequence::NativeText)));
}

} // namespace
