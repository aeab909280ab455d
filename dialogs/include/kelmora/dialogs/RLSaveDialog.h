/// @file
/// The shared save choices (file name, format, page range, background) and the modal dialog that
/// shows and edits them.
#pragma once

#include <kelmora/dialogs/RLPageRange.h>
#include <kelmora/output/RLFilters.h>
#include <kelmora/report/RLReportTypes.h>

#include <QDialog>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

class QComboBox;
class QFileDialog;
class QGroupBox;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace Kelmora {

enum TRLSaveDialogOption : uint8_t { rsoDisableSaveInBackground };
using TRLSaveDialogOptions = TRLSet<TRLSaveDialogOption>;

enum TRLSaveRange : uint8_t { rsrAllPages, rsrSelection, rsrPageNums };

/// Without a filter the pages are saved as a page-store file.
class TRLSaveParams : public TRLOutputParams<TRLSaveDialogOptions, TRLCustomSaveFilter> {
public:
    TRLSaveRange SaveRange() const { return saveRange_; }
    void SetSaveRange(TRLSaveRange range) { saveRange_ = range; }
    bool SaveInBackground() const { return saveInBackground_; }
    void SetSaveInBackground(bool on) { saveInBackground_ = on; }

    /// Resets file name, range and help context before a dialog; options, filter and the
    /// background flag carry over.
    void Clear();

private:
    TRLSaveRange saveRange_ = rsrAllPages;
    bool saveInBackground_ = false;
};

/// The process-wide save parameters.
TRLSaveParams& SaveParams();

/// Extension of the engine's own page-store files.
inline constexpr char PageStoreExtension[] = ".rpf";

class TRLSaveDialog : public QDialog, public TRLPageRangeControls {
    Q_OBJECT
public:
    explicit TRLSaveDialog(QWidget* parent = nullptr);

    /// Fills the dialog from SaveParams, shows it modally and, on OK, writes the choices back.
    /// Returns true only on OK.
    bool Execute();
    /// The same with driver in place of the modal loop (see TRLPrintDialog::Execute).
    bool Execute(const std::function<void(TRLSaveDialog&)>& driver);

    /// The file chooser's type list and default suffix for the format chosen in the list.
    QString ChooserTypeList() const;
    QString ChooserDefaultExtension() const;

    QLabel* LabelFileName = nullptr;
    QLineEdit* EditFileName = nullptr;
    QToolButton* SpeedButtonLookup = nullptr;
    QLabel* LabelUseFilter = nullptr;
    QComboBox* ComboBoxFilters = nullptr;
    QCheckBox* CheckBoxSaveInBackground = nullptr;
    QPushButton* ButtonSave = nullptr;
    QPushButton* ButtonCancel = nullptr;

private:
    void LoadEditor();
    void SaveEditor();
    void Lookup();
    TRLCustomSaveFilter* SelectedFilter() const;

    std::vector<QPointer<TRLCustomSaveFilter>> filters_;
};

} // namespace Kelmora
