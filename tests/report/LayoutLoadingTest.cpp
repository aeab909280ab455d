// What loading a layout leaves alone (bands' stored sizes, the bands, anchored controls' places).
#include "ReportTestSupport.h"

#include <tuple>

using namespace Kelmora;

namespace {

std::unique_ptr<TRLReport> Read(const QByteArray& json) {
    return reporttest::ReadReport(json, QStringLiteral("loading.json"));
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
    EXPECT_LT(report->FindControl("RLMemo1")->Height(), 40) << "the memo takes its natural height";
    EXPECT_EQ(report->FindControl("RLBand1")->Height(), 60); // as the layout gives it
}

TEST(LayoutLoading, AStoredAllowedBandsSetAddsNoBands) {
    const auto report = Read(R"({ "class": "TRLReport", "name": "RLReport1",
        "AllowedBands": ["btHeader", "btDetail"], "children": [
        { "class": "TRLBand", "name": "RLBand1", "BandType": "btHeader", "Height": 30 },
        { "class": "TRLBand", "name": "RLBand2", "BandType": "btDetail", "Height": 20 } ] })");
    EXPECT_EQ(report->Controls().size(), 2u);
    const TRLAllowedBands allowed = report->AllowedBands();
    EXPECT_EQ(std::tuple(allowed.Contains(btHeader), allowed.Contains(btDetail),
                         allowed.Contains(btFooter)),
              std::tuple(true, true, false));
}

namespace {

// Four memo lines from the layout in a 30-pixel band; the next band must start below them.
const char* const MemoInAShortBand = R"({ "class": "TRLReport", "name": "RLReport1", "children": [
    { "class": "TRLBand", "name": "RLBand1", "BandType": "%1", "Top": 38, "Height": 30,
      "children": [
        { "class": "TRLMemo", "name": "RLMemo1", "Left": 10, "Top": 0, "Width": 200,
          "Height": 30, "Lines": ["uno", "dos", "tres", "cuatro"] } ] },
    { "class": "TRLBand", "name": "RLBand2", "BandType": "%2", "Top": 68, "Height": 20,
      "children": [
        { "class": "TRLLabel", "name": "RLLabel1", "Left": 10, "Top": 0, "Caption": "after" }
      ] } ] })";

std::vector<TRLRect> BoundsOf(const TRLGraphicSurface& page, const QString& text) {
    std::vector<TRLRect> found;
    for (const TRLTextObject* t : reporttest::ObjectsOf<TRLTextObject>(page))
        if (t->Text == text)
            found.push_back(t->BoundsRect);
    return found;
}

} // namespace

// The band grows for each print (a header once, a detail per record), for that print only.
TEST(LayoutLoading, AMemoWithItsTextInTheLayoutGrowsItsBandWhenPrinted) {
    TRLJsonRecordsModel records;
    records.Load(R"([{"n": 1}, {"n": 2}, {"n": 3}])", QStringLiteral("records.json"));
    const std::tuple<const char*, const char*, size_t> cases[] = {{"btHeader", "btHeader", 1},
                                                                  {"btDetail", "btSummary", 3}};
    for (const auto& [type, nextType, prints] : cases) {
        SCOPED_TRACE(type);
        auto report = Read(QString::fromLatin1(MemoInAShortBand).arg(type, nextType).toUtf8());
        if (prints > 1)
            report->SetDataSource(&records);
        ASSERT_EQ(reporttest::PreparedPages(*report), 1);
        const auto page = report->Storage().Pages(0);
        const auto firsts = BoundsOf(*page, "uno");
        const auto lasts = BoundsOf(*page, "cuatro");
        const auto after = BoundsOf(*page, "after");
        ASSERT_EQ(std::tuple(firsts.size(), lasts.size(), after.size()),
                  std::tuple(prints, prints, size_t(1)));
        EXPECT_EQ(firsts[0].Top, 38);
        EXPECT_GT(lasts[0].Bottom, 38 + 30);
        for (size_t i = 1; i < prints; ++i)
            EXPECT_EQ(firsts[i].Top, lasts[i - 1].Bottom);
        EXPECT_EQ(after[0].Top, lasts.back().Bottom);
        EXPECT_EQ(report->FindControl("RLBand1")->Height(), 30);
    }
}

TEST(LayoutLoading, ABandReadWithoutWidthKeepsItsAnchoredControlsWhereTheLayoutPutsThem) {
    const auto report = Read(R"({ "class": "TRLReport", "name": "RLReport1", "children": [
        { "class": "TRLBand", "name": "RLBand1", "BandType": "btHeader", "Height": 40,
          "children": [
            { "class": "TRLLabel", "name": "RLLabel1", "Left": 250, "Top": 5, "Caption": "x",
              "Anchors": ["fkRight"] },
            { "class": "TRLDraw", "name": "RLDraw1", "Left": 20, "Top": 20, "Width": 600,
              "Height": 9, "Anchors": ["fkLeft", "fkRight"] } ] } ] })");
    auto places = [&] {
        auto* line = report->FindControl("RLDraw1");
        return std::tuple(report->FindControl("RLBand1")->Width(),
                          report->FindControl("RLLabel1")->Left(), line->Left(), line->Width());
    };
    EXPECT_EQ(places(), std::tuple(718, 250, 20, 600));
    // From then on the anchors follow the band: a wider left margin narrows it by 38 pixels.
    report->Margins().SetLeftMargin(20);
    EXPECT_EQ(places(), std::tuple(680, 212, 20, 562));
}
