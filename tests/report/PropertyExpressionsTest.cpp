// Properties that follow the records: a control's or band's Visible, Font.Color, Font.Style,
// Color and Transparent computed per print, and put back afterwards.
#include "ReportTestSupport.h"
#include <kelmora/pagestore/RLGraphicObject.h>
#include <kelmora/report/RLPropertyExpressions.h>

using namespace Kelmora;
using namespace reporttest;

namespace {

struct PrintedText {
    QString Text;
    QColor Color;
    TRLFontStyles Style;
    int Top;
    bool operator==(const PrintedText&) const = default;
};

void PrintTo(const PrintedText& t, std::ostream* os) {
    *os << t.Text.toStdString() << " " << t.Color.name().toStdString() << " style " << int(t.Style)
        << " at " << t.Top;
}

std::vector<PrintedText> PrintedTexts(const TRLCustomReport& report) {
    std::vector<PrintedText> texts;
    for (int page = 0; page < report.Storage().PageCount(); ++page)
        for (const TRLTextObject* t : ObjectsOf<TRLTextObject>(*Page(report, page)))
            texts.push_back({t->Text, t->Font.Color.ToColor(),
                             static_cast<TRLFontStyles>(t->Font.Style), t->BoundsRect.Top});
    return texts;
}

// The colours of the boxes filled on the first page, top to bottom.
std::vector<std::pair<int, QColor>> Fills(const TRLCustomReport& report) {
    std::vector<std::pair<int, QColor>> fills;
    for (const TRLFillRectObject* f : ObjectsOf<TRLFillRectObject>(*Page(report)))
        fills.emplace_back(f->BoundsRect.Top, f->Brush.Color.ToColor());
    return fills;
}

struct ReportOver {
    TRLJsonRecordsModel records;
    std::unique_ptr<TRLReport> report;

    ReportOver(const QByteArray& layout, const QByteArray& json) {
        records.Load(json, QStringLiteral("records"));
        report = ReadReport(layout, QStringLiteral("props.json"));
        report->SetDataSource(&records);
        report->SetShowProgress(false);
    }
};

const QColor Red(255, 0, 0);
const QColor Black(0, 0, 0);

TEST(PropertyExpressions, ColoursAndStylesFollowEachRecordAndTheLayoutsComeBack) {
    ReportOver r(R"json({"class": "TRLReport", "name": "R", "children": [
        {"class": "TRLBand", "name": "D", "BandType": "btDetail", "Height": 20, "children": [
          {"class": "TRLLabel", "name": "A", "Expression": "Name",
           "Font": {"Name": "Arial", "Size": 10, "Color": "#000080"},
           "Expressions": {"Font.Color": "if(isnull(Amount), '', if(Amount < 0, 'clRed', ''))",
                           "Font.Style": "if(isnull(Amount), null, if(Amount < 0, 'fsBold, fsItalic', ''))",
                           "Color": "if(isnull(Amount), '#FFFF00', '')"}}]}]})json",
                 R"json([{"Name": "debe", "Amount": -5}, {"Name": "haber", "Amount": 3},
                         {"Name": "nada", "Amount": null}, {"Name": "Ωμέγα σ", "Amount": -1}])json");
    auto* label = qobject_cast<TRLLabel*>(r.report->FindControl("A"));
    ASSERT_TRUE(label);
    const TRLFont designFont = label->Font();
    const QColor navy(0, 0, 128);
    const TRLFontStyles boldItalic = fsBold | fsItalic;

    ASSERT_EQ(PreparedPages(*r.report), 1);
    const std::vector<PrintedText> first = PrintedTexts(*r.report);
    ASSERT_EQ(first.size(), 4u);
    // A negative amount in bold italic red; an empty colour or a null style keeps the layout's.
    EXPECT_EQ(first[0].Text, "debe");
    EXPECT_EQ(first[0].Color, Red);
    EXPECT_EQ(first[0].Style, boldItalic);
    EXPECT_EQ(first[1].Text, "haber");
    EXPECT_EQ(first[1].Color, navy);
    EXPECT_EQ(first[1].Style, 0);
    EXPECT_EQ(first[2].Text, "nada");
    EXPECT_EQ(first[2].Color, navy);
    EXPECT_EQ(first[2].Style, 0);
    EXPECT_EQ(first[3].Text, QStringLiteral("Ωμέγα σ"));
    EXPECT_EQ(first[3].Color, Red);
    EXPECT_EQ(first[3].Style, boldItalic);
    // Only the record without an amount fills its box; the others stay transparent as designed.
    const auto fills = Fills(*r.report);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].first, first[2].Top);
    EXPECT_EQ(fills[0].second, QColor(255, 255, 0));

    // After the run the label is as the layout made it, and a second run prints the same.
    EXPECT_EQ(label->Font(), designFont);
    EXPECT_FALSE(label->ParentFont());
    EXPECT_TRUE(label->Transparent());
    EXPECT_TRUE(label->ParentColor());
    ASSERT_EQ(PreparedPages(*r.report), 1);
    EXPECT_EQ(PrintedTexts(*r.report), first);
}

// Records of the given numbers, each "Want"ing its band or not, "Sign" -1 for multiples of 14.
QByteArray Numbered(const std::vector<std::pair<int, bool>>& records) {
    QByteArray json = "[";
    for (const auto& [n, wanted] : records) {
        json += QByteArray(json.size() > 1 ? "," : "") + "{\"n\": " + QByteArray::number(n) +
                ", \"Want\": " + (wanted ? "true" : "false") +
                ", \"Sign\": " + (n % 14 == 0 ? "-1" : "1") + "}";
    }
    return json + "]";
}

QByteArray Wanted(int count, int notWanted = 0) {
    std::vector<std::pair<int, bool>> records;
    for (int n = 1; n <= count + notWanted; ++n)
        records.emplace_back(n, n <= count);
    return Numbered(records);
}

// A band's Visible leaves it out for the records that do not want it: the pages are those of
// the same layout over only the wanted records, so a left-out band neither takes room nor asks
// for a page. A band's font colour reaches the labels that take their parent's font.
TEST(PropertyExpressions, ABandPrintsOnlyForTheRecordsThatWantIt) {
    const QByteArray layout = R"json({"class": "TRLReport", "name": "R", "children": [
        {"class": "TRLBand", "name": "D", "BandType": "btDetail", "Height": 45,
         "Font": {"Name": "Arial", "Size": 10, "Color": "clBlack"}, EXPRESSIONS
         "children": [
          {"class": "TRLLabel", "name": "N", "Expression": "n",
           "Expressions": {"Font.Style": "if(Sign < 0, 'fsBold', '')"}},
          {"class": "TRLLabel", "name": "Hidden", "Left": 100, "Expression": "'-' + str(n)",
           "Expressions": {"Visible": "n > 200"}}]}]})json";
    const QByteArray colour = R"json("Font.Color": "if(Sign < 0, 'clRed', '')")json";
    const auto withVisible = [&](const QByteArray& records) {
        return std::make_unique<ReportOver>(
            QByteArray(layout).replace("EXPRESSIONS", R"json("Expressions": {)json" + colour +
                                                          R"json(, "Visible": "Want"},)json"),
            records);
    };
    const auto withoutVisible = [&](const QByteArray& records) {
        return std::make_unique<ReportOver>(
            QByteArray(layout).replace("EXPRESSIONS",
                                       R"json("Expressions": {)json" + colour + "},"),
            records);
    };

    // Every seventh of 400 records, against a report over those alone.
    std::vector<std::pair<int, bool>> all;
    std::vector<std::pair<int, bool>> sevenths;
    for (int n = 1; n <= 400; ++n) {
        all.emplace_back(n, n % 7 == 0);
        if (n % 7 == 0)
            sevenths.emplace_back(n, true);
    }
    const auto selected = withVisible(Numbered(all));
    const auto alone = withoutVisible(Numbered(sevenths));
    const int pages = PreparedPages(*alone->report);
    ASSERT_GT(pages, 1);
    EXPECT_EQ(PreparedPages(*selected->report), pages);
    const std::vector<PrintedText> texts = PrintedTexts(*selected->report);
    EXPECT_EQ(texts, PrintedTexts(*alone->report));
    // 57 multiples of 7 up to 400, 29 of them past 200.
    ASSERT_EQ(texts.size(), 57u + 29u);
    int hidden = 0;
    for (const PrintedText& t : texts) {
        if (t.Text.startsWith(u'-')) {
            EXPECT_GT(t.Text.mid(1).toInt(), 200) << t.Text.toStdString();
            ++hidden;
            continue;
        }
        EXPECT_EQ(t.Text.toInt() % 7, 0) << t.Text.toStdString();
        const bool negative = t.Text.toInt() % 14 == 0;
        EXPECT_EQ(t.Color, negative ? Red : Black) << t.Text.toStdString();
        EXPECT_EQ(t.Style, negative ? fsBold : 0) << t.Text.toStdString();
    }
    EXPECT_EQ(hidden, 29);

    // Records left out after the last band that fits a page start no page of their own.
    int fill = 0;
    for (int bands = 1; bands < 200 && fill == 0; ++bands)
        if (PreparedPages(*withoutVisible(Wanted(bands))->report) > 1)
            fill = bands - 1;
    ASSERT_GT(fill, 1);
    EXPECT_EQ(PreparedPages(*withVisible(Wanted(fill, 5))->report), 1);
}

// A total decides a colour as it decides a text: per group, in the group's footer.
TEST(PropertyExpressions, TotalsColourTheGroupsFooter) {
    ReportOver r(
        R"json({"class": "TRLReport", "name": "R", "children": [
        {"class": "TRLGroup", "name": "G", "DataFields": "City", "children": [
          {"class": "TRLBand", "name": "D", "BandType": "btDetail", "Height": 14},
          {"class": "TRLBand", "name": "F", "BandType": "btSummary", "Height": 14, "children": [
            {"class": "TRLLabel", "name": "Total", "Expression": "City + ' ' + str(sum(Amount))",
             "Expressions": {"Font.Color": "if(sum(Amount) < 0, 'clRed', 'clBlack')",
                             "Visible": "count() > 1"}}]}]}]})json",
        R"json([{"City": "Brendal", "Amount": "10.10"}, {"City": "Brendal", "Amount": "-10.20"},
                         {"City": "Corvath", "Amount": "0.30"}, {"City": "Corvath", "Amount": ""},
                         {"City": "Río Cuarto", "Amount": "-7"}])json");
    ASSERT_EQ(PreparedPages(*r.report), 1);
    const std::vector<PrintedText> texts = PrintedTexts(*r.report);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].Text, "Brendal -0.1");
    EXPECT_EQ(texts[0].Color, Red);
    EXPECT_EQ(texts[1].Text, "Corvath 0.3");
    EXPECT_EQ(texts[1].Color, Black);
}

TEST(PropertyExpressions, AValueThePropertyCannotTakeNamesTheLayoutTheControlAndTheProperty) {
    const struct {
        const char* Expressions;
        const char* Where;
        const char* Error;
    } cases[] = {
        {R"x("Font.Color": "'clRedd'")x", "A.Expressions.Font.Color", "\"clRedd\" is not a colour"},
        {R"x("Color": "Amount")x", "A.Expressions.Color", "\"-5\" is not a colour"},
        {R"x("Font.Style": "'fsBold fsBolt'")x", "A.Expressions.Font.Style",
         "\"fsBolt\" is not a font style; expected fsBold, fsItalic, fsUnderline, fsStrikeOut"},
        {R"x("Visible": "Name")x", "A.Expressions.Visible",
         "Cannot convert string \"debe\" to boolean"},
        {R"x("Transparent": "Amount >")x", "A.Expressions.Transparent", ""},
        {R"x("Visible": "nosuch(1)")x", "A.Expressions.Visible", ""},
    };
    for (const auto& c : cases) {
        ReportOver r(QByteArray(R"json({"class": "TRLReport", "name": "R", "children": [
            {"class": "TRLBand", "name": "D", "BandType": "btDetail", "Height": 20, "children": [
              {"class": "TRLLabel", "name": "A", "Expression": "Name",
               "Expressions": {EXPRESSIONS}}]}]})json")
                         .replace("EXPRESSIONS", c.Expressions),
                     R"json([{"Name": "debe", "Amount": -5}])json");
        const QString error = ErrorOf([&] { r.report->Prepare(); });
        const QString where = QStringLiteral("props.json: %1: ").arg(QLatin1String(c.Where));
        EXPECT_TRUE(error.startsWith(where + QString::fromUtf8(c.Error)))
            << c.Expressions << "\n  " << error.toStdString();
    }
}

TEST(PropertyExpressions, ValuesAreReadAsTheLayoutReadsThem) {
    const auto colour = [](const TRLValue& v) { return PropertyColor(v); };
    EXPECT_EQ(colour(TRLValue(QStringLiteral("clRed"))), QColor(255, 0, 0));
    EXPECT_EQ(colour(TRLValue(QStringLiteral(" #0080ff "))), QColor(0, 128, 255));
    EXPECT_EQ(colour(TRLValue(QString())), std::nullopt);
    EXPECT_EQ(colour(TRLValue::Null()), std::nullopt);
    EXPECT_EQ(PropertyFontStyle(TRLValue(QStringLiteral("[fsBold, fsStrikeOut]"))),
              fsBold | fsStrikeOut);
    EXPECT_EQ(PropertyFontStyle(TRLValue(QStringLiteral("fsItalic+fsUnderline"))),
              fsItalic | fsUnderline);
    EXPECT_EQ(PropertyFontStyle(TRLValue(QString())), TRLFontStyles(0));
    EXPECT_EQ(PropertyFontStyle(TRLValue::Null()), std::nullopt);
    // Names are those of a layout, in their own case.
    EXPECT_EQ(ErrorOf([] { PropertyFontStyle(TRLValue(QStringLiteral("fsbold"))); }),
              "\"fsbold\" is not a font style; expected fsBold, fsItalic, fsUnderline, "
              "fsStrikeOut");
}

} // namespace
