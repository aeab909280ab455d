// Bands: order, growth, page breaks, headers and footers, and copies.
#include "ReportTestSupport.h"

using namespace Kelmora;

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
    QObject::connect(doc.second, &TRLCustomControl::AfterPrint,
                     [&](TRLCustomControl& band) { heightWhilePrinting = band.Height(); });
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
    QObject::connect(doc.second, &TRLCustomControl::BeforePrint,
                     [](TRLCustomControl&, bool& printIt) { printIt = false; });
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

namespace {

// A 200-pixel band with a memo stored 25 pixels tall at the top, "beside" and "inside" next to
// its room, "below" 35 pixels under that room and "lowest" near the band's bottom; a second
// band follows.
const char* const kMemoForm = R"({ "class": "TRLReport", "name": "RLReport1", "children": [
    { "class": "TRLBand", "name": "RLBand1", "BandType": "btHeader", "Height": 200,
      "children": [
        { "class": "TRLMemo", "name": "Memo", "Left": 100, "Top": 10, "Width": 300,
          "Height": 25 },
        { "class": "TRLLabel", "name": "Beside", "Left": 10, "Top": 10, "Caption": "beside" },
        { "class": "TRLLabel", "name": "Inside", "Left": 450, "Top": 30, "Caption": "inside" },
        { "class": "TRLLabel", "name": "Below", "Left": 10, "Top": 70, "Caption": "below" },
        { "class": "TRLLabel", "name": "Lowest", "Left": 400, "Top": 180, "Caption": "lowest" }
      ] },
    { "class": "TRLBand", "name": "RLBand2", "BandType": "btHeader", "Top": 300, "Height": 20,
      "children": [
        { "class": "TRLLabel", "name": "Next", "Left": 10, "Top": 0, "Caption": "next band" }
      ] } ] })";

QStringList Lines(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("renglón %1").arg(i);
    return lines;
}

} // namespace

// Lines past the memo's room move what stands below the room down by as much as they reach past
// the nearest of it, and the band grows as much; what stands beside stays.
TEST(Bands, ControlsBelowAGrownMemoMoveDownByWhatItReachesPastThem) {
    const auto report = ReadReport(kMemoForm);
    report->SetShowProgress(false);
    auto* memo = dynamic_cast<TRLMemo*>(report->FindControl("Memo"));
    ASSERT_NE(memo, nullptr);
    const int lh = RLTextHeight(ToQFont(TRLFont(), 96));
    ASSERT_EQ(lh, 15) << "the cases count 15-pixel lines";
    // The memo's room reaches down to "below": its lines move "below", "lowest" and the next band
    // by as much as they pass it.
    const struct { int Lines, Shift; } cases[] = {{1, 0}, {4, 0}, {5, 15}, {13, 135}, {1, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Lines);
        memo->SetLines(Lines(c.Lines));
        ASSERT_EQ(PreparedPages(*report), 1);
        const auto page = Page(*report);
        EXPECT_EQ(TextBounds(*page, QStringLiteral("renglón %1").arg(c.Lines)).Top,
                  48 + (c.Lines - 1) * lh);
        EXPECT_EQ(TextBounds(*page, "beside").Top, 48);
        EXPECT_EQ(TextBounds(*page, "inside").Top, 68);
        EXPECT_EQ(TextBounds(*page, "below").Top, 38 + 70 + c.Shift);
        EXPECT_EQ(TextBounds(*page, "lowest").Top, 38 + 180 + c.Shift);
        EXPECT_EQ(TextBounds(*page, "next band").Top, 38 + 200 + c.Shift);
        EXPECT_EQ(report->FindControl("Below")->Top(), 70) << "the layout's places come back";
    }
}

// A label whose text would run past its band's right edge wraps at blanks inside the band while
// it prints, keeping one line at design time; what stands below moves down, and the band grows
// to hold it.
TEST(Bands, ALabelRunningPastItsBandsEdgeWrapsAndMovesWhatIsBelow) {
    const auto report = ReadReport(R"({ "class": "TRLReport", "name": "RLReport1", "children": [
        { "class": "TRLBand", "name": "RLBand1", "BandType": "btHeader", "Height": 60,
          "children": [
            { "class": "TRLLabel", "name": "Long", "Left": 500, "Top": 10 },
            { "class": "TRLDraw", "name": "Rule", "DrawKind": "dkLine", "Left": 490, "Top": 21,
              "Width": 228, "Height": 9 },
            { "class": "TRLLabel", "name": "Under", "Left": 10, "Top": 40, "Caption": "under" }
          ] },
        { "class": "TRLBand", "name": "RLBand2", "BandType": "btHeader", "Top": 100,
          "Height": 20, "children": [
            { "class": "TRLLabel", "name": "After", "Left": 10, "Top": 0, "Caption": "after" }
          ] } ] })");
    report->SetShowProgress(false);
    auto* label = dynamic_cast<TRLLabel*>(report->FindControl("Long"));
    ASSERT_NE(label, nullptr);
    const QFont font = ToQFont(TRLFont(), 96);
    const int lh = RLTextHeight(font);
    ASSERT_EQ(lh, 15);
    int ruleTop = 0;
    QObject::connect(report->FindControl("Rule"), &TRLCustomControl::AfterPrint,
                     [&](TRLCustomControl& c) { ruleTop = c.Top(); });
    const QString words = QStringLiteral("Señalización de caminos rurales en Córdoba y también "
                                         "en Santa Fe, según el pliego acordado");
    for (const QString& text : {QStringLiteral("Córdoba"), words}) {
        SCOPED_TRACE(text.toStdString());
        label->SetCaption(text);
        EXPECT_EQ(std::pair(label->Width(), label->Height()),
                  std::pair(RLTextWidth(font, text + ' '), lh));
        ASSERT_EQ(PreparedPages(*report), 1);
        QStringList printed;
        int bottom = 0;
        for (const TRLTextObject* t : ObjectsOf<TRLTextObject>(*Page(*report)))
            if (t->BoundsRect.Left == 538) {
                EXPECT_EQ(t->BoundsRect.Top, 48 + int(printed.size()) * lh);
                EXPECT_LE(t->BoundsRect.Right, 756) << t->Text.toStdString();
                printed << t->Text;
                bottom = t->BoundsRect.Bottom;
            }
        EXPECT_EQ(printed.join(' '), text);
        const int lines = int(printed.size());
        EXPECT_EQ(lines > 1, text == words);
        // The rule under the first line (its 9 pixels reach 5 below it) goes under the last;
        // "under" stands 15 pixels below the one line, and below the rule when that moved. The
        // next band follows the band's 60 pixels or what moved past them.
        EXPECT_EQ(ruleTop, 21 + (lines - 1) * lh);
        const int under = 38 + 40 + std::max(0, bottom + 5 - (38 + 40));
        EXPECT_EQ(TextBounds(*Page(*report), "under").Top, under);
        EXPECT_EQ(TextBounds(*Page(*report), "after").Top, std::max(38 + 60, under + lh));
        EXPECT_EQ(std::pair(label->Height(), report->FindControl("Under")->Top()),
                  std::pair(lh, 40));
    }
}

// A page count is known only when the last page is: its caption holds the macro's name, which is
// wider than the number it becomes, so it must not wrap as if that name were printed.
TEST(Bands, ACaptionWithAPageMacroKeepsItsLineAtTheEdge) {
    const auto report = ReadReport(R"({ "class": "TRLReport", "name": "RLReport1", "children": [
        { "class": "TRLBand", "name": "RLBand1", "BandType": "btFooter", "Height": 22,
          "children": [
            { "class": "TRLLabel", "name": "Of", "Left": 630, "Top": 4,
              "Caption": "de {LastPageNumber}" } ] } ] })");
    report->SetShowProgress(false);
    ASSERT_EQ(PreparedPages(*report), 1);
    QStringList printed;
    for (const TRLTextObject* t : ObjectsOf<TRLTextObject>(*Page(*report)))
        printed << t->Text;
    EXPECT_EQ(printed, QStringList{QStringLiteral("de {LastPageNumber}")});
}
