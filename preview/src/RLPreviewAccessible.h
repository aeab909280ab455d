// The preview's pages as assistive technology reads them.
#pragma once

namespace Kelmora {

/// Lets screen readers read each page box of a preview as a document: named by its page, its
/// text the page's texts in reading order, each text's place on the screen. Installed once, by
/// the first preview made.
void InstallPreviewAccessibility();

} // namespace Kelmora
