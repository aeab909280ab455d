#include "RLPageRangeGroup_p.h"

#include <kelmora/dialogs/RLDialogKit.h>

namespace Kelmora {

using namespace rldialogkit;

void TRLPageRangeParams::SetMaxPage(int maxPage) {
    if (toPage_ == maxPage_)
        toPage_ = maxPage;
    maxPage_ = maxPage;
}

void TRLPageRangeParams::ClearPages() {
    minPage_ = 1;
    maxPage_ = 9999;
    fromPage_ = 1;
    toPage_ = 9999;
}

void BuildPageRange(QWidget& dialog, TRLPageRangeControls& c, const TRLPageRangePlaces& at) {
    using enum TRLCaption;
    c.GroupBoxPages =
        Place(NewControl<QGroupBox>(Group, mkPageRange, &dialog), "GroupBoxPages", at.Group);
    QGroupBox* group = c.GroupBoxPages;
    c.RadioButtonPagesAll =
        Place(NewControl<QRadioButton>(Plain, mkAll, group), "RadioButtonPagesAll", at.All);
    c.RadioButtonPagesInterval = Place(NewControl<QRadioButton>(Plain, mkPages, group),
                                       "RadioButtonPagesInterval", at.Interval);
    c.LabelFromPage =
        Place(NewControl<QLabel>(Colon, mkFrom, group), "LabelFromPage", at.FromLabel);
    c.EditFromPage = Place(new QLineEdit(group), "EditFromPage", at.From);
    c.LabelToPage = Place(NewControl<QLabel>(at.ToLabelColon ? Colon : Plain, mkTo, group),
                          "LabelToPage", at.ToLabel);
    c.EditToPage = Place(new QLineEdit(group), "EditToPage", at.To);
    c.RadioButtonPagesSelect = Place(NewControl<QRadioButton>(Plain, mkSelection, group),
                                     "RadioButtonPagesSelect", at.Select);

    NameByLabel(c.LabelFromPage, c.EditFromPage, RLMessages[mkFrom]);
    NameByLabel(c.LabelToPage, c.EditToPage, RLMessages[mkTo]);
    c.EditFromPage->setFocusPolicy(Qt::ClickFocus);
    c.EditToPage->setFocusPolicy(Qt::ClickFocus);
    QRadioButton* interval = c.RadioButtonPagesInterval;
    const auto typed = [interval] {
        if (!interval->isChecked())
            interval->setChecked(true);
    };
    QObject::connect(c.EditFromPage, &QLineEdit::textEdited, group, typed);
    QObject::connect(c.EditToPage, &QLineEdit::textEdited, group, typed);
}

void LoadPageRange(const TRLPageRangeControls& c, TRLPageChoice choice, int fromPage, int toPage) {
    switch (choice) {
    case TRLPageChoice::Selection:
        c.RadioButtonPagesSelect->setChecked(true);
        break;
    case TRLPageChoice::Numbers:
        c.RadioButtonPagesInterval->setChecked(true);
        break;
    default:
        c.RadioButtonPagesAll->setChecked(true);
        break;
    }
    c.EditFromPage->setText(NumberText(fromPage));
    c.EditToPage->setText(NumberText(toPage));
}

void EnablePageChoices(const TRLPageRangeControls& c, bool pageNumbers, bool selection) {
    c.RadioButtonPagesInterval->setEnabled(pageNumbers);
    c.LabelFromPage->setEnabled(pageNumbers);
    c.LabelToPage->setEnabled(pageNumbers);
    SetBoxEnabled(c.EditFromPage, pageNumbers);
    SetBoxEnabled(c.EditToPage, pageNumbers);
    c.RadioButtonPagesSelect->setEnabled(selection);
}

TRLPageChoice ChosenPages(const TRLPageRangeControls& c, TRLPageChoice otherwise) {
    if (c.RadioButtonPagesAll->isChecked())
        return TRLPageChoice::All;
    if (c.RadioButtonPagesSelect->isChecked())
        return TRLPageChoice::Selection;
    if (c.RadioButtonPagesInterval->isChecked())
        return TRLPageChoice::Numbers;
    return otherwise;
}

int ChosenFromPage(const TRLPageRangeControls& c, TRLPageChoice choice, int firstPage) {
    return choice == TRLPageChoice::All ? firstPage : NumberOf(c.EditFromPage);
}

int ChosenToPage(const TRLPageRangeControls& c, TRLPageChoice choice, int lastPage) {
    switch (choice) {
    case TRLPageChoice::All:
        return lastPage;
    case TRLPageChoice::Selection:
        return NumberOf(c.EditFromPage);
    case TRLPageChoice::Numbers:
        break;
    }
    return NumberOf(c.EditToPage);
}

} // namespace Kelmora
