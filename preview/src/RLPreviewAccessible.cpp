#include "RLPreviewAccessible.h"

#include <kelmora/preview/RLPreview.h>

#include <QAccessibleWidget>

#include <algorithm>

namespace Kelmora {

namespace {

// A page box is a read-only document with no caret and no selection of its own: what it offers
// is its text, and where on the screen each of the page's texts lies.
class TRLPageAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit TRLPageAccessible(TRLPreviewBox* box)
        : QAccessibleWidget(box, QAccessible::Document) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text kind) const override {
        if (kind == QAccessible::Name)
            return Box().PageName();
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        state.multiLine = true;
        return state;
    }

    QString text(int startOffset, int endOffset) const override {
        const QString& all = Box().Reading().Text;
        const qsizetype start = std::clamp<qsizetype>(startOffset, 0, all.size());
        const qsizetype end =
            endOffset < 0 ? all.size() : std::clamp<qsizetype>(endOffset, 0, all.size());
        return start < end ? all.mid(start, end - start) : QString();
    }
    int characterCount() const override { return static_cast<int>(Box().Reading().Text.size()); }

    // A character's place is that of the whole text it belongs to: screen readers that follow
    // the reading with a highlight or the mouse need the line, not the glyph.
    QRect characterRect(int offset) const override {
        const TRLReadingText::Piece* piece = Box().Reading().PieceAt(offset);
        if (!piece)
            return {};
        const QRect rect = Box().BoxRectOf(piece->Bounds);
        return rect.isEmpty() ? QRect() : QRect(Box().mapToGlobal(rect.topLeft()), rect.size());
    }
    int offsetAtPoint(const QPoint& point) const override {
        const QPoint inBox = Box().mapFromGlobal(point);
        for (const TRLReadingText::Piece& piece : Box().Reading().Pieces) {
            if (Box().BoxRectOf(piece.Bounds).contains(inBox))
                return static_cast<int>(piece.Start);
        }
        return -1;
    }

    void selection(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    TRLPreviewBox& Box() const { return *static_cast<TRLPreviewBox*>(widget()); }
};

QAccessibleInterface* PreviewFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("Kelmora::TRLPreviewBox") && object && object->isWidgetType())
        return new TRLPageAccessible(static_cast<TRLPreviewBox*>(object));
    return nullptr;
}

} // namespace

void InstallPreviewAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(PreviewFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace Kelmora
