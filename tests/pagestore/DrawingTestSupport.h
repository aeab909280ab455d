// Pixel helpers for the drawing tests: every test draws onto a real image and reads it back.
#pragma once

#include <QImage>
#include <QRect>

#include <utility>
#include <vector>

using namespace Kelmora;

namespace drawtest {

// A white 32-bit image at 96 pixels per inch (Qt's default for new images).
inline QImage WhiteImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

inline bool IsInk(const QImage& image, int x, int y) {
    return (image.pixel(x, y) & 0xFFFFFFu) != 0xFFFFFFu;
}

// Smallest rectangle holding every non-white pixel of area (the whole image by default); a null
// rectangle when there is none.
inline QRect InkBounds(const QImage& image, const QRect& area = QRect()) {
    QRect bounds;
    const QRect r = area.isNull() ? image.rect() : area & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (IsInk(image, x, y))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

inline int CountInk(const QImage& image, const QRect& area) {
    int count = 0;
    const QRect r = area & image.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            count += IsInk(image, x, y) ? 1 : 0;
    return count;
}

// Runs of pixels of one colour along a row or a column: (start, length) pairs.
using TRuns = std::vector<std::pair<int, int>>;
inline TRuns Runs(const QImage& image, QRgb color, int index, bool alongRow) {
    TRuns runs;
    for (int i = 0; i < (alongRow ? image.width() : image.height()); ++i) {
        const QRgb pixel = alongRow ? image.pixel(i, index) : image.pixel(index, i);
        if ((pixel | 0xFF000000u) != (color | 0xFF000000u))
            continue;
        if (!runs.empty() && runs.back().first + runs.back().second == i)
            ++runs.back().second;
        else
            runs.emplace_back(i, 1);
    }
    return runs;
}

} // namespace drawtest
