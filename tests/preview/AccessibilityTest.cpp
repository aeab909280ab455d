// The engine's windows in every language of the message table: names, the dialog font, and
// every text drawn in full inside its control, clear of its neighbours and a group's frame.
#include "PreviewTestSupport.h"
#include "RLFeedBack.h"
#include "RLFindDialog.h"
#include "WidgetWalk.h"
#include <kelmora/dialogs/RLDialogLayout.h>
#include <kelmora/dialogs/RLPrintDialog.h>
#include <kelmora/dialogs/RLSaveDialog.h>
#include <kelmora/output/RLFilters.h>
#include <kelmora/preview/RLPreview.h>
#include <kelmora/preview/RLPreviewForm.h>
#include <kelmora/support/RLMessages.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QToolButton>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Kelmora;

namespace {

using testsupport::Faults;
using testsupport::LanguageScope;
using testsupport::Walk;
using testsupport::WalkWindow;

constexpr TRLLanguage kLanguages[] = {lgEnglish, lgSpanish, lgFrench, lgPortuguese};

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

void ExpectNamed(const QWidget& window, int interactive, const char* what) {
    const Walk walk = WalkWindow(window);
    EXPECT_TRUE(walk.faults.empty()) << what << ":" << Faults(walk);
    EXPECT_EQ(walk.interactive, interactive) << what;
}

QString Caption(const QWidget& widget) {
    if (auto* label = qobject_cast<const QLabel*>(&widget))
        return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(&widget))
        return button->text();
    return {};
}

// The control's place, as wide as its text asks: a button's size hint holds the style's smallest
// button, which is no matter of the text, so its caption and a little room for the frame.
QRect NeededRect(const QWidget& widget) {
    QRect rect = widget.geometry();
    if (qobject_cast<const QPushButton*>(&widget) || qobject_cast<const QToolButton*>(&widget))
        rect.setWidth(widget.fontMetrics().horizontalAdvance(Caption(widget).remove(u'&')) + 6);
    else if (qobject_cast<const QLabel*>(&widget) || qobject_cast<const QAbstractButton*>(&widget))
        rect.setWidth(std::max(1, widget.sizeHint().width()));
    return rect;
}

// A group's controls lie inside its frame, below the title.
void ExpectTextsFit(const QWidget& window) {
    QList<const QWidget*> parents = window.findChildren<const QWidget*>();
    parents.append(&window);
    for (const QWidget* parent : parents) {
        std::vector<const QWidget*> children;
        for (QObject* object : parent->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (child && !child->isWindow() && !child->isHidden() &&
                (!Caption(*child).isEmpty() || qobject_cast<QLineEdit*>(child) ||
                 qobject_cast<QGroupBox*>(child)))
                children.push_back(child);
        }
        QRect inside = parent->rect();
        if (auto* group = qobject_cast<const QGroupBox*>(parent)) {
            QStyleOptionGroupBox option;
            option.initFrom(group);
            option.text = group->title();
            option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
            EXPECT_LE(
                group->style()
                    ->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, group)
                    .right(),
                group->width() - 1)
                << "the title of " << group->objectName().toStdString();
            inside = group->contentsRect();
        }
        for (const QWidget* child : children) {
            const QRect needed = NeededRect(*child);
            const std::string name = child->objectName().toStdString();
            if (!Caption(*child).isEmpty()) {
                EXPECT_LE(needed.width(), child->width()) << name << " is cut";
            }
            EXPECT_TRUE(inside.contains(needed)) << name << " leaves its parent";
            // Button captions are centred, which the width check above covers.
            const bool leftAligned =
                qobject_cast<const QLabel*>(child) || qobject_cast<const QCheckBox*>(child) ||
                qobject_cast<const QRadioButton*>(child) || qobject_cast<const QGroupBox*>(child);
            for (const QWidget* other : children)
                if (leftAligned && other != child && needed.intersects(NeededRect(*other)))
                    ADD_FAILURE() << name << " runs into " << other->objectName().toStdString();
        }
    }
}

void ExpectNamedAndFitting(const QWidget& window, int interactive, const char* what) {
    SCOPED_TRACE(what);
    ExpectNamed(window, interactive, what);
    EXPECT_EQ(window.font().family(), EngineDialogFont().family());
    EXPECT_EQ(window.font().pixelSize(), EngineDialogFont().pixelSize());
    ExpectTextsFit(window);
}

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

TEST(EngineWindows, EveryControlIsNamedAndEveryTextFitsInEveryLanguage) {
    for (const TRLLanguage language : kLanguages) {
        const LanguageScope scope(language);
        SCOPED_TRACE(testing::Message() << "language " << static_cast<int>(language));
        QObject owner;
        PrepareParams();

        TRLPreviewForm preview;
        preview.Views().front()->SetPages(previewtest::MakeBlankStore(2, &owner));
        // Fourteen buttons, the page box, the zoom box and the view.
        ExpectNamed(preview, 17, "preview window");
        EXPECT_EQ(preview.font().family(), EngineDialogFont().family());
        EXPECT_EQ(preview.font().pixelSize(), EngineDialogFont().pixelSize());
        // The zoom controls have no caption to be named by.
        EXPECT_EQ(QStringList({preview.SpeedButtonPrint->accessibleName(),
                               preview.SpeedButtonZoomUp->accessibleName(),
                               preview.SpeedButtonZoomDown->accessibleName()}),
                  QStringList({QString(RLMessages[mkPrint]).remove(u'&'),
                               QString(RLMessages[mkZoomIn]), QString(RLMessages[mkZoomOut])}));
        preview.ToggleViews();
        ExpectNamed(preview, 18, "preview window, two views");

        // The text box, two buttons, two check boxes, two direction buttons.
        ExpectNamedAndFitting(TfrmRLFindDialog(), 7, "find dialog");

        const OptionsFilter picture;
        TRLPrintDialog print;
        // A box named by its label's caption, which carries an accelerator mark.
        EXPECT_EQ(print.EditFromPage->accessibleName(), QString(RLMessages[mkFrom]).remove(u'&'));
        print.Execute([&](TRLPrintDialog& d) {
            // The options box is hidden while the chosen filter offers no options, and named by
            // the label the filter gives it when it does.
            ExpectNamedAndFitting(d, 12, "print dialog");
            EXPECT_EQ(d.ComboBoxFilters->count(), 2);
            d.ComboBoxFilters->setCurrentIndex(1);
            ExpectNamed(d, 13, "print dialog with options");
            EXPECT_EQ(d.ComboBoxOptions->accessibleName(), QStringLiteral("Format"));
            d.ButtonCancel->click();
        });
        TRLSaveDialog save;
        save.Execute([&](TRLSaveDialog& d) {
            ExpectNamedAndFitting(d, 11, "save dialog");
            d.ButtonCancel->click();
        });
        ExpectNamed(TfrmRLFeedBack(RLMessages[mkPrintingInProgress], 2), 1, "progress window");
    }

    // A label is the buddy of the box it names, so that a screen reader reads them together.
    const TRLPreviewForm preview;
    const TfrmRLFindDialog find;
    const TRLPrintDialog print;
    const TRLSaveDialog save;
    const std::pair<const QLabel*, const QWidget*> buddies[] = {
        {preview.LabelPage, preview.EditPageNo},
        {find.LabelTextToFind, find.EditTextToFind},
        {print.LabelPrinterName, print.ComboBoxPrinterNames},
        {print.LabelFilterName, print.ComboBoxFilters},
        {print.LabelOptions, print.ComboBoxOptions},
        {print.LabelFromPage, print.EditFromPage},
        {print.LabelToPage, print.EditToPage},
        {print.LabelCopies, print.EditCopies},
        {save.LabelFileName, save.EditFileName},
        {save.LabelUseFilter, save.ComboBoxFilters},
        {save.LabelFromPage, save.EditFromPage},
        {save.LabelToPage, save.EditToPage}};
    for (const auto& [label, box] : buddies)
        EXPECT_EQ(label->buddy(), box) << label->objectName().toStdString();
}
