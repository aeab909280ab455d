// Bands: order, growth, page breaks, headers and footers, and copies.
#include "ReportTestSupport.h"

using namespace reporttest;

namespace {

// Header bands of 131, 32 and 708 made first, third, second (they print in top order), labelled.
struct ThreeHeaders {
    TRLReport report;
    TRLBand* first;
    TRLBand* second;
    TRLBand* third;
    ThreeHeaders() {
        report.BeginLoad();
        first = AddBand(&report, "B1", btHeader, 38, 131);
        third = AddBand(&report, "B3", btHeader, 201, 708);
        second = AddBand(&report, "B2", btHeader, 169, 32);
        for (TRLBand* b : {first, second, third})
            new FixedLabel(b, b->Name(), 40, 16);
        report.EndLoad();
    }
};

} // namespace

TEST(Bands, SiteExpanderGrowsItsBandForOnePrintOnly) {
    ThreeHeaders doc;
    new Expander(doc.second, 20);
    int heightWhilePrinting = 0;
    doc.second->AfterPrint = [&](TRLCustomControl& band) { heightWhilePrinting = band.Height(); };
    // Only later bands move; design bounds come back, and a second run gives the same page.
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(doc.report.Prepare());
        EXPECT_EQ(heightWhilePrinting, 52);
        EXPECT_EQ(TextBounds(*Page(doc.report), "B2").Top, 169);
        EXPECT_EQ(TextBounds(*Page(doc.report), "B3").Top, 221);
        EXPECT_EQ(std::tuple(doc.first->Height(), doc.second->Height(), doc.third->Top()),
                  std::tuple(131, 32, 201));
    }
}

TEST(Bands, GrownLastHeaderMovesToANewPageThatRepeatsTheHeaders) {
    ThreeHeaders doc;
    new Expander(doc.third, 177); // 201 + 708 + 177 > 1085
    ASSERT_EQ(PreparedPages(doc.report), 2);
    EXPECT_EQ(PageTexts(doc.report, 0), (QStringList{"B1", "B2"}));
    EXPECT_EQ(PageTexts(doc.report, 1), (QStringList{"B1", "B2", "B3"}));
    EXPECT_EQ(TextBounds(*Page(doc.report, 1), "B3").Top, 201);

    // 176 pixels of growth still fit.
    delete doc.third->Controls().back();
    new Expander(doc.third, 176);
    ASSERT_EQ(PreparedPages(doc.report), 1);
}

TEST(Bands, InvisibleBandTakesNoRoom) {
    ThreeHeaders doc;
    doc.second->BeforePrint = [](TRLCustomControl&, bool& printIt) { printIt = false; };
    ASSERT_TRUE(doc.report.Prepare());
    EXPECT_EQ(PageTexts(doc.report), (QStringList{"B1", "B3"}));
    EXPECT_EQ(TextBounds(*Page(doc.report), "B3").Top, 169);
}

TEST(Bands, TitleOnFirstPageHeaderOnEveryPage) {
    RecordsReport report(60);
    report.BeginLoad();
    new FixedLabel(AddBand(&report, "H", btHeader, 38, 20), "header");
    new FixedLabel(AddBand(&report, "T", btTitle, 58, 20), "title");
    new FixedLabel(AddBand(&report, "CH", btColumnHeader, 78, 20), "colhead");
    FieldLabel(AddBand(&report, "D", btDetail, 98, 20), "Name");
    report.EndLoad();
    ASSERT_EQ(PreparedPages(report), 2);
    // (1085 - 38 - 60) / 20 = 49 records on the first page
    EXPECT_EQ(PageTexts(report).mid(0, 4), (QStringList{"header", "title", "colhead", "row 0"}));
    EXPECT_EQ(PageTexts(report, 1).mid(0, 3), (QStringList{"header", "colhead", "row 49"}));
}

TEST(Bands, CarbonCopiesAndGroupIndex) {
    RecordsReport report(2);
    report.BeginLoad();
    auto* a = AddBand(&report, "A", btDetail, 38, 20);
    auto* b = AddBand(&report, "B", btDetail, 58, 20);
    auto* c = AddBand(&report, "C", btDetail, 78, 20);
    report.EndLoad();
    QStringList order;
    for (TRLBand* band : {a, b, c}) {
        auto* label = new FixedLabel(band, QString());
        label->OnText = [&order, band](TRLCustomControl&, QString& text, bool&) {
            text = band->Name() + QString::number(band->CarbonCopy());
            order << text;
        };
    }
    a->SetCarbonCopies(2);
    a->SetGroupIndex(1);
    c->SetGroupIndex(1);
    ASSERT_TRUE(report.Prepare());
    // A and C print together, twice, then B once; for each record.
    EXPECT_EQ(order, (QStringList{"A0", "C0", "A1", "C1", "B0", "A0", "C0", "A1", "C1", "B0"}));
    EXPECT_EQ(report.DetailCount(), 10);
}

TEST(Bands, MaxBandsAndPageBreakingStartNewPages) {
    RecordsReport report(25);
    report.BeginLoad();
    auto* detail = AddBand(&report, "D", btDetail, 38, 20);
    FieldLabel(detail, "Name");
    report.EndLoad();
    report.SetMaxBands(10);
    ASSERT_EQ(PreparedPages(report), 3);
    EXPECT_EQ(PageTexts(report, 1).first(), QStringLiteral("row 10"));
    EXPECT_EQ(PageTexts(report, 2).size(), 5);

    report.SetMaxBands(0);
    for (TRLPageBreaking breaking : {pbAfterPrint, pbBeforePrint}) {
        detail->SetPageBreaking(breaking);
        ASSERT_EQ(PreparedPages(report), 25);
    }
}

TEST(Bands, FooterAtThePageBottomAndCompletionToMaxBands) {
    RecordsReport report(3);
    report.BeginLoad();
    auto* detail = AddBand(&report, "D", btDetail, 38, 20);
    FieldLabel(detail, "Name");
    new FixedLabel(AddBand(&report, "F", btFooter, 58, 30), "foot");
    new FixedLabel(AddBand(&report, "S", btSummary, 88, 10), "sum");
    report.EndLoad();
    detail->SetCompletion(ctMaxBands);
    report.SetMaxBands(5);
    ASSERT_EQ(PreparedPages(report), 1);
    // Two blank copies complete the page; their labels print nothing.
    EXPECT_EQ(PageTexts(report), (QStringList{"row 0", "row 1", "row 2", "", "", "sum", "foot"}));
    EXPECT_EQ(TextBounds(*Page(report), "sum").Top, 38 + 5 * 20);
    EXPECT_EQ(TextBounds(*Page(report), "foot").Top, 1085 - 30);
    EXPECT_EQ(report.DetailCount(), 3);
}
