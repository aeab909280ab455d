#include <kelmora/pagestore/RLBinaryIO.h>

#include <kelmora/support/RLCodec.h>

#include <QBuffer>
#include <QStringEncoder>

#include <cerrno>

namespace Kelmora {

void ThrowFileCorrupted() {
    throw TRLException(QStringLiteral("File is corrupted!"));
}

template <class Derived> QString TRLReaderBase<Derived>::ReadCountedString() {
    const QByteArray bytes = ReadCountedBytes();
    if (textEncoding_ == TRLTextEncoding::Windows1252)
        return DecodeWindows1252(bytes);
    std::optional<QString> text = DecodeUtf8Exactly(bytes);
    if (!text)
        ThrowFileCorrupted();
    return *std::move(text);
}

template <class Derived> TRLMetaPen TRLReaderBase<Derived>::ReadPen() {
    return {.Color = ReadColor(), .Mode = ReadByte(), .Style = ReadByte(), .Width = ReadInt32()};
}

template <class Derived> TRLMetaBrush TRLReaderBase<Derived>::ReadBrush() {
    return {.Color = ReadColor(), .Style = ReadByte()};
}

template <class Derived> TRLMetaFont TRLReaderBase<Derived>::ReadFont() {
    return {.PixelsPerInch = ReadInt32(),
            .Charset = ReadByte(),
            .Color = ReadColor(),
            .Height = ReadInt32(),
            .NameIndex = ReadInt32(),
            .Pitch = ReadByte(),
            .Size = ReadInt32(),
            .Style = ReadByte()};
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

bool WriteWhole(QIODevice& device, QByteArrayView bytes, QString& reason) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        errno = 0;
        const qint64 written = device.write(bytes.data() + done, bytes.size() - done);
        if (written <= 0) {
            reason = FailureReason(device, errno);
            return false;
        }
        done += static_cast<qsizetype>(written);
    }
    return true;
}

QString FailureReason(const QIODevice& device, int errorNumber) {
    // The toolkit's words for a device that gave no reason at all.
    static const QString none = QBuffer().errorString();
    const QString own = device.errorString();
    if (!own.isEmpty() && own != none)
        return own;
    if (errorNumber != 0)
        return qt_error_string(errorNumber);
    return QStringLiteral("the device took no more bytes");
}

void TRLPageWriter::PatchInt32(qint64 position, int32_t value) {
    const auto v = static_cast<uint32_t>(value);
    char* p = buffer_.data() + position; // inside what was written: no growth needed
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8 & 0xFF);
    p[2] = char(v >> 16 & 0xFF);
    p[3] = char(v >> 24);
}

void TRLPageWriter::WriteCountedString(const QString& text) {
    // Encoded straight into the buffer, reserved for the longest form: one byte a character in
    // the code page, at most three bytes a UTF-16 unit in UTF-8.
    const qint64 countAt = size_;
    qsizetype length = 0;
    if (textEncoding_ == TRLTextEncoding::Windows1252) {
        char* out = Reserve(4 + text.size()) + 4;
        length = EncodeWindows1252To(text, out, &textLost_);
    } else {
        QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
        char* out = Reserve(4 + encoder.requiredSpace(text.size())) + 4;
        length = encoder.appendToBuffer(out, text) - out;
    }
    size_ = countAt + 4 + length;
    PatchInt32(countAt, static_cast<int32_t>(length));
}

void TRLPageWriter::WritePen(const TRLMetaPen& pen) {
    TRLFieldBlock<9> block;
    block.Pen(pen);
    WriteBlock(block);
}

void TRLPageWriter::WriteBrush(const TRLMetaBrush& brush) {
    TRLFieldBlock<4> block;
    block.Brush(brush);
    WriteBlock(block);
}

void TRLPageWriter::WriteFont(const TRLMetaFont& font) {
    TRLFieldBlock<22> block;
    block.Int32(font.PixelsPerInch);
    block.Byte(font.Charset);
    block.Color(font.Color);
    block.Int32(font.Height);
    block.Int32(font.NameIndex);
    block.Byte(font.Pitch);
    block.Int32(font.Size);
    block.Byte(font.Style);
    WriteBlock(block);
}

} // namespace Kelmora
