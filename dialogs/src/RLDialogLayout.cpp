#include <kelmora/dialogs/RLDialogLayout.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QCursor>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSet>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace Kelmora {

QFont EngineDialogFont() {
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial")});
    font.setPixelSize(11);
    return font;
}

QScreen* ScreenForWindow(const QWidget& window) {
    if (const QWidget* parent = window.parentWidget())
        return parent->window()->screen();
    if (const QWindow* handle = window.windowHandle()) {
        if (const QWindow* transientParent = handle->transientParent())
            return transientParent->screen();
    }
    if (QScreen* underPointer = QGuiApplication::screenAt(QCursor::pos()))
        return underPointer;
    return QGuiApplication::primaryScreen();
}

void CentreOnItsScreen(QWidget& window) {
    const QScreen* screen = ScreenForWindow(window);
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize frame = window.frameGeometry().size();
    window.move(area.x() + (area.width() - frame.width()) / 2,
                area.y() + (area.height() - frame.height()) / 2);
}

namespace {

// Controls placed this close to each other's left edge are taken as lined up in one column.
constexpr int kLinedUp = 2;
// Room that a push or tool button needs beside its caption: its frame and a margin each side.
constexpr int kButtonPadding = 8;
// A push button whose right edge is this close to its parent's right edge stays with that edge.
constexpr int kRightAnchor = 16;

std::vector<QWidget*> Controls(QWidget& parent) {
    std::vector<QWidget*> controls;
    for (QObject* object : parent.children()) {
        auto* widget = qobject_cast<QWidget*>(object);
        if (widget && !widget->isWindow())
            controls.push_back(widget);
    }
    return controls;
}

QRect GroupTitleRect(const QGroupBox& group) {
    QStyleOptionGroupBox option;
    option.initFrom(&group);
    option.text = group.title();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    return group.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel,
                                         &group);
}

// The width a control's caption asks for; the control's own width for controls without one.
int NeededWidth(const QWidget& control) {
    if (qobject_cast<const QCheckBox*>(&control) || qobject_cast<const QRadioButton*>(&control) ||
        qobject_cast<const QLabel*>(&control))
        return control.sizeHint().width();
    // A push or tool button's size hint carries the style's smallest button; only its caption
    // is wanted here.
    if (auto* button = qobject_cast<const QAbstractButton*>(&control)) {
        if (button->text().isEmpty())
            return control.width();
        return control.fontMetrics().horizontalAdvance(QString(button->text()).remove(u'&')) +
               kButtonPadding;
    }
    if (auto* group = qobject_cast<const QGroupBox*>(&control)) {
        if (!group->title().isEmpty())
            return GroupTitleRect(*group).right() + 1 + kLinedUp * 4;
    }
    return control.width();
}

// Whether two places share rows (across) or columns (down).
bool SameBand(const QRect& a, const QRect& b, bool across) {
    return across ? a.top() <= b.bottom() && b.top() <= a.bottom()
                  : a.left() <= b.right() && b.left() <= a.right();
}

// Moves aside, by delta, the siblings of grown that stand beyond its old far edge (to its right,
// or below it) on the rows (or columns) it spans, and with them those lined up with a moved one
// or standing behind one.
QSet<QWidget*> MakeRoom(QWidget& grown, const QRect& old, int delta, Qt::Orientation direction) {
    QSet<QWidget*> moved;
    QWidget* parent = grown.parentWidget();
    if (!parent || delta <= 0)
        return moved;
    const bool across = direction == Qt::Horizontal;
    const auto start = [across](const QWidget* w) { return across ? w->x() : w->y(); };
    const int farEdge = across ? old.x() + old.width() : old.y() + old.height();
    std::vector<QWidget*> beyond;
    for (QWidget* sibling : Controls(*parent)) {
        if (sibling != &grown && start(sibling) >= farEdge - kLinedUp)
            beyond.push_back(sibling);
    }
    for (QWidget* sibling : beyond) {
        if (SameBand(sibling->geometry(), old, across))
            moved.insert(sibling);
    }
    for (bool more = true; more;) {
        more = false;
        for (QWidget* sibling : beyond) {
            if (moved.contains(sibling))
                continue;
            const QRect g = sibling->geometry();
            for (QWidget* m : std::as_const(moved)) {
                // Lined up with a moved control, or standing behind one on its rows.
                const bool behind =
                    start(sibling) >= start(m) && SameBand(g, m->geometry(), across);
                if (behind || std::abs(start(m) - start(sibling)) <= kLinedUp) {
                    moved.insert(sibling);
                    more = true;
                    break;
                }
            }
        }
    }
    for (QWidget* m : std::as_const(moved))
        m->move(m->pos() + (across ? QPoint(delta, 0) : QPoint(0, delta)));
    return moved;
}

void Resize(QWidget& widget, const QSize& size) {
    if (widget.minimumSize() == widget.maximumSize())
        widget.setFixedSize(size);
    else
        widget.resize(size);
}

void FitContainer(QWidget& parent) {
    const std::vector<QWidget*> controls = Controls(parent);
    if (controls.empty())
        return;
    int rightGap = parent.width();
    int bottomGap = parent.height();
    for (QWidget* control : controls) {
        rightGap = std::min(rightGap, parent.width() - (control->x() + control->width()));
        bottomGap = std::min(bottomGap, parent.height() - (control->y() + control->height()));
    }
    // The margins the design left around the controls, kept when they reach them; a parent with
    // room to spare does not grow.
    rightGap = std::clamp(rightGap, 4, 12);
    bottomGap = std::clamp(bottomGap, 4, 12);
    QSet<QWidget*> moved;

    // Inside a group box the controls start below the title.
    if (auto* group = qobject_cast<QGroupBox*>(&parent)) {
        const int top = group->contentsRect().top();
        int highest = parent.height();
        for (QWidget* control : controls)
            highest = std::min(highest, control->y());
        if (highest < top) {
            for (QWidget* control : controls)
                control->move(control->x(), control->y() + top - highest);
        }
    }

    // Groups first, so that a group that grew makes room among its siblings like any control.
    std::vector<QWidget*> byLeft = controls;
    std::stable_sort(byLeft.begin(), byLeft.end(),
                     [](const QWidget* a, const QWidget* b) { return a->x() < b->x(); });
    for (QWidget* control : byLeft) {
        const QRect old = control->geometry();
        if (qobject_cast<QGroupBox*>(control))
            FitContainer(*control);
        const int need = NeededWidth(*control);
        if (need > control->width())
            Resize(*control, QSize(need, control->height()));
        // The text may also reach into a neighbour that the design placed closer than the
        // control's own width.
        int overlap = control->width() - old.width();
        const QRect now = control->geometry();
        const bool caption =
            qobject_cast<QLabel*>(control) || qobject_cast<QAbstractButton*>(control);
        for (QWidget* other : caption ? controls : std::vector<QWidget*>{}) {
            const QRect g = other->geometry();
            if (other != control && g.x() > now.x() && SameBand(g, now, true))
                overlap = std::max(overlap, now.x() + need - g.x());
        }
        moved += MakeRoom(*control, old, overlap, Qt::Horizontal);
        moved += MakeRoom(*control, old, control->height() - old.height(), Qt::Vertical);
    }

    int right = 0;
    int bottom = 0;
    for (QWidget* control : controls) {
        right = std::max(right, control->x() + control->width());
        bottom = std::max(bottom, control->y() + control->height());
    }
    const int wider = right + rightGap - parent.width();
    const int taller = bottom + bottomGap - parent.height();
    if (wider <= 0 && taller <= 0)
        return;
    if (wider > 0) {
        for (QWidget* control : controls) {
            const int gap = parent.width() - (control->x() + control->width());
            if (qobject_cast<QPushButton*>(control) && !moved.contains(control) && gap >= 0 &&
                gap <= kRightAnchor)
                control->move(control->x() + wider, control->y());
        }
    }
    Resize(parent,
           QSize(parent.width() + std::max(0, wider), parent.height() + std::max(0, taller)));
}

} // namespace

void FitTextsToControls(QWidget& window) {
    window.ensurePolished();
    for (QWidget* child : window.findChildren<QWidget*>())
        child->ensurePolished();
    FitContainer(window);
}

} // namespace Kelmora
