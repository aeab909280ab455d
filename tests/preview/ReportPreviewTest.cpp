// A report's Preview through the registered handler: into a given control, or into a window
// with the defaults or with the report's own options.
#include "RLPreview.h"
#include "RLPreviewForm.h"
#include "RLReport.h"
#include "RLReportHooks.h"
#include "RLReportPreview.h"

#include <QApplication>

#include <gtest/gtest.h>

namespace {

// The preview windows open at the moment.
QList<TRLPreviewForm*> OpenWindows() {
    QList<TRLPreviewForm*> windows;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<TRLPreviewForm*>(w); form && form->isVisible())
            windows.append(form);
    return windows;
}

class ReportPreview : public ::testing::Test {
protected:
    void SetUp() override {
        RegisterPreviewHandler();
        report.SetPrintEmpty(true);
        saved = PreviewDefaults;
        PreviewDefaults.WindowState = wsNormal;
    }
    void TearDown() override {
        for (TRLPreviewForm* form : OpenWindows())
            delete form;
        SetReportPreviewHandler(nullptr);
        PreviewDefaults = saved;
    }
    TRLReport report;
    TRLPreviewDefaults saved;
};

TEST_F(ReportPreview, AGivenControlGetsTheReportStoreElseAWindowOpensWithTheDefaultsOrOptions) {
    TRLPreview preview;
    EXPECT_TRUE(report.Preview(&preview));
    EXPECT_EQ(preview.Pages(), &report.Storage());
    EXPECT_TRUE(OpenWindows().isEmpty());

    PreviewDefaults.Caption = QStringLiteral("Desde los valores comunes");
    EXPECT_TRUE(report.Preview());
    ASSERT_EQ(OpenWindows().size(), 1);
    TRLPreviewForm* first = OpenWindows().front();
    EXPECT_EQ(first->windowTitle(), QStringLiteral("Desde los valores comunes"));
    EXPECT_EQ(first->Views().front()->Pages(), &report.Storage());

    report.PreviewOptions().SetDefaults(pdIgnoreDefaults);
    report.PreviewOptions().SetCaption(QStringLiteral("Propio"));
    report.PreviewOptions().SetHelpContext(12);
    report.PreviewOptions().SetWindowState(wsNormal);
    EXPECT_TRUE(report.Preview());
    const QList<TRLPreviewForm*> windows = OpenWindows();
    ASSERT_EQ(windows.size(), 2) << "the earlier window stays open";
    TRLPreviewForm* second = windows.front() == first ? windows.back() : windows.front();
    EXPECT_EQ(second->windowTitle(), QStringLiteral("Propio"));
    EXPECT_EQ(second->HelpContext(), 12);
}

} // namespace
