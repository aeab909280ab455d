// What loading a layout must leave alone: the stored sizes of bands, and the bands themselves.
#include "RLBands.h"
#include "RLControlClasses.h"
#include "RLLayoutReader.h"
#include "RLReport.h"
#include "RLTextControls.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<TRLReport> Read(const char* json) {
    RegisterTextAndGraphicClasses();
    return ReadReportLayoutFromJson(QByteArray(json), QStringLiteral("loading.json"), QString());
}

int BandCount(const TRLReport& report) {
    int count = 0;
    for (TRLCustomControl* c : report.Controls())
        count += dynamic_cast<TRLCustomBand*>(c) != nullptr;
    return count;
}

} // namespace

TEST(LayoutLoading, AMemoSettlingToItsSizeKeepsTheBandsStoredHeight) {
    // The memo is stored taller than its one short line measures.
    const auto report = Read(R"({ "class": "TRLReport", "name": "RLReport1", "children": [
        { "class": "TRLBand", "name": "RLBand1", "BandType": "btHeader", "Top": 38, "Height": 60,
          "children": [
            { "class": "TRLMemo", "name": "RLMemo1", "Left": 10, "Top": 5, "Width": 300,
              "Height": 40, "Lines": ["short"] },
            { "class": "TRLLabel", "name": "RLLabel1", "Left": 10, "Top": 48, "Caption": "below" }
          ] } ] })");
    const auto* band = dynamic_cast<TRLCustomBand*>(report->FindControl("RLBand1"));
    const auto* memo = report->FindControl("RLMemo1");
    ASSERT_NE(band, nullptr);
    ASSERT_NE(memo, nullptr);
    EXPECT_LT(memo->Height(), 40) << "the memo takes its natural height";
    EXPECT_EQ(band->Height(), 60) << "the band keeps the height the layout gives it";
}

TEST(LayoutLoading, AStoredAllowedBandsSetAddsNoBands) {
    const auto report = Read(R"({ "class": "TRLReport", "name": "RLReport1",
        "AllowedBands": ["btHeader", "btDetail"], "children": [
        { "class": "TRLBand", "name": "RLBand1", "BandType": "btHeader", "Height": 30 },
        { "class": "TRLBand", "name": "RLBand2", "BandType": "btDetail", "Height": 20 } ] })");
    EXPECT_EQ(BandCount(*report), 2);
    EXPECT_TRUE(report->AllowedBands().Contains(btHeader));
    EXPECT_TRUE(report->AllowedBands().Contains(btDetail));
    EXPECT_FALSE(report->AllowedBands().Contains(btFooter));
}
