/// @file
/// The shared print choices (printer, filter, page range, copies, background) and the modal
/// dialog that shows and edits them.
#pragma once

#include <kelmora/dialogs/RLPageRange.h>
#include <kelmora/output/RLFilters.h>
#include <kelmora/report/RLReportTypes.h>

#include <QDialog>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

class QPushButton;
class QRadioButton;

namespace Kelmora {

class TRLPrinterWrapper;

enum TRLPrintDialogOption : uint8_t {
    rpoPrintToFile,
    rpoPageNums,
    rpoSelection,
    rpoWarning,
    rpoHelp,
    rpoDisablePrintToFile,
    rpoDisableCopies,
    rpoDisablePrintInBackground,
};
using TRLPrintDialogOptions = TRLSet<TRLPrintDialogOption>;

enum TRLPrintRange : uint8_t { rprAllPages, rprSelection, rprPageNums };

/// The filter, when there is one, prints in place of the printer.
class TRLPrintParams : public TRLOutputParams<TRLPrintDialogOptions, TRLCustomPrintFilter> {
public:
    static constexpr TRLPrintDialogOptions DefaultOptions{rpoPrintToFile, rpoPageNums, rpoSelection,
                                                          rpoWarning, rpoDisablePrintToFile};

    TRLPrintParams() : TRLOutputParams(DefaultOptions) {}

    TRLPrintRange PrintRange() const { return printRange_; }
    void SetPrintRange(TRLPrintRange range) { printRange_ = range; }
    int Copies() const { return copies_; }
    void SetCopies(int copies) { copies_ = copies; }
    bool PrintToFile() const { return printToFile_; }
    void SetPrintToFile(bool on) { printToFile_ = on; }
    bool PrintInBackground() const { return printInBackground_; }
    void SetPrintInBackground(bool on) { printInBackground_ = on; }
    TRLPageOrientation Orientation() const { return orientation_; }
    void SetOrientation(TRLPageOrientation orientation) { orientation_ = orientation; }

    /// Resets the range, file name, help context and copies (to the printer's count) before a
    /// dialog; options, filter, print-to-file, background and orientation carry over.
    void Clear();

private:
    TRLPrintRange printRange_ = rprAllPages;
    int copies_ = 0;
    bool printToFile_ = false;
    bool printInBackground_ = false;
    TRLPageOrientation orientation_ = poPortrait;
};

/// The process-wide print parameters.
TRLPrintParams& PrintParams();

/// Shows the printing service's page set-up dialog for the printer selected in printers; the
/// choices made there are not kept.
void ExecutePrinterSetup(TRLPrinterWrapper& printers, QWidget* parent = nullptr);

/// How the printer list shows one printer: its name, or "name at port" when the port says more.
QString PrinterCaption(const QString& name, const QString& port);

class TRLPrintDialog : public QDialog, public TRLPageRangeControls {
    Q_OBJECT
public:
    explicit TRLPrintDialog(QWidget* parent = nullptr);

    /// Fills the dialog from PrintParams, shows it modally and, on OK, writes the choices back
    /// (printer and copies go to the printer wrapper). Returns true only on OK.
    bool Execute();
    /// The same with driver in place of the modal loop: it gets the filled dialog and ends it
    /// the way an operator would (set fields, click a button, close). Without an accept or a
    /// reject from the driver the dialog counts as cancelled.
    bool Execute(const std::function<void(TRLPrintDialog&)>& driver);

    QGroupBox* GroupBoxPrinter = nullptr;
    QLabel* LabelPrinterName = nullptr;
    QComboBox* ComboBoxPrinterNames = nullptr;
    QLabel* LabelFilterName = nullptr;
    QComboBox* ComboBoxFilters = nullptr;
    QLabel* LabelOptions = nullptr;
    QComboBox* ComboBoxOptions = nullptr;
    QCheckBox* CheckBoxPrintToFile = nullptr;
    QCheckBox* CheckBoxPrintInBackground = nullptr;
    QGroupBox* GroupBoxCopies = nullptr;
    QLabel* LabelCopies = nullptr;
    QLineEdit* EditCopies = nullptr;
    QPushButton* ButtonOk = nullptr;
    QPushButton* ButtonCancel = nullptr;

private:
    void LoadEditor();
    void SaveEditor();
    void FilterChanged();
    TRLCustomPrintFilter* SelectedFilter() const;

    /// The filter of each entry of ComboBoxFilters; none for "Default".
    std::vector<QPointer<TRLCustomPrintFilter>> filters_;
};

} // namespace Kelmora
