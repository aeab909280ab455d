#include <kelmora/dialogs/RLPrintDialog.h>

#include "RLOutputDialog_p.h"
#include "RLPageRangeGroup_p.h"
#include <kelmora/dialogs/RLDialogKit.h>
#include <kelmora/dialogs/RLDialogLayout.h>
#include <kelmora/output/RLPrinters.h>
#include <kelmora/support/RLMessages.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace Kelmora {

using namespace rldialogkit;

static_assert(int(rprAllPages) == int(TRLPageChoice::All) &&
                  int(rprSelection) == int(TRLPageChoice::Selection) &&
                  int(rprPageNums) == int(TRLPageChoice::Numbers),
              "the print range follows the page-range group's choices");

// ---- TRLPrintParams --------------------------------------------------------------------------

void TRLPrintParams::Clear() {
    ClearChoices();
    printRange_ = rprAllPages;
    copies_ = RLPrinter().Copies();
}

TRLPrintParams& PrintParams() {
    static TRLPrintParams instance;
    return instance;
}

QString PrinterCaption(const QString& name, const QString& port) {
    if (port.isEmpty() || port == name)
        return name;
    return name + QLatin1Char(' ') + RLMessages[mkAt] + QLatin1Char(' ') + port;
}

// ---- TRLPrintDialog --------------------------------------------------------------------------

namespace {

using enum TRLCaption;
using D = TRLPrintDialog;
using Row = TRLControlRow<D>;
constexpr QGroupBox* D::*kOnDialog = nullptr;
constexpr QGroupBox* D::*kPrinter = &D::GroupBoxPrinter;
constexpr QGroupBox* D::*kCopies = &D::GroupBoxCopies;

// The printer group, made before the page range. The options label is named by the filter that
// fills the options box.
const Row kPrinterRows[] = {
    Row(&D::GroupBoxPrinter, kOnDialog, "GroupBoxPrinter", Group, mkPrinter, {8, 4, 413, 113}),
    Row(&D::LabelPrinterName, kPrinter, "LabelPrinterName", Colon, mkName, {12, 24, 31, 13}),
    Row(&D::ComboBoxPrinterNames, kPrinter, "ComboBoxPrinterNames", NoCaption, mkName,
        {68, 20, 329, 21}),
    Row(&D::LabelFilterName, kPrinter, "LabelFilterName", Colon, mkUseFilter, {12, 48, 47, 13}),
    Row(&D::ComboBoxFilters, kPrinter, "ComboBoxFilters", NoCaption, mkUseFilter,
        {68, 44, 177, 21}),
    Row(&D::LabelOptions, kPrinter, "LabelOptions", NoCaption, mkUseFilter, {264, 48, 40, 13}),
    Row(&D::ComboBoxOptions, kPrinter, "ComboBoxOptions", NoCaption, mkUseFilter,
        {308, 44, 89, 21}),
    Row(&D::CheckBoxPrintToFile, kPrinter, "CheckBoxPrintToFile", Plain, mkPrintToFile,
        {12, 68, 325, 17}),
    Row(&D::CheckBoxPrintInBackground, kPrinter, "CheckBoxPrintInBackground", Plain,
        mkPrintInBackground, {12, 88, 325, 17}),
};

// The page-range group, beside the copies group.
const TRLPageRangePlaces kPagePlaces = {{8, 120, 217, 101}, {12, 24, 113, 17}, {12, 48, 61, 17},
                                        {72, 49, 15, 13},   {92, 44, 41, 21},  {140, 49, 18, 13},
                                        {164, 44, 41, 21},  {12, 72, 73, 17}};

// The copies group and the buttons, made after the page range.
const Row kCopiesRows[] = {
    Row(&D::GroupBoxCopies, kOnDialog, "GroupBoxCopies", Group, mkCopies, {236, 120, 185, 101}),
    Row(&D::LabelCopies, kCopies, "LabelCopies", Colon, mkNumberOfCopies, {12, 24, 89, 13}),
    Row(&D::EditCopies, kCopies, "EditCopies", NoCaption, mkNumberOfCopies, {108, 20, 49, 21}),
    Row(&D::ButtonOk, kOnDialog, "ButtonOk", Plain, mkOk, {260, 232, 75, 25}),
    Row(&D::ButtonCancel, kOnDialog, "ButtonCancel", Plain, mkCancel, {344, 232, 75, 25}),
};

} // namespace

TRLPrintDialog::TRLPrintDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    BuildOutputDialog<TRLPrintDialog>(*this, "RLPrintDialog", mkPrint, {430, 267}, kPrinterRows,
                                      kPagePlaces, kCopiesRows);
    LabelOptions->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    // Names for assistive technology: the boxes are named by their labels, the buttons by their
    // captions. The options box takes its name from the filter that fills it.
    NameByLabel(LabelPrinterName, ComboBoxPrinterNames, RLMessages[mkName]);
    NameByLabel(LabelFilterName, ComboBoxFilters, RLMessages[mkUseFilter]);
    LabelOptions->setBuddy(ComboBoxOptions);
    // Until a filter names its options the box is still something a screen reader may list.
    ComboBoxOptions->setAccessibleName(RLMessages[mkOptions]);
    NameByLabel(LabelCopies, EditCopies, RLMessages[mkNumberOfCopies]);
    NameButtonsByCaption(*this);
    // Until a filter with options is chosen there is nothing to name or choose there.
    LabelOptions->setVisible(false);
    ComboBoxOptions->setVisible(false);

    SetTabChain({ComboBoxPrinterNames, ComboBoxFilters, ComboBoxOptions, CheckBoxPrintToFile,
                 CheckBoxPrintInBackground, RadioButtonPagesAll, RadioButtonPagesInterval,
                 RadioButtonPagesSelect, EditCopies, ButtonOk, ButtonCancel});

    connect(ComboBoxFilters, &QComboBox::currentIndexChanged, this, &TRLPrintDialog::FilterChanged);
    FinishOutputDialog(*this, ButtonOk, ButtonCancel);
}

TRLCustomPrintFilter* TRLPrintDialog::SelectedFilter() const {
    return ChosenFilter(ComboBoxFilters, filters_);
}

void TRLPrintDialog::FilterChanged() {
    TRLPrintParams& params = PrintParams();
    TRLCustomPrintFilter* filter = SelectedFilter();
    const QStringList options = filter ? filter->GetOptions() : QStringList();
    if (filter && !options.isEmpty()) {
        filter->SetOrientation(params.Orientation());
        LabelOptions->setText(WithColon(filter->GetOptionsLabel()));
        ComboBoxOptions->setAccessibleName(PlainCaption(filter->GetOptionsLabel()));
        ComboBoxOptions->clear();
        ComboBoxOptions->addItems(options);
        ComboBoxOptions->setCurrentIndex(filter->GetOptionIndex());
        LabelOptions->setVisible(true);
        ComboBoxOptions->setVisible(true);
    } else {
        LabelOptions->setVisible(false);
        ComboBoxOptions->setVisible(false);
    }
}

void TRLPrintDialog::LoadEditor() {
    TRLPrintParams& params = PrintParams();
    TRLPrinterWrapper& printer = RLPrinter();

    // Printers.
    ComboBoxPrinterNames->clear();
    printer.Refresh();
    const QString current = printer.PrinterName();
    int selected = 0;
    for (int i = 0; i < printer.PrinterCount(); ++i) {
        const QString name = printer.PrinterNames(i);
        ComboBoxPrinterNames->addItem(PrinterCaption(name, printer.PrinterPorts(i)));
        if (name == current && selected == 0)
            selected = i;
    }
    ComboBoxPrinterNames->setCurrentIndex(ComboBoxPrinterNames->count() > 0 ? selected : -1);

    // Filters.
    {
        const QSignalBlocker quiet(ComboBoxFilters);
        // Print filters without a display name are not offered.
        ListFilters(ComboBoxFilters, filters_, params.Filter(), false);
        SetBoxEnabled(ComboBoxFilters, ComboBoxFilters->count() >= 2);
        if (ComboBoxFilters->count() < 2) {
            QPalette palette = ComboBoxFilters->palette();
            palette.setColor(QPalette::All, QPalette::Base,
                             palette.color(QPalette::Active, QPalette::Window));
            palette.setColor(QPalette::All, QPalette::Button,
                             palette.color(QPalette::Active, QPalette::Window));
            ComboBoxFilters->setPalette(palette);
        }
    }
    FilterChanged();

    // Options.
    LoadPageRange(*this, static_cast<TRLPageChoice>(params.PrintRange()), params.FromPage(),
                  params.ToPage());
    EditCopies->setText(NumberText(params.Copies()));

    const TRLPrintDialogOptions options = params.Options();
    SetBoxEnabled(EditCopies, !options.Contains(rpoDisableCopies));
    LabelCopies->setEnabled(!options.Contains(rpoDisableCopies));
    CheckBoxPrintToFile->setVisible(options.Contains(rpoPrintToFile));
    CheckBoxPrintToFile->setEnabled(!options.Contains(rpoDisablePrintToFile));
    CheckBoxPrintToFile->setChecked(params.PrintToFile());
    CheckBoxPrintInBackground->setEnabled(!options.Contains(rpoDisablePrintInBackground));
    CheckBoxPrintInBackground->setChecked(params.PrintInBackground());
    EnablePageChoices(*this, options.Contains(rpoPageNums), options.Contains(rpoSelection));
    setWindowFlag(Qt::WindowContextHelpButtonHint, options.Contains(rpoHelp));
}

void TRLPrintDialog::SaveEditor() {
    TRLPrintParams& params = PrintParams();
    TRLPrinterWrapper& printer = RLPrinter();

    SavePageRange(*this, params, params.PrintRange(), &TRLPrintParams::SetPrintRange);
    params.SetCopies(NumberOf(EditCopies));
    params.SetPrintToFile(CheckBoxPrintToFile->isChecked());
    params.SetPrintInBackground(CheckBoxPrintInBackground->isChecked());

    if (ComboBoxPrinterNames->currentIndex() >= 0)
        printer.SetPrinterIndex(ComboBoxPrinterNames->currentIndex());

    if (ComboBoxFilters->currentIndex() >= 0) {
        TRLCustomPrintFilter* filter = SelectedFilter();
        params.SetFilter(filter);
        if (filter)
            filter->SetOptionIndex(ComboBoxOptions->currentIndex());
    } else {
        params.SetFilter(nullptr);
    }
    printer.SetCopies(params.Copies());
}

bool TRLPrintDialog::Execute() {
    return Execute(nullptr);
}

bool TRLPrintDialog::Execute(const std::function<void(TRLPrintDialog&)>& driver) {
    return ExecuteDialog(
        *this, ComboBoxPrinterNames, [this] { LoadEditor(); }, [this] { SaveEditor(); }, driver);
}

} // namespace Kelmora
