// The PDF writer of our own, read back by poppler and compared with the toolkit's writer.
#include "OutputTestSupport.h"
#include "RLPdfWriter.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace outputtest;

namespace {

// A page with most of what reports draw: texts of four fonts and three alignments (one clipped by
// its cell), frames, a dashed rule, shapes, fills and an opaque picture.
std::shared_ptr<TRLGraphicSurface> VariedPage(int number, bool landscape = false) {
    auto page = OpenPage({landscape ? MetaOrientationLandscape : MetaOrientationPortrait});
    page->SetBrush({Qt::white, TRLBrushStyle::Clear});
    const auto text = [&](const TRLFont& font, const TRLRect& cell, const QString& text,
                          uint8_t alignment) {
        page->SetFont(font);
        page->TextRectEx(cell, cell.Left, cell.Top, text, alignment, MetaTextLayoutTop, 0);
    };
    text({.Name = "Liberation Sans", .Size = 16, .Style = fsBold}, {60, 40, 700, 80},
         QStringLiteral("DECLARACIÓN JURADA %1").arg(number), MetaTextAlignmentLeft);
    text({.Name = "Liberation Serif", .Size = 10, .Style = fsItalic}, {60, 90, 700, 110},
         "Señor Decano de la Facultad: Íñigo Núñez, Zoë Peña", MetaTextAlignmentCenter);
    text({.Name = "Liberation Sans", .Size = 9}, {60, 120, 700, 140}, "Importe total: 12.345,67 €",
         MetaTextAlignmentRight);
    text({.Name = "Liberation Mono", .Size = 11, .Color = Qt::darkRed}, {60, 150, 200, 170},
         "Un texto mucho más ancho que su celda", MetaTextAlignmentLeft);
    page->SetPen({.Width = 2});
    page->Rectangle(40, 30, 720, 200);
    page->SetPen({.Style = TRLPenStyle::Dash});
    page->MoveTo(60, 220);
    page->LineTo(700, 220);
    page->SetPen({.Color = Qt::blue, .Width = 3});
    page->SetBrush({QColor(200, 230, 200), TRLBrushStyle::Solid});
    page->Ellipse({60, 240, 260, 340});
    page->Polygon({{300, 340}, {400, 240}, {500, 340}});
    page->Polyline({{520, 340}, {560, 240}, {600, 340}, {640, 240}});
    page->SetBrush({Qt::black, TRLBrushStyle::Solid});
    page->FillRect({60, 360 + 10 * number, 300, 380 + 10 * number});
    QImage picture(60, 40, QImage::Format_RGB32);
    picture.fill(QColor(30, 60, 150));
    for (int x = 0; x < 60; x += 6)
        for (int y = 0; y < 40; ++y)
            picture.setPixel(x, y, qRgb(250, 200, 0));
    page->StretchDraw({400, 400, 580, 520}, picture);
    page->Close();
    return page;
}

using PageDrawing = std::function<void(QPainter&, int)>;

class PdfWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HasPoppler())
            GTEST_SKIP() << "poppler-utils are not installed";
    }
    // Archival files are written by the toolkit's writer.
    QString Write(const QString& name, bool archival = false) {
        const QString file = dir.filePath(name);
        TRLPDFFilter filter;
        filter.SetShowProgress(false);
        filter.SetArchival(archival);
        filter.SetFileName(file);
        FilterPages(&store, &filter, 1, false);
        return file;
    }
    // Pages 1 to count drawn straight onto our writer's pages, on A4 or the paper of sizeOf (in
    // points), which must make a whole document.
    QString Drawn(
        const QString& name, int count, const PageDrawing& draw,
        const std::function<QSizeF(int)>& sizeOf = [](int) { return QSizeF(595, 842); }) {
        QFile out(dir.filePath(name));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        TRLPdfWriter writer(out);
        for (int n = 1; n <= count; ++n) {
            TRLPdfPage page(writer, sizeOf(n));
            QPainter painter(&page);
            draw(painter, n);
            painter.end();
            EXPECT_TRUE(page.AddTo(writer)) << n;
        }
        EXPECT_TRUE(writer.Finish()) << writer.ErrorString().toStdString();
        return out.fileName();
    }
    QTemporaryDir dir;
    // A store with an owner stays when the last run lets go of it.
    QObject owner;
    TRLGraphicStorage store{&owner};
};

// Share of the pixels of two renderings of a page that differ clearly.
double DifferingShare(const QImage& a, const QImage& b) {
    if (a.size() != b.size() || a.isNull())
        return 1;
    qsizetype differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* left = a.constScanLine(y);
        const uchar* right = b.constScanLine(y);
        for (int x = 0; x < a.width(); ++x)
            differing += std::abs(int(left[x]) - int(right[x])) > 96;
    }
    return double(differing) / (double(a.width()) * a.height());
}

// Placement of glyphs, clips, strokes, fills and pictures all show at 100 pixels per inch.
TEST_F(PdfWriterTest, PagesLookAsTheToolkitsWriterDrawsThem) {
    store.Add(VariedPage(1));
    store.Add(VariedPage(2, true));
    const QString ours = Write("ours.pdf");
    const QString toolkit = Write("toolkit.pdf", true);
    EXPECT_EQ(PdfPageSizes(ours), PdfPageSizes(toolkit));
    ASSERT_EQ(PdfPageSizes(ours).size(), 2);
    for (int page = 1; page <= 2; ++page) {
        SCOPED_TRACE(page);
        const QImage mine = RasterizePdf(ours, page, 100);
        EXPECT_LT(DifferingShare(mine, RasterizePdf(toolkit, page, 100)), 0.001);
        // The clipped text ends at its cell (x = 200 report pixels, 208 at 100 per inch).
        EXPECT_NEAR(InkBox(mine, QRect(55, 150, 500, 30)).right(), 200, 9);
    }
}

// Poppler reads the texts back through each subset's map to its characters; a character the font
// lacks is drawn as an outline instead of being lost.
TEST_F(PdfWriterTest, TextsStayTextInEmbeddedSubsetFonts) {
    store.Add(VariedPage(1));
    auto page = OpenPage();
    page->SetFont({.Name = "Liberation Sans", .Size = 24});
    page->TextOut(100, 100, "Año 漢字");
    page->TextOut(100, 200, "Año");
    page->Close();
    store.Add(page);
    const QString file = Write("texts.pdf");

    const QString first = PdfText(file, 1);
    for (const char* expected : {"DECLARACIÓN JURADA 1", "Señor Decano de la Facultad: Íñigo Núñez",
                                 "Importe total: 12.345,67 €"})
        EXPECT_TRUE(first.contains(QString::fromUtf8(expected))) << first.toStdString();
    EXPECT_TRUE(PdfText(file, 2).contains("Año"));
    const QImage second = RasterizePdf(file, 2, 100);
    // "漢字" follows "Año " (whatever glyphs this machine's fonts have for it).
    EXPECT_GT(InkBox(second, QRect(0, 100, 400, 40)).right(),
              InkBox(second, QRect(0, 204, 400, 40)).right() + 20);

    const QList<QStringList> fonts = PdfTable("pdffonts", {file});
    ASSERT_EQ(fonts.size(), 4); // sans bold, serif, sans, mono
    static const QRegularExpression subsetName(QStringLiteral("^[A-Z]{6}\\+Liberation"));
    for (const QStringList& cells : fonts) {
        EXPECT_TRUE(subsetName.match(cells.value(0)).hasMatch()) << cells.join(' ').toStdString();
        // emb, sub and uni, before the object number and generation.
        EXPECT_EQ(cells.mid(cells.size() - 5, 3), QStringList({"yes", "yes", "yes"}))
            << cells.join(' ').toStdString();
    }
    // Subsets, not whole fonts: four fonts of some 300 KB each would not fit.
    EXPECT_LT(QFile(file).size(), 120 * 1024);
}

TEST_F(PdfWriterTest, APictureOnEveryPageIsStoredOnce) {
    QImage logo(32, 32, QImage::Format_RGB32);
    logo.fill(QColor(200, 0, 0));
    for (int n = 1; n <= 4; ++n) {
        auto page = VariedPage(n);
        page->Open();
        page->StretchDraw({600, 600, 700, 700}, logo);
        page->Close();
        store.Add(page);
    }
    QSet<QString> imageObjects;
    int shown = 0;
    // page num type width height color comp bpc enc interp object ID ...
    for (const QStringList& cells : PdfTable("pdfimages", {"-list", Write("pictures.pdf")})) {
        if (cells[2] != "smask")
            imageObjects << cells[10];
        shown += cells[2] == "image";
    }
    EXPECT_EQ(shown, 8); // two pictures on each of four pages
    EXPECT_EQ(imageObjects.size(), 2);
}

TEST_F(PdfWriterTest, TranslucentPicturesCarryTheirMask) {
    const QString file = Drawn("mask.pdf", 1, [](QPainter& painter, int) {
        painter.fillRect(QRect(1440, 1440, 2880, 1440), Qt::black);
        QImage veil(16, 16, QImage::Format_ARGB32);
        veil.fill(QColor(255, 255, 255, 0));
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 8; ++x)
                veil.setPixel(x, y, qRgba(255, 255, 255, 255));
        painter.drawImage(QRect(1440, 1440, 2880, 1440), veil);
    });
    const QList<QStringList> rows = PdfTable("pdfimages", {"-list", file});
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].value(2), "smask");
    // The opaque left half of the picture covers the black; its transparent right half shows it.
    const QImage image = RasterizePdf(file, 1, 72);
    EXPECT_GT(qGray(image.pixel(90, 90)), 192);
    EXPECT_LT(qGray(image.pixel(198, 90)), 64);
}

// A horizontal hatch has rows of ink and rows without, and every column of it is alike.
TEST_F(PdfWriterTest, HatchedBrushesFillWithTheirPattern) {
    auto page = OpenPage();
    page->SetPen({.Style = TRLPenStyle::Clear});
    page->SetBrush({Qt::black, TRLBrushStyle::Horizontal});
    page->Rectangle(96, 96, 480, 480);
    page->SetBrush({Qt::black, TRLBrushStyle::DiagCross});
    page->Rectangle(96, 576, 480, 960);
    page->Close();
    store.Add(page);
    const QImage image = RasterizePdf(Write("hatches.pdf"), 1, 96);
    const auto inkIn = [&image](const QRect& area) {
        QList<int> rows;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (qGray(image.pixel(x, y)) < 224)
                    rows << y;
        return rows;
    };
    const QList<int> rows = inkIn(QRect(200, 100, 1, 370));
    EXPECT_GT(rows.size(), 20);
    EXPECT_LT(rows.size(), 300);
    EXPECT_EQ(inkIn(QRect(300, 100, 1, 370)), rows);
    const QRect cross(110, 590, 350, 350);
    EXPECT_GT(inkIn(cross).size(), cross.width() * cross.height() / 20);
    EXPECT_LT(inkIn(cross).size(), cross.width() * cross.height() / 2);
    EXPECT_TRUE(inkIn(QRect(500, 100, 200, 900)).isEmpty());
}

TEST_F(PdfWriterTest, PagesPaintedOnSeveralThreadsKeepTheirOrder) {
    FillStore(store, 60);
    const QString file = Write("order.pdf");
    ASSERT_EQ(PdfPageSizes(file).size(), 60);
    for (int page = 1; page <= 60; ++page)
        EXPECT_TRUE(PdfText(file, page).contains(QStringLiteral("PAGE %1\n").arg(page))) << page;
}

// Pages on either side of each page-tree node's end (1,024 pages).
TEST_F(PdfWriterTest, LongDocumentsKeepEveryPageInOrder) {
    QFont font("Liberation Sans");
    font.setPixelSize(200);
    const QString file = Drawn(
        "long.pdf", 2100,
        [&](QPainter& painter, int n) {
            painter.setFont(font);
            painter.drawText(QPointF(1440, 1440), QStringLiteral("Hoja %1").arg(n));
        },
        [](int n) { return n % 2 == 0 ? QSizeF(842, 595) : QSizeF(595, 842); });
    const QList<QSize> sizes = PdfPageSizes(file);
    ASSERT_EQ(sizes.size(), 2100);
    for (const int n : {1, 2, 1024, 1025, 1026, 2048, 2049, 2100}) {
        EXPECT_EQ(PdfText(file, n).trimmed(), QStringLiteral("Hoja %1").arg(n));
        EXPECT_EQ(sizes[n - 1].width() > sizes[n - 1].height(), n % 2 == 0) << n;
    }
}

// Coordinates of a damaged page or a runaway transform are written as plain numbers.
TEST_F(PdfWriterTest, CoordinatesFarOutsideThePageStayReadable) {
    const QString file = Drawn("far.pdf", 1, [](QPainter& painter, int) {
        painter.setPen(QPen(Qt::black, 20));
        painter.drawLine(QPointF(-1e15, 2000), QPointF(1e15, 2000));
        painter.drawLine(QPointF(1e-7, 1e-9), QPointF(3e38, 4000));
        painter.fillRect(QRectF(1440, 1440, 1440, 1440), Qt::black);
    });
    const ProgramResult render =
        RunProgram("pdftoppm", {"-r", "72", "-png", "-singlefile", file, dir.filePath("far")});
    EXPECT_EQ(render.ExitCode, 0);
    EXPECT_EQ(render.Err, QString());
    const QImage image = QImage(dir.filePath("far.png")).convertToFormat(QImage::Format_Grayscale8);
    // The square of one inch, one inch from the top-left corner.
    EXPECT_LT(qGray(image.pixel(108, 108)), 64);
    EXPECT_GT(qGray(image.pixel(300, 300)), 192);
}

} // namespace
