// The engine's windows as assistive technology sees them: every control the operator can reach
// carries an accessible name in the message table's language and an object name.
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

#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include <gtest/gtest.h>

#include <ostream>

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

// Walks a window: no faults, and as many controls within the operator's reach as expected.
void ExpectNamed(const QWidget& window, int interactive, const char* what) {
    const Walk walk = WalkWindow(window);
    EXPECT_TRUE(walk.faults.empty()) << what << ":" << Faults(walk);
    EXPECT_EQ(walk.interactive, interactive) << what;
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

// Every control has an object name and an accessible name without the accelerator mark, from the
// table of the language in force.
TEST(Accessibility, EveryControlOfTheEngineWindowsIsNamedInEveryLanguage) {
    for (const TRLLanguage language : kLanguages) {
        const LanguageScope scope(language);
        SCOPED_TRACE(testing::Message() << "language " << static_cast<int>(language));
        QObject owner;
        PrepareParams();

        TRLPreviewForm preview;
        preview.Views().front()->SetPages(previewtest::MakeBlankStore(2, &owner));
        // Fourteen buttons, the page box, the zoom box and the view.
        ExpectNamed(preview, 17, "preview window");
        EXPECT_EQ(preview.SpeedButtonPrint->accessibleName(), Plain(mkPrint));
        // The zoom controls have no caption or hint; their names still differ.
        EXPECT_NE(preview.SpeedButtonZoomDown->accessibleName(),
                  preview.SpeedButtonZoomUp->accessibleName());
        preview.ToggleViews();
        ExpectNamed(preview, 18, "preview window, two views");

        // The text box, two buttons, two check boxes, two direction buttons.
        ExpectNamed(TfrmRLFindDialog(), 7, "find dialog");

        TRLPrintDialog print;
        // A box named by its label's caption, which carries an accelerator mark.
        EXPECT_EQ(print.EditFromPage->accessibleName(), Plain(mkFrom));
        // The options box is hidden while the filter offers no options.
        print.Execute([&](TRLPrintDialog& d) {
            ExpectNamed(d, 12, "print dialog");
            d.ButtonCancel->click();
        });
        TRLSaveDialog save;
        save.Execute([&](TRLSaveDialog& d) {
            ExpectNamed(d, 11, "save dialog");
            d.ButtonCancel->click();
        });
        ExpectNamed(TfrmRLFeedBack(RLMessages[mkPrintingInProgress], 2), 1, "progress window");
    }
    // One language's words are not another's.
    const auto zoomUpName = [](TRLLanguage language) {
        const LanguageScope scope(language);
        return TRLPreviewForm().SpeedButtonZoomUp->accessibleName();
    };
    EXPECT_NE(zoomUpName(lgEnglish), zoomUpName(lgSpanish));
}

// The options box has no fixed caption: its name is the label the chosen filter gives it.
TEST(Accessibility, OptionsBoxIsNamedByTheChosenFiltersLabel) {
    PrepareParams();
    OptionsFilter picture;
    TRLPrintDialog print;
    print.Execute([&](TRLPrintDialog& d) {
        ASSERT_EQ(d.ComboBoxFilters->count(), 2);
        d.ComboBoxFilters->setCurrentIndex(1);
        ExpectNamed(d, 13, "print dialog with options");
        EXPECT_EQ(d.ComboBoxOptions->accessibleName(), QStringLiteral("Format"));
        d.ComboBoxFilters->setCurrentIndex(0);
        d.ButtonCancel->click();
    });
    PrepareParams();
}
