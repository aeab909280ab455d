#include "RLPdfDocument_p.h"

#include "RLPdfWriter.h"
#include <kelmora/pagestore/RLBinaryIO.h>

#include <QCryptographicHash>
#include <QIODevice>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>
#include <memory>

namespace Kelmora {

using namespace rlpdf;

namespace {

// Pages under one node of the page tree.
constexpr size_t kPagesPerNode = 1024;

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

} // namespace

namespace rlpdf {

void AppendBytes(QByteArray& out, const char* bytes, qsizetype count) {
    const qsizetype at = out.size();
    out.resize(at + count);
    std::memcpy(out.data() + at, bytes, static_cast<size_t>(count));
}

void AppendInt(QByteArray& out, long long value) {
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    AppendBytes(out, buffer, end - buffer);
}

char* FormatReal(char* at, double value) {
    if (!std::isfinite(value)) {
        value = 0;
    }
    value = std::clamp(value, -kFarthest, kFarthest);
    const double whole = std::round(value);
    if (std::abs(value - whole) < 0.0005) {
        return std::to_chars(at, at + kMostPerReal, static_cast<long long>(whole)).ptr;
    }
    char* end = std::to_chars(at, at + kMostPerReal, value, std::chars_format::fixed, 3).ptr;
    while (end[-1] == '0') {
        --end;
    }
    if (end[-1] == '.') {
        --end;
    }
    return end;
}

void AppendReal(QByteArray& out, double value) {
    char buffer[kMostPerReal];
    AppendBytes(out, buffer, FormatReal(buffer, value) - buffer);
}

void AppendColor(QByteArray& out, const QColor& color) {
    const QColor rgb = color.toRgb();
    AppendNumbers(out, rgb.redF(), rgb.greenF(), rgb.blueF());
}

void AppendReference(QByteArray& out, int object) {
    AppendInt(out, object);
    out.append(" 0 R");
}

namespace {

// A compressor for each level, kept by each thread that compresses: making one takes a quarter of
// a megabyte of tables and costs more than compressing a page.
struct TRLCompressorFree {
    void operator()(libdeflate_compressor* compressor) const {
        libdeflate_free_compressor(compressor);
    }
};
using TRLCompressor = std::unique_ptr<libdeflate_compressor, TRLCompressorFree>;

} // namespace

QByteArray Deflated(QByteArrayView data, int level) {
    if (level < kFastestCompression || level > kBestCompression)
        return {};
    thread_local std::array<TRLCompressor, kBestCompression + 1> compressors;
    TRLCompressor& compressor = compressors[static_cast<size_t>(level)];
    if (!compressor)
        compressor.reset(libdeflate_alloc_compressor(level));
    if (!compressor)
        return {};
    const size_t bound =
        libdeflate_zlib_compress_bound(compressor.get(), static_cast<size_t>(data.size()));
    if (bound > size_t(std::numeric_limits<qsizetype>::max()))
        return {};
    QByteArray out(static_cast<qsizetype>(bound), Qt::Uninitialized);
    const size_t size = libdeflate_zlib_compress(
        compressor.get(), data.data(), static_cast<size_t>(data.size()), out.data(), bound);
    if (size == 0)
        return {};
    out.truncate(static_cast<qsizetype>(size));
    return out;
}

QByteArray Digest(std::initializer_list<QByteArrayView> parts) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QByteArrayView part : parts) {
        hash.addData(part);
    }
    return hash.result();
}

QByteArray StableResourceName(QByteArrayView prefix, const QByteArray& digest,
                              QSet<QByteArray>& taken) {
    QByteArray name = prefix.toByteArray() + digest.left(4).toHex();
    if (taken.contains(name)) {
        name += '_' + QByteArray::number(taken.size());
    }
    taken.insert(name);
    return name;
}

} // namespace rlpdf

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

TRLPdfDocument::TRLPdfDocument(QIODevice& out, int pixelsPerInch)
    : pixelsPerInch_(pixelsPerInch), out_(out) {
    catalog_ = NewObject();
    pageTree_ = NewObject();
    resources_ = NewObject();
    info_ = NewObject();
    Write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
}

int TRLPdfDocument::NewObject() {
    const std::lock_guard lock(mutex_);
    return ReserveObject();
}

int TRLPdfDocument::ReserveObject() {
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

void TRLPdfDocument::NoteGlyphs(const std::vector<TRLPdfGlyphUse>& glyphs) {
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

bool TRLPdfDocument::AddPage(const TRLPdfPainted& painted) {
    {
        const std::lock_guard lock(mutex_);
        hatches_.insert(painted.Hatches.begin(), painted.Hatches.end());
    }
    WriteNewPictures(painted.Images);
    NoteGlyphs(painted.Glyphs);
    if (painted.Part == TRLPdfPagePart::Late) {
        if (lateContents_.empty()) {
            Fail(QStringLiteral("the last part of a page came without its page"));
            return false;
        }
        WritePacked(lateContents_.front(), {}, painted.Packed);
        lateContents_.pop_front();
        return Error.isEmpty();
    }
    const int contents = NewObject();
    WritePacked(contents, {}, painted.Packed);
    // The late part's stream gets its number now, beside its page's, whenever it is written.
    const int lateContents = painted.Part == TRLPdfPagePart::Early ? NewObject() : 0;
    const int page = NewObject();
    if (pageNode_ == 0) {
        pageNode_ = NewObject();
    }
    BeginObject(page);
    QByteArray dictionary = "<</Type/Page/Parent ";
    AppendReference(dictionary, pageNode_);
    dictionary.append("/Resources ");
    AppendReference(dictionary, resources_);
    dictionary.append("/MediaBox[0 0 ");
    AppendNumbers(dictionary, painted.Points.width(), painted.Points.height());
    dictionary.append("]/Contents");
    if (lateContents != 0) {
        dictionary.append('[');
        AppendReference(dictionary, contents);
        dictionary.append(' ');
        AppendReference(dictionary, lateContents);
        dictionary.append(']');
        lateContents_.push_back(lateContents);
    } else {
        dictionary.append(' ');
        AppendReference(dictionary, contents);
    }
    dictionary.append(">>\nendobj\n");
    Write(dictionary);
    nodeKids_.push_back(page);
    ++Pages;
    if (nodeKids_.size() == kPagesPerNode) {
        WritePageNode();
    }
    return Error.isEmpty();
}

void TRLPdfDocument::WritePageNode() {
    BeginObject(pageNode_);
    QByteArray node = "<</Type/Pages/Parent ";
    AppendReference(node, pageTree_);
    node.append("/Count ");
    AppendInt(node, static_cast<long long>(nodeKids_.size()));
    node.append("/Kids[");
    for (const int kid : nodeKids_) {
        AppendReference(node, kid);
        node.append(' ');
    }
    node.append("]>>\nendobj\n");
    Write(node);
    pageNodes_.push_back(pageNode_);
    pageNode_ = 0;
    nodeKids_.clear();
}

bool TRLPdfDocument::Finish() {
    // Every page has been added (or given up), so nothing paints any more: no lock is needed.
    if (!lateContents_.empty()) {
        // A page without its last part would reference a stream the file lacks.
        Fail(QStringLiteral("%1 page(s) lack their last part").arg(lateContents_.size()));
        return false;
    }
    WriteResources();
    if (!nodeKids_.empty()) {
        WritePageNode();
    }
    WritePageTree();
    const QDateTime created = Created.isValid() ? Created : QDateTime::currentDateTime();
    WriteInfo(created);
    WriteCatalog();
    WriteCrossReference(created);
    Flush();
    return !failed_;
}

void TRLPdfDocument::WriteResources() {
    QByteArray resources = "<</ProcSet[/PDF/Text/ImageB/ImageC]";
    if (!fonts_.empty()) {
        resources.append("/Font<<");
        // By name: the order pages met the fonts in depends on which thread painted first.
        std::vector<const TRLPdfFont*> byName;
        for (const TRLPdfFont& font : fonts_) {
            byName.push_back(&font);
        }
        std::sort(byName.begin(), byName.end(), [](const TRLPdfFont* a, const TRLPdfFont* b) {
            return a->Resource < b->Resource;
        });
        for (const TRLPdfFont* font : byName) {
            WriteFont(*font, resources);
        }
        resources.append(">>");
    }
    AppendPictures(resources);
    AppendPatterns(resources);
    resources.append(">>\nendobj\n");
    BeginObject(resources_);
    Write(resources);
}

void TRLPdfDocument::WritePageTree() {
    BeginObject(pageTree_);
    QByteArray pages = "<</Type/Pages/Count ";
    AppendInt(pages, Pages);
    pages.append("/Kids[");
    for (const int node : pageNodes_) {
        AppendReference(pages, node);
        pages.append(' ');
    }
    pages.append("]>>\nendobj\n");
    Write(pages);
}

void TRLPdfDocument::WriteInfo(const QDateTime& created) {
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
    info += "/CreationDate " + DateString(created) + ">>\nendobj\n";
    BeginObject(info_);
    Write(info);
}

// The metadata, when there is any, and the catalogue.
void TRLPdfDocument::WriteCatalog() {
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
    AppendReference(catalog, pageTree_);
    if (usesOpenType_) {
        // OpenType font files came with PDF 1.6; the header, written first, said 1.4.
        catalog.append("/Version/1.6");
    }
    if (metadata != 0) {
        catalog.append("/Metadata ");
        AppendReference(catalog, metadata);
    }
    catalog.append(">>\nendobj\n");
    BeginObject(catalog_);
    Write(catalog);
}

void TRLPdfDocument::WriteCrossReference(const QDateTime& created) {
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
    AppendReference(table, catalog_);
    table.append("/Info ");
    AppendReference(table, info_);
    table.append("/ID[<" + id + "><" + id + ">]>>\nstartxref\n");
    AppendInt(table, xref);
    table.append("\n%%EOF\n");
    Write(table);
}

} // namespace Kelmora
