// Long texts in the three documents: a reason of many lines, a reason at the form's
// 500-character limit and beyond it, a name and a destination of 200 characters. Each document
// stays one sheet, every word prints in order inside the page, and no text prints over another;
// the sample request's documents record exactly what they always did.
#include "../e2e/ProgramRunner.h"
#include "DocumentTestSupport.h"
#include <kelmora/app/DatosSolicitud.h>
#include <kelmora/app/DocumentForms.h>
#include <kelmora/app/FillingRun.h>
#include <kelmora/documents/FFRDeclaracionJurada.h>
#include <kelmora/documents/FFRSolicitud.h>
#include <kelmora/documents/FFRVehiculoParticular.h>
#include <kelmora/report/RLTextControls.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace Kelmora;

using namespace doctest;

namespace {

// 500 characters: the form's limit.
const QString kReason500 = QStringLiteral(
    "Participación en el congreso internacional de edafología y ciencias agrarias con exposición "
    "oral del trabajo sobre erosión hídrica en suelos del sur de Córdoba, reunión con "
    "investigadores de la universidad anfitriona para coordinar muestreos conjuntos, visita "
    "técnica a los ensayos de labranza y rotación de cultivos en la estación experimental, "
    "búsqueda de bibliografía específica en la biblioteca central y entrevista con el director "
    "del programa de posgrado sobre la cohorte de becarios foráneos..");
const QString kName200 = QStringLiteral(
    "MARÍA JOSÉ DE LOS ÁNGELES FERNÁNDEZ GÓMEZ ARRIOLA DE LA PEÑA, LUCÍA INÉS MONTSERRAT ZÚÑIGA "
    "ECHEVERRÍA Y BRIONES, CONCEPCIÓN ÁLVAREZ DEL SOLAR MARTÍNEZ, ESTEFANÍA NÚÑEZ CASTAÑEDA "
    "OLIVERA Y SAAVEDRA RÍO");
const QString kDestino200 = QStringLiteral(
    "Estación Experimental Agropecuaria de Marcos Juárez, Instituto Nacional de Tecnología "
    "Agropecuaria, ruta provincial número doce, kilómetro tres, Marcos Juárez, provincia de "
    "Córdoba, Argentina, América");

QString ThirteenLines() {
    QStringList lines;
    for (int i = 1; i <= 13; ++i)
        lines << QStringLiteral("Línea %1 del motivo: reunión en Córdoba").arg(i);
    return lines.join('\n');
}

// The request with every document due: tickets, and the private vehicle.
TDatosSolicitud Request(const QString& persona, const QString& motivo, const QString& destino) {
    TDatosSolicitud d;
    d.Persona = persona;
    d.DNI = QStringLiteral("28.456.913");
    d.Categoria = QStringLiteral("ADJ");
    d.Dedicacion = QStringLiteral("EXCLUSIVA");
    d.Motivo = motivo;
    d.Destino = destino;
    d.MedioIndice = 3;
    d.Medio = MedioEntries().at(3);
    d.Patente = QStringLiteral("AB123CD");
    d.Salida = QDate(2026, 12, 20);
    d.HoraSalida = QTime(7, 30);
    d.Regreso = QDate(2026, 12, 23);
    d.HoraRegreso = QTime(21, 0);
    d.SolicitaPasajes = true;
    d.MontoPasaje = QStringLiteral("4850,00");
    return d;
}

struct Document {
    TDocumentKind Kind;
    const char* Name;
    const char* PersonaCaption;
    const char* Signature; // the lowest text of the body band
};
const Document kDocuments[] = {
    {TDocumentKind::Solicitud, "solicitud", "PERSONA QUE VIAJA ", "Solicitante"},
    {TDocumentKind::DeclaracionJurada, "declaracion-jurada", "NOMBRE Y APELLIDO ",
     "Firma beneficiario"},
    {TDocumentKind::VehiculoParticular, "vehiculo-particular", "PERSONA QUE VIAJA ",
     "Firma beneficiario"},
};

TFFRDocument& FormOf(TDocumentForms& forms, TDocumentKind kind) {
    if (kind == TDocumentKind::Solicitud)
        return *forms.FFRSolicitud;
    if (kind == TDocumentKind::DeclaracionJurada)
        return *forms.FFRDeclaracionJurada;
    return *forms.FFRVehiculoParticular;
}

int LineHeight() {
    TRLGraphicSurface scratch;
    scratch.SetFont(TRLFont());
    return scratch.TextHeight(QStringLiteral("Á"));
}

bool Intersect(const TRLRect& a, const TRLRect& b) {
    return a.Left < b.Right && b.Left < a.Right && a.Top < b.Bottom && b.Top < a.Bottom;
}

QString Describe(const TRLTextObject& t) {
    const TRLRect& r = t.BoundsRect;
    return QStringLiteral("\"%1\" (%2,%3)-(%4,%5)")
        .arg(t.Text)
        .arg(r.Left)
        .arg(r.Top)
        .arg(r.Right)
        .arg(r.Bottom);
}

// The lines a control printed: text objects at its left edge, one line height apart from its top
// on, in order.
std::vector<const TRLTextObject*> LinesOf(const TRLGraphicSurface& page,
                                          const TRLCustomControl& control, int dy = 0) {
    std::vector<const TRLTextObject*> lines;
    const int left = kBandLeft + control.Left();
    for (int top = kBody + control.Top() + dy;; top += LineHeight()) {
        const TRLTextObject* found = nullptr;
        for (const TRLTextObject* t : Texts(page))
            if (t->BoundsRect.Left == left && t->BoundsRect.Top == top)
                found = t;
        if (!found)
            return lines;
        lines.push_back(found);
    }
}

QString Joined(const std::vector<const TRLTextObject*>& lines) {
    QStringList texts;
    for (const TRLTextObject* line : lines)
        texts << line->Text;
    return texts.join(' ');
}

const TRLTextObject* Only(const TRLGraphicSurface& page, const QString& text) {
    const TRLTextObject* found = nullptr;
    int count = 0;
    for (const TRLTextObject* t : Texts(page))
        if (t->Text == text) {
            found = t;
            ++count;
        }
    EXPECT_EQ(count, 1) << text.toStdString();
    return found;
}

// Fills the three documents, as "Imprimir" does.
class LongTexts : public ::testing::Test {
protected:
    void Fill(const TDatosSolicitud& d) {
        FillDocuments(d, forms, [](TDocumentKind, TRLReport&) {});
    }

    TDocumentForms forms;
};

} // namespace

// Thirteen lines of reason (195 pixels) fit the body band's room on the sheet: the form stays on
// page 1 instead of leaving a blank first sheet.
TEST_F(LongTexts, AThirteenLineReasonKeepsEveryDocumentOnOneSheet) {
    const QString reason = ThirteenLines();
    Fill(Request(QStringLiteral("ANA PÉREZ"), reason, QStringLiteral("Córdoba")));
    for (const Document& doc : kDocuments) {
        SCOPED_TRACE(doc.Name);
        TRLReport& report = FormOf(forms, doc.Kind).RLReport1();
        const auto page = PreparePage(report);
        ASSERT_TRUE(page);
        const auto lines = LinesOf(*page, *FormOf(forms, doc.Kind).FindControl("aux_motivo"));
        EXPECT_EQ(Joined(lines), QString(reason).replace('\n', ' '));
        Only(*page, QString::fromUtf8(doc.Signature));
        Only(*page, QString::fromUtf8(doc.PersonaCaption));
    }
}

namespace {

struct LongCase {
    const char* Name;
    QString Persona, Motivo, Destino;
};

} // namespace

// The reason at the form's limit wraps to six lines, a longer one (through the program's own
// interface) to more; the name and destination wrap within the page. What stands below each
// moves down, so nothing prints over anything, and every word is there in order.
TEST_F(LongTexts, LongReasonNameAndDestinationPrintOverNothing) {
    ASSERT_EQ(kReason500.size(), 500);
    ASSERT_EQ(kName200.size(), 200);
    ASSERT_EQ(kDestino200.size(), 200);
    const LongCase cases[] = {
        {"reason of 500", QStringLiteral("ANA PÉREZ"), kReason500, QStringLiteral("Córdoba")},
        {"reason of 800", QStringLiteral("ANA PÉREZ"),
         kReason500 + QStringLiteral(" Además, la comisión incluye la presentación de un póster "
                                     "sobre fertilidad de suelos, la reunión anual del comité "
                                     "editorial de la revista y una visita a los laboratorios de "
                                     "análisis químico y físico de la facultad hermana."),
         QStringLiteral("Córdoba")},
        {"name and destination of 200", kName200, QStringLiteral("Congreso"), kDestino200},
        {"all three", kName200, kReason500, kDestino200},
    };
    for (const LongCase& c : cases) {
        Fill(Request(c.Persona, c.Motivo, c.Destino));
        for (const Document& doc : kDocuments) {
            SCOPED_TRACE(std::string(c.Name) + " in " + doc.Name);
            TFFRDocument& form = FormOf(forms, doc.Kind);
            const auto page = PreparePage(form.RLReport1());
            ASSERT_TRUE(page);

            // No two texts share a pixel.
            const auto texts = Texts(*page);
            for (size_t i = 0; i < texts.size(); ++i)
                for (size_t j = i + 1; j < texts.size(); ++j) {
                    if (texts[i]->Text.trimmed().isEmpty() || texts[j]->Text.trimmed().isEmpty())
                        continue;
                    EXPECT_FALSE(Intersect(texts[i]->BoundsRect, texts[j]->BoundsRect))
                        << Describe(*texts[i]).toStdString() << " over "
                        << Describe(*texts[j]).toStdString();
                }

            // A rule drawn across a text touches at most its last pixels: it underlines the
            // text, never strikes through it.
            for (const auto& object : page->Objects()) {
                if (object->Kind() != TRLObjectKind::Polygon)
                    continue;
                for (const TRLTextObject* t : texts) {
                    if (t->Text.trimmed().isEmpty() ||
                        !Intersect(object->BoundsRect, t->BoundsRect))
                        continue;
                    EXPECT_GE(object->BoundsRect.Top, t->BoundsRect.Bottom - 2)
                        << Describe(*t).toStdString() << " crossed at " << object->BoundsRect.Top;
                }
            }

            // Every word in order, inside the page's margins.
            const TRLTextObject* persona = Only(*page, QString::fromUtf8(doc.PersonaCaption));
            const TRLTextObject* destinoCaption = Only(*page, QStringLiteral("DESTINO "));
            ASSERT_TRUE(persona && destinoCaption);
            const auto personaLines = LinesOf(*page, *form.FindControl("aux_persona"));
            EXPECT_EQ(Joined(personaLines), c.Persona);
            const int destinoDy =
                destinoCaption->BoundsRect.Top - kBody - form.FindControl("RLLabel11")->Top();
            const auto destinoLines = LinesOf(*page, *form.FindControl("aux_destino"), destinoDy);
            EXPECT_EQ(Joined(destinoLines), c.Destino);
            for (const auto& lines : {personaLines, destinoLines})
                for (const auto* line : lines)
                    EXPECT_LE(line->BoundsRect.Right, 756) << Describe(*line).toStdString();

            // The reason's lines, wherever the name left them, end above "DESTINO".
            const int motivoDy = Only(*page, QStringLiteral("MOTIVO "))->BoundsRect.Top - kBody -
                                 form.FindControl("RLLabel10")->Top();
            const auto reasonLines = LinesOf(*page, *form.FindControl("aux_motivo"), motivoDy);
            EXPECT_EQ(Joined(reasonLines), c.Motivo);
            ASSERT_FALSE(reasonLines.empty() || destinoLines.empty());
            EXPECT_LE(reasonLines.back()->BoundsRect.Bottom, destinoCaption->BoundsRect.Top);

            // The rows below the destination start under its last line and keep their spacing
            // down to the signature.
            const TRLCustomControl* nextRow = form.FindControl("RLLabel12");
            const TRLTextObject* next = Only(*page, nextRow->Caption());
            const TRLTextObject* signature = Only(*page, QString::fromUtf8(doc.Signature));
            ASSERT_TRUE(next && signature);
            EXPECT_GE(next->BoundsRect.Top, destinoLines.back()->BoundsRect.Bottom);
            EXPECT_EQ(signature->BoundsRect.Top - next->BoundsRect.Top,
                      form.FindControl("RLLabel19")->Top() - nextRow->Top());
        }
    }
}

namespace {

ProgramResult RunBatch(const QStringList& arguments) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", qEnvironmentVariable("KELMORA_TEST_USERS_LOCALE", "C.UTF-8"));
    return RunProgram(BuiltProgram(QStringLiteral("app/kelmora-batch")), arguments, env);
}

struct PdfWord {
    QString Text;
    double XMin, YMin, XMax, YMax;
};

// The words of a PDF's first page as poppler reads them, in its reading order.
std::vector<PdfWord> PdfWords(const QString& pdf) {
    const ProgramResult r = RunProgram("pdftotext", {"-bbox", "-f", "1", "-l", "1", pdf, "-"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    std::vector<PdfWord> words;
    for (auto m = word.globalMatch(r.Out); m.hasNext();) {
        const auto w = m.next();
        words.push_back({w.captured(5), w.captured(1).toDouble(), w.captured(2).toDouble(),
                         w.captured(3).toDouble(), w.captured(4).toDouble()});
    }
    return words;
}

// Every drawn object of a page store file as a line: kind and rectangle, a text's origin, font
// and text. The date in the letterhead, which changes every day, reads "<date>". Clip changes
// are left out: they carry each band's height, and the body band's height was the growth
// measured from one line of the reason.
QStringList Listing(const QString& rpf) {
    TRLGraphicStorage storage;
    storage.LoadFromFile(rpf);
    QStringList lines;
    for (int p = 0; p < storage.PageCount(); ++p) {
        lines << QStringLiteral("page %1").arg(p + 1);
        for (const auto& object : storage.Pages(p)->Objects()) {
            if (object->Kind() == TRLObjectKind::SetClipRect ||
                object->Kind() == TRLObjectKind::ResetClipRect)
                continue;
            const TRLRect& r = object->BoundsRect;
            if (r.Left == kBandLeft + 661 && r.Top == kHead + 6) {
                lines << QStringLiteral("<date>");
                continue;
            }
            QString line = QStringLiteral("%1 %2 %3 %4 %5")
                               .arg(int(object->Kind()))
                               .arg(r.Left)
                               .arg(r.Top)
                               .arg(r.Right)
                               .arg(r.Bottom);
            if (const auto* t = dynamic_cast<const TRLTextObject*>(object.get())) {
                line += QStringLiteral(" %1,%2 %3/%4 %5")
                            .arg(t->Origin.X)
                            .arg(t->Origin.Y)
                            .arg(t->Font.Size)
                            .arg(t->Font.Style)
                            .arg(t->Text);
            }
            lines << line;
        }
    }
    return lines;
}

} // namespace

// The sample request's three documents record, object by object, what they recorded before long
// texts could wrap and push (the listing was taken from those documents).
TEST(SampleRequestDocuments, RecordWhatTheyAlwaysRecorded) {
    QTemporaryDir dir;
    const QString out = dir.filePath("out");
    const ProgramResult r =
        RunBatch({QStringLiteral(KELMORA_SOURCE_DIR) + "/docs/sample-request.json", out});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    QStringList actual;
    for (const Document& doc : kDocuments)
        actual << QString::fromUtf8(doc.Name) << Listing(out + '/' + doc.Name + ".rpf");
    QFile expected(QStringLiteral(KELMORA_SOURCE_DIR) +
                   "/tests/documents/data/sample-request-pages.txt");
    const bool known = expected.open(QIODevice::ReadOnly);
    const QStringList before =
        known ? QString::fromUtf8(expected.readAll()).split('\n', Qt::SkipEmptyParts)
              : QStringList();
    if (before != actual) {
        QFile now(QStringLiteral(KELMORA_BINARY_DIR) + "/sample-request-pages.txt");
        if (now.open(QIODevice::WriteOnly))
            now.write((actual.join('\n') + '\n').toUtf8());
    }
    ASSERT_TRUE(known) << "no listing to compare with";
    ASSERT_EQ(before.size(), actual.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        EXPECT_EQ(before[i], actual[i]) << "line " << i + 1;
}

// Read back through poppler: the reason at the form's limit, every word in order, ends above the
// line of "DESTINO" in the request's PDF.
TEST(LongTextsInPdf, TheReasonAtTheLimitEndsAboveDestino) {
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "poppler-utils are not installed";
    QFile sample(QStringLiteral(KELMORA_SOURCE_DIR) + "/docs/sample-request.json");
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    QJsonObject request = QJsonDocument::fromJson(sample.readAll()).object();
    request["Motivo"] = kReason500;
    QTemporaryDir dir;
    QFile file(dir.filePath("request.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(request).toJson());
    file.close();
    const QString out = dir.filePath("out");
    const ProgramResult r = RunBatch({file.fileName(), out, "--pdf"});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();

    for (const Document& doc : kDocuments) {
        SCOPED_TRACE(doc.Name);
        const std::vector<PdfWord> words = PdfWords(out + '/' + doc.Name + ".pdf");
        const auto at = [&](const QString& text) {
            return std::find_if(words.begin(), words.end(),
                                [&](const PdfWord& w) { return w.Text == text; });
        };
        const auto motivo = at("MOTIVO");
        const auto destino = at("DESTINO");
        ASSERT_TRUE(motivo != words.end() && destino != words.end());
        // The reason's words: right of the caption, from its line down, in reading order.
        const QStringList expected = kReason500.split(' ');
        QStringList found;
        double lowest = 0;
        for (const PdfWord& w : words)
            if (found.size() < expected.size() && w.XMin > motivo->XMax &&
                w.YMin >= motivo->YMin - 1) {
                found << w.Text;
                lowest = std::max(lowest, w.YMax);
            }
        EXPECT_EQ(found, expected);
        EXPECT_LE(lowest, destino->YMin) << "the reason reaches the line of DESTINO";
    }
}
