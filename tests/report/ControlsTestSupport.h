// Small reports for the text and graphic control tests, and readers of the pages they make.
#pragma once

#include "RLGraphicControls.h"
#include "RLTextMetrics.h"
#include "ReportTestSupport.h"

namespace controlstest {

// A report on A4 with 10 mm margins (its bands start at (38, 38) and are 718 wide) and one
// header band of the given height.
struct OneBandReport {
    TRLReport report;
    TRLBand* band;

    explicit OneBandReport(int height = 32) {
        report.SetName(QStringLiteral("Report"));
        report.SetShowProgress(false);
        band = AddBand(QStringLiteral("Header"), btHeader, height);
    }

    TRLBand* AddBand(const QString& name, TRLBandType type, int height) {
        auto* b = new TRLBand(&report);
        b->SetName(name);
        b->SetBandType(type);
        b->SetHeight(height);
        return b;
    }

    // Prepares the report and hands back its first page.
    std::shared_ptr<TRLGraphicSurface> Prepare() {
        EXPECT_TRUE(report.Prepare());
        EXPECT_GE(report.Storage().PageCount(), 1);
        return report.Storage().Pages(0);
    }
};

using reporttest::ObjectsOf;

// The font a control measures with, as the engine builds it.
inline QFont MeasuringFont(const TRLCustomControl& control) {
    const TRLFont font = control.Font();
    return ToQFont(font, font.PixelsPerInch);
}

inline TRLRect Offset(const TRLRect& r, int dx, int dy) {
    return {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

// A line across a 9-pixel-high control.
inline TRLDraw* AddLine(TRLBand* band, int left, int top, int width) {
    auto* line = new TRLDraw(band);
    line->SetDrawKind(dkLine);
    line->SetBounds(left, top, width, 9);
    return line;
}

inline TRLFont BoldArial(int size) {
    TRLFont font;
    font.Name = QStringLiteral("Arial");
    font.Size = size;
    font.Style = fsBold;
    return font;
}

} // namespace controlstest

inline std::ostream& operator<<(std::ostream& os, const TRLRect& r) {
    return os << "(" << r.Left << ", " << r.Top << ", " << r.Right << ", " << r.Bottom << ")";
}
inline std::ostream& operator<<(std::ostream& os, const TRLPoint& p) {
    return os << "(" << p.X << ", " << p.Y << ")";
}
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
