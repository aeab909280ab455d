/// @file
/// The dynamically typed value that expressions compute.
///
/// A value is one of five kinds: unassigned (nothing computed yet: an empty expression or an
/// empty block), null, boolean, number (a double) or string. A number made from an exact decimal
/// (a total over the records) keeps that decimal beside its double: it prints and compares by
/// the decimal, while arithmetic goes on with the double. The operations of the expression
/// language combine values by these rules; a combination that has no meaning raises
/// TRLValueError with a message that names both kinds, e.g.
///   Cannot apply "-" to boolean and number
///   Cannot convert string "abc" to number
///
/// Conversions
///   to number   number: itself; string: its text read with "." as the decimal separator,
///               blanks around it ignored ("12", " -1.5e3 "), otherwise an error; null and
///               unassigned never convert; boolean never converts (true is not 1 here).
///   to boolean  boolean: itself; number: true when not zero; string: "true"/"false" in any
///               case, else a numeric string by its number, else an error; null and
///               unassigned never convert.
///   to text     never fails: numbers in their shortest exact form with "." and never an
///               exponent ("3", "0.1", "100000", "0.0000001"), a number made from a decimal
///               as that decimal, booleans as "true"/"false", null and unassigned as empty text.
///
/// Operations
///   + - * /     null on either side gives null. Two strings joined by "+" concatenate, even
///               when both look like numbers ("1" + "2" is "12"). Otherwise both sides convert
///               to numbers, so "3" * 2 is 6 and "2" - "1" is 1. Booleans and unassigned are
///               refused. "/" is real division; dividing by zero is an error.
///   ^ \         power and root: null gives null; otherwise both sides convert to numbers.
///   unary -     negates a number or numeric string; null stays null.
///   and or not  with a boolean on either side both convert to booleans and combine
///               logically; otherwise both must be numbers (or numeric strings), rounded to
///               32-bit integers, and combine bit by bit (5 and 3 is 1, not 0 is -1). Null on
///               either side gives null.
///   comparisons two numbers by value, two strings by their characters (case matters, "10" <
///               "9"), two booleans with false before true; a number and a string compare as
///               numbers when the string converts. Null equals only null and orders before
///               every other value. Any other pairing, and unassigned anywhere, is an error.
/// Every numeric result must be finite: overflow and invalid operations (a negative number
/// to a fractional power) raise errors instead of producing infinities or NaN.
#pragma once

#include <kelmora/parser/RLDecimal.h>
#include <kelmora/support/RLCore.h>

#include <QString>

#include <vector>

namespace Kelmora {

/// Raised by value conversions and operations. Unlike the parser's own syntax errors these are
/// ordinary engine errors, which the window layer shows.
class TRLValueError : public TRLException {
public:
    using TRLException::TRLException;
};

enum class TRLValueType { Unassigned, Null, Boolean, Number, String };

enum class TRLValueComparison { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };

class TRLValue {
public:
    TRLValue() = default;
    TRLValue(bool value) : type_(TRLValueType::Boolean), boolean_(value) {}
    TRLValue(double value) : type_(TRLValueType::Number), number_(value) {}
    TRLValue(int value) : type_(TRLValueType::Number), number_(value) {}
    TRLValue(QString value) : type_(TRLValueType::String), string_(std::move(value)) {}
    TRLValue(const char* value) : TRLValue(QString::fromUtf8(value)) {}

    static TRLValue Null();
    /// The number of an exact decimal; TRLValueError when it lies beyond the double range.
    static TRLValue Exact(const TRLDecimal& value);

    TRLValueType Type() const { return type_; }
    bool IsUnassigned() const { return type_ == TRLValueType::Unassigned; }
    bool IsNull() const { return type_ == TRLValueType::Null; }

    /// Conversions by the rules above; ToNumber and ToBoolean throw TRLValueError.
    double ToNumber() const;
    bool ToBoolean() const;
    QString ToString() const;
    /// A number's exact decimal, or a numeric string's; false for any other value.
    bool ToDecimal(TRLDecimal& value) const;

    /// The name of a kind as error messages give it: "unassigned", "null", "boolean", "number",
    /// "string".
    static QString TypeName(TRLValueType type);

    /// Shortest text that reads back as the same double, with "." as decimal separator and
    /// without an exponent.
    static QString NumberText(double value);
    /// Reads a whole text as a finite number ("." as decimal separator, optional sign and
    /// exponent, blanks around it allowed); false when the text is anything else.
    static bool ReadNumber(QStringView text, double& value);

    static TRLValue Add(const TRLValue& left, const TRLValue& right);
    static TRLValue Subtract(const TRLValue& left, const TRLValue& right);
    static TRLValue Multiply(const TRLValue& left, const TRLValue& right);
    static TRLValue Divide(const TRLValue& left, const TRLValue& right);
    static TRLValue Power(const TRLValue& left, const TRLValue& right);
    static TRLValue Root(const TRLValue& left, const TRLValue& right);
    static TRLValue Negate(const TRLValue& value);
    static TRLValue Not(const TRLValue& value);
    static TRLValue And(const TRLValue& left, const TRLValue& right);
    static TRLValue Or(const TRLValue& left, const TRLValue& right);
    static bool Compare(TRLValueComparison how, const TRLValue& left, const TRLValue& right);

    /// Same kind and same contents; this is identity, not the language's "=".
    friend bool operator==(const TRLValue& a, const TRLValue& b);

private:
    TRLValueType type_ = TRLValueType::Unassigned;
    bool boolean_ = false;
    double number_ = 0;
    /// A string's text; for a number, its exact decimal when the double does not tell it.
    QString string_;
};

using TRLValueList = std::vector<TRLValue>;

} // namespace Kelmora
