#include "RLPrintDialog.h"

#include "RLDialogKit_p.h"
#include "RLDialogLayout.h"
#include "RLMessages.h"
#include "RLPrinters.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace rldialogkit;

// ---- TRLPrintParams --------------------------------------------------------------------------

void TRLPrintParams::SetMaxPage(int maxPage) {
    if (toPage_ == maxPage_)
        toPage_ = maxPage;
    maxPage_ = maxPage;
}

void TRLPrintParams::Clear() {
    minPage_ = 1;
    maxPage_ = 9999;
    fromPage_ = 1;
    toPage_ = 9999;
    printRange_ = rprAllPages;
    fileName_.clear();
    helpContext_ = 0;
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

TRLPrintDialog::TRLPrintDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("RLPrintDialog"));
    setWindowTitle(RLMessages[mkPrint]);
    setFixedSize(430, 267);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);
    setFont(EngineDialogFont());

    GroupBoxPrinter = Place(new QGroupBox(GroupCaption(RLMessages[mkPrinter]), this),
                            "GroupBoxPrinter", 8, 4, 413, 113);
    LabelPrinterName = Place(new QLabel(WithColon(RLMessages[mkName]), GroupBoxPrinter),
                             "LabelPrinterName", 12, 24, 31, 13);
    ComboBoxPrinterNames =
        Place(new QComboBox(GroupBoxPrinter), "ComboBoxPrinterNames", 68, 20, 329, 21);
    LabelFilterName = Place(new QLabel(WithColon(RLMessages[mkUseFilter]), GroupBoxPrinter),
                            "LabelFilterName", 12, 48, 47, 13);
    ComboBoxFilters = Place(new QComboBox(GroupBoxPrinter), "ComboBoxFilters", 68, 44, 177, 21);
    LabelOptions = Place(new QLabel(GroupBoxPrinter), "LabelOptions", 264, 48, 40, 13);
    LabelOptions->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ComboBoxOptions = Place(new QComboBox(GroupBoxPrinter), "ComboBoxOptions", 308, 44, 89, 21);
    CheckBoxPrintToFile = Place(new QCheckBox(RLMessages[mkPrintToFile], GroupBoxPrinter),
                                "CheckBoxPrintToFile", 12, 68, 325, 17);
    CheckBoxPrintInBackground =
        Place(new QCheckBox(RLMessages[mkPrintInBackground], GroupBoxPrinter),
              "CheckBoxPrintInBackground", 12, 88, 325, 17);

    GroupBoxPages = Place(new QGroupBox(GroupCaption(RLMessages[mkPageRange]), this),
                          "GroupBoxPages", 8, 120, 217, 101);
    RadioButtonPagesAll = Place(new QRadioButton(RLMessages[mkAll], GroupBoxPages),
                                "RadioButtonPagesAll", 12, 24, 113, 17);
    RadioButtonPagesInterval = Place(new QRadioButton(RLMessages[mkPages], GroupBoxPages),
                                     "RadioButtonPagesInterval", 12, 48, 61, 17);
    LabelFromPage = Place(new QLabel(WithColon(RLMessages[mkFrom]), GroupBoxPages), "LabelFromPage",
                          72, 49, 15, 13);
    EditFromPage = Place(new QLineEdit(GroupBoxPages), "EditFromPage", 92, 44, 41, 21);
    LabelToPage = Place(new QLabel(WithColon(RLMessages[mkTo]), GroupBoxPages), "LabelToPage", 140,
                        49, 18, 13);
    EditToPage = Place(new QLineEdit(GroupBoxPages), "EditToPage", 164, 44, 41, 21);
    RadioButtonPagesSelect = Place(new QRadioButton(RLMessages[mkSelection], GroupBoxPages),
                                   "RadioButtonPagesSelect", 12, 72, 73, 17);

    GroupBoxCopies = Place(new QGroupBox(GroupCaption(RLMessages[mkCopies]), this),
                           "GroupBoxCopies", 236, 120, 185, 101);
    LabelCopies = Place(new QLabel(WithColon(RLMessages[mkNumberOfCopies]), GroupBoxCopies),
                        "LabelCopies", 12, 24, 89, 13);
    EditCopies = Place(new QLineEdit(GroupBoxCopies), "EditCopies", 108, 20, 49, 21);

    ButtonOk = Place(new QPushButton(RLMessages[mkOk], this), "ButtonOk", 260, 232, 75, 25);
    ButtonOk->setDefault(true);
    ButtonCancel =
        Place(new QPushButton(RLMessages[mkCancel], this), "ButtonCancel", 344, 232, 75, 25);

    // Names for assistive technology: the boxes are named by their labels, the buttons by their
    // captions. The options box takes its name from the filter that fills it.
    NameByLabel(LabelPrinterName, ComboBoxPrinterNames, RLMessages[mkName]);
    NameByLabel(LabelFilterName, ComboBoxFilters, RLMessages[mkUseFilter]);
    LabelOptions->setBuddy(ComboBoxOptions);
    NameByLabel(LabelFromPage, EditFromPage, RLMessages[mkFrom]);
    NameByLabel(LabelToPage, EditToPage, RLMessages[mkTo]);
    NameByLabel(LabelCopies, EditCopies, RLMessages[mkNumberOfCopies]);
    for (QAbstractButton* button : findChildren<QAbstractButton*>())
        button->setAccessibleName(PlainCaption(button->text()));
    // Until a filter with options is chosen there is nothing to name or choose there.
    LabelOptions->setVisible(false);
    ComboBoxOptions->setVisible(false);

    // The page boxes are reached by typing after choosing "Pages", never by Tab.
    EditFromPage->setFocusPolicy(Qt::ClickFocus);
    EditToPage->setFocusPolicy(Qt::ClickFocus);
    SetTabChain({ComboBoxPrinterNames, ComboBoxFilters, ComboBoxOptions, CheckBoxPrintToFile,
                 CheckBoxPrintInBackground, RadioButtonPagesAll, RadioButtonPagesInterval,
                 RadioButtonPagesSelect, EditCopies, ButtonOk, ButtonCancel});

    connect(ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ComboBoxFilters, &QComboBox::currentIndexChanged, this, &TRLPrintDialog::FilterChanged);
    connect(EditFromPage, &QLineEdit::textEdited, this, &TRLPrintDialog::PageTyped);
    connect(EditToPage, &QLineEdit::textEdited, this, &TRLPrintDialog::PageTyped);

    FitTextsToControls(*this);
    CentreOnItsScreen(*this);
}

void TRLPrintDialog::PageTyped() {
    if (!RadioButtonPagesInterval->isChecked())
        RadioButtonPagesInterval->setChecked(true);
}

TRLCustomPrintFilter* TRLPrintDialog::SelectedFilter() const {
    const int index = ComboBoxFilters->currentIndex();
    if (index < 0 || index >= static_cast<int>(filters_.size()))
        return nullptr;
    return filters_[static_cast<size_t>(index)];
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
        ComboBoxFilters->clear();
        filters_.clear();
        ComboBoxFilters->addItem(RLMessages[mkDefault]);
        filters_.emplace_back(nullptr);
        int filterIndex = 0;
        for (TRLCustomFilter* filter : ActiveFilters()) {
            auto* printFilter = qobject_cast<TRLCustomPrintFilter*>(filter);
            if (!printFilter || printFilter->GetDisplayName().isEmpty())
                continue;
            if (printFilter == params.Filter())
                filterIndex = ComboBoxFilters->count();
            ComboBoxFilters->addItem(printFilter->GetDisplayName());
            filters_.emplace_back(printFilter);
        }
        ComboBoxFilters->setCurrentIndex(filterIndex);
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
    switch (params.PrintRange()) {
    case rprSelection:
        RadioButtonPagesSelect->setChecked(true);
        break;
    case rprPageNums:
        RadioButtonPagesInterval->setChecked(true);
        break;
    default:
        RadioButtonPagesAll->setChecked(true);
        break;
    }
    EditFromPage->setText(NumberText(params.FromPage()));
    EditToPage->setText(NumberText(params.ToPage()));
    EditCopies->setText(NumberText(params.Copies()));

    const TRLPrintDialogOptions options = params.Options();
    SetBoxEnabled(EditCopies, !options.Contains(rpoDisableCopies));
    LabelCopies->setEnabled(!options.Contains(rpoDisableCopies));
    CheckBoxPrintToFile->setVisible(options.Contains(rpoPrintToFile));
    CheckBoxPrintToFile->setEnabled(!options.Contains(rpoDisablePrintToFile));
    CheckBoxPrintToFile->setChecked(params.PrintToFile());
    CheckBoxPrintInBackground->setEnabled(!options.Contains(rpoDisablePrintInBackground));
    CheckBoxPrintInBackground->setChecked(params.PrintInBackground());
    const bool pageNums = options.Contains(rpoPageNums);
    RadioButtonPagesInterval->setEnabled(pageNums);
    LabelFromPage->setEnabled(pageNums);
    LabelToPage->setEnabled(pageNums);
    SetBoxEnabled(EditFromPage, pageNums);
    SetBoxEnabled(EditToPage, pageNums);
    RadioButtonPagesSelect->setEnabled(options.Contains(rpoSelection));
    setWindowFlag(Qt::WindowContextHelpButtonHint, options.Contains(rpoHelp));
}

void TRLPrintDialog::SaveEditor() {
    TRLPrintParams& params = PrintParams();
    TRLPrinterWrapper& printer = RLPrinter();

    if (RadioButtonPagesAll->isChecked())
        params.SetPrintRange(rprAllPages);
    else if (RadioButtonPagesSelect->isChecked())
        params.SetPrintRange(rprSelection);
    else if (RadioButtonPagesInterval->isChecked())
        params.SetPrintRange(rprPageNums);

    switch (params.PrintRange()) {
    case rprAllPages:
        params.SetFromPage(params.MinPage());
        params.SetToPage(params.MaxPage());
        break;
    case rprSelection:
        params.SetFromPage(NumberOf(EditFromPage));
        params.SetToPage(NumberOf(EditFromPage));
        break;
    case rprPageNums:
        params.SetFromPage(NumberOf(EditFromPage));
        params.SetToPage(NumberOf(EditToPage));
        break;
    }
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
    LoadEditor();
    ComboBoxPrinterNames->setFocus();
    if (exec() != QDialog::Accepted)
        return false;
    SaveEditor();
    return true;
}

bool TRLPrintDialog::Execute(const std::function<void(TRLPrintDialog&)>& driver) {
    LoadEditor();
    ComboBoxPrinterNames->setFocus();
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
