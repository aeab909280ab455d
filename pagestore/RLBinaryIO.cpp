#include "RLBinaryIO.h"

#include "RLCodec.h"

QString FileCorruptedMessage() {
    return QStringLiteral("File is corrupted!");
}

void ThrowFileCorrupted() {
    throw TRLException(FileCorruptedMessage());
}

template <class Derived> QString TRLReaderBase<Derived>::ReadCountedString() {
    return DecodeWindows1252(ReadCountedBytes());
}

template <class Derived> TRLMetaPen TRLReaderBase<Derived>::ReadPen() {
    TRLMetaPen pen;
    pen.Color = ReadColor();
    pen.Mode = ReadByte();
    pen.Style = ReadByte();
    pen.Width = ReadInt32();
    return pen;
}

template <class Derived> TRLMetaBrush TRLReaderBase<Derived>::ReadBrush() {
    TRLMetaBrush brush;
    brush.Color = ReadColor();
    brush.Style = ReadByte();
    return brush;
}

template <class Derived> TRLMetaFont TRLReaderBase<Derived>::ReadFont() {
    TRLMetaFont font;
    font.PixelsPerInch = ReadInt32();
    font.Charset = ReadByte();
    font.Color = ReadColor();
    font.Height = ReadInt32();
    font.NameIndex = ReadInt32();
    font.Pitch = ReadByte();
    font.Size = ReadInt32();
    font.Style = ReadByte();
    return font;
}

template class TRLReaderBase<TRLSpanReader>;
template class TRLReaderBase<TRLDeviceReader>;

void TRLDeviceReader::ReadRaw(void* target, qint64 length) {
    if (length < 0 || length > Remaining())
        ThrowFileCorrupted();
    if (device_.read(static_cast<char*>(target), length) != length)
        throw TRLException(
            QStringLiteral("Cannot read %1: %2").arg(device_.objectName(), device_.errorString()));
}

qint64 TRLDeviceReader::Remaining() const {
    return device_.size() - device_.pos();
}

void TRLDeviceReader::Seek(qint64 position) {
    if (position < 0 || position > device_.size() || !device_.seek(position))
        ThrowFileCorrupted();
}

void TRLPageWriter::PatchInt32(qint64 position, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    char* p = bytes_.data() + position;
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8 & 0xFF);
    p[2] = char(v >> 16 & 0xFF);
    p[3] = char(v >> 24);
}

void TRLPageWriter::WriteCountedString(const QString& text) {
    WriteCountedBytes(EncodeWindows1252(text));
}

void TRLPageWriter::WritePen(const TRLMetaPen& pen) {
    WriteColor(pen.Color);
    WriteByte(pen.Mode);
    WriteByte(pen.Style);
    WriteInt32(pen.Width);
}

void TRLPageWriter::WriteBrush(const TRLMetaBrush& brush) {
    WriteColor(brush.Color);
    WriteByte(brush.Style);
}

void TRLPageWriter::WriteFont(const TRLMetaFont& font) {
    WriteInt32(font.PixelsPerInch);
    WriteByte(font.Charset);
    WriteColor(font.Color);
    WriteInt32(font.Height);
    WriteInt32(font.NameIndex);
    WriteByte(font.Pitch);
    WriteInt32(font.Size);
    WriteByte(font.Style);
}
