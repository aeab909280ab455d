// Element strings worked out by hand from each symbology's published tables.
#include "BarcodeTestSupport.h"
#include "RLBarcodeSymbology.h"

#include <gtest/gtest.h>

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
    // Values are UTF-8 source text, as QString reads them.
    return (BarcodeTypeName(c.type) + " \"" + c.value + (c.checkSum ? "\" +check" : "\"") +
            (c.method == cmNone ? " cmNone" : ""))
        .toStdString();
}

const char* const kEan13 =
    "505 2605 0517 0508 0805 2515 0616 05050 5350 5350 5350 7051 5350 6160 505";
const char* const kEan8 = "505 2506 0508 0805 0607 05050 5170 7150 5251 5071 505";
const char* const kUpcA =
    "505 2605 0805 0508 2605 2605 2605 05050 6061 7051 6160 5071 5170 6061 505";

} // namespace

TEST(Symbology, ExactElementStrings) {
    const TCase cases[] = {
        // Interleaved 2 of 5: 1 = 10001 gives the bars, 2 = 01001 the spaces; CheckSum adds
        // nothing; an odd length gets a leading zero instead of losing its last digit.
        {bcCode2OF5Interleaved, "12", "5050 60 51 50 50 61 605"},
        {bcCode2OF5Interleaved, "12", "5050 60 51 50 50 61 605", true},
        {bcCode2OF5Interleaved, "", "5050605"},
        {bcCode2OF5Interleaved, "123", "5050 5150606051 5161505060 605"},
        {bcCode2OF5Interleaved, "0123", "5050 5150606051 5161505060 605"},
        {bcCode2OF5Interleaved, "7", "5050 5050606151 605"},
        {bcCode2OF5Industry, "1", "606050 6050505060 605060"},
        {bcCode2OF5Industry, "0", "606050 5050606050 605060"},
        {bcCode2OF5Matrix, "1", "705050 605060 70505"},
        {bcCode2OF5Matrix, "12", "705050 605060 515060 70505"},
        // MSI "1": check digit 8 (twice 1 is 2); 1 = 0001, 8 = 1000.
        {bcMSI, "1", "60 51515160 60515151 515"},
        // PostNet: full and short bars, no check digit even when asked.
        {bcPostNet, "1", "51 A1A1A15151 5"},
        {bcPostNet, "0", "51 5151A1A1A1 5"},
        {bcPostNet, "10", "51 A1A1A15151 5151A1A1A1 5", true},
        // Two-digit supplement: parity from the value mod 4 (oo, oE, Eo, EE).
        {bcUPC_Supp2, "12", "506 1615 05 1516"},
        {bcUPC_Supp2, "13", "506 1615 05 0535"},
        {bcUPC_Supp2, "10", "506 0616 05 2605"},
        {bcUPC_Supp2, "7", "506 0517 05 1525"},
        {bcUPC_Supp2, "123", ""},
        // 52495: 3 * (5 + 4 + 5) + 9 * (2 + 9) = 141, check 1, row EoEoo; 00000: row EEooo.
        {bcUPC_Supp5, "52495", "506 0715 05 1516 05 1705 05 2506 05 0625"},
        {bcUPC_Supp5, "", "506 0517 05 0517 05 2605 05 2605 05 2605"},
        // EAN-13: 4 selects ABAABB; short values are padded; wrong lengths give nothing, also
        // thirteen digits and a check digit, or a check digit asked for by a method adding none.
        {bcEAN13, "4006381333931", kEan13},
        {bcEAN13, "400638133393", kEan13, true},
        {bcEAN13, "123",
         "505 2605 2605 2605 2605 2605 2605 05050 7150 7150 7150 6160 6061 5350 505"},
        {bcEAN13, "12345678901234", ""},
        {bcEAN13, "4006381333931", "", true},
        {bcEAN13, "400638133393", "", true, cmNone},
        // EAN-8: with a check digit only the last seven digits count.
        {bcEAN8, "96385074", kEan8},
        {bcEAN8, "9638507", kEan8, true},
        {bcEAN8, "123459638507", kEan8, true},
        // UPC-A: the first eleven digits stay and the twelfth is the computed digit, even by the
        // method that adds none; eleven digits or fewer are padded to eleven, never to twelve.
        {bcUPC_A, "036000291452", kUpcA},
        {bcUPC_A, "036000291459", kUpcA, true},
        {bcUPC_A, "036000291459", kUpcA, true, cmNone},
        {bcUPC_A, "03600029145", kUpcA, true, cmNone},
        // UPC-E: 0123456, the seventh digit 6 picks EoooEE; number system 1 exchanges the sets;
        // the end guard has six modules.
        {bcUPC_E0, "0123456", "505 0517 1615 1516 0805 1705 0715 050505"},
        {bcUPC_E1, "0123456", "505 2605 0616 1606 0535 0526 0625 050505"},
        // Code 39: 10 mod 43 is A again.
        {bcCode39, "A", "5150606050 6050515060 5150606050"},
        {bcCode39, "A", "5150606050 6050515060 6050515060 5150606050", true},
        // Code 128: start B, A = 33, check (104 + 33) mod 103 = 34, stop.
        {bcCode128B, "A", "605153 505262 525062 6270506"},
        // Start C, FNC1, 12, check (105 + 102 + 24) mod 103 = 25, stop.
        {bcEAN128C, "12", "605171 805070 506171 715061 6270506"},
        // a = (+)A: 46, 10; C = (10 + 92) mod 47 = 8; K = (8 + 20 + 138) mod 47 = 25 ("P").
        {bcCode93Extended, "a", "505080 516150 605052 525150 525060 5050805"},
        {bcCodaBar, "1", "50615150 50506150 5151506"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Elements(c.type, c.value, c.checkSum, c.method), Bars(c.expected)) << Describe(c);
}

TEST(Symbology, ValuesThatEncodeAsAnother) {
    const TCase cases[] = {
        // Digits-only symbologies: foreign characters become 0, blanks around are trimmed.
        {bcCode2OF5Interleaved, "1A2", "102"},
        {bcCode2OF5Interleaved, "  12 ", "12"},
        {bcMSI, "x", "0"},
        {bcCode128C, "12a4", "1204"},
        {bcCode128C, "123", "0123"},
        {bcUPC_A, "7", "000000000079", true},
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
        // Code 39: 1 + 2 + 35 (Z) + 42 (%) = 80, 80 mod 43 = 37, the "."; lower case is skipped.
        {bcCode39, "12Z%", "12Z%.", true},
        {bcCode39, "1a2", "12"},
        // Code 128: set A has no lower case and set B no control characters: blanks instead.
        // Plain Code 128 has its own check symbol only; EAN 128 appends the Modulo 10 digit of
        // a value of digits first.
        {bcCode128A, "a", " "},
        {bcCode128B, "\t", " "},
        {bcCode128B, "\xc3\xa9", " "},
        {bcCode128B, "12", "12", true},
        {bcEAN128C, "1", "17", true},
        {bcEAN128B, "12", "123", true},
        {bcEAN128B, "12", "12", true, cmNone},
        {bcEAN128A, "AB1", "AB1", true},
        {bcCode93, "TEsT93", "TET93"},
        {bcCodaBar, "1x", "1"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Elements(c.type, c.value, c.checkSum, c.method), Elements(c.type, c.expected))
            << Describe(c);
    // Set A has control characters; FNC1 shifts every data symbol, so the check differs.
    EXPECT_NE(Elements(bcCode128A, "\t"), Elements(bcCode128A, " "));
    EXPECT_NE(Elements(bcEAN128B, "AB").right(13), Elements(bcCode128B, "AB").right(13));
}

TEST(Symbology, InvalidFlag) {
    const struct {
        TCase c;
        bool invalid;
    } cases[] = {
        {{bcEAN8, "5", ""}, false},          {{bcUPC_A, "0360002914520", ""}, true},
        {{bcCode39, "*", ""}, true},         {{bcEAN13, "12345678901234", ""}, true},
        {{bcCode39, "1a2", ""}, true},       {{bcCode2OF5Interleaved, "1A2", ""}, true},
        {{bcCodaBar, "1x", ""}, true},       {{bcCode2OF5Interleaved, "1 2", ""}, true},
        {{bcPostNet, "12-34", ""}, true},    {{bcCode93Extended, "\xc3\xa9", ""}, true},
        {{bcCode128C, "12a4", ""}, true},    {{bcEAN13, "400638133393", "", true}, false},
        {{bcUPC_Supp2, "123", ""}, true},    {{bcEAN13, "4006381333931", "", true}, true},
        {{bcCode93, "TEsT93", ""}, true},    {{bcCode2OF5Interleaved, "  12 ", ""}, false},
        {{bcEAN8, "963850745", ""}, true},   {{bcEAN8, "9638507", "", true, cmNone}, true},
        {{bcCode39, "- .$/+%", ""}, false},  {{bcCodaBar, "0123456789-$:/.+ABCD", ""}, false},
        {{bcUPC_Supp5, "123456", ""}, true}, {{bcEAN13, "400638133393", "", true, cmNone}, true},
    };
    for (const auto& [c, invalid] : cases)
        EXPECT_EQ(IsInvalid(c.type, c.value, c.checkSum, c.method), invalid) << Describe(c);
}

TEST(Symbology, MsiAndCode93CheckCharactersCountFromTheRight) {
    // "2468": 4 and 8 are doubled (48 * 2 = 96, digit sum 15), plus 2 + 6: 23, check 7 = 0111.
    // Counting from the left would give 1.
    EXPECT_TRUE(Elements(bcMSI, "2468").endsWith(Bars("51606060 515")));
    // "1234567": 1357 * 2 = 2714 (digit sum 14) plus 2 + 4 + 6 is 26, check 4 = 0100.
    EXPECT_TRUE(Elements(bcMSI, "1234567").endsWith(Bars("51605151 515")));
    EXPECT_EQ(Elements(bcMSI, "1234567").size(), 2 + 8 * 8 + 3);
    // TEST93: C = 464 mod 47 = 41 ("+", 113121), K = 617 mod 47 = 6 (121311).
    const QString elements = Elements(bcCode93, "TEST93");
    EXPECT_TRUE(elements.startsWith(Bars("505080")));
    EXPECT_TRUE(elements.endsWith(Bars("507060 515250 5050805")));
    EXPECT_EQ(elements.size(), 6 + 8 * 6 + 7);
    EXPECT_EQ(Elements(bcCode93Extended, "AB-"), Elements(bcCode93, "AB-"));
}

// The decode test checks the check digits and the four ways six digits abbreviate a UPC-A number
// through a scanner; these are the edges it cannot reach.
TEST(Symbology, CheckDigitAndUpcEExpansionEdges) {
    EXPECT_EQ(Modulo10CheckDigit(u""), u'0');
    EXPECT_EQ(ExpandUpcE(u"123457", u'1'), "11234500007");
    EXPECT_EQ(ExpandUpcE(u"12345", u'0'), QString());
}

TEST(Symbology, Code39ExtendedMapsEveryAsciiCharacterToItsPair) {
    const struct {
        QString value;
        const char* pair;
    } cases[] = {{"a", "+A"},    {"z", "+Z"},    {QString(QChar(0)), "%U"},
                 {"\x01", "$A"}, {"\x1b", "%A"}, {"!", "/A"},
                 {",", "/L"},    {"/", "/O"},    {":", "/Z"},
                 {";", "%F"},    {"@", "%V"},    {"[", "%K"},
                 {"_", "%O"},    {"`", "%W"},    {"{", "%P"},
                 {"\x7f", "%T"}, {"$", "/D"},    {"%", "/E"},
                 {"A", "A"},     {"-", "-"},     {" ", " "}};
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
    // 2.5 and 7.5 round to the even neighbour.
    EXPECT_EQ(BarcodeWidths(1, 2.5).W, (std::array<uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(BarcodeWidths(3, 2.5).W, (std::array<uint8_t, 4>{3, 8, 12, 16}));
    EXPECT_EQ(BarcodeWidths(2, 2.25).W, (std::array<uint8_t, 4>{2, 4, 6, 8}));
    // Widths are bytes: 2 * 147 wraps to 38.
    EXPECT_EQ(BarcodeWidths(49, 3.0).W, (std::array<uint8_t, 4>{49, 147, 220, 38}));
    for (const char16_t* elements : {u"0123", u"5678", u"ABCD"})
        EXPECT_EQ(PatternWidth(elements, m1), 10);
    EXPECT_EQ(PatternWidth(u"49x", m1), 3);
}

TEST(BarcodeTypes, NamesRatiosAndDigitsOnly) {
    for (int i = 0; i < BarcodeTypeCount; ++i) {
        const auto type = static_cast<TRLBarcodeType>(i);
        EXPECT_EQ(BarcodeTypeFromName(BarcodeTypeName(type)), type);
        EXPECT_EQ(BarcodeTypeFromName(BarcodeDisplayName(type)), type);
    }
    EXPECT_EQ(BarcodeDisplayName(bcCode2OF5Interleaved), "2OF5 Interleaved");
    EXPECT_EQ(BarcodeDisplayName(bcUPC_E1), "UPC E1");
    EXPECT_EQ(BarcodeTypeFromName("bcean13"), bcEAN13);
    EXPECT_EQ(BarcodeTypeFromName("EAN 13"), std::nullopt);

    EXPECT_EQ(ClampBarcodeRatio(bcCode2OF5Interleaved, 1.5), 2.0);
    EXPECT_EQ(ClampBarcodeRatio(bcCode2OF5Interleaved, 5.0), 3.0);
    EXPECT_EQ(ClampBarcodeRatio(bcCode2OF5Matrix, 2.0), 2.25);
    EXPECT_EQ(ClampBarcodeRatio(bcCodaBar, 2.6), 2.6);
    EXPECT_EQ(ClampBarcodeRatio(bcCode128B, 5.0), 5.0);
    EXPECT_EQ(ClampBarcodeRatio(bcPostNet, 1.0), 1.0);

    EXPECT_TRUE(BarcodeDigitsOnly(bcEAN128C));
    EXPECT_FALSE(BarcodeDigitsOnly(bcEAN128B));
    EXPECT_TRUE(BarcodeDigitsOnly(bcUPC_Supp5));
    EXPECT_FALSE(BarcodeDigitsOnly(bcCodaBar));
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
