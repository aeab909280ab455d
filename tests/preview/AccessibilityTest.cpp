// The engine's windows in every language of the message table: names, the dialog font, and
// every text drawn in full inside its control, clear of its neighbours and a group's frame.
#include "PreviewTestSupport.h"
#include "RLFeedBack.h"
#include "RLFindDialog.h"
#include "WidgetWalk.h"
#include <kelmora/dialogs/RLAccessibility.h>
#include <kelmora/dialogs/RLDialogLayout.h>
#include <kelmora/dialogs/RLPrintDialog.h>
#include <kelmora/dialogs/RLSaveDialog.h>
#include <kelmora/output/RLFilters.h>
#include <kelmora/preview/RLPreview.h>
#include <kelmora/preview/RLPreviewForm.h>
#include <kelmora/support/RLMessages.h>

#include <QAccessible>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
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

namespace {

QString Name(QWidget& widget) {
    return QAccessible::queryAccessibleInterface(&widget)->text(QAccessible::Name);
}

QString TextOf(QWidget& widget) {
    QAccessibleTextInterface* text =
        QAccessible::queryAccessibleInterface(&widget)->textInterface();
    return text ? text->text(0, text->characterCount()) : QStringLiteral("<no text>");
}

} // namespace

// Each page shown is a document named by its page, whose text is the page's texts from the top,
// and whose texts are where the screen shows them, as the pages and the zoom change. (What the
// screen reader is told as they change needs the desktop's accessibility bus: the AT-SPI test
// listens for it.)
TEST(PreviewReading, EachShownPageIsADocumentThatFollowsThePagesAndTheZoom) {
    const LanguageScope spanish(lgSpanish);
    QObject owner;
    TRLGraphicStorage* store =
        previewtest::MakeTextStore({{QStringLiteral("Íñigo Núñez"), QStringLiteral("Σελίδα ένα")},
                                    {QStringLiteral("Página dos — Ωμέγα")},
                                    {QStringLiteral("tres")}},
                                   &owner);
    TRLPreviewForm form;
    form.resize(900, 700);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    TRLPreview& view = *form.Views().front();
    view.SetPages(store);
    TRLPreviewBox& box = view.PageBoxes(0);

    QAccessibleInterface* page = QAccessible::queryAccessibleInterface(&box);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->role(), QAccessible::Document);
    EXPECT_EQ(Name(box), QStringLiteral("Página 1 de 3"));
    EXPECT_EQ(TextOf(box).toStdU16String(), u"Íñigo Núñez\nΣελίδα ένα");
    QAccessibleTextInterface* text = page->textInterface();
    ASSERT_NE(text, nullptr);
    const QRect first = text->characterRect(0);
    const QRect second = text->characterRect(12);
    const QRect onScreen(box.mapToGlobal(QPoint(0, 0)), box.size());
    EXPECT_TRUE(onScreen.contains(first) && onScreen.contains(second));
    EXPECT_LT(first.bottom(), second.top()) << "the second text lies below the first";
    EXPECT_EQ(text->offsetAtPoint(second.center()), 12);
    EXPECT_EQ(text->characterRect(11), QRect()) << "the line break lies nowhere";

    view.SetZoom(50);
    EXPECT_NEAR(text->characterRect(0).width(), first.width() / 2.0, 1.0);

    view.NextPage();
    EXPECT_EQ(Name(box), QStringLiteral("Página 2 de 3"));
    EXPECT_EQ(TextOf(box).toStdU16String(), u"Página dos — Ωμέγα");

    // Three pages side by side: a box past the last page says there is none.
    view.FirstPage();
    view.ZoomMultiplePages();
    view.NextPage();
    QStringList names;
    QStringList texts;
    for (int i = 0; i < TRLPreview::MaxPageBoxes; ++i) {
        names.append(Name(view.PageBoxes(i)));
        texts.append(TextOf(view.PageBoxes(i)));
    }
    EXPECT_EQ(names, QStringList({"Página 3 de 3", "Sin página", "Sin página"}));
    EXPECT_EQ(texts, QStringList({"tres", "", ""}));
}

// A store of more pages than its cache holds: a page read back from the store's file reads as it
// was recorded, at either end and back again.
TEST(PreviewReading, PagesBeyondTheCacheReadAsRecorded) {
    const LanguageScope spanish(lgSpanish);
    QObject owner;
    QList<QStringList> pages;
    const int count = TRLGraphicStorage::CacheSize + 4;
    for (int i = 1; i <= count; ++i)
        pages.append({QStringLiteral("Σελίδα %1 — Núñez").arg(i)});
    TRLGraphicStorage* store = previewtest::MakeTextStore(pages, &owner);
    TRLPreviewForm form;
    TRLPreview& view = *form.Views().front();
    view.SetPages(store);
    TRLPreviewBox& box = view.PageBoxes(0);
    for (const int number : {count, 1, count - 1, 2}) {
        view.GotoPageNumber(number);
        EXPECT_EQ(Name(box), QStringLiteral("Página %1 de %2").arg(number).arg(count));
        EXPECT_EQ(TextOf(box), QStringLiteral("Σελίδα %1 — Núñez").arg(number));
    }
}

// The parts of the window that show no words of their own still have a role and a name, in each
// language of the message table; the divider between two views too.
TEST(PreviewReading, TheWindowsPartsHaveRolesAndNames) {
    for (const TRLLanguage language : kLanguages) {
        const LanguageScope scope(language);
        TRLPreviewForm form;
        form.ToggleViews();
        TRLPreview& lower = *form.Views().back();
        const auto role = [](QWidget* widget) {
            return QAccessible::queryAccessibleInterface(widget)->role();
        };
        EXPECT_EQ(role(&form), QAccessible::Window);
        EXPECT_EQ(role(form.PanelTools), QAccessible::ToolBar);
        EXPECT_EQ(role(form.Bevel3), QAccessible::Separator);
        QSplitterHandle* divider = form.Splitter->handle(1);
        EXPECT_EQ(role(divider), QAccessible::Separator);
        for (QWidget* widget : std::initializer_list<QWidget*>{
                 form.PanelTools, form.Splitter, divider, form.ComboBoxZoom->lineEdit(),
                 lower.verticalScrollBar(), lower.horizontalScrollBar()}) {
            EXPECT_FALSE(Name(*widget).trimmed().isEmpty())
                << widget->metaObject()->className() << " in language " << language;
        }
    }
}

// Message icons are drawn for the screen's pixel ratio, not scaled up from a small picture; a
// glyph doubled keeps each of its pixels a square of one colour instead of a blur.
TEST(SharpIcons, MessageIconsAndGlyphsStaySharpOnAScreenThatDoublesEverything) {
    const QPixmap doubled = MessageIconPixmap(QMessageBox::Warning, 32, 2);
    EXPECT_EQ(doubled.size(), QSize(64, 64));
    EXPECT_EQ(doubled.devicePixelRatio(), 2);
    const QImage drawn = doubled.toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage blown = MessageIconPixmap(QMessageBox::Warning, 32, 1)
                             .toImage()
                             .convertToFormat(QImage::Format_ARGB32)
                             .scaled(64, 64, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // A picture drawn at the ratio has edges half as wide: fewer half-covered pixels than the
    // small picture blown up.
    const auto halfCovered = [](const QImage& image) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += qAlpha(image.pixel(x, y)) > 30 && qAlpha(image.pixel(x, y)) < 225;
        return count;
    };
    EXPECT_LT(halfCovered(drawn) * 3, halfCovered(blown) * 2);
    EXPECT_TRUE(MessageIconPixmap(QMessageBox::NoIcon, 32, 2).isNull());

    QMessageBox box(QMessageBox::Information, QStringLiteral("Sr. Operador"), QStringLiteral("x"));
    UseSharpMessageIcon(box);
    EXPECT_EQ(box.iconPixmap().devicePixelRatio(), box.devicePixelRatio());
    EXPECT_FALSE(box.iconPixmap().isNull());

    QImage glyph(2, 2, QImage::Format_ARGB32);
    glyph.setPixel(0, 0, qRgb(255, 0, 0));
    glyph.setPixel(1, 0, qRgb(0, 0, 255));
    glyph.setPixel(0, 1, qRgba(0, 0, 0, 0));
    glyph.setPixel(1, 1, qRgb(0, 128, 0));
    const QIcon icon = SharpGlyphIcon(glyph);
    const QImage atTwo =
        icon.pixmap(QSize(2, 2), 2).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(atTwo.size(), QSize(4, 4));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(atTwo.pixel(x, y), glyph.pixel(x / 2, y / 2)) << x << "," << y;
    EXPECT_EQ(icon.pixmap(QSize(2, 2), 1).toImage().convertToFormat(QImage::Format_ARGB32), glyph);
}
