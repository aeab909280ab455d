// The value of a text control computed from the records: an expression of the report's
// expression parser, evaluated once each time the control prints, in which the current record's
// fields are names ("Qty * Price", "'Total: ' + City"), and a display mask that formats the
// value in the user's locale.
//
// Aggregates over the records printed so far may appear anywhere in the expression:
//   sum(expr)  avg(expr)  min(expr)  max(expr)  count()  count(expr)
// count() counts records, count(expr) the records where expr is not empty; sum and avg skip empty
// values. Their scope follows where the control stands: in the bands of a group, the group's
// records (they start again with each group); in a column footer or a page footer, the page's
// records (a page total); anywhere else, the report's. Sums are exact for amounts: each term is
// taken in its shortest decimal form and added in fixed point, so no binary rounding accumulates
// over any number of records.
//
// Display masks:
//   numbers  "#,##0.00", "$ #,##0.00", "0.###", "0 %": digits after the point as written ("0"
//            always shown, "#" only when not zero), "," before the point groups thousands with
//            the locale's separator, text around the pattern kept.
//   dates    "dd/MM/yyyy", "d 'de' MMMM 'de' yyyy", "HH:mm": the locale's date format codes,
//            applied to a value that reads as an ISO 8601 date or date and time.
// A value that does not fit the mask prints as it is; an empty value prints empty.
#pragma once

#include "RLValue.h"

#include <QLocale>
#include <QString>

#include <vector>

class TRLExpressionParser;

enum class TRLAggregateKind { Sum, Count, Avg, Min, Max };

// An exact sum of decimal numbers: a fixed-point count of 10^-Scale units, widened to 128 bits;
// it turns to double arithmetic only when the terms outgrow that.
class TRLDecimalSum {
public:
    // Adds a number given as text ("12.50", "-3", "1e3") or the shortest decimal form of a
    // double; false when text is no number.
    bool Add(QStringView text);
    void Add(double value);
    double Value() const;
    bool IsExact() const { return exact_; }
    void Clear() { *this = TRLDecimalSum(); }

private:
    __extension__ typedef __int128 Wide;
    static constexpr int MaxScale = 18;
    bool Rescale(int scale);

    Wide units_ = 0;
    int scale_ = 0;
    bool exact_ = true;
    double inexact_ = 0;
};

// One aggregate call of an expression, with what it has gathered.
struct TRLAggregate {
    TRLAggregateKind Kind = TRLAggregateKind::Sum;
    QString Argument; // empty for count()

    void Reset();
    // Takes in the current record.
    void Add(TRLExpressionParser& parser);
    TRLValue Result() const;

private:
    TRLDecimalSum sum_;
    long long count_ = 0;
    TRLValue best_;
};

class TRLTextExpression {
public:
    QString Expression() const { return expression_; }
    void SetExpression(const QString& expression);
    QString DisplayMask() const { return mask_; }
    void SetDisplayMask(const QString& mask) { mask_ = mask; }

    bool IsEmpty() const { return expression_.trimmed().isEmpty(); }
    // The aggregate calls of the expression, in the order they are written.
    std::vector<TRLAggregate>& Aggregates() { return aggregates_; }
    void ResetAggregates();
    void AddRecord(TRLExpressionParser& parser);

    // The text to print: the expression's value under the display mask.
    QString Evaluate(TRLExpressionParser& parser) const;

private:
    QString expression_;
    QString mask_;
    // The expression with each aggregate call replaced by the name of its result.
    QString rewritten_;
    std::vector<TRLAggregate> aggregates_;
};

// Formats a value under a display mask (see above) in locale.
QString FormatWithMask(const TRLValue& value, const QString& mask,
                       const QLocale& locale = QLocale());
