#include <kelmora/pagestore/RLGraphicData.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QtEndian>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace Kelmora {

namespace {

const QByteArray kNilTag = QByteArrayLiteral("NIL");
const QByteArray kBitmapTag = QByteArrayLiteral("BMP");
const QByteArray kIconTag = QByteArrayLiteral("ICO");
constexpr qsizetype kTagLength = 3;

// Pictures come from files and page records that anyone may hand us; a forged header must not
// make us reserve gigabytes before the first scanline fails. A baseline JPEG is decoded a row
// at a time and may be scaled down as it is read, by up to eight each way: it may declare up to
// 64 times the pixels a picture may have. A progressive one keeps a coefficient for every
// declared sample until its last scan (two bytes each, three samples a pixel at most): twice
// the picture's bound keeps that under 200 MB.
constexpr long long kMaxBaselineJpegPixels = 64 * kMaxPicturePixels;
constexpr long long kMaxProgressiveJpegPixels = 2 * kMaxPicturePixels;

// libjpeg reports fatal errors through error_exit, which must not return. The decoder jumps
// back to the point set in DecodeScanlines; nothing with a destructor lives between the two.
struct JpegErrorManager {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
};

[[noreturn]] void JpegErrorExit(j_common_ptr info) {
    auto* manager = reinterpret_cast<JpegErrorManager*>(info->err);
    std::longjmp(manager->Jump, 1);
}

// Warnings about slightly damaged files are not worth a line on standard error.
void JpegSilentMessage(j_common_ptr /*info*/) {}

inline uint8_t Scale255(int a, int b) {
    return static_cast<uint8_t>((a * b + 127) / 255);
}

// Decodes into *out, which the caller owns and which lives outside this frame, so that a jump
// back here leaves it in a defined state. Only plain values are local to this function.
bool DecodeScanlines(jpeg_decompress_struct* info, JpegErrorManager* errors, QImage* out,
                     long long* declaredPixels) {
    if (setjmp(errors->Jump) != 0) {
        return false;
    }
    jpeg_read_header(info, TRUE);
    // Refused before decompression starts: for a progressive file, starting already reserves
    // buffers for the whole declared image.
    const long long declared = static_cast<long long>(info->image_width) * info->image_height;
    *declaredPixels = declared;
    const long long most =
        info->progressive_mode ? kMaxProgressiveJpegPixels : kMaxBaselineJpegPixels;
    if (declared <= 0 || declared > most) {
        jpeg_abort_decompress(info);
        return false;
    }
    // A picture larger than a report can use comes out scaled down until it fits the bound.
    info->scale_num = 1;
    info->scale_denom = 1;
    while (info->scale_denom < 8 &&
           declared / (static_cast<long long>(info->scale_denom) * info->scale_denom) >
               kMaxPicturePixels) {
        info->scale_denom *= 2;
    }
    const bool cmyk = info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK;
    const bool gray = info->jpeg_color_space == JCS_GRAYSCALE;
    info->out_color_space = cmyk ? JCS_CMYK : gray ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_start_decompress(info);

    const long long width = info->output_width;
    const long long height = info->output_height;
    if (width <= 0 || height <= 0 || width * height > kMaxPicturePixels) {
        jpeg_abort_decompress(info);
        return false;
    }
    *out = QImage(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    if (out->isNull()) {
        jpeg_abort_decompress(info);
        return false;
    }
    const int components = info->output_components;
    JSAMPARRAY row = (*info->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE,
                                                info->output_width * components, 1);
    // Adobe's writers store CMYK inverted; that is the common case for CMYK files.
    const bool inverted = info->saw_Adobe_marker;
    while (info->output_scanline < info->output_height) {
        const int y = static_cast<int>(info->output_scanline);
        if (jpeg_read_scanlines(info, row, 1) != 1) {
            break;
        }
        auto* target = reinterpret_cast<QRgb*>(out->scanLine(y));
        const JSAMPLE* source = row[0];
        for (long long x = 0; x < width; ++x, source += components) {
            if (components == 1) {
                target[x] = qRgb(source[0], source[0], source[0]);
            } else if (components == 4) {
                int c = source[0], m = source[1], ye = source[2], k = source[3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    ye = 255 - ye;
                    k = 255 - k;
                }
                target[x] = qRgb(Scale255(c, k), Scale255(m, k), Scale255(ye, k));
            } else {
                target[x] = qRgb(source[0], source[1], source[2]);
            }
        }
    }
    jpeg_finish_decompress(info);
    return true;
}

// A copy of the image with any transparency laid over white, as drawing it onto a new bitmap
// does; the bitmap format then holds it without loss.
QImage OpaqueCopy(const QImage& image) {
    if (!image.hasAlphaChannel()) {
        return image.convertToFormat(QImage::Format_RGB32);
    }
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.setDotsPerMeterX(image.dotsPerMeterX());
    opaque.setDotsPerMeterY(image.dotsPerMeterY());
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
    return opaque;
}

bool LooksLikeJpeg(const QByteArray& data) {
    return data.size() >= 3 && static_cast<uint8_t>(data[0]) == 0xFF &&
           static_cast<uint8_t>(data[1]) == 0xD8 && static_cast<uint8_t>(data[2]) == 0xFF;
}

} // namespace

QByteArray TaggedDataFromImage(const QImage& image) {
    if (image.isNull()) {
        return kNilTag;
    }
    QByteArray data = kBitmapTag;
    QBuffer buffer(&data);
    buffer.open(QIODevice::Append);
    if (!OpaqueCopy(image).save(&buffer, "BMP")) {
        return kNilTag;
    }
    return data;
}

QImage DecodeTaggedData(const QByteArray& data) {
    if (data.size() <= kTagLength) {
        return {};
    }
    const QByteArray tag = data.left(kTagLength);
    const char* format = nullptr;
    if (tag == kBitmapTag) {
        format = "BMP";
    } else if (tag == kIconTag) {
        format = "ICO";
    } else {
        return {};
    }
    const QByteArray file = data.mid(kTagLength);
    QImage image;
    if (!image.loadFromData(file, format)) {
        return {};
    }
    return image;
}

namespace {

QString TooLarge(long long width, long long height) {
    return QStringLiteral("%1 x %2 pixels, larger than %3 pixels")
        .arg(width)
        .arg(height)
        .arg(kMaxPicturePixels);
}

} // namespace

QImage DecodeJpeg(const QByteArray& data) {
    return DecodeJpeg(data, nullptr);
}

QImage DecodeJpeg(const QByteArray& data, QString* refusal) {
    if (!LooksLikeJpeg(data)) {
        return {};
    }
    jpeg_decompress_struct info{};
    JpegErrorManager errors{};
    info.err = jpeg_std_error(&errors.Base);
    errors.Base.error_exit = JpegErrorExit;
    errors.Base.output_message = JpegSilentMessage;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    QImage image;
    long long declared = 0;
    const bool ok = DecodeScanlines(&info, &errors, &image, &declared);
    const long long width = info.image_width;
    const long long height = info.image_height;
    jpeg_destroy_decompress(&info);
    if (!ok) {
        if (refusal && declared > kMaxPicturePixels) {
            *refusal = TooLarge(width, height);
        }
        return {};
    }
    return image;
}

namespace {

// Whether every chunk of a PNG file lies within the file. The toolkit's PNG reader reserves
// memory for a text chunk by the length the chunk declares before it reads it: a 100-byte file
// declaring a 2 GB comment took 2 GB. No well-formed file declares more than it holds.
bool PngChunksLieWithin(const QByteArray& data) {
    constexpr qsizetype SignatureSize = 8;
    constexpr qsizetype ChunkFrame = 12; // length, type and checksum
    qsizetype at = SignatureSize;
    while (at + ChunkFrame <= data.size()) {
        const auto* bytes = reinterpret_cast<const uchar*>(data.constData() + at);
        const quint32 length = qFromBigEndian<quint32>(bytes);
        if (length > static_cast<quint64>(data.size() - at - ChunkFrame)) {
            return false;
        }
        if (QByteArrayView(data.constData() + at + 4, 4) == "IEND") {
            return true;
        }
        at += ChunkFrame + length;
    }
    return false; // cut off before its end
}

} // namespace

QImage LoadPicture(const QByteArray& fileData, QString* refusal) {
    if (LooksLikeJpeg(fileData)) {
        return DecodeJpeg(fileData, refusal);
    }
    if (fileData.startsWith("\x89PNG\r\n\x1a\n") && !PngChunksLieWithin(fileData)) {
        return {};
    }
    if (fileData.isEmpty()) {
        return {};
    }
    // The size the header declares, before a pixel is decoded: the toolkit's readers decode the
    // whole picture even when asked for a smaller one.
    QBuffer buffer;
    buffer.setData(fileData);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (size.isValid() &&
        static_cast<long long>(size.width()) * size.height() > kMaxPicturePixels) {
        if (refusal) {
            *refusal = TooLarge(size.width(), size.height());
        }
        return {};
    }
    QImage image;
    if (!reader.read(&image)) {
        return {};
    }
    if (static_cast<long long>(image.width()) * image.height() > kMaxPicturePixels) {
        if (refusal) {
            *refusal = TooLarge(image.width(), image.height());
        }
        return {};
    }
    return image;
}

QImage LoadPictureFile(const QString& path, QString* refusal) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return LoadPicture(file.readAll(), refusal);
}

} // namespace Kelmora
