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
    const char* What;
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

const QString kSans = QStringLiteral("Liberation Sans");

// Requests that differ from the first in one thing each, and more of them than are kept.
const std::vector<FontRequest> kRequests{
    {"plain", kSans, 10, false, false, false, false, 96},
    {"serif", QStringLiteral("Liberation Serif"), 10, false, false, false, false, 96},
    {"lower-case name", QStringLiteral("liberation sans"), 10, false, false, false, false, 96},
    {"12 points", kSans, 12, false, false, false, false, 96},
    {"300 per inch", kSans, 10, false, false, false, false, 300},
    {"bold", kSans, 10, true, false, false, false, 96},
    {"italic", kSans, 10, false, true, false, false, 96},
    {"underline", kSans, 10, false, false, true, false, 96},
    {"strike-out", kSans, 10, false, false, false, true, 96},
    {"0 points, still one pixel", kSans, 0, false, false, false, false, 96},
    {"bold italic 9 points", kSans, 9, true, true, false, false, 96},
    // 10 points at 96 per inch and 15 points at 64 per inch are both 13 pixels: one font.
    {"15 points at 64 per inch", kSans, 15, false, false, false, false, 64},
};

// QFont's equality covers every attribute set above, kerning and hinting included.
void ExpectMadeRight(const FontRequest& r, const std::string& after = {}) {
    const QFont made = Made(r);
    EXPECT_EQ(made, MadeByHand(r)) << r.What << after << ": " << made.toString().toStdString();
}

} // namespace

TEST(SupportFontMaking, FontsAskedForAgainAreTheFontsAskedFor) {
    // Forwards, then backwards (what is kept is met in the other order), then every font right
    // after each other one.
    for (auto r = kRequests.begin(); r != kRequests.end(); ++r)
        ExpectMadeRight(*r);
    for (auto r = kRequests.rbegin(); r != kRequests.rend(); ++r)
        ExpectMadeRight(*r);
    for (const FontRequest& first : kRequests)
        for (const FontRequest& second : kRequests) {
            Made(first);
            ExpectMadeRight(second, std::string(" after ") + first.What);
        }
}

TEST(SupportFontMaking, ChangingAFontThatWasMadeLeavesTheNextOneAlone) {
    QFont changed = Made(kRequests[0]);
    changed.setBold(true);
    changed.setPixelSize(40);
    changed.setKerning(true);
    ExpectMadeRight(kRequests[0], " after a change to an earlier copy");
}

// Measurements follow the font asked for: after a change of font, the new font's widths.
TEST(SupportFontMaking, MeasurementsFollowAChangeOfFont) {
    const QString text = QStringLiteral("Declaración jurada mmmm");
    for (const FontRequest& r : kRequests) {
        EXPECT_EQ(RLTextWidth(Made(r), text), RLTextWidth(MadeByHand(r), text)) << r.What;
        EXPECT_EQ(RLTextHeight(Made(r)), RLTextHeight(MadeByHand(r))) << r.What;
    }
    // Heights straight from the toolkit, at 96 per inch, for fonts met in turn.
    QImage canvas(1, 1, QImage::Format_ARGB32_Premultiplied);
    canvas.setDotsPerMeterX(3780);
    canvas.setDotsPerMeterY(3780);
    for (int round = 0; round < 2; ++round)
        for (const FontRequest& r : kRequests)
            EXPECT_EQ(RLTextHeight(Made(r)), QFontMetrics(MadeByHand(r), &canvas).height())
                << r.What;
}

// Threads that make and measure fonts at the same time each get the fonts they ask for.
TEST(SupportFontMaking, SeveralThreadsMakeTheirOwnFonts) {
    const QString text = QStringLiteral("Página 12 de 345");
    std::vector<int> expected;
    for (const FontRequest& r : kRequests)
        expected.push_back(RLTextWidth(MadeByHand(r), text));
    std::vector<int> mismatches(3, 0);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < 3; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round)
                for (std::size_t i = 0; i < kRequests.size(); ++i) {
                    const std::size_t at = (i + t) % kRequests.size();
                    const QFont font = Made(kRequests[at]);
                    if (RLTextWidth(font, text) != expected[at] ||
                        font.pixelSize() != MadeByHand(kRequests[at]).pixelSize())
                        ++mismatches[t];
                }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(3, 0));
}
