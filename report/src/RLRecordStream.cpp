#include <kelmora/report/RLRecordStream.h>

#include <kelmora/parser/RLDecimal.h>
#include <kelmora/parser/RLValue.h>
#include <kelmora/report/RLJsonRecords.h>
#include <kelmora/support/RLCore.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

namespace Kelmora {

// ---- TRLRecordRow ----------------------------------------------------------------------------

void TRLRecordRow::Reserve(qsizetype count) {
    texts_.reserve(count);
    columns_.reserve(static_cast<size_t>(count));
}

void TRLRecordRow::Set(int column, QString text) {
    // Gathered as given; Finish puts them in order.
    columns_.push_back(column);
    texts_ << std::move(text);
}

void TRLRecordRow::Finish() {
    // A text costs its characters and the header that holds them.
    constexpr qsizetype kTextOverhead = 32;
    bytes_ = 0;
    for (const QString& text : texts_)
        bytes_ += kTextOverhead + text.size() * qsizetype(sizeof(QChar));
    if (columns_.empty())
        return;
    const qsizetype count = texts_.size();
    // Most records give every column in order: their texts already stand by column.
    bool inOrder = true;
    for (qsizetype i = 0; i < count && inOrder; ++i)
        inOrder = columns_[static_cast<size_t>(i)] == i;
    if (inOrder) {
        columns_.clear();
        return;
    }
    const int last = *std::max_element(columns_.begin(), columns_.end());
    if (last < 2 * count + 8) {
        // Texts by column, the columns it lacks null: no dearer than the list of columns.
        QStringList dense(last + 1);
        for (qsizetype i = 0; i < count; ++i)
            dense[columns_[i]] = std::move(texts_[i]);
        texts_ = std::move(dense);
        columns_.clear();
        return;
    }
    std::vector<qsizetype> order(count);
    for (qsizetype i = 0; i < count; ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](qsizetype a, qsizetype b) { return columns_[a] < columns_[b]; });
    QStringList texts;
    std::vector<int> columns;
    texts.reserve(count);
    columns.reserve(count);
    for (const qsizetype i : order) {
        texts << std::move(texts_[i]);
        columns.push_back(columns_[i]);
    }
    texts_ = std::move(texts);
    columns_ = std::move(columns);
}

QString TRLRecordRow::Text(int column) const {
    if (columns_.empty())
        return column >= 0 && column < texts_.size() ? texts_[column] : QString();
    const auto found = std::lower_bound(columns_.begin(), columns_.end(), column);
    return found != columns_.end() && *found == column ? texts_[found - columns_.begin()]
                                                       : QString();
}

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
    return CellText(index.row(), index.column());
}

QString TRLRecordStream::CellText(int row, int column) const {
    if (row < firstHeldRow_ || row >= rowsRead_ || column < 0 || column >= announcedColumns_)
        return QString();
    return window_[static_cast<size_t>(row - firstHeldRow_)].Text(column);
}

TRLRecordRow TRLRecordStream::HeldRow(int row) const {
    if (row < firstHeldRow_ || row >= rowsRead_)
        return {};
    return window_[static_cast<size_t>(row - firstHeldRow_)];
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
        if (fields_.size() >= MaxFields)
            return -1;
        column = columns_.insert(name, static_cast<int>(fields_.size()));
        fields_ << name;
    }
    return *column;
}

void TRLRecordStream::Restart() {
    beginResetModel();
    window_.clear();
    bytesHeld_ = 0;
    firstHeldRow_ = 0;
    rowsRead_ = 0;
    atEnd_ = false;
    endResetModel();
}

void TRLRecordStream::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || atEnd_)
        return;
    std::deque<TRLRecordRow> batch;
    qsizetype batchBytes = 0;
    while (static_cast<int>(batch.size()) < BatchSize && batchBytes < MaxHeldBytes) {
        TRLRecordRow row;
        if (!ReadRecord(row)) {
            atEnd_ = true;
            break;
        }
        row.Finish();
        batchBytes += row.Bytes();
        batch.push_back(std::move(row));
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
    const size_t batchRows = batch.size();
    for (TRLRecordRow& row : batch)
        window_.push_back(std::move(row));
    bytesHeld_ += batchBytes;
    // Older rows go first; the batch itself stays whole (the report asked for its first row).
    while (window_.size() > batchRows &&
           (static_cast<int>(window_.size()) > WindowSize || bytesHeld_ > MaxHeldBytes)) {
        bytesHeld_ -= window_.front().Bytes();
        window_.pop_front();
        ++firstHeldRow_;
    }
    endInsertRows();
}

QString RecordNumberText(double value) {
    return TRLValue::NumberText(value);
}

QString RecordText(const QString& text) {
    return text.isNull() ? QString(QStringLiteral("")) : text;
}

namespace {

// Follows a JSON text byte by byte far enough to tell the bytes of its strings from the rest.
class TJsonStrings {
public:
    // Takes the next byte: true when it belongs to a string, its quotes and escapes included.
    bool Take(char c) {
        if (!open_) {
            open_ = c == '"';
            return open_;
        }
        if (escaped_)
            escaped_ = false;
        else if (c == '\\')
            escaped_ = true;
        else if (c == '"')
            open_ = false;
        return true;
    }
    // Whether the bytes taken so far end inside a string.
    bool Open() const { return open_; }
    // Whether they end inside a string, right after a backslash.
    bool Escaped() const { return escaped_; }

private:
    bool open_ = false;
    bool escaped_ = false;
};

} // namespace

QString FirstInexactJsonNumber(QByteArrayView json) {
    TJsonStrings strings;
    for (qsizetype at = 0; at < json.size(); ++at) {
        const char c = json[at];
        if (strings.Take(c))
            continue;
        if (c != '-' && (c < '0' || c > '9'))
            continue;
        qsizetype end = at;
        while (end < json.size() &&
               (std::isdigit(static_cast<unsigned char>(json[end])) || json[end] == '-' ||
                json[end] == '+' || json[end] == '.' || json[end] == 'e' || json[end] == 'E'))
            ++end;
        const QString number = QString::fromLatin1(json.sliced(at, end - at));
        at = end - 1;
        TRLDecimal exact;
        double nearest = 0;
        if (!TRLValue::ReadNumber(number, nearest) || !TRLDecimal::Read(number, exact) ||
            !(TRLDecimal::FromDouble(nearest) == exact))
            return number;
    }
    return QString();
}

// ---- Flat records ----------------------------------------------------------------------------

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Reads the records that are objects of plain values with plain keys, nearly all of them,
// without the toolkit's JSON document: making a document for each record took as long as
// printing it. It gives up on anything it does not vouch to read exactly as the document does
// (the document then reads the record, or says what is wrong with it): nested values, repeated
// keys, keys beyond the Basic Multilingual Plane (whose order the document decides in its own
// way), numbers of more than 15 digits or with an exponent, control characters, escapes of
// control characters, surrogates or noncharacters, malformed UTF-8 and any fault of form.
class FlatRecordReader {
public:
    FlatRecordReader(const QByteArray& bytes, TRLFlatKeys* keys)
        : at_(bytes.constData()), end_(bytes.constData() + bytes.size()), keys_(keys) {}

    bool Read(std::vector<TRLFlatField>& fields) {
        SkipBlanks();
        if (!Take('{'))
            return false;
        SkipBlanks();
        // Each key's place in the known keys (-1 for one that is not there).
        std::vector<int> ownPlaces;
        std::vector<int>& known = keys_ ? keys_->Places : ownPlaces;
        known.clear();
        if (!Take('}')) {
            for (;;) {
                TRLFlatField field;
                if (!ReadString(field.Key, &field.Known))
                    return false;
                known.push_back(field.Known);
                SkipBlanks();
                if (!Take(':'))
                    return false;
                SkipBlanks();
                if (!ReadValue(field.Text))
                    return false;
                fields.push_back(std::move(field));
                SkipBlanks();
                if (Take('}'))
                    break;
                if (!Take(','))
                    return false;
                SkipBlanks();
            }
        }
        SkipBlanks();
        if (at_ != end_)
            return false;
        const bool allKnown = keys_ && std::find(known.begin(), known.end(), -1) == known.end();
        if (allKnown && known == keys_->LastWritten) {
            Reorder(fields, keys_->LastOrder, keys_->Ordered);
            return true;
        }
        // The document gives the keys in their order (UTF-16 order, which is code point order
        // for the keys read here).
        std::vector<size_t> order(fields.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(),
                  [&](size_t a, size_t b) { return fields[a].Key < fields[b].Key; });
        for (size_t i = 1; i < order.size(); ++i)
            if (fields[order[i]].Key == fields[order[i - 1]].Key)
                return false;
        std::vector<TRLFlatField> ownOrdered;
        Reorder(fields, order, keys_ ? keys_->Ordered : ownOrdered);
        if (allKnown) {
            keys_->LastWritten = known;
            keys_->LastOrder = std::move(order);
        }
        return true;
    }

private:
    // Puts fields in the order given, through room kept for it.
    static void Reorder(std::vector<TRLFlatField>& fields, const std::vector<size_t>& order,
                        std::vector<TRLFlatField>& room) {
        room.clear();
        for (const size_t i : order)
            room.push_back(std::move(fields[i]));
        fields.swap(room);
    }

    // A key written without escapes: the one met before, or read now and remembered.
    QString KnownKey(const char* from, int* place) {
        const auto length = static_cast<size_t>(at_ - from);
        for (size_t i = 0; i < keys_->Known.size(); ++i) {
            const QByteArray& written = keys_->Known[i].first;
            if (static_cast<size_t>(written.size()) == length &&
                std::equal(from, at_, written.constData())) {
                *place = static_cast<int>(i);
                return keys_->Known[i].second;
            }
        }
        QString key = QString::fromUtf8(from, at_ - from);
        if (keys_->Known.size() < TRLFlatKeys::MaxKnown) {
            keys_->Known.emplace_back(QByteArray(from, at_ - from), key);
            *place = static_cast<int>(keys_->Known.size() - 1);
        }
        return key;
    }

    void SkipBlanks() {
        while (at_ != end_ && IsBlank(*at_))
            ++at_;
    }

    bool Take(char c) {
        if (at_ == end_ || *at_ != c)
            return false;
        ++at_;
        return true;
    }

    bool TakeWord(const char* word) {
        const char* p = at_;
        for (; *word; ++word, ++p)
            if (p == end_ || *p != *word)
                return false;
        at_ = p;
        return true;
    }

    static bool IsNoncharacter(char32_t c) {
        return (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
    }

    static int HexDigit(char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    // Past one well-formed UTF-8 sequence of two or more bytes; false for anything else.
    bool SkipMultiByte(bool key) {
        const auto byte = [this](int i) { return static_cast<unsigned char>(at_[i]); };
        const auto follows = [&](int i) { return at_ + i < end_ && (byte(i) & 0xC0) == 0x80; };
        const unsigned char lead = byte(0);
        char32_t c = 0;
        int length = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            c = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4 && !key) {
            length = 4;
            c = lead & 0x07;
        } else {
            return false;
        }
        for (int i = 1; i < length; ++i) {
            if (!follows(i))
                return false;
            c = (c << 6) | (byte(i) & 0x3F);
        }
        const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < least[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) || IsNoncharacter(c))
            return false;
        at_ += length;
        return true;
    }

    // A key when place is given: its place in the known keys goes there, when it has one.
    bool ReadString(QString& text, int* place = nullptr) {
        const bool key = place != nullptr;
        if (!Take('"'))
            return false;
        const char* const start = at_;
        const char* run = at_;
        auto flush = [&] {
            if (at_ != run)
                text += QString::fromUtf8(run, at_ - run);
        };
        while (at_ != end_) {
            const auto c = static_cast<unsigned char>(*at_);
            if (c == '"') {
                if (key && keys_ && run == start)
                    text = KnownKey(start, place);
                else
                    flush();
                ++at_;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c >= 0x80) {
                if (!SkipMultiByte(key))
                    return false;
                continue;
            }
            if (c != '\\') {
                ++at_;
                continue;
            }
            flush();
            if (++at_ == end_)
                return false;
            const char escape = *at_++;
            // The escapes of one letter and the characters they stand for.
            static constexpr std::string_view kLetters = "\"\\/bfnrt";
            static constexpr std::string_view kCharacters = "\"\\/\b\f\n\r\t";
            if (const size_t letter = kLetters.find(escape); letter != kLetters.npos) {
                text += QLatin1Char(kCharacters[letter]);
            } else {
                if (escape != 'u' || end_ - at_ < 4)
                    return false;
                char32_t code = 0;
                for (int i = 0; i < 4; ++i) {
                    const int digit = HexDigit(at_[i]);
                    if (digit < 0)
                        return false;
                    code = code * 16 + static_cast<char32_t>(digit);
                }
                if (code < 0x20 || (code >= 0xD800 && code <= 0xDFFF) || IsNoncharacter(code))
                    return false;
                text += QChar(static_cast<char16_t>(code));
                at_ += 4;
            }
            run = at_;
        }
        return false;
    }

    // A number keeps every digit it is written with: a double would drop those past the
    // sixteenth (an identifier or an amount of many digits) or print it with an exponent.
    bool ReadNumber(QString& text) {
        const char* start = at_;
        Take('-');
        auto takeDigits = [&] {
            const char* from = at_;
            while (at_ != end_ && *at_ >= '0' && *at_ <= '9')
                ++at_;
            return at_ != from;
        };
        if (at_ != end_ && *at_ == '0')
            ++at_;
        else if (!takeDigits())
            return false;
        if (Take('.') && !takeDigits())
            return false;
        if (at_ != end_ && (*at_ == 'e' || *at_ == 'E')) {
            ++at_;
            if (!Take('+'))
                Take('-');
            if (!takeDigits())
                return false;
        }
        // A whole number of at most fifteen digits, without leading zeros, is its own text:
        // most numbers of records are counts and identifiers.
        const char* digits = *start == '-' ? start + 1 : start;
        const auto length = at_ - digits;
        if (length >= 1 && length <= 15 && (*digits != '0' || (length == 1 && digits == start)) &&
            std::all_of(digits, at_, [](char c) { return c >= '0' && c <= '9'; })) {
            text = QString::fromLatin1(start, at_ - start);
            return true;
        }
        TRLDecimal value;
        if (!TRLDecimal::Read(QString::fromLatin1(start, at_ - start), value))
            return false;
        text = value.Text();
        return true;
    }

    bool ReadValue(QString& text) {
        if (at_ == end_)
            return false;
        switch (*at_) {
        case '"':
            if (!ReadString(text))
                return false;
            text = RecordText(text);
            return true;
        case 't':
            text = QStringLiteral("True");
            return TakeWord("true");
        case 'f':
            text = QStringLiteral("False");
            return TakeWord("false");
        case 'n':
            text.clear();
            return TakeWord("null");
        default:
            return ReadNumber(text);
        }
    }

    const char* at_;
    const char* end_;
    TRLFlatKeys* keys_;
};

} // namespace

bool ReadFlatRecord(const QByteArray& bytes, std::vector<TRLFlatField>& fields, TRLFlatKeys* keys) {
    fields.clear();
    return FlatRecordReader(bytes, keys).Read(fields);
}

// ---- TRLJsonRecordStream ---------------------------------------------------------------------

namespace {

constexpr qint64 kReadSize = 1024 * 1024;

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
    TJsonStrings strings;
    for (bool ended = false; !ended;) {
        if (scan_ + length >= pending_.size() && !ReadMore()) {
            if (depth == 0 && !strings.Open() && length > 0)
                Fail(QStringLiteral("the array of records is not closed after record %1")
                         .arg(recordIndex_));
            Fail(QStringLiteral("the records end in the middle of record %1").arg(recordIndex_));
        }
        if (length > MaxRecordBytes)
            Fail(QStringLiteral("record %1 is larger than %2 MB")
                     .arg(recordIndex_)
                     .arg(MaxRecordBytes / (1024 * 1024)));
        // The bytes at hand are scanned in one go (reading more moves them), and within a
        // string only its end and its escapes are looked for.
        const char* const bytes = pending_.constData() + scan_;
        const qsizetype limit = std::min(pending_.size() - scan_, MaxRecordBytes + 1);
        for (; length < limit; ++length) {
            if (strings.Open() && !strings.Escaped()) {
                while (length < limit && bytes[length] != '"' && bytes[length] != '\\')
                    ++length;
                if (length == limit)
                    break;
            }
            const char c = bytes[length];
            if (strings.Take(c))
                continue;
            if (c == '{' || c == '[') {
                ++depth;
            } else if (c == '}' || c == ']') {
                if (depth == 0) {
                    if (c == '}')
                        Fail(QStringLiteral("record %1 is not valid JSON").arg(recordIndex_));
                    arrayClosed_ = true;
                    ended = true;
                    break;
                }
                --depth;
            } else if (c == ',' && depth == 0) {
                ended = true;
                break;
            }
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

int TRLJsonRecordStream::RecordFieldColumn(const QString& name) {
    const int column = FieldColumn(name);
    if (column < 0)
        Fail(QStringLiteral("record %1, field \"%2\": the records have more than %3 distinct "
                            "fields")
                 .arg(recordIndex_)
                 .arg(name)
                 .arg(MaxFields));
    return column;
}

bool TRLJsonRecordStream::ReadRecord(TRLRecordRow& row) {
    QByteArray bytes;
    if (!NextRecordBytes(bytes))
        return false;
    // A byte-order mark may open a file written on another system.
    if (recordIndex_ == 0 && bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    if (!bytes.trimmed().startsWith('{'))
        Fail(QStringLiteral("record %1 is not an object").arg(recordIndex_));
    if (ReadFlatRecord(bytes, flatFields_, &flatKeys_)) {
        row.Reserve(static_cast<qsizetype>(flatFields_.size()));
        for (const TRLFlatField& field : flatFields_) {
            // A known key keeps the column it was given: the same few keys come in every record.
            if (field.Known < 0) {
                row.Set(RecordFieldColumn(field.Key), field.Text);
                continue;
            }
            if (static_cast<size_t>(field.Known) >= knownColumns_.size())
                knownColumns_.resize(static_cast<size_t>(field.Known) + 1, -1);
            int& column = knownColumns_[static_cast<size_t>(field.Known)];
            if (column < 0)
                column = RecordFieldColumn(field.Key);
            row.Set(column, field.Text);
        }
        ++recordIndex_;
        return true;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        Fail(QStringLiteral("record %1: %2").arg(recordIndex_).arg(error.errorString()));
    // The document reads numbers as doubles.
    if (const QString number = FirstInexactJsonNumber(bytes); !number.isEmpty())
        Fail(QStringLiteral("record %1: the number %2 cannot be read without losing digits here; "
                            "write it as a string")
                 .arg(recordIndex_)
                 .arg(number));
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
        row.Set(RecordFieldColumn(it.key()), text);
    }
    ++recordIndex_;
    return true;
}

std::unique_ptr<TRLRecordStream> OpenJsonRecords(const QString& path) {
    return std::make_unique<TRLJsonRecordStream>(path);
}

} // namespace Kelmora
