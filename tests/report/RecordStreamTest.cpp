// Records read as the report goes: the JSON reader gives what the whole-file reader gives, in
// any chunking; it refuses damaged files naming the file and the record; it holds a bounded
// window of rows however many there are; and a report prints every record of a stream.
#include "RLRecordStream.h"
#include "ReportTestSupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QTemporaryDir>

#include <optional>
#include <random>

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

Table ReadWhole(const QByteArray& json) {
    TRLJsonRecordsModel model;
    model.Load(json, QStringLiteral("whole"));
    return Cells(model);
}

QString StreamError(const QString& path) {
    SCOPED_TRACE(path.toStdString());
    return ThrownMessage([&] {
        TRLJsonRecordStream stream(path);
        ReadAll(stream);
    });
}

TEST_F(RecordFiles, TheStreamReadsWhatTheWholeFileReaderReads) {
    const QByteArray cases[] = {
        R"([])",
        "  \n[ \n ]\n",
        R"([{"Nombre": "Ana", "Dias": 3}, {"Importe": 12.5, "Nombre": "Luis"}, {},
            {"Dias": 1, "Activo": true, "Nada": null}])",
        // Brackets, commas, braces and escaped quotes inside strings end nothing.
        R"([{"Texto": "a],{\"b\": [1,2]}, \\"}, {"Texto": "ñandú \u00e9\n"}])",
        // Whole numbers, fractions and exponents print as the whole-file reader prints them.
        R"([{"n": 3}, {"n": -0.5}, {"n": 1e21}, {"n": 12.50}, {"n": 9007199254740993}])",
        "\xEF\xBB\xBF[{\"bom\": 1}]",
    };
    for (const QByteArray& json : cases) {
        SCOPED_TRACE(json.constData());
        TRLJsonRecordStream stream(Write("records.json", json));
        const Table streamed = ReadAll(stream);
        const QByteArray withoutMark = json.startsWith("\xEF\xBB\xBF") ? json.mid(3) : json;
        const Table whole = ReadWhole(withoutMark);
        EXPECT_EQ(streamed.Fields, whole.Fields);
        EXPECT_EQ(streamed.Rows, whole.Rows);
    }

    // The same records as JSON Lines, blank lines and a last line without its end included.
    TRLJsonRecordStream lines(
        Write("records.jsonl", "{\"Nombre\": \"Ana\", \"Dias\": 3}\n\n{\"Importe\": 12.5}\r\n{}"));
    const Table table = ReadAll(lines);
    EXPECT_EQ(table.Fields, QStringList({"Dias", "Nombre", "Importe"}));
    EXPECT_EQ(table.Rows, QList<QStringList>({{"3", "Ana", ""}, {"", "", "12.5"}, {"", "", ""}}));
}

// What the toolkit's JSON document makes of one record: its fields in key order, or nothing
// when it refuses the record or a value is no plain value.
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

// The record read without the document must be the record the document reads; the reader may
// leave any record to the document, but not the plain ones that make up nearly every file. Each
// record is read afresh and then with keys, where the reader remembers keys and their order from
// the records it read before.
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

TEST(FlatRecords, ReadAsTheDocumentReadsThem) {
    const char* const plain[] = {
        R"({"Numero": 1, "Persona": "Íñigo Núñez", "Importe": "150.00", "Dias": 1})",
        R"(  {  }  )",
        "{\"a\":1,\"b\":-2.50,\"c\":0,\"d\":-0,\"e\":0.125,\"f\":123456789012345}",
        R"({"t": true, "f": false, "n": null, "s": ""})",
        R"({"esc": "a\"b\\c\/d\b\f\n\r\t", "u": "\u00e9\u20AC\uffFd x"})",
        "{\"emoji\": \"\xF0\x9F\x98\x80 ok\", \"ñandú\": \"\xE2\x82\xAC\"}",
        // Keys in every order, of every case: the document's order is by UTF-16 code unit.
        R"({"b": 1, "B": 2, "a": 3, "_": 4, "Z": 5, "é": 6, "e": 7, "": 8, "ab": 9, "a b": 10})",
        "{\"x\"\t:\r\n\"y\" ,\n\"z\":\"w\"}",
    };
    TRLFlatKeys keys;
    for (int round = 0; round < 2; ++round)
        for (const char* record : plain)
            ExpectReadAsTheDocumentReads(record, true, keys);
    // Left to the document, which refuses them or reads them in its own way.
    const std::vector<const char*> others[] = {
        {R"({"a": 1, "a": 2})", R"({"a": [1]})", R"({"a": {"b": 1}})"},
        {R"({"a": 1e3})", R"({"a": 1234567890123456789})", R"({"a": 0.1234567890123456})"},
        {R"({"a": 01})", R"({"a": .5})", R"({"a": 1.})", R"({"a": +1})", R"({"a": -})"},
        {R"({"a": "\x"})", R"({"a": "\u12"})", R"({"a": "\ud83d\ude00"})", R"({"a": "\u0001"})"},
        {R"({"a": "\uFFFE"})", "{\"a\": \"tab\there\"}", "{\"\xF0\x9F\x98\x80\": 1}"},
        {"{\"a\": \"\xC0\xAF\"}", "{\"a\": \"\xED\xA0\x80\"}", "{\"a\": \"\xFF\"}"},
        {"{\"a\": \"\xE2\x82\"}", R"({"a": tru})", R"({"a": nulls})", R"({"a" 1})"},
        {R"({"a": 1,})", R"({"a": 1} x)", R"({a: 1})", R"({"a": 1)", R"(["a"])"},
        {"\f{\"a\": 1}", R"({"a": 1 "b": 2})", R"({"a": NaN})", R"({"a": Infinity})"},
    };
    for (const auto& group : others)
        for (const char* record : group)
            ExpectReadAsTheDocumentReads(record, false, keys);
}

// Records made up at random from the pieces that matter: keys of different cases and scripts,
// strings with escapes and multi-byte characters, numbers of every length and form.
TEST(FlatRecords, RandomRecordsReadAsTheDocumentReadsThem) {
    std::mt19937 random(20260);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const char* const keyParts[] = {"a", "B", "ñ", "_", "Año", "z", "Z9", "é", "\\u00f1", "ß"};
    const char* const textParts[] = {"x", " ", "\\\"", "\\n", "\\u00e9", "€",      "\\/",
                                     "Ω", "😀", "\\t",  "ab",  "\\\\",    "\\u2028"};
    auto number = [&] {
        QByteArray n = pick(3) == 0 ? "-" : "";
        const int whole = pick(4) == 0 ? 0 : 1 + pick(17);
        n += whole == 0 ? QByteArray("0") : QByteArray::number(1 + pick(9));
        for (int i = 1; i < whole; ++i)
            n += QByteArray::number(pick(10));
        if (pick(2) == 0) {
            n += '.';
            const int fraction = 1 + pick(10);
            for (int i = 0; i < fraction; ++i)
                n += QByteArray::number(pick(10));
        }
        if (pick(8) == 0)
            n += "e" + QByteArray::number(pick(40) - 20);
        return n;
    };
    int read = 0;
    TRLFlatKeys keys; // kept over all the records, as a file's reader keeps it
    for (int r = 0; r < 3000; ++r) {
        QByteArray record = "{";
        const int fieldCount = pick(7);
        for (int f = 0; f < fieldCount; ++f) {
            QByteArray key;
            for (int k = 0, parts = 1 + pick(2); k < parts; ++k)
                key += keyParts[pick(static_cast<int>(std::size(keyParts)))];
            record += (f ? ", \"" : "\"") + key + "\": ";
            const int kind = pick(4);
            QByteArray text;
            for (int t = 0, parts = kind == 0 ? pick(5) : 0; t < parts; ++t)
                text += textParts[pick(static_cast<int>(std::size(textParts)))];
            record += kind == 0   ? "\"" + text + "\""
                      : kind == 1 ? number()
                      : kind == 2 ? QByteArray(pick(2)   ? "true"
                                               : pick(2) ? "false"
                                                         : "null")
                                  : QByteArray::number(pick(100000) - 50000);
        }
        record += "}";
        std::vector<TRLFlatField> fields;
        read += ReadFlatRecord(record, fields) ? 1 : 0;
        ExpectReadAsTheDocumentReads(record, false, keys);
        if (HasFailure())
            break;
    }
    EXPECT_GT(read, 1000) << "the reader left most records to the document";
}

// Keys are remembered as written and in the order a record writes them: records that repeat
// them, change their order, write a known key with an escape, repeat one, or bring more keys
// than are remembered all read as the document reads them.
TEST(FlatRecords, RememberedKeysAndTheirOrder) {
    TRLFlatKeys keys;
    const std::vector<const char*> records[] = {
        {R"({"b": 1, "a": 2, "c": 3})", R"({"b": 4, "a": 5, "c": 6})",
         R"({"a": 7, "b": 8, "c": 9})"},
        {R"({"b": 1, "a": 2, "c": 3})", R"({"b": 1, "a": 2})",
         R"({"b": 1, "a": 2, "c": 3, "d": 4})"},
        {R"({"\u0062": 1, "a": 2, "c": 3})", R"({"b": 1, "a": 2, "c": 3})"},
        {R"({"b": 1, "b": 2, "c": 3})", R"({"b": 1, "a": 2, "c": 3})"},
        {R"({"c": "x", "b": "y", "a": "z"})"},
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
        {"number.json", R"([{"a": 1}, 2])", "record 1 is not an object"},
        {"nested.json", R"([{"a": [1]}])", "record 0, field \"a\": a field holds"},
        {"broken.json", R"([{"a": 1}, {"a": }])", "record 1:"},
        {"cut.json", R"([{"a": 1}, {"a": "cut)", "end in the middle of record 1"},
        {"unclosed.json", R"([{"a": 1})", "the array of records is not closed after record 0"},
        {"after.json", R"([{"a": 1}] {"b": 2})", "text follows the end of the records"},
        {"hole.json", R"([{"a": 1},,{"a": 2}])", "record 1 is missing"},
        {"trailing.json", R"([{"a": 1},])", "record 1 is missing"},
        {"brace.json", R"([{"a": 1}}])", "record 0 is not valid JSON"},
        {"lines.jsonl", "{\"a\": 1}\n[1]\n", "record 1 is not an object"},
    };
    for (const auto& c : cases) {
        const QString path = Write(c.Name, c.Bytes);
        const QString error = StreamError(path);
        EXPECT_TRUE(error.startsWith(path + ": ") && error.contains(c.Says))
            << c.Name << ": " << error.toStdString();
    }
    EXPECT_TRUE(StreamError(dir_.filePath("none.json")).contains("cannot be read"));
}

// A record larger than the limit is refused before it is read whole: one string of 17 MB, in an
// array and in JSON Lines alike.
TEST_F(RecordFiles, ARecordLargerThanTheLimitIsRefused) {
    const QByteArray huge(TRLJsonRecordStream::MaxRecordBytes + 1024 * 1024, 'x');
    for (const char* name : {"huge.json", "huge.jsonl"}) {
        const bool lines = QByteArray(name).endsWith(".jsonl");
        const QByteArray bytes = lines ? "{\"a\": 1}\n{\"s\": \"" + huge + "\"}\n"
                                       : "[{\"a\": 1}, {\"s\": \"" + huge + "\"}]";
        const QString error = StreamError(Write(QString::fromLatin1(name), bytes));
        EXPECT_TRUE(error.contains("record 1 is larger than 16 MB")) << error.toStdString();
    }
}

// Ten thousand records: the stream holds a window of them, the newest rows read back, the old
// ones have gone, and a field that first appears late becomes a column then.
TEST_F(RecordFiles, TheStreamHoldsABoundedWindowOfRows) {
    QByteArray json = "[";
    for (int i = 0; i < 10000; ++i) {
        json += (i ? "," : "") + QByteArray("{\"n\": ") + QByteArray::number(i);
        if (i == 9000)
            json += ", \"late\": \"yes\"";
        json += "}";
    }
    json += "]";
    TRLJsonRecordStream stream(Write("many.json", json));
    int largestHeld = 0;
    int columnsBefore9000 = -1;
    while (stream.canFetchMore()) {
        stream.fetchMore();
        largestHeld = std::max(largestHeld, stream.RowsHeld());
        if (stream.rowCount() <= 9000)
            columnsBefore9000 = stream.columnCount();
    }
    EXPECT_LE(largestHeld, TRLRecordStream::WindowSize + TRLRecordStream::BatchSize);
    EXPECT_EQ(std::tuple(stream.rowCount(), columnsBefore9000, stream.columnCount()),
              std::tuple(10000, 1, 2));
    auto cell = [&](int row, int column) { return stream.index(row, column).data().toString(); };
    EXPECT_EQ(stream.headerData(1, Qt::Horizontal).toString(), "late");
    // The first rows have left the window.
    EXPECT_EQ(QStringList({cell(9999, 0), cell(9000, 1), cell(8999, 1), cell(0, 0)}),
              QStringList({"9999", "yes", "", ""}));
    EXPECT_FALSE(stream.index(10000, 0).data().isValid());
}

// A field that the first records lack comes as a new column once a record has it: a report
// that looked the name up before, and found nothing, reads it from then on.
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
    label->AfterPrint = [&](TRLCustomControl& c) { printed << c.Caption(); };
    ASSERT_TRUE(report.Prepare());
    ASSERT_EQ(printed.size(), 600);
    EXPECT_EQ(printed.mid(297, 4), (QStringList{"", "", "L300", "L301"}));
    EXPECT_EQ(printed.last(), QStringLiteral("L600"));
}

// A report runs over a stream to its last record, fetching as it goes.
TEST_F(RecordFiles, AReportPrintsEveryRecordOfAStream) {
    QByteArray lines;
    for (int i = 1; i <= 5000; ++i)
        lines += "{\"n\": " + QByteArray::number(i) + "}\n";
    TRLJsonRecordStream stream(Write("many.jsonl", lines));
    const auto report = ReadReport(
        R"json({"class": "TRLReport", "name": "R", "children": [
            {"class": "TRLBand", "name": "D", "BandType": "btDetail", "Height": 14, "children": [
              {"class": "TRLLabel", "name": "N", "Expression": "n"}]},
            {"class": "TRLBand", "name": "S", "BandType": "btSummary", "Height": 14, "children": [
              {"class": "TRLLabel", "name": "Total", "Expression": "count()"}]}]})json",
        QStringLiteral("stream.json"));
    report->SetDataSource(&stream);
    report->SetShowProgress(false);
    ASSERT_TRUE(report->Prepare());
    TRLGraphicStorage& pages = report->Storage();
    const QStringList last = TextsOf(*pages.Pages(pages.PageCount() - 1));
    EXPECT_EQ(last.mid(last.size() - 2), QStringList({"5000", "5000"}));
    EXPECT_EQ(report->DetailCount(), 5000);
}

} // namespace
