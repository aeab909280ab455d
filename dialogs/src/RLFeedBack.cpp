#include "RLFeedBack.h"

#include <kelmora/dialogs/RLDialogKit.h>
#include <kelmora/dialogs/RLDialogLayout.h>
#include <kelmora/output/RLPrinters.h>
#include <kelmora/report/RLReportHooks.h>
#include <kelmora/support/RLMessages.h>

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

namespace Kelmora {

namespace {

constexpr int WindowWidth = 393;
constexpr int WindowHeight = 129;
constexpr int BarGap = 2;

} // namespace

TfrmRLFeedBack::TfrmRLFeedBack(const QString& caption, int levels, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint |
                          Qt::CustomizeWindowHint) {
    setObjectName(QStringLiteral("frmRLFeedBack"));
    setWindowTitle(caption);
    setFont(EngineDialogFont());

    LabelStepName = new QLabel(RLMessages[mkWait], this);
    LabelStepName->setObjectName(QStringLiteral("LabelStepName"));
    LabelStepName->setGeometry(14, 12, 355, 13);

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(14, 28, 355, 17);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    bars_.push_back(ProgressBar);

    BitBtnCancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                   RLMessages[mkCancel], this);
    BitBtnCancel->setObjectName(QStringLiteral("BitBtnCancel"));
    BitBtnCancel->setAccessibleName(rldialogkit::PlainCaption(RLMessages[mkCancel]));
    BitBtnCancel->setGeometry(151, 65, 85, 25);
    connect(BitBtnCancel, &QPushButton::clicked, this, &TfrmRLFeedBack::ButtonClicked);

    TimerBlink = new QTimer(this);
    TimerBlink->setObjectName(QStringLiteral("TimerBlink"));
    TimerBlink->setInterval(300);
    connect(TimerBlink, &QTimer::timeout, this,
            [this] { LabelStepName->setVisible(!LabelStepName->isVisible()); });

    // Further levels stack their bars below the first; the window grows with them and the
    // button keeps its distance from the lower edge.
    int height = WindowHeight;
    for (int level = 2; level <= levels; ++level) {
        QProgressBar* previous = bars_.back();
        auto* bar = new QProgressBar(this);
        bar->setObjectName(QStringLiteral("ProgressBar%1").arg(level));
        bar->setGeometry(previous->x(), previous->y() + previous->height() + BarGap,
                         previous->width(), previous->height());
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        bars_.push_back(bar);
        const int grow = bar->height() + BarGap;
        height += grow;
        BitBtnCancel->move(BitBtnCancel->x(), BitBtnCancel->y() + grow);
    }
    setFixedSize(WindowWidth, height);
    CentreOnItsScreen(*this);
    BitBtnCancel->setFocus();
}

TfrmRLFeedBack::~TfrmRLFeedBack() = default;

void TfrmRLFeedBack::SetMax(int max) {
    QProgressBar* bar = bars_[static_cast<size_t>(level_)];
    bar->setMaximum(max);
    bar->setValue(0);
}

void TfrmRLFeedBack::SetStepName(const QString& text) {
    LabelStepName->setText(text);
    LabelStepName->repaint();
}

void TfrmRLFeedBack::StepIt() {
    QProgressBar* bar = bars_[static_cast<size_t>(level_)];
    bar->setValue(std::min(bar->maximum(), bar->value() + 1));
    if (QCoreApplication::closingDown())
        throw TRLAbort();
}

void TfrmRLFeedBack::NextLevel() {
    if (level_ + 1 < Levels())
        ++level_;
}

void TfrmRLFeedBack::SetOkKind(bool ok) {
    okKind_ = ok;
    BitBtnCancel->setText(ok ? RLMessages[mkOk] : RLMessages[mkCancel]);
    BitBtnCancel->setIcon(
        style()->standardIcon(ok ? QStyle::SP_DialogOkButton : QStyle::SP_DialogCancelButton));
}

void TfrmRLFeedBack::SetBlinking(bool on) {
    if (on) {
        TimerBlink->start();
    } else {
        TimerBlink->stop();
        LabelStepName->setVisible(true);
    }
}

void TfrmRLFeedBack::ButtonClicked() {
    if (okKind_) {
        finished_ = true;
        return;
    }
    canceled_ = true;
    emit CancelRequested();
}

void TfrmRLFeedBack::keyPressEvent(QKeyEvent* event) {
    // Esc is the cancel button's key; it never just closes the window under a running loop.
    if (event->key() == Qt::Key_Escape) {
        BitBtnCancel->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

namespace {

class FeedBackProgress : public TRLReportProgress {
public:
    FeedBackProgress(const QString& caption, const QString& text)
        : window_(std::make_unique<TfrmRLFeedBack>(caption, 1)) {
        window_->SetStepName(text);
        window_->show();
    }
    void SetText(const QString& text) override { window_->SetStepName(text); }
    void SetMaximum(int steps) override { window_->SetMax(steps); }
    void StepIt() override { window_->StepIt(); }
    bool Canceled() const override { return window_->Canceled(); }

private:
    std::unique_ptr<TfrmRLFeedBack> window_;
};

} // namespace

std::unique_ptr<TRLReportProgress> MakeReportProgress(const QString& caption, const QString& text) {
    // Without widgets (tools, headless runs) there is nothing to show.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return nullptr;
    return std::make_unique<FeedBackProgress>(caption, text);
}

} // namespace Kelmora
