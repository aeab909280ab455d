// The painting of one PDF page: a paint engine that turns QPainter's calls into a content
// stream and hands it to its document. Not part of the output library's interface.
#pragma once

#include "RLPdfWriter_p.h"
#include <kelmora/pagestore/RLCanvas.h>

#include <QBrush>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPen>
#include <QRawFont>
#include <QTransform>

#include <array>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace Kelmora {

class TRLPdfPageEngine : public QPaintEngine, public TRLTextRunSink {
public:
    TRLPdfPageEngine(TRLPdfPageSink& document, const QSizeF& points, TRLPdfPagePart part);

    bool begin(QPaintDevice* device) override;
    bool end() override;
    Type type() const override { return QPaintEngine::User; }
    void updateState(const QPaintEngineState& state) override;

    void drawRects(const QRectF* rects, int count) override;
    void drawLines(const QLineF* lines, int count) override;
    void drawPath(const QPainterPath& path) override;
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override;
    void drawPixmap(const QRectF& target, const QPixmap& pixmap, const QRectF& source) override;
    void drawImage(const QRectF& target, const QImage& image, const QRectF& source,
                   Qt::ImageConversionFlags flags) override;
    void drawTextItem(const QPointF& at, const QTextItem& item) override;
    void AnnounceRun(Run run) override { announced_ = std::move(run); }
    void DrawRunNow(const Run& run) override { DrawRun(run); }

    // Adds the page to its document; false when the document could not be written.
    bool AddToDocument();
    const TRLPdfPageSink& Document() const { return document_; }
    const QString& Refusal() const { return refusal_; }

private:
    // The graphics state the content stream has set, so that only changes are written.
    struct StreamState {
        QByteArray Stroke;
        QByteArray Fill;
        double LineWidth = 1;
        int Cap = 0;
        int Join = 0;
        QByteArray Dash = "[] 0";
    };

    // A font asked for lately, with the OpenType font a Type 1 font is shown in, made on this
    // page's thread.
    struct RecentFont {
        QRawFont Raw;
        const TRLPdfFont* Font = nullptr;
        int Index = -1;
        QRawFont OpenType;
    };

    void ClipTo(const QPainterPath& path, Qt::ClipOperation operation);
    void ApplyClip();
    void EndText();
    void AppendPath(QByteArray& out, const QPainterPath& devicePath) const;
    void AppendPoint(QByteArray& out, const QPointF& point) const;
    void PaintShape(const QByteArray& pathOperators, bool closed, bool oddEven);
    bool Strokes() const;
    bool Fills() const;
    void SetStroke();
    void SetFill(const QBrush& brush);
    void SetTextColor(const QColor& color);
    void FillOutline(const QPainterPath& outline);
    // True once the page would hold more drawing than it may, with more bytes added; the page
    // is then refused.
    bool Overfull(qsizetype more = 0);
    // Whether ink pixelSize high, drawn from at and reaching across width (both in the
    // painter's coordinates), may show on the page: a glyph's ink reaches at most about twice its
    // size from where it is drawn.
    bool MayShow(const QPointF& at, double width, double pixelSize) const;
    void DrawRun(const Run& run);
    // Whether the run's font is one the toolkit cannot make, noting the first such text.
    bool Refused(const Run& run, qsizetype count);
    // Starts the text, in the font at its size, at the run's first glyph; the whole pixel size
    // of the font the run is shown in (0 for none).
    int PlaceText(const Run& run, const TRLPdfFont& font, int index);
    void ShowGlyphs(const Run& run, const QList<quint32>& glyphs, const TRLPdfFont& font, int index,
                    int sizeFont);
    const RecentFont& FontOf(const QRawFont& raw);

    // The glyphs of one font at one whole pixel size (0 for none) that the page has shown, for
    // the low glyph numbers most texts use: their widths, and the character each was last
    // recorded as shown for. Spares the text a hash and a rounding for every glyph.
    static constexpr quint32 kSizedGlyphs = 512;
    struct SizedGlyphs {
        int Index = -1;
        int Size = 0;
        std::vector<double> Widths;   // NaN until asked for
        std::vector<quint32> ShownAs; // the character plus one; 0 for not shown on this page
    };
    SizedGlyphs& SizedGlyphsOf(int index, int sizeFont);
    // Forgets which glyphs the page has shown (a new page begins).
    void ForgetShownGlyphs();

    TRLPdfPageSink& document_;
    const QSizeF points_;
    const TRLPdfPagePart part_;
    QByteArray content_;
    QByteArray packed_;
    // A text's glyphs as the content stream shows them, kept between texts for its room.
    std::string shown_;
    bool ended_ = false;
    // Each glyph the page shows, once for each font, size and character it stands for, in the
    // order first shown: what the document needs to know of the page, however often a glyph
    // repeats.
    std::vector<TRLPdfGlyphUse> glyphs_;
    // The uses recorded, by font, glyph, size and character, for the glyphs that SizedGlyphs
    // does not cover: high glyph numbers, and glyphs shown for more than one character.
    std::unordered_set<quint64> glyphsSeen_;
    std::vector<SizedGlyphs> sizedGlyphs_;
    std::set<std::pair<int, int>> hatches_;
    std::vector<int> images_;
    // The fonts last asked for, which most texts share.
    std::array<RecentFont, 4> recentFonts_;
    size_t nextRecent_ = 0;

    QTransform matrix_;
    QPen pen_;
    QBrush brush_;
    bool clipEnabled_ = false;
    std::vector<QPainterPath> clips_;
    bool clipChanged_ = false;
    QByteArray wantedClip_;
    QByteArray appliedClip_;
    StreamState state_;
    StreamState unclippedState_;
    bool inText_ = false;
    bool textPlaced_ = false;
    QPointF lineStart_;
    int textFont_ = -1;
    double textSize_ = 0;
    std::optional<Run> announced_;
    QString refusal_;
    // The operator that sets a colour, kept with the colour it was made for: nearly every text and
    // every line of a page has the colour of the one before, and it is made once for them all.
    class ColorOperator {
    public:
        // The operator named name (such as "rg\n") for color.
        const QByteArray& For(const QColor& color, QByteArrayView name);

    private:
        QByteArray operator_;
        QRgba64 rgb_;
    };
    ColorOperator textColor_;
    ColorOperator strokeColor_;
};

} // namespace Kelmora
