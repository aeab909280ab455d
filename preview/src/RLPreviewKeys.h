// The keys of the preview window, which it sees before the focused control does: what each key
// does to the window or to the view that has the focus, with Ctrl held or not. Not part of the
// preview library's interface.
#pragma once

#include <Qt>

#include <cstdint>

namespace Kelmora {

class TRLPreview;
class TRLPreviewForm;

// Whether a key wants Ctrl held down or up, or takes it either way; no other modifier counts.
enum class TRLCtrl : uint8_t { Either, Up, Down };

// A key of the window: what it does to the window, or else to the view that has the focus.
struct TRLPreviewKey {
    int Key;
    TRLCtrl WithCtrl;
    void (*Window)(TRLPreviewForm& form);
    void (TRLPreview::*View)();
};

// The binding of a key with the modifiers held; nullptr when the window leaves the key to the
// focused control.
const TRLPreviewKey* FindPreviewKey(int key, Qt::KeyboardModifiers modifiers);

} // namespace Kelmora
