// The control model: geometry, alignment, borders, colours, holders and names.
#include "ReportTestSupport.h"

#include <kelmora/pagestore/RLGraphicData.h>
#include <kelmora/support/RLMessages.h>

#include <QPainter>

#include <set>

using namespace Kelmora;

using namespace reporttest;

namespace {

FixedLabel* Placed(TRLBand* band, TRLRect bounds, TRLControlAlign align = faNone) {
    auto* c = new FixedLabel(band, QString(), 1, 1);
    c->SetAutoSize(false);
    c->SetBoundsRect(bounds);
    c->SetAlign(align);
    return c;
}

} // namespace

TEST(ControlGeometry, CenterAlignedControlIsCentredInItsBand) {
    TRLReport report;
    auto* band = AddBand(&report, "B", btDetail, 0, 32);
    auto* label = new FixedLabel(band, QStringLiteral("x"));
    label->SetAlign(faCenter);
    // Two centred controls sit side by side as one group.
    auto* second = new FixedLabel(band, QStringLiteral("y"), 100, 10);
    second->SetLeft(500);
    second->SetAlign(faCenter);
    EXPECT_EQ(label->Left(), (718 - 261) / 2);
    EXPECT_EQ(second->Left(), label->Left() + 161);
    EXPECT_EQ(second->Top(), (32 - 26) / 2);
}

TEST(ControlGeometry, AlignKindsShareTheFreeArea) {
    TRLReport report;
    auto* band = AddBand(&report, "B", btDetail, 0, 100); // client area 718 x 100
    auto* top = Placed(band, {5, 5, 55, 15}, faTop);
    auto* left = Placed(band, {5, 5, 35, 15}, faLeft);
    auto* right = Placed(band, {5, 5, 45, 15}, faRight);
    auto* bottom = Placed(band, {5, 5, 55, 25}, faBottom);
    auto* leftMost = Placed(band, {5, 5, 12, 12}, faLeftMost);
    auto* client = Placed(band, {5, 5, 6, 6}, faClient);
    EXPECT_EQ(leftMost->BoundsRect(), (TRLRect{0, 0, 7, 100}));
    EXPECT_EQ(top->BoundsRect(), (TRLRect{7, 0, 718, 10}));
    EXPECT_EQ(bottom->BoundsRect(), (TRLRect{7, 80, 718, 100}));
    EXPECT_EQ(left->BoundsRect(), (TRLRect{7, 10, 37, 80}));
    EXPECT_EQ(right->BoundsRect(), (TRLRect{678, 10, 718, 80}));
    EXPECT_EQ(client->BoundsRect(), (TRLRect{37, 10, 678, 80}));
    // A hidden control gives its room back.
    left->SetVisible(false);
    EXPECT_EQ(client->BoundsRect(), (TRLRect{7, 10, 678, 80}));
}

TEST(ControlGeometry, AnchorsFollowTheSiteAndAlignClearsThem) {
    TRLReport report;
    auto* band = AddBand(&report, "B", btDetail, 0, 100);
    // Anchors across are the layout loading tests'; here, down, and against alignment.
    auto* moved = Placed(band, {600, 50, 620, 60});
    moved->SetAnchors({fkRight, fkBottom});
    band->SetHeight(140);
    report.PageSetup().SetOrientation(poLandscape); // the band widens by 329
    EXPECT_EQ(moved->BoundsRect(), (TRLRect{929, 90, 949, 100}));
    moved->SetAlign(faTop);
    EXPECT_TRUE(moved->Anchors().IsEmpty());
    moved->SetAnchors({fkTop});
    EXPECT_EQ(moved->Align(), faNone);
}

TEST(ControlGeometry, AdjustBoundsKeepsTheEdgeThatAlignmentNames) {
    TRLReport report;
    auto* band = AddBand(&report, "B", btDetail, 0, 100);
    auto* label = Placed(band, {100, 20, 180, 50});
    label->natural_ = {40, 10};
    label->SetAlignment(taRightJustify);
    label->SetLayout(tlBottom);
    label->SetAutoSize(true);
    EXPECT_EQ(label->BoundsRect(), (TRLRect{140, 40, 180, 50}));
    // Centred: an odd natural size rounds up to even and stays centred on the old box.
    label->natural_ = {21, 5};
    label->SetAlignment(taCenter);
    label->SetLayout(tlCenter);
    label->AdjustBounds();
    EXPECT_EQ(label->BoundsRect(), (TRLRect{149, 42, 171, 48}));
}

TEST(Borders, FlagRules) {
    TRLReport report;
    TRLBorders& b = report.Borders();
    b.SetSides(sdAll);
    b.SetDrawTop(false);
    EXPECT_EQ(b.Sides(), sdCustom);
    b.SetFixedTop(true); // fixing a side draws it
    EXPECT_TRUE(b.DrawTop());
    EXPECT_EQ(b.Sides(), sdCustom); // all four set, but Sides was not sdAll
    b.SetDrawTop(false);            // clearing a side un-fixes it
    EXPECT_FALSE(b.FixedTop());
    b.SetSides(sdNone);
    b.SetDrawLeft(false); // no change: stays sdNone
    EXPECT_EQ(b.Sides(), sdNone);
    b.SetWidth(3);
    b.SetWidth(-1);
    EXPECT_EQ(b.Width(), 3);
}

TEST(Borders, RecordedSidesDependOnPrintQualityAndWidth) {
    TRLReport report;
    auto* band = AddBand(&report, "B", btHeader, 0, 40);
    auto* label = new FixedLabel(band, QStringLiteral("a"), 100, 20);
    label->Borders().SetSides(sdAll);
    label->Borders().SetWidth(2);
    label->Borders().SetFixedLeft(true);
    ASSERT_TRUE(report.Prepare());
    // left, top, right, bottom; the label is at (38, 38) on the page
    EXPECT_EQ(BoundsOf<TRLRectangleObject>(*Page(report)),
              (std::vector<TRLRect>{
                  {38, 38, 40, 58}, {38, 38, 138, 40}, {136, 38, 138, 58}, {38, 56, 138, 58}}));
    // The text goes inside the borders.
    EXPECT_EQ(TextBounds(*Page(report), QStringLiteral("a")).Left, 40);

    report.SetPrintQuality(pqFixedOnly);
    ASSERT_TRUE(report.Prepare());
    EXPECT_EQ(BoundsOf<TRLRectangleObject>(*Page(report)),
              (std::vector<TRLRect>{{38, 38, 40, 58}}));
}

TEST(Color, ParentColorAndTransparency) {
    TRLReport report;
    auto* band = new TRLBand(&report);
    band->SetColor(Qt::white);
    EXPECT_TRUE(band->Transparent()); // white keeps it transparent
    band->SetColor(Qt::red);
    EXPECT_FALSE(band->Transparent() || band->ParentColor());
    band->SetTransparent(true);
    EXPECT_TRUE(band->ParentColor());
    EXPECT_EQ(band->Color(), QColor(Qt::white));
}

TEST(Degrade, StripsRunFromColourToOpposite) {
    TRLReport report;
    auto* band = AddBand(&report, "B", btHeader, 0, 10);
    band->SetColor(QColor(200, 100, 0));
    band->Degrade().SetDirection(ddHorizontal);
    band->Degrade().SetOppositeColor(QColor(0, 100, 200));
    band->Degrade().SetGranularity(100);
    ASSERT_TRUE(report.Prepare());
    const auto page = Page(report); // held while its objects are read
    const auto fills = ObjectsOf<TRLFillRectObject>(*page);
    // 718 pixels in strips of 100: 8 strips, the last one 18 wide.
    ASSERT_EQ(fills.size(), 8u);
    EXPECT_EQ(std::pair(fills[0]->BoundsRect, fills[7]->BoundsRect),
              std::pair(TRLRect{38, 38, 138, 48}, TRLRect{738, 38, 756, 48}));
    EXPECT_EQ(fills[0]->Brush.Color.ToColor(), QColor(200, 100, 0));
    // strip 1: t = 0.125 -> 200 - 25 + 0, 100 - 12 + 12 (12.5 rounds to even), 0 + 25
    EXPECT_EQ(fills[1]->Brush.Color.ToColor(), QColor(175, 100, 25));

    // The same colour at both ends is a plain fill.
    band->Degrade().SetOppositeColor(QColor(200, 100, 0));
    ASSERT_TRUE(report.Prepare());
    EXPECT_EQ(ObjectsOf<TRLFillRectObject>(*Page(report)).size(), 1u);
}

// The strips in view only, neighbours of one colour as one: a million-pixel band with one
// strip a pixel records no more than its page shows, and the strips still meet without a gap.
TEST(Degrade, OnlyTheStripsInViewAreRecordedAndEqualNeighboursMerge) {
    TRLReport report;
    auto* band = AddBand(&report, "B", btTitle, 0, 1000000);
    band->SetColor(QColor(200, 100, 0));
    band->Degrade().SetDirection(ddVertical);
    band->Degrade().SetOppositeColor(QColor(0, 100, 200));
    band->Degrade().SetGranularity(1);
    ASSERT_GT(PreparedPages(report), 0);
    size_t strips = 0;
    for (int i = 0; i < report.Storage().PageCount(); ++i) {
        const auto page = Page(report, i);
        for (const TRLFillRectObject* fill : ObjectsOf<TRLFillRectObject>(*page)) {
            ++strips;
            EXPECT_LE(fill->BoundsRect.Bottom, page->Height());
        }
    }
    // 200 red steps over a million pixels: one colour over the whole page.
    EXPECT_EQ(strips, 1u);

    // Across 718 pixels the red and blue channels step 200 times: at most 201 strips, which
    // run from the first colour at the left to nearly the opposite one at the right, edge to edge.
    band->SetHeight(10);
    band->Degrade().SetDirection(ddHorizontal);
    ASSERT_TRUE(report.Prepare());
    const auto page = Page(report);
    const auto fills = ObjectsOf<TRLFillRectObject>(*page);
    ASSERT_GT(fills.size(), 100u);
    ASSERT_LE(fills.size(), 201u);
    EXPECT_EQ(fills.front()->BoundsRect.Left, 38);
    EXPECT_EQ(fills.back()->BoundsRect.Right, 756);
    for (size_t i = 1; i < fills.size(); ++i) {
        EXPECT_EQ(fills[i]->BoundsRect.Left, fills[i - 1]->BoundsRect.Right);
        EXPECT_NE(fills[i]->Brush.Color.ToColor(), fills[i - 1]->Brush.Color.ToColor());
    }
    EXPECT_EQ(fills.front()->Brush.Color.ToColor(), QColor(200, 100, 0));
    EXPECT_LE(fills.back()->Brush.Color.ToColor().red(), 1);
}

namespace {

// A picture of w x h pixels in two colours, so that no two neighbours are alike.
QImage Checkered(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, (x + y) % 2 ? qRgb(255, 0, 0) : qRgb(0, 0, 255));
    return image;
}

std::vector<const TRLImageObject*>
ImagesOfAllPages(const TRLCustomReport& report,
                 std::vector<std::shared_ptr<TRLGraphicSurface>>& held) {
    std::vector<const TRLImageObject*> images;
    for (int i = 0; i < report.Storage().PageCount(); ++i) {
        held.push_back(Page(report, i));
        for (const TRLImageObject* image : ObjectsOf<TRLImageObject>(*held.back()))
            images.push_back(image);
    }
    return images;
}

} // namespace

// Tiles on a band that runs a million pixels past its page: those the page shows, no others.
TEST(Background, TilesAreRecordedOnlyWhereThePageShowsThem) {
    TRLReport report;
    auto* band = AddBand(&report, "B", btTitle, 0, 1000000);
    band->Background().SetArrange(baSidebySide);
    band->Background().SetPicture(Checkered(200, 200));
    ASSERT_GT(PreparedPages(report), 0);
    std::vector<std::shared_ptr<TRLGraphicSurface>> held;
    const auto tiles = ImagesOfAllPages(report, held);
    // 718 wide from 38 and cut at the paper's 1123: four columns by six rows of 200.
    ASSERT_EQ(tiles.size(), 24u);
    for (const TRLImageObject* tile : tiles)
        EXPECT_LT(tile->BoundsRect.Top, 1123);
    EXPECT_EQ(tiles.back()->BoundsRect, (TRLRect{638, 1038, 838, 1238}));
}

// Many small tiles in view go as one picture of what the page shows, cut from the tiling at its
// own phase; a picture of one colour is that picture stretched.
TEST(Background, ManyTilesInViewAreOnePicture) {
    TRLReport report;
    auto* band = AddBand(&report, "B", btTitle, 0, 1000000);
    band->Background().SetArrange(baSidebySide);
    band->Background().SetPicture(Checkered(2, 2));
    ASSERT_GT(PreparedPages(report), 0);
    std::vector<std::shared_ptr<TRLGraphicSurface>> held;
    auto images = ImagesOfAllPages(report, held);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0]->BoundsRect, (TRLRect{38, 38, 756, 1123}));
    const QImage drawn = DecodeTaggedData(images[0]->Data);
    ASSERT_EQ(drawn.size(), QSize(718, 1085));
    EXPECT_EQ(drawn.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(drawn.pixel(1, 0), qRgb(255, 0, 0));
    EXPECT_EQ(drawn.pixel(717, 1084), qRgb(255, 0, 0)); // 717 + 1084 is odd

    QImage plain(1, 1, QImage::Format_RGB32);
    plain.fill(qRgb(10, 20, 30));
    band->Background().SetPicture(plain);
    ASSERT_GT(PreparedPages(report), 0);
    held.clear();
    images = ImagesOfAllPages(report, held);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0]->BoundsRect, (TRLRect{38, 38, 756, 1123}));
    EXPECT_EQ(DecodeTaggedData(images[0]->Data).size(), QSize(1, 1));
}

// A group's bands run on past the group's own height, which is only its design's: a gradient
// and tiles on a band in a group are drawn on every band the page shows.
TEST(Background, BandsInAGroupKeepTheirGradientAndTilesDownThePage) {
    RecordsReport report(60);
    report.BeginLoad();
    auto* group = new TRLGroup(&report);
    group->SetName(QStringLiteral("Grupo"));
    group->SetDataFields(QStringLiteral("Country"));
    auto* band = AddBand(group, "Detalle", btDetail, 0, 30);
    band->SetColor(QColor(255, 0, 0));
    band->Degrade().SetDirection(ddHorizontal);
    band->Degrade().SetOppositeColor(QColor(0, 0, 255));
    band->Degrade().SetGranularity(100);
    band->Background().SetArrange(baSidebySide);
    band->Background().SetPicture(Checkered(2, 2));
    report.EndLoad();
    ASSERT_GT(PreparedPages(report), 1);
    const auto page = Page(report);
    std::set<int> stripTops, tileTops, texts;
    for (const TRLFillRectObject* fill : ObjectsOf<TRLFillRectObject>(*page))
        stripTops.insert(fill->BoundsRect.Top);
    for (const TRLImageObject* image : ObjectsOf<TRLImageObject>(*page))
        tileTops.insert(image->BoundsRect.Top);
    // A full first page of 30-pixel bands from 38 down to 1085.
    EXPECT_EQ(stripTops.size(), size_t((1085 - 38) / 30));
    EXPECT_EQ(tileTops, stripTops);
}

// A large picture behind a band printed on every record: at its own size only the part in view
// is recorded; stretched, at no more than eight pixels a report pixel of the band.
TEST(Background, ALargePictureIsRecordedOnlyAsFarAsItsBandShowsIt) {
    QImage photo(1000, 1000, QImage::Format_RGB32);
    photo.fill(QColor(30, 120, 200));
    QPainter(&photo).fillRect(0, 500, 1000, 500, QColor(240, 200, 20));
    RecordsReport report(3);
    auto* band = AddBand(&report, "Detalle", btDetail, 0, 60);
    band->Background().SetArrange(baCenter);
    band->Background().SetPicture(photo);
    ASSERT_EQ(PreparedPages(report), 1);
    std::vector<std::shared_ptr<TRLGraphicSurface>> held;
    auto images = ImagesOfAllPages(report, held);
    ASSERT_EQ(images.size(), 3u);
    for (size_t i = 0; i < images.size(); ++i) {
        const int top = 38 + int(i) * 60;
        EXPECT_EQ(images[i]->BoundsRect, (TRLRect{38, top, 756, top + 60}));
        const QImage shown = DecodeTaggedData(images[i]->Data);
        ASSERT_EQ(shown.size(), QSize(718, 60));
        // The centre of the picture, where its halves meet, is the centre of the band.
        EXPECT_EQ(shown.pixelColor(359, 29), QColor(30, 120, 200));
        EXPECT_EQ(shown.pixelColor(359, 30), QColor(240, 200, 20));
    }

    band->Background().SetStretch(true);
    ASSERT_EQ(PreparedPages(report), 1);
    held.clear();
    images = ImagesOfAllPages(report, held);
    ASSERT_EQ(images.size(), 3u);
    for (const TRLImageObject* image : images) {
        EXPECT_EQ(image->BoundsRect.Bottom - image->BoundsRect.Top, 60);
        EXPECT_EQ(DecodeTaggedData(image->Data).size(), QSize(1000, 480));
    }
}

// Tiles over a paper five metres square would need a picture of 350 million pixels.
TEST(Background, TilesOverMoreThanTheBoundAreRefusedNamingTheSite) {
    TRLReport report;
    report.PageSetup().SetPaperSize(fpCustom);
    report.PageSetup().SetPaperWidth(5000);
    report.PageSetup().SetPaperHeight(5000);
    auto* band = AddBand(&report, "Fondo", btTitle, 0, 1000000);
    band->Background().SetArrange(baSidebySide);
    band->Background().SetPicture(Checkered(2, 2));
    try {
        report.Prepare();
        FAIL() << "the tiles were recorded";
    } catch (const TRLException& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Fondo.Background: ")))
            << e.Message().toStdString();
    }
}

TEST(Holders, StylesFollowTheHolder) {
    TRLReport report;
    auto* band = AddBand(&report, "B", btDetail, 0, 200);
    auto* holder = Placed(band, {100, 10, 180, 30});
    auto held = [&](TRLRect bounds, TRLHoldStyle style) {
        auto* c = Placed(band, bounds);
        c->SetHoldStyle(style);
        c->SetHolder(holder);
        return c;
    };
    auto* column = held({5, 50, 35, 60}, hsAsColumn);
    column->AdjustBounds();
    EXPECT_EQ(column->BoundsRect(), (TRLRect{100, 50, 180, 60}));
    auto* vertical = held({300, 40, 330, 50}, hsVertically);
    auto* relative = held({250, 60, 280, 70}, hsRelatively);
    auto* copy = held({400, 100, 430, 110}, hsCopySize);

    holder->SetBounds(120, 30, 60, 25); // moves by (20, 20), resizes
    EXPECT_EQ(column->BoundsRect(), (TRLRect{120, 50, 180, 60}));
    EXPECT_EQ(vertical->BoundsRect(), (TRLRect{300, 60, 330, 70}));
    EXPECT_EQ(relative->BoundsRect(), (TRLRect{270, 80, 300, 90}));
    EXPECT_EQ(copy->BoundsRect(), (TRLRect{400, 100, 460, 125}));

    // A right-justified column lines up with the holder's right edge at its auto-size width.
    column->SetAlignment(taRightJustify);
    column->SetAutoSize(true);
    column->natural_ = {20, 10};
    column->AdjustBounds();
    EXPECT_EQ(column->BoundsRect(), (TRLRect{160, 50, 180, 60}));

    delete holder;
    EXPECT_TRUE(column->Holder() == nullptr && copy->Holder() == nullptr);
}

TEST(Names, FriendlyNameRules) {
    TRLReport report;
    auto* band = new TRLBand(&report);
    auto* label = new FixedLabel(band, QString());
    label->SetName(QStringLiteral("RLLabel1"));
    label->SetFriendlyName(QStringLiteral("Total"));
    EXPECT_EQ(label->DisplayName(), "Total");
    EXPECT_EQ(ErrorOf([&] { band->SetFriendlyName("total"); }),
              RLMessages[mkNameInUse] + " \"total\"");
    EXPECT_EQ(ErrorOf([&] { band->SetFriendlyName("2nd band"); }),
              RLMessages[mkInvalidName] + " \"2nd band\"");
    label->SetFriendlyName(QStringLiteral("RLLabel1")); // its own name clears it
    EXPECT_TRUE(label->FriendlyName().isEmpty());
    label->BeginLoad(); // while loading a bad name is dropped silently
    label->SetFriendlyName(QStringLiteral("a b"));
    label->EndLoad();
    EXPECT_TRUE(label->FriendlyName().isEmpty());
}

// The other align kinds (one of each mirrored pair), two controls each below a 10-pixel faTop
// strip; a small faCenter probe, laid out last, shows the free area left.
TEST(ControlGeometry, EachAlignKindPlacesItsControlsAndLeavesTheFreeArea) {
    struct Case {
        TRLControlAlign align;
        TRLRect first, second, probe;
    };
    const Case cases[] = {
        {faRightMost, {688, 0, 718, 100}, {648, 0, 688, 100}, {319, 50, 329, 60}},
        {faLeftTop, {0, 10, 30, 20}, {30, 10, 70, 33}, {354, 50, 364, 60}},
        {faRightBottom, {688, 90, 718, 100}, {648, 77, 688, 100}, {354, 50, 364, 60}},
        {faClientTop, {0, 10, 359, 20}, {359, 10, 718, 33}, {354, 61, 364, 71}},
        {faClientRight, {688, 10, 718, 55}, {678, 55, 718, 100}, {334, 50, 344, 60}},
        {faLeftOnly, {0, 25, 30, 35}, {0, 40, 40, 63}, {354, 50, 364, 60}},
        {faBottomOnly, {5, 90, 35, 100}, {60, 77, 100, 100}, {354, 50, 364, 60}},
        {faHeight, {5, 10, 35, 100}, {60, 10, 100, 100}, {354, 50, 364, 60}},
        {faWidth, {0, 25, 718, 35}, {0, 40, 718, 63}, {354, 50, 364, 60}},
        {faCenterLeft, {0, 27, 30, 37}, {0, 66, 40, 89}, {354, 50, 364, 60}},
        {faCenterBottom, {164, 90, 194, 100}, {518, 77, 558, 100}, {354, 50, 364, 60}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(static_cast<int>(k.align));
        TRLReport report;
        auto* band = AddBand(&report, "B", btDetail, 0, 100); // client area 718 x 100
        Placed(band, {0, 0, 50, 10}, faTop);
        auto* probe = Placed(band, {0, 0, 10, 10}, faCenter);
        auto* first = Placed(band, {5, 25, 35, 35}, k.align);
        auto* second = Placed(band, {60, 40, 100, 63}, k.align);
        EXPECT_EQ(std::tuple(first->BoundsRect(), second->BoundsRect(), probe->BoundsRect()),
                  std::tuple(k.first, k.second, k.probe));
    }
}
