// Exact decimals: what they read and write, and their sums, orders and quotients checked against
// 128-bit integer arithmetic over many random terms, and beyond that width against identities.
#include "ParserTestSupport.h"

#include <kelmora/parser/RLDecimal.h>

#include <random>
#include <string>

using namespace Kelmora;

namespace {

__extension__ typedef __int128 Wide;

TRLDecimal Decimal(const QString& text) {
    TRLDecimal value;
    EXPECT_TRUE(TRLDecimal::Read(text, value)) << text.toStdString();
    return value;
}

std::string WideText(Wide value) {
    const bool negative = value < 0;
    std::string digits;
    do {
        const int digit = static_cast<int>(value % 10);
        digits.insert(digits.begin(), static_cast<char>('0' + (digit < 0 ? -digit : digit)));
        value /= 10;
    } while (value != 0);
    return negative ? "-" + digits : digits;
}

// units * 10^-scale as a plain decimal text, trailing zeros and all.
QString UnitsText(Wide units, int scale) {
    std::string text = WideText(units);
    const bool negative = text[0] == '-';
    if (negative)
        text.erase(0, 1);
    if (scale > 0) {
        if (text.size() <= static_cast<size_t>(scale))
            text.insert(0, static_cast<size_t>(scale) + 1 - text.size(), '0');
        text.insert(text.size() - static_cast<size_t>(scale), 1, '.');
    }
    return QString::fromStdString((negative ? "-" : "") + text);
}

TEST(TRLDecimal, ReadsNumbersAndWritesThemPlain) {
    const std::pair<const char*, const char*> cases[] = {
        {"0", "0"},
        {"-0.000", "0"},
        {" +12.50 ", "12.5"},
        {"1e5", "100000"},
        {"1.5E-7", "0.00000015"},
        {".5", "0.5"},
        {"5.", "5"},
        {"-007.0100", "-7.01"},
        {"123456789012345678901234567890.0123456789", "123456789012345678901234567890.0123456789"},
        {"0e999999999999", "0"},
    };
    for (const auto& [text, plain] : cases)
        EXPECT_EQ(Decimal(QString::fromLatin1(text)).Text(), QString::fromLatin1(plain)) << text;
    // The language's own numbers only: no locale separators, no words, nothing beyond the range.
    for (const char* text : {"", "-", "1,5", "1.2.3", "e5", "1e", "inf", "nan", "0x10", "1 000",
                             "1e1101", "1e-1101"}) {
        TRLDecimal value = Decimal(QStringLiteral("7"));
        EXPECT_FALSE(TRLDecimal::Read(QString::fromLatin1(text), value)) << text;
        EXPECT_EQ(value.Text(), QStringLiteral("7")) << text;
    }
    EXPECT_EQ(Decimal(QStringLiteral("-1e1099")).Text().size(), 1101);
    EXPECT_EQ(TRLDecimal::FromDouble(0.1).Text(), QStringLiteral("0.1"));
    EXPECT_EQ(TRLDecimal::FromDouble(-1e21).Text(), QStringLiteral("-1") + QString(21, u'0'));
    EXPECT_EQ(TRLDecimal::FromInteger(-9223372036854775807LL - 1).Text(),
              QStringLiteral("-9223372036854775808"));
    EXPECT_EQ(Decimal(QStringLiteral("1234.5")).ToDouble(), 1234.5);
    EXPECT_EQ(Decimal(QStringLiteral("-1e400")).ToDouble(), -HUGE_VAL);
}

// Random terms of up to 30 digits at scales 0 to 8, summed both ways, with their order and the
// order of each partial sum against the last checked too.
TEST(TRLDecimal, SumsAndOrderMatchWideIntegers) {
    std::mt19937_64 random(20261207);
    for (int run = 0; run < 300; ++run) {
        const int scale = static_cast<int>(random() % 9);
        TRLDecimal sum;
        Wide expected = 0;
        Wide previous = 0;
        TRLDecimal previousDecimal;
        const int terms = 1 + static_cast<int>(random() % 40);
        for (int t = 0; t < terms; ++t) {
            Wide units = 0;
            const int digits = 1 + static_cast<int>(random() % 30);
            for (int d = 0; d < digits; ++d)
                units = units * 10 + static_cast<Wide>(random() % 10);
            if (random() % 2)
                units = -units;
            const TRLDecimal term = Decimal(UnitsText(units, scale));
            ASSERT_EQ(TRLDecimal::Compare(term, previousDecimal),
                      units < previous ? -1 : (units > previous ? 1 : 0))
                << UnitsText(units, scale).toStdString() << " against "
                << previousDecimal.Text().toStdString();
            previous = units;
            previousDecimal = term;
            ASSERT_TRUE(sum.Add(term));
            expected += units;
            ASSERT_EQ(sum, Decimal(UnitsText(expected, scale)))
                << sum.Text().toStdString() << " after " << t + 1 << " terms";
        }
    }
}

// Beyond 128 bits: adding a number and taking it away again gives back what was there, and the
// digits carry across the widest sums.
TEST(TRLDecimal, LongSumsKeepEveryDigit) {
    std::mt19937_64 random(7);
    TRLDecimal sum = Decimal(QStringLiteral("0.0000000001"));
    const TRLDecimal start = sum;
    std::vector<TRLDecimal> terms;
    for (int i = 0; i < 200; ++i) {
        std::string text = random() % 2 ? "-" : "";
        const int whole = 1 + static_cast<int>(random() % 60);
        for (int d = 0; d < whole; ++d)
            text.push_back(static_cast<char>('0' + random() % 10));
        text += "." + std::to_string(random());
        terms.push_back(Decimal(QString::fromStdString(text)));
        ASSERT_TRUE(sum.Add(terms.back()));
    }
    for (const TRLDecimal& term : terms)
        ASSERT_TRUE(sum.Add(Decimal(term.IsNegative() ? term.Text().mid(1) : "-" + term.Text())));
    EXPECT_EQ(sum, start) << sum.Text().toStdString();

    TRLDecimal nines = Decimal(QString(38, u'9') + QStringLiteral(".9999999999"));
    ASSERT_TRUE(nines.Add(Decimal(QStringLiteral("0.0000000001"))));
    EXPECT_EQ(nines.Text(), QStringLiteral("1") + QString(38, u'0'));
    TRLDecimal limit = Decimal(QString(1100, u'9'));
    EXPECT_FALSE(limit.Add(Decimal(QStringLiteral("1"))));
    EXPECT_EQ(limit.Text(), QString(1100, u'9'));
}

TEST(TRLDecimal, QuotientsAndRounding) {
    const struct {
        const char* Sum;
        long long Count;
        int Decimals;
        const char* Quotient;
    } quotients[] = {
        {"3.85", 3, -1, "1.2833333333333333"}, // 17 significant digits
        {"2220.5", 6, -1, "370.08333333333333"},
        {"4", 2, -1, "2"},
        {"1", 8, -1, "0.125"},
        {"0.5", 3, -1, "0.16666666666666667"},
        {"-1", 3, -1, "-0.33333333333333333"},
        {"18446744073709551614", 2, -1, "9223372036854775807"}, // every whole digit stays
        {"2.5", 2, 0, "1"},                                     // half to even
        {"3.5", 2, 0, "2"},
        {"2.50000000001", 2, 0, "1"},
        {"1.001", 2, 2, "0.5"},
        {"12345678901234567890123456789.0123456789", 1, -1,
         "12345678901234567890123456789.0123456789"},
    };
    for (const auto& q : quotients)
        EXPECT_EQ(Decimal(QString::fromLatin1(q.Sum)).DividedBy(q.Count, q.Decimals).Text(),
                  QString::fromLatin1(q.Quotient))
            << q.Sum << " / " << q.Count;

    const std::tuple<const char*, int, const char*> rounded[] = {
        {"2.345", 2, "2.35"}, {"-2.345", 2, "-2.35"}, {"2.344999", 2, "2.34"},
        {"9.999", 2, "10"},   {"0.004", 2, "0"},      {"1234.5", 0, "1235"},
        {"12.5", 3, "12.5"},  {"-0.005", 2, "-0.01"},
    };
    for (const auto& [value, decimals, text] : rounded)
        EXPECT_EQ(Decimal(QString::fromLatin1(value)).Rounded(decimals).Text(),
                  QString::fromLatin1(text))
            << value;
}

} // namespace
