#include <kelmora/parser/RLDisplayMask.h>

#include <kelmora/parser/RLDecimal.h>

#include <QDateTime>

#include <string>
#include <vector>

namespace Kelmora {

namespace {

bool IsNumberPatternChar(QChar c) {
    return c == u'#' || c == u'0' || c == u',' || c == u'.';
}

// The digits of a text in the locale's own digits.
QString LocaleDigits(const std::string& digits, const QLocale& locale) {
    const QString zero = locale.zeroDigit();
    QString text = QString::fromLatin1(digits.data(), static_cast<qsizetype>(digits.size()));
    if (zero.size() == 1 && zero[0] != u'0')
        for (QChar& c : text)
            c = QChar(static_cast<char16_t>(zero[0].unicode() + (c.unicode() - u'0')));
    return text;
}

// Where each character of a mask stands: false inside single quotes (and for the quotes).
std::vector<bool> Unquoted(const QString& mask) {
    std::vector<bool> unquoted(static_cast<size_t>(mask.size()), false);
    bool quoted = false;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        if (mask[i] == u'\'') {
            if (i + 1 < mask.size() && mask[i + 1] == u'\'') { // '' is a quote, in or out
                ++i;
                continue;
            }
            quoted = !quoted;
            continue;
        }
        unquoted[static_cast<size_t>(i)] = !quoted;
    }
    return unquoted;
}

// The literal text of a piece of mask: quotes removed, two quotes made one.
QString Literal(QStringView piece) {
    QString text;
    text.reserve(piece.size());
    for (qsizetype i = 0; i < piece.size(); ++i) {
        if (piece[i] != u'\'')
            text += piece[i];
        else if (i + 1 < piece.size() && piece[i + 1] == u'\'')
            text += piece[++i];
    }
    return text;
}

// Whether a mask has a digit sign outside quotes: a number's mask, not a date's.
bool HasDigitSign(const QString& mask) {
    const std::vector<bool> unquoted = Unquoted(mask);
    for (qsizetype i = 0; i < mask.size(); ++i)
        if (unquoted[static_cast<size_t>(i)] && (mask[i] == u'#' || mask[i] == u'0'))
            return true;
    return false;
}

QString FormatNumber(const TRLDecimal& value, const QString& mask, const QLocale& locale) {
    // prefix, pattern, suffix: the pattern is the first run of # 0 , . outside quotes that holds
    // a digit sign; the text around it is literal.
    const std::vector<bool> unquoted = Unquoted(mask);
    const auto patternAt = [&](qsizetype i) {
        return unquoted[static_cast<size_t>(i)] && IsNumberPatternChar(mask[i]);
    };
    qsizetype start = 0;
    while (start < mask.size() &&
           !(unquoted[static_cast<size_t>(start)] && (mask[start] == u'#' || mask[start] == u'0')))
        ++start;
    while (start > 0 && patternAt(start - 1))
        --start;
    qsizetype end = start;
    while (end < mask.size() && patternAt(end))
        ++end;
    const QStringView pattern = QStringView(mask).mid(start, end - start);
    const qsizetype point = pattern.indexOf(u'.');
    const QStringView whole = point < 0 ? pattern : pattern.left(point);
    const QStringView fraction = point < 0 ? QStringView() : pattern.mid(point + 1);
    const int maxDecimals = static_cast<int>(fraction.count(u'0') + fraction.count(u'#'));
    const int minDecimals = static_cast<int>(fraction.count(u'0'));
    const auto minWholeDigits = static_cast<size_t>(whole.count(u'0'));

    const TRLDecimal rounded = value.Rounded(maxDecimals);
    std::string wholeDigits = rounded.WholeDigits();
    std::string fractionDigits = rounded.FractionDigits(maxDecimals);
    while (fractionDigits.size() > static_cast<size_t>(minDecimals) && fractionDigits.back() == '0')
        fractionDigits.pop_back();
    // "0" before the point asks for that many whole digits ("000" prints 7 as 007); "#" alone
    // lets a value below one print as ".5".
    if (minWholeDigits == 0 && wholeDigits == "0" && !fractionDigits.empty())
        wholeDigits.clear();
    if (wholeDigits.size() < minWholeDigits)
        wholeDigits.insert(0, minWholeDigits - wholeDigits.size(), '0');
    QString text = LocaleDigits(wholeDigits, locale);
    if (whole.contains(u',')) {
        const QString separator = locale.groupSeparator();
        for (qsizetype at = text.size() - 3; at > 0; at -= 3)
            text.insert(at, separator);
    }
    if (!fractionDigits.empty())
        text += locale.decimalPoint() + LocaleDigits(fractionDigits, locale);
    // A value that rounds to zero prints without a sign.
    const bool shownNegative = rounded.IsNegative() && !rounded.IsZero();
    return Literal(QStringView(mask).left(start)) +
           (shownNegative ? locale.negativeSign() : QString()) + text +
           Literal(QStringView(mask).mid(end));
}

} // namespace

bool ReadIsoDateTime(const QString& text, QDateTime& when) {
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

QString FormatWithMask(const TRLValue& value, const QString& mask, const QLocale& locale) {
    if (value.IsNull() || value.IsUnassigned())
        return QString();
    const QString text = value.ToString();
    if (mask.isEmpty() || text.trimmed().isEmpty())
        return text;
    if (HasDigitSign(mask)) {
        TRLDecimal number;
        if (!value.ToDecimal(number))
            return text;
        return FormatNumber(number, mask, locale);
    }
    QDateTime when;
    if (!ReadIsoDateTime(text, when))
        return text;
    return locale.toString(when, mask);
}

QString FormatWithMask(const TRLValue& value, const QString& mask) {
    if (mask.isEmpty())
        return value.IsNull() || value.IsUnassigned() ? QString() : value.ToString();
    return FormatWithMask(value, mask, QLocale());
}

} // namespace Kelmora
