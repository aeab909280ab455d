// The page range of the print and save dialogs: all pages, the selection, or the pages from one
// number to another. Both dialogs' parameters keep its numbers, and both dialogs hold the
// controls of its group under these names.
#pragma once

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
    // A ToPage that stood at the old maximum follows the new one.
    void SetMaxPage(int maxPage);
    int MinPage() const { return minPage_; }
    int FromPage() const { return fromPage_; }
    void SetFromPage(int page) { fromPage_ = page; }
    int ToPage() const { return toPage_; }
    void SetToPage(int page) { toPage_ = page; }

protected:
    // Pages 1 to 9999, all of them chosen: what a dialog starts from.
    void ClearPages();

private:
    int maxPage_ = 0;
    int minPage_ = 0;
    int fromPage_ = 0;
    int toPage_ = 0;
};

} // namespace Kelmora
