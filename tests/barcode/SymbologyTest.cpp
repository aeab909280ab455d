// Element strings worked out by hand from each symbology's published tables.
#include "BarcodeTestSupport.h"
#include "RLBarcodeSymbology.h"

#include <gtest/gtest.h>

using barcodetest::Elements;
using barcodetest::IsInvalid;

namespace {

QString S(const char* text) {
    return QString::fromLatin1(text);
}

} // namespace

TEST(Interleaved2of5, InterleavesPairsBetweenStartAndStop) {
    // 1 = 10001 gives the bars, 2 = 01001 the spaces.
    EXPECT_EQ(Elements(bcCode2OF5Interleaved, "12"), S("5050"
                                                       "60"
                                                       "51"
                                                       "50"
                                                       "50"
                                                       "61"
                                                       "605"));
    EXPECT_EQ(PatternWidth(Elements(bcCode2OF5Interleaved, "12"), BarcodeWidths(1, 2.0)), 22);
    EXPECT_EQ(Elements(bcCode2OF5Interleaved, ""), S("5050605"));
    // CheckSum never adds a digit here.
    EXPECT_EQ(Elements(bcCode2OF5Interleaved, "12", true), Elements(bcCode2OF5Interleaved, "12"));
}

TEST(Interleaved2of5, OddLengthGetsLeadingZeroInsteadOfLosingLastDigit) {
    const QString expected = S("5050"
                               "5150606051"
                               "5161505060"
                               "605"); // 01 and 23
    EXPECT_EQ(Elements(bcCode2OF5Interleaved, "123"), expected);
    EXPECT_EQ(Elements(bcCode2OF5Interleaved, "0123"), expected);
    EXPECT_NE(Elements(bcCode2OF5Interleaved, "123"), Elements(bcCode2OF5Interleaved, "12"));
    // A single digit pairs with the zero as well.
    EXPECT_EQ(Elements(bcCode2OF5Interleaved, "7"), S("5050"
                                                      "5050606151"
                                                      "605"));
}

TEST(DigitsOnly, ForeignCharactersBecomeZeroAndMarkTheValue) {
    EXPECT_EQ(Elements(bcCode2OF5Interleaved, "1A2"), Elements(bcCode2OF5Interleaved, "102"));
    EXPECT_TRUE(IsInvalid(bcCode2OF5Interleaved, "1A2"));
    // Blanks around the value are trimmed, not replaced.
    EXPECT_EQ(Elements(bcCode2OF5Interleaved, "  12 "), Elements(bcCode2OF5Interleaved, "12"));
    EXPECT_FALSE(IsInvalid(bcCode2OF5Interleaved, "  12 "));
    EXPECT_TRUE(IsInvalid(bcCode2OF5Interleaved, "1 2"));
    EXPECT_EQ(Elements(bcMSI, "x"), Elements(bcMSI, "0"));
    EXPECT_TRUE(IsInvalid(bcPostNet, "12-34"));
    EXPECT_TRUE(IsInvalid(bcCode128C, "12a4"));
    EXPECT_EQ(Elements(bcCode128C, "12a4"), Elements(bcCode128C, "1204"));
}

TEST(TwoOfFiveVariants, IndustrialAndMatrix) {
    EXPECT_EQ(Elements(bcCode2OF5Industry, "1"), S("606050"
                                                   "6050505060"
                                                   "605060"));
    EXPECT_EQ(Elements(bcCode2OF5Industry, "0"), S("606050"
                                                   "5050606050"
                                                   "605060"));
    EXPECT_EQ(Elements(bcCode2OF5Matrix, "1"), S("705050"
                                                 "605060"
                                                 "70505"));
    EXPECT_EQ(Elements(bcCode2OF5Matrix, "12"), S("705050"
                                                  "605060"
                                                  "515060"
                                                  "70505"));
}

TEST(Msi, BinaryDigitsAndCheckDigitCountedFromTheRight) {
    // "1": check digit 8 (twice 1 is 2); 1 = 0001, 8 = 1000.
    EXPECT_EQ(Elements(bcMSI, "1"), S("60"
                                      "51515160"
                                      "60515151"
                                      "515"));
    // "2468": 4 and 8 are doubled (48 * 2 = 96, digit sum 15), plus 2 + 6: 23, check 7 = 0111.
    // Counting from the left would give 1.
    EXPECT_TRUE(Elements(bcMSI, "2468")
                    .endsWith(S("51606060"
                                "515")));
    // "1234567": 1357 * 2 = 2714 (digit sum 14) plus 2 + 4 + 6 is 26, check 4 = 0100.
    EXPECT_TRUE(Elements(bcMSI, "1234567")
                    .endsWith(S("51605151"
                                "515")));
    EXPECT_EQ(Elements(bcMSI, "1234567").size(), 2 + 8 * 8 + 3);
}

TEST(PostNet, FullAndShortBarsWithoutCheckDigit) {
    EXPECT_EQ(Elements(bcPostNet, "1"), S("51"
                                          "A1A1A15151"
                                          "5"));
    EXPECT_EQ(Elements(bcPostNet, "0"), S("51"
                                          "5151A1A1A1"
                                          "5"));
    EXPECT_EQ(Elements(bcPostNet, "10", true), S("51"
                                                 "A1A1A15151"
                                                 "5151A1A1A1"
                                                 "5"));
}

TEST(UpcSupplements, TwoDigitsParityFromValueModFour) {
    EXPECT_EQ(Elements(bcUPC_Supp2, "12"), S("506"
                                             "1615"
                                             "05"
                                             "1516")); // 12 mod 4 = 0: oo
    EXPECT_EQ(Elements(bcUPC_Supp2, "13"), S("506"
                                             "1615"
                                             "05"
                                             "0535")); // oE
    EXPECT_EQ(Elements(bcUPC_Supp2, "10"), S("506"
                                             "0616"
                                             "05"
                                             "2605")); // Eo
    EXPECT_EQ(Elements(bcUPC_Supp2, "7"), S("506"
                                            "0517"
                                            "05"
                                            "1525")); // 07: EE
    EXPECT_TRUE(Elements(bcUPC_Supp2, "123").isEmpty());
    EXPECT_TRUE(IsInvalid(bcUPC_Supp2, "123"));
}

TEST(UpcSupplements, FiveDigitsParityFromWeightedCheck) {
    // 52495: 3 * (5 + 4 + 5) + 9 * (2 + 9) = 141, check 1, row EoEoo.
    EXPECT_EQ(Elements(bcUPC_Supp5, "52495"), S("506"
                                                "0715"
                                                "05"
                                                "1516"
                                                "05"
                                                "1705"
                                                "05"
                                                "2506"
                                                "05"
                                                "0625"));
    // 00000: check 0, row EEooo.
    EXPECT_EQ(Elements(bcUPC_Supp5, ""), S("506"
                                           "0517"
                                           "05"
                                           "0517"
                                           "05"
                                           "2605"
                                           "05"
                                           "2605"
                                           "05"
                                           "2605"));
    EXPECT_TRUE(IsInvalid(bcUPC_Supp5, "123456"));
}

TEST(Modulo10, WeightsLastDigitThree) {
    EXPECT_EQ(Modulo10CheckDigit(u"400638133393"), u'1');
    EXPECT_EQ(Modulo10CheckDigit(u"9638507"), u'4');
    EXPECT_EQ(Modulo10CheckDigit(u"03600029145"), u'2');
    EXPECT_EQ(Modulo10CheckDigit(u"1"), u'7');
    EXPECT_EQ(Modulo10CheckDigit(u""), u'0');
}

TEST(Ean13, ParityRowFromFirstDigit) {
    // 4 selects ABAABB.
    const QString expected = S("505"
                               "2605"
                               "0517"
                               "0508"
                               "0805"
                               "2515"
                               "0616"
                               "05050"
                               "5350"
                               "5350"
                               "5350"
                               "7051"
                               "5350"
                               "6160"
                               "505");
    EXPECT_EQ(Elements(bcEAN13, "4006381333931"), expected);
    EXPECT_EQ(Elements(bcEAN13, "400638133393", true), expected);
    EXPECT_FALSE(IsInvalid(bcEAN13, "400638133393", true));
}

TEST(Ean13, PaddingAndWrongLengths) {
    EXPECT_EQ(Elements(bcEAN13, "123"), S("505"
                                          "2605"
                                          "2605"
                                          "2605"
                                          "2605"
                                          "2605"
                                          "2605"
                                          "05050"
                                          "7150"
                                          "7150"
                                          "7150"
                                          "6160"
                                          "6061"
                                          "5350"
                                          "505"));
    EXPECT_TRUE(Elements(bcEAN13, "12345678901234").isEmpty());
    EXPECT_TRUE(IsInvalid(bcEAN13, "12345678901234"));
    // Thirteen digits and a check digit make fourteen.
    EXPECT_TRUE(IsInvalid(bcEAN13, "4006381333931", true));
    // Asking for a check digit by a method that adds none leaves twelve.
    EXPECT_TRUE(IsInvalid(bcEAN13, "400638133393", true, cmNone));
    EXPECT_TRUE(Elements(bcEAN13, "400638133393", true, cmNone).isEmpty());
}

TEST(Ean8, SetsAroundCentreGuardAndCheckDigit) {
    const QString expected = S("505"
                               "2506"
                               "0508"
                               "0805"
                               "0607"
                               "05050"
                               "5170"
                               "7150"
                               "5251"
                               "5071"
                               "505");
    EXPECT_EQ(Elements(bcEAN8, "96385074"), expected);
    EXPECT_EQ(Elements(bcEAN8, "9638507", true), expected);
    // With a check digit only the last seven digits count.
    EXPECT_EQ(Elements(bcEAN8, "123459638507", true), expected);
    EXPECT_TRUE(IsInvalid(bcEAN8, "963850745"));
    EXPECT_TRUE(IsInvalid(bcEAN8, "9638507", true, cmNone));
    EXPECT_FALSE(IsInvalid(bcEAN8, "5"));
}

TEST(UpcA, TwelfthDigitIsAlwaysTheCheckDigitWhenAsked) {
    const QString expected = S("505"
                               "2605"
                               "0805"
                               "0508"
                               "2605"
                               "2605"
                               "2605"
                               "05050"
                               "6061"
                               "7051"
                               "6160"
                               "5071"
                               "5170"
                               "6061"
                               "505");
    EXPECT_EQ(Elements(bcUPC_A, "036000291452"), expected);
    // The first eleven digits stay; the twelfth is replaced by the computed digit, even by
    // the method that adds none. Eleven digits or fewer are the number without its check
    // digit: they are padded to eleven, never to twelve, so none of them is cut off.
    EXPECT_EQ(Elements(bcUPC_A, "036000291450", true), expected);
    EXPECT_EQ(Elements(bcUPC_A, "03600029145", true), expected);
    EXPECT_EQ(Elements(bcUPC_A, "03600029145", true, cmNone), expected);
    EXPECT_EQ(Elements(bcUPC_A, "3600029145", true), expected);
    EXPECT_EQ(Elements(bcUPC_A, "7", true), Elements(bcUPC_A, "000000000079"));
    EXPECT_EQ(Elements(bcUPC_A, "036000291459", true), expected);
    EXPECT_EQ(Elements(bcUPC_A, "036000291459", true, cmNone), expected);
    EXPECT_TRUE(IsInvalid(bcUPC_A, "0360002914520"));
}

TEST(UpcE, ParityRowFromCheckDigitAndSixModuleEndGuard) {
    // 0123456: the seventh digit 6 picks EoooEE.
    EXPECT_EQ(Elements(bcUPC_E0, "0123456"), S("505"
                                               "0517"
                                               "1615"
                                               "1516"
                                               "0805"
                                               "1705"
                                               "0715"
                                               "050505"));
    // Number system 1 exchanges the sets.
    EXPECT_EQ(Elements(bcUPC_E1, "0123456"), S("505"
                                               "2605"
                                               "0616"
                                               "1606"
                                               "0535"
                                               "0526"
                                               "0625"
                                               "050505"));
    // With a check digit, 012345 gives 7 (5*3 + 4 + 3*3 + 2 + 1*3) whatever the seventh digit.
    EXPECT_EQ(Elements(bcUPC_E0, "0123459", true), Elements(bcUPC_E0, "0123457"));
    EXPECT_EQ(Elements(bcUPC_E0, "0123459", true, cmNone), Elements(bcUPC_E0, "0123459"));
    EXPECT_EQ(PatternWidth(Elements(bcUPC_E0, "0"), BarcodeWidths(1, 2.0)), 3 + 6 * 7 + 6);
}

TEST(UpcE, SixDigitsAreKeptWhole) {
    // 123456 stands for the UPC-A number 01234500006, whose check digit is 5. Padding six
    // digits to seven would encode 012345 instead.
    EXPECT_EQ(ExpandUpcE(u"123456", u'0'), S("01234500006"));
    EXPECT_EQ(Elements(bcUPC_E0, "123456", true), Elements(bcUPC_E0, "1234565"));
    EXPECT_NE(Elements(bcUPC_E0, "123456", true), Elements(bcUPC_E0, "0123457"));
    // Without a check digit asked for there is no seventh digit to choose the parity by; the
    // computed one is the only choice a scanner accepts.
    EXPECT_EQ(Elements(bcUPC_E0, "123456"), Elements(bcUPC_E0, "1234565"));
    EXPECT_EQ(Elements(bcUPC_E1, "123456"), Elements(bcUPC_E1, "1234562"));
    // Fewer digits are padded to six, more than seven keep their first six as before.
    EXPECT_EQ(Elements(bcUPC_E0, "12345", true), Elements(bcUPC_E0, "0123457"));
    EXPECT_EQ(Elements(bcUPC_E0, "12345678"), Elements(bcUPC_E0, "1234567"));
}

TEST(UpcE, CheckDigitIsTheExpandedUpcANumbers) {
    // The four ways six digits abbreviate a UPC-A number, chosen by the last of them.
    EXPECT_EQ(ExpandUpcE(u"123450", u'0'), S("01200000345"));
    EXPECT_EQ(ExpandUpcE(u"654321", u'0'), S("06510000432"));
    EXPECT_EQ(ExpandUpcE(u"123453", u'0'), S("01230000045"));
    EXPECT_EQ(ExpandUpcE(u"123454", u'0'), S("01234000005"));
    EXPECT_EQ(ExpandUpcE(u"123457", u'1'), S("11234500007"));
    EXPECT_EQ(ExpandUpcE(u"12345", u'0'), QString());

    // 06510000432 gives 7, where the six digits alone would give 1.
    EXPECT_EQ(Elements(bcUPC_E0, "6543210", true), Elements(bcUPC_E0, "6543217"));
    EXPECT_NE(Elements(bcUPC_E0, "6543210", true), Elements(bcUPC_E0, "6543211"));
    EXPECT_EQ(Elements(bcUPC_E0, "1234500", true), Elements(bcUPC_E0, "1234505"));
    EXPECT_EQ(Elements(bcUPC_E0, "1234540", true), Elements(bcUPC_E0, "1234543"));
    // Number system 1 enters the sum: 11234500007 gives 9, not the 7 of system 0.
    EXPECT_EQ(Elements(bcUPC_E1, "1234570", true), Elements(bcUPC_E1, "1234579"));
}

TEST(Code39, StartStopNarrowGapsAndModulo43) {
    const QString star = S("5150606050");
    const QString a = S("6050515060");
    EXPECT_EQ(Elements(bcCode39, "A"), star + a + star);
    EXPECT_EQ(Elements(bcCode39, "A", true), star + a + a + star); // 10 mod 43 is A again
    // 1 + 2 + 35 (Z) + 42 (%) = 80; 80 mod 43 = 37, the ".".
    EXPECT_EQ(Elements(bcCode39, "12Z%", true), Elements(bcCode39, "12Z%."));
    // Lower case is outside the set: skipped and flagged.
    EXPECT_EQ(Elements(bcCode39, "1a2"), Elements(bcCode39, "12"));
    EXPECT_TRUE(IsInvalid(bcCode39, "1a2"));
    EXPECT_TRUE(IsInvalid(bcCode39, "*"));
    EXPECT_FALSE(IsInvalid(bcCode39, "- .$/+%"));
}

TEST(Code39, ExtendedMapsEveryAsciiCharacterToItsPair) {
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
        EXPECT_EQ(Elements(bcCode39Extended, c.value), Elements(bcCode39, S(c.pair))) << c.pair;
        EXPECT_FALSE(IsInvalid(bcCode39Extended, c.value)) << c.pair;
    }
    // The check character is taken over the pairs.
    EXPECT_EQ(Elements(bcCode39Extended, "ab", true), Elements(bcCode39, "+A+B", true));
    EXPECT_EQ(Elements(bcCode39Extended, QStringLiteral("a\u00c4b")), Elements(bcCode39, "+A+B"));
    EXPECT_TRUE(IsInvalid(bcCode39Extended, QStringLiteral("a\u00c4b")));
}

TEST(Code128, StartDataCheckAndStop) {
    // Start B (211214), A = 33 (111323), check (104 + 33) mod 103 = 34 (131123), stop.
    EXPECT_EQ(Elements(bcCode128B, "A"), S("605153"
                                           "505262"
                                           "525062"
                                           "6270506"));
    // Start C (211232), FNC1 (411131), 12 (112232), check (105 + 102 + 24) mod 103 = 25 (321122).
    EXPECT_EQ(Elements(bcEAN128C, "12"), S("605171"
                                           "805070"
                                           "506171"
                                           "715061"
                                           "6270506"));
    EXPECT_EQ(PatternWidth(Elements(bcCode128B, "A"), BarcodeWidths(1, 2.0)), 3 * 11 + 13);
}

TEST(Code128, CodeSetsPaddingAndCheckSumFlag) {
    EXPECT_EQ(Elements(bcCode128C, "123"), Elements(bcCode128C, "0123"));
    // Set A has no lower case and set B no control characters: they go out as blanks.
    EXPECT_EQ(Elements(bcCode128A, "a"), Elements(bcCode128A, " "));
    EXPECT_EQ(Elements(bcCode128B, "\t"), Elements(bcCode128B, " "));
    EXPECT_NE(Elements(bcCode128A, "\t"), Elements(bcCode128A, " "));
    EXPECT_EQ(Elements(bcCode128B, QStringLiteral("\u00e9")), Elements(bcCode128B, " "));
    // Plain Code 128 has its own check symbol only.
    EXPECT_EQ(Elements(bcCode128B, "12", true), Elements(bcCode128B, "12"));
    // EAN 128 appends the Modulo 10 digit first: 1 -> 17, 12 -> 123.
    EXPECT_EQ(Elements(bcEAN128C, "1", true), Elements(bcEAN128C, "17"));
    EXPECT_EQ(Elements(bcEAN128B, "12", true), Elements(bcEAN128B, "123"));
    EXPECT_EQ(Elements(bcEAN128B, "12", true, cmNone), Elements(bcEAN128B, "12"));
    // A value with letters has no Modulo 10 digit.
    EXPECT_EQ(Elements(bcEAN128A, "AB1", true), Elements(bcEAN128A, "AB1"));
    // FNC1 shifts every data symbol one place, so the check differs from plain Code 128.
    EXPECT_NE(Elements(bcEAN128B, "AB").right(13), Elements(bcCode128B, "AB").right(13));
}

TEST(Code93, TwoCheckCharactersWeightedFromTheRight) {
    // TEST93: C = 464 mod 47 = 41 ("+", 113121), K = 617 mod 47 = 6 (121311).
    const QString elements = Elements(bcCode93, "TEST93");
    EXPECT_TRUE(elements.startsWith(S("505080")));
    EXPECT_TRUE(elements.endsWith(S("507060"
                                    "515250"
                                    "5050805")));
    EXPECT_EQ(elements.size(), 6 + 8 * 6 + 7);
    EXPECT_EQ(Elements(bcCode93, "TEsT93"), Elements(bcCode93, "TET93"));
    EXPECT_TRUE(IsInvalid(bcCode93, "TEsT93"));
}

TEST(Code93, ExtendedUsesItsOwnShiftCharacters) {
    // a = (+)A: 46, 10; C = (10 + 92) mod 47 = 8; K = (8 + 20 + 138) mod 47 = 25 ("P").
    EXPECT_EQ(Elements(bcCode93Extended, "a"), S("505080"
                                                 "516150"
                                                 "605052"
                                                 "525150"
                                                 "525060"
                                                 "5050805"));
    EXPECT_EQ(Elements(bcCode93Extended, "AB-"), Elements(bcCode93, "AB-"));
    EXPECT_TRUE(IsInvalid(bcCode93Extended, QStringLiteral("\u00e9")));
}

TEST(CodaBar, StartAStopBAndSkippedCharacters) {
    EXPECT_EQ(Elements(bcCodaBar, "1"), S("50615150"
                                          "50506150"
                                          "5151506"));
    EXPECT_EQ(Elements(bcCodaBar, "1x"), Elements(bcCodaBar, "1"));
    EXPECT_TRUE(IsInvalid(bcCodaBar, "1x"));
    EXPECT_FALSE(IsInvalid(bcCodaBar, "0123456789-$:/.+ABCD"));
}

TEST(ElementWidths, RoundingBytesAndUnknownCharacters) {
    const TRLBarcodeWidths m1 = BarcodeWidths(1, 2.0);
    EXPECT_EQ(m1.W, (std::array<uint8_t, 4>{1, 2, 3, 4}));
    // 2.5 and 7.5 round to the even neighbour.
    EXPECT_EQ(BarcodeWidths(1, 2.5).W, (std::array<uint8_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(BarcodeWidths(3, 2.5).W, (std::array<uint8_t, 4>{3, 8, 12, 16}));
    EXPECT_EQ(BarcodeWidths(2, 2.25).W, (std::array<uint8_t, 4>{2, 4, 6, 8}));
    // Widths are bytes: 2 * 147 wraps to 38.
    EXPECT_EQ(BarcodeWidths(49, 3.0).W, (std::array<uint8_t, 4>{49, 147, 220, 38}));
    EXPECT_EQ(PatternWidth(u"0123", m1), 10);
    EXPECT_EQ(PatternWidth(u"5678", m1), 10);
    EXPECT_EQ(PatternWidth(u"ABCD", m1), 10);
    EXPECT_EQ(PatternWidth(u"49x", m1), 3);
}

TEST(BarcodeTypes, NamesRatiosAndDigitsOnly) {
    for (int i = 0; i < BarcodeTypeCount; ++i) {
        const auto type = static_cast<TRLBarcodeType>(i);
        EXPECT_EQ(BarcodeTypeFromName(BarcodeTypeName(type)), type);
        EXPECT_EQ(BarcodeTypeFromName(BarcodeDisplayName(type)), type);
    }
    EXPECT_EQ(BarcodeDisplayName(bcCode2OF5Interleaved), S("2OF5 Interleaved"));
    EXPECT_EQ(BarcodeDisplayName(bcUPC_E1), S("UPC E1"));
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
        for (const QString& value : values) {
            for (bool checkSum : {false, true}) {
                const TRLBarcodeElements e = EncodeBarcodeElements(static_cast<TRLBarcodeType>(i),
                                                                   value, checkSum, cmModule10);
                for (QChar c : e.Elements) {
                    EXPECT_TRUE(QStringLiteral("01235678A").contains(c))
                        << BarcodeTypeName(static_cast<TRLBarcodeType>(i)).toStdString();
                }
            }
        }
    }
}
