#include "RLRecordStream.h"

#include "RLCore.h"
#include "RLJsonRecords.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLocale>

#include <algorithm>
#include <cmath>

// ---- TRLRecordStream -------------------------------------------------------------------------

int TRLRecordStream::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rowsRead_;
}

int TRLRecordStream::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : announcedColumns_;
}

QVariant TRLRecordStream::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole) ||
        index.row() >= rowsRead_ || index.column() >= announcedColumns_)
        return QVariant();
    if (index.row() < firstHeldRow_)
        return QString();
    const QStringList& row = window_[static_cast<size_t>(index.row() - firstHeldRow_)];
    return index.column() < row.size() ? row[index.column()] : QString();
}

QVariant TRLRecordStream::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || section < 0)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return section < announcedColumns_ ? QVariant(fields_[section]) : QVariant();
    return section < rowsRead_ ? QVariant(section + 1) : QVariant();
}

bool TRLRecordStream::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !atEnd_;
}

int TRLRecordStream::FieldColumn(const QString& name) {
    auto column = columns_.constFind(name);
    if (column == columns_.constEnd()) {
        column = columns_.insert(name, static_cast<int>(fields_.size()));
        fields_ << name;
    }
    return *column;
}

void TRLRecordStream::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || atEnd_)
        return;
    std::deque<QStringList> batch;
    while (static_cast<int>(batch.size()) < BatchSize) {
        QStringList texts;
        if (!ReadRecord(texts)) {
            atEnd_ = true;
            break;
        }
        batch.push_back(std::move(texts));
    }
    // Fields that the batch brought first, then its rows; the model's users see each change.
    if (fields_.size() > announcedColumns_) {
        beginInsertColumns(QModelIndex(), announcedColumns_, static_cast<int>(fields_.size()) - 1);
        announcedColumns_ = static_cast<int>(fields_.size());
        endInsertColumns();
    }
    if (batch.empty())
        return;
    beginInsertRows(QModelIndex(), rowsRead_, rowsRead_ + static_cast<int>(batch.size()) - 1);
    rowsRead_ += static_cast<int>(batch.size());
    for (QStringList& row : batch)
        window_.push_back(std::move(row));
    while (static_cast<int>(window_.size()) > WindowSize) {
        window_.pop_front();
        ++firstHeldRow_;
    }
    endInsertRows();
}

QString RecordNumberText(double value) {
    if (std::floor(value) == value && std::fabs(value) < 9007199254740992.0)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

// ---- TRLJsonRecordStream ---------------------------------------------------------------------

namespace {

constexpr qint64 kReadSize = 1024 * 1024;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

TRLJsonRecordStream::TRLJsonRecordStream(const QString& path, QObject* parent)
    : TRLRecordStream(parent), path_(path), file_(path) {
    if (!file_.open(QIODevice::ReadOnly))
        throw TRLException(QStringLiteral("%1: cannot be read: %2").arg(path, file_.errorString()));
    lines_ = path.endsWith(QLatin1String(".jsonl"), Qt::CaseInsensitive) ||
             path.endsWith(QLatin1String(".ndjson"), Qt::CaseInsensitive);
}

void TRLJsonRecordStream::Fail(const QString& what) const {
    throw TRLException(QStringLiteral("%1: %2").arg(path_, what));
}

bool TRLJsonRecordStream::ReadMore() {
    // What the scan has passed is no longer needed.
    if (scan_ > 0) {
        pending_.remove(0, scan_);
        scan_ = 0;
    }
    const QByteArray more = file_.read(kReadSize);
    if (more.isEmpty()) {
        if (file_.error() != QFileDevice::NoError)
            Fail(QStringLiteral("cannot be read: ") + file_.errorString());
        return false;
    }
    pending_ += more;
    return true;
}

void TRLJsonRecordStream::SkipBlanks() {
    for (;;) {
        while (scan_ < pending_.size() && IsBlank(pending_[scan_]))
            ++scan_;
        if (scan_ < pending_.size() || !ReadMore())
            return;
    }
}

bool TRLJsonRecordStream::NextArrayElement(QByteArray& record) {
    if (!arrayOpened_) {
        SkipBlanks();
        if (pending_.mid(scan_, 3) == "\xEF\xBB\xBF") {
            scan_ += 3;
            SkipBlanks();
        }
        if (scan_ >= pending_.size() || pending_[scan_] != '[')
            Fail(QStringLiteral("records are a JSON array of objects"));
        ++scan_;
        arrayOpened_ = true;
        SkipBlanks();
        if (scan_ < pending_.size() && pending_[scan_] == ']') {
            ++scan_;
            arrayClosed_ = true;
        }
    }
    if (arrayClosed_) {
        SkipBlanks();
        if (scan_ < pending_.size())
            Fail(QStringLiteral("text follows the end of the records"));
        return false;
    }
    // The element runs to the "," or "]" outside strings and brackets that ends it. Positions
    // are kept relative to scan_, since reading more drops the bytes before it.
    SkipBlanks();
    qsizetype length = 0;
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (;; ++length) {
        if (scan_ + length >= pending_.size() && !ReadMore()) {
            if (depth == 0 && !inString && length > 0)
                Fail(QStringLiteral("the array of records is not closed after record %1")
                         .arg(recordIndex_));
            Fail(QStringLiteral("the records end in the middle of record %1").arg(recordIndex_));
        }
        if (length > MaxRecordBytes)
            Fail(QStringLiteral("record %1 is larger than %2 MB")
                     .arg(recordIndex_)
                     .arg(MaxRecordBytes / (1024 * 1024)));
        const char c = pending_[scan_ + length];
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (depth == 0) {
                if (c == '}')
                    Fail(QStringLiteral("record %1 is not valid JSON").arg(recordIndex_));
                arrayClosed_ = true;
                break;
            }
            --depth;
        } else if (c == ',' && depth == 0) {
            break;
        }
    }
    record = pending_.mid(scan_, length);
    scan_ += length + 1;
    if (record.trimmed().isEmpty())
        Fail(QStringLiteral("record %1 is missing").arg(recordIndex_));
    return true;
}

bool TRLJsonRecordStream::NextLine(QByteArray& record) {
    for (;;) {
        qsizetype end = pending_.indexOf('\n', scan_);
        while (end < 0) {
            const qsizetype searched = pending_.size() - scan_;
            if (searched > MaxRecordBytes)
                Fail(QStringLiteral("record %1 is larger than %2 MB")
                         .arg(recordIndex_)
                         .arg(MaxRecordBytes / (1024 * 1024)));
            if (!ReadMore()) {
                end = pending_.size();
                break;
            }
            end = pending_.indexOf('\n', scan_ + searched);
        }
        if (scan_ >= pending_.size())
            return false;
        record = pending_.mid(scan_, end - scan_);
        scan_ = std::min(end + 1, pending_.size());
        if (!record.trimmed().isEmpty())
            return true;
    }
}

bool TRLJsonRecordStream::NextRecordBytes(QByteArray& record) {
    return lines_ ? NextLine(record) : NextArrayElement(record);
}

bool TRLJsonRecordStream::ReadRecord(QStringList& texts) {
    QByteArray bytes;
    if (!NextRecordBytes(bytes))
        return false;
    // A byte-order mark may open a file written on another system.
    if (recordIndex_ == 0 && bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    if (!bytes.trimmed().startsWith('{'))
        Fail(QStringLiteral("record %1 is not an object").arg(recordIndex_));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        Fail(QStringLiteral("record %1: %2").arg(recordIndex_).arg(error.errorString()));
    if (!doc.isObject())
        Fail(QStringLiteral("record %1 is not an object").arg(recordIndex_));
    const QJsonObject object = doc.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        QString text;
        if (!JsonFieldText(it.value(), text))
            Fail(QStringLiteral("record %1, field \"%2\": a field holds a string, number, true, "
                                "false or null")
                     .arg(recordIndex_)
                     .arg(it.key()));
        const int column = FieldColumn(it.key());
        while (texts.size() <= column)
            texts << QString();
        texts[column] = text;
    }
    ++recordIndex_;
    return true;
}

std::unique_ptr<TRLRecordStream> OpenJsonRecords(const QString& path) {
    return std::make_unique<TRLJsonRecordStream>(path);
}
