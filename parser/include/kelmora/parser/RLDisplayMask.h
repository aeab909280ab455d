/// @file
/// Display masks: how a value prints under a text control's DisplayMask, and under the
/// expression language's format(x, mask).
///
///   numbers  "#,##0.00", "$ #,##0.00", "0.###", "0 %": digits after the point as written ("0"
///            always shown, "#" only when not zero; a half rounds away from zero), "," before
///            the point groups thousands with the locale's separator, text around the pattern
///            kept. The number's exact decimal is formatted, so long totals keep every digit.
///   dates    "dd/MM/yyyy", "d 'de' MMMM 'de' yyyy", "HH:mm": the locale's date format codes,
///            applied to a value that reads as an ISO 8601 date or date and time.
/// Text in single quotes is printed as it stands, quotes aside, in both: "'Total '#,##0.00"
/// prints "Total 1.234,50" on a Spanish desktop, "'No. '0" prints "No. 7" (the 0 in quotes is
/// no digit sign); two single quotes print one.
/// A value that does not fit the mask prints as it is; an empty value prints empty.
#pragma once

#include <kelmora/parser/RLValue.h>

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace Kelmora {

/// Reads a text as the records write a date: ISO 8601, a date ("2026-12-08") or a date and time
/// ("2026-12-08T14:05:09", milliseconds and a zone allowed). False for anything else.
bool ReadIsoDateTime(const QString& text, QDateTime& when);

/// Formats a value under a display mask (see above) in locale.
QString FormatWithMask(const TRLValue& value, const QString& mask, const QLocale& locale);

/// Formats a value under a display mask in the default locale. A value without a mask is only its
/// text, and then no locale is made: a listing shows thousands of such values on one thread while
/// another takes locales too, and each one made counts a reference on the one default.
QString FormatWithMask(const TRLValue& value, const QString& mask);

} // namespace Kelmora
