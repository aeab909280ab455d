#include "RLTextExpression.h"

#include "RLExpressionParser.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QScopeGuard>

#include <cmath>
#include <cstdlib>
#include <string>

// ---- TRLDecimalSum ---------------------------------------------------------------------------

namespace {

__extension__ typedef __int128 Wide;

bool MultiplyByPowerOfTen(Wide& value, int power) {
    for (int i = 0; i < power; ++i)
        if (__builtin_mul_overflow(value, 10, &value))
            return false;
    return true;
}

// The digits of a non-negative wide number.
std::string WideDigits(Wide value) {
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
        value /= 10;
    } while (value != 0);
    return digits;
}

} // namespace

bool TRLDecimalSum::Rescale(int scale) {
    if (scale <= scale_)
        return true;
    // On a copy: a failure must leave the sum as it was, for the double arithmetic to go on from.
    Wide units = units_;
    if (!MultiplyByPowerOfTen(units, scale - scale_))
        return false;
    units_ = units;
    scale_ = scale;
    return true;
}

bool TRLDecimalSum::Add(QStringView text) {
    text = text.trimmed();
    double asDouble = 0;
    if (!TRLValue::ReadNumber(text, asDouble))
        return false;
    if (!exact_) {
        inexact_ += asDouble;
        return true;
    }
    // [sign] digits [. digits] [e [sign] digits], as ReadNumber has accepted.
    qsizetype at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == u'+' || text[at] == u'-'))
        negative = text[at++] == u'-';
    Wide units = 0;
    int fraction = 0;
    bool inFraction = false;
    bool fits = true;
    for (; at < text.size(); ++at) {
        const QChar c = text[at];
        if (c == u'.') {
            inFraction = true;
            continue;
        }
        if (c == u'e' || c == u'E')
            break;
        fits = fits && !__builtin_mul_overflow(units, 10, &units) &&
               !__builtin_add_overflow(units, c.unicode() - u'0', &units);
        if (inFraction)
            ++fraction;
    }
    int exponent = 0;
    if (at < text.size())
        exponent = text.mid(at + 1).toInt();
    int scale = fraction - exponent;
    if (fits && scale < 0) {
        fits = MultiplyByPowerOfTen(units, -scale);
        scale = 0;
    }
    // Beyond the widest scale or the widest number the sum goes on in double arithmetic.
    if (!fits || scale > MaxScale || !Rescale(scale)) {
        inexact_ = Value() + asDouble;
        exact_ = false;
        return true;
    }
    Wide term = units;
    Wide sum = 0;
    if (!MultiplyByPowerOfTen(term, scale_ - scale) ||
        __builtin_add_overflow(units_, negative ? -term : term, &sum)) {
        inexact_ = Value() + asDouble;
        exact_ = false;
        return true;
    }
    units_ = sum;
    return true;
}

void TRLDecimalSum::Add(double value) {
    Add(TRLValue::NumberText(value));
}

double TRLDecimalSum::Value() const {
    if (!exact_)
        return inexact_;
    // Through the decimal text, which the C library turns into the nearest double.
    const bool negative = units_ < 0;
    std::string digits = WideDigits(negative ? -units_ : units_);
    if (scale_ > 0) {
        if (static_cast<int>(digits.size()) <= scale_)
            digits.insert(0, static_cast<size_t>(scale_ - static_cast<int>(digits.size()) + 1),
                          '0');
        digits.insert(digits.size() - static_cast<size_t>(scale_), 1, '.');
    }
    if (negative)
        digits.insert(digits.begin(), '-');
    return std::strtod(digits.c_str(), nullptr);
}

// ---- TRLAggregate ----------------------------------------------------------------------------

namespace {

bool IsEmptyValue(const TRLValue& value) {
    return value.IsNull() || value.IsUnassigned() ||
           (value.Type() == TRLValueType::String && value.ToString().trimmed().isEmpty());
}

} // namespace

void TRLAggregate::Reset() {
    sum_.Clear();
    count_ = 0;
    best_ = TRLValue();
}

void TRLAggregate::Add(TRLExpressionParser& parser) {
    if (Kind == TRLAggregateKind::Count && Argument.trimmed().isEmpty()) {
        ++count_;
        return;
    }
    const TRLValue value = parser.Evaluate(Argument);
    if (IsEmptyValue(value))
        return;
    switch (Kind) {
    case TRLAggregateKind::Sum:
    case TRLAggregateKind::Avg:
        if (value.Type() == TRLValueType::Number)
            sum_.Add(value.ToNumber());
        else if (!sum_.Add(value.ToString()))
            value.ToNumber(); // raises the language's own error for a value that is no number
        break;
    case TRLAggregateKind::Min:
        if (best_.IsUnassigned() || TRLValue::Compare(TRLValueComparison::Less, value, best_))
            best_ = value;
        break;
    case TRLAggregateKind::Max:
        if (best_.IsUnassigned() || TRLValue::Compare(TRLValueComparison::Greater, value, best_))
            best_ = value;
        break;
    case TRLAggregateKind::Count:
        break;
    }
    ++count_;
}

TRLValue TRLAggregate::Result() const {
    switch (Kind) {
    case TRLAggregateKind::Sum:
        return TRLValue(sum_.Value());
    case TRLAggregateKind::Count:
        return TRLValue(static_cast<double>(count_));
    case TRLAggregateKind::Avg:
        return count_ == 0 ? TRLValue::Null()
                           : TRLValue(sum_.Value() / static_cast<double>(count_));
    case TRLAggregateKind::Min:
    case TRLAggregateKind::Max:
        return best_.IsUnassigned() ? TRLValue::Null() : best_;
    }
    return TRLValue::Null();
}

// ---- TRLTextExpression -----------------------------------------------------------------------

namespace {

bool StartsName(QChar c) {
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_';
}

bool InName(QChar c) {
    return StartsName(c) || (c >= u'0' && c <= u'9') || c == u'.';
}

bool AggregateKindOf(QStringView name, TRLAggregateKind& kind) {
    static const struct {
        const char16_t* Name;
        TRLAggregateKind Kind;
    } kinds[] = {{u"sum", TRLAggregateKind::Sum},
                 {u"count", TRLAggregateKind::Count},
                 {u"avg", TRLAggregateKind::Avg},
                 {u"min", TRLAggregateKind::Min},
                 {u"max", TRLAggregateKind::Max}};
    for (const auto& k : kinds)
        if (name.compare(QStringView(k.Name), Qt::CaseInsensitive) == 0) {
            kind = k.Kind;
            return true;
        }
    return false;
}

// Past the string that starts at at (its opening quote): a doubled quote, blanks between them
// allowed, stands for one quote and keeps the string open, as the parser reads strings.
qsizetype SkipString(const QString& text, qsizetype at) {
    const QChar quote = text[at++];
    for (;;) {
        while (at < text.size() && text[at] != quote)
            ++at;
        if (at >= text.size())
            return at;
        qsizetype after = at + 1;
        while (after < text.size() && text[after].isSpace())
            ++after;
        if (after < text.size() && text[after] == quote) {
            at = after + 1;
            continue;
        }
        return at + 1;
    }
}

QString ResultName(size_t index) {
    return QStringLiteral("kelmora_aggregate_%1").arg(index);
}

} // namespace

void TRLTextExpression::SetExpression(const QString& expression) {
    expression_ = expression;
    aggregates_.clear();
    rewritten_.clear();
    // Each aggregate call becomes the name of its result; the rest of the text stays as it is.
    qsizetype at = 0;
    while (at < expression.size()) {
        const QChar c = expression[at];
        if (c == u'\'' || c == u'"') {
            const qsizetype end = SkipString(expression, at);
            rewritten_ += QStringView(expression).mid(at, end - at);
            at = end;
            continue;
        }
        if (!StartsName(c)) {
            rewritten_ += c;
            ++at;
            continue;
        }
        qsizetype end = at;
        while (end < expression.size() && InName(expression[end]))
            ++end;
        const QStringView name = QStringView(expression).mid(at, end - at);
        qsizetype open = end;
        while (open < expression.size() && expression[open].isSpace())
            ++open;
        TRLAggregateKind kind;
        if (open >= expression.size() || expression[open] != u'(' || !AggregateKindOf(name, kind)) {
            rewritten_ += name;
            at = end;
            continue;
        }
        // The argument runs to the bracket that closes the call.
        qsizetype close = open + 1;
        for (int depth = 1; close < expression.size(); ++close) {
            const QChar d = expression[close];
            if (d == u'\'' || d == u'"') {
                close = SkipString(expression, close) - 1;
            } else if (d == u'(') {
                ++depth;
            } else if (d == u')' && --depth == 0) {
                break;
            }
        }
        if (close >= expression.size()) {
            // Unclosed: left as written, for the parser to report where it stops.
            rewritten_ += QStringView(expression).mid(at);
            break;
        }
        TRLAggregate aggregate;
        aggregate.Kind = kind;
        aggregate.Argument = expression.mid(open + 1, close - open - 1).trimmed();
        aggregates_.push_back(aggregate);
        rewritten_ += ResultName(aggregates_.size() - 1);
        at = close + 1;
    }
}

void TRLTextExpression::ResetAggregates() {
    for (TRLAggregate& aggregate : aggregates_)
        aggregate.Reset();
}

void TRLTextExpression::AddRecord(TRLExpressionParser& parser) {
    for (TRLAggregate& aggregate : aggregates_)
        aggregate.Add(parser);
}

QString TRLTextExpression::Evaluate(TRLExpressionParser& parser) const {
    for (size_t i = 0; i < aggregates_.size(); ++i)
        parser.Values().Set(ResultName(i), aggregates_[i].Result());
    const auto forget = qScopeGuard([&] {
        for (size_t i = 0; i < aggregates_.size(); ++i)
            parser.Values().Remove(ResultName(i));
    });
    return FormatWithMask(parser.Evaluate(rewritten_), mask_);
}

// ---- display masks ---------------------------------------------------------------------------

namespace {

bool IsNumberPatternChar(QChar c) {
    return c == u'#' || c == u'0' || c == u',' || c == u'.';
}

QString FormatNumber(double value, const QString& mask, const QLocale& locale) {
    // prefix, pattern, suffix: the pattern is the first run of # 0 , . that holds a digit sign.
    qsizetype start = 0;
    while (start < mask.size() && mask[start] != u'#' && mask[start] != u'0')
        ++start;
    while (start > 0 && (mask[start - 1] == u',' || mask[start - 1] == u'.'))
        --start;
    qsizetype end = start;
    while (end < mask.size() && IsNumberPatternChar(mask[end]))
        ++end;
    const QStringView pattern = QStringView(mask).mid(start, end - start);
    const qsizetype point = pattern.indexOf(u'.');
    const QStringView whole = point < 0 ? pattern : pattern.left(point);
    const QStringView fraction = point < 0 ? QStringView() : pattern.mid(point + 1);
    const int maxDecimals = static_cast<int>(fraction.count(u'0') + fraction.count(u'#'));
    const int minDecimals = static_cast<int>(fraction.count(u'0'));
    const int minWholeDigits = static_cast<int>(whole.count(u'0'));

    QLocale shown = locale;
    shown.setNumberOptions(whole.contains(u',') ? QLocale::DefaultNumberOptions
                                                : QLocale::OmitGroupSeparator);
    QString text = shown.toString(std::fabs(value), 'f', maxDecimals);
    if (maxDecimals > minDecimals) {
        const QString decimalPoint = shown.decimalPoint();
        const qsizetype dot = text.lastIndexOf(decimalPoint);
        if (dot >= 0) {
            qsizetype keep = text.size();
            while (keep > dot + 1 + minDecimals && text[keep - 1] == shown.zeroDigit()[0])
                --keep;
            if (keep == dot + 1)
                keep = dot;
            text.truncate(keep);
        }
    }
    // "0" before the point asks for that many whole digits ("000" prints 7 as 007); "#" alone
    // lets a value below one print as ".5".
    qsizetype wholeEnd = text.indexOf(shown.decimalPoint());
    if (wholeEnd < 0)
        wholeEnd = text.size();
    if (minWholeDigits == 0 && text.startsWith(shown.zeroDigit()) && wholeEnd == 1 &&
        text.size() > 1)
        text.remove(0, 1);
    for (qsizetype digits = wholeEnd; digits < minWholeDigits; ++digits)
        text.prepend(shown.zeroDigit());
    // A value that rounds to zero prints without a sign.
    static const QRegularExpression nonZero(QStringLiteral("[1-9]"));
    const bool shownNegative = value < 0 && text.contains(nonZero);
    return mask.left(start) + (shownNegative ? shown.negativeSign() : QString()) + text +
           mask.mid(end);
}

bool ReadDateTime(const QString& text, QDateTime& when) {
    const QString trimmed = text.trimmed();
    when = QDateTime::fromString(trimmed, Qt::ISODateWithMs);
    if (!when.isValid())
        when = QDateTime::fromString(trimmed, Qt::ISODate);
    if (!when.isValid()) {
        const QDate date = QDate::fromString(trimmed, Qt::ISODate);
        if (date.isValid())
            when = QDateTime(date, QTime(0, 0));
    }
    return when.isValid();
}

} // namespace

QString FormatWithMask(const TRLValue& value, const QString& mask, const QLocale& locale) {
    if (value.IsNull() || value.IsUnassigned())
        return QString();
    const QString text = value.ToString();
    if (mask.isEmpty() || text.trimmed().isEmpty())
        return text;
    if (mask.contains(u'0') || mask.contains(u'#')) {
        double number = 0;
        if (value.Type() == TRLValueType::Number)
            number = value.ToNumber();
        else if (!TRLValue::ReadNumber(text, number))
            return text;
        return FormatNumber(number, mask, locale);
    }
    QDateTime when;
    if (!ReadDateTime(text, when))
        return text;
    return locale.toString(when, mask);
}
