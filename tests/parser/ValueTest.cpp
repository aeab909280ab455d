#include "ParserTestSupport.h"

#include "RLValue.h"

#include <functional>

using parsertest::ErrorOf;

namespace {

const TRLValue kNull = TRLValue::Null();
const TRLValue kUnassigned;

using BinaryOp = std::function<TRLValue(const TRLValue&, const TRLValue&)>;

struct BinaryCase {
    const char* name;
    BinaryOp op;
    TRLValue left;
    TRLValue right;
    TRLValue expected; // ignored when error is set
    const char* error = nullptr;
};

// Each case's result, or its error message when it has one.
template <size_t N> void ExpectBinaryCases(const BinaryCase (&cases)[N]) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.error) {
            EXPECT_EQ(ErrorOf<TRLValueError>([&] { c.op(c.left, c.right); }),
                      QString::fromUtf8(c.error));
        } else {
            EXPECT_EQ(c.op(c.left, c.right), c.expected);
        }
    }
}

} // namespace

TEST(TRLValue, ArithmeticFollowsTheConversionRules) {
    const BinaryCase cases[] = {
        {"numbers add", TRLValue::Add, 2, 3.5, 5.5},
        {"two strings concatenate", TRLValue::Add, "1", "2", "12"},
        {"numeric string joins arithmetic", TRLValue::Add, "3", 2, 5},
        {"number then numeric string", TRLValue::Add, 2, " 3 ", 5},
        {"text with a number",
         TRLValue::Add,
         "abc",
         1,
         {},
         "Cannot convert string \"abc\" to number"},
        {"boolean is no number",
         TRLValue::Add,
         true,
         1,
         {},
         "Cannot apply \"+\" to boolean and number"},
        {"null propagates", TRLValue::Add, kNull, 1, kNull},
        {"null beats an unusable partner", TRLValue::Add, true, kNull, kNull},
        {"unassigned refused",
         TRLValue::Add,
         kUnassigned,
         1,
         {},
         "Cannot apply \"+\" to unassigned and number"},
        {"strings subtract as numbers", TRLValue::Subtract, "5", "2", 3},
        {"non-numeric strings do not subtract",
         TRLValue::Subtract,
         "a",
         "b",
         {},
         "Cannot convert string \"a\" to number"},
        {"string times number", TRLValue::Multiply, "1.5e1", 2, 30},
        {"real division", TRLValue::Divide, 7, 2, 3.5},
        {"division by zero", TRLValue::Divide, 1, 0, {}, "Division by zero"},
        {"overflow is an error", TRLValue::Multiply, 1e308, 10, {}, "Floating point overflow"},
        {"power", TRLValue::Power, 2, 10, 1024},
        {"power of a numeric string", TRLValue::Power, "3", 2, 9},
        {"root", TRLValue::Root, 16, 4, 2},
        {"root of degree zero", TRLValue::Root, 16, 0, {}, "Division by zero"},
        {"odd root of a negative", TRLValue::Root, -8, 3, {}, "Invalid floating point operation"},
        {"power with a boolean",
         TRLValue::Power,
         2,
         false,
         {},
         "Cannot apply \"^\" to number and boolean"},
    };
    ExpectBinaryCases(cases);
}

TEST(TRLValue, LogicalOperatorsAreBitwiseOnNumbers) {
    const BinaryCase cases[] = {
        {"booleans", TRLValue::And, true, false, false},
        {"booleans or", TRLValue::Or, false, true, true},
        {"bitwise and", TRLValue::And, 5, 3, 1},
        {"bitwise or", TRLValue::Or, 5, 2, 7},
        {"numeric strings", TRLValue::Or, "4", "1", 5},
        {"a boolean makes it logical", TRLValue::And, true, 2, true},
        {"zero is false", TRLValue::Or, 0, false, false},
        {"halves round to even", TRLValue::And, 2.5, 3, 2},
        {"and the other way", TRLValue::And, 3.5, 4, 4},
        {"null propagates", TRLValue::And, kNull, true, kNull},
        {"out of integer range",
         TRLValue::Or,
         1e10,
         1,
         {},
         "Number 1e+10 is out of range for \"or\""},
        {"text that is no boolean",
         TRLValue::And,
         true,
         "maybe",
         {},
         "Cannot convert string \"maybe\" to boolean"},
        {"text that reads as boolean", TRLValue::And, true, "TRUE", true},
    };
    ExpectBinaryCases(cases);
}

TEST(TRLValue, UnaryOperators) {
    EXPECT_EQ(TRLValue::Negate(4), TRLValue(-4));
    EXPECT_EQ(TRLValue::Negate("2.5"), TRLValue(-2.5));
    EXPECT_EQ(TRLValue::Negate(kNull), kNull);
    EXPECT_EQ(ErrorOf([&] { TRLValue::Negate(true); }), "Cannot apply \"-\" to boolean");
    EXPECT_EQ(ErrorOf([&] { TRLValue::Negate("x"); }), "Cannot convert string \"x\" to number");

    EXPECT_EQ(TRLValue::Not(true), TRLValue(false));
    EXPECT_EQ(TRLValue::Not(0), TRLValue(-1));
    EXPECT_EQ(TRLValue::Not(-1), TRLValue(0));
    EXPECT_EQ(TRLValue::Not("6"), TRLValue(-7));
    EXPECT_EQ(TRLValue::Not("false"), TRLValue(true));
    EXPECT_EQ(TRLValue::Not(kNull), kNull);
    EXPECT_EQ(ErrorOf([&] { TRLValue::Not(kUnassigned); }), "Cannot apply \"not\" to unassigned");
}

TEST(TRLValue, Comparisons) {
    using C = TRLValueComparison;
    struct Case {
        const char* name;
        C how;
        TRLValue left;
        TRLValue right;
        bool expected;
        const char* error = nullptr;
    };
    const Case cases[] = {
        {"numbers", C::Less, 1, 2, true},
        {"numbers equal", C::Equal, 2, 2.0, true},
        {"two strings compare as text", C::Less, "10", "9", true},
        {"a number makes it numeric", C::Less, 10, "9", false},
        {"case matters", C::Equal, "a", "A", false},
        {"not equal", C::NotEqual, "a", "b", true},
        {"false before true", C::Greater, true, false, true},
        {"null equals null", C::Equal, kNull, kNull, true},
        {"null is no zero", C::Equal, kNull, 0, false},
        {"null orders first", C::Less, kNull, -1e300, true},
        {"null is not greater", C::GreaterEqual, kNull, "", false},
        {"greater or equal", C::GreaterEqual, 3, 3, true},
        {"less or equal", C::LessEqual, 4, 3, false},
        {"boolean against number", C::Equal, true, 1, false,
         "Cannot apply \"=\" to boolean and number"},
        {"unassigned", C::NotEqual, kUnassigned, kNull, false,
         "Cannot apply \"<>\" to unassigned and null"},
        {"text against number", C::Greater, "abc", 1, false,
         "Cannot convert string \"abc\" to number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.error) {
            EXPECT_EQ(ErrorOf<TRLValueError>([&] { TRLValue::Compare(c.how, c.left, c.right); }),
                      QString::fromUtf8(c.error));
        } else {
            EXPECT_EQ(TRLValue::Compare(c.how, c.left, c.right), c.expected);
        }
    }
}

TEST(TRLValue, Conversions) {
    EXPECT_EQ(TRLValue(" -1.5e3 ").ToNumber(), -1500);
    EXPECT_EQ(TRLValue("+2").ToNumber(), 2);
    EXPECT_EQ(TRLValue(".5").ToNumber(), 0.5);
    for (const char* text : {"", " ", "1,5", "inf", "nan", "0x10", "1e999", "1 2", "--1"}) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ErrorOf([&] { TRLValue(text).ToNumber(); }),
                  QStringLiteral("Cannot convert string \"%1\" to number").arg(text));
    }
    EXPECT_EQ(ErrorOf([&] { kNull.ToNumber(); }), "Cannot convert null to number");
    EXPECT_EQ(ErrorOf([&] { TRLValue(true).ToNumber(); }), "Cannot convert boolean to number");

    EXPECT_TRUE(TRLValue(" True ").ToBoolean());
    EXPECT_FALSE(TRLValue("0").ToBoolean());
    EXPECT_TRUE(TRLValue(-0.5).ToBoolean());
    EXPECT_EQ(ErrorOf([&] { TRLValue("yes").ToBoolean(); }),
              "Cannot convert string \"yes\" to boolean");
    EXPECT_EQ(ErrorOf([&] { kUnassigned.ToBoolean(); }), "Cannot convert unassigned to boolean");

    EXPECT_EQ(TRLValue(3).ToString(), "3");
    EXPECT_EQ(TRLValue(0.1).ToString(), "0.1");
    EXPECT_EQ(TRLValue(1e20).ToString(), "1e+20");
    EXPECT_EQ(TRLValue(-0.0).ToString(), "0");
    EXPECT_EQ(TRLValue(-2.25).ToString(), "-2.25");
    EXPECT_EQ(TRLValue(false).ToString(), "false");
    EXPECT_EQ(kNull.ToString(), "");
    EXPECT_EQ(kUnassigned.ToString(), "");
}

TEST(TRLValue, IdentityDistinguishesKinds) {
    EXPECT_NE(TRLValue(1), TRLValue("1"));
    EXPECT_NE(TRLValue(true), TRLValue(1));
    EXPECT_NE(kNull, kUnassigned);
    EXPECT_NE(TRLValue(""), kUnassigned);
    EXPECT_EQ(TRLValue("x"), TRLValue(QStringLiteral("x")));
}
