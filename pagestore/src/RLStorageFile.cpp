// Whole-document page-store files, versions 1 to 4: writing and reading.
#include <kelmora/pagestore/RLBinaryIO.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/support/RLCodec.h>

#include <QFile>
#include <QSaveFile>
#include <QScopeGuard>

#include <algorithm>
#include <array>
#include <cerrno>

namespace Kelmora {

namespace {

const QByteArray Signature1 = QByteArrayLiteral("Vantel Metafile\x1A");
const QByteArray Signature2 = QByteArrayLiteral("RPF2\x1A");
const QByteArray Signature3 = QByteArrayLiteral("RLGraphicStorage3\x1A");
// Version 4 is version 3 with every string in UTF-8: the settings and the page records.
const QByteArray Signature4 = QByteArrayLiteral("RLGraphicStorage4\x1A");

const QByteArray& SignatureOf(int version) {
    switch (version) {
    case 1:
        return Signature1;
    case 2:
        return Signature2;
    case 3:
        return Signature3;
    default:
        return Signature4;
    }
}

constexpr int OldRecordSize = 120;

// A write the device refused, with the system's reason kept apart, so that a save to a named
// file can say which file could not be written and why in one sentence.
class TRLWriteError : public TRLException {
public:
    explicit TRLWriteError(const QString& reason)
        : TRLException(QStringLiteral("Cannot write the file: %1").arg(reason)), Reason(reason) {}
    const QString Reason;
};

[[noreturn]] void ThrowCannotWrite(const QString& reason) {
    throw TRLWriteError(reason);
}

// The file's bytes on their way out, gathered into blocks: the small pieces a file is made of
// (a length, a header) would each cost a call of their own on a file without a buffer, which is
// what a file must be for a full disk to be told at the write that found it full.
class FileOutput {
public:
    explicit FileOutput(QIODevice& stream) : stream_(stream), position_(stream.pos()) {}
    qint64 Pos() const { return position_ + pending_.size(); }
    void Write(const QByteArray& bytes) {
        pending_.append(bytes);
        if (pending_.size() >= kBlock)
            Flush();
    }
    void Seek(qint64 position) {
        Flush();
        errno = 0;
        if (!stream_.seek(position))
            ThrowCannotWrite(FailureReason(stream_, errno));
        position_ = position;
    }
    void Flush() {
        QString reason;
        if (!WriteWhole(stream_, pending_, reason))
            ThrowCannotWrite(reason);
        position_ += pending_.size();
        pending_.resize(0);
    }

private:
    static constexpr qsizetype kBlock = 1 << 16;
    QIODevice& stream_;
    qint64 position_;
    QByteArray pending_;
};

int32_t PlatformColor(const TRLMetaColor& c) {
    return int32_t(c.Red) | int32_t(c.Green) << 8 | int32_t(c.Blue) << 16;
}

TRLMetaColor ColorFromPlatform(int32_t value) {
    return {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8 & 0xFF),
            static_cast<uint8_t>(value >> 16 & 0xFF)};
}

// The 120-byte object records of the old file versions.
class OldRecord {
public:
    OldRecord() { bytes_.fill(0); }
    explicit OldRecord(const char* data) { std::copy_n(data, OldRecordSize, bytes_.begin()); }

    void PutInt32(int offset, int32_t value) {
        const auto v = static_cast<uint32_t>(value);
        for (int i = 0; i < 4; ++i)
            bytes_[size_t(offset + i)] = static_cast<char>(v >> (8 * i) & 0xFF);
    }
    void PutByte(int offset, uint8_t value) { bytes_[size_t(offset)] = static_cast<char>(value); }
    int32_t Int32(int offset) const {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v |= uint32_t(static_cast<uint8_t>(bytes_[size_t(offset + i)])) << (8 * i);
        return static_cast<int32_t>(v);
    }
    uint8_t Byte(int offset) const { return static_cast<uint8_t>(bytes_[size_t(offset)]); }
    void PutRect(const TRLMetaRect& r) {
        PutInt32(0, r.Left);
        PutInt32(4, r.Top);
        PutInt32(8, r.Right);
        PutInt32(12, r.Bottom);
    }
    TRLMetaRect Rect() const { return {Int32(0), Int32(4), Int32(8), Int32(12)}; }
    void PutPen(const TRLMetaPen& pen) {
        PutByte(36, 1);
        PutInt32(40, PlatformColor(pen.Color));
        PutByte(44, static_cast<uint8_t>(MetaToPenMode(pen.Mode)));
        PutByte(45, static_cast<uint8_t>(MetaToPenStyle(pen.Style)));
        PutInt32(48, pen.Width);
    }
    TRLMetaPen Pen() const {
        TRLMetaPen pen;
        pen.Color = ColorFromPlatform(Int32(40));
        pen.Mode = static_cast<uint8_t>(Byte(44) + 1);
        pen.Style = static_cast<uint8_t>(Byte(45) + 1);
        pen.Width = Int32(48);
        return pen;
    }
    void PutBrush(const TRLMetaBrush& brush) {
        PutByte(52, 1);
        PutInt32(56, PlatformColor(brush.Color));
        PutByte(60, static_cast<uint8_t>(MetaToBrushStyle(brush.Style)));
    }
    TRLMetaBrush Brush() const {
        TRLMetaBrush brush;
        brush.Color = ColorFromPlatform(Int32(56));
        brush.Style = static_cast<uint8_t>(Byte(60) + 1);
        return brush;
    }
    const char* Data() const { return bytes_.data(); }

private:
    std::array<char, OldRecordSize> bytes_;
};

// The string table of an old page, shared by texts, font names and pictures. A font name is
// entered once; every text and picture gets an entry of its own.
class OldStringTable {
public:
    int32_t Add(const QByteArray& s) {
        strings_.append(s);
        return static_cast<int32_t>(strings_.size() - 1);
    }
    int32_t FontIndex(const QString& name) {
        for (int i = 0; i < fontNames_.size(); ++i)
            if (fontNames_[i].compare(name, Qt::CaseInsensitive) == 0)
                return fontIndexes_[i];
        fontNames_.append(name);
        fontIndexes_.append(Add(EncodeWindows1252(name)));
        return fontIndexes_.last();
    }
    const QList<QByteArray>& Strings() const { return strings_; }

private:
    QList<QByteArray> strings_;
    QStringList fontNames_;
    QList<int32_t> fontIndexes_;
};

// The kind byte of an old record for each object kind; a text is 3 when unclipped, else 4.
constexpr std::pair<TRLObjectKind, uint8_t> kOldKinds[] = {
    {TRLObjectKind::Pixel, 0},          {TRLObjectKind::Line, 1},
    {TRLObjectKind::Rectangle, 2},      {TRLObjectKind::Text, 3},
    {TRLObjectKind::FillRect, 5},       {TRLObjectKind::Image, 6},
    {TRLObjectKind::Ellipse, 8},        {TRLObjectKind::Polygon, 9},
    {TRLObjectKind::Polyline, 10},      {TRLObjectKind::SetClipRect, 11},
    {TRLObjectKind::ResetClipRect, 12},
};

// What an old record keeps of most kinds: the kind, and the pen and brush where the kind has them.
template <class Object> void PutOld(OldRecord& record, OldStringTable&, const Object& object) {
    record.PutByte(28, LookUp(kOldKinds, Object::StaticKind, 0));
    if constexpr (requires { object.Pen; })
        record.PutPen(object.Pen);
    if constexpr (requires { object.Brush; })
        record.PutBrush(object.Brush);
}

// A line keeps its ends as the record's rectangle, and no brush.
void PutOld(OldRecord& record, OldStringTable&, const TRLLineObject& line) {
    record.PutRect({line.FromPoint.X, line.FromPoint.Y, line.ToPoint.X, line.ToPoint.Y});
    record.PutByte(28, 1);
    record.PutPen(line.Pen);
}

void PutOld(OldRecord& record, OldStringTable& strings, const TRLTextObject& text) {
    const bool unclipped = text.TextFlags & MetaTextFlagNoClipping;
    record.PutInt32(16, text.Origin.X);
    record.PutInt32(20, text.Origin.Y);
    record.PutByte(28, unclipped ? 3 : 4);
    record.PutBrush(text.Brush);
    record.PutByte(64, 1);
    record.PutInt32(72, PlatformColor(text.Font.Color));
    record.PutInt32(76, text.Font.Height);
    record.PutByte(80, static_cast<uint8_t>(MetaToFontPitch(text.Font.Pitch)));
    record.PutByte(92, text.Font.Style);
    record.PutByte(93, text.Font.Charset);
    record.PutInt32(112, strings.Add(EncodeWindows1252(text.Text)));
    record.PutInt32(104, strings.FontIndex(text.FontName()));
    record.PutByte(116, static_cast<uint8_t>(text.Alignment - 1));
    record.PutByte(117, unclipped ? 1 : 0);
}

void PutOld(OldRecord& record, OldStringTable& strings, const TRLImageObject& image) {
    record.PutByte(28, 6);
    record.PutInt32(24, image.Data.startsWith("ICO") ? 2 : 0);
    record.PutInt32(112, strings.Add(image.Data.mid(3)));
}

// The fixed-size record of one object in the old layout.
OldRecord OldRecordOf(const TRLGraphicObject& object, OldStringTable& strings) {
    OldRecord record;
    record.PutRect(object.BoundsRect);
    record.PutInt32(112, -1);
    VisitGraphicObject(object, [&](const auto& typed) { PutOld(record, strings, typed); });
    return record;
}

// Builds the old page layout from a page: the string table and one record per object.
QByteArray OldPageBytes(const TRLGraphicSurface& page) {
    OldStringTable strings;
    QByteArray records;
    for (const auto& object : page.Objects())
        records.append(OldRecordOf(*object, strings).Data(), OldRecordSize);

    TRLPageWriter writer;
    writer.WriteInt32(page.Width());
    writer.WriteInt32(page.Height());
    writer.WriteInt32(static_cast<int32_t>(strings.Strings().size()));
    for (const QByteArray& s : strings.Strings())
        writer.WriteCountedBytes(s);
    writer.WriteInt32(static_cast<int32_t>(page.ObjectCount()));
    writer.WriteBytes(records);
    return writer.Take();
}

// Version 2 stores the orientation zero-based.
QStringList Version2Settings(const QStringList& entries) {
    QStringList result;
    for (const QString& entry : entries) {
        const int eq = entry.indexOf(QLatin1Char('='));
        const QString name = (eq < 0 ? entry : entry.left(eq)).trimmed();
        if (name.compare(QLatin1String("Orientation"), Qt::CaseInsensitive) == 0) {
            bool ok = false;
            int value = eq < 0 ? 0 : entry.mid(eq + 1).trimmed().toInt(&ok);
            if (!ok)
                value = 1;
            result.append(name + QLatin1Char('=') + QString::number(value - 1));
        } else {
            result.append(entry);
        }
    }
    return result;
}

QStringList SettingsFromVersion2(const QStringList& entries) {
    QStringList result;
    for (const QString& entry : entries) {
        const int eq = entry.indexOf(QLatin1Char('='));
        const QString name = (eq < 0 ? entry : entry.left(eq)).trimmed();
        bool ok = false;
        const int value = eq < 0 ? 0 : entry.mid(eq + 1).trimmed().toInt(&ok);
        if (ok && name.compare(QLatin1String("Orientation"), Qt::CaseInsensitive) == 0)
            result.append(name + QLatin1Char('=') + QString::number(value + 1));
        else
            result.append(entry);
    }
    return result;
}

const QByteArray& StringAt(const QList<QByteArray>& strings, int32_t index) {
    if (index < 0 || index >= strings.size())
        ThrowFileCorrupted();
    return strings[index];
}

// A text of an old record; its font size is recovered from the height at 96 pixels per inch.
TRLTextObject& AppendOldText(TRLGraphicSurface& page, const OldRecord& record,
                             const QList<QByteArray>& strings) {
    auto& text = page.Append<TRLTextObject>();
    text.Origin = {record.Int32(16), record.Int32(20)};
    text.Brush = record.Brush();
    text.Font.PixelsPerInch = 96;
    text.Font.Color = ColorFromPlatform(record.Int32(72));
    text.Font.Height = record.Int32(76);
    const int64_t pixels = std::abs(int64_t(text.Font.Height));
    text.Font.Size = static_cast<int32_t>(std::min<int64_t>((pixels * 72 + 48) / 96, 32767));
    text.Font.Pitch = static_cast<uint8_t>(record.Byte(80) + 1);
    text.Font.Style = record.Byte(92);
    text.Font.Charset = record.Byte(93);
    text.SetFontName(DecodeWindows1252(StringAt(strings, record.Int32(104))));
    text.Text = DecodeWindows1252(StringAt(strings, record.Int32(112)));
    text.Alignment = static_cast<uint8_t>(record.Byte(116) + 1);
    text.TextFlags =
        record.Byte(117) ? MetaTextFlagNoClipping | MetaTextFlagKeepWhole : MetaTextFlagKeepWhole;
    return text;
}

// A shape of an old record, with the record's pen and brush where its kind has them.
template <class Shape> Shape& AppendOldShape(TRLGraphicSurface& page, const OldRecord& record) {
    auto& shape = page.Append<Shape>();
    if constexpr (requires { shape.Pen; })
        shape.Pen = record.Pen();
    if constexpr (requires { shape.Brush; })
        shape.Brush = record.Brush();
    return shape;
}

// Appends the object of one old record to the page. Old records carry no points, pixel colours,
// font sizes or text layouts.
void AppendOldObject(TRLGraphicSurface& page, const OldRecord& record,
                     const QList<QByteArray>& strings) {
    const TRLMetaRect bounds = record.Rect();
    TRLGraphicObject* object = nullptr;
    switch (record.Byte(28)) {
    case 0:
        object = &page.Append<TRLPixelObject>();
        break;
    case 1: {
        auto& line = page.Append<TRLLineObject>();
        line.FromPoint = {bounds.Left, bounds.Top};
        line.ToPoint = {bounds.Right, bounds.Bottom};
        line.Pen = record.Pen();
        line.BoundsRect = {std::min(bounds.Left, bounds.Right), std::min(bounds.Top, bounds.Bottom),
                           SaturatedAdd(std::max(bounds.Left, bounds.Right), 1),
                           SaturatedAdd(std::max(bounds.Top, bounds.Bottom), 1)};
        return;
    }
    case 2:
        object = &AppendOldShape<TRLRectangleObject>(page, record);
        break;
    case 3:
    case 4:
        object = &AppendOldText(page, record, strings);
        break;
    case 5:
        object = &AppendOldShape<TRLFillRectObject>(page, record);
        break;
    case 6: {
        auto& image = page.Append<TRLImageObject>();
        image.Data = (record.Int32(24) == 2 ? QByteArrayLiteral("ICO") : QByteArrayLiteral("BMP")) +
                     StringAt(strings, record.Int32(112));
        object = &image;
        break;
    }
    case 8:
        object = &AppendOldShape<TRLEllipseObject>(page, record);
        break;
    case 9:
        object = &AppendOldShape<TRLPolygonObject>(page, record);
        break;
    case 10:
        object = &AppendOldShape<TRLPolylineObject>(page, record);
        break;
    case 11:
        object = &page.Append<TRLSetClipRectObject>();
        break;
    case 12:
        object = &page.Append<TRLResetClipRectObject>();
        break;
    default:
        return; // a kind this reader does not know draws nothing
    }
    object->BoundsRect = bounds;
}

// Rebuilds a page from the old layout.
std::shared_ptr<TRLGraphicSurface> ReadOldPage(TRLDeviceReader& reader) {
    auto page = std::make_shared<TRLGraphicSurface>();
    page->SetWidth(reader.ReadInt32());
    page->SetHeight(reader.ReadInt32());
    const int32_t stringCount = reader.ReadCount(4);
    QList<QByteArray> strings;
    strings.reserve(stringCount);
    for (int32_t i = 0; i < stringCount; ++i)
        strings.append(reader.ReadCountedBytes());

    const int32_t recordCount = reader.ReadCount(OldRecordSize);
    const QByteArray records = reader.ReadBytes(qint64(recordCount) * OldRecordSize);
    for (int32_t i = 0; i < recordCount; ++i)
        AppendOldObject(*page, OldRecord(records.constData() + qint64(i) * OldRecordSize), strings);
    page->SetModified(false);
    return page;
}

} // namespace

bool TRLGraphicStorage::NeedsUtf8Locked() const {
    if (std::find(pageUtf8_.begin(), pageUtf8_.end(), true) != pageUtf8_.end())
        return true;
    const QStringList& entries = macros_.Entries();
    return !std::all_of(entries.begin(), entries.end(),
                        [](const QString& entry) { return FitsWindows1252(entry); });
}

int TRLGraphicStorage::SaveToStream(QIODevice& stream) {
    std::lock_guard lock(mutex_);
    if (fileVersion_ < 1 || fileVersion_ > NewestFileVersion)
        throw TRLException(
            QStringLiteral("Incorrect file version \"%1\"!").arg(QString::number(fileVersion_)));
    if (std::find(pageOffsets_.begin(), pageOffsets_.end(), kNotKept) != pageOffsets_.end())
        throw TRLException(QStringLiteral("The pages were passed on as they were prepared, not "
                                          "kept: there is nothing to save"));
    FlushModifiedLocked();
    // Version 3 stays what older readers know whenever it can hold the document.
    const int version = fileVersion_ == 3 && NeedsUtf8Locked() ? 4 : fileVersion_;
    // Versions 3 and 4 keep page records behind offsets from the file's start.
    const bool records = version >= 3;

    TRLPageWriter header;
    header.WriteBytes(SignatureOf(version));
    if (version == 4)
        header.SetTextEncoding(TRLTextEncoding::Utf8);
    if (records)
        header.WriteStringList(macros_.Entries());
    else if (version == 2)
        header.WriteStringList(Version2Settings(macros_.Entries()));
    const auto count = static_cast<int32_t>(pageOffsets_.size());
    header.WriteInt32(count);
    FileOutput out(stream);
    out.Write(header.Take());
    const qint64 tablePosition = out.Pos();
    out.Write(QByteArray(qsizetype(count) * 4, '\0'));
    const qint64 dataPosition = out.Pos();

    std::vector<qint64> offsets;
    offsets.reserve(pageOffsets_.size());
    TRLPageWriter converted;
    for (int i = 0; i < count; ++i) {
        // The table's offsets are 32-bit: a page past them could never be found again.
        if ((records ? out.Pos() : out.Pos() - dataPosition) > INT32_MAX)
            throw TRLException(QStringLiteral("The pages do not fit in one page-store file: page "
                                              "%1 would start beyond the 2 GB its page table "
                                              "can reach")
                                   .arg(i + 1));
        offsets.push_back(out.Pos());
        QByteArray record = ReadPageRecordLocked(i);
        if (version == 4 && !pageUtf8_[static_cast<size_t>(i)]) {
            // A page kept in the code page is written again with its strings in UTF-8.
            TRLGraphicSurface page;
            page.LoadFromBytes(record);
            converted.Clear();
            page.SaveToWriter(converted, TRLPageText::Utf8);
            record = QByteArray(converted.Data(), static_cast<qsizetype>(converted.Size()));
        }
        if (records) {
            TRLPageWriter length;
            length.WriteInt32(static_cast<int32_t>(record.size()));
            out.Write(length.Take());
            out.Write(record);
        } else {
            TRLGraphicSurface page;
            page.LoadFromBytes(record);
            out.Write(OldPageBytes(page));
        }
    }

    const qint64 endPosition = out.Pos();
    TRLPageWriter table;
    for (qint64 offset : offsets)
        table.WriteInt32(static_cast<int32_t>(records ? offset : offset - dataPosition));
    out.Seek(tablePosition);
    out.Write(table.Take());
    out.Seek(endPosition);
    lastSavedFileVersion_ = version;
    return version;
}

int TRLGraphicStorage::LastSavedFileVersion() const {
    std::lock_guard lock(mutex_);
    return lastSavedFileVersion_;
}

int TRLGraphicStorage::SaveToFile(const QString& fileName) {
    // Written beside the target and renamed over it at the end, so that a failure never
    // leaves a half-written file nor destroys the previous one.
    // Without a buffer of its own: a buffered file forgets why a write failed (a full disk
    // showed as "Unknown error"); the writes come in blocks anyway.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw TRLException(
            QStringLiteral("Cannot create \"%1\": %2").arg(fileName, file.errorString()));
    int version = 0;
    try {
        version = SaveToStream(file);
    } catch (const TRLWriteError& e) {
        file.cancelWriting();
        throw TRLException(QStringLiteral("Cannot write \"%1\": %2").arg(fileName, e.Reason));
    } catch (const TRLException& e) {
        file.cancelWriting();
        throw TRLException(QStringLiteral("\"%1\": %2").arg(fileName, e.Message()));
    }
    // Every byte is written by now; committing may still fail (the system's last write-back,
    // the rename), and clears the file's own reason as it does.
    errno = 0;
    if (!file.commit())
        throw TRLException(
            QStringLiteral("Cannot write \"%1\": %2").arg(fileName, FailureReason(file, errno)));
    return version;
}

int TRLGraphicStorage::LoadFromStream(QIODevice& stream) {
    Clear();
    // A damaged file leaves the store empty.
    auto emptyOnFailure = qScopeGuard([this] { Clear(); });
    TRLDeviceReader reader(stream);
    const QByteArray signature = reader.ReadSignature();
    int version = 0;
    if (signature == Signature4)
        version = 4;
    else if (signature == Signature3)
        version = 3;
    else if (signature == Signature2)
        version = 2;
    else if (signature == Signature1)
        version = 1;
    else
        ThrowFileCorrupted();

    TRLMacroList settings;
    if (version == 4)
        reader.SetTextEncoding(TRLTextEncoding::Utf8);
    if (version >= 3)
        settings.SetEntries(reader.ReadStringList());
    else if (version == 2)
        settings.SetEntries(SettingsFromVersion2(reader.ReadStringList()));
    const int32_t count = reader.ReadCount(4);
    std::vector<qint64> offsets(static_cast<size_t>(count));
    for (auto& offset : offsets)
        offset = reader.ReadInt32();
    const qint64 dataPosition = reader.Position();
    // Pages follow one another in the order of the table. Holding files to that keeps the work
    // proportional to the file's size: a table that sends every entry to the same large page is
    // refused instead of being read over and over.
    qint64 nextFree = dataPosition;
    // Each version holds page records of its own encoding only: a version 3 file keeps reading
    // exactly as it did before version 4 existed.
    const TRLTextEncoding recordEncoding =
        version == 4 ? TRLTextEncoding::Utf8 : TRLTextEncoding::Windows1252;
    for (qint64 offset : offsets) {
        const qint64 position = version >= 3 ? offset : dataPosition + offset;
        if (offset < 0 || position < nextFree)
            ThrowFileCorrupted();
        reader.Seek(position);
        if (version >= 3) {
            const QByteArray record = reader.ReadBytes(reader.ReadInt32());
            auto page = std::make_shared<TRLGraphicSurface>();
            if (page->LoadFromBytes(record) != recordEncoding)
                ThrowFileCorrupted();
            Add(std::move(page));
        } else {
            Add(ReadOldPage(reader));
        }
        nextFree = reader.Position();
    }
    emptyOnFailure.dismiss();
    std::lock_guard lock(mutex_);
    macros_ = settings;
    fileVersion_ = CurrentFileVersion;
    return version;
}

int TRLGraphicStorage::LoadFromFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw TRLException(
            QStringLiteral("Cannot open \"%1\": %2").arg(fileName, file.errorString()));
    try {
        return LoadFromStream(file);
    } catch (const TRLException& e) {
        throw TRLException(QStringLiteral("\"%1\": %2").arg(fileName, e.Message()));
    }
}

} // namespace Kelmora
