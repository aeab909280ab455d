/// @file
/// The value of a text control computed from the records: an expression of the report's
/// expression parser, evaluated once each time the control prints, in which the current record's
/// fields are names ("Qty * Price", "'Total: ' + City"), and a display mask that formats the
/// value in the user's locale.
///
/// Aggregates over the records printed so far may appear anywhere in the expression:
///   sum(expr)  avg(expr)  min(expr)  max(expr)  count()  count(expr)
/// They take each record once, however many detail bands print it, and treat values as SQL's
/// aggregates do: count() counts records; count(expr) the records where expr is not null (an
/// empty text counts); sum and avg add the numbers and skip nulls and empty texts, and give null
/// when nothing was added; min and max skip nulls and compare numbers as numbers, dates (ISO 8601
/// texts) as dates and other texts by their characters (numbers before dates before texts when
/// kinds mix), and give the value as the record had it. Their scope follows where the control
/// stands: in the bands of a group, the group's records (they start again with each group); in a
/// column footer or a page footer, the page's records (a page total); anywhere else, the
/// report's. Sums are exact: each term is taken as its decimal (a field's text digit for digit,
/// a computed number in its shortest decimal form) and added in decimal arithmetic of any
/// length, so no binary rounding accumulates and no digit is lost however large the sum.
///
/// Display masks are those of kelmora/parser/RLDisplayMask.h.
#pragma once

#include <kelmora/parser/RLDisplayMask.h>
#include <kelmora/parser/RLValue.h>

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <vector>

namespace Kelmora {

class TRLExpressionParser;

enum class TRLAggregateKind { Sum, Count, Avg, Min, Max };

/// An exact sum of decimal numbers.
class TRLDecimalSum {
public:
    /// Adds a number given as text ("12.50", "-3", "1e3"); false when text is no number. A sum
    /// that would outgrow TRLDecimal::MaxDigits raises TRLValueError instead of losing digits.
    bool Add(QStringView text);
    void Add(const TRLDecimal& term);
    const TRLDecimal& Value() const { return sum_; }
    void Clear() { sum_ = TRLDecimal(); }

private:
    TRLDecimal sum_;
};

/// One aggregate call of an expression, with what it has gathered.
struct TRLAggregate {
    TRLAggregateKind Kind = TRLAggregateKind::Sum;
    QString Argument; // empty for count()

    void Reset();
    /// Takes in the current record.
    void Add(TRLExpressionParser& parser);
    TRLValue Result() const;

private:
    TRLDecimalSum sum_;
    long long count_ = 0;
    TRLValue best_;
    /// The kind of best_ for min and max, and its decimal or date when it has one.
    int bestKind_ = 0;
    TRLDecimal bestNumber_;
    QDateTime bestDate_;
};

class TRLTextExpression {
public:
    QString Expression() const { return expression_; }
    void SetExpression(const QString& expression);
    QString DisplayMask() const { return mask_; }
    void SetDisplayMask(const QString& mask) { mask_ = mask; }

    bool IsEmpty() const { return expression_.trimmed().isEmpty(); }
    /// The aggregate calls of the expression, in the order they are written.
    std::vector<TRLAggregate>& Aggregates() { return aggregates_; }
    void ResetAggregates();
    void AddRecord(TRLExpressionParser& parser);

    /// The expression's value for the current record, totals included.
    TRLValue Value(TRLExpressionParser& parser) const;
    /// The text to print: the expression's value under the display mask.
    QString Evaluate(TRLExpressionParser& parser) const;

private:
    QString expression_;
    QString mask_;
    /// The expression with each aggregate call replaced by the name of its result.
    QString rewritten_;
    std::vector<TRLAggregate> aggregates_;
};

} // namespace Kelmora
