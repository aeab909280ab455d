#include "ParserTestSupport.h"

#include <kelmora/parser/RLValue.h>

#include <map>

using namespace Kelmora;

using parsertest::ErrorOf;

namespace {

using V = TRLValue;

const TRLValue kNull = TRLValue::Null();
const TRLValue kUnassigned;

TRLDecimal Decimal(const std::string& text) {
    TRLDecimal value;
    EXPECT_TRUE(TRLDecimal::Read(QString::fromStdString(text), value)) << text;
    return value;
}

// The operation as the parser names it; a unary one takes only the right operand.
TRLValue Apply(const std::string& op, const TRLValue& a, const TRLValue& b) {
    using C = TRLValueComparison;
    static const std::map<std::string, TRLValue (*)(const TRLValue&, const TRLValue&)> binary{
        {"+", V::Add},   {"-", V::Subtract}, {"*", V::Multiply}, {"/", V::Divide},
        {"^", V::Power}, {"\\", V::Root},    {"&", V::And},      {"|", V::Or}};
    static const std::map<std::string, C> compare{{"<", C::Less},          {"=", C::Equal},
                                                  {"<>", C::NotEqual},     {">", C::Greater},
                                                  {">=", C::GreaterEqual}, {"<=", C::LessEqual}};
    if (op == "neg")
        return V::Negate(b);
    if (op == "not")
        return V::Not(b);
    if (const auto it = binary.find(op); it != binary.end())
        return it->second(a, b);
    return V(V::Compare(compare.at(op), a, b));
}

struct Case {
    TRLValue left;
    const char* op;
    TRLValue right, expected;
};
struct Fault {
    TRLValue left;
    const char* op;
    TRLValue right;
    const char* error;
};

template <typename Row> std::string Describe(const Row& c) {
    return testing::PrintToString(c.left) + " " + c.op + " " + testing::PrintToString(c.right);
}

// Each case's result and each fault's error message.
template <size_t N, size_t M> void ExpectCases(const Case (&cases)[N], const Fault (&faults)[M]) {
    for (const auto& c : cases)
        EXPECT_EQ(Apply(c.op, c.left, c.right), c.expected) << Describe(c);
    for (const auto& f : faults)
        EXPECT_EQ(ErrorOf<TRLValueError>([&] { Apply(f.op, f.left, f.right); }), QString(f.error))
            << Describe(f);
}

} // namespace

// Two strings concatenate, a numeric string joins arithmetic with a number; null propagates even
// beside an operand that could not be used.
TEST(TRLValue, ArithmeticFollowsTheConversionRules) {
    const Case cases[] = {
        {"3", "+", 2, 5}, {"5", "-", "2", 3},    {7, "/", 2, 3.5},       {2, "^", 10, 1024},
        {16, "\\", 4, 2}, {"1", "+", "2", "12"}, {kNull, "+", 1, kNull}, {true, "+", kNull, kNull},
    };
    const Fault faults[] = {
        {"abc", "+", 1, "Cannot convert string \"abc\" to number"},
        {true, "+", 1, "Cannot apply \"+\" to boolean and number"},
        {"a", "-", "b", "Cannot convert string \"a\" to number"},
        {1, "/", 0, "Division by zero"},
        {1e308, "*", 10, "Floating point overflow"},
        {16, "\\", 0, "Division by zero"},
        {-8, "\\", 3, "Invalid floating point operation"},
        {{}, "neg", true, "Cannot apply \"-\" to boolean"},
        {{}, "not", kUnassigned, "Cannot apply \"not\" to unassigned"},
    };
    ExpectCases(cases, faults);
}

// A boolean on either side makes the operation logical; numbers are rounded half to even. "not"
// of a text reads it as a number or else as a boolean. The parser's tests run the signs.
TEST(TRLValue, LogicalOperatorsAreBitwiseOnNumbers) {
    const Case cases[] = {
        {5, "&", 3, 1},
        {"4", "|", "1", 5},
        {true, "&", false, false},
        {true, "&", 2, true},
        {2.5, "&", 3, 2},
        {3.5, "&", 4, 4},
        {kNull, "&", true, kNull},
        {{}, "neg", kNull, kNull},
        {{}, "not", "6", -7},
        {{}, "not", "false", true},
    };
    const Fault faults[] = {
        {1e10, "|", 1, "Number 10000000000 is out of range for \"or\""},
        {true, "&", "maybe", "Cannot convert string \"maybe\" to boolean"},
    };
    ExpectCases(cases, faults);
}

// Two strings compare as text, a number makes it numeric; case matters; false comes before true;
// null equals only null and orders before everything.
TEST(TRLValue, Comparisons) {
    const Case cases[] = {
        {1, "<", 2, true},         {"10", "<", "9", true}, {10, "<", "9", false},
        {"a", "=", "A", false},    {"a", "<>", "b", true}, {true, ">", false, true},
        {kNull, "=", kNull, true}, {kNull, "=", 0, false}, {kNull, "<", -1e300, true},
        {3, ">=", 3, true},        {4, "<=", 3, false},
    };
    const Fault faults[] = {
        {true, "=", 1, "Cannot apply \"=\" to boolean and number"},
        {kUnassigned, "<>", kNull, "Cannot apply \"<>\" to unassigned and null"},
        {"abc", ">", 1, "Cannot convert string \"abc\" to number"},
    };
    ExpectCases(cases, faults);
}

TEST(TRLValue, Conversions) {
    const std::pair<const char*, double> numbers[] = {{" -1.5e3 ", -1500}, {".5", 0.5}};
    for (const auto& [text, number] : numbers)
        EXPECT_EQ(TRLValue(text).ToNumber(), number) << text;
    for (const char* text : {"", "1,5", "inf", "0x10", "1e999", "--1"})
        EXPECT_EQ(ErrorOf([&] { TRLValue(text).ToNumber(); }),
                  QStringLiteral("Cannot convert string \"%1\" to number").arg(text));
    EXPECT_EQ(ErrorOf([&] { kNull.ToNumber(); }), "Cannot convert null to number");
    EXPECT_EQ(ErrorOf([&] { TRLValue(true).ToNumber(); }), "Cannot convert boolean to number");

    EXPECT_TRUE(TRLValue(" True ").ToBoolean());
    EXPECT_FALSE(TRLValue("0").ToBoolean());
    EXPECT_EQ(ErrorOf([&] { TRLValue("yes").ToBoolean(); }),
              "Cannot convert string \"yes\" to boolean");
    EXPECT_EQ(ErrorOf([&] { kUnassigned.ToBoolean(); }), "Cannot convert unassigned to boolean");

    // Numbers never print with an exponent, and still in as few digits as read back.
    const std::pair<TRLValue, const char*> texts[] = {
        {0.1, "0.1"},
        {100000.0, "100000"},
        {1e20, "100000000000000000000"},
        {-1e21, "-1000000000000000000000"},
        {1e-7, "0.0000001"},
        {1.5e-10, "0.00000000015"},
        {123456789012345680.0, "123456789012345680"},
        {-0.0, "0"},
        {false, "false"},
        {kNull, ""},
        {TRLValue::Exact(Decimal("12345678901234567890.5")), "12345678901234567890.5"},
        {TRLValue::Exact(Decimal("1.50")), "1.5"}};
    for (const auto& [value, text] : texts)
        EXPECT_EQ(value.ToString(), text) << text;
    for (const double extreme : {1e300, -1.7976931348623157e308, 5e-324}) {
        const QString text = TRLValue(extreme).ToString();
        EXPECT_FALSE(text.contains(u'e')) << text.toStdString();
        double back = 0;
        ASSERT_TRUE(TRLValue::ReadNumber(text, back));
        EXPECT_EQ(back, extreme);
    }
    EXPECT_EQ(ErrorOf([] { TRLValue::Exact(Decimal("1" + std::string(400, '0'))); }),
              "Floating point overflow");
}

// A number that keeps its decimal compares by it where the doubles are the same.
TEST(TRLValue, ExactNumbersCompareByTheirDecimals) {
    const TRLValue big = TRLValue::Exact(Decimal("9223372036854775807"));
    const TRLValue bigger = TRLValue::Exact(Decimal("9223372036854775809"));
    ASSERT_EQ(big.ToNumber(), bigger.ToNumber());
    EXPECT_TRUE(TRLValue::Compare(TRLValueComparison::Less, big, bigger));
    EXPECT_TRUE(TRLValue::Compare(TRLValueComparison::Greater, bigger, "9223372036854775807"));
    EXPECT_TRUE(TRLValue::Compare(TRLValueComparison::Equal, big, "9223372036854775807.0"));
    EXPECT_NE(big, bigger);
    EXPECT_EQ(TRLValue::Exact(Decimal("0.25")), TRLValue(0.25));
}

TEST(TRLValue, IdentityDistinguishesKinds) {
    EXPECT_NE(TRLValue(1), TRLValue("1"));
    EXPECT_NE(TRLValue(true), TRLValue(1));
    EXPECT_NE(kNull, kUnassigned);
    EXPECT_NE(TRLValue(""), kUnassigned);
}
