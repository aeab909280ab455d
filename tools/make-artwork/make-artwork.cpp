// Draws the program's pictures: the faculty's crest for the documents' letterhead, the main
// window's background, the About box logo and the two button glyphs. Run once by hand; the
// results are committed, so the build never depends on fonts or on this program.
//
// The script lettering uses the URW Chancery face (family "Z003", Debian package
// fonts-urw-base35); the plain lettering uses Liberation Sans.
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

namespace {

const QColor kNavy(0x1c, 0x2f, 0x6b);
const QColor kGold(0xc9, 0x9a, 0x2e);
const QColor kRed(0xa3, 0x1f, 0x2a);

[[noreturn]] void Fail(const QString& message) {
    std::fprintf(stderr, "make-artwork: %s\n", qPrintable(message));
    std::exit(1);
}

// Writes an RGB JPEG through libjpeg; the About logo asks for progressive scans.
void WriteJpeg(const QImage& source, const QString& path, bool progressive) {
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(image.width());
    info.image_height = static_cast<JDIMENSION>(image.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 92, TRUE);
    if (progressive) {
        jpeg_simple_progression(&info);
    }
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(image.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(buffer), static_cast<qint64>(size)) !=
            static_cast<qint64>(size)) {
        Fail(QStringLiteral("cannot write %1").arg(path));
    }
    std::free(buffer);
    jpeg_destroy_compress(&info);
}

// One page of the crest's open book, curving away from the spine to the left (side -1) or to the
// right (side 1).
QPainterPath BookPage(int side) {
    const double spine = 49.5;
    QPainterPath page;
    page.moveTo(spine, 52);
    page.cubicTo(spine + side * 9.5, 46, spine + side * 21.5, 46, spine + side * 29.5, 49);
    page.lineTo(spine + side * 29.5, 78);
    page.cubicTo(spine + side * 21.5, 75, spine + side * 9.5, 75, spine, 81);
    page.closeSubpath();
    return page;
}

// The crest in a 99 x 144 design box: a shield with an open book above a laurel, a star on the
// chief, the faculty's initial on the book, and a ribbon below.
void PaintCrest(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shield;
    shield.moveTo(8, 10);
    shield.lineTo(91, 10);
    shield.lineTo(91, 70);
    shield.cubicTo(91, 100, 70, 114, 49.5, 124);
    shield.cubicTo(29, 114, 8, 100, 8, 70);
    shield.closeSubpath();
    p.setPen(QPen(kGold, 4));
    p.setBrush(kNavy);
    p.drawPath(shield);

    // Chief: a gold band with a star.
    p.save();
    p.setClipPath(shield);
    p.fillRect(QRectF(8, 10, 83, 24), kGold);
    p.restore();
    QPainterPath star;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 == 0 ? 9.0 : 3.8;
        const double a = -M_PI / 2 + i * M_PI / 5;
        const QPointF pt(49.5 + r * std::cos(a), 22 + r * std::sin(a));
        i == 0 ? star.moveTo(pt) : star.lineTo(pt);
    }
    star.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawPath(star);

    // Open book.
    p.setPen(QPen(kNavy.darker(150), 1.2));
    p.setBrush(Qt::white);
    p.drawPath(BookPage(-1));
    p.drawPath(BookPage(1));
    p.setPen(QPen(QColor(0x70, 0x70, 0x80), 0.8));
    for (int i = 0; i < 4; ++i) {
        const double y = 57 + i * 5;
        p.drawLine(QPointF(25, y), QPointF(44, y + 1.5));
        p.drawLine(QPointF(55, y + 1.5), QPointF(74, y));
    }
    QFont initial(QStringLiteral("Z003"));
    initial.setPixelSize(20);
    p.setFont(initial);
    p.setPen(kGold);
    p.drawText(QRectF(20, 84, 59, 26), Qt::AlignCenter, QStringLiteral("C"));

    // Laurel twigs along the lower edge of the shield.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3f, 0x8a, 0x3a));
    for (int side = -1; side <= 1; side += 2) {
        for (int i = 0; i < 4; ++i) {
            p.save();
            p.translate(49.5 + side * (14 + i * 6.5), 112 - i * 8);
            p.rotate(side * (30 + i * 12));
            p.drawEllipse(QRectF(-2.5, -6, 5, 12));
            p.restore();
        }
    }

    // Ribbon.
    p.setPen(QPen(kNavy, 1));
    p.setBrush(kGold);
    QPainterPath ribbon;
    ribbon.moveTo(6, 124);
    ribbon.cubicTo(30, 132, 69, 132, 93, 124);
    ribbon.lineTo(93, 137);
    ribbon.cubicTo(69, 145, 30, 145, 6, 137);
    ribbon.closeSubpath();
    p.drawPath(ribbon);
    QFont motto(QStringLiteral("Liberation Serif"));
    motto.setPixelSize(8);
    motto.setBold(true);
    motto.setLetterSpacing(QFont::AbsoluteSpacing, 0.6);
    p.setFont(motto);
    p.setPen(kNavy);
    p.drawText(QRectF(6, 126, 87, 12), Qt::AlignCenter, QStringLiteral("SCIENTIA"));
}

QImage WhitePicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

QImage Crest(int width, int height) {
    QImage image = WhitePicture(width, height);
    QPainter p(&image);
    p.scale(width / 99.0, height / 144.0);
    PaintCrest(p);
    return image;
}

void DrawCrestAt(QPainter& p, const QRectF& box) {
    p.save();
    p.translate(box.topLeft());
    p.scale(box.width() / 99.0, box.height() / 144.0);
    PaintCrest(p);
    p.restore();
}

QFont Script(int pixelSize) {
    QFont font(QStringLiteral("Z003"));
    font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// A line of script lettering centred in its box.
void DrawScript(QPainter& p, const QColor& colour, int pixelSize, const QRectF& box,
                const QString& text) {
    p.setPen(colour);
    p.setFont(Script(pixelSize));
    p.drawText(box, Qt::AlignCenter, text);
}

// 650 x 332: the crest above the institution's and the faculty's names in script lettering.
QImage MainPicture() {
    QImage image = WhitePicture(650, 332);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    DrawCrestAt(p, QRectF(325 - 63, 6, 126, 183));
    DrawScript(p, kNavy, 46, QRectF(0, 190, 650, 66),
               QStringLiteral("Universidad Nacional de Brendal"));
    p.setPen(QPen(kGold, 1.5));
    p.drawLine(QPointF(165, 262), QPointF(485, 262));
    DrawScript(p, kRed.darker(110), 40, QRectF(0, 266, 650, 56),
               QStringLiteral("Facultad de Corvath"));
    return image;
}

// 109 x 164: the crest with the system's name beneath it.
QImage AboutLogo() {
    QImage image = WhitePicture(109, 164);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawCrestAt(p, QRectF(14, 2, 81, 118));
    DrawScript(p, kNavy, 28, QRectF(0, 120, 109, 40), QStringLiteral("Kelmora"));
    return image;
}

void DrawDoor(QPainter& p) {
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    p.setBrush(QColor(0xd8, 0xd8, 0xd8));
    p.drawRect(QRect(2, 1, 11, 15)); // frame
    QPolygon leaf({QPoint(3, 2), QPoint(10, 4), QPoint(10, 16), QPoint(3, 15)});
    p.setBrush(QColor(0x9c, 0x5b, 0x24));
    p.drawPolygon(leaf);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf2, 0xc1, 0x3a));
    p.drawRect(QRect(8, 9, 2, 2));               // knob
    p.setPen(QPen(QColor(0x20, 0x60, 0xc0), 1)); // arrow leaving through the door
    p.drawLine(11, 8, 15, 8);
    p.drawLine(14, 6, 15, 8);
    p.drawLine(14, 10, 15, 8);
}

void DrawPrinter(QPainter& p) {
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRect(4, 1, 8, 5)); // paper in
    p.setBrush(QColor(0xa8, 0xa8, 0xa8));
    p.drawRect(QRect(1, 6, 14, 6)); // body
    p.setBrush(Qt::white);
    p.drawRect(QRect(4, 10, 8, 5)); // paper out
    p.setPen(QColor(0x30, 0x30, 0x30));
    p.drawLine(5, 12, 10, 12);
    p.drawLine(5, 14, 9, 14);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x20, 0xb0, 0x20));
    p.drawRect(QRect(12, 8, 1, 1)); // lamp
}

// 74 x 17 button glyph as a 256-colour bitmap. Its bottom-left pixel is the transparent colour,
// the convention such glyphs follow; the program masks that colour out when it loads them.
QImage ButtonGlyph(void (*icon)(QPainter&), const QString& caption) {
    const QColor key(0xff, 0x00, 0xff);
    QImage image(74, 17, QImage::Format_RGB32);
    image.fill(key);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    icon(p);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(12);
    font.setStyleStrategy(QFont::NoAntialias);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(QRect(19, 0, 55, 17), Qt::AlignLeft | Qt::AlignVCenter, caption);
    p.end();
    return image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
}

void Save(const QImage& image, const QString& path, const char* format) {
    if (!image.save(path, format)) {
        Fail(QStringLiteral("cannot write %1").arg(path));
    }
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        Fail(QStringLiteral("usage: make-artwork ASSETS-DIRECTORY"));
    }
    const QStringList families = QFontDatabase::families();
    if (!std::any_of(families.begin(), families.end(),
                     [](const QString& f) { return f.startsWith(QStringLiteral("Z003")); })) {
        Fail(QStringLiteral("the script face Z003 (fonts-urw-base35) is not installed"));
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    WriteJpeg(Crest(99, 144), out.filePath(QStringLiteral("crest.jpg")), false);
    WriteJpeg(MainPicture(), out.filePath(QStringLiteral("principal.jpg")), false);
    WriteJpeg(AboutLogo(), out.filePath(QStringLiteral("acercade.jpg")), true);
    Save(ButtonGlyph(DrawDoor, QStringLiteral("Cerrar")),
         out.filePath(QStringLiteral("cerrar.bmp")), "BMP");
    Save(ButtonGlyph(DrawPrinter, QStringLiteral("Imprimir")),
         out.filePath(QStringLiteral("imprimir.bmp")), "BMP");
    return 0;
}
