// Evaluate(text) keeps the tree of each text it reads: what must still be read afresh on every
// evaluation (variables, functions, the components, tokens), what is never kept (texts that do
// not read), and the bound on the trees kept.
#include "ParserTestSupport.h"

#include <numbers>

using namespace Kelmora;

using parsertest::ErrorOf;

// A report's fields read afresh for every record through one kept text are in the records
// tests (FieldsFollowTheColumnsOfTheDataSource).
TEST(TRLExpressionParserKeptTrees, EachTextGivesItsOwnValueWhateverWasEvaluatedBefore) {
    TRLExpressionParser parser;
    parser.Values().Set("a", 1);
    EXPECT_EQ(parser.Evaluate("a + 1"), TRLValue(2));
    EXPECT_EQ(parser.Evaluate("a + 2"), TRLValue(3));
    // Names are looked up as each evaluation runs: a kept tree holds the name, not its value.
    parser.Values().Set("a", 10);
    EXPECT_EQ(parser.Evaluate("a + 1"), TRLValue(11));
    parser.Functions().Declare("f(x) = x * 2");
    EXPECT_EQ(parser.Evaluate("f(a)"), TRLValue(20));
    parser.Functions().Declare("f(x) = x * 3");
    EXPECT_EQ(parser.Evaluate("f(a)"), TRLValue(30));
    // Assignments run again too.
    EXPECT_EQ(parser.Evaluate("b := a + 1"), TRLValue(11));
    parser.Values().Set("a", 0);
    EXPECT_EQ(parser.Evaluate("b := a + 1"), TRLValue(1));
    EXPECT_EQ(parser.Values().Find("b")->Value, TRLValue(1));
}

// The built-in names are matched without regard to case; names that only look like them (longer,
// shorter, or with a letter more) go on to the components.
TEST(TRLExpressionParserKeptTrees, BuiltInNamesInAnyCaseAndNamesThatOnlyLookLikeThem) {
    TRLExpressionParser parser;
    QStringList asked;
    parser.Components.Read = [&](const QString& name, TRLValue& value) {
        asked << name;
        value = 1;
        return true;
    };
    EXPECT_EQ(parser.Evaluate("if(TRUE, 1, 0) + if(False, 1, 0) + MINOR(2, 3) + Major(2, 3)"),
              TRLValue(6));
    EXPECT_TRUE(parser.Evaluate("NuLl").IsNull());
    EXPECT_DOUBLE_EQ(parser.Evaluate("pI").ToNumber(), std::numbers::pi);
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_EQ(parser.Evaluate("p + pie + nul + nulls + minors + truer + fals + majo"), TRLValue(8));
    EXPECT_EQ(asked, (QStringList{"p", "pie", "nul", "nulls", "minors", "truer", "fals", "majo"}));
}

TEST(TRLExpressionParserKeptTrees, TextsThatDoNotReadFailEveryTime) {
    TRLExpressionParser parser;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(ErrorOf<TRLParserError>([&] { parser.Evaluate("(1"); }),
                  "Brackets expected at 2!");
        EXPECT_EQ(ErrorOf<TRLParserError>([&] { parser.Evaluate("1.2.3"); }),
                  "Incorrect number format at 4!");
    }
    // An error while evaluating does not spoil the text either.
    EXPECT_EQ(ErrorOf([&] { parser.Evaluate("x + 1"); }), "Undefined identifier \"x\"");
    parser.Values().Set("x", 4);
    EXPECT_EQ(parser.Evaluate("x + 1"), TRLValue(5));
}

TEST(TRLExpressionParserKeptTrees, TokensAreToldForEveryEvaluationOnceSomeoneListens) {
    TRLExpressionParser parser;
    EXPECT_EQ(parser.Evaluate("1 + 2"), TRLValue(3)); // read and kept before anyone listens
    int tokens = 0;
    parser.OnToken = [&](TRLExpressionParser&, const TRLParserToken&) { ++tokens; };
    EXPECT_EQ(parser.Evaluate("1 + 2"), TRLValue(3));
    EXPECT_EQ(tokens, 4); // 1, +, 2 and the end of text
    EXPECT_EQ(parser.Evaluate("1 + 2"), TRLValue(3));
    EXPECT_EQ(tokens, 8);
    parser.OnToken = nullptr;
    EXPECT_EQ(parser.Evaluate("1 + 2"), TRLValue(3));
    EXPECT_EQ(tokens, 8);
}

// More texts than the parser keeps: every one still gives its own value, the first ones again
// after the others have pushed them out.
TEST(TRLExpressionParserKeptTrees, MoreTextsThanAreKept) {
    TRLExpressionParser parser;
    const int texts = TRLExpressionParser::MaxKeptTrees * 2 + 7;
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < texts; ++i)
            ASSERT_EQ(parser.Evaluate(QStringLiteral("%1 * 2").arg(i)), TRLValue(i * 2))
                << "round " << round << ", text " << i;
}

// A callback evaluates so many other texts that the kept trees are dropped while the outer text
// is still being evaluated: its tree must stay alive until it is done.
TEST(TRLExpressionParserKeptTrees, TreesDroppedWhileTheirTextIsEvaluatedStayUntilItEnds) {
    TRLExpressionParser parser;
    parsertest::AnswerName(parser, "crowd", [](TRLExpressionParser& sender) {
        double sum = 0;
        for (int i = 0; i < TRLExpressionParser::MaxKeptTrees + 1; ++i)
            sum += sender.Evaluate(QStringLiteral("%1 - %1").arg(i)).ToNumber();
        return TRLValue(sum);
    });
    EXPECT_EQ(parser.Evaluate("crowd + 40 + (1 + 1)"), TRLValue(42));
    EXPECT_EQ(parser.Evaluate("crowd + 40 + (1 + 1)"), TRLValue(42));
}
