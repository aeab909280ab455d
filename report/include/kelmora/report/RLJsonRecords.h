/// @file
/// Records for a report's DataSource read from JSON: an array of objects, one per record, whose
/// keys are the field names.
///
///   [ { "Nombre": "Ana", "Dias": 3, "Pagado": true }, { "Nombre": "Luis", "Importe": 12.5 } ]
///
/// The columns are every key that some record has, in the order in which they are first met
/// (within one record the keys come in name order: a JSON object keeps no order of its own). A
/// record that lacks a field has a null text there. Values become the text a report prints: a
/// string as it is, a whole number without decimals, any other number in its shortest exact
/// form with a point and without an exponent ("12.5"), true and false as "True" and "False",
/// null as a null text (an empty string is an empty text that is not null). Arrays and objects
/// are no field values and are refused, and so is a number that a double cannot hold exactly
/// (the streamed reader, TRLJsonRecordStream, keeps such numbers digit for digit).
#pragma once

#include <kelmora/report/RLRecordStream.h>

#include <QAbstractTableModel>
#include <QByteArray>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace Kelmora {

class TRLJsonRecordsModel : public QAbstractTableModel {
public:
    /// The largest file ReadJsonRecords holds whole; TRLJsonRecordStream reads larger ones.
    static constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;
    /// The most values and names such a file may give (counted as its braces, brackets, commas
    /// and colons outside texts): each costs a hundred bytes or so held, a few in the file, so
    /// that a file of short records is refused before it is read rather than taking gigabytes.
    static constexpr qsizetype MaxValues = 1'000'000;

    explicit TRLJsonRecordsModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    /// Horizontal headers are the field names; vertical ones the record numbers from 1.
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    const QStringList& FieldNames() const { return fields_; }

    /// Replaces the records with those of the JSON text. Raises a TRLException naming
    /// displayName, and the record (counted from 0) and field when one is at fault (a field past
    /// the TRLRecordStream::MaxFields distinct ones among them), or the bound passed (MaxValues);
    /// the model keeps its old records then.
    void Load(const QByteArray& json, const QString& displayName);

private:
    QStringList fields_;
    std::vector<TRLRecordRow> rows_;
};

/// A model over the records file at path; a file larger than MaxFileBytes is refused.
std::unique_ptr<TRLJsonRecordsModel> ReadJsonRecords(const QString& path);

/// The text a report prints for one JSON field value; false for arrays and objects.
bool JsonFieldText(const QJsonValue& value, QString& text);

} // namespace Kelmora
