#include "ParserTestSupport.h"

#include "RLParserTokenizer.h"

#include <vector>

using parsertest::ErrorOf;

namespace {

struct Tok {
    TRLParserTokenKind kind;
    QString text;
    friend bool operator==(const Tok&, const Tok&) = default;
    friend void PrintTo(const Tok& t, std::ostream* os) {
        *os << int(t.kind) << ":" << t.text.toStdString();
    }
};

// Every token up to and excluding the end of text.
std::vector<Tok> Tokens(const QString& text) {
    TRLParserTokenizer tokenizer(text);
    std::vector<Tok> tokens;
    for (TRLParserToken t = tokenizer.Next(); t.Kind != tkNull; t = tokenizer.Next())
        tokens.push_back({t.Kind, t.Text});
    return tokens;
}

} // namespace

TEST(TRLParserTokenizer, SplitsTextIntoTokens) {
    struct Case {
        const char* text;
        std::vector<Tok> expected;
    };
    const Case cases[] = {
        {"a.b_1 + 2.5e-3", {{tkIdentifier, "a.b_1"}, {tkOperator, "+"}, {tkValue, "2.5e-3"}}},
        {"\tx<=y<>z>=w:=1\r\n",
         {{tkIdentifier, "x"},
          {tkOperator, "<="},
          {tkIdentifier, "y"},
          {tkOperator, "<>"},
          {tkIdentifier, "z"},
          {tkOperator, ">="},
          {tkIdentifier, "w"},
          {tkOperator, ":="},
          {tkValue, "1"}}},
        {"a=>b", {{tkIdentifier, "a"}, {tkOperator, "="}, {tkOperator, ">"}, {tkIdentifier, "b"}}},
        {"!#&*/\\^|",
         {{tkOperator, "!"},
          {tkOperator, "#"},
          {tkOperator, "&"},
          {tkOperator, "*"},
          {tkOperator, "/"},
          {tkOperator, "\\"},
          {tkOperator, "^"},
          {tkOperator, "|"}}},
        {"( ) , { ; }",
         {{tkEnterBrackets, "("},
          {tkExitBrackets, ")"},
          {tkBracketsBreak, ","},
          {tkCodeEnter, "{"},
          {tkCodeBreak, ";"},
          {tkCodeExit, "}"}}},
        {"BEGIN Not x AnD y OR z div 2 End",
         {{tkCodeEnter, "BEGIN"},
          {tkOperator, "Not"},
          {tkIdentifier, "x"},
          {tkOperator, "AnD"},
          {tkIdentifier, "y"},
          {tkOperator, "OR"},
          {tkIdentifier, "z"},
          {tkOperator, "div"},
          {tkValue, "2"},
          {tkCodeExit, "End"}}},
        // Keyword words only count as whole names.
        {"ending notes", {{tkIdentifier, "ending"}, {tkIdentifier, "notes"}}},
        {": @ ñ", {{tkUnknown, ":"}, {tkUnknown, "@"}, {tkUnknown, "ñ"}}},
        {"12abc", {{tkValue, "12"}, {tkIdentifier, "abc"}}},
        // A sign ends a number unless it follows the exponent letter.
        {"2e3-1", {{tkValue, "2e3"}, {tkOperator, "-"}, {tkValue, "1"}}},
        {"1E+2+3", {{tkValue, "1E+2"}, {tkOperator, "+"}, {tkValue, "3"}}},
        {"7.", {{tkValue, "7."}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Tokens(QString::fromUtf8(c.text)), c.expected);
    }
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
    EXPECT_EQ(Tokens("'a' \"b\""), (std::vector<Tok>{{tkLiteral, "a"}, {tkLiteral, "b"}}));
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
