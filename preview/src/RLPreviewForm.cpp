#include <kelmora/preview/RLPreviewForm.h>

#include "RLFindDialog.h"
#include "RLPreviewGlyphs.h"
#include "RLPreviewKeys.h"
#include <kelmora/dialogs/RLAccessibility.h>
#include <kelmora/dialogs/RLDialogKit.h>
#include <kelmora/dialogs/RLDialogLayout.h>
#include <kelmora/dialogs/RLMailFlow.h>
#include <kelmora/dialogs/RLOutputFlows.h>
#include <kelmora/dialogs/RLPrintDialog.h>
#include <kelmora/output/RLPrinters.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/preview/RLPreview.h>
#include <kelmora/support/RLCore.h>
#include <kelmora/support/RLMessages.h>

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <utility>

namespace Kelmora {

TRLPreviewDefaults PreviewDefaults;

// Sees the keys of its window and every control in it before the control does, so that the
// window's keys work whichever control has the focus.
class TRLKeyPreview : public QObject {
public:
    explicit TRLKeyPreview(TRLPreviewForm& form);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Watch(QObject* object);

    TRLPreviewForm& form_;
};

namespace {

constexpr int kToolTop = 1;
constexpr int kButtonHeight = 22;
constexpr int kSplitterWidth = 3;
constexpr int kRepeatInterval = 100;
constexpr int kRepeatDelay = 500;

bool IsAcceleratorCandidate(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z');
}

QChar AsciiUpper(QChar c) {
    return c >= u'a' && c <= u'z' ? QChar(c.unicode() - 32) : c;
}

} // namespace

QStringList WithAccelerators(const QStringList& captions) {
    QStringList result = captions;
    QString used;
    for (QString& caption : result) {
        for (qsizetype i = 0; i < caption.size(); ++i) {
            const QChar c = AsciiUpper(caption[i]);
            if (IsAcceleratorCandidate(c) && !used.contains(c)) {
                used.append(c);
                caption.insert(i, u'&');
                break;
            }
        }
    }
    return result;
}

// ---- construction --------------------------------------------------------------------------

TRLPreviewForm::TRLPreviewForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    static quint64 opened = 0;
    openingOrder_ = ++opened;
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(RLMessages[mkPreview]);
    setFont(EngineDialogFont());
    setBackgroundRole(QPalette::Button);
    resize(815, 375);

    BuildToolPanel();
    BuildPageAndZoomPanels();
    DecorateButtons();
    ConnectControls();
    NameControls();

    // Keys reach the window before the focused control.
    keyPreview_ = new TRLKeyPreview(*this);

    AddView();
    ArrangeViews();
    ChainControls();
    EditPageNo->setFocus();
}

// The tool panel over the views' container, and its buttons and bevels.
void TRLPreviewForm::BuildToolPanel() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    PanelTools = new QFrame(this);
    PanelTools->setFixedHeight(23);
    PanelTools->setFrameShape(QFrame::NoFrame);
    PanelTools->installEventFilter(this);
    layout->addWidget(PanelTools);

    PanelContainer = new QFrame(this);
    PanelContainer->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PanelContainer->setLineWidth(1);
    layout->addWidget(PanelContainer, 1);
    auto* containerLayout = new QVBoxLayout(PanelContainer);
    containerLayout->setContentsMargins(1, 1, 1, 1);
    Splitter = new QSplitter(Qt::Vertical, PanelContainer);
    Splitter->setHandleWidth(kSplitterWidth);
    Splitter->setChildrenCollapsible(false);
    containerLayout->addWidget(Splitter);

    // Creation order matters: accelerators go to the captions in this order.
    SpeedButtonPrint = MakeButton(1, 50, RLMessages[mkPrint]);
    SpeedButtonSetup = MakeButton(162, 22, RLMessages[mkConfigurePrinter]);
    SpeedButtonFirst = MakeButton(195, 22, RLMessages[mkFirstPage]);
    SpeedButtonPrior = MakeButton(217, 22, RLMessages[mkPriorPage]);
    SpeedButtonNext = MakeButton(378, 22, RLMessages[mkNextPage]);
    SpeedButtonLast = MakeButton(400, 22, RLMessages[mkLastPage]);
    SpeedButtonZoomDown = MakeButton(433, 22, QString());
    SpeedButtonZoomUp = MakeButton(455, 22, QString());
    SpeedButtonClose = MakeButton(695, 49, RLMessages[mkClose]);
    Bevel1 = MakeBevel(156);
    Bevel2 = MakeBevel(189);
    Bevel3 = MakeBevel(427);
    Bevel4 = MakeBevel(626);
    SpeedButtonSave = MakeButton(51, 50, RLMessages[mkSaveToFile]);
    SpeedButtonViews = MakeButton(632, 22, RLMessages[mkDivideScreen]);
    Bevel5 = MakeBevel(658);
    SpeedButtonEdit = MakeButton(663, 22, RLMessages[mkEdit]);
    Bevel6 = MakeBevel(689);
    SpeedButtonSend = MakeButton(101, 50, RLMessages[mkSendTo]);
}

// The page number box, the zoom box and the about button, in panels of the tool panel.
void TRLPreviewForm::BuildPageAndZoomPanels() {
    PanelPages = new QWidget(PanelTools);
    PanelPages->setGeometry(242, kToolTop, 134, kButtonHeight);
    LabelPage = new QLabel(RLMessages[mkPage], PanelPages);
    LabelPage->move(0, 4);
    LabelPage->adjustSize();
    EditPageNo = new QLineEdit(PanelPages);
    EditPageNo->setGeometry(40, 0, 37, 21);
    LabelOf = new QLabel(RLMessages[mkOf], PanelPages);
    LabelOf->move(80, 4);
    LabelOf->adjustSize();
    PanelPageCount = new QLabel(QStringLiteral("0"), PanelPages);
    PanelPageCount->setGeometry(96, 0, 37, 21);
    PanelPageCount->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PanelPageCount->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    PanelZoom = new QWidget(PanelTools);
    PanelZoom->setGeometry(478, kToolTop, 145, kButtonHeight);
    ComboBoxZoom = new QComboBox(PanelZoom);
    ComboBoxZoom->setGeometry(0, 0, 145, 21);
    ComboBoxZoom->setEditable(true);
    ComboBoxZoom->setInsertPolicy(QComboBox::NoInsert);
    // A number typed into the box is taken as typed: completing "7" to "75%" would zoom to what
    // the user did not ask for.
    ComboBoxZoom->setCompleter(nullptr);
    ComboBoxZoom->setMaxVisibleItems(11);
    ComboBoxZoom->addItems({QStringLiteral("500%"), QStringLiteral("200%"), QStringLiteral("150%"),
                            QStringLiteral("100%"), QStringLiteral("75%"), QStringLiteral("50%"),
                            QStringLiteral("25%"), QStringLiteral("10%"), RLMessages[mkEntireWidth],
                            RLMessages[mkEntirePage], RLMessages[mkMultiplePages]});
    ComboBoxZoom->setCurrentIndex(-1);

    PanelAbout = new QWidget(PanelTools);
    SpeedButtonAbout = new QToolButton(PanelAbout);
    SpeedButtonAbout->setGeometry(0, 0, 22, 22);
    SpeedButtonAbout->setAutoRaise(true);
    SpeedButtonAbout->setFocusPolicy(Qt::TabFocus);
    SpeedButtonAbout->setIcon(PreviewGlyphIcon(TRLPreviewGlyph::About));
    SpeedButtonAbout->setToolTip(
        QStringLiteral("Kelmora Report %1").arg(QStringLiteral(KELMORA_VERSION_TEXT)));
    PlaceAboutPanel();
}

// Captions, glyphs and accelerators of the tool buttons.
void TRLPreviewForm::DecorateButtons() {
    // Sending needs the desktop's mail program; without one the button stays as it always was.
    SpeedButtonSend->setEnabled(!MailProgram().isEmpty());
    const std::vector<std::pair<QToolButton*, QString>> captioned = {
        {SpeedButtonPrint, RLMessages[mkPrint]},
        {SpeedButtonClose, RLMessages[mkClose]},
        {SpeedButtonSave, RLMessages[mkSave]},
        {SpeedButtonSend, RLMessages[mkSend]}};
    QStringList captions;
    for (const auto& [button, caption] : captioned)
        captions.append(caption);
    captions = WithAccelerators(captions);
    for (size_t i = 0; i < captioned.size(); ++i) {
        captioned[i].first->setText(captions[static_cast<qsizetype>(i)]);
        captioned[i].first->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    const std::pair<QToolButton*, TRLPreviewGlyph> glyphs[] = {
        {SpeedButtonSetup, TRLPreviewGlyph::Setup},
        {SpeedButtonFirst, TRLPreviewGlyph::First},
        {SpeedButtonPrior, TRLPreviewGlyph::Prior},
        {SpeedButtonNext, TRLPreviewGlyph::Next},
        {SpeedButtonLast, TRLPreviewGlyph::Last},
        {SpeedButtonZoomDown, TRLPreviewGlyph::ZoomDown},
        {SpeedButtonZoomUp, TRLPreviewGlyph::ZoomUp},
        {SpeedButtonViews, TRLPreviewGlyph::Views},
        {SpeedButtonEdit, TRLPreviewGlyph::Edit}};
    for (const auto& [button, glyph] : glyphs) {
        button->setIcon(PreviewGlyphIcon(glyph));
        button->setIconSize(QSize(16, 16));
    }
    SpeedButtonEdit->setCheckable(true);

    SpeedButtonSetup->setEnabled(RLPrinter().SetupEnabled());
}

// Object names as the layout names the controls, and names for assistive technology: the
// buttons' hints, the page box's label (its buddy, so that the label names it).
void TRLPreviewForm::NameControls() {
    const std::pair<QObject*, const char*> named[] = {{PanelTools, "PanelTools"},
                                                      {PanelContainer, "PanelContainer"},
                                                      {Splitter, "Splitter"},
                                                      {SpeedButtonPrint, "SpeedButtonPrint"},
                                                      {SpeedButtonSave, "SpeedButtonSave"},
                                                      {SpeedButtonSend, "SpeedButtonSend"},
                                                      {SpeedButtonSetup, "SpeedButtonSetup"},
                                                      {SpeedButtonFirst, "SpeedButtonFirst"},
                                                      {SpeedButtonPrior, "SpeedButtonPrior"},
                                                      {SpeedButtonNext, "SpeedButtonNext"},
                                                      {SpeedButtonLast, "SpeedButtonLast"},
                                                      {SpeedButtonZoomDown, "SpeedButtonZoomDown"},
                                                      {SpeedButtonZoomUp, "SpeedButtonZoomUp"},
                                                      {SpeedButtonViews, "SpeedButtonViews"},
                                                      {SpeedButtonEdit, "SpeedButtonEdit"},
                                                      {SpeedButtonClose, "SpeedButtonClose"},
                                                      {SpeedButtonAbout, "SpeedButtonAbout"},
                                                      {Bevel1, "Bevel1"},
                                                      {Bevel2, "Bevel2"},
                                                      {Bevel3, "Bevel3"},
                                                      {Bevel4, "Bevel4"},
                                                      {Bevel5, "Bevel5"},
                                                      {Bevel6, "Bevel6"},
                                                      {PanelPages, "PanelPages"},
                                                      {LabelPage, "LabelPage"},
                                                      {EditPageNo, "EditPageNo"},
                                                      {LabelOf, "LabelOf"},
                                                      {PanelPageCount, "PanelPageCount"},
                                                      {PanelZoom, "PanelZoom"},
                                                      {ComboBoxZoom, "ComboBoxZoom"},
                                                      {PanelAbout, "PanelAbout"},
                                                      {TimerRepeat, "TimerRepeat"}};
    for (const auto& [object, name] : named)
        object->setObjectName(QString::fromLatin1(name));
    for (QToolButton* button : PanelTools->findChildren<QToolButton*>())
        button->setAccessibleName(rldialogkit::PlainCaption(button->toolTip()));
    SpeedButtonZoomDown->setAccessibleName(RLMessages[mkZoomOut]);
    SpeedButtonZoomUp->setAccessibleName(RLMessages[mkZoomIn]);
    LabelPage->setBuddy(EditPageNo);
    EditPageNo->setAccessibleName(rldialogkit::PlainCaption(RLMessages[mkPage]));
    ComboBoxZoom->setAccessibleName(RLMessages[mkZoom]);
    ComboBoxZoom->lineEdit()->setAccessibleName(RLMessages[mkZoom]);
    Splitter->setAccessibleName(RLMessages[mkViews]);

    // Roles that the widgets' classes do not tell: a plain widget with a title is a window, the
    // frame of tool buttons a tool bar, the sunken lines between them separators, and the frame
    // around the views a panel (a frame inside a window reads as a second window).
    SetAccessibleRole(*this, QAccessible::Window);
    SetAccessibleRole(*PanelTools, QAccessible::ToolBar);
    PanelTools->setAccessibleName(RLMessages[mkToolBar]);
    for (QFrame* bevel : {Bevel1, Bevel2, Bevel3, Bevel4, Bevel5, Bevel6})
        SetAccessibleRole(*bevel, QAccessible::Separator);
    SetAccessibleRole(*PanelContainer, QAccessible::Pane);
}

// The tool bar's controls take the focus by Tab, left to right as they stand, then the views;
// a click on a button leaves the focus where it was, in the view or the box being typed in.
void TRLPreviewForm::ChainControls() {
    QList<QWidget*> chain = {EditPageNo, ComboBoxZoom};
    for (QToolButton* button : PanelTools->findChildren<QToolButton*>()) {
        if (button != SpeedButtonAbout)
            chain.append(button);
    }
    std::stable_sort(chain.begin(), chain.end(), [this](const QWidget* a, const QWidget* b) {
        return a->mapTo(PanelTools, QPoint()).x() < b->mapTo(PanelTools, QPoint()).x();
    });
    // The about button keeps to the right edge, wherever that is when the window is shown.
    chain.append(SpeedButtonAbout);
    for (TRLPreview* view : views_)
        chain.append(view);
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

// The buttons, boxes and the press-and-hold timer to their commands.
void TRLPreviewForm::ConnectControls() {
    TimerRepeat = new QTimer(this);
    TimerRepeat->setInterval(kRepeatInterval);
    connect(TimerRepeat, &QTimer::timeout, this, &TRLPreviewForm::TimerTick);
    TimerRepeat->start();

    connect(SpeedButtonPrint, &QToolButton::clicked, this,
            [this] { ShowFailures(&TRLPreviewForm::Print); });
    connect(SpeedButtonSave, &QToolButton::clicked, this,
            [this] { ShowFailures(&TRLPreviewForm::Save); });
    connect(SpeedButtonSend, &QToolButton::clicked, this,
            [this] { ShowFailures(&TRLPreviewForm::Send); });
    connect(SpeedButtonSetup, &QToolButton::clicked, this,
            [this] { ShowFailures(&TRLPreviewForm::SetupPrinter); });
    connect(SpeedButtonFirst, &QToolButton::clicked, this, [this] { CurrentView()->FirstPage(); });
    connect(SpeedButtonLast, &QToolButton::clicked, this, [this] { CurrentView()->LastPage(); });
    // Prior and next step on the mouse press itself and keep stepping while held; pressed from
    // the keyboard or by assistive technology, they step once on the click.
    SpeedButtonPrior->installEventFilter(this);
    SpeedButtonNext->installEventFilter(this);
    for (QToolButton* button : {SpeedButtonPrior, SpeedButtonNext}) {
        connect(button, &QToolButton::clicked, this, [this, button] {
            if (!std::exchange(mouseStepped_, false))
                PressStep(button);
        });
    }
    connect(SpeedButtonZoomDown, &QToolButton::clicked, this, &TRLPreviewForm::ZoomDown);
    connect(SpeedButtonZoomUp, &QToolButton::clicked, this, &TRLPreviewForm::ZoomUp);
    connect(SpeedButtonViews, &QToolButton::clicked, this, &TRLPreviewForm::ToggleViews);
    connect(SpeedButtonEdit, &QToolButton::toggled, this,
            [this](bool on) { CurrentView()->SetEditing(on); });
    connect(SpeedButtonClose, &QToolButton::clicked, this, &QWidget::close);
    connect(EditPageNo, &QLineEdit::textChanged, this, &TRLPreviewForm::PageNoChanged);
    connect(ComboBoxZoom, &QComboBox::editTextChanged, this, &TRLPreviewForm::ZoomBoxChanged);
    connect(ComboBoxZoom, &QComboBox::textActivated, this, &TRLPreviewForm::ZoomBoxChanged);
}

TRLPreviewForm::~TRLPreviewForm() {
    delete keyPreview_;
    // Hiding the children later on takes the focus from the boxes, and an editable combo box
    // commits its text on losing the focus; by then this window's members are gone.
    ComboBoxZoom->blockSignals(true);
    EditPageNo->blockSignals(true);
    TimerRepeat->stop();
    // The views outlive this body by a moment (they are children); nothing may call back.
    for (TRLPreview* view : views_)
        view->disconnect(this);
}

QToolButton* TRLPreviewForm::MakeButton(int left, int width, const QString& hint) {
    auto* button = new QToolButton(PanelTools);
    button->setGeometry(left, kToolTop, width, kButtonHeight);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::TabFocus);
    if (!hint.isEmpty())
        button->setToolTip(hint);
    return button;
}

QFrame* TRLPreviewForm::MakeBevel(int left) {
    auto* bevel = new QFrame(PanelTools);
    bevel->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    bevel->setGeometry(left, kToolTop, 2, 21);
    return bevel;
}

void TRLPreviewForm::PlaceAboutPanel() {
    PanelAbout->setGeometry(PanelTools->width() - 1 - 22, kToolTop, 22, kButtonHeight);
}

// ---- views ---------------------------------------------------------------------------------

TRLPreview* TRLPreviewForm::ActiveView() const {
    return activeView_.data();
}

TRLPreview* TRLPreviewForm::AddView() {
    auto* view = new TRLPreview();
    // The second view is told apart from the first by its number.
    const QString number = QString::number(views_.size() + 1);
    view->setObjectName(QStringLiteral("Preview") + number);
    view->setAccessibleName(views_.empty()
                                ? rldialogkit::PlainCaption(RLMessages[mkPreview])
                                : rldialogkit::PlainCaption(RLMessages[mkPreview]) + u' ' + number);
    Splitter->addWidget(view);
    // The handle before the new view; the first view's handle is never shown.
    QSplitterHandle* handle = Splitter->handle(Splitter->indexOf(view));
    SetAccessibleRole(*handle, QAccessible::Separator);
    handle->setAccessibleName(RLMessages[mkViewDivider]);
    connect(view, &TRLPreview::OnChangeView, this, &TRLPreviewForm::ViewChanged);
    connect(view, &TRLPreview::OnEnter, this, [this, view] { SetActiveView(view); });
    views_.push_back(view);
    if (views_.size() > 1) {
        view->SetPages(views_.front()->Pages());
        setTabOrder(views_[views_.size() - 2], view);
    }
    return view;
}

void TRLPreviewForm::RemoveLastView() {
    if (views_.size() < 2)
        return;
    TRLPreview* last = views_.back();
    // Deleting the view makes the splitter lay out the others, which report their change
    // back here: by then the current view must already be one that stays.
    last->disconnect(this);
    const bool wasCurrent = currentViewIndex_ >= static_cast<int>(views_.size()) - 1;
    if (activeView_ == last)
        activeView_ = nullptr;
    views_.pop_back();
    if (wasCurrent)
        currentViewIndex_ = static_cast<int>(views_.size()) - 1;
    delete last;
    if (wasCurrent)
        SetActiveView(views_.back());
}

void TRLPreviewForm::ArrangeViews() {
    const int count = static_cast<int>(views_.size());
    const int total = Splitter->height();
    const int each = total / count;
    QList<int> sizes;
    for (int i = 0; i + 1 < count; ++i)
        sizes.append(each);
    sizes.append(std::max(0, total - (count - 1) * (each + kSplitterWidth)));
    Splitter->setSizes(sizes);
}

void TRLPreviewForm::ToggleViews() {
    if (views_.size() == 1)
        AddView();
    else
        RemoveLastView();
    ArrangeViews();
}

void TRLPreviewForm::SetActiveView(TRLPreview* view) {
    const auto found = std::find(views_.begin(), views_.end(), view);
    if (found == views_.end())
        return;
    if (activeView_ && activeView_ != view)
        activeView_->SetActive(false);
    activeView_ = view;
    view->SetActive(true);
    currentViewIndex_ = static_cast<int>(found - views_.begin());
    ViewChanged();
}

QString TRLPreviewForm::ZoomText(double zoom) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(zoom, 'f', QLocale::FloatingPointShortest) + u'%';
}

void TRLPreviewForm::ViewChanged() {
    const TRLPreview* view = CurrentView();
    const TRLGraphicStorage* pages = view->Pages();
    PanelPageCount->setText(QString::number(pages ? pages->PageCount() : 0));
    if (!pageNoChanging_) {
        const QSignalBlocker blocker(EditPageNo);
        EditPageNo->setText(QString::number(view->PageIndex() + 1));
    }
    if (!zoomChanging_) {
        const QSignalBlocker blocker(ComboBoxZoom);
        ComboBoxZoom->setCurrentIndex(-1);
        ComboBoxZoom->setEditText(ZoomText(view->Zoom()));
    }
    // Each view has its own edit mode; the button shows the current one's, so that its next
    // click turns that mode over rather than the mode of the view last toggled.
    const QSignalBlocker blocker(SpeedButtonEdit);
    SpeedButtonEdit->setChecked(view->Editing());
}

// ---- toolbar -------------------------------------------------------------------------------

void TRLPreviewForm::ZoomBoxChanged() {
    const QString text = ComboBoxZoom->currentText();
    const QScopedValueRollback changing(zoomChanging_, true);
    int position = -1;
    double number = 0;
    for (int i = 0; i < ComboBoxZoom->count(); ++i) {
        if (text.compare(ComboBoxZoom->itemText(i), Qt::CaseInsensitive) == 0) {
            position = i;
            break;
        }
    }
    if (position < 0) {
        QString digits = text;
        digits.remove(u'%').replace(u',', u'.');
        bool ok = false;
        number = QLocale::c().toDouble(digits.trimmed(), &ok);
        if (!ok)
            number = 0;
        position = ComboBoxZoom->currentIndex();
    }
    TRLPreview* view = CurrentView();
    if (number >= TRLPreview::MinimumZoom) {
        view->SetZoom(number);
        return;
    }
    static constexpr double kItemZooms[] = {500, 200, 150, 100, 75, 50, 25, 10};
    if (position >= 0 && position < 8)
        view->SetZoom(kItemZooms[position]);
    else if (position == 8)
        view->ZoomFullWidth();
    else if (position == 9)
        view->ZoomFullPage();
    else if (position == 10)
        view->ZoomMultiplePages();
}

void TRLPreviewForm::PageNoChanged() {
    const QScopedValueRollback changing(pageNoChanging_, true);
    TRLPreview* view = CurrentView();
    bool ok = false;
    int number = EditPageNo->text().trimmed().toInt(&ok);
    if (!ok)
        number = view->PageIndex() + 1;
    view->GotoPageIndex(number - 1);
}

void TRLPreviewForm::ZoomDown() {
    CurrentView()->SetZoom(std::max(CurrentView()->Zoom() - 10, TRLPreview::MinimumZoom));
    ViewChanged();
}

void TRLPreviewForm::ZoomUp() {
    CurrentView()->SetZoom(CurrentView()->Zoom() + 10);
    ViewChanged();
}

void TRLPreviewForm::PressStep(QToolButton* button) {
    if (button == SpeedButtonPrior)
        CurrentView()->PriorPage();
    else
        CurrentView()->NextPage();
}

void TRLPreviewForm::TimerTick() {
    if (heldElapsed_ > kRepeatDelay) {
        if (priorHeld_ == nextHeld_)
            return;
        PressStep(priorHeld_ ? SpeedButtonPrior : SpeedButtonNext);
    }
    heldElapsed_ += kRepeatInterval;
}

void TRLPreviewForm::ShowFailures(void (TRLPreviewForm::*command)()) {
    // Failures may not cross the event loop; at a button the operator reads them instead.
    try {
        (this->*command)();
    } catch (const TRLException& e) {
        ShowCriticalMessage(this, windowTitle(), e.Message());
    }
}

void TRLPreviewForm::SetupPrinter() {
    ExecutePrinterSetup(RLPrinter(), this);
}

void TRLPreviewForm::RestoreFocus(QWidget* remembered) {
    const bool editable = qobject_cast<QLineEdit*>(remembered) ||
                          qobject_cast<QComboBox*>(remembered) ||
                          (remembered && qobject_cast<QComboBox*>(remembered->parentWidget()));
    // A tool button reached by Tab and pressed from the keyboard keeps the focus, so that the
    // keyboard goes on from where it was.
    const bool toolButton = remembered && qobject_cast<QToolButton*>(remembered) &&
                            PanelTools->isAncestorOf(remembered);
    if (editable || toolButton)
        remembered->setFocus();
    else
        EditPageNo->setFocus();
}

template <typename Dialog>
std::function<void(Dialog&)> TRLPreviewForm::DialogDriver(void (TRLPreviewForm::*shown)(Dialog*)) {
    if (!isSignalConnected(QMetaMethod::fromSignal(shown)))
        return {};
    return [this, shown](Dialog& dialog) { emit(this->*shown)(&dialog); };
}

void TRLPreviewForm::Print() {
    TRLGraphicStorage* pages = CurrentView()->Pages();
    const QPointer<QWidget> remembered = QApplication::focusWidget();
    const auto restoreFocus = qScopeGuard([&] { RestoreFocus(remembered); });
    if (pages)
        ExecutePrintFlow(*pages, DialogDriver(&TRLPreviewForm::PrintDialogShown));
}

void TRLPreviewForm::Save() {
    TRLGraphicStorage* pages = CurrentView()->Pages();
    const QPointer<QWidget> remembered = QApplication::focusWidget();
    const auto restoreFocus = qScopeGuard([&] { RestoreFocus(remembered); });
    if (pages)
        ExecuteSaveFlow(*pages, ProposedSaveFileName(pages->Title()),
                        DialogDriver(&TRLPreviewForm::SaveDialogShown));
}

void TRLPreviewForm::Send() {
    TRLGraphicStorage* pages = CurrentView()->Pages();
    const QString program = MailProgram();
    if (!pages || program.isEmpty())
        return;
    // The document's title names the file and the message; a document without one goes by the
    // window's caption.
    QString title = pages->Title().trimmed();
    if (title.isEmpty())
        title = windowTitle().trimmed();
    QString attachment;
    {
        // A long document takes a moment to write.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        attachment = WriteMailAttachment(*pages, title);
    }
    auto* message = new TRLMailMessage(program, attachment, title);
    connect(message, &TRLMailMessage::Finished, this, [this](const QString& failure) {
        if (!failure.isEmpty())
            ShowMailFailure(failure);
    });
    message->Open();
}

void TRLPreviewForm::ShowMailFailure(const QString& failure) {
    // Modal to this window alone (open, not exec): the other windows stay usable meanwhile.
    auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), RLMessages[mkMailNotOpened],
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("MailFailure"));
    box->setDetailedText(failure);
    UseSharpMessageIcon(*box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// ---- keys, find, closing -------------------------------------------------------------------

bool TRLPreviewForm::HandleKey(int key, Qt::KeyboardModifiers modifiers) {
    const TRLPreviewKey* binding = FindPreviewKey(key, modifiers);
    if (binding == nullptr)
        return false;
    if (binding->Window)
        binding->Window(*this);
    else
        (CurrentView()->*binding->View)();
    return true;
}

void TRLPreviewForm::OpenFindDialog() {
    if (!findDialog_) {
        findDialog_ = new TfrmRLFindDialog(this);
        connect(findDialog_, &TfrmRLFindDialog::OnFind, this,
                [this](const QString& text, TRLFindOptions options, bool* found) {
                    *found = CurrentView()->FindText(text, options & foWholeWords,
                                                     options & foMatchCase, options & foBackward);
                });
    }
    findDialog_->Open();
}

bool TRLPreviewForm::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
        if (watched != SpeedButtonPrior && watched != SpeedButtonNext)
            break;
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            break;
        bool& held = watched == SpeedButtonPrior ? priorHeld_ : nextHeld_;
        if (event->type() == QEvent::MouseButtonPress) {
            held = true;
            heldElapsed_ = 0;
            PressStep(static_cast<QToolButton*>(watched));
        } else {
            held = false;
            // The click that ends this release has stepped already, on the press; a release
            // outside the button makes no click, and the mark must not outlive this event.
            mouseStepped_ = true;
            QTimer::singleShot(0, this, [this] { mouseStepped_ = false; });
        }
        break;
    }
    case QEvent::Resize:
        if (watched == PanelTools)
            PlaceAboutPanel();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

TRLKeyPreview::TRLKeyPreview(TRLPreviewForm& form) : QObject(&form), form_(form) {
    Watch(&form);
}

void TRLKeyPreview::Watch(QObject* object) {
    if (!object->isWidgetType())
        return;
    // Installing again moves this filter to the front, ahead of any the control put in since.
    object->installEventFilter(this);
    for (QObject* child : object->children())
        Watch(child);
}

bool TRLKeyPreview::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ChildAdded:
    case QEvent::ChildPolished:
        // Controls created later (a second view, its page boxes) are watched as well.
        Watch(static_cast<QChildEvent*>(event)->child());
        return false;
    case QEvent::KeyPress:
        break;
    default:
        return false;
    }
    // Only keys meant for this window: the find dialog and other child windows have their own.
    if (static_cast<QWidget*>(watched)->window() != &form_)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    return form_.HandleKey(key->key(), key->modifiers());
}

void TRLPreviewForm::closeEvent(QCloseEvent* event) {
    if (isMinimized())
        PreviewDefaults.WindowState = wsMinimized;
    else if (isMaximized())
        PreviewDefaults.WindowState = wsMaximized;
    else
        PreviewDefaults.WindowState = wsNormal;
    QWidget::closeEvent(event);
    if (event->isAccepted() && isActiveWindow())
        ActivateNextPreview();
}

void TRLPreviewForm::ActivateNextPreview() {
    // Previews of one window stand on top of one another: when the operator closes the one on
    // top, the keyboard goes on to the next one underneath, not to whatever window the window
    // manager picks (the owner, as a rule, hidden under the previews).
    const QWindow* owner = windowHandle() ? windowHandle()->transientParent() : nullptr;
    TRLPreviewForm* next = owner ? TopPreviewOfWindow(owner, this) : nullptr;
    // Once this window is gone: the window manager hands the focus on as it goes.
    if (next)
        QTimer::singleShot(0, next, [next] {
            next->raise();
            next->activateWindow();
        });
}

TRLPreviewForm* TRLPreviewForm::TopPreviewOfWindow(const QWindow* owner,
                                                   const TRLPreviewForm* except) {
    TRLPreviewForm* top = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* preview = qobject_cast<TRLPreviewForm*>(window);
        if (preview && preview != except && preview->isVisible() && preview->windowHandle() &&
            preview->windowHandle()->transientParent() == owner &&
            (!top || preview->openingOrder_ > top->openingOrder_))
            top = preview;
    }
    return top;
}

TRLPreviewForm* TopPreviewOf(const QWidget* owner, const TRLPreviewForm* except) {
    const QWindow* ownerWindow = owner ? owner->window()->windowHandle() : nullptr;
    return ownerWindow ? TRLPreviewForm::TopPreviewOfWindow(ownerWindow, except) : nullptr;
}

// ---- opening -------------------------------------------------------------------------------

namespace {

Qt::WindowFlags FlagsFor(TRLBorderIcons icons, TRLFormStyle style, bool owned) {
    // Only a dialog is told to the window manager as belonging to another window.
    Qt::WindowFlags flags =
        (owned ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (icons.Contains(biSystemMenu))
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (icons.Contains(biMinimize))
        flags |= Qt::WindowMinimizeButtonHint;
    if (icons.Contains(biMaximize))
        flags |= Qt::WindowMaximizeButtonHint;
    if (icons.Contains(biHelp))
        flags |= Qt::WindowContextHelpButtonHint;
    if (style == fsStayOnTop)
        flags |= Qt::WindowStaysOnTopHint;
    return flags;
}

QPointer<QWidget>& ScopedPreviewOwner() {
    static QPointer<QWidget> owner;
    return owner;
}

// The window a new preview belongs to: the scope's owner, else the window it is opened from (the
// request form, say), or, when that is a preview itself, that preview's own owner, so that
// previews opened one after the other stand side by side.
QWindow* PreviewOwner() {
    QWidget* from = ScopedPreviewOwner();
    if (!from)
        from = QApplication::activeModalWidget();
    if (!from)
        from = QApplication::activeWindow();
    if (!from)
        return nullptr;
    from->window()->winId();
    QWindow* owner = from->window()->windowHandle();
    if (qobject_cast<TRLPreviewForm*>(from->window()) && owner)
        owner = owner->transientParent();
    return owner;
}

void ApplyDefaultZoom(TRLPreview& view, double zoom) {
    if (zoom == PreviewZoomFullWidth)
        view.ZoomFullWidth();
    else if (zoom == PreviewZoomFullPage)
        view.ZoomFullPage();
    else if (zoom == PreviewZoomMultiplePages)
        view.ZoomMultiplePages();
    else if (zoom > 0)
        view.SetZoom(zoom);
}

} // namespace

void TRLPreviewForm::ApplyOpeningZoom(double zoom) {
    ApplyDefaultZoom(*CurrentView(), zoom);
    openingFit_ = zoom == PreviewZoomFullWidth || zoom == PreviewZoomFullPage ||
                          zoom == PreviewZoomMultiplePages
                      ? zoom
                      : 0;
    openingFitZoom_ = CurrentView()->Zoom();
    ViewChanged();
}

void TRLPreviewForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The window manager sizes a window after it is shown; a fitted zoom chosen at opening is
    // fitted again, unless the user has chosen another zoom since.
    TRLPreview* view = CurrentView();
    if (openingFit_ != 0 && view->Zoom() == openingFitZoom_) {
        ApplyDefaultZoom(*view, openingFit_);
        openingFitZoom_ = view->Zoom();
    } else {
        openingFit_ = 0;
    }
}

TRLPreviewOwnerScope::TRLPreviewOwnerScope(QWidget* owner) : previous_(ScopedPreviewOwner()) {
    ScopedPreviewOwner() = owner;
}

TRLPreviewOwnerScope::~TRLPreviewOwnerScope() {
    ScopedPreviewOwner() = previous_;
}

TRLPreviewForm* PreviewPagesWithOptions(TRLGraphicStorage* pages, bool showModal,
                                        TRLFormStyle formStyle, const QString& caption,
                                        int helpContext, const QString& helpFile,
                                        TRLBorderIcons borderIcons, TRLWindowState windowState,
                                        TRLFormPosition position) {
    QWindow* owner = PreviewOwner();
    auto* form = new TRLPreviewForm();
    TRLPreview* view = form->Views().front();
    view->SetPages(pages);

    form->setWindowFlags(FlagsFor(borderIcons, formStyle, owner != nullptr));
    if (owner) {
        form->winId();
        form->windowHandle()->setTransientParent(owner);
    }
    form->SetHelpFile(helpFile);
    form->SetHelpContext(helpContext);
    if (!caption.isEmpty())
        form->setWindowTitle(caption);
    // A screen smaller than the design size gets a window it can show whole.
    if (const QScreen* screen = ScreenForWindow(*form))
        form->resize(form->size().boundedTo(screen->availableGeometry().size()));
    switch (position) {
    case poScreenCenter:
    case poDesktopCenter:
    case poMainFormCenter:
    case poOwnerFormCenter:
        CentreOnItsScreen(*form);
        break;
    default:
        break;
    }
    if (showModal)
        form->setWindowModality(Qt::ApplicationModal);
    // A maximised window keeps its design size and place as the size it is restored to; the
    // window manager gives it the screen. A fitted default zoom follows the window to the size
    // it is shown at, until the user picks a zoom.
    if (windowState == wsMaximized)
        form->showMaximized();
    else if (windowState == wsMinimized)
        form->showMinimized();
    else
        form->show();
    form->ApplyOpeningZoom(PreviewDefaults.Zoom);
    form->raise();
    form->activateWindow();
    if (!showModal)
        return form;
    QEventLoop loop;
    QObject::connect(form, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec();
    return nullptr;
}

TRLPreviewForm* PreviewPages(TRLGraphicStorage* pages) {
    const TRLPreviewDefaults& d = PreviewDefaults;
    return PreviewPagesWithOptions(pages, d.ShowModal, d.FormStyle, d.Caption, d.HelpContext,
                                   d.HelpFile, d.BorderIcons, d.WindowState, d.Position);
}

} // namespace Kelmora
