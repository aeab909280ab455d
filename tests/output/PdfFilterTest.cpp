// The PDF save filter, checked on the files it writes: poppler reads back pages, paper, texts and
// pictures; runs that do not finish must leave no file; the save dialog and the preview's save
// flow reach the filter by its extension.
#include "OutputTestSupport.h"

#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace outputtest;

namespace {

// A page of a travel-allowance form: accented texts, a euro sign, its own number among total
// pages, a frame and a small picture.
std::shared_ptr<TRLGraphicSurface> FormPage(int number, int total, const PagePaper& paper = {}) {
    auto page = OpenPage(paper);
    page->SetFont({.Name = "Liberation Sans", .Size = 20});
    page->SetBrush({Qt::white, TRLBrushStyle::Clear});
    // One inch from the left and top edges of the sheet.
    page->TextOut(96, 96, "MMMMMMMMMM");
    page->SetFont({.Name = "Liberation Sans", .Size = 10});
    page->TextOut(96, 150, "Año 2026 — Descripción del gasto");
    page->TextOut(96, 170, "Importe: 12,50 €");
    page->TextOut(96, 190, QStringLiteral("Página %1 de %2").arg(number).arg(total));
    page->Rectangle(20, 20, page->Width() - 20, page->Height() - 20);
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::darkBlue);
    page->StretchDraw({96, 220, 176, 280}, picture);
    page->Close();
    return page;
}

// The size of a sheet of the given millimetres, in points.
QSizeF Points(double width, double height) {
    return QSizeF(width, height) * 72 / 25.4;
}

// The form numbers ("Página n de ...") of a document, in order.
QList<int> Forms(const QString& file, int page = 0) {
    return NumbersAfter("Página", PdfText(file, page));
}

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
        ASSERT_TRUE(dir.isValid());
        filter.SetShowProgress(false);
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
    // pages forms of A4 portrait, with a landscape one at landscapeAt.
    void Fill(int pages, int landscapeAt = 0) {
        store.SetTitle("Liquidación de viaje");
        for (int n = 1; n <= pages; ++n)
            store.Add(FormPage(n, pages, {n == landscapeAt ? MetaOrientationLandscape : 0}));
    }

    QTemporaryDir dir;
    QObject owner;
    TRLGraphicStorage store{&owner};
    TRLPDFFilter filter;
};

TEST_F(PdfFilterTest, EveryPageKeepsItsPaperTextsAndPictures) {
    store.Add(FormPage(1, 3));
    store.Add(FormPage(2, 3, {MetaOrientationLandscape}));
    store.Add(FormPage(3, 3, {MetaOrientationPortrait, 148, 210}));
    const QString file = Path("informe.pdf");
    filter.SetFileName(file);
    FilterPages(&store, &filter, 1, false);
    EXPECT_EQ(filter.PagesWritten(), 3);

    // A4 portrait and landscape, and A5, in points.
    EXPECT_EQ(Sheets(file), QList<QSize>({{595, 842}, {842, 595}, {420, 595}}));
    const QString text = PdfText(file);
    EXPECT_EQ(text.count("Año 2026 — Descripción del gasto"), 3) << text.toStdString();
    EXPECT_EQ(text.count("Importe: 12,50 €"), 3);
    EXPECT_EQ(Forms(file), QList<int>({1, 2, 3}));

    // Texts sit where the page put them, at their true size: the first sheet seen at 96 pixels
    // per inch has the row of capitals where the engine's own drawing has it, to the pixel.
    const QImage sheet = RasterizePdf(file, 1, 96);
    ASSERT_FALSE(sheet.isNull());
    const QRect row(60, 60, 400, 80);
    const QRect want = InkBox(DrawnDirectly(*store.Pages(0)), row), got = InkBox(sheet, row);
    ASSERT_GT(want.width(), 200) << "ten 20-point capitals M";
    EXPECT_NEAR(got.left(), want.left(), 1);
    EXPECT_NEAR(got.top(), want.top(), 1);
    EXPECT_NEAR(got.right(), want.right(), 1);
    EXPECT_NEAR(got.bottom(), want.bottom(), 1);

    // The picture is embedded once per page; the page is not turned into a picture itself.
    const QList<QStringList> images = PdfTable("pdfimages", {"-list", file});
    ASSERT_EQ(images.size(), 3);
    for (const QStringList& cells : images)
        EXPECT_EQ(cells.mid(3, 2), QStringList({"40", "30"})) << cells.join(' ').toStdString();
}

TEST_F(PdfFilterTest, PaperFromThePageOrFromItsPixels) {
    struct Case {
        int Orientation;
        double PaperW, PaperH;
        int PixelW, PixelH;
        QSizeF Want; // points, as the sheet lies
        QPageLayout::Orientation WantOrientation;
    } const cases[] = {
        {MetaOrientationPortrait, 210, 297, 794, 1123, Points(210, 297), QPageLayout::Portrait},
        {MetaOrientationLandscape, 210, 297, 1123, 794, Points(297, 210), QPageLayout::Landscape},
        // Without paper: the pixels at 96 per inch, and their shape decides the orientation.
        {MetaOrientationPortrait, 0, 0, 480, 960, {360, 720}, QPageLayout::Portrait},
        {MetaOrientationPortrait, 0, 0, 960, 480, {720, 360}, QPageLayout::Landscape},
        // Half a paper setting is no paper.
        {MetaOrientationLandscape, 210, 0, 480, 960, {360, 720}, QPageLayout::Portrait},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.PaperW << " " << c.PixelW);
        TRLGraphicSurface page;
        page.SetWidth(c.PixelW);
        page.SetHeight(c.PixelH);
        page.SetOrientation(c.Orientation);
        page.SetPaperWidth(c.PaperW);
        page.SetPaperHeight(c.PaperH);
        const QPageLayout layout = TRLPDFFilter::PageLayoutOf(page);
        EXPECT_NEAR(layout.fullRectPoints().width(), c.Want.width(), 1);
        EXPECT_NEAR(layout.fullRectPoints().height(), c.Want.height(), 1);
        EXPECT_EQ(layout.orientation(), c.WantOrientation);
        EXPECT_EQ(layout.margins(), QMarginsF()) << "the report draws its own margins";
    }
}

TEST_F(PdfFilterTest, RangesInTheForegroundAndInTheBackground) {
    Fill(5, 3);
    filter.SetFileName(Path("middle.pdf"));
    FilterPages(&store, &filter, 2, false, 4);
    // Page 3 of the store is the landscape one.
    EXPECT_EQ(Sheets(Path("middle.pdf")), QList<QSize>({{595, 842}, {842, 595}, {595, 842}}));
    EXPECT_EQ(Forms(Path("middle.pdf")), QList<int>({2, 3, 4}));

    // In the background, with its progress window; the end is reported through RunFinished.
    FinishListener finished(filter);
    const auto runFinished = [&] {
        return WaitFor([&] { return finished.Finished() && !filter.Running(); });
    };
    filter.SetShowProgress(true);
    filter.SetFileName(Path("tail.pdf"));
    FilterPages(&store, &filter, 4, true, -1);
    ASSERT_TRUE(runFinished());
    EXPECT_EQ(finished.Error, QString());
    EXPECT_EQ(Forms(Path("tail.pdf")), QList<int>({4, 5}));
    EXPECT_EQ(PdfPageSizes(Path("tail.pdf")).size(), 2);

    // A background run that cannot write says so, naming the file.
    finished.Reset();
    const QString nowhere = Path("no-such-folder/tail.pdf");
    filter.SetFileName(nowhere);
    FilterPages(&store, &filter, 1, true, -1);
    ASSERT_TRUE(runFinished());
    EXPECT_TRUE(finished.Error.contains(nowhere)) << finished.Error.toStdString();
    EXPECT_EQ(Entries(dir.path()), QStringList({"middle.pdf", "tail.pdf"}));
}

TEST_F(PdfFilterTest, UnwritablePathsNameTheFileAndLeaveNothing) {
    Fill(2);
    ASSERT_TRUE(WriteFile(Path("plain.txt"), {}));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    // Paths that nobody, root included, can write a file at.
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

TEST_F(PdfFilterTest, RunsThatDoNotFinishLeaveTheEarlierFileAsItWas) {
    Fill(4);
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
    FinishListener reported(interrupted);

    // Cancelled after page 2: no error, but no document either.
    interrupted.CancelAfter = 2;
    FilterPages(&store, &interrupted, 1, false);
    EXPECT_EQ(interrupted.PagesWritten(), 2);
    EXPECT_EQ(reported.Error, QString());
    EXPECT_TRUE(unchanged());

    // An error while drawing page 3 reaches the caller.
    interrupted.CancelAfter = 0;
    interrupted.FailAt = 3;
    EXPECT_THROW(FilterPages(&store, &interrupted, 1, false), TRLException);
    EXPECT_EQ(reported.Error, "the page could not be drawn");
    EXPECT_TRUE(unchanged());

    // A range without pages has nothing to write.
    interrupted.FailAt = 0;
    const QString error = ErrorOf([&] { FilterPages(&store, &interrupted, 3, false, 2); });
    EXPECT_TRUE(error.contains(file)) << error.toStdString();
    EXPECT_TRUE(unchanged());

    // The filter is fit for the next run, which replaces the file.
    FilterPages(&store, &interrupted, 1, false);
    EXPECT_EQ(PdfPageSizes(file).size(), 4);
    EXPECT_EQ(Entries(dir.path()), QStringList({"informe.pdf"}));
}

// An XMP date in the notation of the document's information: "2026-12-07T03:59:26-03:00" ->
// "D:20261207035926-03'00'", "...Z" -> "D:...Z".
QString InfoNotation(const QString& xmp) {
    const QString zone = xmp.mid(19);
    return "D:" + xmp.left(19).remove(QRegularExpression("[-T:]")) +
           (zone == u"Z" ? zone : zone.left(3) + u'\'' + zone.mid(4) + u'\'');
}

QString Captured(const QString& text, const QString& pattern) {
    return QRegularExpression(pattern).match(text).captured(1);
}

// Archives accept PDF/A: the identification and the document's facts in the XMP metadata, dated
// as the document itself is (rltool's tests check that every font is inside). The ordinary PDF
// says the same facts but claims no conformance.
TEST_F(PdfFilterTest, ArchivalFilesIdentifyThemselvesAndDateAsTheDocument) {
    Fill(2);
    for (const bool archival : {false, true}) {
        SCOPED_TRACE(archival ? "PDF/A" : "PDF");
        const QString file = Path(archival ? "archivo.pdf" : "correo.pdf");
        filter.SetArchival(archival);
        filter.SetAuthor("Fac. de Corvath");
        filter.SetFileName(file);
        FilterPages(&store, &filter, 1, false);

        const QString meta = RunProgram("pdfinfo", {"-meta", file}).Out;
        EXPECT_EQ(meta.contains("pdfaid:part=\"1\""), archival) << meta.toStdString();
        EXPECT_EQ(meta.contains("pdfaid:conformance=\"B\""), archival) << meta.toStdString();
        EXPECT_EQ(Captured(meta, "<dc:creator>.*<rdf:li>(.*)</rdf:li>"), "Fac. de Corvath");
        EXPECT_EQ(Captured(meta, "<dc:title>.*<rdf:li[^>]*>(.*)</rdf:li>"), "Liquidación de viaje");
        const QString created = Captured(meta, "xmp:CreateDate=\"([^\"]+)\"");
        EXPECT_FALSE(created.isEmpty()) << meta.toStdString();
        QFile pdf(file);
        ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
        const QByteArray info = "/CreationDate (" + InfoNotation(created).toLatin1() + ")";
        EXPECT_TRUE(pdf.readAll().contains(info)) << info.toStdString();
        EXPECT_TRUE(RunProgram("pdfinfo", {file}).Out.contains("Liquidación de viaje"));
    }
}

// The metadata is XML whatever the title holds, and its date keeps the zone the writer dates the
// document in.
TEST(PdfMetadata, WellFormedWithTheDocumentsFactsAndZone) {
    const QDate day(2026, 12, 7);
    const QTime time(3, 59, 26);
    const struct {
        QDateTime Created;
        const char* Want;
    } dates[] = {
        {QDateTime(day, time, Qt::OffsetFromUTC, -3 * 3600), "2026-12-07T03:59:26-03:00"},
        {QDateTime(day, time, Qt::OffsetFromUTC, 5 * 3600 + 1800), "2026-12-07T03:59:26+05:30"},
        {QDateTime(day, time, Qt::UTC), "2026-12-07T03:59:26Z"},
    };
    const QString title = "Informe <1> & \"año\" 'b'";
    for (const auto& d : dates)
        for (const bool archival : {false, true})
            for (const QString& author : {QString(), QStringLiteral("Fac. de Corvath")}) {
                SCOPED_TRACE(testing::Message() << d.Want << archival << author.toStdString());
                const QByteArray xmp =
                    TRLPDFFilter::XmpMetadata(title, author, d.Created, archival);
                QXmlStreamReader reader(xmp);
                QStringList titles, authors, dateAttributes, conformance;
                while (!reader.atEnd()) {
                    if (reader.readNext() != QXmlStreamReader::StartElement)
                        continue;
                    const QXmlStreamAttributes attributes = reader.attributes();
                    if (attributes.hasAttribute("xmp:CreateDate"))
                        dateAttributes << attributes.value("xmp:CreateDate").toString();
                    if (attributes.hasAttribute("pdfaid:part"))
                        conformance << attributes.value("pdfaid:part").toString();
                    if (reader.name() == u"li") {
                        const QString text = reader.readElementText();
                        (text == title ? titles : authors) << text;
                    }
                }
                ASSERT_FALSE(reader.hasError()) << reader.errorString().toStdString() << xmp.data();
                EXPECT_EQ(titles, QStringList{title});
                EXPECT_EQ(authors, author.isEmpty() ? QStringList() : QStringList{author});
                EXPECT_EQ(dateAttributes, QStringList{QString::fromLatin1(d.Want)});
                EXPECT_EQ(conformance, archival ? QStringList{"1"} : QStringList());
            }
}

// Only the process-wide filters are registered here, as in the program.
TEST(PdfRegistration, TheSaveDialogOffersPdfAndPdfaAndNamesPickThemByExtension) {
    TRLPDFFilter* pdf = &RegisterPdfFilter();
    TRLPDFFilter* pdfa = &RegisterPdfaFilter();
    EXPECT_EQ(&RegisterPdfFilter(), pdf) << "registering again makes no second filter";
    EXPECT_EQ(&RegisterPdfaFilter(), pdfa);
    EXPECT_FALSE(pdf->Archival());
    EXPECT_TRUE(pdfa->Archival());
    // Both have ".pdf"; a name alone means the ordinary PDF.
    EXPECT_EQ(SaveFilterByFileName("/tmp/a.b/Informe.PDF"), pdf);

    struct Case {
        const char* Typed;
        int ChosenEntry; // 0 "Default", 1 "PDF", 2 "PDF/A"
        const char* FileName;
        TRLCustomSaveFilter* Filter;
    } const cases[] = {
        {"x.pdf", 0, "x.pdf", pdf},     {"x.rpf", 1, "x.rpf", nullptr}, {"x", 0, "x.rpf", nullptr},
        {"x", 1, "x.pdf", pdf},         {"x.PDF", 2, "x.PDF", pdfa},    {"x", 2, "x.pdf", pdfa},
        {"x.rpf", 2, "x.rpf", nullptr}, {"x.pdf", 1, "x.pdf", pdf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Typed << " " << c.ChosenEntry);
        SaveParams().Clear();
        SaveParams().SetFilter(nullptr);
        TRLSaveDialog dialog;
        ASSERT_TRUE(dialog.Execute([&](TRLSaveDialog& d) {
            EXPECT_EQ(Items(d.ComboBoxFilters),
                      QStringList({RLMessages[mkDefault], "PDF", "PDF/A"}));
            d.EditFileName->setText(QString::fromLatin1(c.Typed));
            d.ComboBoxFilters->setCurrentIndex(c.ChosenEntry);
            d.ButtonSave->click();
        }));
        EXPECT_EQ(SaveParams().FileName(), QString::fromLatin1(c.FileName));
        EXPECT_EQ(SaveParams().Filter(), c.Filter);
    }
}

TEST(PdfRegistration, ThePreviewSaveWritesTheChosenPagesAsPdf) {
    if (!HasPoppler())
        GTEST_SKIP() << "poppler-utils are not installed";
    QTemporaryDir dir;
    QObject owner;
    TRLGraphicStorage store(&owner);
    for (int n = 1; n <= 3; ++n)
        store.Add(FormPage(n, 3));
    RegisterPdfFilter().SetShowProgress(false);
    SaveParams().SetFilter(nullptr);
    const QString typed = dir.filePath("gastos.Pdf");
    ASSERT_TRUE(ExecuteSaveFlow(store, QString(), [&](TRLSaveDialog& d) {
        d.EditFileName->setText(typed);
        d.RadioButtonPagesInterval->setChecked(true);
        d.EditFromPage->setText("2");
        d.EditToPage->setText("3");
        d.ButtonSave->click();
    }));
    EXPECT_EQ(Forms(typed), QList<int>({2, 3}));
    EXPECT_EQ(Entries(dir.path()), QStringList({"gastos.Pdf"}));

    // The same name with "PDF/A" chosen: the archival file replaces it.
    RegisterPdfaFilter().SetShowProgress(false);
    ASSERT_TRUE(ExecuteSaveFlow(store, QString(), [&](TRLSaveDialog& d) {
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
