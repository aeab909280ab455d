#include <kelmora/parser/RLParserLibrary.h>

#include <kelmora/parser/RLDisplayMask.h>
#include <kelmora/parser/RLParserTypes.h>

#include <QLocale>

#include <cmath>

namespace Kelmora {

namespace {

// The most places round and trunc take: far past what a double holds, well inside what an exact
// decimal does.
constexpr int kMaxPlaces = 100;

struct TLibraryFunction {
    const char* Name;
    int MinArguments;
    int MaxArguments; // -1: any number from MinArguments up
};

// Sized by its entries: a count written apart could leave an entry without a name.
constexpr TLibraryFunction kFunctions[] = {
    {"str", 1, 1},    {"upper", 1, 1},     {"lower", 1, 1},   {"trim", 1, 1},
    {"length", 1, 1}, {"substr", 2, 3},    {"replace", 3, 3}, {"round", 1, 2},
    {"trunc", 1, 2},  {"abs", 1, 1},       {"today", 0, 0},   {"now", 0, 0},
    {"year", 1, 1},   {"month", 1, 1},     {"day", 1, 1},     {"formatdate", 2, 2},
    {"isnull", 1, 1}, {"coalesce", 1, -1}, {"format", 2, 2},
};

[[noreturn]] void Refuse(const QString& function, const QString& why) {
    throw TRLValueError(QStringLiteral("%1: %2").arg(function, why));
}

QString Shown(const TRLValue& value) {
    return value.Type() == TRLValueType::String ? u'"' + value.ToString() + u'"' : value.ToString();
}

// Small letters, with the Greek sigma that ends a word written as such: the toolkit's rule is
// the letter's alone, which gives "οδυσσευσ" where Greek writes "οδυσσευς".
QString Lower(const QString& text) {
    QString lower = text.toLower();
    for (qsizetype i = 0; i < lower.size(); ++i) {
        if (lower[i] != u'σ' || i == 0 || !lower[i - 1].isLetter())
            continue;
        // Marks (accents written apart) belong to the letter before them.
        qsizetype next = i + 1;
        while (next < lower.size() && lower[next].isMark())
            ++next;
        if (next == lower.size() || !lower[next].isLetter())
            lower[i] = u'ς';
    }
    return lower;
}

// Characters, not UTF-16 units: a letter outside the Basic Multilingual Plane is one.
qsizetype CodePoints(const QString& text) {
    qsizetype count = text.size();
    for (const QChar c : text)
        if (c.isLowSurrogate())
            --count;
    return count;
}

// The UTF-16 index of code point n (0-based) of text, or text.size() when it has fewer.
qsizetype UnitOf(const QString& text, qsizetype n) {
    qsizetype unit = 0;
    for (; n > 0 && unit < text.size(); --n)
        unit += text[unit].isHighSurrogate() && unit + 1 < text.size() ? 2 : 1;
    return unit;
}

// A whole number argument (start, count, places).
long long Whole(const QString& function, const TRLValue& value, const char* what) {
    const double number = value.ToNumber();
    if (number != std::trunc(number) || std::abs(number) > 1e15)
        Refuse(
            function,
            QStringLiteral("the %1 %2 is no whole number").arg(QLatin1String(what), Shown(value)));
    return static_cast<long long>(number);
}

TRLDecimal Decimal(const QString& function, const TRLValue& value) {
    TRLDecimal decimal;
    if (!value.ToDecimal(decimal))
        Refuse(function, QStringLiteral("%1 is no number").arg(Shown(value)));
    return decimal;
}

int Places(const QString& function, const TRLValueList& arguments) {
    if (arguments.size() < 2)
        return 0;
    const long long places = Whole(function, arguments[1], "number of places");
    if (places < 0 || places > kMaxPlaces)
        Refuse(function, QStringLiteral("the number of places is %1; it goes from 0 to %2")
                             .arg(places)
                             .arg(kMaxPlaces));
    return static_cast<int>(places);
}

// An ISO 8601 date, or date and time, read as the records write them.
QDateTime DateOf(const QString& function, const TRLValue& value) {
    QDateTime when;
    if (!ReadIsoDateTime(value.ToString(), when))
        Refuse(function,
               QStringLiteral("%1 is no date (ISO 8601, as 2026-12-08)").arg(Shown(value)));
    return when;
}

TRLValue Call(const QString& function, const TRLValueList& a, const TRLLibraryContext& context) {
    // Null in, null out, but for the functions that are there to look at it.
    if (function != u"str" && function != u"isnull" && function != u"coalesce" &&
        function != u"today" && function != u"now" && !a.empty() && a.front().IsNull())
        return TRLValue::Null();
    if (function == u"str")
        return TRLValue(a[0].ToString());
    if (function == u"upper")
        return TRLValue(a[0].ToString().toUpper());
    if (function == u"lower")
        return TRLValue(Lower(a[0].ToString()));
    if (function == u"trim")
        return TRLValue(a[0].ToString().trimmed());
    if (function == u"length")
        return TRLValue(static_cast<double>(CodePoints(a[0].ToString())));
    if (function == u"substr") {
        const QString text = a[0].ToString();
        const long long start = std::max(Whole(function, a[1], "start"), 1LL);
        const qsizetype from =
            UnitOf(text, static_cast<qsizetype>(std::min<long long>(start - 1, text.size())));
        if (a.size() < 3)
            return TRLValue(text.mid(from));
        const long long count = Whole(function, a[2], "count");
        if (count < 0)
            Refuse(function, QStringLiteral("the count %1 is below zero").arg(count));
        const QString rest = text.mid(from);
        return TRLValue(rest.left(
            UnitOf(rest, static_cast<qsizetype>(std::min<long long>(count, rest.size())))));
    }
    if (function == u"replace") {
        QString text = a[0].ToString();
        const QString old = a[1].ToString();
        if (old.isEmpty())
            return TRLValue(text);
        const QString replacement = a[2].ToString();
        // Measured before it is made: a few replacements in a row multiply a text's length.
        const qsizetype found = text.count(old);
        context.MakeText(text.size() + found * (replacement.size() - old.size()));
        return TRLValue(text.replace(old, replacement));
    }
    if (function == u"round")
        return TRLValue::Exact(Decimal(function, a[0]).Rounded(Places(function, a)));
    if (function == u"trunc")
        return TRLValue::Exact(Decimal(function, a[0]).Truncated(Places(function, a)));
    if (function == u"abs") {
        const TRLDecimal value = Decimal(function, a[0]);
        return TRLValue::Exact(value.IsNegative() ? value.Negated() : value);
    }
    if (function == u"today")
        return TRLValue(context.Now().date().toString(Qt::ISODate));
    if (function == u"now")
        return TRLValue(context.Now().toString(Qt::ISODate));
    if (function == u"year")
        return TRLValue(DateOf(function, a[0]).date().year());
    if (function == u"month")
        return TRLValue(DateOf(function, a[0]).date().month());
    if (function == u"day")
        return TRLValue(DateOf(function, a[0]).date().day());
    if (function == u"format")
        return TRLValue(FormatWithMask(a[0], a[1].ToString()));
    if (function == u"formatdate")
        return TRLValue(QLocale().toString(DateOf(function, a[0]), a[1].ToString()));
    if (function == u"isnull")
        return TRLValue(a[0].IsNull() || a[0].IsUnassigned());
    if (function == u"coalesce") {
        for (const TRLValue& value : a)
            if (!value.IsNull() && !value.IsUnassigned())
                return value;
        return TRLValue::Null();
    }
    return TRLValue();
}

} // namespace

void CheckArgumentCount(const QString& function, qsizetype count, int minArguments,
                        int maxArguments) {
    if (count < minArguments || (maxArguments >= 0 && count > maxArguments))
        throw TRLParserError(
            QStringLiteral("Wrong number of arguments for \"%1\"").arg(function.toLower()));
}

const QStringList& LibraryFunctionNames() {
    static const QStringList names = [] {
        QStringList list;
        for (const TLibraryFunction& function : kFunctions)
            list << QLatin1String(function.Name);
        return list;
    }();
    return names;
}

TRLValue CallLibraryFunction(const QString& name, const TRLValueList& arguments,
                             const TRLLibraryContext& context) {
    const QString function = name.toLower();
    for (const TLibraryFunction& entry : kFunctions) {
        if (function != QLatin1String(entry.Name))
            continue;
        CheckArgumentCount(function, static_cast<qsizetype>(arguments.size()), entry.MinArguments,
                           entry.MaxArguments);
        TRLValue result = Call(function, arguments, context);
        // replace counted its text before making it.
        if (result.Type() == TRLValueType::String && function != u"replace")
            context.MakeText(result.ToString().size());
        return result;
    }
    return TRLValue();
}

} // namespace Kelmora
