/// @file
/// One page: an ordered list of recorded graphic objects with the page's size, fonts and text
/// settings. Report controls record onto an open page; once stored, a page belongs to its store's
/// cache and is fetched again by index whenever it is needed.
#pragma once

#include <kelmora/pagestore/RLGraphicObject.h>
#include <kelmora/pagestore/RLGraphicTypes.h>
#include <kelmora/pagestore/RLMacroList.h>
#include <kelmora/support/RLTextMetrics.h>

#include <QByteArray>
#include <QIODevice>
#include <QImage>
#include <QPointer>
#include <QStringList>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

class QPainter;

namespace Kelmora {

class TRLCanvas;
class TRLGraphicStorage;
class TRLPageWriter;
enum class TRLTextEncoding : uint8_t;

/// The strings of a written page record: in Windows-1252 when they all fit it, or in UTF-8.
enum class TRLPageText : uint8_t { Fitting, Utf8 };

/// How a page is drawn beyond its target rectangle.
struct TRLPagePaintOptions {
    /// Printers want every scaled rectangle to keep at least one device pixel each way.
    bool KeepRectsVisible = false;
    /// Objects left out of the drawing, by their place on the page (LateObjects); the clip
    /// changes among them are still followed, so that what is drawn keeps its clip.
    const std::vector<bool>* LeaveOut = nullptr;
};

/// Pages live in shared pointers (the store, its cache, a run that outlasts a call): an output
/// that draws a page after the call has returned keeps it alive through weak_from_this.
class TRLGraphicSurface : public std::enable_shared_from_this<TRLGraphicSurface> {
public:
    TRLGraphicSurface();
    ~TRLGraphicSurface();
    TRLGraphicSurface(const TRLGraphicSurface&) = delete;
    TRLGraphicSurface& operator=(const TRLGraphicSurface&) = delete;

    // --- store membership ---
    TRLGraphicStorage* Storage() const;
    /// Moving a page to another store first takes it out of the old store's cache.
    void SetStorage(TRLGraphicStorage* storage);
    int32_t PageIndex() const { return pageIndex_; }

    // --- objects ---
    int ObjectCount() const { return static_cast<int>(objects_.size()); }
    /// Makes room for count objects at once, so that a page that will hold as many as the one
    /// before it does not grow its list step by step.
    void ReserveObjects(int count) { objects_.reserve(static_cast<size_t>(std::max(count, 0))); }
    TRLGraphicObject& Object(int index) const { return *objects_[static_cast<size_t>(index)]; }
    const std::vector<std::unique_ptr<TRLGraphicObject>>& Objects() const { return objects_; }
    /// Creates an object of type T at the end of the page.
    template <class T> T& Append() {
        auto object = std::make_unique<T>(*this);
        T& ref = *object;
        objects_.push_back(std::move(object));
        return ref;
    }

    // --- page values ---
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    void SetWidth(int32_t width) { width_ = width; }
    void SetHeight(int32_t height) { height_ = height; }
    QStringList& Fonts() { return fonts_; }
    const QStringList& Fonts() const { return fonts_; }
    /// Index of a font name in the page's list, appended when missing (case-insensitive).
    int32_t FontIndex(const QString& name);
    TRLMacroList& Macros() { return macros_; }
    const TRLMacroList& Macros() const { return macros_; }
    int32_t Orientation() const;
    void SetOrientation(int32_t orientation);
    double PaperWidth() const;
    void SetPaperWidth(double millimetres);
    double PaperHeight() const;
    void SetPaperHeight(double millimetres);

    // --- recording state ---
    bool Opened() const { return opened_; }
    bool Modified() const { return modified_; }
    void SetModified(bool modified) { modified_ = modified; }
    void Open();
    void Close() { opened_ = false; }
    void Clear();
    const TRLPen& Pen() const { return pen_; }
    void SetPen(const TRLPen& pen) { pen_ = pen; }
    const TRLBrush& Brush() const { return brush_; }
    void SetBrush(const TRLBrush& brush) { brush_ = brush; }
    const TRLFont& Font() const { return font_; }
    void SetFont(const TRLFont& font);
    TRLPoint PenPos() const { return penPos_; }
    void SetMargins(TRLRect margins) { margins_ = margins; }
    /// The control recording at the moment; opaque to the page and never stored.
    const void* Generator() const { return generator_; }
    void SetGenerator(const void* generator) { generator_ = generator; }

    // --- measuring with the current font ---
    int TextWidth(const QString& text) const;
    /// The width of a blank, which texts are placed by.
    int SpaceWidth() const;
    int TextHeight(const QString& text) const;

    // --- recording ---
    void MoveTo(int32_t x, int32_t y) { penPos_ = {x, y}; }
    TRLLineObject& LineTo(int32_t x, int32_t y);
    TRLFillRectObject& FillRect(const TRLRect& rect);
    TRLRectangleObject& Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom);
    TRLRectangleObject& Rectangle(const TRLRect& r) {
        return Rectangle(r.Left, r.Top, r.Right, r.Bottom);
    }
    TRLEllipseObject& Ellipse(const TRLRect& rect);
    /// At least one point is required.
    TRLPolygonObject& Polygon(const TRLPointArray& points);
    TRLPolylineObject& Polyline(const TRLPointArray& points);
    TRLTextObject& TextRectEx(const TRLRect& rect, int32_t x, int32_t y, const QString& text,
                              uint8_t alignment, uint8_t layout, TRLMetaTextFlags textFlags);
    TRLTextObject& TextOut(int32_t x, int32_t y, const QString& text);
    /// Pictures: any QImage, stored as a bitmap (RLGraphicData.h).
    TRLImageObject& Draw(int32_t x, int32_t y, const QImage& graphic, bool parity = false);
    TRLImageObject& StretchDraw(const TRLRect& rect, const QImage& graphic, bool parity = false);
    void ScaleDraw(const TRLRect& rect, const QImage& graphic, bool center);
    void ClipDraw(const TRLRect& rect, const QImage& graphic, bool center);
    /// Copies every object of another page onto this one, moved by (x, y).
    void Draw(int32_t x, int32_t y, const TRLGraphicSurface& source);
    /// Copies the objects of source that overlap sourceRect into destRect, scaled, clipped.
    void CopyRect(const TRLRect& destRect, const TRLGraphicSurface& source,
                  const TRLRect& sourceRect);
    /// Draw and CopyRect for a source whose objects are not wanted after it: they move over
    /// instead of being copied, and source is left without objects (those CopyRect would leave
    /// out are dropped). The page comes out the same as with a copy.
    void Take(int32_t x, int32_t y, TRLGraphicSurface& source);
    void TakeRect(const TRLRect& destRect, TRLGraphicSurface& source, const TRLRect& sourceRect);
    void SetClipRect(const TRLRect& rect);
    void ResetClipRect();
    /// The clip the last SetClipRect still holds; false when none is set.
    bool ClipRect(TRLRect& rect) const {
        rect = clipRect_;
        return !clipStack_.empty();
    }

    /// Finds the row nearest above nearRow where a horizontal cut halves no keep-whole text.
    bool FindFreeRow(int32_t nearRow, int32_t& row) const;

    /// Expands "{Name}" with the page's settings, then the store's.
    QString ExpandMacros(const QString& text) const;

    // --- drawing before the run has ended ---
    /// The objects that can only be drawn once the run that files the page has ended: every text
    /// that names a setting the page does not hold itself ("{LastPageNumber}", known when the last
    /// page is), and every object drawn after one of those over the place it takes, which must
    /// stay on top of it. Drawn after all the others, they give the page it always was. Empty
    /// when there are none.
    std::vector<bool> LateObjects() const;
    /// A page of the same size, settings and fonts holding only the given objects (by their
    /// place), in their order and each under the clip it had: what is left of a page to draw
    /// later.
    std::shared_ptr<TRLGraphicSurface> PartOf(const std::vector<bool>& objects) const;

    // --- drawing and formats ---
    /// Draws the whole page scaled into target (device pixels of the painter).
    void PaintTo(QPainter& painter, const QRect& target,
                 const TRLPagePaintOptions& options = {}) const;
    /// The same onto a canvas that outlives the page, such as a printer document's (whose
    /// resolution and drawing state carry over from page to page).
    void PaintTo(TRLCanvas& canvas, const TRLRect& target,
                 const TRLPagePaintOptions& options = {}) const;
    /// One page record. Its strings are kept in Windows-1252 when every one of them fits that
    /// code page (the record older readers know), otherwise, or when UTF-8 is asked for, in UTF-8
    /// under a signature of its own; the writer returns which. The reader takes both forms.
    QByteArray SaveToBytes() const;
    TRLTextEncoding SaveToWriter(TRLPageWriter& writer,
                                 TRLPageText text = TRLPageText::Fitting) const;
    void SaveToStream(QIODevice& stream) const;
    /// Returns the encoding the record's strings were in.
    TRLTextEncoding LoadFromBytes(const char* data, qint64 size);
    TRLTextEncoding LoadFromBytes(const QByteArray& bytes) {
        return LoadFromBytes(bytes.constData(), bytes.size());
    }

private:
    /// The store files a page under an index it alone gives out, and takes a page back from its
    /// file already filed: the page's index and membership are not for anyone else to set.
    friend class TRLGraphicStorage;
    void Touch();
    void WriteRecord(TRLPageWriter& writer) const;
    /// The value of a setting named in braces: the page's own, else the store's; none when
    /// neither has the name.
    std::optional<QString> MacroValue(const QString& name) const;
    /// CopyRect, moving the objects of owner (which is source) instead of copying them.
    void PlaceRect(const TRLRect& destRect, const TRLGraphicSurface& source,
                   const TRLRect& sourceRect, TRLGraphicSurface* owner);
    /// Takes an object of another page into this one's list.
    TRLGraphicObject& Adopt(std::unique_ptr<TRLGraphicObject>& object);
    /// The measurements of the font texts are recorded in now.
    const TRLFontMeasure& Measure() const;

    QPointer<TRLGraphicStorage> storage_;
    int32_t pageIndex_ = -1;
    std::vector<std::unique_ptr<TRLGraphicObject>> objects_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    QStringList fonts_;
    TRLMacroList macros_;
    bool opened_ = false;
    bool modified_ = false;
    TRLPen pen_;
    TRLBrush brush_;
    TRLFont font_;
    // The measurements of font_, made when first asked for: a label measures its text two or
    // three times.
    mutable TRLFontMeasure measure_;
    TRLPoint penPos_;
    TRLRect margins_;
    const void* generator_ = nullptr;
    TRLRect clipRect_;
    std::vector<TRLRect> clipStack_;
};

} // namespace Kelmora
