/// @file
/// Output filters: prepared pages leave the engine through a filter that receives them one by one
/// between a document start and a document end. A run covers a page range, in the calling thread
/// or on a background thread, optionally with a progress window that can cancel it between pages.
#pragma once

#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/report/RLReportTypes.h>
#include <kelmora/support/RLThreads.h>

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <functional>

namespace Kelmora {

class TRLGraphicSurface;

class TRLCustomFilter : public QObject {
    Q_OBJECT
public:
    /// Every filter enters the process-wide list of active filters while it exists.
    explicit TRLCustomFilter(QObject* owner = nullptr);
    ~TRLCustomFilter() override;

    /// Text for the dialogs; GetDisplayName falls back to the component name.
    QString DisplayName() const { return displayName_; }
    void SetDisplayName(const QString& name) { displayName_ = name; }
    virtual QString GetDisplayName() const;

    /// The store being output; null when idle or when the store went away during the run.
    TRLGraphicStorage* Pages() const { return pages_; }

    bool ShowProgress() const { return showProgress_; }
    void SetShowProgress(bool show) { showProgress_ = show; }
    bool Canceled() const { return canceled_; }
    /// Asks a running loop to stop after the page being drawn.
    void Cancel() { canceled_ = true; }

    /// With this on, the page range is output once per printer copy (the printer wrapper's
    /// Copies); off, it is output once and copies are the printer's business.
    bool RepeatForCopies() const { return repeatForCopies_; }
    void SetRepeatForCopies(bool on) { repeatForCopies_ = on; }

    /// The current (or last) run: copy count and 1-based page range after clamping.
    int Copies() const { return copies_; }
    int FirstPage() const { return firstPage_; }
    int LastPage() const { return lastPage_; }

    /// Outputs pages firstPage..lastPage (lastPage -1: the last page) of pages. With background
    /// set, the run goes on in a TFilterThread and this returns once it has started; the thread
    /// reports the end through RunFinished. Foreground runs pass errors to the caller.
    void Run(TRLGraphicStorage* pages, int firstPage, bool background, int lastPage = -1);
    bool Running() const { return running_; }

    /// True for filters that print (their progress window says so).
    virtual bool IsPrintFilter() const { return false; }

signals:
    /// Emitted at the end of every run, from the thread that ran it: empty on success or
    /// cancel, the error otherwise (an aborted run reports "aborted").
    void RunFinished(const QString& error);

protected:
    virtual void BeginDoc() = 0;
    virtual void EndDoc() = 0;
    virtual void NewPage() = 0;
    virtual void DrawPage(TRLGraphicSurface& page) = 0;

private:
    void RunLoop();
    void ReleasePages();

    QString displayName_;
    QPointer<TRLGraphicStorage> pages_;
    bool showProgress_ = true;
    std::atomic<bool> canceled_{false};
    std::atomic<bool> running_{false};
    bool repeatForCopies_ = false;
    int copies_ = 1;
    int firstPage_ = 1;
    int lastPage_ = 0;
};

/// Base of the filters that print. A print filter may offer a list of options of its own to the
/// print dialog; by default it offers none.
class TRLCustomPrintFilter : public TRLCustomFilter {
    Q_OBJECT
public:
    using TRLCustomFilter::TRLCustomFilter;
    bool IsPrintFilter() const override { return true; }

    virtual QString GetOptionsLabel() const { return QString(); }
    /// An empty list hides the option controls.
    virtual QStringList GetOptions() const { return QStringList(); }
    virtual int GetOptionIndex() const { return -1; }
    virtual void SetOptionIndex(int /*index*/) {}
    virtual void SetOrientation(TRLPageOrientation /*orientation*/) {}
};

/// Base of the filters that write files.
class TRLCustomSaveFilter : public TRLCustomFilter {
    Q_OBJECT
public:
    using TRLCustomFilter::TRLCustomFilter;

    QString FileName() const { return fileName_; }
    void SetFileName(const QString& fileName) { fileName_ = fileName; }
    QString DefaultExt() const { return defaultExt_; }
    void SetDefaultExt(const QString& extension) { defaultExt_ = extension; }

private:
    QString fileName_;
    QString defaultExt_;
};

/// The thread of a background run: runs its body (a filter's loop) once and deletes itself at the
/// end (the deletion is posted to the thread that started it). What the body throws has been told
/// through the filter's RunFinished; the thread only notes it.
class TFilterThread : public QThread {
    Q_OBJECT
public:
    explicit TFilterThread(std::function<void()> body);

protected:
    void run() override;

private:
    std::function<void()> body_;
};

/// The active filters in creation order.
QList<TRLCustomFilter*> ActiveFilters();

/// The first active save filter whose default extension is the extension of fileName (both
/// with a leading dot, letter case ignored); null when none has it.
TRLCustomSaveFilter* SaveFilterByFileName(const QString& fileName);

/// The extension of a file name: from its last "." on, when that dot comes after the last path
/// separator ("/", "\" or ":"); empty otherwise.
QString FileExtensionOf(const QString& fileName);

/// Outputs pages firstPage..lastPage of pages through filter, or through SpoolFilter() when no
/// filter is given.
void FilterPages(TRLGraphicStorage* pages, TRLCustomFilter* filter, int firstPage, bool background,
                 int lastPage = -1);

} // namespace Kelmora
