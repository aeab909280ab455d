#include "AppTestSupport.h"
#include "KelmoraApp.h"
#include "RLPreviewForm.h"
#include "RLReportPreview.h"
#include "RLUtils.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimeEdit>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>

using apptest::Child;

namespace {

// Runs check once the next modal window is up, then closes it with close.
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

// Saves a picture of a window beside the build, to look at when its layout changes.
void SaveScreenshot(QWidget& window, const char* name) {
    const QString dir = QStringLiteral(KELMORA_BINARY_DIR) + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    window.grab().save(dir + u'/' + QString::fromLatin1(name));
}

TEST(KelmoraStart, CreatesTheWindowsInOrderAndWiresTheMenuToThem) {
    // The document forms are made after the main window and the request form, before the
    // About box: the factory looks at which windows exist when it is called.
    int made = 0;
    QStringList existing;
    TKelmoraWindows windows = CreateKelmoraWindows([&] {
        ++made;
        for (QWidget* w : QApplication::allWidgets()) {
            if (qobject_cast<TFPrincipal*>(w) || qobject_cast<TFKelmora*>(w) ||
                qobject_cast<TFAcercaDe*>(w)) {
                existing << QString::fromLatin1(w->metaObject()->className());
            }
        }
        return std::make_unique<TDocumentForms>();
    });
    ASSERT_EQ(made, 1);
    existing.sort();
    EXPECT_EQ(existing, QStringList({"TFKelmora", "TFPrincipal"}));
    ASSERT_TRUE(windows.FPrincipal && windows.FKelmora && windows.DocumentForms &&
                windows.FAcercaDe);
    EXPECT_EQ(windows.FKelmora->parentWidget(), windows.FPrincipal.get());
    EXPECT_EQ(windows.FAcercaDe->parentWidget(), windows.FPrincipal.get());
    EXPECT_FALSE(windows.FKelmora->isVisible());

    TFPrincipal& principal = *windows.FPrincipal;
    EXPECT_EQ(principal.windowTitle(), "- Principal");
    QStringList entries;
    for (QAction* action : principal.menuBar()->actions()) {
        EXPECT_EQ(action->menu(), nullptr) << "no sub-menus";
        entries << action->text();
    }
    EXPECT_EQ(entries, QStringList({"&Kelmora", "&Salir", "&Acerca de ..."}));
}

TEST(KelmoraStart, RunShowsTheMainWindowMaximisedAndEndsWhenItCloses) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* principal = qobject_cast<TFPrincipal*>(w); principal && w->isVisible()) {
                seen = true;
                EXPECT_TRUE(principal->windowState().testFlag(Qt::WindowMaximized));
                EXPECT_EQ(ScratchDir(), QFileInfo(QDir::tempPath()).absoluteFilePath())
                    << "engine started before the windows";
                Child<QAction>(*principal, "Salir1")->trigger();
            }
        }
    });
    // A guard: a program that does not end on "&Salir" fails instead of hanging.
    const QObject guard; // the timer goes with it
    QTimer::singleShot(10000, &guard, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(RunKelmora(), 0);
    EXPECT_TRUE(seen);
    EXPECT_EQ(ScratchDir(), ".") << "engine state let go at the end";
    // Every window went with the run.
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

TEST_F(MainWindowTest, MenuOpensTheSameRequestFormModallyAndItKeepsItsTimes) {
    bool checked = false;
    WhenModal(
        [&](QWidget* modal) {
            EXPECT_EQ(modal, windows.FKelmora.get());
            // Modal to the main window only: the previews it opens stay usable.
            EXPECT_EQ(modal->windowModality(), Qt::WindowModal);
            // The About box cannot open over it from the main window's menu.
            EXPECT_FALSE(windows.FAcercaDe->isVisible());
            EXPECT_EQ(modal->focusWidget(), Child<QLineEdit>(*modal, "E_Persona"));
            Child<QTimeEdit>(*modal, "D_HoraSalida")->setTime(QTime(7, 45));
            Child<QTimeEdit>(*modal, "D_HoraSalida")->setFocus();
            checked = true;
        },
        [](QWidget* modal) {
            QTest::mouseClick(Child<QPushButton>(*modal, "CerrIniSes"), Qt::LeftButton);
        });
    Action("Kelmora1")->trigger(); // returns when the form closes
    ASSERT_TRUE(checked);
    EXPECT_FALSE(windows.FKelmora->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    WhenModal(
        [&](QWidget* modal) {
            EXPECT_EQ(modal, windows.FKelmora.get());
            // The same form: closing it does not reset the times (the form test has the rest).
            EXPECT_EQ(Child<QTimeEdit>(*modal, "D_HoraSalida")->time(), QTime(7, 45));
            EXPECT_EQ(modal->focusWidget(), Child<QLineEdit>(*modal, "E_Persona"));
            SaveScreenshot(*modal, "request-form.png");
        },
        [](QWidget* modal) { modal->close(); });
    Action("Kelmora1")->trigger();
}

// The operator's road: "Imprimir" opens the request's preview over the form, which stays open and
// filled; the preview takes keys from the window system while the main window takes none.
TEST_F(MainWindowTest, PreviewsOpenedFromTheFormTakeKeysWhileTheMainWindowIsBlocked) {
    RegisterPreviewHandler();
    TFPrincipal& principal = *windows.FPrincipal;
    TFKelmora& kelmora = *windows.FKelmora;
    struct KeyCounter : QObject {
        int Keys = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            Keys += event->type() == QEvent::KeyPress;
            return false;
        }
    } mainWindowKeys;
    principal.installEventFilter(&mainWindowKeys);

    bool checked = false;
    WhenModal(
        [&](QWidget*) {
            Child<QLineEdit>(kelmora, "E_Persona")->setText(QStringLiteral("Ana"));
            // The operator's message comes last, over the previews; OK it as it comes.
            QTimer answer;
            QObject::connect(&answer, &QTimer::timeout, [] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                    box->button(QMessageBox::Ok)->click();
            });
            answer.start(10);
            Child<QPushButton>(kelmora, "ImprLisObs")->click();
            answer.stop();

            QPointer<TRLPreviewForm> preview = TopPreviewOf(&kelmora);
            ASSERT_FALSE(preview.isNull());
            EXPECT_EQ(preview->windowHandle()->transientParent(), kelmora.windowHandle());
            ASSERT_TRUE(apptest::ShowActive(*preview));
            // Keys through the window system, as a keyboard gives them: blocked windows never
            // see them.
            QTest::keyClick(principal.windowHandle(), Qt::Key_A);
            EXPECT_EQ(mainWindowKeys.Keys, 0) << "the main window took a key behind the form";
            QTest::keyClick(preview->windowHandle(), Qt::Key_Escape);
            EXPECT_TRUE(QTest::qWaitFor([&] { return preview.isNull(); }))
                << "Esc did not close the preview";
            EXPECT_TRUE(kelmora.isVisible());
            EXPECT_EQ(Child<QLineEdit>(kelmora, "E_Persona")->text(), QStringLiteral("Ana"));
            checked = true;
        },
        [](QWidget* modal) { modal->close(); });
    Action("Kelmora1")->trigger();
    EXPECT_TRUE(checked);
}

TEST_F(MainWindowTest, AboutBoxShowsTheSystemAndClosesByButtonOrCloseBox) {
    int opened = 0;
    const auto check = [&](QWidget* modal) {
        ++opened;
        EXPECT_EQ(modal, windows.FAcercaDe.get());
        EXPECT_EQ(modal->windowTitle(), "- Acerca de ...");
        // Captions in bold ending at 104, their values from 120 on; the version label as wide
        // as the build's version, set before the labels size themselves.
        QStringList captions, values;
        for (int i = 1; i <= 4; ++i) {
            QLabel* caption = Child<QLabel>(*modal, qPrintable(QStringLiteral("Label%1").arg(i)));
            QLabel* value = Child<QLabel>(*modal, qPrintable(QStringLiteral("Label%1").arg(i + 4)));
            EXPECT_EQ(caption->geometry().right() + 1, 104) << i;
            EXPECT_TRUE(caption->font().bold()) << i;
            EXPECT_EQ(value->x(), 120) << i;
            captions << caption->text();
            values << value->text();
        }
        EXPECT_EQ(captions, QStringList({"Sistema :", QStringLiteral("Versión :"),
                                         "Fecha :", "Elaborado por :"}));
        EXPECT_EQ(values, QStringList({"Kelmora", KELMORA_PROJECT_VERSION, "24/04/2017",
                                       "Fac. de Corvath"}));
        QLabel* version = Child<QLabel>(*modal, "Label6");
        EXPECT_EQ(version->y(), 56);
        EXPECT_EQ(version->width(), version->sizeHint().width());
        // The 109 x 164 logo shrunk into its 73 x 105 box: 70 x 105 at the box's corner.
        QLabel* logo = Child<QLabel>(*modal, "Image1");
        EXPECT_EQ(logo->pixmap().size(), QSize(70, 105));
        EXPECT_EQ(logo->alignment(), Qt::AlignLeft | Qt::AlignTop);
        auto* cerrar = Child<QPushButton>(*modal, "CerrIniSes");
        EXPECT_EQ(QApplication::focusWidget(), cerrar) << "first in tab order";
        EXPECT_EQ(cerrar->cursor().shape(), Qt::PointingHandCursor);
        if (opened == 1)
            SaveScreenshot(*modal, "about.png");
    };
    WhenModal(check, [](QWidget* modal) {
        QTest::mouseClick(Child<QPushButton>(*modal, "CerrIniSes"), Qt::LeftButton);
    });
    Action("Acercade1")->trigger();
    EXPECT_FALSE(windows.FAcercaDe->isVisible());
    WhenModal(check, [](QWidget* modal) { modal->close(); });
    Action("Acercade1")->trigger();
    EXPECT_EQ(opened, 2);
    EXPECT_FALSE(windows.FAcercaDe->isVisible());
}

TEST_F(MainWindowTest, SalirAndTheCloseBoxEndTheProgramAlike) {
    QSignalSpy closed(windows.FPrincipal.get(), &TFPrincipal::Closed);
    Action("Salir1")->trigger();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(windows.FPrincipal->isVisible());

    ASSERT_TRUE(apptest::ShowActive(*windows.FPrincipal));
    windows.FPrincipal->close();
    EXPECT_EQ(closed.count(), 2);
    EXPECT_FALSE(windows.FPrincipal->isVisible());
}

TEST_F(MainWindowTest, PictureStaysAtNaturalSizeCentredOnWhite) {
    TFPrincipal& principal = *windows.FPrincipal;
    auto* image = Child<QLabel>(principal, "Image1");
    principal.resize(1000, 700);
    QApplication::processEvents();
    ASSERT_EQ(image->pixmap().size(), QSize(650, 332));
    const QImage shot = image->grab().toImage();
    ASSERT_GT(shot.width(), 650);
    ASSERT_GT(shot.height(), 332);
    // Corners are white; the picture's own middle lands in the middle of the area.
    EXPECT_EQ(QColor(shot.pixel(2, 2)), QColor(Qt::white));
    EXPECT_EQ(QColor(shot.pixel(shot.width() - 3, shot.height() - 3)), QColor(Qt::white));
    const QImage picture = image->pixmap().toImage();
    const int left = (shot.width() - 650) / 2;
    const int top = (shot.height() - 332) / 2;
    int same = 0;
    for (int y = 0; y < 332; y += 7) {
        for (int x = 0; x < 650; x += 7)
            same += shot.pixel(left + x, top + y) == picture.pixel(x, y) ? 1 : 0;
    }
    EXPECT_GT(same, 48 * 93 * 95 / 100) << "picture not drawn unscaled at the centre";
    principal.showMaximized();
    QApplication::processEvents();
    SaveScreenshot(principal, "main-window.png");
}

} // namespace
