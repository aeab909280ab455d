// The progress line of the command-line programs: where it shows, how often, how a terminal's
// line is rewritten in place; and a picture that cannot be written says why.
#include <kelmora/commandline/RLCommandLine.h>

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

using namespace Kelmora;

namespace {

// What was written to a stream so far.
std::string Written(FILE* file) {
    std::fflush(file);
    std::string text;
    std::rewind(file);
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
        text += static_cast<char>(c);
    return text;
}

QString Line(const char* text) {
    return QString::fromUtf8(text);
}

TEST(ConsoleProgress, APipeGetsPlainLinesOnlyWhenAsked) {
    FILE* quiet = std::tmpfile();
    {
        TRLConsoleProgress progress(false, quiet);
        EXPECT_FALSE(progress.Shown());
        progress.Tell([](double) { return Line("page 3"); }, 3, true);
    }
    EXPECT_EQ(Written(quiet), "");
    std::fclose(quiet);

    FILE* asked = std::tmpfile();
    {
        TRLConsoleProgress progress(true, asked);
        EXPECT_TRUE(progress.Shown());
        // Right after the start only a last line is worth showing.
        EXPECT_FALSE(progress.Due());
        progress.Tell([](double) { return Line("page 1"); }, 1);
        double rate = -1;
        progress.Tell(
            [&rate](double perSecond) {
                rate = perSecond;
                return Line("page 2 · done");
            },
            2, true);
        EXPECT_GT(rate, 0);
    }
    EXPECT_EQ(Written(asked), "page 2 · done\n");
    std::fclose(asked);
}

// On a terminal the line starts with a carriage return, covers a longer earlier line with
// spaces, and is ended by Finish (or the progress going).
TEST(ConsoleProgress, ATerminalLineIsRewrittenInPlace) {
    int master = -1;
    int slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    FILE* terminal = fdopen(slave, "w");
    ASSERT_NE(terminal, nullptr);
    {
        TRLConsoleProgress progress(false, terminal);
        EXPECT_TRUE(progress.Shown()) << "a terminal shows progress unasked";
        progress.Tell([](double) { return Line("page 1000"); }, 1000, true);
        progress.Tell([](double) { return Line("page 9"); }, 9, true);
    }
    std::fclose(terminal);
    std::string seen;
    char buffer[256];
    for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;)
        seen.append(buffer, static_cast<size_t>(got));
    close(master);
    // The terminal turns the last new line into a carriage return and a new line.
    EXPECT_EQ(seen, "\rpage 1000\rpage 9   \r\n");
}

TEST(ConsoleProgress, NumbersAreGroupedByThousands) {
    EXPECT_EQ(TRLConsoleProgress::Grouped(0), "0");
    EXPECT_EQ(TRLConsoleProgress::Grouped(999), "999");
    EXPECT_EQ(TRLConsoleProgress::Grouped(1000), "1,000");
    EXPECT_EQ(TRLConsoleProgress::Grouped(56789), "56,789");
    EXPECT_EQ(TRLConsoleProgress::Grouped(10000000), "10,000,000");
    EXPECT_EQ(TRLConsoleProgress::Grouped(-1234), "-1,234");
}

TEST(PngFile, ARefusalNamesTheFileAndTheSystemsReason) {
    QTemporaryDir dir;
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    const QString written = dir.filePath("ok.png");
    WritePngFile(image, written);
    EXPECT_EQ(QImage(written).size(), image.size());
    const QString missing = dir.filePath("no-such-folder/p.png");
    try {
        WritePngFile(image, missing);
        FAIL() << "written into a folder that does not exist";
    } catch (const TRLException& error) {
        // The system's words, in the language of the locale the suite runs in.
        EXPECT_EQ(error.Message(),
                  QStringLiteral("cannot write %1: %2").arg(missing, qt_error_string(ENOENT)));
    }
}

} // namespace
