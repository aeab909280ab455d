#include "ParserTestSupport.h"

using namespace Kelmora;

using parsertest::ErrorCase;
using parsertest::ErrorOf;
using parsertest::EvalError;
using parsertest::ExpectErrors;

namespace {

QString Repeat(const char* piece, int count) {
    return QString::fromLatin1(piece).repeated(count);
}

void Evaluate(const QString& text) {
    TRLExpressionParser().Evaluate(text);
}

} // namespace

TEST(TRLExpressionParserErrors, SyntaxErrorsGiveThePosition) {
    const ErrorCase cases[] = {
        {"{ 1", "Inline expected at 3!"},    {"x end", "Unexpected \"end\" at 5!"},
        {"(1}", "Brackets expected at 3!"},  {"2 * (1; 2)", "Brackets expected at 7!"},
        {"f(1", "Brackets expected at 3!"},  {"x + 2.5.1", "Incorrect number format at 8!"},
        {"1; 2", "Unexpected \";\" at 2!"},  {"f(1, (2, 3))", "Parameter list not suported at 8!"},
        {"a @ b", "Unexpected \"@\" at 3!"}, {"begin x := 1; x )", "Inline expected at 17!"},
    };
    ExpectErrors<TRLParserError>(cases, Evaluate);
}

TEST(TRLExpressionParserErrors, EvaluationErrors) {
    const ErrorCase cases[] = {
        {"a + b := 2", "Left side cannot be Assigned"},
        {":= 2", "Left side cannot be Assigned"},
        {"if(1, 2)", "Wrong number of arguments"},
        {"If", "Wrong number of arguments"},
        {"if(1, 2, 3, 4)", "Wrong number of arguments"},
        {"1 +", "Missing operand for \"+\""},
        {"* 2", "Missing operand for \"*\""},
        {"not", "Missing operand for \"not\""},
        {"Report.Total", "Undefined identifier \"Report.Total\""},
    };
    ExpectErrors<TRLParserError>(cases, Evaluate);
}

// Nothing is evaluated once any part of the text fails to build.
TEST(TRLExpressionParserErrors, SyntaxErrorStopsBeforeEvaluation) {
    TRLExpressionParser parser;
    EXPECT_EQ(ErrorOf([&] { parser.Evaluate("x := 1; )"); }), "Unexpected \";\" at 7!");
    EXPECT_EQ(parser.Values().Count(), 0);
}

TEST(TRLExpressionParserErrors, ValueErrorsAreNotParserErrors) {
    const ErrorCase cases[] = {
        {"true + 1", "Cannot apply \"+\" to boolean and number"},
        {"1 / (2 - 2)", "Division by zero"},
        {"if('maybe', 1, 2)", "Cannot convert string \"maybe\" to boolean"},
    };
    ExpectErrors<TRLValueError>(cases, Evaluate);
}

TEST(TRLExpressionParserErrors, NestingIsLimited) {
    const int limit = TRLExpressionParser::MaxDepth;
    const QString at = QStringLiteral("Expression nested too deeply at %1!");
    TRLExpressionParser parser;

    // Brackets that add no level of the tree still count.
    EXPECT_EQ(parser.Evaluate(Repeat("(", limit) + "7" + Repeat(")", limit)), TRLValue(7));
    EXPECT_EQ(EvalError(Repeat("(", limit + 1) + "7" + Repeat(")", limit + 1)), at.arg(limit + 1));
    EXPECT_EQ(EvalError(Repeat("(", 100000)), at.arg(limit + 1));

    // Levels of the tree: blocks, prefix operators and chains of binary operators.
    EXPECT_EQ(parser.Evaluate(Repeat("{", limit - 1) + "7" + Repeat("}", limit - 1)), TRLValue(7));
    EXPECT_EQ(EvalError(Repeat("{", limit) + "7" + Repeat("}", limit)), at.arg(limit + 1));
    EXPECT_EQ(parser.Evaluate(Repeat("-", limit - 1) + "7"), TRLValue(-7));
    EXPECT_EQ(EvalError(Repeat("-", limit) + "7"), at.arg(limit + 1));
    // Right-grouping chains nest each operator inside the next.
    EXPECT_EQ(parser.Evaluate("1" + Repeat("^1", limit - 1)), TRLValue(1));
    EXPECT_EQ(EvalError("1" + Repeat("^1", 100000)), at.arg(2 * limit));
    EXPECT_EQ(EvalError("f(" + Repeat("g(", limit) + ")"), at.arg(2 * limit + 1));
    EXPECT_EQ(EvalError(Repeat("x:=", 100000)), at.arg(3 * limit));
}

TEST(TRLExpressionParserErrors, FlatChainsAreNotNesting) {
    const int limit = TRLExpressionParser::MaxDepth;
    const QString at = QStringLiteral("Expression nested too deeply at %1!");
    TRLExpressionParser parser;

    // However long, a chain of left-grouping operators is one level: it must evaluate, and
    // without recursing once per term (100,000 terms would overflow the stack).
    for (const int terms : {limit, 10000, 100000}) {
        SCOPED_TRACE(terms);
        EXPECT_EQ(parser.Evaluate("1" + Repeat(" + 1", terms - 1)), TRLValue(terms));
        EXPECT_EQ(parser.Evaluate("2" + Repeat("*1", terms - 1)), TRLValue(2));
        EXPECT_EQ(parser.Evaluate(QString::number(terms) + Repeat("-1", terms - 1)), TRLValue(1));
    }
    // Mixed priorities, groups, prefix operators and calls as the terms of one flat chain.
    EXPECT_EQ(parser.Evaluate("0" + Repeat("+2*3-1", 10000)), TRLValue(50000));
    EXPECT_EQ(parser.Evaluate("0" + Repeat("+(1)", 10000)), TRLValue(10000));
    EXPECT_EQ(parser.Evaluate("0" + Repeat("+-1", 10000)), TRLValue(-10000));
    EXPECT_EQ(parser.Evaluate("0" + Repeat("+major(1,2)", 10000)), TRLValue(20000));
    EXPECT_EQ(parser.Evaluate("{x := 0" + Repeat("+1", 10000) + "; x * 2}"), TRLValue(20000));
    EXPECT_EQ(parser.Evaluate("if(1" + Repeat("+1", 10000) + " > 5, 'a', 'b')"),
              TRLValue(QStringLiteral("a")));
    // Left to right: 2 / 2 / 2 is 0.5, 2 - 1 + 1 is 2.
    EXPECT_EQ(parser.Evaluate("64" + Repeat("/2", 6)), TRLValue(1));
    EXPECT_EQ(parser.Evaluate("2" + Repeat("-1+1", 5000)), TRLValue(2));

    // Nesting inside a long chain is still counted from the top and still refused.
    const QString chain = "1" + Repeat("+1", 5000) + "+";
    EXPECT_EQ(parser.Evaluate(chain + Repeat("(", limit) + "7" + Repeat(")", limit)),
              TRLValue(5008));
    EXPECT_EQ(EvalError(chain + Repeat("(", limit + 1) + "7" + Repeat(")", limit + 1)),
              at.arg(chain.size() + limit + 1));
    EXPECT_TRUE(EvalError(chain + Repeat("-", limit) + "7")
                    .startsWith(QStringLiteral("Expression nested too deeply at ")));
    // Chains inside runaway brackets do not help them through.
    EXPECT_TRUE(EvalError(Repeat("(1+", limit + 1) + "1" + Repeat(")", limit + 1))
                    .startsWith(QStringLiteral("Expression nested too deeply at ")));
    // A missing operand in a long chain is found as before.
    EXPECT_EQ(EvalError("1" + Repeat("+1", 10000) + "+"), "Missing operand for \"+\"");
}

TEST(TRLExpressionParserErrors, RunawayFunctionsAreStopped) {
    TRLExpressionParser parser;
    parser.Functions().Declare("forever(n) = forever(n + 1)");
    EXPECT_EQ(ErrorOf<TRLParserError>([&] { parser.Evaluate("forever(0)"); }),
              "Evaluation nested too deeply");
    parser.Functions().Declare("wide(n) = if(n < 1, 0, wide(n - 1) + wide(n - 1))");
    EXPECT_EQ(ErrorOf<TRLParserError>([&] { parser.Evaluate("wide(60)"); }),
              "Evaluation takes too many steps");
    // The budget belongs to one evaluation: the next starts afresh.
    EXPECT_EQ(parser.Evaluate("wide(3)"), TRLValue(0));
}
