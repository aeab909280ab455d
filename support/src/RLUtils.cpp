#include <kelmora/support/RLUtils.h>

#include <kelmora/support/RLMessages.h>

#include <QByteArray>
#include <QColorSpace>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <numbers>
#include <random>
#include <unordered_map>
#include <vector>

namespace Kelmora {

namespace {

const QString kDefaultScratchDir = QStringLiteral(".");

// Start-up state and the scratch-file list. The engine only touches them from the GUI thread,
// but a page store may be created by a background run, so they are guarded all the same.
struct SupportState {
    std::mutex mutex;
    QString scratchDir = kDefaultScratchDir;
    QStringList keptFiles;
};

SupportState& State() {
    static SupportState state;
    return state;
}

QString ExecutableDir() {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationDirPath();
    }
    // Without an application object the kernel still knows where the program lives.
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
}

// Something exists under the name, counting a link whose target is gone: writing through such a
// link in a shared temporary directory would create a file wherever it points.
bool NameTaken(const QString& name) {
    const QFileInfo info(name);
    return info.exists() || info.isSymLink();
}

// Sine and cosine of the engine's turn angle, which runs against the mathematical sense because
// screen y points down. Quarter turns are made exact so that no pixel lands half a step off.
void TurnFactors(double angle, double& cosine, double& sine) {
    if (!std::isfinite(angle)) {
        cosine = 1;
        sine = 0;
        return;
    }
    const double turned = -angle;
    const double quarters = turned / 90.0;
    if (quarters == std::floor(quarters)) {
        static constexpr double kCos[] = {1, 0, -1, 0};
        static constexpr double kSin[] = {0, 1, 0, -1};
        const auto index = static_cast<std::size_t>(
            ((static_cast<long long>(std::fmod(quarters, 4.0)) % 4) + 4) % 4);
        cosine = kCos[index];
        sine = kSin[index];
        return;
    }
    const double radians = turned * std::numbers::pi / 180.0;
    cosine = std::cos(radians);
    sine = std::sin(radians);
}

int32_t ClampToInt32(long long value) {
    return static_cast<int32_t>(std::clamp<long long>(value, std::numeric_limits<int32_t>::min(),
                                                      std::numeric_limits<int32_t>::max()));
}

} // namespace

// ---- Start-up state ----------------------------------------------------------------------------

void InitEngineSupport() {
    QString logPath = ExecutableDir();
    if (!logPath.endsWith(u'/')) {
        logPath += u'/';
    }
    logPath += QStringLiteral("RLib.log");
    // A relative temporary directory would move with the working directory; pin it now.
    const QString scratchDir = QFileInfo(QDir::tempPath()).absoluteFilePath();
    {
        SupportState& state = State();
        const std::lock_guard lock(state.mutex);
        state.scratchDir = scratchDir;
    }
    if (QFileInfo(logPath).isFile()) {
        QFile::remove(logPath);
    }
    SelectMessagesLanguage();
}

void FinishEngineSupport() {
    QStringList files;
    {
        SupportState& state = State();
        const std::lock_guard lock(state.mutex);
        files.swap(state.keptFiles);
        state.scratchDir = kDefaultScratchDir;
    }
    // Newest first, so that a scratch folder goes after the files made in it; a folder is only
    // ever removed empty.
    for (auto file = files.crbegin(); file != files.crend(); ++file) {
        if (!QFile::remove(*file))
            QDir().rmdir(*file);
    }
}

QString ScratchDir() {
    SupportState& state = State();
    const std::lock_guard lock(state.mutex);
    return state.scratchDir;
}

// ---- Scratch files -----------------------------------------------------------------------------

QString ScratchFileName() {
    QString prefix = ScratchDir();
    if (!prefix.isEmpty() && !prefix.endsWith(u'/')) {
        prefix += u'/';
    }
    prefix += QStringLiteral("~fr");
    // Seeded afresh from the clock each time, so that two processes started together soon part.
    std::mt19937 generator(static_cast<std::mt19937::result_type>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    std::uniform_int_distribution<int32_t> number(0, 2147483646);
    for (;;) {
        QString name = prefix + QString::number(number(generator)) + QStringLiteral(".tmp");
        if (!NameTaken(name)) {
            return name;
        }
    }
}

void KeepScratchFile(const QString& fileName) {
    SupportState& state = State();
    const std::lock_guard lock(state.mutex);
    state.keptFiles.append(fileName);
}

void DropScratchFile(const QString& fileName) {
    SupportState& state = State();
    const std::lock_guard lock(state.mutex);
    state.keptFiles.removeOne(fileName);
}

// ---- Files -------------------------------------------------------------------------------------

QString PathInFolder(const QString& path, const QString& folder) {
    return QDir::isAbsolutePath(path) || folder.isEmpty() ? path : QDir(folder).filePath(path);
}

QByteArray ReadFileAtMost(const QString& path, qint64 limit) {
    const auto tooLarge = [&] {
        constexpr qint64 megabyte = 1024 * 1024;
        const QString size = limit >= megabyte && limit % megabyte == 0
                                 ? QStringLiteral("%1 MB").arg(limit / megabyte)
                                 : QStringLiteral("%1 bytes").arg(limit);
        return TRLException(QStringLiteral("%1: larger than %2").arg(path, size));
    };
    const QFileInfo info(path);
    if (info.isDir())
        throw TRLException(QStringLiteral("%1: cannot be read: it is a folder").arg(path));
    if (info.isFile() && info.size() > limit)
        throw tooLarge();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw TRLException(QStringLiteral("%1: cannot be read: %2").arg(path, file.errorString()));
    // In pieces: a pipe or a device tells no size, and whatever it says a file may grow meanwhile.
    constexpr qint64 piece = 64 * 1024;
    QByteArray bytes;
    for (;;) {
        const qint64 wanted = std::min(piece, limit + 1 - bytes.size());
        const qsizetype had = bytes.size();
        bytes.resize(had + wanted);
        const qint64 got = file.read(bytes.data() + had, wanted);
        if (got < 0)
            throw TRLException(
                QStringLiteral("%1: cannot be read: %2").arg(path, file.errorString()));
        bytes.resize(had + got);
        if (bytes.size() > limit)
            throw tooLarge();
        if (got == 0)
            return bytes;
    }
}

// ---- Text helpers ------------------------------------------------------------------------------

QImage BitmapFromHexText(const QString& text) {
    static const QString kDigits = QStringLiteral("0123456789ABCDEF");
    QByteArray bytes;
    bytes.reserve(text.size() / 2);
    for (qsizetype i = 0; i + 1 < text.size(); i += 2) {
        // Only fixed picture data is decoded here; a stray character simply counts as zero.
        const auto high = std::max<qsizetype>(kDigits.indexOf(text[i].toUpper()), 0);
        const auto low = std::max<qsizetype>(kDigits.indexOf(text[i + 1].toUpper()), 0);
        bytes.append(static_cast<char>(high * 16 + low));
    }
    QImage image;
    if (!bytes.startsWith("BM") || !image.loadFromData(bytes, "BMP")) {
        throw TRLException(QStringLiteral("Bitmap image is not valid"));
    }
    return image;
}

QString FieldOf(const QString& text, int index, QChar delimiter) {
    if (index < 1) {
        return QString();
    }
    qsizetype start = 0;
    for (int field = 1; field < index; ++field) {
        const qsizetype next = text.indexOf(delimiter, start);
        if (next < 0) {
            return QString();
        }
        start = next + 1;
    }
    const qsizetype end = text.indexOf(delimiter, start);
    return text.mid(start, end < 0 ? -1 : end - start);
}

QString WithLeadingDot(const QString& extension) {
    if (extension.isEmpty() || extension.startsWith(u'.')) {
        return extension;
    }
    return u'.' + extension;
}

QString NextComponentName(const QString& className, const QStringList& siblingNames) {
    QString prefix = className;
    if (prefix.startsWith(u'T', Qt::CaseInsensitive)) {
        prefix.remove(0, 1);
    }
    long long largest = 0;
    for (const QString& name : siblingNames) {
        if (!name.startsWith(prefix, Qt::CaseInsensitive)) {
            continue;
        }
        bool isNumber = false;
        const int number = QStringView(name).mid(prefix.size()).toInt(&isNumber);
        largest = std::max<long long>(largest, isNumber ? number : 0);
    }
    return prefix + QString::number(largest + 1);
}

// ---- Rectangles --------------------------------------------------------------------------------

TRLRect FitRectKeepAspect(const TRLRect& source, const TRLRect& target, bool centre) {
    const long long sw = WidthOfRect(source);
    const long long sh = HeightOfRect(source);
    const long long tw = WidthOfRect(target);
    const long long th = HeightOfRect(target);
    long long width = 0;
    long long height = 0;
    if (sw > 0 && sh > 0) {
        // tw / sw < th / sh, compared exactly on integers.
        if (tw * sh < th * sw) {
            width = tw;
            height = static_cast<long long>(std::nearbyint(static_cast<double>(tw) * sh / sw));
        } else {
            height = th;
            width = static_cast<long long>(std::nearbyint(static_cast<double>(th) * sw / sh));
        }
    }
    long long left = target.Left;
    long long top = target.Top;
    if (centre) {
        left += (tw - width) / 2;
        top += (th - height) / 2;
    }
    return {ClampToInt32(left), ClampToInt32(top), ClampToInt32(left + width),
            ClampToInt32(top + height)};
}

// ---- Point sets --------------------------------------------------------------------------------

TRLRect BoundsOfPoints(const TRLPointArray& points) {
    if (points.empty()) {
        return {};
    }
    TRLRect bounds{points.front().X, points.front().Y, points.front().X, points.front().Y};
    for (const TRLPoint& p : points) {
        bounds.Left = std::min(bounds.Left, p.X);
        bounds.Top = std::min(bounds.Top, p.Y);
        bounds.Right = std::max(bounds.Right, p.X);
        bounds.Bottom = std::max(bounds.Bottom, p.Y);
    }
    return bounds;
}

TRLSize SizeOfPoints(const TRLPointArray& points) {
    const TRLRect bounds = BoundsOfPoints(points);
    return {WidthOfRect(bounds), HeightOfRect(bounds)};
}

TRLPointArray TurnPoints(TRLPointArray points, double angle) {
    if (points.empty()) {
        return points;
    }
    double sumX = 0;
    double sumY = 0;
    for (const TRLPoint& p : points) {
        sumX += p.X;
        sumY += p.Y;
    }
    const auto count = static_cast<double>(points.size());
    const int32_t centreX = RoundHalfEven(sumX / count);
    const int32_t centreY = RoundHalfEven(sumY / count);
    double cosine = 1;
    double sine = 0;
    TurnFactors(angle, cosine, sine);
    for (TRLPoint& p : points) {
        const double x = static_cast<double>(p.X) - centreX;
        const double y = static_cast<double>(p.Y) - centreY;
        p.X = RoundHalfEven(x * cosine - y * sine) + centreX;
        p.Y = RoundHalfEven(x * sine + y * cosine) + centreY;
    }
    return points;
}

TRLPointArray CentrePointsIn(TRLPointArray points, const TRLRect& r) {
    const TRLRect bounds = BoundsOfPoints(points);
    const int32_t dx = r.Left - bounds.Left + (WidthOfRect(r) - WidthOfRect(bounds)) / 2;
    const int32_t dy = r.Top - bounds.Top + (HeightOfRect(r) - HeightOfRect(bounds)) / 2;
    for (TRLPoint& p : points) {
        p.X += dx;
        p.Y += dy;
    }
    return points;
}

// ---- Text measurement --------------------------------------------------------------------------

// Advances of one font at 96 pixels per inch, each measured on first use under the font's own
// lock. A Latin-1 character's, once known, never changes, so it is read without the lock: each
// is measured at most once, and only those a report shows (measuring all 256 took a fifth of a
// short report's start).
struct TRLFontAdvances {
    explicit TRLFontAdvances(const QFontMetrics& fm)
        : metrics(fm), height(fm.height()), ascent(fm.ascent()) {
        for (std::atomic<int>& advance : latin) {
            advance.store(kUnknown, std::memory_order_relaxed);
        }
    }

    int Advance(char32_t codePoint) {
        if (codePoint < latin.size()) {
            const int known = latin[codePoint].load(std::memory_order_relaxed);
            if (known != kUnknown) {
                return known;
            }
        }
        const std::lock_guard lock(mutex);
        if (codePoint < latin.size()) {
            const int advance = metrics.horizontalAdvance(QChar(static_cast<char16_t>(codePoint)));
            latin[codePoint].store(advance, std::memory_order_relaxed);
            return advance;
        }
        const auto found = other.find(codePoint);
        if (found != other.end()) {
            return found->second;
        }
        const int advance = metrics.horizontalAdvance(QString::fromUcs4(&codePoint, 1));
        other.emplace(codePoint, advance);
        return advance;
    }

    std::mutex mutex;
    QFontMetrics metrics;
    // Asked for every label printed and every font a page is drawn in; the metrics would look
    // the font engine up each time.
    const int height;
    const int ascent;
    static constexpr int kUnknown = std::numeric_limits<int>::min();
    std::array<std::atomic<int>, 256> latin;
    std::unordered_map<char32_t, int> other;
};

namespace {

class AdvanceCache {
public:
    // The advances of font. Whoever holds them keeps them, should the cache forget the font.
    std::shared_ptr<TRLFontAdvances> Of(const QFont& font) {
        // Texts come in runs of a few fonts on each thread (a report preparing, pages painted
        // beside it, each page in its title's, headings' and rows' fonts): comparing with the
        // thread's last ones is far cheaper than building the font's key, and takes no lock that
        // the other threads wait on.
        thread_local std::array<Recent, 4> recent;
        thread_local std::size_t nextRecent = 0;
        for (const Recent& seen : recent) {
            if (seen.Advances != nullptr && font == seen.Font &&
                font.hintingPreference() == seen.Font.hintingPreference()) {
                return seen.Advances;
            }
        }
        // The key leaves out the hinting preference, which can change a glyph's advance.
        const QString key = font.key() + u'/' + QString::number(font.hintingPreference());
        const std::lock_guard lock(mutex_);
        auto found = fonts_.find(key);
        if (found == fonts_.end()) {
            // Reports use a handful of fonts; a runaway caller must not grow this for ever.
            if (fonts_.size() >= kMaxFonts) {
                fonts_.clear();
            }
            found = fonts_.emplace(key, std::make_shared<TRLFontAdvances>(Metrics(font))).first;
        }
        Recent& kept = recent[nextRecent];
        nextRecent = (nextRecent + 1) % recent.size();
        kept = {font, found->second};
        return kept.Advances;
    }

private:
    static constexpr std::size_t kMaxFonts = 256;

    struct Recent {
        QFont Font;
        std::shared_ptr<TRLFontAdvances> Advances;
    };

    QFontMetrics Metrics(const QFont& font) {
        if (canvas_.isNull()) {
            canvas_ = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
            canvas_.setDotsPerMeterX(3780); // 96 per inch
            canvas_.setDotsPerMeterY(3780);
        }
        return QFontMetrics(font, &canvas_);
    }

    std::mutex mutex_;
    QImage canvas_;
    std::unordered_map<QString, std::shared_ptr<TRLFontAdvances>> fonts_;
};

AdvanceCache& Advances() {
    static AdvanceCache cache;
    return cache;
}

} // namespace

std::shared_ptr<TRLFontAdvances> FontAdvancesOf(const QFont& font) {
    return Advances().Of(font);
}

int32_t TextWidthIn(TRLFontAdvances& advances, const QString& text) {
    long long width = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        width += advances.Advance(c);
    }
    return ClampToInt32(width);
}

int32_t TextHeightIn(const TRLFontAdvances& advances) {
    return static_cast<int32_t>(advances.height);
}

int32_t TextWidthOf(const QFont& font, const QString& text) {
    if (text.isEmpty()) {
        return 0;
    }
    return TextWidthIn(*Advances().Of(font), text);
}

int32_t TextHeightOf(const QFont& font) {
    return TextHeightIn(*Advances().Of(font));
}

int32_t FontAscentOf(const QFont& font) {
    return static_cast<int32_t>(Advances().Of(font)->ascent);
}

// ---- Rotated bitmaps ---------------------------------------------------------------------------

QImage TurnedBitmap(const QImage& bitmap, double angle) {
    if (bitmap.isNull()) {
        return QImage();
    }
    const int w = bitmap.width();
    const int h = bitmap.height();
    // The corners are pixel centres, so the turned picture spans one pixel more than the
    // distance between its outermost corners: a turn by 0 gives back the same size.
    const TRLSize span =
        SizeOfPoints(TurnPoints({{0, 0}, {w - 1, 0}, {w - 1, h - 1}, {0, h - 1}}, angle));
    const int tw = span.Width + 1;
    const int th = span.Height + 1;

    const QImage::Format format =
        bitmap.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    const QImage source = bitmap.convertToFormat(format);
    QImage target(tw, th, format);
    if (target.isNull()) {
        throw TRLException(QStringLiteral("Out of memory while turning a bitmap"));
    }
    target.setDotsPerMeterX(bitmap.dotsPerMeterX());
    target.setDotsPerMeterY(bitmap.dotsPerMeterY());
    target.setColorSpace(bitmap.colorSpace());

    double cosine = 1;
    double sine = 0;
    TurnFactors(angle, cosine, sine);
    const QRgb outside = source.pixel(0, 0);
    // Doubled coordinates keep both centres on whole numbers, even for even sizes.
    for (int ty = 0; ty < th; ++ty) {
        auto* line = reinterpret_cast<QRgb*>(target.scanLine(ty));
        const double dy = 2.0 * ty - (th - 1);
        for (int tx = 0; tx < tw; ++tx) {
            const double dx = 2.0 * tx - (tw - 1);
            const double sx = (dx * cosine + dy * sine + (w - 1)) / 2.0;
            const double sy = (-dx * sine + dy * cosine + (h - 1)) / 2.0;
            const int px = RoundHalfEven(sx);
            const int py = RoundHalfEven(sy);
            if (px < 0 || py < 0 || px >= w || py >= h) {
                line[tx] = outside;
            } else {
                line[tx] = reinterpret_cast<const QRgb*>(source.constScanLine(py))[px];
            }
        }
    }
    return target;
}

} // namespace Kelmora
