// Pictures: scaled, stretched and clipped recording, auto-size, loading, and a rendered page.
#include "RLGraphicData.h"
#include "RLRegistry.h"
#include "ReportTestSupport.h"

#include <QDir>
#include <QPainter>

using namespace reporttest;

namespace {

// A crest of 99 x 144: a blue shield on white with a red band, so that its orientation shows.
QImage Crest() {
    QImage image(99, 144, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 40, 160));
    p.drawRect(5, 5, 89, 100);
    p.drawEllipse(QPoint(49, 105), 44, 34);
    p.setBrush(QColor(200, 20, 20));
    p.drawRect(5, 30, 89, 15);
    return image;
}

TRLImage* AddImage(TRLBand* band, int left, int top, const QImage& picture = Crest()) {
    auto* image = new TRLImage(band);
    image->SetBounds(left, top, 49, 65);
    image->SetPicture(picture);
    return image;
}

} // namespace

// Five pictures in 49 x 65 boxes, recorded in the order they were made.
TEST(GraphicImage, ScaledStretchedClippedAndCentredPicturesInTheirBoxes) {
    OneBandReport doc(200);
    AddImage(doc.band, 96, 8)->SetScaled(true);
    auto* centred = AddImage(doc.band, 200, 8);
    centred->SetScaled(true);
    centred->SetCenter(true);
    AddImage(doc.band, 0, 0)->SetStretch(true);
    AddImage(doc.band, 100, 0)->Borders().SetSides(sdAll);
    AddImage(doc.band, 200, 0, QImage(20, 10, QImage::Format_RGB32))->SetCenter(true);
    const auto page = doc.Prepare();
    EXPECT_EQ(BoundsOf<TRLImageObject>(*page),
              (std::vector<TRLRect>{
                  // Scaled, 65 x 99 / 144 = 44.69: 45 wide, full height, at the top-left.
                  {38 + 96, 38 + 8, 38 + 96 + 45, 38 + 8 + 65},
                  // Scaled and centred, it moves by half the spare width.
                  {38 + 202, 38 + 8, 38 + 202 + 45, 38 + 8 + 65},
                  // Stretched over the whole box.
                  {38, 38, 38 + 49, 38 + 65},
                  // Natural size from the top-left inside the border, cut to the client area.
                  {139, 39, 138 + 48, 38 + 64},
                  // A smaller picture, centred at its own size.
                  {238 + 14, 38 + 27, 238 + 34, 38 + 37}}));
    const auto images = ObjectsOf<TRLImageObject>(*page);
    EXPECT_FALSE(images[0]->Parity);
    // The whole picture is kept when scaled or stretched; that happens when the page is drawn.
    for (int i : {0, 2}) {
        const QImage stored = DecodeTaggedData(images[i]->Data);
        EXPECT_EQ(stored.size(), QSize(99, 144));
        EXPECT_EQ(QColor(stored.pixel(49, 37)), QColor(200, 20, 20));
    }
    // A clipped picture keeps only what is shown.
    const QImage part = DecodeTaggedData(images[3]->Data);
    EXPECT_EQ(part.size(), QSize(47, 63));
    EXPECT_EQ(QColor(part.pixel(20, 30)), QColor(200, 20, 20));
}

TEST(GraphicImage, ScaledAndStretchExcludeEachOtherAndEmptyPicturesRecordOnlyTheFrame) {
    TRLImage image;
    image.SetScaled(true);
    image.SetStretch(true);
    EXPECT_EQ(std::pair(image.Scaled(), image.Stretch()), std::pair(false, true));
    image.SetScaled(true);
    EXPECT_EQ(std::pair(image.Scaled(), image.Stretch()), std::pair(true, false));

    OneBandReport doc(200);
    auto* empty = new TRLImage(doc.band);
    empty->SetColor(Qt::green);
    empty->Borders().SetSides(sdAll);
    const auto page = doc.Prepare();
    EXPECT_EQ(std::tuple(ObjectsOf<TRLImageObject>(*page).size(),
                         ObjectsOf<TRLFillRectObject>(*page).size(),
                         ObjectsOf<TRLRectangleObject>(*page).size()),
              std::tuple(0u, 1u, 4u));
}

TEST(GraphicImage, AutoSizeTakesThePictureSizeKeepingTheTopLeftCorner) {
    OneBandReport doc(300);
    auto* image = AddImage(doc.band, 30, 40);
    EXPECT_EQ(image->BoundsRect(), (TRLRect{30, 40, 79, 105}));
    image->SetAutoSize(true);
    EXPECT_EQ(image->BoundsRect(), (TRLRect{30, 40, 129, 184}));
    image->Borders().SetSides(sdAll);
    image->Borders().SetWidth(2);
    EXPECT_EQ(image->BoundsRect(), (TRLRect{30, 40, 30 + 99 + 6, 40 + 144 + 6}));
    image->SetPicture(QImage(10, 20, QImage::Format_RGB32));
    EXPECT_EQ(image->BoundsRect(), (TRLRect{30, 40, 30 + 10 + 6, 40 + 20 + 6}));
    // An empty picture leaves the size alone.
    image->SetPicture(QImage());
    EXPECT_EQ(image->BoundsRect(), (TRLRect{30, 40, 30 + 10 + 6, 40 + 20 + 6}));
}

TEST(GraphicImage, PicturesLoadFromFilesAndTheRegistry) {
    RegisterTextAndGraphicClasses();
    const QString path = QDir::temp().filePath(QStringLiteral("kelmora-controls-crest.jpg"));
    ASSERT_TRUE(Crest().save(path, "JPEG", 95));
    TRLImage image;
    image.LoadPicture(path);
    EXPECT_EQ(image.Picture().size(), QSize(99, 144));
    // JPEG colours come back close, not exact.
    EXPECT_NEAR(QColor(image.Picture().pixel(49, 37)).red(), 200, 24);
    QFile::remove(path);
    EXPECT_THROW(image.LoadPicture(path), TRLException);

    const TRLClassRegistry& registry = TRLClassRegistry::Instance();
    ASSERT_TRUE(registry.WriteProperty(image, QStringLiteral("Picture"),
                                       QImage(3, 4, QImage::Format_RGB32)));
    EXPECT_EQ(image.Picture().size(), QSize(3, 4));
    ASSERT_TRUE(registry.WriteProperty(image, QStringLiteral("Scaled"), true));
    QVariant value;
    ASSERT_TRUE(registry.ReadProperty(image, QStringLiteral("Stretch"), value));
    EXPECT_FALSE(value.toBool());
}

// Which names each class publishes is checked against the hand-written layout schema
// (tests/layouts), and that the registry creates each class by the control kind tests; here: that
// values are reached by name, as a layout reader and an expression see them.
TEST(GraphicImage, RegisteredClassesAreReachedByName) {
    RegisterTextAndGraphicClasses();
    const TRLClassRegistry& registry = TRLClassRegistry::Instance();
    TRLSystemInfo info;
    ASSERT_TRUE(registry.WriteProperty(info, QStringLiteral("Info"), QStringLiteral("itTitle")));
    QVariant value;
    ASSERT_TRUE(registry.ReadProperty(info, QStringLiteral("Info"), value, true));
    EXPECT_EQ(value.toString(), QStringLiteral("itTitle"));
    EXPECT_EQ(info.Caption(), QStringLiteral("(Title)"));
    TRLMemo memo;
    ASSERT_TRUE(registry.WriteProperty(memo, QStringLiteral("Lines"), QStringList{"uno", "dos"}));
    EXPECT_EQ(memo.Caption(), QStringLiteral("uno\r\ndos\r\n"));
}

TEST(GraphicImage, PreparedPageRendersItsShapesTextsAndPicture) {
    OneBandReport doc(131);
    AddImage(doc.band, 96, 8)->SetScaled(true);
    auto* title = new TRLLabel(doc.band);
    title->SetFont(BoldArial(10));
    title->SetBounds(200, 10, 10, 10);
    title->SetCaption(QStringLiteral("SOLICITUD DE KELMORA"));
    AddLine(doc.band, 199, 34, 482);
    auto* box = new TRLDraw(doc.band);
    box->SetDrawKind(dkTriangle);
    box->SetAngle(180);
    box->Brush().SetColor(QColor(255, 220, 120));
    box->SetBounds(600, 60, 60, 60);
    auto* memo = new TRLMemo(doc.band);
    memo->SetBounds(199, 60, 380, 10);
    memo->SetAlignment(taJustify);
    memo->SetLines({QStringLiteral("DECLARO BAJO JURAMENTO QUE EL VEHÍCULO QUE SE UTILIZA CUENTA "
                                   "CON SEGURO CONTRA TERCEROS, ASUMIENDO LA RESPONSABILIDAD.")});
    auto* date = new TRLSystemInfo(doc.band);
    date->SetText(QStringLiteral("Fecha: #"));
    date->SetBounds(560, 8, 10, 10);
    const auto page = doc.Prepare();

    const QImage png = Rendered(*page);
    // The underline's row is dark across its length and white just above it.
    for (int x : {38 + 200, 38 + 400, 38 + 679})
        EXPECT_LT(qGray(png.pixel(x, 38 + 38)), 100) << x;
    EXPECT_EQ(qGray(png.pixel(38 + 400, 38 + 36)), 255);
    // The crest's red band, scaled to 45 x 65.
    EXPECT_GT(QColor(png.pixel(38 + 96 + 22, 38 + 8 + 17)).red(), 150);
    // Some ink where the title and the memo's first line are.
    auto inked = [&](int x0, int y0, int x1, int y1) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                if (qGray(png.pixel(x, y)) < 128)
                    return true;
        return false;
    };
    EXPECT_TRUE(inked(38 + 200, 38 + 10, 38 + 360, 38 + 26));
    EXPECT_TRUE(inked(38 + 199, 38 + 60, 38 + 579, 38 + 75));
    // The memo's third line made the band grow instead of being cut off.
    const int lh = RLTextHeight(MeasuringFont(*memo));
    EXPECT_TRUE(inked(38 + 199, 38 + 60 + 2 * lh, 38 + 579, 38 + 60 + 3 * lh));
    // Turned half round, the triangle stands on its tip: filled low in the middle, white in
    // the lower corners.
    EXPECT_NE(png.pixel(38 + 630, 38 + 110), qRgb(255, 255, 255));
    EXPECT_EQ(png.pixel(38 + 604, 38 + 115), qRgb(255, 255, 255));
    EXPECT_EQ(png.pixel(38 + 656, 38 + 115), qRgb(255, 255, 255));
}
