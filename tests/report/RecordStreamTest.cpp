// Records read as the report goes: as the whole-file reader reads them, damaged files named.
#include "ReportTestSupport.h"
#include <kelmora/report/RLRecordStream.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QTemporaryDir>

#include <algorithm>
#include <map>
#include <optional>
#include <utility>
#include <vector>

using namespace Kelmora;

using namespace reporttest;

namespace {

class RecordFiles : public ::testing::Test {
protected:
    QString Write(const QString& name, const QByteArray& bytes) {
        return WriteFile(dir_.filePath(name), bytes);
    }
    QTemporaryDir dir_;
};

// Every record of a stream, read to its end.
Table ReadAll(TRLRecordStream& stream) {
    while (stream.canFetchMore())
        stream.fetchMore();
    return Cells(stream);
}

QString StreamError(const QString& path) {
    return ErrorOf([&] {
        TRLJsonRecordStream stream(path);
        ReadAll(stream);
    });
}

TEST_F(RecordFiles, TheStreamReadsWhatTheWholeFileReaderReads) {
    // Plain records are the records fuzzer's seeds, compared the same way in every build.
    const QByteArray cases[] = {
        "  \n[ \n ]\n",
        // Columns: each record's keys sorted, then in the order first met.
        R"([{"Nombre": "Ana", "Dias": 3}, {"Importe": 1, "Nombre": "Luis"}, {}, {"Activo": 1}])",
        // Brackets, commas, braces and escaped quotes inside strings end nothing.
        R"([{"Texto": "a],{\"b\": [1,2]}, \\"}, {"Texto": "ñandú \u00e9\n"}])",
        // Whole numbers, fractions and exponents print as the whole-file reader prints them.
        R"([{"n": 3}, {"n": -0.5}, {"n": 1e21}, {"n": 12.50}, {"n": 9007199254740992}])",
        "\xEF\xBB\xBF[{\"bom\": 1}]",
    };
    for (const QByteArray& json : cases) {
        SCOPED_TRACE(json.constData());
        TRLJsonRecordStream stream(Write("records.json", json));
        TRLJsonRecordsModel whole;
        whole.Load(json.startsWith("\xEF\xBB\xBF") ? json.mid(3) : json, QStringLiteral("whole"));
        EXPECT_EQ(ReadAll(stream), Cells(whole));
    }

    // As JSON Lines, blank lines and a last line without its end included.
    TRLJsonRecordStream lines(Write("records.jsonl", "{\"Nombre\": \"Ana\", \"Dias\": 3}\n\n"
                                                     "{\"Importe\": 12.5, \"Nombre\": \"Luis\"}\r\n"
                                                     "{}\n{\"Dias\": 1, \"Activo\": true}"));
    EXPECT_EQ(ReadAll(lines), (Table{{"Dias", "Nombre", "Importe", "Activo"},
                                     {{"3", "Ana", "", ""},
                                      {"", "Luis", "12.5", ""},
                                      {"", "", "", ""},
                                      {"1", "", "", "True"}}}));
}

// The toolkit's JSON document's reading of one record: its fields in key order, or nothing.
using Fields = std::vector<std::pair<QString, QString>>; // key and text

std::optional<Fields> DocumentFields(const QByteArray& record) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(record, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    Fields fields;
    const QJsonObject object = doc.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        QString text;
        if (!JsonFieldText(it.value(), text))
            return std::nullopt;
        fields.emplace_back(it.key(), text);
    }
    return fields;
}

// Plain records must not be left to the document; each read afresh, then with remembered keys.
void ExpectReadAsTheDocumentReads(const QByteArray& record, bool plain, TRLFlatKeys& keys) {
    SCOPED_TRACE(record.toStdString());
    for (TRLFlatKeys* known : {static_cast<TRLFlatKeys*>(nullptr), &keys}) {
        std::vector<TRLFlatField> fields{{"left", "over"}};
        const bool read = ReadFlatRecord(record, fields, known);
        EXPECT_TRUE(read || !plain) << "a plain record was left to the document";
        if (!read)
            continue;
        const auto expected = DocumentFields(record);
        ASSERT_TRUE(expected.has_value()) << "read a record that the document refuses";
        Fields got;
        for (const TRLFlatField& field : fields)
            got.emplace_back(field.Key, field.Text);
        EXPECT_EQ(got, *expected) << (known ? "with keys" : "afresh");
    }
}

// Numbers that a double cannot hold: the stream keeps every digit (also in the empty texts and
// NULLs beside them, which stay apart), the whole-file reader and the stream's records that the
// document reads refuse them by name rather than print other digits.
TEST_F(RecordFiles, LongNumbersKeepEveryDigitOrAreRefused) {
    const QByteArray json = R"([{"id": 9007199254740993, "n": -12345678901234567890.123456789},
        {"id": 1e-7, "n": 123456789012345678901234567890e10, "s": "", "z": null}])";
    TRLJsonRecordStream stream(Write("long.json", json));
    const Table cells = ReadAll(stream);
    EXPECT_EQ(cells, (Table{{"id", "n", "s", "z"},
                            {{"9007199254740993", "-12345678901234567890.123456789", "", ""},
                             {"0.0000001", "1234567890123456789012345678900000000000", "", ""}}}));
    EXPECT_FALSE(stream.index(1, 2).data().toString().isNull());
    EXPECT_TRUE(stream.index(1, 3).data().toString().isNull());
    EXPECT_TRUE(stream.index(0, 2).data().toString().isNull());

    EXPECT_EQ(ErrorOf([&] { TRLJsonRecordsModel().Load(json, QStringLiteral("long.json")); }),
              "long.json: the number 9007199254740993 cannot be read without losing digits; "
              "write it as a string");
    const QString escaped =
        Write("escaped.json", R"([{"id": 1}, {"t": "\u0001", "id": 12345678901234567890}])");
    EXPECT_EQ(StreamError(escaped),
              escaped + ": record 1: the number 12345678901234567890 cannot be read without "
                        "losing digits here; write it as a string");
}

TEST(FlatRecords, ReadAsTheDocumentReadsThem) {
    const char* const plain[] = {
        R"({"Numero": 1, "Persona": "Íñigo Núñez", "Importe": "150.00", "Dias": 1})",
        R"(  {  }  )",
        "{\"a\":1,\"b\":-2.50,\"c\":0,\"d\":-0,\"e\":0.125,\"f\":123456789012345}",
        // Whole numbers about the longest that are their own text, and past it.
        R"({"a": -7, "b": 10, "c": 100, "d": 999999999999999, "e": -123456789012345})",
        R"({"a": 1000000000000000, "b": -9007199254740992, "c": -0.0, "d": 0.0, "e": 7.0})",
        R"({"t": true, "f": false, "n": null, "s": ""})",
        R"({"esc": "a\"b\\c\/d\b\f\n\r\t", "u": "\u00e9\u20AC\uffFd x"})",
        "{\"emoji\": \"\xF0\x9F\x98\x80 ok\", \"ñandú\": \"\xE2\x82\xAC\"}",
        // Keys in every order, of every case: the document's order is by UTF-16 code unit.
        R"({"b": 1, "B": 2, "a": 3, "_": 4, "Z": 5, "é": 6, "e": 7, "": 8, "ab": 9, "a b": 10})",
        "{\"x\"\t:\r\n\"y\" ,\n\"z\":\"w\"}",
        // Exponents and long fractions that a double holds.
        R"({"a": 1e3, "b": 0.1234567890123456, "c": -2.5E-3})",
    };
    TRLFlatKeys keys;
    for (int round = 0; round < 2; ++round)
        for (const char* record : plain)
            ExpectReadAsTheDocumentReads(record, true, keys);
    // Left to the document, which refuses them or reads them in its own way: one of each kind.
    const std::vector<const char*> others[] = {
        {R"({"a": 1, "a": 2})", R"({"a": [1]})", R"({"a": {"b": 1}})"},
        {R"({"a": 01})", R"({"a": .5})", R"({"a": 1.})", R"({"a": -})"},
        {R"({"a": "\x"})", R"({"a": "\u12"})", R"({"a": "\ud83d\ude00"})", R"({"a": "\u0001"})"},
        {"{\"a\": \"tab\there\"}", "{\"\xF0\x9F\x98\x80\": 1}", "{\"a\": \"\xFF\"}"},
        {"{\"a\": \"\xC0\xAF\"}", "{\"a\": \"\xED\xA0\x80\"}", "{\"a\": \"\xE2\x82\"}"},
        {R"({"a": tru})", R"({"a" 1})", R"({"a": 1 "b": 2})", "\f{\"a\": 1}"},
        {R"({"a": 1,})", R"({"a": 1} x)", R"({a: 1})", R"({"a": 1)", R"(["a"])"},
    };
    for (const auto& group : others)
        for (const char* record : group)
            ExpectReadAsTheDocumentReads(record, false, keys);
    // Where the document's double drops digits, the record's own digits are read.
    std::vector<TRLFlatField> fields;
    ASSERT_TRUE(ReadFlatRecord(R"({"a": 1234567890123456789, "b": 1.5e30})", fields));
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[0].Text, QStringLiteral("1234567890123456789"));
    EXPECT_EQ(fields[1].Text, QStringLiteral("1500000000000000000000000000000"));
}

// Remembered keys repeated, reordered, escaped, duplicated, or more keys than are remembered.
TEST(FlatRecords, RememberedKeysAndTheirOrder) {
    TRLFlatKeys keys;
    const std::vector<const char*> records[] = {
        {R"({"b": 1, "a": 2, "c": 3})", R"({"b": 4, "a": 5, "c": 6})",
         R"({"a": 7, "b": 8, "c": 9})"},
        {R"({"b": 1, "a": 2})", R"({"b": 1, "a": 2, "c": 3, "d": 4})"},
        {R"({"\u0062": 1, "a": 2, "c": 3})", R"({"b": 1, "a": 2, "c": 3})"},
        {R"({"b": 1, "b": 2, "c": 3})", R"({"b": 1, "a": 2, "c": 3})"},
    };
    for (const auto& group : records)
        for (const char* record : group)
            ExpectReadAsTheDocumentReads(record, QByteArray(record).count("\"b\"") < 2, keys);
    EXPECT_EQ(keys.Known.size(), 4u); // a, b, c, d; the escaped key is read but not kept

    // More keys than are remembered: the rest are read afresh every time.
    for (int round = 0; round < 2; ++round)
        for (size_t k = 0; k < TRLFlatKeys::MaxKnown + 20; k += 10) {
            QByteArray record = "{";
            for (size_t i = k; i < k + 10; ++i)
                record += (i > k ? ", " : "") + QByteArray("\"k") +
                          QByteArray::number(qulonglong(TRLFlatKeys::MaxKnown + 20 - i)) +
                          "\": " + QByteArray::number(qulonglong(i));
            record += "}";
            ExpectReadAsTheDocumentReads(record, true, keys);
        }
    EXPECT_EQ(keys.Known.size(), TRLFlatKeys::MaxKnown);
}

TEST_F(RecordFiles, DamagedFilesAreRefusedNamingTheFileAndTheRecord) {
    const struct {
        const char* Name;
        QByteArray Bytes;
        const char* Says;
    } cases[] = {
        {"object.json", R"({"a": 1})", "records are a JSON array of objects"},
        {"nested.json", R"([{"a": [1]}])", "record 0, field \"a\": a field holds"},
        {"broken.json", R"([{"a": 1}, {"a": }])", "record 1:"},
        {"cut.json", R"([{"a": 1}, {"a": "cut)", "end in the middle of record 1"},
        {"unclosed.json", R"([{"a": 1})", "the array of records is not closed after record 0"},
        {"after.json", R"([{"a": 1}] {"b": 2})", "text follows the end of the records"},
        {"hole.json", R"([{"a": 1},,{"a": 2}])", "record 1 is missing"},
        {"brace.json", R"([{"a": 1}}])", "record 0 is not valid JSON"},
        {"lines.jsonl", "{\"a\": 1}\n[1]\n", "record 1 is not an object"},
    };
    for (const auto& c : cases) {
        const QString path = Write(c.Name, c.Bytes);
        const QString error = StreamError(path);
        EXPECT_TRUE(error.startsWith(path + ": ") && error.contains(c.Says));
    }
    EXPECT_TRUE(StreamError(dir_.filePath("none.json")).contains("cannot be read"));
}

// A field the first records lack comes as a new column; a report that looked for it reads it.
TEST_F(RecordFiles, AFieldThatComesLateIsReadOnceItComes) {
    QByteArray lines;
    for (int i = 1; i <= 600; ++i)
        lines += "{\"n\": " + QByteArray::number(i) +
                 (i >= 300 ? ", \"late\": \"L" + QByteArray::number(i) + "\"" : QByteArray()) +
                 "}\n";
    TRLJsonRecordStream stream(Write("late.jsonl", lines));
    TRLReport report;
    report.SetShowProgress(false);
    report.SetDataSource(&stream);
    auto* detail = AddBand(&report, "D", btDetail, 38, 14);
    QStringList printed;
    auto* label = FieldLabel(detail, "Late");
    QObject::connect(label, &TRLCustomControl::AfterPrint,
                     [&](TRLCustomControl& c) { printed << c.Caption(); });
    ASSERT_TRUE(report.Prepare());
    ASSERT_EQ(printed.size(), 600);
    EXPECT_EQ(printed.mid(297, 4), (QStringList{"", "", "L300", "L301"}));
    EXPECT_EQ(printed.last(), QStringLiteral("L600"));
}

TEST(RecordRows, TextsByColumnWhateverTheOrderTheyCome) {
    TRLRecordRow dense;
    dense.Set(2, QStringLiteral("c"));
    dense.Set(0, QStringLiteral(""));
    dense.Set(1, QStringLiteral("b"));
    dense.Finish();
    EXPECT_EQ(dense.Text(1), QStringLiteral("b"));
    EXPECT_EQ(dense.Text(2), QStringLiteral("c"));
    // An empty text is not a missing one.
    EXPECT_FALSE(dense.Text(0).isNull());
    EXPECT_TRUE(dense.Text(0).isEmpty());
    EXPECT_TRUE(dense.Text(3).isNull());
    EXPECT_TRUE(dense.Text(-1).isNull());

    // A few columns among many keep their own texts, and nothing between them.
    TRLRecordRow sparse;
    sparse.Set(50000, QStringLiteral("last"));
    sparse.Set(7, QStringLiteral("seven"));
    sparse.Set(30000, QString());
    sparse.Finish();
    EXPECT_EQ(sparse.Text(7), QStringLiteral("seven"));
    EXPECT_EQ(sparse.Text(50000), QStringLiteral("last"));
    for (const int column : {0, 6, 8, 29999, 30000, 30001, 49999, 50001})
        EXPECT_TRUE(sparse.Text(column).isNull()) << column;

    TRLRecordRow none;
    none.Finish();
    EXPECT_TRUE(none.Text(0).isNull());
}

TEST_F(RecordFiles, EveryRecordWithANameOfItsOwn) {
    // More records than the window holds, each with a field no other record has, and one they
    // all share.
    const int records = TRLRecordStream::WindowSize + 2 * TRLRecordStream::BatchSize;
    QByteArray lines;
    for (int i = 0; i < records; ++i)
        lines += "{\"comun\": " + QByteArray::number(i) + ", \"propio" + QByteArray::number(i) +
                 "\": \"p" + QByteArray::number(i) + "\"}\n";
    TRLJsonRecordStream stream(Write("own.jsonl", lines));
    while (stream.canFetchMore())
        stream.fetchMore();
    ASSERT_EQ(stream.rowCount(), records);
    ASSERT_EQ(stream.columnCount(), records + 1);
    EXPECT_EQ(stream.headerData(records, Qt::Horizontal).toString(),
              "propio" + QString::number(records - 1));
    for (const int row : {records - TRLRecordStream::WindowSize, records / 2 + 100, records - 1}) {
        SCOPED_TRACE(row);
        EXPECT_EQ(stream.index(row, 0).data().toString(), QString::number(row));
        EXPECT_EQ(stream.index(row, row + 1).data().toString(), "p" + QString::number(row));
        for (const int other : {1, row, row + 2})
            EXPECT_TRUE(stream.index(row, other).data().toString().isNull()) << other;
    }
}

// Records made in memory: record i has its number and a text of texts[i] characters.
class SizedRecords : public TRLRecordStream {
public:
    explicit SizedRecords(std::vector<qsizetype> sizes) : sizes_(std::move(sizes)) {}

protected:
    bool ReadRecord(TRLRecordRow& row) override {
        if (next_ >= sizes_.size())
            return false;
        row.Set(FieldColumn(QStringLiteral("n")), QString::number(next_));
        // One text shared by every record of a size: the stream counts each as its own.
        QString& text = texts_[sizes_[next_]];
        if (text.isNull())
            text = QString(sizes_[next_], QLatin1Char('x'));
        row.Set(FieldColumn(QStringLiteral("texto")), text);
        ++next_;
        return true;
    }

private:
    std::vector<qsizetype> sizes_;
    size_t next_ = 0;
    std::map<qsizetype, QString> texts_;
};

// Steps through every record as a report's skipper does, reading further only for a row it
// lacks; checks at each one that it reads whole, and gives the most bytes held on the way.
qsizetype StepThrough(SizedRecords& records, const std::vector<qsizetype>& sizes) {
    qsizetype most = 0;
    for (int row = 0; row < static_cast<int>(sizes.size()); ++row) {
        while (row >= records.rowCount() && records.canFetchMore())
            records.fetchMore();
        most = std::max(most, records.BytesHeld());
        EXPECT_EQ(records.index(row, 0).data().toString(), QString::number(row));
        EXPECT_EQ(records.index(row, 1).data().toString().size(), sizes[row]) << row;
    }
    while (records.canFetchMore())
        records.fetchMore();
    EXPECT_EQ(records.rowCount(), static_cast<int>(sizes.size()));
    return most;
}

TEST(RecordWindow, LongRecordsAreHeldWithinTheBudget) {
    constexpr qsizetype kMb = 1024 * 1024;
    // 4 MB of text a record (2 M characters): the budget holds sixteen of them, where a batch
    // alone would hold 256.
    const std::vector<qsizetype> large(300, 2 * kMb);
    SizedRecords records(large);
    const qsizetype most = StepThrough(records, large);
    EXPECT_LE(most, TRLRecordStream::MaxHeldBytes + 4 * kMb + 64);
    EXPECT_GE(most, TRLRecordStream::MaxHeldBytes - 4 * kMb) << "the budget is used";
    EXPECT_LT(records.RowsHeld(), 20);
    // A row that left the window reads as empty text, as rows past the count of rows do.
    EXPECT_EQ(records.index(0, 1).data().toString(), QString());

    // Short records keep the whole window of rows.
    const std::vector<qsizetype> small(TRLRecordStream::WindowSize * 2, 10);
    SizedRecords many(small);
    StepThrough(many, small);
    EXPECT_EQ(many.RowsHeld(), TRLRecordStream::WindowSize);
}

TEST(RecordWindow, ARecordBeyondTheBudgetIsStillReadWhole) {
    constexpr qsizetype kMb = 1024 * 1024;
    // Short records, one past the budget alone (66 MB of text), then short ones again.
    std::vector<qsizetype> sizes(40, 100);
    sizes[20] = 33 * kMb;
    SizedRecords records(sizes);
    const qsizetype most = StepThrough(records, sizes);
    EXPECT_GT(most, TRLRecordStream::MaxHeldBytes);
    EXPECT_LE(most, 2 * 33 * kMb + 40 * 300);
    // Once past it the long record goes with the batch that brought it.
    EXPECT_LT(records.BytesHeld(), kMb);
}

TEST_F(RecordFiles, DistinctFieldsAreBounded) {
    const auto names = [](int count) {
        QByteArray lines;
        for (int i = 0; i < count; ++i)
            lines += "{\"f" + QByteArray::number(i) + "\": 1}\n";
        return lines;
    };
    TRLJsonRecordStream atLimit(Write("at-limit.jsonl", names(TRLRecordStream::MaxFields)));
    while (atLimit.canFetchMore())
        atLimit.fetchMore();
    EXPECT_EQ(atLimit.columnCount(), TRLRecordStream::MaxFields);

    const QString past = Write("past.jsonl", names(TRLRecordStream::MaxFields + 1));
    EXPECT_EQ(StreamError(past), past + ": record 10000, field \"f10000\": the records have more "
                                        "than 10000 distinct fields");
    // A record read through the document is bounded the same way.
    const QString nested =
        Write("nested.json",
              "[" + names(TRLRecordStream::MaxFields).replace("}\n{", "},{").replace("}\n", "},") +
                  "{\"a\": 1, \"b\": 2, \"b\": 3}]");
    EXPECT_EQ(StreamError(nested), nested + ": record 10000, field \"a\": the records have more "
                                            "than 10000 distinct fields");
}

} // namespace
