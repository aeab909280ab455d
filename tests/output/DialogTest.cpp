// The print and save dialogs driven as an operator would, and the parameters they write back.
#include "OutputTestSupport.h"
#include <kelmora/dialogs/RLDialogLayout.h>

#include <QCursor>
#include <QGroupBox>
#include <QScreen>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

using namespace Kelmora;

using namespace outputtest;

namespace {

using PrintDriver = std::function<void(TRLPrintDialog&)>;

class OptionsFilter : public RecordingFilter {
public:
    OptionsFilter() { SetDisplayName("Picture"); }
    int Option = 1;
    TRLPageOrientation ToldOrientation = poPortrait;
    QString GetOptionsLabel() const override { return "Format"; }
    QStringList GetOptions() const override { return {"PNG", "JPEG", "BMP"}; }
    int GetOptionIndex() const override { return Option; }
    void SetOptionIndex(int index) override { Option = index; }
    void SetOrientation(TRLPageOrientation orientation) override { ToldOrientation = orientation; }
};

struct SaveRecorder : RecordingSaveFilter {
    explicit SaveRecorder(const QString& extension, const QString& name = QString()) {
        SetDefaultExt(extension);
        SetDisplayName(name);
    }
};

// The print dialog as the preview window prepares it for a 3-page document.
bool PrintThreePages(const PrintDriver& drive,
                     TRLPrintDialogOptions options = TRLPrintParams::DefaultOptions) {
    TRLPrintParams& params = PrintParams();
    params.SetOptions(options);
    params.SetFilter(nullptr);
    params.SetPrintInBackground(false);
    params.Clear();
    params.SetMaxPage(3);
    TRLPrintDialog dialog;
    return dialog.Execute(drive);
}

std::tuple<int, int, int, int> PrintChoice() {
    const TRLPrintParams& p = PrintParams();
    return {p.PrintRange(), p.FromPage(), p.ToPage(), p.Copies()};
}

// All of a box's text selected, deleted, and typed anew.
void Type(QLineEdit* edit, const char* text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

// Tab goes from each widget of chain to the next, skipping what Tab never reaches.
void ExpectTabChain(const QList<QWidget*>& chain) {
    for (int i = 0; i + 1 < chain.size(); ++i) {
        QWidget* next = chain[i]->nextInFocusChain();
        while (next != chain[i] && !(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        EXPECT_EQ(next, chain[i + 1]) << i;
    }
}

} // namespace

// Clear keeps the way of printing; ToPage follows MaxPage only while it stood at the old maximum.
TEST(PrintParams, ClearAndTheMaximumThatCarriesTheLastPage) {
    TRLPrintParams params;
    params.SetPrintInBackground(true);
    params.SetOrientation(poLandscape);
    params.SetFileName("x");
    params.SetPrintRange(rprPageNums);
    params.Clear();
    EXPECT_EQ(std::tuple(params.PrintRange(), params.FileName(), params.PrintInBackground(),
                         params.Orientation()),
              std::tuple(rprAllPages, QString(), true, poLandscape));
    params.SetMaxPage(3);
    EXPECT_EQ(params.ToPage(), 3);
    params.SetToPage(2);
    params.SetMaxPage(5);
    EXPECT_EQ(params.ToPage(), 2);

    // A destroyed filter leaves no dangling choice behind.
    auto filter = std::make_unique<OptionsFilter>();
    params.SetFilter(filter.get());
    filter.reset();
    EXPECT_EQ(params.Filter(), nullptr);
}

TEST(PrintDialog, AllPagesWithDefaultOptionsAndTabOrder) {
    EXPECT_TRUE(PrintThreePages([&](TRLPrintDialog& d) {
        ExpectTabChain({d.ComboBoxPrinterNames, d.ComboBoxFilters, d.ComboBoxOptions,
                        d.CheckBoxPrintToFile, d.CheckBoxPrintInBackground, d.RadioButtonPagesAll,
                        d.RadioButtonPagesInterval, d.RadioButtonPagesSelect, d.EditCopies,
                        d.ButtonOk, d.ButtonCancel});
        EXPECT_FALSE(d.EditFromPage->focusPolicy() & Qt::TabFocus);
        EXPECT_TRUE(d.ButtonOk->isDefault());
        // Only "Default" when no print filter has a name.
        EXPECT_EQ(Items(d.ComboBoxFilters), QStringList({RLMessages[mkDefault]}));
        EXPECT_FALSE(d.ComboBoxFilters->isEnabled());
        d.ButtonOk->click();
    }));
    EXPECT_EQ(PrintChoice(), std::tuple(rprAllPages, 1, 3, 1));
    EXPECT_EQ(PrintParams().Filter(), nullptr);
}

TEST(PrintDialog, TypedRangesSelectionAndCopies) {
    const struct {
        const char* Name;
        PrintDriver Edit;
        std::tuple<int, int, int, int> Want; // range, from, to, copies
    } cases[] = {
        // Typing into the from box chooses "Pages"; an emptied to box is 0: nothing to print.
        {"from 2, to emptied",
         [](TRLPrintDialog& d) {
             Type(d.EditFromPage, "2");
             d.EditToPage->clear();
         },
         {rprPageNums, 2, 0, 1}},
        {"typing into the to box",
         [](TRLPrintDialog& d) { Type(d.EditToPage, "2"); },
         {rprPageNums, 1, 2, 1}},
        // "Selection" prints the page in the from box, 1 after Clear.
        {"selection",
         [](TRLPrintDialog& d) { d.RadioButtonPagesSelect->setChecked(true); },
         {rprSelection, 1, 1, 1}},
        {"text that is no number",
         [](TRLPrintDialog& d) {
             d.RadioButtonPagesInterval->setChecked(true);
             d.EditFromPage->setText("x");
             d.EditCopies->setText("two");
         },
         {rprPageNums, 0, 3, 0}},
        {"copies", [](TRLPrintDialog& d) { d.EditCopies->setText("4"); }, {rprAllPages, 1, 3, 4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_TRUE(PrintThreePages([&](TRLPrintDialog& d) {
            c.Edit(d);
            d.ButtonOk->click();
        }));
        EXPECT_EQ(PrintChoice(), c.Want);
        // The copy count goes to the printer too (which never reports fewer than one).
        EXPECT_EQ(RLPrinter().Copies(), std::max(1, std::get<3>(c.Want)));
    }
    RLPrinter().SetCopies(1);
}

// Both dialogs show one page-range group, as they left it: the choice and the page numbers come
// back, 0 as an empty box. Only the print dialog's "to" label ends in a colon.
TEST(PageRangeGroup, BothDialogsShowTheRangeTheyWereLeftWith) {
    TRLPrintParams& print = PrintParams();
    print.Clear();
    print.SetPrintRange(rprPageNums);
    print.SetFromPage(2);
    print.SetToPage(0);
    TRLPrintDialog printDialog;
    EXPECT_FALSE(printDialog.Execute([](TRLPrintDialog& d) {
        EXPECT_TRUE(d.RadioButtonPagesInterval->isChecked());
        EXPECT_EQ(d.EditFromPage->text(), "2");
        EXPECT_EQ(d.EditToPage->text(), "");
        EXPECT_EQ(d.LabelToPage->text(), RLMessages[mkTo] + ':');
        EXPECT_EQ(d.LabelToPage->buddy(), d.EditToPage);
        EXPECT_EQ(d.GroupBoxPages->title(), " " + RLMessages[mkPageRange] + " ");
    }));
    print.Clear();

    TRLSaveParams& save = SaveParams();
    save.Clear();
    save.SetSaveRange(rsrSelection);
    save.SetFromPage(3);
    TRLSaveDialog saveDialog;
    EXPECT_FALSE(saveDialog.Execute([](TRLSaveDialog& d) {
        EXPECT_TRUE(d.RadioButtonPagesSelect->isChecked());
        EXPECT_EQ(d.EditFromPage->text(), "3");
        EXPECT_EQ(d.LabelToPage->text(), RLMessages[mkTo]);
        EXPECT_EQ(d.LabelToPage->buddy(), d.EditToPage);
        EXPECT_FALSE(d.EditToPage->focusPolicy() & Qt::TabFocus);
        // Typing into a page box chooses "Pages" in this dialog too.
        Type(d.EditToPage, "5");
        EXPECT_TRUE(d.RadioButtonPagesInterval->isChecked());
    }));
    save.Clear();
}

TEST(PrintDialog, NamedPrintFiltersAndTheirOptions) {
    PrintParams().SetOrientation(poLandscape);
    OptionsFilter picture;
    OptionsFilter unnamed;
    unnamed.SetDisplayName(QString());
    SaveRecorder saver(".x", "Saver");
    ASSERT_TRUE(PrintThreePages([&](TRLPrintDialog& d) {
        EXPECT_EQ(Items(d.ComboBoxFilters), QStringList({RLMessages[mkDefault], "Picture"}));
        d.ComboBoxFilters->setCurrentIndex(1);
        EXPECT_EQ(Items(d.ComboBoxOptions), QStringList({"PNG", "JPEG", "BMP"}));
        EXPECT_EQ(d.ComboBoxOptions->currentIndex(), 1);
        EXPECT_EQ(picture.ToldOrientation, poLandscape);
        d.ComboBoxOptions->setCurrentIndex(2);
        d.ButtonOk->click();
    }));
    EXPECT_EQ(PrintParams().Filter(), &picture);
    EXPECT_EQ(picture.Option, 2);

    TRLPrintDialog again;
    again.Execute([](TRLPrintDialog& d) {
        EXPECT_EQ(d.ComboBoxFilters->currentIndex(), 1);
        d.ComboBoxFilters->setCurrentIndex(0);
        d.ButtonOk->click();
    });
    EXPECT_EQ(PrintParams().Filter(), nullptr);
    PrintParams().SetOrientation(poPortrait);
}

TEST(PrintDialog, PrinterCaptions) {
    EXPECT_EQ(PrinterCaption("Laser", QString()), "Laser");
    EXPECT_EQ(PrinterCaption("Laser", "Laser"), "Laser");
    EXPECT_EQ(PrinterCaption("Laser", "Room 2"), "Laser " + RLMessages[mkAt] + " Room 2");
}

// The preview's print hands the typed range and the document's orientation to the chosen
// filter; a cancelled dialog prints nothing and writes nothing back.
TEST(PrintFlow, PreviewPrintHandsTheChosenRangeToTheFilter) {
    OptionsFilter unused; // a named filter so the list can be chosen from
    RecordingFilter recorder;
    recorder.SetDisplayName("Recorder");
    QObject owner;
    TRLGraphicStorage store(&owner);
    FillStore(store, 3, QString(), [](int) { return PagePaper{MetaOrientationLandscape}; });
    PrintParams().SetFilter(&recorder);
    PrintParams().SetPrintInBackground(false);
    EXPECT_TRUE(ExecutePrintFlow(store, [&](TRLPrintDialog& d) {
        Type(d.EditFromPage, "2");
        d.ButtonOk->click();
    }));
    EXPECT_EQ(recorder.Calls, (QStringList{"begin", "page 2", "new", "page 3", "end"}));
    EXPECT_EQ(std::tuple(PrintParams().MaxPage(), PrintParams().Orientation()),
              std::tuple(3, poLandscape));

    recorder.Calls.clear();
    EXPECT_FALSE(ExecutePrintFlow(store, [](TRLPrintDialog& d) {
        Type(d.EditFromPage, "2");
        d.CheckBoxPrintInBackground->setChecked(true);
        d.ButtonCancel->click();
    }));
    EXPECT_TRUE(recorder.Calls.isEmpty());
    EXPECT_EQ(PrintChoice(), std::tuple(rprAllPages, 1, 3, 1));
    EXPECT_FALSE(PrintParams().PrintInBackground());
    PrintParams().SetFilter(nullptr);
    PrintParams().SetOrientation(poPortrait);
}

TEST(SaveDialog, TabOrderAndFixedChoices) {
    SaveParams().Clear();
    SaveParams().SetOptions({rsoDisableSaveInBackground});
    TRLSaveDialog dialog;
    EXPECT_TRUE(dialog.ButtonSave->isDefault());
    ExpectTabChain({dialog.EditFileName, dialog.SpeedButtonLookup, dialog.ComboBoxFilters,
                    dialog.RadioButtonPagesAll, dialog.RadioButtonPagesInterval});
    dialog.Execute([](TRLSaveDialog& d) {
        EXPECT_EQ(d.focusWidget(), d.EditFileName);
        EXPECT_FALSE(d.RadioButtonPagesSelect->isEnabled());
        EXPECT_FALSE(d.CheckBoxSaveInBackground->isEnabled());
    });
    SaveParams().SetOptions({});
}

TEST(SaveDialog, ExtensionDecidesTheFormat) {
    SaveRecorder pdf("pdf", "PDF");
    SaveRecorder unnamed(".htm");
    const struct {
        const char* Typed;
        int ChosenEntry; // 0 "Default", 1 pdf, 2 unnamed
        const char* FileName;
        TRLCustomSaveFilter* Filter;
    } cases[] = {
        {"report", 0, "report.rpf", nullptr},
        {"report", 1, "report.pdf", &pdf},
        // A typed extension wins over the list; an unknown one means the page-store file.
        {"report.txt", 1, "report.txt", nullptr},
        {"report.HTM", 0, "report.HTM", &unnamed},
        {"dir.v2/report", 0, "dir.v2/report.rpf", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Typed);
        SaveParams().Clear();
        SaveParams().SetFilter(nullptr);
        SaveParams().SetFileName(QString::fromLatin1(c.Typed));
        TRLSaveDialog dialog;
        ASSERT_TRUE(dialog.Execute([&](TRLSaveDialog& d) {
            // Every save filter is listed, even one without a name.
            EXPECT_EQ(d.ComboBoxFilters->count(), 3);
            d.ComboBoxFilters->setCurrentIndex(c.ChosenEntry);
            d.ButtonSave->click();
        }));
        EXPECT_EQ(SaveParams().FileName(), QString::fromLatin1(c.FileName));
        EXPECT_EQ(SaveParams().Filter(), c.Filter);
    }
}

// The range is written back as typed, even one that ends before it starts; Cancel writes nothing.
TEST(SaveDialog, RangesAreWrittenBackUncheckedAndOnlyBySave) {
    SaveParams().Clear();
    SaveParams().SetMaxPage(4);
    TRLSaveDialog dialog;
    EXPECT_TRUE(dialog.Execute([](TRLSaveDialog& d) {
        d.EditFileName->setText("out");
        Type(d.EditFromPage, "2");
        d.EditToPage->setText("1");
        d.CheckBoxSaveInBackground->setChecked(true);
        d.ButtonSave->click();
    }));
    const TRLSaveParams& p = SaveParams();
    EXPECT_EQ(std::tuple(p.SaveRange(), p.FromPage(), p.ToPage(), p.SaveInBackground()),
              std::tuple(rsrPageNums, 2, 1, true));

    const QString saved = p.FileName();
    TRLSaveDialog cancelled;
    EXPECT_FALSE(cancelled.Execute([](TRLSaveDialog& d) {
        d.EditFileName->setText("changed");
        d.ButtonCancel->click();
    }));
    EXPECT_EQ(p.FileName(), saved);
    SaveParams().SetSaveInBackground(false);
}

// Whatever range is chosen, the page-store format holds the whole document (a save filter gets
// the range: PdfRegistration.ThePreviewSaveWritesTheChosenPagesAsPdf); a Greek title makes it
// version 4, and the store tells.
TEST(SaveFlow, DefaultWritesTheWholeStore) {
    QTemporaryDir dir;
    QObject owner;
    TRLGraphicStorage store(&owner);
    FillStore(store, 3);
    store.SetTitle(QStringLiteral("Τίτλος"));
    SaveParams().SetFilter(nullptr);
    ASSERT_TRUE(ExecuteSaveFlow(store, QString(), [&](TRLSaveDialog& d) {
        d.EditFileName->setText(dir.filePath("whole"));
        d.EditFromPage->setText("2");
        d.RadioButtonPagesInterval->setChecked(true);
        d.ButtonSave->click();
    }));
    EXPECT_EQ(store.LastSavedFileVersion(), 4);
    TRLGraphicStorage loaded(&owner);
    EXPECT_EQ(loaded.LoadFromFile(dir.filePath("whole.rpf")), 4);
    EXPECT_EQ(loaded.PageCount(), 3);
    EXPECT_EQ(loaded.Title(), QStringLiteral("Τίτλος"));
}

// Centring can only go wrong with more than one screen: the test runs itself again in a child
// given A (1000 x 700 at the origin, the primary one) and B (1600 x 900 to its right).
TEST(CentreOnItsScreen, FollowsTheParentTheTransientParentOrThePointer) {
    const bool child = qEnvironmentVariableIsSet("KELMORA_TWO_SCREENS");
    if (QGuiApplication::screens().size() < 2) {
        ASSERT_FALSE(child) << "the platform did not take the two screens";
        QTemporaryDir dir;
        ASSERT_TRUE(WriteFile(dir.filePath("screens.json"), R"({"screens": [
            {"name": "A", "x": 0, "y": 0, "width": 1000, "height": 700, "logicalDpi": 96},
            {"name": "B", "x": 1000, "y": 0, "width": 1600, "height": 900, "logicalDpi": 96}]})"));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM",
                           "offscreen:configfile=" + dir.filePath("screens.json"));
        environment.insert("KELMORA_TWO_SCREENS", "1");
        const ProgramResult r = RunProgram(QCoreApplication::applicationFilePath(),
                                           {"--gtest_filter=CentreOnItsScreen.*"}, environment);
        EXPECT_EQ(r.ExitCode, 0) << r.Out.toStdString() << r.Err.toStdString();
        EXPECT_TRUE(r.Out.contains("[  PASSED  ] 1 test")) << r.Out.toStdString();
        return;
    }
    QScreen* b = QGuiApplication::screens().at(1);
    ASSERT_EQ(b->availableGeometry(), QRect(1000, 0, 1600, 900));
    // Windows of 300 x 200 centred on A lie at (350, 250), on B at (1650, 350).
    QCursor::setPos(QPoint(10, 10));

    QWidget parent;
    parent.setGeometry(1100, 100, 400, 300);
    QDialog dialog(&parent);
    dialog.resize(300, 200);
    CentreOnItsScreen(dialog);
    EXPECT_EQ(dialog.pos(), QPoint(1650, 350))
        << "the parent's screen, not the pointer's or the primary";

    QWindow owner;
    owner.setScreen(b);
    QWidget transient;
    transient.resize(300, 200);
    transient.winId();
    transient.windowHandle()->setTransientParent(&owner);
    CentreOnItsScreen(transient);
    // A native window has a frame: the frame is what is centred.
    EXPECT_LE(
        (transient.frameGeometry().center() - b->availableGeometry().center()).manhattanLength(), 1)
        << "the transient parent's screen";

    QWidget alone;
    alone.resize(300, 200);
    QCursor::setPos(QPoint(1500, 400));
    CentreOnItsScreen(alone);
    EXPECT_EQ(alone.pos(), QPoint(1650, 350)) << "the screen under the pointer";
}
