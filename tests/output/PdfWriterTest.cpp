// The PDF writer of our own, read back by poppler and compared with the toolkit's writer.
#include "OutputTestSupport.h"
#include "RLPdfWriter.h"
#include <kelmora/pagestore/RLCanvas.h>

#include <QBuffer>
#include <QRawFont>
#include <QSet>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>

#include <gtest/gtest.h>

using namespace Kelmora;

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

    // A font is listed once for each pixel size it is drawn at (its widths differ), all sizes
    // sharing one subset.
    const QList<QStringList> fonts = PdfTable("pdffonts", {file});
    QSet<QString> names;
    for (const QStringList& cells : fonts)
        names << cells.value(0);
    EXPECT_EQ(names.size(), 4); // sans bold, serif, sans, mono
    EXPECT_EQ(fonts.size(), 5); // and sans at two sizes
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

// Whether each column of an area (each row for a vertical line) holds ink: a line's dashes.
QList<bool> InkedAlong(const QImage& image, const QRect& area, bool vertical = false) {
    QList<bool> inked;
    const int length = vertical ? area.height() : area.width();
    const int across = vertical ? area.width() : area.height();
    for (int along = 0; along < length; ++along) {
        int darkest = 255;
        for (int a = 0; a < across; ++a)
            darkest = std::min(darkest,
                               qGray(vertical ? image.pixel(area.left() + a, area.top() + along)
                                              : image.pixel(area.left() + along, area.top() + a)));
        inked << (darkest < 160);
    }
    return inked;
}

int Runs(const QList<bool>& inked) {
    int runs = 0;
    for (qsizetype i = 0; i < inked.size(); ++i)
        runs += inked[i] && (i == 0 || !inked[i - 1]);
    return runs;
}

// How alike two fills of an area are as 8-pixel patterns: the darkness of each of the 64 places
// of an 8 x 8 cell, correlated at the best of the 64 shifts (the two may start the cell at
// different corners). A fine texture has no such pattern and correlates with nothing.
double PatternLikeness(const QImage& a, const QImage& b, const QRect& area) {
    const auto cell = [&area](const QImage& image) {
        std::array<double, 64> sums{};
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                sums[(y % 8) * 8 + x % 8] += 255 - qGray(image.pixel(x, y));
        const double mean = std::accumulate(sums.begin(), sums.end(), 0.0) / 64;
        for (double& sum : sums)
            sum -= mean;
        return sums;
    };
    const std::array<double, 64> left = cell(a), right = cell(b);
    const auto norm = [](const std::array<double, 64>& v) {
        return std::sqrt(std::inner_product(v.begin(), v.end(), v.begin(), 0.0));
    };
    if (norm(left) == 0 || norm(right) == 0)
        return 0;
    double best = -1;
    for (int dy = 0; dy < 8; ++dy)
        for (int dx = 0; dx < 8; ++dx) {
            double product = 0;
            for (int i = 0; i < 64; ++i)
                product += left[i] * right[((i / 8 + dy) % 8) * 8 + (i % 8 + dx) % 8];
            best = std::max(best, product / (norm(left) * norm(right)));
        }
    return best;
}

// Thin styled lines, hatched fills and a bold text filling its cell, each in a place of its own.
struct TLookPage {
    struct Line {
        TRLPenStyle Style;
        int Y;
    };
    struct Fill {
        TRLBrushStyle Style;
        QRect Area;
    };
    std::vector<Line> Lines{{TRLPenStyle::Dash, 100},
                            {TRLPenStyle::Dot, 120},
                            {TRLPenStyle::DashDot, 140},
                            {TRLPenStyle::DashDotDot, 160}};
    std::vector<Fill> Fills;
    QString Text = QStringLiteral("DECLARACIÓN JURADA DE GASTOS DE VIAJE — AÑO 2026, ÚLTIMA");
    QRect TextCell;
    std::shared_ptr<TRLGraphicSurface> Page;

    TLookPage() {
        Page = OpenPage();
        for (const Line& line : Lines) {
            Page->SetPen({.Style = line.Style, .Width = 1});
            Page->MoveTo(96, line.Y);
            Page->LineTo(696, line.Y);
        }
        // A vertical dashed line too: dashes run along either axis.
        Page->SetPen({.Style = TRLPenStyle::Dash, .Width = 1});
        Page->MoveTo(720, 100);
        Page->LineTo(720, 500);
        Page->SetPen({.Style = TRLPenStyle::Clear});
        int x = 96;
        for (const TRLBrushStyle style :
             {TRLBrushStyle::Horizontal, TRLBrushStyle::Vertical, TRLBrushStyle::FDiagonal,
              TRLBrushStyle::BDiagonal, TRLBrushStyle::Cross, TRLBrushStyle::DiagCross}) {
            Fills.push_back({style, QRect(x, 200, 80, 160)});
            Page->SetBrush({Qt::black, style});
            Page->Rectangle(x, 200, x + 80, 360);
            x += 100;
        }
        // The cell is as wide as the text measures, as a report's layout makes it.
        Page->SetBrush({Qt::white, TRLBrushStyle::Clear});
        Page->SetFont({.Name = "Arial", .Size = 13, .Style = fsBold});
        TextCell = QRect(96, 420, Page->TextWidth(Text), 24);
        Page->TextRectEx(
            {TextCell.left(), TextCell.top(), TextCell.right() + 1, TextCell.bottom() + 1},
            TextCell.left(), TextCell.top(), Text, MetaTextAlignmentLeft, MetaTextLayoutTop, 0);
        Page->Close();
    }
};

class PdfLooksAsDrawn : public PdfWriterTest, public testing::WithParamInterface<bool> {};

// Poppler's picture of the page at 96 pixels per inch, the page's own, against the engine's: the
// same dashes (ink runs and their share of the line), the same 8-pixel hatches, and the text's
// ink ending inside its cell, in ordinary PDF and in PDF/A.
TEST_P(PdfLooksAsDrawn, DashesHatchesAndTextWidths) {
    const bool archival = GetParam();
    const TLookPage look;
    store.Add(look.Page);
    const QString file = Write("look.pdf", archival);
    const QImage drawn = DrawnDirectly(*look.Page);
    const QImage pdf = RasterizePdf(file, 1, 96);
    ASSERT_EQ(pdf.size(), drawn.size());

    const auto compareLine = [&](const QString& name, const QRect& area, bool vertical) {
        SCOPED_TRACE(name.toStdString());
        const QList<bool> want = InkedAlong(drawn, area, vertical),
                          got = InkedAlong(pdf, area, vertical);
        const auto share = [](const QList<bool>& inked) {
            return double(inked.count(true)) / inked.size();
        };
        EXPECT_GT(Runs(want), 15);
        EXPECT_NEAR(Runs(got), Runs(want), Runs(want) / 10 + 1);
        EXPECT_NEAR(share(got), share(want), 0.1);
    };
    for (const TLookPage::Line& line : look.Lines)
        compareLine(QStringLiteral("pen style %1").arg(int(line.Style)),
                    QRect(100, line.Y - 2, 590, 5), false);
    compareLine(QStringLiteral("vertical dashes"), QRect(718, 104, 5, 392), true);
    for (const TLookPage::Fill& fill : look.Fills) {
        SCOPED_TRACE(int(fill.Style));
        const QRect inner = fill.Area.adjusted(4, 4, -4, -4);
        EXPECT_GT(PatternLikeness(drawn, pdf, inner), 0.8);
        const QRect ink = InkBox(pdf, fill.Area.adjusted(-8, -8, 8, 8), 200);
        EXPECT_TRUE(fill.Area.adjusted(-1, -1, 1, 1).contains(ink)) << ink.x() << ' ' << ink.y();
    }
    // The text's ink, as poppler draws it and as poppler measures its words.
    const QRect row = look.TextCell.adjusted(-4, 0, 60, 0);
    const QRect drawnInk = InkBox(drawn, row), pdfInk = InkBox(pdf, row);
    EXPECT_LE(drawnInk.right(), look.TextCell.right());
    EXPECT_LE(pdfInk.right(), look.TextCell.right());
    EXPECT_NEAR(pdfInk.right(), drawnInk.right(), 1);
    EXPECT_NEAR(pdfInk.left(), drawnInk.left(), 1);
    const ProgramResult boxes = RunProgram("pdftotext", {"-bbox", file, "-"});
    static const QRegularExpression word(
        R"re(<word xMin="[\d.]+" yMin="([\d.]+)" xMax="([\d.]+)")re");
    double textEnd = 0;
    for (auto it = word.globalMatch(boxes.Out); it.hasNext();) {
        const auto m = it.next();
        const double top = m.captured(1).toDouble() * 96 / 72;
        if (top > look.TextCell.top() - 8 && top < look.TextCell.bottom())
            textEnd = std::max(textEnd, m.captured(2).toDouble() * 96 / 72);
    }
    // Poppler's word boxes are no ink boxes (they run some 2 pixels past the ink on either side
    // here, in the toolkit's PDF as in ours), but 3.5% more width would put this one 22 pixels
    // past its cell.
    const int cellEnd = look.TextCell.right() + 1;
    EXPECT_GT(textEnd, cellEnd - 20);
    EXPECT_LE(textEnd, cellEnd + 4.0);
}

INSTANTIATE_TEST_SUITE_P(PdfWriter, PdfLooksAsDrawn, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Archival" : "Ordinary";
                         });

// Fonts with CFF outlines are embedded as fonts, listed by poppler and read back as text, in
// Spanish, Greek and Polish; their glyphs are drawn where the engine draws them.
TEST_F(PdfWriterTest, CffFontsStayText) {
    const std::vector<std::pair<QString, QString>> texts{
        {"Nimbus Mono PS", "Señor Núñez: ¿Qué pasó? Αθήνα Łódź"},
        {"URW Bookman", "Pingüino, acción, Ωμέγα, Żółć"},
    };
    // The toolkit draws these faces from their Type 1 files, which the writer shows in their
    // OpenType files.
    for (const char* file : {"/usr/share/fonts/opentype/urw-base35/NimbusMonoPS-Regular.otf",
                             "/usr/share/fonts/opentype/urw-base35/URWBookman-Light.otf"})
        if (!QFile::exists(QLatin1String(file)))
            GTEST_SKIP() << file << " is not installed";
    auto page = OpenPage();
    page->SetBrush({Qt::white, TRLBrushStyle::Clear});
    int y = 100;
    for (const auto& [family, text] : texts) {
        page->SetFont({.Name = family, .Size = 14});
        page->TextRectEx({96, y, 700, y + 30}, 96, y, text, MetaTextAlignmentLeft,
                         MetaTextLayoutTop, 0);
        y += 60;
    }
    page->Close();
    store.Add(page);
    // PDF/A's writer embeds what the toolkit draws from, the Type 1 files.
    for (const bool archival : {false, true}) {
        SCOPED_TRACE(archival);
        const QString file = Write(archival ? "cff-a.pdf" : "cff.pdf", archival);

        QList<QStringList> fonts = PdfTable("pdffonts", {file});
        ASSERT_EQ(fonts.size(), 2);
        // In the order of their names in the document, which are no names of ours.
        std::sort(fonts.begin(), fonts.end(), [](const QStringList& a, const QStringList& b) {
            return a.value(0).section(u'+', 1) < b.value(0).section(u'+', 1);
        });
        const QStringList names{"NimbusMonoPS", "URWBookman"};
        for (int i = 0; i < 2; ++i) {
            const QString row = fonts[i].join(' ');
            EXPECT_TRUE(row.contains(names[i])) << row.toStdString();
            EXPECT_FALSE(row.contains("Type 3")) << row.toStdString();
            // Embedded and mapped to characters (the toolkit's writer embeds them whole).
            EXPECT_EQ(fonts[i].mid(fonts[i].size() - 5, 3),
                      QStringList({"yes", archival ? "no" : "yes", "yes"}))
                << row.toStdString();
        }
        const QString read = PdfText(file);
        for (const auto& [family, text] : texts)
            EXPECT_TRUE(read.contains(text)) << read.toStdString();
        // Glyphs named by their numbers in the subset: the wrong glyphs would not match the
        // engine's.
        const QImage drawn = DrawnDirectly(*page);
        const QImage pdf = RasterizePdf(file, 1, 96);
        for (const int top : {100, 160}) {
            const QRect row(90, top, 620, 30);
            EXPECT_EQ(InkBox(pdf, row).adjusted(-1, -1, 1, 1).united(InkBox(drawn, row)),
                      InkBox(pdf, row).adjusted(-1, -1, 1, 1))
                << top;
            EXPECT_LT(DifferingShare(pdf.copy(row), drawn.copy(row)), 0.03) << top;
        }
    }
}

// The author reaches the document's information as well as its XMP, in PDF/A as in PDF.
TEST_F(PdfWriterTest, TheAuthorIsInTheInformationOfEveryKind) {
    FillStore(store, 2, QStringLiteral("Solicitud de viáticos"));
    for (const bool archival : {false, true}) {
        SCOPED_TRACE(archival);
        const QString file = dir.filePath(archival ? "a.pdf" : "plain.pdf");
        TRLPDFFilter filter;
        filter.SetShowProgress(false);
        filter.SetArchival(archival);
        filter.SetAuthor(QStringLiteral("María José Ñandú"));
        filter.SetFileName(file);
        FilterPages(&store, &filter, 1, false);
        const QString info = RunProgram("pdfinfo", {file}).Out;
        EXPECT_TRUE(info.contains(QStringLiteral("Author:          María José Ñandú\n")))
            << info.toStdString();
        EXPECT_TRUE(info.contains(QStringLiteral("Title:           Solicitud de viáticos\n")))
            << info.toStdString();
        EXPECT_TRUE(info.contains(QStringLiteral("Pages:           2\n"))) << info.toStdString();
        EXPECT_EQ(PdfText(file, 2).contains("PAGE 2"), true);
    }
}

TEST_F(PdfWriterTest, PagesPaintedOnSeveralThreadsKeepTheirOrder) {
    FillStore(store, 60);
    const QString file = Write("order.pdf");
    ASSERT_EQ(PdfPageSizes(file).size(), 60);
    for (int page = 1; page <= 60; ++page)
        EXPECT_TRUE(PdfText(file, page).contains(QStringLiteral("PAGE %1\n").arg(page))) << page;
}

// Texts of one colour share its operator, yet each text shows in its own colour: after a text of
// another colour, and after a shape whose fill took the colour over in between.
TEST_F(PdfWriterTest, EachTextShowsInItsOwnColour) {
    const QColor red(220, 0, 0), blue(0, 0, 220), green(0, 160, 0);
    // What each line shows: a text's colour, or a filled box's.
    const std::array<std::pair<QColor, bool>, 6> lines{
        {{red, true}, {red, true}, {green, false}, {red, true}, {blue, true}, {red, true}}};
    const QString file = Drawn("colours.pdf", 1, [&](QPainter& painter, int) {
        QFont font("Liberation Sans");
        font.setPixelSize(600);
        painter.setFont(font);
        for (size_t i = 0; i < lines.size(); ++i) {
            const auto [colour, isText] = lines[i];
            const int top = 1440 + int(i) * 1440;
            if (isText) {
                painter.setPen(colour);
                painter.drawText(QPointF(1440, top + 600), QStringLiteral("HHHH"));
            } else {
                painter.fillRect(QRect(1440, top, 2400, 600), colour);
            }
        }
    });
    QTemporaryDir rendering;
    RunProgram("pdftoppm", {"-r", "36", "-singlefile", "-png", file, rendering.filePath("page")});
    const QImage page =
        QImage(rendering.filePath("page.png")).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(page.isNull());
    for (size_t i = 0; i < lines.size(); ++i) {
        // The line's band at 36 per inch: a fortieth of the writer's pixels.
        const QRect band(36, 36 + int(i) * 36, 60, 15);
        int wanted = 0;
        int other = 0;
        for (int y = band.top(); y <= band.bottom(); ++y)
            for (int x = band.left(); x <= band.right(); ++x) {
                const QColor pixel = page.pixelColor(x, y);
                if (pixel.saturation() < 128)
                    continue; // paper and edges
                const int apart = std::abs(pixel.hue() - lines[i].first.hue());
                (std::min(apart, 360 - apart) <= 10 ? wanted : other)++;
            }
        EXPECT_GT(wanted, 40) << "line " << i + 1;
        EXPECT_EQ(other, 0) << "line " << i + 1;
    }
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

// The page's drawing as the PDF holds it: every compressed stream that sets the page's
// coordinates, uncompressed, one after another.
QByteArray ContentOf(const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    const QByteArray pdf = in.readAll();
    QByteArray drawing;
    for (qsizetype at = pdf.indexOf("stream\n"); at >= 0; at = pdf.indexOf("stream\n", at)) {
        at += 7;
        const qsizetype end = pdf.indexOf("endstream", at);
        if (end < 0 || pdf.at(at) != '\x78')
            continue; // not zlib data
        // qUncompress wants the zlib data after its expected length (a hint it grows past).
        QByteArray packed("\x00\x01\x00\x00", 4);
        packed += pdf.mid(at, end - at);
        const QByteArray plain = qUncompress(packed);
        if (plain.contains(" cm\n"))
            drawing += plain;
    }
    return drawing;
}

// A polygon of two points is a line: closed, it has no inside, and a fill of it would paint a
// hairline or nothing as each reader pleases. It is stroked alone, without the brush's colour,
// while a shape of three points is filled and stroked.
TEST_F(PdfWriterTest, AShapeWithNoInsideIsStrokedNotFilled) {
    const QString file = Drawn("rules.pdf", 1, [](QPainter& painter, int) {
        painter.setPen(QPen(Qt::black, 4));
        painter.setBrush(QColor(255, 0, 0));
        const std::array<QPoint, 2> rule{QPoint(100, 200), QPoint(3000, 200)};
        painter.drawPolygon(rule.data(), int(rule.size()));
        const std::array<QPoint, 3> triangle{QPoint(100, 1000), QPoint(600, 400),
                                             QPoint(1100, 1000)};
        painter.drawPolygon(triangle.data(), int(triangle.size()));
    });
    const QByteArray drawing = ContentOf(file);
    const qsizetype rule = drawing.indexOf("3000 200 l\nh\n");
    const qsizetype triangle = drawing.indexOf("1100 1000 l\nh\n");
    ASSERT_GE(rule, 0) << drawing.toStdString();
    ASSERT_GT(triangle, rule) << drawing.toStdString();
    EXPECT_TRUE(drawing.mid(rule).startsWith("3000 200 l\nh\nS\n")) << drawing.toStdString();
    EXPECT_TRUE(drawing.mid(triangle).startsWith("1100 1000 l\nh\nB*\n")) << drawing.toStdString();
    // The brush's red is set once, for the triangle, after the rule.
    EXPECT_EQ(drawing.count("1 0 0 rg\n"), 1) << drawing.toStdString();
    EXPECT_GT(drawing.indexOf("1 0 0 rg\n"), rule);
}

// A line's colour and dash are written when they change, and only then: back to a colour or a
// solid line drawn before, the stream says so again.
TEST_F(PdfWriterTest, LinesSetTheirColourAndDashOnlyWhenTheyChange) {
    const QString file = Drawn("strokes.pdf", 1, [](QPainter& painter, int) {
        const auto line = [&painter](int y, QColor color, Qt::PenStyle style) {
            painter.setPen(QPen(color, 2, style));
            painter.drawLine(100, y, 3000, y);
        };
        line(100, Qt::red, Qt::SolidLine);
        line(200, Qt::red, Qt::SolidLine);
        line(300, Qt::blue, Qt::DashLine);
        line(400, Qt::blue, Qt::DashLine);
        line(500, Qt::red, Qt::SolidLine);
        line(600, Qt::blue, Qt::SolidLine);
    });
    const QByteArray drawing = ContentOf(file);
    QList<QByteArray> changes;
    for (const QByteArray& line : drawing.split('\n')) {
        if (line.endsWith(" RG") || line.endsWith(" d"))
            changes << line;
    }
    // Two units wide: dashes of 8 and gaps of 4.
    EXPECT_EQ(changes, (QList<QByteArray>{"1 0 0 RG", "0 0 1 RG", "[8 4 ] 0 d", "1 0 0 RG",
                                          "[] 0 d", "0 0 1 RG"}))
        << drawing.toStdString();
    const QImage picture = RasterizePdf(file, 1, 72);
    EXPECT_GT(InkBox(picture, QRect(0, 0, picture.width(), picture.height())).height(), 0);
}

// Bands whose texts and thin rules keep to their rectangles need no clip of their own: the page
// is clipped once. A band whose text reaches past it is still cut at its edge.
TEST_F(PdfWriterTest, OnlyWhatReachesPastItsBandIsClipped) {
    auto page = OpenPage();
    page->SetBrush({Qt::white, TRLBrushStyle::Clear});
    const auto band = [&](int top, int bottom, int textBottom, const QString& text) {
        page->SetClipRect({96, top, 700, bottom});
        page->SetFont({.Name = "Liberation Sans", .Size = 28});
        page->TextRectEx({100, top, 400, textBottom}, 100, top, text, MetaTextAlignmentLeft,
                         MetaTextLayoutTop, MetaTextFlagKeepWhole);
        page->SetPen({.Width = 1});
        // A rule along the band's last row of pixels, drawn as a shape of two points.
        page->Polygon({{96, bottom - 1}, {699, bottom - 1}});
        page->ResetClipRect();
    };
    band(100, 150, 150, QStringLiteral("Ñandú"));
    band(150, 200, 200, QStringLiteral("Ωμέγα"));
    // This band's text is given more room than the band has.
    band(200, 220, 260, QStringLiteral("Cortado"));
    page->Close();
    store.Add(page);
    const QString file = Write("bands.pdf");

    const QByteArray drawing = ContentOf(file);
    // The page's own clip and the short band's.
    EXPECT_EQ(drawing.count(" re\nW* n\n") + drawing.count(" re\nW n\n"), 2)
        << drawing.toStdString();
    // The short band's clip comes after the second band's rule and before its own.
    const qsizetype lastClip = drawing.lastIndexOf(" re\nW");
    EXPECT_GT(lastClip, drawing.indexOf("96 199 m\n"));
    EXPECT_LT(lastClip, drawing.indexOf("96 219 m\n"));

    const QImage picture = RasterizePdf(file, 1, 96);
    EXPECT_GE(InkBox(picture, QRect(100, 100, 300, 45)).height(), 15);
    EXPECT_GE(InkBox(picture, QRect(100, 150, 300, 45)).height(), 15);
    // The rules show, each on its band's last row.
    for (const int row : {149, 199, 219})
        EXPECT_GE(InkBox(picture, QRect(96, row, 604, 1)).width(), 600) << row;
    // The third text is cut at its band's bottom: nothing below it but the rule.
    EXPECT_GE(InkBox(picture, QRect(100, 200, 300, 19)).height(), 10);
    EXPECT_EQ(InkBox(picture, QRect(100, 221, 300, 40)).right(), -1);
}

// The toolkit makes fonts of up to 65535 pixels; past that it hands out a stand-in that knows no
// family. A text in such a font, drawn by the page's canvas or laid out by the painter, leaves
// the page with a refusal that names it; the largest font the toolkit makes still stays text.
TEST_F(PdfWriterTest, TextsInFontsTooLargeToMakeAreRefusedByTheirPage) {
    QFile out(dir.filePath("huge.pdf"));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    // At the report's own resolution, as the PDF filter paints.
    TRLPdfWriter writer(out, 96);
    for (const int pixels : {65535, 65536, 1 << 24}) {
        for (const bool canvasText : {true, false}) {
            SCOPED_TRACE(testing::Message() << pixels << (canvasText ? " canvas" : " painter"));
            TRLPdfPage page(writer, QSizeF(595, 842));
            QPainter painter(&page);
            if (canvasText) {
                TRLCanvas canvas(painter, page.logicalDpiY());
                // Points at the canvas's resolution that make exactly these pixels.
                const int points =
                    static_cast<int>(std::lround(pixels * 72.0 / page.logicalDpiY()));
                canvas.SetFont({.Name = "Liberation Sans", .Size = points});
                canvas.TextOut(0, 0, QStringLiteral("Kel"));
            } else {
                QFont font(QStringLiteral("Liberation Sans"));
                font.setPixelSize(pixels);
                painter.setFont(font);
                painter.drawText(QPointF(0, 100), QStringLiteral("Kel"));
            }
            painter.end();
            if (pixels <= 65535) {
                EXPECT_EQ(page.Refusal(), QString());
            } else {
                EXPECT_TRUE(page.Refusal().contains(QStringLiteral("\"Kel\"")))
                    << page.Refusal().toStdString();
            }
            EXPECT_TRUE(page.AddTo(writer));
        }
    }
    ASSERT_TRUE(writer.Finish()) << writer.ErrorString().toStdString();
    out.close();
    EXPECT_EQ(PdfPageSizes(out.fileName()).size(), 6);
}

// A page holds at most 256 MB of drawing. Lines of a million points each, thirty of them, would
// make some 400 MB: the page stops taking them at the bound and is refused, saying why, while
// the pages before and after it are written.
TEST_F(PdfWriterTest, APageOfMoreDrawingThanAPageMayHoldIsRefused) {
    QFile out(dir.filePath("full.pdf"));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    TRLPdfWriter writer(out, 96);
    QPolygonF line;
    for (int i = 0; i < 1000000; ++i) {
        line << QPointF(100 + i % 500, 100 + i % 997);
    }
    for (const int lines : {1, 30, 1}) {
        SCOPED_TRACE(lines);
        TRLPdfPage page(writer, QSizeF(595, 842));
        QPainter painter(&page);
        painter.setPen(QPen(Qt::black, 1));
        for (int i = 0; i < lines; ++i) {
            painter.drawPolyline(line);
        }
        painter.end();
        if (lines == 1) {
            EXPECT_EQ(page.Refusal(), QString());
            EXPECT_TRUE(page.AddTo(writer));
        } else {
            EXPECT_EQ(
                page.Refusal(),
                QStringLiteral("its drawing takes more than 256 MB, the most a page may hold"));
        }
    }
    ASSERT_TRUE(writer.Finish()) << writer.ErrorString().toStdString();
    out.close();
    EXPECT_EQ(PdfPageSizes(out.fileName()).size(), 2);
}

// A device that takes at most seven bytes a call, and nothing past Room, failing then as a full
// disk does: the system's error number set and no words of its own.
class NarrowDevice : public QIODevice {
public:
    explicit NarrowDevice(qint64 room) : room_(room) { open(QIODevice::WriteOnly); }
    QByteArray Bytes;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override {
        const qint64 take = std::min({length, qint64(7), room_ - Bytes.size()});
        if (take <= 0) {
            errno = ENOSPC;
            return -1;
        }
        Bytes.append(data, take);
        return take;
    }

private:
    const qint64 room_;
};

// A document written seven bytes at a time comes out whole; one that does not fit says why.
// The reason is the system's as the toolkit words it for its own files, in every locale.
TEST_F(PdfWriterTest, ShortWritesGoOnAndAFullDeviceSaysWhy) {
    const auto write = [](QIODevice& out) {
        TRLPdfWriter writer(out, 96);
        writer.SetCreationDate(QDateTime(QDate(2026, 12, 8), QTime(1, 30), Qt::UTC));
        for (int n = 1; n <= 3; ++n) {
            TRLPdfPage page(writer, QSizeF(595, 842));
            QPainter painter(&page);
            painter.setFont(QFont(QStringLiteral("Liberation Sans")));
            painter.drawText(QPointF(100, 100), QStringLiteral("Hoja %1").arg(n));
            painter.end();
            page.AddTo(writer);
        }
        return writer.Finish() ? QString() : writer.ErrorString();
    };
    QByteArray whole;
    QBuffer buffer(&whole);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_EQ(write(buffer), QString());
    NarrowDevice narrow(1 << 30);
    EXPECT_EQ(write(narrow), QString());
    EXPECT_EQ(narrow.Bytes, whole);
    NarrowDevice full(whole.size() / 2);
    EXPECT_EQ(write(full), qt_error_string(ENOSPC));
}

// A page of any size measures within the integers a painter works in: sizes past them stop at
// their end, sizes that are no number are A4, as a page of no size is.
TEST_F(PdfWriterTest, PagesOfAnySizeMeasureWithinTheIntegers) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    TRLPdfWriter writer(out);
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        QSizeF Points;
        QSize Pixels;
    } cases[] = {
        {{72, 144}, {1440, 2880}},    {{1e12, 1e300}, {INT_MAX, INT_MAX}},
        {{inf, 100}, {11906, 16838}}, {{nan, nan}, {11906, 16838}},
        {{0, -5}, {11906, 16838}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Points.width() << " x " << c.Points.height());
        TRLPdfPage page(writer, c.Points);
        EXPECT_EQ(QSize(page.width(), page.height()), c.Pixels);
        EXPECT_GE(page.widthMM(), 0);
        QPainter painter(&page);
        painter.fillRect(QRect(0, 0, 100, 100), Qt::black);
        painter.end();
        EXPECT_TRUE(page.AddTo(writer));
    }
    EXPECT_TRUE(writer.Finish());
}

} // namespace

// Pages are painted on several threads at once and added in order: which page reaches a font or
// a picture first must not show in the document. Painting the pages back to front writes the
// same bytes as painting them in order, and a picture that no added page shows is not written.
TEST_F(PdfWriterTest, TheOrderPagesArePaintedInDoesNotShowInTheDocument) {
    QImage letterhead(24, 16, QImage::Format_ARGB32);
    letterhead.fill(QColor(200, 30, 60, 128)); // translucent: a mask of its own
    QImage stamp(16, 16, QImage::Format_RGB32);
    stamp.fill(QColor(20, 90, 200));
    // One grey picture in two image formats: the same picture in the document.
    QImage grey(8, 8, QImage::Format_Grayscale8);
    grey.fill(90);
    const QImage greyAsColour = grey.convertToFormat(QImage::Format_RGB32);
    const auto paint = [&](QPainter& painter, int n) {
        painter.setFont(
            QFont(n == 1 ? QStringLiteral("Liberation Serif") : QStringLiteral("Liberation Mono")));
        painter.drawText(QPointF(100, 100), QStringLiteral("Hoja %1 — Ωμέγα").arg(n));
        painter.drawImage(QRectF(300, 200, 16, 16), n == 1 ? grey : greyAsColour);
        if (n >= 2)
            painter.drawImage(QRectF(100, 200, 48, 32), letterhead);
        if (n == 3)
            painter.drawImage(QRectF(100, 300, 32, 32), stamp);
    };
    // Pages 1 and 2 are added; page 3 is painted (its picture found) but given up.
    const auto write = [&](const std::vector<int>& paintOrder) {
        QByteArray bytes;
        QBuffer out(&bytes);
        out.open(QIODevice::WriteOnly);
        TRLPdfWriter writer(out, 96);
        writer.SetCreationDate(QDateTime(QDate(2026, 12, 8), QTime(1, 30), Qt::UTC));
        std::map<int, std::unique_ptr<TRLPdfPage>> pages;
        for (const int n : paintOrder) {
            pages[n] = std::make_unique<TRLPdfPage>(writer, QSizeF(595, 842));
            QPainter painter(pages[n].get());
            paint(painter, n);
        }
        EXPECT_TRUE(pages[1]->AddTo(writer));
        EXPECT_TRUE(pages[2]->AddTo(writer));
        EXPECT_TRUE(writer.Finish()) << writer.ErrorString().toStdString();
        return bytes;
    };
    // Where two documents part, -1 for none.
    const auto parting = [](const QByteArray& a, const QByteArray& b) {
        const auto at = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
        return at.first == a.end() && at.second == b.end() ? -1 : at.first - a.begin();
    };
    const QByteArray inOrder = write({1, 2, 3});
    EXPECT_EQ(parting(write({3, 2, 1}), inOrder), -1);
    EXPECT_EQ(parting(write({2, 3, 1}), inOrder), -1);

    const QString file = dir.filePath("painted-in-order.pdf");
    ASSERT_TRUE(WriteFile(file, inOrder));
    EXPECT_EQ(PdfPageSizes(file).size(), 2);
    EXPECT_EQ(inOrder.count("/Subtype/Image"), 3)
        << "the grey picture once, the letterhead and its mask, not the stamp";
    EXPECT_TRUE(PdfText(file, 2).contains(QStringLiteral("Hoja 2 — Ωμέγα")));
}

// The whole way from a page store holding more pages than its cache (pages read back from the
// file), painted two at a time: fonts and a picture first met on later pages, Greek and accented
// texts. Two runs give the same file but for its date and identifier, and poppler reads it back.
TEST_F(PdfWriterTest, AStoreWrittenTwiceGivesTheSameDocument) {
    constexpr int kPages = 2 * TRLGraphicStorage::CacheSize + 2;
    QImage stamp(12, 12, QImage::Format_RGB32);
    stamp.fill(QColor(20, 90, 200));
    for (int n = 1; n <= kPages; ++n) {
        auto page = OpenPage();
        page->SetBrush({Qt::white, TRLBrushStyle::Clear});
        const QString font =
            n < 7 ? (n % 2 ? "Liberation Sans" : "Liberation Serif") : "Liberation Mono";
        page->SetFont({.Name = font, .Size = 12});
        page->TextRectEx({96, 96, 700, 130}, 96, 96,
                         QStringLiteral("Σελίδα %1 — Íñigo Núñez").arg(n), MetaTextAlignmentLeft,
                         MetaTextLayoutTop, 0);
        if (n >= 9)
            page->StretchDraw({96, 200, 144, 248}, stamp);
        page->Close();
        store.Add(page);
    }
    const QString first = Write("first.pdf");
    const QString second = Write("second.pdf");
    EXPECT_EQ(PdfWithoutDates(first), PdfWithoutDates(second));
    EXPECT_EQ(PdfPageSizes(first).size(), kPages);
    EXPECT_TRUE(
        PdfText(first, kPages).contains(QStringLiteral("Σελίδα %1 — Íñigo Núñez").arg(kPages)));
    EXPECT_TRUE(PdfText(first, 7).contains(QStringLiteral("Σελίδα 7")));
    EXPECT_EQ(PdfWithoutDates(first).count(QStringLiteral("/Subtype/Image")), 1);
}

// A page whose footer names the run's page count is written in two parts: all but the footer at
// once, the footer and what covers it once the run has ended, as the page's second stream.
// Poppler draws every page of such a document as the page drawn whole, and reads the count
// filled in. The store holds more pages than its cache, so pages are read back from its file.
TEST_F(PdfWriterTest, PagesWaitingForTheirRunLookAsIfDrawnWhole) {
    constexpr int kPages = TRLGraphicStorage::CacheSize + 2;
    for (int n = 1; n <= kPages; ++n) {
        auto page = OpenPage();
        page->Macros().SetValue(QStringLiteral("PageNumber"), QString::number(n));
        page->SetBrush({Qt::white, TRLBrushStyle::Clear});
        page->SetFont({.Name = "Liberation Serif", .Size = 11});
        page->TextOut(60, 400, QStringLiteral("Página %1 — Ibáñez").arg(n));
        page->SetClipRect({38, 1000, 756, 1040});
        page->SetFont({.Name = "Liberation Sans", .Size = 12});
        page->TextRectEx({38, 1000, 756, 1040}, 38, 1004,
                         QStringLiteral("Σελίδα {PageNumber} από {LastPageNumber} — Núñez"),
                         MetaTextAlignmentRight, MetaTextLayoutTop, 0);
        page->ResetClipRect();
        page->SetBrush({QColor(0, 90, 160), TRLBrushStyle::Solid});
        page->FillRect({700, 1006, 760, 1016});              // over the footer's end
        page->FillRect({60, 60 + 20 * n, 300, 80 + 20 * n}); // far from it
        page->Close();
        store.Add(page);
    }
    store.SetLastPageNumber(kPages);
    const QString split = Write("split.pdf");

    // The same pages drawn whole, onto our writer's pages at the filter's resolution.
    QFile whole(dir.filePath("whole.pdf"));
    ASSERT_TRUE(whole.open(QIODevice::WriteOnly));
    TRLPdfWriter writer(whole, 96);
    for (int n = 1; n <= kPages; ++n)
        ASSERT_TRUE(TRLPDFFilter::PaintPage(writer, *store.Pages(n - 1), n)->AddTo(writer));
    ASSERT_TRUE(writer.Finish()) << writer.ErrorString().toStdString();
    whole.close();

    QFile written(split);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll().count("/Contents["), kPages) << "each page in two parts";
    for (int n = 1; n <= kPages; ++n) {
        SCOPED_TRACE(n);
        const QImage drawnWhole = RasterizePdf(whole.fileName(), n, 96);
        ASSERT_FALSE(drawnWhole.isNull());
        EXPECT_EQ(RasterizePdf(split, n, 96), drawnWhole);
        const QString text = PdfText(split, n);
        EXPECT_TRUE(text.contains(QStringLiteral("Σελίδα %1 από %2 — Núñez").arg(n).arg(kPages)))
            << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Página %1 — Ibáñez").arg(n)));
    }
}

// What waits for a long run's end is more than the filter keeps in memory: the rest goes through
// a scratch file, and every page gets its own footer back.
TEST_F(PdfWriterTest, LatePartsOfALongRunComeBackToTheirPages) {
    constexpr int kPages = 40;
    // A hundred hidden texts of three hundred characters a page, each naming the run: some
    // thirty kilobytes a page wait, more than a megabyte in all.
    const QString filler = QStringLiteral("{LastPageNumber}") + QString(300, u'x');
    for (int n = 1; n <= kPages; ++n) {
        auto page = OpenPage();
        page->SetBrush({Qt::white, TRLBrushStyle::Clear});
        page->SetFont({.Name = "Liberation Sans", .Size = 1, .Color = Qt::white});
        for (int i = 0; i < 100; ++i)
            page->TextRectEx({0, 0, 2, 2}, 0, 0, filler, MetaTextAlignmentLeft, MetaTextLayoutTop,
                             0);
        page->SetFont({.Name = "Liberation Sans", .Size = 12});
        page->TextOut(300, 1000, QStringLiteral("Hoja %1 de {LastPageNumber}").arg(n));
        page->Close();
        store.Add(page);
    }
    store.SetLastPageNumber(kPages);
    const QString file = Write("long.pdf");
    ASSERT_EQ(PdfPageSizes(file).size(), kPages);
    for (const int n : {1, 2, kPages / 2, kPages}) {
        const QString text = PdfText(file, n);
        EXPECT_TRUE(text.contains(QStringLiteral("Hoja %1 de %2").arg(n).arg(kPages)))
            << n << ": " << text.toStdString();
    }
}
