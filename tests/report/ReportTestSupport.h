// Test-only controls and page readers for the report tests.
#pragma once

#include "RLBands.h"
#include "RLGraphicStorage.h"
#include "RLGraphicSurface.h"
#include "RLReport.h"

#include <functional>
#include <memory>
#include <vector>

namespace reporttest {

// A text control with a fixed natural size that records its caption at its client rectangle.
class FixedLabel : public TRLCustomControl {
public:
    FixedLabel(TRLCustomControl* parent, const QString& caption, int width = 161, int height = 16)
        : TRLCustomControl(parent), natural_{width, height} {
        SetAutoSizeDirection(asWidthDir);
        SetAutoSize(true);
        SetCaption(caption);
    }
    QString ClassName() const override { return QStringLiteral("TestFixedLabel"); }
    // Text event: (sender, var text, var printIt).
    std::function<void(TRLCustomControl&, QString&, bool&)> OnText;
    TRLSize natural_;

    TRLSize CalcSize() override { return AutoSize() ? natural_ : TRLSize{Width(), Height()}; }
    void Print() override {
        TRLCustomControl::Print();
        const TRLRect r = CalcPrintClientRect();
        TRLGraphicSurface& surface = RequestParentSurface();
        BeginRecording(surface);
        surface.SetFont(Font());
        surface.SetBrush(TRLBrush{Qt::white, TRLBrushStyle::Clear});
        surface.TextRectEx(r, r.Left, r.Top, Caption(), MetaTextAlignmentLeft, MetaTextLayoutTop,
                           MetaTextFlagKeepWhole);
    }

protected:
    void DoBeforePrint(bool&) override {}
    void DoBeforeText(QString& text, bool& printIt) override {
        if (OnText)
            OnText(*this, text, printIt);
    }
};

// A control that grows in height by `growth` while it prints, expanding its band.
class Expander : public TRLCustomControl {
public:
    Expander(TRLCustomControl* parent, int growth) : TRLCustomControl(parent), growth_(growth) {
        SetAutoSizeDirection(asHeightDir);
        SetBehavior({beSiteExpander});
        SetBounds(0, 0, 100, 20);
        SetAutoSize(true);
    }
    QString ClassName() const override { return QStringLiteral("TestExpander"); }
    TRLSize CalcSize() override {
        return {Width(),
                IsPreparing() ? SavedBounds().Bottom - SavedBounds().Top + growth_ : Height()};
    }
    int growth_;
};

inline std::vector<const TRLTextObject*> Texts(const TRLGraphicSurface& page) {
    std::vector<const TRLTextObject*> texts;
    for (const auto& object : page.Objects())
        if (object->Kind() == TRLObjectKind::Text)
            texts.push_back(static_cast<const TRLTextObject*>(object.get()));
    return texts;
}

inline QStringList TextsOf(const TRLGraphicSurface& page) {
    QStringList list;
    for (const TRLTextObject* t : Texts(page))
        list << t->Text;
    return list;
}

// The bounds of the first text object with that text; (-1, ...) when missing.
inline TRLRect TextBounds(const TRLGraphicSurface& page, const QString& text) {
    for (const TRLTextObject* t : Texts(page))
        if (t->Text == text)
            return t->BoundsRect;
    return {-1, -1, -1, -1};
}

template <class T> std::vector<const T*> ObjectsOf(const TRLGraphicSurface& page) {
    std::vector<const T*> result;
    for (const auto& object : page.Objects())
        if (object->Kind() == T::StaticKind)
            result.push_back(static_cast<const T*>(object.get()));
    return result;
}

// A band of a type with a design top and height, in a report being loaded or not.
inline TRLBand* AddBand(TRLCustomControl* parent, const QString& name, TRLBandType type, int top,
                        int height) {
    auto* band = new TRLBand(parent);
    band->SetName(name);
    band->SetBandType(type);
    band->SetBounds(band->Left(), top, band->Width(), height);
    return band;
}

} // namespace reporttest
