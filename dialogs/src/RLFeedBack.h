// The progress window of long runs (preparing, printing, saving): a step text, one bar per level
// and a cancel button. It lives on the user-interface thread. Runs reach it through the report's
// progress interface (TRLReportProgress), which MakeReportProgress serves with this window; a
// background run calls that interface on the user-interface thread.
#pragma once

#include <QDialog>

#include <memory>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace Kelmora {

class TRLReportProgress;

class TfrmRLFeedBack : public QDialog {
    Q_OBJECT
public:
    explicit TfrmRLFeedBack(const QString& caption, int levels = 1, QWidget* parent = nullptr);
    ~TfrmRLFeedBack() override;

    // The current level's bar gets this maximum and starts again at 0.
    void SetMax(int max);
    // Shows text at once, without waiting for the next paint.
    void SetStepName(const QString& text);
    // Advances the current bar by one step; the run paints it and hears the cancel button
    // between its slices (RunInSlices). Throws TRLAbort when the application is closing down.
    void StepIt();
    // The next bar becomes the current level.
    void NextLevel();
    int Levels() const { return static_cast<int>(bars_.size()); }

    bool Canceled() const { return canceled_; }
    bool Finished() const { return finished_; }
    // Turns the cancel button into an OK button, whose click marks the run as seen to its end.
    void SetOkKind(bool ok);
    // The step text blinks while on.
    void SetBlinking(bool on);

    QLabel* LabelStepName = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* BitBtnCancel = nullptr;
    QTimer* TimerBlink = nullptr;
    // Every bar, the first one included.
    const std::vector<QProgressBar*>& Bars() const { return bars_; }

signals:
    // The cancel button (or Esc) was used while the run goes on.
    void CancelRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ButtonClicked();

    std::vector<QProgressBar*> bars_;
    int level_ = 0;
    bool canceled_ = false;
    bool finished_ = false;
    bool okKind_ = false;
};

// A progress window for a long run (a report's preparation, a filter's output): the factory that
// the output hooks register for the report layer and the filters.
std::unique_ptr<TRLReportProgress> MakeReportProgress(const QString& caption, const QString& text);

} // namespace Kelmora
