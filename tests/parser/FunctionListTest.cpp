#include "ParserTestSupport.h"

using namespace Kelmora;

using parsertest::ErrorOf;

TEST(TRLParserFunctionList, DeclaredFunctionsAreCalledWithTheirArguments) {
    TRLExpressionParser parser;
    parser.Functions().Declare("net(gross, rate) = gross / (1 + rate / 100)");
    EXPECT_EQ(parser.Evaluate("NET(242, 21) - net(121, 21)"), TRLValue(100));

    parser.Functions().Declare("answer = 42");
    parser.Functions().Declare("zero() = 0");
    EXPECT_EQ(parser.Evaluate("answer + zero()"), TRLValue(42));
    EXPECT_EQ(parser.Functions().Count(), 3);

    parser.Functions().Declare("label(kind, n) = { text := kind + ': '; text + n }");
    EXPECT_EQ(parser.Evaluate("label('Total', '12')"), TRLValue("Total: 12"));
    EXPECT_EQ(parser.Values().Find("text")->Value, TRLValue("Total: "));
}

TEST(TRLParserFunctionList, ArgumentCountMustMatch) {
    TRLExpressionParser parser;
    parser.Functions().Declare("pair(a, b) = a + b");
    for (const char* text : {"pair(1)", "pair(1, 2, 3)", "pair"})
        EXPECT_EQ(ErrorOf([&] { parser.Evaluate(text); }), "Wrong number of arguments") << text;
    EXPECT_EQ(parser.Evaluate("pair(1, 2)"), TRLValue(3));
}

TEST(TRLParserFunctionList, ParametersAreLocalToTheCall) {
    TRLExpressionParser parser;
    parser.Values().Set("x", 100);
    parser.Functions().Declare("inc(x) = x + 1");
    parser.Functions().Declare("outer(y) = inc(y * 2) + x");
    // Inside inc, x is the parameter; inside outer, x is the variable again.
    EXPECT_EQ(parser.Evaluate("outer(5)"), TRLValue(111));
    // An assignment to a parameter makes a variable and leaves the parameter as it was.
    parser.Functions().Declare("bump(a) = { a := a + 1; a }");
    EXPECT_EQ(parser.Evaluate("bump(1)"), TRLValue(1));
    EXPECT_EQ(parser.Values().Find("a")->Value, TRLValue(2));
    // Outside any call the parameter names mean nothing.
    EXPECT_EQ(ErrorOf([&] { parser.Evaluate("y"); }), "Undefined identifier \"y\"");
}

TEST(TRLParserFunctionList, RedeclaringReplaces) {
    TRLExpressionParser parser;
    parser.Functions().Declare("f(a) = a * 2");
    parser.Functions().Declare("F(a, b) = a * b");
    EXPECT_EQ(parser.Functions().Count(), 1);
    EXPECT_EQ(parser.Functions().Find("f")->Parameters(), (QStringList{"a", "b"}));
    EXPECT_EQ(parser.Evaluate("f(3, 4)"), TRLValue(12));
    EXPECT_TRUE(parser.Functions().Remove("f"));
    EXPECT_EQ(parser.Functions().Find("f"), nullptr);
}

// A callback may replace the function whose body is running.
TEST(TRLParserFunctionList, ReplacingAFunctionDuringItsCallIsSafe) {
    TRLExpressionParser parser;
    parser.Functions().Declare("f(a) = swap + a");
    parsertest::AnswerName(parser, "swap", [](TRLExpressionParser& sender) {
        sender.Functions().Clear();
        sender.Functions().Declare("f(a) = a");
        return TRLValue(10);
    });
    EXPECT_EQ(parser.Evaluate("f(1)"), TRLValue(11));
    EXPECT_EQ(parser.Evaluate("f(1)"), TRLValue(1));
}

TEST(TRLParserFunctionList, FaultyDeclarationsAreRefused) {
    const parsertest::ErrorCase cases[] = {
        {"", "Function declaration expected at 0!"},
        {"1 = 2", "Function declaration expected at 1!"},
        {"f(a,) = 1", "Function declaration expected at 5!"},
        {"f(1) = 1", "Function declaration expected at 3!"},
        {"f(x) := x", "Function declaration expected at 7!"},
        {"if(a, b, c) = 1", "Function declaration expected at 2!"},
        {"f(If) = 1", "Function declaration expected at 4!"},
        {"f(a, A) = 1", "Duplicate parameter \"A\" at 6!"},
        {"f(x) = x)", "Unexpected \")\" at 9!"},
    };
    TRLExpressionParser parser;
    parsertest::ExpectErrors<TRLParserError>(
        cases, [&](const QString& text) { parser.Functions().Declare(text); });
    EXPECT_EQ(parser.Functions().Count(), 0);
}
