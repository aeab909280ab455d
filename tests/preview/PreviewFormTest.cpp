// The preview window driven as the user drives it.
#include "PreviewTestSupport.h"
#include "RLFindDialog.h"
#include "RLPreviewKeys.h"
#include <kelmora/dialogs/RLPrintDialog.h>
#include <kelmora/dialogs/RLSaveDialog.h>
#include <kelmora/preview/RLPreview.h>
#include <kelmora/preview/RLPreviewForm.h>
#include <kelmora/preview/RLReportPreview.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/report/RLReportHooks.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace Kelmora;

using namespace previewtest;

namespace {

class PreviewWindow : public ::testing::Test {
protected:
    QObject owner;
    QPointer<TRLPreviewForm> form = new TRLPreviewForm();

    void SetUp() override {
        form->resize(900, 600);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    }
    void TearDown() override { delete form.data(); }

    TRLPreview& View(int i = 0) { return *form->Views()[static_cast<size_t>(i)]; }
    void Open(TRLGraphicStorage* store) { View().SetPages(store); }

    void TypeZoom(const QString& text) {
        form->ComboBoxZoom->lineEdit()->clear();
        QTest::keyClicks(form->ComboBoxZoom->lineEdit(), text);
    }
    void ChooseZoomItem(int row) {
        QComboBox* box = form->ComboBoxZoom;
        box->showPopup();
        QAbstractItemView* list = box->view();
        const QModelIndex index = list->model()->index(row, 0);
        list->scrollTo(index);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
        QCoreApplication::processEvents();
    }
    static QList<double> State(TRLPreview& view) {
        return {double(view.PageIndex()), view.Zoom(), double(view.verticalScrollBar()->value())};
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(form->EditPageNo, static_cast<Qt::Key>(key), modifiers);
    }
};

TEST(PreviewAccelerators, EachCaptionTakesItsFirstFreeLetterOrDigit) {
    EXPECT_EQ(WithAccelerators({"Print", "Close", "Save", "Send"}),
              QStringList({"&Print", "&Close", "&Save", "S&end"}));
    // Lower case counts as its capital; a caption whose letters are all taken keeps none.
    EXPECT_EQ(WithAccelerators({"ab", "BA", "a-b", "2 b", "--", "xa"}),
              QStringList({"&ab", "&BA", "a-b", "&2 b", "--", "&xa"}));
    EXPECT_EQ(WithAccelerators({"Ñu", "é1"}), QStringList({"Ñ&u", "é&1"})) << "ASCII only";
}

TEST_F(PreviewWindow, ZoomBoxParsesTypedTextsAndItems) {
    Open(MakeBlankStore(5, &owner));
    EXPECT_EQ(form->PanelPageCount->text(), QStringLiteral("5"));

    const auto shown = [&] {
        return QStringLiteral("%1 x%2 %3")
            .arg(View().Zoom())
            .arg(View().PageBoxCount())
            .arg(form->ComboBoxZoom->currentText());
    };
    TypeZoom("80%");
    EXPECT_EQ(shown(), "80 x1 80%");
    TypeZoom("12,5");
    EXPECT_EQ(shown(), "12.5 x1 12,5") << "not rewritten";
    TypeZoom("7");
    EXPECT_EQ(shown(), "12.5 x1 7") << "never below 10, and taken as typed";
    TypeZoom("nonsense");
    EXPECT_EQ(View().Zoom(), 12.5);

    form->SpeedButtonZoomUp->click();
    EXPECT_EQ(shown(), "22.5 x1 22.5%") << "rewritten";
    form->SpeedButtonZoomDown->click();
    form->SpeedButtonZoomDown->click();
    EXPECT_EQ(View().Zoom(), 10) << "zooming down stops at 10";

    ChooseZoomItem(9);
    EXPECT_EQ(shown(), QStringLiteral("%1 x1 Entire page").arg(View().FitPageZoom()));
    ChooseZoomItem(10);
    EXPECT_EQ(shown().section(u' ', 0, 1), QStringLiteral("%1 x3").arg(View().MultiplePagesZoom()));
    TypeZoom("entire WIDTH"); // items match without regard to case
    EXPECT_EQ(shown(), QStringLiteral("%1 x1 entire WIDTH").arg(View().FitWidthZoom()));
}

TEST_F(PreviewWindow, DeletingWithTheFocusInTheZoomBoxIsSafe) {
    Open(MakeBlankStore(2, &owner));
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    form->ComboBoxZoom->setFocus();
    TypeZoom("150");
    EXPECT_EQ(View().Zoom(), 150);
    // The box commits its text when it loses the focus, which deleting the visible window
    // brings about while the window is half gone.
    delete form.data();
    EXPECT_TRUE(form.isNull());
}

TEST_F(PreviewWindow, KeyboardTableActsOnTheCurrentViewBeforeTheFocusedControl) {
    Open(MakeBlankStore(5, &owner, 20));
    View().SetZoom(300);
    form->EditPageNo->setFocus();
    QScrollBar* h = View().horizontalScrollBar();
    QScrollBar* v = View().verticalScrollBar();
    ASSERT_EQ(h->maximum(), View().PageBoxes(0).width() - View().viewport()->width());
    ASSERT_GT(v->maximum(), View().height());

    // Each key, then the page shown and the scroll positions, which the page box follows:
    // Ctrl+Home/End and the plain page keys page (from the origin), every other key only scrolls.
    const int width = View().width(), height = View().height();
    const int right = h->maximum(), bottom = v->maximum();
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int page, h, v;
    } steps[] = {{Qt::Key_Right, {}, 0, 10, 0},
                 {Qt::Key_Down, {}, 0, 10, 10},
                 {Qt::Key_Down, {}, 0, 10, 20},
                 {Qt::Key_Left, {}, 0, 0, 20},
                 {Qt::Key_Left, {}, 0, 0, 20},
                 {Qt::Key_Up, {}, 0, 0, 10},
                 {Qt::Key_Right, ctrl, 0, width, 10},
                 {Qt::Key_Down, ctrl, 0, width, 10 + height},
                 {Qt::Key_Left, ctrl, 0, 0, 10 + height},
                 {Qt::Key_Up, ctrl, 0, 0, 10},
                 {Qt::Key_End, {}, 0, right, 10},
                 {Qt::Key_PageDown, ctrl, 0, right, bottom},
                 {Qt::Key_Home, {}, 0, 0, bottom},
                 {Qt::Key_PageUp, ctrl, 0, 0, 0},
                 {Qt::Key_End, {}, 0, right, 0},
                 {Qt::Key_PageDown, ctrl, 0, right, bottom},
                 {Qt::Key_PageDown, {}, 1, 0, 0},
                 {Qt::Key_PageUp, {}, 0, 0, 0},
                 {Qt::Key_End, ctrl, 4, 0, 0},
                 {Qt::Key_Home, ctrl, 0, 0, 0}};
    for (const auto& step : steps) {
        Key(step.key, step.modifiers);
        const QPoint box = View().PageBoxes(0).pos();
        EXPECT_EQ(QList<int>({View().PageIndex(), h->value(), v->value(), -box.x(), -box.y()}),
                  QList<int>({step.page, step.h, step.v, step.h, step.v}))
            << &step - steps;
    }

    // Other keys, F without Ctrl too, reach the page box: positions, those out of range ignored.
    EXPECT_EQ(form->EditPageNo->text(), QStringLiteral("1"));
    form->EditPageNo->clear();
    Key(Qt::Key_4);
    Key(Qt::Key_F);
    EXPECT_EQ(View().PageIndex(), 3);
    EXPECT_EQ(form->FindDialog(), nullptr);
    Key(Qt::Key_9);
    EXPECT_EQ(View().PageIndex(), 3);
    form->SpeedButtonLast->click();
    EXPECT_EQ(form->EditPageNo->text(), QStringLiteral("5"));
}

// Only Ctrl changes what a key does: Shift and Alt leave it as it is, Escape closes either way,
// and the find keys want Ctrl. Each key the window takes does one thing.
TEST(PreviewKeys, OnlyCtrlChangesWhatAKeyDoes) {
    const int keys[] = {Qt::Key_Escape,   Qt::Key_Home, Qt::Key_End,   Qt::Key_PageUp,
                        Qt::Key_PageDown, Qt::Key_Left, Qt::Key_Right, Qt::Key_Up,
                        Qt::Key_Down,     Qt::Key_F,    Qt::Key_F3,    Qt::Key_A};
    const Qt::KeyboardModifiers others = Qt::ShiftModifier | Qt::AltModifier;
    for (const int key : keys) {
        for (const Qt::KeyboardModifiers ctrl :
             {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ControlModifier)}) {
            const TRLPreviewKey* binding = FindPreviewKey(key, ctrl);
            EXPECT_EQ(FindPreviewKey(key, ctrl | others), binding) << key;
            if (binding != nullptr) {
                EXPECT_NE(binding->Window == nullptr, binding->View == nullptr) << key;
            }
        }
    }
    EXPECT_EQ(FindPreviewKey(Qt::Key_Escape, {}),
              FindPreviewKey(Qt::Key_Escape, Qt::ControlModifier));
    EXPECT_NE(FindPreviewKey(Qt::Key_Home, {}), FindPreviewKey(Qt::Key_Home, Qt::ControlModifier));
    EXPECT_EQ(FindPreviewKey(Qt::Key_F, {}), nullptr);
    EXPECT_EQ(FindPreviewKey(Qt::Key_F3, {}), nullptr);
    EXPECT_NE(FindPreviewKey(Qt::Key_F3, Qt::ControlModifier), nullptr);
    EXPECT_EQ(FindPreviewKey(Qt::Key_A, Qt::ControlModifier), nullptr);
}

TEST_F(PreviewWindow, DividedScreenShowsTwoViewsThatPageScrollAndEditOnTheirOwn) {
    Open(MakeBlankStore(4, &owner));
    View().SetZoom(150);
    View().NextPage();
    form->SpeedButtonViews->click();
    ASSERT_EQ(form->Views().size(), 2u);
    TRLPreview& lower = View(1);
    EXPECT_EQ(State(lower), QList<double>({0, 100, 0}));
    EXPECT_EQ(form->ActiveView(), nullptr) << "no view is marked until one is clicked";

    // Commands go to the first view until the lower one is clicked.
    Key(Qt::Key_PageDown);
    EXPECT_EQ(View().PageIndex(), 2);
    QTest::mouseClick(lower.viewport(), Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(form->ActiveView(), &lower);
    EXPECT_EQ(QStringList({form->EditPageNo->text(), form->ComboBoxZoom->currentText()}),
              QStringList({"1", "100%"}));
    Key(Qt::Key_PageDown);
    TypeZoom("200");
    Key(Qt::Key_Down);
    EXPECT_EQ(State(lower), QList<double>({1, 200, 10}));
    EXPECT_EQ(State(View()), QList<double>({2, 150, 0}));
    form->SpeedButtonEdit->click(); // the edit button too toggles the current view's mode
    EXPECT_EQ(QList<bool>({lower.Editing(), View().Editing(), form->SpeedButtonEdit->isChecked()}),
              QList<bool>({true, false, true}));
    // The button shows the current view's own mode, so that its next click turns that one over.
    QTest::mouseClick(View().viewport(), Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_FALSE(form->SpeedButtonEdit->isChecked());
    form->SpeedButtonEdit->click();
    EXPECT_EQ(QList<bool>({lower.Editing(), View().Editing()}), QList<bool>({true, true}));

    // Removing the view that was current hands the commands back to the first.
    form->SpeedButtonViews->click();
    EXPECT_EQ(form->Views().size(), 1u);
    EXPECT_EQ(form->ActiveView(), &View());
    EXPECT_EQ(View().Pages()->LinkCount(), 1) << "the removed view let go of the store";
}

TEST_F(PreviewWindow, PressAndHoldStepsOnceAtOnceThenRepeats) {
    Open(MakeBlankStore(40, &owner));
    QTest::mousePress(form->SpeedButtonNext, Qt::LeftButton);
    EXPECT_EQ(View().PageIndex(), 1) << "the press itself steps";
    QTest::qWait(250);
    QTest::mouseRelease(form->SpeedButtonNext, Qt::LeftButton);
    QTest::qWait(900);
    EXPECT_EQ(View().PageIndex(), 1) << "a short press moves exactly one page";

    QTest::mousePress(form->SpeedButtonNext, Qt::LeftButton);
    QTest::qWait(1300);
    QTest::mouseRelease(form->SpeedButtonNext, Qt::LeftButton);
    EXPECT_GE(View().PageIndex(), 4) << "held, it repeats after about 0.6 s";
    const int released = View().PageIndex();
    QTest::qWait(300);
    EXPECT_EQ(View().PageIndex(), released);
}

TEST_F(PreviewWindow, FindDialogSearchesTheCurrentViewAndHidesKeepingItsText) {
    Open(MakeTextStore({{"cover"}, {"needle here"}, {"plain"}, {"a NEEDLE again"}}, &owner));
    View().GotoPageIndex(2);
    QTest::keyClick(form->EditPageNo, Qt::Key_F, Qt::ControlModifier);
    TfrmRLFindDialog* dialog = form->FindDialog();
    ASSERT_TRUE(dialog && dialog->isVisible());
    QTest::keyClicks(dialog->EditTextToFind, "needle");

    // Down from the third page, case aside; message boxes are answered with OK as they come.
    QStringList said;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            said << box->text();
            box->accept();
        }
    });
    answer.start(20);
    QTest::keyClick(dialog->EditTextToFind, Qt::Key_Return);
    EXPECT_EQ(View().PageIndex(), 3);
    EXPECT_EQ(said, QStringList());
    dialog->CheckBoxMatchCase->setChecked(true);
    dialog->BitBtnFindNext->click();
    EXPECT_EQ(said, QStringList({"Not found"}));
    EXPECT_TRUE(dialog->isVisible()) << "the dialog stays after Not found";
    answer.stop();
    dialog->RadioButtonUp->setChecked(true);
    dialog->BitBtnFindNext->click();
    EXPECT_EQ(View().PageIndex(), 1);

    // Esc hides the dialog, and so does activating the preview; it comes back as it was.
    QTest::keyClick(dialog->EditTextToFind, Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(form.isNull()) << "Esc in the dialog is not the window's Esc";
    form->OpenFindDialog();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    form->activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog->isVisible(); }, 2000));
    QTest::keyClick(form->EditPageNo, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(form->FindDialog(), dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->EditTextToFind->text() == "needle" && dialog->RadioButtonUp->isChecked());
}

// Accelerators click their buttons a moment later, as a pressed button shows itself down. (The
// save flow's own tests clean the proposed name and write the file.)
TEST_F(PreviewWindow, PrintAndSaveGiveTheFocusBackAndCloseFreesTheWindow) {
    TRLGraphicStorage* store = MakeBlankStore(3, &owner);
    store->SetTitle(QStringLiteral("Informe"));
    Open(store);
    int shown = 0;
    QObject::connect(form, &TRLPreviewForm::PrintDialogShown, [&](TRLPrintDialog* dialog) {
        ++shown;
        dialog->ButtonCancel->click();
    });
    QString proposed;
    QObject::connect(form, &TRLPreviewForm::SaveDialogShown, [&](TRLSaveDialog* dialog) {
        proposed = dialog->EditFileName->text();
        dialog->ButtonCancel->click();
    });
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    View().setFocus();
    QTest::keyClick(&View(), Qt::Key_P, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown == 1; }, 2000));
    EXPECT_TRUE(form->EditPageNo->hasFocus()) << "the view was no edit box: the page box gets it";

    form->ComboBoxZoom->setFocus();
    form->SpeedButtonPrint->click();
    EXPECT_EQ(shown, 2);
    EXPECT_TRUE(form->ComboBoxZoom->hasFocus()) << "an edit or combo box gets it back";
    form->SpeedButtonSave->click();
    EXPECT_EQ(proposed, QDir::current().absoluteFilePath(QStringLiteral("Informe")));
    EXPECT_TRUE(form->ComboBoxZoom->hasFocus());

    QTest::keyClick(form->EditPageNo, Qt::Key_C, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.isNull(); }, 2000)) << "closed and freed";
}

// The shared preview defaults come back after each test, also after a failed assertion.
class PreviewWindows : public ::testing::Test {
protected:
    void TearDown() override { PreviewDefaults = saved; }
    const TRLPreviewDefaults saved = PreviewDefaults;
    QObject owner;
};

TEST_F(PreviewWindows, SeveralOpenAtOnceAndEachFreesItselfWhenClosed) {
    const QPointer<TRLGraphicStorage> firstStore = MakeBlankStore(2, &owner);
    QPointer<TRLPreviewForm> first = PreviewPagesWithOptions(
        firstStore, false, fsNormal, QStringLiteral("Solicitud"), 7, QStringLiteral("ayuda.hlp"),
        TRLBorderIcons{biSystemMenu}, wsNormal, poScreenCenter);
    ASSERT_FALSE(first.isNull());
    EXPECT_FALSE(first->windowFlags() & Qt::WindowMinimizeButtonHint);

    PreviewDefaults.Zoom = 75;
    QPointer<TRLPreviewForm> second = PreviewPages(MakeBlankStore(3, nullptr));
    ASSERT_FALSE(second.isNull());
    QPointer<TRLGraphicStorage> secondStore = second->Views()[0]->Pages();
    EXPECT_EQ(second->windowTitle(), QStringLiteral("Preview"));
    EXPECT_EQ(second->Views()[0]->Zoom(), 75);

    PreviewDefaults.WindowState = wsMaximized;
    first->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return first.isNull(); }, 2000));
    EXPECT_EQ(PreviewDefaults.WindowState, wsNormal) << "the closing window's state is kept";
    EXPECT_FALSE(firstStore.isNull()) << "a store with an owner stays";
    EXPECT_FALSE(second.isNull());
    second->close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return second.isNull(); }, 2000));
    EXPECT_TRUE(secondStore.isNull()) << "its ownerless store went with it";
}

// Restored, not to a screen-sized window whose title bar sits above the screen; a fitted default
// zoom is fitted to the size the window is shown at.
TEST_F(PreviewWindows, MaximisedWindowRestoresToItsDesignSizeCentred) {
    PreviewDefaults.Zoom = PreviewZoomFullWidth;
    QPointer<TRLPreviewForm> form = PreviewPagesWithOptions(
        MakeBlankStore(2, &owner), false, fsNormal, QString(), 0, QString(),
        TRLBorderIcons{biSystemMenu, biMaximize}, wsMaximized, poScreenCenter);
    ASSERT_FALSE(form.isNull());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(form->isMaximized());
    TRLPreview& view = *form->Views()[0];
    EXPECT_EQ(view.Zoom(), view.FitWidthZoom()) << "fitted to the maximised window";

    const QSize design = QSize(815, 375).boundedTo(available.size());
    const QRect normal = form->normalGeometry();
    EXPECT_EQ(normal.size(), design);
    EXPECT_LE((normal.center() - available.center()).manhattanLength(), 2);
    form->showNormal();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->size() == design; }));

    // Once the user has chosen a zoom, a new size keeps it.
    form->ComboBoxZoom->lineEdit()->clear();
    QTest::keyClicks(form->ComboBoxZoom->lineEdit(), QStringLiteral("60"));
    form->showMaximized();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->isMaximized(); }));
    EXPECT_EQ(view.Zoom(), 60);
    delete form.data();
}

TEST_F(PreviewWindows, ModalWindowReturnsOnlyWhenClosed) {
    bool closedFromInside = false;
    QTimer::singleShot(100, [&] {
        if (auto* modal = qobject_cast<TRLPreviewForm*>(QApplication::activeModalWidget())) {
            closedFromInside = true;
            modal->close();
        }
    });
    EXPECT_EQ(PreviewPagesWithOptions(MakeBlankStore(1, &owner), true, fsNormal, QString(), 0,
                                      QString(), TRLBorderIcons{biSystemMenu}, wsNormal,
                                      poDesigned),
              nullptr);
    EXPECT_TRUE(closedFromInside);
}

TEST_F(PreviewWindows, AReportPreviewsIntoAGivenControlElseIntoAWindowWithTheDefaultsOrItsOptions) {
    RegisterPreviewHandler();
    TRLReport report;
    report.SetPrintEmpty(true);
    const auto windows = [] {
        QList<TRLPreviewForm*> open;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* form = qobject_cast<TRLPreviewForm*>(w); form && form->isVisible())
                open.append(form);
        return open;
    };
    const auto cleanUp = qScopeGuard([&] {
        qDeleteAll(windows());
        SetReportPreviewHandler(nullptr);
    });
    TRLPreview preview;
    EXPECT_TRUE(report.Preview(&preview));
    EXPECT_EQ(preview.Pages(), &report.Storage());
    EXPECT_TRUE(windows().isEmpty());

    PreviewDefaults.WindowState = wsNormal;
    PreviewDefaults.Caption = QStringLiteral("Desde los valores comunes");
    EXPECT_TRUE(report.Preview());
    ASSERT_EQ(windows().size(), 1);
    TRLPreviewForm* first = windows().front();
    EXPECT_EQ(first->windowTitle(), QStringLiteral("Desde los valores comunes"));

    report.PreviewOptions().SetDefaults(pdIgnoreDefaults);
    report.PreviewOptions().SetCaption(QStringLiteral("Propio"));
    report.PreviewOptions().SetHelpContext(12);
    report.PreviewOptions().SetWindowState(wsNormal);
    EXPECT_TRUE(report.Preview());
    QList<TRLPreviewForm*> open = windows();
    ASSERT_EQ(open.size(), 2) << "the earlier window stays open";
    open.removeOne(first);
    EXPECT_EQ(open.front()->windowTitle(), QStringLiteral("Propio"));
    EXPECT_EQ(open.front()->HelpContext(), 12);
}

} // namespace

namespace {

// The desktop's own keys print, save and close as the buttons do: a disabled button's key does
// nothing, the keys work whichever control has the focus, and a button pressed from the
// keyboard keeps the focus afterwards.
TEST_F(PreviewWindow, TheDesktopsKeysPrintSaveAndCloseAsTheButtonsDo) {
    Open(MakeBlankStore(3, &owner));
    int printed = 0;
    int saved = 0;
    QObject::connect(form, &TRLPreviewForm::PrintDialogShown, [&](TRLPrintDialog* dialog) {
        ++printed;
        dialog->ButtonCancel->click();
    });
    QObject::connect(form, &TRLPreviewForm::SaveDialogShown, [&](TRLSaveDialog* dialog) {
        ++saved;
        dialog->ButtonCancel->click();
    });
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));

    QTest::keyClick(&View(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(printed, 1);
    QTest::keyClick(form->ComboBoxZoom->lineEdit(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(form->ComboBoxZoom->currentText(), QStringLiteral("100%")) << "nothing was typed";
    form->SpeedButtonPrint->setEnabled(false);
    QTest::keyClick(&View(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(printed, 1) << "a disabled button's key";
    form->SpeedButtonPrint->setEnabled(true);

    // The dialogs above came and went; on a busy machine the window may take a moment to be
    // active again.
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    form->SpeedButtonSave->setFocus();
    QTest::keyClick(form->SpeedButtonSave, Qt::Key_Space);
    EXPECT_EQ(saved, 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->SpeedButtonSave->hasFocus(); }, 2000))
        << "the keyboard goes on from the button";

    const QPointer<TRLPreviewForm> window = form.data();
    QTest::keyClick(form->EditPageNo, Qt::Key_W, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 2000)) << "Ctrl+W closes";
}

// Pressed from the keyboard or by a screen reader (a click without the mouse), prior and next
// step once; the mouse steps on the press, and its click does not step again, also when the
// mouse is let go outside the button, which makes no click at all.
TEST_F(PreviewWindow, PriorAndNextStepOnceWhateverPressesThem) {
    Open(MakeBlankStore(8, &owner));
    form->SpeedButtonNext->setFocus();
    QTest::keyClick(form->SpeedButtonNext, Qt::Key_Space);
    EXPECT_EQ(View().PageIndex(), 1);
    form->SpeedButtonNext->click();
    EXPECT_EQ(View().PageIndex(), 2);
    form->SpeedButtonPrior->click();
    EXPECT_EQ(View().PageIndex(), 1);

    QTest::mouseClick(form->SpeedButtonNext, Qt::LeftButton);
    EXPECT_EQ(View().PageIndex(), 2) << "a mouse click steps once";
    QTest::mousePress(form->SpeedButtonNext, Qt::LeftButton);
    QTest::mouseRelease(form->SpeedButtonNext, Qt::LeftButton, {}, QPoint(-20, -20));
    EXPECT_EQ(View().PageIndex(), 3);
    QCoreApplication::processEvents();
    form->SpeedButtonNext->click();
    EXPECT_EQ(View().PageIndex(), 4) << "the press let go outside swallowed the next click";
}

// Tab goes through the tool bar from left to right as its controls stand, the page and zoom
// boxes in their places, then to the views.
TEST_F(PreviewWindow, TabWalksTheToolBarFromLeftToRightThenTheViews) {
    Open(MakeBlankStore(2, &owner));
    form->SpeedButtonViews->click();
    const auto chain = [this] {
        QStringList names;
        QWidget* widget = form->SpeedButtonPrint;
        do {
            if ((widget->focusPolicy() & Qt::TabFocus) && form->isAncestorOf(widget) &&
                !widget->objectName().isEmpty() && !widget->objectName().startsWith("qt_"))
                names.append(widget->objectName());
            widget = widget->nextInFocusChain();
        } while (widget != form->SpeedButtonPrint && names.size() < 50);
        return names;
    };
    EXPECT_EQ(chain(), QStringList({"SpeedButtonPrint", "SpeedButtonSave", "SpeedButtonSend",
                                    "SpeedButtonSetup", "SpeedButtonFirst", "SpeedButtonPrior",
                                    "EditPageNo", "SpeedButtonNext", "SpeedButtonLast",
                                    "SpeedButtonZoomDown", "SpeedButtonZoomUp", "ComboBoxZoom",
                                    "SpeedButtonViews", "SpeedButtonEdit", "SpeedButtonClose",
                                    "SpeedButtonAbout", "Preview1", "Preview2"}));
}

} // namespace
