/// @file
/// The expression language's function library.
///
/// A library function is called with its argument list in brackets, even when it takes none:
/// "today()". A name written without brackets is never a library function, so a record field
/// named Year, Day or Length keeps its meaning. Names are matched without regard to case.
///
///   str(x)                   x as text: numbers with "." and no exponent, null as ""
///   format(x, mask)          x under a display mask (RLDisplayMask.h) in the user's locale:
///                            format(1234.5, "'Total '#,##0.00") is "Total 1.234,50" in Spanish
///   upper(s)  lower(s)       the text in capitals or small letters, by the Unicode rules
///                            (Greek included: lower("ΟΔΥΣΣΕΥΣ") is "οδυσσευς", final sigma)
///   trim(s)                  without the blanks at either end
///   length(s)                the number of characters (a letter outside the Basic
///                            Multilingual Plane counts once)
///   substr(s, start)         the characters from start (1 is the first) to the end, or
///   substr(s, start, count)  count of them at most; past the end gives ""
///   replace(s, old, new)     every old in s replaced by new (an empty old replaces nothing)
///   round(x)  round(x, n)    x rounded to n places after the point (0 by default), a half
///                            away from zero as money is rounded, in exact decimal arithmetic
///   trunc(x)  trunc(x, n)    x cut to n places, toward zero
///   abs(x)                   x without its sign
///   today()  now()           the date ("2026-12-08") and the date and time
///                            ("2026-12-08T14:05:09") of the parser's clock, as ISO 8601 texts
///   year(d)  month(d)  day(d) the parts of an ISO 8601 date or date and time, as numbers
///   formatdate(d, mask)      the date formatted with the locale's date codes in the user's
///                            locale ("dd/MM/yyyy", "d 'de' MMMM 'de' yyyy")
///   isnull(x)                true when x is null (a field the record leaves empty in SQL's
///                            sense); an empty text is not null
///   coalesce(a, b, ...)      the first argument that is not null, or null
///
/// Null goes through: a function of a null text or number gives null (str gives "", isnull and
/// coalesce look at it). A wrong number of arguments raises "Wrong number of arguments for
/// \"name\"", and a value that does not fit ("year('abc')", "round(1, -2)") raises
/// TRLValueError naming the function and the value.
#pragma once

#include <kelmora/parser/RLValue.h>

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

namespace Kelmora {

/// The names of the library's functions, in small letters.
const QStringList& LibraryFunctionNames();

/// Refuses a call of function with count arguments outside minArguments to maxArguments (-1: no
/// upper bound) with TRLParserError "Wrong number of arguments for \"function\"".
void CheckArgumentCount(const QString& function, qsizetype count, int minArguments,
                        int maxArguments);

/// What a call needs from the parser evaluating it.
struct TRLLibraryContext {
    /// The time of today() and now().
    std::function<QDateTime()> Now;
    /// Told the length of every text a function gives, before a text that may grow far beyond
    /// its arguments (replace) is made; throws to refuse it.
    std::function<void(qsizetype)> MakeText;
};

/// Calls the library function name (any case) with arguments. Gives unassigned when no library
/// function has that name.
TRLValue CallLibraryFunction(const QString& name, const TRLValueList& arguments,
                             const TRLLibraryContext& context);

} // namespace Kelmora
