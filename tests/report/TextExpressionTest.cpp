// Texts from the records: exact sums, display masks, aggregate calls and group totals.
#include "ReportTestSupport.h"
#include <kelmora/report/RLTextExpression.h>

#include <QProcess>
#include <QScopeGuard>

using namespace Kelmora;

using namespace reporttest;

namespace {

// Sums of thousands of amounts are the database tests' check; here, the limits: sums far beyond
// 18 decimals or 128 bits stay exact, and one beyond every range is refused, not rounded.
TEST(DecimalSum, AmountsAddUpExactly) {
    const struct {
        std::vector<const char*> Terms;
        const char* Want;
    } cases[] = {
        {{"12.50", "-0.5", "1e3", "-2.5e-2"}, "1011.975"},
        {{" 7 ", "+3"}, "10"},
        {{"1234567890123456789.5", "0.5"}, "1234567890123456790"},
        {{"-0.000000000000000001", "0.000000000000000002"}, "0.000000000000000001"},
        {{"1e30", "1e30", "0.0000000000000000001"},
         "2000000000000000000000000000000.0000000000000000001"},
        {{"99999999999999999999999999999999999999", "1", "-0.5"},
         "99999999999999999999999999999999999999.5"},
        {{"9223372036854775807", "9223372036854775807", "9223372036854775807"},
         "27670116110564327421"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Terms.front());
        TRLDecimalSum sum;
        for (const char* term : c.Terms)
            ASSERT_TRUE(sum.Add(QString::fromLatin1(term))) << term;
        EXPECT_EQ(sum.Value().Text(), QString::fromLatin1(c.Want));
    }

    TRLDecimalSum text;
    EXPECT_FALSE(text.Add(u"12,50"));
    EXPECT_FALSE(text.Add(u"inf"));
    EXPECT_TRUE(text.Value().IsZero());
    TRLDecimalSum beyond;
    ASSERT_TRUE(beyond.Add(QString(TRLDecimal::MaxDigits, u'9')));
    EXPECT_EQ(ErrorOf([&] { beyond.Add(u"1"); }),
              QStringLiteral("The sum has more than 1100 digits"));
}

TEST(DisplayMask, NumbersAndDatesInTheLocale) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale argentine(QLocale::Spanish, QLocale::Argentina);
    const struct {
        TRLValue Value;
        const char* Mask;
        const char* English;
        const char* Argentine;
    } cases[] = {
        {-1234.567, "#,##0.00", "-1,234.57", "-1.234,57"},
        {"12.50", "0.###", "12.5", "12,5"},
        {12.0, "0.###", "12", "12"},
        {0.5, "#.##", ".5", ",5"},
        {7.0, "000", "007", "007"},
        {0.25, "0 %", "0 %", "0 %"},
        {"2026-03-09", "dd/MM/yyyy", "09/03/2026", "09/03/2026"},
        {"2026-03-09T07:30:00", "d MMMM yyyy HH:mm", "9 March 2026 07:30", "9 marzo 2026 07:30"},
        {"not a number", "#,##0.00", "not a number", "not a number"},
        {"not a date", "dd/MM/yyyy", "not a date", "not a date"},
        {TRLValue::Null(), "0.00", "", ""},
        {42.0, "", "42", "42"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Value.ToString().toStdString() + " " + c.Mask);
        EXPECT_EQ(FormatWithMask(c.Value, c.Mask, english), c.English);
        EXPECT_EQ(FormatWithMask(c.Value, c.Mask, argentine), c.Argentine);
    }
}

TEST(TextExpression, AggregateCallsAreFoundOutsideStrings) {
    const struct {
        const char* Text;
        std::vector<std::pair<TRLAggregateKind, const char*>> Want;
    } cases[] = {
        {"SUM ( a ) / Count()", {{TRLAggregateKind::Sum, "a"}, {TRLAggregateKind::Count, ""}}},
        {"avg(if(x > 0, (x), 0)) + max(y) - min(z)",
         {{TRLAggregateKind::Avg, "if(x > 0, (x), 0)"},
          {TRLAggregateKind::Max, "y"},
          {TRLAggregateKind::Min, "z"}}},
        // Inside strings, in longer names and without a call, nothing is an aggregate.
        {"'sum(x)' + \"count()\"", {}},
        {"'it''s sum(x)' + summary(x) + sum + x.sum", {}},
        {"sum(a + ')') ", {{TRLAggregateKind::Sum, "a + ')'"}}},
        {"sum(a", {}},
    };
    for (const auto& c : cases) {
        TRLTextExpression expression;
        expression.SetExpression(c.Text);
        std::vector<std::pair<TRLAggregateKind, QString>> found;
        for (const auto& aggregate : expression.Aggregates())
            found.emplace_back(aggregate.Kind, aggregate.Argument);
        EXPECT_EQ(found, (std::vector<std::pair<TRLAggregateKind, QString>>(c.Want.begin(),
                                                                            c.Want.end())));
    }
}

std::unique_ptr<TRLReport> Over(const QByteArray& layout, TRLJsonRecordsModel& records) {
    auto report = ReadReport(layout, QStringLiteral("totals.json"));
    report->SetDataSource(&records);
    report->SetShowProgress(false);
    return report;
}

// Per city: header, rows with a running sum, footer with count, avg, min, max, count of notes.
TEST(TextExpression, GroupTotals) {
    TRLJsonRecordsModel records;
    records.Load(R"json([
        {"City": "Brendal", "n": 1, "Amount": "0.10", "Note": "a"},
        {"City": "Brendal", "n": 2, "Amount": "0.20", "Note": ""},
        {"City": "Brendal", "n": 3, "Amount": "1250.50", "Note": "c"},
        {"City": "Corvath", "n": 4, "Amount": "-0.30"},
        {"City": "Corvath", "n": 5, "Amount": ""},
        {"City": "Río Cuarto", "n": 6, "Amount": 7}])json",
                 QStringLiteral("records"));
    const auto report = Over(R"json({"class": "TRLReport", "name": "R", "children": [
        {"class": "TRLGroup", "name": "G", "DataFields": "City", "children": [
          {"class": "TRLBand", "name": "H", "BandType": "btHeader", "Height": 14, "children": [
            {"class": "TRLLabel", "name": "City", "Expression": "City"}]},
          {"class": "TRLBand", "name": "D", "BandType": "btDetail", "Height": 14, "children": [
            {"class": "TRLLabel", "name": "N", "Expression": "n"},
            {"class": "TRLLabel", "name": "Running", "Left": 100, "Expression": "sum(Amount)",
             "DisplayMask": "0.00"}]},
          {"class": "TRLBand", "name": "F", "BandType": "btSummary", "Height": 14, "children": [
            {"class": "TRLLabel", "name": "Count", "Left": 200, "Expression": "count()"},
            {"class": "TRLLabel", "name": "Avg", "Left": 250, "Expression": "avg(Amount)",
             "DisplayMask": "0.00"},
            {"class": "TRLLabel", "name": "Min", "Left": 300, "Expression": "min(n)"},
            {"class": "TRLLabel", "name": "Max", "Left": 350, "Expression": "max(n)"},
            {"class": "TRLLabel", "name": "Notes", "Left": 400, "Expression": "count(Note)"}]}]}]})json",
                             records);
    ASSERT_EQ(PreparedPages(*report), 1);
    EXPECT_EQ(PageTexts(*report),
              QStringList({// Brendal: a running sum on each row, then the group's figures (the
                           // empty note counts, as SQL's count does; a missing one does not)
                           "Brendal", "1", "0.10", "2", "0.30", "3", "1250.80", "3", "416.93", "1",
                           "3", "3",
                           // Corvath: an empty amount is skipped by sum and avg alike
                           "Corvath", "4", "-0.30", "5", "-0.30", "2", "-0.30", "4", "5", "0",
                           // Río Cuarto
                           "Río Cuarto", "6", "7.00", "1", "7.00", "6", "6", "0"}));
}

// The parser keeps what it read of each text: labels whose texts read alike (an aggregate call
// becomes the same name in each) keep their own values; a changed expression is read anew.
TEST(TextExpression, TextsReadAlikeAndTextsChangedBetweenRuns) {
    TRLJsonRecordsModel records;
    records.Load(R"json([{"A": 1, "B": 10, "Name": "x"}, {"A": 2, "B": 20, "Name": "y"}])json",
                 QStringLiteral("records"));
    const auto report = Over(R"json({"class": "TRLReport", "name": "R", "children": [
        {"class": "TRLBand", "name": "D", "BandType": "btDetail", "Height": 14, "children": [
          {"class": "TRLLabel", "name": "Field", "Expression": "a"},
          {"class": "TRLLabel", "name": "Same", "Left": 100, "Expression": "A"}]},
        {"class": "TRLBand", "name": "S", "BandType": "btSummary", "Height": 14, "children": [
          {"class": "TRLLabel", "name": "SumA", "Expression": "sum(A)"},
          {"class": "TRLLabel", "name": "SumB", "Left": 100, "Expression": "sum(B)"},
          {"class": "TRLLabel", "name": "Both", "Left": 200,
           "Expression": "sum(B) - sum(A)"}]}]})json",
                             records);
    ASSERT_TRUE(report->Prepare());
    EXPECT_EQ(PageTexts(*report), (QStringList{"1", "1", "2", "2", "3", "30", "27"}));

    auto* field = dynamic_cast<TRLLabel*>(report->FindControl("Field"));
    auto* sumA = dynamic_cast<TRLLabel*>(report->FindControl("SumA"));
    ASSERT_TRUE(field && sumA);
    field->SetExpression(QStringLiteral("Name + '!'"));
    sumA->SetExpression(QStringLiteral("max(B) + count()"));
    ASSERT_TRUE(report->Prepare());
    EXPECT_EQ(PageTexts(*report), (QStringList{"x!", "1", "y!", "2", "22", "30", "27"}));
    // A text that no longer reads, a name that is no field and a sum over texts fail the next run
    // at its first record, naming the layout and their control.
    for (const char* broken : {"Name +", "Missing * 2", "sum(Name)"}) {
        field->SetExpression(QString::fromLatin1(broken));
        const QString error = ErrorOf([&] { report->Prepare(); });
        EXPECT_TRUE(error.startsWith("totals.json: Field.Expression: ")) << error.toStdString();
    }
    field->SetExpression(QStringLiteral("B"));
    ASSERT_TRUE(report->Prepare());
    EXPECT_EQ(PageTexts(*report).mid(0, 4), (QStringList{"10", "1", "20", "2"}));
}

// Every total over numbers, texts, dates, NULLs and empty texts, each record printed by two
// detail bands. Run in the users' locale too (the C library then reads "1.5" as 1 and writes
// "1,5"), which must change nothing: totals print all their digits without a mask, and with one
// the separators of the locale asked for.
TEST(TextExpression, TotalsTakeEachRecordOnceAndCompareByKind) {
    TRLJsonRecordsModel records;
    records.Load(R"json([
        {"v": 9.5, "t": "ñandú", "d": "2026-03-09", "e": "", "m": "10", "x": "9"},
        {"v": 100.25, "t": "Ñandú", "d": "2026-11-30T08:00:00", "e": null, "m": "9", "x": "b"},
        {"v": 1000.5, "t": "", "d": "2025-12-31", "x": "a"}])json",
                 QStringLiteral("records"));
    const struct {
        const char* Expression;
        const char* Mask;
        const char* Printed;
    } totals[] = {
        {"sum(v)", "", "1110.25"},
        {"avg(v)", "", "370.08333333333333"},
        {"min(v)", "", "9.5"}, // as numbers, not as texts ("100.25" < "9.5")
        {"max(v)", "", "1000.5"},
        {"count()", "", "3"},
        {"count(e)", "", "1"}, // the empty text, not the NULL nor the missing field
        {"count(t)", "", "3"},
        {"min(t)", "", ""},      // the empty text is the least text
        {"max(t)", "", "ñandú"}, // by characters: "ñ" after "Ñ"
        {"min(d)", "", "2025-12-31"},
        {"max(d)", "dd/MM/yyyy", "30/11/2026"},
        {"min(m)", "", "9"},
        {"max(x)", "", "b"}, // texts after numbers when kinds mix
        {"min(x)", "", "9"},
        {"sum(e)", "", ""}, // nothing to add: null, as SQL's sum
        {"avg(e)", "0.00", ""},
        {"sum(v * 100000)", "", "111025000"},
        {"sum(v) * 1000", "", "1110250"},
        {"count() * 100000", "", "300000"},
        {"sum(v)", "$ #,##0.00", "$ 1.110,25"},
        {"avg(v)", "#,##0.0000", "370,0833"},
    };
    QByteArray summary;
    for (size_t i = 0; i < std::size(totals); ++i)
        summary += QStringLiteral(R"({"class": "TRLLabel", "name": "T%1", "Top": %2,
            "Expression": "%3", "DisplayMask": "%4"},)")
                       .arg(i)
                       .arg(i * 14)
                       .arg(QLatin1String(totals[i].Expression), QLatin1String(totals[i].Mask))
                       .toUtf8();
    summary.chop(1);
    const auto report = Over(R"json({"class": "TRLReport", "name": "R", "children": [
        {"class": "TRLBand", "name": "D1", "BandType": "btDetail", "Height": 14, "children": [
          {"class": "TRLLabel", "name": "V1", "Expression": "v"}]},
        {"class": "TRLBand", "name": "D2", "BandType": "btDetail", "Height": 14, "children": [
          {"class": "TRLLabel", "name": "V2", "Expression": "count()"}]},
        {"class": "TRLBand", "name": "S", "BandType": "btSummary", "Height": 300, "children": [)json" +
                                 summary + "]}]}",
                             records);
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    const auto restore = qScopeGuard([&] { QLocale::setDefault(before); });
    ASSERT_EQ(PreparedPages(*report), 1);
    // The second band of each record sees the record counted once.
    QStringList want{"9.5", "1", "100.25", "2", "1000.5", "3"};
    for (const auto& total : totals)
        want << QString::fromUtf8(total.Printed);
    EXPECT_EQ(PageTexts(*report), want) << PageTexts(*report).join(u'|').toStdString();
}

// The command line's evaluation prints numbers whole, never with an exponent.
TEST(TextExpression, RltoolEvalPrintsNumbersWithoutExponent) {
    const std::pair<const char*, const char*> cases[] = {{"100000", "100000\n"},
                                                         {"1e21 + 1", "1000000000000000000000\n"},
                                                         {"1 / 8", "0.125\n"},
                                                         {"0.1 + 0.2", "0.30000000000000004\n"}};
    for (const auto& [expression, printed] : cases) {
        QProcess tool;
        tool.start(QStringLiteral(RLTOOL_PATH), {QStringLiteral("eval"), expression});
        ASSERT_TRUE(tool.waitForFinished(30000));
        EXPECT_EQ(tool.readAllStandardOutput(), QByteArray(printed)) << expression;
    }
}

// Without records the expressions still print; outside a preparation the design caption stays.
TEST(TextExpression, MemosAndLabelsOutsidePreparation) {
    auto report = ReadReport(
        R"json({"class": "TRLReport", "name": "R", "children": [
            {"class": "TRLBand", "name": "T", "BandType": "btTitle", "Height": 40, "children": [
              {"class": "TRLLabel", "name": "L", "Caption": "design", "Expression": "1 + 1"},
              {"class": "TRLMemo", "name": "M", "Top": 14, "Width": 200,
               "Expression": "'uno' + ' ' + 'dos'"}]}]})json",
        QStringLiteral("memo.json"));
    report->SetShowProgress(false);
    ASSERT_TRUE(report->Prepare());
    EXPECT_EQ(PageTexts(*report), (QStringList{"2", "uno dos"}));
    EXPECT_EQ(report->FindControl("L")->Caption(), QStringLiteral("design"));
}

} // namespace
