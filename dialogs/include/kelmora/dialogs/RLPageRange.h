/// @file
/// The page range of the print and save dialogs: all pages, the selection, or the pages from one
/// number to another. Both dialogs' parameters keep its numbers, with the other choices both
/// dialogs have, and both dialogs hold the controls of its group under these names.
#pragma once

#include <QPointer>
#include <QString>

class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace Kelmora {

struct TRLPageRangeControls {
    QGroupBox* GroupBoxPages = nullptr;
    QRadioButton* RadioButtonPagesAll = nullptr;
    QRadioButton* RadioButtonPagesInterval = nullptr;
    QLabel* LabelFromPage = nullptr;
    QLineEdit* EditFromPage = nullptr;
    QLabel* LabelToPage = nullptr;
    QLineEdit* EditToPage = nullptr;
    QRadioButton* RadioButtonPagesSelect = nullptr;
};

class TRLPageRangeParams {
public:
    int MaxPage() const { return maxPage_; }
    /// A ToPage that stood at the old maximum follows the new one.
    void SetMaxPage(int maxPage);
    int MinPage() const { return minPage_; }
    int FromPage() const { return fromPage_; }
    void SetFromPage(int page) { fromPage_ = page; }
    int ToPage() const { return toPage_; }
    void SetToPage(int page) { toPage_ = page; }

protected:
    /// Pages 1 to 9999, all of them chosen: what a dialog starts from.
    void ClearPages();

private:
    int maxPage_ = 0;
    int minPage_ = 0;
    int fromPage_ = 0;
    int toPage_ = 0;
};

/// What the print and save dialogs' parameters keep besides the page range: the dialog's options,
/// a file name, the filter (none means the dialog's own output; it becomes none when the filter is
/// destroyed) and the help context.
template <class OptionSet, class FilterClass> class TRLOutputParams : public TRLPageRangeParams {
public:
    OptionSet Options() const { return options_; }
    void SetOptions(OptionSet options) { options_ = options; }
    QString FileName() const { return fileName_; }
    void SetFileName(const QString& fileName) { fileName_ = fileName; }
    FilterClass* Filter() const { return filter_; }
    void SetFilter(FilterClass* filter) { filter_ = filter; }
    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int context) { helpContext_ = context; }

protected:
    explicit TRLOutputParams(OptionSet options = {}) : options_(options) {}

    /// All pages chosen, no file name and no help context: what a dialog starts from.
    void ClearChoices() {
        ClearPages();
        fileName_.clear();
        helpContext_ = 0;
    }

private:
    OptionSet options_;
    QString fileName_;
    QPointer<FilterClass> filter_;
    int helpContext_ = 0;
};
} // namespace Kelmora
