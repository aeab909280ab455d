#include <kelmora/report/RLGraphicControls.h>

#include <kelmora/pagestore/RLGraphicData.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/report/RLReport.h>
#include <kelmora/support/RLMessages.h>
#include <kelmora/support/RLUtils.h>

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>
#include <optional>

namespace Kelmora {

// ---- value names -----------------------------------------------------------------------------

const QStringList& PenModeNames() {
    static const QStringList names = {
        "pmBlack",       "pmWhite",      "pmNop",         "pmNot",        "pmCopy",  "pmNotCopy",
        "pmMergePenNot", "pmMaskPenNot", "pmMergeNotPen", "pmMaskNotPen", "pmMerge", "pmNotMerge",
        "pmMask",        "pmNotMask",    "pmXor",         "pmNotXor"};
    return names;
}

const QStringList& PenStyleNames() {
    static const QStringList names = {"psSolid",      "psDash",  "psDot",        "psDashDot",
                                      "psDashDotDot", "psClear", "psInsideFrame"};
    return names;
}

const QStringList& BrushStyleNames() {
    static const QStringList names = {"bsSolid",     "bsClear",     "bsHorizontal", "bsVertical",
                                      "bsFDiagonal", "bsBDiagonal", "bsCross",      "bsDiagCross"};
    return names;
}

const QStringList& DrawKindNames() {
    static const QStringList names = {"dkRectangle", "dkLine",  "dkTriangle",
                                      "dkElipse",    "dkArrow", "dkCustom"};
    return names;
}

const QStringList& DrawOptionNames() {
    static const QStringList names = {"doKeepAspectRatio", "doKeepSize", "doKeepVisible"};
    return names;
}

const QStringList& LegacyDrawKindNames() {
    static const QStringList names = {"dkRectangle", "dkLine",     "dkTriangle",
                                      "dkElipse",    "dkArrow",    "dkCircle",
                                      "dkHorzLine",  "dkVertLine", "dkReverseLine"};
    return names;
}

// ---- shape points ----------------------------------------------------------------------------

TRLPointArray DrawKindPoints(TRLDrawKind kind) {
    switch (kind) {
    case dkRectangle:
        return {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    case dkLine:
        return {{0, 0}, {1, 0}};
    case dkTriangle:
        return {{0, 87}, {50, 0}, {100, 87}};
    case dkElipse: {
        TRLPointArray points;
        for (int i = 0; i < 36; ++i) {
            const double a = i * 2 * std::numbers::pi / 36;
            points.push_back({RoundHalfEven(std::cos(a) * 1000 + 1000),
                              RoundHalfEven(std::sin(a) * 1000 + 1000)});
        }
        return points;
    }
    case dkArrow:
        return {{0, 2}, {5, 2}, {5, 0}, {8, 3}, {5, 6}, {5, 4}, {0, 4}};
    case dkCustom:
        break;
    }
    return {};
}

QStringList DrawDataOfPoints(const TRLPointArray& points) {
    QStringList lines;
    for (const TRLPoint& p : points)
        lines << QStringLiteral("%1 %2").arg(p.X).arg(p.Y);
    return lines;
}

TRLPointArray ParseDrawData(const QString& text) {
    std::vector<int32_t> numbers;
    qsizetype i = 0;
    const qsizetype length = text.size();
    while (i < length) {
        const QChar c = text[i];
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            qint64 value = 0;
            while (i < length && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9')) {
                // Absurdly long digit runs saturate instead of overflowing.
                value = std::min<qint64>(value * 10 + (text[i].unicode() - '0'), INT32_MAX);
                ++i;
            }
            numbers.push_back(static_cast<int32_t>(value));
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
                   c == QLatin1Char('\r') || c.unicode() == 26) {
            ++i;
        } else {
            break;
        }
    }
    TRLPointArray points;
    for (size_t k = 0; k + 1 < numbers.size(); k += 2)
        points.push_back({numbers[k], numbers[k + 1]});
    return points;
}

// ---- TRLCustomDraw ---------------------------------------------------------------------------

TRLCustomDraw::TRLCustomDraw(TRLCustomControl* parent) : TRLCustomControl(parent) {
    drawData_ = DrawDataOfPoints(DrawKindPoints(drawKind_));
    SetBounds(Left(), Top(), 48, 48);
}

void TRLCustomDraw::SetDrawKind(TRLDrawKind kind) {
    if (kind == drawKind_ || kind >= DrawKindCount)
        return;
    drawKind_ = kind;
    if (kind != dkCustom)
        drawData_ = DrawDataOfPoints(DrawKindPoints(kind));
}

void TRLCustomDraw::SetDrawData(const QStringList& data) {
    if (data.join(QStringLiteral("\r\n")) == drawData_.join(QStringLiteral("\r\n")))
        return;
    drawData_ = data;
    drawKind_ = dkCustom;
}

template <class T> void TRLCustomDraw::SetSizing(T& field, const T& value) {
    if (value == field)
        return;
    field = value;
    if (!Loading())
        AdjustBounds();
}

void TRLCustomDraw::SetOptions(TRLDrawOptions v) {
    SetSizing(options_, v);
}

void TRLCustomDraw::SetDrawWidth(int v) {
    SetSizing(drawWidth_, v);
}

void TRLCustomDraw::SetDrawHeight(int v) {
    SetSizing(drawHeight_, v);
}

void TRLCustomDraw::SetLegacyKind(const QString& kind) {
    const int index = static_cast<int>(LegacyDrawKindNames().indexOf(kind));
    if (index < 0)
        return;
    const TRLDrawOptions keepSize{doKeepSize};
    switch (index) {
    case 0: // dkRectangle
    case 2: // dkTriangle
    case 3: // dkElipse
    case 4: // dkArrow
        SetDrawKind(static_cast<TRLDrawKind>(index));
        SetOptions(keepSize);
        break;
    case 1: // dkLine: the old line ran corner to corner
        SetDrawData({QStringLiteral("0 0 1 1")});
        SetOptions(keepSize);
        break;
    case 5: // dkCircle
        SetDrawKind(dkElipse);
        SetOptions({doKeepAspectRatio});
        break;
    case 6: // dkHorzLine
        SetDrawKind(dkLine);
        SetOptions(keepSize);
        break;
    case 7: // dkVertLine
        SetDrawKind(dkLine);
        SetOptions({doKeepSize, doKeepVisible});
        SetAngle(Angle() + 90);
        break;
    case 8: // dkReverseLine
        SetDrawData({QStringLiteral("1 0 0 1")});
        SetOptions(keepSize);
        break;
    default:
        break;
    }
}

TRLPointArray TRLCustomDraw::Fit(TRLPointArray points, const TRLRect& rect) const {
    TRLRect box = rect;
    if (drawWidth_ != 0)
        box.Right = box.Left + drawWidth_;
    if (drawHeight_ != 0)
        box.Bottom = box.Top + drawHeight_;
    if (options_.Contains(doKeepVisible)) {
        const int side = std::min(WidthOfRect(box), HeightOfRect(box));
        box.Right = box.Left + side;
        box.Bottom = box.Top + side;
    }
    const TRLRect b = BoundsOfPoints(points);
    double sx = WidthOfRect(b) == 0 ? 0.0 : static_cast<double>(WidthOfRect(box)) / WidthOfRect(b);
    double sy =
        HeightOfRect(b) == 0 ? 0.0 : static_cast<double>(HeightOfRect(box)) / HeightOfRect(b);
    if (options_.Contains(doKeepAspectRatio)) {
        if (sx == 0)
            sx = sy;
        else if (sy == 0)
            sy = sx;
        else
            sx = sy = std::min(sx, sy);
    } else {
        if (sx == 0)
            sx = 1;
        if (sy == 0)
            sy = 1;
    }
    for (TRLPoint& p : points) {
        p.X = RoundHalfEven((static_cast<double>(p.X) - b.Left) * sx) + box.Left;
        p.Y = RoundHalfEven((static_cast<double>(p.Y) - b.Top) * sy) + box.Top;
    }
    return points;
}

TRLPointArray TRLCustomDraw::ShapePoints(const TRLRect& area) const {
    TRLRect rect = area;
    // The outline is drawn on the points themselves: keep the last row and column and half a
    // wide pen inside the rectangle.
    rect.Right -= 1;
    rect.Bottom -= 1;
    const int w = pen_.Width();
    if (w > 1) {
        rect.Left += w / 2;
        rect.Top += w / 2;
        rect.Right -= (w - 1) / 2;
        rect.Bottom -= (w - 1) / 2;
    }
    TRLPointArray points = drawKind_ == dkCustom
                               ? ParseDrawData(drawData_.join(QStringLiteral("\r\n")))
                               : DrawKindPoints(drawKind_);
    if (points.empty())
        return points;
    points = Fit(std::move(points), rect);
    points = TurnPoints(std::move(points), angle_);
    if (!options_.Contains(doKeepSize))
        points = Fit(std::move(points), rect);
    if (center_)
        points = CentrePointsIn(std::move(points), rect);
    return points;
}

void TRLCustomDraw::Print() {
    TRLCustomControl::Print();
    const TRLRect rect = CalcPrintClientRect();
    TRLGraphicSurface& surface = RequestParentSurface();
    BeginRecording(surface);
    surface.SetBrush(brush_.Value());
    surface.SetPen(pen_.Value());
    const TRLPointArray points = ShapePoints(rect);
    if (!points.empty())
        surface.Polygon(points);
}

// ---- TRLCustomImage --------------------------------------------------------------------------

TRLCustomImage::TRLCustomImage(TRLCustomControl* parent) : TRLCustomControl(parent) {
    SetBounds(Left(), Top(), 105, 105);
    SetAutoSizeDirection(asBothDirs);
}

void TRLCustomImage::SetPicture(const QImage& picture) {
    picture_ = picture;
    recorded_ = QImage();
    if (!Loading())
        ShowPicture(ShownPicture());
}

const QImage& TRLCustomImage::ShownPicture() const {
    return IsPreparing() && !expression_.IsEmpty() ? recordPicture_ : picture_;
}

void TRLCustomImage::ShowPicture(const QImage& picture) {
    if (AutoSize() && picture.width() > 0 && picture.height() > 0) {
        const TRLSize size = CalcSize();
        SetBounds(Left(), Top(), size.Width, size.Height);
    }
}

bool TRLCustomImage::CanPrint() {
    if (!TRLCustomControl::CanPrint())
        return false;
    if (!IsPreparing() || expression_.IsEmpty())
        return true;
    const QString value = IsBlankRecord() ? QString() : ExpressionText(expression_);
    // Records that name the same picture one after another (a logo, a product's photo on each
    // of its lines) read it once.
    if (value != recordValue_) {
        QImage picture;
        try {
            picture =
                PictureFromRecordValue(value, RequireParentReport().RootReport().LayoutFolder());
        } catch (const TRLException& e) {
            throw ExpressionError(e);
        }
        recordPicture_ = picture;
        recordValue_ = value;
        recorded_ = QImage();
    }
    // A band puts its controls' bounds back after every print: the size follows each record.
    ShowPicture(recordPicture_);
    return true;
}

void TRLCustomImage::LoadPicture(const QString& path) {
    QString tooLarge;
    const QImage image = LoadPictureFile(path, &tooLarge);
    if (!tooLarge.isEmpty())
        throw TRLException(QStringLiteral("%1.Picture: %2: %3")
                               .arg(Name(), QDir::toNativeSeparators(path), tooLarge));
    if (image.isNull())
        throw TRLException(RLMessages[mkNotFound] + QStringLiteral(": ") +
                           QDir::toNativeSeparators(path));
    SetPicture(image);
}

void TRLCustomImage::SetScaled(bool v) {
    scaled_ = v;
    recorded_ = QImage();
    if (v)
        stretch_ = false;
}

void TRLCustomImage::SetStretch(bool v) {
    stretch_ = v;
    recorded_ = QImage();
    if (v)
        scaled_ = false;
}

TRLSize TRLCustomImage::CalcSize() {
    const QImage& picture = ShownPicture();
    if (picture.isNull() || !AutoSize())
        return {Width(), Height()};
    const TRLBorders& b = Borders();
    const int w = picture.width() + (b.CanDrawLeft() ? b.Width() + 1 : 0) +
                  (b.CanDrawRight() ? b.Width() + 1 : 0);
    const int h = picture.height() + (b.CanDrawTop() ? b.Width() + 1 : 0) +
                  (b.CanDrawBottom() ? b.Width() + 1 : 0);
    return {w, h};
}

void TRLCustomImage::Print() {
    TRLCustomControl::Print();
    const TRLRect rect = CalcPrintClientRect();
    const QImage& picture = ShownPicture();
    if (picture.isNull())
        return;
    TRLGraphicSurface& surface = RequestParentSurface();
    BeginRecording(surface);
    if (scaled_) {
        const TRLRect box =
            FitRectKeepAspect({0, 0, picture.width(), picture.height()}, rect, center_);
        surface.StretchDraw(box, PictureFor(box), false);
    } else if (stretch_)
        surface.StretchDraw(rect, PictureFor(rect), false);
    else
        surface.ClipDraw(rect, picture, center_);
}

const QImage& TRLCustomImage::PictureFor(const TRLRect& box) {
    const qint64 most = kPixelsPerReportPixel;
    const QSize limit(static_cast<int>(std::clamp<qint64>(most * WidthOfRect(box), 1, INT_MAX)),
                      static_cast<int>(std::clamp<qint64>(most * HeightOfRect(box), 1, INT_MAX)));
    const QImage& picture = ShownPicture();
    if (picture.width() <= limit.width() && picture.height() <= limit.height())
        return picture;
    // Reduced once for all the records that print the same picture in the same box.
    if (recorded_.isNull() || recordedFor_ != limit) {
        recorded_ = picture.scaled(
            std::min(limit.width(), picture.width()), std::min(limit.height(), picture.height()),
            scaled_ ? Qt::KeepAspectRatio : Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        recordedFor_ = limit;
    }
    return recorded_;
}

// ---- pictures from the records ---------------------------------------------------------------

namespace {

// A value as an error shows it: a picture's data can run to megabytes.
QString ShownValue(const QString& value) {
    constexpr qsizetype most = 60;
    return QLatin1Char('"') +
           (value.size() > most ? value.left(most) + QStringLiteral("...") : value) +
           QLatin1Char('"');
}

QImage DecodedPicture(const QByteArray& bytes, const QString& what) {
    QString refusal;
    QImage image = LoadPicture(bytes, &refusal);
    if (image.isNull())
        throw TRLException(
            QStringLiteral("%1 is not a picture that can be read%2")
                .arg(what, refusal.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(refusal)));
    return image;
}

// Base64 as JSON carries it (line breaks allowed); nothing for any other text.
std::optional<QByteArray> Base64Data(const QString& text) {
    QByteArray ascii;
    ascii.reserve(text.size());
    for (const QChar c : text) {
        if (c.isSpace())
            continue;
        if (c.unicode() > 127)
            return std::nullopt;
        ascii += static_cast<char>(c.unicode());
    }
    if (ascii.isEmpty() || ascii.size() % 4 != 0)
        return std::nullopt;
    auto result = QByteArray::fromBase64Encoding(ascii, QByteArray::AbortOnBase64DecodingErrors);
    if (!result)
        return std::nullopt;
    return std::move(*result);
}

} // namespace

QImage PictureFromRecordValue(const QString& value, const QString& folder) {
    const QString text = value.trimmed();
    if (text.isEmpty())
        return QImage();

    static const QString dataScheme = QStringLiteral("data:");
    if (text.startsWith(dataScheme, Qt::CaseInsensitive)) {
        const qsizetype comma = text.indexOf(QLatin1Char(','));
        const bool base64 =
            comma > 0 && QStringView(text).left(comma).endsWith(u";base64", Qt::CaseInsensitive);
        const std::optional<QByteArray> data =
            base64 ? Base64Data(text.mid(comma + 1)) : std::nullopt;
        if (!data)
            throw TRLException(QStringLiteral("%1 is not a \"data:\" value with base64 data "
                                              "(\"data:image/png;base64,...\")")
                                   .arg(ShownValue(text)));
        return DecodedPicture(*data, QStringLiteral("the data of %1").arg(ShownValue(text)));
    }

    // A path is one line of at most a few thousand characters; longer texts are data.
    constexpr qsizetype longestPath = 4096;
    const bool pathLike = text.size() <= longestPath && !text.contains(QLatin1Char('\n'));
    const QString path = PathInFolder(text, folder);
    if (pathLike && QFileInfo(path).isFile()) {
        QString refusal;
        QImage image = LoadPictureFile(path, &refusal);
        if (image.isNull())
            throw TRLException(
                QStringLiteral("not a picture that can be read: %1%2")
                    .arg(QDir::toNativeSeparators(path),
                         refusal.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(refusal)));
        return image;
    }

    QString refusal;
    if (const std::optional<QByteArray> data = Base64Data(text)) {
        QImage image = LoadPicture(*data, &refusal);
        if (!image.isNull())
            return image;
        if (!refusal.isEmpty())
            throw TRLException(
                QStringLiteral("the picture data of the record is too large: %1").arg(refusal));
    }
    // A picture written as text (SVG, XPM) comes as it is.
    QImage image = LoadPicture(text.toUtf8(), &refusal);
    if (!image.isNull())
        return image;
    if (pathLike && !text.contains(QLatin1Char('<')))
        throw TRLException(
            QStringLiteral("picture file not found: %1").arg(QDir::toNativeSeparators(path)));
    throw TRLException(
        QStringLiteral("%1 is neither a picture file nor picture data").arg(ShownValue(text)));
}

} // namespace Kelmora
