// The barcode control: its size, its orientations, what a prepared report records for it, and
// its registration for layouts.
#include "BarcodeTestSupport.h"
#include <kelmora/barcode/RLBarcode.h>
#include <kelmora/pagestore/RLGraphicData.h>
#include <kelmora/pagestore/RLGraphicObject.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/report/RLBands.h>
#include <kelmora/report/RLJsonRecords.h>
#include <kelmora/report/RLLayoutReader.h>
#include <kelmora/report/RLReport.h>

#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace Kelmora;

using barcodetest::CountPixels;

namespace {

// Pattern widths at module 1, ratio 2 (Interleaved 2 of 5): start and stop take 8 pixels and
// each pair of digits 14.
int Interleaved(int pairs) {
    return 8 + 14 * pairs;
}

// 1 mm margins left and right are 4 pixels each; one pixel is kept clear after the bars.
constexpr int SideMargins = 8;

QSize SizeOf(const TRLBarcode& barcode) {
    return {barcode.Width(), barcode.Height()};
}

// A report with one header band holding one barcode, as a layout would build it.
struct BarcodeReport {
    TRLReport report;
    TRLBand* band = new TRLBand(&report);
    TRLBarcode* barcode = new TRLBarcode(band);

    explicit BarcodeReport(const char* caption = "", TRLBarcodeType type = bcCode2OF5Interleaved) {
        band->SetBandType(btHeader);
        band->SetHeight(120);
        barcode->SetLeft(10);
        barcode->SetTop(5);
        barcode->SetBarcodeType(type);
        barcode->SetCaption(caption);
    }

    // Prepares and returns the image objects of the first page.
    std::vector<const TRLImageObject*> Prepare() {
        EXPECT_TRUE(report.Prepare());
        page = report.Storage().Pages(0);
        std::vector<const TRLImageObject*> images;
        EXPECT_NE(page, nullptr) << "no page was prepared";
        if (page)
            for (const auto& object : page->Objects())
                if (object->Kind() == TRLObjectKind::Image)
                    images.push_back(static_cast<const TRLImageObject*>(object.get()));
        return images;
    }

    // Prepares and returns the picture of the one image object recorded (kept in image); a
    // null picture, and a failure, when there is not exactly one.
    QImage OnePicture() {
        const auto images = Prepare();
        EXPECT_EQ(images.size(), 1u);
        image = images.size() == 1 ? images[0] : nullptr;
        return image ? DecodeTaggedData(image->Data) : QImage();
    }

    // Where the band's (0, 0) lands on the page: the first header band sits at the margins.
    TRLPoint BandOrigin() const {
        const TRLRect margins = report.PageMargins();
        return {margins.Left, margins.Top};
    }

    std::shared_ptr<TRLGraphicSurface> page;
    const TRLImageObject* image = nullptr;
};

} // namespace

TEST(BarcodeControl, AutoSizeFollowsTheCodeTheMarginsAndTheFrameSides) {
    TRLBarcode barcode;
    const auto widthAfter = [&](auto change) {
        change();
        return barcode.Width();
    };
    // 1 mm margins each side; an empty code is as wide as its start and stop.
    EXPECT_EQ(SizeOf(barcode), QSize(Interleaved(0) + 1 + SideMargins, 34));
    // The bars' width at each module and ratio is the encoder's (its columns and widths tests).
    EXPECT_EQ(widthAfter([&] { barcode.SetCaption("12"); }), 31); // 22 pixels of bars

    // A left margin of 2 mm is 8 pixels.
    EXPECT_EQ(widthAfter([&] { barcode.Margins().SetLeftMargin(2.0); }), 22 + 1 + 8 + 4);
    barcode.Margins().SetLeftMargin(1.0);

    // Drawn frame sides left and right add their width and one pixel each; top and bottom
    // add nothing. Outside a report only fixed sides are drawn.
    barcode.Borders().SetWidth(2);
    EXPECT_EQ(widthAfter([&] { barcode.Borders().SetFixedTop(true); }), 31);
    EXPECT_EQ(widthAfter([&] { barcode.Borders().SetFixedLeft(true); }), 31 + 3);
    EXPECT_EQ(widthAfter([&] { barcode.Borders().SetFixedRight(true); }), 31 + 6);
    EXPECT_EQ(widthAfter([&] { barcode.Borders().SetWidth(0); }), 31);

    // Without AutoSize the size stays whatever the code.
    barcode.SetAutoSize(false);
    EXPECT_EQ(widthAfter([&] { barcode.SetCaption("12345678"); }), 31);
    EXPECT_EQ(widthAfter([&] { barcode.SetAutoSize(true); }), Interleaved(4) + 1 + SideMargins);

    // Symbology and check digit change the bars and so the size: EAN 128's eight digits and a
    // check digit take one more symbol of 11.
    barcode.SetBarcodeType(bcEAN128C);
    const int withoutDigit = widthAfter([&] { barcode.SetCheckSum(false); });
    EXPECT_EQ(widthAfter([&] { barcode.SetCheckSum(true); }), withoutDigit + 11);
    EXPECT_EQ(widthAfter([&] { barcode.SetCheckSumMethod(cmNone); }), withoutDigit);
}

// The turned picture itself is checked in VerticalBarsRunTheWayTheOrientationSays.
TEST(BarcodeControl, OrientationSwapsTheSidesAndSizesTheHeight) {
    TRLBarcode barcode;
    barcode.SetCaption("12");
    barcode.SetOrientation(boBottomToTop);
    // Swapped, then the length along the bars (now the height) follows the code.
    barcode.SetCaption("1234");
    const int length = Interleaved(2) + 1 + SideMargins;
    EXPECT_EQ(SizeOf(barcode), QSize(34, length));
    // Vertical to vertical keeps the sides, and back they swap again.
    barcode.SetOrientation(boTopToBottom);
    barcode.SetOrientation(boLeftToRight);
    EXPECT_EQ(SizeOf(barcode), QSize(length, 34));

    // A layout being read stores the bounds of its own orientation: no swap then.
    TRLBarcode loaded;
    loaded.BeginLoad();
    loaded.SetBounds(0, 0, 40, 90);
    loaded.SetOrientation(boTopToBottom);
    loaded.EndLoad();
    EXPECT_EQ(SizeOf(loaded), QSize(40, Interleaved(0) + 1 + SideMargins));
}

TEST(BarcodeControl, PrintRecordsOnePictureInsideTheMargins) {
    BarcodeReport r("1234");
    r.barcode->SetModule(2);
    const int width = r.barcode->Width();
    ASSERT_EQ(width, 2 * Interleaved(2) + 1 + SideMargins);
    const QImage picture = r.OnePicture();
    ASSERT_FALSE(picture.isNull());
    const TRLPoint band = r.BandOrigin();
    EXPECT_EQ(r.image->BoundsRect,
              (TRLRect{band.X + 10 + 4, band.Y + 5, band.X + 10 + width - 4, band.Y + 5 + 34}));
    // Recorded at its natural size: one bitmap column per report pixel.
    EXPECT_FALSE(r.image->Parity);
    ASSERT_EQ(picture.size(), QSize(width - SideMargins, 34));
    // The bars start at the left edge; the last column is the one kept clear.
    EXPECT_EQ(picture.pixelColor(0, 17), QColor(Qt::black));
    EXPECT_EQ(picture.pixelColor(picture.width() - 1, 17), QColor(Qt::white));
}

TEST(BarcodeControl, PrintPlacesTheBarsByAlignmentAndTakesTheParentsColour) {
    BarcodeReport r("1234");
    r.band->SetColor(QColor(255, 255, 200));
    r.barcode->SetAutoSize(false);
    r.barcode->SetBounds(10, 5, 100, 40);
    r.barcode->SetAlignment(taRightJustify);
    r.barcode->SetBarColor(QColor(0, 0, 160));
    const QImage picture = r.OnePicture();
    ASSERT_FALSE(picture.isNull());
    const TRLPoint band = r.BandOrigin();
    // The picture fills the area less the margins; its bars go to the right inside it.
    EXPECT_EQ(r.image->BoundsRect,
              (TRLRect{band.X + 14, band.Y + 5, band.X + 10 + 100 - 4, band.Y + 45}));
    EXPECT_EQ(picture.pixelColor(0, 20), QColor(255, 255, 200));
    EXPECT_EQ(picture.pixelColor(picture.width() - 1, 20), QColor(0, 0, 160));
    EXPECT_EQ(CountPixels(picture, QColor(Qt::black)), 0);
}

TEST(BarcodeControl, NothingIsRecordedWithoutRoomForTheBars) {
    BarcodeReport r("1234");
    r.barcode->SetAutoSize(false);
    r.barcode->SetWidth(SideMargins); // nothing left between the margins
    EXPECT_TRUE(r.Prepare().empty());
    r.barcode->SetWidth(SideMargins + 1);
    EXPECT_EQ(r.OnePicture().size(), QSize(1, 34));
}

TEST(BarcodeControl, InvalidValuesPrintAsInvalidCodeSays) {
    struct Case {
        TRLBarcodeType type;
        const char* value;
        TRLBarcodeInvalidCode invalidCode;
        bool invalid, bars, cross;
    };
    const Case cases[] = {
        {bcCode2OF5Interleaved, "1A2345", icEmptyRect, true, false, false},
        {bcCode2OF5Interleaved, "1A2345", icCrossOut, true, true, true},
        {bcCode2OF5Interleaved, "1A2345", icDrawAnyway, true, true, false},
        {bcCode2OF5Interleaved, "102345", icCrossOut, false, true, false},
        // A fixed-length code of the wrong length has no bars at all, only the cross.
        {bcEAN13, "12345678901234", icCrossOut, true, false, true},
        {bcEAN13, "12345678901234", icDrawAnyway, true, false, false},
        // A blank value: background only, and not invalid (the documents' test renders the
        // request's empty one).
        {bcCode2OF5Interleaved, "   ", icCrossOut, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << BarcodeTypeName(c.type).toStdString() << " \"" << c.value
                                        << "\" " << c.invalidCode);
        BarcodeReport r(c.value, c.type);
        r.barcode->SetInvalidCode(c.invalidCode);
        r.barcode->SetAutoSize(false);
        r.barcode->SetWidth(160);
        const QImage picture = r.OnePicture();
        EXPECT_EQ(picture.size(), QSize(160 - SideMargins, 34));
        EXPECT_EQ(CountPixels(picture, QColor(Qt::black)) > 0, c.bars);
        EXPECT_EQ(barcodetest::RedPixels(picture) > 0, c.cross);
        EXPECT_EQ(r.barcode->Invalid(), c.invalid);
    }
}

TEST(BarcodeControl, TheCaptionEventDecidesWhatIsPrinted) {
    BarcodeReport r("1234");
    QObject::connect(r.barcode, &TRLCustomControl::BeforePrint,
                     [](TRLCustomControl&, bool& printIt) { printIt = false; });
    EXPECT_TRUE(r.Prepare().empty());

    BarcodeReport shown("12");
    QObject::connect(shown.barcode, &TRLCustomControl::BeforePrint,
                     [](TRLCustomControl& sender, bool&) { sender.SetCaption("12345678"); });
    // AutoSize followed the value printed, and the design caption and size are back afterwards.
    EXPECT_EQ(shown.OnePicture().width(), Interleaved(4) + 1);
    EXPECT_EQ(shown.barcode->Caption(), QStringLiteral("12"));
    EXPECT_EQ(shown.barcode->Width(), 31);
}

TEST(BarcodeControl, VerticalBarsRunTheWayTheOrientationSays) {
    // The code starts at the picture's bottom when it reads upwards and at its top when it
    // reads downwards; the clear pixels after the bars are at the other end.
    for (const TRLBarcodeOrientation orientation : {boBottomToTop, boTopToBottom}) {
        BarcodeReport r("1234");
        r.barcode->SetOrientation(orientation);
        ASSERT_EQ(r.barcode->Width(), 34);
        const QImage picture = r.OnePicture();
        // The side margins shrink the picture across the bars; along them the control's
        // length still holds the margins' pixels, which stay blank after the bars.
        ASSERT_EQ(picture.size(), QSize(34 - SideMargins, Interleaved(2) + 1 + SideMargins));
        const int first = orientation == boBottomToTop ? picture.height() - 1 : 0;
        const int clear = orientation == boBottomToTop ? 0 : picture.height() - 1;
        EXPECT_EQ(barcodetest::RowPattern(picture, first), QString(picture.width(), u'#'));
        EXPECT_EQ(barcodetest::RowPattern(picture, clear), QString(picture.width(), u'.'));
        // The bars cross the whole width: every column shows the same code.
        EXPECT_EQ(barcodetest::ColumnPattern(picture, 0),
                  barcodetest::ColumnPattern(picture, picture.width() - 1));
    }
}

TEST(BarcodeControl, DesignViewMatchesThePrintedPicture) {
    BarcodeReport r("1234");
    r.barcode->SetShowText(boBoth);
    r.barcode->SetHeight(60);
    const QImage design = r.barcode->PaintImage();
    const QImage printed = r.OnePicture();
    ASSERT_EQ(design.size(), QSize(r.barcode->Width(), 60));
    EXPECT_EQ(design.copy(4, 0, printed.width(), printed.height()),
              printed.convertToFormat(design.format()));
}

// The layout schema test compares the registered property names with the schema; here each
// published property must reach the barcode's own setter and getter.
TEST(BarcodeControl, RegisteredForLayoutsByPropertyName) {
    RegisterBarcodeClasses();
    const TRLClassRegistry& registry = TRLClassRegistry::Instance();
    TRLReport report;
    auto* barcode = dynamic_cast<TRLBarcode*>(registry.Create("TRLBarcode", new TRLBand(&report)));
    ASSERT_NE(barcode, nullptr);

    const std::pair<const char*, QVariant> values[] = {
        {"BarcodeType", "bcCode39"},
        {"Module", 3},
        {"Ratio", 2.5},
        {"CheckSum", true},
        {"CheckSumMethod", "cmNone"},
        {"Orientation", "boTopToBottom"},
        {"ShowText", "boBoth"},
        {"InvalidCode", "icDrawAnyway"},
        {"BarColor", QColor(Qt::darkBlue)},
        {"Margins.LeftMargin", 2.0},
        {"Expression", "'AR' + Sku"},
        {"DisplayMask", "000000"},

    };
    for (const auto& [name, written] : values) {
        EXPECT_TRUE(registry.WriteProperty(*barcode, name, written)) << name;
        QVariant read;
        ASSERT_TRUE(registry.ReadProperty(*barcode, name, read, true)) << name;
        EXPECT_EQ(read, written) << name;
    }
    EXPECT_EQ(barcode->BarcodeType(), bcCode39);
    EXPECT_EQ(barcode->Module(), 3);
    EXPECT_EQ(barcode->Margins().LeftMargin(), 2.0);
}

// A barcode over records prints each record's value, through a display mask, totals included;
// zbarimg reads every one back.
TEST(BarcodeControl, EachRecordPrintsTheValueOfItsExpression) {
    if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty())
        GTEST_SKIP() << "zbarimg is not installed";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    RegisterBarcodeClasses();
    TRLJsonRecordsModel records;
    records.Load(R"json([{"Sku": "ÁRBOL-1", "Qty": 7}, {"Sku": "mate-2", "Qty": 41},
                         {"Sku": "Ñandú 3", "Qty": 900}])json",
                 QStringLiteral("records"));
    const auto report = ReadReportLayoutFromJson(R"json({"class": "TRLReport", "name": "R",
        "children": [{"class": "TRLBand", "name": "D", "BandType": "btDetail", "Height": 100,
          "children": [
            {"class": "TRLBarcode", "name": "Code", "BarcodeType": "bcCode128B", "Module": 2,
             "Height": 40, "Expression": "upper(replace(replace(replace(Sku, 'Á', 'A'), 'Ñ', 'N'), 'ú', 'u'))"},
            {"class": "TRLBarcode", "name": "Count", "Top": 50, "BarcodeType": "bcCode128C",
             "Module": 2, "Height": 40, "Expression": "sum(Qty)", "DisplayMask": "000000"}]}]})json",
                                                 QStringLiteral("codes.json"), QString());
    report->SetDataSource(&records);
    report->SetShowProgress(false);
    ASSERT_TRUE(report->Prepare());
    const auto page = report->Storage().Pages(0);
    QStringList read;
    for (const auto& object : page->Objects())
        if (object->Kind() == TRLObjectKind::Image)
            read << barcodetest::ZbarDecode(
                DecodeTaggedData(static_cast<const TRLImageObject&>(*object).Data)
                    .scaled(QSize(600, 100), Qt::KeepAspectRatio),
                {QStringLiteral("code128")}, dir.path());
    // The running total of Qty, padded to six digits.
    EXPECT_EQ(read, QStringList({"ARBOL-1", "000007", "MATE-2", "000048", "NANDU 3", "000948"}));
    // The control keeps its design caption.
    EXPECT_EQ(report->FindControl(QStringLiteral("Code"))->Caption(), QString());
}

// A field bound the way other report formats bind it is refused, saying how it is bound here.
TEST(BarcodeControl, AFieldIsBoundThroughExpression) {
    RegisterBarcodeClasses();
    for (const char* key : {"DataField", "Field", "datafield"}) {
        const QByteArray layout = QByteArray(R"json({"class": "TRLReport", "name": "R",
            "children": [{"class": "TRLBand", "name": "D", "children": [
              {"class": "TRLBarcode", "name": "Code", "KEY": "Sku"}]}]})json")
                                      .replace("KEY", key);
        try {
            ReadReportLayoutFromJson(layout, QStringLiteral("codes.json"), QString());
            ADD_FAILURE() << key << " was taken";
        } catch (const TRLException& e) {
            EXPECT_EQ(e.Message(),
                      QStringLiteral("codes.json: Code.%1: TRLBarcode has no such property (a "
                                     "value from the records is given by \"Expression\", such "
                                     "as \"Expression\": \"Sku\")")
                          .arg(QLatin1String(key)));
        }
    }
}
