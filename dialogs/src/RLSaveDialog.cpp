#include <kelmora/dialogs/RLSaveDialog.h>

#include "RLOutputDialog_p.h"
#include "RLPageRangeGroup_p.h"
#include <kelmora/dialogs/RLDialogKit.h>
#include <kelmora/dialogs/RLDialogLayout.h>
#include <kelmora/support/RLMessages.h>
#include <kelmora/support/RLUtils.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

namespace Kelmora {

using namespace rldialogkit;

static_assert(int(rsrAllPages) == int(TRLPageChoice::All) &&
                  int(rsrSelection) == int(TRLPageChoice::Selection) &&
                  int(rsrPageNums) == int(TRLPageChoice::Numbers),
              "the save range follows the page-range group's choices");

// ---- TRLSaveParams ---------------------------------------------------------------------------

void TRLSaveParams::Clear() {
    ClearChoices();
    saveRange_ = rsrAllPages;
}

TRLSaveParams& SaveParams() {
    static TRLSaveParams instance;
    return instance;
}

// ---- TRLSaveDialog ---------------------------------------------------------------------------

namespace {

using enum TRLCaption;
using D = TRLSaveDialog;
using Row = TRLControlRow<D>;
constexpr QGroupBox* D::*kOnDialog = nullptr;

// The file name and format, made before the page range.
const Row kFileRows[] = {
    Row(&D::LabelFileName, kOnDialog, "LabelFileName", Colon, mkFileName, {12, 16, 84, 13}),
    Row(&D::EditFileName, kOnDialog, "EditFileName", NoCaption, mkFileName, {108, 12, 249, 21}),
    Row(&D::SpeedButtonLookup, kOnDialog, "SpeedButtonLookup", NoCaption, mkSaveToFile,
        {356, 12, 21, 21}),
    Row(&D::LabelUseFilter, kOnDialog, "LabelUseFilter", Colon, mkUseFilter, {12, 44, 86, 13}),
    Row(&D::ComboBoxFilters, kOnDialog, "ComboBoxFilters", NoCaption, mkUseFilter,
        {108, 40, 177, 21}),
};

// The print dialog's group, a little to the left and up, with the "to" label without its colon.
const TRLPageRangePlaces kPagePlaces = {{12, 68, 365, 101}, {8, 20, 113, 17}, {8, 44, 61, 17},
                                        {68, 45, 15, 13},   {88, 44, 41, 21}, {136, 45, 18, 13},
                                        {160, 44, 41, 21},  {8, 68, 73, 17},  false};

// The background choice and the buttons, made after the page range.
const Row kButtonRows[] = {
    Row(&D::CheckBoxSaveInBackground, kOnDialog, "CheckBoxSaveInBackground", Plain,
        mkSaveInBackground, {12, 172, 365, 17}),
    Row(&D::ButtonSave, kOnDialog, "ButtonSave", Plain, mkSave, {220, 204, 75, 25}),
    Row(&D::ButtonCancel, kOnDialog, "ButtonCancel", Plain, mkCancel, {304, 204, 75, 25}),
};

} // namespace

TRLSaveDialog::TRLSaveDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    BuildOutputDialog<TRLSaveDialog>(*this, "RLSaveDialog", mkSave, {391, 244}, kFileRows,
                                     kPagePlaces, kButtonRows);
    SpeedButtonLookup->setText(QStringLiteral("..."));
    // Reached by Tab right after the name it chooses (a click leaves the focus in the name).
    SpeedButtonLookup->setFocusPolicy(Qt::TabFocus);

    // Names for assistive technology: the boxes are named by their labels, the buttons by their
    // captions; the chooser button shows only dots and is named by what it opens.
    NameByLabel(LabelFileName, EditFileName, RLMessages[mkFileName]);
    NameByLabel(LabelUseFilter, ComboBoxFilters, RLMessages[mkUseFilter]);
    NameButtonsByCaption(*this);
    SpeedButtonLookup->setAccessibleName(PlainCaption(RLMessages[mkSaveToFile]));

    SetTabChain({EditFileName, SpeedButtonLookup, ComboBoxFilters, RadioButtonPagesAll,
                 RadioButtonPagesInterval, RadioButtonPagesSelect, CheckBoxSaveInBackground,
                 ButtonSave, ButtonCancel});

    connect(SpeedButtonLookup, &QToolButton::clicked, this, &TRLSaveDialog::Lookup);
    FinishOutputDialog(*this, ButtonSave, ButtonCancel);
}

TRLCustomSaveFilter* TRLSaveDialog::SelectedFilter() const {
    return ChosenFilter(ComboBoxFilters, filters_);
}

QString TRLSaveDialog::ChooserDefaultExtension() const {
    const TRLCustomSaveFilter* filter = SelectedFilter();
    return filter ? WithLeadingDot(filter->DefaultExt()) : QString::fromLatin1(PageStoreExtension);
}

QString TRLSaveDialog::ChooserTypeList() const {
    // Qt's chooser takes "Description (*.ext)" and finds the pattern in the parentheses.
    const TRLCustomSaveFilter* filter = SelectedFilter();
    const QString name = filter ? filter->GetDisplayName() : QStringLiteral("VantelReport");
    return QStringLiteral("%1 (*%2)").arg(name, ChooserDefaultExtension());
}

void TRLSaveDialog::Lookup() {
    QFileDialog chooser(this, RLMessages[mkSaveToFile]);
    chooser.setObjectName(QStringLiteral("SaveDialog"));
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setFileMode(QFileDialog::AnyFile);
    chooser.setNameFilter(ChooserTypeList());
    // Qt adds the suffix without its dot.
    chooser.setDefaultSuffix(ChooserDefaultExtension().mid(1));
    if (!EditFileName->text().isEmpty())
        chooser.selectFile(EditFileName->text());
    if (chooser.exec() == QDialog::Accepted && !chooser.selectedFiles().isEmpty())
        EditFileName->setText(chooser.selectedFiles().constFirst());
}

void TRLSaveDialog::LoadEditor() {
    TRLSaveParams& params = SaveParams();

    ListFilters(ComboBoxFilters, filters_, params.Filter(), true);

    LoadPageRange(*this, static_cast<TRLPageChoice>(params.SaveRange()), params.FromPage(),
                  params.ToPage());
    EditFileName->setText(params.FileName());
    CheckBoxSaveInBackground->setChecked(params.SaveInBackground());
    CheckBoxSaveInBackground->setEnabled(!params.Options().Contains(rsoDisableSaveInBackground));
    EnablePageChoices(*this, true, false);
}

void TRLSaveDialog::SaveEditor() {
    TRLSaveParams& params = SaveParams();

    params.SetFileName(EditFileName->text());
    SavePageRange(*this, params, params.SaveRange(), &TRLSaveParams::SetSaveRange);
    params.SetSaveInBackground(CheckBoxSaveInBackground->isChecked());
    params.SetFilter(SelectedFilter());

    // A typed extension decides the format, whatever the list says, unless the chosen format has
    // that extension too (PDF/A shares ".pdf" with PDF); without one the format's own extension
    // is added.
    const QString extension = FileExtensionOf(params.FileName());
    if (!extension.isEmpty()) {
        const TRLCustomSaveFilter* chosen = params.Filter();
        if (!chosen || WithLeadingDot(chosen->DefaultExt())
                               .compare(WithLeadingDot(extension), Qt::CaseInsensitive) != 0)
            params.SetFilter(SaveFilterByFileName(params.FileName()));
    } else if (TRLCustomSaveFilter* filter = params.Filter()) {
        params.SetFileName(params.FileName() + WithLeadingDot(filter->DefaultExt()));
    } else {
        params.SetFileName(params.FileName() + QString::fromLatin1(PageStoreExtension));
    }
}

bool TRLSaveDialog::Execute() {
    return Execute(nullptr);
}

bool TRLSaveDialog::Execute(const std::function<void(TRLSaveDialog&)>& driver) {
    return ExecuteDialog(
        *this, EditFileName, [this] { LoadEditor(); }, [this] { SaveEditor(); }, driver);
}

} // namespace Kelmora
