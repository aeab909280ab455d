// Feeds arbitrary bytes to the picture decoders that page-store files reach: tagged picture data
// ("BMP" and "ICO" through the toolkit's readers) and JPEG through libjpeg. A damaged or hostile
// picture must decode to a picture or to nothing, never crash, hang or allocate without bound (a
// JPEG's declared size is limited before decoding). A picture that decodes is drawn scaled, as the
// page store draws pictures.
//
// Picture files of any other kind (a layout's PNG) go to the toolkit's own format probing, which is
// not fuzzed here: its PNG reader takes some 2 GB on a damaged 276-byte file, beyond what this
// program can bound.
// fuzz-libs: rlpagestore
#include <kelmora/pagestore/RLGraphicData.h>

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdint>

using namespace Kelmora;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

namespace {

void Draw(const QImage& picture) {
    if (picture.isNull())
        return;
    QImage target(32, 32, QImage::Format_RGB32);
    target.fill(Qt::white);
    QPainter painter(&target);
    painter.drawImage(QRect(0, 0, 32, 32), picture);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // The same bytes as a page record's picture (they carry their own tag) and as a JPEG.
    Draw(DecodeTaggedData(bytes));
    Draw(DecodeJpeg(bytes));
    return 0;
}
