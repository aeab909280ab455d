#include <kelmora/parser/RLValue.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace Kelmora {

namespace {

[[noreturn]] void CannotApply(const char* op, const TRLValue& left, const TRLValue& right) {
    throw TRLValueError(QStringLiteral("Cannot apply \"%1\" to %2 and %3")
                            .arg(QLatin1String(op), TRLValue::TypeName(left.Type()),
                                 TRLValue::TypeName(right.Type())));
}

[[noreturn]] void CannotApply(const char* op, const TRLValue& value) {
    throw TRLValueError(QStringLiteral("Cannot apply \"%1\" to %2")
                            .arg(QLatin1String(op), TRLValue::TypeName(value.Type())));
}

// Every operation funnels its numeric result through here so that no infinity or NaN ever
// becomes a value: later comparisons and text conversions would silently misbehave on them.
TRLValue Finite(double result) {
    if (std::isnan(result))
        throw TRLValueError(QStringLiteral("Invalid floating point operation"));
    if (std::isinf(result))
        throw TRLValueError(QStringLiteral("Floating point overflow"));
    return TRLValue(result);
}

bool IsNumeric(const TRLValue& v) {
    return v.Type() == TRLValueType::Number || v.Type() == TRLValueType::String;
}

// Whether arithmetic on two values (not both strings, for "+") goes ahead: not when either is
// null, which makes the result null; otherwise both must be numbers or numeric strings.
bool Arithmetic(const char* op, const TRLValue& left, const TRLValue& right) {
    if (left.IsNull() || right.IsNull())
        return false;
    if (!IsNumeric(left) || !IsNumeric(right))
        CannotApply(op, left, right);
    return true;
}

// A number to divide by, or to take the root of a degree of; zero is refused.
double NonZero(double divisor) {
    if (divisor == 0)
        throw TRLValueError(QStringLiteral("Division by zero"));
    return divisor;
}

int32_t ToInteger(const char* op, const TRLValue& value) {
    const double number = value.ToNumber();
    if (!(number >= std::numeric_limits<int32_t>::min() - 0.5 &&
          number <= std::numeric_limits<int32_t>::max() + 0.5))
        throw TRLValueError(QStringLiteral("Number %1 is out of range for \"%2\"")
                                .arg(TRLValue::NumberText(number), QLatin1String(op)));
    return RoundHalfEven(number);
}

enum class Logic { And, Or };

TRLValue Combine(Logic logic, const char* op, const TRLValue& left, const TRLValue& right) {
    if (left.IsNull() || right.IsNull())
        return TRLValue::Null();
    if (left.IsUnassigned() || right.IsUnassigned())
        CannotApply(op, left, right);
    if (left.Type() == TRLValueType::Boolean || right.Type() == TRLValueType::Boolean) {
        const bool a = left.ToBoolean();
        const bool b = right.ToBoolean();
        return TRLValue(logic == Logic::And ? (a && b) : (a || b));
    }
    const int32_t a = ToInteger(op, left);
    const int32_t b = ToInteger(op, right);
    return TRLValue(static_cast<double>(logic == Logic::And ? (a & b) : (a | b)));
}

const char* ComparisonText(TRLValueComparison how) {
    using enum TRLValueComparison;
    constexpr std::pair<TRLValueComparison, const char*> texts[] = {
        {Equal, "="},   {NotEqual, "<>"},  {Less, "<"},
        {Greater, ">"}, {LessEqual, "<="}, {GreaterEqual, ">="},
    };
    return LookUp(texts, how, "?");
}

// Refuses to convert value to the target type: a string is quoted in the message, any other
// value named by its type.
[[noreturn]] void RefuseConversion(const TRLValue& value, const char* target) {
    if (value.Type() == TRLValueType::String)
        throw TRLValueError(QStringLiteral("Cannot convert string \"%1\" to %2")
                                .arg(value.ToString(), QLatin1String(target)));
    throw TRLValueError(QStringLiteral("Cannot convert %1 to %2")
                            .arg(TRLValue::TypeName(value.Type()), QLatin1String(target)));
}

template <typename T> int Order(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

} // namespace

TRLValue TRLValue::Null() {
    TRLValue v;
    v.type_ = TRLValueType::Null;
    return v;
}

QString TRLValue::TypeName(TRLValueType type) {
    constexpr std::pair<TRLValueType, const char*> names[] = {
        {TRLValueType::Unassigned, "unassigned"}, {TRLValueType::Null, "null"},
        {TRLValueType::Boolean, "boolean"},       {TRLValueType::Number, "number"},
        {TRLValueType::String, "string"},
    };
    return QLatin1String(LookUp(names, type, "?"));
}

QString TRLValue::NumberText(double value) {
    if (value == 0)
        return QStringLiteral("0"); // never "-0"
    // The shortest digits that read back, written out without an exponent: 1e300 is a 1 and
    // 300 zeros, not the double's exact binary value.
    return TRLDecimal::FromDouble(value).Text();
}

TRLValue TRLValue::Exact(const TRLDecimal& value) {
    TRLValue number = Finite(value.ToDouble());
    const QString text = value.Text();
    if (text != NumberText(number.number_))
        number.string_ = text;
    return number;
}

bool TRLValue::ToDecimal(TRLDecimal& value) const {
    switch (type_) {
    case TRLValueType::Number:
        if (!string_.isNull())
            return TRLDecimal::Read(string_, value);
        value = TRLDecimal::FromDouble(number_);
        return true;
    case TRLValueType::String: {
        double ignored = 0;
        return ReadNumber(string_, ignored) && TRLDecimal::Read(string_, value);
    }
    default:
        return false;
    }
}

bool TRLValue::ReadNumber(QStringView text, double& value) {
    text = text.trimmed();
    if (text.startsWith(u'+'))
        text = text.mid(1);
    if (text.isEmpty())
        return false;
    // from_chars would also take "inf" and "nan"; only plain decimal notation is a number here.
    std::string ascii;
    ascii.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const bool allowed = (u >= u'0' && u <= u'9') || u == u'.' || u == u'e' || u == u'E' ||
                             u == u'+' || u == u'-';
        if (!allowed)
            return false;
        ascii.push_back(static_cast<char>(u));
    }
    double parsed = 0;
    const auto result = std::from_chars(ascii.data(), ascii.data() + ascii.size(), parsed);
    if (result.ec != std::errc() || result.ptr != ascii.data() + ascii.size() ||
        !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

double TRLValue::ToNumber() const {
    double value = 0;
    if (type_ == TRLValueType::Number)
        return number_;
    if (type_ == TRLValueType::String && ReadNumber(string_, value))
        return value;
    RefuseConversion(*this, "number");
}

bool TRLValue::ToBoolean() const {
    switch (type_) {
    case TRLValueType::Boolean:
        return boolean_;
    case TRLValueType::Number:
        return number_ != 0;
    case TRLValueType::String: {
        if (string_.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (string_.trimmed().compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
        double value = 0;
        if (ReadNumber(string_, value))
            return value != 0;
        break;
    }
    default:
        break;
    }
    RefuseConversion(*this, "boolean");
}

QString TRLValue::ToString() const {
    switch (type_) {
    case TRLValueType::Boolean:
        return boolean_ ? QStringLiteral("true") : QStringLiteral("false");
    case TRLValueType::Number:
        return string_.isNull() ? NumberText(number_) : string_;
    case TRLValueType::String:
        return string_;
    default:
        return QString();
    }
}

TRLValue TRLValue::Add(const TRLValue& left, const TRLValue& right) {
    if (left.type_ == TRLValueType::String && right.type_ == TRLValueType::String)
        return TRLValue(left.string_ + right.string_);
    if (!Arithmetic("+", left, right))
        return Null();
    return Finite(left.ToNumber() + right.ToNumber());
}

TRLValue TRLValue::Subtract(const TRLValue& left, const TRLValue& right) {
    if (!Arithmetic("-", left, right))
        return Null();
    return Finite(left.ToNumber() - right.ToNumber());
}

TRLValue TRLValue::Multiply(const TRLValue& left, const TRLValue& right) {
    if (!Arithmetic("*", left, right))
        return Null();
    return Finite(left.ToNumber() * right.ToNumber());
}

TRLValue TRLValue::Divide(const TRLValue& left, const TRLValue& right) {
    if (!Arithmetic("/", left, right))
        return Null();
    const double dividend = left.ToNumber();
    return Finite(dividend / NonZero(right.ToNumber()));
}

TRLValue TRLValue::Power(const TRLValue& left, const TRLValue& right) {
    if (!Arithmetic("^", left, right))
        return Null();
    return Finite(std::pow(left.ToNumber(), right.ToNumber()));
}

TRLValue TRLValue::Root(const TRLValue& left, const TRLValue& right) {
    if (!Arithmetic("\\", left, right))
        return Null();
    const double base = left.ToNumber();
    return Finite(std::pow(base, 1 / NonZero(right.ToNumber())));
}

TRLValue TRLValue::Negate(const TRLValue& value) {
    if (value.IsNull())
        return Null();
    if (!IsNumeric(value))
        CannotApply("-", value);
    return Finite(-value.ToNumber());
}

TRLValue TRLValue::Not(const TRLValue& value) {
    switch (value.type_) {
    case TRLValueType::Null:
        return Null();
    case TRLValueType::Boolean:
        return TRLValue(!value.boolean_);
    case TRLValueType::Number:
        return TRLValue(static_cast<double>(~ToInteger("not", value)));
    case TRLValueType::String: {
        double number = 0;
        if (ReadNumber(value.string_, number))
            return TRLValue(static_cast<double>(~ToInteger("not", value)));
        return TRLValue(!value.ToBoolean());
    }
    default:
        CannotApply("not", value);
    }
}

TRLValue TRLValue::And(const TRLValue& left, const TRLValue& right) {
    return Combine(Logic::And, "and", left, right);
}

TRLValue TRLValue::Or(const TRLValue& left, const TRLValue& right) {
    return Combine(Logic::Or, "or", left, right);
}

bool TRLValue::Compare(TRLValueComparison how, const TRLValue& left, const TRLValue& right) {
    const char* op = ComparisonText(how);
    if (left.IsUnassigned() || right.IsUnassigned())
        CannotApply(op, left, right);

    int order = 0;
    if (left.IsNull() || right.IsNull()) {
        order = Order(!left.IsNull(), !right.IsNull());
    } else if (left.type_ == TRLValueType::String && right.type_ == TRLValueType::String) {
        order = left.string_.compare(right.string_);
        order = order < 0 ? -1 : (order > 0 ? 1 : 0);
    } else if (left.type_ == TRLValueType::Boolean && right.type_ == TRLValueType::Boolean) {
        order = Order(left.boolean_, right.boolean_);
    } else if (IsNumeric(left) && IsNumeric(right)) {
        // A number that keeps its exact decimal compares by it: two long totals may share a
        // double.
        TRLDecimal a, b;
        const bool exact = (left.type_ == TRLValueType::Number && !left.string_.isNull()) ||
                           (right.type_ == TRLValueType::Number && !right.string_.isNull());
        if (exact && left.ToDecimal(a) && right.ToDecimal(b))
            order = TRLDecimal::Compare(a, b);
        else
            order = Order(left.ToNumber(), right.ToNumber());
    } else {
        CannotApply(op, left, right);
    }

    switch (how) {
    case TRLValueComparison::Equal:
        return order == 0;
    case TRLValueComparison::NotEqual:
        return order != 0;
    case TRLValueComparison::Less:
        return order < 0;
    case TRLValueComparison::Greater:
        return order > 0;
    case TRLValueComparison::LessEqual:
        return order <= 0;
    case TRLValueComparison::GreaterEqual:
        return order >= 0;
    }
    return false;
}

bool operator==(const TRLValue& a, const TRLValue& b) {
    if (a.type_ != b.type_)
        return false;
    switch (a.type_) {
    case TRLValueType::Boolean:
        return a.boolean_ == b.boolean_;
    case TRLValueType::Number:
        return a.number_ == b.number_ && a.string_ == b.string_;
    case TRLValueType::String:
        return a.string_ == b.string_;
    default:
        return true;
    }
}

} // namespace Kelmora
