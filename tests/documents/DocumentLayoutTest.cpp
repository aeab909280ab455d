// The three documents as they come out of their layouts: one A4 page each, with the crest, date,
// title, declarations and fields where the documents place them, read back from the page store.
// The captions and lines themselves are the layouts' data, which the layout tests check against
// the schema.
#include "DocumentTestSupport.h"
#include <kelmora/documents/FFRDeclaracionJurada.h>
#include <kelmora/documents/FFRSolicitud.h>
#include <kelmora/documents/FFRVehiculoParticular.h>
#include <kelmora/report/RLTextControls.h>

#include <QDir>
#include <QImage>
#include <QPainter>

#include <algorithm>

using namespace Kelmora;

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

const char* const kTitles[] = {"SOLICITUD DE KELMORA", "DECLARACIÓN JURADA (PASAJE / INSCRIPCIÓN)",
                               "VEHÍCULO PARTICULAR"};

// The engine's own measure of a text, as labels size themselves with it.
TRLSize Measure(const QString& text, int size, TRLFontStyles style) {
    TRLGraphicSurface scratch;
    TRLFont font;
    font.Size = size;
    font.Style = style;
    scratch.SetFont(font);
    return {scratch.TextWidth(text), scratch.TextHeight(text)};
}

class DocumentLayout : public ::testing::TestWithParam<Doc> {
protected:
    const Doc doc = GetParam();
    const std::unique_ptr<TFFRDocument> form = MakeForm(doc);
};

} // namespace

TEST_P(DocumentLayout, PreparesOneA4PageWithTheCrestTheDateAndTheCentredTitle) {
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
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->Font.Size, 8);

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

// Filling walks the document's table of run-time labels: each label, named once, shows its own
// field's text, and the memo takes it as lines.
TEST_P(DocumentLayout, FillingWritesEachFieldsTextIntoItsOwnLabel) {
    const auto textOf = [](TDocumentField field) {
        return field == TDocumentField::Motivo ? QStringLiteral("uno\ndos")
                                               : QStringLiteral("campo %1").arg(int(field));
    };
    form->FillLabels(textOf);
    QStringList names;
    for (const TDocumentLabel& label : form->Labels()) {
        const QString name = QString::fromLatin1(label.Name);
        EXPECT_FALSE(names.contains(name)) << label.Name;
        names.append(name);
        TRLCustomControl* control = form->FindControl(name);
        if (label.Memo) {
            auto* memo = dynamic_cast<TRLMemo*>(control);
            ASSERT_NE(memo, nullptr) << label.Name;
            EXPECT_EQ(memo->Lines(), textOf(label.Field).split(u'\n')) << label.Name;
        } else {
            ASSERT_NE(dynamic_cast<TRLLabel*>(control), nullptr) << label.Name;
            EXPECT_EQ(control->Caption(), textOf(label.Field)) << label.Name;
        }
    }
    // The request shows the three money lines, the sworn statement what is requested, the
    // vehicle statement the number plate but neither category nor means.
    const qsizetype counts[] = {14, 12, 9};
    EXPECT_EQ(names.size(), counts[doc]);
    EXPECT_EQ(names.contains("aux_4"), doc == Solicitud);
    EXPECT_EQ(names.contains("aux_solicita"), doc == Declaracion);
    EXPECT_EQ(names.contains("aux_patente"), doc == Vehiculo);
    EXPECT_EQ(names.contains("aux_medio"), doc != Vehiculo);
}

INSTANTIATE_TEST_SUITE_P(Documents, DocumentLayout,
                         ::testing::Values(Solicitud, Declaracion, Vehiculo), [](const auto& info) {
                             return QString(kDocNames[info.param]).remove(u'-').toStdString();
                         });

TEST(DocumentLayouts, DeclarationsWrapWithinTheirMemoInBold) {
    const std::pair<Doc, int> cases[] = {{Declaracion, 530}, {Vehiculo, 347}};
    const int lineHeight = Measure("A", 10, fsBold).Height;
    for (const auto& [doc, memoTop] : cases) {
        SCOPED_TRACE(kDocNames[doc]);
        auto form = MakeForm(doc);
        const auto page = PreparePage(form->RLReport1());
        ASSERT_TRUE(page);
        const int top = kBody + memoTop;
        const QStringList lines = TextsIn(*page, {kBandLeft + 56, top, 756, top + 100});
        ASSERT_GE(lines.size(), 2) << "the one stored line wraps";
        for (int i = 0; i < lines.size(); ++i) {
            ExpectInBody(*page, lines[i], 56, memoTop + i * lineHeight);
            EXPECT_LE(Measure(lines[i], 10, fsBold).Width, 625) << lines[i].toStdString();
        }
        // Every word of the stored line, none lost at a break.
        const auto* memo = dynamic_cast<const TRLMemo*>(form->FindControl("RLMemo1"));
        ASSERT_NE(memo, nullptr);
        EXPECT_EQ(lines.join(' '), memo->Lines().join(' '));
    }
}

// Renders every document as the preview shows it at 100 %, keeps the pictures beside the build
// to look at, and checks what a reader sees first: the crest, black lines and an empty barcode.
TEST(DocumentLayouts, RenderedPagesShowCrestLinesAndAnEmptyBarcode) {
    // The suite also runs in another locale, perhaps at the same time: each run keeps its own.
    const QString dir = QStringLiteral(KELMORA_BINARY_DIR "/screenshots/") +
                        qEnvironmentVariable("KELMORA_TEST_LOCALE");
    QDir().mkpath(dir);
    QImage request;
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
        if (doc == Solicitud)
            request = image;
        auto inkIn = [&](int left, int top, int width, int height) {
            int ink = 0;
            for (int y = top; y < top + height; ++y)
                for (int x = left; x < left + width; ++x)
                    ink += image.pixelColor(x, y) != QColor(Qt::white);
            return ink;
        };
        EXPECT_GT(inkIn(134, 46, 45, 65), 45 * 65 / 4) << "the crest";
        EXPECT_EQ(image.pixelColor(kBandLeft + 300, kBody + 38), QColor(Qt::black));
        EXPECT_EQ(inkIn(kBandLeft + 300, kBody + 35, 1, 3), 0) << "a one-pixel line";
    }

    // The request's barcode is never given a value: its box, and what follows it, stays empty.
    TFFRSolicitud form;
    const TRLCustomControl* barcode = form.FindControl("RLBarcode1");
    ASSERT_NE(barcode, nullptr);
    for (int y = kBody + barcode->Top(); y < kBody + barcode->Top() + barcode->Height(); ++y)
        for (int x = kBandLeft + barcode->Left(); x < kBandLeft + barcode->Left() + 87; ++x)
            ASSERT_EQ(request.pixelColor(x, y), QColor(Qt::white)) << x << "," << y;
}
