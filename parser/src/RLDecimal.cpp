#include <kelmora/parser/RLDecimal.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace Kelmora {

namespace {

// Sum of two magnitudes of equal length (most significant digit first).
std::string AddDigits(const std::string& a, const std::string& b) {
    std::string sum(a.size() + 1, '0');
    int carry = 0;
    for (size_t i = a.size(); i-- > 0;) {
        const int d = (a[i] - '0') + (b[i] - '0') + carry;
        sum[i + 1] = static_cast<char>('0' + d % 10);
        carry = d / 10;
    }
    sum[0] = static_cast<char>('0' + carry);
    return sum;
}

// a - b for magnitudes of equal length with a >= b.
std::string SubtractDigits(const std::string& a, const std::string& b) {
    std::string difference(a.size(), '0');
    int borrow = 0;
    for (size_t i = a.size(); i-- > 0;) {
        int d = (a[i] - '0') - (b[i] - '0') - borrow;
        borrow = d < 0 ? 1 : 0;
        difference[i] = static_cast<char>('0' + d + 10 * borrow);
    }
    return difference;
}

// Adds one unit in the last place of a magnitude.
void Increment(std::string& digits) {
    for (size_t i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
}

// Drops the last `drop` digits of a quotient, rounding half to even; sticky tells whether
// anything non-zero lies beyond the digits (a remainder).
void RoundHalfEvenDropping(std::string& digits, size_t drop, bool sticky) {
    if (drop == 0) {
        return;
    }
    if (digits.size() < drop)
        digits.insert(0, drop - digits.size(), '0');
    const std::string dropped = digits.substr(digits.size() - drop);
    digits.resize(digits.size() - drop);
    const std::string half = "5" + std::string(drop - 1, '0');
    const int order = dropped.compare(half);
    const bool odd = !digits.empty() && (digits.back() - '0') % 2 == 1;
    if (order > 0 || (order == 0 && (sticky || odd)))
        Increment(digits);
}

} // namespace

void TRLDecimal::Normalize() {
    const size_t first = digits_.find_first_not_of('0');
    if (first == std::string::npos) {
        digits_.clear();
        scale_ = 0;
        negative_ = false;
        return;
    }
    digits_.erase(0, first);
    const size_t last = digits_.find_last_not_of('0');
    scale_ -= static_cast<int>(digits_.size() - 1 - last);
    digits_.resize(last + 1);
}

bool TRLDecimal::Read(QStringView text, TRLDecimal& value) {
    text = text.trimmed();
    qsizetype at = 0;
    TRLDecimal read;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-'))
        read.negative_ = text[at++] == u'-';
    bool anyDigit = false;
    bool point = false;
    int fraction = 0;
    for (; at < text.size(); ++at) {
        const char16_t c = text[at].unicode();
        if (c >= u'0' && c <= u'9') {
            anyDigit = true;
            if (!read.digits_.empty() || c != u'0')
                read.digits_.push_back(static_cast<char>(c));
            if (point)
                ++fraction;
            // Leading zeros after the point still count as places.
            if (read.digits_.size() > static_cast<size_t>(2 * MaxDigits))
                return false;
        } else if (c == u'.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!anyDigit || fraction > 2 * MaxDigits)
        return false;
    long long exponent = 0;
    if (at < text.size() && (text[at] == u'e' || text[at] == u'E')) {
        ++at;
        bool negativeExponent = false;
        if (at < text.size() && (text[at] == u'+' || text[at] == u'-'))
            negativeExponent = text[at++] == u'-';
        const qsizetype start = at;
        for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at)
            exponent =
                std::min<long long>(exponent * 10 + (text[at].unicode() - u'0'), 10LL * MaxDigits);
        if (at == start)
            return false;
        if (negativeExponent)
            exponent = -exponent;
    }
    if (at != text.size())
        return false;
    // The trailing zeros kept as digits until here count towards the scale only through
    // Normalize.
    read.scale_ = fraction - static_cast<int>(exponent);
    read.Normalize();
    if (!read.IsZero()) {
        const long long whole = static_cast<long long>(read.digits_.size()) - read.scale_;
        if (whole > MaxDigits || read.scale_ > MaxDigits)
            return false;
    }
    value = std::move(read);
    return true;
}

TRLDecimal TRLDecimal::FromDouble(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    TRLDecimal decimal;
    Read(QString::fromLatin1(buffer, result.ptr - buffer), decimal);
    return decimal;
}

TRLDecimal TRLDecimal::FromInteger(long long value) {
    TRLDecimal decimal;
    decimal.negative_ = value < 0;
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                             : static_cast<unsigned long long>(value);
    while (magnitude != 0) {
        decimal.digits_.insert(decimal.digits_.begin(), static_cast<char>('0' + magnitude % 10));
        magnitude /= 10;
    }
    decimal.Normalize();
    return decimal;
}

std::string TRLDecimal::WholeDigits() const {
    const long long whole = static_cast<long long>(digits_.size()) - scale_;
    if (whole <= 0)
        return "0";
    if (scale_ <= 0)
        return digits_ + std::string(static_cast<size_t>(-scale_), '0');
    return digits_.substr(0, static_cast<size_t>(whole));
}

std::string TRLDecimal::FractionDigits(int scale) const {
    std::string fraction;
    if (scale_ > 0) {
        if (digits_.size() >= static_cast<size_t>(scale_))
            fraction = digits_.substr(digits_.size() - static_cast<size_t>(scale_));
        else
            fraction = std::string(static_cast<size_t>(scale_) - digits_.size(), '0') + digits_;
    }
    fraction.resize(static_cast<size_t>(std::max(scale, 0)), '0');
    return fraction;
}

QString TRLDecimal::Text() const {
    std::string text = negative_ ? "-" : "";
    text += WholeDigits();
    if (scale_ > 0)
        text += "." + FractionDigits(scale_);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

double TRLDecimal::ToDouble() const {
    // from_chars, unlike strtod, reads "." whatever the C library's locale says.
    const std::string text = Text().toStdString();
    double value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        const bool large = static_cast<long long>(digits_.size()) - scale_ > 0;
        value = large ? std::numeric_limits<double>::infinity() : 0.0;
        return negative_ ? -value : value;
    }
    return value;
}

TRLDecimal TRLDecimal::Rounded(int decimals) const {
    return Shortened(decimals, true);
}

TRLDecimal TRLDecimal::Truncated(int decimals) const {
    return Shortened(decimals, false);
}

TRLDecimal TRLDecimal::Negated() const {
    TRLDecimal negated = *this;
    negated.negative_ = !negative_ && !IsZero();
    return negated;
}

TRLDecimal TRLDecimal::Shortened(int decimals, bool rounding) const {
    if (scale_ <= decimals)
        return *this;
    TRLDecimal rounded = *this;
    const auto drop = static_cast<size_t>(scale_ - decimals);
    if (rounded.digits_.size() < drop)
        rounded.digits_.insert(0, drop - rounded.digits_.size(), '0');
    const bool up = rounding && rounded.digits_[rounded.digits_.size() - drop] >= '5';
    rounded.digits_.resize(rounded.digits_.size() - drop);
    if (up)
        Increment(rounded.digits_);
    rounded.scale_ = decimals;
    rounded.Normalize();
    return rounded;
}

TRLDecimal TRLDecimal::DividedBy(long long count, int decimals) const {
    if (IsZero() || count <= 0)
        return TRLDecimal();
    // Long division at a generous scale: past any number of places that can be asked for below.
    const int work = std::max(scale_, 0) + (decimals < 0 ? 40 : std::max(decimals, 0) + 1);
    std::string dividend = digits_;
    if (work > scale_)
        dividend.append(static_cast<size_t>(work - scale_), '0');
    std::string quotient;
    __extension__ unsigned __int128 remainder = 0;
    for (const char d : dividend) {
        remainder = remainder * 10 + static_cast<unsigned>(d - '0');
        quotient.push_back(static_cast<char>('0' + static_cast<int>(remainder / count)));
        remainder %= count;
    }
    quotient.erase(0, std::min(quotient.find_first_not_of('0'), quotient.size()));
    if (decimals < 0) {
        const long long whole = static_cast<long long>(quotient.size()) - work;
        decimals = static_cast<int>(std::max<long long>(std::max(scale_, 0), 17 - whole));
    }
    TRLDecimal result;
    result.negative_ = negative_;
    result.digits_ = quotient;
    const auto drop = static_cast<size_t>(std::max(work - decimals, 0));
    RoundHalfEvenDropping(result.digits_, drop, remainder != 0);
    result.scale_ = work - static_cast<int>(drop);
    result.Normalize();
    return result;
}

int TRLDecimal::CompareMagnitudes(const TRLDecimal& a, const TRLDecimal& b) {
    if (a.IsZero() || b.IsZero())
        return (a.IsZero() ? 0 : 1) - (b.IsZero() ? 0 : 1);
    const long long wholeA = static_cast<long long>(a.digits_.size()) - a.scale_;
    const long long wholeB = static_cast<long long>(b.digits_.size()) - b.scale_;
    if (wholeA != wholeB)
        return wholeA < wholeB ? -1 : 1;
    // Same position of the leading digit: the digits compare as written, a missing one as 0.
    const int order = a.digits_.compare(b.digits_);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

int TRLDecimal::Compare(const TRLDecimal& a, const TRLDecimal& b) {
    if (a.negative_ != b.negative_)
        return a.negative_ ? -1 : 1;
    const int magnitude = CompareMagnitudes(a, b);
    return a.negative_ ? -magnitude : magnitude;
}

bool TRLDecimal::Add(const TRLDecimal& term) {
    if (term.IsZero())
        return true;
    if (IsZero()) {
        *this = term;
        return true;
    }
    const int scale = std::max(scale_, term.scale_);
    std::string a = digits_ + std::string(static_cast<size_t>(scale - scale_), '0');
    std::string b = term.digits_ + std::string(static_cast<size_t>(scale - term.scale_), '0');
    const size_t width = std::max(a.size(), b.size());
    a.insert(0, width - a.size(), '0');
    b.insert(0, width - b.size(), '0');
    TRLDecimal sum;
    sum.scale_ = scale;
    if (negative_ == term.negative_) {
        sum.digits_ = AddDigits(a, b);
        sum.negative_ = negative_;
    } else if (a >= b) {
        sum.digits_ = SubtractDigits(a, b);
        sum.negative_ = negative_;
    } else {
        sum.digits_ = SubtractDigits(b, a);
        sum.negative_ = term.negative_;
    }
    sum.Normalize();
    if (!sum.IsZero() && static_cast<long long>(sum.digits_.size()) - sum.scale_ > MaxDigits)
        return false;
    *this = std::move(sum);
    return true;
}

} // namespace Kelmora
