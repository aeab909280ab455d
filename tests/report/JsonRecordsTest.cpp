// Records read from JSON for a report's DataSource: columns, value texts and errors.
#include "ReportTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Kelmora;

namespace {

using namespace reporttest;

QString LoadError(const QByteArray& json) {
    return ErrorOf([&] { TRLJsonRecordsModel().Load(json, QStringLiteral("data.json")); });
}

TEST(JsonRecords, ValuesPrintAsAReportShowsThem) {
    // 42 arrives as an integer, the other numbers as doubles.
    const QJsonArray values = QJsonDocument::fromJson(R"(["Córdoba 1.234,50", 42, -7.0,
        9007199254740991.0, -2.75, 1e300, true, false, null])")
                                  .array();
    const QStringList texts = {"Córdoba 1.234,50",
                               "42",
                               "-7",
                               "9007199254740991",
                               "-2.75",
                               "1" + QString(300, u'0'),
                               "True",
                               "False",
                               ""};
    ASSERT_EQ(values.size(), texts.size());
    for (int i = 0; i < values.size(); ++i) {
        QString text = "unchanged";
        ASSERT_TRUE(JsonFieldText(values[i], text)) << texts[i].toStdString();
        EXPECT_EQ(text, texts[i]) << text.toStdString();
    }
}

TEST(JsonRecords, ErrorsNameTheFileTheRecordAndTheField) {
    EXPECT_EQ(LoadError(R"({"Nombre": "Ana"})"), "data.json: records are a JSON array of objects");
    EXPECT_EQ(LoadError(R"([{"Nombre": "Ana"}, {"a": 1}, "Luis"])"),
              "data.json: record 2 is not an object");
    EXPECT_EQ(LoadError(R"([{"Nombre": "Ana"}, {"Dias": [1, 2]}])"),
              "data.json: record 1, field \"Dias\": a field holds a string, number, true, "
              "false or null");
    EXPECT_TRUE(LoadError("[\n  {\"a\": 1},\n  {\"a\": 2,}\n]").startsWith("data.json:3:"));
}

TEST(JsonRecords, AFailedLoadKeepsTheOldRecords) {
    TRLJsonRecordsModel model;
    model.Load(R"([{"a": "x"}, {"a": "y"}])", "data.json");
    int resets = 0;
    QObject::connect(&model, &QAbstractItemModel::modelReset, [&] { ++resets; });
    EXPECT_THROW(model.Load(R"([{"b": 1}, 2])", "data.json"), TRLException);
    EXPECT_EQ(std::pair(resets, model.rowCount()), std::pair(0, 2));
    EXPECT_EQ(Cells(model).Fields, QStringList({"a"}));
    model.Load("[]", "data.json");
    EXPECT_EQ(std::tuple(resets, model.rowCount(), model.columnCount()), std::tuple(1, 0, 0));
}

TEST(JsonRecords, ManyFieldNamesAreKeptCheaplyAndBounded) {
    // Each record a name of its own: every row holds its own text, and none of the others'.
    QJsonArray spread;
    for (int i = 0; i < 300; ++i)
        spread.append(QJsonObject{{QStringLiteral("f%1").arg(i), i}});
    TRLJsonRecordsModel model;
    model.Load(QJsonDocument(spread).toJson(), QStringLiteral("data.json"));
    ASSERT_EQ(model.columnCount(), 300);
    for (const int row : {0, 150, 299}) {
        EXPECT_EQ(model.index(row, row).data().toString(), QString::number(row));
        for (const int other : {0, 149, 151, 299}) {
            if (other != row) {
                EXPECT_TRUE(model.index(row, other).data().toString().isNull()) << row << other;
            }
        }
    }

    QJsonArray past;
    for (int i = 0; i <= TRLRecordStream::MaxFields; ++i)
        past.append(QJsonObject{{QStringLiteral("f%1").arg(i), 1}});
    EXPECT_EQ(LoadError(QJsonDocument(past).toJson()),
              "data.json: record 10000, field \"f10000\": the records have more than 10000 "
              "distinct fields");
    past.removeLast();
    EXPECT_EQ(LoadError(QJsonDocument(past).toJson()), "(no error)");
}

TEST(JsonRecords, AFileIsReadWholeOnlyUpToItsBound) {
    EXPECT_EQ(ErrorOf([] { ReadJsonRecords(QStringLiteral("/dev/zero")); }),
              "/dev/zero: larger than 64 MB");

    // Short records cost far more held than written: "{}," is three bytes of the file and
    // close to a hundred of rows and document. Their number is bounded before any is read.
    // A record counts its brace and the comma after it, a field its colon.
    const qsizetype max = TRLJsonRecordsModel::MaxValues;
    const auto records = [](qsizetype count, const QByteArray& record) {
        return "[" + (record + ",").repeated(count - 1) + record + "]";
    };
    const QString refused = QStringLiteral("data.json: more than %1 values and names; a records "
                                           "file read whole holds at most that many")
                                .arg(max);
    EXPECT_EQ(LoadError(records(max / 2 + 1, "{}")), refused);
    EXPECT_EQ(LoadError(records(max / 3, "{\"a\":1}")), "(no error)");
    EXPECT_EQ(LoadError(records(max / 3 + 1, "{\"a\":1}")), refused);
    // Brackets, commas and colons inside texts are no values.
    EXPECT_EQ(LoadError(records(max / 3, "{\"a\":\",:{[\"}")), "(no error)");
    // Values in arrays count too, though such a field is then refused.
    EXPECT_EQ(LoadError("[{\"a\": [" + QByteArray("1,").repeated(max) + "1]}]"), refused);
}

} // namespace
