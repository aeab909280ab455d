// Memos: the line breaking rule, laid-out size, growth of the band, justified lines.
#include "ReportTestSupport.h"

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
        // Blanks that push a line past its width end it at the next blank; the rest of the run
        // of blanks is skipped and the next line starts with the next word.
        {"aaa    bbb", W("aaa"), "aaa ~|bbb", {W("aaa") + blank}},
        // Blanks before a word that does not fit go with neither line.
        {"aaa  bbb", W("aaa  bb"), "aaa~|bbb", {W("aaa")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.Text << "\" in " << c.Width);
        const auto lines = BreakTextLines(QString::fromUtf8(c.Text), c.Width, ArialFont());
        EXPECT_EQ(Broken(lines), QString::fromUtf8(c.Lines));
        for (size_t i = 0; i < c.Widths.size() && i < lines.size(); ++i)
            EXPECT_EQ(lines[i].Width, c.Widths[i]) << "line " << i;
    }
}

TEST(TextMemoBreaking, NextTextLineLeavesThePositionAtTheFollowingLine) {
    int position = 0;
    const QString text = QStringLiteral("one two\r\nthree");
    EXPECT_EQ(NextTextLine(text, position, W("one"), ArialFont()).Text, QStringLiteral("one"));
    EXPECT_EQ(position, 4);
    EXPECT_EQ(NextTextLine(text, position, W("one"), ArialFont()).Text, QStringLiteral("two"));
    EXPECT_EQ(position, 9);
}

TEST(TextMemo, CaptionIsTheLinesWithLineBreaksOrTheNameWhenBlank) {
    TRLMemo memo;
    memo.SetName(QStringLiteral("RLMemo1"));
    memo.SetLines({QStringLiteral("   ")});
    EXPECT_EQ(memo.Caption(), QStringLiteral("RLMemo1"));
    memo.SetLines({QStringLiteral("A"), QStringLiteral("B")});
    EXPECT_EQ(memo.Caption(), QStringLiteral("A\r\nB\r\n"));
}

TEST(TextMemo, HeightIsOneLineHeightPerLinePlusDrawnTopAndBottomBorders) {
    OneBandReport doc(200);
    auto* memo = new TRLMemo(doc.band);
    memo->SetWidth(W("aaa bbb"));
    const int lh = RLTextHeight(ArialFont());
    memo->SetLines({QStringLiteral("aaa bbb ccc ddd eee")});
    EXPECT_EQ(memo->Height(), 3 * lh);
    EXPECT_EQ(memo->Width(), W("aaa bbb"));
    memo->Borders().SetSides(sdAll);
    memo->Borders().SetWidth(2);
    EXPECT_EQ(memo->Height(), 3 * lh + 6);
    // Wrapping for the size happens at the width even without word wrap.
    memo->Borders().SetSides(sdNone);
    memo->SetWordWrap(false);
    EXPECT_EQ(memo->Height(), 3 * lh);
    memo->SetLines({QStringLiteral("A"), QString(), QStringLiteral("B")});
    EXPECT_EQ(memo->Height(), 3 * lh);
    memo->SetAutoSize(false);
    memo->SetHeight(7);
    memo->SetLines({QStringLiteral("x")});
    EXPECT_EQ(memo->Height(), 7);
}

TEST(TextMemo, GrowsItsBandForOnePrintOnly) {
    OneBandReport doc(32);
    TRLBand* below = doc.AddBand(QStringLiteral("Below"), btHeader, 20);
    auto* under = new TRLLabel(below);
    under->SetCaption(QStringLiteral("under"));
    auto* memo = new TRLMemo(doc.band);
    memo->SetBounds(10, 4, W("aaa bbb"), 10);
    memo->SetLines({QStringLiteral("aaa")});
    const int lh = RLTextHeight(ArialFont());
    ASSERT_EQ(memo->Height(), lh);
    const int design = doc.band->Height();
    // The application's text arrives only while printing: three lines instead of one.
    memo->BeforePrint = [](TRLCustomControl&, QString& text, bool&) {
        text = QStringLiteral("aaa bbb ccc ddd eee");
    };
    int bandHeight = 0;
    doc.band->AfterPrint = [&](TRLCustomControl& band) { bandHeight = band.Height(); };
    const auto page = doc.Prepare();
    EXPECT_EQ(bandHeight, design + 2 * lh);
    EXPECT_EQ(doc.band->Height(), design);
    EXPECT_EQ(memo->Height(), lh);

    const auto texts = ObjectsOf<TRLTextObject>(*page);
    ASSERT_EQ(texts.size(), 4u);
    const int left = 38 + 10;
    const int top = 38 + 4;
    const QStringList expected{"aaa bbb", "ccc ddd", "eee"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(texts[size_t(i)]->Text, expected[i]);
        EXPECT_EQ(texts[size_t(i)]->BoundsRect,
                  (TRLRect{left, top + i * lh, left + W("aaa bbb"), top + (i + 1) * lh}));
        EXPECT_EQ(texts[size_t(i)]->Origin, (TRLPoint{left, top + i * lh}));
        EXPECT_EQ(texts[size_t(i)]->TextFlags, MetaTextFlagKeepWhole | MetaTextFlagNoClipping);
    }
    // The band below moved down by the growth.
    EXPECT_EQ(texts[3]->Text, QStringLiteral("under"));
    EXPECT_EQ(texts[3]->BoundsRect.Top, 38 + design + 2 * lh);
}

TEST(TextMemo, JustifiesWrappedLinesAndLeavesParagraphEndsLeftAligned) {
    OneBandReport doc(300);
    auto* memo = new TRLMemo(doc.band);
    memo->SetBounds(0, 0, W("aaa bbb"), 10);
    memo->SetAlignment(taJustify);
    memo->SetLines({QStringLiteral("aaa bbb ccc ddd e"), QStringLiteral("fff")});
    const auto page = doc.Prepare();
    std::vector<std::pair<QString, int>> lines;
    for (const TRLTextObject* t : ObjectsOf<TRLTextObject>(*page)) {
        lines.emplace_back(t->Text, t->Alignment);
        EXPECT_EQ(t->Origin.X, 38);
    }
    const int justify = MetaTextAlignmentJustify, left = MetaTextAlignmentLeft;
    EXPECT_EQ(lines, (decltype(lines){
                         {"aaa bbb", justify}, {"ccc ddd", justify}, {"e", left}, {"fff", left}}));
}

TEST(TextMemo, RightAndCentredLinesStartFromTheirOwnWidth) {
    for (TRLTextAlignment alignment : {taRightJustify, taCenter}) {
        OneBandReport doc(300);
        auto* memo = new TRLMemo(doc.band);
        memo->SetBounds(0, 0, 200, 10);
        memo->SetAlignment(alignment);
        memo->SetLines({QStringLiteral("ab"), QStringLiteral("abcdef")});
        const auto page = doc.Prepare();
        const auto texts = ObjectsOf<TRLTextObject>(*page);
        ASSERT_EQ(texts.size(), 2u);
        for (const TRLTextObject* t : texts) {
            const int w = W(t->Text);
            const int expected =
                alignment == taRightJustify ? 38 + 200 - w : (38 + 38 + 200 - w) / 2;
            EXPECT_EQ(t->Origin.X, expected) << t->Text.toStdString();
            EXPECT_EQ(t->Alignment, alignment + 1);
        }
    }
}

TEST(TextMemo, WithoutWordWrapEachParagraphPrintsOnOneLine) {
    OneBandReport doc(300);
    auto* memo = new TRLMemo(doc.band);
    memo->SetBounds(0, 0, W("aaa"), 10);
    memo->SetWordWrap(false);
    memo->SetAutoSize(false);
    memo->SetHeight(100);
    memo->SetLines({QStringLiteral("aaa bbb ccc"), QStringLiteral("ddd eee")});
    const auto page = doc.Prepare();
    QStringList texts;
    for (const TRLTextObject* t : ObjectsOf<TRLTextObject>(*page)) {
        texts << t->Text;
        // The line keeps the memo's rectangle however long the text is.
        EXPECT_EQ(t->BoundsRect.Right, 38 + W("aaa"));
    }
    EXPECT_EQ(texts, (QStringList{"aaa bbb ccc", "ddd eee"}));
}

TEST(TextMemo, LinesStopOnceTheHeightIsPassed) {
    OneBandReport doc(300);
    auto* memo = new TRLMemo(doc.band);
    const int lh = RLTextHeight(ArialFont());
    memo->SetAutoSize(false);
    memo->SetBounds(0, 0, 300, lh + lh / 2);
    memo->SetLines({"one", "two", "three", "four"});
    const auto page = doc.Prepare();
    const auto texts = ObjectsOf<TRLTextObject>(*page);
    // The second line starts inside the memo and is cut to its bottom; no third line.
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1]->Text, QStringLiteral("two"));
    EXPECT_EQ(texts[1]->BoundsRect.Bottom, 38 + lh + lh / 2);
}
