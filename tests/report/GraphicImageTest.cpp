// Pictures: scaled, stretched and clipped recording, auto-size, and pictures from the records.
#include "ReportTestSupport.h"
#include <kelmora/pagestore/RLGraphicData.h>
#include <kelmora/pagestore/RLGraphicObject.h>

#include <QBuffer>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

using namespace Kelmora;

using namespace reporttest;

namespace {

// A picture of 99 x 144, white with a red band, so that what is kept of it shows.
QImage Crest() {
    QImage image(99, 144, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter(&image).fillRect(5, 30, 89, 15, QColor(200, 20, 20));
    return image;
}

TRLImage* AddImage(TRLBand* band, int left, int top, const QImage& picture = Crest()) {
    auto* image = new TRLImage(band);
    image->SetBounds(left, top, 49, 65);
    image->SetPicture(picture);
    return image;
}

} // namespace

// Pictures in 49 x 65 boxes, in the order made (a scaled one alone: the documents' crest).
TEST(GraphicImage, ScaledStretchedClippedAndCentredPicturesInTheirBoxes) {
    OneBandReport doc(200);
    auto* centred = AddImage(doc.band, 200, 8);
    centred->SetScaled(true);
    centred->SetCenter(true);
    AddImage(doc.band, 0, 0)->SetStretch(true);
    AddImage(doc.band, 100, 0)->Borders().SetSides(sdAll);
    AddImage(doc.band, 200, 0, QImage(20, 10, QImage::Format_RGB32))->SetCenter(true);
    const auto page = doc.Prepare();
    EXPECT_EQ(BoundsOf<TRLImageObject>(*page),
              (std::vector<TRLRect>{
                  // Scaled (65 x 99 / 144 = 44.69: 45 wide) and centred by half the spare width.
                  {38 + 202, 38 + 8, 38 + 202 + 45, 38 + 8 + 65},
                  // Stretched over the whole box.
                  {38, 38, 38 + 49, 38 + 65},
                  // Natural size from the top-left inside the border, cut to the client area.
                  {139, 39, 138 + 48, 38 + 64},
                  // A smaller picture, centred at its own size.
                  {238 + 14, 38 + 27, 238 + 34, 38 + 37}}));
    const auto images = ObjectsOf<TRLImageObject>(*page);
    // The whole picture is kept when scaled or stretched; that happens when the page is drawn.
    for (int i : {0, 1}) {
        const QImage stored = DecodeTaggedData(images[i]->Data);
        EXPECT_EQ(stored.size(), QSize(99, 144));
        EXPECT_EQ(QColor(stored.pixel(49, 37)), QColor(200, 20, 20));
    }
    // A clipped picture keeps only what is shown.
    const QImage part = DecodeTaggedData(images[2]->Data);
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

// A picture file beyond the bound on pixels is refused naming the control and the size; one
// that is no picture at all as not found, as before.
TEST(GraphicImage, LoadingAPictureBeyondTheBoundNamesTheControlAndTheSize) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QByteArray bitmap;
    QBuffer buffer(&bitmap);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(Crest().scaled(2, 2).save(&buffer, "BMP"));
    // The header's width and height (little-endian at 18 and 22) claim 5000 x 5000.
    for (const int at : {18, 22}) {
        bitmap[at] = char(5000 & 0xFF);
        bitmap[at + 1] = char(5000 >> 8);
    }
    const QString path = dir.filePath(QStringLiteral("grande.bmp"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bitmap);
    file.close();

    OneBandReport doc(80);
    TRLImage* image = AddImage(doc.band, 0, 0);
    image->SetName(QStringLiteral("Foto"));
    try {
        image->LoadPicture(path);
        FAIL() << "the picture was loaded";
    } catch (const TRLException& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Foto.Picture: %1: 5000 x 5000 pixels, larger than "
                                              "16777216 pixels")
                                   .arg(path));
    }
    EXPECT_EQ(image->Picture().size(), QSize(99, 144)); // the picture it had stays
}

// A photograph far larger than its box is recorded at eight pixels a report pixel, reduced once
// for every record that prints it; a picture within that is recorded as it is.
TEST(GraphicImage, PicturesFarLargerThanTheirBoxAreRecordedReduced) {
    QImage photo(2000, 1000, QImage::Format_RGB32);
    photo.fill(QColor(30, 120, 200));
    QPainter(&photo).fillRect(0, 500, 2000, 500, QColor(240, 200, 20));
    RecordsReport report(3);
    auto* band = AddBand(&report, "D", btDetail, 0, 80);
    TRLImage* stretched = AddImage(band, 0, 0, photo); // 49 x 65
    stretched->SetStretch(true);
    TRLImage* scaled = AddImage(band, 100, 0, photo);
    scaled->SetScaled(true);
    TRLImage* small = AddImage(band, 200, 0); // the 99 x 144 crest, under 8 times 49 x 65
    small->SetStretch(true);
    ASSERT_EQ(PreparedPages(report), 1);
    const auto page = Page(report);
    const auto images = ObjectsOf<TRLImageObject>(*page);
    ASSERT_EQ(images.size(), 9u); // three a record
    for (size_t i = 0; i < images.size(); i += 3) {
        const QImage s = DecodeTaggedData(images[i]->Data);
        EXPECT_EQ(s.size(), QSize(392, 520));
        EXPECT_EQ(images[i]->BoundsRect,
                  (TRLRect{38, 38 + int(i / 3) * 80, 87, 103 + int(i / 3) * 80}));
        // Its halves keep their colours.
        EXPECT_EQ(s.pixelColor(196, 100), QColor(30, 120, 200));
        EXPECT_EQ(s.pixelColor(196, 400), QColor(240, 200, 20));
        // 2000 x 1000 fits 49 x 24 in its box, and is kept at the largest 2:1 within eight
        // times that.
        const TRLRect fitted = images[i + 1]->BoundsRect;
        EXPECT_EQ(QSize(fitted.Right - fitted.Left, fitted.Bottom - fitted.Top), QSize(49, 24));
        EXPECT_EQ(DecodeTaggedData(images[i + 1]->Data).size(), QSize(384, 192));
        EXPECT_EQ(DecodeTaggedData(images[i + 2]->Data).size(), QSize(99, 144));
    }
}

// ---- pictures from the records ---------------------------------------------------------------

namespace {

QByteArray Encoded(const QImage& image, const char* format = "PNG") {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format));
    return bytes;
}

QImage Filled(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A bitmap whose header claims 5000 x 5000 pixels.
QByteArray HugeBitmap() {
    QByteArray bitmap = Encoded(Filled(2, 2, Qt::black), "BMP");
    for (const int at : {18, 22}) {
        bitmap[at] = char(5000 & 0xFF);
        bitmap[at + 1] = char(5000 >> 8);
    }
    return bitmap;
}

} // namespace

// Each form a record may give its picture in, and each way it can fail, told with the value cut
// short (a picture's data may run to megabytes).
TEST(RecordPictures, ValuesNameFilesOrCarryTheirData) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("fotos")));
    const QByteArray red = Encoded(Filled(3, 2, Qt::red));
    WriteFile(dir.filePath(QStringLiteral("fotos/roja.png")), red);
    WriteFile(dir.filePath(QStringLiteral("fotos/año ñandú.png")),
              Encoded(Filled(4, 4, Qt::green)));
    WriteFile(dir.filePath(QStringLiteral("notas.txt")), "no es una foto");
    WriteFile(dir.filePath(QStringLiteral("grande.bmp")), HugeBitmap());
    const QString blueBase64 = QString::fromLatin1(Encoded(Filled(5, 6, Qt::blue)).toBase64());
    // Base64 as a JSON file or a mail carries it, in lines of 76.
    QString wrapped;
    for (qsizetype at = 0; at < blueBase64.size(); at += 76)
        wrapped += blueBase64.mid(at, 76) + QStringLiteral("\r\n");

    const struct {
        QString Value;
        QSize Size;
        QColor Colour;
    } pictures[] = {
        {QStringLiteral("fotos/roja.png"), {3, 2}, Qt::red},
        {QStringLiteral(" fotos/año ñandú.png "), {4, 4}, Qt::green},
        {dir.filePath(QStringLiteral("fotos/roja.png")), {3, 2}, Qt::red},
        {blueBase64, {5, 6}, Qt::blue},
        {wrapped, {5, 6}, Qt::blue},
        {QStringLiteral("data:image/png;base64,") + blueBase64, {5, 6}, Qt::blue},
        {QStringLiteral("DATA:application/octet-stream;BASE64,") +
             QString::fromLatin1(red.toBase64()),
         {3, 2},
         Qt::red},
    };
    for (const auto& p : pictures) {
        const QImage image = PictureFromRecordValue(p.Value, dir.path());
        EXPECT_EQ(image.size(), p.Size) << p.Value.left(40).toStdString();
        EXPECT_EQ(image.pixelColor(0, 0), p.Colour) << p.Value.left(40).toStdString();
    }
    EXPECT_TRUE(PictureFromRecordValue(QString(), dir.path()).isNull());
    EXPECT_TRUE(PictureFromRecordValue(QStringLiteral(" \n "), dir.path()).isNull());

    const QString folder = QDir::toNativeSeparators(dir.path());
    const QString longText = QString(100, u'x') + u'\n' + QString(100, u'x');
    const struct {
        QString Value;
        QString Error;
    } refusals[] = {
        {QStringLiteral("fotos/falta.png"),
         QStringLiteral("picture file not found: %1/fotos/falta.png").arg(folder)},
        {QStringLiteral("notas.txt"),
         QStringLiteral("not a picture that can be read: %1/notas.txt").arg(folder)},
        {QStringLiteral("grande.bmp"),
         QStringLiteral("not a picture that can be read: %1/grande.bmp (5000 x 5000 pixels, larger "
                        "than 16777216 pixels)")
             .arg(folder)},
        {QString::fromLatin1(HugeBitmap().toBase64()),
         QStringLiteral("the picture data of the record is too large: 5000 x 5000 pixels, larger "
                        "than 16777216 pixels")},
        {QStringLiteral("data:image/png,iVBORw0KGgo"),
         QStringLiteral("\"data:image/png,iVBORw0KGgo\" is not a \"data:\" value with base64 data "
                        "(\"data:image/png;base64,...\")")},
        {QStringLiteral("data:image/png;base64,%%%%"),
         QStringLiteral("\"data:image/png;base64,%%%%\" is not a \"data:\" value with base64 data "
                        "(\"data:image/png;base64,...\")")},
        {QStringLiteral("data:;base64,") + QString::fromLatin1(QByteArray("texto").toBase64()),
         QStringLiteral("the data of \"data:;base64,dGV4dG8=\" is not a picture that can be read")},
        {longText, QStringLiteral("\"%1...\" is neither a picture file nor picture data")
                       .arg(QString(60, u'x'))},
        {QStringLiteral("<svg><nada/></svg>"),
         QStringLiteral("\"<svg><nada/></svg>\" is neither a picture file nor picture data")},
    };
    for (const auto& r : refusals)
        EXPECT_EQ(ErrorOf([&] { PictureFromRecordValue(r.Value, dir.path()); }), r.Error);
}

// A picture control over records shows each record's picture at its own size, none for a null,
// reads a picture the records repeat once, and is as the layout made it after the run.
TEST(RecordPictures, EachRecordShowsItsPictureAndTheErrorNamesTheLayout) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    WriteFile(dir.filePath(QStringLiteral("roja.png")), Encoded(Filled(10, 12, Qt::red)));
    const QString blue = QString::fromLatin1(Encoded(Filled(20, 30, Qt::blue)).toBase64());
    TRLJsonRecordsModel records;
    records.Load(QStringLiteral(R"json([{"Foto": "roja.png"}, {"Foto": "%1"}, {"Foto": null},
                                        {"Foto": "roja.png"}, {"Foto": "falta.png"}])json")
                     .arg(blue)
                     .toUtf8(),
                 QStringLiteral("records"));
    RegisterTextAndGraphicClasses();
    const auto report = ReadReportLayoutFromJson(R"json({"class": "TRLReport", "name": "R",
        "children": [{"class": "TRLBand", "name": "D", "BandType": "btDetail", "Height": 40,
          "children": [{"class": "TRLImage", "name": "Foto", "Left": 5, "Top": 2, "Width": 7,
                        "Height": 7, "AutoSize": true, "Expression": "Foto"}]}]})json",
                                                 QStringLiteral("fotos.json"), dir.path());
    report->SetDataSource(&records);
    report->SetShowProgress(false);
    auto* image = qobject_cast<TRLImage*>(report->FindControl(QStringLiteral("Foto")));
    ASSERT_TRUE(image);

    // The last record names a missing file: the run stops there, naming the layout.
    EXPECT_EQ(ErrorOf([&] { report->Prepare(); }),
              QStringLiteral("fotos.json: Foto.Expression: picture file not found: %1")
                  .arg(QDir::toNativeSeparators(dir.filePath(QStringLiteral("falta.png")))));
    records.Load(QStringLiteral(R"json([{"Foto": "roja.png"}, {"Foto": "%1"}, {"Foto": null},
                                        {"Foto": "roja.png"}])json")
                     .arg(blue)
                     .toUtf8(),
                 QStringLiteral("records"));
    ASSERT_EQ(PreparedPages(*report), 1);
    const auto pictures = ObjectsOf<TRLImageObject>(*Page(*report));
    ASSERT_EQ(pictures.size(), 3u);
    const struct {
        int Record;
        QSize Size;
        QColor Colour;
    } want[] = {{0, {10, 12}, Qt::red}, {1, {20, 30}, Qt::blue}, {3, {10, 12}, Qt::red}};
    for (size_t i = 0; i < pictures.size(); ++i) {
        const QImage shown = DecodeTaggedData(pictures[i]->Data);
        EXPECT_EQ(shown.size(), want[i].Size);
        EXPECT_EQ(shown.pixelColor(1, 1), want[i].Colour);
        // AutoSize: the box is the picture's, at the record's band.
        const int top = 38 + 40 * want[i].Record + 2;
        EXPECT_EQ(pictures[i]->BoundsRect, (TRLRect{38 + 5, top, 38 + 5 + want[i].Size.width(),
                                                    top + want[i].Size.height()}));
    }
    EXPECT_TRUE(image->Picture().isNull());
    EXPECT_EQ(QSize(image->Width(), image->Height()), QSize(7, 7));
}
