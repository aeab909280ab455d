#include "RLSaveDialog.h"

#include "RLDialogKit_p.h"
#include "RLDialogLayout.h"
#include "RLMessages.h"
#include "RLUtils.h"

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

using namespace rldialogkit;

// ---- TRLSaveParams ---------------------------------------------------------------------------

void TRLSaveParams::SetMaxPage(int maxPage) {
    if (toPage_ == maxPage_)
        toPage_ = maxPage;
    maxPage_ = maxPage;
}

void TRLSaveParams::Clear() {
    fileName_.clear();
    minPage_ = 1;
    maxPage_ = 9999;
    fromPage_ = 1;
    toPage_ = 9999;
    saveRange_ = rsrAllPages;
    helpContext_ = 0;
}

TRLSaveParams& SaveParams() {
    static TRLSaveParams instance;
    return instance;
}

// ---- TRLSaveDialog ---------------------------------------------------------------------------

TRLSaveDialog::TRLSaveDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("RLSaveDialog"));
    setWindowTitle(RLMessages[mkSave]);
    setFixedSize(391, 244);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFont(EngineDialogFont());

    LabelFileName =
        Place(new QLabel(WithColon(RLMessages[mkFileName]), this), "LabelFileName", 12, 16, 84, 13);
    EditFileName = Place(new QLineEdit(this), "EditFileName", 108, 12, 249, 21);
    SpeedButtonLookup = Place(new QToolButton(this), "SpeedButtonLookup", 356, 12, 21, 21);
    SpeedButtonLookup->setText(QStringLiteral("..."));
    SpeedButtonLookup->setFocusPolicy(Qt::NoFocus);
    LabelUseFilter = Place(new QLabel(WithColon(RLMessages[mkUseFilter]), this), "LabelUseFilter",
                           12, 44, 86, 13);
    ComboBoxFilters = Place(new QComboBox(this), "ComboBoxFilters", 108, 40, 177, 21);

    GroupBoxPages = Place(new QGroupBox(GroupCaption(RLMessages[mkPageRange]), this),
                          "GroupBoxPages", 12, 68, 365, 101);
    RadioButtonPagesAll = Place(new QRadioButton(RLMessages[mkAll], GroupBoxPages),
                                "RadioButtonPagesAll", 8, 20, 113, 17);
    RadioButtonPagesInterval = Place(new QRadioButton(RLMessages[mkPages], GroupBoxPages),
                                     "RadioButtonPagesInterval", 8, 44, 61, 17);
    LabelFromPage = Place(new QLabel(WithColon(RLMessages[mkFrom]), GroupBoxPages), "LabelFromPage",
                          68, 45, 15, 13);
    EditFromPage = Place(new QLineEdit(GroupBoxPages), "EditFromPage", 88, 44, 41, 21);
    LabelToPage =
        Place(new QLabel(RLMessages[mkTo], GroupBoxPages), "LabelToPage", 136, 45, 18, 13);
    EditToPage = Place(new QLineEdit(GroupBoxPages), "EditToPage", 160, 44, 41, 21);
    RadioButtonPagesSelect = Place(new QRadioButton(RLMessages[mkSelection], GroupBoxPages),
                                   "RadioButtonPagesSelect", 8, 68, 73, 17);

    CheckBoxSaveInBackground = Place(new QCheckBox(RLMessages[mkSaveInBackground], this),
                                     "CheckBoxSaveInBackground", 12, 172, 365, 17);
    ButtonSave = Place(new QPushButton(RLMessages[mkSave], this), "ButtonSave", 220, 204, 75, 25);
    ButtonSave->setDefault(true);
    ButtonCancel =
        Place(new QPushButton(RLMessages[mkCancel], this), "ButtonCancel", 304, 204, 75, 25);

    // Names for assistive technology: the boxes are named by their labels, the buttons by their
    // captions; the chooser button shows only dots and is named by what it opens.
    NameByLabel(LabelFileName, EditFileName, RLMessages[mkFileName]);
    NameByLabel(LabelUseFilter, ComboBoxFilters, RLMessages[mkUseFilter]);
    NameByLabel(LabelFromPage, EditFromPage, RLMessages[mkFrom]);
    NameByLabel(LabelToPage, EditToPage, RLMessages[mkTo]);
    for (QAbstractButton* button : findChildren<QAbstractButton*>())
        button->setAccessibleName(PlainCaption(button->text()));
    SpeedButtonLookup->setAccessibleName(PlainCaption(RLMessages[mkSaveToFile]));

    EditFromPage->setFocusPolicy(Qt::ClickFocus);
    EditToPage->setFocusPolicy(Qt::ClickFocus);
    SetTabChain({EditFileName, ComboBoxFilters, RadioButtonPagesAll, RadioButtonPagesInterval,
                 RadioButtonPagesSelect, CheckBoxSaveInBackground, ButtonSave, ButtonCancel});

    connect(ButtonSave, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(SpeedButtonLookup, &QToolButton::clicked, this, &TRLSaveDialog::Lookup);
    connect(EditFromPage, &QLineEdit::textEdited, this, &TRLSaveDialog::PageTyped);
    connect(EditToPage, &QLineEdit::textEdited, this, &TRLSaveDialog::PageTyped);

    FitTextsToControls(*this);
    CentreOnItsScreen(*this);
}

void TRLSaveDialog::PageTyped() {
    if (!RadioButtonPagesInterval->isChecked())
        RadioButtonPagesInterval->setChecked(true);
}

TRLCustomSaveFilter* TRLSaveDialog::SelectedFilter() const {
    const int index = ComboBoxFilters->currentIndex();
    if (index < 0 || index >= static_cast<int>(filters_.size()))
        return nullptr;
    return filters_[static_cast<size_t>(index)];
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

    ComboBoxFilters->clear();
    filters_.clear();
    ComboBoxFilters->addItem(RLMessages[mkDefault]);
    filters_.emplace_back(nullptr);
    int filterIndex = 0;
    for (TRLCustomFilter* filter : ActiveFilters()) {
        auto* saveFilter = qobject_cast<TRLCustomSaveFilter*>(filter);
        if (!saveFilter)
            continue;
        if (saveFilter == params.Filter())
            filterIndex = ComboBoxFilters->count();
        ComboBoxFilters->addItem(saveFilter->GetDisplayName());
        filters_.emplace_back(saveFilter);
    }
    ComboBoxFilters->setCurrentIndex(filterIndex);

    switch (params.SaveRange()) {
    case rsrSelection:
        RadioButtonPagesSelect->setChecked(true);
        break;
    case rsrPageNums:
        RadioButtonPagesInterval->setChecked(true);
        break;
    default:
        RadioButtonPagesAll->setChecked(true);
        break;
    }
    EditFileName->setText(params.FileName());
    EditFromPage->setText(NumberText(params.FromPage()));
    EditToPage->setText(NumberText(params.ToPage()));
    CheckBoxSaveInBackground->setChecked(params.SaveInBackground());
    CheckBoxSaveInBackground->setEnabled(!params.Options().Contains(rsoDisableSaveInBackground));
    RadioButtonPagesInterval->setEnabled(true);
    SetBoxEnabled(EditFromPage, true);
    SetBoxEnabled(EditToPage, true);
    RadioButtonPagesSelect->setEnabled(false);
}

void TRLSaveDialog::SaveEditor() {
    TRLSaveParams& params = SaveParams();

    params.SetFileName(EditFileName->text());
    if (RadioButtonPagesAll->isChecked())
        params.SetSaveRange(rsrAllPages);
    else if (RadioButtonPagesSelect->isChecked())
        params.SetSaveRange(rsrSelection);
    else if (RadioButtonPagesInterval->isChecked())
        params.SetSaveRange(rsrPageNums);
    switch (params.SaveRange()) {
    case rsrAllPages:
        params.SetFromPage(params.MinPage());
        params.SetToPage(params.MaxPage());
        break;
    case rsrSelection:
        params.SetFromPage(NumberOf(EditFromPage));
        params.SetToPage(NumberOf(EditFromPage));
        break;
    case rsrPageNums:
        params.SetFromPage(NumberOf(EditFromPage));
        params.SetToPage(NumberOf(EditToPage));
        break;
    }
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
    LoadEditor();
    EditFileName->setFocus();
    if (exec() != QDialog::Accepted)
        return false;
    SaveEditor();
    return true;
}

bool TRLSaveDialog::Execute(const std::function<void(TRLSaveDialog&)>& driver) {
    LoadEditor();
    EditFileName->setFocus();
    // A scripted run still has the dialog on screen, as the operator would.
    setResult(QDialog::Rejected);
    show();
    driver(*this);
    hide();
    if (result() != QDialog::Accepted)
        return false;
    SaveEditor();
    return true;
}
