#include "RLUtils.h"

#include "GeometryTestSupport.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// Rounds a value the compiler cannot see, so that the conversion itself runs (a constant out of
// range is folded at compile time, where it happens to saturate).
int32_t Round(double value) {
    volatile double hidden = value;
    return RoundHalfEven(hidden);
}

TEST(SupportGeometry, RoundingSaturatesOutsideTheIntegerRange) {
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(-3.5), -4);
    EXPECT_EQ(Round(2147483646.5), 2147483646);
    EXPECT_EQ(Round(2147483647.4), 2147483647);
    EXPECT_EQ(Round(-2147483648.4), -2147483647 - 1);
    // Beyond the range a value stops at its end instead of wrapping or being undefined.
    EXPECT_EQ(Round(2147483648.0), 2147483647);
    EXPECT_EQ(Round(3e9), 2147483647);
    EXPECT_EQ(Round(1e300), 2147483647);
    EXPECT_EQ(Round(std::numeric_limits<double>::infinity()), 2147483647);
    EXPECT_EQ(Round(-2147483649.0), -2147483647 - 1);
    EXPECT_EQ(Round(-1e300), -2147483647 - 1);
    EXPECT_EQ(Round(-std::numeric_limits<double>::infinity()), -2147483647 - 1);
    EXPECT_EQ(Round(std::numeric_limits<double>::quiet_NaN()), 0);
    // Integer sums that leave the range stop at its ends too.
    EXPECT_EQ(SaturatedAdd(2147483000, 1000), 2147483647);
    EXPECT_EQ(SaturatedAdd(-2147483000, -1000), -2147483647 - 1);
    EXPECT_EQ(SaturatedAdd(-5, 3), -2);
}

TEST(SupportGeometry, FitRectKeepAspect) {
    struct Case {
        TRLRect source, target;
        bool centre;
        TRLRect expected;
    };
    const Case cases[] = {
        // A tall letterhead picture in its box, at the box's corner.
        {{0, 0, 99, 144}, {96, 8, 145, 73}, false, {96, 8, 141, 73}},
        // Wide pictures fill the width; centring moves them down by half the room left.
        {{0, 0, 100, 50}, {0, 0, 200, 200}, false, {0, 0, 200, 100}},
        {{0, 0, 100, 50}, {0, 0, 200, 200}, true, {0, 50, 200, 150}},
        {{0, 0, 50, 100}, {10, 10, 210, 210}, true, {60, 10, 160, 210}},
        // Equal proportions fill the target exactly.
        {{5, 5, 105, 55}, {0, 0, 200, 100}, true, {0, 0, 200, 100}},
        // 10 x 1 / 4 = 2.5 goes to the even 2, not 3.
        {{0, 0, 4, 1}, {0, 0, 10, 100}, false, {0, 0, 10, 2}},
        // 3 pixels of room centre as 1, the half truncated.
        {{0, 0, 1, 1}, {0, 0, 5, 2}, true, {1, 0, 3, 2}},
        {{0, 0, 4, 2}, {-10, -10, 10, 10}, true, {-10, -5, 10, 5}},
        // A source without area has nothing to fit.
        {{0, 0, 0, 10}, {0, 0, 20, 20}, false, {0, 0, 0, 0}},
        {{0, 0, 10, 0}, {0, 0, 20, 20}, true, {10, 10, 10, 10}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FitRectKeepAspect(c.source, c.target, c.centre), c.expected)
            << "source " << WidthOfRect(c.source) << " x " << HeightOfRect(c.source);
}

TEST(SupportGeometry, BoundsAndSizeOfPoints) {
    const TRLPointArray points{{3, -2}, {-7, 5}, {4, 9}, {0, 0}};
    EXPECT_EQ(BoundsOfPoints(points), (TRLRect{-7, -2, 4, 9}));
    EXPECT_EQ(SizeOfPoints(points), (TRLSize{11, 11}));
    EXPECT_EQ(SizeOfPoints({{5, 5}}), (TRLSize{0, 0}));
    EXPECT_EQ(BoundsOfPoints({}), (TRLRect{}));
}

TEST(SupportGeometry, TurnPointsAboutTheirRoundedCentre) {
    const TRLPointArray segment{{0, 0}, {10, 0}};
    EXPECT_EQ(TurnPoints(segment, 0), segment);
    EXPECT_EQ(TurnPoints(segment, 360), segment);
    // A quarter turn counter-clockwise on screen: the right end goes up.
    EXPECT_EQ(TurnPoints(segment, 90), (TRLPointArray{{5, 5}, {5, -5}}));
    EXPECT_EQ(TurnPoints(segment, -90), (TRLPointArray{{5, -5}, {5, 5}}));
    EXPECT_EQ(TurnPoints(segment, 180), (TRLPointArray{{10, 0}, {0, 0}}));
    EXPECT_EQ(TurnPoints(segment, 45), (TRLPointArray{{1, 4}, {9, -4}}));
    // The centre's x is 0.5, which rounds to the even 0.
    EXPECT_EQ(TurnPoints({{0, 0}, {1, 0}}, 180), (TRLPointArray{{0, 0}, {-1, 0}}));
    // About a whole-numbered centre, four quarter turns come back exactly.
    TRLPointArray shape{{0, 0}, {8, 1}, {4, 12}, {-4, 3}};
    TRLPointArray turned = shape;
    for (int i = 0; i < 4; ++i)
        turned = TurnPoints(turned, 90);
    EXPECT_EQ(turned, shape);
    EXPECT_TRUE(TurnPoints({}, 30).empty());
}

TEST(SupportGeometry, CentrePointsIn) {
    const TRLPointArray points{{0, 0}, {10, 4}};
    EXPECT_EQ(CentrePointsIn(points, {100, 100, 121, 110}),
              (TRLPointArray{{105, 103}, {115, 107}}));
    // Points wider than the rectangle overhang it; the negative half truncates toward zero.
    EXPECT_EQ(CentrePointsIn(points, {0, 0, 5, 4}), (TRLPointArray{{-2, 0}, {8, 4}}));
}

} // namespace
