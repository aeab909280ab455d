// The engine's windows as assistive technology sees them: every control the operator can reach
// carries an accessible name in the message table's language and an object name, and every
// label that names a box is that box's buddy.
#include "PreviewTestSupport.h"
#include "RLFeedBack.h"
#include "RLFilters.h"
#include "RLFindDialog.h"
#include "RLMessages.h"
#include "RLPreview.h"
#include "RLPreviewForm.h"
#include "RLPrintDialog.h"
#include "RLSaveDialog.h"
#include "WidgetWalk.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QToolButton>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

using testsupport::Faults;
using testsupport::LanguageScope;
using testsupport::Walk;
using testsupport::WalkWindow;

constexpr TRLLanguage kLanguages[] = {lgEnglish, lgSpanish, lgFrench, lgPortuguese};

QString Plain(TRLMessageKey key) {
    return QString(RLMessages[key]).remove(u'&');
}

void PrepareParams() {
    TRLPrintParams& print = PrintParams();
    print.SetOptions(TRLPrintParams::DefaultOptions);
    print.SetFilter(nullptr);
    print.Clear();
    print.SetMaxPage(3);
    TRLSaveParams& save = SaveParams();
    save.SetFilter(nullptr);
    save.Clear();
    save.SetMaxPage(3);
}

// A print filter with options of its own, whose label names the options box.
class OptionsFilter : public TRLCustomPrintFilter {
public:
    OptionsFilter() { SetDisplayName(QStringLiteral("Picture")); }
    QString GetOptionsLabel() const override { return QStringLiteral("Format"); }
    QStringList GetOptions() const override {
        return {QStringLiteral("PNG"), QStringLiteral("JPEG")};
    }

protected:
    void BeginDoc() override {}
    void EndDoc() override {}
    void NewPage() override {}
    void DrawPage(TRLGraphicSurface&) override {}
};

} // namespace

TEST(Accessibility, EveryControlOfTheEngineWindowsIsNamedInEveryLanguage) {
    for (const TRLLanguage language : kLanguages) {
        const LanguageScope scope(language);
        SCOPED_TRACE(testing::Message() << "language " << static_cast<int>(language));
        QObject owner;
        PrepareParams();

        TRLPreviewForm preview;
        preview.Views().front()->SetPages(previewtest::MakeBlankStore(2, &owner));
        Walk walk = WalkWindow(preview);
        EXPECT_TRUE(walk.faults.empty()) << "preview window:" << Faults(walk);
        // Fourteen buttons, the page box, the zoom box and the view.
        EXPECT_EQ(walk.interactive, 17);
        preview.ToggleViews();
        walk = WalkWindow(preview);
        EXPECT_TRUE(walk.faults.empty()) << "preview window, two views:" << Faults(walk);
        EXPECT_EQ(walk.interactive, 18);

        TfrmRLFindDialog find;
        walk = WalkWindow(find);
        EXPECT_TRUE(walk.faults.empty()) << "find dialog:" << Faults(walk);
        // The text box, two buttons, two check boxes, two direction buttons.
        EXPECT_EQ(walk.interactive, 7);

        TRLPrintDialog print;
        print.Execute([&](TRLPrintDialog& d) {
            walk = WalkWindow(d);
            d.ButtonCancel->click();
        });
        EXPECT_TRUE(walk.faults.empty()) << "print dialog:" << Faults(walk);
        // The options box is hidden while the filter offers no options.
        EXPECT_EQ(walk.interactive, 12);

        TRLSaveDialog save;
        save.Execute([&](TRLSaveDialog& d) {
            walk = WalkWindow(d);
            d.ButtonCancel->click();
        });
        EXPECT_TRUE(walk.faults.empty()) << "save dialog:" << Faults(walk);
        EXPECT_EQ(walk.interactive, 11);

        TfrmRLFeedBack progress(RLMessages[mkPrintingInProgress], 2);
        walk = WalkWindow(progress);
        EXPECT_TRUE(walk.faults.empty()) << "progress window:" << Faults(walk);
        EXPECT_EQ(walk.interactive, 1);
    }
}

// The names are the words the operator reads next to the control or in its hint, from the
// table of the language in force, without the accelerator mark.
TEST(Accessibility, NamesAreTheCaptionsAndHintsOfTheTableInForce) {
    for (const TRLLanguage language : kLanguages) {
        const LanguageScope scope(language);
        SCOPED_TRACE(testing::Message() << "language " << static_cast<int>(language));
        PrepareParams();

        TRLPreviewForm preview;
        const std::pair<QWidget*, TRLMessageKey> previewNames[] = {
            {preview.SpeedButtonPrint, mkPrint},
            {preview.SpeedButtonSave, mkSaveToFile},
            {preview.SpeedButtonSend, mkSendTo},
            {preview.SpeedButtonSetup, mkConfigurePrinter},
            {preview.SpeedButtonFirst, mkFirstPage},
            {preview.SpeedButtonPrior, mkPriorPage},
            {preview.SpeedButtonNext, mkNextPage},
            {preview.SpeedButtonLast, mkLastPage},
            {preview.SpeedButtonViews, mkDivideScreen},
            {preview.SpeedButtonEdit, mkEdit},
            {preview.SpeedButtonClose, mkClose},
            {preview.EditPageNo, mkPage},
            {preview.Views().front(), mkPreview}};
        for (const auto& [widget, key] : previewNames)
            EXPECT_EQ(widget->accessibleName(), Plain(key)) << widget->objectName().toStdString();
        EXPECT_EQ(preview.SpeedButtonAbout->accessibleName(), preview.SpeedButtonAbout->toolTip());
        // The zoom controls have no caption or hint; their names still follow the language.
        const QWidget* zoom[] = {preview.SpeedButtonZoomDown, preview.SpeedButtonZoomUp,
                                 preview.ComboBoxZoom};
        for (const QWidget* widget : zoom)
            EXPECT_FALSE(widget->accessibleName().isEmpty());
        EXPECT_NE(preview.SpeedButtonZoomDown->accessibleName(),
                  preview.SpeedButtonZoomUp->accessibleName());

        // Boxes named by their label's caption, which carries an accelerator mark.
        TRLPrintDialog print;
        EXPECT_EQ(print.EditFromPage->accessibleName(), Plain(mkFrom));
        TRLSaveDialog save;
        EXPECT_EQ(save.SpeedButtonLookup->accessibleName(), Plain(mkSaveToFile));
    }
    // One language's words are not another's.
    QString english;
    QString spanish;
    {
        const LanguageScope scope(lgEnglish);
        english = TRLPreviewForm().SpeedButtonZoomUp->accessibleName();
    }
    {
        const LanguageScope scope(lgSpanish);
        spanish = TRLPreviewForm().SpeedButtonZoomUp->accessibleName();
    }
    EXPECT_NE(english, spanish);
}

TEST(Accessibility, LabelsAreTheBuddiesOfTheBoxesTheyName) {
    PrepareParams();
    TRLPreviewForm preview;
    EXPECT_EQ(preview.LabelPage->buddy(), preview.EditPageNo);

    TfrmRLFindDialog find;
    EXPECT_EQ(find.LabelTextToFind->buddy(), find.EditTextToFind);

    TRLPrintDialog print;
    EXPECT_EQ(print.LabelPrinterName->buddy(), print.ComboBoxPrinterNames);
    EXPECT_EQ(print.LabelFilterName->buddy(), print.ComboBoxFilters);
    EXPECT_EQ(print.LabelOptions->buddy(), print.ComboBoxOptions);
    EXPECT_EQ(print.LabelFromPage->buddy(), print.EditFromPage);
    EXPECT_EQ(print.LabelToPage->buddy(), print.EditToPage);
    EXPECT_EQ(print.LabelCopies->buddy(), print.EditCopies);

    TRLSaveDialog save;
    EXPECT_EQ(save.LabelFileName->buddy(), save.EditFileName);
    EXPECT_EQ(save.LabelUseFilter->buddy(), save.ComboBoxFilters);
    EXPECT_EQ(save.LabelFromPage->buddy(), save.EditFromPage);
    EXPECT_EQ(save.LabelToPage->buddy(), save.EditToPage);
}

// The options box has no fixed caption: its name is the label the chosen filter gives it.
TEST(Accessibility, OptionsBoxIsNamedByTheChosenFiltersLabel) {
    PrepareParams();
    OptionsFilter picture;
    TRLPrintDialog print;
    Walk walk;
    print.Execute([&](TRLPrintDialog& d) {
        ASSERT_EQ(d.ComboBoxFilters->count(), 2);
        d.ComboBoxFilters->setCurrentIndex(1);
        walk = WalkWindow(d);
        EXPECT_EQ(d.ComboBoxOptions->accessibleName(), QStringLiteral("Format"));
        d.ComboBoxFilters->setCurrentIndex(0);
        d.ButtonCancel->click();
    });
    EXPECT_TRUE(walk.faults.empty()) << Faults(walk);
    EXPECT_EQ(walk.interactive, 13);
    PrepareParams();
}
