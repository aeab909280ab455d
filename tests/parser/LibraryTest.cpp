// The expression language's function library: texts, numbers, dates and nulls, as a report's
// expressions use them, in English and on a Spanish desktop.
#include "ParserTestSupport.h"
#include <kelmora/parser/RLDisplayMask.h>
#include <kelmora/parser/RLParserLibrary.h>

#include <QLocale>
#include <QScopeGuard>

using namespace parsertest;

namespace {

[[nodiscard]] auto DefaultLocale(const QLocale& locale) {
    const QLocale saved;
    QLocale::setDefault(locale);
    return qScopeGuard([saved] { QLocale::setDefault(saved); });
}

// The value's kind and text, which is how a printed text sees it ("number(2.5)").
QString Shown(const TRLValue& value) {
    return TRLValue::TypeName(value.Type()) + u'(' + value.ToString() + u')';
}

QString Eval(const QString& text, TRLExpressionParser& parser) {
    return Shown(parser.Evaluate(text));
}

QString Eval(const QString& text) {
    TRLExpressionParser parser;
    return Eval(text, parser);
}

struct ShownCase {
    const char* Text;
    const char* Shown;
};

template <size_t N> void ExpectShown(const ShownCase (&cases)[N]) {
    for (const auto& c : cases)
        EXPECT_EQ(Eval(QString::fromUtf8(c.Text)), QString::fromUtf8(c.Shown)) << c.Text;
}

TEST(Library, TextsAreTakenCharacterByCharacterGreekAndAccentsIncluded) {
    const ShownCase cases[] = {
        {"str(2.5) + ' kg'", "string(2.5 kg)"},
        {"'Total: ' + str(1e6)", "string(Total: 1000000)"},
        {"str(null)", "string()"},
        {"upper('Íñigo Núñez')", "string(ÍÑIGO NÚÑEZ)"},
        {"upper('straße')", "string(STRASSE)"},
        {"lower('ÁRBOL')", "string(árbol)"},
        // Final sigma at the end of each word, the plain one inside.
        {"lower('ΟΔΥΣΣΕΥΣ ΚΑΙ ΣΙΣΥΦΟΣ')", "string(οδυσσευς και σισυφος)"},
        {"lower('Σ')", "string(σ)"},
        {"trim('  Córdoba \t')", "string(Córdoba)"},
        {"length('Ωμέγα')", "number(5)"},
        {"length('a😀b')", "number(3)"},
        {"length('')", "number(0)"},
        {"substr('Θεσσαλονίκη', 1, 4)", "string(Θεσσ)"},
        {"substr('Θεσσαλονίκη', 5)", "string(αλονίκη)"},
        {"substr('😀😁😂', 2, 1)", "string(😁)"},
        {"substr('abc', 0, 2)", "string(ab)"},
        {"substr('abc', 9)", "string()"},
        {"substr('abc', 2, 0)", "string()"},
        {"replace('a-b-c', '-', ' / ')", "string(a / b / c)"},
        {"replace('abc', '', 'x')", "string(abc)"},
        {"upper(null)", "null()"},
        {"length(null)", "null()"},
    };
    ExpectShown(cases);
}

TEST(Library, NumbersRoundAsMoneyIsRoundedInExactDecimals) {
    const ShownCase cases[] = {
        {"round(2.5)", "number(3)"},
        {"round(-2.5)", "number(-3)"},
        // 1.005 is 1.00499999999999989... as a double; the decimal is what was written.
        {"round(1.005, 2)", "number(1.01)"},
        {"round('1234.5678', 2)", "number(1234.57)"},
        {"trunc(2.99)", "number(2)"},
        {"trunc(-2.99, 1)", "number(-2.9)"},
        {"trunc(-0.04, 1)", "number(0)"},
        {"abs(-12.50)", "number(12.5)"},
        {"abs(3)", "number(3)"},
        // A numeric text is taken digit for digit, past what a double holds.
        {"round('12345678901234567890.5')", "number(12345678901234567891)"},
        {"round(null, 2)", "null()"},
    };
    ExpectShown(cases);
}

TEST(Library, DatesComeFromTheClockAndFromIsoTexts) {
    TRLExpressionParser parser;
    parser.Clock = [] { return QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)); };
    EXPECT_EQ(Eval("today()", parser), "string(2026-12-08)");
    EXPECT_EQ(Eval("now()", parser), "string(2026-12-08T14:05:09)");
    EXPECT_EQ(Eval("year(today()) * 100 + month(today())", parser), "number(202612)");
    EXPECT_EQ(Eval("day('2024-02-29T23:59:00')", parser), "number(29)");
    EXPECT_EQ(Eval("year(null)", parser), "null()");

    const auto english = DefaultLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(Eval("formatdate('2026-03-09', 'd MMMM yyyy')", parser), "string(9 March 2026)");
    {
        const auto spanish = DefaultLocale(QLocale(QLocale::Spanish, QLocale::Argentina));
        EXPECT_EQ(Eval("formatdate('2026-03-09', \"d 'de' MMMM 'de' yyyy\")", parser),
                  "string(9 de marzo de 2026)");
        EXPECT_EQ(Eval("formatdate(now(), 'dd/MM/yy HH:mm')", parser), "string(08/12/26 14:05)");
    }
}

TEST(Library, NullsAreLookedAtAndPassedOver) {
    EXPECT_EQ(Eval("isnull(null)"), "boolean(true)");
    EXPECT_EQ(Eval("isnull('')"), "boolean(false)");
    EXPECT_EQ(Eval("isnull(0)"), "boolean(false)");
    EXPECT_EQ(Eval("coalesce(null, null, 'sin dato')"), "string(sin dato)");
    EXPECT_EQ(Eval("coalesce(null, '', 'x')"), "string()");
    EXPECT_EQ(Eval("coalesce(null)"), "null()");
    EXPECT_EQ(Eval("if(isnull(null), 'vacío', 'lleno')"), "string(vacío)");
}

// format(x, mask) is the display mask's own rule, in the user's locale, quoted text included.
TEST(Library, FormatIsTheDisplayMaskInTheUsersLocale) {
    {
        const auto spanish = DefaultLocale(QLocale(QLocale::Spanish, QLocale::Argentina));
        EXPECT_EQ(Eval("format(1234.5, \"'Total '#,##0.00\")"), "string(Total 1.234,50)");
        EXPECT_EQ(Eval("'Total: ' + format(1234.5, '#,##0.00')"), "string(Total: 1.234,50)");
        EXPECT_EQ(Eval("format('2026-03-09', 'dd/MM/yyyy')"), "string(09/03/2026)");
    }
    const auto english = DefaultLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(Eval("format(1234.5, \"'Total '#,##0.00\")"), "string(Total 1,234.50)");
    EXPECT_EQ(Eval("format(null, '0.00')"), "null()");
}

TEST(Library, QuotedTextInAMaskIsPrintedAsItStands) {
    const QLocale spanish(QLocale::Spanish, QLocale::Argentina);
    const struct {
        TRLValue Value;
        const char* Mask;
        const char* Printed;
    } cases[] = {
        {1234.5, "'Total '#,##0.00", "Total 1.234,50"},
        {1234.5, "#,##0.00' $'", "1.234,50 $"},
        // A digit sign inside quotes is text; the pattern is the one outside them.
        {7.0, "'No. 0'000", "No. 0007"},
        {7.0, "'It''s '0", "It's 7"},
        {-3.0, "'saldo: '0.0", "saldo: -3,0"},
        {12.0, "$ #,##0", "$ 12"},
        // Only quoted digit signs: no number pattern, so the value is no number to this mask.
        {5.0, "'0'", "5"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatWithMask(c.Value, QString::fromUtf8(c.Mask), spanish),
                  QString::fromUtf8(c.Printed))
            << c.Mask;
}

// A name written bare is a field or a variable, never a library function, whatever its case; a
// call is the library's, even where a variable has the name.
TEST(Library, OnlyACallReachesTheLibrary) {
    TRLExpressionParser parser;
    AnswerName(parser, "Year", [](TRLExpressionParser&) { return TRLValue(1999); });
    EXPECT_EQ(Eval("Year + 1", parser), "number(2000)");
    TRLExpressionParser variables;
    EXPECT_EQ(Eval("{ length := 3; length * 2 }", variables), "number(6)");
    EXPECT_EQ(Eval("LENGTH('abc') + Length('de')", variables), "number(5)");
    // A declared function of the same name goes first, as the function list does.
    TRLExpressionParser declared;
    declared.Functions().Declare("upper(x) = 'mine'");
    EXPECT_EQ(Eval("upper('a')", declared), "string(mine)");
}

// An owner's functions answer calls ahead of the library's, with their argument counts kept.
TEST(Library, TheOwnerAddsFunctions) {
    TRLExpressionParser parser;
    int page = 3;
    parser.DefineCall("Page", 0, 0, [&page](const TRLValueList&) { return TRLValue(page); });
    parser.DefineCall("upper", 1, 1, [](const TRLValueList& a) {
        return TRLValue(QStringLiteral("<") + a[0].ToString() + u'>');
    });
    EXPECT_EQ(Eval("'Página ' + str(page())", parser), "string(Página 3)");
    page = 4;
    EXPECT_EQ(Eval("PAGE() * 2", parser), "number(8)");
    EXPECT_EQ(Eval("upper('a')", parser), "string(<a>)");
    EXPECT_EQ(ErrorOf([&] { parser.Evaluate("page(1)"); }),
              "Wrong number of arguments for \"page\"");
    // Written bare it is no call: a field or a variable of that name stays itself.
    EXPECT_EQ(Eval("{ page := 'x'; page }", parser), "string(x)");
}

TEST(Library, MisuseIsNamed) {
    const ErrorCase cases[] = {
        {"upper()", "Wrong number of arguments for \"upper\""},
        {"substr('a')", "Wrong number of arguments for \"substr\""},
        {"today(1)", "Wrong number of arguments for \"today\""},
        {"coalesce()", "Wrong number of arguments for \"coalesce\""},
        {"round(1, -2)", "round: the number of places is -2; it goes from 0 to 100"},
        {"round(1, 1.5)", "round: the number of places 1.5 is no whole number"},
        {"round('abc')", "round: \"abc\" is no number"},
        {"substr('abc', 1, -1)", "substr: the count -1 is below zero"},
        {"year('mañana')", "year: \"mañana\" is no date (ISO 8601, as 2026-12-08)"},
        // The language's own rule stays: a number is no text to join.
        {"'Total: ' + 5", "Cannot convert string \"Total: \" to number"},
    };
    ExpectErrors(cases, [](const char* text) {
        TRLExpressionParser parser;
        parser.Evaluate(QString::fromUtf8(text));
    });
    // Every name the library lists is one it answers to.
    for (const QString& name : LibraryFunctionNames()) {
        if (name == u"coalesce")
            continue;
        EXPECT_EQ(EvalError(name + QStringLiteral("(1, 2, 3, 4)")),
                  QStringLiteral("Wrong number of arguments for \"%1\"").arg(name));
    }
}

// A text the library makes counts against the evaluation's text limits, as "+" does.
TEST(Library, TextsTheLibraryMakesAreBounded) {
    TRLExpressionParser parser;
    const QString error = ErrorOf<TRLValueError>([&] {
        // Fifteen zeros, then ten times as many at each step: the eighth would be 150 million
        // characters, and is refused before it is made.
        parser.Evaluate("{ x := str(1e15); x := replace(x, '0', '0000000000'); "
                        "x := replace(x, '0', '0000000000'); x := replace(x, '0', '0000000000'); "
                        "x := replace(x, '0', '0000000000'); x := replace(x, '0', '0000000000'); "
                        "x := replace(x, '0', '0000000000'); x := replace(x, '0', '0000000000'); "
                        "replace(x, '0', '0000000000') }");
    });
    EXPECT_TRUE(error.contains(QLatin1String("makes a text longer than"))) << error.toStdString();
}

} // namespace
