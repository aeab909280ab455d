#include <kelmora/support/RLCodec.h>

#include <QStringDecoder>

#include <array>
#include <cstdint>

namespace Kelmora {

namespace {

// Characters of bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The byte of a character; -1 when the code page lacks it.
int EncodeChar(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<int>(c);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == c) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

} // namespace

QString DecodeWindows1252(const QByteArray& bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<uint8_t>(bytes[i]);
        out[i] = (byte >= 0x80 && byte < 0xA0) ? QChar(kHighControls[byte - 0x80]) : QChar(byte);
    }
    return text;
}

qsizetype EncodeWindows1252To(QStringView text, char* out, bool* lost) {
    char* const start = out;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) { // the common case, kept out of the table search
            *out++ = static_cast<char>(c);
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < size && text[i + 1].isLowSurrogate())
            ++i;
        const int byte = EncodeChar(c);
        if (byte < 0 && lost)
            *lost = true;
        *out++ = static_cast<char>(byte < 0 ? '?' : byte);
    }
    return out - start;
}

bool FitsWindows1252(QStringView text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x80 && EncodeChar(c.unicode()) < 0)
            return false;
    return true;
}

std::optional<QString> DecodeUtf8Exactly(QByteArrayView bytes) {
    // The decoder alone lets a sequence cut at the end pass as a replacement character.
    if (!bytes.isValidUtf8())
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

QByteArray EncodeWindows1252(QStringView text) {
    QByteArray bytes(text.size(), Qt::Uninitialized);
    bytes.truncate(EncodeWindows1252To(text, bytes.data()));
    return bytes;
}

} // namespace Kelmora
