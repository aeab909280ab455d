// What the print and save dialogs share besides their page-range group: how they are made and
// finished, and their list of filters. Not part of the output library's interface.
#pragma once

#include "RLPageRangeGroup_p.h"
#include <kelmora/dialogs/RLDialogKit.h>
#include <kelmora/dialogs/RLDialogLayout.h>
#include <kelmora/support/RLMessages.h>

#include <QComboBox>
#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QSize>

#include <span>
#include <vector>

namespace Kelmora {

// Gives a print or save dialog its object name, title, design size and the engine's dialog look,
// and makes its controls: the rows before the page-range group, the group, and the rows after it.
template <class Dialog>
void BuildOutputDialog(Dialog& dialog, const char* name, TRLMessageKey title, QSize size,
                       std::span<const rldialogkit::TRLControlRow<Dialog>> before,
                       const TRLPageRangePlaces& pages,
                       std::span<const rldialogkit::TRLControlRow<Dialog>> after) {
    dialog.setObjectName(QLatin1String(name));
    dialog.setWindowTitle(RLMessages[title]);
    dialog.setFixedSize(size);
    dialog.setBackgroundRole(QPalette::Button);
    dialog.setAutoFillBackground(true);
    dialog.setFont(EngineDialogFont());
    rldialogkit::BuildControls<Dialog>(dialog, before);
    BuildPageRange(dialog, dialog, pages);
    rldialogkit::BuildControls<Dialog>(dialog, after);
}

// The last of making a print or save dialog: the button that accepts it is the default one, the
// other one rejects it, and the captions are fitted before the dialog is centred.
inline void FinishOutputDialog(QDialog& dialog, QPushButton* accept, QPushButton* reject) {
    accept->setDefault(true);
    QObject::connect(accept, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(reject, &QPushButton::clicked, &dialog, &QDialog::reject);
    FitTextsToControls(dialog);
    CentreOnItsScreen(dialog);
}

// Fills a dialog's filter list with "Default" (the dialog's own output, no filter) and the active
// filters of the dialog's kind, keeping each entry's filter in filters, and chooses the entry of
// current (of "Default" when current is not listed). Filters without a display name are listed
// only when unnamedToo says so.
template <class Filter>
void ListFilters(QComboBox* box, std::vector<QPointer<Filter>>& filters, const Filter* current,
                 bool unnamedToo) {
    box->clear();
    filters.clear();
    box->addItem(RLMessages[mkDefault]);
    filters.emplace_back(nullptr);
    int chosen = 0;
    for (TRLCustomFilter* active : ActiveFilters()) {
        auto* filter = qobject_cast<Filter*>(active);
        if (!filter || (!unnamedToo && filter->GetDisplayName().isEmpty()))
            continue;
        if (filter == current)
            chosen = box->count();
        box->addItem(filter->GetDisplayName());
        filters.emplace_back(filter);
    }
    box->setCurrentIndex(chosen);
}

// The filter of the entry chosen in a dialog's filter list; none for "Default" and for no entry.
template <class Filter>
Filter* ChosenFilter(const QComboBox* box, const std::vector<QPointer<Filter>>& filters) {
    const int index = box->currentIndex();
    if (index < 0 || index >= static_cast<int>(filters.size()))
        return nullptr;
    return filters[static_cast<size_t>(index)];
}

} // namespace Kelmora
