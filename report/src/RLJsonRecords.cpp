#include <kelmora/report/RLJsonRecords.h>

#include "RLLayoutValues.h"
#include <kelmora/report/RLRecordStream.h>
#include <kelmora/support/RLCore.h>
#include <kelmora/support/RLUtils.h>

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>

namespace Kelmora {

bool JsonFieldText(const QJsonValue& value, QString& text) {
    switch (value.type()) {
    case QJsonValue::String:
        text = RecordText(value.toString());
        return true;
    case QJsonValue::Double:
        text = RecordNumberText(value.toDouble());
        return true;
    case QJsonValue::Bool:
        text = value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
        return true;
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        text.clear();
        return true;
    case QJsonValue::Array:
    case QJsonValue::Object:
        break;
    }
    return false;
}

namespace {

// The values and names of a JSON text, by the marks that each brings outside texts: the brace or
// bracket that opens it, the comma after it, the colon after a name. Counting stops past limit.
qsizetype CountJsonValues(const QByteArray& json, qsizetype limit) {
    qsizetype count = 0;
    bool text = false;
    for (qsizetype at = 0; at < json.size() && count <= limit; ++at) {
        const char c = json[at];
        if (text) {
            if (c == '\\')
                ++at;
            else if (c == '"')
                text = false;
        } else if (c == '"') {
            text = true;
        } else if (c == '{' || c == '[' || c == ',' || c == ':') {
            ++count;
        }
    }
    return count;
}

} // namespace

int TRLJsonRecordsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TRLJsonRecordsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(fields_.size());
}

QVariant TRLJsonRecordsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole) ||
        index.row() >= rowCount() || index.column() >= columnCount())
        return QVariant();
    return rows_[static_cast<size_t>(index.row())].Text(index.column());
}

QVariant TRLJsonRecordsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || section < 0)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return section < fields_.size() ? QVariant(fields_[section]) : QVariant();
    return section < rowCount() ? QVariant(section + 1) : QVariant();
}

void TRLJsonRecordsModel::Load(const QByteArray& json, const QString& displayName) {
    if (CountJsonValues(json, MaxValues) > MaxValues)
        throw TRLException(QStringLiteral("%1: more than %2 values and names; a records file "
                                          "read whole holds at most that many")
                               .arg(displayName)
                               .arg(MaxValues));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        throw TRLException(JsonErrorText(displayName, json, error));
    if (!doc.isArray())
        throw TRLException(
            QStringLiteral("%1: records are a JSON array of objects").arg(displayName));
    // The document reads numbers as doubles; a number they cannot hold would print otherwise.
    if (const QString number = FirstInexactJsonNumber(json); !number.isEmpty())
        throw TRLException(QStringLiteral("%1: the number %2 cannot be read without losing "
                                          "digits; write it as a string")
                               .arg(displayName, number));

    const QJsonArray records = doc.array();
    QStringList fields;
    QHash<QString, int> columns;
    std::vector<TRLRecordRow> rows;
    rows.reserve(static_cast<size_t>(records.size()));
    for (qsizetype r = 0; r < records.size(); ++r) {
        if (!records[r].isObject())
            throw TRLException(
                QStringLiteral("%1: record %2 is not an object").arg(displayName).arg(r));
        const QJsonObject record = records[r].toObject();
        TRLRecordRow row;
        for (auto it = record.begin(); it != record.end(); ++it) {
            auto column = columns.constFind(it.key());
            if (column == columns.constEnd()) {
                if (fields.size() >= TRLRecordStream::MaxFields)
                    throw TRLException(QStringLiteral("%1: record %2, field \"%3\": the records "
                                                      "have more than %4 distinct fields")
                                           .arg(displayName)
                                           .arg(r)
                                           .arg(it.key())
                                           .arg(TRLRecordStream::MaxFields));
                column = columns.insert(it.key(), static_cast<int>(fields.size()));
                fields << it.key();
            }
            QString text;
            if (!JsonFieldText(it.value(), text))
                throw TRLException(QStringLiteral("%1: record %2, field \"%3\": a field holds a "
                                                  "string, number, true, false or null")
                                       .arg(displayName)
                                       .arg(r)
                                       .arg(it.key()));
            row.Set(*column, text);
        }
        row.Finish();
        rows.push_back(std::move(row));
    }

    beginResetModel();
    fields_ = std::move(fields);
    rows_ = std::move(rows);
    endResetModel();
}

std::unique_ptr<TRLJsonRecordsModel> ReadJsonRecords(const QString& path) {
    auto model = std::make_unique<TRLJsonRecordsModel>();
    model->Load(ReadFileAtMost(path, TRLJsonRecordsModel::MaxFileBytes), path);
    return model;
}

} // namespace Kelmora
