#include "ParserTestSupport.h"

#include "RLValue.h"

#include <functional>

using parsertest::ErrorOf;

namespace {

using V = TRLValue;

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
        {"numbers add", V::Add, 2, 3.5, 5.5},
        {"two strings concatenate", V::Add, "1", "2", "12"},
        {"numeric string joins arithmetic", V::Add, "3", 2, 5},
        {"number then numeric string", V::Add, 2, " 3 ", 5},
        {"text with a number", V::Add, "abc", 1, {}, "Cannot convert string \"abc\" to number"},
        {"boolean is no number", V::Add, true, 1, {}, "Cannot apply \"+\" to boolean and number"},
        {"null propagates", V::Add, kNull, 1, kNull},
        {"null beats an unusable partner", V::Add, true, kNull, kNull},
        {"unassigned", V::Add, kUnassigned, 1, {}, "Cannot apply \"+\" to unassigned and number"},
        {"strings subtract as numbers", V::Subtract, "5", "2", 3},
        {"texts not numbers", V::Subtract, "a", "b", {}, "Cannot convert string \"a\" to number"},
        {"string times number", V::Multiply, "1.5e1", 2, 30},
        {"real division", V::Divide, 7, 2, 3.5},
        {"division by zero", V::Divide, 1, 0, {}, "Division by zero"},
        {"overflow is an error", V::Multiply, 1e308, 10, {}, "Floating point overflow"},
        {"power", V::Power, 2, 10, 1024},
        {"power of a numeric string", V::Power, "3", 2, 9},
        {"root", V::Root, 16, 4, 2},
        {"root of degree zero", V::Root, 16, 0, {}, "Division by zero"},
        {"odd root of a negative", V::Root, -8, 3, {}, "Invalid floating point operation"},
        {"boolean power", V::Power, 2, false, {}, "Cannot apply \"^\" to number and boolean"},
    };
    ExpectBinaryCases(cases);
}

TEST(TRLValue, LogicalOperatorsAreBitwiseOnNumbers) {
    const BinaryCase cases[] = {
        {"booleans", V::And, true, false, false},
        {"booleans or", V::Or, false, true, true},
        {"bitwise and", V::And, 5, 3, 1},
        {"bitwise or", V::Or, 5, 2, 7},
        {"numeric strings", V::Or, "4", "1", 5},
        {"a boolean makes it logical", V::And, true, 2, true},
        {"zero is false", V::Or, 0, false, false},
        {"halves round to even", V::And, 2.5, 3, 2},
        {"and the other way", V::And, 3.5, 4, 4},
        {"null propagates", V::And, kNull, true, kNull},
        {"out of integer range", V::Or, 1e10, 1, {}, "Number 1e+10 is out of range for \"or\""},
        {"no boolean", V::And, true, "maybe", {}, "Cannot convert string \"maybe\" to boolean"},
        {"text that reads as boolean", V::And, true, "TRUE", true},
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
    const auto is = [](C how) -> BinaryOp {
        return [how](const TRLValue& a, const TRLValue& b) { return V(V::Compare(how, a, b)); };
    };
    const BinaryCase cases[] = {
        {"numbers", is(C::Less), 1, 2, true},
        {"numbers equal", is(C::Equal), 2, 2.0, true},
        {"two strings compare as text", is(C::Less), "10", "9", true},
        {"a number makes it numeric", is(C::Less), 10, "9", false},
        {"case matters", is(C::Equal), "a", "A", false},
        {"not equal", is(C::NotEqual), "a", "b", true},
        {"false before true", is(C::Greater), true, false, true},
        {"null equals null", is(C::Equal), kNull, kNull, true},
        {"null is no zero", is(C::Equal), kNull, 0, false},
        {"null orders first", is(C::Less), kNull, -1e300, true},
        {"null is not greater", is(C::GreaterEqual), kNull, "", false},
        {"greater or equal", is(C::GreaterEqual), 3, 3, true},
        {"less or equal", is(C::LessEqual), 4, 3, false},
        {"boolean", is(C::Equal), true, 1, {}, "Cannot apply \"=\" to boolean and number"},
        {"unassigned",
         is(C::NotEqual),
         kUnassigned,
         kNull,
         {},
         "Cannot apply \"<>\" to unassigned and null"},
        {"text vs number", is(C::Greater), "abc", 1, {}, "Cannot convert string \"abc\" to number"},
    };
    ExpectBinaryCases(cases);
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
