// Feeds arbitrary bytes to the page-record reader. Whatever a record says, reading must end in
// a page or in "File is corrupted!", never in a crash, a hang or an unbounded allocation; a
// page that was read must write back and read again to the same bytes, and must draw: every
// page that parses is painted into a small picture, so that drawing is searched for hangs too.
// fuzz-libs: rlpagestore
#include <kelmora/pagestore/RLGraphicSurface.h>

#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <cstdlib>

using namespace Kelmora;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TRLGraphicSurface page;
    try {
        page.LoadFromBytes(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    } catch (const TRLException&) {
        return 0;
    }
    const QByteArray written = page.SaveToBytes();
    TRLGraphicSurface again;
    again.LoadFromBytes(written);
    if (again.SaveToBytes() != written)
        std::abort();

    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    try {
        page.PaintTo(painter, QRect(0, 0, 64, 48));
    } catch (const TRLException&) {
    }
    return 0;
}
