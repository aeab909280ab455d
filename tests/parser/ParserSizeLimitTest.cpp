// However few its steps, an expression cannot make texts that take the machine's memory.
#include "ParserTestSupport.h"

using namespace Kelmora;

using parsertest::AnswerName;
using testsupport::ErrorOf;

namespace {

constexpr qsizetype kLimit = TRLExpressionParser::MaxTextLength;

// A block that doubles a 16-character text that many times and gives it.
QString Doubling(int times) {
    return QStringLiteral("begin x := 'aaaaaaaaaaaaaaaa'; ") +
           QStringLiteral("x := x + x; ").repeated(times) + QStringLiteral("x end");
}

const QString kTooLong = QStringLiteral("makes a text longer than 16777216 characters, the "
                                        "longest a value may be");

} // namespace

TEST(TRLExpressionParserSizes, DoublingStopsAtTheLongestText) {
    TRLExpressionParser parser;
    // 16 * 2^20 is the limit itself: allowed, and again on the next evaluation.
    for (int run = 0; run < 2; ++run)
        EXPECT_EQ(parser.Evaluate(Doubling(20)).ToString().size(), kLimit);
    // One more doubling is refused before the text is made, naming the expression.
    EXPECT_EQ(ErrorOf<TRLValueError>([&] { parser.Evaluate(Doubling(40)); }),
              QStringLiteral("Expression \"begin x := 'aaaaaaaaaaaaaaaa'; x := x + ...\" ") +
                  kTooLong);
    EXPECT_EQ(parser.Values().Find(QStringLiteral("x"))->Value.ToString().size(), kLimit);
}

TEST(TRLExpressionParserSizes, ManyTextsUnderTheLimitAddUp) {
    // x is half the limit and y the limit itself; an evaluation may make four limits' worth in
    // all, and making x took one (less 32 characters).
    const QString half = QStringLiteral("begin x := 'aaaaaaaaaaaaaaaa'; ") +
                         QStringLiteral("x := x + x; ").repeated(19);
    const QString remade = QStringLiteral("y := x + x; ");
    TRLExpressionParser parser;
    EXPECT_EQ(parser.Evaluate(half + remade.repeated(3) + QStringLiteral("1 end")), TRLValue(1));
    const QString error = ErrorOf<TRLValueError>(
        [&] { parser.Evaluate(half + remade.repeated(4) + QStringLiteral("1 end")); });
    EXPECT_TRUE(error.endsWith(QStringLiteral("makes more than 67108864 characters of text in "
                                              "all, the most one evaluation may make")))
        << error.toStdString();
}

TEST(TRLExpressionParserSizes, TextsFromOutsideAreBoundWhenJoined) {
    TRLExpressionParser parser;
    const QString big(kLimit / 2 + 1, QLatin1Char('b'));
    AnswerName(parser, "big", [&](TRLExpressionParser&) { return TRLValue(big); });
    // A short expression is named whole.
    EXPECT_EQ(ErrorOf<TRLValueError>([&] { parser.Evaluate(QStringLiteral("big + big")); }),
              QStringLiteral("Expression \"big + big\" ") + kTooLong);
    // A longer one by its start, never cut inside a character.
    const QString start = QStringLiteral("big + big + '") + QString(26, QLatin1Char('a'));
    EXPECT_EQ(
        ErrorOf<TRLValueError>([&] { parser.Evaluate(start + QStringLiteral("\U0001F600'")); }),
        QStringLiteral("Expression \"%1...\" ").arg(start) + kTooLong);
    EXPECT_EQ(parser.Evaluate(QStringLiteral("big + 'c'")).ToString().size(), big.size() + 1);
    // Numbers joined by "+" add; they make no text.
    EXPECT_EQ(parser.Evaluate(QStringLiteral("'1' + 2")), TRLValue(3));
}

TEST(TRLExpressionParserSizes, RefusalsReachOnException) {
    TRLExpressionParser parser;
    QString told;
    parser.OnException = [&](TRLExpressionParser&, const TRLException& error, TRLValue& result) {
        told = error.Message();
        result = TRLValue(QStringLiteral("?"));
    };
    EXPECT_EQ(parser.Evaluate(Doubling(21)), TRLValue(QStringLiteral("?")));
    EXPECT_TRUE(told.endsWith(kTooLong)) << told.toStdString();
}
