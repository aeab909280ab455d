// Labels: natural size, placement of the recorded text, text events.
#include "ReportTestSupport.h"

using namespace Kelmora;

using namespace reporttest;

// Measured sizes are the documents' tests'; here, only a fixed-size label's text is clipped.
TEST(TextLabel, AutoSizedLabelIsNeverClippedAndAFixedOneIs) {
    OneBandReport doc(32);
    (new TRLLabel(doc.band))->SetCaption(QStringLiteral("SOLICITUD DE KELMORA"));
    auto* fixed = new TRLLabel(doc.band);
    fixed->SetAutoSize(false);
    fixed->SetBounds(0, 0, 161, 16);
    fixed->SetAlign(faCenter);
    const auto page = doc.Prepare();
    const auto texts = ObjectsOf<TRLTextObject>(*page);
    ASSERT_EQ(texts.size(), 2u);
    // The brush is clear: the label never paints behind its text.
    EXPECT_EQ(std::tuple(texts[0]->TextFlags, texts[0]->Brush.Style),
              std::tuple(MetaTextFlagKeepWhole | MetaTextFlagNoClipping, 2));
    EXPECT_EQ(std::tuple(texts[1]->BoundsRect, texts[1]->TextFlags),
              std::tuple(TRLRect{38 + 278, 38 + 8, 38 + 439, 38 + 24}, MetaTextFlagKeepWhole));
}

TEST(TextLabel, OriginFollowsAlignmentAndLayoutInsideTheClientRectangle) {
    // Where the text goes in the free room across and down: 0 at the start, 1 centred, 2 at the
    // end; justified text starts where left and top text do.
    struct Case {
        TRLTextAlignment alignment;
        TRLTextLayout layout;
        int across, down;
    };
    const Case cases[] = {{taLeftJustify, tlTop, 0, 0},
                          {taRightJustify, tlBottom, 2, 2},
                          {taCenter, tlCenter, 1, 1},
                          {taJustify, tlJustify, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.alignment) << "/" << int(c.layout));
        OneBandReport doc(100);
        auto* label = new TRLLabel(doc.band);
        label->SetAutoSize(false);
        label->SetBounds(100, 20, 200, 40);
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
        // Client rectangle on the page: bounds moved by the band's (38, 38).
        const TRLRect r{138, 58, 338, 98};
        EXPECT_EQ(texts[0]->BoundsRect, r);
        EXPECT_EQ(texts[0]->Origin,
                  (TRLPoint{r.Left + s / 2 + (r.Right - r.Left - w) * c.across / 2,
                            r.Top + (r.Bottom - r.Top - h) * c.down / 2}));
        EXPECT_EQ(std::tuple(texts[0]->Alignment, texts[0]->Layout),
                  std::tuple(c.alignment + 1, c.layout + 1));
    }
}

// The edge that auto-size keeps is the control tests' (AdjustBounds); here, drawn borders.
TEST(TextLabel, AutoSizeCountsDrawnBorders) {
    OneBandReport doc(40);
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
    label->SetFont(TRLFont{"Arial", 30, fsBold}); // far taller than its band
    label->SetCaption(QString());
    const QFont font = MeasuringFont(*label);
    EXPECT_EQ(label->Width(), RLTextWidth(font, QStringLiteral("aux_persona ")));
    int widthWhilePrinting = -1;
    int bandHeightWhilePrinting = -1;
    QObject::connect(label, &TRLCustomControl::AfterPrint, [&](TRLCustomControl& c) {
        widthWhilePrinting = c.Width();
        bandHeightWhilePrinting = doc.band->Height();
    });
    const auto page = doc.Prepare();
    EXPECT_EQ(widthWhilePrinting, RLTextWidth(font, QStringLiteral(" ")));
    // A label never grows its band.
    EXPECT_EQ(bandHeightWhilePrinting, 20);
    const auto texts = ObjectsOf<TRLTextObject>(*page);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_TRUE(texts[0]->Text.isEmpty());
    EXPECT_EQ(label->Width(), RLTextWidth(font, QStringLiteral("aux_persona ")));
}

TEST(TextLabel, TextEventsRunInOrderAndEachMayDropThePrint) {
    OneBandReport doc(40);
    auto* label = new TRLLabel(doc.band);
    label->SetCaption(QStringLiteral("Persona"));
    auto* hidden = new TRLLabel(doc.band);
    hidden->SetCaption(QStringLiteral("never"));
    auto* dropped = new TRLLabel(doc.band);
    dropped->SetCaption(QStringLiteral("dropped"));
    (new TRLLabel(doc.band))->SetCaption(QStringLiteral("filtered"));
    QStringList order;
    for (TRLCustomLabel* l : {label, hidden, dropped})
        QObject::connect(l, &TRLCustomControl::BeforePrint, [&](TRLCustomControl& sender, bool&) {
            order << QStringLiteral("print:") + sender.Caption();
        });
    QObject::connect(label, &TRLCustomLabel::BeforePrint,
                     [&](TRLCustomControl&, QString& text, bool&) {
                         order << QStringLiteral("text:") + text;
                         text = text.toUpper();
                     });
    // Left out before its text is made: no text event, no filter.
    QObject::connect(hidden, &TRLCustomControl::BeforePrint,
                     [](TRLCustomControl&, bool& printIt) { printIt = false; });
    QObject::connect(hidden, &TRLCustomLabel::BeforePrint,
                     [&](TRLCustomControl&, QString& text, bool&) { order << "text:" + text; });
    // Left out by its text event: no filter.
    QObject::connect(dropped, &TRLCustomLabel::BeforePrint,
                     [](TRLCustomControl&, QString&, bool& printIt) { printIt = false; });
    QObject::connect(&doc.report, &TRLCustomReport::OnFilterText,
                     [&](TRLCustomReport&, QString& text, bool& printIt) {
                         order << QStringLiteral("filter:") + text;
                         printIt = text != QStringLiteral("filtered");
                         text += QLatin1Char('!');
                     });
    const auto page = doc.Prepare();
    EXPECT_EQ(order, (QStringList{"print:Persona", "text:Persona", "filter:PERSONA", "print:never",
                                  "print:dropped", "filter:filtered"}));
    EXPECT_EQ(TextsOf(*page), QStringList{"PERSONA!"});
    // The design caption is untouched by the run.
    EXPECT_EQ(label->Caption(), QStringLiteral("Persona"));
}

// Each run measures in the font of that moment (the report's, then its own), built here by hand.
TEST(TextLabel, MeasuresInTheFontItHasAfterEachChange) {
    auto handMade = [](const TRLFont& f) {
        QFont font(f.Name);
        font.setPixelSize(RLFontPixelSize(f.Size, f.PixelsPerInch));
        font.setBold(f.Style & fsBold);
        font.setKerning(false);
        font.setHintingPreference(QFont::PreferNoHinting);
        return font;
    };
    OneBandReport doc(60);
    auto* label = new TRLLabel(doc.band);
    label->SetCaption(QStringLiteral("Medido"));
    const TRLFont fonts[] = {doc.report.Font(), {"Liberation Serif", 16}, {"Arial", 11, fsBold}};
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        if (run == 1)
            doc.report.SetFont(fonts[1]);
        if (run == 2)
            label->SetFont(fonts[2]);
        ASSERT_EQ(label->Font(), fonts[run]);
        const QFont font = handMade(fonts[run]);
        const int w = RLTextWidth(font, QStringLiteral("Medido "));
        EXPECT_EQ((TRLSize{label->Width(), label->Height()}), (TRLSize{w, RLTextHeight(font)}));
        const auto page = doc.Prepare();
        const TRLRect printed = TextBounds(*page, QStringLiteral("Medido"));
        EXPECT_EQ(printed.Right - printed.Left, w);
    }
}

// A label 18 pixels from its band's right edge wraps every word onto a line of its own; a
// caption that would make more than kMaxTextLines lines refuses the run naming the label.
TEST(TextLabel, AWrappedCaptionOfMoreLinesThanTheBoundIsRefused) {
    OneBandReport doc(20);
    auto* label = new TRLLabel(doc.band);
    label->SetName(QStringLiteral("Etiqueta"));
    label->SetLeft(700);
    label->SetCaption(QStringLiteral("x ").repeated(kMaxTextLines));
    doc.Prepare();
    EXPECT_EQ(TextObjectsOfAllPages(doc.report), size_t(kMaxTextLines));

    label->SetCaption(QStringLiteral("x ").repeated(kMaxTextLines + 1));
    try {
        doc.report.Prepare();
        FAIL() << "the label printed more than the bound";
    } catch (const TRLException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Etiqueta: more than 100000 lines of text, the "
                                              "most a label may print"));
    }
}
