// RLMakeFont keeps the fonts it made last: a font asked for again must be the font asked for, in
// every attribute, whatever was asked before it. Threads keep their own (PdfWriter tests).
#include <kelmora/support/RLTextMetrics.h>

#include <QFont>

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace Kelmora;

namespace {

struct FontRequest {
    const char* What;
    QString Name;
    int PointSize;
    bool Bold, Italic, Underline, StrikeOut;
    int PixelsPerInch;
};

// The font made from nothing.
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
    {"bold", kSans, 10, true, false, false, false, 96},
    {"italic", kSans, 10, false, true, false, false, 96},
    {"underline", kSans, 10, false, false, true, false, 96},
    {"strike-out", kSans, 10, false, false, false, true, 96},
    {"0 points, still one pixel", kSans, 0, false, false, false, false, 96},
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
    // Forwards, backwards (what is kept is met in the other order), each after each other one.
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

// Sizes a page-store file may hold at its limits: the smallest int has no absolute value in an
// int, and the largest sizes times the resolution leave the int range; both stay the largest size.
TEST(SupportFontMaking, PixelSizesAtTheIntegerLimitsSaturate) {
    EXPECT_EQ(RLFontPixelSize(10, 96), 13);
    EXPECT_EQ(RLFontPixelSize(-10, 96), 13);
    EXPECT_EQ(RLFontPixelSize(std::numeric_limits<int>::max(), 1440),
              std::numeric_limits<int>::max());
    EXPECT_EQ(RLFontPixelSize(std::numeric_limits<int>::min(), 96),
              std::numeric_limits<int>::max());
    EXPECT_EQ(RLFontPixelSize(12, std::numeric_limits<int>::max()), 357913941);
    EXPECT_EQ(RLFontPixelSize(std::numeric_limits<int>::min(), std::numeric_limits<int>::max()),
              std::numeric_limits<int>::max());
}
