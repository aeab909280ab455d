#include "ParserTestSupport.h"

#include "RLParserTokenizer.h"

using namespace Kelmora;

namespace {

// Every token up to and excluding the end of text, as "kind:text" separated by blanks.
QString Tokens(const QString& text) {
    static const char* const kinds[] = {"end",  "unknown", "name",  "number", "literal", "op",
                                        "open", "close",   "comma", "enter",  "break",   "exit"};
    TRLParserTokenizer tokenizer(text);
    QStringList tokens;
    for (TRLParserToken t = tokenizer.Next(); t.Kind != tkNull; t = tokenizer.Next())
        tokens << QString::fromLatin1(kinds[t.Kind]) + u':' + t.Text;
    return tokens.join(u' ');
}

} // namespace

TEST(TRLParserTokenizer, SplitsTextIntoTokens) {
    const struct {
        const char* text;
        const char* tokens;
    } cases[] = {
        {"a.b_1 + 2.5e-3", "name:a.b_1 op:+ number:2.5e-3"},
        {"\tx<=y<>z>=w:=1\r\n", "name:x op:<= name:y op:<> name:z op:>= name:w op::= number:1"},
        {"!#&*/\\^|", "op:! op:# op:& op:* op:/ op:\\ op:^ op:|"},
        {"( ) , { ; }", "open:( close:) comma:, enter:{ break:; exit:}"},
        {"BEGIN Not x AnD y OR z div 2 End",
         "enter:BEGIN op:Not name:x op:AnD name:y op:OR name:z op:div number:2 exit:End"},
        {": @ ñ", "unknown:: unknown:@ unknown:ñ"},
        // A sign ends a number unless it follows the exponent letter.
        {"2e3-1", "number:2e3 op:- number:1"},
        {"1E+2+3", "number:1E+2 op:+ number:3"},
        // Doubled quotes stand for one; the other quote is an ordinary character; any blanks
        // between the doubled quotes are skipped. A quote of the other kind after the closing one
        // starts a new string.
        {"'it''s'", "literal:it's"},
        {"\"say \"\"hi\"\"\"", "literal:say \"hi\""},
        {"'a' \t\n'b'", "literal:a'b"},
        {"''", "literal:"},
        {"'a' \"b\"", "literal:a literal:b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Tokens(c.text), QString(c.tokens)) << c.text;
}

TEST(TRLParserTokenizer, ReadsNumbersWithDotAsSeparator) {
    TRLParserTokenizer tokenizer("3.25 1e3 2E-2 7.");
    for (const double number : {3.25, 1000.0, 0.02, 7.0})
        EXPECT_EQ(tokenizer.Next().Number, number);
}

// A second dot, a dot after the exponent, a second exponent or sign, a missing exponent and a
// number no double holds are refused where the number stops reading.
TEST(TRLParserTokenizer, MalformedNumbersAndStrings) {
    const parsertest::ErrorCase cases[] = {
        {"1.2.3", "Incorrect number format at 4!"}, {"1e5.2", "Incorrect number format at 4!"},
        {"1e2e3", "Incorrect number format at 4!"}, {"1e+-2", "Incorrect number format at 4!"},
        {"1e", "Incorrect number format at 2!"},    {"1e999", "Incorrect number format at 5!"},
        {"'abc", "Unterminated string at 4!"},      {"'ab'' ", "Unterminated string at 6!"},
    };
    parsertest::ExpectErrors<TRLParserError>(cases, Tokens);
}
