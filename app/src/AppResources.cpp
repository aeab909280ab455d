#include "AppResources.h"

#include <kelmora/dialogs/RLAccessibility.h>
#include <kelmora/dialogs/RLDialogLayout.h>
#include <kelmora/pagestore/RLGraphicData.h>

#include <QBitmap>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QWidget>

#include <mutex>

// Outside any namespace: Q_INIT_RESOURCE names a global function.
static void InitAppQrc() {
    Q_INIT_RESOURCE(app);
}

namespace Kelmora {

void PrepareAppResources() {
    static std::once_flag once;
    std::call_once(once, [] {
        InitAppQrc();
        // The windows are laid out in pixels for the classic 8-point dialog face. Liberation
        // Sans has Arial's widths, close enough to that face for every caption to fit where it
        // was placed; the default sans face here is much wider.
        QFont::insertSubstitution(QStringLiteral("MS Sans Serif"),
                                  QStringLiteral("Liberation Sans"));
    });
}

namespace {

QImage LoadImage(const QString& resource) {
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return LoadPicture(file.readAll());
}

} // namespace

QPixmap AppPicture(const QString& resource) {
    return QPixmap::fromImage(LoadImage(resource));
}

QPixmap AppGlyph(const QString& resource) {
    const QImage image = LoadImage(resource).convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) {
        return {};
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    const QRgb transparent = image.pixel(0, image.height() - 1);
    pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(transparent, Qt::MaskInColor)));
    return pixmap;
}

QIcon AppGlyphIcon(const QString& resource) {
    return SharpGlyphIcon(AppGlyph(resource).toImage());
}

QFont DesignFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    return font;
}

void FixDialogFrame(QWidget& dialog) {
    dialog.setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog.setFixedSize(dialog.size());
}

void CentreOnScreen(QWidget& window) {
    CentreOnItsScreen(window);
}

} // namespace Kelmora
