#include <kelmora/report/RLTextExpression.h>

#include <kelmora/parser/RLExpressionParser.h>

#include <QDate>
#include <QDateTime>
#include <QScopeGuard>

#include <algorithm>
#include <string>

namespace Kelmora {

// ---- TRLDecimalSum ---------------------------------------------------------------------------

bool TRLDecimalSum::Add(QStringView text) {
    TRLDecimal term;
    if (!TRLDecimal::Read(text, term))
        return false;
    Add(term);
    return true;
}

void TRLDecimalSum::Add(const TRLDecimal& term) {
    if (!sum_.Add(term))
        throw TRLValueError(
            QStringLiteral("The sum has more than %1 digits").arg(TRLDecimal::MaxDigits));
}

// ---- TRLAggregate ----------------------------------------------------------------------------

namespace {

// What min and max tell apart, in the order in which the kinds stand when they mix.
enum ValueKind { BooleanKind = 1, NumberKind, DateKind, TextKind };

ValueKind KindOf(const TRLValue& value, TRLDecimal& number, QDateTime& date) {
    if (value.Type() == TRLValueType::Boolean)
        return BooleanKind;
    if (value.ToDecimal(number))
        return NumberKind;
    if (ReadIsoDateTime(value.ToString(), date))
        return DateKind;
    return TextKind;
}

// Texts in code point order, as SQL's binary collations and UTF-8 bytes order them (UTF-16 code
// units would put U+10000 and above before U+E000).
int CompareText(const QString& a, const QString& b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x == y)
            continue;
        const auto rank = [](char16_t c) {
            return QChar::isSurrogate(c) ? static_cast<int>(c) + 0x2000 : static_cast<int>(c);
        };
        return rank(x) < rank(y) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace

void TRLAggregate::Reset() {
    sum_.Clear();
    count_ = 0;
    best_ = TRLValue();
    bestKind_ = 0;
}

void TRLAggregate::Add(TRLExpressionParser& parser) {
    if (Kind == TRLAggregateKind::Count && Argument.trimmed().isEmpty()) {
        ++count_;
        return;
    }
    const TRLValue value = parser.Evaluate(Argument);
    if (value.IsNull() || value.IsUnassigned())
        return;
    switch (Kind) {
    case TRLAggregateKind::Sum:
    case TRLAggregateKind::Avg: {
        // A blank amount is no amount: skipped as a null is.
        if (value.Type() == TRLValueType::String && value.ToString().trimmed().isEmpty())
            return;
        TRLDecimal term;
        if (!value.ToDecimal(term))
            value.ToNumber(); // raises the language's own error for a value that is no number
        sum_.Add(term);
        break;
    }
    case TRLAggregateKind::Min:
    case TRLAggregateKind::Max: {
        TRLDecimal number;
        QDateTime date;
        const ValueKind kind = KindOf(value, number, date);
        int order = 0;
        if (bestKind_ == 0)
            order = Kind == TRLAggregateKind::Min ? -1 : 1;
        else if (kind != bestKind_)
            order = kind < bestKind_ ? -1 : 1;
        else if (kind == NumberKind)
            order = TRLDecimal::Compare(number, bestNumber_);
        else if (kind == DateKind)
            order = date < bestDate_ ? -1 : (bestDate_ < date ? 1 : 0);
        else if (kind == BooleanKind)
            order = static_cast<int>(value.ToBoolean()) - static_cast<int>(best_.ToBoolean());
        else
            order = CompareText(value.ToString(), best_.ToString());
        if ((Kind == TRLAggregateKind::Min && order < 0) ||
            (Kind == TRLAggregateKind::Max && order > 0)) {
            best_ = value;
            bestKind_ = kind;
            bestNumber_ = number;
            bestDate_ = date;
        }
        break;
    }
    case TRLAggregateKind::Count:
        break;
    }
    ++count_;
}

TRLValue TRLAggregate::Result() const {
    switch (Kind) {
    case TRLAggregateKind::Sum:
        return count_ == 0 ? TRLValue::Null() : TRLValue::Exact(sum_.Value());
    case TRLAggregateKind::Count:
        return TRLValue(static_cast<double>(count_));
    case TRLAggregateKind::Avg:
        return count_ == 0 ? TRLValue::Null() : TRLValue::Exact(sum_.Value().DividedBy(count_));
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

TRLValue TRLTextExpression::Value(TRLExpressionParser& parser) const {
    for (size_t i = 0; i < aggregates_.size(); ++i)
        parser.Values().Set(ResultName(i), aggregates_[i].Result());
    const auto forget = qScopeGuard([&] {
        for (size_t i = 0; i < aggregates_.size(); ++i)
            parser.Values().Remove(ResultName(i));
    });
    return parser.Evaluate(rewritten_);
}

QString TRLTextExpression::Evaluate(TRLExpressionParser& parser) const {
    return FormatWithMask(Value(parser), mask_);
}

} // namespace Kelmora
