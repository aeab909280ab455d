// The engine's dialogs in every language of the message table: one dialog font, and every text
// drawn in full inside its own control, without running into a neighbour or a group's frame.
#include "RLDialogLayout.h"
#include "RLFindDialog.h"
#include "RLMessages.h"
#include "RLPreviewForm.h"
#include "RLPrintDialog.h"
#include "RLSaveDialog.h"
#include "WidgetWalk.h"

#include <QAbstractButton>
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

namespace {

using testsupport::LanguageScope;

const char* const kLanguageNames[] = {"English", "Spanish", "French", "Portuguese"};

// A label's or a button's text; empty for any other control.
QString Caption(const QWidget& widget) {
    if (auto* label = qobject_cast<const QLabel*>(&widget))
        return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(&widget))
        return button->text();
    return {};
}

// The part of a control that its text needs: the control's place, as wide as its text asks.
// Labels, check boxes and radio buttons ask what their size hint says; push and tool buttons their
// caption and a little room for the frame (their size hint holds the style's smallest button,
// which is no matter of the text).
QRect NeededRect(const QWidget& widget) {
    QRect rect = widget.geometry();
    if (qobject_cast<const QPushButton*>(&widget) || qobject_cast<const QToolButton*>(&widget))
        rect.setWidth(widget.fontMetrics().horizontalAdvance(Caption(widget).remove(u'&')) + 6);
    else if (qobject_cast<const QLabel*>(&widget) || qobject_cast<const QAbstractButton*>(&widget))
        rect.setWidth(std::max(1, widget.sizeHint().width()));
    return rect;
}

// Every text fits its control; no control's needed place overlaps a sibling's; a group's title
// fits the group and its controls lie inside the frame, below the title; every control lies
// inside its parent.
void ExpectTextsFit(const QWidget& window, const char* language) {
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
                << language << ": the title of " << group->objectName().toStdString();
            inside = group->contentsRect();
        }
        for (const QWidget* child : children) {
            const QRect needed = NeededRect(*child);
            const std::string name = child->objectName().toStdString();
            if (!Caption(*child).isEmpty()) {
                EXPECT_LE(needed.width(), child->width()) << language << ": " << name << " is cut";
            }
            EXPECT_TRUE(inside.contains(needed))
                << language << ": " << name << " leaves its parent";
            // A caption written from its left edge must not reach a neighbour, nor may groups
            // overlap what stands beside them. (Button captions are centred: the width check
            // above covers them.)
            const bool leftAligned =
                qobject_cast<const QLabel*>(child) || qobject_cast<const QCheckBox*>(child) ||
                qobject_cast<const QRadioButton*>(child) || qobject_cast<const QGroupBox*>(child);
            for (const QWidget* other : children)
                if (leftAligned && other != child && needed.intersects(NeededRect(*other)))
                    ADD_FAILURE() << language << ": " << name << " runs into "
                                  << other->objectName().toStdString();
        }
    }
}

template <class Dialog> void ExpectFitsInEveryLanguage(const char* what) {
    SCOPED_TRACE(what);
    const QFont expected = EngineDialogFont();
    for (TRLLanguage language : {lgEnglish, lgSpanish, lgFrench, lgPortuguese}) {
        const LanguageScope scope(language);
        Dialog dialog;
        dialog.ensurePolished();
        const char* name = kLanguageNames[language];
        EXPECT_EQ(dialog.font().family(), expected.family()) << name;
        EXPECT_EQ(dialog.font().pixelSize(), expected.pixelSize()) << name;
        ExpectTextsFit(dialog, name);
    }
}

TEST(EngineDialogs, DialogTextsFitInEveryLanguage) {
    ExpectFitsInEveryLanguage<TfrmRLFindDialog>("find dialog");
    ExpectFitsInEveryLanguage<TRLPrintDialog>("print dialog");
    ExpectFitsInEveryLanguage<TRLSaveDialog>("save dialog");
}

TEST(EngineDialogs, PreviewWindowUsesTheDialogFont) {
    TRLPreviewForm form;
    EXPECT_EQ(form.font().family(), EngineDialogFont().family());
    EXPECT_EQ(form.font().pixelSize(), EngineDialogFont().pixelSize());
}

} // namespace
