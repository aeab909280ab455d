/// @file
/// Records read as the report goes, for sources too large to hold: a records file read record by
/// record, a database cursor. The model offers them to a report's skipper as rows the way Qt's
/// models offer data that arrives late: rowCount() is the number of records read so far, and
/// canFetchMore()/fetchMore() read the next batch. Only a window of the latest rows is kept (a
/// skipper never looks back further than its current record), so a report over a million records
/// holds a few thousand at a time, and at most MaxHeldBytes of texts however long its records
/// are. A row that has left the window reads as empty text.
///
/// Columns are the fields met so far, in the order in which they are first met; a field that a
/// later record brings is added as a new column. Values are the texts a report prints (see
/// RecordValueText); a NULL, and a field that a record lacks, is a null QString, while an empty
/// text is an empty QString that is not null: totals count the one and skip the other, as SQL's.
#pragma once

#include <QAbstractTableModel>
#include <QFile>
#include <QHash>
#include <QString>
#include <QStringList>

#include <deque>
#include <memory>
#include <utility>
#include <vector>

namespace Kelmora {

/// One record's texts by column. A record that gives most of the fields keeps its texts by
/// column; one that gives a few of many (where every record brings a field name of its own) keeps
/// only those, with their columns, so that a row costs what it holds and not what the records
/// before it brought.
class TRLRecordRow {
public:
    /// Makes room for the texts of count columns, when they are known before they come.
    void Reserve(qsizetype count);
    /// Gives the column its text; each column at most once, in any order, before Finish.
    void Set(int column, QString text);
    /// Settles the row once its record is read.
    void Finish();
    /// The text of a column; a null text for a column the record does not give.
    QString Text(int column) const;
    /// The memory its texts take, counted by Finish.
    qsizetype Bytes() const { return bytes_; }

private:
    QStringList texts_;
    qsizetype bytes_ = 0;
    /// The columns of texts_, rising; empty when texts_ stands by column.
    std::vector<int> columns_;
};

class TRLRecordStream : public QAbstractTableModel {
public:
    /// Records read by one fetchMore, and rows kept behind the newest.
    static constexpr int BatchSize = 256;
    static constexpr int WindowSize = 2048;
    /// The texts that the rows held may take in all. A batch ends once its rows reach it, and
    /// older rows leave the window past it; the rows of the latest batch stay whatever they take,
    /// since the report stands on its first row when it asks for more (so a single record larger
    /// than this is still read, and held alone).
    static constexpr qsizetype MaxHeldBytes = 64 * 1024 * 1024;
    /// Distinct field names that the records of one source may bring: far more than any real
    /// source has, and few enough that a report's work per record over all of them stays small.
    static constexpr int MaxFields = 10000;

    explicit TRLRecordStream(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    /// The text data() gives for the row and column, straight: null for a cell it gives none.
    QString CellText(int row, int column) const;
    /// A row as it is held, for a reader that keeps it past the window: a copy shares its texts,
    /// so keeping one costs nothing like asking for each of its columns. Empty for a row no
    /// longer held.
    TRLRecordRow HeldRow(int row) const;
    /// Horizontal headers are the field names; vertical ones the record numbers from 1.
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent = QModelIndex()) const override;
    /// Reads the next batch. A fault in the source raises TRLException, naming the source and the
    /// record; the rows read before stay.
    void fetchMore(const QModelIndex& parent = QModelIndex()) override;

    const QStringList& FieldNames() const { return fields_; }
    /// Rows currently held (at most WindowSize + BatchSize), and the memory their texts take (at
    /// most MaxHeldBytes and one record more).
    int RowsHeld() const { return static_cast<int>(window_.size()); }
    qsizetype BytesHeld() const { return bytesHeld_; }

protected:
    /// Reads the next record: its texts by column (columns not set are null texts). Returns
    /// false at the end of the records. Raises TRLException on a fault.
    virtual bool ReadRecord(TRLRecordRow& row) = 0;
    /// The column of a field, added when it is new; -1 for a new field past MaxFields.
    int FieldColumn(const QString& name);
    /// Forgets the rows read, for a source that starts its records over (a query run again with
    /// other values); the fields stay.
    void Restart();

private:
    QStringList fields_;
    QHash<QString, int> columns_;
    int announcedColumns_ = 0;
    std::deque<TRLRecordRow> window_;
    qsizetype bytesHeld_ = 0;
    int firstHeldRow_ = 0;
    int rowsRead_ = 0;
    bool atEnd_ = false;
};

/// The shortest decimal that reads back as the same double, never with an exponent ("12.5",
/// "100000").
QString RecordNumberText(double value);
/// The text of a record field that holds text: never null, even when empty (a null text is NULL).
QString RecordText(const QString& text);
/// The first number of a JSON text (outside its strings) that a double does not hold exactly, as
/// written; empty when there is none. Readers that go through doubles refuse such a text rather
/// than print another number.
QString FirstInexactJsonNumber(QByteArrayView json);

/// One field of a record: its key and the text a report prints for its value.
struct TRLFlatField {
    QString Key;
    QString Text;
    /// The key's place among the known keys of the TRLFlatKeys it was read with; -1 for none.
    int Known = -1;
};

/// What a reader of records keeps from one record to the next: the records of a file repeat the
/// same few keys, mostly in the same order, and each is read and put in order only once.
struct TRLFlatKeys {
    static constexpr size_t MaxKnown = 256;
    /// Keys met, as written (those without escapes) and as read.
    std::vector<std::pair<QByteArray, QString>> Known;
    /// The keys of the last record whose keys were all known, by their place in Known in the
    /// order written, and the order in which the document gives them (places in that record).
    std::vector<int> LastWritten;
    std::vector<size_t> LastOrder;
    /// Room the reader reuses from one record to the next.
    std::vector<int> Places;
    std::vector<TRLFlatField> Ordered;
};

/// Reads one JSON record that is an object of plain values, as the toolkit's JSON document reads
/// it, into its fields in key order. False, with no promise about fields, for any record it does
/// not vouch to read exactly so (nested values, repeated keys, numbers it leaves to the document,
/// faults of form ...): such a record is for the document to read or refuse. keys, when given,
/// is kept between the records of one source.
bool ReadFlatRecord(const QByteArray& bytes, std::vector<TRLFlatField>& fields,
                    TRLFlatKeys* keys = nullptr);

/// Records of a JSON file read one by one: a JSON array of objects (the format of
/// TRLJsonRecordsModel, whose rules for field values hold here too), or JSON Lines, one object a
/// line, for a file whose name ends in ".jsonl" or ".ndjson". A record larger than
/// MaxRecordBytes is refused rather than read, so that no file can make the reader hold more.
class TRLJsonRecordStream : public TRLRecordStream {
public:
    static constexpr qsizetype MaxRecordBytes = 16 * 1024 * 1024;

    /// Opens the file; raises TRLException naming it when it cannot be read.
    explicit TRLJsonRecordStream(const QString& path, QObject* parent = nullptr);

protected:
    bool ReadRecord(TRLRecordRow& row) override;

private:
    /// The column of a field of the record being read; refuses one past MaxFields.
    int RecordFieldColumn(const QString& name);
    /// The bytes of the next record, or false at the end of the records.
    bool NextRecordBytes(QByteArray& record);
    bool NextArrayElement(QByteArray& record);
    bool NextLine(QByteArray& record);
    /// Appends the next part of the file to pending_; false at the end of the file.
    bool ReadMore();
    void SkipBlanks();
    [[noreturn]] void Fail(const QString& what) const;

    QString path_;
    QFile file_;
    bool lines_ = false;
    QByteArray pending_;
    qsizetype scan_ = 0;
    bool arrayOpened_ = false;
    bool arrayClosed_ = false;
    qint64 recordIndex_ = 0;
    TRLFlatKeys flatKeys_;
    std::vector<TRLFlatField> flatFields_;
    /// The column of each known key (by its place in flatKeys_), -1 until it has one.
    std::vector<int> knownColumns_;
};

/// A records stream over the JSON file at path (see TRLJsonRecordStream).
std::unique_ptr<TRLRecordStream> OpenJsonRecords(const QString& path);

} // namespace Kelmora
