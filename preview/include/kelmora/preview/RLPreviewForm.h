/// @file
/// The preview window: a toolbar over one or two views of a page store, from which the user
/// pages, zooms, searches, prints and saves. Each window frees itself when it is closed, so any
/// number of them may be open at once.
#pragma once

#include <kelmora/preview/RLPreviewOptions.h>

#include <QPointer>
#include <QWidget>

#include <functional>
#include <vector>

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QSplitter;
class QTimer;
class QWindow;
class QToolButton;

namespace Kelmora {

class TRLGraphicStorage;
class TRLPreview;
class TfrmRLFindDialog;
class TRLPrintDialog;
class TRLSaveDialog;
class TRLPreviewForm;
class TRLKeyPreview;

class TRLPreviewForm : public QWidget {
    Q_OBJECT
public:
    explicit TRLPreviewForm(QWidget* parent = nullptr);
    ~TRLPreviewForm() override;

    // --- views ---
    const std::vector<TRLPreview*>& Views() const { return views_; }
    int CurrentViewIndex() const { return currentViewIndex_; }
    TRLPreview* CurrentView() const { return views_[static_cast<size_t>(currentViewIndex_)]; }
    TRLPreview* ActiveView() const;
    TRLPreview* AddView();
    void RemoveLastView();
    void ArrangeViews();
    void SetActiveView(TRLPreview* view);
    /// The views button: divides the window into two views, or back into one.
    void ToggleViews();

    // --- commands ---
    /// Handles one key as the window does before the focused control sees it; true when the key
    /// was used (and must go no further).
    bool HandleKey(int key, Qt::KeyboardModifiers modifiers);
    void OpenFindDialog();
    TfrmRLFindDialog* FindDialog() const { return findDialog_; }
    /// Print and save: the dialogs, then the output. The focus comes back afterwards, also when
    /// the dialog is cancelled or the output fails (the failure then goes on to the caller).
    void Print();
    void Save();
    /// The send button: the document as a PDF attachment of a new message in the desktop's mail
    /// program. A mail program that does not open is reported in a message box.
    void Send();
    void SetupPrinter();
    void ZoomDown();
    void ZoomUp();
    /// The zoom text as the view change writes it: "100%", "12.5%" in the locale's notation.
    static QString ZoomText(double zoom);

    /// Help settings are kept for whoever shows help; nothing here shows it.
    QString HelpFile() const { return helpFile_; }
    void SetHelpFile(const QString& file) { helpFile_ = file; }
    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int context) { helpContext_ = context; }

    // --- controls, named as the window's layout names them ---
    QFrame* PanelTools;
    QFrame* PanelContainer;
    QToolButton* SpeedButtonPrint;
    QToolButton* SpeedButtonSave;
    QToolButton* SpeedButtonSend;
    QToolButton* SpeedButtonSetup;
    QToolButton* SpeedButtonFirst;
    QToolButton* SpeedButtonPrior;
    QToolButton* SpeedButtonNext;
    QToolButton* SpeedButtonLast;
    QToolButton* SpeedButtonZoomDown;
    QToolButton* SpeedButtonZoomUp;
    QToolButton* SpeedButtonViews;
    QToolButton* SpeedButtonEdit;
    QToolButton* SpeedButtonClose;
    QToolButton* SpeedButtonAbout;
    QFrame* Bevel1;
    QFrame* Bevel2;
    QFrame* Bevel3;
    QFrame* Bevel4;
    QFrame* Bevel5;
    QFrame* Bevel6;
    QWidget* PanelPages;
    QLabel* LabelPage;
    QLineEdit* EditPageNo;
    QLabel* LabelOf;
    QLabel* PanelPageCount;
    QWidget* PanelZoom;
    QComboBox* ComboBoxZoom;
    QWidget* PanelAbout;
    QTimer* TimerRepeat;
    QSplitter* Splitter;

    /// Applies a zoom of the preview defaults (a percentage or one of the fits) to the current
    /// view. A fit keeps fitting the window's size until the user chooses another zoom, so that
    /// it is computed for the size the window manager shows the window at.
    void ApplyOpeningZoom(double zoom);

signals:
    /// While one of these is connected, its dialog is handed to the receiver (connected directly)
    /// instead of running its own modal loop, and the receiver ends it as an operator would; used
    /// where nobody sits at the screen.
    void PrintDialogShown(TRLPrintDialog* dialog);
    void SaveDialogShown(TRLSaveDialog* dialog);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildToolPanel();
    void BuildPageAndZoomPanels();
    void DecorateButtons();
    void NameControls();
    void ChainControls();
    void ConnectControls();
    QToolButton* MakeButton(int left, int width, const QString& hint);
    QFrame* MakeBevel(int left);
    void ViewChanged();
    void ZoomBoxChanged();
    void PageNoChanged();
    void PressStep(QToolButton* button);
    void TimerTick();
    void PlaceAboutPanel();
    void RestoreFocus(QWidget* remembered);
    void ShowFailures(void (TRLPreviewForm::*command)());
    void ShowMailFailure(const QString& failure);
    /// The driver that hands a print or save dialog to the receiver of its signal, when any.
    template <typename Dialog>
    std::function<void(Dialog&)> DialogDriver(void (TRLPreviewForm::*shown)(Dialog*));
    void ActivateNextPreview();
    static TRLPreviewForm* TopPreviewOfWindow(const QWindow* owner, const TRLPreviewForm* except);
    friend TRLPreviewForm* TopPreviewOf(const QWidget*, const TRLPreviewForm*);

    std::vector<TRLPreview*> views_;
    int currentViewIndex_ = 0;
    QPointer<TRLPreview> activeView_;
    bool zoomChanging_ = false;
    bool pageNoChanging_ = false;
    TfrmRLFindDialog* findDialog_ = nullptr;
    TRLKeyPreview* keyPreview_ = nullptr;
    QString helpFile_;
    int helpContext_ = 0;
    quint64 openingOrder_ = 0;
    /// The fit chosen at opening (0 when none) and the zoom it gave last.
    double openingFit_ = 0;
    double openingFitZoom_ = 0;
    /// Press-and-hold paging.
    bool priorHeld_ = false;
    bool nextHeld_ = false;
    /// Set while a mouse release of prior or next is handled: its click has stepped on the press.
    bool mouseStepped_ = false;
    int heldElapsed_ = 0;
};

/// Captions with a keyboard accelerator each: in order, each caption marks its first letter
/// (A to Z after upper-casing ASCII) or digit that no earlier caption took. Captions without a
/// letter or digit are left alone, and so is a caption whose candidates are all taken.
QStringList WithAccelerators(const QStringList& captions);

/// Opens a preview window over a store, as a report's preview does. Returns the window, or null
/// when it was shown modally (it is gone by the time this returns).
TRLPreviewForm* PreviewPagesWithOptions(TRLGraphicStorage* pages, bool showModal,
                                        TRLFormStyle formStyle, const QString& caption,
                                        int helpContext, const QString& helpFile,
                                        TRLBorderIcons borderIcons, TRLWindowState windowState,
                                        TRLFormPosition position);

/// The same with every setting taken from PreviewDefaults.
TRLPreviewForm* PreviewPages(TRLGraphicStorage* pages);

/// While it lives, the preview windows opened without a modal run of their own belong to owner's
/// window: they stack above it, and they stay usable while that window is shown modally. Without a
/// scope a preview belongs to the modal window or the active window it is opened from (a preview
/// opened from a preview belongs to that preview's owner).
class TRLPreviewOwnerScope {
public:
    explicit TRLPreviewOwnerScope(QWidget* owner);
    ~TRLPreviewOwnerScope();
    TRLPreviewOwnerScope(const TRLPreviewOwnerScope&) = delete;
    TRLPreviewOwnerScope& operator=(const TRLPreviewOwnerScope&) = delete;

private:
    QPointer<QWidget> previous_;
};

/// The preview window on top of those that belong to owner's window: the most recently opened one
/// still shown, other than except. Null when there is none.
TRLPreviewForm* TopPreviewOf(const QWidget* owner, const TRLPreviewForm* except = nullptr);

} // namespace Kelmora
