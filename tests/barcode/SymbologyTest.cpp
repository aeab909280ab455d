// Element strings worked out by hand from each symbology's published tables.
#include "BarcodeTestSupport.h"
#include "RLBarcodeSymbology.h"

#include <gtest/gtest.h>

using namespace Kelmora;

using barcodetest::Elements;
using barcodetest::IsInvalid;

namespace {

// An element string written as groups separated by blanks: one group per character or guard.
QString Bars(const char* groups) {
    return QString::fromLatin1(groups).remove(u' ');
}

struct TCase {
    TRLBarcodeType type;
    const char* value;
    const char* expected; // Exact: the element groups; Same: another value of the same type
    bool checkSum = false;
    TRLBarcodeCheckSumMethod method = cmModule10;
};

std::string Describe(const TCase& c) {
    return BarcodeTypeName(c.type).toStdString() + " " + c.value + (c.checkSum ? " +check" : "");
}

} // namespace

TEST(Symbology, ExactElementStrings) {
    // The decode test reads the common symbologies through a scanner; these are the ones it
    // cannot read, and the values whose digits are kept, padded or refused.
    const TCase cases[] = {
        // Interleaved 2 of 5: 1 = 10001 gives the bars, 2 = 01001 the spaces; an odd length gets
        // a leading zero instead of losing its last digit.
        {bcCode2OF5Interleaved, "12", "5050 60 51 50 50 61 605"},
        {bcCode2OF5Interleaved, "", "5050605"},
        {bcCode2OF5Interleaved, "123", "5050 5150606051 5161505060 605"},
        {bcCode2OF5Industry, "1", "606050 6050505060 605060"},
        {bcCode2OF5Matrix, "12", "705050 605060 515060 70505"},
        // MSI "1": check digit 8 (twice 1 is 2); 1 = 0001, 8 = 1000.
        {bcMSI, "1", "60 51515160 60515151 515"},
        // PostNet: full and short bars, no check digit even when asked.
        {bcPostNet, "10", "51 A1A1A15151 5151A1A1A1 5", true},
        // Two-digit supplement: parity from the value mod 4 (oo, oE, Eo, EE).
        {bcUPC_Supp2, "12", "506 1615 05 1516"},
        {bcUPC_Supp2, "13", "506 1615 05 0535"},
        {bcUPC_Supp2, "7", "506 0517 05 1525"},
        {bcUPC_Supp2, "123", ""},
        // 52495: 3 * (5 + 4 + 5) + 9 * (2 + 9) = 141, check 1, row EoEoo; 00000: row EEooo.
        {bcUPC_Supp5, "52495", "506 0715 05 1516 05 1705 05 2506 05 0625"},
        {bcUPC_Supp5, "", "506 0517 05 0517 05 2605 05 2605 05 2605"},
        // EAN-13: thirteen digits and a check digit give nothing, as does a check digit asked
        // for by a method adding none.
        {bcEAN13, "4006381333931", "", true},
        {bcEAN13, "400638133393", "", true, cmNone},
        // UPC-E1 0123456: the seventh digit 6 picks EoooEE, number system 1 exchanges the sets,
        // and the end guard has six modules.
        {bcUPC_E1, "0123456", "505 2605 0616 1606 0535 0526 0625 050505"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Elements(c.type, c.value, c.checkSum, c.method), Bars(c.expected)) << Describe(c);
}

TEST(Symbology, ValuesThatEncodeAsAnother) {
    const TCase cases[] = {
        // Digits-only symbologies: foreign characters become 0, blanks around are trimmed.
        {bcCode2OF5Interleaved, "1A2", "102"},
        {bcCode2OF5Interleaved, "  12 ", "12"},
        // EAN-8 with a check digit keeps the last seven digits. UPC-A: the first eleven digits
        // stay and the twelfth is the computed digit, even by the method that adds none; eleven
        // digits or fewer are padded to eleven, never to twelve.
        {bcEAN8, "123459638507", "96385074", true},
        {bcUPC_A, "036000291459", "036000291452", true, cmNone},
        {bcUPC_A, "03600029145", "036000291452", true, cmNone},
        // UPC-E: with a check digit, 012345 gives 7 whatever the seventh digit; the check digit
        // is the expanded UPC-A number's, number system 1 included (11234500007 gives 9). Six
        // digits are kept whole, also without a check digit asked for (123456 stands for
        // 11234500006, check 2); more than seven keep their first seven. The decode test has
        // the number system 0 cases a scanner can check.
        {bcUPC_E0, "0123459", "0123457", true},
        {bcUPC_E0, "0123459", "0123459", true, cmNone},
        {bcUPC_E1, "1234570", "1234579", true},
        {bcUPC_E1, "123456", "1234562"},
        {bcUPC_E0, "12345678", "1234567"},
        // Code 39 skips what it lacks, as do Code 93 and CodaBar.
        {bcCode39, "1a2", "12"},
        // Code 128: set A has no lower case and set B no control characters: blanks instead.
        // Plain Code 128 has its own check symbol only; EAN 128 appends the Modulo 10 digit of
        // a value of digits only, and only by that method.
        {bcCode128A, "a", " "},
        {bcCode128B, "\t", " "},
        {bcCode128B, "12", "12", true},
        {bcEAN128C, "1", "17", true},
        {bcEAN128B, "12", "12", true, cmNone},
        {bcEAN128A, "AB1", "AB1", true},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Elements(c.type, c.value, c.checkSum, c.method), Elements(c.type, c.expected))
            << Describe(c);
}

TEST(Symbology, InvalidFlag) {
    const struct {
        TCase c;
        bool invalid;
    } cases[] = {
        {{bcEAN8, "5", ""}, false},          {{bcUPC_A, "0360002914520", ""}, true},
        {{bcCode39, "*", ""}, true},         {{bcCode2OF5Interleaved, "1A2", ""}, true},
        {{bcCodaBar, "1x", ""}, true},       {{bcCode2OF5Interleaved, "1 2", ""}, true},
        {{bcPostNet, "12-34", ""}, true},    {{bcCode93Extended, "\xc3\xa9", ""}, true},
        {{bcUPC_Supp2, "123", ""}, true},    {{bcEAN13, "400638133393", "", true}, false},
        {{bcCode93, "TEsT93", ""}, true},    {{bcEAN13, "4006381333931", "", true}, true},
        {{bcEAN8, "963850745", ""}, true},   {{bcCode2OF5Interleaved, "  12 ", ""}, false},
        {{bcUPC_Supp5, "123456", ""}, true}, {{bcEAN13, "400638133393", "", true, cmNone}, true},
        {{bcCode39, "- .$/+%", ""}, false},  {{bcCodaBar, "0123456789-$:/.+ABCD", ""}, false},
    };
    for (const auto& [c, invalid] : cases)
        EXPECT_EQ(IsInvalid(c.type, c.value, c.checkSum, c.method), invalid) << Describe(c);
}

// The decode test's scanner checks Code 93's check characters; MSI it cannot read.
TEST(Symbology, MsiCheckDigitCountsFromTheRight) {
    // "2468": 4 and 8 are doubled (48 * 2 = 96, digit sum 15), plus 2 + 6: 23, check 7 = 0111.
    // Counting from the left would give 1.
    EXPECT_TRUE(Elements(bcMSI, "2468").endsWith(Bars("51606060 515")));
    // "1234567": 1357 * 2 = 2714 (digit sum 14) plus 2 + 4 + 6 is 26, check 4 = 0100.
    EXPECT_TRUE(Elements(bcMSI, "1234567").endsWith(Bars("51605151 515")));
}

// The decode test checks the check digits and the four ways six digits abbreviate a UPC-A number
// through a scanner; these are the edges it cannot reach.
TEST(Symbology, CheckDigitAndUpcEExpansionEdges) {
    EXPECT_EQ(Modulo10CheckDigit(u""), u'0');
    EXPECT_EQ(ExpandUpcE(u"123457", u'1'), "11234500007");
    EXPECT_EQ(ExpandUpcE(u"12345", u'0'), QString());
}

// The first and last character of each range of pairs; the decode test reads the shared pairs
// through Code 93 Extended.
TEST(Symbology, Code39ExtendedMapsAsciiCharactersToTheirPairs) {
    const struct {
        QString value;
        const char* pair;
    } cases[] = {{"a", "+A"},    {"z", "+Z"},    {QString(QChar(0)), "%U"},
                 {"\x01", "$A"}, {"\x1b", "%A"}, {"!", "/A"},
                 {",", "/L"},    {"/", "/O"},    {":", "/Z"},
                 {";", "%F"},    {"@", "%V"},    {"[", "%K"},
                 {"_", "%O"},    {"`", "%W"},    {"{", "%P"},
                 {"\x7f", "%T"}, {"-", "-"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Elements(bcCode39Extended, c.value), Elements(bcCode39, c.pair)) << c.pair;
        EXPECT_FALSE(IsInvalid(bcCode39Extended, c.value)) << c.pair;
    }
    // The check character is taken over the pairs.
    EXPECT_EQ(Elements(bcCode39Extended, "ab", true), Elements(bcCode39, "+A+B", true));
    EXPECT_EQ(Elements(bcCode39Extended, QStringLiteral("a\u00c4b")), Elements(bcCode39, "+A+B"));
    EXPECT_TRUE(IsInvalid(bcCode39Extended, QStringLiteral("a\u00c4b")));
}

TEST(Symbology, ElementWidthsRoundHalvesToEvenAndAreBytes) {
    const TRLBarcodeWidths m1 = BarcodeWidths(1, 2.0);
    EXPECT_EQ(m1.W, (std::array<uint8_t, 4>{1, 2, 3, 4}));
    // 7.5 and 4.5 round to the even neighbour.
    EXPECT_EQ(BarcodeWidths(3, 2.5).W, (std::array<uint8_t, 4>{3, 8, 12, 16}));
    EXPECT_EQ(BarcodeWidths(2, 2.25).W, (std::array<uint8_t, 4>{2, 4, 6, 8}));
    // Widths are bytes: 2 * 147 wraps to 38.
    EXPECT_EQ(BarcodeWidths(49, 3.0).W, (std::array<uint8_t, 4>{49, 147, 220, 38}));
    // Spaces, bars and short bars take the same four widths; anything else is narrow.
    EXPECT_EQ(PatternWidth(u"01235678ABCD49x", m1), 3 * 10 + 3);
}

TEST(BarcodeTypes, NamesAndRatios) {
    for (int i = 0; i < BarcodeTypeCount; ++i) {
        const auto type = static_cast<TRLBarcodeType>(i);
        EXPECT_EQ(BarcodeTypeFromName(BarcodeTypeName(type)), type);
        EXPECT_EQ(BarcodeTypeFromName(BarcodeDisplayName(type)), type);
    }
    EXPECT_EQ(BarcodeTypeFromName("bcean13"), bcEAN13);
    EXPECT_EQ(BarcodeTypeFromName("EAN 13"), std::nullopt);

    // Below the range (the encoder's test clamps one above it), a symbology's own lower bound,
    // and one that takes any ratio.
    EXPECT_EQ(ClampBarcodeRatio(bcCode2OF5Interleaved, 1.5), 2.0);
    EXPECT_EQ(ClampBarcodeRatio(bcCode2OF5Matrix, 2.0), 2.25);
    EXPECT_EQ(ClampBarcodeRatio(bcCode128B, 5.0), 5.0);
}

TEST(BarcodeTypes, HostileValuesNeverThrowAndGiveOnlyElementCharacters) {
    const QString values[] = {"",
                              " ",
                              QStringLiteral("\u00e9\u4e2d\U0001F600"),
                              QString(200, u'9'),
                              QString("\x01\x7f\t*%"),
                              "ABCDabcd-1234"};
    for (int i = 0; i < BarcodeTypeCount; ++i) {
        const auto type = static_cast<TRLBarcodeType>(i);
        for (const QString& value : values)
            for (bool checkSum : {false, true})
                for (QChar c : Elements(type, value, checkSum))
                    EXPECT_TRUE(QStringLiteral("01235678A").contains(c))
                        << BarcodeTypeName(type).toStdString();
    }
}
