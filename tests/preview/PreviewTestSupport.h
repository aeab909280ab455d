// A4 portrait pages whose texts, each its own group, sit at known places.
#pragma once

#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pagestore/RLGraphicSurface.h>

#include <QImage>
#include <QObject>
#include <QStringList>
#include <QWidget>

#include <memory>

using namespace Kelmora;

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

// One page per entry; owned by owner, previews letting go of it never free it.
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

inline QImage Shot(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace previewtest
