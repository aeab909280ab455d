// Feeds arbitrary bytes to the JSON records readers, as rltool prepare --data meets a records
// file received from someone else: the whole-file reader, and the reader that goes record by
// record over a JSON array and over JSON Lines. The records must load or be refused with an error
// naming the record and field at fault, never crash; a model that loaded answers for every cell;
// and where both readers accept an array, they give the same records.
// fuzz-libs: rlreport
#include <kelmora/report/RLJsonRecords.h>
#include <kelmora/report/RLRecordStream.h>
#include <kelmora/support/RLCore.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <optional>
#include <unistd.h>

using namespace Kelmora;

namespace {

using Table = std::vector<QStringList>;

Table Cells(QAbstractItemModel& records) {
    Table table;
    QStringList header;
    for (int column = 0; column < records.columnCount(); ++column)
        header << records.headerData(column, Qt::Horizontal).toString();
    table.push_back(header);
    for (int row = 0; row < records.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < records.columnCount(); ++column)
            cells << records.index(row, column).data().toString();
        table.push_back(cells);
    }
    return table;
}

// The records of the file as the stream reads them, or nothing when it refuses them.
std::optional<Table> Streamed(const QByteArray& bytes, const char* extension) {
    const QString path = QDir::temp().filePath(
        QStringLiteral("kelmora-records-fuzz-%1.%2").arg(getpid()).arg(QLatin1String(extension)));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            return std::nullopt;
    }
    try {
        TRLJsonRecordStream stream(path);
        while (stream.canFetchMore())
            stream.fetchMore();
        // Only a window of rows stays; compare while every row is still held.
        if (stream.rowCount() > TRLRecordStream::WindowSize)
            return std::nullopt;
        return Cells(stream);
    } catch (const TRLException&) {
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::optional<Table> whole;
    TRLJsonRecordsModel records;
    try {
        records.Load(json, QStringLiteral("fuzz.json"));
        whole = Cells(records);
    } catch (const TRLException&) {
    }
    const std::optional<Table> streamed = Streamed(json, "json");
    if (whole && streamed && *whole != *streamed)
        __builtin_trap();
    Streamed(json, "jsonl");
    return 0;
}
