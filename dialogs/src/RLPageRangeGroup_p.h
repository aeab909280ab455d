// The making, loading and saving of the page-range group the print and save dialogs share. Not
// part of the output library's interface.
#pragma once

#include <kelmora/dialogs/RLPageRange.h>

#include <QRect>

#include <cstdint>

class QWidget;

namespace Kelmora {

// The choices in the order of both dialogs' parameters (TRLPrintRange, TRLSaveRange).
enum class TRLPageChoice : uint8_t { All, Selection, Numbers };

// Where a dialog puts the group and its controls (inside the group, in design coordinates).
struct TRLPageRangePlaces {
    QRect Group;
    QRect All;
    QRect Interval;
    QRect FromLabel;
    QRect From;
    QRect ToLabel;
    QRect To;
    QRect Select;
    // Whether the "to" label ends in a colon, as the "from" label does.
    bool ToLabelColon = true;
};

// Makes the group in the dialog at the places given. The page boxes are reached by typing after
// choosing "Pages", never by Tab, and typing in them chooses "Pages".
void BuildPageRange(QWidget& dialog, TRLPageRangeControls& controls,
                    const TRLPageRangePlaces& places);

// Shows the choice and the page numbers (empty for 0).
void LoadPageRange(const TRLPageRangeControls& controls, TRLPageChoice choice, int fromPage,
                   int toPage);
// Which choices can be made besides all pages.
void EnablePageChoices(const TRLPageRangeControls& controls, bool pageNumbers, bool selection);

// The choice made; the given one when none is checked.
TRLPageChoice ChosenPages(const TRLPageRangeControls& controls, TRLPageChoice otherwise);
// The first and last page of a choice: all runs from the first page to the last, the selection
// is the page in the "from" box, numbers the pages in the two boxes (0 for a box that holds no
// number).
int ChosenFromPage(const TRLPageRangeControls& controls, TRLPageChoice choice, int firstPage);
int ChosenToPage(const TRLPageRangeControls& controls, TRLPageChoice choice, int lastPage);

// Saves the choice into a dialog's parameters, whose range enumeration follows TRLPageChoice.
template <class Params, class Range>
void SavePageRange(const TRLPageRangeControls& controls, Params& params, Range current,
                   void (Params::*setRange)(Range)) {
    const TRLPageChoice choice = ChosenPages(controls, static_cast<TRLPageChoice>(current));
    (params.*setRange)(static_cast<Range>(choice));
    params.SetFromPage(ChosenFromPage(controls, choice, params.MinPage()));
    params.SetToPage(ChosenToPage(controls, choice, params.MaxPage()));
}

} // namespace Kelmora
