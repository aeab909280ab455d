// Helpers for reading back what a document recorded on its page.
#pragma once

#include <kelmora/pagestore/RLGraphicObject.h>
#include <kelmora/pagestore/RLGraphicStorage.h>
#include <kelmora/pagestore/RLGraphicSurface.h>
#include <kelmora/report/RLReport.h>

#include <QString>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <vector>

using namespace Kelmora;

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace doctest {

// Every band of the documents starts at the left page margin; the tops of the header and body
// bands on the page.
constexpr int kBandLeft = 38, kHead = 38, kBody = 201;

// Prepares the report afresh and returns its only page; fails the test on any other count.
inline std::shared_ptr<TRLGraphicSurface> PreparePage(TRLReport& report) {
    report.Clear();
    EXPECT_TRUE(report.Prepare());
    EXPECT_EQ(report.Storage().PageCount(), 1);
    return report.Storage().Pages(0);
}

inline std::vector<const TRLTextObject*> Texts(const TRLGraphicSurface& page) {
    std::vector<const TRLTextObject*> texts;
    for (const auto& object : page.Objects())
        if (const auto* text = dynamic_cast<const TRLTextObject*>(object.get()))
            texts.push_back(text);
    return texts;
}

// The text object that prints exactly text with its rectangle's top-left at (left, top); null
// when there is none.
inline const TRLTextObject* TextAt(const TRLGraphicSurface& page, const QString& text, int left,
                                   int top) {
    for (const TRLTextObject* object : Texts(page))
        if (object->Text == text && object->BoundsRect.Left == left &&
            object->BoundsRect.Top == top)
            return object;
    return nullptr;
}

// The text object that prints text with its top-left at (left, top) in the body band; a failure
// when there is none.
inline const TRLTextObject* ExpectInBody(const TRLGraphicSurface& page, const QString& text,
                                         int left, int top) {
    const TRLTextObject* object = TextAt(page, text, kBandLeft + left, kBody + top);
    EXPECT_NE(object, nullptr) << text.toStdString();
    return object;
}

// The texts printed inside a page rectangle, top to bottom.
inline QStringList TextsIn(const TRLGraphicSurface& page, const TRLRect& area) {
    std::vector<const TRLTextObject*> inside;
    for (const TRLTextObject* object : Texts(page)) {
        const TRLRect& r = object->BoundsRect;
        if (r.Left >= area.Left && r.Top >= area.Top && r.Left < area.Right && r.Top < area.Bottom)
            inside.push_back(object);
    }
    std::stable_sort(inside.begin(), inside.end(),
                     [](auto* a, auto* b) { return a->BoundsRect.Top < b->BoundsRect.Top; });
    QStringList texts;
    for (const TRLTextObject* object : inside)
        texts << object->Text;
    return texts;
}

} // namespace doctest
