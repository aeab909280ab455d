#include "ParserTestSupport.h"

using namespace Kelmora;

using parsertest::EvalCase;
using parsertest::ExpectValues;

// "1 < 2 = 3 > 2" is (1 < 2) = (3 > 2): "and" binds more tightly than the comparisons, so that
// "1 > 0 and 2" is 1 > (0 and 2); "&" binds more tightly than "|".
TEST(TRLExpressionParser, OperatorPriorities) {
    const EvalCase cases[] = {
        {"2 + 3 * 4", 14},   {"(2 + 3) * 4", 20},     {"2 * 3 ^ 2", 18},     {"8 - 2 * 3", 2},
        {"1 + 1 = 2", true}, {"1 < 2 = 3 > 2", true}, {"5 and 3 = 1", true}, {"1 > 0 and 2", true},
        {"4 | 1 = 5", true}, {"4 | 2 & 1", 4},
    };
    ExpectValues(cases);
    TRLExpressionParser parser;
    EXPECT_DOUBLE_EQ(parser.Evaluate("2 * 16 \\ 4").ToNumber(), 4.0);
}

// Operators of equal priority read left to right; only "^" and ":=" read right to left. "+"
// binds more loosely than "-": 10 - 2 + 3 is (10 - 2) + 3.
TEST(TRLExpressionParser, GroupingOfEqualPriorities) {
    const EvalCase cases[] = {
        {"10 - 4 - 3", 3},  {"8 div 4 DIV 2", 1}, {"10 - 2 + 3", 11},     {"24 / 4 * 2", 12},
        {"2 ^ 3 ^ 2", 512}, {"81 \\ 2 \\ 2", 3},  {"1 = 1 = true", true},
    };
    ExpectValues(cases);
    TRLExpressionParser parser;
    EXPECT_EQ(parser.Evaluate("x := y := 4"), TRLValue(4));
    EXPECT_EQ(parser.Evaluate("x * y"), TRLValue(16));
}

// The sign binds more tightly than the power; after a closed group "-" is binary.
TEST(TRLExpressionParser, UnaryOperators) {
    const EvalCase cases[] = {
        {"+4", 4},         {"-'2'", -2},   {"not -1", 0},      {"(1) - 1", 0},
        {"3 - -2 - 1", 4}, {"-2 ^ 2", 4},  {"2 ^ -1", 0.5},    {"--3", 3},
        {"+'x'", "x"},     {"- not 0", 1}, {"!(1 > 2)", true}, {"not not true", true},
    };
    ExpectValues(cases);
}

TEST(TRLExpressionParser, BlocksAndAssignment) {
    TRLExpressionParser parser;
    EXPECT_EQ(parser.Evaluate("{ x := 5; x + 1 }"), TRLValue(6));

    // Variables live on between evaluations and are found without regard to case.
    EXPECT_EQ(parser.Evaluate("X * 2"), TRLValue(10));
    EXPECT_EQ(parser.Evaluate("x := x + 1"), TRLValue(6));
    EXPECT_EQ(parser.Values().Count(), 1);

    EXPECT_EQ(parser.Evaluate("begin a := 2; b := a * 3; b end"), TRLValue(6));
    const EvalCase cases[] = {
        {"", {}}, {"{}", {}}, {"{ 2 } * 3", 6}, {"{1;}", 1}, {"{;;2}", 2}, {"{ 1; { 2; 4 } }", 4},
    };
    ExpectValues(cases);
}

// Only the chosen branch is evaluated.
TEST(TRLExpressionParser, Conditional) {
    const EvalCase cases[] = {
        {"IF(1, 2, 3)", 2},          {"if(1 > 2, 'a', 'b')", "b"},
        {"if(1, 2, 3) + 1", 3},      {"if(1, if(0, 1, 2), 3)", 2},
        {"if('true', 2, 3)", 2},     {"if(1, {a := 1; a + 1}, 0)", 2},
        {"if(true, 1, nowhere)", 1}, {"if(false, 1 / 0, 'safe')", "safe"},
    };
    ExpectValues(cases);
}

// Pi and the names in any case are in the kept-trees tests, variables before them in the
// callbacks' order of names.
TEST(TRLExpressionParser, BuiltInNames) {
    const TRLValue null = TRLValue::Null();
    const EvalCase cases[] = {{"null + 1", null},           {"minor(1, null)", null},
                              {"major(1, null)", 1},        {"MAJOR(7)", 7},
                              {"minor(3, 1, 2)", 1},        {"major(3, 1, 2)", 3},
                              {"minor('b', 'a', 'c')", "a"}};
    ExpectValues(cases);
    // With no arguments minor has no value and the name stays undefined.
    EXPECT_EQ(parsertest::EvalError("minor()"), "Undefined identifier \"minor\"");
}

TEST(TRLExpressionParser, ExpressionPropertyKeepsItsTree) {
    TRLExpressionParser parser;
    int tokens = 0;
    parser.OnToken = [&](TRLExpressionParser&, const TRLParserToken&) { ++tokens; };
    parser.Values().Set("a", 1);
    parser.SetExpression("a + 1");
    EXPECT_EQ(parser.Evaluate(), TRLValue(2));
    EXPECT_EQ(tokens, 4); // a, +, 1 and the end of text

    parser.Values().Set("a", 5);
    EXPECT_EQ(parser.Evaluate(), TRLValue(6));
    EXPECT_EQ(tokens, 4); // no second reading

    parser.SetExpression("a * 3");
    EXPECT_EQ(parser.Evaluate(), TRLValue(15));
    EXPECT_EQ(tokens, 8);
}

TEST(TRLExpressionParser, ChangingExpressionWhileItIsEvaluatedIsSafe) {
    TRLExpressionParser parser;
    parsertest::AnswerName(parser, "swap", [](TRLExpressionParser& sender) {
        sender.SetExpression("'other'");
        return TRLValue(1);
    });
    parser.SetExpression("swap + 1 + 1");
    EXPECT_EQ(parser.Evaluate(), TRLValue(3));
    EXPECT_EQ(parser.Evaluate(), TRLValue("other"));
}
