#include "RLPdfWriter.h"

#include "RLBinaryIO.h"
#include "RLCanvas.h"
#include "RLFontSubset.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFontInfo>
#include <QHash>
#include <QIODevice>
#include <QImage>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPixmap>
#include <QRawFont>
#include <QTextItem>
#include <QtEndian>

#include <fontconfig/fontconfig.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <unordered_set>
#include <utility>
#include <vector>

namespace {

// A4 in points, the paper until a writer is told otherwise.
constexpr QSizeF kA4Points(595.2756, 841.8898);

// Coordinates beyond this many units are of no page; PDF readers need not take larger numbers,
// and a number this size still prints without an exponent.
constexpr double kFarthest = 1e9;

// Content streams are compressed for speed first: most of their bytes are operators and glyph
// numbers that repeat, which the fastest levels already fold.
constexpr int kContentCompression = 3;
// Fonts and pictures are written once per document, so they get the best compression.
constexpr int kResourceCompression = Z_BEST_COMPRESSION;

// The largest pixel size the toolkit makes a font at (its font engines keep sizes in 16 bits).
constexpr double kLargestPixelSize = 65535;

// The most drawing one page's content stream may hold. An ordinary page takes tens of
// kilobytes, a dense one a few megabytes; a hostile page store can ask for one long text
// thousands of times in glyphs that go as outlines, kilobytes each.
constexpr qsizetype kLargestPageContent = qsizetype(256) << 20;

// Pages under one node of the page tree.
constexpr size_t kPagesPerNode = 1024;

void AppendInt(QByteArray& out, long long value) {
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out.append(buffer, end - buffer);
}

// A number with at most three decimals and no trailing zeros; whole numbers as integers.
void AppendReal(QByteArray& out, double value) {
    if (!std::isfinite(value)) {
        value = 0;
    }
    value = std::clamp(value, -kFarthest, kFarthest);
    const double whole = std::round(value);
    if (std::abs(value - whole) < 0.0005) {
        AppendInt(out, static_cast<long long>(whole));
        return;
    }
    char buffer[48];
    char* end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3).ptr;
    while (end[-1] == '0') {
        --end;
    }
    if (end[-1] == '.') {
        --end;
    }
    out.append(buffer, end - buffer);
}

template <typename... Numbers> void AppendNumbers(QByteArray& out, Numbers... numbers) {
    ((AppendReal(out, numbers), out.append(' ')), ...);
}

QByteArray Deflated(QByteArrayView data, int level) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    QByteArray out(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                  level) != Z_OK) {
        return {};
    }
    out.truncate(static_cast<qsizetype>(size));
    return out;
}

QByteArray DateString(const QDateTime& date) {
    QByteArray out = "(D:" + date.toString(QStringLiteral("yyyyMMddHHmmss")).toLatin1();
    const int offset = date.offsetFromUtc();
    if (offset == 0) {
        out += 'Z';
    } else {
        const int minutes = std::abs(offset) / 60;
        out += (offset < 0 ? '-' : '+') + QStringLiteral("%1'%2'")
                                              .arg(minutes / 60, 2, 10, QChar(u'0'))
                                              .arg(minutes % 60, 2, 10, QChar(u'0'))
                                              .toLatin1();
    }
    return out + ')';
}

// Big-endian readers over a font table that give 0 past its end: a damaged table then makes
// odd metrics, never a read outside the table.
quint16 U16(const QByteArray& table, qsizetype at) {
    if (at < 0 || at + 2 > table.size()) {
        return 0;
    }
    return qFromBigEndian<quint16>(table.constData() + at);
}

qint16 S16(const QByteArray& table, qsizetype at) {
    return static_cast<qint16>(U16(table, at));
}

// The PostScript name of a font from its 'name' table, or empty.
QByteArray PostScriptName(const QByteArray& name) {
    const int count = U16(name, 2);
    const int strings = U16(name, 4);
    for (int i = 0; i < count; ++i) {
        const qsizetype record = 6 + 12 * static_cast<qsizetype>(i);
        const int platform = U16(name, record);
        const int nameId = U16(name, record + 6);
        const int length = U16(name, record + 8);
        const qsizetype offset = strings + U16(name, record + 10);
        if (nameId != 6 || offset + length > name.size()) {
            continue;
        }
        QByteArray text;
        if (platform == 3 || platform == 0) { // UTF-16 big-endian
            for (int at = 0; at + 1 < length; at += 2) {
                text.append(static_cast<char>(U16(name, offset + at) & 0x7F));
            }
        } else {
            text = name.mid(offset, length);
        }
        return text;
    }
    return {};
}

// A name for PDF: only the letters, digits and a few marks a name can carry unescaped.
QByteArray SafeName(const QByteArray& name) {
    QByteArray out;
    for (const char c : name) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || c == '.' || c == ',') {
            out.append(c);
        }
    }
    return out.isEmpty() ? QByteArray("Font") : out;
}

int LineCap(Qt::PenCapStyle cap) {
    switch (cap) {
    case Qt::RoundCap:
        return 1;
    case Qt::SquareCap:
        return 2;
    default:
        return 0;
    }
}

int LineJoin(Qt::PenJoinStyle join) {
    switch (join) {
    case Qt::RoundJoin:
        return 1;
    case Qt::BevelJoin:
        return 2;
    default:
        return 0;
    }
}

// The hatch brushes as tiling patterns, as the toolkit draws them on a screen: a cell of 8 pixels
// at 96 per inch with lines through the pixels' centres, starting at the page's top-left corner;
// a diagonal staircase of one pixel a row is 0.71 pixels thick. Pattern space is the cell's pixels
// from the top down; coloured by the brush.
const char* HatchCell(Qt::BrushStyle style) {
    switch (style) {
    case Qt::HorPattern:
        return "0 3.5 m 8 3.5 l S";
    case Qt::VerPattern:
        return "4.5 0 m 4.5 8 l S";
    case Qt::CrossPattern:
        return "0 3.5 m 8 3.5 l 4.5 0 m 4.5 8 l S";
    case Qt::BDiagPattern:
        return "0.71 w 0 8 m 8 0 l -1 1 m 1 -1 l 7 9 m 9 7 l S";
    case Qt::FDiagPattern:
        return "0.71 w 0 0 m 8 8 l -1 7 m 1 9 l 7 -1 m 9 1 l S";
    case Qt::DiagCrossPattern:
        return "0.71 w 0 8 m 8 0 l -1 1 m 1 -1 l 7 9 m 9 7 l 0 0 m 8 8 l -1 7 m 1 9 l 7 -1 m 9 1 "
               "l S";
    default:
        return nullptr;
    }
}

// A hatch pattern's name: its style and the height of the pages it is used on, in hundredths of
// a point, since patterns start at the bottom of a page and the hatches at its top.
QByteArray HatchName(int style, int pageHeight) {
    QByteArray name = "/H";
    AppendInt(name, style);
    name.append('_');
    AppendInt(name, pageHeight);
    return name;
}

// The font file, with TrueType or CFF outlines, of the family and style a raw font without font
// tables was made from; empty when there is none. Type 1 fonts come without tables, and the font
// packages that carry Type 1 files carry the same faces as OpenType files too.
QString OpenTypeFileOf(const QRawFont& raw) {
    const QByteArray family = raw.familyName().toUtf8();
    const QByteArray style = raw.styleName().toUtf8();
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.constData()));
    FcPatternAddString(pattern, FC_STYLE, reinterpret_cast<const FcChar8*>(style.constData()));
    FcObjectSet* wanted = FcObjectSetBuild(FC_FILE, FC_FONTFORMAT, nullptr);
    FcFontSet* found = FcFontList(nullptr, pattern, wanted);
    QString file;
    for (int i = 0; found != nullptr && i < found->nfont && file.isEmpty(); ++i) {
        FcChar8* path = nullptr;
        FcChar8* format = nullptr;
        if (FcPatternGetString(found->fonts[i], FC_FILE, 0, &path) == FcResultMatch &&
            FcPatternGetString(found->fonts[i], FC_FONTFORMAT, 0, &format) == FcResultMatch) {
            const QByteArray kind(reinterpret_cast<const char*>(format));
            if (kind == "CFF" || kind == "TrueType") {
                file = QString::fromUtf8(reinterpret_cast<const char*>(path));
            }
        }
    }
    if (found != nullptr) {
        FcFontSetDestroy(found);
    }
    FcObjectSetDestroy(wanted);
    FcPatternDestroy(pattern);
    return file;
}

void AppendColor(QByteArray& out, const QColor& color) {
    const QColor rgb = color.toRgb();
    AppendNumbers(out, rgb.redF(), rgb.greenF(), rgb.blueF());
}

} // namespace

// A text string of the document's information: plain when it is printable ASCII, otherwise
// UTF-16 with its byte-order mark, as PDF readers expect.
QByteArray PdfTextString(const QString& text) {
    const bool plain = std::all_of(text.begin(), text.end(),
                                   [](QChar c) { return c.unicode() >= 32 && c.unicode() < 127; });
    if (plain) {
        QByteArray out = "(";
        for (const QChar c : text) {
            const char ch = static_cast<char>(c.unicode());
            if (ch == '(' || ch == ')' || ch == '\\') {
                out.append('\\');
            }
            out.append(ch);
        }
        return out + ')';
    }
    QByteArray utf16 = "\xFE\xFF";
    for (const QChar c : text) {
        utf16.append(static_cast<char>(c.unicode() >> 8));
        utf16.append(static_cast<char>(c.unicode() & 0xFF));
    }
    return '<' + utf16.toHex() + '>';
}

// One font of the document: its metrics for placing glyphs, and which glyphs and characters the
// pages used. Its widths never change once it is known, so pages read them without a lock.
struct TRLPdfFont {
    // The font file's tables, read when the font is first met: a raw font belongs to the thread
    // that made it, which may be gone when the document ends.
    QHash<QByteArray, QByteArray> Tables;
    QByteArray Table(QByteArrayView tag) const { return Tables.value(tag.toByteArray()); }
    QByteArray Name;
    QByteArray Resource;
    TRLOutlines Outlines = TRLOutlines::TrueType;
    // For a font drawn from a file without tables (Type 1): the OpenType file of the same face
    // whose glyphs the document shows instead, chosen by character.
    QString OpenTypeFile;
    int UnitsPerEm = 1000;
    // Each glyph's advance in thousandths of the font size, and in the font's own units.
    std::vector<int> Widths;
    std::vector<quint16> Advances;
    std::vector<bool> Used;
    std::vector<char16_t> Characters;
    // The glyphs used at each whole pixel size (0 for any other size or slant). Each size is a
    // font of its own in the PDF, whose widths are the whole-pixel advances the canvas places
    // glyphs by, so that its texts need no corrections between glyphs.
    std::map<int, std::vector<bool>> SizesUsed;

    double Width(quint32 glyph, int pixelSize) const {
        if (pixelSize <= 0) {
            return Widths[glyph];
        }
        return std::round(double(Advances[glyph]) * pixelSize / UnitsPerEm) * 1000.0 / pixelSize;
    }
    QByteArray ResourceAt(int pixelSize) const {
        return pixelSize <= 0 ? Resource : Resource + 's' + QByteArray::number(pixelSize);
    }
};

// A glyph a page showed, and the character it stood for.
struct TRLPdfGlyphUse {
    int Font;
    quint32 Glyph;
    char16_t Character;
    int PixelSize;
};

// What the document keeps: the output and every object's place in it, the fonts, the pictures
// and the pages written so far. Pages being painted reach it through a lock.
class TRLPdfDocument {
public:
    TRLPdfDocument(QIODevice& out, int pixelsPerInch);

    int NewObject();
    // The document font for a raw font (any size of the same font file is the same document
    // font), and its index; nullptr when the font's outlines cannot be embedded.
    const TRLPdfFont* FontOf(const QRawFont& raw, int& index);
    // The picture's object, written with the next page that is added.
    int ImageObject(const QImage& image);

    // Hatches are pairs of brush style and page height in hundredths of a point.
    void AddPage(const QSizeF& points, const QByteArray& packedContent,
                 const std::vector<TRLPdfGlyphUse>& glyphs,
                 const std::set<std::pair<int, int>>& hatches);
    bool Finish();

    const int PixelsPerInch;
    QString Title;
    QString Author;
    QString Creator;
    QByteArray Xmp;
    QDateTime Created;
    QString Error;
    int Pages = 0;

private:
    struct DocImage {
        QImage Image;
        int Object = 0;
    };
    struct PendingStream {
        int Object;
        QByteArray Dictionary;
        QByteArray Packed;
    };

    void BeginObject(int object);
    void Write(QByteArrayView bytes);
    void WritePacked(int object, QByteArrayView dictionary, const QByteArray& packed);
    void WriteStream(int object, QByteArrayView dictionary, const QByteArray& data, int level);
    // Writes the font and its fonts for each size; adds them to resources.
    void WriteFont(TRLPdfFont& font, QByteArray& resources);
    void Flush();

    QIODevice& out_;
    QByteArray buffer_;
    qint64 written_ = 0;
    bool failed_ = false;
    int catalog_;
    int pageTree_;
    int resources_;
    int info_;
    // The page tree has two levels: the root's kids are nodes of up to kPagesPerNode pages each,
    // written as each fills, so that only the node being filled is kept.
    void WritePageNode();
    int pageNode_ = 0;
    std::vector<int> nodeKids_;
    std::vector<int> pageNodes_;

    std::mutex mutex_;
    // Guarded by mutex_.
    // Chunked rather than contiguous: a long document's bookkeeping grows by small steps instead
    // of being copied whole, twice its size at once.
    std::deque<qint64> offsets_{0};
    std::deque<TRLPdfFont> fonts_;
    QHash<QByteArray, int> fontIndex_;
    std::vector<DocImage> images_;
    QMultiHash<size_t, int> imageIndex_;
    std::vector<PendingStream> pendingImages_;
    std::set<std::pair<int, int>> hatches_;
    bool usesOpenType_ = false;
};

// The painting of one page into its content stream.
class TRLPdfPageEngine : public QPaintEngine, public TRLTextRunSink {
public:
    TRLPdfPageEngine(TRLPdfDocument& document, const QSizeF& points);

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

    // Adds the page to its document; false when the document could not be written.
    bool AddToDocument();
    const TRLPdfDocument& Document() const { return document_; }
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
    const RecentFont& FontOf(const QRawFont& raw);

    TRLPdfDocument& document_;
    const QSizeF points_;
    QByteArray content_;
    QByteArray packed_;
    bool ended_ = false;
    // Each glyph the page shows, once for each font, size and character it stands for, in the
    // order first shown: what the document needs to know of the page, however often a glyph
    // repeats.
    std::vector<TRLPdfGlyphUse> glyphs_;
    std::unordered_set<quint64> glyphsSeen_;
    std::set<std::pair<int, int>> hatches_;
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
};

// --- TRLPdfDocument ------------------------------------------------------------------------------

TRLPdfDocument::TRLPdfDocument(QIODevice& out, int pixelsPerInch)
    : PixelsPerInch(pixelsPerInch), out_(out) {
    catalog_ = NewObject();
    pageTree_ = NewObject();
    resources_ = NewObject();
    info_ = NewObject();
    Write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
}

int TRLPdfDocument::NewObject() {
    const std::lock_guard lock(mutex_);
    offsets_.push_back(-1);
    return static_cast<int>(offsets_.size()) - 1;
}

void TRLPdfDocument::BeginObject(int object) {
    {
        const std::lock_guard lock(mutex_);
        offsets_[static_cast<size_t>(object)] = written_ + buffer_.size();
    }
    AppendInt(buffer_, object);
    buffer_.append(" 0 obj\n");
}

void TRLPdfDocument::Write(QByteArrayView bytes) {
    buffer_.append(bytes);
    if (buffer_.size() >= (1 << 16)) {
        Flush();
    }
}

void TRLPdfDocument::Flush() {
    if (!failed_ && !buffer_.isEmpty()) {
        if (!WriteWhole(out_, buffer_, Error)) {
            failed_ = true;
        }
    }
    written_ += buffer_.size();
    buffer_.resize(0);
}

void TRLPdfDocument::WritePacked(int object, QByteArrayView dictionary, const QByteArray& packed) {
    BeginObject(object);
    buffer_.append("<<");
    buffer_.append(dictionary);
    buffer_.append("/Filter/FlateDecode/Length ");
    AppendInt(buffer_, packed.size());
    buffer_.append(">>\nstream\n");
    Write(packed);
    Write("\nendstream\nendobj\n");
}

void TRLPdfDocument::WriteStream(int object, QByteArrayView dictionary, const QByteArray& data,
                                 int level) {
    WritePacked(object, dictionary, Deflated(data, level));
}

const TRLPdfFont* TRLPdfDocument::FontOf(const QRawFont& given, int& index) {
    const QByteArray head = given.fontTable("head");
    const QByteArray key = given.familyName().toUtf8() + '\n' + given.styleName().toUtf8() + '\n' +
                           QByteArray::number(given.weight()) + '\n' +
                           QByteArray::number(int(given.style())) + '\n' + head;
    const std::lock_guard lock(mutex_);
    index = fontIndex_.value(key, -2);
    if (index == -2) {
        index = -1;
        QRawFont raw = given;
        QString openTypeFile;
        if (head.isEmpty()) {
            openTypeFile = OpenTypeFileOf(given);
            raw = openTypeFile.isEmpty() ? QRawFont() : QRawFont(openTypeFile, 12);
        }
        const QByteArray hhea = raw.fontTable("hhea");
        const QByteArray hmtx = raw.fontTable("hmtx");
        const int glyphCount = U16(raw.fontTable("maxp"), 4);
        const int unitsPerEm = U16(raw.fontTable("head"), 18);
        const TRLOutlines outlines = OutlinesOf(
            [&raw](QByteArrayView tag) { return raw.fontTable(tag.toByteArray().constData()); });
        // TrueType and CFF outlines are embedded; texts in other fonts (bitmaps, CFF2) are drawn
        // as outlines.
        if (outlines != TRLOutlines::None && glyphCount > 0 && unitsPerEm > 0 && !hhea.isEmpty() &&
            !hmtx.isEmpty()) {
            TRLPdfFont& font = fonts_.emplace_back();
            for (const QByteArray& tag : SubsetTableTags()) {
                font.Tables.insert(tag, raw.fontTable(tag.constData()));
            }
            font.Outlines = outlines;
            font.OpenTypeFile = openTypeFile;
            font.UnitsPerEm = unitsPerEm;
            font.Name = SafeName(PostScriptName(raw.fontTable("name")));
            const int metrics = std::max(1, int(U16(hhea, 34)));
            font.Widths.resize(static_cast<size_t>(glyphCount));
            font.Advances.resize(static_cast<size_t>(glyphCount));
            for (int glyph = 0; glyph < glyphCount; ++glyph) {
                const qsizetype entry = std::min(glyph, metrics - 1);
                font.Advances[static_cast<size_t>(glyph)] = U16(hmtx, 4 * entry);
                font.Widths[static_cast<size_t>(glyph)] =
                    static_cast<int>(std::lround(U16(hmtx, 4 * entry) * 1000.0 / unitsPerEm));
            }
            font.Used.assign(static_cast<size_t>(glyphCount), false);
            font.Characters.assign(static_cast<size_t>(glyphCount), 0);
            index = static_cast<int>(fonts_.size()) - 1;
            font.Resource = "/F" + QByteArray::number(index);
        }
        fontIndex_.insert(key, index);
    }
    return index >= 0 ? &fonts_[static_cast<size_t>(index)] : nullptr;
}

int TRLPdfDocument::ImageObject(const QImage& given) {
    const QImage image =
        given.format() == QImage::Format_ARGB32 || given.format() == QImage::Format_RGB32 ||
                given.format() == QImage::Format_Grayscale8
            ? given
            : given.convertToFormat(given.hasAlphaChannel() ? QImage::Format_ARGB32
                                                            : QImage::Format_RGB32);
    // A picture on every page (a letterhead, a signature) is written once.
    const size_t key = qHashBits(image.constBits(), static_cast<size_t>(image.sizeInBytes()),
                                 static_cast<size_t>(image.width()) * 31 + image.format());
    const std::lock_guard lock(mutex_);
    for (auto it = imageIndex_.constFind(key); it != imageIndex_.cend() && it.key() == key; ++it) {
        if (images_[static_cast<size_t>(*it)].Image == image) {
            return images_[static_cast<size_t>(*it)].Object;
        }
    }
    const int width = image.width();
    const int height = image.height();
    const bool gray = image.format() == QImage::Format_Grayscale8 || image.allGray();
    const bool withAlpha = image.hasAlphaChannel();
    QByteArray samples;
    QByteArray alpha;
    bool translucent = false;
    samples.reserve(static_cast<qsizetype>(width) * height * (gray ? 1 : 3));
    if (withAlpha) {
        alpha.reserve(static_cast<qsizetype>(width) * height);
    }
    for (int y = 0; y < height; ++y) {
        if (image.format() == QImage::Format_Grayscale8) {
            samples.append(reinterpret_cast<const char*>(image.constScanLine(y)), width);
            continue;
        }
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = line[x];
            samples.append(static_cast<char>(qRed(pixel)));
            if (!gray) {
                samples.append(static_cast<char>(qGreen(pixel)));
                samples.append(static_cast<char>(qBlue(pixel)));
            }
            if (withAlpha) {
                alpha.append(static_cast<char>(qAlpha(pixel)));
                translucent = translucent || qAlpha(pixel) != 255;
            }
        }
    }
    QByteArray dictionary = "/Type/XObject/Subtype/Image/Width ";
    AppendInt(dictionary, width);
    dictionary.append("/Height ");
    AppendInt(dictionary, height);
    dictionary.append("/BitsPerComponent 8");
    const auto reserve = [this] {
        offsets_.push_back(-1);
        return static_cast<int>(offsets_.size()) - 1;
    };
    if (translucent) {
        const int mask = reserve();
        pendingImages_.push_back(
            {mask, dictionary + "/ColorSpace/DeviceGray", Deflated(alpha, kResourceCompression)});
        dictionary.append("/SMask ");
        AppendInt(dictionary, mask);
        dictionary.append(" 0 R");
    }
    dictionary.append(gray ? "/ColorSpace/DeviceGray" : "/ColorSpace/DeviceRGB");
    const int object = reserve();
    pendingImages_.push_back({object, dictionary, Deflated(samples, kResourceCompression)});
    imageIndex_.insert(key, static_cast<int>(images_.size()));
    images_.push_back({image, object});
    return object;
}

void TRLPdfDocument::AddPage(const QSizeF& points, const QByteArray& packedContent,
                             const std::vector<TRLPdfGlyphUse>& glyphs,
                             const std::set<std::pair<int, int>>& hatches) {
    std::vector<PendingStream> images;
    {
        const std::lock_guard lock(mutex_);
        images.swap(pendingImages_);
        hatches_.insert(hatches.begin(), hatches.end());
    }
    for (const PendingStream& image : images) {
        WritePacked(image.Object, image.Dictionary, image.Packed);
    }
    {
        // Other pages may be adding fonts meanwhile.
        const std::lock_guard lock(mutex_);
        for (const TRLPdfGlyphUse& use : glyphs) {
            TRLPdfFont& font = fonts_[static_cast<size_t>(use.Font)];
            font.Used[use.Glyph] = true;
            std::vector<bool>& atSize = font.SizesUsed[use.PixelSize];
            atSize.resize(font.Used.size());
            atSize[use.Glyph] = true;
            if (font.Characters[use.Glyph] == 0) {
                font.Characters[use.Glyph] = use.Character;
            }
        }
    }
    const int contents = NewObject();
    WritePacked(contents, {}, packedContent);
    const int page = NewObject();
    if (pageNode_ == 0) {
        pageNode_ = NewObject();
    }
    BeginObject(page);
    QByteArray dictionary = "<</Type/Page/Parent ";
    AppendInt(dictionary, pageNode_);
    dictionary.append(" 0 R/Resources ");
    AppendInt(dictionary, resources_);
    dictionary.append(" 0 R/MediaBox[0 0 ");
    AppendNumbers(dictionary, points.width(), points.height());
    dictionary.append("]/Contents ");
    AppendInt(dictionary, contents);
    dictionary.append(" 0 R>>\nendobj\n");
    Write(dictionary);
    nodeKids_.push_back(page);
    ++Pages;
    if (nodeKids_.size() == kPagesPerNode) {
        WritePageNode();
    }
}

void TRLPdfDocument::WritePageNode() {
    BeginObject(pageNode_);
    QByteArray node = "<</Type/Pages/Parent ";
    AppendInt(node, pageTree_);
    node.append(" 0 R/Count ");
    AppendInt(node, static_cast<long long>(nodeKids_.size()));
    node.append("/Kids[");
    for (const int kid : nodeKids_) {
        AppendInt(node, kid);
        node.append(" 0 R ");
    }
    node.append("]>>\nendobj\n");
    Write(node);
    pageNodes_.push_back(pageNode_);
    pageNode_ = 0;
    nodeKids_.clear();
}

// --- TRLPdfPageEngine ----------------------------------------------------------------------------

TRLPdfPageEngine::TRLPdfPageEngine(TRLPdfDocument& document, const QSizeF& points)
    : QPaintEngine(PrimitiveTransform | PatternTransform | PixmapTransform | PainterPaths |
                   PatternBrush),
      document_(document), points_(points) {}

bool TRLPdfPageEngine::begin(QPaintDevice* device) {
    Q_UNUSED(device);
    // A page is painted once; a second painter would start its content again.
    content_.resize(0);
    packed_.clear();
    ended_ = false;
    glyphs_.clear();
    glyphsSeen_.clear();
    hatches_.clear();
    matrix_ = QTransform();
    pen_ = QPen();
    brush_ = QBrush();
    clipEnabled_ = false;
    clips_.clear();
    clipChanged_ = false;
    wantedClip_.clear();
    appliedClip_.clear();
    state_ = StreamState();
    inText_ = false;
    textFont_ = -1;
    announced_.reset();
    content_.reserve(1 << 15);
    // Device pixels, from the top-left corner down, are the page's coordinates from here on.
    const double scale = 72.0 / document_.PixelsPerInch;
    AppendNumbers(content_, scale, 0, 0, -scale, 0, points_.height());
    content_.append("cm\n");
    return true;
}

bool TRLPdfPageEngine::end() {
    EndText();
    if (!appliedClip_.isEmpty()) {
        content_.append("Q\n");
    }
    // Compressed here, on the thread that painted the page; its raw fonts stay with it.
    packed_ = Deflated(content_, kContentCompression);
    recentFonts_ = {};
    announced_.reset();
    content_ = QByteArray();
    ended_ = true;
    return !packed_.isEmpty();
}

bool TRLPdfPageEngine::AddToDocument() {
    if (!ended_) {
        // A page nobody painted is a blank sheet.
        begin(nullptr);
        end();
    }
    if (packed_.isEmpty()) {
        document_.Error = QStringLiteral("a page could not be compressed");
        return false;
    }
    document_.AddPage(points_, packed_, glyphs_, hatches_);
    packed_ = QByteArray();
    glyphs_ = {};
    glyphsSeen_ = {};
    return document_.Error.isEmpty();
}

void TRLPdfPageEngine::updateState(const QPaintEngineState& state) {
    const DirtyFlags flags = state.state();
    if (flags & DirtyTransform) {
        matrix_ = state.transform();
    }
    if (flags & DirtyPen) {
        pen_ = state.pen();
    }
    if (flags & DirtyBrush) {
        brush_ = state.brush();
    }
    if (flags & DirtyClipPath) {
        ClipTo(state.clipPath(), state.clipOperation());
    }
    if (flags & DirtyClipRegion) {
        QPainterPath path;
        for (const QRect& rect : state.clipRegion()) {
            path.addRect(rect);
        }
        ClipTo(path, state.clipOperation());
    }
    if (flags & DirtyClipEnabled) {
        clipEnabled_ = state.isClipEnabled();
        clipChanged_ = true;
    }
}

void TRLPdfPageEngine::ClipTo(const QPainterPath& path, Qt::ClipOperation operation) {
    // The clip is kept in device coordinates: it stays where it was set when the matrix changes.
    switch (operation) {
    case Qt::NoClip:
        clipEnabled_ = false;
        clips_.clear();
        break;
    case Qt::ReplaceClip:
        clips_.assign(1, matrix_.map(path));
        break;
    case Qt::IntersectClip:
        clips_.push_back(matrix_.map(path));
        break;
    }
    clipChanged_ = true;
}

// Writes the clip the painter holds, if it differs from the one in effect. A clip can only ever
// narrow within a saved graphics state, so changing it means restoring the state saved before the
// last one and saving it again.
void TRLPdfPageEngine::ApplyClip() {
    if (clipChanged_) {
        clipChanged_ = false;
        wantedClip_.clear();
        if (clipEnabled_) {
            for (const QPainterPath& path : clips_) {
                if (path.isEmpty()) {
                    wantedClip_.append("0 0 0 0 re\n");
                } else {
                    AppendPath(wantedClip_, path);
                }
                wantedClip_.append(path.fillRule() == Qt::OddEvenFill ? "W* n\n" : "W n\n");
            }
        }
    }
    if (wantedClip_ == appliedClip_) {
        return;
    }
    EndText();
    if (!appliedClip_.isEmpty()) {
        content_.append("Q\n");
        state_ = unclippedState_;
        // The text font is part of the state just restored.
        textFont_ = -1;
    }
    if (!wantedClip_.isEmpty()) {
        content_.append("q\n");
        unclippedState_ = state_;
        content_.append(wantedClip_);
    }
    appliedClip_ = wantedClip_;
}

void TRLPdfPageEngine::EndText() {
    if (inText_) {
        content_.append("ET\n");
        inText_ = false;
    }
}

void TRLPdfPageEngine::AppendPoint(QByteArray& out, const QPointF& point) const {
    AppendNumbers(out, point.x(), point.y());
}

void TRLPdfPageEngine::AppendPath(QByteArray& out, const QPainterPath& path) const {
    // A rectangle, the commonest clip and shape, in its short form.
    if (path.elementCount() == 5) {
        const auto e = [&path](int i) { return QPointF(path.elementAt(i)); };
        const bool lines = path.elementAt(0).isMoveTo() && path.elementAt(1).isLineTo() &&
                           path.elementAt(2).isLineTo() && path.elementAt(3).isLineTo() &&
                           path.elementAt(4).isLineTo();
        if (lines && e(0) == e(4) && e(0).y() == e(1).y() && e(1).x() == e(2).x() &&
            e(2).y() == e(3).y() && e(3).x() == e(0).x()) {
            AppendNumbers(out, e(0).x(), e(0).y(), e(2).x() - e(0).x(), e(2).y() - e(0).y());
            out.append("re\n");
            return;
        }
    }
    QPointF start;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        switch (element.type) {
        case QPainterPath::MoveToElement:
            start = element;
            AppendPoint(out, element);
            out.append("m\n");
            break;
        case QPainterPath::LineToElement:
            AppendPoint(out, element);
            out.append("l\n");
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < path.elementCount()) {
                AppendPoint(out, element);
                AppendPoint(out, path.elementAt(i + 1));
                AppendPoint(out, path.elementAt(i + 2));
                out.append("c\n");
                i += 2;
            }
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
        const bool subpathEnds = i + 1 == path.elementCount() || path.elementAt(i + 1).isMoveTo();
        if (subpathEnds && element.type != QPainterPath::MoveToElement &&
            QPointF(path.elementAt(i)) == start) {
            out.append("h\n");
        }
    }
}

bool TRLPdfPageEngine::Strokes() const {
    return pen_.style() != Qt::NoPen && pen_.brush().style() != Qt::NoBrush &&
           pen_.color().alpha() != 0;
}

bool TRLPdfPageEngine::Fills() const {
    return brush_.style() != Qt::NoBrush && brush_.color().alpha() != 0;
}

void TRLPdfPageEngine::SetStroke() {
    QByteArray color;
    AppendColor(color, pen_.color());
    color.append("RG\n");
    if (color != state_.Stroke) {
        content_.append(color);
        state_.Stroke = color;
    }
    // A cosmetic pen is as wide on the page as on the device, whatever the matrix; a zero width
    // is one device pixel.
    const double penWidth = pen_.widthF() > 0 ? pen_.widthF() : 1;
    const double width =
        pen_.isCosmetic() ? penWidth : penWidth * std::sqrt(std::abs(matrix_.determinant()));
    if (width != state_.LineWidth) {
        AppendReal(content_, width);
        content_.append(" w\n");
        state_.LineWidth = width;
    }
    const int cap = LineCap(pen_.capStyle());
    if (cap != state_.Cap) {
        AppendInt(content_, cap);
        content_.append(" J\n");
        state_.Cap = cap;
    }
    const int join = LineJoin(pen_.joinStyle());
    if (join != state_.Join) {
        AppendInt(content_, join);
        content_.append(" j\n");
        state_.Join = join;
    }
    QByteArray dash = "[";
    if (pen_.style() != Qt::SolidLine) {
        // Qt measures dashes in pen widths.
        const double unit = pen_.widthF() > 0 ? width : 1;
        for (const qreal length : pen_.dashPattern()) {
            AppendNumbers(dash, length * unit);
        }
        dash.append("] ");
        AppendReal(dash, pen_.dashOffset() * unit);
    } else {
        dash.append("] 0");
    }
    if (dash != state_.Dash) {
        content_.append(dash);
        content_.append(" d\n");
        state_.Dash = dash;
    }
}

void TRLPdfPageEngine::SetFill(const QBrush& brush) {
    QByteArray fill;
    const char* cell = HatchCell(brush.style());
    if (cell != nullptr) {
        const int height = static_cast<int>(std::lround(points_.height() * 100));
        hatches_.emplace(brush.style(), height);
        fill.append("/Hatch cs ");
        AppendColor(fill, brush.color());
        fill.append(HatchName(brush.style(), height));
        fill.append(" scn\n");
    } else {
        AppendColor(fill, brush.color());
        fill.append("rg\n");
    }
    if (fill != state_.Fill) {
        content_.append(fill);
        state_.Fill = fill;
    }
}

void TRLPdfPageEngine::SetTextColor(const QColor& color) {
    QByteArray fill;
    AppendColor(fill, color);
    fill.append("rg\n");
    if (fill != state_.Fill) {
        content_.append(fill);
        state_.Fill = fill;
    }
}

void TRLPdfPageEngine::PaintShape(const QByteArray& pathOperators, bool closed, bool oddEven) {
    const bool stroke = Strokes();
    const bool fill = closed && Fills();
    announced_.reset();
    if ((!stroke && !fill) || pathOperators.isEmpty() || Overfull(pathOperators.size())) {
        return;
    }
    ApplyClip();
    EndText();
    if (stroke) {
        SetStroke();
    }
    if (fill) {
        SetFill(brush_);
    }
    content_.append(pathOperators);
    if (stroke && fill) {
        content_.append(oddEven ? "B*\n" : "B\n");
    } else if (fill) {
        content_.append(oddEven ? "f*\n" : "f\n");
    } else {
        content_.append("S\n");
    }
}

void TRLPdfPageEngine::drawRects(const QRectF* rects, int count) {
    QByteArray operators;
    const bool straight = matrix_.type() <= QTransform::TxScale;
    for (int i = 0; i < count; ++i) {
        if (straight) {
            const QRectF r = matrix_.mapRect(rects[i]);
            AppendNumbers(operators, r.x(), r.y(), r.width(), r.height());
            operators.append("re\n");
        } else {
            QPainterPath path;
            path.addRect(rects[i]);
            AppendPath(operators, matrix_.map(path));
        }
    }
    PaintShape(operators, true, false);
}

void TRLPdfPageEngine::drawLines(const QLineF* lines, int count) {
    QByteArray operators;
    for (int i = 0; i < count; ++i) {
        AppendPoint(operators, matrix_.map(lines[i].p1()));
        operators.append("m ");
        AppendPoint(operators, matrix_.map(lines[i].p2()));
        operators.append("l\n");
    }
    PaintShape(operators, false, false);
}

void TRLPdfPageEngine::drawPath(const QPainterPath& path) {
    QByteArray operators;
    AppendPath(operators, matrix_.map(path));
    PaintShape(operators, true, path.fillRule() == Qt::OddEvenFill);
}

void TRLPdfPageEngine::drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) {
    if (count < 1) {
        return;
    }
    QByteArray operators;
    for (int i = 0; i < count; ++i) {
        AppendPoint(operators, matrix_.map(points[i]));
        operators.append(i == 0 ? "m\n" : "l\n");
    }
    const bool closed = mode != PolylineMode;
    if (closed) {
        operators.append("h\n");
    }
    PaintShape(operators, closed, mode == OddEvenMode);
}

void TRLPdfPageEngine::drawPixmap(const QRectF& target, const QPixmap& pixmap,
                                  const QRectF& source) {
    drawImage(target, pixmap.toImage(), source, Qt::AutoColor);
}

void TRLPdfPageEngine::drawImage(const QRectF& target, const QImage& image, const QRectF& source,
                                 Qt::ImageConversionFlags flags) {
    Q_UNUSED(flags);
    if (image.isNull() || target.isEmpty()) {
        return;
    }
    const QRect part = source.toAlignedRect().intersected(image.rect());
    if (part.isEmpty()) {
        return;
    }
    const int object = document_.ImageObject(part == image.rect() ? image : image.copy(part));
    if (object == 0) {
        return;
    }
    ApplyClip();
    EndText();
    // The image's unit square, its first row at the top, onto the target.
    const QPointF origin = matrix_.map(target.bottomLeft());
    const QPointF across = matrix_.map(target.bottomRight()) - origin;
    const QPointF up = matrix_.map(target.topLeft()) - origin;
    content_.append("q\n");
    AppendNumbers(content_, across.x(), across.y(), up.x(), up.y(), origin.x(), origin.y());
    content_.append("cm\n/Im");
    AppendInt(content_, object);
    content_.append(" Do\nQ\n");
}

void TRLPdfPageEngine::drawTextItem(const QPointF& at, const QTextItem& item) {
    if (announced_) {
        const Run run = std::move(*announced_);
        announced_.reset();
        DrawRun(run);
        return;
    }
    // A text QPainter laid out itself (one with characters its font lacks): in the item's own
    // font where it has the glyphs, otherwise as outlines with the font's fallbacks.
    const QString text = item.text();
    if (text.isEmpty()) {
        return;
    }
    Run run;
    run.Font = QRawFont::fromFont(item.font());
    run.Baseline = at;
    run.Text = text;
    run.Glyphs = run.Font.glyphIndexesForString(text);
    if (run.Glyphs.size() == text.size() && !run.Glyphs.contains(0u)) {
        const QList<QPointF> advances = run.Font.advancesForGlyphIndexes(run.Glyphs);
        QPointF position;
        for (const QPointF& advance : advances) {
            run.Positions.append(position);
            position += advance;
        }
        DrawRun(run);
        return;
    }
    if (Overfull()) {
        return;
    }
    // Far beyond the page's edges nothing shows; it would only make the page larger.
    const double pixelSize = QFontInfo(item.font()).pixelSize();
    if (!MayShow(at, 2 * pixelSize * double(text.size()), pixelSize)) {
        return;
    }
    QPainterPath outline;
    outline.addText(at, item.font(), text);
    FillOutline(outline);
}

// Glyphs that cannot be text are filled outlines in the text's colour.
void TRLPdfPageEngine::FillOutline(const QPainterPath& outline) {
    const QBrush brush = std::exchange(brush_, QBrush(pen_.color()));
    const QPen pen = std::exchange(pen_, QPen(Qt::NoPen));
    drawPath(outline);
    brush_ = brush;
    pen_ = pen;
}

bool TRLPdfPageEngine::Overfull(qsizetype more) {
    if (!refusal_.isEmpty()) {
        return true;
    }
    if (content_.size() + more <= kLargestPageContent) {
        return false;
    }
    refusal_ = QStringLiteral("its drawing takes more than %1 MB, the most a page may hold")
                   .arg(kLargestPageContent >> 20);
    return true;
}

bool TRLPdfPageEngine::MayShow(const QPointF& at, double width, double pixelSize) const {
    const double reach = 2 * pixelSize;
    const QRectF ink =
        matrix_.mapRect(QRectF(at.x() - reach, at.y() - reach, width + 2 * reach, 2 * reach));
    const double scale = document_.PixelsPerInch / 72.0;
    return ink.intersects(QRectF(0, 0, points_.width() * scale, points_.height() * scale));
}

const TRLPdfPageEngine::RecentFont& TRLPdfPageEngine::FontOf(const QRawFont& raw) {
    for (const RecentFont& known : recentFonts_) {
        if (known.Raw.isValid() && known.Raw == raw) {
            return known;
        }
    }
    RecentFont& font = recentFonts_[nextRecent_];
    nextRecent_ = (nextRecent_ + 1) % recentFonts_.size();
    font = {raw, document_.FontOf(raw, font.Index), font.Index, QRawFont()};
    if (font.Font != nullptr && !font.Font->OpenTypeFile.isEmpty()) {
        font.OpenType = QRawFont(font.Font->OpenTypeFile, 12);
    }
    return font;
}

void TRLPdfPageEngine::DrawRun(const Run& run) {
    const qsizetype count = std::min(run.Glyphs.size(), run.Positions.size());
    if (count == 0 || pen_.style() == Qt::NoPen || pen_.color().alpha() == 0 || Overfull()) {
        return;
    }
    // The toolkit makes fonts of up to kLargestPixelSize pixels. Asked for more, it hands out a
    // stand-in that draws boxes and knows no family, whose very name must not be asked for; its
    // glyphs are not the text's, so the page refuses the text instead of showing boxes.
    if (!run.Font.isValid() || !(run.Font.pixelSize() > 0) ||
        run.Font.pixelSize() > kLargestPixelSize) {
        if (refusal_.isEmpty()) {
            QString text = run.Text.left(count);
            if (text.size() > 40) {
                text = text.left(40) + QChar(0x2026);
            }
            refusal_ = QStringLiteral("the text \"%1\" is in a font too large to draw (at most %2 "
                                      "pixels high)")
                           .arg(text, QString::number(kLargestPixelSize));
        }
        return;
    }
    const RecentFont& recent = FontOf(run.Font);
    const int index = recent.Index;
    const TRLPdfFont* found = recent.Font;
    QList<quint32> glyphs = run.Glyphs.first(count);
    if (recent.OpenType.isValid()) {
        // The same characters in the OpenType face; a character it lacks leaves the run to
        // outlines.
        glyphs = recent.OpenType.glyphIndexesForString(run.Text.left(count));
        if (glyphs.size() != count || glyphs.contains(0u)) {
            found = nullptr;
        }
    }
    if (found == nullptr) {
        // Glyphs off the page are left out; those on it may not outgrow what a page holds (a
        // point of an outline takes some eight bytes of the stream).
        QPainterPath outline;
        for (qsizetype i = 0; i < count; ++i) {
            const QPointF at = run.Baseline + run.Positions[i];
            if (!MayShow(at, 0, run.Font.pixelSize())) {
                continue;
            }
            outline.addPath(run.Font.pathForGlyph(run.Glyphs[i]).translated(at));
            if (Overfull(outline.elementCount() * 8)) {
                return;
            }
        }
        FillOutline(outline);
        return;
    }
    const TRLPdfFont& font = *found;
    const double pixelSize = run.Font.pixelSize();
    if (pixelSize <= 0) {
        return;
    }
    ApplyClip();
    if (!inText_) {
        content_.append("BT\n");
        inText_ = true;
        textPlaced_ = false;
    }
    SetTextColor(pen_.color());
    const QPointF origin = matrix_.map(run.Baseline + run.Positions[0]);
    const bool upright = matrix_.type() <= QTransform::TxScale && matrix_.m11() > 0 &&
                         std::abs(matrix_.m11() - matrix_.m22()) < 1e-9;
    const double size = upright ? pixelSize * matrix_.m11() : 1.0;
    // Whole pixel sizes, the canvas's, have fonts of their own (TRLPdfFont::SizesUsed).
    const int sizeFont =
        upright && size == std::round(size) && size >= 1 && size <= 4096 ? int(size) : 0;
    if (index != textFont_ || size != textSize_) {
        content_.append(font.ResourceAt(sizeFont));
        content_.append(' ');
        AppendReal(content_, size);
        content_.append(" Tf\n");
        textFont_ = index;
        textSize_ = size;
    }
    if (upright && textPlaced_) {
        // Text space runs upwards, the page's coordinates downwards.
        AppendNumbers(content_, origin.x() - lineStart_.x(), lineStart_.y() - origin.y());
        content_.append("Td\n");
    } else if (upright) {
        AppendNumbers(content_, 1, 0, 0, -1, origin.x(), origin.y());
        content_.append("Tm\n");
    } else {
        AppendNumbers(content_, pixelSize * matrix_.m11(), pixelSize * matrix_.m12(),
                      -pixelSize * matrix_.m21(), -pixelSize * matrix_.m22(), origin.x(),
                      origin.y());
        content_.append("Tm\n");
    }
    lineStart_ = origin;
    textPlaced_ = upright;

    // Each glyph at its own place: the font's advance moves the text on, and where the page put
    // a glyph elsewhere the difference follows it in thousandths of the size.
    // Built apart and added at once: byte by byte, the stream's own appends cost more than the
    // rest of the text.
    std::string shown = "[(";
    shown.reserve(static_cast<size_t>(count) * 3 + 16);
    double pen = 0;
    const double start = run.Positions[0].x();
    const double tolerance = 500.0 / (pixelSize * std::abs(matrix_.m11() != 0 ? matrix_.m11() : 1));
    for (qsizetype i = 0; i < count; ++i) {
        const quint32 glyph = glyphs[i];
        if (glyph >= font.Widths.size()) {
            continue;
        }
        if (i > 0) {
            // Differences below half a device pixel are the rounding of whole-pixel advances,
            // not placement, and would only lengthen the stream.
            const double wanted = (run.Positions[i].x() - start) * 1000.0 / pixelSize;
            if (std::abs(pen - wanted) > tolerance) {
                const long long shift = std::llround(pen - wanted);
                char number[24];
                const char* end = std::to_chars(number, number + sizeof number, shift).ptr;
                shown += ')';
                shown.append(number, static_cast<size_t>(end - number));
                shown += '(';
                pen -= static_cast<double>(shift);
            }
        }
        const char16_t character = i < run.Text.size() ? run.Text[i].unicode() : u'\0';
        // Fonts number in the thousands at most, glyphs and characters in 16 bits, whole sizes
        // up to 4096: one number tells them apart.
        const quint64 seen = quint64(quint16(index)) << 48 | quint64(quint16(glyph)) << 32 |
                             quint64(sizeFont) << 16 | character;
        if (glyphsSeen_.insert(seen).second) {
            glyphs_.push_back({index, glyph, character, sizeFont});
        }
        for (const char byte : {static_cast<char>(glyph >> 8), static_cast<char>(glyph & 0xFF)}) {
            if (byte == '(' || byte == ')' || byte == '\\') {
                shown += '\\';
            } else if (byte == '\r') {
                shown += "\\r";
                continue;
            }
            shown += byte;
        }
        pen += font.Width(glyph, sizeFont);
    }
    shown += ")]TJ\n";
    content_.append(shown.data(), static_cast<qsizetype>(shown.size()));
}

void TRLPdfDocument::WriteFont(TRLPdfFont& font, QByteArray& resources) {
    std::vector<quint32> glyphs;
    for (size_t glyph = 0; glyph < font.Used.size(); ++glyph) {
        if (font.Used[glyph]) {
            glyphs.push_back(static_cast<quint32>(glyph));
        }
    }
    // A subset's name starts with six capitals of its own, so that two subsets of one font in
    // different documents are never taken for each other.
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(font.Name);
    for (const quint32 glyph : glyphs) {
        const quint16 big = qToBigEndian(static_cast<quint16>(glyph));
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(&big), 2));
    }
    const QByteArray digest = hash.result();
    QByteArray tag;
    for (int i = 0; i < 6; ++i) {
        tag.append(static_cast<char>('A' + static_cast<unsigned char>(digest[i]) % 26));
    }
    const QByteArray name = tag + '+' + font.Name;

    const QByteArray program =
        SubsetFont([&font](QByteArrayView tag) { return font.Table(tag); }, glyphs);
    const bool cff = font.Outlines == TRLOutlines::Cff;
    const QByteArray head = font.Table("head");
    const QByteArray hhea = font.Table("hhea");
    const QByteArray os2 = font.Table("OS/2");
    const QByteArray post = font.Table("post");
    const double scale = 1000.0 / font.UnitsPerEm;
    const auto scaled = [scale](int value) { return std::lround(value * scale); };

    const int file = program.isEmpty() ? 0 : NewObject();
    const int descriptor = NewObject();
    const int toUnicode = NewObject();

    if (file != 0) {
        // CFF outlines go as the whole OpenType font, which also brings their metrics.
        QByteArray dictionary = cff ? QByteArray("/Subtype/OpenType") : QByteArray("/Length1 ");
        if (!cff) {
            AppendInt(dictionary, program.size());
        }
        WriteStream(file, dictionary, program, kResourceCompression);
        usesOpenType_ = usesOpenType_ || cff;
    }

    QByteArray out;
    BeginObject(descriptor);
    out.append("<</Type/FontDescriptor/FontName/" + name + "/Flags 4/FontBBox[");
    for (const int at : {36, 38, 40, 42}) {
        AppendInt(out, scaled(S16(head, at)));
        out.append(' ');
    }
    out.append("]/ItalicAngle ");
    AppendReal(out, S16(post, 4) + U16(post, 6) / 65536.0);
    out.append("/Ascent ");
    AppendInt(out, scaled(S16(hhea, 4)));
    out.append("/Descent ");
    AppendInt(out, scaled(S16(hhea, 6)));
    out.append("/CapHeight ");
    AppendInt(out, scaled(U16(os2, 0) >= 2 ? S16(os2, 88) : S16(hhea, 4)));
    out.append("/StemV 80");
    if (file != 0) {
        out.append(cff ? "/FontFile3 " : "/FontFile2 ");
        AppendInt(out, file);
        out.append(" 0 R");
    }
    out.append(">>\nendobj\n");
    Write(out);

    QByteArray cmap = "/CIDInit/ProcSet findresource begin 12 dict begin begincmap\n"
                      "/CIDSystemInfo<</Registry(Adobe)/Ordering(UCS)/Supplement 0>>def\n"
                      "/CMapName/Adobe-Identity-UCS def/CMapType 2 def\n"
                      "1 begincodespacerange <0000><FFFF> endcodespacerange\n";
    std::vector<quint32> mapped;
    for (const quint32 glyph : glyphs) {
        if (font.Characters[glyph] != 0) {
            mapped.push_back(glyph);
        }
    }
    for (size_t i = 0; i < mapped.size(); i += 100) {
        const size_t end = std::min(mapped.size(), i + 100);
        AppendInt(cmap, static_cast<long long>(end - i));
        cmap.append(" beginbfchar\n");
        for (size_t j = i; j < end; ++j) {
            cmap.append(QStringLiteral("<%1><%2>\n")
                            .arg(mapped[j], 4, 16, QChar(u'0'))
                            .arg(font.Characters[mapped[j]], 4, 16, QChar(u'0'))
                            .toLatin1());
        }
        cmap.append("endbfchar\n");
    }
    cmap.append("endcmap CMapName currentdict/CMap defineresource pop end end\n");
    WriteStream(toUnicode, {}, cmap, kResourceCompression);

    for (const auto& [pixelSize, usedAtSize] : font.SizesUsed) {
        std::vector<quint32> sized;
        for (size_t glyph = 0; glyph < usedAtSize.size(); ++glyph) {
            if (usedAtSize[glyph]) {
                sized.push_back(static_cast<quint32>(glyph));
            }
        }
        const int cidFont = NewObject();
        out.clear();
        BeginObject(cidFont);
        // The character codes are glyph numbers: for TrueType through the identity map, for a
        // CFF font without CIDs of its own because its glyphs are taken by CID.
        out.append(QByteArray("<</Type/Font/Subtype/") + (cff ? "CIDFontType0" : "CIDFontType2") +
                   "/BaseFont/" + name +
                   "/CIDSystemInfo<</Registry(Adobe)/Ordering(Identity)/Supplement 0>>"
                   "/FontDescriptor ");
        AppendInt(out, descriptor);
        out.append(cff ? " 0 R/DW 1000/W[" : " 0 R/CIDToGIDMap/Identity/DW 1000/W[");
        for (size_t i = 0; i < sized.size();) {
            size_t next = i;
            AppendInt(out, sized[i]);
            out.append('[');
            while (next < sized.size() && sized[next] == sized[i] + (next - i)) {
                AppendReal(out, font.Width(sized[next], pixelSize));
                out.append(' ');
                ++next;
            }
            out.append(']');
            i = next;
        }
        out.append("]>>\nendobj\n");
        Write(out);

        const int type0 = NewObject();
        out.clear();
        BeginObject(type0);
        out.append("<</Type/Font/Subtype/Type0/BaseFont/" + name +
                   "/Encoding/Identity-H/DescendantFonts[");
        AppendInt(out, cidFont);
        out.append(" 0 R]/ToUnicode ");
        AppendInt(out, toUnicode);
        out.append(" 0 R>>\nendobj\n");
        Write(out);
        resources.append(font.ResourceAt(pixelSize) + ' ');
        AppendInt(resources, type0);
        resources.append(" 0 R");
    }
}

bool TRLPdfDocument::Finish() {
    // Every page has been added (or given up), so nothing paints any more: no lock is needed.
    // Pictures only pages never added showed still fill the objects they were given.
    for (const PendingStream& image : std::exchange(pendingImages_, {})) {
        WritePacked(image.Object, image.Dictionary, image.Packed);
    }
    QByteArray resources = "<</ProcSet[/PDF/Text/ImageB/ImageC]";
    if (!fonts_.empty()) {
        resources.append("/Font<<");
        for (TRLPdfFont& font : fonts_) {
            WriteFont(font, resources);
        }
        resources.append(">>");
    }
    if (!images_.empty()) {
        resources.append("/XObject<<");
        for (const DocImage& image : images_) {
            resources.append("/Im");
            AppendInt(resources, image.Object);
            resources.append(' ');
            AppendInt(resources, image.Object);
            resources.append(" 0 R");
        }
        resources.append(">>");
    }
    if (!hatches_.empty()) {
        resources.append("/ColorSpace<</Hatch[/Pattern/DeviceRGB]>>/Pattern<<");
        for (const auto& [style, height] : hatches_) {
            const int pattern = NewObject();
            // Pixels at 96 per inch from the page's top-left corner.
            QByteArray dictionary =
                "/Type/Pattern/PatternType 1/PaintType 2/TilingType 1"
                "/BBox[0 0 8 8]/XStep 8/YStep 8/Resources<<>>/Matrix[0.75 0 0 -0.75 0 ";
            AppendReal(dictionary, height / 100.0);
            dictionary.append(']');
            WriteStream(pattern, dictionary, QByteArray("1 w ") + HatchCell(Qt::BrushStyle(style)),
                        kResourceCompression);
            resources.append(HatchName(style, height) + ' ');
            AppendInt(resources, pattern);
            resources.append(" 0 R");
        }
        resources.append(">>");
    }
    resources.append(">>\nendobj\n");
    BeginObject(resources_);
    Write(resources);

    if (!nodeKids_.empty()) {
        WritePageNode();
    }
    BeginObject(pageTree_);
    QByteArray pages = "<</Type/Pages/Count ";
    AppendInt(pages, Pages);
    pages.append("/Kids[");
    for (const int node : pageNodes_) {
        AppendInt(pages, node);
        pages.append(" 0 R ");
    }
    pages.append("]>>\nendobj\n");
    Write(pages);

    QByteArray info = "<</Producer" + PdfTextString(QStringLiteral("Kelmora"));
    if (!Creator.isEmpty()) {
        info += "/Creator" + PdfTextString(Creator);
    }
    if (!Title.isEmpty()) {
        info += "/Title" + PdfTextString(Title);
    }
    if (!Author.isEmpty()) {
        info += "/Author" + PdfTextString(Author);
    }
    const QDateTime created = Created.isValid() ? Created : QDateTime::currentDateTime();
    info += "/CreationDate " + DateString(created) + ">>\nendobj\n";
    BeginObject(info_);
    Write(info);

    int metadata = 0;
    if (!Xmp.isEmpty()) {
        metadata = NewObject();
        BeginObject(metadata);
        QByteArray dictionary = "<</Type/Metadata/Subtype/XML/Length ";
        AppendInt(dictionary, Xmp.size());
        dictionary.append(">>\nstream\n");
        Write(dictionary);
        Write(Xmp);
        Write("\nendstream\nendobj\n");
    }
    QByteArray catalog = "<</Type/Catalog/Pages ";
    AppendInt(catalog, pageTree_);
    catalog.append(" 0 R");
    if (usesOpenType_) {
        // OpenType font files came with PDF 1.6; the header, written first, said 1.4.
        catalog.append("/Version/1.6");
    }
    if (metadata != 0) {
        catalog.append("/Metadata ");
        AppendInt(catalog, metadata);
        catalog.append(" 0 R");
    }
    catalog.append(">>\nendobj\n");
    BeginObject(catalog_);
    Write(catalog);

    const qint64 xref = written_ + buffer_.size();
    QByteArray table = "xref\n0 ";
    AppendInt(table, static_cast<long long>(offsets_.size()));
    table.append("\n0000000000 65535 f \n");
    for (size_t object = 1; object < offsets_.size(); ++object) {
        table.append(
            QByteArray::number(std::max<qint64>(offsets_[object], 0)).rightJustified(10, '0'));
        table.append(" 00000 n \n");
        if (table.size() >= (1 << 16)) {
            Write(table);
            table.resize(0);
        }
    }
    const QByteArray id = QCryptographicHash::hash(QByteArray::number(created.toMSecsSinceEpoch()) +
                                                       Title.toUtf8() + QByteArray::number(xref),
                                                   QCryptographicHash::Md5)
                              .toHex();
    table.append("trailer\n<</Size ");
    AppendInt(table, static_cast<long long>(offsets_.size()));
    table.append("/Root ");
    AppendInt(table, catalog_);
    table.append(" 0 R/Info ");
    AppendInt(table, info_);
    table.append(" 0 R/ID[<" + id + "><" + id + ">]>>\nstartxref\n");
    AppendInt(table, xref);
    table.append("\n%%EOF\n");
    Write(table);
    Flush();
    return !failed_;
}

// --- TRLPdfWriter --------------------------------------------------------------------------------

TRLPdfWriter::TRLPdfWriter(QIODevice& out, int pixelsPerInch)
    : document_(std::make_unique<TRLPdfDocument>(out, pixelsPerInch > 0 ? pixelsPerInch : 1440)) {}

TRLPdfWriter::~TRLPdfWriter() = default;

int TRLPdfWriter::PixelsPerInch() const {
    return document_->PixelsPerInch;
}

void TRLPdfWriter::SetTitle(const QString& title) {
    document_->Title = title;
}

void TRLPdfWriter::SetAuthor(const QString& author) {
    document_->Author = author;
}

void TRLPdfWriter::SetCreator(const QString& creator) {
    document_->Creator = creator;
}

void TRLPdfWriter::SetXmpMetadata(const QByteArray& xmp) {
    document_->Xmp = xmp;
}

void TRLPdfWriter::SetCreationDate(const QDateTime& date) {
    document_->Created = date;
}

int TRLPdfWriter::PageCount() const {
    return document_->Pages;
}

bool TRLPdfWriter::Finish() {
    return document_->Finish();
}

QString TRLPdfWriter::ErrorString() const {
    return document_->Error;
}

// --- TRLPdfPage ----------------------------------------------------------------------------------

namespace {

// A whole number of a page's measures, stopping at the end of the integers a painter works in
// rather than wrapping around past it.
int SaturatedRound(double value) {
    return value >= INT_MAX ? INT_MAX : qRound(value);
}

} // namespace

TRLPdfPage::TRLPdfPage(TRLPdfWriter& writer, const QSizeF& points)
    : points_(points.width() > 0 && points.height() > 0 && std::isfinite(points.width()) &&
                      std::isfinite(points.height())
                  ? points
                  : kA4Points),
      pixelsPerInch_(writer.PixelsPerInch()),
      engine_(std::make_unique<TRLPdfPageEngine>(*writer.document_, points_)) {}

TRLPdfPage::~TRLPdfPage() = default;

bool TRLPdfPage::AddTo(TRLPdfWriter& writer) {
    Q_ASSERT(&engine_->Document() == writer.document_.get());
    return engine_->AddToDocument();
}

QString TRLPdfPage::Refusal() const {
    return engine_->Refusal();
}

QPaintEngine* TRLPdfPage::paintEngine() const {
    return engine_.get();
}

int TRLPdfPage::metric(PaintDeviceMetric metric) const {
    switch (metric) {
    case PdmWidth:
        return SaturatedRound(points_.width() * pixelsPerInch_ / 72);
    case PdmHeight:
        return SaturatedRound(points_.height() * pixelsPerInch_ / 72);
    case PdmWidthMM:
        return SaturatedRound(points_.width() * 25.4 / 72);
    case PdmHeightMM:
        return SaturatedRound(points_.height() * 25.4 / 72);
    case PdmNumColors:
        return INT_MAX;
    case PdmDepth:
        return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return pixelsPerInch_;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return static_cast<int>(QPaintDevice::devicePixelRatioFScale());
    }
    return 0;
}
