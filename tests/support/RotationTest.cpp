#include <kelmora/support/RLUtils.h>

#include <QFont>
#include <QImage>
#include <QSet>

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

using namespace Kelmora;

namespace {

// A picture whose every pixel has its own colour, so that any misplaced pixel shows.
QImage Numbered(int w, int h, QImage::Format format = QImage::Format_RGB32) {
    QImage image(w, h, format);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 16, y * 16, 128));
    return image;
}

template <typename SourceOf>
void ExpectTurned(const QImage& source, int angle, QSize size, SourceOf sourceOf) {
    const QImage turned = TurnedBitmap(source, angle);
    ASSERT_EQ(turned.size(), size) << angle;
    for (int y = 0; y < turned.height(); ++y)
        for (int x = 0; x < turned.width(); ++x) {
            const auto [sx, sy] = sourceOf(x, y);
            ASSERT_EQ(turned.pixel(x, y), source.pixel(sx, sy)) << angle << " at " << x << "," << y;
        }
}

TEST(SupportRotation, QuarterTurnsMoveEveryPixel) {
    constexpr int w = 5, h = 3;
    const QImage source = Numbered(w, h);
    ExpectTurned(source, 0, {w, h}, [](int x, int y) { return std::pair{x, y}; });
    // Counter-clockwise: the top-right pixel becomes the top-left one.
    ExpectTurned(source, 90, {h, w}, [](int x, int y) { return std::pair{w - 1 - y, x}; });
    ExpectTurned(source, -90, {h, w}, [](int x, int y) { return std::pair{y, h - 1 - x}; });
    ExpectTurned(source, 180, {w, h}, [](int x, int y) { return std::pair{w - 1 - x, h - 1 - y}; });
}

TEST(SupportRotation, OddTurnsFillTheCornersWithTheTopLeftColour) {
    QImage source(20, 10, QImage::Format_RGB32);
    source.fill(qRgb(0, 0, 255));
    source.setPixel(0, 0, qRgb(255, 0, 0));
    const QImage turned = TurnedBitmap(source, 45);
    // Room for both sides' projections: about (20 + 10) / sqrt 2 each way.
    EXPECT_GE(std::min(turned.width(), turned.height()), 20);
    EXPECT_EQ(turned.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(turned.pixel(turned.width() - 1, turned.height() - 1), qRgb(255, 0, 0));
    EXPECT_EQ(turned.pixel(turned.width() / 2, turned.height() / 2), qRgb(0, 0, 255));
}

TEST(SupportRotation, TurnedBitmapsKeepTransparency) {
    QImage clear = Numbered(4, 4, QImage::Format_ARGB32);
    clear.setPixel(3, 3, qRgba(0, 0, 0, 0));
    const QImage turned = TurnedBitmap(clear, 180);
    EXPECT_TRUE(turned.hasAlphaChannel());
    EXPECT_EQ(qAlpha(turned.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(turned.pixel(3, 3)), 255);

    EXPECT_TRUE(TurnedBitmap(QImage(), 90).isNull());
}

TEST(SupportTextSize, WidthsAreSumsOfAdvancesAt96PerInch) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSize(10);
    const int height = TextHeightOf(font);
    // 10 points are 13 pixels at 96 per inch; the line adds the font's leading parts.
    EXPECT_GE(height, 13);
    EXPECT_LE(height, 17);

    const QString word = QStringLiteral("AVAVWAY Tolerancia");
    int sum = 0;
    for (const QChar c : word)
        sum += TextWidthOf(font, QString(c));
    EXPECT_EQ(TextWidthOf(font, word), sum); // no kerning between letter pairs

    // Different fonts never share cached advances.
    QFont bold = font;
    bold.setBold(true);
    EXPECT_GT(TextWidthOf(bold, QStringLiteral("mmmm")), TextWidthOf(font, QStringLiteral("mmmm")));
}

// Each thread remembers the font it measured last: a thread that changes fonts gets the new
// font's widths, threads measuring side by side in different fonts do not mix them up, and a
// thread keeps right widths while another makes the cache forget its fonts (past 256 of them).
TEST(SupportTextSize, ThreadsMeasureInTheFontTheyAskFor) {
    QList<QFont> fonts;
    for (const int size : {8, 13, 21}) {
        QFont font(QStringLiteral("Liberation Sans"));
        font.setPointSize(size);
        fonts << font;
        font.setBold(true);
        fonts << font;
    }
    const QStringList texts{QStringLiteral("Íñigo Núñez 12.345,67"), QStringLiteral("Ελληνικά"),
                            QStringLiteral("Привет, мир")};
    // What one thread measures, asked in turn.
    QList<int> expected;
    for (const QFont& font : fonts)
        for (const QString& text : texts)
            expected << TextWidthOf(font, text) << TextHeightOf(font);
    // Every font gives each text a width of its own, so a stale font would show.
    for (int t = 0; t < texts.size(); ++t) {
        QSet<int> widths;
        for (int f = 0; f < fonts.size(); ++f)
            widths << expected[(f * int(texts.size()) + t) * 2];
        EXPECT_EQ(widths.size(), fonts.size()) << texts[t].toStdString();
    }

    std::atomic<int> wrong{0};
    const auto measureInTurn = [&](int start) {
        for (int round = 0; round < 300; ++round) {
            const int f = (start + round) % int(fonts.size());
            for (int t = 0; t < texts.size(); ++t) {
                const int at = (f * int(texts.size()) + t) * 2;
                if (TextWidthOf(fonts[f], texts[t]) != expected[at] ||
                    TextHeightOf(fonts[f]) != expected[at + 1])
                    ++wrong;
            }
        }
    };
    // A thread that asks for ever new fonts, past what the cache keeps.
    const auto manyFonts = [&] {
        for (int size = 1; size <= 300; ++size) {
            QFont font(QStringLiteral("Liberation Serif"));
            font.setPixelSize(size);
            if (TextWidthOf(font, QStringLiteral("W")) < 0)
                ++wrong;
        }
    };
    std::vector<std::thread> threads;
    for (int start = 0; start < 3; ++start)
        threads.emplace_back(measureInTurn, start);
    threads.emplace_back(manyFonts);
    measureInTurn(4);
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

} // namespace
