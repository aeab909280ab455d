// Page-store files that the PDF writer once could not take, through rltool pdf as a user runs it.
#include "CappedProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString Input(const QString& name) {
    return QStringLiteral(KELMORA_HOSTILE_INPUTS "/pdf/") + name;
}

// A page-store file and the PDF rltool makes of it, in a folder of its own.
class HostilePdf : public ::testing::Test {
protected:
    CappedResult Pdf(const QString& input) {
        return RunCapped(BuiltProgram(QStringLiteral("tools/rltool")),
                         {QStringLiteral("pdf"), Input(input), QStringLiteral("-o"), Target()});
    }
    QString Target() const { return dir.filePath(QStringLiteral("salida.pdf")); }
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

} // namespace
