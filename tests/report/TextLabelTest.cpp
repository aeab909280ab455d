// Labels: natural size, placement of the recorded text, text events.
#include "ReportTestSupport.h"

using namespace reporttest;

TEST(TextLabel, CenteredLabelTakesItsMeasuredSizeAndSitsInTheMiddleOfItsBand) {
    OneBandReport doc(32);
    doc.band->SetWidth(718);
    auto* label = new TRLLabel(doc.band);
    label->SetFont(BoldArial(10));
    label->SetCaption(QStringLiteral("SOLICITUD DE KELMORA"));
    label->SetAlign(faCenter);
    const QFont font = MeasuringFont(*label);
    const int w = RLTextWidth(font, QStringLiteral("SOLICITUD DE KELMORA "));
    const int h = RLTextHeight(font);
    ASSERT_EQ(doc.band->Width(), 718);
    EXPECT_EQ(label->BoundsRect(),
              (TRLRect{(718 - w) / 2, (32 - h) / 2, (718 - w) / 2 + w, (32 - h) / 2 + h}));

    // The layouts' own case: a label that measured 161 x 16 when the layout was made.
    auto* fixed = new TRLLabel(doc.band);
    fixed->SetAutoSize(false);
    fixed->SetBounds(0, 0, 161, 16);
    label->SetAlign(faNone);
    label->SetVisible(false);
    fixed->SetAlign(faCenter);

    label->SetVisible(true);
    label->SetBounds(10, 4, 5, 5);
    const auto page = doc.Prepare();
    const auto texts = ObjectsOf<TRLTextObject>(*page);
    ASSERT_EQ(texts.size(), 2u);
    const TRLTextObject* t = texts[0];
    // Band at (38, 38) on the page; the label got its natural size back for the print.
    const int space = RLTextWidth(font, QStringLiteral(" "));
    EXPECT_EQ(std::tuple(t->Text, t->BoundsRect, t->Origin),
              std::tuple("SOLICITUD DE KELMORA", TRLRect{48, 42, 48 + w, 42 + h},
                         TRLPoint{48 + space / 2, 42}));
    // The brush is clear: the label never paints behind its text.
    EXPECT_EQ(std::tuple(t->TextFlags, t->Brush.Style),
              std::tuple(MetaTextFlagKeepWhole | MetaTextFlagNoClipping, 2));
    // Centred as it measured, the fixed-size label clips its text.
    EXPECT_EQ(texts[1]->BoundsRect, (TRLRect{38 + 278, 38 + 8, 38 + 439, 38 + 24}));
    EXPECT_EQ(texts[1]->TextFlags, MetaTextFlagKeepWhole);
}

TEST(TextLabel, OriginFollowsAlignmentAndLayoutInsideTheClientRectangle) {
    // Where the text goes in the free room across and down: 0 at the start, 1 centred, 2 at the
    // end; justified text starts where left and top text do.
    struct Case {
        TRLTextAlignment alignment;
        TRLTextLayout layout;
        int across, down;
    };
    const Case cases[] = {{taLeftJustify, tlTop, 0, 0},  {taRightJustify, tlBottom, 2, 2},
                          {taCenter, tlCenter, 1, 1},    {taJustify, tlJustify, 0, 0},
                          {taRightJustify, tlTop, 2, 0}, {taCenter, tlBottom, 1, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.alignment) << "/" << int(c.layout));
        OneBandReport doc(100);
        auto* label = new TRLLabel(doc.band);
        label->SetAutoSize(false);
        label->SetBounds(100, 20, 200, 40);
        label->Borders().SetSides(sdAll);
        label->Borders().SetWidth(2);
        label->SetAlignment(c.alignment);
        label->SetLayout(c.layout);
        label->SetCaption(QStringLiteral("Fecha  :"));
        const QFont font = MeasuringFont(*label);
        const int s = RLTextWidth(font, QStringLiteral(" "));
        const int w = RLTextWidth(font, QStringLiteral("Fecha  : "));
        const int h = RLTextHeight(font);
        const auto page = doc.Prepare();
        const auto texts = ObjectsOf<TRLTextObject>(*page);
        ASSERT_EQ(texts.size(), 1u);
        // Client rectangle on the page: bounds moved by the band's (38, 38), less the borders.
        const TRLRect r{138 + 2, 58 + 2, 338 - 2, 98 - 2};
        EXPECT_EQ(texts[0]->BoundsRect, r);
        EXPECT_EQ(texts[0]->Origin,
                  (TRLPoint{r.Left + s / 2 + (r.Right - r.Left - w) * c.across / 2,
                            r.Top + (r.Bottom - r.Top - h) * c.down / 2}));
        EXPECT_EQ(std::tuple(texts[0]->Alignment, texts[0]->Layout),
                  std::tuple(c.alignment + 1, c.layout + 1));
        EXPECT_EQ(ObjectsOf<TRLRectangleObject>(*page).size(), 4u);
    }
}

TEST(TextLabel, AutoSizeKeepsTheEdgeItsAlignmentNamesAndCountsDrawnBorders) {
    OneBandReport doc(40);
    auto* right = new TRLLabel(doc.band);
    right->SetAlignment(taRightJustify);
    right->SetBounds(100, 0, 200, 16);
    const QFont font = MeasuringFont(*right);
    for (const QString caption : {"Importe", "Importe total en pesos"}) {
        right->SetCaption(caption);
        EXPECT_EQ(std::pair(right->Left() + right->Width(), right->Width()),
                  std::pair(300, RLTextWidth(font, caption + ' ')));
    }

    auto* framed = new TRLLabel(doc.band);
    framed->SetCaption(QStringLiteral("x"));
    const TRLSize plain{framed->Width(), framed->Height()};
    auto grown = [&] {
        return TRLSize{framed->Width() - plain.Width, framed->Height() - plain.Height};
    };
    framed->Borders().SetSides(sdAll);
    framed->Borders().SetWidth(3);
    EXPECT_EQ(grown(), (TRLSize{8, 8}));
    framed->Borders().SetDrawTop(false);
    EXPECT_EQ(grown(), (TRLSize{8, 4}));
    // Fixed-only printing draws no unfixed side, so the size drops back.
    doc.report.SetPrintQuality(pqFixedOnly);
    framed->Borders().SetWidth(2);
    EXPECT_EQ(grown().Width, 0);
}

TEST(TextLabel, EmptyCaptionShowsTheNameAtDesignTimeAndOneBlankWhilePrinting) {
    OneBandReport doc(20);
    auto* label = new TRLLabel(doc.band);
    label->SetName(QStringLiteral("aux_persona"));
    label->SetFont(BoldArial(30)); // far taller than its band
    label->SetCaption(QString());
    const QFont font = MeasuringFont(*label);
    EXPECT_EQ(label->Width(), RLTextWidth(font, QStringLiteral("aux_persona ")));
    int widthWhilePrinting = -1;
    int bandHeightWhilePrinting = -1;
    label->AfterPrint = [&](TRLCustomControl& c) {
        widthWhilePrinting = c.Width();
        bandHeightWhilePrinting = doc.band->Height();
    };
    const auto page = doc.Prepare();
    EXPECT_EQ(widthWhilePrinting, RLTextWidth(font, QStringLiteral(" ")));
    // A label never grows its band.
    EXPECT_EQ(bandHeightWhilePrinting, 20);
    const auto texts = ObjectsOf<TRLTextObject>(*page);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(texts[0]->Text.isEmpty());
    EXPECT_EQ(label->Width(), RLTextWidth(font, QStringLiteral("aux_persona ")));
}

TEST(TextLabel, TextEventsRunInOrderAndOnlyTheTextEventFires) {
    OneBandReport doc(40);
    auto* label = new TRLLabel(doc.band);
    label->SetCaption(QStringLiteral("Persona"));
    auto* hidden = new TRLLabel(doc.band);
    hidden->SetCaption(QStringLiteral("never"));
    QStringList order;
    bool plainEventFired = false;
    static_cast<TRLCustomControl*>(label)->BeforePrint = [&](TRLCustomControl&, bool&) {
        plainEventFired = true;
    };
    label->BeforePrint = [&](TRLCustomControl& sender, QString& text, bool&) {
        EXPECT_EQ(&sender, label);
        order << QStringLiteral("text:") + text;
        text = text.toUpper();
    };
    hidden->BeforePrint = [](TRLCustomControl&, QString&, bool& printIt) { printIt = false; };
    doc.report.OnFilterText = [&](TRLCustomReport& sender, QString& text, bool&) {
        EXPECT_EQ(&sender, &doc.report);
        order << QStringLiteral("filter:") + text;
        text += QLatin1Char('!');
    };
    const auto page = doc.Prepare();
    EXPECT_FALSE(plainEventFired);
    EXPECT_EQ(order, (QStringList{"text:Persona", "filter:PERSONA"}));
    EXPECT_EQ(TextsOf(*page), QStringList{"PERSONA!"});
    EXPECT_FALSE(hidden->PrintVisible());
    // The design caption is untouched by the run.
    EXPECT_EQ(label->Caption(), QStringLiteral("Persona"));
}

// Between runs the report's font changes (the label follows it) and then the label's own: each
// run measures in the font of that moment. The expected widths come from fonts built here, not
// from the engine's own font making.
TEST(TextLabel, MeasuresInTheFontItHasAfterEachChange) {
    auto handMade = [](const TRLFont& f) {
        QFont font(f.Name);
        font.setPixelSize(RLFontPixelSize(f.Size, f.PixelsPerInch));
        font.setBold(f.Style & fsBold);
        font.setItalic(f.Style & fsItalic);
        font.setKerning(false);
        font.setHintingPreference(QFont::PreferNoHinting);
        return font;
    };
    OneBandReport doc(60);
    auto* right = new TRLLabel(doc.band);
    right->SetAutoSize(false);
    right->SetAlignment(taRightJustify);
    right->SetBounds(100, 0, 300, 40);
    right->SetCaption(QStringLiteral("Importe total"));
    auto* sized = new TRLLabel(doc.band);
    sized->SetTop(40);
    sized->SetCaption(QStringLiteral("Medido"));

    const TRLFont large{"Liberation Serif", 16};
    const TRLFont fonts[] = {doc.report.Font(), large, BoldArial(11)};
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        if (run == 1)
            doc.report.SetFont(large);
        if (run == 2) {
            right->SetFont(fonts[2]);
            sized->SetFont(fonts[2]);
        }
        ASSERT_EQ(right->Font(), fonts[run]);
        const QFont font = handMade(fonts[run]);
        const int space = RLTextWidth(font, QStringLiteral(" "));
        EXPECT_EQ(sized->Width(), RLTextWidth(font, QStringLiteral("Medido ")));
        EXPECT_EQ(sized->Height(), RLTextHeight(font));
        const auto page = doc.Prepare();
        const auto texts = ObjectsOf<TRLTextObject>(*page);
        ASSERT_EQ(texts.size(), 2u);
        const int w = RLTextWidth(font, QStringLiteral("Importe total "));
        EXPECT_EQ(texts[0]->Origin.X, 38 + 400 - w + space / 2);
        EXPECT_EQ(texts[1]->BoundsRect.Right - texts[1]->BoundsRect.Left,
                  RLTextWidth(font, QStringLiteral("Medido ")));
    }
}
