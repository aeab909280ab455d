#include "RLPreviewKeys.h"

#include <kelmora/preview/RLPreview.h>
#include <kelmora/preview/RLPreviewForm.h>

#include <QToolButton>

namespace Kelmora {

namespace {

using V = TRLPreview;

void CloseWindow(TRLPreviewForm& form) {
    form.close();
}

void OpenFind(TRLPreviewForm& form) {
    form.OpenFindDialog();
}

// The desktop's own keys for printing and saving do what the buttons do, also in that a
// disabled button's key does nothing.
void ClickPrint(TRLPreviewForm& form) {
    form.SpeedButtonPrint->click();
}

void ClickSave(TRLPreviewForm& form) {
    form.SpeedButtonSave->click();
}

// Without Ctrl the arrows move a line and Home and End to the sides, Page Up and Page Down a
// page; with Ctrl the arrows move a screenful, Home and End to the first and last page, Page Up
// and Page Down to the top and bottom of the page.
constexpr TRLPreviewKey kKeys[] = {
    {Qt::Key_Escape, TRLCtrl::Either, CloseWindow, nullptr},
    {Qt::Key_Home, TRLCtrl::Up, nullptr, &V::ScrollToLeft},
    {Qt::Key_Home, TRLCtrl::Down, nullptr, &V::FirstPage},
    {Qt::Key_End, TRLCtrl::Up, nullptr, &V::ScrollToRight},
    {Qt::Key_End, TRLCtrl::Down, nullptr, &V::LastPage},
    {Qt::Key_PageUp, TRLCtrl::Up, nullptr, &V::PriorPage},
    {Qt::Key_PageUp, TRLCtrl::Down, nullptr, &V::ScrollToTop},
    {Qt::Key_PageDown, TRLCtrl::Up, nullptr, &V::NextPage},
    {Qt::Key_PageDown, TRLCtrl::Down, nullptr, &V::ScrollToBottom},
    {Qt::Key_Left, TRLCtrl::Up, nullptr, &V::ScrollLineLeft},
    {Qt::Key_Left, TRLCtrl::Down, nullptr, &V::ScrollPageLeft},
    {Qt::Key_Right, TRLCtrl::Up, nullptr, &V::ScrollLineRight},
    {Qt::Key_Right, TRLCtrl::Down, nullptr, &V::ScrollPageRight},
    {Qt::Key_Up, TRLCtrl::Up, nullptr, &V::ScrollLineUp},
    {Qt::Key_Up, TRLCtrl::Down, nullptr, &V::ScrollPageUp},
    {Qt::Key_Down, TRLCtrl::Up, nullptr, &V::ScrollLineDown},
    {Qt::Key_Down, TRLCtrl::Down, nullptr, &V::ScrollPageDown},
    {Qt::Key_F, TRLCtrl::Down, OpenFind, nullptr},
    {Qt::Key_F3, TRLCtrl::Down, OpenFind, nullptr},
    {Qt::Key_P, TRLCtrl::Down, ClickPrint, nullptr},
    {Qt::Key_S, TRLCtrl::Down, ClickSave, nullptr},
    {Qt::Key_W, TRLCtrl::Down, CloseWindow, nullptr},
};

} // namespace

const TRLPreviewKey* FindPreviewKey(int key, Qt::KeyboardModifiers modifiers) {
    const TRLCtrl ctrl = modifiers & Qt::ControlModifier ? TRLCtrl::Down : TRLCtrl::Up;
    for (const TRLPreviewKey& binding : kKeys) {
        if (binding.Key == key && (binding.WithCtrl == TRLCtrl::Either || binding.WithCtrl == ctrl))
            return &binding;
    }
    return nullptr;
}

} // namespace Kelmora
