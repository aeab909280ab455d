// Shapes: kinds and their data, fitting, turning and centring, pen and brush, older layouts.
#include "ReportTestSupport.h"
#include <kelmora/report/RLRegistry.h>
#include <kelmora/support/RLUtils.h>

using namespace Kelmora;

using namespace reporttest;

TEST(GraphicDraw, TurnedLineIsRefittedUnlessItKeepsItsSize) {
    TRLDraw draw;
    draw.SetDrawKind(dkLine);
    draw.SetAngle(90);
    // A wide, low rectangle: the turned segment is fitted to its height, its right end on top.
    EXPECT_EQ(draw.ShapePoints({0, 0, 100, 40}), (TRLPointArray{{49, 39}, {49, 0}}));

    draw.SetOptions({doKeepSize});
    const TRLPointArray kept = draw.ShapePoints({0, 0, 100, 40});
    const TRLRect keptBounds = BoundsOfPoints(kept);
    // Vertical, 99 long, still centred on the rectangle's middle row.
    EXPECT_EQ(kept[0].X, kept[1].X);
    EXPECT_EQ(
        std::pair(keptBounds.Bottom - keptBounds.Top, (keptBounds.Top + keptBounds.Bottom) / 2),
        std::pair(99, 19));

    // 45 degrees turns the line into a diagonal across the whole rectangle once refitted.
    draw.SetOptions({});
    draw.SetAngle(45);
    const TRLPointArray diagonal = draw.ShapePoints({0, 0, 100, 40});
    EXPECT_EQ(BoundsOfPoints(diagonal), (TRLRect{0, 0, 99, 39}));
    // Counter-clockwise on the page: the right end goes up.
    EXPECT_EQ(diagonal, (TRLPointArray{{0, 39}, {99, 0}}));
}

TEST(GraphicDraw, KindsFitTheirBoxAndCentreInTheRectangle) {
    TRLDraw draw;
    draw.SetDrawKind(dkTriangle);
    draw.SetOptions({doKeepAspectRatio});
    EXPECT_EQ(draw.ShapePoints({0, 0, 200, 100}), (TRLPointArray{{42, 99}, {99, 0}, {156, 99}}));
    draw.SetCenter(false);
    EXPECT_EQ(draw.ShapePoints({0, 0, 200, 100}), (TRLPointArray{{0, 99}, {57, 0}, {114, 99}}));
    // Without the aspect rule the triangle fills the rectangle.
    draw.SetOptions({});
    EXPECT_EQ(draw.ShapePoints({0, 0, 200, 100}), (TRLPointArray{{0, 99}, {100, 0}, {199, 99}}));

    // doKeepVisible fits into the largest square; DrawWidth and DrawHeight give the box.
    draw.SetDrawKind(dkElipse);
    draw.SetCenter(true);
    draw.SetOptions({doKeepVisible});
    const TRLPointArray ellipse = draw.ShapePoints({0, 0, 101, 41});
    EXPECT_EQ(std::pair(ellipse.size(), BoundsOfPoints(ellipse)),
              std::pair(size_t(36), TRLRect{30, 0, 70, 40}));
    draw.SetOptions({});
    draw.SetDrawWidth(20);
    draw.SetDrawHeight(10);
    draw.SetCenter(false);
    EXPECT_EQ(BoundsOfPoints(draw.ShapePoints({5, 5, 105, 45})), (TRLRect{5, 5, 25, 15}));
    draw.SetCenter(true);
    EXPECT_EQ(BoundsOfPoints(draw.ShapePoints({5, 5, 105, 45})), (TRLRect{44, 19, 64, 29}));
}

TEST(GraphicDraw, DrawDataFollowsTheKindAndCustomDataIsParsedInPairs) {
    TRLDraw draw;
    draw.SetDrawKind(dkTriangle);
    // The kind's own data again changes nothing; different data makes the shape custom.
    draw.SetDrawData({"0 87", "50 0", "100 87"});
    EXPECT_EQ(draw.DrawKind(), dkTriangle);
    draw.SetDrawData({"0 0 10 5", "0 10"});
    EXPECT_EQ(draw.DrawKind(), dkCustom);
    EXPECT_EQ(BoundsOfPoints(draw.ShapePoints({0, 0, 11, 11})), (TRLRect{0, 0, 10, 10}));

    EXPECT_EQ(ParseDrawData(QStringLiteral("10 20 30")), (TRLPointArray{{10, 20}}));
    EXPECT_EQ(ParseDrawData(QStringLiteral("1\t2\r\n3\x1a"
                                           "4  5 6")),
              (TRLPointArray{{1, 2}, {3, 4}, {5, 6}}));
    EXPECT_EQ(ParseDrawData(QStringLiteral("1 2 3,4 5 6")), (TRLPointArray{{1, 2}}));
    EXPECT_TRUE(ParseDrawData(QStringLiteral("-1 2")).empty());
    // Custom data without a point records no polygon.
    OneBandReport doc(100);
    auto* empty = new TRLDraw(doc.band);
    empty->SetDrawData({QStringLiteral("7")});
    const auto page = doc.Prepare();
    EXPECT_TRUE(ObjectsOf<TRLPolygonObject>(*page).empty());
}

TEST(GraphicDraw, OlderLayoutsKindMapsToKindDataOptionsAndAngle) {
    RegisterTextAndGraphicClasses();
    const TRLClassRegistry& registry = TRLClassRegistry::Instance();
    struct Case {
        const char* kind;
        TRLDrawKind drawKind;
        QStringList data;
        TRLDrawOptions options;
        double angle;
    };
    const TRLDrawOptions keep{doKeepSize};
    const Case cases[] = {
        {"dkRectangle", dkRectangle, {"0 0", "1 0", "1 1", "0 1"}, keep, 30},
        {"dkLine", dkCustom, {"0 0 1 1"}, keep, 30},
        {"dkCircle", dkElipse, DrawDataOfPoints(DrawKindPoints(dkElipse)), {doKeepAspectRatio}, 30},
        {"dkVertLine", dkLine, {"0 0", "1 0"}, {doKeepSize, doKeepVisible}, 120},
        {"dkReverseLine", dkCustom, {"1 0 0 1"}, keep, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        TRLDraw draw;
        ASSERT_TRUE(registry.WriteProperty(draw, QStringLiteral("Angle"), 30.0));
        ASSERT_TRUE(registry.WriteProperty(draw, QStringLiteral("Kind"), QString(c.kind)));
        EXPECT_EQ(std::tuple(draw.DrawKind(), draw.DrawData(), draw.Options(), draw.Angle()),
                  std::tuple(c.drawKind, c.data, c.options, c.angle));
    }
    // The old corner-to-corner line runs from the top left to the bottom right.
    TRLDraw line;
    line.SetLegacyKind(QStringLiteral("dkLine"));
    EXPECT_EQ(line.ShapePoints({0, 0, 21, 11}), (TRLPointArray{{0, 0}, {20, 10}}));
    line.SetLegacyKind(QStringLiteral("dkReverseLine"));
    EXPECT_EQ(line.ShapePoints({0, 0, 21, 11}), (TRLPointArray{{20, 0}, {0, 10}}));
    QVariant unreadable; // the old name is only written
    EXPECT_FALSE(registry.ReadProperty(line, QStringLiteral("Kind"), unreadable));
}

TEST(GraphicDraw, PenAndBrushAreSetByNameAndRecordedWithThePolygon) {
    RegisterTextAndGraphicClasses();
    const TRLClassRegistry& registry = TRLClassRegistry::Instance();
    OneBandReport doc(100);
    auto* draw = new TRLDraw(doc.band);
    const std::pair<const char*, QVariant> values[] = {
        {"Pen.Width", 3},         {"Pen.Color", QColor(Qt::red)},
        {"Pen.Style", "psDot"},   {"Brush.Style", "bsClear"},
        {"DrawKind", "dkElipse"}, {"Options", QStringList{"doKeepAspectRatio"}},
        {"Transparent", false},   {"Color", QColor(Qt::yellow)},
    };
    for (const auto& [name, value] : values)
        ASSERT_TRUE(registry.WriteProperty(*draw, name, value)) << name;
    const auto page = doc.Prepare();
    // The base fill comes first.
    const auto fills = ObjectsOf<TRLFillRectObject>(*page);
    const auto polygons = ObjectsOf<TRLPolygonObject>(*page);
    ASSERT_EQ(std::pair(fills.size(), polygons.size()), std::pair(size_t(1), size_t(1)));
    EXPECT_LT(fills[0]->GroupId, polygons[0]->GroupId);
    EXPECT_EQ(fills[0]->BoundsRect, (TRLRect{38, 38, 86, 86}));
    const TRLPolygonObject& p = *polygons[0];
    // Dot and clear are stored as ordinal + 1; the wide pen's outline stays inside the box.
    EXPECT_EQ(std::tuple(p.Pen.Width, p.Pen.Color, p.Pen.Style, p.Brush.Style),
              std::tuple(3, TRLMetaColor::FromColor(Qt::red), 3, 2));
    EXPECT_EQ(std::pair(p.Points.size(), BoundsOfPoints(p.Points)),
              std::pair(size_t(36), TRLRect{39, 39, 84, 84}));
}
