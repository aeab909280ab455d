// Stores for the preview tests: A4 portrait pages whose texts sit at known places, each text its
// own group, so that search, hover and outline results can be checked by position.
#pragma once

#include "RLGraphicStorage.h"
#include "RLGraphicSurface.h"

#include <QImage>
#include <QObject>
#include <QStringList>
#include <QWidget>

#include <memory>

namespace previewtest {

constexpr int kPageWidth = 794;
constexpr int kPageHeight = 1123;

inline std::shared_ptr<TRLGraphicSurface> MakeA4Page() {
    auto page = std::make_shared<TRLGraphicSurface>();
    page->SetWidth(kPageWidth);
    page->SetHeight(kPageHeight);
    return page;
}

inline std::shared_ptr<TRLGraphicSurface> MakeTextPage(const QStringList& texts) {
    auto page = MakeA4Page();
    page->Open();
    for (int i = 0; i < texts.size(); ++i) {
        TRLGraphicStorage::NewGroupId();
        page->TextOut(100, 100 + 60 * i, texts[i]); // text i at (100, 100 + 60 i)
    }
    page->Close();
    return page;
}

// A store of one page per entry, numbered from firstNumber, owned by owner (so that previews
// letting go of it never free it) or by nobody.
inline TRLGraphicStorage* MakeTextStore(const QList<QStringList>& pages, QObject* owner,
                                        int firstNumber = 1) {
    auto* store = new TRLGraphicStorage(owner);
    for (const QStringList& texts : pages)
        store->Add(MakeTextPage(texts));
    store->SetFirstPageNumber(firstNumber);
    store->SetLastPageNumber(firstNumber + static_cast<int>(pages.size()) - 1);
    store->SetOrientation(MetaOrientationPortrait);
    store->SetPaperWidth(210);
    store->SetPaperHeight(297);
    return store;
}

inline TRLGraphicStorage* MakeBlankStore(int pageCount, QObject* owner, int firstNumber = 1) {
    QList<QStringList> pages;
    for (int i = 0; i < pageCount; ++i)
        pages.append(QStringList{QStringLiteral("Page %1").arg(i + 1)});
    return MakeTextStore(pages, owner, firstNumber);
}

// What a widget shows, painted through its own paint path.
inline QImage Shot(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace previewtest
