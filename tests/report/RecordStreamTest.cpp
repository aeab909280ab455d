// Records read as the report goes: the JSON reader gives what the whole-file reader gives, in
// any chunking; it refuses damaged files naming the file and the record; it holds a bounded
// window of rows however many there are; and a report prints every record of a stream.
#include "RLRecordStream.h"
#include "ReportTestSupport.h"

#include <QTemporaryDir>

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
        const QString path = Write(QString::fromLatin1(c.Name), c.Bytes);
        const QString error = StreamError(path);
        EXPECT_TRUE(error.startsWith(path + QStringLiteral(": "))) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.Says)))
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
    EXPECT_EQ(stream.rowCount(), 10000);
    EXPECT_LE(largestHeld, TRLRecordStream::WindowSize + TRLRecordStream::BatchSize);
    EXPECT_EQ(columnsBefore9000, 1);
    EXPECT_EQ(stream.columnCount(), 2);
    EXPECT_EQ(stream.headerData(1, Qt::Horizontal).toString(), "late");
    EXPECT_EQ(stream.index(9999, 0).data().toString(), "9999");
    EXPECT_EQ(stream.index(9000, 1).data().toString(), "yes");
    EXPECT_EQ(stream.index(8999, 1).data().toString(), "");
    EXPECT_EQ(stream.index(0, 0).data().toString(), "") << "the first rows have left the window";
    EXPECT_FALSE(stream.index(10000, 0).data().isValid());
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
