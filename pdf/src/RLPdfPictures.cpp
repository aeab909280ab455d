// The document's pictures, each stored once however many pages show it, and the hatch brushes as
// tiling patterns.
#include "RLPdfDocument_p.h"

#include <algorithm>

namespace Kelmora {

using namespace rlpdf;

namespace rlpdf {

// As the toolkit draws the hatches on a screen: a cell of 8 pixels at 96 per inch with lines
// through the pixels' centres, starting at the page's top-left corner; a diagonal staircase of one
// pixel a row is 0.71 pixels thick. Pattern space is the cell's pixels from the top down; coloured
// by the brush.
const char* HatchCell(Qt::BrushStyle style) {
    struct Hatch {
        Qt::BrushStyle Style;
        const char* Cell;
    };
    static constexpr Hatch kHatches[] = {
        {Qt::HorPattern, "0 3.5 m 8 3.5 l S"},
        {Qt::VerPattern, "4.5 0 m 4.5 8 l S"},
        {Qt::CrossPattern, "0 3.5 m 8 3.5 l 4.5 0 m 4.5 8 l S"},
        {Qt::BDiagPattern, "0.71 w 0 8 m 8 0 l -1 1 m 1 -1 l 7 9 m 9 7 l S"},
        {Qt::FDiagPattern, "0.71 w 0 0 m 8 8 l -1 7 m 1 9 l 7 -1 m 9 1 l S"},
        {Qt::DiagCrossPattern,
         "0.71 w 0 8 m 8 0 l -1 1 m 1 -1 l 7 9 m 9 7 l 0 0 m 8 8 l -1 7 m 1 9 "
         "l 7 -1 m 9 1 l S"},
    };
    for (const Hatch& hatch : kHatches) {
        if (hatch.Style == style) {
            return hatch.Cell;
        }
    }
    return nullptr;
}

// The page height is in the name since patterns start at the bottom of a page and the hatches at
// its top.
QByteArray HatchName(int style, int pageHeight) {
    QByteArray name = "/H";
    AppendInt(name, style);
    name.append('_');
    AppendInt(name, pageHeight);
    return name;
}

} // namespace rlpdf

namespace {

// A picture's samples, 8 bits each: gray or red, green and blue; and its alpha channel, kept when
// some pixel is not opaque.
struct TRLSamples {
    bool Gray = false;
    bool Translucent = false;
    QByteArray Colors;
    QByteArray Alpha;
};

// The image is Grayscale8, RGB32 or ARGB32.
TRLSamples SamplesOf(const QImage& image) {
    const int width = image.width();
    const int height = image.height();
    TRLSamples samples;
    samples.Gray = image.format() == QImage::Format_Grayscale8 || image.allGray();
    const bool withAlpha = image.hasAlphaChannel();
    samples.Colors.reserve(static_cast<qsizetype>(width) * height * (samples.Gray ? 1 : 3));
    if (withAlpha) {
        samples.Alpha.reserve(static_cast<qsizetype>(width) * height);
    }
    for (int y = 0; y < height; ++y) {
        if (image.format() == QImage::Format_Grayscale8) {
            samples.Colors.append(reinterpret_cast<const char*>(image.constScanLine(y)), width);
            continue;
        }
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            const QRgb pixel = line[x];
            samples.Colors.append(static_cast<char>(qRed(pixel)));
            if (!samples.Gray) {
                samples.Colors.append(static_cast<char>(qGreen(pixel)));
                samples.Colors.append(static_cast<char>(qBlue(pixel)));
            }
            if (withAlpha) {
                samples.Alpha.append(static_cast<char>(qAlpha(pixel)));
                samples.Translucent = samples.Translucent || qAlpha(pixel) != 255;
            }
        }
    }
    return samples;
}

} // namespace

QByteArray TRLPdfDocument::ImageOf(const QImage& given, int& index) {
    const QImage image =
        given.format() == QImage::Format_ARGB32 || given.format() == QImage::Format_RGB32 ||
                given.format() == QImage::Format_Grayscale8
            ? given
            : given.convertToFormat(given.hasAlphaChannel() ? QImage::Format_ARGB32
                                                            : QImage::Format_RGB32);
    // A picture on every page (a letterhead, a signature) is written once.
    const size_t key = qHashBits(image.constBits(), static_cast<size_t>(image.sizeInBytes()),
                                 static_cast<size_t>(image.width()) * 31 + image.format());
    const auto known = [&]() -> const DocImage* {
        for (auto it = imageIndex_.constFind(key); it != imageIndex_.cend() && it.key() == key;
             ++it) {
            if (images_[static_cast<size_t>(*it)].Image == image) {
                index = *it;
                return &images_[static_cast<size_t>(*it)];
            }
        }
        return nullptr;
    };
    {
        const std::lock_guard lock(mutex_);
        if (const DocImage* found = known()) {
            return found->Resource;
        }
    }
    // Sampled and compressed outside the lock, while other pages paint on.
    const TRLSamples samples = SamplesOf(image);
    DocImage entry;
    entry.Image = image;
    entry.Dictionary = "/Type/XObject/Subtype/Image/Width ";
    AppendInt(entry.Dictionary, image.width());
    entry.Dictionary.append("/Height ");
    AppendInt(entry.Dictionary, image.height());
    entry.Dictionary.append("/BitsPerComponent 8");
    entry.Gray = samples.Gray;
    entry.Colors = Deflated(samples.Colors, kResourceCompression);
    if (samples.Translucent) {
        entry.Alpha = Deflated(samples.Alpha, kResourceCompression);
    }
    const QByteArray digest =
        Digest({entry.Dictionary, samples.Gray ? "G" : "C", samples.Colors,
                samples.Translucent ? QByteArrayView(samples.Alpha) : QByteArrayView()});
    const std::lock_guard lock(mutex_);
    if (const DocImage* found = known()) { // another page got there first
        return found->Resource;
    }
    // The same samples in another image format are the same picture in the document.
    if (const auto same = imageDigests_.constFind(digest); same != imageDigests_.cend()) {
        index = *same;
        return images_[static_cast<size_t>(index)].Resource;
    }
    entry.Resource = StableResourceName("/Im", digest, imageResources_);
    index = static_cast<int>(images_.size());
    imageIndex_.insert(key, index);
    imageDigests_.insert(digest, index);
    return images_.emplace_back(std::move(entry)).Resource;
}

void TRLPdfDocument::WriteNewPictures(const std::vector<int>& images) {
    std::vector<PendingStream> streams;
    {
        const std::lock_guard lock(mutex_);
        for (const int index : images) {
            DocImage& image = images_[static_cast<size_t>(index)];
            if (image.Object != 0) {
                continue;
            }
            QByteArray dictionary = image.Dictionary;
            if (!image.Alpha.isEmpty()) {
                const int mask = ReserveObject();
                streams.push_back(
                    {mask, dictionary + "/ColorSpace/DeviceGray", std::exchange(image.Alpha, {})});
                dictionary.append("/SMask ");
                AppendReference(dictionary, mask);
            }
            dictionary.append(image.Gray ? "/ColorSpace/DeviceGray" : "/ColorSpace/DeviceRGB");
            image.Object = ReserveObject();
            streams.push_back({image.Object, dictionary, std::exchange(image.Colors, {})});
        }
    }
    for (const PendingStream& stream : streams) {
        WritePacked(stream.Object, stream.Dictionary, stream.Packed);
    }
}

void TRLPdfDocument::AppendPictures(QByteArray& resources) {
    // In the order they were written; a picture that no added page showed was never written.
    std::vector<const DocImage*> written;
    for (const DocImage& image : images_) {
        if (image.Object != 0) {
            written.push_back(&image);
        }
    }
    if (written.empty()) {
        return;
    }
    std::sort(written.begin(), written.end(),
              [](const DocImage* a, const DocImage* b) { return a->Object < b->Object; });
    resources.append("/XObject<<");
    for (const DocImage* image : written) {
        resources.append(image->Resource);
        resources.append(' ');
        AppendReference(resources, image->Object);
    }
    resources.append(">>");
}

void TRLPdfDocument::AppendPatterns(QByteArray& resources) {
    if (hatches_.empty()) {
        return;
    }
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
        AppendReference(resources, pattern);
    }
    resources.append(">>");
}

} // namespace Kelmora
