// The three documents as they come out of their layouts: one A4 page each, with every fixed
// caption, line, picture and field where the documents place them, read back from the page store.
#include "DocumentTestSupport.h"
#include "FFRDeclaracionJurada.h"
#include "FFRSolicitud.h"
#include "FFRVehiculoParticular.h"
#include "RLBarcode.h"
#include "RLTextControls.h"

#include <QDir>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <set>

using namespace doctest;

namespace {

enum Doc { Solicitud, Declaracion, Vehiculo };
const char* const kDocNames[] = {"solicitud", "declaracion-jurada", "vehiculo-particular"};

std::unique_ptr<TFFRDocument> MakeForm(Doc doc) {
    if (doc == Solicitud)
        return std::make_unique<TFFRSolicitud>();
    if (doc == Declaracion)
        return std::make_unique<TFFRDeclaracionJurada>();
    return std::make_unique<TFFRVehiculoParticular>();
}

constexpr TRLFontStyles B = fsBold;

// A fixed caption: band top, left and top in the band, the stored width (0 where it is not the
// caption's own width), size in points, style. Docs is a mask of the documents that carry it.
struct Caption {
    unsigned Docs;
    const char* Text;
    int Band, Left, Top, Width, Size;
    TRLFontStyles Style;
};
constexpr unsigned S = 1, D = 2, V = 4, SD = S | D, ALL = S | D | V;

const Caption kCaptions[] = {
    // The stored widths of the institution's names are wider than the names in any face.
    {ALL, "Universidad Nacional de Brendal", kHead, 16, 80, 0, 10, 0},
    {ALL, "Facultad de Corvath", kHead, 54, 98, 0, 10, 0},
    {ALL, "Fecha  :", kHead, 612, 6, 44, 8, B},
    {S | V, "PERSONA QUE VIAJA ", kBody, 56, 23, 144, 10, B},
    {D, "NOMBRE Y APELLIDO ", kBody, 56, 23, 145, 10, B},
    {ALL, "D.N.I. Nº ", kBody, 56, 61, 60, 10, B},
    {SD, "CATEGORIA ", kBody, 56, 98, 84, 10, B},
    {SD, "DEDICACIÓN ", kBody, 379, 98, 88, 10, B},
    {SD, "MOTIVO ", kBody, 56, 136, 60, 10, B},
    {SD, "DESTINO ", kBody, 56, 212, 65, 10, B},
    {SD, "MEDIO DE TRANSPORTE ", kBody, 56, 250, 163, 10, B},
    {SD, "SALIDA ", kBody, 56, 288, 56, 10, B},
    {SD, "HORA ", kBody, 311, 288, 45, 10, B},
    {SD, "REGRESO ", kBody, 56, 325, 71, 10, B},
    {SD, "HORA ", kBody, 311, 325, 45, 10, B},
    {SD, "SE SOLICITA ", kBody, 56, 363, 90, 10, B},
    {S, "Solicitante", kBody, 150, 648, 65, 10, 0},
    {S, "Director de Dpto.", kBody, 514, 648, 102, 10, 0},
    // The item lines before any run.
    {S, "AUX_1", kBody, 114, 401, 43, 10, 0},
    {S, "AUX_2", kBody, 114, 439, 43, 10, 0},
    {S, "AUX_4", kBody, 114, 477, 43, 10, 0},
    {D, "Firma beneficiario", kBody, 534, 703, 106, 10, 0},
    {V, "MOTIVO ", kBody, 56, 98, 60, 10, B},
    {V, "DESTINO ", kBody, 56, 174, 65, 10, B},
    {V, "VEHÍCULO PATENTE Nº ", kBody, 56, 212, 155, 10, B},
    {V, "SALIDA ", kBody, 58, 247, 56, 10, B},
    {V, "HORA ", kBody, 311, 247, 45, 10, B},
    {V, "REGRESO ", kBody, 56, 284, 71, 10, B},
    {V, "HORA ", kBody, 311, 284, 45, 10, B},
    {V, "Firma beneficiario", kBody, 534, 494, 106, 10, 0},
};

// Underlines and signature lines of the body band: left, top, width of each 9-pixel-high box.
struct Line {
    unsigned Docs;
    int Left, Top, Width;
};
const Line kLines[] = {
    {ALL, 199, 34, 482}, {ALL, 114, 72, 567}, {SD, 138, 109, 223}, {SD, 464, 109, 218},
    {SD, 119, 223, 562}, {SD, 218, 261, 463}, {SD, 135, 299, 155}, {SD, 360, 299, 155},
    {SD, 135, 336, 155}, {SD, 360, 336, 155}, {S, 98, 636, 169},   {S, 479, 636, 169},
    {D, 503, 691, 169},  {V, 119, 185, 562},  {V, 210, 223, 471},  {V, 135, 258, 155},
    {V, 360, 258, 155},  {V, 135, 295, 155},  {V, 360, 295, 155},  {V, 503, 482, 169},
};

const char* const kTitles[] = {"SOLICITUD DE KELMORA", "DECLARACIÓN JURADA (PASAJE / INSCRIPCIÓN)",
                               "VEHÍCULO PARTICULAR"};

const QStringList kAuxNames[] = {
    {"aux_persona", "aux_dni", "aux_categ", "aux_dedica", "aux_motivo", "aux_destino", "aux_medio",
     "aux_salida", "aux_horasalida", "aux_llegada", "aux_horallegada", "aux_1", "aux_2", "aux_4"},
    {"aux_persona", "aux_dni", "aux_categ", "aux_dedica", "aux_motivo", "aux_destino", "aux_medio",
     "aux_salida", "aux_horasalida", "aux_llegada", "aux_horallegada", "aux_solicita"},
    {"aux_persona", "aux_dni", "aux_motivo", "aux_destino", "aux_patente", "aux_salida",
     "aux_horasalida", "aux_llegada", "aux_horallegada"},
};

// The engine's own measure of a text, as labels size themselves with it.
TRLSize Measure(const QString& text, int size, TRLFontStyles style) {
    TRLGraphicSurface scratch;
    TRLFont font;
    font.Size = size;
    font.Style = style;
    scratch.SetFont(font);
    return {scratch.TextWidth(text), scratch.TextHeight(text)};
}

// Names of the run-time labels, in layout order.
void CollectAuxNames(const TRLCustomControl& control, QStringList& names) {
    for (const TRLCustomControl* child : control.Controls()) {
        if (child->Name().startsWith(QStringLiteral("aux_")))
            names << child->Name();
        CollectAuxNames(*child, names);
    }
}

class DocumentLayout : public ::testing::TestWithParam<Doc> {
protected:
    const Doc doc = GetParam();
    const std::unique_ptr<TFFRDocument> form = MakeForm(doc);
};

} // namespace

TEST_P(DocumentLayout, BindsItsRunTimeLabelsAndPreparesOneA4Page) {
    QStringList auxNames;
    CollectAuxNames(form->RLReport1(), auxNames);
    EXPECT_EQ(auxNames, kAuxNames[doc]);
    for (const QString& name : kAuxNames[doc])
        EXPECT_EQ(form->FindControl(name)->ClassName(),
                  name == "aux_motivo" ? "TRLMemo" : "TRLLabel");
    PreparePage(form->RLReport1());
    // Again, as every "Imprimir" does: still one page.
    const auto page = PreparePage(form->RLReport1());
    ASSERT_TRUE(page);
    EXPECT_EQ(QSize(page->Width(), page->Height()), QSize(794, 1123));

    // The 99 x 144 crest shrunk into its 49 x 65 box keeps its proportions and is not centred.
    const TRLRect crest{kBandLeft + 96, kHead + 8, kBandLeft + 96 + 45, kHead + 8 + 65};
    EXPECT_TRUE(std::ranges::any_of(page->Objects(), [&](const auto& object) {
        return object->Kind() == TRLObjectKind::Image && object->BoundsRect == crest;
    }));

    const QString today = InfoDateText(itDate, form->RLReport1().ReportDate());
    const TRLTextObject* date = TextAt(*page, today, kBandLeft + 661, kHead + 6);
    ASSERT_NE(date, nullptr) << "the date printed at" << WhereIs(*page, today);
    EXPECT_EQ(date->Font.Size, 8);
    EXPECT_EQ(date->Font.Style, 0);
}

TEST_P(DocumentLayout, PrintsEveryFixedCaptionInItsPlaceAndFontAndCentresTheTitle) {
    const auto page = PreparePage(form->RLReport1());
    ASSERT_TRUE(page);
    for (const Caption& c : kCaptions) {
        if (!(c.Docs & (1u << doc)))
            continue;
        const QString text = QString::fromUtf8(c.Text);
        SCOPED_TRACE(text.toStdString());
        const TRLTextObject* object = TextAt(*page, text, kBandLeft + c.Left, c.Band + c.Top);
        ASSERT_NE(object, nullptr) << "printed at" << WhereIs(*page, text);
        EXPECT_EQ(object->FontName(), "Arial");
        EXPECT_EQ(object->Font.Size, c.Size);
        EXPECT_EQ(object->Font.Style, c.Style);
        EXPECT_EQ(object->Font.Color.ToColor(), QColor(Qt::black));
        // Labels size themselves to the caption and one blank. The stored widths come from
        // another face with the same metrics, so they agree to a few pixels.
        const TRLSize natural = Measure(text + ' ', c.Size, c.Style);
        const TRLRect& r = object->BoundsRect;
        EXPECT_EQ((TRLSize{r.Right - r.Left, r.Bottom - r.Top}), natural);
        if (c.Width != 0) {
            EXPECT_NEAR(natural.Width, c.Width, 4);
        }
    }

    // The title is centred in its band (x 38 to 756, y 169 to 201) whatever its width; that
    // the sworn statement lists its body band first does not move it.
    const QString title = QString::fromUtf8(kTitles[doc]);
    const auto texts = Texts(*page);
    const auto object = std::ranges::find(texts, title, &TRLTextObject::Text);
    ASSERT_NE(object, texts.end()) << title.toStdString();
    EXPECT_EQ((*object)->Font.Style, fsBold | fsUnderline);
    const TRLRect& r = (*object)->BoundsRect;
    EXPECT_NEAR((r.Left + r.Right) / 2.0, (38 + 756) / 2.0, 1.0);
    EXPECT_NEAR((r.Top + r.Bottom) / 2.0, (169 + 201) / 2.0, 1.0);
}

TEST_P(DocumentLayout, DrawsExactlyItsUnderlinesAndSignatureLines) {
    const auto page = PreparePage(form->RLReport1());
    ASSERT_TRUE(page);
    using Segment = std::pair<std::pair<int, int>, std::pair<int, int>>;
    std::multiset<Segment> drawn, expected;
    for (const auto& object : page->Objects()) {
        if (const auto* polygon = dynamic_cast<const TRLPolygonObject*>(object.get())) {
            ASSERT_EQ(polygon->Points.size(), 2u) << "every shape of the documents is a line";
            EXPECT_EQ(polygon->Pen.Width, 1);
            drawn.insert({{polygon->Points[0].X, polygon->Points[0].Y},
                          {polygon->Points[1].X, polygon->Points[1].Y}});
        }
    }
    // A 9-pixel-high box draws its line 4 pixels down, from its left edge to one pixel short of
    // its right edge.
    for (const Line& l : kLines) {
        if (l.Docs & (1u << doc)) {
            const int x = kBandLeft + l.Left, y = kBody + l.Top + 4;
            expected.insert({{x, y}, {x + l.Width - 1, y}});
        }
    }
    EXPECT_EQ(drawn, expected);
}

INSTANTIATE_TEST_SUITE_P(Documents, DocumentLayout,
                         ::testing::Values(Solicitud, Declaracion, Vehiculo), [](const auto& info) {
                             return QString(kDocNames[info.param]).remove(u'-').toStdString();
                         });

TEST(DocumentLayouts, DeclarationsWrapWithinTheirMemoInBold) {
    const struct {
        Doc Document;
        int Top;
        const char* Text;
    } cases[] = {
        {Declaracion, 530,
         "DECLARO BAJO JURAMENTO QUE DENTRO DE LAS 48 HS. DE REGRESO DE LA COMISION PRESENTARÉ EN "
         "LA DIRECCIÓN DE CONTABILIDAD LOS COMPROBANTES ORIGINALES DE LOS PASAJES Y / O "
         "INSCRIPCIÓN. BAJO PENA DE TENER QUE DEVOLVER EL IMPORTE CORRESPONDIENTE."},
        {Vehiculo, 347,
         "DECLARO BAJO JURAMENTO QUE EL VEHÍCULO QUE SE UTILIZA CUENTA CON SEGURO CONTRA "
         "TERCEROS, ASUMIENDO LA RESPONSABILIDAD CORRESPONDIENTE."},
    };
    const int lineHeight = Measure("A", 10, fsBold).Height;
    for (const auto& c : cases) {
        SCOPED_TRACE(kDocNames[c.Document]);
        auto form = MakeForm(c.Document);
        const auto page = PreparePage(form->RLReport1());
        ASSERT_TRUE(page);
        const int top = kBody + c.Top;
        const QStringList lines = TextsIn(*page, {kBandLeft + 56, top, 756, top + 100});
        ASSERT_GE(lines.size(), 2) << "the one stored line wraps";
        for (int i = 0; i < lines.size(); ++i) {
            ExpectInBody(*page, lines[i], 56, c.Top + i * lineHeight);
            EXPECT_LE(Measure(lines[i], 10, fsBold).Width, 625) << lines[i].toStdString();
        }
        EXPECT_EQ(lines.join(' '), QString::fromUtf8(c.Text));
    }
}

TEST(DocumentLayouts, FilledLabelsGrowToTheRightAndMemosKeepTheirLineBreaks) {
    TFFRSolicitud form;
    const QString name =
        QStringLiteral("MARÍA DE LOS ÁNGELES FERNÁNDEZ DE LA CRUZ Y GONZÁLEZ DEL VALLE ECHEVERRÍA");
    SetLabelText(*form.aux_persona, name);
    SetMemoText(*form.aux_motivo, QStringLiteral("Congreso anual\r\nPonencia invitada\nTaller"));
    const auto page = PreparePage(form.RLReport1());
    ASSERT_TRUE(page);
    const TRLTextObject* person = ExpectInBody(*page, name, 204, 23);
    ASSERT_NE(person, nullptr);
    EXPECT_EQ(person->BoundsRect.Right - person->BoundsRect.Left, Measure(name + ' ', 10, 0).Width)
        << "not cut at the stored width";

    const int lineHeight = Measure("A", 10, 0).Height;
    const QStringList reasons = {"Congreso anual", "Ponencia invitada", "Taller"};
    for (int i = 0; i < reasons.size(); ++i)
        ExpectInBody(*page, reasons[i], 120, 136 + i * lineHeight);
    // The next row stays where it was.
    ExpectInBody(*page, "DESTINO ", 56, 212);
}

// Renders every document as the preview shows it at 100 %, keeps the pictures beside the build
// to look at, and checks what a reader sees first: the crest, black lines and an empty barcode.
TEST(DocumentLayouts, RenderedPagesShowCrestLinesAndAnEmptyBarcode) {
    const QString dir = QStringLiteral(KELMORA_BINARY_DIR) + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    for (Doc doc : {Solicitud, Declaracion, Vehiculo}) {
        SCOPED_TRACE(kDocNames[doc]);
        auto form = MakeForm(doc);
        const auto page = PreparePage(form->RLReport1());
        ASSERT_TRUE(page);
        QImage image(page->Width(), page->Height(), QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            page->PaintTo(painter, image.rect());
        }
        image.save(dir + "/document-" + kDocNames[doc] + ".png");
        auto inkIn = [&](int left, int top, int width, int height) {
            int ink = 0;
            for (int y = top; y < top + height; ++y)
                for (int x = left; x < left + width; ++x)
                    ink += image.pixelColor(x, y) != QColor(Qt::white);
            return ink;
        };
        EXPECT_GT(inkIn(134, 46, 45, 65), 45 * 65 / 4) << "the crest";
        EXPECT_EQ(inkIn(179, 46, 4, 65), 0) << "the crest's box is wider than the crest";
        EXPECT_EQ(image.pixelColor(kBandLeft + 300, kBody + 38), QColor(Qt::black));
        EXPECT_EQ(inkIn(kBandLeft + 300, kBody + 35, 1, 3), 0) << "a one-pixel line";
    }

    // The request's barcode is never given a value: its box stays empty.
    TFFRSolicitud form;
    auto* barcode = dynamic_cast<TRLBarcode*>(form.FindControl("RLBarcode1"));
    ASSERT_NE(barcode, nullptr);
    EXPECT_EQ(barcode->Margins().LeftMargin(), 1.0);
    EXPECT_EQ(barcode->Margins().RightMargin(), 1.0);
    // Where it stands is stored; its width follows the empty Interleaved 2 of 5 code: start and
    // stop, the pixel kept clear and the margins.
    EXPECT_EQ(QRect(barcode->Left(), barcode->Top(), barcode->Width(), barcode->Height()),
              QRect(528, 552, 8 + 1 + 8, 34));
    const QImage request(dir + "/document-solicitud.png");
    for (int y = kBody + 552; y < kBody + 552 + 34; ++y)
        for (int x = kBandLeft + 528; x < kBandLeft + 528 + 87; ++x)
            ASSERT_EQ(request.pixelColor(x, y), QColor(Qt::white)) << x << "," << y;
}
