// Page-store files that the PDF writer once could not take, through rltool pdf as a user runs it.
#include "CappedProcess.h"

#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pagestore/RLGraphicSurface.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Kelmora;

namespace {

QString Input(const QString& name) {
    return QStringLiteral(KELMORA_HOSTILE_INPUTS "/pdf/") + name;
}

// A page-store file and the PDF rltool makes of it, in a folder of its own.
class HostilePdf : public ::testing::Test {
protected:
    CappedResult Pdf(const QString& input) { return PdfOf(Input(input)); }
    CappedResult PdfOf(const QString& path) {
        return RunCapped(BuiltProgram(QStringLiteral("tools/rltool")),
                         {QStringLiteral("pdf"), path, QStringLiteral("-o"), Target()});
    }
    QString Target() const { return dir.filePath(QStringLiteral("salida.pdf")); }
    // The run wrote its PDF within the time limit and in no more than peakMb of memory.
    void ExpectWrittenWithin(const CappedResult& result, qint64 peakMb) const {
        EXPECT_FALSE(result.TimedOut) << result.Describe().toStdString();
        ASSERT_EQ(result.ExitCode, 0) << result.Describe().toStdString();
        QFile pdf(Target());
        ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
        EXPECT_TRUE(pdf.read(5) == "%PDF-");
        if (kMemoryMeasurable) {
            EXPECT_LT(result.PeakKb, peakMb * 1024) << result.Describe().toStdString();
        }
    }
    QTemporaryDir dir;
};

// A text of 3278 pt recorded at 1440 pixels per inch would need a font 65560 pixels high, past
// the largest the toolkit makes; the stand-in font it hands out crashed the writer's font lookup
// on a painting thread. The page is now refused, in one line that names it and the size.
TEST_F(HostilePdf, AFontTooLargeToMakeIsRefusedNamingThePageAndTheSize) {
    const CappedResult result = Pdf(QStringLiteral("font-of-3278-points-at-1440-per-inch.rpf"));
    EXPECT_EQ(result.Signal, 0) << result.Describe().toStdString();
    EXPECT_EQ(result.ExitCode, 2) << result.Describe().toStdString();
    const QString error = result.ErrText().trimmed();
    EXPECT_FALSE(error.contains(u'\n')) << error.toStdString();
    EXPECT_TRUE(
        error.startsWith(QStringLiteral("rltool pdf: cannot write %1: page 1: ").arg(Target())))
        << error.toStdString();
    EXPECT_TRUE(error.contains(QLatin1String("font size of 3278 pt at 1440 pixels per inch")))
        << error.toStdString();
    EXPECT_FALSE(QFile::exists(Target()));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    if (kMemoryMeasurable) {
        EXPECT_LT(result.PeakKb, 150 * 1024) << result.Describe().toStdString();
    }
}

// Just within the largest font: the text is drawn, as text, in the memory of an ordinary page
// (27 MB measured).
TEST_F(HostilePdf, TheLargestFontTheToolkitMakesStillDraws) {
    const CappedResult result = Pdf(QStringLiteral("font-of-49000-points.rpf"));
    ASSERT_EQ(result.ExitCode, 0) << result.Describe().toStdString();
    QFile pdf(Target());
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-")) << bytes.left(16).toStdString();
    EXPECT_TRUE(bytes.contains("/FontFile2")) << "the text is embedded as text";
    if (kMemoryMeasurable) {
        EXPECT_LT(result.PeakKb, 150 * 1024) << result.Describe().toStdString();
    }
}

// A one-page store whose page shows one text COPIES times, one pixel lower each time, at x = 40
// and in Arial of the size given, written to the test's folder as NAME.
QString RepeatedTextPage(const QTemporaryDir& dir, const QString& name, const QString& text,
                         int copies, int size) {
    TRLGraphicStorage storage;
    auto page = std::make_shared<TRLGraphicSurface>();
    page->SetWidth(794);
    page->SetHeight(1123);
    page->SetPaperWidth(210);
    page->SetPaperHeight(297);
    page->Open();
    TRLFont font;
    font.Size = size;
    page->SetFont(font);
    for (int i = 0; i < copies; ++i) {
        page->TextOut(40, 40 + i % 1000, text);
    }
    page->Close();
    storage.Add(page);
    const QString file = dir.filePath(name);
    EXPECT_GE(storage.SaveToFile(file), 3); // the version written: 3, or 4 past Windows-1252
    return file;
}

// LENGTH characters that alternate Latin and Greek capitals, A to Q and Alpha to Rho ("AΑBΒ..."),
// or that cycle through the control characters and Latin-1 (which no font has glyphs for in full,
// so that they go as outlines).
QString Cycled(int length, bool outlines) {
    QString text;
    for (int i = 0; i < length; ++i) {
        text += outlines ? QChar(1 + i % 255)
                         : QChar(i % 2 == 0 ? u'A' + i / 2 % 17 : 0x0391 + i / 2 % 17);
    }
    return text;
}

// One page that shows one text of 9,000 characters 1,000 times: 9 million glyphs from a 9 MB
// file. The writer kept a list of the page's glyphs that it grew by each text's length exactly,
// copying the whole list every time, so the time grew with the square of the copies (400: 37 s;
// 2,000: a quarter of an hour). The page now keeps each glyph it shows once: seconds.
TEST_F(HostilePdf, OneTextRepeatedThousandsOfTimesOnAPageIsWrittenInItsTime) {
    const QString input =
        RepeatedTextPage(dir, QStringLiteral("repetido.rpf"), Cycled(9000, false), 1000, 10);
    const CappedResult result = PdfOf(input);
    ExpectWrittenWithin(result, 400);
    // Kept once, each glyph still reads back as its character, Greek as Latin.
    const CappedResult text =
        RunCapped(QStandardPaths::findExecutable(QStringLiteral("pdftotext")),
                  {QStringLiteral("-l"), QStringLiteral("1"), Target(), QStringLiteral("-")});
    ASSERT_EQ(text.ExitCode, 0) << text.Describe().toStdString();
    EXPECT_TRUE(text.OutText().contains(QStringLiteral("AΑBΒCΓDΔEΕFΖGΗHΘ")))
        << text.OutText().left(200).toStdString();
}

// Characters without glyphs go as outlines, kilobytes each at 100 pt. A text of 9,000 of them
// runs some 900,000 pixels past the page's right edge; 200 copies made a 670 MB PDF in 2.9 GB.
// What lies off the page is left out now.
TEST_F(HostilePdf, OutlinesFarOffThePageAreLeftOut) {
    const QString input =
        RepeatedTextPage(dir, QStringLiteral("contornos.rpf"), Cycled(9000, true), 200, 100);
    const CappedResult result = PdfOf(input);
    ExpectWrittenWithin(result, 400);
    EXPECT_LT(QFileInfo(Target()).size(), 64 << 20);
}

} // namespace
