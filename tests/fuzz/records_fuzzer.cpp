// Feeds arbitrary bytes to the JSON records reader, as rltool prepare --data meets a records file
// received from someone else. The records must load or be refused with an error naming the
// record and field at fault, never crash; a model that loaded answers for every cell.
// fuzz-libs: rlreport
#include "RLCore.h"
#include "RLJsonRecords.h"

#include <QByteArray>
#include <QCoreApplication>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    TRLJsonRecordsModel records;
    try {
        records.Load(json, QStringLiteral("fuzz.json"));
    } catch (const TRLException&) {
        return 0;
    }
    for (int column = 0; column < records.columnCount(); ++column)
        records.headerData(column, Qt::Horizontal);
    for (int row = 0; row < records.rowCount(); ++row)
        for (int column = 0; column < records.columnCount(); ++column)
            records.index(row, column).data();
    return 0;
}
