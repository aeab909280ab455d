#include <kelmora/dialogs/RLOutputFlows.h>

#include "RLFeedBack.h"
#include <kelmora/dialogs/RLAccessibility.h>
#include <kelmora/dialogs/RLPrintDialog.h>
#include <kelmora/dialogs/RLSaveDialog.h>
#include <kelmora/output/RLFilters.h>
#include <kelmora/output/RLPrinters.h>
#include <kelmora/output/RLSpoolFilter.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pagestore/RLMetaTypes.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/report/RLReportHooks.h>

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QScopeGuard>

#include <cstdint>
#include <limits>

namespace Kelmora {

namespace {

// Runs a filter over the chosen pages. A run in the background ends after its caller has
// returned, so its failure cannot reach the caller: the operator is told in a message box then,
// as a failure in the foreground is told at the button. (A silent abort stays silent.)
void RunOutput(TRLCustomFilter& filter, TRLGraphicStorage& pages, int firstPage, bool background,
               int lastPage) {
    if (!background) {
        filter.Run(&pages, firstPage, false, lastPage);
        return;
    }
    const QMetaObject::Connection report = QObject::connect(
        &filter, &TRLCustomFilter::RunFinished, qApp,
        [](const QString& failure) {
            if (failure.isEmpty() || failure == QLatin1String("aborted"))
                return;
            auto* box =
                new QMessageBox(QMessageBox::Critical, QApplication::applicationDisplayName(),
                                failure, QMessageBox::Ok, QApplication::activeWindow());
            box->setObjectName(QStringLiteral("BackgroundOutputFailure"));
            UseSharpMessageIcon(*box);
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        },
        Qt::SingleShotConnection);
    // A run that cannot even start fails here, in the caller's hands.
    auto forget = qScopeGuard([&report] { QObject::disconnect(report); });
    filter.Run(&pages, firstPage, true, lastPage);
    forget.dismiss();
}

} // namespace

bool ExecutePrintFlow(TRLGraphicStorage& pages,
                      const std::function<void(TRLPrintDialog&)>& driver) {
    TRLPrintParams& params = PrintParams();
    params.Clear();
    params.SetMaxPage(pages.PageCount());
    params.SetOrientation(pages.Orientation() == MetaOrientationLandscape ? poLandscape
                                                                          : poPortrait);
    {
        TRLPrintDialog dialog;
        const bool accepted = driver ? dialog.Execute(driver) : dialog.Execute();
        if (!accepted)
            return false;
    }
    TRLCustomFilter* filter = params.Filter();
    RunOutput(filter ? *filter : SpoolFilter(), pages, params.FromPage(),
              params.PrintInBackground(), params.ToPage());
    return true;
}

QString ProposedSaveFileName(const QString& title) {
    QString name;
    for (const QChar c : title.trimmed()) {
        const char16_t u = c.unicode();
        if (u < 32 || u == 127 || QStringView(u"\"*/:<>?\\|").contains(c))
            continue;
        name.append(c);
    }
    if (name.isEmpty())
        return name;
    return QDir::current().absoluteFilePath(name);
}

bool ExecuteSaveFlow(TRLGraphicStorage& pages, const QString& proposedFileName,
                     const std::function<void(TRLSaveDialog&)>& driver) {
    TRLSaveParams& params = SaveParams();
    params.Clear();
    params.SetMaxPage(pages.PageCount());
    QString fileName = proposedFileName;
    if (fileName.isEmpty() && params.Filter())
        fileName = params.Filter()->FileName();
    params.SetFileName(fileName);
    {
        TRLSaveDialog dialog;
        const bool accepted = driver ? dialog.Execute(driver) : dialog.Execute();
        if (!accepted)
            return false;
    }
    if (TRLCustomSaveFilter* filter = params.Filter()) {
        filter->SetFileName(params.FileName());
        RunOutput(*filter, pages, params.FromPage(), params.SaveInBackground(), params.ToPage());
    } else {
        // The engine's own format always holds the whole document.
        pages.SaveToFile(params.FileName());
    }
    return true;
}

int SavePagesToFile(TRLGraphicStorage& pages, const QString& fileName) {
    if (TRLCustomSaveFilter* filter = SaveFilterByFileName(fileName)) {
        // The filter is the process's own, which the save dialog offers too: it keeps its
        // settings.
        const bool showProgress = filter->ShowProgress();
        const QString previousName = filter->FileName();
        const auto restore = qScopeGuard([&] {
            filter->SetShowProgress(showProgress);
            filter->SetFileName(previousName);
        });
        filter->SetShowProgress(false);
        filter->SetFileName(fileName);
        FilterPages(&pages, filter, 1, false, -1);
        return 0;
    }
    pages.SetFileVersion(TRLGraphicStorage::CurrentFileVersion);
    return pages.SaveToFile(fileName);
}

void PrintReport(TRLCustomReport& report, const std::function<void(TRLPrintDialog&)>& driver) {
    TRLPrinterWrapper& printer = RLPrinter();
    const TRLPageSetup& setup = report.PageSetup();
    printer.SetPaperSize(setup.Orientation() == poLandscape, setup.PaperWidth(),
                         setup.PaperHeight(), setup.ForceEmulation());

    TRLPrintParams& params = PrintParams();
    if (auto* filter = qobject_cast<TRLCustomPrintFilter*>(report.DefaultFilter()))
        params.SetFilter(filter);
    params.Clear();
    params.SetFromPage(1);
    params.SetToPage(std::numeric_limits<int32_t>::max());
    if (report.PrintDialog()) {
        const int helpContext = report.PreviewOptions().HelpContext();
        params.SetHelpContext(helpContext);
        TRLPrintDialogOptions options = params.Options();
        if (helpContext != 0)
            options.Include(rpoHelp);
        params.SetOptions(options);
        if (report.ReportState() == rsPrepared)
            params.SetMaxPage(report.Storage().PageCount());
        params.SetOrientation(setup.Orientation());
        TRLPrintDialog dialog;
        const bool accepted = driver ? dialog.Execute(driver) : dialog.Execute();
        if (!accepted) {
            report.SetCanceled(true);
            return;
        }
    } else {
        printer.SetCopies(params.Copies());
    }
    if (report.ReportState() == rsIdle && !report.Prepare())
        return;
    TRLCustomFilter* filter = params.Filter();
    if (!filter)
        filter = &SpoolFilter();
    filter->SetShowProgress(report.ShowProgress());
    RunOutput(*filter, report.Storage(), params.FromPage(), params.PrintInBackground(),
              params.ToPage());
}

void RegisterOutputHooks() {
    SetReportProgressFactory(&MakeReportProgress);
    SetReportPrintHandler([](TRLCustomReport& report) { PrintReport(report); });
    SetPrinterMetricsProvider([] { return RLPrinter().LoadMetrics(); });
}

} // namespace Kelmora
