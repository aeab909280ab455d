// The program's windows as assistive technology sees them.
#include "AppTestSupport.h"
#include "WidgetWalk.h"
#include <kelmora/app/FAcercaDe.h>
#include <kelmora/app/FKelmora.h>
#include <kelmora/app/FPrincipal.h>

#include <QLabel>

#include <gtest/gtest.h>

using namespace Kelmora;

namespace {

using testsupport::Faults;
using testsupport::Walk;
using testsupport::WalkWindow;

// What a label says, as it would be read: without the accelerator mark and the closing colon.
QString Spoken(const QLabel& label) {
    QString text = label.text();
    text.remove(u'&');
    if (text.endsWith(u':'))
        text.chop(1);
    return text.trimmed();
}

} // namespace

TEST(Accessibility, EveryControlOfTheProgramsWindowsIsNamed) {
    const TFPrincipal main;
    const TFKelmora form;
    const TFAcercaDe about;
    // The request form: twelve boxes, three requests with their amounts, two buttons, and the one
    // that opens the register.
    for (const auto& [window, what, interactive] :
         {std::tuple<const QWidget*, const char*, int>{&main, "main window", 0},
          {&form, "request form", 21},
          {&about, "About box", 1}}) {
        const Walk walk = WalkWindow(*window);
        EXPECT_TRUE(walk.faults.empty()) << what << ":" << Faults(walk);
        EXPECT_EQ(walk.interactive, interactive) << what;
    }
}

// The label being its box's buddy, a screen reader and the label's shortcut both lead to the box.
TEST(Accessibility, RequestFormBoxesAreNamedByTheirLabels) {
    TFKelmora form;
    const std::pair<const char*, const char*> labelled[] = {
        {"Label2", "E_Persona"},          {"Label3", "E_DNI"},
        {"Label4", "E_Categoria"},        {"Label5", "E_Dedicacion"},
        {"Label6", "M_Motivo"},           {"Label7", "E_Destino"},
        {"Label8", "CB_Medio"},           {"Label14", "E_Patente"},
        {"Label9", "D_Salida"},           {"Label12", "D_HoraSalida"},
        {"Label10", "D_Regreso"},         {"Label13", "D_HoraRegreso"},
        {"Label15", "E_MontoPasaje"},     {"Label16", "E_DiasKelmora"},
        {"Label17", "E_MontoInscripcion"}};
    for (const auto& [labelName, boxName] : labelled) {
        const auto* label = apptest::Child<QLabel>(form, labelName);
        const auto* box = apptest::Child<QWidget>(form, boxName);
        ASSERT_TRUE(label && box);
        EXPECT_EQ(label->buddy(), box) << labelName;
        EXPECT_EQ(box->accessibleName(), Spoken(*label)) << boxName;
        EXPECT_LT(label->geometry().right(), box->x()) << labelName;
    }
}
