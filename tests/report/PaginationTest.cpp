// Page breaking: every band between the margins, every page of records closed by its footers.
#include "ReportTestSupport.h"

#include <string>

using namespace Kelmora;

using namespace reporttest;

namespace {

// A4 portrait with 10 mm margins: bands go between 38 and 1085.
constexpr int PageTop = 38;
constexpr int PageBottom = 1085;

// A label as tall as its band, so that its text object shows where the band went.
FixedLabel* Fill(TRLBand* band, const QString& caption) {
    return new FixedLabel(band, caption, 100, band->Height());
}

FixedLabel* FillWithRecord(TRLBand* band) {
    return FieldLabel(band, "Name", {}, 100, band->Height());
}

// How many texts of the report's pages reach below the bottom margin (or above the top one).
int Overflows(TRLReport& report) {
    int outside = 0;
    for (int i = 0; i < report.Storage().PageCount(); ++i) {
        const auto page = Page(report, i); // held while its texts are read
        for (const TRLRect& r : BoundsOf<TRLTextObject>(*page))
            outside += r.Bottom > PageBottom || r.Top < PageTop;
    }
    return outside;
}

// Header 20, column header 20, details 25, column footer 15, footer 30.
struct ListReport {
    RecordsReport report;
    TRLBand* columnFooter;
    TRLBand* summary = nullptr;
    explicit ListReport(int rows, int summaryHeight = 0) : report(rows) {
        report.BeginLoad();
        Fill(AddBand(&report, "H", btHeader, 38, 20), "head");
        Fill(AddBand(&report, "CH", btColumnHeader, 58, 20), "colhead");
        FillWithRecord(AddBand(&report, "D", btDetail, 78, 25));
        Fill(columnFooter = AddBand(&report, "CF", btColumnFooter, 103, 15), "colfoot");
        if (summaryHeight > 0)
            Fill(summary = AddBand(&report, "S", btSummary, 118, summaryHeight), "sum");
        Fill(AddBand(&report, "F", btFooter, 200, 30), "foot");
        report.EndLoad();
    }
    // What each page holds, records counted: "head colhead rows:38 colfoot foot".
    std::vector<std::string> Outlines() {
        std::vector<std::string> pages;
        for (int i = 0; i < report.Storage().PageCount(); ++i) {
            QStringList outline;
            for (const QString& text : PageTexts(report, i)) {
                if (!text.startsWith(QLatin1String("row ")))
                    outline << text;
                else if (outline.isEmpty() || !outline.last().startsWith(QLatin1String("rows:")))
                    outline << QStringLiteral("rows:1");
                else
                    outline.last() =
                        QStringLiteral("rows:%1").arg(outline.last().mid(5).toInt() + 1);
            }
            pages.push_back(outline.join(' ').toStdString());
        }
        return pages;
    }
};

using Pages = std::vector<std::string>;

} // namespace

// The room for records: 1085 - 30 (footer) - 15 (column footer) - 78 = 962, 38 records. A plain
// column footer follows the last record; a bottom-aligned one closes every page of records.
TEST(Pagination, DetailsLeaveRoomForTheColumnFooter) {
    for (bool bottom : {false, true}) {
        SCOPED_TRACE(bottom ? "bottom-aligned column footer" : "plain column footer");
        ListReport list(100);
        list.columnFooter->SetAlignToBottom(bottom);
        ASSERT_TRUE(list.report.Prepare());
        EXPECT_EQ(list.Outlines(),
                  (Pages{"head colhead rows:38 colfoot foot", "head colhead rows:38 colfoot foot",
                         "head colhead rows:24 colfoot foot"}));
        EXPECT_EQ(Overflows(list.report), 0);
        const std::vector<int> tops = bottom ? std::vector<int>{1040, 1040, 1040}
                                             : std::vector<int>{1028, 1028, 78 + 24 * 25};
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(TextBounds(*Page(list.report, i), "colfoot").Top, tops[i]);
    }
}

// A summary of 40 after the records (tops: column footer's on page 1, summary's on the last).
TEST(Pagination, SummaryFollowsTheColumnFooterOnThePageThatHasRoomForIt) {
    const struct {
        int Records;
        bool ColumnFooterAtBottom, SummaryAtBottom;
        Pages Outlines;
        int ColumnFooterTop, SummaryTop;
    } cases[] = {
        // 20 records end at 578; the column footer goes to the bottom, leaving the summary no room.
        {20, true, false, {"head colhead rows:20 colfoot foot", "head colhead sum foot"}, 1040, 78},
        // A bottom-aligned summary takes its place below the column footer on the same page.
        {20, true, true, {"head colhead rows:20 colfoot sum foot"}, 1055 - 40 - 15, 1055 - 40},
        // A plain column footer leaves the summary room right under the records.
        {20, false, false, {"head colhead rows:20 colfoot sum foot"}, 578, 593},
        // 38 records fill page 1; the summary's own page has headers and footer, no column footer.
        {38,
         false,
         false,
         {"head colhead rows:38 colfoot foot", "head colhead sum foot"},
         1028,
         78},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        ListReport list(c.Records, 40);
        list.columnFooter->SetAlignToBottom(c.ColumnFooterAtBottom);
        list.summary->SetAlignToBottom(c.SummaryAtBottom);
        ASSERT_TRUE(list.report.Prepare());
        EXPECT_EQ(list.Outlines(), c.Outlines);
        EXPECT_EQ(Overflows(list.report), 0);
        const int last = list.report.Storage().PageCount() - 1;
        EXPECT_EQ(TextBounds(*Page(list.report), "colfoot").Top, c.ColumnFooterTop);
        EXPECT_EQ(TextBounds(*Page(list.report, last), "sum").Top, c.SummaryTop);
    }
}

TEST(Pagination, FullPageCompletionStopsAboveTheColumnFooter) {
    RecordsReport report(3);
    report.BeginLoad();
    auto* detail = AddBand(&report, "D", btDetail, 38, 25);
    FillWithRecord(detail);
    Fill(AddBand(&report, "CF", btColumnFooter, 63, 15), "colfoot");
    Fill(AddBand(&report, "F", btFooter, 78, 30), "foot");
    report.EndLoad();
    detail->SetCompletion(ctFullPage);
    ASSERT_EQ(PreparedPages(report), 1);
    // (1085 - 30 - 15 - 38) / 25 = 40 bands, 3 with records and 37 blank.
    EXPECT_EQ(PageTexts(report).size(), 40 + 2);
    EXPECT_EQ(TextBounds(*Page(report), "colfoot").Top, 38 + 40 * 25);
    EXPECT_EQ(Overflows(report), 0);
}

TEST(Pagination, BandTallerThanAPageIsSplitOverAsManyPagesAsItNeeds) {
    TRLReport report;
    report.BeginLoad();
    Fill(AddBand(&report, "H", btHeader, 38, 20), "head");
    auto* tall = AddBand(&report, "T", btTitle, 58, 2500);
    report.EndLoad();
    tall->SetIntegralHeight(false);
    // 25 lines of 100 pixels; each page has 1085 - 58 = 1027 pixels, ten whole lines.
    for (int i = 0; i < 25; ++i)
        (new FixedLabel(tall, QStringLiteral("line %1").arg(i), 100, 100))->SetTop(i * 100);
    ASSERT_EQ(PreparedPages(report), 3);
    EXPECT_EQ(Overflows(report), 0);
    QStringList lines, expected;
    for (int p = 0; p < 3; ++p) {
        const QStringList texts = PageTexts(report, p);
        EXPECT_EQ(texts.value(0), QStringLiteral("head")) << "page " << p + 1;
        lines << texts.mid(1);
    }
    for (int i = 0; i < 25; ++i)
        expected << QStringLiteral("line %1").arg(i);
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(TextBounds(*Page(report, 1), "line 10").Top, 58);
    EXPECT_EQ(TextBounds(*Page(report, 2), "line 24").Bottom, 58 + 500);
}

TEST(Pagination, BandTallerThanAPageWithoutAFreeRowIsCutAtTheMargin) {
    TRLReport report;
    report.BeginLoad();
    Fill(AddBand(&report, "H", btHeader, 38, 20), "head");
    auto* tall = AddBand(&report, "T", btTitle, 58, 1500);
    report.EndLoad();
    tall->SetIntegralHeight(false);
    // A line taller than a page leaves no free row: on a page of its own it is cut at the margin.
    new FixedLabel(tall, "giant", 100, 1500);
    ASSERT_TRUE(report.Prepare());
    int pagesWithTheBand = 0;
    for (int p = 0; p < report.Storage().PageCount(); ++p) {
        for (const TRLRect& clip : BoundsOf<TRLSetClipRectObject>(*Page(report, p)))
            EXPECT_LE(clip.Bottom, PageBottom) << "page " << p + 1;
        pagesWithTheBand += PageTexts(report, p).contains(QStringLiteral("giant"));
    }
    EXPECT_EQ(pagesWithTheBand, 2);
}
