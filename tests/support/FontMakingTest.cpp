// RLMakeFont keeps the fonts it made last: a font asked for again must be the font asked for, in
// every attribute, whatever was asked before it, on whichever thread.
#include "RLTextMetrics.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

struct FontRequest {
    QString Name;
    int PointSize;
    bool Bold, Italic, Underline, StrikeOut;
    int PixelsPerInch;
};

// The font as the engine has always made it, from nothing.
QFont MadeByHand(const FontRequest& r) {
    QFont font(r.Name);
    font.setPixelSize(std::max(1, RLFontPixelSize(r.PointSize, r.PixelsPerInch)));
    font.setBold(r.Bold);
    font.setItalic(r.Italic);
    font.setUnderline(r.Underline);
    font.setStrikeOut(r.StrikeOut);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QFont Made(const FontRequest& r) {
    return RLMakeFont(r.Name, r.PointSize, r.Bold, r.Italic, r.Underline, r.StrikeOut,
                      r.PixelsPerInch);
}

// Requests that differ from the first in one thing each, and more of them than are kept.
std::vector<FontRequest> Requests() {
    const FontRequest base{QStringLiteral("Liberation Sans"), 10, false, false, false, false, 96};
    std::vector<FontRequest> list{base};
    auto vary = [&](auto change) {
        FontRequest r = base;
        change(r);
        list.push_back(r);
    };
    vary([](FontRequest& r) { r.Name = QStringLiteral("Liberation Serif"); });
    vary([](FontRequest& r) { r.Name = QStringLiteral("liberation sans"); });
    vary([](FontRequest& r) { r.PointSize = 12; });
    vary([](FontRequest& r) { r.PixelsPerInch = 300; });
    vary([](FontRequest& r) { r.Bold = true; });
    vary([](FontRequest& r) { r.Italic = true; });
    vary([](FontRequest& r) { r.Underline = true; });
    vary([](FontRequest& r) { r.StrikeOut = true; });
    vary([](FontRequest& r) { r.PointSize = 0; }); // never less than one pixel
    vary([](FontRequest& r) {
        r.Bold = r.Italic = true;
        r.PointSize = 9;
    });
    // 10 points at 96 per inch and 15 points at 64 per inch are both 13 pixels: one font.
    vary([](FontRequest& r) {
        r.PointSize = 15;
        r.PixelsPerInch = 64;
    });
    return list;
}

void ExpectSameFont(const QFont& made, const QFont& wanted, const QString& what) {
    SCOPED_TRACE(what.toStdString());
    EXPECT_EQ(made, wanted);
    EXPECT_EQ(made.family(), wanted.family());
    EXPECT_EQ(made.pixelSize(), wanted.pixelSize());
    EXPECT_EQ(made.bold(), wanted.bold());
    EXPECT_EQ(made.italic(), wanted.italic());
    EXPECT_EQ(made.underline(), wanted.underline());
    EXPECT_EQ(made.strikeOut(), wanted.strikeOut());
    EXPECT_FALSE(made.kerning());
    EXPECT_EQ(made.hintingPreference(), QFont::PreferNoHinting);
}

QString Describe(const FontRequest& r) {
    return QStringLiteral("%1 %2pt %3%4%5%6 at %7")
        .arg(r.Name)
        .arg(r.PointSize)
        .arg(r.Bold ? "b" : "")
        .arg(r.Italic ? "i" : "")
        .arg(r.Underline ? "u" : "")
        .arg(r.StrikeOut ? "s" : "")
        .arg(r.PixelsPerInch);
}

} // namespace

TEST(SupportFontMaking, FontsAskedForAgainAreTheFontsAskedFor) {
    const std::vector<FontRequest> requests = Requests();
    // Forwards, then backwards (what is kept is met in the other order), then every font right
    // after each other one.
    for (int round = 0; round < 2; ++round)
        for (std::size_t i = 0; i < requests.size(); ++i) {
            const FontRequest& r = requests[round == 0 ? i : requests.size() - 1 - i];
            ExpectSameFont(Made(r), MadeByHand(r), Describe(r));
        }
    for (const FontRequest& first : requests)
        for (const FontRequest& second : requests) {
            Made(first);
            ExpectSameFont(Made(second), MadeByHand(second),
                           Describe(second) + " after " + Describe(first));
        }
}

TEST(SupportFontMaking, ChangingAFontThatWasMadeLeavesTheNextOneAlone) {
    const FontRequest plain{QStringLiteral("Liberation Sans"), 10, false, false, false, false, 96};
    QFont changed = Made(plain);
    changed.setBold(true);
    changed.setPixelSize(40);
    changed.setKerning(true);
    ExpectSameFont(Made(plain), MadeByHand(plain), "after a change to an earlier copy");
    EXPECT_TRUE(changed.bold());
    EXPECT_EQ(changed.pixelSize(), 40);
}

// Measurements follow the font asked for: after a change of font, the new font's widths.
TEST(SupportFontMaking, MeasurementsFollowAChangeOfFont) {
    const QString text = QStringLiteral("Declaración jurada mmmm");
    for (const FontRequest& r : Requests()) {
        EXPECT_EQ(RLTextWidth(Made(r), text), RLTextWidth(MadeByHand(r), text))
            << Describe(r).toStdString();
        EXPECT_EQ(RLTextHeight(Made(r)), RLTextHeight(MadeByHand(r))) << Describe(r).toStdString();
    }
    // Heights straight from the toolkit, at 96 per inch, for fonts met in turn.
    QImage canvas(1, 1, QImage::Format_ARGB32_Premultiplied);
    canvas.setDotsPerMeterX(3780);
    canvas.setDotsPerMeterY(3780);
    for (int round = 0; round < 2; ++round)
        for (const FontRequest& r : Requests())
            EXPECT_EQ(RLTextHeight(Made(r)), QFontMetrics(MadeByHand(r), &canvas).height())
                << Describe(r).toStdString();
    const FontRequest small{QStringLiteral("Liberation Sans"), 9, false, false, false, false, 96};
    FontRequest large = small;
    large.PointSize = 18;
    const int smallWidth = RLTextWidth(Made(small), text);
    EXPECT_GT(RLTextWidth(Made(large), text), smallWidth * 3 / 2);
    EXPECT_EQ(RLTextWidth(Made(small), text), smallWidth);
}

// Threads that make and measure fonts at the same time each get the fonts they ask for.
TEST(SupportFontMaking, SeveralThreadsMakeTheirOwnFonts) {
    const std::vector<FontRequest> requests = Requests();
    const QString text = QStringLiteral("Página 12 de 345");
    std::vector<int> expected;
    for (const FontRequest& r : requests)
        expected.push_back(RLTextWidth(MadeByHand(r), text));
    std::vector<int> mismatches(3, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round)
                for (std::size_t i = 0; i < requests.size(); ++i) {
                    const std::size_t at = (i + static_cast<std::size_t>(t)) % requests.size();
                    const QFont font = Made(requests[at]);
                    if (RLTextWidth(font, text) != expected[at] ||
                        font.pixelSize() != MadeByHand(requests[at]).pixelSize())
                        ++mismatches[static_cast<std::size_t>(t)];
                }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(3, 0));
}
