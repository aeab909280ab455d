// The PDF save filter, checked on the files it writes as poppler reads them back.
#include "OutputTestSupport.h"

#include <kelmora/report/RLControlClasses.h>
#include <kelmora/report/RLLayoutReader.h>
#include <kelmora/report/RLRecordStream.h>
#include <kelmora/report/RLReport.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <limits>

using namespace Kelmora;

using namespace outputtest;

namespace {

// Files in a folder, hidden ones included: a temporary file left behind shows up here.
QStringList Entries(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Cancels, or fails, from inside the run once a given page has been drawn.
class InterruptedPdf : public TRLPDFFilter {
public:
    int CancelAfter = 0;
    int FailAt = 0;

protected:
    void DrawPage(TRLGraphicSurface& page) override {
        if (page.PageIndex() + 1 == FailAt)
            throw TRLException("the page could not be drawn");
        TRLPDFFilter::DrawPage(page);
        if (page.PageIndex() + 1 == CancelAfter)
            Cancel();
    }
};

class PdfFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HasPoppler())
            GTEST_SKIP() << "poppler-utils are not installed";
        filter.SetShowProgress(false);
    }
    QString Path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QObject owner;
    TRLGraphicStorage store{&owner};
    TRLPDFFilter filter;
};

TEST_F(PdfFilterTest, EveryPageKeepsItsPaperAndTexts) {
    store.Add(MakePage(1));
    store.Add(MakePage(2, {MetaOrientationLandscape}));
    store.Add(MakePage(3, {MetaOrientationPortrait, 148, 210}));
    const QString file = Path("informe.pdf");
    filter.SetFileName(file);
    FilterPages(&store, &filter, 1, false);
    EXPECT_EQ(PdfPageSizes(file), QList<QSize>({{595, 842}, {842, 595}, {420, 595}}));
    EXPECT_EQ(NumbersAfter("PAGE", PdfText(file)), QList<int>({1, 2, 3}));

    // At 96 pixels per inch the heading lies where the engine's own drawing has it.
    const QRect row(60, 60, 600, 120);
    const QRect want = InkBox(DrawnDirectly(*store.Pages(0)), row);
    const QRect got = InkBox(RasterizePdf(file, 1, 96), row);
    ASSERT_GT(want.width(), 100) << "PAGE 1 in 28 points";
    EXPECT_LE((got.topLeft() - want.topLeft()).manhattanLength(), 2);
    EXPECT_LE((got.bottomRight() - want.bottomRight()).manhattanLength(), 2);
}

// A page without paper (or with half of it) gets its pixels at 96 per inch, shaped as they are.
TEST_F(PdfFilterTest, PaperFromThePagesPixels) {
    const struct {
        double PaperWidth;  // the height is never given
        QSize Pixels, Want; // Want in points, as the sheet lies
    } cases[] = {
        {0, {480, 960}, {360, 720}}, {0, {960, 480}, {720, 360}}, {210, {480, 960}, {360, 720}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Pixels.width());
        TRLGraphicSurface page;
        page.SetWidth(c.Pixels.width());
        page.SetHeight(c.Pixels.height());
        page.SetOrientation(MetaOrientationLandscape); // which only paper would make so
        page.SetPaperWidth(c.PaperWidth);
        page.SetPaperHeight(0);
        const QPageLayout layout = TRLPDFFilter::PageLayoutOf(page);
        EXPECT_EQ(layout.fullRectPoints().size(), c.Want);
        EXPECT_EQ(layout.orientation() == QPageLayout::Landscape, c.Want.width() > c.Want.height());
        EXPECT_EQ(layout.margins(), QMarginsF()) << "the report draws its own margins";
    }
}

TEST_F(PdfFilterTest, UnwritablePathsNameTheFileAndLeaveNothing) {
    FillStore(store, 2);
    ASSERT_TRUE(WriteFile(Path("plain.txt"), {}));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    // Paths that not even root can write a file at.
    for (const QString& target :
         {Path("missing/out.pdf"), Path("plain.txt/out.pdf"), Path("folder")}) {
        filter.SetFileName(target);
        const QString error = ErrorOf([&] { FilterPages(&store, &filter, 1, false); });
        EXPECT_TRUE(error.startsWith("cannot write " + target)) << error.toStdString();
        EXPECT_FALSE(filter.Running());
    }
    EXPECT_EQ(Entries(dir.path()), QStringList({"plain.txt"}));
    EXPECT_TRUE(QDir(Path("folder")).isEmpty());
}

// Cancelled, failed while drawing, or without pages: no document, and the earlier file as it was.
TEST_F(PdfFilterTest, RunsThatDoNotFinishLeaveTheEarlierFileAsItWas) {
    FillStore(store, 4);
    const QString file = Path("informe.pdf");
    ASSERT_TRUE(WriteFile(file, "earlier"));
    auto unchanged = [&] {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) && f.readAll() == "earlier" &&
               Entries(dir.path()) == QStringList({"informe.pdf"});
    };
    InterruptedPdf interrupted;
    interrupted.SetShowProgress(false);
    interrupted.SetFileName(file);
    interrupted.CancelAfter = 2;
    FilterPages(&store, &interrupted, 1, false);
    EXPECT_EQ(interrupted.PagesWritten(), 2);
    EXPECT_TRUE(unchanged());

    interrupted.CancelAfter = 0;
    interrupted.FailAt = 3;
    EXPECT_EQ(ErrorOf([&] { FilterPages(&store, &interrupted, 1, false); }),
              "the page could not be drawn");
    EXPECT_TRUE(unchanged());

    const QString error = ErrorOf([&] { FilterPages(&store, &interrupted, 3, false, 2); });
    EXPECT_TRUE(error.contains(file)) << error.toStdString();
    EXPECT_TRUE(unchanged());
}

// Every font size a page can hold gives a document or one refusal, in either writer, that names the
// page and the size; sizes just within the largest the toolkit makes a font at (65535 pixels) still
// draw.
TEST_F(PdfFilterTest, EveryFontSizeDrawsOrIsRefusedNamingThePage) {
    const struct {
        int32_t Size;
        int32_t PixelsPerInch;
        bool Draws;
    } cases[] = {{0, 96, true},          {-12, 96, true},        {3278, 96, true},
                 {49000, 96, true},      {49300, 96, false},     {3278, 1440, false},
                 {INT32_MAX, 96, false}, {INT32_MIN, 96, false}, {12, INT32_MAX, false}};
    const QString file = Path("letra.pdf");
    for (const auto& c : cases) {
        for (const bool archival : {false, true}) {
            SCOPED_TRACE(testing::Message()
                         << c.Size << " at " << c.PixelsPerInch << (archival ? " PDF/A" : ""));
            store.Clear();
            store.Add(MakePage(1));
            auto page = OpenPage();
            auto& text = page->Append<TRLTextObject>();
            text.BoundsRect = {10, 10, 300, 100};
            text.Origin = {10, 10};
            text.Font.Size = c.Size;
            text.Font.PixelsPerInch = c.PixelsPerInch;
            text.SetFontName(QStringLiteral("Liberation Sans"));
            text.Text = QStringLiteral("Kel");
            page->Close();
            store.Add(page);
            QFile::remove(file);
            filter.SetArchival(archival);
            filter.SetFileName(file);
            const QString error = ErrorOf([&] { FilterPages(&store, &filter, 1, false); });
            if (c.Draws) {
                EXPECT_EQ(error, "(no error)");
                EXPECT_EQ(PdfPageSizes(file).size(), 2);
            } else {
                EXPECT_TRUE(error.startsWith(QStringLiteral("cannot write %1: page 2: ").arg(file)))
                    << error.toStdString();
                EXPECT_TRUE(error.contains(QStringLiteral("font size of %1 pt").arg(c.Size)))
                    << error.toStdString();
                EXPECT_FALSE(error.contains(u'\n'));
                EXPECT_FALSE(QFile::exists(file));
            }
        }
    }
}

// A damaged file can claim any paper: a sheet no PDF reader takes (more than 200 inches a side,
// or not a number at all) is refused naming the page, in either writer; 200 inches still draw.
TEST_F(PdfFilterTest, SheetsBeyondWhatAPdfHoldsAreRefusedNamingThePage) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double PaperWidth, PaperHeight;
        QSize Pixels;
        bool Draws;
    } cases[] = {
        {5080, 5080, {794, 1123}, true},       {nan, 297, {794, 1123}, false},
        {210, inf, {794, 1123}, false},        {5081, 297, {794, 1123}, false},
        {0, 0, {19200, 19200}, true},          {0, 0, {19201, 1123}, false},
        {0, 0, {INT32_MAX, INT32_MAX}, false},
    };
    const QString file = Path("hoja.pdf");
    for (const bool archival : {false, true}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << c.PaperWidth << " x " << c.PaperHeight << " mm, " << c.Pixels.width()
                         << " x " << c.Pixels.height() << (archival ? " PDF/A" : ""));
            store.Clear();
            store.Add(MakePage(1));
            auto page = OpenPage();
            page->SetWidth(c.Pixels.width());
            page->SetHeight(c.Pixels.height());
            page->SetPaperWidth(c.PaperWidth);
            page->SetPaperHeight(c.PaperHeight);
            page->TextRectEx({10, 10, 300, 40}, 10, 10, QStringLiteral("Kel"), 1, 1, 5);
            page->Close();
            store.Add(page);
            QFile::remove(file);
            filter.SetArchival(archival);
            filter.SetFileName(file);
            const QString error = ErrorOf([&] { FilterPages(&store, &filter, 1, false); });
            if (c.Draws) {
                EXPECT_EQ(error, "(no error)");
                EXPECT_EQ(PdfPageSizes(file).size(), 2);
            } else {
                EXPECT_TRUE(error.startsWith(
                    QStringLiteral("cannot write %1: page 2: its sheet would be ").arg(file)))
                    << error.toStdString();
                EXPECT_TRUE(error.endsWith(QStringLiteral("at most 5080 mm a side")))
                    << error.toStdString();
                EXPECT_FALSE(QFile::exists(file));
            }
        }
    }
}

// An XMP date in the notation of the document's information: "2026-12-07T03:59:26-03:00" ->
// "D:20261207035926-03'00'", "...Z" -> "D:...Z".
QString InfoNotation(const QString& xmp) {
    const QString zone = xmp.mid(19);
    return "D:" + xmp.left(19).remove(QRegularExpression("[-T:]")) +
           (zone == u"Z" ? zone : zone.left(3) + u'\'' + zone.mid(4) + u'\'');
}

// The list items (title, then author), creation date and PDF/A level of XMP metadata; Date says
// why when it is not well-formed XML.
struct TXmp {
    QStringList Items;
    QString Date, Level;
};
TXmp ReadXmp(const QByteArray& xmp) {
    TXmp facts;
    QXmlStreamReader reader(xmp);
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        if (attributes.hasAttribute("xmp:CreateDate"))
            facts.Date = attributes.value("xmp:CreateDate").toString();
        if (attributes.hasAttribute("pdfaid:part"))
            facts.Level = attributes.value("pdfaid:part").toString();
        if (reader.name() == u"li")
            facts.Items << reader.readElementText();
    }
    if (reader.hasError())
        facts.Date = "not XML: " + reader.errorString();
    return facts;
}

// Well-formed XMP whatever the title holds, dated as the document, from both writers; only PDF/A
// claims conformance (rltool's tests check the rest of it).
TEST_F(PdfFilterTest, ArchivalFilesIdentifyThemselvesAndDateAsTheDocument) {
    const QString title = "Liquidación <1> & \"año\" 'b'";
    FillStore(store, 2, title);
    for (const bool archival : {false, true}) {
        SCOPED_TRACE(archival ? "PDF/A" : "PDF");
        const QString file = Path(archival ? "archivo.pdf" : "correo.pdf");
        filter.SetArchival(archival);
        filter.SetAuthor("Fac. de Corvath");
        filter.SetFileName(file);
        FilterPages(&store, &filter, 1, false);

        const TXmp xmp = ReadXmp(RunProgram("pdfinfo", {"-meta", file}).Out.toUtf8());
        EXPECT_EQ(xmp.Items, QStringList({title, "Fac. de Corvath"}));
        EXPECT_EQ(xmp.Level, archival ? "1" : "");
        QFile pdf(file);
        ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
        const QByteArray info = "/CreationDate (" + InfoNotation(xmp.Date).toLatin1() + ")";
        EXPECT_TRUE(pdf.readAll().contains(info)) << info.toStdString();
    }
}

// The date keeps the zone the writer dates the document in; no author, no creator.
TEST(PdfMetadata, DatedInTheWritersZone) {
    for (const auto& [offset, want] : {std::pair(-3 * 3600, "2026-12-07T03:59:26-03:00"),
                                       std::pair(5 * 3600 + 1800, "2026-12-07T03:59:26+05:30")}) {
        const QDateTime created(QDate(2026, 12, 7), QTime(3, 59, 26), Qt::OffsetFromUTC, offset);
        const TXmp xmp = ReadXmp(TRLPDFFilter::XmpMetadata("t", QString(), created, false));
        EXPECT_EQ(xmp.Date, want);
        EXPECT_EQ(xmp.Items, QStringList{"t"});
    }
}

// A name ending in ".pdf" picks the ordinary filter, registered once for the whole program.
TEST(PdfRegistration, ThePreviewSaveWritesTheChosenPagesAsPdf) {
    if (!HasPoppler())
        GTEST_SKIP() << "poppler-utils are not installed";
    QTemporaryDir dir;
    QObject owner;
    TRLGraphicStorage store(&owner);
    FillStore(store, 3);
    TRLPDFFilter& pdf = RegisterPdfFilter();
    ASSERT_EQ(&RegisterPdfFilter(), &pdf) << "registering again makes no second filter";
    pdf.SetShowProgress(false);
    SaveParams().SetFilter(nullptr);
    const QString typed = dir.filePath("gastos.Pdf");
    ASSERT_TRUE(ExecuteSaveFlow(store, QString(), [&](TRLSaveDialog& d) {
        d.EditFileName->setText(typed);
        d.RadioButtonPagesInterval->setChecked(true);
        d.EditFromPage->setText("2");
        d.EditToPage->setText("3");
        d.ButtonSave->click();
    }));
    EXPECT_EQ(NumbersAfter("PAGE", PdfText(typed)), QList<int>({2, 3}));
    EXPECT_EQ(SaveParams().Filter(), &pdf);

    // The same name with "PDF/A" chosen: the archival file replaces it.
    RegisterPdfaFilter().SetShowProgress(false);
    ASSERT_TRUE(ExecuteSaveFlow(store, QString(), [&](TRLSaveDialog& d) {
        const QStringList offered{RLMessages[mkDefault], "PDF", "PDF/A"};
        EXPECT_EQ(Items(d.ComboBoxFilters), offered);
        d.EditFileName->setText(typed);
        d.ComboBoxFilters->setCurrentText("PDF/A");
        d.ButtonSave->click();
    }));
    EXPECT_EQ(PdfPageSizes(typed).size(), 3);
    EXPECT_TRUE(RunProgram("pdfinfo", {"-meta", typed}).Out.contains(R"(pdfaid:part="1")"));
    EXPECT_EQ(Entries(dir.path()), QStringList({"gastos.Pdf"}));
    SaveParams().SetFilter(nullptr);
}

} // namespace

// rltool's one step: the filter follows a report as it files its pages and paints each on the
// other threads while the report prepares the next, as the threads' checker sees. The footers
// name the page count, known only at the end; the file is the one written from the finished
// store, but for its dates and identifier, and a follow dropped before its end leaves no file.
TEST_F(PdfFilterTest, AFollowedRunWritesWhatTheFinishedStoreGives) {
    RegisterTextAndGraphicClasses();
    const QByteArray layout = R"({ "class": "TRLReport", "name": "Lista",
      "Font": { "Name": "Liberation Sans", "Size": 10 },
      "children": [
        { "class": "TRLBand", "name": "Detalle", "BandType": "btDetail", "Height": 20,
          "children": [ { "class": "TRLLabel", "name": "Nombre", "Left": 0, "Top": 2,
                          "Expression": "Nombre" } ] },
        { "class": "TRLBand", "name": "Pie", "BandType": "btFooter", "Height": 20,
          "children": [ { "class": "TRLSystemInfo", "name": "Pagina", "Left": 400, "Top": 2,
                          "Info": "itPagePreview", "Text": "Σελίδα # από #" } ] } ] })";
    QFile records(Path("registros.json"));
    ASSERT_TRUE(records.open(QIODevice::WriteOnly));
    QJsonArray rows;
    for (int i = 1; i <= 400; ++i)
        rows.append(QJsonObject{{"Nombre", QStringLiteral("Íñigo Núñez %1").arg(i)}});
    records.write(QJsonDocument(rows).toJson());
    records.close();

    const auto prepare = [&](TRLPDFFilter* following) {
        auto report = ReadReportLayoutFromJson(layout, QStringLiteral("lista.json"), dir.path());
        auto data = OpenJsonRecords(records.fileName());
        report->SetDataSource(data.get());
        if (following)
            following->BeginFollowing(report->Storage());
        EXPECT_TRUE(report->Prepare());
        if (following)
            following->EndFollowing();
        return std::pair(std::move(report), std::move(data));
    };
    const QString followed = Path("seguido.pdf");
    filter.SetFileName(followed);
    const auto run = prepare(&filter);
    const int pages = run.first->Storage().PageCount();
    ASSERT_GT(pages, TRLGraphicStorage::CacheSize) << "pages leave the cache as they are filed";

    const QString written = Path("escrito.pdf");
    TRLPDFFilter afterwards;
    afterwards.SetShowProgress(false);
    afterwards.SetFileName(written);
    FilterPages(&run.first->Storage(), &afterwards, 1, false);

    EXPECT_EQ(PdfWithoutDates(followed), PdfWithoutDates(written));
    EXPECT_EQ(PdfPageSizes(followed).size(), pages);
    for (const int page : {1, pages}) {
        const QString text = PdfText(followed, page);
        EXPECT_TRUE(text.contains(QStringLiteral("Σελίδα %1 από %2").arg(page).arg(pages)))
            << text.toStdString();
    }
    EXPECT_TRUE(PdfText(followed, pages).contains(QStringLiteral("Íñigo Núñez 400")));

    // Dropped before its end (a run that failed, a signal): no file, and the store forgets it.
    const QString dropped = Path("abandonado.pdf");
    {
        TRLPDFFilter stopped;
        stopped.SetShowProgress(false);
        stopped.SetFileName(dropped);
        auto report = ReadReportLayoutFromJson(layout, QStringLiteral("lista.json"), dir.path());
        auto data = OpenJsonRecords(records.fileName());
        report->SetDataSource(data.get());
        stopped.BeginFollowing(report->Storage());
        EXPECT_TRUE(report->Prepare());
        stopped.StopFollowing();
        EXPECT_EQ(testsupport::ErrorOf([&] { stopped.EndFollowing(); }),
                  QStringLiteral("cannot write %1: no run was followed").arg(dropped));
    }
    EXPECT_FALSE(QFile::exists(dropped));
}
