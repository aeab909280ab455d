/// @file
/// Little-endian readers and writers for page records and page-store files. Readers check every
/// count and length against the bytes that remain before they allocate or read anything, so a
/// damaged or hostile file can only ever produce an error.
#pragma once

#include <kelmora/pagestore/RLMetaTypes.h>
#include <kelmora/support/RLCore.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace Kelmora {

/// Raises the error of every structural reading failure.
[[noreturn]] void ThrowFileCorrupted();

/// How the counted strings of a page record or a page-store file are kept. Windows-1252 is what
/// every reader of the older versions knows; UTF-8 keeps every character.
enum class TRLTextEncoding : uint8_t { Windows1252, Utf8 };

/// Shared decoding on top of a source that can hand out raw bytes. Derived classes provide
/// ReadRaw(void*, qint64) and Remaining().
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
    /// A count that must be followed by at least count * minimumItemSize bytes.
    int32_t ReadCount(qint64 minimumItemSize) {
        const int32_t count = ReadInt32();
        if (count < 0 || (minimumItemSize > 0 && count > self().Remaining() / minimumItemSize))
            ThrowFileCorrupted();
        return count;
    }
    QByteArray ReadBytes(qint64 length) {
        CheckLength(length);
        QByteArray bytes(static_cast<qsizetype>(length), Qt::Uninitialized);
        if (length > 0)
            self().ReadRaw(bytes.data(), length);
        return bytes;
    }
    /// Reads length bytes into bytes, whose room is used again when it suffices.
    void ReadBytesInto(QByteArray& bytes, qint64 length) {
        CheckLength(length);
        bytes.resize(static_cast<qsizetype>(length));
        if (length > 0)
            self().ReadRaw(bytes.data(), length);
    }
    QByteArray ReadCountedBytes() { return ReadBytes(ReadCount(1)); }
    /// A signature: the bytes up to and including the first 0x1A, at most 20 of them, fewer
    /// when the input ends first. The caller compares it with the signatures it knows.
    QByteArray ReadSignature() {
        QByteArray signature;
        while (signature.size() < 20 && self().Remaining() > 0) {
            const char c = static_cast<char>(ReadByte());
            signature.append(c);
            if (c == '\x1A')
                break;
        }
        return signature;
    }
    /// Counted text in the reader's encoding. Bytes that are not UTF-8 where UTF-8 is due are
    /// damage, as any other wrong length or count.
    QString ReadCountedString();
    TRLTextEncoding TextEncoding() const { return textEncoding_; }
    void SetTextEncoding(TRLTextEncoding encoding) { textEncoding_ = encoding; }
    QStringList ReadStringList() {
        const int32_t count = ReadCount(4);
        QStringList list;
        list.reserve(count);
        for (int32_t i = 0; i < count; ++i)
            list.append(ReadCountedString());
        return list;
    }
    /// The fields of a value in the order they are stored; a braced list is read left to right.
    TRLMetaPoint ReadPoint() { return {.X = ReadInt32(), .Y = ReadInt32()}; }
    TRLMetaRect ReadRect() {
        return {
            .Left = ReadInt32(), .Top = ReadInt32(), .Right = ReadInt32(), .Bottom = ReadInt32()};
    }
    TRLMetaColor ReadColor() {
        return {.Red = ReadByte(), .Green = ReadByte(), .Blue = ReadByte()};
    }
    TRLMetaPen ReadPen();
    TRLMetaBrush ReadBrush();
    TRLMetaFont ReadFont();

private:
    Derived& self() { return static_cast<Derived&>(*this); }
    /// A length must be no more than what remains.
    void CheckLength(qint64 length) {
        if (length < 0 || length > self().Remaining())
            ThrowFileCorrupted();
    }
    TRLTextEncoding textEncoding_ = TRLTextEncoding::Windows1252;
};

/// Reads from bytes held in memory (a page record).
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

/// Reads from a random-access device, never past its size.
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

/// Little-endian encoding into a small local block. Fields are gathered in such blocks and
/// copied into the page writer in one piece: stores through the writer's own buffer could alias
/// the writer's state and force the compiler to reload it after every byte.
template <size_t N> class TRLFieldBlock {
public:
    void Byte(uint8_t value) { bytes_[pos_++] = value; }
    void Int32(int32_t value) {
        const auto v = static_cast<uint32_t>(value);
        bytes_[pos_++] = static_cast<unsigned char>(v & 0xFF);
        bytes_[pos_++] = static_cast<unsigned char>(v >> 8 & 0xFF);
        bytes_[pos_++] = static_cast<unsigned char>(v >> 16 & 0xFF);
        bytes_[pos_++] = static_cast<unsigned char>(v >> 24);
    }
    void UInt16(uint16_t value) {
        bytes_[pos_++] = static_cast<unsigned char>(value & 0xFF);
        bytes_[pos_++] = static_cast<unsigned char>(value >> 8);
    }
    void Color(const TRLMetaColor& c) {
        Byte(c.Red);
        Byte(c.Green);
        Byte(c.Blue);
    }
    void Rect(const TRLMetaRect& r) {
        Int32(r.Left);
        Int32(r.Top);
        Int32(r.Right);
        Int32(r.Bottom);
    }
    void Pen(const TRLMetaPen& pen) {
        Color(pen.Color);
        Byte(pen.Mode);
        Byte(pen.Style);
        Int32(pen.Width);
    }
    void Brush(const TRLMetaBrush& brush) {
        Color(brush.Color);
        Byte(brush.Style);
    }
    const unsigned char* Data() const { return bytes_; }
    size_t Size() const { return pos_; }

private:
    unsigned char bytes_[N];
    size_t pos_ = 0;
};

/// Writes all of bytes to device, again after a short write: a disk that fills up takes part of a
/// block without complaint and says why only on the next write. False when the device takes no
/// more, with the reason in reason.
bool WriteWhole(QIODevice& device, QByteArrayView bytes, QString& reason);

/// Why a call on device just failed: the device's own words, or, where it has none (a buffered
/// file forgets the system's reason, a committed one clears it), the system's words for the
/// error number the failed call left behind.
QString FailureReason(const QIODevice& device, int errorNumber);

/// Writes a page record or any other block into memory; the block is then written to its
/// device in one call. Pages are written often and in many small pieces, so the buffer is
/// grown by doubling and filled with plain copies.
class TRLPageWriter {
public:
    TRLPageWriter() : buffer_(1024) {}

    /// The bytes written so far; the writer is left empty.
    QByteArray Take() {
        QByteArray bytes(buffer_.data(), static_cast<qsizetype>(size_));
        size_ = 0;
        return bytes;
    }
    const char* Data() const { return buffer_.data(); }
    /// Starts again at the beginning, keeping the buffer for the next block.
    void Clear() { size_ = 0; }
    qint64 Size() const { return size_; }
    /// Drops what was written after the first size bytes.
    void Truncate(qint64 size) { size_ = std::min(size_, std::max<qint64>(size, 0)); }

    /// The encoding of the strings written from now on. Writing in Windows-1252 turns what the
    /// code page lacks into "?" and records that in TextLost, so that a writer can tell whether
    /// the block it made keeps every character.
    TRLTextEncoding TextEncoding() const { return textEncoding_; }
    void SetTextEncoding(TRLTextEncoding encoding) { textEncoding_ = encoding; }
    bool TextLost() const { return textLost_; }
    void ResetTextLost() { textLost_ = false; }

    void WriteRaw(const void* data, qint64 length) {
        std::memcpy(Reserve(length), data, static_cast<size_t>(length));
    }
    void WriteBytes(const QByteArray& bytes) { WriteRaw(bytes.constData(), bytes.size()); }
    void WriteByte(uint8_t value) { *Reserve(1) = static_cast<char>(value); }
    void WriteInt32(int32_t value) {
        const auto v = static_cast<uint32_t>(value);
        char* p = Reserve(4);
        p[0] = char(v & 0xFF);
        p[1] = char(v >> 8 & 0xFF);
        p[2] = char(v >> 16 & 0xFF);
        p[3] = char(v >> 24);
    }
    /// Overwrites four bytes written earlier (a length placeholder).
    void PatchInt32(qint64 position, int32_t value);
    void WriteCountedBytes(const QByteArray& bytes) {
        WriteInt32(static_cast<int32_t>(bytes.size()));
        WriteBytes(bytes);
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
    template <size_t N> void WriteBlock(const TRLFieldBlock<N>& block) {
        WriteRaw(block.Data(), static_cast<qint64>(block.Size()));
    }
    void WriteColor(const TRLMetaColor& c) {
        char* p = Reserve(3);
        p[0] = static_cast<char>(c.Red);
        p[1] = static_cast<char>(c.Green);
        p[2] = static_cast<char>(c.Blue);
    }
    void WritePen(const TRLMetaPen& pen);
    void WriteBrush(const TRLMetaBrush& brush);
    void WriteFont(const TRLMetaFont& font);

private:
    /// Room for length more bytes; returns where they go.
    char* Reserve(qint64 length) {
        if (size_ + length > static_cast<qint64>(buffer_.size()))
            buffer_.resize(
                std::max<size_t>(buffer_.size() * 2, static_cast<size_t>(size_ + length)));
        char* p = buffer_.data() + size_;
        size_ += length;
        return p;
    }

    std::vector<char> buffer_;
    qint64 size_ = 0;
    TRLTextEncoding textEncoding_ = TRLTextEncoding::Windows1252;
    bool textLost_ = false;
};

} // namespace Kelmora
