#include <kelmora/support/RLUtils.h>

#include <gtest/gtest.h>

#include <limits>

using namespace Kelmora;

namespace {

// Hidden from the compiler, which folds a constant out of range and happens to saturate it.
int32_t Round(double value) {
    volatile double hidden = value;
    return RoundHalfEven(hidden);
}

TEST(SupportGeometry, RoundingSaturatesOutsideTheIntegerRange) {
    constexpr double infinity = std::numeric_limits<double>::infinity();
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(-3.5), -4);
    EXPECT_EQ(Round(2147483647.4), 2147483647);
    EXPECT_EQ(Round(-2147483648.4), -2147483647 - 1);
    // Beyond the range a value stops at its end instead of wrapping or being undefined.
    EXPECT_EQ(Round(2147483648.0), 2147483647);
    EXPECT_EQ(Round(infinity), 2147483647);
    EXPECT_EQ(Round(-infinity), -2147483647 - 1);
    EXPECT_EQ(Round(std::numeric_limits<double>::quiet_NaN()), 0);
    // Integer sums that leave the range stop at its ends too.
    EXPECT_EQ(SaturatedAdd(2147483000, 1000), 2147483647);
    EXPECT_EQ(SaturatedAdd(-2147483000, -1000), -2147483647 - 1);
    EXPECT_EQ(SaturatedAdd(-5, 3), -2);
}

// A tall picture centred in its box is the picture control's test (GraphicImage tests).
TEST(SupportGeometry, FitRectKeepAspect) {
    struct Case {
        TRLRect source, target;
        bool centre;
        TRLRect expected;
    };
    const Case cases[] = {
        // Wide pictures fill the width; centring moves them down by half the room left.
        {{0, 0, 100, 50}, {0, 0, 200, 200}, true, {0, 50, 200, 150}},
        // Equal proportions fill the target exactly.
        {{5, 5, 105, 55}, {0, 0, 200, 100}, true, {0, 0, 200, 100}},
        // 10 x 1 / 4 = 2.5 goes to the even 2, not 3.
        {{0, 0, 4, 1}, {0, 0, 10, 100}, false, {0, 0, 10, 2}},
        // 3 pixels of room centre as 1, the half truncated.
        {{0, 0, 1, 1}, {0, 0, 5, 2}, true, {1, 0, 3, 2}},
        // Sources without area.
        {{0, 0, 0, 10}, {0, 0, 20, 20}, false, {0, 0, 0, 0}},
        {{0, 0, 10, 0}, {0, 0, 20, 20}, true, {10, 10, 10, 10}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FitRectKeepAspect(c.source, c.target, c.centre), c.expected)
            << "source " << WidthOfRect(c.source) << " x " << HeightOfRect(c.source);
}

// Quarter turns of a drawn line are the draw control's test (GraphicDraw tests).
TEST(SupportGeometry, TurnPointsAboutTheirRoundedCentre) {
    const TRLPointArray segment{{0, 0}, {10, 0}};
    EXPECT_EQ(TurnPoints(segment, 0), segment);
    // A quarter turn counter-clockwise on screen: the right end goes up.
    EXPECT_EQ(TurnPoints(segment, 90), (TRLPointArray{{5, 5}, {5, -5}}));
    EXPECT_EQ(TurnPoints(segment, 45), (TRLPointArray{{1, 4}, {9, -4}}));
    // The centre's x is 0.5, which rounds to the even 0.
    EXPECT_EQ(TurnPoints({{0, 0}, {1, 0}}, 180), (TRLPointArray{{0, 0}, {-1, 0}}));
    EXPECT_TRUE(TurnPoints({}, 30).empty());
}

// Tables of names and of other values: the first pair of a key gives its value, a key without a
// pair the fallback, at compile time too.
TEST(SupportCore, LookUpTakesTheFirstPairOfAKey) {
    enum class Colour { Red, Green, Blue, Black };
    constexpr std::pair<Colour, const char*> names[] = {{Colour::Red, "red"},
                                                        {Colour::Green, "green"},
                                                        {Colour::Red, "crimson"},
                                                        {Colour::Blue, ""}};
    EXPECT_STREQ(LookUp(names, Colour::Red, "?"), "red");
    EXPECT_STREQ(LookUp(names, Colour::Green, "?"), "green");
    EXPECT_STREQ(LookUp(names, Colour::Blue, "?"), "") << "an empty value is still a value";
    EXPECT_STREQ(LookUp(names, Colour::Black, "?"), "?");
    constexpr std::pair<int, int> squares[] = {{2, 4}, {3, 9}};
    static_assert(LookUp(squares, 3, 0) == 9 && LookUp(squares, 4, -1) == -1);
}

} // namespace
