#include <kelmora/dialogs/RLAccessibility.h>

#include <QAccessibleWidget>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QVariant>
#include <QWidget>

namespace Kelmora {

namespace {

constexpr char kRoleProperty[] = "_kelmora_accessible_role";

// Consulted before the toolkit's own factories, for every class of a widget's chain: it answers
// only for the widgets that were given a role, and leaves the rest to the toolkit.
QAccessibleInterface* RoleFactory(const QString&, QObject* object) {
    if (!object || !object->isWidgetType())
        return nullptr;
    const QVariant role = object->property(kRoleProperty);
    if (!role.isValid())
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object),
                                 static_cast<QAccessible::Role>(role.toInt()));
}

// The sign inside an icon: the letter i, an exclamation mark, a question mark or a cross, drawn
// in a box of side 1 so that it scales with the icon.
void DrawSign(QPainter& painter, QMessageBox::Icon icon, const QColor& colour) {
    QPen pen(colour, 0.12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(colour);
    switch (icon) {
    case QMessageBox::Information:
        painter.drawLine(QPointF(0.5, 0.45), QPointF(0.5, 0.74));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPointF(0.5, 0.29), 0.075, 0.075);
        break;
    case QMessageBox::Warning:
        painter.drawLine(QPointF(0.5, 0.38), QPointF(0.5, 0.66));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPointF(0.5, 0.79), 0.07, 0.07);
        break;
    case QMessageBox::Critical:
        painter.drawLine(QPointF(0.34, 0.34), QPointF(0.66, 0.66));
        painter.drawLine(QPointF(0.66, 0.34), QPointF(0.34, 0.66));
        break;
    case QMessageBox::Question: {
        QPainterPath hook;
        hook.moveTo(0.36, 0.38);
        hook.cubicTo(0.36, 0.2, 0.64, 0.2, 0.64, 0.38);
        hook.cubicTo(0.64, 0.5, 0.5, 0.5, 0.5, 0.62);
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(hook);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawEllipse(QPointF(0.5, 0.77), 0.07, 0.07);
        break;
    }
    case QMessageBox::NoIcon:
        break;
    }
}

} // namespace

void SetAccessibleRole(QWidget& widget, QAccessible::Role role) {
    static const bool installed = [] {
        QAccessible::installFactory(RoleFactory);
        return true;
    }();
    Q_UNUSED(installed);
    widget.setProperty(kRoleProperty, static_cast<int>(role));
}

QPixmap MessageIconPixmap(QMessageBox::Icon icon, int size, qreal devicePixelRatio) {
    if (icon == QMessageBox::NoIcon || size <= 0)
        return {};
    const qreal ratio = devicePixelRatio > 0 ? devicePixelRatio : 1;
    const int side = qRound(size * ratio);
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    pixmap.setDevicePixelRatio(ratio);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn in logical pixels, each shape a path rather than a picture: the painter puts every
    // edge on the device's own pixels, whatever the ratio.
    painter.scale(size, size);
    const QColor white(Qt::white);
    switch (icon) {
    case QMessageBox::Warning: {
        QPainterPath triangle;
        triangle.moveTo(0.5, 0.06);
        triangle.lineTo(0.96, 0.92);
        triangle.lineTo(0.04, 0.92);
        triangle.closeSubpath();
        painter.setPen(
            QPen(QColor(0x8a, 0x5d, 0x00), 0.04, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(QColor(0xf5, 0xc2, 0x11));
        painter.drawPath(triangle);
        DrawSign(painter, icon, Qt::black);
        break;
    }
    default: {
        const QColor fill =
            icon == QMessageBox::Critical ? QColor(0xc0, 0x1c, 0x28) : QColor(0x1c, 0x71, 0xd8);
        painter.setPen(QPen(fill.darker(130), 0.04));
        painter.setBrush(fill);
        painter.drawEllipse(QPointF(0.5, 0.5), 0.46, 0.46);
        DrawSign(painter, icon, white);
        break;
    }
    }
    return pixmap;
}

QIcon SharpGlyphIcon(const QImage& glyph) {
    QIcon icon;
    if (glyph.isNull())
        return icon;
    icon.addPixmap(QPixmap::fromImage(glyph));
    for (const int ratio : {2, 3}) {
        QPixmap scaled = QPixmap::fromImage(
            glyph.scaled(glyph.size() * ratio, Qt::IgnoreAspectRatio, Qt::FastTransformation));
        scaled.setDevicePixelRatio(ratio);
        icon.addPixmap(scaled);
    }
    return icon;
}

void UseSharpMessageIcon(QMessageBox& box) {
    const QMessageBox::Icon icon = box.icon();
    if (icon == QMessageBox::NoIcon)
        return;
    const int size = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
    box.setIconPixmap(MessageIconPixmap(icon, size, box.devicePixelRatio()));
}

void ShowCriticalMessage(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox box(QMessageBox::Critical, title, text, QMessageBox::Ok, parent);
    UseSharpMessageIcon(box);
    box.exec();
}

} // namespace Kelmora
