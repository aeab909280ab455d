#include "AppTestSupport.h"
#include <kelmora/app/KelmoraApp.h>
#include <kelmora/support/RLUtils.h>

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimeEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace Kelmora;

using apptest::Child;

namespace {

void WhenModal(std::function<void(QWidget*)> check, std::function<void(QWidget*)> close) {
    QTimer::singleShot(0, [check = std::move(check), close = std::move(close)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            ADD_FAILURE() << "no modal window";
            return;
        }
        EXPECT_TRUE(QTest::qWaitFor([modal] { return QApplication::activeWindow() == modal; }));
        check(modal);
        close(modal);
    });
}

TEST(KelmoraStart, CreatesTheWindowsInOrder) {
    // The document forms' factory looks at which windows exist when it is called.
    int made = 0;
    QStringList existing;
    TKelmoraWindows windows = CreateKelmoraWindows([&] {
        ++made;
        for (QWidget* w : QApplication::allWidgets())
            if (qobject_cast<TFPrincipal*>(w) || qobject_cast<TFKelmora*>(w) ||
                qobject_cast<TFAcercaDe*>(w))
                existing << QString::fromLatin1(w->metaObject()->className());
        return std::make_unique<TDocumentForms>();
    });
    ASSERT_EQ(made, 1);
    existing.sort();
    EXPECT_EQ(existing, QStringList({"Kelmora::TFKelmora", "Kelmora::TFPrincipal"}));
    ASSERT_TRUE(windows.FPrincipal && windows.FKelmora && windows.DocumentForms &&
                windows.FAcercaDe);
    EXPECT_EQ(windows.FKelmora->parentWidget(), windows.FPrincipal.get());
    EXPECT_EQ(windows.FAcercaDe->parentWidget(), windows.FPrincipal.get());
}

TEST(KelmoraStart, RunSetsTheIdentityShowsTheMainWindowMaximisedAndEndsWhenItCloses) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* principal = qobject_cast<TFPrincipal*>(w); principal && w->isVisible()) {
                seen = true;
                EXPECT_TRUE(principal->windowState().testFlag(Qt::WindowMaximized));
                // The desktop file name matches the running window to its menu entry and icon.
                EXPECT_EQ(QStringList({QCoreApplication::applicationName(),
                                       QCoreApplication::applicationVersion(),
                                       QCoreApplication::organizationName(),
                                       QGuiApplication::desktopFileName()}),
                          QStringList({"Kelmora", KELMORA_PROJECT_VERSION, "Facultad de Corvath",
                                       KELMORA_APP_ID_TEXT}));
                EXPECT_FALSE(principal->windowIcon().isNull());
                EXPECT_EQ(principal->windowIcon().cacheKey(),
                          QApplication::windowIcon().cacheKey());
                EXPECT_EQ(ScratchDir(), QFileInfo(QDir::tempPath()).absoluteFilePath())
                    << "engine started before the windows";
                Child<QAction>(*principal, "Salir1")->trigger();
            }
        }
    });
    QCoreApplication::setApplicationVersion(QStringLiteral("0.0"));
    QCoreApplication::setOrganizationName(QStringLiteral("other"));
    QGuiApplication::setDesktopFileName(QStringLiteral("other"));
    QApplication::setWindowIcon(QIcon());
    // A guard: a program that does not end on "&Salir" fails instead of hanging.
    const QObject guard; // the timer goes with it
    QTimer::singleShot(10000, &guard, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(RunKelmora(), 0);
    EXPECT_TRUE(seen);
    EXPECT_EQ(ScratchDir(), ".") << "engine state let go at the end";
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<TFPrincipal*>(w), nullptr);
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        windows = CreateKelmoraWindows();
        ASSERT_TRUE(apptest::ShowActive(*windows.FPrincipal));
    }
    QAction* Action(const char* name) { return Child<QAction>(*windows.FPrincipal, name); }

    TKelmoraWindows windows;
};

TEST_F(MainWindowTest, MenuOpensTheSameRequestFormModallyWithTheFocusInItsFirstBox) {
    bool checked = false;
    WhenModal(
        [&](QWidget* modal) {
            EXPECT_EQ(modal, windows.FKelmora.get());
            // Modal to the main window only: the previews it opens stay usable.
            EXPECT_EQ(modal->windowModality(), Qt::WindowModal);
            // The About box cannot open over it from the main window's menu.
            EXPECT_FALSE(windows.FAcercaDe->isVisible());
            Child<QTimeEdit>(*modal, "D_HoraSalida")->setFocus();
            checked = true;
        },
        [](QWidget* modal) {
            QTest::mouseClick(Child<QPushButton>(*modal, "CerrIniSes"), Qt::LeftButton);
        });
    Action("Kelmora1")->trigger(); // returns when the form closes
    ASSERT_TRUE(checked);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    WhenModal(
        [&](QWidget* modal) {
            EXPECT_EQ(modal, windows.FKelmora.get());
            // The same form, the focus back in the first box.
            EXPECT_EQ(modal->focusWidget(), Child<QLineEdit>(*modal, "E_Persona"));
        },
        [](QWidget* modal) { modal->close(); });
    Action("Kelmora1")->trigger();
}

TEST_F(MainWindowTest, AboutBoxShowsTheVersionAndClosesByItsButton) {
    bool checked = false;
    WhenModal(
        [&](QWidget* modal) {
            EXPECT_EQ(modal, windows.FAcercaDe.get());
            // The build's version, in a label as wide as it: set before the labels size themselves.
            QLabel* version = Child<QLabel>(*modal, "Label6");
            EXPECT_EQ(version->text(), KELMORA_PROJECT_VERSION);
            EXPECT_EQ(version->width(), version->sizeHint().width());
            // The 109 x 164 logo shrunk into its 73 x 105 box, keeping its proportions.
            EXPECT_EQ(Child<QLabel>(*modal, "Image1")->pixmap().size(), QSize(70, 105));
            EXPECT_EQ(QApplication::focusWidget(), Child<QPushButton>(*modal, "CerrIniSes"))
                << "first in tab order";
            checked = true;
        },
        [](QWidget* modal) {
            QTest::mouseClick(Child<QPushButton>(*modal, "CerrIniSes"), Qt::LeftButton);
        });
    Action("Acercade1")->trigger();
    EXPECT_TRUE(checked);
    EXPECT_FALSE(windows.FAcercaDe->isVisible());
}

TEST_F(MainWindowTest, TheCloseBoxEndsTheProgramAsSalirDoes) {
    QSignalSpy closed(windows.FPrincipal.get(), &TFPrincipal::Closed);
    windows.FPrincipal->close();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(windows.FPrincipal->isVisible());
}

} // namespace
