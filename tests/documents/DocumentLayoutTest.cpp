// The three documents as they come out of their layouts: one A4 page each, every fixed caption,
// line, picture and field where the documents place them, read back from the page store.
#include "DocumentTestSupport.h"
#include "FFRDeclaracionJurada.h"
#include "FFRSolicitud.h"
#include "FFRVehiculoParticular.h"
#include "RLBarcode.h"
#include "RLTextControls.h"

#include <QDateTime>
#include <QDir>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <set>

using namespace doctest;

namespace {

enum class Doc { Solicitud, Declaracion, Vehiculo };

std::unique_ptr<TFFRDocument> MakeForm(Doc doc) {
    switch (doc) {
    case Doc::Solicitud:
        return std::make_unique<TFFRSolicitud>();
    case Doc::Declaracion:
        return std::make_unique<TFFRDeclaracionJurada>();
    case Doc::Vehiculo:
        return std::make_unique<TFFRVehiculoParticular>();
    }
    return nullptr;
}

const char* DocName(Doc doc) {
    switch (doc) {
    case Doc::Solicitud:
        return "solicitud";
    case Doc::Declaracion:
        return "declaracion-jurada";
    case Doc::Vehiculo:
        return "vehiculo-particular";
    }
    return "";
}

constexpr Doc kAllDocs[] = {Doc::Solicitud, Doc::Declaracion, Doc::Vehiculo};

// Band tops on the page.
constexpr int kLetterhead = 38;
constexpr int kTitle = 169;
constexpr int kBody = 201;

struct Caption {
    const char* Text;
    int BandTop;
    int Left; // in the band
    int Top;
    int Width; // as the layout stores it; 0 where that is not the caption's width
    int Size;  // points
    TRLFontStyles Style;
};

constexpr TRLFontStyles B = fsBold;

const std::vector<Caption> kLetterheadCaptions = {
    // The stored widths of the institution's names (207 and 131) are wider than the names in
    // any face: the labels size themselves to the text, so only the position is checked.
    {"Universidad Nacional de Brendal", kLetterhead, 16, 80, 0, 10, 0},
    {"Facultad de Corvath", kLetterhead, 54, 98, 0, 10, 0},
    {"Fecha  :", kLetterhead, 612, 6, 44, 8, B},
};

// The body captions that the request and the sworn statement share, after the first one.
const std::vector<Caption> kBodyCaptions = {
    {"D.N.I. Nº ", kBody, 56, 61, 60, 10, B},
    {"CATEGORIA ", kBody, 56, 98, 84, 10, B},
    {"DEDICACIÓN ", kBody, 379, 98, 88, 10, B},
    {"MOTIVO ", kBody, 56, 136, 60, 10, B},
    {"DESTINO ", kBody, 56, 212, 65, 10, B},
    {"MEDIO DE TRANSPORTE ", kBody, 56, 250, 163, 10, B},
    {"SALIDA ", kBody, 56, 288, 56, 10, B},
    {"HORA ", kBody, 311, 288, 45, 10, B},
    {"REGRESO ", kBody, 56, 325, 71, 10, B},
    {"HORA ", kBody, 311, 325, 45, 10, B},
    {"SE SOLICITA ", kBody, 56, 363, 90, 10, B},
};

std::vector<Caption> CaptionsOf(Doc doc) {
    std::vector<Caption> all = kLetterheadCaptions;
    auto add = [&](std::vector<Caption> more) { all.insert(all.end(), more.begin(), more.end()); };
    switch (doc) {
    case Doc::Solicitud:
        add({{"PERSONA QUE VIAJA ", kBody, 56, 23, 144, 10, B}});
        add(kBodyCaptions);
        add({{"Solicitante", kBody, 150, 648, 65, 10, 0},
             {"Director de Dpto.", kBody, 514, 648, 102, 10, 0},
             // The item lines before any run.
             {"AUX_1", kBody, 114, 401, 43, 10, 0},
             {"AUX_2", kBody, 114, 439, 43, 10, 0},
             {"AUX_4", kBody, 114, 477, 43, 10, 0}});
        break;
    case Doc::Declaracion:
        add({{"NOMBRE Y APELLIDO ", kBody, 56, 23, 145, 10, B}});
        add(kBodyCaptions);
        add({{"Firma beneficiario", kBody, 534, 703, 106, 10, 0}});
        break;
    case Doc::Vehiculo:
        add({{"PERSONA QUE VIAJA ", kBody, 56, 23, 144, 10, B},
             {"D.N.I. Nº ", kBody, 56, 61, 60, 10, B},
             {"MOTIVO ", kBody, 56, 98, 60, 10, B},
             {"DESTINO ", kBody, 56, 174, 65, 10, B},
             {"VEHÍCULO PATENTE Nº ", kBody, 56, 212, 155, 10, B},
             {"SALIDA ", kBody, 58, 247, 56, 10, B},
             {"HORA ", kBody, 311, 247, 45, 10, B},
             {"REGRESO ", kBody, 56, 284, 71, 10, B},
             {"HORA ", kBody, 311, 284, 45, 10, B},
             {"Firma beneficiario", kBody, 534, 494, 106, 10, 0}});
        break;
    }
    return all;
}

const char* TitleOf(Doc doc) {
    switch (doc) {
    case Doc::Solicitud:
        return "SOLICITUD DE KELMORA";
    case Doc::Declaracion:
        return "DECLARACIÓN JURADA (PASAJE / INSCRIPCIÓN)";
    case Doc::Vehiculo:
        return "VEHÍCULO PARTICULAR";
    }
    return "";
}

struct Line {
    int BandTop;
    int Left;
    int Top;
    int Width;
};

const std::vector<Line> kBodyLines = {
    {kBody, 199, 34, 482},  {kBody, 114, 72, 567},  {kBody, 138, 109, 223}, {kBody, 464, 109, 218},
    {kBody, 119, 223, 562}, {kBody, 218, 261, 463}, {kBody, 135, 299, 155}, {kBody, 360, 299, 155},
    {kBody, 135, 336, 155}, {kBody, 360, 336, 155},
};

std::vector<Line> LinesOf(Doc doc) {
    std::vector<Line> lines;
    switch (doc) {
    case Doc::Solicitud:
        lines = kBodyLines;
        lines.push_back({kBody, 98, 636, 169});
        lines.push_back({kBody, 479, 636, 169});
        break;
    case Doc::Declaracion:
        lines = kBodyLines;
        lines.push_back({kBody, 503, 691, 169});
        break;
    case Doc::Vehiculo:
        lines = {{kBody, 199, 34, 482},  {kBody, 114, 72, 567},  {kBody, 119, 185, 562},
                 {kBody, 210, 223, 471}, {kBody, 135, 258, 155}, {kBody, 360, 258, 155},
                 {kBody, 135, 295, 155}, {kBody, 360, 295, 155}, {kBody, 503, 482, 169}};
        break;
    }
    return lines;
}

QStringList AuxNamesOf(Doc doc) {
    switch (doc) {
    case Doc::Solicitud:
        return {"aux_persona",     "aux_dni",   "aux_categ",  "aux_dedica",     "aux_motivo",
                "aux_destino",     "aux_medio", "aux_salida", "aux_horasalida", "aux_llegada",
                "aux_horallegada", "aux_1",     "aux_2",      "aux_4"};
    case Doc::Declaracion:
        return {"aux_persona",    "aux_dni",     "aux_categ",       "aux_dedica",
                "aux_motivo",     "aux_destino", "aux_medio",       "aux_salida",
                "aux_horasalida", "aux_llegada", "aux_horallegada", "aux_solicita"};
    case Doc::Vehiculo:
        return {"aux_persona", "aux_dni",        "aux_motivo",  "aux_destino",    "aux_patente",
                "aux_salida",  "aux_horasalida", "aux_llegada", "aux_horallegada"};
    }
    return {};
}

// The engine's own measure of a text, as labels size themselves with it.
TRLSize Measure(const QString& text, int size, TRLFontStyles style) {
    TRLGraphicSurface scratch;
    TRLFont font;
    font.Name = QStringLiteral("Arial");
    font.Size = size;
    font.Style = style;
    scratch.SetFont(font);
    return {scratch.TextWidth(text), scratch.TextHeight(text)};
}

class DocumentLayout : public ::testing::TestWithParam<Doc> {};

} // namespace

TEST_P(DocumentLayout, PreparesOneA4PageWithTheCrestAndNoOtherPicture) {
    auto form = MakeForm(GetParam());
    TRLReport& report = form->RLReport1();
    EXPECT_EQ(report.Name(), "RLReport1");
    EXPECT_EQ(report.PageSetup().PaperSize(), fpA4);
    EXPECT_EQ(report.PageSetup().Orientation(), poPortrait);
    EXPECT_TRUE(report.ForcePrepare());
    EXPECT_TRUE(report.PrintDialog());
    EXPECT_TRUE(report.ShowProgress());
    EXPECT_EQ(report.PreviewOptions().Defaults(), pdUseDefaults);
    EXPECT_TRUE(report.Title().isEmpty());
    const TRLFont font = report.Font();
    EXPECT_EQ(font.Name, "Arial");
    EXPECT_EQ(font.Size, 10);
    EXPECT_EQ(font.Style, 0);
    EXPECT_EQ(font.Color, QColor(Qt::black));

    const auto page = PreparePage(report);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->Width(), 794);
    EXPECT_EQ(page->Height(), 1123);
    // Preparing twice (the run does it on every "Imprimir") still gives one page.
    PreparePage(report);

    std::vector<TRLRect> pictures;
    for (const auto& object : page->Objects())
        if (object->Kind() == TRLObjectKind::Image)
            pictures.push_back(object->BoundsRect);
    // The 99 x 144 crest shrunk into its 49 x 65 box keeps its proportions: 45 x 65, not
    // centred.
    ASSERT_GE(pictures.size(), 1u);
    const TRLRect crest{kBandLeft + 96, kLetterhead + 8, kBandLeft + 96 + 45, kLetterhead + 8 + 65};
    EXPECT_NE(std::find(pictures.begin(), pictures.end(), crest), pictures.end())
        << "no picture at the crest's place";
}

TEST_P(DocumentLayout, BindsEveryRunTimeLabelByName) {
    auto form = MakeForm(GetParam());
    EXPECT_EQ(form->AuxNames(), AuxNamesOf(GetParam()));
    for (const QString& name : AuxNamesOf(GetParam())) {
        TRLCustomControl* control = form->FindControl(name);
        ASSERT_NE(control, nullptr) << name.toStdString();
        const bool memo = name == "aux_motivo";
        EXPECT_EQ(control->ClassName(), memo ? "TRLMemo" : "TRLLabel") << name.toStdString();
    }
    auto* motivo = dynamic_cast<TRLMemo*>(form->FindControl("aux_motivo"));
    ASSERT_NE(motivo, nullptr);
    EXPECT_TRUE(motivo->WordWrap());
    EXPECT_TRUE(motivo->AutoSize());
    EXPECT_EQ(motivo->Width(), 561);
}

TEST_P(DocumentLayout, PrintsEveryFixedCaptionInItsPlaceAndFont) {
    auto form = MakeForm(GetParam());
    const auto page = PreparePage(form->RLReport1());
    ASSERT_TRUE(page);
    for (const Caption& c : CaptionsOf(GetParam())) {
        const QString text = QString::fromUtf8(c.Text);
        SCOPED_TRACE(text.toStdString());
        const TRLTextObject* object = TextAt(*page, text, kBandLeft + c.Left, c.BandTop + c.Top);
        ASSERT_NE(object, nullptr) << "printed at" << WhereIs(*page, text);
        EXPECT_EQ(object->FontName(), "Arial");
        EXPECT_EQ(object->Font.Size, c.Size);
        EXPECT_EQ(object->Font.Style, c.Style);
        EXPECT_EQ(object->Font.Color.ToColor(), QColor(Qt::black));
        // Labels size themselves to their caption and one blank. The stored widths were taken
        // with another face of the same metrics, so they agree only to a few pixels.
        const TRLSize natural = Measure(text + ' ', c.Size, c.Style);
        EXPECT_EQ(object->BoundsRect.Right - object->BoundsRect.Left, natural.Width);
        EXPECT_EQ(object->BoundsRect.Bottom - object->BoundsRect.Top, natural.Height);
        if (c.Width != 0) {
            EXPECT_NEAR(natural.Width, c.Width, 4);
        }
    }
}

TEST_P(DocumentLayout, CentresItsTitleInTheTitleBand) {
    auto form = MakeForm(GetParam());
    const auto page = PreparePage(form->RLReport1());
    ASSERT_TRUE(page);
    const QString title = QString::fromUtf8(TitleOf(GetParam()));
    const TRLTextObject* object = nullptr;
    for (const TRLTextObject* t : Texts(*page))
        if (t->Text == title)
            object = t;
    ASSERT_NE(object, nullptr) << title.toStdString();
    EXPECT_EQ(object->Font.Size, 10);
    EXPECT_EQ(object->Font.Style, fsBold | fsUnderline);
    const TRLRect& r = object->BoundsRect;
    // The band runs from x 38 to 756 and from y 169 to 201.
    EXPECT_NEAR((r.Left + r.Right) / 2.0, (38 + 756) / 2.0, 1.0);
    EXPECT_NEAR((r.Top + r.Bottom) / 2.0, (169 + 201) / 2.0, 1.0);
}

TEST_P(DocumentLayout, DrawsExactlyItsUnderlinesAndSignatureLines) {
    auto form = MakeForm(GetParam());
    const auto page = PreparePage(form->RLReport1());
    ASSERT_TRUE(page);
    using Segment = std::pair<std::pair<int, int>, std::pair<int, int>>;
    std::multiset<Segment> drawn;
    for (const auto& object : page->Objects()) {
        if (const auto* polygon = dynamic_cast<const TRLPolygonObject*>(object.get())) {
            ASSERT_EQ(polygon->Points.size(), 2u) << "every shape of the documents is a line";
            drawn.insert({{polygon->Points[0].X, polygon->Points[0].Y},
                          {polygon->Points[1].X, polygon->Points[1].Y}});
            EXPECT_EQ(polygon->Pen.Width, 1);
            EXPECT_EQ(polygon->Pen.Color.ToColor(), QColor(Qt::black));
        }
    }
    // A 9-pixel-high line box draws its line 4 pixels down, from its left edge to one pixel
    // short of its right edge.
    std::multiset<Segment> expected;
    for (const Line& l : LinesOf(GetParam())) {
        const int x = kBandLeft + l.Left;
        const int y = l.BandTop + l.Top + 4;
        expected.insert({{x, y}, {x + l.Width - 1, y}});
    }
    EXPECT_EQ(drawn, expected);
}

TEST_P(DocumentLayout, PrintsThePreparationDateBesideFecha) {
    auto form = MakeForm(GetParam());
    const auto page = PreparePage(form->RLReport1());
    ASSERT_TRUE(page);
    const QString today = InfoDateText(itDate, form->RLReport1().ReportDate());
    ASSERT_FALSE(today.isEmpty());
    const TRLTextObject* date = TextAt(*page, today, kBandLeft + 661, kLetterhead + 6);
    ASSERT_NE(date, nullptr) << "printed at" << WhereIs(*page, today);
    EXPECT_EQ(date->Font.Size, 8);
    EXPECT_EQ(date->Font.Style, 0);
}

INSTANTIATE_TEST_SUITE_P(Documents, DocumentLayout, ::testing::ValuesIn(kAllDocs),
                         [](const auto& info) {
                             std::string name = DocName(info.param);
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

TEST(DocumentLayouts, DeclarationsWrapWithinTheirMemoInBold) {
    const struct {
        Doc Document;
        int Top;
        const char* Text;
    } cases[] = {
        {Doc::Declaracion, 530,
         "DECLARO BAJO JURAMENTO QUE DENTRO DE LAS 48 HS. DE REGRESO DE LA COMISION PRESENTARÉ EN "
         "LA DIRECCIÓN DE CONTABILIDAD LOS COMPROBANTES ORIGINALES DE LOS PASAJES Y / O "
         "INSCRIPCIÓN. BAJO PENA DE TENER QUE DEVOLVER EL IMPORTE CORRESPONDIENTE."},
        {Doc::Vehiculo, 347,
         "DECLARO BAJO JURAMENTO QUE EL VEHÍCULO QUE SE UTILIZA CUENTA CON SEGURO CONTRA "
         "TERCEROS, ASUMIENDO LA RESPONSABILIDAD CORRESPONDIENTE."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(DocName(c.Document));
        auto form = MakeForm(c.Document);
        const auto page = PreparePage(form->RLReport1());
        ASSERT_TRUE(page);
        const int left = kBandLeft + 56;
        const int top = kBody + c.Top;
        std::vector<const TRLTextObject*> lines;
        for (const TRLTextObject* t : Texts(*page))
            if (t->BoundsRect.Left == left && t->BoundsRect.Top >= top &&
                t->BoundsRect.Top < top + 100 && t->Font.Style == fsBold)
                lines.push_back(t);
        std::sort(lines.begin(), lines.end(),
                  [](auto* a, auto* b) { return a->BoundsRect.Top < b->BoundsRect.Top; });
        ASSERT_GE(lines.size(), 2u) << "the one stored line wraps";
        EXPECT_EQ(lines.front()->BoundsRect.Top, top);
        QStringList words;
        const int lineHeight = Measure("A", 10, fsBold).Height;
        for (size_t i = 0; i < lines.size(); ++i) {
            words << lines[i]->Text;
            EXPECT_EQ(lines[i]->BoundsRect.Top, top + static_cast<int>(i) * lineHeight);
            EXPECT_LE(Measure(lines[i]->Text, 10, fsBold).Width, 625) << "line " << i;
        }
        EXPECT_EQ(words.join(' '), QString::fromUtf8(c.Text));
    }
}

TEST(DocumentLayouts, RequestCarriesAnEmptyInterleavedBarcode) {
    TFFRSolicitud form;
    auto* barcode = dynamic_cast<TRLBarcode*>(form.FindControl("RLBarcode1"));
    ASSERT_NE(barcode, nullptr);
    EXPECT_EQ(barcode->BarcodeType(), bcCode2OF5Interleaved);
    EXPECT_EQ(barcode->Module(), 1);
    EXPECT_EQ(barcode->Orientation(), boLeftToRight);
    EXPECT_EQ(barcode->ShowText(), boNone);
    EXPECT_FALSE(barcode->CheckSum());
    EXPECT_EQ(barcode->CheckSumMethod(), cmModule10);
    EXPECT_EQ(barcode->InvalidCode(), icEmptyRect);
    EXPECT_EQ(barcode->BarColor(), QColor(Qt::black));
    EXPECT_EQ(barcode->Margins().LeftMargin(), 1.0);
    EXPECT_EQ(barcode->Margins().RightMargin(), 1.0);
    EXPECT_EQ(barcode->Margins().TopMargin(), 0.0);
    EXPECT_EQ(barcode->Margins().BottomMargin(), 0.0);
    EXPECT_TRUE(barcode->Caption().isEmpty());
    EXPECT_EQ(barcode->Left(), 528);
    EXPECT_EQ(barcode->Top(), 552);
    EXPECT_EQ(barcode->Height(), 34);
}

TEST(DocumentLayouts, SwornStatementPrintsItsTitleAboveTheBodyListedBeforeIt) {
    TFFRDeclaracionJurada form;
    const TRLCustomControl& report = form.RLReport1();
    QStringList bands;
    for (const TRLCustomControl* child : report.Controls())
        bands << child->Name();
    EXPECT_EQ(bands, QStringList({"RLBand1", "RLBand3", "RLBand2"}));
    const auto page = PreparePage(form.RLReport1());
    ASSERT_TRUE(page);
    const TRLRect title{kBandLeft, kTitle, kBandLeft + 718, kBody};
    EXPECT_EQ(TextsIn(*page, title),
              QStringList({QString::fromUtf8("DECLARACIÓN JURADA (PASAJE / INSCRIPCIÓN)")}));
}

TEST(DocumentLayouts, FilledLabelsGrowToTheRightAndMemosKeepTheirLineBreaks) {
    TFFRSolicitud form;
    const QString longName =
        QStringLiteral("MARÍA DE LOS ÁNGELES FERNÁNDEZ DE LA CRUZ Y GONZÁLEZ DEL VALLE ECHEVERRÍA");
    SetLabelText(*form.aux_persona, longName);
    SetMemoText(*form.aux_motivo, QStringLiteral("Congreso anual\r\nPonencia invitada\nTaller"));
    const auto page = PreparePage(form.RLReport1());
    ASSERT_TRUE(page);

    const TRLTextObject* name = TextAt(*page, longName, kBandLeft + 204, kBody + 23);
    ASSERT_NE(name, nullptr) << "printed at" << WhereIs(*page, longName);
    EXPECT_EQ(name->BoundsRect.Right - name->BoundsRect.Left, Measure(longName + ' ', 10, 0).Width)
        << "not cut at the stored width";
    EXPECT_GT(name->BoundsRect.Right - name->BoundsRect.Left, 400);

    const int lineHeight = Measure("A", 10, 0).Height;
    const QStringList reasons = {"Congreso anual", "Ponencia invitada", "Taller"};
    for (int i = 0; i < reasons.size(); ++i) {
        EXPECT_NE(TextAt(*page, reasons[i], kBandLeft + 120, kBody + 136 + i * lineHeight), nullptr)
            << reasons[i].toStdString() << " printed at" << WhereIs(*page, reasons[i]);
    }
    // Three lines fit above the destination row, which stays where it was.
    EXPECT_NE(TextAt(*page, "DESTINO ", kBandLeft + 56, kBody + 212), nullptr);
}

// Renders every document as the preview shows it at 100 %, keeps the pictures beside the build
// for a look, and checks what a reader would see first: a white page, the crest, black lines and
// an empty barcode box.
TEST(DocumentLayouts, RenderedPagesShowCrestLinesAndAnEmptyBarcode) {
    const QString dir = QStringLiteral(KELMORA_BINARY_DIR) + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    for (Doc doc : kAllDocs) {
        SCOPED_TRACE(DocName(doc));
        auto form = MakeForm(doc);
        const auto page = PreparePage(form->RLReport1());
        ASSERT_TRUE(page);
        QImage image(page->Width(), page->Height(), QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            page->PaintTo(painter, image.rect());
        }
        image.save(dir + "/document-" + DocName(doc) + ".png");

        EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::white)) << "white page";
        // The crest covers the left 45 columns of its box and leaves the last 4 blank.
        int crestInk = 0;
        for (int y = 46; y < 111; ++y)
            for (int x = 134; x < 179; ++x)
                crestInk += image.pixelColor(x, y) != QColor(Qt::white);
        EXPECT_GT(crestInk, 45 * 65 / 4);
        for (int y = 46; y < 111; ++y)
            for (int x = 179; x < 183; ++x)
                ASSERT_EQ(image.pixelColor(x, y), QColor(Qt::white)) << x << "," << y;
        // The person's underline, in every document at the same place.
        const int lineY = kBody + 34 + 4;
        EXPECT_EQ(image.pixelColor(kBandLeft + 199 + 100, lineY), QColor(Qt::black));
        EXPECT_EQ(image.pixelColor(kBandLeft + 199 + 100, lineY - 2), QColor(Qt::white));
        if (doc == Doc::Solicitud) {
            for (int y = kBody + 552; y < kBody + 552 + 34; ++y)
                for (int x = kBandLeft + 528; x < kBandLeft + 528 + 87; ++x)
                    ASSERT_EQ(image.pixelColor(x, y), QColor(Qt::white))
                        << "an empty code prints no bars at " << x << "," << y;
        }
    }
}
