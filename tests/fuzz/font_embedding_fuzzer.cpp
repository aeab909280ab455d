// Feeds arbitrary bytes, as a font file, to the PDF writer: its reading of the font's tables (the
// PostScript name, the advances, the metrics of the descriptor) and HarfBuzz's subsetting of what
// a page used. A font the toolkit loads from the bytes must give a document or an error, never a
// crash, a hang or a read outside a table.
// fuzz-libs: rlpdf
#include "RLPdfWriter.h"
#include <kelmora/pagestore/RLCanvas.h>

#include <QBuffer>
#include <QByteArray>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QPaintEngine>
#include <QPainter>
#include <QRawFont>

#include <cstdint>

using namespace Kelmora;

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QRawFont font(bytes, 40);
    if (!font.isValid())
        return 0;
    // The first glyphs and those of a few letters, as a text would use them.
    QList<quint32> glyphs = font.glyphIndexesForString(QStringLiteral("Año Ωμέγα"));
    for (quint32 glyph = 0; glyph < 8; ++glyph)
        glyphs.append(glyph);
    QList<QPointF> positions;
    for (qsizetype i = 0; i < glyphs.size(); ++i)
        positions.append(QPointF(40.0 * static_cast<double>(i), 0));
    QGlyphRun run;
    run.setRawFont(font);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);

    QBuffer out;
    out.open(QIODevice::WriteOnly);
    TRLPdfWriter writer(out, 96);
    TRLPdfPage page(writer, QSizeF(595, 842));
    QPainter painter(&page);
    // As the canvas does: the engine is told the characters the glyphs stand for.
    if (auto* sink = dynamic_cast<TRLTextRunSink*>(painter.paintEngine()))
        sink->AnnounceRun(
            {font, glyphs, positions, QPointF(20, 100), QString(glyphs.size(), QChar(u'ñ'))});
    painter.drawGlyphRun(QPointF(20, 100), run);
    painter.end();
    page.AddTo(writer);
    writer.Finish();
    return 0;
}
