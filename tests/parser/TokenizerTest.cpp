#include "ParserTestSupport.h"

#include "RLParserTokenizer.h"

using parsertest::ErrorOf;

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
        {"a=>b", "name:a op:= op:> name:b"},
        {"!#&*/\\^|", "op:! op:# op:& op:* op:/ op:\\ op:^ op:|"},
        {"( ) , { ; }", "open:( close:) comma:, enter:{ break:; exit:}"},
        {"BEGIN Not x AnD y OR z div 2 End",
         "enter:BEGIN op:Not name:x op:AnD name:y op:OR name:z op:div number:2 exit:End"},
        // Keyword words only count as whole names.
        {"ending notes", "name:ending name:notes"},
        {": @ ñ", "unknown:: unknown:@ unknown:ñ"},
        {"12abc", "number:12 name:abc"},
        // A sign ends a number unless it follows the exponent letter.
        {"2e3-1", "number:2e3 op:- number:1"},
        {"1E+2+3", "number:1E+2 op:+ number:3"},
        {"7.", "number:7."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Tokens(QString::fromUtf8(c.text)), QString::fromUtf8(c.tokens)) << c.text;
}

TEST(TRLParserTokenizer, ReadsNumbersWithDotAsSeparator) {
    TRLParserTokenizer tokenizer("3.25 1e3 2E-2 7.");
    EXPECT_EQ(tokenizer.Next().Number, 3.25);
    EXPECT_EQ(tokenizer.Next().Number, 1000);
    EXPECT_EQ(tokenizer.Next().Number, 0.02);
    EXPECT_EQ(tokenizer.Next().Number, 7);
}

TEST(TRLParserTokenizer, StringsWithDoubledQuotes) {
    struct Case {
        const char* text;
        const char* value;
    };
    const Case cases[] = {
        {"'it''s'", "it's"},
        {"\"say \"\"hi\"\"\"", "say \"hi\""},
        {"'x\"y'", "x\"y"},     // the other quote is an ordinary character
        {"'a' 'b'", "a'b"},     // blanks between the doubled quotes are skipped
        {"'a' \t\n'b'", "a'b"}, // any blanks
        {"''", ""},
        {"''''", "'"},
        {"'  keep  blanks '", "  keep  blanks "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TRLParserTokenizer tokenizer(c.text);
        const TRLParserToken token = tokenizer.Next();
        EXPECT_EQ(token.Kind, tkLiteral);
        EXPECT_EQ(token.Text, c.value);
        EXPECT_EQ(tokenizer.Next().Kind, tkNull);
    }
    // A quote of the other kind after the closing one starts a new string.
    EXPECT_EQ(Tokens("'a' \"b\""), "literal:a literal:b");
}

TEST(TRLParserTokenizer, PositionsCountCharactersRead) {
    TRLParserTokenizer tokenizer("  ab + 'c' ");
    EXPECT_EQ(tokenizer.Next().Position, 4);
    EXPECT_EQ(tokenizer.Next().Position, 6);
    EXPECT_EQ(tokenizer.Next().Position, 10);
    EXPECT_EQ(tokenizer.Next().Position, 11);
}

TEST(TRLParserTokenizer, MalformedNumbersAndStrings) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"1.2.3", "Incorrect number format at 4!"}, // the second dot
        {"  1..2", "Incorrect number format at 5!"},
        {"1e5.2", "Incorrect number format at 4!"}, // a dot after the exponent
        {"1e2e3", "Incorrect number format at 4!"}, // a second exponent
        {"1e+-2", "Incorrect number format at 4!"}, // a second sign
        {"1e", "Incorrect number format at 2!"},
        {"x + 1e+", "Incorrect number format at 7!"},
        {"1e999", "Incorrect number format at 5!"}, // no finite double
        {"'abc", "Unterminated string at 4!"},
        {"'ab'' ", "Unterminated string at 6!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ErrorOf<TRLParserError>([&] { Tokens(c.text); }), QString::fromUtf8(c.error));
    }
}
