// Memos: the line breaking rule, laid-out size, growth of the band, justified lines.
#include "ReportTestSupport.h"

using namespace Kelmora;

using namespace reporttest;

namespace {

QFont ArialFont() {
    return ToQFont(TRLFont(), 96);
}

int W(const QString& text) {
    return RLTextWidth(ArialFont(), text);
}

// Each line's text, with "~" after a line that was wrapped (not ended by a line break).
QString Broken(const std::vector<TRLTextLine>& lines) {
    QStringList parts;
    for (const auto& line : lines)
        parts << line.Text + (line.Wrapped ? "~" : "");
    return parts.join('|');
}

} // namespace

TEST(TextMemoBreaking, LinesBreakAtBlanksBeforeTheWidthAndAtLineBreaks) {
    const int wide = 100000;
    const int blank = W(" ");
    const struct {
        const char* Text;
        int Width;
        const char* Lines;
        std::vector<int> Widths = {}; // of the first lines, where the case is about them
    } cases[] = {
        // Exactly as wide as two words: they still fit.
        {"aaa bbb ccc", W("aaa bbb"), "aaa bbb~|ccc", {W("aaa bbb"), W("ccc")}},
        {"aaa bbb ccc", W("aaa bbb") - 1, "aaa~|bbb~|ccc"},
        // Long words stand alone and are never cut, even at a width of 0.
        {"a verylongwordindeed b c",
         W("a b"),
         "a~|verylongwordindeed~|b c",
         {W("a"), W("verylongwordindeed")}},
        {"x y", 0, "x~|y"},
        // Line breaks end paragraphs without wrapping; the CR LF after the last line opens no
        // further line; a CR alone breaks too; a lone LF is part of its word.
        {"A\r\n\r\nB", wide, "A||B"},
        {"A\r\nB\r\n", wide, "A|B"},
        {"A\rB", wide, "A|B"},
        {"ab\ncd ef", wide, "ab\ncd ef"},
        // Trailing blanks count; a tab counts as eight blanks.
        {"abc   ", wide, "abc   ", {W("abc") + 3 * blank}},
        {"a\tb", wide, "a\tb", {W("a") + 8 * blank + W("b")}},
        // Blanks pushing a line past its width end it at the next blank; the rest of the run goes.
        {"aaa    bbb", W("aaa"), "aaa ~|bbb", {W("aaa") + blank}},
        // Blanks before a word that does not fit go with neither line.
        {"aaa  bbb", W("aaa  bb"), "aaa~|bbb", {W("aaa")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.Text << "\" in " << c.Width);
        const auto lines = BreakTextLines(c.Text, c.Width, ArialFont());
        EXPECT_EQ(Broken(lines), c.Lines);
        for (size_t i = 0; i < c.Widths.size() && i < lines.size(); ++i)
            EXPECT_EQ(lines[i].Width, c.Widths[i]) << "line " << i;
    }
}

TEST(TextMemo, HeightIsOneLineHeightPerLinePlusDrawnTopAndBottomBorders) {
    OneBandReport doc(200);
    auto* memo = new TRLMemo(doc.band);
    memo->SetWidth(W("aaa bbb"));
    const int lh = RLTextHeight(ArialFont());
    memo->SetLines({QStringLiteral("aaa bbb ccc ddd eee")});
    EXPECT_EQ(memo->Height(), 3 * lh);
    memo->Borders().SetSides(sdAll);
    memo->Borders().SetWidth(2);
    EXPECT_EQ(memo->Height(), 3 * lh + 6);
    // Wrapping for the size happens at the width even without word wrap.
    memo->Borders().SetSides(sdNone);
    memo->SetWordWrap(false);
    EXPECT_EQ(memo->Height(), 3 * lh);
    memo->SetLines({QStringLiteral("A"), QString(), QStringLiteral("B")});
    EXPECT_EQ(std::pair(memo->Height(), memo->Caption()),
              std::pair(3 * lh, QString("A\r\n\r\nB\r\n")));
    // Blank lines show the memo's name at design time.
    memo->SetName(QStringLiteral("RLMemo1"));
    memo->SetLines({QStringLiteral("   ")});
    EXPECT_EQ(memo->Caption(), QStringLiteral("RLMemo1"));
    memo->SetAutoSize(false);
    memo->SetHeight(7);
    memo->SetLines({QStringLiteral("x")});
    EXPECT_EQ(memo->Height(), 7);
}

// Text set while printing, three lines instead of one, grows the band for that print only.
TEST(TextMemo, GrowsItsBandForTheTextItPrints) {
    OneBandReport doc(32);
    auto* memo = new TRLMemo(doc.band);
    memo->SetBounds(10, 4, W("aaa bbb"), 10);
    memo->SetLines({QStringLiteral("aaa")});
    const int lh = RLTextHeight(ArialFont());
    QObject::connect(memo, &TRLCustomMemo::BeforePrint,
                     [](TRLCustomControl&, QString& text, bool&) {
                         text = QStringLiteral("aaa bbb ccc ddd eee");
                     });
    int bandHeight = 0;
    QObject::connect(doc.band, &TRLCustomControl::AfterPrint,
                     [&](TRLCustomControl& band) { bandHeight = band.Height(); });
    doc.Prepare();
    EXPECT_EQ(std::tuple(bandHeight, doc.band->Height(), memo->Height()),
              std::tuple(32 + 2 * lh, 32, lh));
}

// A memo that its layout stores 25 pixels tall settles to one line when it loads, but its band
// keeps room for those 25: lines beyond them grow the band, by text given before the run (as
// the documents do) or by the text event, and a shorter text gives the room back.
TEST(TextMemo, GrowsItsBandBeyondTheHeightItsLayoutGivesIt) {
    const auto report = ReadReport(R"({ "class": "TRLReport", "name": "RLReport1", "children": [
        { "class": "TRLBand", "name": "RLBand1", "BandType": "btHeader", "Height": 100,
          "children": [
            { "class": "TRLMemo", "name": "RLMemo1", "Left": 10, "Top": 20, "Width": 300,
              "Height": 25, "WordWrap": true, "AutoSize": true } ] } ] })");
    auto* memo = dynamic_cast<TRLMemo*>(report->FindControl("RLMemo1"));
    TRLCustomControl* band = report->FindControl("RLBand1");
    ASSERT_TRUE(memo && band);
    report->SetShowProgress(false);
    const int lh = RLTextHeight(ArialFont());
    ASSERT_LT(lh, 25);
    ASSERT_EQ(std::pair(memo->Height(), band->Height()), std::pair(lh, 100));
    QStringList eventLines;
    QObject::connect(memo, &TRLCustomMemo::BeforePrint,
                     [&](TRLCustomControl&, QString& text, bool&) {
                         if (!eventLines.isEmpty())
                             text = eventLines.join("\r\n");
                     });
    int printedBandHeight = 0;
    QObject::connect(band, &TRLCustomControl::AfterPrint,
                     [&](TRLCustomControl& b) { printedBandHeight = b.Height(); });
    for (const bool byEvent : {false, true})
        for (const int count : {1, 2, 13, 1}) {
            SCOPED_TRACE(testing::Message() << count << " lines" << (byEvent ? " by event" : ""));
            QStringList lines;
            for (int i = 1; i <= count; ++i)
                lines << QStringLiteral("línea %1").arg(i);
            eventLines = byEvent ? lines : QStringList();
            memo->SetLines(byEvent ? QStringList{"una"} : lines);
            const int grown = 100 + std::max(0, count * lh - 25);
            EXPECT_EQ(band->Height(), byEvent ? 100 : grown) << "before the run";
            ASSERT_EQ(PreparedPages(*report), 1);
            EXPECT_EQ(printedBandHeight, grown);
            EXPECT_EQ(TextBounds(*Page(*report), lines.back()).Top, 38 + 20 + (count - 1) * lh);
        }
}

// Each printed memo line: text, start, alignment; memo-wide, the last one cut at the bottom.
TEST(TextMemo, LinesPrintAlignedInsideTheMemoUntilItsHeightIsPassed) {
    using Printed = std::vector<std::tuple<QString, int, int>>; // text, left, alignment
    const int lh = RLTextHeight(ArialFont());
    // A memo of that width and height (0: as tall as its lines), printed at (38, 38).
    auto print = [&](TRLTextAlignment alignment, int width, int height, bool wordWrap,
                     const QStringList& lines) {
        OneBandReport doc(300);
        auto* memo = new TRLMemo(doc.band);
        memo->SetBounds(0, 0, width, 10);
        memo->SetAlignment(alignment);
        memo->SetWordWrap(wordWrap);
        if (height) {
            memo->SetAutoSize(false);
            memo->SetHeight(height);
        }
        memo->SetLines(lines);
        const int bottom = 38 + memo->Height();
        Printed printed;
        const auto page = doc.Prepare();
        for (const TRLTextObject* t : ObjectsOf<TRLTextObject>(*page)) {
            const int top = 38 + int(printed.size()) * lh;
            EXPECT_EQ(t->BoundsRect, (TRLRect{38, top, 38 + width, std::min(top + lh, bottom)}));
            printed.emplace_back(t->Text, t->Origin.X, t->Alignment);
        }
        return printed;
    };
    const int justify = MetaTextAlignmentJustify, left = MetaTextAlignmentLeft;
    // Wrapped lines are justified; a paragraph's last line stays on the left.
    EXPECT_EQ(print(taJustify, W("aaa bbb"), 0, true, {"aaa bbb ccc ddd e", "fff"}),
              (Printed{{"aaa bbb", 38, justify},
                       {"ccc ddd", 38, justify},
                       {"e", 38, left},
                       {"fff", 38, left}}));
    // Right and centred lines start from their own width.
    EXPECT_EQ(print(taRightJustify, 200, 0, true, {"ab", "abcdef"}),
              (Printed{{"ab", 238 - W("ab"), taRightJustify + 1},
                       {"abcdef", 238 - W("abcdef"), taRightJustify + 1}}));
    EXPECT_EQ(print(taCenter, 200, 0, true, {"ab", "abcdef"}),
              (Printed{{"ab", (276 - W("ab")) / 2, taCenter + 1},
                       {"abcdef", (276 - W("abcdef")) / 2, taCenter + 1}}));
    // Without word wrap each paragraph prints on one line.
    EXPECT_EQ(print(taLeftJustify, W("aaa"), 100, false, {"aaa bbb ccc", "ddd eee"}),
              (Printed{{"aaa bbb ccc", 38, left}, {"ddd eee", 38, left}}));
    // The second line starts inside the memo and is cut to its bottom; no third line.
    EXPECT_EQ(print(taLeftJustify, 300, lh + lh / 2, true, {"one", "two", "three", "four"}),
              (Printed{{"one", 38, left}, {"two", 38, left}}));
}

// Each printed line is an object of its own on the page: a memo prints at most kMaxTextLines
// lines, refuses a run that would print more naming itself, and shows the first ones in design.
TEST(TextMemo, PrintsAtMostTheBoundOfLinesAndRefusesARunOfMore) {
    OneBandReport doc(20);
    auto* memo = new TRLMemo(doc.band);
    memo->SetName(QStringLiteral("Notas"));
    memo->SetBounds(10, 0, 100, 20);
    const int lh = RLTextHeight(ArialFont());
    memo->SetLines(QStringList(kMaxTextLines, QStringLiteral("x")));
    EXPECT_EQ(memo->Height(), kMaxTextLines * lh);
    doc.Prepare();
    EXPECT_EQ(TextObjectsOfAllPages(doc.report), size_t(kMaxTextLines));

    memo->SetLines(QStringList(kMaxTextLines + 1, QStringLiteral("x")));
    EXPECT_EQ(memo->Height(), kMaxTextLines * lh);
    try {
        doc.report.Prepare();
        FAIL() << "the memo printed more than the bound";
    } catch (const TRLException& e) {
        EXPECT_EQ(
            e.Message(),
            QStringLiteral("Notas: more than 100000 lines of text, the most a memo may print"));
    }
}
