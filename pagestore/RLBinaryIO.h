// Little-endian readers and writers for page records and page-store files. Readers check every
// count and length against the bytes that remain before they allocate or read anything, so a
// damaged or hostile file can only ever produce an error.
#pragma once

#include "RLCore.h"
#include "RLMetaTypes.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstring>

// The message of every structural reading failure.
QString FileCorruptedMessage();
[[noreturn]] void ThrowFileCorrupted();

// Shared decoding on top of a source that can hand out raw bytes. Derived classes provide
// ReadRaw(void*, qint64) and Remaining().
template <class Derived> class TRLReaderBase {
public:
    uint8_t ReadByte() {
        uint8_t value;
        self().ReadRaw(&value, 1);
        return value;
    }
    int32_t ReadInt32() {
        unsigned char b[4];
        self().ReadRaw(b, 4);
        return static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                                    uint32_t(b[3]) << 24);
    }
    uint16_t ReadUInt16() {
        unsigned char b[2];
        self().ReadRaw(b, 2);
        return static_cast<uint16_t>(b[0] | b[1] << 8);
    }
    // A count that must be followed by at least count * minimumItemSize bytes.
    int32_t ReadCount(qint64 minimumItemSize) {
        const int32_t count = ReadInt32();
        if (count < 0 || (minimumItemSize > 0 && count > self().Remaining() / minimumItemSize))
            ThrowFileCorrupted();
        return count;
    }
    QByteArray ReadBytes(qint64 length) {
        if (length < 0 || length > self().Remaining())
            ThrowFileCorrupted();
        QByteArray bytes(static_cast<qsizetype>(length), Qt::Uninitialized);
        if (length > 0)
            self().ReadRaw(bytes.data(), length);
        return bytes;
    }
    QByteArray ReadCountedBytes() { return ReadBytes(ReadCount(1)); }
    // Counted 8-bit text in Windows-1252.
    QString ReadCountedString();
    QStringList ReadStringList() {
        const int32_t count = ReadCount(4);
        QStringList list;
        list.reserve(count);
        for (int32_t i = 0; i < count; ++i)
            list.append(ReadCountedString());
        return list;
    }
    TRLMetaPoint ReadPoint() {
        TRLMetaPoint p;
        p.X = ReadInt32();
        p.Y = ReadInt32();
        return p;
    }
    TRLMetaRect ReadRect() {
        TRLMetaRect r;
        r.Left = ReadInt32();
        r.Top = ReadInt32();
        r.Right = ReadInt32();
        r.Bottom = ReadInt32();
        return r;
    }
    TRLMetaColor ReadColor() {
        TRLMetaColor c;
        c.Red = ReadByte();
        c.Green = ReadByte();
        c.Blue = ReadByte();
        return c;
    }
    TRLMetaPen ReadPen();
    TRLMetaBrush ReadBrush();
    TRLMetaFont ReadFont();

private:
    Derived& self() { return static_cast<Derived&>(*this); }
};

// Reads from bytes held in memory (a page record).
class TRLSpanReader : public TRLReaderBase<TRLSpanReader> {
public:
    TRLSpanReader(const char* data, qint64 size) : data_(data), size_(size) {}
    explicit TRLSpanReader(const QByteArray& bytes)
        : TRLSpanReader(bytes.constData(), bytes.size()) {}

    void ReadRaw(void* target, qint64 length) {
        if (length < 0 || length > Remaining())
            ThrowFileCorrupted();
        std::memcpy(target, data_ + pos_, static_cast<size_t>(length));
        pos_ += length;
    }
    void Skip(qint64 length) {
        if (length < 0 || length > Remaining())
            ThrowFileCorrupted();
        pos_ += length;
    }
    qint64 Remaining() const { return size_ - pos_; }
    qint64 Position() const { return pos_; }
    const char* Current() const { return data_ + pos_; }

private:
    const char* data_;
    qint64 size_;
    qint64 pos_ = 0;
};

// Reads from a random-access device, never past its size.
class TRLDeviceReader : public TRLReaderBase<TRLDeviceReader> {
public:
    explicit TRLDeviceReader(QIODevice& device) : device_(device) {}
    void ReadRaw(void* target, qint64 length);
    qint64 Remaining() const;
    qint64 Position() const { return device_.pos(); }
    void Seek(qint64 position);

private:
    QIODevice& device_;
};

// Writes a page record or any other block into memory; the block is then written to its
// device in one call.
class TRLPageWriter {
public:
    QByteArray& Bytes() { return bytes_; }
    qint64 Size() const { return bytes_.size(); }

    void WriteRaw(const void* data, qint64 length) {
        bytes_.append(static_cast<const char*>(data), static_cast<qsizetype>(length));
    }
    void WriteByte(uint8_t value) { bytes_.append(static_cast<char>(value)); }
    void WriteInt32(int32_t value) {
        const auto v = static_cast<uint32_t>(value);
        const char b[4] = {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF),
                           char(v >> 24)};
        bytes_.append(b, 4);
    }
    void WriteUInt16(uint16_t value) {
        const char b[2] = {char(value & 0xFF), char(value >> 8)};
        bytes_.append(b, 2);
    }
    // Overwrites four bytes written earlier (a length placeholder).
    void PatchInt32(qint64 position, int32_t value);
    void WriteCountedBytes(const QByteArray& bytes) {
        WriteInt32(static_cast<int32_t>(bytes.size()));
        bytes_.append(bytes);
    }
    void WriteCountedString(const QString& text);
    void WriteStringList(const QStringList& list) {
        WriteInt32(static_cast<int32_t>(list.size()));
        for (const QString& entry : list)
            WriteCountedString(entry);
    }
    void WritePoint(const TRLMetaPoint& p) {
        WriteInt32(p.X);
        WriteInt32(p.Y);
    }
    void WriteRect(const TRLMetaRect& r) {
        WriteInt32(r.Left);
        WriteInt32(r.Top);
        WriteInt32(r.Right);
        WriteInt32(r.Bottom);
    }
    void WriteColor(const TRLMetaColor& c) {
        WriteByte(c.Red);
        WriteByte(c.Green);
        WriteByte(c.Blue);
    }
    void WritePen(const TRLMetaPen& pen);
    void WriteBrush(const TRLMetaBrush& brush);
    void WriteFont(const TRLMetaFont& font);

private:
    QByteArray bytes_;
};
