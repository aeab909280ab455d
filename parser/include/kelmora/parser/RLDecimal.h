/// @file
/// An exact decimal number of any length: what the records give ("9223372036854775807",
/// "12345678901234567890123456789.0123456789") and what their sums come to, kept digit for digit
/// where a double keeps about sixteen. Only the operations that totals need are here: reading,
/// adding, comparing, dividing by a count and rounding for display.
///
/// Texts read are the language's numbers: [sign] digits [. digits] [e [sign] digits], blanks
/// around allowed, and never with the locale's separators. Written texts are plain decimals with
/// "." and never an exponent ("100000", "0.0000001"), without trailing zeros after the point.
#pragma once

#include <QString>
#include <QStringView>

#include <string>

namespace Kelmora {

class TRLDecimal {
public:
    /// A number may reach this many digits on either side of the point; further is refused
    /// rather than held (the double range is about 330).
    static constexpr int MaxDigits = 1100;

    TRLDecimal() = default; // zero

    /// False, leaving value untouched, for a text that is no number or lies beyond MaxDigits.
    static bool Read(QStringView text, TRLDecimal& value);
    /// The shortest decimal that reads back as value (finite values only).
    static TRLDecimal FromDouble(double value);
    static TRLDecimal FromInteger(long long value);

    bool IsZero() const { return digits_.empty(); }
    bool IsNegative() const { return negative_; }
    QString Text() const;
    /// The nearest double; infinite beyond the double range.
    double ToDouble() const;
    /// The digits before the point (at least "0") and the scale-many digits after it.
    std::string WholeDigits() const;
    std::string FractionDigits(int scale) const;

    /// Rounded to decimals places after the point, a half away from zero as money is rounded.
    TRLDecimal Rounded(int decimals) const;
    /// Cut to decimals places after the point, toward zero.
    TRLDecimal Truncated(int decimals) const;
    /// The same number with the other sign (zero stays zero).
    TRLDecimal Negated() const;
    /// The quotient by a positive count, rounded half to even at decimals places; for decimals
    /// < 0 as many places as keep 17 significant digits, never fewer than this number has.
    TRLDecimal DividedBy(long long count, int decimals = -1) const;
    /// False when the sum would exceed MaxDigits.
    bool Add(const TRLDecimal& term);

    /// -1, 0 or 1 as a is less than, equal to or greater than b.
    static int Compare(const TRLDecimal& a, const TRLDecimal& b);
    friend bool operator==(const TRLDecimal& a, const TRLDecimal& b) { return Compare(a, b) == 0; }

private:
    void Normalize();
    /// Rounded (half away from zero) or cut to decimals places.
    TRLDecimal Shortened(int decimals, bool rounding) const;
    /// The magnitudes' digits aligned to a common scale.
    static int CompareMagnitudes(const TRLDecimal& a, const TRLDecimal& b);

    /// The magnitude's digits, most significant first, without leading zeros; empty for zero.
    std::string digits_;
    /// How many of digits_ stand after the point (may exceed its length: 0.001 is "1", 3).
    int scale_ = 0;
    bool negative_ = false;
};

} // namespace Kelmora
